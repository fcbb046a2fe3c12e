// The BDD pseudo-Boolean encoding (code 1) through the translator bridge:
// exhaustive equivalence through the dispatch over all assignments of up to
// ten input literals for every relation, batches of constraints translated
// together, and the bridge's own steps (literal naming and mapping, copying
// clauses back as hard clauses, duplicate and vacuous literals).
#include <gtest/gtest.h>

#include <random>
#include <unistd.h>

#include "encodings/pbcons.hpp"
#include "encodings/pbenc.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

namespace {

enum class Rel { AtMost, AtLeast, Equals };

bool holds(long long s, long long k, Rel r) {
  return r == Rel::AtMost ? s <= k : r == Rel::AtLeast ? s >= k : s == k;
}

// Self-contained form: a fresh translator, the constraint, the translation.
void encode_one(Target &t, Lits &lits, Lits &w, long long k, Rel r) {
  switch (r) {
  case Rel::AtMost:
    cnf_encode_atmostN(t.im, t.cs, lits, w, k, PB_CNF_Encodings::BDD);
    break;
  case Rel::AtLeast:
    cnf_encode_atleastN(t.im, t.cs, lits, w, k, PB_CNF_Encodings::BDD);
    break;
  case Rel::Equals:
    cnf_encode_equalsN(t.im, t.cs, lits, w, k, PB_CNF_Encodings::BDD);
    break;
  }
}

// Inside an open batch (current encoding 1).
void encode_in_batch(Target &t, Lits &lits, Lits &w, long long k, Rel r) {
  switch (r) {
  case Rel::AtMost:
    cnf_encode_atmostN(t.im, t.cs, lits, w, k);
    break;
  case Rel::AtLeast:
    cnf_encode_atleastN(t.im, t.cs, lits, w, k);
    break;
  case Rel::Equals:
    cnf_encode_equalsN(t.im, t.cs, lits, w, k);
    break;
  }
}

// Literals over variables 1..n with random signs; now and then the
// negation or a repeat of an earlier literal.
Lits random_lits(std::mt19937_64 &rng, int n) {
  Lits lits;
  for (int i = 0; i < n; ++i) {
    long long l = (rng() % 2 ? 1 : -1) * static_cast<long long>(i + 1);
    if (i > 0 && rng() % 7 == 0)
      l = (rng() % 2 ? 1 : -1) * lits[rng() % i];
    lits.push_back(l);
  }
  return lits;
}

Lits random_weights(std::mt19937_64 &rng, int n, long long maxw) {
  Lits w;
  for (int i = 0; i < n; ++i)
    w.push_back(1 + static_cast<long long>(rng() % maxw));
  return w;
}

void check_one(Lits lits, Lits w, long long k, Rel r,
               const std::string &where) {
  SCOPED_TRACE(::testing::Message()
               << where << " rel " << static_cast<int>(r) << " k " << k
               << " lits " << show(lits) << " weights " << show(w));
  Lits vars = vars_of(lits);
  long long top = 0;
  for (long long v : vars)
    top = std::max(top, v);
  Target t(top);
  Lits lc = lits, wc = w;
  encode_one(t, lits, w, k, r);
  EXPECT_EQ(lits, lc);
  EXPECT_EQ(w, wc);
  EXPECT_EQ(PBBDDs::translator, nullptr);
  Clauses cls = t.clauses();
  for (BasicClause *c : t.cs)
    EXPECT_TRUE(t.cs.is_hard(c));
  EXPECT_TRUE(vars_in_range(cls, vars, top, t.im.top_id));
  EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
    return holds(weighted_sum(lits, w, vars, v), k, r);
  }));
}

} // namespace

// Every relation, n <= 10 inputs, weights up to 9 (and a wide weight now and
// then), bounds from -1 to the sum + 1 (sampled for large sums).
TEST(PbBddEncoding, ExhaustiveEquivalenceThroughTheDispatch) {
  int max_n = soak() ? 12 : 10;
  std::uint64_t seed = 4125;
  std::mt19937_64 rng(seed);
  int checked = 0;
  for (Rel r : {Rel::AtMost, Rel::AtLeast, Rel::Equals})
    for (int n = 0; n <= max_n; ++n)
      for (int rep = 0; rep < (n <= 6 ? 6 : 4); ++rep) {
        Lits lits = random_lits(rng, n);
        Lits w = random_weights(rng, n, n < 8 ? 9 : 5);
        if (n > 2 && rng() % 5 == 0)
          w[rng() % n] = 1LL << 40;
        long long s = 0;
        for (long long x : w)
          s += x;
        std::vector<long long> ks{-1, 0, 1, s - 1, s, s + 1};
        for (int j = 0; j < 6; ++j)
          ks.push_back(static_cast<long long>(rng() % (s + 1)));
        for (long long k : ks) {
          check_one(lits, w, k, r, "seed " + std::to_string(seed));
          ++checked;
        }
      }
  EXPECT_GT(checked, 500);
}

// An equality whose only solutions skip a weight, and one that no
// assignment meets.
TEST(PbBddEncoding, EqualitiesWithGapsAndNoSolution) {
  check_one({1, 2, 3}, {2, 2, 3}, 3, Rel::Equals, "2a+2b+3c=3");
  check_one({1, 2}, {2, 2}, 5, Rel::Equals, "2a+2b=5");
  check_one({1, 2}, {2, 5}, 1, Rel::Equals, "2a+5b=1");
  // The unsatisfiable equality leaves the empty clause.
  Target t(2);
  Lits lits{1, 2}, w{2, 2};
  cnf_encode_equalsN(t.im, t.cs, lits, w, 5, PB_CNF_Encodings::BDD);
  bool has_empty = false;
  for (BasicClause *c : t.cs)
    has_empty |= c->lits.empty();
  EXPECT_TRUE(has_empty);
}

// Several constraints over shared variables in one batch: no clause before
// finalizePB, afterwards the set holds exactly when all of them do.
TEST(PbBddEncoding, BatchesOfConstraints) {
  std::uint64_t seed = 990;
  std::mt19937_64 rng(seed);
  int rounds = soak() ? 400 : 80;
  const int nv = 8;
  for (int round = 0; round < rounds; ++round) {
    Target t(nv);
    struct Cons {
      Lits lits, w;
      long long k;
      Rel r;
    };
    std::vector<Cons> batch;
    initializePB(PB_CNF_Encodings::BDD);
    int m = 2 + static_cast<int>(rng() % 3);
    for (int j = 0; j < m; ++j) {
      Cons x;
      int len = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < len; ++i)
        x.lits.push_back((rng() % 2 ? 1 : -1) *
                         static_cast<long long>(1 + rng() % nv));
      x.w = random_weights(rng, len, 6);
      long long s = 0;
      for (long long v : x.w)
        s += v;
      x.r = static_cast<Rel>(rng() % 3);
      x.k = static_cast<long long>(rng() % (s + 1));
      encode_in_batch(t, x.lits, x.w, x.k, x.r);
      batch.push_back(x);
    }
    EXPECT_EQ(t.cs.size(), 0u);
    finalizePB(t.im, t.cs);
    EXPECT_EQ(PBBDDs::translator, nullptr);
    Lits vars;
    for (long long v = 1; v <= nv; ++v)
      vars.push_back(v);
    SCOPED_TRACE(::testing::Message() << "round " << round << " seed " << seed);
    Clauses cls = t.clauses();
    EXPECT_TRUE(vars_in_range(cls, vars, nv, t.im.top_id));
    EXPECT_TRUE(equivalent(cls, vars, [&](const std::vector<bool> &v) {
      for (const Cons &x : batch)
        if (!holds(weighted_sum(x.lits, x.w, vars, v), x.k, x.r))
          return false;
      return true;
    }));
  }
}

// A literal and its negation are two translator variables, named after the
// program literals; the clauses come back over 3 and -3.
TEST(PbCons, NegativeLiteralIsAVariableOfItsOwn) {
  PbCons pc;
  pc.add_pb_constraint({3, -3}, {1, 1}, 1, pb_inequality::AtMost);
  EXPECT_EQ(pc.variable_map().size(), 2u);
  EXPECT_GE(pc.solver().existsVar("x3"), 0);
  EXPECT_GE(pc.solver().existsVar("x-3"), 0);
  Target t(3);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(pc.transform_pb_constraints(t.im, t.cs, ct_BDDs), 1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(pc.variable_map().empty());
  for (BasicClause *c : t.cs)
    for (long long l : c->lits)
      EXPECT_EQ(std::llabs(l), 3);
}

// Two constraints over the same literal share its translator variable.
TEST(PbCons, SharedLiteralHasOneEntry) {
  PbCons pc;
  pc.add_pb_constraint({1, 2}, {2, 3}, 3, pb_inequality::AtMost);
  pc.add_pb_constraint({2, 4}, {1, 1}, 1, 3); // at least, by number
  EXPECT_EQ(pc.variable_map().size(), 3u);
}

TEST(PbCons, InequalityCodes) {
  EXPECT_EQ(PbCons::get_inequality_id(pb_inequality::LessThan), -2);
  EXPECT_EQ(PbCons::get_inequality_id(pb_inequality::AtMost), -1);
  EXPECT_EQ(PbCons::get_inequality_id(pb_inequality::Equal), 0);
  EXPECT_EQ(PbCons::get_inequality_id(pb_inequality::AtLeast), 1);
  EXPECT_EQ(PbCons::get_inequality_id(pb_inequality::GreaterThan), 2);
}

// Duplicates go; a literal next to its negation is reported as one comment
// line and kept.
TEST(PbCons, RemoveDuplicatesAndVacuousClauses) {
  Lits a{1, 1, 2, 5, 5, 5};
  ::testing::internal::CaptureStdout();
  PbCons::remove_duplicates(a);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(a, (Lits{1, 2, 5}));
  Lits b{-4, 4, 4, 7};
  ::testing::internal::CaptureStdout();
  PbCons::remove_duplicates(b);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "c Vacuously SAT cl: \n");
  EXPECT_EQ(b, (Lits{-4, 4, 7}));

  PbCons pc;
  Target t(7);
  Lits c{4, 7, -4};
  ::testing::internal::CaptureStdout();
  BasicClause *cl = pc.add_clause(t.cs, c, t.cs.get_top());
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "c Vacuously SAT cl: \n");
  EXPECT_EQ(cl->lits, (Lits{-4, 4, 7}));
}

// A clause already in the set with a lower weight ends hard.
TEST(PbCons, CopiedClauseEndsHard) {
  Target t(5);
  t.cs.set_top(100);
  Lits l{2, -5};
  BasicClause *c = t.cs.create_clause(l);
  t.cs.set_cl_weight(c, 7);
  PbCons pc;
  Lits again{-5, 2};
  EXPECT_EQ(pc.add_clause(t.cs, again, t.cs.get_top()), c);
  EXPECT_EQ(c->weight, 100);
  EXPECT_EQ(t.cs.size(), 1u);
}

// Translator variables of BDD nodes become fresh program variables above
// the inputs, one per node across the whole copy.
TEST(PbCons, AuxiliaryVariablesAreFresh) {
  Target t(6);
  PbCons pc;
  pc.add_pb_constraint({1, 2, 3, 4, 5, 6}, {3, 5, 7, 2, 4, 6}, 12,
                       pb_inequality::AtMost);
  pc.transform_pb_constraints(t.im, t.cs, ct_BDDs);
  EXPECT_GT(t.im.top_id, 6);
  Lits vars{1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(vars_in_range(t.clauses(), vars, 6, t.im.top_id));
}

// Unsatisfiable batches report false and leave the set unsatisfiable.
TEST(PbCons, UnsatisfiableBatchGivesTheEmptyClause) {
  Target t(2);
  PbCons pc;
  pc.add_pb_constraint({1, 2}, {1, 1}, 2, pb_inequality::AtLeast);
  pc.add_pb_constraint({1}, {1}, 0, pb_inequality::AtMost);
  EXPECT_EQ(pc.transform_pb_constraints(t.im, t.cs, ct_BDDs), 0);
  EXPECT_TRUE(equivalent(t.clauses(), {1, 2},
                         [](const std::vector<bool> &) { return false; }));
}

TEST(PbCons, NumberText) {
  EXPECT_EQ(PbCons::string_to_int("-42"), -42);
  EXPECT_EQ(PbCons::int_to_string(1234567890123LL), "1234567890123");
}

// The self-contained form leaves no batch open; finalising without one is
// harmless.
TEST(PbBddEncoding, FinalizeWithoutBatchIsHarmless) {
  Target t(1);
  PBBDDs::finalize(t.im, t.cs);
  EXPECT_EQ(t.cs.size(), 0u);
}

// Literals are named and mapped in 32 bits: a wider one ends the run
// instead of being truncated into another variable.
TEST(PbConsDeathTest, LiteralBeyond32BitsEndsTheRun) {
  EXPECT_EXIT(
      {
        dup2(2, 1); // tool_abort writes on standard output
        PbCons pc;
        pc.add_pb_constraint({1, 1LL << 33}, {1, 1}, 1, pb_inequality::AtMost);
      },
      ::testing::ExitedWithCode(5), "Literal beyond 32 bits");
}
