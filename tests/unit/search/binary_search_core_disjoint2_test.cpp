// The second disjoint-core search's arithmetic on its worked values: test
// values under the three middle rules, the next reachable lower bound, a
// core of forty large distinct weights, the stop test and the weight
// groups of the stratified form.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>

#include "model/zor_config.hpp"
#include "search/binary_search_core_disjoint2.hpp"
#include "search/binary_search_core_disjoint2_strat.hpp"
#include "tests/unit/search/loaded_search.hpp"

namespace {

std::vector<long long> forty_weights() {
  std::vector<long long> w;
  for (long long i = 1; i <= 40; ++i)
    w.push_back(1000000000 + i * i * 7919 + i * 104729);
  return w;
}

struct Middle : ::testing::Test {
  void TearDown() override { ZORConfig::middle_type = MiddleType::Value; }
  BinarySearchCoreDisjoint2 s;
};

TEST_F(Middle, BoundsCloserThanTwoGiveTheLowerBound) {
  std::vector<long long> w{3, 5};
  for (MiddleType t : {MiddleType::Value, MiddleType::Order, MiddleType::Biased}) {
    ZORConfig::middle_type = t;
    EXPECT_EQ(s.computeMiddle(w, 4, 4), 4);
    EXPECT_EQ(s.computeMiddle(w, 4, 5), 4);
  }
}

TEST_F(Middle, ValueOrderAndBiased) {
  std::vector<long long> w{3, 5};
  ZORConfig::middle_type = MiddleType::Value;
  EXPECT_EQ(s.computeMiddle(w, 0, 9), 4);
  EXPECT_EQ(s.computeMiddle(w, -1, 2), 0); // floor of 1/2
  ZORConfig::middle_type = MiddleType::Order;
  EXPECT_EQ(s.computeMiddle(w, 0, 9), 3); // lower median of 0, 3, 5, 8
  EXPECT_EQ(s.computeMiddle(w, 3, 9), 5); // median of 3, 5, 8
  std::vector<long long> equal{4, 4, 4};
  EXPECT_EQ(s.computeMiddle(equal, 0, 9), 4); // equal weights: the value
  ZORConfig::middle_type = MiddleType::Biased;
  EXPECT_EQ(s.computeMiddle(w, 0, 9), 4); // q = 1/2
  EXPECT_EQ(s.computeMiddle(w, 0, 3), 1); // 1.5 truncated
}

TEST_F(Middle, BiasedAtTheUpperBoundTestsOneLess) {
  // Many unsatisfiable answers push q to 1: m would be ub.
  ZORConfig::middle_type = MiddleType::Biased;
  struct Counted : BinarySearchCoreDisjoint2 {
    Counted() { unsat_count_ = 1000000; }
  } c;
  std::vector<long long> w{3, 5};
  EXPECT_EQ(c.computeMiddle(w, 0, 9), 8);
}

TEST_F(Middle, RefineBoundJumpsToTheNextReachableCost) {
  std::vector<long long> equal{4, 4, 4}, two{2, 3}, one{7};
  long long lb = 5, ub = 12;
  EXPECT_EQ(s.refine_bound(equal, lb, ub), 8);
  lb = 3, ub = 10;
  EXPECT_EQ(s.refine_bound(two, lb, ub), 5);
  lb = 5, ub = 5;
  EXPECT_EQ(s.refine_bound(two, lb, ub), 5); // nothing below ub
  lb = 20, ub = 30;
  EXPECT_EQ(s.refine_bound(one, lb, ub), 7); // one weight: itself
  EXPECT_EQ(s.sss(two, -1, 10), 0);          // the empty sum
}

TEST_F(Middle, FortyLargeWeightsMiddleFallsBackNextCostExact) {
  std::vector<long long> w = forty_weights();
  auto start = std::chrono::steady_clock::now();
  ZORConfig::middle_type = MiddleType::Order;
  long long lb = 5000000000, ub = 30000000000;
  EXPECT_EQ(s.computeMiddle(w, lb, ub), (lb + ub) / 2);
  // Sums of m weights lie within 3 * 10^8 above m * 10^9: the next one
  // above 5 * 10^9 is the five lightest weights.
  EXPECT_EQ(s.refine_bound(w, lb, ub), lb + 7919 * 55 + 104729 * 15);
  long long low = 0, high = 1500000000;
  EXPECT_EQ(s.refine_bound(w, low, high), w.front());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST(BinarySearchCoreDisjoint2, StopWhenLowerUpperAndGlobalBoundsMeet) {
  BinarySearchCoreDisjoint2 s;
  std::vector<long long> rv{11, 12}, ws{2, 3};
  Core a(rv, ws, 2), b(rv, ws, 2);
  a.set_lambda(2), a.set_epsilon(2);
  b.set_lambda(3), b.set_epsilon(3);
  std::vector<Core *> cores{&a, &b};
  long long ub = 5;
  EXPECT_TRUE(s.stop_condition(cores, ub));
  ub = 6;
  EXPECT_FALSE(s.stop_condition(cores, ub));
  b.set_epsilon(1); // below its lambda: an invariant is broken
  ub = 5;
  EXPECT_FALSE(s.stop_condition(cores, ub));
  std::vector<Core *> none;
  ub = 0;
  EXPECT_TRUE(s.stop_condition(none, ub));
}

TEST(BinarySearchCoreDisjoint2Strat, WeightGroupsAverageAboveOneAndAQuarter) {
  double alpha;
  std::vector<long long> levels{1, 5, 10};
  EXPECT_EQ(BinarySearchCoreDisjoint2Strat::group_start(
                levels, {{1, 1}, {5, 3}, {10, 1}}, alpha),
            1u); // 10 alone averages 1, with 5 it averages 2
  EXPECT_DOUBLE_EQ(alpha, 2.0);
  EXPECT_EQ(BinarySearchCoreDisjoint2Strat::group_start(
                levels, {{1, 1}, {5, 1}, {10, 2}}, alpha),
            2u);
  EXPECT_EQ(BinarySearchCoreDisjoint2Strat::group_start(
                levels, {{1, 1}, {5, 1}, {10, 1}}, alpha),
            0u);
}

} // namespace

namespace bcd2_steps {

using namespace small;

// The second search with its unsatisfiable-answer step open.
struct Open : BinarySearchCoreDisjoint2 {
  using BinarySearchCoreDisjoint2::kept_model_;
  using BinarySearchCoreDisjoint2::take_core2;
  static constexpr Trace kQuiet = {99, 99, 99, 99, 99, false};
};

// Soft units (x1) .. (x4) of weights 2, 3, 4, 5 and (-x1) weight 6.
Instance four_units() {
  Instance in;
  in.nvars = 4;
  in.top = 100;
  in.clauses = {{2, {1}}, {3, {2}}, {4, {3}}, {5, {4}}, {6, {-1}}};
  return in;
}

TEST(BinarySearchCoreDisjoint2, EpsilonCountsClausesNoOtherLiteralSatisfies) {
  Loaded<Open> l(four_units());
  std::vector<BasicClause *> cls{l.clause({1}), l.clause({-1}),
                                 l.clause({2})};
  std::vector<long long> rv, ws;
  l.s.relax_core_clauses(cls, l.set, rv, ws);
  Core *k = l.add_core(rv, ws, 2, 12);
  // x1 true, x2 false; every relaxation variable true.
  std::vector<long long> m(l.imgr.top_id + 1, 1);
  m[2] = -1;
  l.s.update_core_epsilon(*k, m);
  EXPECT_EQ(k->get_epsilon(), 9); // (-x1) and (x2), not (x1)
  std::vector<long long> empty;
  l.s.update_core_epsilon(*k, empty);
  EXPECT_EQ(k->get_epsilon(), 12); // no model: the weight + 1
}

TEST(BinarySearchCoreDisjoint2, MergeStartsAboveWhatTheTouchedCoresProved) {
  Loaded<Open> l(four_units());
  ZORConfig::hardening_rule = true;
  std::vector<BasicClause *> a{l.clause({1}), l.clause({2})},
      b{l.clause({3})};
  std::vector<long long> ra, wa, rb, wb;
  l.s.relax_core_clauses(a, l.set, ra, wa);
  l.s.relax_core_clauses(b, l.set, rb, wb);
  Core *ka = l.add_core(ra, wa, 2, 6);
  Core *kb = l.add_core(rb, wb, 4, 5);
  ka->set_nu(4); // gap 2
  kb->set_nu(4); // gap 0: the step
  ka->set_epsilon(5);
  kb->set_epsilon(4);
  BasicClause *fresh = l.clause({4});
  l.s.hardening_map[fresh] = 20;
  // A core through both cores' clauses and the unrelaxed (x4).
  l.s.core = {l.clause({1, ra[0]}), l.clause({3, rb[0]}), fresh};
  l.s.kept_model_.assign(l.imgr.top_id + 1, -1); // every unit false
  long long delta = l.s.take_core2(l.s.kept_model_, Open::kQuiet);
  ZORConfig::hardening_rule = false;
  ASSERT_EQ(l.s.get_cores().size(), 1u);
  Core *n = l.s.get_cores().front();
  // Step 0, lambdas 2 + 4: the least sum of 5, 2, 3, 4 from 6 on is 6.
  EXPECT_EQ(n->get_lambda(), 6);
  EXPECT_EQ(n->get_epsilon(), 14);
  EXPECT_EQ(n->get_nu(), -1);
  EXPECT_EQ(delta, 0);
  EXPECT_EQ(l.s.hardening_map[fresh], 20); // no rise, no lower entry
}

TEST(BinarySearchCoreDisjoint2, OneTouchedCoreJumpsToTheNextReachableCost) {
  Loaded<Open> l(four_units());
  ZORConfig::hardening_rule = true;
  std::vector<BasicClause *> cls{l.clause({2}), l.clause({3})};
  std::vector<long long> rv, ws;
  l.s.relax_core_clauses(cls, l.set, rv, ws);
  Core *k = l.add_core(rv, ws, 0, 8);
  k->set_nu(3);
  k->set_epsilon(7);
  for (BasicClause *c : cls)
    l.s.hardening_map[c] = 10;
  l.s.core = {l.clause({2, rv[0]})};
  long long delta = l.s.take_core2(l.s.kept_model_, Open::kQuiet);
  ZORConfig::hardening_rule = false;
  EXPECT_EQ(k->get_lambda(), 4); // sums of 3 and 4: 0, 3, 4, 7
  EXPECT_EQ(delta, 4);
  for (BasicClause *c : cls)
    EXPECT_EQ(l.s.hardening_map[c], 6);
}

TEST(BinarySearchCoreDisjoint2Strat, OutsideClausesStopOnTheInsideCost) {
  BinarySearchCoreDisjoint2Strat s;
  std::vector<long long> rv{11}, ws{3};
  Core k(rv, ws, 3);
  k.set_lambda(3), k.set_epsilon(3);
  std::vector<Core *> cores{&k};
  long long ub = 10, inside = 3;
  EXPECT_TRUE(s.stop_condition(2, cores, ub, inside));
  inside = 4;
  EXPECT_FALSE(s.stop_condition(2, cores, ub, inside));
  EXPECT_FALSE(s.stop_condition(0, cores, ub, inside)); // ub 10 is not 3
  ub = 3;
  EXPECT_TRUE(s.stop_condition(0, cores, ub, inside));
}

} // namespace bcd2_steps
