#include "model/ptr_index.hpp"

#include <algorithm>

std::size_t PtrIndex::find(const BasicClause *c, const Keys &keys) const {
  std::size_t i = home(c);
  while (table_[i] && keys[table_[i] - 1] != c)
    i = next(i);
  return i;
}

void PtrIndex::put(const BasicClause *c, std::size_t pos) {
  std::size_t i = home(c);
  while (table_[i])
    i = next(i);
  table_[i] = static_cast<std::uint32_t>(pos + 1);
  ++count_;
}

void PtrIndex::rehash(std::size_t cap, const Keys &keys) {
  std::vector<std::uint32_t> old(cap, 0);
  old.swap(table_);
  count_ = 0;
  for (std::uint32_t s : old)
    if (s)
      put(keys[s - 1], s - 1);
}

void PtrIndex::reserve(std::size_t n, const Keys &keys) {
  // Sized for a load of 3/5 once the n entries are in.
  std::size_t want = count_ + n;
  if (want * 4 > table_.size() * 3)
    rehash(want + want * 2 / 3, keys);
}

bool PtrIndex::insert(BasicClause *c, std::size_t pos, const Keys &keys) {
  if ((count_ + 1) * 4 > table_.size() * 3)
    rehash(2 * table_.size(), keys);
  std::size_t i = find(c, keys);
  if (table_[i])
    return false;
  table_[i] = static_cast<std::uint32_t>(pos + 1);
  ++count_;
  return true;
}

bool PtrIndex::erase(const BasicClause *c, const Keys &keys) {
  std::size_t i = find(c, keys);
  if (!table_[i])
    return false;
  std::size_t j = i;
  for (;;) {
    table_[i] = 0;
    for (;;) {
      j = next(j);
      if (!table_[j]) {
        --count_;
        return true;
      }
      std::size_t k = home(keys[table_[j] - 1]);
      bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (!stays)
        break;
    }
    table_[i] = table_[j];
    i = j;
  }
}

void PtrIndex::rebuild(const Keys &keys) {
  std::size_t n = 0;
  for (BasicClause *c : keys)
    n += c != nullptr;
  std::size_t cap = table_.size();
  while (n * 4 > cap * 3)
    cap *= 2;
  table_.assign(cap, 0);
  count_ = 0;
  for (std::size_t p = 0; p < keys.size(); ++p)
    if (keys[p])
      put(keys[p], p);
}

void PtrIndex::clear() {
  std::fill(table_.begin(), table_.end(), 0);
  count_ = 0;
}
