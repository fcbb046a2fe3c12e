// Pseudo-Boolean dispatch: special cases, the batch protocol, failure
// messages, and exhaustive equivalence of every available code and relation
// over all assignments of the inputs, for random and special weight vectors
// (gcd above one, weights equal to and above k, a literal and its negation,
// weights near 2^62), alone and in batches.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <unistd.h>

#include "encodings/pbenc.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;
using PE = PB_CNF_Encodings;

namespace {

const PE kCodes[] = {PE::BDD,         PE::SortNetworks, PE::Warners,
                     PE::WarnersEquiv, PE::WarnersImpl,  PE::SeqWeightedCounters};

enum class Rel { AtMost, AtLeast, Equals };

void encode(Target &t, Lits &lits, Lits &weights, long long &k, Rel r) {
  switch (r) {
  case Rel::AtMost:
    cnf_encode_atmostN(t.im, t.cs, lits, weights, k);
    break;
  case Rel::AtLeast:
    cnf_encode_atleastN(t.im, t.cs, lits, weights, k);
    break;
  case Rel::Equals:
    cnf_encode_equalsN(t.im, t.cs, lits, weights, k);
    break;
  }
}

bool holds(__int128 s, long long k, Rel r) {
  return r == Rel::AtMost ? s <= k : r == Rel::AtLeast ? s >= k : s == k;
}

__int128 wide_weighted_sum(const Lits &lits, const Lits &weights, const Lits &vars,
                           const std::vector<bool> &vals) {
  __int128 s = 0;
  for (std::size_t i = 0; i < lits.size(); ++i)
    if (lit_value(lits[i], vars, vals))
      s += weights[i];
  return s;
}

// Bounds worth checking for a weight vector: around 0, every weight, the
// sum, and a few others.
std::vector<long long> bounds_for(const Lits &w, std::mt19937_64 &rng, bool all) {
  __int128 s = 0;
  for (long long x : w)
    s += x;
  std::vector<long long> ks{-1, 0, 1};
  if (s <= LLONG_MAX) {
    long long ss = static_cast<long long>(s);
    ks.insert(ks.end(), {ss - 1, ss, ss + 1, ss / 2});
    if (all)
      for (long long k = 2; k < ss - 1; ++k)
        ks.push_back(k);
    else
      for (int i = 0; i < 4 && ss > 2; ++i)
        ks.push_back(2 + static_cast<long long>(rng() % static_cast<unsigned long long>(ss - 2)));
  }
  for (long long x : w) {
    ks.push_back(x);
    if (x > LLONG_MIN)
      ks.push_back(x - 1);
    if (x < LLONG_MAX)
      ks.push_back(x + 1);
  }
  std::sort(ks.begin(), ks.end());
  ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
  return ks;
}

Lits random_lits(std::mt19937_64 &rng, int n) {
  Lits lits;
  for (int i = 0; i < n; ++i) {
    long long l = (rng() % 2 ? 1 : -1) * static_cast<long long>(i + 1);
    if (i > 0 && rng() % 6 == 0)
      l = -lits[rng() % i]; // a variable and its negation
    lits.push_back(l);
  }
  return lits;
}

// Weight vectors of one kind.
Lits make_weights(std::mt19937_64 &rng, int n, int kind) {
  Lits w(n);
  for (int i = 0; i < n; ++i) {
    switch (kind) {
    case 0: // small random
      w[i] = 1 + static_cast<long long>(rng() % 9);
      break;
    case 1: // common factor 3 or 6
      w[i] = (i % 2 ? 3 : 6) * (1 + static_cast<long long>(rng() % 5));
      break;
    case 2: // powers of two
      w[i] = 1LL << (rng() % 5);
      break;
    case 3: // all equal
      w[i] = 4;
      break;
    case 4: // wide spread
      w[i] = 1 + static_cast<long long>(rng() % 60);
      break;
    case 5: // near 2^62: sums pass 2^63
      w[i] = (1LL << 62) + static_cast<long long>(rng() % 3);
      break;
    default: // some weights of 0
      w[i] = static_cast<long long>(rng() % 4);
      break;
    }
  }
  return w;
}

// The encodings that work on the complement (at least for the adders and
// counters, at most for the sorting networks) end the run when sum - k does
// not fit 64 bits; the death tests cover that.
bool complement_too_wide(PE code, const Lits &w, long long k, Rel r) {
  __int128 s = 0;
  for (long long x : w)
    s += x;
  if (k <= 0 || s - k <= LLONG_MAX)
    return false;
  bool sorting = code == PE::SortNetworks;
  return sorting ? r != Rel::AtLeast : r != Rel::AtMost;
}

struct Case {
  Lits lits, weights;
  long long k;
  Rel r;
};

void check_case(PE code, Case c, const std::string &ctx) {
  SCOPED_TRACE(ctx);
  initializePB(code);
  Lits vars = vars_of(c.lits);
  long long top = 0;
  for (long long v : vars)
    top = std::max(top, v);
  Target t(top);
  Lits lits = c.lits, weights = c.weights;
  long long k = c.k;
  encode(t, lits, weights, k, c.r);
  finalizePB(t.im, t.cs);
  EXPECT_EQ(lits, c.lits);
  EXPECT_EQ(weights, c.weights);
  EXPECT_EQ(k, c.k);
  Clauses cls = t.clauses();
  EXPECT_TRUE(vars_in_range(cls, vars, top, t.im.top_id));
  EXPECT_TRUE(fresh_all_used(cls, top, t.im.top_id));
  EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
    return holds(wide_weighted_sum(c.lits, c.weights, vars, v), c.k, c.r);
  }));
}

std::string describe(PE code, const Case &c, std::uint64_t seed) {
  std::ostringstream out;
  out << "code " << static_cast<int>(code) << " rel " << static_cast<int>(c.r)
      << " k " << c.k << " lits " << show(c.lits) << " weights "
      << show(c.weights) << " seed " << seed;
  return out.str();
}

} // namespace

TEST(PBDispatch, AtMostBelowZeroIsTheEmptyClauseWhateverTheCode) {
  for (int code : {1, 2, 3, 4, 5, 6, 0, 9}) {
    currentEnc = code;
    Target t(3);
    Lits lits{1, 2, 3}, w{1, 2, 3};
    long long k = -1;
    cnf_encode_atmostN(t.im, t.cs, lits, w, k);
    EXPECT_EQ(t.clauses(), Clauses{{}});
    EXPECT_EQ(t.im.top_id, 3);
  }
}

TEST(PBDispatch, AtLeastAboveTheSumIsTheEmptyClause) {
  for (PE code : kCodes) {
    initializePB(code);
    Target t(3);
    Lits lits{1, 2, 3}, w{1, 2, 3}, none;
    long long k = 7, one = 1;
    cnf_encode_atleastN(t.im, t.cs, lits, w, k);
    EXPECT_EQ(t.clauses(), Clauses{{}});
    Target u(3);
    cnf_encode_atleastN(u.im, u.cs, none, none, one);
    EXPECT_EQ(u.clauses(), Clauses{{}});
    finalizePB(t.im, t.cs);
  }
}

TEST(PBDispatch, AtLeastIsAtMostOfTheNegationsForAdderAndCounterCodes) {
  for (PE code : {PE::Warners, PE::WarnersEquiv, PE::WarnersImpl,
                  PE::SeqWeightedCounters}) {
    initializePB(code);
    Target a(4), b(4);
    Lits lits{1, -2, 3, 4}, neg{-1, 2, -3, -4}, w{2, 3, 4, 5};
    long long k = 6, bound = 14 - 6;
    cnf_encode_atleastN(a.im, a.cs, lits, w, k);
    cnf_encode_atmostN(b.im, b.cs, neg, w, bound);
    EXPECT_EQ(a.clauses(), b.clauses());
    EXPECT_EQ(a.im.top_id, b.im.top_id);
    // k = 0: bound equal to the sum, nothing; k = sum: none of the negations.
    Target c(4), d(4);
    long long zero = 0, sum = 14;
    cnf_encode_atleastN(c.im, c.cs, lits, w, zero);
    EXPECT_TRUE(c.clauses().empty());
    cnf_encode_atleastN(d.im, d.cs, lits, w, sum);
    EXPECT_EQ(d.clauses(), (Clauses{{1}, {-2}, {3}, {4}}));
  }
}

TEST(PBDispatch, SortingNetworkBatchSharesTheFixedVariables) {
  initializePB(PE::SortNetworks);
  Target t(6);
  Lits a{1, 2, 3, 4, 5}, wa{1, 1, 1, 1, 1}, b{2, 3, 4, 5, 6}, wb{1, 1, 1, 1, 1};
  long long k1 = 2, k2 = 2;
  cnf_encode_atmostN(t.im, t.cs, a, wa, k1);
  ASSERT_NE(*PBSortingNetworks::falsevar, 0);
  long long fv = *PBSortingNetworks::falsevar;
  cnf_encode_equalsN(t.im, t.cs, b, wb, k2);
  EXPECT_EQ(*PBSortingNetworks::falsevar, fv);
  int units_of_fv = 0;
  for (const auto &c : t.clauses())
    units_of_fv += c == Lits{-fv};
  EXPECT_EQ(units_of_fv, 1);
  finalizePB(t.im, t.cs);
  EXPECT_EQ(PBSortingNetworks::truevar, nullptr);
  EXPECT_EQ(PBSortingNetworks::falsevar, nullptr);
}

TEST(PBDispatch, SortingNetworkAtLeastZeroOrBelowAddsNothing) {
  // At least k <= 0 always holds; it must not reach the gcd scaling.
  for (long long k : {0LL, -1LL, -100LL, LLONG_MIN}) {
    initializePB(PE::SortNetworks);
    Target t(3);
    Lits lits{1, 2, 3}, w{2, 4, 6};
    cnf_encode_atleastN(t.im, t.cs, lits, w, k);
    EXPECT_TRUE(t.clauses().empty());
    EXPECT_EQ(t.im.top_id, 3);
    finalizePB(t.im, t.cs);
  }
}

TEST(PBDispatch, SelfContainedFormsFinaliseAndKeepTheCode) {
  Target t(4);
  Lits lits{1, 2, 3, 4}, w{3, 3, 2, 1};
  long long k = 3;
  cnf_encode_atleastN(t.im, t.cs, lits, w, k, PE::SortNetworks);
  EXPECT_EQ(currentEnc, 2);
  EXPECT_EQ(PBSortingNetworks::truevar, nullptr);
  cnf_encode_atmostN(t.im, t.cs, lits, w, k, PE::WarnersImpl);
  EXPECT_EQ(currentEnc, 5);
  EXPECT_FALSE(WarnersOptEnc::use_equiv);
  cnf_encode_equalsN(t.im, t.cs, lits, w, k, PE::WarnersEquiv);
  EXPECT_TRUE(WarnersOptEnc::use_equiv);
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2, 3, 4}, [&](const std::vector<bool> &v) {
    return weighted_sum(lits, w, {1, 2, 3, 4}, v) == 3;
  }));
}

TEST(PBDispatch, BddBatchReachesTheSetOnlyAtFinalise) {
  Target t(4);
  Lits lits{1, 2, 3, 4}, w{2, 3, 4, 5};
  long long k = 6;
  initializePB(PE::BDD);
  cnf_encode_atmostN(t.im, t.cs, lits, w, k);
  EXPECT_TRUE(t.clauses().empty());
  finalizePB(t.im, t.cs);
  EXPECT_EQ(PBBDDs::translator, nullptr);
  Target u(4);
  cnf_encode_atleastN(u.im, u.cs, lits, w, k, PE::BDD);
  EXPECT_EQ(PBBDDs::translator, nullptr);
  for (BasicClause *c : u.cs)
    EXPECT_TRUE(u.cs.is_hard(c));
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2, 3, 4}, [&](const std::vector<bool> &v) {
    return weighted_sum(lits, w, {1, 2, 3, 4}, v) <= 6;
  }));
  EXPECT_TRUE(equivalent(u.clauses(), {1, 2, 3, 4}, [&](const std::vector<bool> &v) {
    return weighted_sum(lits, w, {1, 2, 3, 4}, v) >= 6;
  }));
}

TEST(PBDispatch, SumsBeyond64BitsAreExact) {
  // Three weights of 2^62 sum past 2^63: at most 2^63-1 still forbids all
  // three. (The BDD code's translator refuses such constants.)
  for (PE code : kCodes) {
    if (code == PE::BDD)
      continue;
    initializePB(code);
    Target t(3);
    Lits lits{1, 2, 3}, w{1LL << 62, 1LL << 62, 1LL << 62};
    long long k = LLONG_MAX;
    cnf_encode_atmostN(t.im, t.cs, lits, w, k);
    finalizePB(t.im, t.cs);
    EXPECT_TRUE(equivalent(t.clauses(), {1, 2, 3}, [](const std::vector<bool> &v) {
      return v[0] + v[1] + v[2] <= 1;
    })) << "code " << static_cast<int>(code);
  }
}

#define EXPECT_TOOL_ABORT(stmt, msg)                                           \
  EXPECT_EXIT(                                                                 \
      {                                                                        \
        dup2(2, 1);                                                            \
        stmt;                                                                  \
      },                                                                       \
      ::testing::ExitedWithCode(5), "^ERROR: " msg "\n$")

// A bound past the range ends the run like every other sum past it.
#define EXPECT_BEYOND_64_BITS(stmt)                                            \
  EXPECT_EXIT(                                                                 \
      {                                                                        \
        dup2(2, 1);                                                            \
        stmt;                                                                  \
      },                                                                       \
      ::testing::ExitedWithCode(3),                                            \
      "ERROR: Pseudo-Boolean constraint beyond the 64-bit range\n$")

TEST(PBDispatchDeathTest, UnknownCodes) {
  EXPECT_TOOL_ABORT(initializePB(static_cast<PE>(7)),
                    "Unimplemented CNF PB encoding option");
  EXPECT_TOOL_ABORT(initializePB(static_cast<PE>(0)),
                    "Unimplemented CNF PB encoding option");
  Target t(3);
  Lits lits{1, 2, 3}, w{1, 2, 3};
  long long k = 2;
  EXPECT_TOOL_ABORT(
      {
        currentEnc = 0;
        cnf_encode_atmostN(t.im, t.cs, lits, w, k);
      },
      "Unimplemented CNF PB encoding option");
  EXPECT_TOOL_ABORT(
      {
        currentEnc = 8;
        cnf_encode_atleastN(t.im, t.cs, lits, w, k);
      },
      "Unimplemented CNF PB encoding option");
}

TEST(PBDispatchDeathTest, BoundsThatDoNotFit64Bits) {
  // At least 1 over three weights near 2^63: the complement bound of the
  // adder codes does not fit 64 bits.
  Target t(3);
  Lits lits{1, 2, 3}, w{LLONG_MAX, LLONG_MAX, LLONG_MAX};
  long long k = 1;
  EXPECT_BEYOND_64_BITS(cnf_encode_atleastN(t.im, t.cs, lits, w, k, PE::Warners));
  EXPECT_BEYOND_64_BITS(
      cnf_encode_atmostN(t.im, t.cs, lits, w, k, PE::SortNetworks));
  Lits two{1, 2};
  EXPECT_TOOL_ABORT(cnf_encode_atmostN(t.im, t.cs, two, w, k, PE::Warners),
                    "Pseudo-Boolean constraint with unequal numbers of literals "
                    "and weights");
  Lits negw{3, -2, 1};
  EXPECT_TOOL_ABORT(cnf_encode_atleastN(t.im, t.cs, lits, negw, k, PE::Warners),
                    "Pseudo-Boolean constraint with a negative weight");
}

// Every code and relation on weight vectors of every kind, n up to 7 with
// every bound and up to 10 with sampled bounds; one test per code.
class PBExhaustive : public ::testing::TestWithParam<PE> {};

TEST_P(PBExhaustive, Equivalence) {
  PE code = GetParam();
  std::uint64_t seed = 4242 + static_cast<std::uint64_t>(code);
  std::mt19937_64 rng(seed);
  int vectors_per_n = soak() ? 28 : 7;
  int checked = 0;
  for (int n = 0; n <= 10; ++n) {
    int reps = n <= 7 ? vectors_per_n : (soak() ? 8 : 2);
    for (int rep = 0; rep < reps; ++rep) {
      int kind = (rep + n) % 7;
      Lits lits = random_lits(rng, n), w = make_weights(rng, n, kind);
      bool all_k = n <= 5 && kind != 5;
      // Registers of k variables are not for k near 2^62, and the
      // translator of the BDD code refuses such constants.
      if ((code == PE::SeqWeightedCounters || code == PE::BDD) && kind == 5)
        continue;
      for (long long k : bounds_for(w, rng, all_k))
        for (Rel r : {Rel::AtMost, Rel::AtLeast, Rel::Equals}) {
          if (n >= 8 && rng() % 4 != 0)
            continue;
          if (complement_too_wide(code, w, k, r))
            continue;
          Case c{lits, w, k, r};
          check_case(code, c, describe(code, c, seed));
          ++checked;
        }
    }
  }
  EXPECT_GT(checked, 500);
}

INSTANTIATE_TEST_SUITE_P(AllCodes, PBExhaustive, ::testing::ValuesIn(kCodes),
                         [](const ::testing::TestParamInfo<PE> &info) {
                           return "Code" + std::to_string(static_cast<int>(info.param));
                         });

// Specific shapes: one weight equal to k among smaller ones, weights above
// k, a literal next to its negation, and a gcd that rounds k.
TEST(PBDispatch, SpecialWeightVectors) {
  std::vector<Case> cases = {
      {{1, 2, 3, 4}, {3, 3, 2, 1}, 3, Rel::AtLeast},
      {{1, 2, 3}, {3, 3, 1}, 3, Rel::AtLeast},
      {{1, 2}, {2, 2}, 4, Rel::AtLeast},
      {{1, 2, 3}, {5, 1, 1}, 5, Rel::AtLeast},
      {{1, 2, 3}, {3, 3, 1}, 3, Rel::AtMost},
      {{1, 2, 3}, {1, 4, 4}, 5, Rel::AtMost},
      {{1, 2, 3}, {1, 2, 4}, 4, Rel::AtMost},
      {{1, 2, 3}, {4, 6, 8}, 9, Rel::AtMost},
      {{1, 2}, {5, 3}, 4, Rel::AtMost},
      {{1, -1, 2, -2}, {3, 5, 2, 7}, 8, Rel::AtMost},
      {{1, -1, 2, -2}, {3, 5, 2, 7}, 8, Rel::AtLeast},
      {{1, -1, 2, -2}, {3, 5, 2, 7}, 10, Rel::Equals},
      {{1, 2, 3, 4, 5}, {9, 9, 9, 1, 1}, 9, Rel::AtMost},
      {{1, 2, 3, 4, 5}, {20, 30, 40, 7, 3}, 10, Rel::AtMost},
      {{1, 2, 3, 4, 5}, {6, 10, 15, 12, 9}, 25, Rel::Equals},
      // Weights of 0 count for nothing.
      {{1, 2, 3}, {0, 2, 3}, 2, Rel::AtMost},
      {{1, 2, 3}, {0, 2, 3}, 3, Rel::AtLeast},
      {{1, 2, 3, 4}, {0, 2, 3, 0}, 5, Rel::Equals},
  };
  for (const Case &c : cases)
    for (PE code : kCodes)
      check_case(code, c, describe(code, c, 0));
}

// Several constraints of one code encoded between one initialise and one
// finalise, over shared variables.
TEST(PBDispatch, BatchesOfConstraints) {
  std::uint64_t seed = 99;
  std::mt19937_64 rng(seed);
  int rounds = soak() ? 300 : 40;
  for (int round = 0; round < rounds; ++round) {
    PE code = kCodes[round % 6];
    initializePB(code);
    const int nv = 7;
    Target t(nv);
    std::vector<Case> batch;
    int m = 2 + static_cast<int>(rng() % 3);
    for (int j = 0; j < m; ++j) {
      Case c;
      int len = 1 + static_cast<int>(rng() % 5);
      long long s = 0;
      for (int i = 0; i < len; ++i) {
        c.lits.push_back((rng() % 2 ? 1 : -1) * static_cast<long long>(1 + rng() % nv));
        c.weights.push_back(1 + static_cast<long long>(rng() % 7));
        s += c.weights.back();
      }
      c.k = static_cast<long long>(rng() % static_cast<unsigned long long>(s + 2)) - 1;
      c.r = static_cast<Rel>(rng() % 3);
      encode(t, c.lits, c.weights, c.k, c.r);
      batch.push_back(c);
    }
    finalizePB(t.im, t.cs);
    Lits vars;
    for (long long v = 1; v <= nv; ++v)
      vars.push_back(v);
    SCOPED_TRACE(::testing::Message() << "round " << round << " code "
                                      << static_cast<int>(code) << " seed " << seed);
    Clauses cls = t.clauses();
    EXPECT_TRUE(vars_in_range(cls, vars, nv, t.im.top_id));
    EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
      for (const Case &c : batch)
        if (!holds(wide_weighted_sum(c.lits, c.weights, vars, v), c.k, c.r))
          return false;
      return true;
    }));
  }
}
