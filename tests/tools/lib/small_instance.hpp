// Small weighted partial MaxSAT instances for the unit tests of the
// algorithms and bounds: a seeded generator, the cost of a model, the
// brute-force optimum and loading into the clause model as the readers do.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

namespace small {

struct Instance {
  int nvars = 0;
  long long top = 0;
  std::vector<std::pair<long long, LitVector>> clauses; // weight, literals
};

// nvars in 1..max_vars, up to max_clauses clauses of 1-3 literals (an empty
// one now and then when empties is set), a quarter hard, the soft weights
// drawn from soft_weights.
inline Instance random_instance(unsigned seed, int max_vars, int max_clauses,
                                long long top,
                                const std::vector<long long> &soft_weights,
                                bool empties) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  Instance in;
  in.nvars = pick(1, max_vars);
  in.top = top;
  int m = pick(0, max_clauses);
  for (int i = 0; i < m; ++i) {
    LitVector lits;
    int k = empties && pick(0, 9) == 0 ? 0 : pick(1, 3);
    for (int j = 0; j < k; ++j)
      lits.push_back(pick(0, 1) ? pick(1, in.nvars) : -pick(1, in.nvars));
    long long w = pick(0, 3) == 0
                      ? top
                      : soft_weights[static_cast<std::size_t>(
                            pick(0, static_cast<int>(soft_weights.size()) - 1))];
    in.clauses.push_back({w, lits});
  }
  return in;
}

inline bool lit_true(const std::vector<long long> &model, long long l) {
  std::size_t v = static_cast<std::size_t>(std::llabs(l));
  long long e = v < model.size() ? model[v] : 0;
  return (l > 0 && e > 0) || (l < 0 && e < 0);
}

// Weight of the soft clauses the model falsifies; hard_ok tells whether it
// keeps every hard clause.
inline long long falsified_cost(const Instance &in,
                                const std::vector<long long> &m,
                                bool &hard_ok) {
  long long cost = 0;
  hard_ok = true;
  for (auto &c : in.clauses) {
    bool sat = false;
    for (long long l : c.second)
      sat |= lit_true(m, l);
    if (sat)
      continue;
    if (c.first >= in.top)
      hard_ok = false;
    else
      cost += c.first;
  }
  return cost;
}

// The cost of a model, or -1 when it falsifies a hard clause.
inline long long cost_of(const Instance &in, const std::vector<long long> &m) {
  bool ok;
  long long c = falsified_cost(in, m, ok);
  return ok ? c : -1;
}

// Calls f(model) for every assignment of the variables 1 .. nvars.
template <class F> void for_each_assignment(int nvars, F f) {
  for (unsigned bits = 0; bits < (1u << nvars); ++bits) {
    std::vector<long long> m(static_cast<std::size_t>(nvars) + 1);
    for (int v = 1; v <= nvars; ++v)
      m[static_cast<std::size_t>(v)] = bits >> (v - 1) & 1 ? 1 : -1;
    f(m);
  }
}

// The optimum, or -1 when the hard clauses are unsatisfiable.
inline long long brute_force(const Instance &in) {
  long long best = -1;
  for_each_assignment(in.nvars, [&](const std::vector<long long> &m) {
    long long c = cost_of(in, m);
    if (c >= 0 && (best < 0 || c < best))
      best = c;
  });
  return best;
}

// The clauses of a set as an instance over the variables 1 .. nvars, to
// compare the costs of a formula before and after a rewrite.
inline Instance snapshot(const BasicClauseSet &set, int nvars) {
  Instance in;
  in.nvars = nvars;
  in.top = set.top_weight;
  for (BasicClause *c : set)
    in.clauses.push_back({c->weight, c->lits});
  return in;
}

// Loads the instance as the readers do: repeated literal sets share one
// clause whose weight is the sum (hard once hard).
inline void load(const Instance &in, IDManager &imgr, BasicClauseSet &set) {
  set.top_weight = in.top;
  set.def_cltype = ClauseType::Keep;
  imgr.top_id = in.nvars;
  for (auto &c : in.clauses) {
    LitVector lits = c.second;
    BasicClause *cl = ClauseRegistry::clreg_instance.create_clause(lits);
    long long w = c.first;
    if (set.contains(cl))
      w = std::min(in.top, cl->weight + w);
    set.insert_clause(cl);
    set.set_cl_weight(cl, w);
  }
  set.compute_soft_cl_properties();
}

} // namespace small
