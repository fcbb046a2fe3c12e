// Helpers shared by the encoding tests: a fresh identifier manager and hard
// clause set per encoding, the clauses as literal lists, and the exhaustive
// equivalence check with the checks every encoding must pass (fresh
// variables exactly top+1..new top, the caller's vectors untouched).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "tests/tools/lib/enc_check.hpp"

namespace enc_test {

using Lits = std::vector<long long>;
using enc_check::Clauses;

// A hard clause set and an identifier manager whose inputs are 1..top.
struct Target {
  IDManager im;
  BasicClauseSet cs;
  explicit Target(long long top = 0) {
    im.top_id = top;
    cs.set_def_cl_type(ClauseType::Hard);
  }
  ~Target() { cs.clear_direct(); }
  Clauses clauses() const {
    Clauses out;
    for (BasicClause *c : cs)
      out.push_back(c->lits);
    return out;
  }
};

inline std::string show(const Clauses &cls) {
  std::ostringstream out;
  for (const auto &c : cls) {
    out << "{";
    for (std::size_t i = 0; i < c.size(); ++i)
      out << (i ? " " : "") << c[i];
    out << "} ";
  }
  return out.str();
}

inline std::string show(const Lits &v) {
  std::ostringstream out;
  out << "[";
  for (std::size_t i = 0; i < v.size(); ++i)
    out << (i ? " " : "") << v[i];
  out << "]";
  return out.str();
}

// Clause literal sets compared as sets (the registry sorts by variable).
inline Clauses sorted(Clauses cls) {
  for (auto &c : cls) {
    std::sort(c.begin(), c.end(), [](long long a, long long b) {
      long long va = std::llabs(a), vb = std::llabs(b);
      return va != vb ? va < vb : a < b;
    });
  }
  return cls;
}

// The variables of lits, each once, in order of first appearance.
inline Lits vars_of(const Lits &lits) {
  Lits vars;
  std::set<long long> seen;
  for (long long l : lits)
    if (seen.insert(std::llabs(l)).second)
      vars.push_back(std::llabs(l));
  return vars;
}

// Value of literal l under the values of vars.
inline bool lit_value(long long l, const Lits &vars, const std::vector<bool> &vals) {
  for (std::size_t i = 0; i < vars.size(); ++i)
    if (vars[i] == std::llabs(l))
      return l > 0 ? vals[i] : !vals[i];
  ADD_FAILURE() << "literal " << l << " has no variable";
  return false;
}

// Sum of weights[i] over the true lits[i].
inline long long weighted_sum(const Lits &lits, const Lits &weights, const Lits &vars,
                              const std::vector<bool> &vals) {
  long long s = 0;
  for (std::size_t i = 0; i < lits.size(); ++i)
    if (lit_value(lits[i], vars, vals))
      s += weights[i];
  return s;
}

// Every clause variable is an input or a fresh variable of top+1..new top.
inline ::testing::AssertionResult vars_in_range(const Clauses &cls, const Lits &inputs,
                                                long long top, long long new_top) {
  std::set<long long> in(inputs.begin(), inputs.end());
  for (const auto &c : cls)
    for (long long l : c) {
      long long v = std::llabs(l);
      if (!in.count(v) && (v <= top || v > new_top))
        return ::testing::AssertionFailure()
               << "variable " << v << " is neither an input nor in " << top + 1
               << ".." << new_top;
    }
  return ::testing::AssertionSuccess();
}

// Every fresh variable top+1..new top occurs in some clause.
inline ::testing::AssertionResult fresh_all_used(const Clauses &cls, long long top,
                                                 long long new_top) {
  std::set<long long> used;
  for (const auto &c : cls)
    for (long long l : c)
      used.insert(std::llabs(l));
  for (long long v = top + 1; v <= new_top; ++v)
    if (!used.count(v))
      return ::testing::AssertionFailure() << "fresh variable " << v << " is in no clause";
  return ::testing::AssertionSuccess();
}

// The exhaustive check over the input variables.
inline ::testing::AssertionResult equivalent(
    const Clauses &cls, const Lits &vars,
    const std::function<bool(const std::vector<bool> &)> &pred) {
  std::string why;
  if (enc_check::check_equivalence(cls, vars, pred, &why))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << why << "\n clauses: " << show(cls);
}

// Environment-scaled effort: KESTRANE_ENC_SOAK=1 widens the sweeps.
inline bool soak() {
  const char *s = std::getenv("KESTRANE_ENC_SOAK");
  return s && *s && *s != '0';
}

} // namespace enc_test
