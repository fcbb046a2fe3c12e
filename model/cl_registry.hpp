// The single registry of clauses: it creates each distinct literal set once,
// counts the set memberships of every clause and deletes a clause when its
// last set releases it.
#pragma once

#include <cstdint>
#include <vector>

#include "model/basic_clause.hpp"
#include "model/cl_id_manager.hpp"

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
  void reserve(std::size_t n) { grow(count_ + n); }

private:
  // The literal map: open addressing with linear probing over (hash,
  // clause) slots, so a lookup hashes the literals once and allocates
  // nothing; deletion shifts later entries back instead of leaving marks.
  struct Slot {
    std::uint64_t hash;
    BasicClause *clause; // null: empty
  };
  std::size_t find_slot(const LitVector &lits, std::uint64_t h) const;
  void insert_slot(BasicClause *c, std::uint64_t h);
  void erase_slot(BasicClause *c);
  void grow(std::size_t want);
  std::vector<Slot> table_ = std::vector<Slot>(256, Slot{0, nullptr});
  std::size_t count_ = 0;
};
