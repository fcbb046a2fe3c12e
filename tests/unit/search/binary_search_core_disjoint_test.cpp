// The disjoint-core steps on their worked values: merging cores, the two
// upper-bound caps, the middle values, raising one core's lower bound with
// the hardening entries, and the unit settling of the variant without unit
// relaxation variables (whose model, when the units settle every soft
// clause, a run cut short prints).
#include <gtest/gtest.h>

#include "framework/core.hpp"
#include "model/clause_snapshot.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "search/bcd_no_unit_rv.hpp"
#include "search/binary_search_core_disjoint.hpp"
#include "tests/unit/search/loaded_search.hpp"

namespace {

using namespace small;

Instance three_clauses() {
  // (a r1) weight 2, (-a r2) weight 3, (b r3) weight 4 once relaxed.
  Instance in;
  in.nvars = 2;
  in.top = 100;
  in.clauses = {{2, {1}}, {3, {-1}}, {4, {2}}};
  return in;
}

TEST(BinarySearchCoreDisjoint, MergeCombinesBoundsOfTheJointCores) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  Core *j1 = l.add_core({11, 12}, {1, 1}, 1, 3); // untouched: 1 + 2
  Core *j2 = l.add_core({13, 14}, {2, 3}, 2, 4);
  std::vector<Core *> joint{j1, j2};
  std::vector<long long> rv{15}, ws{1};
  l.s.merge_cores(l.s.cores_, joint, rv, ws, 1);
  ASSERT_EQ(l.s.cores_.size(), 1u);
  Core *n = l.s.cores_.front();
  EXPECT_EQ(n->get_mu(), 8); // 2, then 2 + 3 - 1, then 4 + 4
  EXPECT_EQ(n->get_lambda(), 3);
  EXPECT_EQ(n->get_rvars(), (std::vector<long long>{15, 11, 12, 13, 14}));
  delete j1;
  delete j2;
}

TEST(BinarySearchCoreDisjoint, MergeRaisesLambdaToTheLightestWeight) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  std::vector<Core *> joint;
  std::vector<long long> rv{15, 16}, ws{5, 7};
  l.s.merge_cores(l.s.cores_, joint, rv, ws, 1);
  EXPECT_EQ(l.s.cores_.back()->get_lambda(), 4);
  EXPECT_EQ(l.s.cores_.back()->get_mu(), 13);
}

TEST(BinarySearchCoreDisjoint, UpperBoundCapsFromOtherCoresLowerBounds) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  Core *a = l.add_core({11}, {20}, 3, 21);
  Core *b = l.add_core({12}, {20}, 5, 21);
  l.s.improve_upper_bound_r2_s63(l.imgr, l.set, l.s.cores_, 12);
  EXPECT_EQ(a->get_mu(), 7); // 12 - 6 + 1
  EXPECT_EQ(b->get_mu(), 9); // 12 - 4 + 1
}

TEST(BinarySearchCoreDisjoint, ComplementaryLiteralsCapACore) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  std::vector<BasicClause *> cls{l.clause({1}), l.clause({-1}),
                                 l.clause({2})};
  std::vector<long long> rv, ws;
  l.s.relax_core_clauses(cls, l.set, rv, ws);
  Core *k = l.add_core(rv, ws, 0, 10);
  l.s.upper_bound_refinement_r2_s62(l.imgr, l.set, l.s.cores_);
  EXPECT_EQ(k->get_mu(), 10); // a single core is left alone
  Core *other = l.add_core({}, {}, 0, 1);
  l.s.upper_bound_refinement_r2_s62(l.imgr, l.set, l.s.cores_);
  EXPECT_EQ(k->get_mu(), 8); // 9 - min(2, 3) + 1
  EXPECT_EQ(other->get_mu(), 1);
}

TEST(BinarySearchCoreDisjoint, MiddleValues) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  ZORConfig::middle_type = MiddleType::Value;
  EXPECT_EQ(l.s.computeMiddle(3, 4), 4);
  EXPECT_EQ(l.s.computeMiddle(-1, 9), 4);
  ZORConfig::middle_type = MiddleType::Biased;
  EXPECT_EQ(l.s.computeMiddle(-1, 11), 10); // both counters 1
  EXPECT_EQ(BinarySearch::biased_nu(-1, 7, 2, 1), 2);
  EXPECT_EQ(BinarySearch::biased_nu(0, LLONG_MAX, 1, 1), LLONG_MAX - 1);
  ZORConfig::middle_type = MiddleType::Value;
}

TEST(BinarySearchCoreDisjoint, OneTouchedCoreTakesItsTestedValue) {
  for (long long lambda : {-1LL, 2LL}) {
    Loaded<BinarySearchCoreDisjoint> l(three_clauses());
    ZORConfig::hardening_rule = true;
    std::vector<BasicClause *> cls{l.clause({1}), l.clause({-1})};
    std::vector<long long> rv, ws;
    l.s.relax_core_clauses(cls, l.set, rv, ws);
    Core *k = l.add_core(rv, ws, lambda, 6);
    k->set_nu(4);
    for (BasicClause *c : cls)
      l.s.hardening_map[c] = 10;
    l.s.core = cls;
    l.s.take_core(100);
    ZORConfig::hardening_rule = false;
    EXPECT_EQ(k->get_lambda(), 4);
    long long drop = lambda == -1 ? 4 : 2;
    for (BasicClause *c : cls)
      EXPECT_EQ(l.s.hardening_map[c], 10 - drop);
  }
}

TEST(BinarySearchCoreDisjoint, NewClausesMergeAndCapAtTheUpperBound) {
  Loaded<BinarySearchCoreDisjoint> l(three_clauses());
  std::vector<BasicClause *> cls{l.clause({1})};
  std::vector<long long> rv, ws;
  l.s.relax_core_clauses(cls, l.set, rv, ws);
  l.add_core(rv, ws, 0, 3);
  l.s.core = {l.clause({1, rv[0]}), l.clause({-1})};
  l.s.take_core(3);
  ASSERT_EQ(l.s.cores_.size(), 1u);
  EXPECT_EQ(l.s.cores_.back()->get_rvars().size(), 2u);
  EXPECT_EQ(l.s.cores_.back()->get_mu(), 4); // 1 + 3 + 3, capped at ub + 1
  EXPECT_EQ(l.s.cores_.back()->get_lambda(), 1);
  EXPECT_EQ(l.s.stop_condition(l.s.cores_), 1);
}

Instance units(long long wx, long long wnx) {
  Instance in;
  in.nvars = 2;
  in.top = 100;
  in.clauses = {{wx, {1}}, {wnx, {-1}}, {1, {1, 2}}};
  return in;
}

TEST(BCDNoUnitRV, ComplementaryUnitsSettleTheLighterWeight) {
  Loaded<BCDNoUnitRV> l(units(3, 5));
  long long cost = 0;
  EXPECT_EQ(l.s.preprocessUnits(cost), 0);
  EXPECT_EQ(cost, 3);
  EXPECT_FALSE(l.set.contains(l.clause({1})));
  EXPECT_EQ(l.clause({-1})->weight, 2);
  EXPECT_EQ(l.s.soft_count(), 2);

  Loaded<BCDNoUnitRV> e(units(4, 4));
  cost = 0;
  EXPECT_EQ(e.s.preprocessUnits(cost), 1);
  EXPECT_EQ(cost, 4);
  EXPECT_EQ(e.s.soft_count(), 1);
}

TEST(BCDNoUnitRV, AUnitLiteralCountsWhenTheUnitIsNotTrue) {
  Loaded<BCDNoUnitRV> l(units(3, 5));
  std::vector<BasicClause *> cls{l.clause({1})};
  std::vector<long long> rl, ws;
  l.s.relax_core_clauses(cls, l.set, rl, ws);
  ASSERT_EQ(rl, (std::vector<long long>{-1}));
  EXPECT_FALSE(l.set.contains(cls[0]));
  long long lit = -1;
  for (long long x : {1LL, -1LL, 0LL}) {
    std::vector<long long> m{0, x, 1};
    EXPECT_EQ(l.s.get_cost_rliteral(l.set, m, lit), x == 1 ? 0 : 3);
  }
}

TEST(BCDNoUnitRV, AModelOfSettledUnitsIsKept) {
  Instance in;
  in.nvars = 2;
  in.top = 100;
  in.clauses = {{4, {1}}, {4, {-1}}, {100, {1, 2}}, {100, {-2}}};
  Loaded<BCDNoUnitRV> l(in);
  ClauseSnapshot input;
  input.take(l.set);
  ZORToolObjects::_input = &input;
  ZORToolObjects::_ivars_used = 2;
  EXPECT_EQ(l.s.solve(), 4);
  const ZORToolObjects::KeptModel *kept = ZORToolObjects::kept_model();
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->cost, 4);
  EXPECT_EQ(kept->values[1], 1);
  ZORToolObjects::forget_kept_model();
  ZORToolObjects::_input = nullptr;
  ZORToolObjects::_ivars_used = -1;
}

} // namespace
