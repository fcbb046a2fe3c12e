// Reference satisfiability by DPLL with naive unit propagation, and
// pseudo-Boolean constraint evaluation, for the translator's tests.
#include "pbt_brute.hpp"

#include <cstdlib>

namespace pbt {

namespace {

struct Dpll {
  const std::vector<Clause> &clauses;
  std::vector<int> val; // per variable: 1, -1, 0
  std::vector<long long> trail;

  int value(long long lit) const {
    int v = val[(size_t)std::llabs(lit)];
    return lit > 0 ? v : -v;
  }
  void assign(long long lit) {
    val[(size_t)std::llabs(lit)] = lit > 0 ? 1 : -1;
    trail.push_back(lit);
  }
  void undo(size_t to) {
    while (trail.size() > to) {
      val[(size_t)std::llabs(trail.back())] = 0;
      trail.pop_back();
    }
  }
  // false on a conflict
  bool propagate() {
    for (bool again = true; again;) {
      again = false;
      for (const Clause &c : clauses) {
        long long unit = 0;
        int open = 0;
        bool sat = false;
        for (long long l : c) {
          int v = value(l);
          if (v > 0) {
            sat = true;
            break;
          }
          if (v == 0) {
            open++;
            unit = l;
          }
        }
        if (sat)
          continue;
        if (open == 0)
          return false;
        if (open == 1) {
          assign(unit);
          again = true;
        }
      }
    }
    return true;
  }
  bool solve() {
    if (!propagate())
      return false;
    for (const Clause &c : clauses) {
      for (long long l : c) {
        if (value(l) != 0)
          continue;
        bool sat = false;
        for (long long m : c)
          sat = sat || value(m) > 0;
        if (sat)
          break;
        for (long long branch : {l, -l}) {
          size_t mark = trail.size();
          assign(branch);
          if (solve())
            return true;
          undo(mark);
        }
        return false;
      }
    }
    return true; // every clause satisfied
  }
};

} // namespace

bool satisfiable(const std::vector<Clause> &clauses,
                 const std::vector<int> &fixed) {
  size_t n = fixed.size();
  for (const Clause &c : clauses)
    for (long long l : c)
      if ((size_t)std::llabs(l) + 1 > n)
        n = (size_t)std::llabs(l) + 1;
  Dpll d{clauses, std::vector<int>(n, 0), {}};
  for (size_t v = 1; v < fixed.size(); v++)
    d.val[v] = fixed[v];
  return d.solve();
}

bool holds(const PbConstraint &c, const std::vector<int> &assignment) {
  __int128 sum = 0;
  for (size_t i = 0; i < c.lits.size(); i++) {
    long long l = c.lits[i];
    int v = assignment[(size_t)std::llabs(l)];
    if ((l > 0) == (v > 0))
      sum += c.coefs[i];
  }
  __int128 k = c.rhs;
  if (c.rel == "<")
    return sum < k;
  if (c.rel == "<=")
    return sum <= k;
  if (c.rel == "=")
    return sum == k;
  if (c.rel == ">=")
    return sum >= k;
  return sum > k;
}

std::string to_string(const PbConstraint &c) {
  std::string s;
  for (size_t i = 0; i < c.lits.size(); i++) {
    s += (c.coefs[i] >= 0 ? "+" : "") + std::to_string(c.coefs[i]) + " ";
    s += (c.lits[i] < 0 ? "~x" : "x") + std::to_string(std::llabs(c.lits[i]));
    s += " ";
  }
  return s + c.rel + " " + std::to_string(c.rhs);
}

std::string to_string(const std::vector<PbConstraint> &cs) {
  std::string s;
  for (const PbConstraint &c : cs)
    s += to_string(c) + " ; ";
  return s;
}

PbConstraint random_constraint(std::mt19937_64 &rng, int n_vars, int max_terms,
                               long long max_coef) {
  static const char *rels[] = {"<", "<=", "=", ">=", ">"};
  auto pick = [&](long long lo, long long hi) {
    return std::uniform_int_distribution<long long>(lo, hi)(rng);
  };
  PbConstraint c;
  int n = (int)pick(1, max_terms);
  long long pos = 0, neg = 0;
  for (int i = 0; i < n; i++) {
    long long v = pick(1, n_vars);
    c.lits.push_back(pick(0, 1) ? v : -v);
    long long a = pick(1, max_coef);
    if (pick(0, 3) == 0)
      a = -a; // some negative weights
    c.coefs.push_back(a);
    (a > 0 ? pos : neg) += a;
  }
  c.rel = rels[pick(0, 4)];
  c.rhs = pick(neg - 1, pos + 1);
  return c;
}

} // namespace pbt
