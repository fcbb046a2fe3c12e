// Binary search on the cost: every soft clause gets a relaxation variable
// up front; each iteration asks whether the relaxed formula has a model
// whose relaxed weight is at most nu, between the bounds lambda (below,
// unsatisfiable) and mu (above, reached by a model).
#pragma once

#include "framework/mxsat_solver.hpp"

class TernWrapperSort;

class BinarySearch : public UnsatMaxSATSolverWithBounds {
public:
  BinarySearch() = default;
  ~BinarySearch() override = default;

  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;
  // The value tested between lambda and mu.
  virtual long long compute_nu(long long lambda, long long mu);

  // The value between lambda and mu skewed by the answers so far: toward
  // mu after more unsatisfiable answers (unsat), toward lambda after more
  // satisfiable ones (sat).
  static long long biased_nu(long long lambda, long long mu, unsigned sat,
                             unsigned unsat);

protected:
  // The start of every binary search: the initial bounds (count receives
  // their cores), then mu = the smaller of the upper bound and the soft
  // weight sum, plus 1, and lambda = the lower bound minus 1, or -1. False
  // when the hard clauses are unsatisfiable.
  bool initial_search_bounds(TernWrapperSort &sat, long long &count,
                             long long &lambda, long long &mu);
  // After an unsatisfiable answer: whether the core holds a soft clause
  // still without its relaxation variable (printed above verbosity 1).
  bool core_has_new_soft_clauses();
  // The next value to test; the alternating search overrides it.
  virtual long long next_nu(long long lambda, long long mu, std::size_t nrvars);
  // The set holding the current iteration's bound clauses.
  virtual BasicClauseSet &bound_set() { return bound_clset_; }

  BasicClauseSet bound_clset_;
};

// The binary search alternating its binary steps with linear SAT-UNSAT
// steps that test mu - 1.
class BinaryLinearSatUnsatSearch : public BinarySearch {
public:
  long long solve() override;

protected:
  long long next_nu(long long lambda, long long mu,
                    std::size_t nrvars) override;
  BasicClauseSet &bound_set() override { return second_clset_; }

private:
  BasicClauseSet second_clset_;
  unsigned binary_step_ = 1;
};
