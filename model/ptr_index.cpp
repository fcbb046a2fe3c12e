#include "model/ptr_index.hpp"

std::size_t PtrIndex::find(const BasicClause *c) const {
  std::size_t mask = table_.size() - 1;
  std::size_t i = home(c, mask);
  while (table_[i].key && table_[i].key != c)
    i = (i + 1) & mask;
  return i;
}

void PtrIndex::grow(std::size_t want) {
  std::size_t cap = table_.size();
  while (want * 8 >= cap * 5)
    cap *= 2;
  if (cap == table_.size())
    return;
  std::vector<Slot> old(cap, Slot{nullptr, 0});
  old.swap(table_);
  std::size_t mask = cap - 1;
  for (const Slot &s : old)
    if (s.key) {
      std::size_t i = home(s.key, mask);
      while (table_[i].key)
        i = (i + 1) & mask;
      table_[i] = s;
    }
}

bool PtrIndex::insert(BasicClause *c, std::size_t pos) {
  grow(count_ + 1);
  std::size_t i = find(c);
  if (table_[i].key)
    return false;
  table_[i] = Slot{c, pos};
  ++count_;
  return true;
}

bool PtrIndex::erase(const BasicClause *c) {
  std::size_t i = find(c);
  if (!table_[i].key)
    return false;
  std::size_t mask = table_.size() - 1;
  std::size_t j = i;
  for (;;) {
    table_[i].key = nullptr;
    for (;;) {
      j = (j + 1) & mask;
      if (!table_[j].key) {
        --count_;
        return true;
      }
      std::size_t k = home(table_[j].key, mask);
      bool stays = i <= j ? (i < k && k <= j) : (i < k || k <= j);
      if (!stays)
        break;
    }
    table_[i] = table_[j];
    i = j;
  }
}

void PtrIndex::clear() {
  for (Slot &s : table_)
    s.key = nullptr;
  count_ = 0;
}
