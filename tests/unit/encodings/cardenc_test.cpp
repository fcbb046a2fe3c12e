// Cardinality dispatch: the special cases and failure messages of every
// code, and exhaustive equivalence of every code and relation over all
// assignments of up to nine input literals, alone and in batches.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <unistd.h>

#include "encodings/cardenc.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;
using CE = Card_CNF_Encodings;

namespace {

const CE kCodes[] = {CE::Pairwise,     CE::BDD,        CE::SeqCounter,
                     CE::SortNetworks, CE::CardNetworks, CE::Bitwise,
                     CE::Ladder};

enum class Rel { AtMost, AtLeast, Equals };

bool is_amo_code(CE c) {
  return c == CE::Pairwise || c == CE::Bitwise || c == CE::Ladder;
}

// Would the dispatch end the run for this code, relation and bound?
bool aborts(CE c, Rel r, long long k) {
  if (k < 0 && r == Rel::AtMost)
    return false;
  if (r == Rel::AtLeast)
    return false;
  if (r == Rel::Equals && c == CE::Ladder)
    return k != 1;
  if (r == Rel::Equals && k < 0)
    return false; // at most k < 0: the empty clause, before the code
  return is_amo_code(c) && k != 1;
}

void encode(Target &t, Lits &lits, long long k, CE c, Rel r) {
  switch (r) {
  case Rel::AtMost:
    cnf_encode_atmostN(t.im, t.cs, lits, k, c);
    break;
  case Rel::AtLeast:
    cnf_encode_atleastN(t.im, t.cs, lits, k, c);
    break;
  case Rel::Equals:
    cnf_encode_equalsN(t.im, t.cs, lits, k, c);
    break;
  }
}

bool holds(long long count, long long k, Rel r) {
  return r == Rel::AtMost ? count <= k : r == Rel::AtLeast ? count >= k : count == k;
}

long long count_true(const Lits &lits, const Lits &vars, const std::vector<bool> &vals) {
  long long c = 0;
  for (long long l : lits)
    c += lit_value(l, vars, vals);
  return c;
}

// Literals over variables 1..n with random signs; sometimes a literal is
// the negation (or a repeat) of an earlier one.
Lits random_lits(std::mt19937_64 &rng, int n) {
  Lits lits;
  for (int i = 0; i < n; ++i) {
    long long l = i + 1;
    if (rng() % 2)
      l = -l;
    if (i > 0 && rng() % 6 == 0)
      l = -lits[rng() % i];
    lits.push_back(l);
  }
  return lits;
}

} // namespace

TEST(CardDispatch, AtMostMinusOneIsTheEmptyClauseForEveryCode) {
  for (CE c : {CE::Pairwise, CE::BDD, CE::SeqCounter, CE::SortNetworks,
               CE::CardNetworks, CE::Bitwise, CE::Ladder, CE::NoEncoderA,
               CE::NoEncoderI}) {
    Target t(5);
    Lits lits{1, 2, 3, 4, 5};
    cnf_encode_atmostN(t.im, t.cs, lits, -1, c);
    EXPECT_EQ(t.clauses(), Clauses{{}});
    EXPECT_EQ(t.im.top_id, 5);
  }
}

TEST(CardDispatch, AtLeastSpecialBounds) {
  Target t(3);
  Lits lits{1, 2, 3};
  cnf_encode_atleastN(t.im, t.cs, lits, 0, CE::Bitwise);
  cnf_encode_atleastN(t.im, t.cs, lits, -7, CE::Ladder);
  cnf_encode_atleastN(t.im, t.cs, lits, LLONG_MIN, CE::Pairwise); // n-k passes 2^63
  EXPECT_TRUE(t.clauses().empty());
  cnf_encode_atleastN(t.im, t.cs, lits, 4, CE::Bitwise);
  EXPECT_EQ(t.clauses(), Clauses{{}});
  EXPECT_EQ(t.im.top_id, 3);
  EXPECT_EQ(lits, (Lits{1, 2, 3}));
}

TEST(CardDispatch, AtLeastIsTheBddOfTheNegatedLiteralsWhateverTheCode) {
  Target a(5), b(5);
  Lits lits{1, 2, 3, 4, 5}, neg{-1, -2, -3, -4, -5};
  cnf_encode_atleastN(a.im, a.cs, lits, 3, CE::Bitwise);
  BDDEquiv::encode_atmostN(b.im, b.cs, neg, 2);
  EXPECT_EQ(a.clauses(), b.clauses());
  EXPECT_EQ(a.im.top_id, b.im.top_id);
  EXPECT_GT(a.im.top_id, 5);
}

TEST(CardDispatch, SharedCasesOfTheAtMostKCodes) {
  for (CE c : {CE::BDD, CE::SeqCounter, CE::SortNetworks, CE::CardNetworks}) {
    Target t(4);
    Lits lits{1, 2, 3, 4};
    cnf_encode_atmostN(t.im, t.cs, lits, 4, c);
    EXPECT_TRUE(t.clauses().empty());
    cnf_encode_atmostN(t.im, t.cs, lits, 3, c);
    EXPECT_EQ(t.clauses(), (Clauses{{-1, -2, -3, -4}}));
    t.cs.clear_direct();
    cnf_encode_atmostN(t.im, t.cs, lits, 0, c);
    EXPECT_EQ(t.clauses(), (Clauses{{-1}, {-2}, {-3}, {-4}}));
    EXPECT_EQ(t.im.top_id, 4);
  }
}

TEST(CardDispatch, ExactlyTwoWithSequentialCounterIsBddThenCounter) {
  Target a(4), b(4);
  Lits lits{1, 2, 3, 4}, neg{-1, -2, -3, -4};
  cnf_encode_equalsN(a.im, a.cs, lits, 2, CE::SeqCounter);
  BDDEquiv::encode_atmostN(b.im, b.cs, neg, 2);
  seqcounter_encode_atmostN(b.im, b.cs, lits, 2);
  EXPECT_EQ(a.clauses(), b.clauses());
  EXPECT_EQ(a.im.top_id, b.im.top_id);
}

TEST(CardDispatch, ExactlyOneWithLadderIsTheLadderExactlyOne) {
  Target a(3), b(3);
  Lits lits{1, 2, 3};
  cnf_encode_equalsN(a.im, a.cs, lits, 1, CE::Ladder);
  ladder_encode_equals1(b.im, b.cs, lits);
  EXPECT_EQ(a.clauses(), b.clauses());
  EXPECT_EQ(a.im.top_id, 5);
  // Exactly one, not at most one: all false is excluded.
  EXPECT_TRUE(equivalent(a.clauses(), {1, 2, 3}, [](const std::vector<bool> &v) {
    return v[0] + v[1] + v[2] == 1;
  }));
}

TEST(CardDispatch, ExactlyOneOfNothingCannotBeMet) {
  Target t(0);
  Lits none;
  cnf_encode_equalsN(t.im, t.cs, none, 1, CE::Ladder);
  EXPECT_EQ(t.clauses(), Clauses{{}});
  Target u(0);
  cnf_encode_equalsN(u.im, u.cs, none, 1, CE::SeqCounter);
  EXPECT_EQ(u.clauses(), Clauses{{}});
}

TEST(CardDispatch, AtMostOneWithEachOneCodeSucceeds) {
  for (CE c : {CE::Pairwise, CE::Bitwise, CE::Ladder, CE::SeqCounter}) {
    Target t(5);
    Lits lits{1, 2, 3, 4, 5};
    cnf_encode_atmostN(t.im, t.cs, lits, 1, c);
    EXPECT_FALSE(t.clauses().empty());
  }
}

// tool_abort writes to standard output; the death tests read standard error.
#define EXPECT_TOOL_ABORT(stmt, msg)                                           \
  EXPECT_EXIT(                                                                 \
      {                                                                        \
        dup2(2, 1);                                                            \
        stmt;                                                                  \
      },                                                                       \
      ::testing::ExitedWithCode(5), "^ERROR: " msg "\n$")

TEST(CardDispatchDeathTest, CodesThatAcceptOnlyOne) {
  Target t(5);
  Lits lits{1, 2, 3, 4, 5};
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, lits, 2, CE::Bitwise),
                    "Unavailable bitwise CNF encoding option");
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, lits, 0, CE::Pairwise),
                    "Unimplemented exponential CNF encoding option");
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, lits, 5, CE::Ladder),
                    "Unavailable ladder CNF encoding option");
  EXPECT_TOOL_ABORT(cnf_encode_equalsN(t.im, t.cs, lits, 2, CE::Ladder),
                    "Unavailable ladder CNF encoding option");
  EXPECT_TOOL_ABORT(cnf_encode_equalsN(t.im, t.cs, lits, 2, CE::Bitwise),
                    "Unavailable bitwise CNF encoding option");
}

TEST(CardDispatchDeathTest, CodesWithoutEncoding) {
  Target t(5);
  Lits lits{1, 2, 3, 4, 5};
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, lits, 1, CE::NoEncoderA),
                    "Unimplemented CNF encoding option");
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, lits, 2, CE::NoEncoderI),
                    "Unimplemented CNF encoding option");
  EXPECT_TOOL_ABORT(
      cnf_encode_atmostN(t.im, t.cs, lits, 2, static_cast<CE>(0xFC99)),
      "Unimplemented CNF encoding option");
}

// Every code, relation, n <= 10 (13 with KESTRANE_ENC_SOAK) and k from -1 to
// n+1: satisfiable with the auxiliary variables free exactly when the
// constraint holds, fresh variables in top+1..new top, caller's data kept.
class CardExhaustive : public ::testing::TestWithParam<CE> {};

TEST_P(CardExhaustive, Equivalence) {
  CE c = GetParam();
  int max_n = soak() ? 13 : 10;
  std::uint64_t seed = 20261207 + static_cast<std::uint64_t>(c);
  std::mt19937_64 rng(seed);
  int checked = 0;
  for (Rel r : {Rel::AtMost, Rel::AtLeast, Rel::Equals})
    for (int n = 0; n <= max_n; ++n)
      for (long long k = -1; k <= n + 1; ++k) {
        if (aborts(c, r, k))
          continue;
        Lits lits = random_lits(rng, n), copy = lits;
        Lits vars = vars_of(lits);
        Target t(n);
        encode(t, lits, k, c, r);
        SCOPED_TRACE(::testing::Message()
                     << "rel " << static_cast<int>(r) << " k " << k << " lits "
                     << show(lits) << " seed " << seed);
        EXPECT_EQ(lits, copy);
        Clauses cls = t.clauses();
        EXPECT_TRUE(vars_in_range(cls, vars, n, t.im.top_id));
        EXPECT_TRUE(fresh_all_used(cls, n, t.im.top_id));
        EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
          return holds(count_true(lits, vars, v), k, r);
        }));
        ++checked;
      }
  EXPECT_GT(checked, 90);
}

INSTANTIATE_TEST_SUITE_P(AllCodes, CardExhaustive, ::testing::ValuesIn(kCodes),
                         [](const ::testing::TestParamInfo<CE> &info) {
                           std::ostringstream out;
                           out << "Code" << std::hex << static_cast<int>(info.param);
                           return out.str();
                         });

// Several constraints over shared variables encoded into one set: the set
// holds exactly when all of them do.
TEST(CardDispatch, BatchesOfConstraints) {
  std::uint64_t seed = 777;
  std::mt19937_64 rng(seed);
  int rounds = soak() ? 400 : 60;
  for (int round = 0; round < rounds; ++round) {
    CE c = kCodes[rng() % 7];
    const int nv = 8;
    Target t(nv);
    struct Cons {
      Lits lits;
      long long k;
      Rel r;
    };
    std::vector<Cons> batch;
    int m = 2 + static_cast<int>(rng() % 3);
    for (int j = 0; j < m; ++j) {
      Cons x;
      int len = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < len; ++i)
        x.lits.push_back((rng() % 2 ? 1 : -1) * static_cast<long long>(1 + rng() % nv));
      x.r = static_cast<Rel>(rng() % 3);
      x.k = static_cast<long long>(rng() % (len + 2)) - (x.r == Rel::AtMost ? 0 : 1);
      if (aborts(c, x.r, x.k))
        x.k = 1;
      encode(t, x.lits, x.k, c, x.r);
      batch.push_back(x);
    }
    Lits vars;
    for (long long v = 1; v <= nv; ++v)
      vars.push_back(v);
    SCOPED_TRACE(::testing::Message() << "round " << round << " seed " << seed);
    Clauses cls = t.clauses();
    EXPECT_TRUE(vars_in_range(cls, vars, nv, t.im.top_id));
    EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
      for (const Cons &x : batch)
        if (!holds(count_true(x.lits, vars, v), x.k, x.r))
          return false;
      return true;
    }));
  }
}
