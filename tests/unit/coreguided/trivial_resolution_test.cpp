// Clique rewriting of soft units: the worked three-unit clique, the gate,
// and random cliques checked by brute force: for every assignment that
// keeps the hard clauses, the cost before equals the cost after plus the
// gained lower bound. Soft exclusions must not count.
#include <gtest/gtest.h>

#include <random>

#include "coreguided/trivial_resolution.hpp"
#include "tests/unit/coreguided/rewrite_check.hpp"

namespace {

using small::Instance;

struct CliqueTest : testing::Test {
  BasicClauseSet set;
  IDManager imgr;
  CliqueTest() {
    set.top_weight = 1000;
    set.def_cltype = ClauseType::Keep;
  }
  ~CliqueTest() override { set.clear_direct(); }
  BasicClause *add(LitVector lits, long long w) {
    BasicClause *c = set.create_clause(lits);
    set.set_cl_weight(c, w);
    return c;
  }
  // count hard exclusions (-a -b) among the variables from..to
  void exclusions(int from, int to, int count) {
    for (int a = from; a <= to && count > 0; ++a)
      for (int b = a + 1; b <= to && count > 0; ++b, --count)
        add({-a, -b}, 1000);
  }
  long long weight_of(LitVector lits) {
    BasicClause *c = ClauseRegistry::clreg_instance.lookup_vect(lits);
    return c && set.contains(c) ? c->weight : -1;
  }
};

TEST_F(CliqueTest, ThreeUnitCliqueGainsFive) {
  add({1}, 2);
  add({2}, 3);
  add({3}, 5);
  exclusions(1, 3, 3);
  exclusions(4, 9, 13); // 16 negative pairs: more than 5 per unit
  TrivialResolution tr;
  EXPECT_EQ(tr.simplify(imgr, set), 5);
  EXPECT_EQ(weight_of({1}), -1); // weight 0: taken out
  EXPECT_EQ(weight_of({2}), -1);
  EXPECT_EQ(weight_of({3}), 2);
  EXPECT_EQ(weight_of({1, 2, 3}), 2);
  EXPECT_EQ(weight_of({2, 3}), 1);
  EXPECT_EQ(tr.empty_clauses, 3);
}

TEST_F(CliqueTest, GateAndSoftExclusions) {
  add({1}, 2);
  add({2}, 3);
  add({3}, 5);
  exclusions(1, 3, 3);
  exclusions(4, 9, 12); // exactly 5 per unit: no pass
  TrivialResolution tr;
  EXPECT_EQ(tr.simplify(imgr, set), 0);
  set.clear_direct();
  add({1}, 2);
  add({2}, 3);
  add({-1, -2}, 4); // soft: x and y may both be true at a cost
  exclusions(4, 9, 13);
  TrivialResolution tr2;
  EXPECT_EQ(tr2.simplify(imgr, set), 0);
  EXPECT_EQ(weight_of({1}), 2);
}

TEST_F(CliqueTest, EveryRandomRewriteKeepsEveryFeasibleCost) {
  std::mt19937 rng(11);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  int gained_rounds = 0;
  for (int round = 0; round < 300; ++round) {
    const int n = 8;
    int sign = pick(0, 1) ? 1 : -1;
    int units = pick(2, 4);
    for (int v = 1; v <= units; ++v)
      add({sign * v}, pick(1, 6));
    for (int a = 1; a <= n; ++a)
      for (int b = a + 1; b <= n; ++b)
        if (pick(0, 9) < 9)
          add({-sign * a, -sign * b}, pick(0, 5) == 0 ? pick(1, 4) : 1000);
    if (pick(0, 1))
      add({pick(1, n), -pick(1, n)}, pick(1, 3));
    Instance before = small::snapshot(set, n);
    TrivialResolution tr;
    long long gain = tr.simplify(imgr, set);
    gained_rounds += gain > 0;
    expect_same_costs(before, small::snapshot(set, n), gain,
                      "round " + std::to_string(round));
    set.clear_direct();
  }
  EXPECT_GT(gained_rounds, 50);
}

} // namespace
