#include "model/clause_snapshot.hpp"

#include <cstdlib>

void ClauseSnapshot::take(const BasicClauseSet &set) {
  clauses_.clear();
  for (BasicClause *c : set)
    clauses_.push_back({c->lits, c->weight, c->weight >= set.top_weight});
}

ClauseSnapshot::Result
ClauseSnapshot::check(const std::vector<long long> &model) const {
  Result r;
  for (const Entry &e : clauses_) {
    bool sat = false;
    for (long long l : e.lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      long long val = v < model.size() ? model[v] : 0;
      if ((l > 0 && val > 0) || (l < 0 && val < 0)) {
        sat = true;
        break;
      }
    }
    if (sat)
      continue;
    if (e.hard) {
      r.hard_ok = false;
      ++r.hard_falsified;
    } else {
      ++r.soft_falsified;
      if (__builtin_add_overflow(r.cost, e.weight, &r.cost))
        r.cost = BasicClauseSet::kMaxWeight;
    }
  }
  return r;
}
