// Clique rewriting of soft units: the worked three-unit clique, the gate,
// and random cliques checked by brute force: for every assignment that
// keeps the hard clauses, the cost before equals the cost after plus the
// gained lower bound, which never exceeds the optimum. Soft exclusions must
// not count. The cycle and neighbourhood rules are checked the same way on
// random formulas of one- and two-literal clauses.
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
    EXPECT_LE(gain, small::brute_force(before)) << "round " << round;
    set.clear_direct();
  }
  EXPECT_GT(gained_rounds, 50);
}

TEST_F(CliqueTest, EmptyClauseTakesTheLighterUnitAndSetsPrint) {
  add({1}, 5);
  add({-1}, 2);
  TrivialResolution tr;
  testing::internal::CaptureStdout();
  EXPECT_EQ(tr.new_empty_clause(1, set), 2);
  EXPECT_EQ(tr.new_empty_clause(1, set), 0); // (-1) is gone
  std::vector<BasicClause *> units = {add({2}, 1), add({3}, 4)};
  exclusions(2, 3, 1);
  tr.compute_degrees(imgr, set, units);
  tr.add_to_set(imgr, set, units, 0);
  tr.add_to_set(imgr, set, units, 1);
  tr.show_sets(imgr, set, units);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c New empty 2 2\n"
            "c Total Sets: 1\n"
            "c Set 0 elemens(2): 3 2 \n");
  EXPECT_EQ(weight_of({1}), 3);
  EXPECT_EQ(weight_of({-1}), -1);
  EXPECT_EQ(tr.cost(), 2);
  EXPECT_EQ(tr.empty_clauses, 1);
}

// Each round runs one of the cycle and neighbourhood processors, or their
// single steps on random literals, on a random formula of units and pairs.
TEST_F(CliqueTest, CycleAndNeighbourhoodRulesKeepEveryFeasibleCost) {
  std::mt19937 rng(5);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  const int n = 5;
  auto lit = [&] { return pick(0, 1) ? pick(1, n) : -pick(1, n); };
  int gained[2] = {0, 0};
  testing::internal::CaptureStdout();
  for (int round = 0; round < 400; ++round) {
    for (int i = pick(0, 3); i > 0; --i)
      add({lit()}, pick(1, 4));
    for (int i = pick(8, 24); i > 0; --i) {
      long long a = lit(), b = lit();
      if (std::llabs(a) != std::llabs(b))
        add({a, b}, pick(0, 4) == 0 ? 1000 : pick(1, 4));
    }
    Instance before = small::snapshot(set, n);
    TrivialResolution tr;
    tr.create_structures(imgr, set);
    int mode = round % 4;
    if (mode == 0)
      tr.cycle_processor(imgr, set);
    if (mode == 1)
      tr.neighbourhood_processor(imgr, set);
    for (int i = 0; mode == 2 && i < 10; ++i)
      tr.cycle_resolution(imgr, set, lit(), lit(), lit());
    for (int i = 0; mode == 3 && i < 10; ++i)
      tr.neighbourhood_resolution(imgr, set, lit(), lit());
    tr.destroy_structures(imgr, set);
    if (mode < 2)
      gained[mode] += tr.cost() > 0;
    std::string what = "round " + std::to_string(round);
    expect_same_costs(before, small::snapshot(set, n), tr.cost(), what);
    long long opt = small::brute_force(before);
    if (opt >= 0) {
      EXPECT_LE(tr.cost(), opt) << what;
    }
    set.clear_direct();
  }
  testing::internal::GetCapturedStdout();
  EXPECT_GT(gained[0], 10);
  EXPECT_GT(gained[1], 20);
}

} // namespace
