// Warners adder encoding: normalisation, an exact small circuit, the
// comparison, and the shapes of the balanced sum.
#include <gtest/gtest.h>

#include "encodings/warnersenc.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

TEST(WarnersEnc, WeightAboveKIsFixedFalseAndTheRestHolds) {
  Target t(2);
  Lits lits{1, 2}, w{5, 3};
  long long k = 4;
  WarnersEnc::encode_atmostN(t.im, t.cs, lits, w, k);
  EXPECT_EQ(t.clauses(), (Clauses{{-1}}));
  EXPECT_EQ(t.im.top_id, 2);
}

TEST(WarnersEnc, NormalisationDividesByTheGcd) {
  Target t(3);
  Lits lits{1, 2, 3}, w{4, 6, 8};
  long long k = 9;
  EXPECT_FALSE(WarnersEnc::normalize(t.im, t.cs, lits, w, k));
  EXPECT_EQ(w, (Lits{2, 3, 4}));
  EXPECT_EQ(k, 4);
  EXPECT_TRUE(t.clauses().empty());
  // Removed weights count for the starting divisor only through the minimum.
  Lits l2{1, 2, 3}, w2{6, 9, 100};
  long long k2 = 10;
  EXPECT_FALSE(WarnersEnc::normalize(t.im, t.cs, l2, w2, k2));
  EXPECT_EQ(l2, (Lits{1, 2}));
  EXPECT_EQ(w2, (Lits{2, 3}));
  EXPECT_EQ(k2, 3);
  EXPECT_EQ(t.clauses(), (Clauses{{-3}}));
}

// Weights 1 and 2, k = 2: constants 3..6 (most significant bit first),
// products 7..10, adder 11..15, comparison.
TEST(WarnersEnc, SmallCircuitExactly) {
  Target t(2);
  Lits lits{1, 2}, w{1, 2};
  long long k = 2;
  WarnersEnc::encode_atmostN(t.im, t.cs, lits, w, k);
  Clauses want = {
      {-3}, {4}, {5}, {-6},                                   // constants
      {-7, 4}, {-7, 1}, {-4, -1, 7}, {-8, 3}, {-8, 1}, {-3, -1, 8}, // 1 * [1]
      {-9, 6}, {-9, 2}, {-6, -2, 9}, {-10, 5}, {-10, 2}, {-5, -2, 10}, // 2 * [2]
      {11, 7, -9}, {11, -7, 9}, {-11, -7, -9}, {-11, 7, 9},   // s0
      {12, -7, -9}, {-12, 7}, {-12, 9},                       // c0
      {14, -8, 10, 12}, {14, -8, -10, -12}, {14, 8, -10, 12}, {14, 8, 10, -12},
      {-14, 8, 10, 12}, {-14, 8, -10, -12}, {-14, -8, -10, 12},
      {-14, -8, 10, -12},                                     // s1
      {13, -8, -10}, {13, -8, -12}, {13, -10, -12}, {-13, 8, 10}, {-13, 8, 12},
      {-13, 10, 12},                                          // c1
      {-13, 15}, {13, -15},                                   // top bit
      {-11, -14}, {-15}};                                     // at most 2
  EXPECT_EQ(t.clauses(), sorted(want));
  EXPECT_EQ(t.im.top_id, 15);
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2}, [](const std::vector<bool> &v) {
    return v[0] + 2 * v[1] <= 2;
  }));
}

TEST(WarnersEnc, ComparisonWithSix) {
  Target t(4);
  WarnersEnc::Tb(t.im, t.cs, Lits{1, 2, 3, 4}, 6);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -2, -3}, {-4}}));
}

TEST(WarnersEnc, SinglePositionIsTheProductAlone) {
  Target t(1);
  Lits lits{1}, w{3};
  WarnersEnc::trans(t.im, t.cs, lits, w, 2);
  // Two constants, two product bits, no adder; then at most 2 = 10b.
  EXPECT_EQ(t.im.top_id, 5);
  EXPECT_TRUE(equivalent(t.clauses(), {1}, [](const std::vector<bool> &v) {
    return 3 * v[0] <= 2;
  }));
}

TEST(WarnersEnc, ThreePositionsAddThePairFirst) {
  Target t(3);
  Lits lits{1, 2, 3}, w{1, 1, 1};
  long long k = 2; // one below the sum: the full circuit all the same
  WarnersEnc::encode_atmostN(t.im, t.cs, lits, w, k);
  // 3 constants, 3 products, pair adder (1 bit + 1 bit: s0, c0, t), then
  // 2 bits + 1 bit (s0, c0, c1, s1, t).
  EXPECT_EQ(t.im.top_id - 3, 3 + 3 + 3 + 5);
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2, 3}, [](const std::vector<bool> &v) {
    return v[0] + v[1] + v[2] <= 2;
  }));
}

TEST(WarnersEnc, BitRepresentation) {
  std::vector<bool> b;
  WarnersEnc::bit_rep(0, b);
  EXPECT_EQ(b, std::vector<bool>{false});
  WarnersEnc::bit_rep(6, b);
  EXPECT_EQ(b, (std::vector<bool>{false, true, true}));
  WarnersEnc::bit_rep((1LL << 50) - 1, b); // no rounding up near 2^50
  EXPECT_EQ(b.size(), 50u);
  WarnersEnc::bit_rep(LLONG_MAX, b);
  EXPECT_EQ(b.size(), 63u);
}
