// Sequential counter for at most k: the exact clauses of at most two of
// four, counts, the shared cases and disjoint variables per call.
#include <gtest/gtest.h>

#include <unistd.h>

#include "encodings/seqcounter.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

TEST(SeqCounter, AtMostTwoOfFour) {
  Target t(4);
  Lits lits{1, 2, 3, 4};
  seqcounter_encode_atmostN(t.im, t.cs, lits, 2);
  EXPECT_EQ(t.clauses(),
            sorted({{-1, 5}, {-6}, {-2, 7}, {-5, 7}, {-2, -5, 8}, {-6, 8}, {-2, -6},
                    {-3, 9}, {-7, 9}, {-3, -7, 10}, {-8, 10}, {-3, -8}, {-4, -10}}));
  EXPECT_EQ(t.im.top_id, 10);
  EXPECT_EQ(lits, (Lits{1, 2, 3, 4}));
}

TEST(SeqCounter, CountsAndEquivalence) {
  for (long long n = 3; n <= 9; ++n)
    for (long long k = 1; k <= n - 2; ++k) {
      Lits lits;
      for (long long i = 1; i <= n; ++i)
        lits.push_back(i % 2 ? i : -i);
      Target t(n);
      seqcounter_encode_atmostN(t.im, t.cs, lits, k);
      EXPECT_EQ(t.im.top_id - n, (n - 1) * k);
      EXPECT_EQ(static_cast<long long>(t.cs.size()), k + 1 + (n - 2) * (2 * k + 1));
      Lits vars = vars_of(lits);
      EXPECT_TRUE(equivalent(t.clauses(), vars, [&](const std::vector<bool> &v) {
        long long c = 0;
        for (long long l : lits)
          c += lit_value(l, vars, v);
        return c <= k;
      }));
    }
}

TEST(SeqCounter, SharedCasesTakeNoVariable) {
  Target t(4);
  Lits lits{1, 2, 3, 4};
  seqcounter_encode_atmostN(t.im, t.cs, lits, 4);
  seqcounter_encode_atmostN(t.im, t.cs, lits, 9);
  EXPECT_EQ(t.cs.size(), 0u);
  seqcounter_encode_atmostN(t.im, t.cs, lits, 3);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -2, -3, -4}}));
  seqcounter_encode_atmostN(t.im, t.cs, lits, 0);
  EXPECT_EQ(t.cs.size(), 5u);
  EXPECT_EQ(t.im.top_id, 4);
}

TEST(SeqCounter, TwoCallsTakeDisjointVariables) {
  Target t(5);
  Lits lits{1, 2, 3, 4, 5};
  seqcounter_encode_atmostN(t.im, t.cs, lits, 2);
  long long first = t.im.top_id;
  std::size_t clauses = t.cs.size();
  seqcounter_encode_atmostN(t.im, t.cs, lits, 2);
  EXPECT_EQ(t.im.top_id - first, first - 5);
  EXPECT_EQ(t.cs.size(), 2 * clauses - 0); // no clause in common
}

TEST(SeqCounter, MakeYVarCreatesOnFirstMention) {
  IDManager im;
  im.top_id = 10;
  LIntPairVarMap map;
  EXPECT_EQ(CardUtils::mk_yvar(im, map, std::pair<int, int>(1, 1)), 11);
  EXPECT_EQ(CardUtils::mk_yvar(im, map, std::pair<long long, long long>(1, 1)), 11);
  EXPECT_EQ(CardUtils::mk_yvar(im, map, std::pair<long long, long long>(0, 7)), 12);
  EXPECT_EQ(CardUtils::mk_yvar(im, map, std::pair<int, int>(-1, 3)), 13);
  EXPECT_EQ(im.top_id, 13);
}

// At most k of n literals is refused before anything is built: the
// registers need more variables than the engines address, or 8 * 10^8 of
// them (in range) need 1.6 * 10^9 clauses, more than the machine holds.
TEST(SeqCounterDeathTest, SizesBeyondTheEnginesOrTheMachineEndTheRun) {
  struct Case {
    long long n, k;
    const char *message;
  };
  for (const Case &c :
       {Case{70000, 40000, "more variables than the SAT engines address"},
        Case{40000, 20000, "more memory than the machine has"}}) {
    Target t(c.n);
    Lits lits;
    for (long long i = 1; i <= c.n; ++i)
      lits.push_back(i);
    EXPECT_EXIT(
        {
          dup2(2, 1);
          seqcounter_encode_atmostN(t.im, t.cs, lits, c.k);
        },
        ::testing::ExitedWithCode(5),
        std::string("^ERROR: Encoding needs ") + c.message + "\n$");
  }
}
