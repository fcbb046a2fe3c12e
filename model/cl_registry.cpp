#include "model/cl_registry.hpp"

#include <algorithm>
#include <cstddef>
#include <new>

#include "model/runtime_msgs.hpp"

ClauseIdManager *ClauseIdManager::instance = nullptr;
ClauseRegistry &ClauseRegistry::clreg_instance = *new ClauseRegistry();

namespace {
// Bytes from the start of a clause to the room for its literals.
constexpr std::size_t kLitsRoomOffset =
    offsetof(BasicClause, lits) + sizeof(ClauseLits);

// The block size of a clause whose literals have the given room in 32-bit
// words.
std::size_t block_bytes(std::size_t words) {
  return kLitsRoomOffset + 4 * words;
}

// The room for n literals: at least the minimum, and all that the block,
// rounded up to the arena's alignment, holds.
std::uint32_t room_for(std::size_t n, std::uint32_t min_words) {
  std::size_t bytes = block_bytes(std::max<std::size_t>(n, min_words));
  bytes = (bytes + ClauseArena::kAlign - 1) / ClauseArena::kAlign *
          ClauseArena::kAlign;
  return static_cast<std::uint32_t>((bytes - kLitsRoomOffset) / 4);
}
} // namespace

void ClauseRegistry::remove_duplicates(LitVector &lits) {
  if (lits.size() < 2)
    return;
  lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
}

BasicClause *ClauseRegistry::new_clause(const LitVector &lits) {
  if (lits.size() > UINT32_MAX)
    Abort("Clause with too many literals");
  std::uint32_t words = room_for(lits.size(), ClauseLits::kMinRoom);
  void *mem = arena_.allocate(block_bytes(words));
  // The slots keep only 48 bits of a clause's address; user-space
  // addresses on this platform fit.
  if (reinterpret_cast<std::uintptr_t>(mem) & ~kAddrMask)
    Abort("Clause memory outside the 48-bit address range");
  return new (mem) BasicClause(lits.data(),
                               static_cast<std::uint32_t>(lits.size()), words);
}

void ClauseRegistry::delete_clause(BasicClause *c) {
  std::size_t bytes = block_bytes(c->lits.room_);
  c->~BasicClause();
  arena_.release(c, bytes);
}

std::uint64_t ClauseRegistry::prepare_clause(LitVector &lits) {
  // Sorting by variable leaves x and -x adjacent in some order; duplicates
  // of one literal can then be split by its negation, so order each
  // variable's literals before dropping repeats.
  std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
    long long va = std::llabs(a), vb = std::llabs(b);
    return va != vb ? va < vb : a < b;
  });
  remove_duplicates(lits);
  std::uint64_t h = hash_lits(lits.begin(), lits.end());
  __builtin_prefetch(&table_[home(h)]);
  return h;
}

BasicClause *ClauseRegistry::create_prepared(const LitVector &lits,
                                             std::uint64_t key) {
  grow(count_ + 1); // first, so that the slot found stays valid
  std::size_t i = find_slot(lits.data(), lits.size(), key);
  if (table_[i])
    return clause_of(table_[i]);
  BasicClause *c = new_clause(lits);
  table_[i] = reinterpret_cast<std::uintptr_t>(c) | tag_of(key);
  ++count_;
  return c;
}

BasicClause *ClauseRegistry::create_clause(LitVector &lits) {
  return create_prepared(lits, prepare_clause(lits));
}

BasicClause *ClauseRegistry::create_clause(long long n, const long long *lits) {
  LitVector v(lits, lits + n);
  return create_clause(v);
}

std::size_t ClauseRegistry::find_slot(const long long *l, std::size_t n,
                                      std::uint64_t h) const {
  Slot tag = tag_of(h);
  std::size_t i = home(h);
  for (Slot s; (s = table_[i]); i = next(i))
    if ((s & ~kAddrMask) == tag && clause_of(s)->lits.equals(l, n))
      return i;
  return i;
}

void ClauseRegistry::reserve(std::size_t n) {
  // Sized for a load of 3/5 once the n clauses are in.
  std::size_t want = count_ + n;
  if (want * 4 > table_.size() * 3)
    rehash(want + want * 2 / 3);
}

void ClauseRegistry::grow(std::size_t want) {
  if (want * 4 > table_.size() * 3)
    rehash(std::max(2 * table_.size(), want * 2));
}

void ClauseRegistry::rehash(std::size_t cap) {
  std::vector<Slot> old(cap, 0);
  old.swap(table_);
  // Each entry's home needs its clause's hash: fetch the clauses a few
  // entries ahead, so that their cache misses overlap.
  constexpr std::size_t kAhead = 8;
  for (std::size_t k = 0; k < old.size(); ++k) {
    if (k + kAhead < old.size() && old[k + kAhead])
      __builtin_prefetch(clause_of(old[k + kAhead]));
    if (!old[k])
      continue;
    std::size_t i = home(hash_of(clause_of(old[k])));
    while (table_[i])
      i = next(i);
    table_[i] = old[k];
  }
}

void ClauseRegistry::insert_slot(BasicClause *c) {
  grow(count_ + 1);
  std::uint64_t h = hash_of(c);
  Slot tag = tag_of(h);
  std::size_t i = home(h);
  for (Slot s; (s = table_[i]); i = next(i))
    if ((s & ~kAddrMask) == tag &&
        (clause_of(s) == c ||
         std::equal(c->lits.begin(), c->lits.end(), clause_of(s)->lits.begin(),
                    clause_of(s)->lits.end())))
      return; // an entry already present is kept
  table_[i] = reinterpret_cast<std::uintptr_t>(c) | tag;
  ++count_;
}

void ClauseRegistry::erase_slot(BasicClause *c) {
  std::size_t i = home(hash_of(c));
  while (table_[i] && clause_of(table_[i]) != c)
    i = next(i);
  if (!table_[i])
    return; // c is not the registered clause of its literals
  // Backward-shift deletion: move later entries of the probe run into the
  // hole unless their home slot lies cyclically within (hole, entry].
  std::size_t j = i;
  for (;;) {
    table_[i] = 0;
    for (;;) {
      j = next(j);
      if (!table_[j]) {
        --count_;
        return;
      }
      std::size_t k = home(hash_of(clause_of(table_[j])));
      bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (!stays)
        break;
    }
    table_[i] = table_[j];
    i = j;
  }
}

void ClauseRegistry::register_clause(BasicClause *c) { insert_slot(c); }

BasicClause *ClauseRegistry::lookup_vect(const LitVector &lits) const {
  Slot s = table_[find_slot(lits.data(), lits.size(),
                            hash_lits(lits.begin(), lits.end()))];
  return s ? clause_of(s) : nullptr;
}

void ClauseRegistry::erase_clause(BasicClause *c) {
  if (!c)
    return;
  erase_slot(c);
  delete_clause(c);
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
