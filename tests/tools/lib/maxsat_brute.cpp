// Exhaustive optimum by branch and bound (see maxsat_brute.hpp).
#include "tests/tools/lib/maxsat_brute.hpp"

#include <cstdlib>

namespace mxs {

namespace {

long long var_of(long long lit) { return lit < 0 ? -lit : lit; }

struct Search {
  const Instance& inst;
  long long n;
  // Items judged once variable d is set: clauses, constraints, objective.
  std::vector<std::vector<int>> clauses_at, constraints_at;
  std::vector<long long> obj_coef;  // objective coefficient per variable
  std::vector<signed char> value;
  long long best = 0;
  bool found = false;
  std::vector<signed char> best_model;

  explicit Search(const Instance& i) : inst(i), n(i.nvars) {
    clauses_at.resize(n + 1);
    constraints_at.resize(n + 1);
    obj_coef.assign(n + 1, 0);
    value.assign(n + 1, 0);
    for (size_t c = 0; c < inst.clauses.size(); ++c) {
      long long m = 0;
      for (long long l : inst.clauses[c].lits) m = std::max(m, var_of(l));
      clauses_at[m].push_back((int)c);
    }
    for (size_t c = 0; c < inst.constraints.size(); ++c) {
      long long m = 0;
      for (const PbTerm& t : inst.constraints[c].terms) m = std::max(m, var_of(t.lit));
      constraints_at[m].push_back((int)c);
    }
  }

  bool lit_true(long long l) const {
    return l > 0 ? value[l] > 0 : value[-l] < 0;
  }

  // Cost added by the items decided at depth d; false on a hard violation.
  bool judge(long long d, long long& cost) const {
    for (int ci : clauses_at[d]) {
      const Clause& c = inst.clauses[ci];
      bool sat = false;
      for (long long l : c.lits)
        if (lit_true(l)) {
          sat = true;
          break;
        }
      if (sat) continue;
      if (c.hard) return false;
      cost += c.weight;
    }
    for (int ci : constraints_at[d]) {
      const PbConstraint& c = inst.constraints[ci];
      __int128 s = 0;
      for (const PbTerm& t : c.terms)
        if (lit_true(t.lit)) s += t.coef;
      bool holds = c.rel == Rel::Eq ? s == c.rhs : s >= c.rhs;
      if (holds) continue;
      if (!c.soft) return false;
      cost += c.weight;
    }
    return true;
  }

  // Objective terms are rewritten so that every contribution is
  // non-negative: c*x with c < 0 is c + |c|*(not x). The constant part is
  // added once at the root, which keeps the bound test valid.
  void dfs(long long d, long long cost) {
    if (found && cost >= best) return;
    if (d == n) {
      best = cost;
      found = true;
      best_model = value;
      return;
    }
    long long v = d + 1;
    for (signed char s : {(signed char)-1, (signed char)1}) {
      value[v] = s;
      long long c = cost;
      long long oc = obj_coef[v];
      if (oc > 0 && s > 0) c += oc;
      if (oc < 0 && s < 0) c += -oc;
      if (judge(v, c)) dfs(v, c);
    }
    value[v] = 0;
  }
};

}  // namespace

bool brute_force(const Instance& inst, Optimum& opt,
                 std::vector<signed char>* model) {
  if (inst.nvars > kBruteMaxVars) return false;
  Search s(inst);
  long long base = 0;
  if (inst.has_objective) {
    for (const PbTerm& t : inst.objective) {
      // A term on a negated literal: c*(not x) = c - c*x.
      long long v = var_of(t.lit);
      if (t.lit > 0) {
        s.obj_coef[v] += t.coef;
      } else {
        base += t.coef;
        s.obj_coef[v] -= t.coef;
      }
    }
    for (long long v = 1; v <= inst.nvars; ++v)
      if (s.obj_coef[v] < 0) base += s.obj_coef[v];
  }
  long long root = 0;
  if (s.judge(0, root)) s.dfs(0, root);
  opt.feasible = s.found;
  opt.cost = s.found ? s.best + base : 0;
  if (model && s.found) *model = s.best_model;
  return true;
}

bool all_costs(const Instance& inst, std::set<long long>& costs) {
  costs.clear();
  if (inst.nvars > kAllCostsMaxVars) return false;
  std::vector<signed char> value(inst.nvars + 1, -1);
  for (unsigned long long bits = 0; bits >> inst.nvars == 0; ++bits) {
    for (long long v = 1; v <= inst.nvars; ++v)
      value[v] = (bits >> (v - 1)) & 1 ? 1 : -1;
    long long cost;
    if (evaluate(inst, value, cost)) costs.insert(cost);
  }
  return true;
}

}  // namespace mxs
