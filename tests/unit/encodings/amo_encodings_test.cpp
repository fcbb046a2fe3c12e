// At-most-one encodings and the ladder's exactly-one: the exact clause
// lists and variable numbers of small cases, counts for larger ones, the
// recording adapter, and equivalence over all assignments.
#include <gtest/gtest.h>

#include "encodings/amo_encodings.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

using namespace enc_test;

TEST(AtMostOne, PairwiseOnThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  pairwise_encode_atmost1(t.im, t.cs, lits);
  EXPECT_EQ(t.clauses(), (Clauses{{-1, -2}, {-1, -3}, {-2, -3}}));
  EXPECT_EQ(t.im.top_id, 3);
}

TEST(AtMostOne, SequentialCounterOnThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  seqcounter_encode_atmost1(t.im, t.cs, lits);
  EXPECT_EQ(t.clauses(), sorted({{-1, 4}, {-2, -4}, {-2, 5}, {-4, 5}, {-3, -5}}));
  EXPECT_EQ(t.im.top_id, 5);
  Target two(2);
  Lits l2{1, 2};
  seqcounter_encode_atmost1(two.im, two.cs, l2);
  EXPECT_EQ(two.clauses(), sorted({{-1, 3}, {-2, -3}}));
}

TEST(AtMostOne, BitwiseOnThreeAndFour) {
  Target t(3);
  Lits lits{1, 2, 3};
  bitwise_encode_atmost1(t.im, t.cs, lits);
  EXPECT_EQ(t.clauses(),
            sorted({{-1, -4}, {-1, -5}, {-2, -4}, {-2, 5}, {-3, 4}, {-3, -5}}));
  EXPECT_EQ(t.im.top_id, 5);
  Target f(4);
  Lits l4{1, 2, 3, 4};
  bitwise_encode_atmost1(f.im, f.cs, l4);
  EXPECT_EQ(f.im.top_id, 6);
  Clauses c = f.clauses();
  ASSERT_EQ(c.size(), 8u);
  EXPECT_EQ(c[6], (Lits{-4, 5}));
  EXPECT_EQ(c[7], (Lits{-4, 6})); // x[3] carries the code 11
}

TEST(AtMostOne, BitwiseTakesCeilingLog2Bits) {
  for (auto [n, bits] : std::vector<std::pair<int, int>>{
           {1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {8, 3}, {9, 4}, {1024, 10}, {1025, 11}}) {
    Target t(n);
    Lits lits;
    for (int i = 1; i <= n; ++i)
      lits.push_back(i);
    bitwise_encode_atmost1(t.im, t.cs, lits);
    EXPECT_EQ(t.im.top_id, n + bits) << n;
    EXPECT_EQ(t.cs.size(), static_cast<std::size_t>(n * bits)) << n;
  }
}

TEST(AtMostOne, LadderExactlyOneOnThree) {
  Target t(3);
  Lits lits{1, 2, 3};
  ladder_encode_equals1(t.im, t.cs, lits);
  EXPECT_EQ(t.clauses(), sorted({{-5, 4}, {4, 1}, {-1, -4}, {-4, 5, 2}, {4, -2},
                                 {-2, -5}, {-5, 3}, {-3, 5}}));
  EXPECT_EQ(t.im.top_id, 5);
}

TEST(AtMostOne, LadderSmallLists) {
  Target one(1);
  Lits l1{1};
  ladder_encode_equals1(one.im, one.cs, l1);
  EXPECT_EQ(one.clauses(), (Clauses{{1}}));
  Target two(2);
  Lits l2{1, 2};
  ladder_encode_equals1(two.im, two.cs, l2);
  EXPECT_EQ(two.clauses(), (Clauses{{1, 2}, {-1, -2}}));
  // Exactly one of nothing cannot hold.
  Target none(0);
  Lits l0;
  ladder_encode_equals1(none.im, none.cs, l0);
  EXPECT_EQ(none.clauses(), Clauses{{}});
  // At most one: the slack first, then the ladder of [x..., s].
  Target am(1);
  ladder_encode_atmost1(am.im, am.cs, l1);
  EXPECT_EQ(am.clauses(), (Clauses{{1, 2}, {-1, -2}}));
  Target am0(0);
  ladder_encode_atmost1(am0.im, am0.cs, l0);
  EXPECT_EQ(am0.clauses(), (Clauses{{1}}));
  Target a(2), b(3);
  ladder_encode_atmost1(a.im, a.cs, l2);
  Lits l3{1, 2, 3};
  ladder_encode_equals1(b.im, b.cs, l3);
  EXPECT_EQ(a.clauses(), b.clauses());
  EXPECT_EQ(a.im.top_id, 5);
}

TEST(AtMostOne, SingleLiteralAddsNothingExceptLadder) {
  Target t(1);
  Lits l1{1};
  pairwise_encode_atmost1(t.im, t.cs, l1);
  seqcounter_encode_atmost1(t.im, t.cs, l1);
  bitwise_encode_atmost1(t.im, t.cs, l1);
  EXPECT_TRUE(t.clauses().empty());
  EXPECT_EQ(t.im.top_id, 1);
}

TEST(AtMostOne, Counts) {
  for (int n : {2, 3, 7, 30}) {
    Lits lits;
    for (int i = 1; i <= n; ++i)
      lits.push_back(i);
    Target p(n), s(n), l(n), e(n);
    pairwise_encode_atmost1(p.im, p.cs, lits);
    seqcounter_encode_atmost1(s.im, s.cs, lits);
    ladder_encode_atmost1(l.im, l.cs, lits);
    ladder_encode_equals1(e.im, e.cs, lits);
    EXPECT_EQ(p.cs.size(), static_cast<std::size_t>(n * (n - 1) / 2));
    EXPECT_EQ(s.cs.size(), static_cast<std::size_t>(3 * n - 4));
    EXPECT_EQ(s.im.top_id, n + n - 1);
    EXPECT_EQ(l.im.top_id, n + 1 + n); // the slack and n ladder variables
    if (n >= 3) {
      EXPECT_EQ(e.cs.size(), static_cast<std::size_t>(4 * n - 4));
      EXPECT_EQ(e.im.top_id, n + n - 1);
    }
  }
}

// The adapter sees the same clauses in the same order, one entry per
// creation, also for a clause the set already held.
TEST(AtMostOne, ThroughTheRecordingAdapter) {
  Lits lits{1, -2, 3, 4, -5};
  using Fn = void (*)(IDManager &, MxClSet &, Lits &);
  using Gn = void (*)(IDManager &, BasicClauseSet &, Lits &);
  std::vector<std::pair<Fn, Gn>> encs = {
      {pairwise_encode_atmost1<IDManager, MxClSet, Lits>,
       pairwise_encode_atmost1<IDManager, BasicClauseSet, Lits>},
      {seqcounter_encode_atmost1<IDManager, MxClSet, Lits>,
       seqcounter_encode_atmost1<IDManager, BasicClauseSet, Lits>},
      {bitwise_encode_atmost1<IDManager, MxClSet, Lits>,
       bitwise_encode_atmost1<IDManager, BasicClauseSet, Lits>},
      {ladder_encode_atmost1<IDManager, MxClSet, Lits>,
       ladder_encode_atmost1<IDManager, BasicClauseSet, Lits>},
      {ladder_encode_equals1<IDManager, MxClSet, Lits>,
       ladder_encode_equals1<IDManager, BasicClauseSet, Lits>}};
  for (auto &[viaAdapter, direct] : encs) {
    Target a(5), b(5);
    std::vector<BasicClause *> created;
    MxClSet mx{&a.cs, &created};
    viaAdapter(a.im, mx, lits);
    direct(b.im, b.cs, lits);
    EXPECT_EQ(a.clauses(), b.clauses());
    EXPECT_EQ(a.im.top_id, b.im.top_id);
    ASSERT_EQ(created.size(), a.cs.size());
    std::size_t i = 0;
    for (BasicClause *c : a.cs)
      EXPECT_EQ(created[i++], c);
  }
}

TEST(AtMostOne, AdapterRecordsAClauseTheSetHeld) {
  Target t(2);
  t.cs.set_top(100);
  Lits held{-1, -2};
  BasicClause *c = t.cs.create_clause(held);
  t.cs.set_cl_weight(c, 7);
  long long hard_before = t.cs.num_hard, total_before = t.cs.num_total;
  std::vector<BasicClause *> created;
  MxClSet mx{&t.cs, &created};
  Lits lits{1, 2};
  pairwise_encode_atmost1(t.im, mx, lits);
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0], c);
  EXPECT_EQ(c->weight, 7);
  EXPECT_EQ(t.cs.num_hard, hard_before);
  EXPECT_EQ(t.cs.num_total, total_before);
  EXPECT_EQ(t.cs.size(), 1u);
}

TEST(AtMostOne, EquivalenceOverAllAssignments) {
  for (int n = 0; n <= 9; ++n) {
    Lits lits;
    for (int i = 1; i <= n; ++i)
      lits.push_back(i % 3 ? i : -i);
    Lits vars = vars_of(lits);
    auto count = [&](const std::vector<bool> &v) {
      int c = 0;
      for (long long l : lits)
        c += lit_value(l, vars, v);
      return c;
    };
    auto atmost1 = [&](const std::vector<bool> &v) { return count(v) <= 1; };
    auto exactly1 = [&](const std::vector<bool> &v) { return count(v) == 1; };
    Target p(n), s(n), b(n), l(n), e(n);
    pairwise_encode_atmost1(p.im, p.cs, lits);
    seqcounter_encode_atmost1(s.im, s.cs, lits);
    bitwise_encode_atmost1(b.im, b.cs, lits);
    ladder_encode_atmost1(l.im, l.cs, lits);
    ladder_encode_equals1(e.im, e.cs, lits);
    EXPECT_TRUE(equivalent(p.clauses(), vars, atmost1)) << n;
    EXPECT_TRUE(equivalent(s.clauses(), vars, atmost1)) << n;
    EXPECT_TRUE(equivalent(b.clauses(), vars, atmost1)) << n;
    EXPECT_TRUE(equivalent(l.clauses(), vars, atmost1)) << n;
    EXPECT_TRUE(equivalent(e.clauses(), vars, exactly1)) << n;
    for (Target *t : {&s, &b, &l, &e})
      EXPECT_TRUE(vars_in_range(t->clauses(), vars, n, t->im.top_id));
  }
}
