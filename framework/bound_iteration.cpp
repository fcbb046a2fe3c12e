// The iteration that every bounded search repeats: the previous bound
// constraint leaves the input set, the new one is encoded and attached, one
// SAT call decides it, and the wrapper is reset for the next call. A model
// that lowers the best cost is kept; every model is offered to the signal
// path, so that a time-out or a signal prints the best model found so far.
#include <cstdlib>
#include <iostream>

#include "framework/bound_encoding.hpp"
#include "framework/mxsat_solver.hpp"
#include "model/clause_snapshot.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

void UnsatMaxSATSolverWithBounds::reset() {
  UnsatMaxSATSolver::reset();
  best_cost = LLONG_MAX;
  best_model.clear();
  settled_cost = 0;
}

int UnsatMaxSATSolverWithBounds::bounded_sat_call(
    TernWrapperSort &sat, BasicClauseSet &bound,
    const std::vector<long long> &rvars, const std::vector<long long> &weights,
    long long k, long long &cost) {
  clear_bound(bound);
  add_bound(bound, rvars, weights, k);
  return sat_call_under_bound(sat, bound, cost);
}

void UnsatMaxSATSolverWithBounds::clear_bound(BasicClauseSet &bound) {
  detach_clause_set(bound, *clset);
  bound.top_weight = clset->top_weight;
  bound.def_cltype = ClauseType::Hard;
}

void UnsatMaxSATSolverWithBounds::add_bound(
    BasicClauseSet &bound, const std::vector<long long> &rvars,
    const std::vector<long long> &weights, long long k) {
  if (ZORConfig::verbosity > 4) {
    std::vector<long long> lits(rvars), ws(weights);
    show_atmost_constraint(lits, ws, k);
  }
  encode_cost_bound(*imgr, bound, rvars, weights, k);
}

int UnsatMaxSATSolverWithBounds::sat_call_under_bound(TernWrapperSort &sat,
                                                      BasicClauseSet &bound,
                                                      long long &cost) {
  attach_clause_set(bound, *clset);
  bool announce = announce_sat_calls && ZORConfig::verbosity > 4;
  if (announce)
    std::cout << "c Call to the SAT solver" << std::endl;
  sat.init();
  if (announce)
    std::cout << "c End Call to the SAT solver" << std::endl;
  int res = sat.run_sat_solver();
  if (res == 10) {
    cost = model_cost();
    keep_model_if_better(cost);
  }
  return res;
}

void UnsatMaxSATSolverWithBounds::finish_sat_call(TernWrapperSort &sat,
                                                  bool check_cpu) {
  core.clear();
  sat.reset();
  if (check_cpu)
    check_cpu_timeout();
}

void UnsatMaxSATSolverWithBounds::print_iteration_outcome(int res,
                                                          long long mu) {
  if (ZORConfig::verbosity <= 1)
    return;
  if (res == 10)
    std::cout << "c Sat iteration, mu:" << mu << std::endl;
  else
    std::cout << "c Unsat iteration " << std::endl;
}

long long UnsatMaxSATSolverWithBounds::model_cost() {
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  return cost_of_model(*model, rvars, weights);
}

void UnsatMaxSATSolverWithBounds::keep_model_if_better(long long cost) {
  // The signal path costs the model on the input itself: the relaxation
  // variables may overstate what it falsifies, and the search may have
  // settled or rewritten clauses before it began.
  ZORToolObjects::keep_model(*model);
  if (cost < 0 || cost >= best_cost)
    return;
  best_cost = cost;
  best_model = *model;
}

void UnsatMaxSATSolverWithBounds::restore_best_model() {
  if (!best_model.empty())
    *model = best_model;
}

void UnsatMaxSATSolverWithBounds::keep_bound_model(
    const std::vector<bool> &bmodel, long long cost) {
  if (bmodel.empty())
    return;
  *model = signed_model(bmodel);
  keep_model_if_better(cost);
}

void UnsatMaxSATSolverWithBounds::settle_relaxation_values() {
  for (const auto &entry : rvar_cl_map) {
    long long r = entry.first;
    BasicClause *c = entry.second;
    if (r <= 0 || !c)
      continue;
    bool sat = false;
    for (long long l : c->lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (static_cast<long long>(v) == r)
        continue;
      long long val = v < model->size() ? (*model)[v] : 0;
      if ((l > 0 && val > 0) || (l < 0 && val < 0)) {
        sat = true;
        break;
      }
    }
    std::size_t idx = static_cast<std::size_t>(r);
    if (model->size() <= idx)
      model->resize(idx + 1, 0);
    (*model)[idx] = sat ? -1 : 1;
  }
}
