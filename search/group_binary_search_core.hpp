// Core-guided binary search over groups: a group of weight w costs w when
// any of its clauses is falsified, so all relaxed soft clauses of one
// (group, weight) pair share one relaxation variable and the pair is counted
// once in the bound. A clause without a group is a group of its own.
#pragma once

#include <map>
#include <set>
#include <unordered_map>
#include <vector>

#include "search/binary_search.hpp"

class GroupBinarySearchCore : public BinarySearch {
public:
  // The optimum group cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;
  // Gives every (group, weight) pair of the soft clauses, and every
  // ungrouped soft clause, its variable; returns the sum of their weights.
  long long initialize_groups();
  // Appends cl's shared variable to cl and records it.
  void relax_clause(BasicClauseSet &set, BasicClause *cl);
  // Relaxes the core's unrelaxed soft clauses and, when every clause of a
  // group is relaxed together, the other unrelaxed clauses of their pairs.
  void relax_core_clauses2(std::vector<BasicClause *> &core,
                           BasicClauseSet &set);

private:
  long long &pair_var(BasicClause *cl);

  BasicClauseSet second_clset_;
  // group -> weight -> the pair's relaxation variable.
  std::map<long long, std::map<long long, long long>> groups_;
  // Ungrouped soft clause -> its own relaxation variable.
  std::unordered_map<BasicClause *, long long> own_vars_;
  // Variables put into at least one clause.
  std::set<long long> used_rvars_;
  // The soft clauses in the order initialize_groups met them.
  std::vector<BasicClause *> soft_cls_;
};
