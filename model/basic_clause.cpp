#include "model/basic_clause.hpp"

#include <algorithm>

#include "model/cl_id_manager.hpp"

ClauseLits::ClauseLits(const long long *l, std::uint32_t n,
                       std::uint32_t words)
    : size_(n), room_(words), on_heap_(0), wide_(0) {
  bool narrow = std::all_of(l, l + n, fits32);
  if (narrow && n <= words) {
    std::copy(l, l + n, room());
    return;
  }
  size_ = 0;
  move_to_heap(n, !narrow);
  if (wide_)
    std::copy(l, l + n, reinterpret_cast<long long *>(heap()));
  else
    std::copy(l, l + n, heap());
  size_ = n;
}

ClauseLits::~ClauseLits() { free_heap(); }

void ClauseLits::free_heap() {
  if (!on_heap_)
    return;
  if (wide_)
    delete[] reinterpret_cast<long long *>(heap());
  else
    delete[] heap();
}

void ClauseLits::move_to_heap(std::uint32_t cap, bool wide) {
  std::int32_t *p;
  if (wide) {
    long long *w = new long long[cap];
    std::copy(begin(), end(), w);
    p = reinterpret_cast<std::int32_t *>(w);
  } else {
    p = new std::int32_t[cap];
    std::copy(data(), data() + size_, p);
  }
  free_heap();
  std::memcpy(heap_addr(), &p, sizeof p);
  *heap_cap_word() = static_cast<std::int32_t>(cap);
  on_heap_ = 1;
  wide_ = wide;
}

void ClauseLits::push_back(long long l) {
  bool wide = wide_ || !fits32(l);
  std::uint32_t cap = on_heap_ ? heap_cap() : room_;
  if (wide != static_cast<bool>(wide_) || size_ == cap)
    move_to_heap(std::max(size_ + 1, size_ + size_ / 2), wide);
  if (wide_)
    reinterpret_cast<long long *>(heap())[size_] = l;
  else
    data()[size_] = static_cast<std::int32_t>(l);
  ++size_;
}

void ClauseLits::sort() {
  if (wide_) {
    long long *p = reinterpret_cast<long long *>(heap());
    std::sort(p, p + size_, AbsLitLess());
  } else {
    std::sort(data(), data() + size_, AbsLitLess());
  }
}

bool ClauseLits::equals(const long long *l, std::size_t n) const {
  if (n != size_)
    return false;
  if (wide_)
    return std::equal(begin(), end(), l);
  const std::int32_t *p = data();
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != l[i])
      return false;
  return true;
}

BasicClause::BasicClause(const long long *l, std::uint32_t n,
                         std::uint32_t words)
    : id(ClauseIdManager::get().new_id()), lits(l, n, words) {}

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
