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

// Reads one trace line "<index> <literals> 0 <antecedents> 0"; false with
// the reason in why when it is malformed.
static bool parse_line(const std::string &text, long long &idx, Line &line, std::string &why) {
  std::istringstream ls(text);
  if (!(ls >> idx) || idx <= 0) {
    why = "bad index";
    return false;
  }
  long long x;
  bool closed = false;
  while (ls >> x) {
    if (!x) {
      closed = true;
      break;
    }
    line.lits.push_back((int)x);
  }
  if (!closed) {
    why = "literals not ended by 0";
    return false;
  }
  closed = false;
  while (ls >> x) {
    if (!x) {
      closed = true;
      break;
    }
    line.ants.push_back(x);
  }
  if (!closed) why = "antecedents not ended by 0";
  return closed;
}

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
    long long idx;
    Line line;
    std::string why;
    if (!parse_line(text, idx, line, why)) return fail(why);
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

namespace {

struct Derived {
  long long id;
  std::vector<int> lits;
};

void write_step(std::ostringstream &out, long long id, const std::vector<int> &lits,
                const std::vector<long long> &ants) {
  out << id;
  for (int l : lits) out << ' ' << l;
  out << " 0";
  for (long long a : ants) out << ' ' << a;
  out << " 0\n";
}

// Resolution chain for a clause from its antecedents: propagate from the
// negation of goal, then resolve the conflict clause with the reasons of
// the implied literals, latest first. False when no conflict follows.
bool chain(const std::vector<int> &goal, const std::vector<const Derived *> &ants,
           long long &next_id, std::ostringstream &out, size_t &steps, Derived &result) {
  std::map<int, int> value;  // variable -> +1/-1
  auto val = [&](int l) {
    auto it = value.find(std::abs(l));
    if (it == value.end()) return 0;
    return l > 0 ? it->second : -it->second;
  };
  for (int l : goal) value[std::abs(l)] = l > 0 ? -1 : 1;
  std::vector<std::pair<int, const Derived *>> trail;
  const Derived *conflict = nullptr;
  for (bool changed = true; changed && !conflict;) {
    changed = false;
    for (const Derived *d : ants) {
      int open = 0, unit = 0;
      bool sat = false;
      for (int l : d->lits) {
        int v = val(l);
        sat |= v > 0;
        if (!v) {
          ++open;
          unit = l;
        }
      }
      if (sat || open > 1) continue;
      if (!open) {
        conflict = d;
        break;
      }
      value[std::abs(unit)] = unit > 0 ? 1 : -1;
      trail.push_back({unit, d});
      changed = true;
    }
  }
  if (!conflict) return false;
  result = *conflict;
  for (auto it = trail.rbegin(); it != trail.rend(); ++it) {
    int l = it->first;
    auto pos = std::find(result.lits.begin(), result.lits.end(), -l);
    if (pos == result.lits.end()) continue;
    result.lits.erase(pos);
    for (int m : it->second->lits)
      if (m != l && std::find(result.lits.begin(), result.lits.end(), m) == result.lits.end())
        result.lits.push_back(m);
    long long id = next_id++;
    write_step(out, id, result.lits, {result.id, it->second->id});
    result.id = id;
    ++steps;
  }
  return true;
}

}  // namespace

BinaryProof binary_resolution_proof(const std::string &trace) {
  BinaryProof res;
  std::vector<std::pair<long long, Line>> lines;
  std::istringstream in(trace);
  long long next_id = 1;
  for (std::string text; std::getline(in, text);) {
    long long idx;
    Line line;
    if (!parse_line(text, idx, line, res.error)) return res;
    next_id = std::max(next_id, idx + 1);
    lines.push_back({idx, std::move(line)});
  }
  std::map<long long, Derived> known;  // trace index -> its proof step
  std::ostringstream out;
  for (auto &[idx, line] : lines) {
    Derived d{idx, line.lits};
    if (!line.ants.empty()) {
      std::vector<const Derived *> ants;
      for (long long a : line.ants) {
        auto it = known.find(a);
        if (it == known.end()) {
          res.error = "antecedent " + std::to_string(a) + " not defined before";
          return res;
        }
        ants.push_back(&it->second);
      }
      if (!chain(line.lits, ants, next_id, out, res.steps, d)) {
        res.error = "line " + std::to_string(idx) + " does not follow from its antecedents";
        return res;
      }
    } else {
      write_step(out, idx, line.lits, {});
    }
    known[idx] = d;
    if (d.lits.empty()) {
      res.ok = true;
      res.text = out.str();
      return res;
    }
  }
  res.error = "no empty clause derived";
  return res;
}

}  // namespace engine_test
