// Sequential weighted counters: the exact clauses of two positions and of a
// weight equal to k, the at-most-one special case, and fresh registers per
// call.
#include <gtest/gtest.h>

#include <unistd.h>

#include "encodings/pbseqcounter.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

TEST(PBSeqCounter, TwoPositions) {
  Target t(2);
  Lits lits{1, 2}, w{2, 3};
  long long k = 4;
  PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, 3}, {-1, 4}, {-2, -4}}));
  EXPECT_EQ(t.im.top_id, 4);
  Target u(2);
  Lits w2{2, 2};
  PBSequentialWeightedCounters::encode_atmostN(u.im, u.cs, lits, w2, k);
  EXPECT_TRUE(u.clauses().empty());
}

TEST(PBSeqCounter, UnitWeightsAreTheAtMostOneCounter) {
  Target t(3);
  Lits lits{1, 2, 3}, w{1, 1, 1};
  long long k = 1;
  PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
  EXPECT_EQ(t.clauses(), sorted({{-4, 5}, {-1, 4}, {-2, 5}, {-4, -2}, {-5, -3}}));
  EXPECT_EQ(t.im.top_id, 5);
}

TEST(PBSeqCounter, WeightEqualToKNeedsAnEmptyRegister) {
  Target t(3);
  Lits lits{1, 2, 3}, w{1, 3, 1};
  long long k = 3;
  PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
  Clauses cls = t.clauses();
  // s(0, 1) is the first register variable.
  EXPECT_NE(std::find(cls.begin(), cls.end(), sorted({{-4, -2}})[0]), cls.end());
  EXPECT_TRUE(equivalent(cls, {1, 2, 3}, [](const std::vector<bool> &v) {
    return v[0] + 3 * v[1] + v[2] <= 3;
  }));
}

TEST(PBSeqCounter, RegistersAreNotShared) {
  Target t(4);
  Lits lits{1, 2, 3, 4}, w{2, 1, 3, 2};
  long long k = 4;
  PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
  long long first = t.im.top_id - 4;
  EXPECT_EQ(first, 3 * 4); // registers of positions 0 to 2, k variables each
  PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
  EXPECT_EQ(t.im.top_id - 4, 2 * first);
  EXPECT_EQ(lits, (Lits{1, 2, 3, 4}));
  EXPECT_EQ(w, (Lits{2, 1, 3, 2}));
  EXPECT_EQ(k, 4);
}

TEST(PBSeqCounterDeathTest, MoreVariablesThanTheEnginesAddressEndTheRun) {
  Target t(3);
  Lits lits{1, 2, 3}, w{1LL << 40, 1LL << 40, (1LL << 40) + 1};
  long long k = 1LL << 41;
  EXPECT_EXIT(
      {
        dup2(2, 1);
        PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
      },
      ::testing::ExitedWithCode(5),
      "^ERROR: Encoding needs more variables than the SAT engines address\n$");
}

TEST(PBSeqCounterDeathTest, MoreClausesThanTheMachineHoldsEndTheRun) {
  // Registers of 2^29 values: within the engines' range, but 1.3 * 10^9
  // clauses.
  Target t(3);
  Lits lits{1, 2, 3}, w{(1LL << 28) + 1, 1LL << 28, (1LL << 28) + 3};
  long long k = 1LL << 29;
  EXPECT_EXIT(
      {
        dup2(2, 1);
        PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
      },
      ::testing::ExitedWithCode(5),
      "^ERROR: Encoding needs more memory than the machine has\n$");
}
