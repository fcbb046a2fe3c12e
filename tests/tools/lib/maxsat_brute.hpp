// Exhaustive optimum of a small instance: a depth-first walk over all
// assignments of the variables in index order. Each clause, constraint and
// objective term is judged as soon as its last variable is set, and a branch
// is cut once a hard part is violated or its cost cannot beat the best found.
// Independent of any solver; meant for up to about 20 variables. Below
// that, all_costs lists what every feasible assignment costs.
#pragma once

#include <set>
#include <vector>

#include "tests/tools/lib/maxsat_instance.hpp"

namespace mxs {

constexpr long long kBruteMaxVars = 24;

// False when the instance has more than kBruteMaxVars variables. On success
// `model` (if given) receives an optimal assignment (entry v: 1 or -1).
bool brute_force(const Instance& inst, Optimum& opt,
                 std::vector<signed char>* model = nullptr);

// Up to this many variables every assignment is costed one by one.
constexpr long long kAllCostsMaxVars = 16;

// The cost of every assignment that meets the hard part (for OPB the
// objective's value). False when the instance has more than
// kAllCostsMaxVars variables.
bool all_costs(const Instance& inst, std::set<long long>& costs);

}  // namespace mxs
