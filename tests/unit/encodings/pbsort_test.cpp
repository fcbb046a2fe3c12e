// Pseudo-Boolean sorting networks: clausal parts, normalisation, the base
// search, padding with the shared fixed-false variable, and bounds at or
// below zero.
#include <gtest/gtest.h>

#include <climits>

#include "encodings/pbsort.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

namespace {
struct Cells {
  long long fv = 0, tv = 0;
};
} // namespace

TEST(PBSortingNetworks, AtMostTrivialBounds) {
  Target t(3);
  Cells c;
  Lits lits{1, 2, 3}, w{2, 3, 4};
  PBSortingNetworks::encode_atmostN(t.im, t.cs, w, lits, 9, c.fv, c.tv);
  PBSortingNetworks::encode_atmostN(t.im, t.cs, w, lits, 50, c.fv, c.tv);
  EXPECT_TRUE(t.clauses().empty());
  PBSortingNetworks::encode_atmostN(t.im, t.cs, w, lits, 0, c.fv, c.tv);
  EXPECT_EQ(t.clauses(), (Clauses{{-1}, {-2}, {-3}}));
  EXPECT_EQ(t.im.top_id, 3);
}

TEST(PBSortingNetworks, AtLeastZeroOrBelowAddsNothing) {
  for (long long k : {0LL, -1LL, LLONG_MIN}) {
    Target t(3);
    Cells c;
    Lits lits{1, 2, 3}, w{2, 4, 6};
    PBSortingNetworks::encode_atleastN(t.im, t.cs, w, lits, k, c.fv, c.tv);
    EXPECT_TRUE(t.clauses().empty()) << k;
    EXPECT_EQ(t.im.top_id, 3);
  }
}

TEST(PBSortingNetworks, ClausalPartBecomesOneLiteral) {
  Target t(4);
  Lits lits{1, 2, 3, 4}, w{3, 3, 2, 1};
  PBSortingNetworks::removeClausalPart(t.im, t.cs, w, lits, 3);
  EXPECT_EQ(lits, (Lits{3, 4, 5}));
  EXPECT_EQ(w, (Lits{2, 1, 3}));
  EXPECT_EQ(t.clauses(), (Clauses{{1, 2, -5}}));
}

TEST(PBSortingNetworks, ClausalPartAloneIsOneClause) {
  Target t(3);
  Cells c;
  Lits lits{1, 2, 3}, w{3, 3, 1};
  PBSortingNetworks::encode_atleastN(t.im, t.cs, w, lits, 3, c.fv, c.tv);
  EXPECT_EQ(t.clauses(), (Clauses{{1, 2}}));
  EXPECT_EQ(t.im.top_id, 3);
  Target u(3);
  Lits w2{5, 1, 1};
  PBSortingNetworks::encode_atleastN(u.im, u.cs, w2, lits, 5, c.fv, c.tv);
  EXPECT_EQ(u.clauses(), (Clauses{{1}}));
}

TEST(PBSortingNetworks, NormalisationRoundsKUp) {
  Lits w{2, 2};
  long long k = 4;
  PBSortingNetworks::normalize(w, k);
  EXPECT_EQ(w, (Lits{1, 1}));
  EXPECT_EQ(k, 2);
  Lits w2{4, 6, 10};
  long long k2 = 7;
  PBSortingNetworks::normalize(w2, k2);
  EXPECT_EQ(w2, (Lits{2, 3, 5}));
  EXPECT_EQ(k2, 4);
  Lits w3{3, 1, 3};
  long long k3 = 5;
  PBSortingNetworks::normalize(w3, k3);
  EXPECT_EQ(k3, 5);
  // At least 4 over 2, 2: weights 1, 1 and k = 2, a network of two inputs.
  Target t(2);
  Cells c;
  Lits lits{1, 2}, w4{2, 2};
  PBSortingNetworks::encode_atleastN(t.im, t.cs, w4, lits, 4, c.fv, c.tv);
  EXPECT_GT(t.im.top_id, 2);
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2}, [](const std::vector<bool> &v) {
    return v[0] && v[1];
  }));
}

TEST(PBSortingNetworks, BaseSearch) {
  std::vector<int> base;
  PBSortingNetworks::findBestBase(base, {1, 1, 1});
  EXPECT_EQ(base, (std::vector<int>{0})); // [2]: nothing beats it
  PBSortingNetworks::findBestBase(base, {3, 5, 7});
  std::vector<long long> radix;
  for (int b : base)
    radix.push_back(PBSortingNetworks::kPrimes[b]);
  EXPECT_EQ(radix, (std::vector<long long>{3, 2}));
  std::vector<enc_arith::Wide> P;
  PBSortingNetworks::setBuckets({1, 0}, P); // base [3, 2]
  ASSERT_EQ(P.size(), 3u);
  EXPECT_TRUE(P[0] == 1 && P[1] == 3 && P[2] == 6);
  std::vector<long long> d;
  PBSortingNetworks::dinB(d, 17, P);
  EXPECT_EQ(d, (std::vector<long long>{2, 1, 2})); // 17 = 2*6 + 1*3 + 2
  // Weights near 2^62: the search stays bounded.
  PBSortingNetworks::findBestBase(base, {(1LL << 62) + 1, (1LL << 62) + 3});
  EXPECT_LE(base.size(), 63u);
}

TEST(PBSortingNetworks, PaddingSharesTheFixedFalseVariable) {
  Target t(6);
  Cells c;
  Lits lits{1, 2, 3, 4, 5}, w{1, 1, 1, 1, 1};
  PBSortingNetworks::encode_atleastN(t.im, t.cs, w, lits, 2, c.fv, c.tv);
  ASSERT_NE(c.fv, 0); // five inputs padded to eight
  long long fv = c.fv;
  Lits more{2, 3, 4, 5, 6};
  PBSortingNetworks::encode_atleastN(t.im, t.cs, w, more, 3, c.fv, c.tv);
  EXPECT_EQ(c.fv, fv);
  int units = 0;
  for (const auto &cl : t.clauses())
    units += cl == Lits{-fv};
  EXPECT_EQ(units, 1);
  EXPECT_TRUE(vars_in_range(t.clauses(), {1, 2, 3, 4, 5, 6}, 6, t.im.top_id));
}

TEST(PBSortingNetworks, CellsLifecycle) {
  PBSortingNetworks::finalize();
  EXPECT_EQ(PBSortingNetworks::truevar, nullptr);
  Target t(3);
  Lits lits{1, 2, 3}, w{1, 2, 2};
  PBSortingNetworks::encode_atleastN(t.im, t.cs, w, lits, 3); // opens the cells
  ASSERT_NE(PBSortingNetworks::truevar, nullptr);
  ASSERT_NE(PBSortingNetworks::falsevar, nullptr);
  *PBSortingNetworks::truevar = 99;
  PBSortingNetworks::initialize();
  EXPECT_EQ(*PBSortingNetworks::truevar, 0);
  PBSortingNetworks::finalize();
  EXPECT_EQ(PBSortingNetworks::falsevar, nullptr);
}
