#include "coreguided/zor4.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/core.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
long long plus_one(long long v) { return v == LLONG_MAX ? v : v + 1; }
} // namespace

long long ZOR4::solve() {
  long long count = 0;
  bound_clset_.clear_direct();
  const long long total = sum_weights(*clset);
  long long lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  set_initial_bounds(*imgr, *clset, sat, *model, core, count, lb, ub);
  if (ub == -1)
    return -1;
  long long lambda = lb >= 0 ? lb - 1 : -1;
  long long mu = std::min(plus_one(ub), plus_one(total));
  while (lambda + 1 < mu) {
    std::vector<long long> rvars, weights;
    get_relax_vars_and_weights(rvars, weights);
    std::cout << "c Num. cores:" << count << ", mu:" << mu
              << ", lambda:" << lambda << ", Relax. vars: " << rvars.size()
              << std::endl;
    const long long tau = mu - 1;
    long long cost = 0;
    int res = bounded_sat_call(sat, bound_clset_, rvars, weights, tau, cost);
    if (res == 10)
      mu = cost;
    print_iteration_outcome(res, mu);
    if (res == 20) {
      ++count;
      if (relax_new_core_clauses()) {
        ++lambda;
        if (ZORConfig::verbosity > 1)
          std::cout << "c Some soft clauses to relax " << std::endl;
      } else {
        lambda = tau;
        if (ZORConfig::verbosity > 1)
          std::cout << "c No soft clause to relax, lambda " << lambda
                    << std::endl;
      }
    }
    finish_sat_call(sat);
  }
  return mu;
}

bool ZOR4::relax_new_core_clauses() {
  bool unrelaxed = std::any_of(core.begin(), core.end(), [&](BasicClause *c) {
    return c->weight < clset->top_weight && get_unique_relax_var(c) == 0;
  });
  if (unrelaxed) {
    std::vector<long long> rvars, weights;
    relax_core_clauses(core, *clset, rvars, weights);
  }
  return unrelaxed;
}

long long ZOR4::heuristic(IDManager &imgr, BasicClauseSet &clset,
                          TernWrapperSort &solver,
                          std::vector<long long> &model,
                          std::vector<BasicClause *> &core, long long &count) {
  std::vector<Core *> cores;
  long long lb = lower_bound_ZOR3_heuristic(imgr, clset, solver, model, core,
                                            count, cores, LLONG_MAX);
  for (Core *c : cores)
    delete c;
  return lb - 1;
}
