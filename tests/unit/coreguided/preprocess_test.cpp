// Pure-literal elimination and partition statistics.
#include <gtest/gtest.h>

#include <algorithm>

#include "coreguided/preprocess.hpp"
#include "model/zor_config.hpp"

namespace {
BasicClause *add(BasicClauseSet &s, LitVector v) { return s.create_clause(v); }
} // namespace

TEST(RemovePureLiterals, CascadesAndIgnoresAbsentVariables) {
  BasicClauseSet s;
  // x1 occurs only positively; removing its clauses leaves x2 positive only
  // in (2 3) and x3 in both polarities until then.
  BasicClause *a = add(s, {1, -2});
  BasicClause *b = add(s, {1, 2});
  BasicClause *c = add(s, {2, 3});
  BasicClause *d = add(s, {-3, 4});
  BasicClause *e = add(s, {-4, 3});
  std::vector<long long> pure;
  std::vector<BasicClause *> removed;
  preprocess::remove_pure_literals(6, s, pure, removed); // 5, 6 absent
  EXPECT_EQ(pure.front(), 1);
  EXPECT_TRUE(std::find(pure.begin(), pure.end(), 2) != pure.end());
  EXPECT_TRUE(std::find(pure.begin(), pure.end(), 5) == pure.end());
  EXPECT_TRUE(std::find(pure.begin(), pure.end(), -5) == pure.end());
  // Once (2 3) is gone, 3 and 4 are only in the two-clause cycle, which
  // stays: -3 4 and -4 3 have both polarities of each.
  EXPECT_EQ(s.size(), 2u);
  EXPECT_TRUE(s.contains(d) && s.contains(e));
  EXPECT_EQ(removed.size(), 3u);
  EXPECT_TRUE(std::find(removed.begin(), removed.end(), a) != removed.end());
  EXPECT_TRUE(std::find(removed.begin(), removed.end(), b) != removed.end());
  EXPECT_TRUE(std::find(removed.begin(), removed.end(), c) != removed.end());
  // Reference counts untouched: the clauses are still registered.
  EXPECT_EQ(ClauseRegistry::clreg_instance.cl_refs(a), 1);
}

TEST(RemovePureLiterals, ResultIsClosedAndSatisfiable) {
  // Random sets: after removal no variable of the remaining clauses is pure,
  // and setting the reported literals true satisfies every removed clause.
  unsigned seed = 7;
  for (int round = 0; round < 50; ++round) {
    BasicClauseSet s;
    for (int i = 0; i < 12; ++i) {
      LitVector v;
      for (int j = 0; j < 3; ++j) {
        seed = seed * 1103515245u + 12345u;
        long long var = 1 + (seed >> 16) % 8;
        v.push_back((seed >> 8) & 1 ? var : -var);
      }
      s.create_clause(v);
    }
    std::vector<long long> pure;
    std::vector<BasicClause *> removed;
    preprocess::remove_pure_literals(8, s, pure, removed);
    std::vector<int> pos(9, 0), neg(9, 0);
    for (BasicClause *c : s)
      for (long long l : c->lits)
        (l > 0 ? pos : neg)[std::llabs(l)]++;
    for (int v = 1; v <= 8; ++v)
      EXPECT_FALSE((pos[v] > 0) != (neg[v] > 0)) << "round " << round;
    for (BasicClause *c : removed) {
      bool sat = false;
      for (long long l : c->lits)
        sat |= std::find(pure.begin(), pure.end(), l) != pure.end();
      EXPECT_TRUE(sat) << "round " << round;
    }
    s.clear_direct();
    for (BasicClause *c : removed) {
      BasicClauseSet holder;
      holder.insert_member(c);
      holder.clear_direct();
    }
  }
}

TEST(FindPartitions, CountsDisjointGroups) {
  ZORConfig::expert_mode = true;
  ZORConfig::verbosity = 1;
  BasicClauseSet s;
  add(s, {101});
  add(s, {-102});
  testing::internal::CaptureStdout();
  preprocess::find_partitions(102, s);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Number of sets: 2\n"), std::string::npos);
  EXPECT_NE(out.find("Created 1 sets\n"), std::string::npos);
  EXPECT_NE(out.find("Set w/ size 1 occurs 2 times\n"), std::string::npos);
  EXPECT_NE(out.find("Validated 2 clauses"), std::string::npos);

  BasicClauseSet empty;
  testing::internal::CaptureStdout();
  preprocess::find_partitions(0, empty);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Number of sets: 0\n"), std::string::npos);
  EXPECT_NE(out.find("Smallest set: 9223372036854775807"), std::string::npos);
  ZORConfig::expert_mode = false;
}
