// Bit-based search on the cost: the optimum is fixed one bit at a time,
// from the highest bit of the upper bound down. A test value has the bits
// fixed so far and a 1 at the bit under test; a model below it shows the bit
// is 0 (and its cost fixes further bits at once), an unsatisfiable answer
// that it is 1. Known bounds decide a bit without a SAT call.
#pragma once

#include "framework/mxsat_solver.hpp"

class BitBasedSearch : public UnsatMaxSATSolverWithBounds {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;
  // After a model of this cost: iota becomes the highest 1 bit of cost
  // below the current iota (-1 when none, tau then unchanged), and tau is
  // cost with its iota lowest bits cleared, plus that bit.
  void updateIota(long long cost, int &iota, long long &tau);

private:
  // The bit below iota becomes the one under test, at 1 in tau.
  void next_bit(int &iota, long long &tau);
  void print_iota(int iota, long long tau);

  BasicClauseSet bound_clset_;
};
