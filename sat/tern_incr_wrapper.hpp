// Incremental SAT wrapper: one Tern engine kept alive across the SAT calls
// of one algorithm. Every clause sent stays in the engine; each call sends
// only the clauses the caller hands it and solves under the given
// assumptions. An unsatisfiable answer appends the failed assumptions to the
// caller's vector (and, with tracing and a core set, inserts the core
// clauses into that set); a satisfiable answer writes the model. After every
// call of the clause-list form the wrapper thins the learned clauses; after
// every call it resets variable scores and saved phases, so each call starts
// from the same heuristic state.
//
// Life: fill the settings, `init`, any number of `solve`, `reset`. `init`
// empties the clause index, so a wrapper may be initialised again after
// `reset`. While its engine lives no one-shot wrapper may run.
#pragma once

#include <climits>
#include <vector>

#include "model/basic_clset.hpp"

class TernIncrementalWrapper {
public:
  TernIncrementalWrapper() = default;
  TernIncrementalWrapper(const TernIncrementalWrapper &) = delete;
  TernIncrementalWrapper &operator=(const TernIncrementalWrapper &) = delete;
  // Releases the engine if the owner did not call `reset`.
  ~TernIncrementalWrapper();

  // requires: no engine alive. Starts the engine with the default phase and
  // verbosity of the fields; trace enables proof tracing (core clauses).
  void init(bool trace);
  // Clause-list form: sends clauses (never sent before), assumes
  // assumptions, solves. 20: failed assumptions appended to out (in
  // assumption order). 10: out grown to max_var + 1 (never shrunk), entry v
  // = value of v. Returns 10 or 20; any other answer ends the run.
  int solve(std::vector<BasicClause *> &clauses,
            std::vector<long long> &assumptions, std::vector<long long> &out);
  // The same; with tracing on, core clauses are inserted into core.
  int solve(std::vector<BasicClause *> &clauses,
            std::vector<long long> &assumptions, std::vector<long long> &out,
            BasicClauseSet &core);
  // Clause-set form: sends every clause of the set (on every call), keeps
  // the default phase of `init`, does not thin learned clauses.
  int solve(BasicClauseSet &clauses, std::vector<long long> &assumptions,
            std::vector<long long> &out);
  int solve(BasicClauseSet &clauses, std::vector<long long> &assumptions,
            std::vector<long long> &out, BasicClauseSet &core);
  // Releases the engine.
  void reset();

  // The steps of `solve`, each on the pointers of the running call.
  void transmit_clauses_vect();
  void transmit_clauses_set();
  void transmit_assumptions();
  void handle_sat_outcome();
  void handle_unsat_outcome();
  void get_core_assumptions();
  void get_core_clauses(); // requires: tracing on, core set given
  // Engine queries on the living engine. Levels and decisions need its
  // satisfiable state, which a satisfiable clause-set `solve` leaves; the
  // clause-list form's thinning returns the engine to its ready state.
  void get_var_levels(std::vector<long long> &levels);
  bool is_dvar(long long v);
  void print_cnf(const char *file);

  BasicClauseSet *clset_to_send = nullptr;           // clause-set form
  std::vector<BasicClause *> *cls_to_send = nullptr; // clause-list form
  BasicClauseSet *core_set = nullptr; // core clauses (with tracing)
  std::vector<long long> *assumptions = nullptr;
  std::vector<long long> *output = nullptr;
  std::vector<BasicClause *> clindex; // engine clause i -> clause, whole life
  unsigned long long max_var = 0;     // largest variable sent since init
  // A literal whose variable exceeds it is marked less important; the
  // largest value marks nothing.
  long long aux_threshold = LLONG_MAX;
  long long verbosity = 0; // > 0: progress lines; the engine's verbosity
  int default_phase = 2;   // 0 false, 1 true, 2 Jeroslow-Wang, 3 random
  bool tracing = false;

private:
  int finish_call(int answer, bool thin_learned);
  bool live_ = false; // engine started by init and not yet reset
};
