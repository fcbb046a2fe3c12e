// Sorting and cardinality networks: the exact clauses of at most one of
// three, the sorter's padding to a power of two, block and filler shapes,
// and equivalence.
#include <gtest/gtest.h>

#include "encodings/card_networks.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

namespace {
const Clauses kOneOfThree = {{-4}, {-1, 5}, {-2, 5}, {-1, -2, 6}, {-3, 7}, {-4, 7},
                             {-3, -4, 8}, {-5, 9}, {-7, 9}, {-5, -7, 10}, {-6, 11},
                             {-8, 11}, {-6, -8, 12}, {-10, 13}, {-11, 13},
                             {-10, -11, 14}, {-13}};

// Fresh variables of a half merge of two sorted vectors of s entries, of a
// half sorter of m inputs, and of a simple merge (two per comparator plus
// the merge's own outputs).
long long merge_vars(long long s) { return s == 1 ? 2 : 2 * merge_vars(s / 2) + 2 * s - 2; }
long long sorter_vars(long long m) {
  return m == 2 ? 2 : 2 * sorter_vars(m / 2) + merge_vars(m / 2);
}
long long simple_merge_vars(long long s) {
  return s == 1 ? 2 : 2 * simple_merge_vars(s / 2) + s;
}

Lits first_n(long long n) {
  Lits v;
  for (long long i = 1; i <= n; ++i)
    v.push_back(i);
  return v;
}
} // namespace

TEST(SortingNetworks, AtMostOneOfThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  SortingNetworks::encode_atmostN(t.im, t.cs, lits, 1);
  EXPECT_EQ(t.clauses(), sorted(kOneOfThree));
  EXPECT_EQ(t.im.top_id, 14);
}

TEST(SortingNetworks, SortsAllInputsRoundedToAPowerOfTwo) {
  EXPECT_EQ(sorter_vars(8), 38); // 19 comparators of the odd-even merge sort
  for (long long n : {5LL, 6LL, 8LL, 9LL, 100LL}) {
    Target t(n);
    Lits lits = first_n(n);
    SortingNetworks::encode_atmostN(t.im, t.cs, lits, 2);
    long long m = enc_arith::pow2_at_least(n);
    long long filler = n == m ? 0 : 1;
    EXPECT_EQ(t.im.top_id - n, filler + sorter_vars(m)) << n;
    // Three clauses per comparator, the filler's unit and the bound's unit;
    // a comparator of two filler inputs repeats a clause, which the set
    // holds once.
    long long most = 3 * sorter_vars(m) / 2 + filler + 1;
    if (filler)
      EXPECT_LE(static_cast<long long>(t.cs.size()), most) << n;
    else
      EXPECT_EQ(static_cast<long long>(t.cs.size()), most) << n;
  }
}

TEST(CardinalityNetworks, AtMostOneOfThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  CardinalityNetworks::encode_atmostN(t.im, t.cs, lits, 1);
  EXPECT_EQ(t.clauses(), sorted(kOneOfThree));
  EXPECT_EQ(t.im.top_id, 14);
}

TEST(CardinalityNetworks, BlocksAndFiller) {
  // At most 2 of 8: p = 4, two sorted blocks merged once, no filler.
  Target a(8);
  Lits l8 = first_n(8);
  CardinalityNetworks::encode_atmostN(a.im, a.cs, l8, 2);
  EXPECT_EQ(a.im.top_id - 8, 2 * sorter_vars(4) + simple_merge_vars(4));
  // At most 3 of 10: p = 4, one filler filling 12 entries, three blocks,
  // the last two merged first.
  Target b(10);
  Lits l10 = first_n(10);
  CardinalityNetworks::encode_atmostN(b.im, b.cs, l10, 3);
  EXPECT_EQ(b.im.top_id - 10, 1 + 3 * sorter_vars(4) + 2 * simple_merge_vars(4));
  Clauses cb = b.clauses();
  EXPECT_EQ(cb[0], (Lits{-11})); // the filler comes first
  // k = 4 takes blocks of 8, k = 3 blocks of 4.
  Target c(16), d(16);
  Lits l16 = first_n(16);
  CardinalityNetworks::encode_atmostN(c.im, c.cs, l16, 4);
  CardinalityNetworks::encode_atmostN(d.im, d.cs, l16, 3);
  EXPECT_EQ(c.im.top_id - 16, 2 * sorter_vars(8) + simple_merge_vars(8));
  EXPECT_EQ(d.im.top_id - 16, 4 * sorter_vars(4) + 3 * simple_merge_vars(4));
}

TEST(CardNetworks, SharedCasesTakeNoVariable) {
  Target t(4);
  Lits lits{1, 2, 3, 4};
  SortingNetworks::encode_atmostN(t.im, t.cs, lits, 4);
  CardinalityNetworks::encode_atmostN(t.im, t.cs, lits, 4);
  EXPECT_EQ(t.cs.size(), 0u);
  SortingNetworks::encode_atmostN(t.im, t.cs, lits, 3);
  CardinalityNetworks::encode_atmostN(t.im, t.cs, lits, 0);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -2, -3, -4}, {-1}, {-2}, {-3}, {-4}}));
  EXPECT_EQ(t.im.top_id, 4);
}

TEST(CardNetworks, Equivalence) {
  for (long long n = 3; n <= 11; ++n)
    for (long long k = 1; k <= n - 2; ++k) {
      Lits lits;
      for (long long i = 1; i <= n; ++i)
        lits.push_back(i % 4 ? i : -i);
      Lits vars = vars_of(lits);
      auto pred = [&](const std::vector<bool> &v) {
        long long c = 0;
        for (long long l : lits)
          c += lit_value(l, vars, v);
        return c <= k;
      };
      Target s(n), c(n);
      SortingNetworks::encode_atmostN(s.im, s.cs, lits, k);
      CardinalityNetworks::encode_atmostN(c.im, c.cs, lits, k);
      EXPECT_TRUE(equivalent(s.clauses(), vars, pred)) << n << " " << k;
      EXPECT_TRUE(equivalent(c.clauses(), vars, pred)) << n << " " << k;
    }
}

TEST(CardNetworks, VectorHelpers) {
  Lits in{1, 2, 3, 4, 5, 6}, out;
  CardUtils::mk_odd_vect(out, in);
  EXPECT_EQ(out, (Lits{1, 3, 5}));
  CardUtils::mk_even_vect(out, in);
  EXPECT_EQ(out, (Lits{2, 4, 6}));
  CardUtils::mk_half_vect(out, in, 3);
  EXPECT_EQ(out, (Lits{4, 5, 6}));
  CardUtils::mk_ksize_vect(out, in, 2, 1);
  EXPECT_EQ(out, (Lits{2, 3}));
  EXPECT_EQ(gmpcmp::flog2(1), 0u);
  EXPECT_EQ(gmpcmp::flog2(1024), 10u);
  EXPECT_EQ(gmpcmp::flog2(1023), 9u);
}
