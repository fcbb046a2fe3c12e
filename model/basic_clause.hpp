// A clause of the shared clause model: sorted, duplicate-free literals, a
// weight, a process-unique id and a group. Clauses exist once per distinct
// literal set and are created and owned by the ClauseRegistry.
//
// A clause and its literals share one allocation from the registry's arena:
// the literals follow the clause's fields, as 32-bit values when they fit.
// Large input files hold tens of millions of short clauses, so a separate
// heap vector of 64-bit literals per clause would cost more than the
// literals themselves.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <ostream>
#include <vector>

using LitVector = std::vector<long long>;

// Orders literals by variable; a literal and its negation compare equal.
struct AbsLitLess {
  bool operator()(long long a, long long b) const {
    return std::llabs(a) < std::llabs(b);
  }
};

// Hash of literals over their variables, so that a clause and its
// literal-by-literal negation land in the same bucket. Each variable is
// mixed in multiplicatively: a plain shift-and-xor gives the many binary
// clauses of an encoding over few variables only a few distinct values.
template <class It> std::uint64_t hash_lits(It first, It last) {
  std::uint64_t h = 0;
  for (; first != last; ++first) {
    long long l = *first;
    h = (h ^ static_cast<std::uint64_t>(std::llabs(l))) *
        0x9E3779B97F4A7C15ULL;
  }
  return h ^ (h >> 29);
}

struct LitVectHash {
  std::size_t operator()(const LitVector *v) const {
    return static_cast<std::size_t>(hash_lits(v->begin(), v->end()));
  }
};

struct LitVectEqual {
  bool operator()(const LitVector *a, const LitVector *b) const {
    return *a == *b;
  }
};

// The literals of one clause, read like a constant vector of 64-bit
// literals. They are stored as 32-bit values right after this header while
// they fit in the clause's allocation; relaxing a clause past that room, or
// a literal beyond 32 bits, moves them to a heap array of their own. Only
// the registry changes them (through BasicClause), so that a clause never
// drifts from its key in the registry.
class ClauseLits {
public:
  // Yields each literal as a 64-bit value.
  class const_iterator {
  public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = long long;
    using difference_type = std::ptrdiff_t;
    using pointer = const long long *;
    using reference = long long;

    const_iterator() = default;
    long long operator*() const { return load(p_, wide_); }
    long long operator[](difference_type i) const { return *(*this + i); }
    const_iterator &operator++() {
      p_ += step();
      return *this;
    }
    const_iterator operator++(int) {
      const_iterator t = *this;
      ++*this;
      return t;
    }
    const_iterator &operator--() {
      p_ -= step();
      return *this;
    }
    const_iterator operator--(int) {
      const_iterator t = *this;
      --*this;
      return t;
    }
    const_iterator &operator+=(difference_type n) {
      p_ += n * step();
      return *this;
    }
    const_iterator &operator-=(difference_type n) { return *this += -n; }
    friend const_iterator operator+(const_iterator a, difference_type n) {
      return a += n;
    }
    friend const_iterator operator+(difference_type n, const_iterator a) {
      return a += n;
    }
    friend const_iterator operator-(const_iterator a, difference_type n) {
      return a -= n;
    }
    friend difference_type operator-(const_iterator a, const_iterator b) {
      return (a.p_ - b.p_) / a.step();
    }
    friend bool operator==(const_iterator a, const_iterator b) {
      return a.p_ == b.p_;
    }
    friend bool operator!=(const_iterator a, const_iterator b) {
      return a.p_ != b.p_;
    }
    friend bool operator<(const_iterator a, const_iterator b) {
      return a.p_ < b.p_;
    }
    friend bool operator>(const_iterator a, const_iterator b) { return b < a; }
    friend bool operator<=(const_iterator a, const_iterator b) {
      return !(b < a);
    }
    friend bool operator>=(const_iterator a, const_iterator b) {
      return !(a < b);
    }

  private:
    friend class ClauseLits;
    const_iterator(const std::int32_t *p, bool wide) : p_(p), wide_(wide) {}
    std::ptrdiff_t step() const { return wide_ ? 2 : 1; }
    const std::int32_t *p_ = nullptr;
    bool wide_ = false;
  };
  using iterator = const_iterator;
  using value_type = long long;
  using size_type = std::size_t;

  ClauseLits(const ClauseLits &) = delete;
  ClauseLits &operator=(const ClauseLits &) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  long long operator[](std::size_t i) const {
    return load(data() + (wide_ ? 2 * i : i), wide_);
  }
  long long front() const { return (*this)[0]; }
  long long back() const { return (*this)[size_ - 1]; }
  const_iterator begin() const { return const_iterator(data(), wide_); }
  const_iterator end() const {
    return const_iterator(data() + (wide_ ? 2 * size_ : size_), wide_);
  }
  operator LitVector() const { return LitVector(begin(), end()); }

  // Whether the literals are l[0..n) in this order.
  bool equals(const long long *l, std::size_t n) const;
  friend bool operator==(const ClauseLits &a, const LitVector &b) {
    return a.equals(b.data(), b.size());
  }
  friend bool operator==(const LitVector &a, const ClauseLits &b) {
    return b == a;
  }
  friend bool operator!=(const ClauseLits &a, const LitVector &b) {
    return !(a == b);
  }
  friend bool operator!=(const LitVector &a, const ClauseLits &b) {
    return !(b == a);
  }

private:
  friend class BasicClause;
  friend class ClauseRegistry;
  // Holds n literals from l; words (at least kMinRoom) 32-bit words of
  // room follow the header.
  ClauseLits(const long long *l, std::uint32_t n, std::uint32_t words);
  ~ClauseLits();
  void free_heap();
  void push_back(long long l);
  void sort();

  // The room after the header also holds the heap array's address and
  // capacity once the literals have moved there.
  static constexpr std::uint32_t kMinRoom = 3;
  static bool fits32(long long l) { return l >= INT32_MIN && l <= INT32_MAX; }
  static long long load(const std::int32_t *p, bool wide) {
    if (!wide)
      return *p;
    long long v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  std::int32_t *room() { return reinterpret_cast<std::int32_t *>(this + 1); }
  const std::int32_t *room() const {
    return reinterpret_cast<const std::int32_t *>(this + 1);
  }
  // Once on the heap, the room holds the array's address at its first
  // 8-byte boundary (where leak checkers look for pointers) and the
  // array's capacity in the word left over.
  std::int32_t *heap_addr() const {
    const std::int32_t *r = room();
    return const_cast<std::int32_t *>(
        reinterpret_cast<std::uintptr_t>(r) % 8 ? r + 1 : r);
  }
  std::int32_t *heap_cap_word() const {
    std::int32_t *a = heap_addr();
    return a == room() ? a + 2 : a - 1;
  }
  std::int32_t *heap() const {
    std::int32_t *p;
    std::memcpy(&p, heap_addr(), sizeof p);
    return p;
  }
  std::uint32_t heap_cap() const {
    return static_cast<std::uint32_t>(*heap_cap_word());
  }
  const std::int32_t *data() const { return on_heap_ ? heap() : room(); }
  std::int32_t *data() { return on_heap_ ? heap() : room(); }
  // Moves the literals to a heap array for cap literals of the given width.
  void move_to_heap(std::uint32_t cap, bool wide);

  std::uint32_t size_;
  std::uint32_t room_ : 30; // 32-bit words after the header
  std::uint32_t on_heap_ : 1;
  std::uint32_t wide_ : 1; // 64-bit literals (always on the heap)
};

class BasicClause {
public:
  long long weight = 0;  // capped at the top weight of the set that sets it
  long long id;          // from ClauseIdManager, never reused
  long long group = -1;  // written by the readers
  std::int32_t refs_ = 0; // set memberships, kept by the registry
  ClauseLits lits;       // ordered by AbsLitLess, no duplicates; last member

  // Appends l; re-sorts when l breaks the order (relaxation variables are
  // fresh and largest, so relaxing never needs it).
  void add_lit(long long l);
  void sort_lits() { lits.sort(); }

  std::size_t size() const { return lits.size(); }
  long long get_weight() const { return weight; }
  long long get_id() const { return id; }

private:
  // Only the registry creates and destroys clauses, in its own arena; so
  // no other code can copy, derive from or delete one.
  friend class ClauseRegistry;
  BasicClause(const long long *l, std::uint32_t n, std::uint32_t words);
  ~BasicClause() = default;
  BasicClause(const BasicClause &) = delete;
  BasicClause &operator=(const BasicClause &) = delete;
};

// Prints each literal followed by a blank, then "0" (no newline).
std::ostream &operator<<(std::ostream &out, const BasicClause &c);

struct ClPtrHash {
  std::size_t operator()(const BasicClause *c) const {
    return reinterpret_cast<std::size_t>(c);
  }
};
struct ClPtrEqual {
  bool operator()(const BasicClause *a, const BasicClause *b) const {
    return a == b;
  }
};
struct XLIntHash {
  std::size_t operator()(long long v) const {
    return static_cast<std::size_t>(v);
  }
};
struct XLIntEqual {
  bool operator()(long long a, long long b) const { return a == b; }
};
struct ClIDLess {
  bool operator()(const BasicClause *a, const BasicClause *b) const {
    return a->id < b->id;
  }
};
struct ClWeightGreater {
  bool operator()(const BasicClause *a, const BasicClause *b) const {
    return a->weight > b->weight;
  }
};
