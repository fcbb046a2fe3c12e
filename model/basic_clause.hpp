// A clause of the shared clause model: sorted, duplicate-free literals, a
// weight, a process-unique id and a group. Clauses exist once per distinct
// literal set and are created and owned by the ClauseRegistry.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <vector>

using LitVector = std::vector<long long>;

// Orders literals by variable; a literal and its negation compare equal.
struct AbsLitLess {
  bool operator()(long long a, long long b) const {
    return std::llabs(a) < std::llabs(b);
  }
};

// Hash of a literal vector over the variables, so that a clause and its
// literal-by-literal negation land in the same bucket. Each variable is
// mixed in multiplicatively: a plain shift-and-xor gives the many binary
// clauses of an encoding over few variables only a few distinct values.
struct LitVectHash {
  std::size_t operator()(const LitVector *v) const {
    std::uint64_t h = 0;
    for (long long l : *v)
      h = (h ^ static_cast<std::uint64_t>(std::llabs(l))) *
          0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
};

struct LitVectEqual {
  bool operator()(const LitVector *a, const LitVector *b) const {
    return *a == *b;
  }
};

class BasicClause {
public:
  virtual ~BasicClause() = default;

  LitVector lits;      // ordered by AbsLitLess, no duplicates
  long long weight = 0; // capped at the top weight of the set that sets it
  long long id;         // from ClauseIdManager, never reused
  long long group = -1; // written by the readers

  // Appends l; re-sorts when l breaks the order (relaxation variables are
  // fresh and largest, so relaxing never needs it).
  void add_lit(long long l);
  void sort_lits();

  std::size_t size() const { return lits.size(); }
  long long get_weight() const { return weight; }
  long long get_id() const { return id; }

private:
  friend class ClauseRegistry;
  explicit BasicClause(const LitVector &l);
  long long refs_ = 0; // set memberships, kept by the registry
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
