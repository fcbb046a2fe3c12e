#include "search/linear_unsat_sat.hpp"

#include <algorithm>
#include <iostream>

#include "framework/sat_arith.hpp"
#include "framework/subsetsum_dp.hpp"
#include "framework/upper_bounds.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

long long LinearUnsatSat::solve() {
  bound_clset_.clear_direct();
  std::vector<bool> bmodel;
  if (UpperBounds().get_upper_bound(ZORConfig::file, *imgr, *clset, bmodel,
                                    false) == -1)
    return -1;
  // The bound's model stands until the search's one satisfiable call.
  keep_bound_model(bmodel, boolean_model_cost(*clset, bmodel, false));
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  const bool unit = std::all_of(weights.begin(), weights.end(),
                                [](long long w) { return w == 1; });
  TernWrapperSort sat(*imgr, *clset, *model, core);
  long long lambda = 0, count = 0;
  for (int res = 20; res == 20;) {
    std::cout << "c Num. cores:" << count << ", lambda:" << lambda
              << ", Relax. vars: " << rvars.size() << std::endl;
    long long cost = 0;
    res = bounded_sat_call(sat, bound_clset_, rvars, weights, lambda, cost);
    if (res == 20) {
      // A next reachable cost at the ceiling may be a saturated sum.
      lambda = unit ? lambda + 1
                    : exact_cost(Subsetsum().solve(weights, lambda));
      // The hard clauses are satisfiable, so the sum of all weights is
      // satisfiable and no unsatisfiable bound lies at or above it.
      if (lambda < 0)
        Abort("No reachable cost above an unsatisfiable bound");
      if (ZORConfig::verbosity > 1)
        std::cout << "c Unsat iteration, lambda: " << lambda << std::endl;
      ++count;
    } else if (ZORConfig::verbosity > 1) {
      std::cout << "c Sat iteration" << std::endl;
    }
    finish_sat_call(sat);
  }
  return lambda;
}
