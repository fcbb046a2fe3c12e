// The whole translation (propagation, interval merge, almost-clause splits,
// BDD conversion, clausification, export) checked exhaustively: over every
// assignment of the constraint variables the exported clauses, auxiliary
// variables free, are satisfiable exactly when the constraints hold.
#include "pbt_translate.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

using pbt::PbConstraint;

namespace {

PbConstraint C(std::vector<long long> coefs, std::vector<long long> lits,
               std::string rel, long long rhs) {
  PbConstraint c;
  c.coefs = std::move(coefs);
  c.lits = std::move(lits);
  c.rel = std::move(rel);
  c.rhs = rhs;
  return c;
}

int max_var(const std::vector<PbConstraint> &cs) {
  int n = 1;
  for (const PbConstraint &c : cs)
    for (long long l : c.lits)
      n = std::max(n, (int)std::llabs(l));
  return n;
}

void expect_equivalent(const std::vector<PbConstraint> &cs) {
  int n = max_var(cs);
  std::string bridge =
      pbt::check_equivalence(cs, n, pbt::translate_like_bridge(cs, n));
  EXPECT_EQ(bridge, "") << "bridge road: " << pbt::to_string(cs);
  std::string direct =
      pbt::check_equivalence(cs, n, pbt::translate_direct(cs, n));
  EXPECT_EQ(direct, "") << "direct literals: " << pbt::to_string(cs);
}

// Scale of the random runs: KESTRANE_PBT_SCALE (default 1).
int scale() {
  const char *s = std::getenv("KESTRANE_PBT_SCALE");
  return s != nullptr && std::atoi(s) > 0 ? std::atoi(s) : 1;
}

} // namespace

// An equality whose propagated literals lose their reason clauses to
// simplifyDB keeps its constraint in the export.
TEST(Translation, EqualityKeepsPropagatedLiterals) {
  expect_equivalent({C({2, 2, 3}, {1, 2, 3}, "=", 3)});
  // The unique model is a, b false and c true: checked directly too.
  pbt::Translation t =
      pbt::translate_like_bridge({C({2, 2, 3}, {1, 2, 3}, "=", 3)}, 3);
  EXPECT_TRUE(pbt::satisfiable(t.clauses, {0, -1, -1, 1}));
  EXPECT_FALSE(pbt::satisfiable(t.clauses, {0, 1, -1, -1}));
}

// Unsatisfiable constraints export the empty clause, not only a cleared
// flag.
TEST(Translation, UnsatisfiableBatchExportsEmptyClause) {
  std::vector<PbConstraint> cs = {C({2, 2}, {1, 2}, "=", 5)};
  pbt::Translation t = pbt::translate_like_bridge(cs, 2);
  EXPECT_FALSE(t.transform_ok);
  ASSERT_EQ(t.clauses.size(), 1u);
  EXPECT_TRUE(t.clauses[0].empty());
  EXPECT_EQ(t.n_units, 0);
  EXPECT_EQ(pbt::check_equivalence(cs, 2, t), "");
}

TEST(Translation, SpecialConstraints) {
  std::vector<std::vector<PbConstraint>> cases = {
      {C({1, 1, 1}, {1, 2, 3}, ">=", 1)}, // a clause
      {C({1, 2, 2}, {1, 2, 3}, ">=", 2)}, // clause, small term out
      {C({1, 1, 1, 3, 3, 3}, {1, 2, 3, 4, 5, 6},
         ">=", 3)},                                   // almost-clause split
      {C({1, 1, 3, 3, 3}, {1, 2, 3, 4, 5}, ">=", 3)}, // split forcing ~s
      {C({1, 1}, {1, 2}, "=", 1)},                    // exclusive or
      {C({2, 2, 2}, {1, 2, 3}, ">=", 3)},             // gcd 2
      {C({4, 6, 10, 2}, {1, 2, 3, 4}, "<=", 9)},      // gcd 2, at most
      {C({5, 2, 2}, {1, 2, 3}, ">=", 2)},             // weight above k
      {C({3, 1, 1}, {1, 2, 3}, ">=", 3)},             // weight equal to k
      {C({3, 3}, {1, 2}, ">=", 4)},                   // both forced
      {C({1, 1}, {1, -1}, ">=", 1)},                  // x + ~x: trivially true
      {C({1, 1, 1}, {1, -1, 2}, ">=", 2)},            // x + ~x + y
      {C({2, -2, 1}, {1, 1, 2}, "=", 1)},             // weights cancel
      {C({1, 2, 3}, {1, 2, 3}, "=", 0)},              // all false
      {C({1, 2, 3}, {1, 2, 3}, "<=", 6)},             // trivially true
      {C({1, 2, 3}, {1, 2, 3}, ">", 6)},              // unsatisfiable
      {C({1, 2, 3}, {1, 2, 3}, "<", 0)},              // unsatisfiable
      {C({-1, -2, -3}, {1, -2, 3}, ">=", -3)},        // negative weights
      {C({7, 5, 3, 2, 1}, {1, 2, 3, 4, 5}, "=", 8)},
      {C({1, 1, 1, 1}, {1, 2, 3, 4}, ">=", 2),
       C({1, 1, 1, 1}, {1, 2, 3, 4}, "<=", 3)},
      {C({1, 1}, {1, 2}, ">=", 1),
       C({1, 1}, {-1, -2}, ">=", 1)}, // interval merge
      {C({1, 1}, {1, 2}, ">=", 2), C({1, 1}, {-1, 3}, ">=", 1)}, // propagation
      {C({3, 1}, {1, 2}, ">=", 4),
       C({2, 2}, {-1, 3}, ">=", 2)}, // forced then false
      {C({1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "=",
         5)},
      {C({512, 256, 128, 64, 32, 16, 8, 4, 2, 1},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "=", 341)},
  };
  for (const auto &cs : cases)
    expect_equivalent(cs);
}

TEST(Translation, RandomSingleConstraints) {
  const unsigned long long seed = 20260101;
  std::mt19937_64 rng(seed);
  int runs = 2000 * scale();
  for (int r = 0; r < runs; r++) {
    int n = 1 + (int)(rng() % 10);
    long long max_coef = (r % 3 == 0) ? 3 : (r % 3 == 1 ? 10 : 1000);
    std::vector<PbConstraint> cs = {
        pbt::random_constraint(rng, n, 8, max_coef)};
    SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(r));
    expect_equivalent(cs);
    if (HasFailure())
      return;
  }
}

TEST(Translation, RandomBatches) {
  const unsigned long long seed = 77;
  std::mt19937_64 rng(seed);
  int runs = 1000 * scale();
  for (int r = 0; r < runs; r++) {
    int n = 2 + (int)(rng() % 7);
    int k = 2 + (int)(rng() % 3);
    std::vector<PbConstraint> cs;
    for (int i = 0; i < k; i++)
      cs.push_back(pbt::random_constraint(rng, n, 6, r % 2 ? 4 : 50));
    SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(r));
    expect_equivalent(cs);
    if (HasFailure())
      return;
  }
}

// Satisfiable batches over up to 10 variables with a structure the random
// ones rarely hit: equal weights (cardinality) and powers of two, with
// their negations following directly (intervals).
TEST(Translation, CardinalityAndIntervalsOverTenVariables) {
  std::mt19937_64 rng(5);
  for (int r = 0; r < 12; r++) {
    int n = 10;
    std::vector<long long> lits, ones, negs;
    for (int v = 1; v <= n; v++) {
      lits.push_back(rng() % 2 ? v : -v);
      ones.push_back(r % 2 ? 1 : (1LL << (v % 5)));
    }
    for (long long l : lits)
      negs.push_back(-l);
    long long total = 0;
    for (long long w : ones)
      total += w;
    long long lo = (long long)(rng() % (unsigned long long)total);
    std::vector<PbConstraint> cs = {C(ones, lits, ">=", lo),
                                    C(ones, negs, ">=", total - lo - 3)};
    SCOPED_TRACE("run " + std::to_string(r));
    expect_equivalent(cs);
  }
}

// Wider constraints (up to 18 variables, deep BDDs and splits) on sampled
// assignments biased towards the constraint's boundary.
TEST(Translation, WideConstraintsSampled) {
  const unsigned long long seed = 1234;
  std::mt19937_64 rng(seed);
  for (int r = 0; r < 40 * scale(); r++) {
    int n = 12 + (int)(rng() % 7);
    PbConstraint c;
    long long total = 0;
    for (int v = 1; v <= n; v++) {
      long long w = r % 4 == 0 ? 1 : 1 + (long long)(rng() % (r % 2 ? 8 : 300));
      c.lits.push_back(rng() % 3 ? v : -v);
      c.coefs.push_back(w);
      total += w;
    }
    static const char *rels[] = {"<=", ">=", "="};
    c.rel = rels[r % 3];
    c.rhs = total / 2 + (long long)(rng() % 5);
    std::vector<PbConstraint> cs = {c};
    SCOPED_TRACE("seed " + std::to_string(seed) + " run " + std::to_string(r));
    EXPECT_EQ(
        pbt::check_sampled(cs, n, pbt::translate_like_bridge(cs, n), 60, rng),
        "")
        << pbt::to_string(cs);
  }
}

// Inconsistency found while adding: later constraints are ignored and the
// export is unsatisfiable.
TEST(Translation, ConstraintsAfterInconsistencyAreIgnored) {
  PbSolver pb;
  vec<Lit> ps;
  vec<Int> Cs;
  ps.push(Lit(pb.getVar("a")));
  Cs.push(Int(1));
  EXPECT_FALSE(pb.addConstr(ps, Cs, Int(2), 1));
  EXPECT_FALSE(pb.addConstr(ps, Cs, Int(0), 1));
  EXPECT_EQ(pb.constraints.size(), 0);
  EXPECT_FALSE(pb.transform(ct_BDDs));
}

TEST(Transform, ClauseAndSplitShapes) {
  {
    // x + 2y + 2z >= 2 becomes the clause (y, z).
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    for (const char *n : {"x", "y", "z"})
      ps.push(Lit(pb.getVar(n)));
    Cs.push(Int(1));
    Cs.push(Int(2));
    Cs.push(Int(2));
    pb.addConstr(ps, Cs, Int(2), 1);
    EXPECT_TRUE(pb.transform(ct_BDDs));
    Finch::Solver &s = *pb.engine.finch;
    ASSERT_EQ(s.problem_clauses.size(), 1);
    ASSERT_EQ(s.problem_clauses[0]->size(), 2);
    EXPECT_EQ((*s.problem_clauses[0])[0], Lit(1));
    EXPECT_EQ((*s.problem_clauses[0])[1], Lit(2));
  }
  {
    // x + y + z + 3a + 3b + 3c >= 3: clause (s, a, b, c) with s "@split0",
    // and x + y + z + 3~s >= 3 stored and converted.
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    const char *names[] = {"x", "y", "z", "a", "b", "c"};
    for (int i = 0; i < 6; i++) {
      ps.push(Lit(pb.getVar(names[i])));
      Cs.push(Int(i < 3 ? 1 : 3));
    }
    pb.addConstr(ps, Cs, Int(3), 1);
    pb.findIntervals();
    ASSERT_TRUE(pb.rewriteAlmostClauses());
    EXPECT_EQ(pb.existsVar("@split0"), 6);
    Finch::Solver &s = *pb.engine.finch;
    ASSERT_EQ(s.problem_clauses.size(), 1);
    const Finch::Clause &cl = *s.problem_clauses[0];
    ASSERT_EQ(cl.size(), 4);
    EXPECT_EQ(cl[0], Lit(3));
    EXPECT_EQ(cl[3], Lit(6));
    ASSERT_EQ(pb.constraints.size(), 2);
    EXPECT_EQ(pb.constraints[0], nullptr);
    const Linear &split = *pb.constraints[1];
    ASSERT_EQ(split.size, 4);
    EXPECT_EQ(split[3], ~Lit(6));
    EXPECT_EQ(split(3), Int(3));
    EXPECT_EQ(split.lower, Int(3));
  }
  {
    // x + y + 3a + 3b + 3c >= 3: the split forces ~s and stores nothing.
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    const char *names[] = {"x", "y", "a", "b", "c"};
    for (int i = 0; i < 5; i++) {
      ps.push(Lit(pb.getVar(names[i])));
      Cs.push(Int(i < 2 ? 1 : 3));
    }
    pb.addConstr(ps, Cs, Int(3), 1);
    ASSERT_TRUE(pb.rewriteAlmostClauses());
    EXPECT_EQ(pb.value(Lit(5)), l_False);
    EXPECT_EQ(pb.constraints[pb.constraints.size() - 1], nullptr);
  }
}

TEST(Transform, IntervalMergeAndPropagation) {
  {
    // x + y >= 1 then ~x + ~y >= 1 merge into 1 <= ~x + ~y <= 1.
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    ps.push(Lit(pb.getVar("x")));
    ps.push(Lit(pb.getVar("y")));
    Cs.push(Int(1));
    Cs.push(Int(1));
    pb.addConstr(ps, Cs, Int(1), 1);
    ps[0] = ~ps[0];
    ps[1] = ~ps[1];
    pb.addConstr(ps, Cs, Int(1), 1);
    pb.findIntervals();
    EXPECT_EQ(pb.constraints[0], nullptr);
    ASSERT_NE(pb.constraints[1], nullptr);
    EXPECT_EQ(pb.constraints[1]->lower, Int(1));
    EXPECT_EQ(pb.constraints[1]->upper, Int(1));
  }
  {
    // A constraint satisfied by the trail goes; one violated by it makes the
    // store inconsistent.
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    Lit x = Lit(pb.getVar("x")), y = Lit(pb.getVar("y")),
        z = Lit(pb.getVar("z"));
    ps.push(x);
    ps.push(y);
    Cs.push(Int(1));
    Cs.push(Int(1));
    pb.addConstr(ps, Cs, Int(1), 1); // x + y >= 1
    pb.engine.addUnit(x);
    pb.propagate();
    EXPECT_EQ(pb.constraints[0], nullptr);
    ps[0] = ~x;
    ps[1] = z;
    Cs[1] = Int(2);
    pb.addConstr(ps, Cs, Int(2), 1); // ~x + 2z >= 2: z forced at once
    EXPECT_EQ(pb.value(z), l_True);
    EXPECT_TRUE(pb.okay());
  }
  {
    PbSolver pb;
    vec<Lit> ps;
    vec<Int> Cs;
    Lit x = Lit(pb.getVar("x")), y = Lit(pb.getVar("y"));
    ps.push(x);
    ps.push(y);
    Cs.push(Int(1));
    Cs.push(Int(1));
    pb.addConstr(ps, Cs, Int(1), 1);
    pb.engine.addUnit(~x);
    pb.engine.addUnit(~y);
    EXPECT_FALSE(pb.transform(ct_BDDs));
  }
}

TEST(Transform, NoVariablesStillConverts) {
  PbSolver pb;
  vec<Lit> ps;
  vec<Int> Cs;
  EXPECT_TRUE(pb.addConstr(ps, Cs, Int(0), 1));
  EXPECT_TRUE(pb.transform(ct_BDDs));
  EXPECT_EQ(pb.engine.finch->problem_clauses.size(), 0);
}
