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

// Registers of 2^41 values are beyond the engines; registers of 2^29
// values are in range, but their 1.3 * 10^9 clauses are more than the
// machine holds. Both are refused before anything is built.
TEST(PBSeqCounterDeathTest, SizesBeyondTheEnginesOrTheMachineEndTheRun) {
  struct Case {
    Lits w;
    long long k;
    const char *message;
  };
  for (const Case &c :
       {Case{{1LL << 40, 1LL << 40, (1LL << 40) + 1}, 1LL << 41,
             "more variables than the SAT engines address"},
        Case{{(1LL << 28) + 1, 1LL << 28, (1LL << 28) + 3}, 1LL << 29,
             "more memory than the machine has"}}) {
    Target t(3);
    Lits lits{1, 2, 3}, w = c.w;
    long long k = c.k;
    EXPECT_EXIT(
        {
          dup2(2, 1);
          PBSequentialWeightedCounters::encode_atmostN(t.im, t.cs, lits, w, k);
        },
        ::testing::ExitedWithCode(5),
        std::string("^ERROR: Encoding needs ") + c.message + "\n$");
  }
}
