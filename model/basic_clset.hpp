// A set of shared clauses with a top weight (weights at or above it are
// hard), a default clause type applied on insertion, a group table and
// counters. Members are kept in insertion order so that every consumer
// (the SAT wrappers, the algorithms) sees them in a reproducible order.
#pragma once

#include <iterator>
#include <map>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "model/cl_registry.hpp"
#include "model/ptr_index.hpp"

// Default clause types applied to each newly inserted clause.
enum class ClauseType : int { Hard = 16, Unit = 32, Default = 48, Keep = 0 };

class BasicClauseSet {
public:
  static constexpr long long kMaxWeight = 9223372036854775807LL;

  BasicClauseSet() = default;
  BasicClauseSet(const BasicClauseSet &other) = default;
  BasicClauseSet &operator=(const BasicClauseSet &other) = default;
  virtual ~BasicClauseSet() = default;

  // Iterates over the members in insertion order. Removing members while
  // iterating is safe; inserting is not.
  class const_iterator {
  public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = BasicClause *;
    using difference_type = std::ptrdiff_t;
    using pointer = BasicClause *const *;
    using reference = BasicClause *;
    const_iterator(const std::vector<BasicClause *> *v, std::size_t i)
        : v_(v), i_(i) {
      skip();
    }
    BasicClause *operator*() const { return (*v_)[i_]; }
    const_iterator &operator++() {
      ++i_;
      skip();
      return *this;
    }
    bool operator==(const const_iterator &o) const { return i_ == o.i_; }
    bool operator!=(const const_iterator &o) const { return i_ != o.i_; }

  private:
    void skip() {
      while (i_ < v_->size() && (*v_)[i_] == nullptr)
        ++i_;
    }
    const std::vector<BasicClause *> *v_;
    std::size_t i_;
  };
  const_iterator begin() const { return const_iterator(&members_, 0); }
  const_iterator end() const {
    return const_iterator(&members_, members_.size());
  }
  std::size_t size() const { return index_.size(); }
  bool empty() const { return index_.empty(); }
  bool contains(BasicClause *c) const { return index_.contains(c, members_); }
  // Room for n more members without rehashing.
  void reserve(std::size_t n) {
    members_.reserve(members_.size() + n);
    index_.reserve(n, members_);
  }
  // A snapshot of the members in insertion order.
  std::vector<BasicClause *> clauses() const;

  // Adds c (one registry reference) and applies the default clause type;
  // nothing happens when c is already a member.
  BasicClause *insert_clause(BasicClause *c);
  BasicClause *create_clause(LitVector &lits);
  BasicClause *create_clause(long long n, const long long *lits);
  BasicClause *create_unit_clause(long long a);
  void create_binary_clause(long long a, long long b);
  BasicClause *create_ternary_clause(long long a, long long b, long long c);

  // Stores min(w, top weight) and counts the clause as hard, unit-weight or
  // weighted; returns the stored weight.
  long long set_cl_weight(BasicClause *c, long long w);
  void set_cl_hard(BasicClause *c) { set_cl_weight(c, top_weight); }
  void set_def_cltype(BasicClause *c);
  // Uses the group number as the clause's weight and lists c under it.
  void set_cl_group(BasicClause *c, long long g);
  bool is_hard(const BasicClause *c) const { return c->weight >= top_weight; }

  // Drops c from the set, releasing its registry reference.
  void remove_clause(BasicClause *c);
  // Membership alone, without registry references, clause types or
  // counters: for attaching a working set to another set and detaching it,
  // and for setting clauses aside. Returns whether membership changed.
  bool insert_member(BasicClause *c);
  bool remove_member(BasicClause *c);
  // Releases every member; counters, groups and top weight stay.
  void clear_direct();
  void compute_soft_cl_properties();
  void dump(std::ostream &out) const;

  long long get_top() const { return top_weight; }
  void set_top(long long t) { top_weight = t; }
  void set_def_cl_type(ClauseType t) { def_cltype = t; }
  void set_def_weight(long long w) { def_weight = w; }

  ClauseRegistry *registry = &ClauseRegistry::clreg_instance;
  std::map<long long, std::vector<BasicClause *>> groups;
  long long top_weight = kMaxWeight;
  ClauseType def_cltype = ClauseType::Hard;
  long long def_weight = kMaxWeight;
  long long num_hard = 0;     // weight set to the top weight
  long long num_unit = 0;     // weight set to 1
  long long num_weighted = 0; // any other weight
  long long num_total = 0;    // all weight settings
  bool all_soft_units = false;
  // Set by the readers of an input that declares no top weight, where every
  // clause is soft: a clause at kMaxWeight weighs that much or more (a
  // larger weight or sum was capped there). It is hard while solving, which
  // is right whenever the optimum fits 64 bits.
  bool ceiling_soft = false;
  // Carried with the set for the algorithms' own use.
  std::vector<BasicClause *> aux_clauses;
  long long aux_word = 0;
  std::vector<long long> aux_ints;

private:
  void compact();
  std::vector<BasicClause *> members_; // null where a member was removed
  PtrIndex index_; // member -> its position in members_
};
