// Optimised Warners encoding: exact small circuits (weights equal to k, a
// constant bit in the total, a total made of the literals themselves), the
// trivial cases, and the two forms' shared variables.
#include <gtest/gtest.h>

#include "encodings/warnersoptenc.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

namespace {
void encode(Target &t, Lits lits, Lits w, long long k, bool equiv) {
  WarnersOptEnc::use_equiv = equiv;
  WarnersOptEnc::encode_atmostN(t.im, t.cs, lits, w, k);
}
} // namespace

TEST(WarnersOptEnc, LiteralsOfWeightKShareOneVariable) {
  Target t(3);
  encode(t, {1, 2, 3}, {3, 3, 1}, 3, true);
  Clauses want = {{-1, 5}, {-2, -5}, {-2, 6}, {-5, 6}, {4, -6}, // at most one of 1, 2, -y
                  {7, 3, -4}, {7, -3, 4}, {-7, -3, -4}, {-7, 3, 4},
                  {8, -3, -4}, {-8, 3}, {-8, 4},                 // bit 0 of l3 + 3y
                  {9, 4, -8}, {9, -4, 8}, {-9, -4, -8}, {-9, 4, 8},
                  {10, -4, -8}, {-10, 4}, {-10, 8},              // bit 1
                  {-10}};                                        // bit 2 (the top carry)
  EXPECT_EQ(t.clauses(), sorted(want));
  EXPECT_EQ(t.im.top_id, 10);
  Target u(3);
  encode(u, {1, 2, 3}, {3, 3, 1}, 3, false);
  Clauses want_impl = {{-1, 5}, {-2, -5}, {-2, 6}, {-5, 6}, {4, -6},
                       {7, 3, -4}, {7, -3, 4}, {8, -3, -4},
                       {9, 4, -8}, {9, -4, 8}, {10, -4, -8}, {-10}};
  EXPECT_EQ(u.clauses(), sorted(want_impl));
  EXPECT_EQ(u.im.top_id, 10);
}

TEST(WarnersOptEnc, ConstantBitsEnterNoClause) {
  Target t(3);
  encode(t, {1, 2, 3}, {1, 4, 4}, 5, true);
  // S = (1, zero, s, co) with s = 4, co = 5 over literals 2 and 3.
  Clauses want = {{4, 2, -3}, {4, -2, 3}, {-4, -2, -3}, {-4, 2, 3},
                  {5, -2, -3}, {-5, 2}, {-5, 3}, {-5}};
  EXPECT_EQ(t.clauses(), sorted(want));
  EXPECT_EQ(t.im.top_id, 5);
}

TEST(WarnersOptEnc, TotalOfTheLiteralsThemselves) {
  Target t(3);
  encode(t, {1, 2, 3}, {1, 2, 4}, 4, true);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -3}, {-2, -3}}));
  EXPECT_EQ(t.im.top_id, 3);
}

TEST(WarnersOptEnc, TrivialCases) {
  Target a(3), b(3), c(3);
  encode(a, {1, 2, 3}, {2, 3, 4}, 8, true);
  EXPECT_EQ(a.clauses(), (Clauses{{-1, -2, -3}}));
  encode(b, {1, 2, 3}, {2, 3, 4}, 0, true);
  EXPECT_EQ(b.clauses(), (Clauses{{-1}, {-2}, {-3}}));
  encode(c, {1, 2, 3}, {2, 3, 4}, 9, true);
  encode(c, {1, 2, 3}, {2, 3, 4}, 100, true);
  EXPECT_TRUE(c.clauses().empty());
}

TEST(WarnersOptEnc, BothFormsTakeTheSameVariables) {
  Lits lits{1, -2, 3, 4, -5, 6}, w{3, 5, 7, 2, 9, 4};
  for (long long k = 1; k < 30; ++k) {
    Target a(6), b(6);
    encode(a, lits, w, k, true);
    encode(b, lits, w, k, false);
    EXPECT_EQ(a.im.top_id, b.im.top_id) << k;
    EXPECT_GE(a.cs.size(), b.cs.size()) << k;
    Lits vars = vars_of(lits);
    auto pred = [&](const std::vector<bool> &v) {
      return weighted_sum(lits, w, vars, v) <= k;
    };
    EXPECT_TRUE(equivalent(a.clauses(), vars, pred)) << k;
    EXPECT_TRUE(equivalent(b.clauses(), vars, pred)) << k;
  }
}

TEST(WarnersOptEnc, NameIndexRecords) {
  VarNamesIndex idx;
  EXPECT_EQ(idx.peekValue(0, 1, 0), -1);
  EXPECT_EQ(idx.getValue(0, 1, 0, false), -1); // created as not set
  idx.setValue(0, 1, 1, false, 0);
  EXPECT_EQ(idx.peekValue(0, 1, 1), 0);
  idx.setName(0, 1, 2, true, -17);
  EXPECT_EQ(idx.getValue(0, 1, 2, true), 2);
  EXPECT_EQ(idx.getName(0, 1, 2, true), -17);
  EXPECT_EQ(idx.peekValue(0, 1, 2), -1); // side false untouched
}
