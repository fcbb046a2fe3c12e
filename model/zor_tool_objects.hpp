// The objects that the signal and time-out path needs, published by main
// once the input is loaded; the algorithms keep the best cost up to date.
#pragma once

#include <vector>

class BasicClauseSet;
class IDManager;

class ZORToolObjects {
public:
  static IDManager *_imgr;
  static BasicClauseSet *_clset;
  static std::vector<long long> *_model;
  static long long _ivars;    // top id after loading, -1 before
  static long long _icls;     // input clauses after loading, -1 before
  static long long *_mincost; // best cost so far; max long long when none
  // Records a cost that an algorithm has proven reachable with a model.
  static void report_cost(long long cost) {
    if (_mincost && cost >= 0 && cost < *_mincost)
      *_mincost = cost;
  }
};
