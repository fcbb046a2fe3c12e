// The preprocessor's simplification: the simplified formula (live clauses
// plus root units) is satisfiable exactly when the input is, checked against
// the reference solver (brute force for tiny inputs), and every model of it,
// extended through the elimination record, satisfies the input. Then the
// limits and rules of elimination, subsumption and strengthening one by one.
#include "pbtranslator/shrike.hpp"
#include "tests/tools/lib/shrike_ref.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

using Shrike::Clause;
using shrike_test::Cnf;
using shrike_test::Rng;

bool soak() { return std::getenv("KESTRANE_SOAK") != nullptr; }

Lit toLitD(int l) { return Lit(std::abs(l) - 1, l < 0); }

void load(Shrike::Solver &s, const Cnf &cnf) {
  while (s.nVars() < cnf.vars)
    s.newVar(true);
  vec<Lit> ps;
  for (const auto &cl : cnf.clauses) {
    ps.clear();
    for (int l : cl)
      ps.push(toLitD(l));
    s.addClause(ps);
  }
}

// Live problem clauses and the root assignments of non-eliminated variables.
Cnf simplified(const Shrike::Solver &s) {
  Cnf out;
  out.vars = s.nVars();
  for (Clause c : s.clauses) {
    if (c.null())
      continue;
    std::vector<int> cl;
    for (int i = 0; i < c.size(); i++)
      cl.push_back(sign(c[i]) ? -(var(c[i]) + 1) : var(c[i]) + 1);
    out.clauses.push_back(cl);
  }
  for (int v = 0; v < s.nVars(); v++)
    if (!s.eliminated[v] && s.value(v) != l_Undef)
      out.clauses.push_back({s.value(v) == l_True ? v + 1 : -(v + 1)});
  return out;
}

int decide(const Cnf &cnf, std::vector<int> &model) {
  return shrike_test::reference_model(cnf, model);
}

// The solver's bookkeeping agrees with its clauses: slots and ids, literal
// and occurrence counts, occurrence lists and watches. "" when it does.
std::string bookkeeping(const Shrike::Solver &s) {
  int64_t lits = 0;
  std::vector<int> occ((size_t)2 * s.nVars(), 0);
  for (int i = 0; i < s.clauses.size(); i++) {
    Clause c = s.clauses[i];
    if (c.null())
      continue;
    if (c.id() != i || c.learnt())
      return "clause slot " + std::to_string(i) + " holds id " +
             std::to_string(c.id());
    lits += c.size();
    auto has = [](const vec<Clause> &v, Clause x) {
      for (Clause d : v)
        if (d == x)
          return true;
      return false;
    };
    for (int k = 0; k < c.size(); k++) {
      occ[(size_t)toInt(c[k])]++;
      if (!has(s.occur[toInt(c[k])], c))
        return "clause missing from an occurrence list";
      if (s.eliminated[var(c[k])] || s.value(c[k]) != l_Undef)
        return "a live clause holds an assigned or eliminated variable";
    }
    if (!has(s.watches[toInt(~c[0])], c) || !has(s.watches[toInt(~c[1])], c))
      return "clause not watched on its first two literals";
  }
  if (lits != s.nLiterals)
    return "literal count " + std::to_string(s.nLiterals) + ", clauses hold " +
           std::to_string(lits);
  for (int l = 0; l < 2 * s.nVars(); l++) {
    if (s.nOccurs[l] != occ[(size_t)l])
      return "occurrence count of literal " + std::to_string(l);
    if (s.occur[l].size() != occ[(size_t)l])
      return "occurrence list length of literal " + std::to_string(l);
  }
  return "";
}

int64_t total_eliminated = 0; // variables eliminated over all instances
int64_t total_removed = 0;    // clauses gone over all instances

// Simplifies cnf, compares satisfiability with the reference and checks the
// extended model; returns an error description or "".
// known: the answer when it is known already (10 or 20), else 0.
std::string check_instance(const Cnf &cnf, int known = 0) {
  std::vector<int> m0;
  int expect = known != 0       ? known
               : cnf.vars <= 12 ? shrike_test::brute_force(cnf)
                                : decide(cnf, m0);
  if (expect == 0)
    return "reference gave no answer";
  Shrike::Solver s(Shrike::occ_Permanent, nullptr);
  load(s, cnf);
  int loaded = s.nClauses();
  s.simplifyBySubsumption(true);
  if (s.ok && s.nClauses() > loaded)
    return "simplification added clauses";
  if (s.ok) {
    std::string err = bookkeeping(s);
    if (!err.empty())
      return err;
  }
  if (!s.ok)
    return expect == 20 ? ""
                        : "simplification found a contradiction in a "
                          "satisfiable formula";
  Cnf simp = simplified(s);
  for (int v = 0; v < s.nVars(); v++)
    total_eliminated += s.eliminated[v];
  total_removed += (int64_t)cnf.clauses.size() - s.nClauses();
  for (const auto &cl : simp.clauses)
    for (int l : cl)
      if (s.eliminated[std::abs(l) - 1])
        return "an eliminated variable is left in a clause";
  std::vector<int> m;
  int got = decide(simp, m);
  if (got != expect)
    return "simplified formula answers " + std::to_string(got) + ", input " +
           std::to_string(expect);
  if (got == 20)
    return "";
  for (int v = 0; v < s.nVars(); v++)
    if (!s.eliminated[v] && s.value(v) == l_Undef)
      s.assigns[v] = m[(size_t)v + 1] > 0 ? l_True : l_False;
  s.extendModel();
  std::vector<int> full((size_t)cnf.vars + 1, 0);
  for (int v = 0; v < s.model.size(); v++)
    full[(size_t)v + 1] = s.model[v] == l_True ? 1 : -1;
  if (!engine_test::satisfies(cnf, full))
    return "the extended model falsifies the input";
  return "";
}

TEST(ShrikeSimplify, RandomFormulasStayEquisatisfiable) {
  int rounds = soak() ? 3000 : 150;
  for (int r = 0; r < rounds; r++) {
    Rng rng(1000 + (uint64_t)r);
    Cnf cnf;
    switch (r % 4) {
    case 0: {
      int n = 8 + (int)rng.below(60);
      cnf = engine_test::random_ksat(rng, n,
                                     (int)(n * (3.6 + rng.below(12) / 10.0)));
      break;
    }
    case 1:
      cnf = shrike_test::mixed_clauses(rng, 6 + (int)rng.below(40),
                                       10 + (int)rng.below(150), 5);
      break;
    case 2:
      cnf = shrike_test::gate_circuit(rng, 4 + (int)rng.below(20),
                                      5 + (int)rng.below(40),
                                      2 + (int)rng.below(30));
      break;
    default: {
      int n = 5 + (int)rng.below(8);
      cnf = engine_test::random_ksat(rng, n, (int)(n * 4.3), 3);
      break;
    }
    }
    std::string err = check_instance(cnf);
    ASSERT_EQ(err, "") << "seed " << 1000 + r << " kind " << r % 4;
  }
  // The instances must exercise elimination, not just pass through.
  EXPECT_GT(total_eliminated, rounds * 3);
  EXPECT_GT(total_removed, rounds * 5);
  std::printf("eliminated %lld variables, removed %lld clauses\n",
              (long long)total_eliminated, (long long)total_removed);
}

TEST(ShrikeSimplify, StructuredFormulasStayEquisatisfiable) {
  int rounds = soak() ? 400 : 30;
  for (int r = 0; r < rounds; r++) {
    Rng rng(77 + (uint64_t)r);
    Cnf cnf;
    switch (r % 5) {
    case 0:
      cnf = engine_test::pigeonhole(2 + r % 4);
      break;
    case 1:
      cnf =
          engine_test::parity_chain(rng, 4 + (int)rng.below(12), rng.below(2));
      break;
    case 2: {
      uint64_t n = 4 + rng.below(200);
      cnf = engine_test::factoring(n, 5);
      break;
    }
    case 3:
      cnf = engine_test::graph_colouring(rng, 8 + (int)rng.below(15),
                                         15 + (int)rng.below(40), 3);
      break;
    default:
      cnf = shrike_test::gate_circuit(rng, 30, 150, 40);
      break;
    }
    std::string err = check_instance(cnf);
    ASSERT_EQ(err, "") << "seed " << 77 + r << " kind " << r % 5;
  }
}

TEST(ShrikeSimplify, BenchmarkInstancesStayEquisatisfiable) {
  struct Inst {
    const char *name;
    int answer;
  };
  std::vector<Inst> insts = {
      {"uf250-01.cnf", 10},        {"ssa0432-003.cnf", 20},
      {"sudoku.cnf", 10},          {"sudoku-hardest1.cnf.gz", 10},
      {"sat-bench-unsat.cnf", 20}, {"sat-bench-unsat2.cnf", 20}};
  if (soak())
    insts.insert(insts.end(), {{"Hidoku_enu_6.cnf", 10},
                               {"38bits_10.dimacs.cnf.gz", 10},
                               {"p01_lb_05.cnf.gz", 20},
                               {"manthey_DimacsSorter_28_3.cnf.gz", 10},
                               {"uuf250-04.cnf", 20}});
  for (const Inst &in : insts) {
    Cnf cnf;
    ASSERT_TRUE(engine_test::read_dimacs(
        std::string(KESTRANE_BENCH_DIR) + "/cnf-sat/" + in.name, cnf))
        << in.name;
    EXPECT_EQ(check_instance(cnf, in.answer), "") << in.name;
  }
}

//=============================================================================
// Rules one by one.

struct Fixture {
  Shrike::Solver s{Shrike::occ_Permanent, nullptr};
  explicit Fixture(int vars) {
    for (int i = 0; i < vars; i++)
      s.newVar(true);
  }
  void add(std::initializer_list<int> lits) {
    vec<Lit> ps;
    for (int l : lits)
      ps.push(toLitD(l));
    s.addClause(ps);
  }
  void add(const std::vector<int> &lits) {
    vec<Lit> ps;
    for (int l : lits)
      ps.push(toLitD(l));
    s.addClause(ps);
  }
  // The elimination record as clauses of ±v literals.
  std::vector<std::vector<int>> record() {
    std::fflush(s.elimFile);
    std::rewind(s.elimFile);
    std::vector<std::vector<int>> out;
    int n;
    while (std::fread(&n, sizeof n, 1, s.elimFile) == 1) {
      std::vector<int> cl;
      for (int i = 0; i < n; i++) {
        int code;
        EXPECT_EQ(std::fread(&code, sizeof code, 1, s.elimFile), 1u);
        cl.push_back(code & 1 ? -((code >> 1) + 1) : (code >> 1) + 1);
      }
      out.push_back(cl);
    }
    std::fseek(s.elimFile, 0, SEEK_END);
    return out;
  }
};

// x has pos clauses (x y a_i) and neg clauses (-x -y b_j): every resolvent is
// a tautology, so only the occurrence limits can stop the elimination.
// Variables: x = 1, y = 2, pads from 3.
std::unique_ptr<Fixture> tautological(int npos, int nneg, int pad_pos = 1,
                                      int pad_neg = 1, int extra_pad = 0) {
  auto fp = std::make_unique<Fixture>(2 + npos * pad_pos + nneg * pad_neg +
                                      extra_pad);
  Fixture &f = *fp;
  int next = 3;
  for (int i = 0; i < npos; i++) {
    std::vector<int> cl = {1, 2};
    for (int k = 0; k < pad_pos + (i == 0 ? extra_pad : 0); k++)
      cl.push_back(next++);
    f.add(cl);
  }
  for (int j = 0; j < nneg; j++) {
    std::vector<int> cl = {-1, -2};
    for (int k = 0; k < pad_neg; k++)
      cl.push_back(next++);
    f.add(cl);
  }
  return fp;
}

TEST(ShrikeEliminate, EightOccurrencesOnBothSidesBlockElimination) {
  auto f = tautological(8, 8);
  EXPECT_FALSE(f->s.maybeEliminate(0));
  EXPECT_FALSE(f->s.eliminated[0]);
  auto g = tautological(7, 8);
  EXPECT_TRUE(g->s.maybeEliminate(0));
  EXPECT_TRUE(g->s.eliminated[0]);
  EXPECT_EQ(g->s.value(0), l_Error);
  EXPECT_EQ(g->s.nClauses(), 0); // all resolvents were tautologies
  EXPECT_EQ(g->record().size(), 15u);
  auto h = tautological(8, 7);
  EXPECT_TRUE(h->s.maybeEliminate(0));
}

TEST(ShrikeEliminate, LiteralBoundAppliesFromThreeOccurrencesEachSide) {
  // 6 clauses of 50 literals: 300 in all, at the bound.
  auto at = tautological(3, 3, 48, 48);
  EXPECT_TRUE(at->s.maybeEliminate(0));
  // One literal more: 301.
  auto above = tautological(3, 3, 48, 48, 1);
  EXPECT_FALSE(above->s.maybeEliminate(0));
  // With only two clauses on one side the literal bound does not apply.
  auto two = tautological(2, 3, 100, 100);
  EXPECT_TRUE(two->s.maybeEliminate(0));
}

TEST(ShrikeEliminate, ResolventsMayNotOutnumberTheClausesRemoved) {
  // 2 x 3 pairs, 6 resolvents for 5 clauses: rejected.
  Fixture f(11);
  f.add({1, 2, 3});
  f.add({1, 4, 5});
  f.add({-1, 6, 7});
  f.add({-1, 8, 9});
  f.add({-1, 10, 11});
  EXPECT_FALSE(f.s.maybeEliminate(0));
  EXPECT_EQ(f.s.nClauses(), 5);
  // One tautological pair leaves 5 resolvents for 5 clauses: accepted.
  Fixture g(11);
  g.add({1, 2, 3});
  g.add({1, 4, 5});
  g.add({-1, -2, 7});
  g.add({-1, 8, 9});
  g.add({-1, 10, 11});
  EXPECT_TRUE(g.s.maybeEliminate(0));
  EXPECT_TRUE(g.s.eliminated[0]);
  EXPECT_EQ(g.s.nClauses(), 5);
}

TEST(ShrikeEliminate, EquivalenceSubstitutesTheOtherLiteral) {
  // x = 1, z = 2: (x -z) (-x z) make x equivalent to z.
  Fixture f(5);
  f.add({1, -2});
  f.add({-1, 2});
  f.add({1, 3, 4});
  f.add({-1, 5});
  EXPECT_EQ(f.s.findUnitDef(0, f.s.occur[0], f.s.occur[1]), Lit(1));
  EXPECT_TRUE(f.s.maybeEliminate(0));
  EXPECT_TRUE(f.s.eliminated[0]);
  Cnf simp = simplified(f.s);
  std::vector<std::vector<int>> want = {{2, 3, 4}, {-2, 5}};
  for (auto &cl : simp.clauses)
    std::sort(cl.begin(), cl.end());
  for (auto &cl : want)
    std::sort(cl.begin(), cl.end());
  std::sort(simp.clauses.begin(), simp.clauses.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(simp.clauses, want);
  EXPECT_EQ(f.record().size(), 4u); // all four clauses of x
}

TEST(ShrikeEliminate, HyperResolutionAssertsWithoutEliminating) {
  // x = 1 implies a = 2, b = 3, c = 4; (-a -b) forbids that: x is false.
  Fixture f(6);
  f.add({-1, 2});
  f.add({-1, 3});
  f.add({-1, 4});
  f.add({-2, -3});
  f.add({1, 5, 6});
  Shrike::Clause_t def;
  EXPECT_TRUE(f.s.findDef(Lit(0), f.s.occur[0], f.s.occur[1], def));
  EXPECT_EQ(def.size(), 0);
  EXPECT_TRUE(f.s.maybeEliminate(0));
  EXPECT_FALSE(f.s.eliminated[0]);
  EXPECT_EQ(f.s.value(0), l_False);
}

TEST(ShrikeEliminate, AndGateDefinitionIsSubstituted) {
  // x = 1 <-> a & b (a = 2, b = 3); x occurs in three further clauses.
  Fixture f(8);
  f.add({-1, 2});
  f.add({-1, 3});
  f.add({1, -2, -3});
  f.add({1, 4, 5});
  f.add({-1, 6, 7});
  f.add({-1, 8, -6});
  Shrike::Clause_t def;
  EXPECT_TRUE(f.s.findDef(Lit(0), f.s.occur[0], f.s.occur[1], def));
  EXPECT_EQ(def.size(), 2);
  EXPECT_TRUE(f.s.maybeEliminate(0));
  EXPECT_TRUE(f.s.eliminated[0]);
  // Equisatisfiable and extensible.
  Cnf orig;
  orig.vars = 8;
  orig.clauses = {{-1, 2},   {-1, 3},    {1, -2, -3},
                  {1, 4, 5}, {-1, 6, 7}, {-1, 8, -6}};
  EXPECT_EQ(check_instance(orig), "");
}

TEST(ShrikeEliminate, OneSidedVariablesAreNoCandidates) {
  Fixture f(4);
  f.add({1, 2});
  f.add({1, -3});
  f.add({-2, 3, 4});
  vec<int> cands;
  f.s.orderVarsForElim(cands);
  for (int v : cands)
    EXPECT_NE(v, 0) << "x1 occurs only positively";
  EXPECT_TRUE(f.s.touchedVars.size() == 0);
}

TEST(ShrikeSubsume, SubsumedClausesAreRemovedAndStrengthenedOnesShrink) {
  Fixture f(4);
  f.add({1, 2, 3});
  f.add({1, 2}); // subsumes the first (backward, on add)
  EXPECT_EQ(f.s.nClauses(), 1);
  f.add({-1, 2, 4});
  int removed = 0;
  // (1 2) and (-1 2 4): resolving on 1 strengthens the second to (2 4).
  f.s.subsume1(f.s.clauses[0].null() ? f.s.clauses[1] : f.s.clauses[0],
               &removed);
  EXPECT_EQ(removed, 1);
  Cnf simp = simplified(f.s);
  bool found = false;
  for (auto cl : simp.clauses) {
    std::sort(cl.begin(), cl.end());
    found |= cl == std::vector<int>{2, 4};
  }
  EXPECT_TRUE(found);
}

TEST(ShrikeSubsume, StrengthenedUnitIsPropagatedAtTheRoot) {
  Fixture f(3);
  f.add({1, 2});
  f.add({1, -2});
  f.add({-1, 3, 2});
  bool keep = Shrike::opt_var_elim;
  Shrike::opt_var_elim = false;
  f.s.simplifyBySubsumption(true);
  Shrike::opt_var_elim = keep;
  EXPECT_TRUE(f.s.ok);
  EXPECT_EQ(f.s.value(0), l_True);
  // (-1 3 2) lost its false literal; (1 ...) clauses are satisfied.
  Cnf simp = simplified(f.s);
  for (const auto &cl : simp.clauses)
    if (cl.size() > 1) {
      EXPECT_EQ(cl.size(), 2u);
    }
}

TEST(ShrikeSubsume, ContradictionIsFinal) {
  Fixture f(2);
  f.add({1, 2});
  f.add({1, -2});
  f.add({-1, 2});
  f.add({-1, -2});
  f.s.simplifyBySubsumption(true);
  EXPECT_FALSE(f.s.ok);
  vec<Lit> ps;
  ps.push(Lit(0));
  ps.push(Lit(1));
  EXPECT_TRUE(f.s.addClause(ps).null());
  EXPECT_FALSE(f.s.solve());
}

TEST(ShrikeSets, IndexedSetReusesHolesAndSkipsForeignClauses) {
  Shrike::CSet set;
  vec<Lit> ps;
  ps.push(Lit(0));
  ps.push(Lit(1));
  Clause a = Shrike::allocClause(ps, false), b = Shrike::allocClause(ps, false),
         c = Shrike::allocClause(ps, false);
  a.setId(0);
  b.setId(3);
  c.setId(3); // same id, another clause
  EXPECT_FALSE(set.add(a));
  EXPECT_FALSE(set.add(b));
  EXPECT_TRUE(set.add(b));
  EXPECT_FALSE(set.exclude(c));
  EXPECT_TRUE(set.exclude(a));
  EXPECT_TRUE(set[0].null());
  EXPECT_EQ(set.size(), 2);
  c.setId(5);
  EXPECT_FALSE(set.add(c));
  EXPECT_EQ(set[0], c); // the hole is reused
  set.clear();
  EXPECT_EQ(set.size(), 0);
  EXPECT_FALSE(set.add(b));
  Shrike::deallocClause(a);
  Shrike::deallocClause(b);
  Shrike::deallocClause(c);
}

} // namespace
