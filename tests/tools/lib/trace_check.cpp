// Checker of extended proof traces: original lines against the input, learned
// lines by reverse unit propagation over their antecedents.
#include "tests/tools/lib/trace_check.hpp"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

namespace engine_test {

namespace {

struct Line {
  std::vector<int> lits;
  std::vector<long long> ants;
};

// Unit propagation over `clauses` from the negation of `goal`; true when a
// conflict follows.
bool rup(const std::vector<const std::vector<int> *> &clauses, const std::vector<int> &goal) {
  std::map<int, int> value;  // variable -> +1/-1
  auto val = [&](int l) {
    auto it = value.find(std::abs(l));
    if (it == value.end()) return 0;
    return l > 0 ? it->second : -it->second;
  };
  for (int l : goal) {
    if (val(l) > 0) return true;  // tautology
    value[std::abs(l)] = l > 0 ? -1 : 1;
  }
  bool changed = true;
  while (changed) {
    changed = false;
    for (const auto *c : clauses) {
      int unassigned = 0, unit = 0;
      bool sat = false;
      for (int l : *c) {
        int v = val(l);
        if (v > 0) {
          sat = true;
          break;
        }
        if (!v) {
          unassigned++;
          unit = l;
        }
      }
      if (sat) continue;
      if (!unassigned) return true;
      if (unassigned == 1) {
        value[std::abs(unit)] = unit > 0 ? 1 : -1;
        changed = true;
      }
    }
  }
  return false;
}

}  // namespace

TraceCheck check_extended_trace(const std::vector<std::vector<int>> &input,
                                const std::string &trace, bool need_empty) {
  TraceCheck res;
  std::map<long long, Line> lines;
  std::istringstream in(trace);
  std::string text;
  size_t lineno = 0;
  auto fail = [&](const std::string &why) {
    res.ok = false;
    res.error = "line " + std::to_string(lineno) + ": " + why;
    return res;
  };
  while (std::getline(in, text)) {
    lineno++;
    std::istringstream ls(text);
    long long idx;
    if (!(ls >> idx) || idx <= 0) return fail("bad index");
    Line line;
    long long x;
    bool closed = false;
    while (ls >> x) {
      if (!x) {
        closed = true;
        break;
      }
      line.lits.push_back((int)x);
    }
    if (!closed) return fail("literals not ended by 0");
    closed = false;
    while (ls >> x) {
      if (!x) {
        closed = true;
        break;
      }
      line.ants.push_back(x);
    }
    if (!closed) return fail("antecedents not ended by 0");
    if (lines.count(idx)) return fail("index repeated");
    if (line.ants.empty()) {
      if (idx > (long long)input.size()) return fail("original index beyond the input");
      std::vector<int> a = line.lits, b = input[(size_t)idx - 1];
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      b.erase(std::unique(b.begin(), b.end()), b.end());
      if (a != b) return fail("original clause differs from the input");
      res.original_indices.push_back((int)idx - 1);
      if (line.lits.empty()) res.has_empty_clause = true;
    } else {
      if (idx <= (long long)input.size()) return fail("learned clause with an original index");
      std::vector<const std::vector<int> *> ants;
      for (long long a : line.ants) {
        auto it = lines.find(a);
        if (it == lines.end()) return fail("antecedent " + std::to_string(a) + " not defined before");
        ants.push_back(&it->second.lits);
      }
      if (!rup(ants, line.lits)) return fail("clause does not follow from its antecedents");
      res.learned_lines++;
      if (line.lits.empty()) res.has_empty_clause = true;
    }
    lines[idx] = std::move(line);
  }
  if (need_empty && !res.has_empty_clause) return fail("no empty clause derived");
  res.ok = true;
  return res;
}

}  // namespace engine_test
