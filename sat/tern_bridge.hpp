// One-shot SAT wrapper: every call of `run_sat_solver` builds a fresh Tern
// engine, sends it every clause of the bound clause set in the set's own
// order, solves, and reads back either the model or the clauses of an
// unsatisfiable core, then releases the engine. Only the table from engine
// clause numbers back to clause objects outlives a call, until `reset`.
//
// Protocol for the owner: build once, then per SAT call `init()`,
// `run_sat_solver()`, read `model` or `core`, `reset()`. The core vector is
// appended to, never cleared: the owner empties it when it wants one core
// alone.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "model/runtime_msgs.hpp"

// Number to text, as used for trace file names. A failed conversion ends
// the run with "stringify(double)" (status 3).
template <class T> std::string stringit(const T &x) {
  std::ostringstream o;
  if (!(o << x))
    Abort("stringify(double)");
  return o.str();
}

class TernWrapper {
public:
  // trace_prefix: null for no traces, else the traces of unsatisfiable
  // answers go to "<prefix>-f<n>.txt" with n = 1, 2, ... (text not owned).
  TernWrapper(IDManager &imgr, BasicClauseSet &clset,
              std::vector<long long> &model, std::vector<BasicClause *> &core,
              const char *trace_prefix = nullptr, long long trace_count = 0)
      : imgr(imgr), clset(clset), model(model), core(core),
        trace_prefix(trace_prefix), trace_count(trace_count) {}

  void init() {}
  // Decides the clause set: 10 (model written for variables 1 .. max_var,
  // the model only grows) or 20 (core clauses appended in sending order).
  // requires: no other engine alive.
  int run_sat_solver();
  // Empties the clause index (capacity kept).
  void reset() { clindex.clear(); }
  // Writes the trace of the current unsatisfiable answer to the next file.
  void print_trace();

  // Engine queries; the engine lives only inside `run_sat_solver`, so these
  // are for use while it does (no algorithm needs them).
  void compute_unsat_core();
  void get_var_levels(std::vector<long long> &levels);
  bool is_dvar(long long v);
  void print_cnf(const char *file);

  IDManager &imgr;                    // not read by this wrapper
  BasicClauseSet &clset;              // the clauses to decide; never changed
  std::vector<long long> &model;      // entry v: 1 true, -1 false, 0 unset
  std::vector<BasicClause *> &core;   // appended on an unsatisfiable answer
  std::vector<BasicClause *> clindex; // engine clause i -> clause
  unsigned long long max_var = 0;     // largest variable of the last call
  const char *trace_prefix;           // null: no traces
  long long trace_count;              // traces written so far
};
