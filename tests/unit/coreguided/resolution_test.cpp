// MaxSAT resolution: the worked steps, and every step on random clause
// pairs checked by brute force: for every assignment, the cost before the
// step equals the cost after it plus the weight given to an empty
// resolvent.
#include <gtest/gtest.h>

#include <random>

#include "coreguided/resolution.hpp"
#include "tests/unit/coreguided/rewrite_check.hpp"

namespace {

using small::Instance;

BasicClause *add(BasicClauseSet &set, LitVector lits, long long w) {
  BasicClause *c = set.create_clause(lits);
  set.set_cl_weight(c, w);
  return c;
}

struct ResolutionTest : testing::Test {
  BasicClauseSet set;
  ResolutionTest() {
    set.top_weight = 1000;
    set.def_cltype = ClauseType::Keep;
  }
  ~ResolutionTest() override { set.clear_direct(); }
};

TEST_F(ResolutionTest, UnitParentsLeaveTheWeightToTheEmptyClause) {
  BasicClause *a = add(set, {1}, 3), *b = add(set, {-1}, 5);
  Resolution res;
  ResolutionResult r(set);
  ASSERT_TRUE(res.resolve(3, set, a, b, r));
  EXPECT_EQ(a->weight, 0);
  EXPECT_EQ(b->weight, 2);
  EXPECT_EQ(r.empty_weight, 3);
  EXPECT_EQ(r.get_resolvent(), nullptr);
  EXPECT_EQ(set.size(), 2u);
}

TEST_F(ResolutionTest, ResolventAndCompensationClauses) {
  BasicClause *a = add(set, {1, 2}, 2), *b = add(set, {-1, 3}, 2);
  Resolution res;
  ResolutionResult r(set);
  ASSERT_TRUE(res.resolve(set, a, b, r));
  ASSERT_NE(r.get_resolvent(), nullptr);
  EXPECT_EQ(r.get_resolvent()->lits, (LitVector{2, 3}));
  EXPECT_EQ(r.get_resolvent()->weight, 2);
  ASSERT_EQ(r.compensation.size(), 2u);
  EXPECT_EQ(r.compensation[0]->lits, (LitVector{1, 2, -3}));
  EXPECT_EQ(r.compensation[1]->lits, (LitVector{-1, -2, 3}));
  EXPECT_EQ(r.compensation[1]->weight, 2);
  // Parents clashing on two variables are left alone.
  BasicClause *c = add(set, {1, 4}, 1), *d = add(set, {-1, -4}, 1);
  ResolutionResult r2(set);
  EXPECT_FALSE(res.resolve(set, c, d, r2));
  EXPECT_EQ(r2.clashing, 0);
  EXPECT_EQ(c->weight + d->weight, 2);
}

TEST_F(ResolutionTest, HardParentsMakeAHardResolvent) {
  BasicClause *a = add(set, {1, 2}, 1000), *b = add(set, {-1, 3}, 1000);
  Resolution res;
  ResolutionResult r(set);
  ASSERT_TRUE(res.resolve(1000, set, a, b, r));
  EXPECT_EQ(r.get_resolvent()->weight, 1000);
  EXPECT_TRUE(r.compensation.empty());
  EXPECT_EQ(a->weight, 1000);
}

TEST_F(ResolutionTest, EveryRandomStepKeepsEveryAssignmentsCost) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  auto weight = [&]() { return pick(0, 4) == 0 ? 1000LL : pick(1, 6); };
  int resolved = 0;
  for (int round = 0; round < 400; ++round) {
    const int n = 5;
    LitVector l1 = {1}, l2 = {-1};
    for (int v = 2; v <= n; ++v) {
      int k = pick(0, 5);
      if (k == 1 || k == 3)
        l1.push_back(k == 1 ? v : -v);
      if (k == 2 || k == 3 || k == 4)
        l2.push_back(pick(0, 1) ? v : -v);
    }
    BasicClause *a = add(set, l1, weight()), *b = add(set, l2, weight());
    // Sometimes the resolvent or a compensation clause exists already, or
    // exists in the registry outside the set.
    BasicClauseSet other;
    LitVector res_lits;
    for (long long l : l1)
      if (l != 1)
        res_lits.push_back(l);
    for (long long l : l2)
      if (l != -1)
        res_lits.push_back(l);
    if (pick(0, 2) == 0 && !Resolution::is_tautology(res_lits) &&
        !res_lits.empty())
      add(pick(0, 1) ? set : other, res_lits, pick(1, 4));
    Instance before = small::snapshot(set, n);
    Resolution res;
    ResolutionResult r(set);
    long long w = pick(1, 8);
    bool done = res.resolve(w, set, a, b, r);
    resolved += done;
    expect_same_costs(before, small::snapshot(set, n),
                      done ? r.empty_weight : 0,
                      "round " + std::to_string(round));
    other.clear_direct();
    set.clear_direct();
  }
  EXPECT_GT(resolved, 100);
}

} // namespace
