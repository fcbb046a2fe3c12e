// The single registry of clauses: it creates each distinct literal set once,
// counts the set memberships of every clause and deletes a clause when its
// last set releases it.
#pragma once

#include <cstdint>
#include <vector>

#include "model/basic_clause.hpp"
#include "model/cl_id_manager.hpp"
#include "model/clause_arena.hpp"
#include "model/huge_page_alloc.hpp"

class ClauseRegistry {
public:
  virtual ~ClauseRegistry() = default;

  // The process-wide registry. It is never destroyed, so the clauses it
  // owns stay reachable until the process ends.
  static ClauseRegistry &clreg_instance;

  // Sorts and deduplicates lits in place, then returns the clause with that
  // literal set, creating it (weight 0, group -1, next id) when new.
  BasicClause *create_clause(LitVector &lits);
  // The same on a copy of the n literals at lits.
  BasicClause *create_clause(long long n, const long long *lits);
  // create_clause in two steps, for callers that create many clauses in a
  // row: prepare_clause sorts and deduplicates lits as create_clause does
  // and starts fetching the table slot of its clause into the cache;
  // create_prepared then finishes on the unchanged vector and the key that
  // prepare_clause returned. Preparing a batch of clauses before creating
  // them lets their cache misses overlap.
  std::uint64_t prepare_clause(LitVector &lits);
  BasicClause *create_prepared(const LitVector &lits, std::uint64_t key);

  static void remove_duplicates(LitVector &lits);
  void register_clause(BasicClause *c);
  long long incr_cl_refs(BasicClause *c) { return ++c->refs_; }
  long long decr_cl_refs(BasicClause *c) { return --c->refs_; }
  long long cl_refs(const BasicClause *c) const { return c->refs_; }
  // Looks up the literal vector as given (no sorting); null when absent.
  BasicClause *lookup_vect(const LitVector &lits) const;
  // Forgets the clause's literal set and deletes it.
  void erase_clause(BasicClause *c);
  // Relaxes c in place: appends l and re-registers it under its new literals.
  void add_literal(BasicClause *c, long long l);
  // Decrements the count; deletes the clause at zero.
  void release_clause(BasicClause *c);

  std::size_t size() const { return count_; }
  // Room for n more clauses without rehashing (readers pass the count of
  // a file's header, capped).
  void reserve(std::size_t n);

private:
  // The literal map: open addressing with linear probing, so a lookup
  // hashes the literals once and allocates nothing. A slot is one word: the
  // clause's address in its low 48 bits (all that user-space addresses use)
  // and 16 bits of its hash above, which settle most mismatches without
  // touching the clause. 0 marks an empty slot, kErased one whose clause
  // was erased: erasing then needs no other clause's hash, and the marks
  // go at the next rehash.
  using Slot = std::uint64_t;
  static constexpr int kTagShift = 48;
  static constexpr Slot kAddrMask = (Slot(1) << kTagShift) - 1;
  static constexpr Slot kErased = 1; // no clause has an odd address
  static Slot tag_of(std::uint64_t h) { return h << kTagShift; }
  static BasicClause *clause_of(Slot s) {
    return reinterpret_cast<BasicClause *>(s & kAddrMask);
  }
  static std::uint64_t hash_of(const BasicClause *c) {
    return hash_lits(c->lits.begin(), c->lits.end());
  }
  // The home slot of a hash: its high bits scaled to the table size, so
  // that the table need not be a power of two.
  std::size_t home(std::uint64_t h) const {
    return static_cast<std::size_t>(
        (static_cast<unsigned __int128>(h) * table_.size()) >> 64);
  }
  std::size_t next(std::size_t i) const {
    return i + 1 == table_.size() ? 0 : i + 1;
  }
  // The slot of the clause whose hash is h and for which same(clause)
  // holds; when there is none, found is false and the slot is the one to
  // fill (the first erased slot on the way, else the empty one).
  struct Probe {
    std::size_t slot;
    bool found;
  };
  template <class Same> Probe probe(std::uint64_t h, Same same) const;
  void fill(std::size_t slot, BasicClause *c, std::uint64_t h);
  void erase_slot(BasicClause *c);
  // Makes room for want entries beside the erased marks, at a load of at
  // most 3/4.
  void grow(std::size_t want);
  void rehash(std::size_t cap);
  BasicClause *new_clause(const LitVector &lits);
  void delete_clause(BasicClause *c);

  ClauseArena arena_;
  using Table = std::vector<Slot, HugePageAllocator<Slot>>;
  Table table_ = Table(256, 0);
  std::size_t count_ = 0; // clauses in the table
  std::size_t used_ = 0;  // slots not empty: clauses and erased marks
};
