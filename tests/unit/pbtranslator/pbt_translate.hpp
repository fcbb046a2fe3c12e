// Drives a PbSolver the way the BDD encoding's bridge does and returns the
// exported clauses over ±v literals, for the translator's tests.
#pragma once

#include "pbtranslator/pb_solver.hpp"
#include "tests/tools/lib/pbt_brute.hpp"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace pbt {

inline int relation_code(const std::string &rel) {
  if (rel == "<")
    return -2;
  if (rel == "<=")
    return -1;
  if (rel == "=")
    return 0;
  if (rel == ">=")
    return 1;
  return 2;
}

struct Translation {
  std::vector<Clause> clauses; // exported units first, then clauses
  bool transform_ok = true;    // transform's result
  int n_units = 0;
};

// Reads the clause store out as the bridge does: simplifyDB, exportClauses,
// each translator literal mapped through to_program (fresh variables from
// next_free for unnamed translator variables).
inline Translation export_clauses(PbSolver &pb,
                                  std::map<int, long long> &to_program,
                                  long long next_free) {
  Translation t;
  Finch::Solver &s = *pb.engine.finch;
  s.simplifyDB();
  vec<Finch::Clause *> cls;
  vec<Lit> units;
  s.exportClauses(cls, units);
  auto map_lit = [&](Lit p) {
    auto it = to_program.find(var(p));
    if (it == to_program.end())
      it = to_program.emplace(var(p), next_free++).first;
    return sign(p) ? -it->second : it->second;
  };
  for (Lit p : units)
    t.clauses.push_back({map_lit(p)});
  t.n_units = units.size();
  for (Finch::Clause *c : cls) {
    Clause out;
    for (int i = 0; i < c->size(); i++)
      out.push_back(map_lit((*c)[i]));
    t.clauses.push_back(out);
  }
  return t;
}

// The bridge's road: each program literal l is a translator variable named
// "x<l>" (so x3 and x-3 are different translator variables).
inline Translation translate_like_bridge(const std::vector<PbConstraint> &cs,
                                         int n_vars) {
  PbSolver pb;
  std::map<int, long long> to_program;
  for (const PbConstraint &c : cs) {
    vec<Lit> ps;
    vec<Int> Cs;
    for (size_t i = 0; i < c.lits.size(); i++) {
      std::string name = "x" + std::to_string(c.lits[i]);
      int v = pb.getVar(name.c_str());
      to_program[v] = c.lits[i];
      ps.push(Lit(v));
      Cs.push(Int(c.coefs[i]));
    }
    pb.addConstr(ps, Cs, Int(c.rhs), relation_code(c.rel));
  }
  bool ok = pb.transform(ct_BDDs);
  Translation t = export_clauses(pb, to_program, n_vars + 1);
  t.transform_ok = ok;
  return t;
}

// Translator literals carry the sign: program literal ±v is translator
// variable v-1, negated for -v (so terms over x and ~x merge).
inline Translation translate_direct(const std::vector<PbConstraint> &cs,
                                    int n_vars) {
  PbSolver pb;
  std::map<int, long long> to_program;
  for (int v = 1; v <= n_vars; v++) {
    std::string name = "v" + std::to_string(v);
    to_program[pb.getVar(name.c_str())] = v;
  }
  for (const PbConstraint &c : cs) {
    vec<Lit> ps;
    vec<Int> Cs;
    for (size_t i = 0; i < c.lits.size(); i++) {
      long long l = c.lits[i];
      ps.push(Lit((int)std::llabs(l) - 1, l < 0));
      Cs.push(Int(c.coefs[i]));
    }
    pb.addConstr(ps, Cs, Int(c.rhs), relation_code(c.rel));
  }
  bool ok = pb.transform(ct_BDDs);
  Translation t = export_clauses(pb, to_program, n_vars + 1);
  t.transform_ok = ok;
  return t;
}

// Compares, over every assignment of variables 1..n_vars, whether all
// constraints hold with whether the clauses are satisfiable (auxiliary
// variables free). Returns "" or a description of the first mismatch.
inline std::string check_equivalence(const std::vector<PbConstraint> &cs,
                                     int n_vars, const Translation &t) {
  bool any_model = false;
  for (long long bits = 0; bits < (1LL << n_vars); bits++) {
    std::vector<int> a((size_t)n_vars + 1, 0);
    for (int v = 1; v <= n_vars; v++)
      a[(size_t)v] = (bits >> (v - 1)) & 1 ? 1 : -1;
    bool expected = true;
    for (const PbConstraint &c : cs)
      expected = expected && holds(c, a);
    any_model = any_model || expected;
    bool actual = satisfiable(t.clauses, a);
    if (expected != actual) {
      std::string s = "assignment";
      for (int v = 1; v <= n_vars; v++)
        s += " " + std::string(a[(size_t)v] > 0 ? "" : "-") + std::to_string(v);
      return s + (expected ? ": constraints hold, clauses unsatisfiable"
                           : ": constraints fail, clauses satisfiable");
    }
  }
  if (any_model && !t.transform_ok)
    return "constraints satisfiable but transform reported inconsistent";
  return "";
}

// As check_equivalence, on `samples` random assignments (seeded) instead of
// all of them, for constraints over too many variables to enumerate.
inline std::string check_sampled(const std::vector<PbConstraint> &cs,
                                 int n_vars, const Translation &t, int samples,
                                 std::mt19937_64 &rng) {
  for (int s = 0; s < samples; s++) {
    std::vector<int> a((size_t)n_vars + 1, 0);
    for (int v = 1; v <= n_vars; v++)
      a[(size_t)v] = rng() % 2 ? 1 : -1;
    bool expected = true;
    for (const PbConstraint &c : cs)
      expected = expected && holds(c, a);
    if (expected != satisfiable(t.clauses, a))
      return std::string("sample ") + std::to_string(s) +
             (expected ? ": constraints hold, clauses unsatisfiable"
                       : ": constraints fail, clauses satisfiable");
  }
  return "";
}

} // namespace pbt
