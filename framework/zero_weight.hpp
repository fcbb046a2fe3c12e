// Soft clauses of weight 0 (legal in wcnf) cost nothing whatever the model,
// so the algorithms leave them out while solving: this guard takes them out
// of a clause set and puts them back when it goes out of scope.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"

class ZeroWeightClauses {
public:
  explicit ZeroWeightClauses(BasicClauseSet &set) : set_(set) {
    for (BasicClause *c : set)
      if (c->weight <= 0 && c->weight < set.top_weight)
        aside_.push_back(c);
    for (BasicClause *c : aside_)
      set.remove_member(c);
  }
  ~ZeroWeightClauses() {
    for (BasicClause *c : aside_)
      set_.insert_member(c);
  }
  ZeroWeightClauses(const ZeroWeightClauses &) = delete;
  ZeroWeightClauses &operator=(const ZeroWeightClauses &) = delete;

private:
  BasicClauseSet &set_;
  std::vector<BasicClause *> aside_;
};
