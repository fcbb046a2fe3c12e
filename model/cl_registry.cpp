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

namespace {
// Sorts a short clause as create_clause does, by variable and then -x
// before x, without a data-dependent branch: each literal becomes the key
// 2|l| + (l > 0), the keys pass a sorting network of compare-exchanges
// (conditional moves), and the literals are read back. Input clauses are
// mostly short and their literals in random order, where the branches of
// a comparison sort mispredict half the time. Returns false, leaving lits
// alone, for long clauses and huge literals.
bool sort_short(LitVector &lits) {
  constexpr std::size_t kMaxShort = 8;
  constexpr long long kMaxKeyed = 1LL << 62;
  std::size_t n = lits.size();
  if (n > kMaxShort)
    return false;
  std::uint64_t k[kMaxShort];
  for (std::size_t i = 0; i < n; ++i) {
    long long l = lits[i];
    if (l <= -kMaxKeyed || l >= kMaxKeyed)
      return false;
    k[i] = 2 * static_cast<std::uint64_t>(l < 0 ? -l : l) + (l > 0);
  }
  for (std::size_t i = 0; i + 1 < n; ++i)
    for (std::size_t j = n - 1; j > i; --j) {
      std::uint64_t a = k[j - 1], b = k[j];
      k[j - 1] = a < b ? a : b;
      k[j] = a < b ? b : a;
    }
  for (std::size_t i = 0; i < n; ++i) {
    long long v = static_cast<long long>(k[i] >> 1);
    lits[i] = k[i] & 1 ? v : -v;
  }
  return true;
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
  if (!sort_short(lits))
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
  Probe p = probe(key, [&lits](const BasicClause *o) {
    return o->lits.equals(lits.data(), lits.size());
  });
  if (p.found)
    return clause_of(table_[p.slot]);
  BasicClause *c = new_clause(lits);
  fill(p.slot, c, key);
  return c;
}

BasicClause *ClauseRegistry::create_clause(LitVector &lits) {
  return create_prepared(lits, prepare_clause(lits));
}

BasicClause *ClauseRegistry::create_clause(long long n, const long long *lits) {
  LitVector v(lits, lits + n);
  return create_clause(v);
}

template <class Same>
ClauseRegistry::Probe ClauseRegistry::probe(std::uint64_t h, Same same) const {
  Slot tag = tag_of(h);
  std::size_t i = home(h), free = table_.size();
  for (Slot s; (s = table_[i]); i = next(i)) {
    if (s == kErased) {
      if (free == table_.size())
        free = i;
    } else if ((s & ~kAddrMask) == tag && same(clause_of(s))) {
      return {i, true};
    }
  }
  return {free == table_.size() ? i : free, false};
}

void ClauseRegistry::fill(std::size_t slot, BasicClause *c, std::uint64_t h) {
  if (!table_[slot])
    ++used_;
  table_[slot] = reinterpret_cast<std::uintptr_t>(c) | tag_of(h);
  ++count_;
}

void ClauseRegistry::reserve(std::size_t n) {
  // Sized for a load of 3/5 once the n clauses are in.
  std::size_t want = count_ + n;
  if ((used_ + n) * 4 > table_.size() * 3)
    rehash(want + want * 2 / 3);
}

void ClauseRegistry::grow(std::size_t want) {
  if ((used_ - count_ + want) * 4 > table_.size() * 3)
    rehash(std::max<std::size_t>(256, want * 2));
}

void ClauseRegistry::rehash(std::size_t cap) {
  Table old(cap, 0);
  old.swap(table_);
  used_ = count_;
  // Each entry's home needs its clause's hash: fetch the clauses a few
  // entries ahead, so that their cache misses overlap.
  constexpr std::size_t kAhead = 8;
  for (std::size_t k = 0; k < old.size(); ++k) {
    if (k + kAhead < old.size() && old[k + kAhead] > kErased)
      __builtin_prefetch(clause_of(old[k + kAhead]));
    if (old[k] <= kErased)
      continue;
    std::size_t i = home(hash_of(clause_of(old[k])));
    while (table_[i])
      i = next(i);
    table_[i] = old[k];
  }
}

void ClauseRegistry::erase_slot(BasicClause *c) {
  std::size_t i = home(hash_of(c));
  while (table_[i] && clause_of(table_[i]) != c)
    i = next(i);
  if (!table_[i])
    return; // c is not the registered clause of its literals
  --count_;
  // A slot before an empty one ends no probe run: it can be emptied.
  if (!table_[next(i)]) {
    table_[i] = 0;
    --used_;
  } else {
    table_[i] = kErased;
  }
}

void ClauseRegistry::register_clause(BasicClause *c) {
  grow(count_ + 1);
  std::uint64_t h = hash_of(c);
  Probe p = probe(h, [c](const BasicClause *o) {
    return o == c || std::equal(c->lits.begin(), c->lits.end(),
                                o->lits.begin(), o->lits.end());
  });
  if (!p.found) // an entry already present is kept
    fill(p.slot, c, h);
}

BasicClause *ClauseRegistry::lookup_vect(const LitVector &lits) const {
  Probe p = probe(hash_lits(lits.begin(), lits.end()),
                  [&lits](const BasicClause *o) {
                    return o->lits.equals(lits.data(), lits.size());
                  });
  return p.found ? clause_of(table_[p.slot]) : nullptr;
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
