// The core counting of PM2 and the covers of PM2 over covers on small
// cases, a core without soft clauses, and weighted PM2's stop
// when no subset sum lies above the bound. The optima themselves are
// judged end to end (tests/e2e/coreguided).
#include <gtest/gtest.h>

#include <iostream>

#include "coreguided/pm2p1.hpp"
#include "coreguided/wpm2.hpp"

namespace {

struct Probe : PM2p1 {
  using PM2::core_relax_vars;
  using PM2::core_sets_;
  using PM2::store_core_set;
  using PM2p1::cover_core_set;
  using PM2p1::covers_;
};

TEST(PM2, CoreCountsTheStoredCoresInsideIt) {
  Probe p;
  EXPECT_EQ(p.store_core_set({1, 2, 3}), 1);
  EXPECT_EQ(p.store_core_set({4, 5}), 1);
  // Contains both earlier cores, and itself.
  EXPECT_EQ(p.store_core_set({1, 2, 3, 4, 5}), 3);
  // An exact repeat: both count.
  EXPECT_EQ(p.store_core_set({4, 5}), 2);
}

TEST(PM2, CoreOfHardClausesAloneIsNotStored) {
  IDManager imgr;
  BasicClauseSet set;
  set.top_weight = 10;
  std::vector<long long> model;
  Probe p;
  p.init(imgr, set, model);
  LitVector lits{1, 2};
  set.set_def_cl_type(ClauseType::Hard);
  p.core.push_back(set.create_clause(lits));
  std::set<long long> s;
  std::vector<long long> v;
  EXPECT_FALSE(p.core_relax_vars(s, v));
  EXPECT_TRUE(s.empty() && v.empty());
  // Nothing stored, so a later core counts only itself.
  EXPECT_EQ(p.store_core_set({7}), 1);
  set.clear_direct();
}

TEST(PM2p1, CoversMergeWhenACoreJoinsThem) {
  Probe p;
  for (std::set<long long> s :
       {std::set<long long>{1, 2}, std::set<long long>{3, 4}}) {
    p.store_core_set(s);
    p.cover_core_set(s);
  }
  ASSERT_EQ(p.covers_.size(), 2u);
  EXPECT_EQ(p.pm2_heuristic(p.covers_.front()), 1);
  p.store_core_set({2, 3});
  p.cover_core_set({2, 3});
  ASSERT_EQ(p.covers_.size(), 1u);
  EXPECT_EQ(p.covers_.front(), (std::set<long long>{1, 2, 3, 4}));
  EXPECT_EQ(p.pm2_heuristic(p.covers_.front()), 3);
}

TEST(WPM2DeathTest, NoSubsetSumAboveTheBoundIsAnInternalError) {
  auto run = [] {
    std::cout.rdbuf(std::cerr.rdbuf()); // the message, where the test reads
    IDManager imgr;
    BasicClauseSet set, alset, amset;
    std::vector<long long> model;
    WPM2 w;
    w.init(imgr, set, model);
    CoverConstraints constraints;
    w.newbound(alset, {}, constraints, amset);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(3), "Internal error");
}

} // namespace
