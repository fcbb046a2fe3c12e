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
  std::uint64_t h = LitVectHash()(&lits);
  grow(count_ + 1); // first, so that the slot found stays valid
  std::size_t i = find_slot(lits, h);
  if (table_[i].clause)
    return table_[i].clause;
  BasicClause *c = new BasicClause(lits);
  table_[i] = Slot{h, c};
  ++count_;
  return c;
}

BasicClause *ClauseRegistry::create_clause(long long n, const long long *lits) {
  LitVector v(lits, lits + n);
  return create_clause(v);
}

std::size_t ClauseRegistry::find_slot(const LitVector &lits,
                                      std::uint64_t h) const {
  std::size_t mask = table_.size() - 1;
  std::size_t i = static_cast<std::size_t>(h) & mask;
  while (table_[i].clause &&
         !(table_[i].hash == h && table_[i].clause->lits == lits))
    i = (i + 1) & mask;
  return i;
}

void ClauseRegistry::grow(std::size_t want) {
  // Keep the load at most 5/8.
  std::size_t cap = table_.size();
  while (want * 8 >= cap * 5)
    cap *= 2;
  if (cap == table_.size())
    return;
  std::vector<Slot> old(cap, Slot{0, nullptr});
  old.swap(table_);
  std::size_t mask = cap - 1;
  for (const Slot &s : old)
    if (s.clause) {
      std::size_t i = static_cast<std::size_t>(s.hash) & mask;
      while (table_[i].clause)
        i = (i + 1) & mask;
      table_[i] = s;
    }
}

void ClauseRegistry::insert_slot(BasicClause *c, std::uint64_t h) {
  grow(count_ + 1);
  std::size_t i = find_slot(c->lits, h);
  if (table_[i].clause) // an entry already present is kept
    return;
  table_[i] = Slot{h, c};
  ++count_;
}

void ClauseRegistry::erase_slot(BasicClause *c) {
  std::uint64_t h = LitVectHash()(&c->lits);
  std::size_t mask = table_.size() - 1;
  std::size_t i = static_cast<std::size_t>(h) & mask;
  while (table_[i].clause && table_[i].clause != c)
    i = (i + 1) & mask;
  if (!table_[i].clause)
    return; // c is not the registered clause of its literals
  // Backward-shift deletion: move later entries of the probe run into the
  // hole unless their home slot lies cyclically within (hole, entry].
  std::size_t j = i;
  for (;;) {
    table_[i].clause = nullptr;
    for (;;) {
      j = (j + 1) & mask;
      if (!table_[j].clause) {
        --count_;
        return;
      }
      std::size_t k = static_cast<std::size_t>(table_[j].hash) & mask;
      bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (!stays)
        break;
    }
    table_[i] = table_[j];
    i = j;
  }
}

void ClauseRegistry::register_clause(BasicClause *c) {
  insert_slot(c, LitVectHash()(&c->lits));
}

BasicClause *ClauseRegistry::lookup_vect(const LitVector &lits) const {
  return table_[find_slot(lits, LitVectHash()(&lits))].clause;
}

void ClauseRegistry::erase_clause(BasicClause *c) {
  if (!c)
    return;
  erase_slot(c);
  delete c;
}

void ClauseRegistry::add_literal(BasicClause *c, long long l) {
  erase_slot(c);
  c->add_lit(l);
  register_clause(c);
}

void ClauseRegistry::release_clause(BasicClause *c) {
  if (--c->refs_ <= 0)
    erase_clause(c);
}
