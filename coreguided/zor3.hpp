// ZOR3: core-guided linear search from below with one global bound. Soft
// clauses are relaxed lazily, the first time they occur in a core, and one
// constraint, rebuilt in every iteration, bounds the total weight of the
// falsified relaxed clauses by k. An unsatisfiable answer relaxes the core's
// clauses and raises k to the next cost that a subset of the relaxed
// weights reaches; the first satisfiable answer proves k optimal.
//
// k stays a lower bound on the weight that every assignment falsifies among
// the relaxed clauses: an assignment that satisfies the core's unrelaxed
// clauses exceeds k on the relaxed ones, and one that falsifies a core
// clause adds that clause's weight to at least k. Either way its relaxed
// cost is a subset sum of the relaxed weights above k.
#pragma once

#include <vector>

#include "framework/mxsat_solver.hpp"

class ZOR3 : public UnsatMaxSATSolverWithBounds {
public:
  ZOR3();

  // The optimum cost, or -1 when the hard clauses are unsatisfiable; the
  // model vector holds the last satisfying assignment. requires: init
  long long solve() override;

private:
  // The bound after an unsatisfiable answer at k: k + 1 for unit weights,
  // else the smallest subset sum of the relaxed weights above k.
  long long next_bound(long long k);

  // The clauses of the current iteration's bound constraint.
  BasicClauseSet bound_clset_;
};
