// One-shot SAT wrapper that sends the clauses in increasing clause
// identifier, so engine clause i is the clause with the (i+1)-th smallest
// identifier whatever the set's own order. Besides what `TernWrapper` does,
// it can mark literals as more important decisions, grows the model to the
// identifier manager's top identifier (variables no clause mentions read as
// true), and can write every proof trace to one fixed file name.
#pragma once

#include <string>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "sat/tern_bridge.hpp"

class TernWrapperSort {
public:
  TernWrapperSort(IDManager &imgr, BasicClauseSet &clset,
                  std::vector<long long> &model,
                  std::vector<BasicClause *> &core,
                  const char *trace_prefix = nullptr, long long trace_count = 0,
                  bool fixed_trace_name = false)
      : imgr(imgr), clset(clset), model(model), core(core),
        trace_prefix(trace_prefix), trace_count(trace_count),
        fixed_trace_name(fixed_trace_name) {}

  void init() {}
  // As TernWrapper::run_sat_solver, in clause-id order; the literals of
  // more_important are decided before all others. After a satisfiable
  // answer a model shorter than top id + 1 is grown to it with entries 1.
  int run_sat_solver(std::vector<long long> &more_important);
  int run_sat_solver();
  void reset() { clindex.clear(); }
  // Next trace file; with fixed_trace_name every trace overwrites
  // "<prefix>-f<count>.txt" with the count unchanged.
  void print_trace();

  // Engine queries, valid only while the engine lives (see TernWrapper).
  void compute_unsat_core();
  void get_var_levels(std::vector<long long> &levels);
  bool is_dvar(long long v);
  void print_cnf(const char *file);

  IDManager &imgr;
  BasicClauseSet &clset;
  std::vector<long long> &model;
  std::vector<BasicClause *> &core;
  std::vector<BasicClause *> clindex;
  unsigned long long max_var = 0;
  const char *trace_prefix;
  long long trace_count;
  bool fixed_trace_name; // every trace goes to the same file
};
