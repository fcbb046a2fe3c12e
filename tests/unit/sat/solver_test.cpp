// Unit tests of the Wren solver: its containers, heap and arena, the level-0
// clause handling, restarts, assumptions and budgets, clause-database
// reduction and garbage collection, option variants of the search, and many
// small random formulas decided against a brute-force enumeration.
#include "sat/solver.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "tests/tools/lib/wren_cnf.hpp"
#include "tests/tools/lib/wren_harness.hpp"

using namespace Wren;
using wrentest::Cnf;
using wrentest::Rng;

namespace {

// Exposes the internal steps that the tests drive directly.
class TestSolver : public Solver {
 public:
  using Solver::ca;
  using Solver::garbageCollect;
  using Solver::learnts;
  using Solver::locked;
  using Solver::reduceDB;
  using Solver::var_limit;
  static double draw(double& seed) { return drand(seed); }
};

// Stands for a literal list too long for the clause header's size field,
// without the memory such a list would take.
struct OversizedLits {
  int size() const { return max_clause_size + 1; }
  Lit operator[](int) const { return mkLit(1); }
};

vec<Lit>& lits(vec<Lit>& out, std::initializer_list<int> dimacs) {
  out.clear();
  for (int l : dimacs) out.push(mkLit(l < 0 ? -l : l, l < 0));
  return out;
}

void make_vars(Solver& s, int n) {
  while (s.nVars() <= n) s.newVar(true, true);
}

// Decides f with a fresh solver and checks the answer against enumeration.
void expect_agrees_with_brute_force(const Cnf& f, uint64_t seed) {
  std::vector<bool> model;
  int got = wrentest::wren_solve(f, model);
  int want = wrentest::brute_force(f);
  ASSERT_EQ(got, want) << "seed " << seed;
  if (got == 10) {
    ASSERT_EQ(wrentest::first_falsified(f, model), -1) << "seed " << seed;
  }
}

}  // namespace

TEST(WrenContainers, VecGrowthFollowsTheCapacityRule) {
  vec<int> v;
  std::vector<int> caps;
  for (int i = 0; i < 40; i++) {
    v.push(i);
    if (caps.empty() || caps.back() != v.capacity()) caps.push_back(v.capacity());
  }
  EXPECT_EQ(caps, (std::vector<int>{2, 4, 8, 14, 22, 34, 52}));
  for (int i = 0; i < 40; i++) EXPECT_EQ(v[i], i);
  v.clear();
  EXPECT_EQ(v.capacity(), 52);
  v.clear(true);
  EXPECT_EQ(v.capacity(), 0);
}

TEST(WrenContainers, VecBeyondThirtyTwoBitsThrowsInsteadOfWrapping) {
  vec<char> v;
  EXPECT_THROW(v.capacity(INT_MAX), OutOfMemoryException);
  EXPECT_EQ(v.capacity(), 0);
  v.push('a');
  EXPECT_EQ(v.size(), 1);
}

TEST(WrenContainers, ArenaStartsAtItsInitialCapacity) {
  ClauseAllocator a;
  EXPECT_EQ(a.capacity(), 1114192u);
  EXPECT_EQ(a.size(), 0u);
  vec<Lit> ps;
  ps.push(mkLit(1));
  ps.push(mkLit(2, true));
  ps.push(mkLit(3));
  CRef p = a.alloc(ps, false);
  CRef l = a.alloc(ps, true);
  EXPECT_EQ(p, 0u);
  EXPECT_EQ(l, 4u);             // problem clause: header and 3 literals
  EXPECT_EQ(a.size(), 9u);      // learned clause: one more word, its activity
  EXPECT_TRUE(a[l].learnt());
  EXPECT_FALSE(a[p].has_extra());
  EXPECT_EQ(a[l].activity(), 0.0f);
  EXPECT_EQ(a[p][1], mkLit(2, true));
  a.free(p);
  EXPECT_EQ(a.wasted(), 4u);
}

TEST(WrenContainers, HeapKeepsEqualActivitiesInListOrder) {
  vec<double> act;
  act.growTo(10, 0.0);
  Heap<std::function<bool(int, int)>> h([&](int x, int y) { return act[x] > act[y]; });
  vec<int> ns;
  for (int v : {3, 1, 2, 7, 5}) ns.push(v);
  h.build(ns);
  for (int i = 0; i < ns.size(); i++) EXPECT_EQ(h[i], ns[i]);
  act[5] = 2.0;
  h.decrease(5);
  EXPECT_EQ(h.removeMin(), 5);
  act[2] = 1.0;
  h.decrease(2);
  EXPECT_EQ(h.removeMin(), 2);
  EXPECT_EQ(h.size(), 3);
  EXPECT_FALSE(h.inHeap(2));
  EXPECT_TRUE(h.inHeap(7));
}

TEST(WrenContainers, SortOrdersShortAndLongArrays) {
  for (int n : {0, 1, 2, 15, 16, 17, 100, 1000}) {
    Rng rng(n);
    vec<int> v;
    for (int i = 0; i < n; i++) v.push(rng.below(50));
    sort(v);
    for (int i = 1; i < n; i++) ASSERT_LE(v[i - 1], v[i]) << "size " << n;
  }
}

TEST(WrenSolver, LubySequence) {
  std::vector<double> got;
  for (int i = 0; i < 15; i++) got.push_back(Solver::luby(2, i));
  EXPECT_EQ(got, (std::vector<double>{1, 1, 2, 1, 1, 2, 4, 1, 1, 2, 1, 1, 2, 4, 8}));
}

TEST(WrenSolver, RandomDrawsStayInRangeForAnySeed) {
  // The default seed's first draws, by the rule state * 1389796 mod 2^31-1.
  double seed = 91648253;
  double first = TestSolver::draw(seed);
  EXPECT_DOUBLE_EQ(seed, std::fmod(91648253.0 * 1389796, 2147483647.0));
  EXPECT_DOUBLE_EQ(first, seed / 2147483647);
  for (double start : {1.0, 91648253.0, 2147483646.0, 2147483648.0, 1e20, 1e300, 1.7e308}) {
    double s = start;
    for (int i = 0; i < 1000; i++) {
      double d = TestSolver::draw(s);
      ASSERT_GE(d, 0.0) << start;
      ASSERT_LT(d, 1.0) << start;
    }
  }
  // A solver that decides at random from a huge seed stays correct.
  Cnf f = wrentest::pigeonhole(6, 6);
  Solver s;
  s.random_var_freq = 1;
  s.random_seed = 1.7e308;
  wrentest::wren_load(s, f);
  std::vector<bool> model;
  ASSERT_EQ(wrentest::wren_solve(s, model), 10);
  EXPECT_EQ(wrentest::first_falsified(f, model), -1);
  EXPECT_GT(s.rnd_decisions, 0u);
}

TEST(WrenSolver, NoClausesGivesAllFalseModel) {
  Solver s;
  make_vars(s, 6);
  EXPECT_EQ(s.solve_(), l_True);
  ASSERT_EQ(s.model.size(), 7);
  for (int v = 0; v < 7; v++) EXPECT_EQ(s.model[v], l_False) << v;
  EXPECT_EQ(s.conflicts, 0u);
}

TEST(WrenSolver, LevelZeroClauseHandling) {
  Solver s;
  make_vars(s, 4);
  vec<Lit> ps;
  EXPECT_TRUE(s.addClause_(lits(ps, {1, -1, 2})));  // tautology: not stored
  EXPECT_EQ(s.nClauses(), 0);
  EXPECT_TRUE(s.addClause_(lits(ps, {2, 2, 3})));    // repeat dropped
  EXPECT_EQ(s.nClauses(), 1);
  EXPECT_TRUE(s.addClause_(lits(ps, {-3})));          // unit: assigned at once
  EXPECT_EQ(s.value(3), l_False);
  EXPECT_EQ(s.value(2), l_True);                      // propagated
  EXPECT_TRUE(s.addClause_(lits(ps, {2, 4})));        // satisfied: not stored
  EXPECT_EQ(s.nClauses(), 1);
  EXPECT_TRUE(s.addClause_(lits(ps, {-2, 3, 4})));    // 3 false: binary left
  EXPECT_EQ(s.value(4), l_True);
  EXPECT_FALSE(s.addClause_(lits(ps, {-4, 3})));      // all false: unsat for good
  EXPECT_FALSE(s.okay());
  EXPECT_FALSE(s.addClause_(lits(ps, {1})));
  EXPECT_EQ(s.solve_(), l_False);
  EXPECT_EQ(s.solve_(), l_False);
}

TEST(WrenSolver, EmptyClauseMakesUnsat) {
  Solver s;
  make_vars(s, 2);
  vec<Lit> ps;
  EXPECT_FALSE(s.addClause_(ps));
  EXPECT_EQ(s.solve_(), l_False);
}

TEST(WrenSolverDeathTest, LiteralOfAnUncreatedVariableIsRefused) {
  EXPECT_EXIT(
      {
        Solver s;
        make_vars(s, 3);
        vec<Lit> ps;
        s.addClause_(lits(ps, {1, 4}));
      },
      testing::ExitedWithCode(3), "\\*\\*\\* wren: literal 8 names variable 4, which was never created");
  EXPECT_EXIT(
      {
        Solver s;
        make_vars(s, 3);
        vec<Lit> ps;
        ps.push(toLit(-6));
        s.addClause_(ps);
      },
      testing::ExitedWithCode(3), "\\*\\*\\* wren: literal -6");
}

TEST(WrenSolverDeathTest, UnrepresentableSizesAreRefused) {
  // The variable limit keeps 2v+1 and the watch-list size within 32 bits;
  // a solver with a lowered limit shows the refusal without the memory.
  EXPECT_EQ(max_vars, (1 << 30) - 1);
  EXPECT_EQ(mkLit(max_vars - 1, true).x, INT_MAX - 2);
  EXPECT_EXIT(
      {
        TestSolver s;
        s.var_limit = 5;
        make_vars(s, 5);
      },
      testing::ExitedWithCode(3), "\\*\\*\\* wren: too many variables: the limit is 5");
  EXPECT_EXIT(
      {
        ClauseAllocator a;
        a.alloc(OversizedLits(), false);
      },
      testing::ExitedWithCode(3), "wren: clause of 134217728 literals exceeds the limit of 134217727");
}

TEST(WrenSolver, DeterministicForAGivenClauseOrder) {
  Rng rng(7);
  Cnf f = wrentest::random_ksat(120, 511, 3, rng);
  Solver a, b;
  wrentest::wren_load(a, f);
  wrentest::wren_load(b, f);
  std::vector<bool> ma, mb;
  int ra = wrentest::wren_solve(a, ma);
  int rb = wrentest::wren_solve(b, mb);
  EXPECT_EQ(ra, rb);
  EXPECT_EQ(ma, mb);
  EXPECT_EQ(a.conflicts, b.conflicts);
  EXPECT_EQ(a.decisions, b.decisions);
  EXPECT_EQ(a.propagations, b.propagations);
  EXPECT_EQ(a.rnd_decisions, 0u);
  EXPECT_GT(a.conflicts, 100u);
}

TEST(WrenSolver, SmallRandomFormulasAgreeWithEnumeration) {
  for (uint64_t seed = 1; seed <= 1500; seed++) {
    Rng rng(seed);
    int n = 3 + rng.below(14);
    int k = 1 + rng.below(4);
    int ratio_pct = 150 + rng.below(500);  // clauses per variable x 100
    int m = n * ratio_pct / 100 / (k == 1 ? 4 : 1);
    Cnf f = wrentest::random_ksat(n, m, std::min(k, n), rng);
    expect_agrees_with_brute_force(f, seed);
  }
}

TEST(WrenSolver, AssumptionsAndFinalConflict) {
  int unsat_seen = 0;
  for (uint64_t seed = 1; seed <= 300; seed++) {
    Rng rng(seed * 31);
    int n = 14;
    Cnf f = wrentest::random_ksat(n, 45, 3, rng);
    Solver s;
    wrentest::wren_load(s, f);
    std::vector<int> assumed;
    s.budgetOff();
    s.assumptions.clear();
    for (int i = 0; i < 5; i++) {
      int v = 1 + rng.below(n);
      int l = rng.coin() ? v : -v;
      assumed.push_back(l);
      s.assumptions.push(mkLit(v, l < 0));
    }
    Cnf g = f;
    for (int l : assumed) g.add({l});
    lbool r = s.solve_();
    ASSERT_EQ(r == l_True ? 10 : 20, wrentest::brute_force(g)) << "seed " << seed;
    if (r == l_True) {
      for (int l : assumed) ASSERT_EQ(s.modelValue(mkLit(l < 0 ? -l : l, l < 0)), l_True);
    } else if (s.okay()) {
      // The final conflict negates a subset of the assumptions that, with
      // the formula, is already unsatisfiable.
      unsat_seen++;
      Cnf h = f;
      ASSERT_GT(s.conflict.size(), 0) << "seed " << seed;
      for (int i = 0; i < s.conflict.size(); i++) {
        Lit p = s.conflict[i];
        int dl = sign(p) ? -var(p) : var(p);
        bool found = false;
        for (int l : assumed) found |= (l == -dl);
        ASSERT_TRUE(found) << "seed " << seed;
        h.add({-dl});
      }
      ASSERT_EQ(wrentest::brute_force(h), 20) << "seed " << seed;
    }
    // The same solver, reused without assumptions, still answers correctly.
    s.assumptions.clear();
    std::vector<bool> model;
    ASSERT_EQ(wrentest::wren_solve(s, model), wrentest::brute_force(f)) << "seed " << seed;
  }
  EXPECT_GT(unsat_seen, 10);
}

TEST(WrenSolver, ConflictBudgetStopsAndResumes) {
  Cnf f = wrentest::pigeonhole(8, 7);
  Solver s;
  wrentest::wren_load(s, f);
  s.setConfBudget(50);
  EXPECT_EQ(s.solve_(), l_Undef);
  EXPECT_EQ(s.decisionLevel(), 0);
  EXPECT_GE(s.conflicts, 50u);
  EXPECT_LT(s.conflicts, 60u);
  s.budgetOff();
  EXPECT_EQ(s.solve_(), l_False);
  s.interrupt();
  EXPECT_EQ(s.solve_(), l_False);  // already unsatisfiable at level 0
}

TEST(WrenSolver, InterruptStopsTheSearch) {
  Cnf f = wrentest::pigeonhole(7, 6);
  Solver s;
  wrentest::wren_load(s, f);
  s.interrupt();
  EXPECT_EQ(s.solve_(), l_Undef);
  s.clearInterrupt();
  EXPECT_EQ(s.solve_(), l_False);
}

TEST(WrenSolver, ReductionKeepsBinaryAndLockedClauses) {
  Rng rng(99);
  Cnf f = wrentest::random_ksat(200, 852, 3, rng);
  TestSolver s;
  wrentest::wren_load(s, f);
  s.setConfBudget(3000);
  s.solve_();
  ASSERT_GT(s.learnts.size(), 100);
  std::multiset<std::pair<int, int>> binaries;
  int longer = 0;
  for (int i = 0; i < s.learnts.size(); i++) {
    const Clause& c = s.ca[s.learnts[i]];
    if (c.size() == 2)
      binaries.insert({std::min(c[0].x, c[1].x), std::max(c[0].x, c[1].x)});
    else
      longer++;
  }
  s.reduceDB();
  std::multiset<std::pair<int, int>> after;
  int longer_after = 0;
  for (int i = 0; i < s.learnts.size(); i++) {
    const Clause& c = s.ca[s.learnts[i]];
    EXPECT_EQ(c.mark(), 0u);
    if (c.size() == 2)
      after.insert({std::min(c[0].x, c[1].x), std::max(c[0].x, c[1].x)});
    else
      longer_after++;
  }
  EXPECT_EQ(binaries, after);
  EXPECT_LE(longer_after, longer - (longer + binaries.size()) / 2 + 1);
  // After a forced collection nothing is wasted and the answer is unchanged.
  s.garbageCollect();
  EXPECT_EQ(s.ca.wasted(), 0u);
  std::vector<bool> model;
  int r = wrentest::wren_solve(s, model);
  if (r == 10) {
    EXPECT_EQ(wrentest::first_falsified(f, model), -1);
  }
  std::vector<bool> fresh_model;
  EXPECT_EQ(r, wrentest::wren_solve(f, fresh_model));
}

// Each option variant of the search still decides formulas correctly.
struct Variant {
  const char* name;
  std::vector<const char*> settings;
};

// Restores every solver option to its default after each variant.
class WrenOptionVariant : public testing::TestWithParam<Variant> {
 protected:
  void TearDown() override {
    opt_var_decay = 0.95;
    opt_clause_decay = 0.999;
    opt_random_var_freq = 0;
    opt_random_seed = 91648253;
    opt_ccmin_mode = 2;
    opt_phase_saving = 2;
    opt_rnd_init_act = false;
    opt_luby_restart = true;
    opt_restart_first = 100;
    opt_restart_inc = 2;
    opt_garbage_frac = 0.2;
  }
};

TEST_P(WrenOptionVariant, DecidesRandomFormulasCorrectly) {
  for (const char* text : GetParam().settings) {
    bool parsed = false;
    for (int i = 0; i < Option::getOptionList().size() && !parsed; i++)
      parsed = Option::getOptionList()[i]->parse(text);
    ASSERT_TRUE(parsed) << text;
  }
  for (uint64_t seed = 1; seed <= 200; seed++) {
    Rng rng(seed + 1000);
    int n = 8 + rng.below(15);
    Cnf f = wrentest::random_ksat(n, (int)(n * 4.3), 3, rng);
    expect_agrees_with_brute_force(f, seed);
  }
  // A formula that needs restarts and reductions.
  Cnf php = wrentest::pigeonhole(7, 6);
  std::vector<bool> model;
  EXPECT_EQ(wrentest::wren_solve(php, model), 20);
  Cnf php_sat = wrentest::pigeonhole(7, 7);
  EXPECT_EQ(wrentest::wren_solve(php_sat, model), 10);
  EXPECT_EQ(wrentest::first_falsified(php_sat, model), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, WrenOptionVariant,
    testing::Values(Variant{"NoMinimisation", {"-ccmin-mode=0"}},
                    Variant{"BasicMinimisation", {"-ccmin-mode=1"}},
                    Variant{"NoPhaseSaving", {"-phase-saving=0"}},
                    Variant{"LimitedPhaseSaving", {"-phase-saving=1"}},
                    Variant{"RandomDecisions", {"-rnd-freq=0.3", "-rnd-seed=12345"}},
                    Variant{"RandomInitialActivity", {"-rnd-init"}},
                    Variant{"GeometricRestarts", {"-no-luby", "-rfirst=10", "-rinc=1.5"}},
                    // pow(rinc, r) passes the int range at once: the conflict
                    // limit must saturate, not wrap to a negative count.
                    Variant{"HugeRestartIncrease", {"-no-luby", "-rfirst=1", "-rinc=1e300"}},
                    Variant{"EagerCollection", {"-gc-frac=0.0001", "-cla-decay=0.5", "-var-decay=0.5"}}),
    [](const testing::TestParamInfo<Variant>& info) { return std::string(info.param.name); });
