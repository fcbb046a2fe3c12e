// The at-most constraint that add_AM attaches, judged over every
// assignment of its variables; the bound that newbound picks when the
// at-least constraints rule out the smallest subset sum, the at-least
// clauses it leaves in place and the test clauses it releases.
#include <gtest/gtest.h>

#include "coreguided/wpm2.hpp"
#include "framework/bound_encoding.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/small_instance.hpp"

namespace {

struct WPM2Test : testing::Test {
  IDManager imgr;
  BasicClauseSet input, alset, amset;
  std::vector<long long> model;
  WPM2 w;
  WPM2Test() {
    input.top_weight = 100;
    imgr.top_id = 3; // relaxation variables 1 .. 3
    w.init(imgr, input, model);
  }
};

TEST_F(WPM2Test, AddAMAttachesTheAtMostConstraint) {
  am_constr am;
  am.clauses.top_weight = 100;
  am.lits = {1, 2, 3};
  am.weights = {1, 2, 3};
  am.k = 3;
  encode_cost_constraint(imgr, am.clauses, am.lits, am.weights, am.k,
                         CostRelation::AtMost);
  BasicClauseSet target;
  target.top_weight = 100;
  w.add_AM(imgr, target, amset, am);
  ASSERT_EQ(target.size(), am.clauses.size());
  // r1 .. r3 extend to a model of target exactly when their weight is at
  // most 3.
  small::Instance in = small::snapshot(target, static_cast<int>(imgr.top_id));
  ASSERT_LE(in.nvars, 20);
  bool extends[8] = {};
  small::for_each_assignment(in.nvars, [&](const std::vector<long long> &m) {
    if (small::cost_of(in, m) == 0)
      extends[(m[1] > 0) | (m[2] > 0) << 1 | (m[3] > 0) << 2] = true;
  });
  for (int bits = 0; bits < 8; ++bits) {
    int weight = (bits & 1) + 2 * (bits >> 1 & 1) + 3 * (bits >> 2 & 1);
    EXPECT_EQ(extends[bits], weight <= 3) << bits;
  }
  for (BasicClause *c : target)
    EXPECT_EQ(ClauseRegistry::clreg_instance.cl_refs(c), 1);
  w.detach_clause_set(am.clauses, target);
  EXPECT_TRUE(target.empty());
}

// Covers {1} and {2} of bound 0 with the given weights.
CoverConstraints two_covers(long long w1, long long w2) {
  CoverConstraints constraints;
  for (long long r : {1, 2}) {
    am_constr &am = constraints[{r}];
    am.lits = {r};
    am.weights = {r == 1 ? w1 : w2};
  }
  return constraints;
}

TEST_F(WPM2Test, NewboundSkipsSumsTheAtLeastClausesRuleOut) {
  CoverConstraints constraints = two_covers(2, 3);
  alset.top_weight = 100;
  BasicClause *forced = alset.create_unit_clause(2); // r2 is true
  std::size_t registered = ClauseRegistry::clreg_instance.size();
  // Sum 2 needs r2 false; 3 is the next sum.
  EXPECT_EQ(w.newbound(alset, {1, 2}, constraints, amset), 3);
  EXPECT_EQ(alset.size(), 1u);
  EXPECT_TRUE(alset.contains(forced));
  // The tests' own clauses are released; alset's stays.
  EXPECT_EQ(ClauseRegistry::clreg_instance.size(), registered);
  EXPECT_EQ(ClauseRegistry::clreg_instance.cl_refs(forced), 1);
  alset.clear_direct();
}

TEST_F(WPM2Test, NewboundKeepsAnAtLeastClauseItsTestSharesInAlset) {
  CoverConstraints constraints = two_covers(1, 1);
  alset.top_weight = 100;
  LitVector both{1, 2};
  BasicClause *shared = alset.create_clause(both);
  Card_CNF_Encodings enc = ZORConfig::zorenc;
  ZORConfig::zorenc = Card_CNF_Encodings::Pairwise;
  // Exactly one of r1, r2: its at-least clause is (1 2), shared with alset.
  EXPECT_EQ(w.newbound(alset, {1, 2}, constraints, amset), 1);
  ZORConfig::zorenc = enc;
  EXPECT_EQ(alset.size(), 1u);
  EXPECT_TRUE(alset.contains(shared));
  EXPECT_EQ(ClauseRegistry::clreg_instance.cl_refs(shared), 1);
  alset.clear_direct();
}

} // namespace
