#include "model/cl_registry.hpp"

#include <algorithm>

ClauseIdManager *ClauseIdManager::instance = nullptr;
ClauseRegistry &ClauseRegistry::clreg_instance = *new ClauseRegistry();

BasicClause::BasicClause(const LitVector &l)
    : lits(l), id(ClauseIdManager::get().new_id()) {}

void BasicClause::sort_lits() {
  std::sort(lits.begin(), lits.end(), AbsLitLess());
}

void BasicClause::add_lit(long long l) {
  lits.push_back(l);
  std::size_t n = lits.size();
  if (n > 1 && std::llabs(l) < std::llabs(lits[n - 2]))
    sort_lits();
}

std::ostream &operator<<(std::ostream &out, const BasicClause &c) {
  for (long long l : c.lits)
    out << l << " ";
  out << "0";
  return out;
}

void ClauseRegistry::remove_duplicates(LitVector &lits) {
  if (lits.size() < 2)
    return;
  lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
}

BasicClause *ClauseRegistry::create_clause(LitVector &lits) {
  // Sorting by variable leaves x and -x adjacent in some order; duplicates
  // of one literal can then be split by its negation, so order each
  // variable's literals before dropping repeats.
  std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
    long long va = std::llabs(a), vb = std::llabs(b);
    return va != vb ? va < vb : a < b;
  });
  remove_duplicates(lits);
  auto it = litmap_.find(&lits);
  if (it != litmap_.end())
    return it->second;
  BasicClause *c = new BasicClause(lits);
  register_clause(c);
  return c;
}

BasicClause *ClauseRegistry::create_clause(long long n, const long long *lits) {
  LitVector v(lits, lits + n);
  return create_clause(v);
}

void ClauseRegistry::register_clause(BasicClause *c) {
  litmap_.emplace(&c->lits, c);
}

BasicClause *ClauseRegistry::lookup_vect(const LitVector &lits) const {
  auto it = litmap_.find(&lits);
  return it == litmap_.end() ? nullptr : it->second;
}

void ClauseRegistry::erase_clause(BasicClause *c) {
  if (!c)
    return;
  auto it = litmap_.find(&c->lits);
  if (it != litmap_.end() && it->second == c)
    litmap_.erase(it);
  delete c;
}

void ClauseRegistry::add_literal(BasicClause *c, long long l) {
  auto it = litmap_.find(&c->lits);
  if (it != litmap_.end() && it->second == c)
    litmap_.erase(it);
  c->add_lit(l);
  litmap_.emplace(&c->lits, c);
}

void ClauseRegistry::release_clause(BasicClause *c) {
  if (--c->refs_ <= 0)
    erase_clause(c);
}
