// A map from clause pointers to their positions in a vector of clauses:
// open addressing with linear probing and backward-shift deletion, so
// membership tests and updates of large clause sets allocate nothing per
// clause. A slot holds only a position (plus one; 0 is empty) and the
// vector itself supplies the key, so a slot costs 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class BasicClause;

class PtrIndex {
public:
  // The vector that the positions index; every call takes the same one.
  using Keys = std::vector<BasicClause *>;

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool contains(const BasicClause *c, const Keys &keys) const {
    return table_[find(c, keys)] != 0;
  }
  // The position of c; requires: contains(c, keys).
  std::size_t at(const BasicClause *c, const Keys &keys) const {
    return table_[find(c, keys)] - 1;
  }
  // Adds c at pos (keys[pos] is to become c) unless present; returns
  // whether it was added.
  bool insert(BasicClause *c, std::size_t pos, const Keys &keys);
  // Removes c; returns whether it was present.
  bool erase(const BasicClause *c, const Keys &keys);
  // Indexes exactly the non-null entries of keys.
  void rebuild(const Keys &keys);
  void clear();
  // Room for n more entries without rehashing.
  void reserve(std::size_t n, const Keys &keys);

  // Positions must stay below this.
  static constexpr std::size_t kMaxPos = UINT32_MAX - 1;

private:
  // Clauses allocated one after another (a reader's, an encoder's) lie
  // in the same few pages: the 4 KiB page of a clause picks a random
  // window of the table and its offset in the page a slot in that window,
  // so filling a large set stays in cache while the pages spread evenly.
  std::size_t home(const BasicClause *c) const {
    std::uint64_t a = reinterpret_cast<std::uintptr_t>(c) >> 4;
    std::uint64_t page = (a >> 8) * 0x9E3779B97F4A7C15ULL;
    std::size_t cap = table_.size();
    std::size_t i = static_cast<std::size_t>(
                        (static_cast<unsigned __int128>(page) * cap) >> 64) +
                    (a & 255);
    while (i >= cap)
      i -= cap;
    return i;
  }
  std::size_t next(std::size_t i) const {
    return i + 1 == table_.size() ? 0 : i + 1;
  }
  std::size_t find(const BasicClause *c, const Keys &keys) const;
  void put(const BasicClause *c, std::size_t pos);
  void rehash(std::size_t cap, const Keys &keys);
  std::vector<std::uint32_t> table_ = std::vector<std::uint32_t>(16, 0);
  std::size_t count_ = 0;
};
