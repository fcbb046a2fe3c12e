// Linear SAT-UNSAT search on the cost: every soft clause is relaxed up
// front and each call asks for a model cheaper than the last one; the first
// unsatisfiable answer proves the last cost optimal.
#pragma once

#include "framework/mxsat_solver.hpp"

class LinearSatUnsat : public UnsatMaxSATSolverWithBounds {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;

private:
  BasicClauseSet bound_clset_;
};
