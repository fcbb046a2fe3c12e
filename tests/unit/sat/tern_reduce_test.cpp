// Learned-clause reduction of the Tern engine (white box: learned clauses
// with chosen activities are planted through the engine's internals).
#include <gtest/gtest.h>

#include <algorithm>

#include "sat/tern.hpp"
#include "sat/tern_internal.hpp"

using namespace tern;

namespace {

// A satisfied engine over variables 1..30 whose search learned nothing.
void satisfied_engine(bool trace) {
  tern_init();
  if (trace) tern_enable_trace_generation();
  for (int v = 1; v < 30; v += 2) {
    tern_add(v);
    tern_add(v + 1);
    tern_add(0);
  }
  ASSERT_EQ(tern_sat(-1), 10);
  ASSERT_EQ(E.nlclauses, 0u);
}

// Plants a learned clause of three literals with activity `factor` times
// the clause increment.
uint32_t plant(int first, uint32_t factor) {
  Stack<uint32_t> lits, ants;
  for (int i = 0; i < 3; i++) lits.push(2 * (uint32_t)(first + i));
  uint32_t c = add_clause(lits, ants, true, false);
  cactivity(c) = score_mult(E.cinc, score_make(factor, 0));
  lits.release();
  return c;
}

}  // namespace

TEST(TernReduce, RemovesThePercentageLeastActiveFirst) {
  satisfied_engine(false);
  for (int i = 0; i < 10; i++) plant(1 + i, 2 + (uint32_t)i);
  ASSERT_EQ(E.nlclauses, 10u);
  tern_remove_learned(80);  // n = 11, cut = (80 * 11 + 99) / 100 = 9
  EXPECT_EQ(E.nlclauses, 1u);
  ASSERT_EQ(E.lclauses.n, 1u);
  uint32_t c = E.lclauses[0], smallest = kNone;
  for (uint32_t i = 0; i < csize(c); i++) smallest = std::min(smallest, clits(c)[i] >> 1);
  EXPECT_EQ(smallest, 10u);  // the most active clause (over 10, 11, 12) survives
  EXPECT_EQ(E.reductions, 1u);
  EXPECT_EQ(tern_sat(-1), 10);
  tern_reset();
}

TEST(TernReduce, EqualActivityAndSizeAreNotSeparatedByTheCut) {
  satisfied_engine(false);
  for (int i = 0; i < 8; i++) plant(1 + i, 2 + (uint32_t)i);
  plant(20, 50);
  plant(24, 50);
  tern_remove_learned(80);  // the cut falls between the two equal clauses
  EXPECT_EQ(E.nlclauses, 2u);
  tern_reset();
}

TEST(TernReduce, NothingToRemoveRaisesTheLimitByTenPercent) {
  tern_init();
  tern_add(1);
  tern_add(2);
  tern_add(0);
  ASSERT_EQ(tern_sat(-1), 10);
  uint32_t before = E.lreduce;
  ASSERT_GT(before, 0u);
  tern_remove_learned(50);
  EXPECT_EQ(E.lreduce, before * 110 / 100);
  tern_reset();
}

// With tracing, removed clauses that took part in no derivation are freed
// but keep their slots, so indices of the trace stay valid.
TEST(TernReduce, TracingKeepsSlotsOfRemovedClauses) {
  satisfied_engine(true);
  for (int i = 0; i < 10; i++) plant(1 + i, 2 + (uint32_t)i);
  tern_remove_learned(80);
  EXPECT_EQ(E.lclauses.n, 10u);
  size_t empty = 0;
  for (uint32_t c : E.lclauses) empty += c == kNone;
  EXPECT_EQ(empty, 9u);
  EXPECT_EQ(E.oclauses.n, 15u);
  tern_reset();
}

// Many reductions and arena compactions during a long search keep the
// clause store consistent: the answers stay right.
TEST(TernReduce, SearchWithManyReductionsStaysSound) {
  for (int holes = 5; holes <= 7; holes++) {
    tern_init();
    int pigeons = holes + 1;
    auto var = [&](int p, int h) { return p * holes + h + 1; };
    for (int p = 0; p < pigeons; p++) {
      for (int h = 0; h < holes; h++) tern_add(var(p, h));
      tern_add(0);
    }
    for (int h = 0; h < holes; h++)
      for (int p = 0; p < pigeons; p++)
        for (int q = p + 1; q < pigeons; q++) {
          tern_add(-var(p, h));
          tern_add(-var(q, h));
          tern_add(0);
        }
    EXPECT_EQ(tern_sat(-1), 20) << holes;
    if (holes == 7) {
      EXPECT_GT(E.reductions, 0u);
    }
    tern_reset();
  }
}

// Memory per clause: a clause record holds its literals plus four header
// words (and an activity word when learned with three or more literals, and
// the index word with tracing); the live part of the arena is exactly the
// sum of the records.
TEST(TernReduce, ClauseRecordsStayCloseToTheirLiterals) {
  for (int trace = 0; trace < 2; trace++) {
    tern_init();
    if (trace) tern_enable_trace_generation();
    uint32_t s = 7;
    for (int i = 0; i < 1100; i++) {
      for (int j = 0; j < 3; j++) {
        s = s * 1664525u + 1013904223u;
        int v = 1 + (int)((s >> 8) % 250);
        tern_add((s >> 3) & 1 ? v : -v);
      }
      tern_add(0);
    }
    int res = tern_sat(-1);
    ASSERT_TRUE(res == 10 || res == 20);
    uint64_t words = 0, lits = 0;
    size_t learned = 0;
    for (int store = 0; store < 2; store++) {
      for (uint32_t c : store ? E.lclauses : E.oclauses) {
        if (c == kNone) continue;
        EXPECT_LE(cwords(c), csize(c) + 6u);
        words += cwords(c);
        lits += csize(c);
        learned += store;
      }
    }
    EXPECT_GT(learned, 50u);
    EXPECT_EQ(words, E.arena.n - E.arena_garbage);
    EXPECT_LT((double)words, 3.5 * (double)lits + 1);
    tern_reset();
  }
}
