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
  watches_.resize(2 * vars_.size());
  assign_.assign(vars_.size(), 0);
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
      has_empty_ = true;
    else if (lits.size() == 1)
      units_.push_back(lits[0]);
    else {
      int ci = static_cast<int>(cls_.size());
      watches_[lits[0]].push_back(ci);
      watches_[lits[1]].push_back(ci);
      cls_.push_back(std::move(lits));
    }
  }
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

bool TinySolver::enqueue(int lit) {
  int v = value(lit);
  if (v == 1)
    return true;
  if (v == -1)
    return false;
  assign_[lit >> 1] = (lit & 1) ? -1 : 1;
  trail_.push_back(lit);
  return true;
}

bool TinySolver::propagate() {
  while (qhead_ < trail_.size()) {
    int falsified = trail_[qhead_++] ^ 1;
    std::vector<int> &ws = watches_[falsified];
    std::size_t i = 0, j = 0;
    bool conflict = false;
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
      if (!enqueue(c[0])) {
        conflict = true;
        while (i < ws.size())
          ws[j++] = ws[i++];
      }
    }
    ws.resize(j);
    if (conflict)
      return false;
  }
  return true;
}

void TinySolver::undo_to(std::size_t pos) {
  while (trail_.size() > pos) {
    assign_[trail_.back() >> 1] = 0;
    trail_.pop_back();
  }
  qhead_ = pos;
}

bool TinySolver::solve(const std::vector<long long> &assumptions) {
  undo_to(0);
  if (has_empty_)
    return false;
  for (int u : units_)
    if (!enqueue(u))
      return false;
  for (long long a : assumptions) {
    int x = lit_of(a);
    if (x >= 0 && !enqueue(x))
      return false;
  }
  struct Decision {
    std::size_t pos;
    int lit;
    bool flipped;
  };
  std::vector<Decision> decisions;
  std::size_t next_var = 0;
  for (;;) {
    if (!propagate()) {
      for (;;) {
        if (decisions.empty())
          return false;
        Decision &d = decisions.back();
        undo_to(d.pos);
        if (d.flipped) {
          decisions.pop_back();
          continue;
        }
        d.flipped = true;
        enqueue(d.lit ^ 1);
        break;
      }
      next_var = 0;
      continue;
    }
    while (next_var < vars_.size() && assign_[next_var] != 0)
      ++next_var;
    if (next_var == vars_.size())
      return true;
    int lit = static_cast<int>(2 * next_var + 1); // false first
    decisions.push_back({trail_.size(), lit, false});
    enqueue(lit);
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
