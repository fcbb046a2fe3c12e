// ZOR4: core-guided search between two bounds. Every iteration asks for an
// assignment cheaper than the best one found, mu (the weight of the
// falsified relaxed clauses at most mu - 1). A model lowers mu to its cost.
// An unsatisfiable answer whose core holds soft clauses not yet relaxed
// relaxes them and raises the lower bound lambda by one; a core of relaxed
// clauses only proves that nothing below mu exists. The search ends when
// lambda + 1 reaches mu, and mu is the optimum.
//
// lambda + 1 stays at most the relaxed weight that every assignment
// falsifies: one satisfying the core's new clauses exceeds mu - 1 > lambda
// on the old relaxed clauses, one falsifying a new clause adds its weight
// (at least 1) to at least lambda + 1.
#pragma once

#include <vector>

#include "framework/mxsat_solver.hpp"

class ZOR4 : public UnsatMaxSATSolverWithBounds {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable; the
  // model vector holds the model of the last satisfiable call.
  // requires: init
  long long solve() override;

  // A lower bound minus one: the sum over disjoint cores of each core's
  // least soft weight, as the framework's lower-bound heuristic finds it
  // (the cores' clauses relaxed). solve does not call it.
  long long heuristic(IDManager &imgr, BasicClauseSet &clset,
                      TernWrapperSort &solver, std::vector<long long> &model,
                      std::vector<BasicClause *> &core, long long &count);

private:
  // Relaxes the soft clauses of the core when one of them has no unique
  // relaxation variable; false when every one has.
  bool relax_new_core_clauses();

  // The clauses of the current iteration's bound constraint.
  BasicClauseSet bound_clset_;
};
