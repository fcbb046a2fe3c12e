// Exhaustive optimum of a small instance: a depth-first walk over all
// assignments of the variables in index order. Each clause, constraint and
// objective term is judged as soon as its last variable is set, and a branch
// is cut once a hard part is violated or its cost cannot beat the best found.
// Independent of any solver; meant for up to about 20 variables.
#pragma once

#include <vector>

#include "tests/tools/lib/maxsat_instance.hpp"

namespace mxs {

constexpr long long kBruteMaxVars = 24;

// False when the instance has more than kBruteMaxVars variables. On success
// `model` (if given) receives an optimal assignment (entry v: 1 or -1).
bool brute_force(const Instance& inst, Optimum& opt,
                 std::vector<signed char>* model = nullptr);

}  // namespace mxs
