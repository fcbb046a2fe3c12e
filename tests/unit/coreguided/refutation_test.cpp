// The proof reader and its replay: a read-once refutation is replayed by
// MaxSAT resolution and gains its least weight (checked by brute force on
// every assignment), a proof using a soft clause twice is not read-once,
// one of hard clauses is hard, and every proof that does not verify
// (cut short, a wrong or missing step, an unknown clause) is rejected
// before anything changes.
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

#include "coreguided/refutation.hpp"
#include "tests/unit/coreguided/rewrite_check.hpp"

namespace {

struct RefutationTest : testing::Test {
  BasicClauseSet set, aux;
  std::vector<BasicClause *> core;
  std::string file =
      testing::TempDir() + "proof-" + std::to_string(getpid()) + ".txt";
  RefutationTest() {
    set.top_weight = 100;
    set.def_cltype = ClauseType::Keep;
  }
  ~RefutationTest() override {
    set.clear_direct();
    std::remove(file.c_str());
  }
  void add(LitVector lits, long long w) {
    BasicClause *c = set.create_clause(lits);
    set.set_cl_weight(c, w);
    core.push_back(c);
  }
  void write(const std::string &text) { std::ofstream(file) << text; }
};

// (x1) 2, (-x1 x2) 3, (-x2) hard.
const char *kReadOnce = "1 1 0 0\n2 -1 2 0 0\n3 -2 0 0\n"
                        "4 2 0 1 2 0\n5 0 4 3 0\n";

TEST_F(RefutationTest, ReadOnceRefutationGainsItsLeastWeight) {
  add({1}, 2);
  add({-1, 2}, 3);
  add({-2}, 100);
  small::Instance before = small::snapshot(set, 2);
  write(kReadOnce);
  RefutationManager rm(set);
  ASSERT_TRUE(rm.parse(file));
  EXPECT_TRUE(rm.within(core));
  EXPECT_FALSE(rm.within({core[1], core[2]})); // a proof of another core
  rm.check_properties(aux);
  EXPECT_FALSE(rm.is_hard());
  EXPECT_TRUE(rm.is_readonce());
  EXPECT_EQ(rm.get_cost(), 2);
  rm.transform(core);
  EXPECT_EQ(rm.get_gained(), 2);
  for (BasicClause *c : core)
    EXPECT_GE(c->weight, set.top_weight); // no soft clause is left
  expect_same_costs(before, small::snapshot(set, 2), 2, "replay");
}

TEST_F(RefutationTest, ProofsThatDoNotVerifyAreRejected) {
  add({1}, 2);
  add({-1, 2}, 3);
  add({-2}, 100);
  const std::string head = "1 1 0 0\n2 -1 2 0 0\n3 -2 0 0\n";
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"last line cut short", std::string(kReadOnce).substr(0, 35)},
      {"last line without its end", head + "4 2 0 1 2 0\n5 0 4 3 0"},
      {"empty clause missing", head + "4 2 0 1 2 0\n"},
      {"input clause left over", head},
      {"antecedent not defined", head + "4 2 0 1 2 0\n5 0 4 9 0\n"},
      {"antecedent with a larger id", head + "4 0 5 3 0\n5 2 0 1 2 0\n"},
      {"wrong resolvent", head + "4 -2 0 1 2 0\n5 0 4 3 0\n"},
      {"no clash", head + "4 0 1 1 0\n"},
      {"three antecedents", head + "4 2 0 1 2 3 0\n5 0 4 3 0\n"},
      {"unknown input clause", "1 1 0 0\n2 -1 0 0\n4 0 1 2 0\n"},
      {"input step with antecedents", head + "3 -2 0 1 0\n4 2 0 1 2 0\n"},
      {"repeated id", head + "4 2 0 1 2 0\n4 2 0 1 2 0\n5 0 4 3 0\n"},
      {"same input clause twice", "1 1 0 0\n2 -1 2 0 0\n3 1 0 0\n"},
      {"not a number", head + "4 2 0 1 x 0\n5 0 4 3 0\n"},
      {"antecedents not ended", head + "4 2 0 1 2\n"}};
  for (const auto &[why, text] : bad) {
    write(text);
    RefutationManager rm(set);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(rm.parse(file)) << why;
    testing::internal::GetCapturedStdout();
  }
  for (BasicClause *c : core)
    EXPECT_TRUE(c->weight == 2 || c->weight == 3 || c->weight == 100);
}

TEST_F(RefutationTest, SoftClauseUsedTwiceIsNotReadOnce) {
  add({1}, 1);
  add({-1, 2}, 1);
  add({-1, -2}, 1);
  write("1 1 0 0\n2 -1 2 0 0\n3 -1 -2 0 0\n"
        "4 2 0 1 2 0\n5 -2 0 1 3 0\n6 0 4 5 0\n");
  RefutationManager rm(set);
  ASSERT_TRUE(rm.parse(file));
  rm.check_properties(aux);
  EXPECT_FALSE(rm.is_readonce());
  EXPECT_FALSE(rm.is_hard());
}

TEST_F(RefutationTest, RefutationOfHardClausesIsHard) {
  add({1}, 100);
  add({-1}, 100);
  write("1 1 0 0\n2 -1 0 0\n3 0 1 2 0\n");
  RefutationManager rm(set);
  ASSERT_TRUE(rm.parse(file));
  rm.check_properties(aux);
  EXPECT_TRUE(rm.is_hard());
  EXPECT_EQ(rm.get_cost(), 100);
}

} // namespace
