#include "model/clause_snapshot.hpp"

#include "model/mxutils.hpp"

void ClauseSnapshot::take(const BasicClauseSet &set) {
  clauses_.clear();
  clauses_.reserve(set.size());
  for (BasicClause *c : set)
    clauses_.push_back({c->lits, c->weight, c->weight >= set.top_weight});
}

std::vector<const ClauseSnapshot::Clause *>
ClauseSnapshot::falsified(const std::vector<long long> &model) const {
  std::vector<const Clause *> out;
  for (const Clause &c : clauses_) {
    bool sat = false;
    for (long long l : c.lits)
      if (mxutils::detail::lit_true(model, l)) {
        sat = true;
        break;
      }
    if (!sat)
      out.push_back(&c);
  }
  return out;
}

ClauseSnapshot::Result
ClauseSnapshot::check(const std::vector<long long> &model) const {
  Result r;
  for (const Clause *c : falsified(model)) {
    if (c->hard) {
      r.hard_ok = false;
      ++r.hard_falsified;
    } else {
      ++r.soft_falsified;
      if (__builtin_add_overflow(r.cost, c->weight, &r.cost))
        r.cost = BasicClauseSet::kMaxWeight;
    }
  }
  return r;
}
