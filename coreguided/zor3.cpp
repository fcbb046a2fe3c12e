#include "coreguided/zor3.hpp"

#include <algorithm>
#include <iostream>

#include "framework/sat_arith.hpp"
#include "framework/subsetsum_dp.hpp"
#include "model/runtime_msgs.hpp"
#include "sat/tern_bridge_sort.hpp"

ZOR3::ZOR3() { announce_sat_calls = true; }

long long ZOR3::solve() {
  num_input_vars = imgr->top_id;
  bound_clset_.clear_direct();
  long long count = 0, k = 0, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  set_initial_bounds(*imgr, *clset, sat, *model, core, count, k, ub);
  if (ub == -1)
    return -1;
  for (;;) {
    // Also at k = total (every soft clause falsified) the SAT call runs: its
    // model is the one printed, and no earlier call may have left one.
    std::vector<long long> rvars, weights;
    get_relax_vars_and_weights(rvars, weights);
    long long cost = 0;
    if (bounded_sat_call(sat, bound_clset_, rvars, weights, k, cost) == 10) {
      finish_sat_call(sat, false);
      return k;
    }
    ++count;
    rvars.clear();
    weights.clear();
    relax_core_clauses(core, *clset, rvars, weights);
    k = next_bound(k);
    finish_sat_call(sat);
    std::cout << "c Num. cores:" << count << ", k:" << k
              << ", Relax. vars: " << rvar_cl_map.size() << std::endl;
  }
}

long long ZOR3::next_bound(long long k) {
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  if (std::all_of(weights.begin(), weights.end(),
                  [](long long w) { return w == 1; }))
    return k + 1;
  // The next reachable cost lies above k: at the ceiling it is out of
  // range, and one found there may be a saturated sum.
  long long next = exact_cost(Subsetsum().solve(weights, exact_cost(k)));
  // The relaxed weights of an unsatisfiable answer always reach above k,
  // since the core's clauses were relaxed on top of a total of at least k.
  if (next < 0)
    Abort("No subset of the relaxed weights exceeds the bound");
  return next;
}
