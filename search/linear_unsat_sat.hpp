// Linear UNSAT-SAT search on the cost: every soft clause is relaxed up
// front and the bound climbs from 0 through the reachable costs (the subset
// sums of the soft weights) until the first satisfiable answer, whose bound
// is the optimum.
#pragma once

#include "framework/mxsat_solver.hpp"

class LinearUnsatSat : public UnsatMaxSATSolverWithBounds {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;

private:
  BasicClauseSet bound_clset_;
};
