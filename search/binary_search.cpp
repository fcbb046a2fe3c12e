#include "search/binary_search.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/sat_arith.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

long long BinarySearch::compute_nu(long long lambda, long long mu) {
  if (lambda + 1 == mu)
    return mu;
  // The midpoint without overflow, rounded toward zero like (l + m) / 2.
  long long sum;
  if (!__builtin_add_overflow(lambda, mu, &sum))
    return sum / 2;
  return lambda / 2 + mu / 2 + ((lambda % 2 + mu % 2) / 2);
}

long long BinarySearch::biased_nu(long long lambda, long long mu, unsigned sat,
                                  unsigned unsat) {
  long long d;
  if (__builtin_sub_overflow(mu, lambda, &d))
    d = LLONG_MAX;
  if (d < 2)
    return mu;
  double s = sat, u = unsat;
  double q = s < u ? 1.0 - s / u : u / s;
  double x = static_cast<double>(d) * q + static_cast<double>(lambda);
  // Truncation toward zero; q <= 1 keeps d * q + lambda at most mu.
  long long nu = x >= static_cast<double>(mu) ? mu : static_cast<long long>(x);
  return nu > lambda + 1 ? nu - 1 : nu;
}

long long BinarySearch::next_nu(long long lambda, long long mu,
                                std::size_t nrvars) {
  long long nu = compute_nu(lambda, mu);
  std::cout << "c lambda: " << lambda << ", mu " << mu << ", v: " << nu
            << ", Relax. vars:" << nrvars << std::endl;
  return nu;
}

bool BinarySearch::initial_search_bounds(TernWrapperSort &sat, long long &count,
                                         long long &lambda, long long &mu) {
  long long sumw = sum_weights(*clset), lb = -1, ub = -1;
  set_initial_bounds(*imgr, *clset, sat, *model, core, count, lb, ub);
  if (ub == -1)
    return false;
  mu = std::min(sat_add(ub, 1), sat_add(sumw, 1));
  lambda = lb >= 0 ? lb - 1 : -1;
  return true;
}

bool BinarySearch::core_has_new_soft_clauses() {
  bool fresh = std::any_of(core.begin(), core.end(), [&](BasicClause *c) {
    return c->weight < clset->top_weight && get_unique_relax_var(c) == 0;
  });
  if (ZORConfig::verbosity > 1)
    std::cout << (fresh ? "c     Relaxing new soft clauses "
                        : "c     No New soft clauses ")
              << std::endl;
  return fresh;
}

long long BinarySearch::solve() {
  BasicClauseSet &bound = bound_set();
  bound.clear_direct();
  long long count = 0, lambda = -1, mu = 0;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!initial_search_bounds(sat, count, lambda, mu))
    return -1;
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  while (lambda + 1 < mu) {
    long long nu = next_nu(lambda, mu, rvars.size());
    long long cost = 0;
    if (bounded_sat_call(sat, bound, rvars, weights, nu, cost) == 10) {
      mu = cost;
    } else {
      ++count;
      lambda = nu;
    }
    finish_sat_call(sat);
  }
  return lambda + 1;
}

long long BinaryLinearSatUnsatSearch::next_nu(long long lambda, long long mu,
                                              std::size_t nrvars) {
  long long mid = compute_nu(lambda, mu);
  long long nu;
  if (binary_step_) {
    nu = mid;
    std::cout << "c lambda: " << lambda << ", mu " << mu << ", v: " << nu
              << ", Relax. vars:" << nrvars << std::endl;
  } else {
    nu = mu - 1;
    std::cout << "c mu: " << mu << ", v: " << nu << ", Relax. vars:" << nrvars
              << std::endl;
  }
  binary_step_ ^= 1u;
  return nu;
}

long long BinaryLinearSatUnsatSearch::solve() {
  binary_step_ = 1;
  return BinarySearch::solve();
}
