#include "search/linear_sat_unsat.hpp"

#include <iostream>

#include "framework/upper_bounds.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

long long LinearSatUnsat::solve() {
  bound_clset_.clear_direct();
  long long mu = sum_weights(*clset);
  // The relaxed run decides the hard clauses; its model is the fallback
  // when no cheaper model exists.
  std::vector<bool> bmodel;
  if (UpperBounds().get_upper_bound(ZORConfig::file, *imgr, *clset, bmodel,
                                    false) == -1)
    return -1;
  keep_bound_model(bmodel, boolean_model_cost(*clset, bmodel, false));
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  TernWrapperSort sat(*imgr, *clset, *model, core);
  long long count = 0;
  for (int res = 10; res == 10;) {
    std::cout << "c Num. cores:" << count << ", mu:" << mu
              << ", Relax. vars: " << rvars.size() << std::endl;
    long long cost = 0;
    res = bounded_sat_call(sat, bound_clset_, rvars, weights, mu - 1, cost);
    if (res == 10)
      mu = cost;
    else
      ++count;
    print_iteration_outcome(res, mu);
    finish_sat_call(sat);
  }
  restore_best_model();
  return mu;
}
