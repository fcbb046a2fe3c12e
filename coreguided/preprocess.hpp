// Clause-set preprocessing used by the BMO solver and, in expert mode, by
// the problem loader: pure-literal elimination (closed under the removals it
// causes), variable-disjoint partition statistics and weight statistics.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"

// Union-find forest over 0..n (parent and rank per element).
class BasicSet {
public:
  void set_resize(unsigned long long n) {
    parent.assign(n + 1, 0);
    rank.assign(n + 1, 0);
  }
  unsigned long long find(unsigned long long x);
  // Unites the sets of a and b; on equal ranks b's root goes under a's.
  void unite(unsigned long long a, unsigned long long b);

  std::vector<unsigned long long> parent;
  std::vector<unsigned long long> rank;
};

namespace preprocess {

// Takes every clause holding a pure literal out of cls (no registry count
// changes), appending the pure literals to pure and the clauses to removed
// so that the caller can set the literals true and put the clauses back.
// requires: every variable of cls is at most nvars
void remove_pure_literals(long long nvars, BasicClauseSet &cls,
                          std::vector<long long> &pure,
                          std::vector<BasicClause *> &removed);

// Prints statistics of the variable-disjoint groups of clauses (expert mode).
void find_partitions(long long nvars, BasicClauseSet &cls);

// Prints how many clauses carry each weight.
void get_weight_distrib(BasicClauseSet &cls);

} // namespace preprocess
