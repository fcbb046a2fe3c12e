#include "search/binary_search_core.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

long long BinarySearchCore::computeMiddle(long long lambda, long long mu) {
  if (ZORConfig::middle_type != MiddleType::Biased)
    return compute_nu(lambda, mu);
  return biased_nu(lambda, mu, sat_count_, unsat_count_);
}

void BinarySearchCore::update_hardening_rule(std::vector<BasicClause *> &cls,
                                             long long delta) {
  if (!ZORConfig::hardening_rule)
    return;
  for (BasicClause *c : cls) {
    if (c->weight >= clset->top_weight)
      continue;
    auto it = hardening_map.find(c);
    if (it != hardening_map.end())
      it->second -= delta;
  }
}

namespace {
// The smallest weight among the soft clauses of core (top when none).
long long least_soft_weight(const std::vector<BasicClause *> &core,
                            long long top) {
  long long w = top;
  for (BasicClause *c : core)
    if (c->weight < top)
      w = std::min(w, c->weight);
  return w;
}
} // namespace

long long BinarySearchCore::lambda_after_core(long long lambda, long long nu,
                                              bool &changed) {
  const long long top = clset->top_weight;
  long long w = least_soft_weight(core, top);
  if (core_has_new_soft_clauses()) {
    std::vector<long long> rvars, weights;
    relax_core_clauses(core, *clset, rvars, weights);
    changed = w - 1 > lambda;
    if (!changed)
      return lambda;
    update_hardening_rule(core, w - lambda);
    return w - 1;
  }
  changed = true;
  long long next = nu;
  if (!core.empty() && w < top && nu < w - 1)
    next = w - 1;
  update_hardening_rule(core, next - lambda);
  return next;
}

long long BinarySearchCore::solve() {
  BasicClauseSet &bound = second_clset_;
  bound.clear_direct();
  sat_count_ = unsat_count_ = 1;
  long long count = 0, lambda = -1, mu = 0;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!initial_search_bounds(sat, count, lambda, mu))
    return -1;
  std::vector<Core *> no_cores;
  hardening(no_cores, *imgr, *clset, lambda, mu);
  while (lambda + 1 < mu) {
    long long nu = computeMiddle(lambda, mu);
    std::vector<long long> rvars, weights;
    get_relax_vars_and_weights(rvars, weights);
    std::cout << "c Num. cores:" << count << ", mu:" << mu
              << ", lambda:" << lambda << ", v:" << nu
              << ", Relax. vars: " << rvars.size() << std::endl;
    long long cost = 0;
    bool changed = true;
    if (bounded_sat_call(sat, bound, rvars, weights, nu, cost) == 10) {
      ++sat_count_;
      mu = cost;
      print_iteration_outcome(10, mu);
    } else {
      ++unsat_count_;
      print_iteration_outcome(20, mu);
      ++count;
      lambda = lambda_after_core(lambda, nu, changed);
    }
    finish_sat_call(sat);
    if (changed && ZORConfig::hardening_rule) {
      detach_clause_set(bound, *clset);
      hardening(no_cores, *imgr, *clset, lambda, mu);
    }
  }
  restore_best_model();
  return mu;
}

long long BCNoUnitRV::solve() {
  std::cout << "c Algorithm not yet implemented." << std::endl;
  Abort("Algorithm BCNoUnitRV not yet implemented");
}
