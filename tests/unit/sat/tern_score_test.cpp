// Score arithmetic of the Tern engine: the constants as bit patterns, the
// edge cases of addition, multiplication, construction and text conversion,
// and a randomized comparison with double arithmetic.
#include "sat/tern_score.hpp"

#include <gtest/gtest.h>

#include <cmath>

using namespace tern;

TEST(TernScore, ConstantsHaveTheirBitPatterns) {
  EXPECT_EQ(score_make(1, 0), 0x68000000u);
  EXPECT_EQ(score_make(1, 90), 0xC2000000u);
  EXPECT_EQ(score_make(1, -90), 0x0E000000u);
  EXPECT_EQ(kScoreOne, 0x68000000u);
  EXPECT_EQ(kScore2p90, 0xC2000000u);
  EXPECT_EQ(kScore2m90, 0x0E000000u);
  EXPECT_EQ(kScoreTenth, 0x6499999Au);
  EXPECT_DOUBLE_EQ(score_to_double(kScoreOne), 1.0);
  EXPECT_NEAR(score_to_double(kScoreTenth), 0.1, 1e-8);
  EXPECT_EQ(score_make(10, 0), 0x6B400000u);  // 10 = 1.25 * 2^3
  EXPECT_EQ(score_make(0, 5), 0u);
}

// 2^-104 has exponent byte 0 and fraction 0, the pattern of zero itself;
// 2^-103 is the smallest power of two that stays non-zero.
TEST(TernScore, ConstructionRangeOfPowersOfTwo) {
  EXPECT_EQ(score_make(1, -103), 0x01000000u);
  EXPECT_DOUBLE_EQ(score_to_double(score_make(1, -103)), std::ldexp(1.0, -103));
  EXPECT_EQ(score_make(1, -104), 0u);
  EXPECT_EQ(score_make(1, -105), 0u);
  EXPECT_EQ(score_make(1, -200), 0u);
  EXPECT_EQ(score_make(1, 151), 0xFF000000u);
  EXPECT_EQ(score_make(1, 152), kScoreInf);
}

TEST(TernScore, AdditionEdgeCases) {
  Score a = score_make(3, 7);
  EXPECT_EQ(score_add(a, 0), a);
  EXPECT_EQ(score_add(0, a), a);
  // an operand 25 or more binary places smaller leaves the other unchanged
  EXPECT_EQ(score_add(kScoreOne, score_make(1, -25)), kScoreOne);
  EXPECT_EQ(score_add(kScoreOne, score_make(1, -40)), kScoreOne);
  EXPECT_NE(score_add(kScoreOne, score_make(1, -24)), kScoreOne);
  EXPECT_EQ(score_add(kScoreOne, kScoreOne), score_make(1, 1));
  EXPECT_EQ(score_add(kScoreInf, kScoreOne), kScoreInf);
  EXPECT_EQ(score_add(kScoreInf, kScoreInf), kScoreInf);
  Score big = score_make(1, 151);  // exponent byte 255
  EXPECT_EQ(score_add(big, big), kScoreInf);
}

TEST(TernScore, MultiplicationEdgeCases) {
  EXPECT_EQ(score_mult(kScoreOne, 0), 0u);
  EXPECT_EQ(score_mult(kScoreOne, kScoreOne), kScoreOne);
  EXPECT_EQ(score_mult(score_make(1, 100), score_make(1, 100)), kScoreInf);
  EXPECT_EQ(score_mult(score_make(1, 60), score_make(1, 60)), score_make(1, 120));
  EXPECT_EQ(score_mult(score_make(1, -60), score_make(1, -60)), 0u);
  // infinity is not sticky: times 2^-90 it becomes finite
  Score x = score_mult(kScoreInf, kScore2m90);
  EXPECT_NE(x, kScoreInf);
  EXPECT_NEAR(score_to_double(x), std::ldexp(1.0, 62), std::ldexp(1.0, 62) * 1e-6);
  EXPECT_EQ(score_mult(score_make(3, 0), score_make(3, 0)), score_make(9, 0));
}

TEST(TernScore, TextConversion) {
  EXPECT_EQ(score_from_text("1"), kScoreOne);
  EXPECT_EQ(score_from_text("10"), score_make(10, 0));
  EXPECT_NEAR(score_to_double(score_from_text("1.05")), 1.05, 1e-6);
  EXPECT_NEAR(score_to_double(score_from_text("1.001")), 1.001, 1e-6);
  EXPECT_EQ(score_from_text(".5"), score_mult(score_make(5, 0), kScoreTenth));
  EXPECT_EQ(score_from_text("1."), kScoreInf);
  EXPECT_EQ(score_from_text("1.2.3"), kScoreInf);
  EXPECT_EQ(score_from_text("1e5"), kScoreInf);
  EXPECT_EQ(score_from_text("-1"), kScoreInf);
  EXPECT_GT(score_from_text("1.05"), kScoreOne);
  EXPECT_LT(score_from_text("1.001"), score_from_text("1.05"));
}

// Scores order like their bit patterns and follow real arithmetic within the
// 24-bit precision.
TEST(TernScore, AgreesWithDoubleArithmeticAndOrder) {
  uint32_t s = 12345;
  auto next = [&]() { return s = s * 1664525u + 1013904223u; };
  for (int i = 0; i < 20000; i++) {
    Score a = score_make(1 + next() % 100000, (int)(next() % 80) - 40);
    Score b = score_make(1 + next() % 100000, (int)(next() % 80) - 40);
    double da = score_to_double(a), db = score_to_double(b);
    EXPECT_EQ(a < b, da < db) << a << " " << b;
    double sum = score_to_double(score_add(a, b));
    EXPECT_NEAR(sum, da + db, (da + db) * 1.2e-7) << a << " " << b;
    double prod = score_to_double(score_mult(a, b));
    EXPECT_NEAR(prod, da * db, da * db * 1.2e-7) << a << " " << b;
  }
}
