#include "search/bitbased_search.hpp"

#include <iostream>

#include "framework/core.hpp"
#include "framework/progress_lines.hpp"
#include "framework/upper_bounds.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
int highest_bit(unsigned long long x) { return 63 - __builtin_clzll(x); }
} // namespace

void BitBasedSearch::updateIota(long long cost, int &iota, long long &tau) {
  if (iota < 1) {
    iota = -1;
    return;
  }
  const unsigned long long low = 1ULL << iota;
  const unsigned long long below =
      static_cast<unsigned long long>(cost) & (low - 1);
  if (below == 0) {
    iota = -1;
    return;
  }
  const int j = highest_bit(below);
  tau = static_cast<long long>(
      (static_cast<unsigned long long>(cost) & ~(low - 1)) | (1ULL << j));
  iota = j;
}

void BitBasedSearch::next_bit(int &iota, long long &tau) {
  if (--iota != -1)
    tau += 1LL << iota;
}

void BitBasedSearch::print_iota(int iota, long long tau) {
  if (ZORConfig::verbosity > 1)
    std::cout << "c New iota:" << iota << " tau:" << tau << std::endl;
}

long long BitBasedSearch::solve() {
  bound_clset_.clear_direct();
  long long count = 0, lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  std::vector<bool> bmodel;
  std::vector<Core *> cores;
  set_initial_bounds(*imgr, *clset, sat, *model, bmodel, core, count, cores,
                     lb, ub);
  for (Core *k : cores)
    delete k;
  if (ub == -1)
    return -1;
  // The bound's own model stands until a SAT call finds a cheaper one.
  keep_bound_model(bmodel, boolean_model_cost(*clset, bmodel, false));
  int iota = ub == 0 ? 0 : highest_bit(static_cast<unsigned long long>(ub));
  long long tau = 1LL << iota;
  long long mu = ub, lambda = lb >= 0 ? lb : -1;
  if (ZORConfig::verbosity > 1) {
    std::cout << "c mu:" << mu << " lambda:" << lambda << " ncores:" << count
              << std::endl;
    std::cout << "c Initial iota:" << iota << " tau:" << tau << std::endl;
  }
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  while (iota >= 0) {
    if (mu < tau) {
      if (ZORConfig::verbosity > 1)
        std::cout << "c (previously) Sat instance with cost:" << mu
                  << std::endl;
      updateIota(mu, iota, tau);
      print_iota(iota, tau);
      continue;
    }
    if (lambda >= tau) {
      if (ZORConfig::verbosity > 1)
        std::cout << "c (previously) Unsat instance lambda:" << lambda
                  << std::endl;
      next_bit(iota, tau);
      print_iota(iota, tau);
      continue;
    }
    if (ZORConfig::verbosity > 1)
      std::cout << "c Testing < " << tau << std::endl;
    long long cost = 0;
    if (bounded_sat_call(sat, bound_clset_, rvars, weights, tau - 1, cost) ==
        10) {
      if (ZORConfig::verbosity > 1)
        std::cout << "c Sat instance" << std::endl;
      mu = cost;
      print_best_cost_line("c o ", mu);
      updateIota(mu, iota, tau);
      print_iota(iota, tau);
    } else {
      ++count;
      if (ZORConfig::verbosity > 1)
        std::cout << "c Unsat instance ncores:" << count << std::endl;
      lambda = tau - 1;
      next_bit(iota, tau);
      if (ZORConfig::verbosity > 1)
        std::cout << "c New iota:" << iota << " tau:" << tau
                  << " lambda:" << lambda << std::endl;
    }
    finish_sat_call(sat, false);
  }
  restore_best_model();
  return mu;
}
