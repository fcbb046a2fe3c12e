// BDD cardinality encoding: the exact clauses of at most one of three, node
// count bounds, shared cases and equivalence.
#include <gtest/gtest.h>

#include <unistd.h>

#include "encodings/bddequiv.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

TEST(BDDEquiv, AtMostOneOfThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  BDDEquiv::encode_atmostN(t.im, t.cs, lits, 1);
  EXPECT_EQ(t.clauses(),
            sorted({{3, 4}, {-3, -4}, {4, -5}, {-2, -5}, {-4, 2, 5}, {-4, 6}, {2, 6},
                    {4, -2, -6}, {-1, 5, -7}, {-1, -5, 7}, {1, 6, -7}, {1, -6, 7},
                    {7, -6, -5}, {-7, 6, 5}, {7}}));
  EXPECT_EQ(t.im.top_id, 7);
}

TEST(BDDEquiv, NodesAndEquivalence) {
  for (long long n = 3; n <= 10; ++n)
    for (long long k = 1; k <= n - 2; ++k) {
      Lits lits;
      for (long long i = 1; i <= n; ++i)
        lits.push_back(i % 3 ? -i : i);
      Target t(n);
      BDDEquiv::encode_atmostN(t.im, t.cs, lits, k);
      // One node per (m, j) with max(0, k-n+m+1) <= j <= min(k, m).
      long long nodes = 0;
      for (long long m = 0; m < n; ++m)
        nodes += std::max(0LL, std::min(k, m) - std::max(0LL, k - n + m + 1) + 1);
      EXPECT_EQ(t.im.top_id - n, nodes);
      EXPECT_LE(static_cast<long long>(t.cs.size()), 6 * nodes + 1);
      Lits vars = vars_of(lits);
      EXPECT_TRUE(equivalent(t.clauses(), vars, [&](const std::vector<bool> &v) {
        long long c = 0;
        for (long long l : lits)
          c += lit_value(l, vars, v);
        return c <= k;
      }));
    }
}

TEST(BDDEquiv, SharedCases) {
  Target t(3);
  Lits lits{1, 2, 3};
  BDDEquiv::encode_atmostN(t.im, t.cs, lits, 3);
  EXPECT_EQ(t.cs.size(), 0u);
  BDDEquiv::encode_atmostN(t.im, t.cs, lits, 2);
  BDDEquiv::encode_atmostN(t.im, t.cs, lits, 0);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -2, -3}, {-1}, {-2}, {-3}}));
  EXPECT_EQ(t.im.top_id, 3);
}

TEST(BDDEquivDeathTest, MoreVariablesThanTheEnginesAddressEndTheRun) {
  Target t(100000);
  Lits lits;
  for (long long i = 1; i <= 100000; ++i)
    lits.push_back(-i);
  EXPECT_EXIT(
      {
        dup2(2, 1);
        BDDEquiv::encode_atmostN(t.im, t.cs, lits, 50000);
      },
      ::testing::ExitedWithCode(5),
      "^ERROR: Encoding needs more variables than the SAT engines address\n$");
}
