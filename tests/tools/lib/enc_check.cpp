#include "enc_check.hpp"

#include <cstdlib>
#include <sstream>

namespace enc_check {

TinySolver::TinySolver(const Clauses &clauses) {
  for (const Clause &c : clauses)
    for (long long l : c) {
      long long v = std::llabs(l);
      if (static_cast<std::size_t>(v) >= index_of_.size())
        index_of_.resize(static_cast<std::size_t>(v) + 1, 0);
      if (!index_of_[v]) {
        vars_.push_back(v);
        index_of_[v] = static_cast<long long>(vars_.size());
      }
    }
  std::size_t nv = vars_.size();
  watches_.resize(2 * nv);
  assign_.assign(nv, 0);
  level_.assign(nv, 0);
  reason_.assign(nv, -1);
  seen_.assign(nv, 0);
  std::vector<int> units;
  for (const Clause &c : clauses) {
    std::vector<int> lits;
    bool taut = false;
    for (long long l : c) {
      int x = lit_of(l);
      bool dup = false;
      for (int y : lits) {
        if (y == x)
          dup = true;
        if (y == (x ^ 1))
          taut = true;
      }
      if (!dup)
        lits.push_back(x);
    }
    if (taut)
      continue;
    if (lits.empty())
      unsat_ = true;
    else if (lits.size() == 1)
      units.push_back(lits[0]);
    else
      add_clause(std::move(lits));
  }
  for (int u : units) {
    if (value(u) == -1)
      unsat_ = true;
    else if (value(u) == 0)
      assign(u, -1);
  }
  if (!unsat_ && propagate() != -1)
    unsat_ = true;
}

int TinySolver::lit_of(long long l) const {
  long long v = std::llabs(l);
  if (static_cast<std::size_t>(v) >= index_of_.size() || !index_of_[v])
    return -1;
  return static_cast<int>(2 * (index_of_[v] - 1) + (l < 0 ? 1 : 0));
}

int TinySolver::value(int lit) const {
  signed char a = assign_[lit >> 1];
  return (lit & 1) ? -a : a;
}

int TinySolver::add_clause(std::vector<int> lits) {
  int ci = static_cast<int>(cls_.size());
  watches_[lits[0]].push_back(ci);
  watches_[lits[1]].push_back(ci);
  cls_.push_back(std::move(lits));
  return ci;
}

void TinySolver::assign(int lit, int reason) {
  int v = lit >> 1;
  assign_[v] = (lit & 1) ? -1 : 1;
  level_[v] = static_cast<int>(decision_level());
  reason_[v] = reason;
  trail_.push_back(lit);
}

int TinySolver::propagate() {
  while (qhead_ < trail_.size()) {
    int falsified = trail_[qhead_++] ^ 1;
    std::vector<int> &ws = watches_[falsified];
    std::size_t i = 0, j = 0;
    int conflict = -1;
    while (i < ws.size()) {
      int ci = ws[i++];
      std::vector<int> &c = cls_[ci];
      if (c[0] == falsified)
        std::swap(c[0], c[1]);
      if (value(c[0]) == 1) {
        ws[j++] = ci;
        continue;
      }
      bool moved = false;
      for (std::size_t k = 2; k < c.size(); ++k)
        if (value(c[k]) != -1) {
          std::swap(c[1], c[k]);
          watches_[c[1]].push_back(ci);
          moved = true;
          break;
        }
      if (moved)
        continue;
      ws[j++] = ci;
      if (value(c[0]) == -1) {
        conflict = ci;
        while (i < ws.size())
          ws[j++] = ws[i++];
      } else {
        assign(c[0], ci);
      }
    }
    ws.resize(j);
    if (conflict != -1)
      return conflict;
  }
  return -1;
}

void TinySolver::cancel_until(std::size_t level) {
  if (decision_level() <= level)
    return;
  std::size_t pos = trail_lim_[level];
  while (trail_.size() > pos) {
    assign_[trail_.back() >> 1] = 0;
    trail_.pop_back();
  }
  trail_lim_.resize(level);
  qhead_ = pos;
}

// First-UIP learning: learnt[0] is the asserting literal, learnt[1] one of
// the highest level below the conflict's.
void TinySolver::analyze(int confl, std::vector<int> &learnt,
                         std::size_t &bt_level) {
  learnt.assign(1, 0);
  int path = 0, p = -1;
  std::size_t idx = trail_.size();
  int cur = static_cast<int>(decision_level());
  do {
    const std::vector<int> &c = cls_[confl];
    for (std::size_t k = (p == -1 ? 0 : 1); k < c.size(); ++k) {
      int v = c[k] >> 1;
      if (seen_[v] || level_[v] == 0)
        continue;
      seen_[v] = 1;
      if (level_[v] >= cur)
        ++path;
      else
        learnt.push_back(c[k]);
    }
    while (!seen_[trail_[--idx] >> 1]) {
    }
    p = trail_[idx];
    confl = reason_[p >> 1];
    seen_[p >> 1] = 0;
    --path;
  } while (path > 0);
  learnt[0] = p ^ 1;
  bt_level = 0;
  std::size_t at = 1;
  for (std::size_t k = 1; k < learnt.size(); ++k) {
    seen_[learnt[k] >> 1] = 0;
    std::size_t lv = static_cast<std::size_t>(level_[learnt[k] >> 1]);
    if (lv > bt_level) {
      bt_level = lv;
      at = k;
    }
  }
  if (learnt.size() > 1)
    std::swap(learnt[1], learnt[at]);
}

bool TinySolver::solve(const std::vector<long long> &assumptions) {
  cancel_until(0);
  if (unsat_)
    return false;
  std::vector<int> assume;
  for (long long a : assumptions) {
    int x = lit_of(a);
    if (x >= 0)
      assume.push_back(x);
  }
  std::vector<int> learnt;
  std::size_t next_var = 0;
  for (;;) {
    int confl = propagate();
    if (confl != -1) {
      if (decision_level() == 0) {
        unsat_ = true;
        return false;
      }
      std::size_t bt = 0;
      analyze(confl, learnt, bt);
      cancel_until(bt);
      next_var = 0;
      if (learnt.size() == 1) {
        assign(learnt[0], -1); // level 0: a fact
      } else {
        int ci = add_clause(learnt);
        assign(learnt[0], ci);
      }
      continue;
    }
    if (decision_level() < assume.size()) {
      int p = assume[decision_level()];
      if (value(p) == -1)
        return false;
      trail_lim_.push_back(trail_.size());
      if (value(p) == 0)
        assign(p, -1);
      continue;
    }
    while (next_var < vars_.size() && assign_[next_var] != 0)
      ++next_var;
    if (next_var == vars_.size())
      return true;
    trail_lim_.push_back(trail_.size());
    assign(static_cast<int>(2 * next_var + 1), -1); // false first
  }
}

bool TinySolver::model_value(long long var) const {
  int x = lit_of(var);
  return x >= 0 && value(x) == 1;
}

bool check_equivalence(const Clauses &clauses,
                       const std::vector<long long> &vars,
                       const std::function<bool(const std::vector<bool> &)> &pred,
                       std::string *why) {
  TinySolver solver(clauses);
  std::size_t n = vars.size();
  std::vector<bool> vals(n);
  std::vector<long long> assumptions(n);
  for (unsigned long long mask = 0; mask < (1ULL << n); ++mask) {
    for (std::size_t i = 0; i < n; ++i) {
      vals[i] = (mask >> i) & 1;
      assumptions[i] = vals[i] ? vars[i] : -vars[i];
    }
    bool want = pred(vals);
    bool got = solver.solve(assumptions);
    if (want != got) {
      if (why) {
        std::ostringstream out;
        out << "assignment";
        for (std::size_t i = 0; i < n; ++i)
          out << " " << (vals[i] ? vars[i] : -vars[i]);
        out << ": constraint " << (want ? "holds" : "fails") << ", clauses "
            << (got ? "satisfiable" : "unsatisfiable");
        *why = out.str();
      }
      return false;
    }
  }
  return true;
}

} // namespace enc_check
