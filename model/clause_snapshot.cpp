#include "model/clause_snapshot.hpp"

#include "model/mxutils.hpp"

void ClauseSnapshot::take(const BasicClauseSet &set) {
  clauses_.clear();
  clauses_.reserve(set.size());
  for (BasicClause *c : set)
    clauses_.push_back({c->lits, c->weight, c->weight >= set.top_weight});
}

void ClauseSnapshot::cost_on(
    std::optional<std::vector<SoftConstraint>> constraints) {
  constraints_ = std::move(constraints);
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

namespace {

void add_cost(ClauseSnapshot::Result &r, long long weight) {
  ++r.soft_falsified;
  if (__builtin_add_overflow(r.cost, weight, &r.cost))
    r.cost = BasicClauseSet::kMaxWeight;
}

bool holds(const ClauseSnapshot::SoftConstraint &c,
           const std::vector<long long> &model) {
  // Positive coefficients: the sum only grows, and past rhs it is decided
  // (an rhs below 0 is never met).
  long long sum = 0;
  for (std::size_t i = 0; i < c.lits.size(); ++i)
    if (mxutils::detail::lit_true(model, c.lits[i]) &&
        (__builtin_add_overflow(sum, c.coefs[i], &sum) || sum > c.rhs))
      return false;
  return c.equal ? sum == c.rhs : sum <= c.rhs;
}

} // namespace

ClauseSnapshot::Result
ClauseSnapshot::check(const std::vector<long long> &model) const {
  Result r;
  for (const Clause *c : falsified(model)) {
    if (c->hard) {
      r.hard_ok = false;
      ++r.hard_falsified;
    } else if (!constraints_) {
      add_cost(r, c->weight);
    }
  }
  if (constraints_)
    for (const SoftConstraint &c : *constraints_)
      if (!holds(c, model))
        add_cost(r, c.weight);
  return r;
}

std::vector<long long> signed_model(const std::vector<bool> &bmodel) {
  std::vector<long long> model(bmodel.size() + 1, 0);
  for (std::size_t v = 1; v <= bmodel.size(); ++v)
    model[v] = bmodel[v - 1] ? 1 : -1;
  return model;
}
