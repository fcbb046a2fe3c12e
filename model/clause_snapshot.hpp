// A copy of a clause set's literals and weights taken before solving, so
// that a model can be checked against the input as it was read: algorithms
// relax clauses in place, change weights, take clauses out and add split
// copies or bound clauses, none of which may change what a model costs.
#pragma once

#include <optional>
#include <vector>

#include "model/basic_clset.hpp"

class ClauseSnapshot {
public:
  struct Clause {
    LitVector lits;
    long long weight;
    bool hard; // weight at or above the set's top weight
  };

  // A soft pseudo-Boolean constraint as read, with positive coefficients:
  // sum coefs[i] * lits[i] at most rhs, or (equal) exactly rhs.
  struct SoftConstraint {
    LitVector lits;
    std::vector<long long> coefs;
    bool equal = false;
    long long rhs = 0;
    long long weight = 0;
  };

  // Copies the clauses; the soft constraints given to cost_on stay.
  void take(const BasicClauseSet &set);
  bool empty() const { return clauses_.empty(); }
  const std::vector<Clause> &clauses() const { return clauses_; }

  // With constraints, a model costs the weights of the constraints that it
  // violates, and the soft clauses cost nothing: a WBO input, whose soft
  // clauses stand for its soft constraints through encoding variables that
  // a model may set to charge a constraint that holds. Without (nullopt),
  // a model costs the weights of the soft clauses that it falsifies.
  void cost_on(std::optional<std::vector<SoftConstraint>> constraints);

  // Outcome of checking a model: whether every hard clause holds and the
  // total weight of the falsified soft clauses, or violated soft
  // constraints (saturating at the largest 64-bit value). A literal over a
  // variable without model entry is false.
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
  std::optional<std::vector<SoftConstraint>> constraints_;
};

// A Boolean model (entry v-1 for variable v) as the model that check reads
// and the model line prints: entry v for variable v, 1 true and -1 false,
// entry 0 unused.
std::vector<long long> signed_model(const std::vector<bool> &bmodel);
