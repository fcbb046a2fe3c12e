// A map from clause pointers to positions: open addressing with linear
// probing and backward-shift deletion, so membership tests and updates of
// large clause sets allocate nothing per clause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BasicClause;

class PtrIndex {
public:
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool contains(const BasicClause *c) const { return table_[find(c)].key; }
  // The position of c; requires: contains(c).
  std::size_t at(const BasicClause *c) const { return table_[find(c)].pos; }
  // Adds c at pos unless present; returns whether it was added.
  bool insert(BasicClause *c, std::size_t pos);
  void set(BasicClause *c, std::size_t pos) { table_[find(c)].pos = pos; }
  // Removes c; returns whether it was present.
  bool erase(const BasicClause *c);
  void clear();
  void reserve(std::size_t n) { grow(n); }

private:
  struct Slot {
    BasicClause *key; // null: empty
    std::size_t pos;
  };
  // Clauses allocated one after another (a reader's, an encoder's) get
  // neighbouring slots, so filling a large set stays in cache.
  static std::size_t home(const BasicClause *c, std::size_t mask) {
    std::uint64_t h = reinterpret_cast<std::uintptr_t>(c) >> 4;
    return static_cast<std::size_t>(h ^ (h >> 29)) & mask;
  }
  std::size_t find(const BasicClause *c) const;
  void grow(std::size_t want);
  std::vector<Slot> table_ = std::vector<Slot>(16, Slot{nullptr, 0});
  std::size_t count_ = 0;
};
