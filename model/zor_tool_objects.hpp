// The objects that the signal and time-out path needs, published by main
// once the input is loaded, and the best model found so far: every
// algorithm offers the models it finds through keep_model, and a run cut
// short prints the kept one with its cost.
#pragma once

#include <cstddef>
#include <vector>

class BasicClauseSet;
class ClauseSnapshot;
class IDManager;

class ZORToolObjects {
public:
  static IDManager *_imgr;
  static BasicClauseSet *_clset;
  static std::vector<long long> *_model;
  static long long _ivars; // variables of the model line after loading, -1 before
  static long long _icls;  // input clauses after loading, -1 before
  // Variables that the input uses (the top id after loading), -1 before; a
  // kept model holds their values, the model line prints the others false.
  static long long _ivars_used;
  // The input as read, against which every offered model is costed; while
  // it is null no model is kept.
  static const ClauseSnapshot *_input;

  // A model of the input: the value of every variable 1.._ivars_used (1
  // true, -1 false) and the weight of the input's soft clauses that it
  // falsifies (for an OPB input the objective's value, for a WBO input the
  // weight of the soft constraints that it violates).
  struct KeptModel {
    long long cost = 0;
    std::vector<signed char> values; // entry v for variable v
  };

  // The one step through which the algorithms offer a model they found
  // (entry v for variable v; a variable that it leaves unassigned or does
  // not hold counts as false, as the model line prints it). The model is
  // costed on the input as read, not by relaxation variables, and kept when
  // it satisfies every hard clause and costs less than the model kept so
  // far. Publication is safe against a signal: the new model goes into the
  // slot that the signal path does not read, and one store of a
  // sig_atomic_t then makes it the one it reads.
  static void keep_model(const std::vector<long long> &model);
  // The same for a Boolean model (entry v-1 for variable v).
  static void keep_model(const std::vector<bool> &bmodel);
  // The kept model, or null when none was kept. Safe in a signal handler.
  static const KeptModel *kept_model();
  // Forgets the kept model (main, before the objects go away).
  static void forget_kept_model();
};
