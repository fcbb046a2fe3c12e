// A copy of a clause set's literals and weights taken before solving, so
// that a model can be checked against the input as it was read: algorithms
// relax clauses in place, change weights, take clauses out and add split
// copies or bound clauses, none of which may change what a model costs.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"

class ClauseSnapshot {
public:
  struct Clause {
    LitVector lits;
    long long weight;
    bool hard; // weight at or above the set's top weight
  };

  void take(const BasicClauseSet &set);
  bool empty() const { return clauses_.empty(); }
  const std::vector<Clause> &clauses() const { return clauses_; }

  // Outcome of checking a model: whether every hard clause holds and the
  // total weight of the falsified soft clauses (saturating at the largest
  // 64-bit value). A literal over a variable without model entry is false.
  struct Result {
    bool hard_ok = true;
    long long hard_falsified = 0;
    long long soft_falsified = 0;
    long long cost = 0;
  };
  Result check(const std::vector<long long> &model) const;

  // The clauses, hard and soft, that the model falsifies, in the order of
  // the set when the copy was taken (an empty clause always).
  std::vector<const Clause *>
  falsified(const std::vector<long long> &model) const;

private:
  std::vector<Clause> clauses_;
};
