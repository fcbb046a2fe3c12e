// Core-guided binary search on the cost: soft clauses get a relaxation
// variable only once they appear in an unsatisfiable core, so the bound
// constraint covers just those and the others act as hard clauses. A core
// with new soft clauses relaxes them (and may raise the lower bound to its
// smallest weight minus 1); a core of relaxed clauses only raises the lower
// bound to the value tested.
#pragma once

#include "search/binary_search.hpp"

class BinarySearchCore : public BinarySearch {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;
  // The value to test: the midpoint, or with the "biased" middle a value
  // moved toward lambda after more satisfiable answers and toward mu after
  // more unsatisfiable ones.
  long long computeMiddle(long long lambda, long long mu);
  // With hardening on, lowers by delta the hardening value of every soft
  // clause of core that the hardening map holds.
  void update_hardening_rule(std::vector<BasicClause *> &core,
                             long long delta);

protected:
  // Satisfiable and unsatisfiable answers so far, both from 1.
  unsigned sat_count_ = 1;
  unsigned unsat_count_ = 1;
  BasicClauseSet second_clset_;

private:
  // The new lambda after an unsatisfiable answer; sets changed when a
  // bound moved.
  long long lambda_after_core(long long lambda, long long nu, bool &changed);
};

// A variant that would bound soft unit clauses by their own literals. It is
// not built: solving with it stops with a message (status 3).
class BCNoUnitRV : public BinarySearchCore {
public:
  long long solve() override;
};
