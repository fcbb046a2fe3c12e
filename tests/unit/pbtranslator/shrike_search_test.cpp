// The preprocessor's own search: `solve` agrees with the reference solver on
// random and structured formulas, with and without occurrence lists, and its
// models (extended to the eliminated variables) satisfy the input; then the
// edge cases of solving and the engine wrapper's preprocessor back end.
#include "pbtranslator/pb_solver.hpp"
#include "pbtranslator/shrike.hpp"
#include "tests/tools/lib/shrike_ref.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

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

std::string check_solve(const Cnf &cnf, int mode) {
  std::vector<int> m;
  int expect = cnf.vars <= 12 ? shrike_test::brute_force(cnf)
                              : shrike_test::reference_model(cnf, m);
  if (expect == 0)
    return "reference gave no answer";
  Shrike::Solver s(mode, nullptr);
  load(s, cnf);
  bool sat = s.solve();
  if (sat != (expect == 10))
    return std::string("solve answers ") + (sat ? "SAT" : "UNSAT");
  if (!sat)
    return "";
  std::vector<int> full((size_t)cnf.vars + 1, 0);
  for (int v = 0; v < s.model.size() && v < cnf.vars; v++)
    full[(size_t)v + 1] = s.model[v] == l_True ? 1 : -1;
  if (!engine_test::satisfies(cnf, full))
    return "the model falsifies the input";
  return "";
}

Cnf instance(int r, Rng &rng) {
  switch (r % 6) {
  case 0: {
    int n = 10 + (int)rng.below(70);
    return engine_test::random_ksat(rng, n,
                                    (int)(n * (3.8 + rng.below(8) / 10.0)));
  }
  case 1:
    return shrike_test::mixed_clauses(rng, 8 + (int)rng.below(50),
                                      20 + (int)rng.below(200), 6);
  case 2:
    return shrike_test::gate_circuit(rng, 6 + (int)rng.below(25),
                                     10 + (int)rng.below(80),
                                     5 + (int)rng.below(40));
  case 3:
    return engine_test::parity_chain(rng, 5 + (int)rng.below(15), rng.below(2));
  case 4:
    return engine_test::graph_colouring(rng, 10 + (int)rng.below(20),
                                        20 + (int)rng.below(50), 3);
  default:
    return engine_test::factoring(4 + rng.below(250), 5);
  }
}

TEST(ShrikeSolve, AgreesWithReferenceWithOccurrenceLists) {
  int rounds = soak() ? 3000 : 150;
  for (int r = 0; r < rounds; r++) {
    Rng rng(5000 + (uint64_t)r);
    Cnf cnf = instance(r, rng);
    ASSERT_EQ(check_solve(cnf, Shrike::occ_Permanent), "")
        << "seed " << 5000 + r << " kind " << r % 6;
  }
}

TEST(ShrikeSolve, AgreesWithReferenceWithLearntClausesListed) {
  int rounds = soak() ? 1000 : 40;
  for (int r = 0; r < rounds; r++) {
    Rng rng(12000 + (uint64_t)r);
    Cnf cnf = instance(r, rng);
    ASSERT_EQ(check_solve(cnf, Shrike::occ_All), "")
        << "seed " << 12000 + r << " kind " << r % 6;
  }
}

TEST(ShrikeSolve, OccurrenceListsCanBeSwitchedOnLater) {
  for (int r = 0; r < (soak() ? 200 : 20); r++) {
    Rng rng(15000 + (uint64_t)r);
    Cnf cnf = instance(r, rng);
    Shrike::Solver s(Shrike::occ_Off, nullptr);
    load(s, cnf);
    s.setOccurMode(Shrike::occ_Permanent);
    int listed = 0;
    for (const vec<Shrike::Clause> &os : s.occur)
      listed += os.size();
    EXPECT_EQ(listed, s.nLiterals) << "seed " << 15000 + r;
    std::vector<int> m;
    int expect = shrike_test::reference_model(cnf, m);
    bool sat = s.solve();
    ASSERT_EQ(sat, expect == 10) << "seed " << 15000 + r;
    if (sat) {
      std::vector<int> full((size_t)cnf.vars + 1, 0);
      for (int v = 0; v < cnf.vars; v++)
        full[(size_t)v + 1] = s.model[v] == l_True ? 1 : -1;
      EXPECT_TRUE(engine_test::satisfies(cnf, full)) << "seed " << 15000 + r;
    }
  }
}

TEST(ShrikeSolve, AgreesWithReferenceWithoutOccurrenceLists) {
  int rounds = soak() ? 1000 : 60;
  for (int r = 0; r < rounds; r++) {
    Rng rng(9000 + (uint64_t)r);
    Cnf cnf = instance(r, rng);
    ASSERT_EQ(check_solve(cnf, Shrike::occ_Off), "")
        << "seed " << 9000 + r << " kind " << r % 6;
  }
}

// Every option that the system leaves at its default, flipped one at a time.
TEST(ShrikeSolve, OptionVariantsAgreeWithReference) {
  struct Flip {
    const char *name;
    bool *opt;
  } flips[] = {{"niver", &Shrike::opt_niver},
               {"pure_literal", &Shrike::opt_pure_literal},
               {"asym_branch", &Shrike::opt_asym_branch},
               {"repeated_sub", &Shrike::opt_repeated_sub},
               {"keep_all", &Shrike::opt_keep_all},
               {"no_random", &Shrike::opt_no_random},
               {"confl_ksub", &Shrike::opt_confl_ksub},
               {"confl_1sub", &Shrike::opt_confl_1sub},
               {"def_elim", &Shrike::opt_def_elim},
               {"unit_def", &Shrike::opt_unit_def},
               {"hyper1_res", &Shrike::opt_hyper1_res},
               {"0sub", &Shrike::opt_0sub},
               {"1sub", &Shrike::opt_1sub}};
  int rounds = soak() ? 300 : 16;
  for (const Flip &f : flips) {
    *f.opt = !*f.opt;
    bool ksub_alone = f.opt == &Shrike::opt_confl_ksub;
    bool keep_1sub = Shrike::opt_confl_1sub;
    if (ksub_alone)
      Shrike::opt_confl_1sub = false; // ksub is the alternative to 1sub
    for (int r = 0; r < rounds; r++) {
      Rng rng(20000 + (uint64_t)r);
      Cnf cnf = instance(r, rng);
      std::string err = check_solve(cnf, Shrike::occ_Permanent);
      EXPECT_EQ(err, "") << "option " << f.name << " seed " << 20000 + r
                         << " kind " << r % 6;
      if (!err.empty())
        break;
    }
    Shrike::opt_confl_1sub = keep_1sub;
    *f.opt = !*f.opt;
  }
}

// The known answers of the satisfiability benchmarks: file -> 10 or 20.
std::map<std::string, int> known_answers() {
  std::map<std::string, int> out;
  std::ifstream in(std::string(KESTRANE_BENCH_DIR) + "/known-optima.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("cnf-sat/", 0) != 0)
      continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos)
      continue;
    std::string name = line.substr(8, tab - 8);
    std::string rest = line.substr(tab + 1);
    if (rest.rfind("UNSAT", 0) == 0)
      out[name] = 20;
    else if (rest.rfind("SAT", 0) == 0)
      out[name] = 10;
  }
  return out;
}

TEST(ShrikeSolve, BenchmarkInstancesMatchKnownAnswers) {
  std::vector<std::string> files = {
      "empty.cnf",           "empty-clause.cnf",     "uf20-01.cnf",
      "uf50-01.cnf",         "uf100-01.cnf",         "uf150-01.cnf",
      "uf250-01.cnf",        "ssa0432-003.cnf",      "sudoku.cnf",
      "sat-bench-unsat.cnf", "sat-bench-unsat2.cnf", "sudoku-hardest1.cnf.gz"};
  if (soak())
    for (const char *f :
         {"uuf250-04.cnf", "uuf250-05.cnf", "38bits_10.dimacs.cnf.gz",
          "manthey_DimacsSorter_28_3.cnf.gz"})
      files.push_back(f);
  std::map<std::string, int> known = known_answers();
  for (const std::string &name : files) {
    Cnf cnf;
    ASSERT_TRUE(engine_test::read_dimacs(
        std::string(KESTRANE_BENCH_DIR) + "/cnf-sat/" + name, cnf))
        << name;
    ASSERT_TRUE(known.count(name)) << name;
    Shrike::Solver s(Shrike::occ_Permanent, nullptr);
    load(s, cnf);
    bool sat = s.solve();
    EXPECT_EQ(sat, known[name] == 10) << name;
    if (!sat)
      continue;
    std::vector<int> full((size_t)cnf.vars + 1, 0);
    for (int v = 0; v < s.model.size() && v < cnf.vars; v++)
      full[(size_t)v + 1] = s.model[v] == l_True ? 1 : -1;
    EXPECT_TRUE(engine_test::satisfies(cnf, full)) << name;
  }
}

TEST(ShrikeSolve, PigeonholeIsUnsatisfiable) {
  for (int h = 2; h <= 6; h++)
    EXPECT_EQ(check_solve(engine_test::pigeonhole(h), Shrike::occ_Permanent),
              "")
        << h << " holes";
}

TEST(ShrikeSolve, EmptyFormulaHasEmptyModel) {
  Shrike::Solver s(Shrike::occ_Permanent, nullptr);
  EXPECT_TRUE(s.solve());
  EXPECT_EQ(s.model.size(), 0);
}

TEST(ShrikeSolve, ModeZeroModelIsThePlainAssignment) {
  Shrike::Solver s(Shrike::occ_Off, nullptr);
  load(s, Cnf{3, {{1, 2}, {-1}, {-2, 3}}});
  ASSERT_TRUE(s.solve());
  ASSERT_EQ(s.model.size(), 3);
  EXPECT_EQ(s.model[0], l_False);
  EXPECT_EQ(s.model[1], l_True);
  EXPECT_EQ(s.model[2], l_True);
  for (int v = 0; v < 3; v++)
    EXPECT_FALSE(s.eliminated[v]);
}

TEST(ShrikeSolve, RootConflictIsFinal) {
  // The unit comes last, so the conflict arises in propagation at the root.
  for (int mode : {Shrike::occ_Off, Shrike::occ_Permanent}) {
    Shrike::Solver s(mode, nullptr);
    load(s, Cnf{2, {{-1, 2}, {-1, -2}, {1}}});
    EXPECT_FALSE(s.solve()) << "mode " << mode;
    EXPECT_FALSE(s.ok) << "mode " << mode;
    EXPECT_FALSE(s.solve()) << "mode " << mode;
  }
}

TEST(ShrikeSolve, AssumptionsFailWithoutSpoilingTheSolver) {
  Shrike::Solver s(Shrike::occ_Off, nullptr);
  load(s, Cnf{3, {{1, 2}, {-1, 3}, {-2, 3}}});
  vec<Lit> as;
  as.push(toLitD(-3));
  EXPECT_FALSE(s.solve(as));
  EXPECT_TRUE(s.ok);
  as.clear();
  as.push(toLitD(3));
  as.push(toLitD(-1));
  ASSERT_TRUE(s.solve(as));
  EXPECT_EQ(s.model[1], l_True);
  EXPECT_TRUE(s.solve());
}

TEST(ShrikeSolve, ProgressOfAFullyEliminatedFormulaIsNotANumber) {
  Shrike::Solver s(Shrike::occ_Permanent, nullptr);
  load(s, Cnf{2, {{1, 2}, {-1, 2}}});
  s.simplifyBySubsumption(true);
  s.eliminated[0] = s.eliminated[1] = 1; // every variable gone
  EXPECT_TRUE(std::isnan(s.progressEstimate()));
}

TEST(ShrikeSolve, RepeatedSolvesAfterNewClausesStayCorrect) {
  // Each new clause brings root assignments, so the next solve simplifies
  // again and may eliminate variables of earlier learnt clauses; those
  // clauses must go, or they would act as clauses without the variable.
  int stale_possible = 0; // solves that eliminated a variable of a learnt
  for (int r = 0; r < (soak() ? 400 : 30); r++) {
    Rng rng(700 + (uint64_t)r);
    const int n = 70;
    Cnf cnf = engine_test::random_ksat(rng, n, 290);
    Shrike::Solver s(Shrike::occ_Permanent, nullptr);
    load(s, cnf);
    bool sat = s.solve();
    for (int round = 0; round < 4 && sat; round++) {
      std::vector<int> cl;
      while (cl.size() < 1 + (size_t)rng.below(2)) {
        int v = (int)rng.below(n) + 1;
        if (!s.eliminated[(size_t)v - 1])
          cl.push_back(rng.below(2) ? v : -v);
      }
      vec<Lit> ps;
      for (int l : cl)
        ps.push(toLitD(l));
      s.addClause(ps);
      cnf.clauses.push_back(cl);
      std::vector<bool> in_learnt((size_t)n, false);
      for (Shrike::Clause c : s.learnts)
        if (!c.null())
          for (int k = 0; k < c.size(); k++)
            in_learnt[(size_t)var(c[k])] = true;
      std::vector<char> was_eliminated(s.eliminated.begin(),
                                       s.eliminated.end());
      std::vector<int> m;
      int expect = shrike_test::reference_model(cnf, m);
      sat = s.solve();
      ASSERT_EQ(sat, expect == 10) << "seed " << 700 + r << " round " << round;
      for (int v = 0; v < n; v++)
        stale_possible += s.eliminated[v] && !was_eliminated[(size_t)v] &&
                          in_learnt[(size_t)v];
      for (Shrike::Clause c : s.learnts) {
        if (c.null())
          continue;
        for (int k = 0; k < c.size(); k++)
          ASSERT_FALSE(s.eliminated[var(c[k])])
              << "learnt clause over an eliminated variable, seed " << 700 + r;
      }
      if (sat) {
        std::vector<int> full((size_t)n + 1, 0);
        for (int v = 0; v < n; v++)
          full[(size_t)v + 1] = s.model[v] == l_True ? 1 : -1;
        ASSERT_TRUE(engine_test::satisfies(cnf, full)) << "seed " << 700 + r;
      }
    }
  }
  EXPECT_GT(stale_possible, 0) << "no solve exercised the dropping";
}

TEST(ShrikeSolve, ReductionKeepsReasonClauses) {
  Shrike::Solver s(Shrike::occ_Off, nullptr);
  for (int i = 0; i < 8; i++)
    s.newVar(true);
  s.assume(Lit(0));
  vec<Lit> ps;
  ps.push(Lit(1));
  ps.push(~Lit(0));
  Shrike::Clause reason = s.addClause(ps, true);
  ASSERT_FALSE(reason.null());
  ASSERT_TRUE(s.enqueue(Lit(1), reason));
  reason.activity() = 0; // the least active of all
  for (int i = 2; i < 8; i++) {
    ps.clear();
    ps.push(Lit(i));
    ps.push(~Lit(i - 1));
    ps.push(Lit(i == 7 ? 2 : i + 1));
    s.addClause(ps, true);
  }
  int before = s.nLearnts();
  s.reduceDB();
  EXPECT_LT(s.nLearnts(), before);
  bool kept = false;
  for (Shrike::Clause c : s.learnts)
    kept |= c == reason;
  EXPECT_TRUE(kept);
  s.cancelUntil(0);
}

TEST(ShrikeSolve, ReportsAndTracesAtHigherVerbosity) {
  Rng rng(31);
  Cnf cnf = engine_test::random_ksat(rng, 20, 85);
  for (int verb = 1; verb <= 2; verb++) {
    Shrike::Solver s(Shrike::occ_Permanent, nullptr);
    s.verbosity = verb;
    load(s, cnf);
    testing::internal::CaptureStdout();
    bool sat = s.solve();
    std::string text = testing::internal::GetCapturedStdout();
    std::vector<int> m;
    EXPECT_EQ(sat, shrike_test::reference_model(cnf, m) == 10);
    EXPECT_NE(text.find("[SHRIKE+]"), std::string::npos);
    EXPECT_NE(text.find("| Conflicts |"), std::string::npos);
    if (verb == 2) {
      EXPECT_NE(text.find("assume("), std::string::npos);
      EXPECT_NE(text.find("bind("), std::string::npos);
    }
  }
}

TEST(ShrikeWrapper, FalseFlagSelectsThePreprocessor) {
  Solver engine(false);
  ASSERT_EQ(engine.finch, nullptr);
  ASSERT_NE(engine.shrike, nullptr);
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(engine.newVar(true), i);
  EXPECT_EQ(engine.nVars(), 3);
  vec<Lit> ps;
  ps.push(Lit(0));
  ps.push(Lit(1));
  engine.addClause(ps);
  EXPECT_TRUE(engine.addUnit(~Lit(0)));
  EXPECT_EQ(engine.value(~Lit(0)), l_True);
  EXPECT_FALSE(engine.addUnit(Lit(0)));
  EXPECT_TRUE(engine.okay_ref());
  EXPECT_EQ(engine.values_ref().size(), 3);
  EXPECT_EQ(engine.trail_ref().size(), 1);
  ASSERT_TRUE(engine.shrike->solve());
  EXPECT_EQ(engine.shrike->model[1], l_True);
  engine.destroy_solver();
  EXPECT_EQ(engine.shrike, nullptr);
}

} // namespace
