// The translator's shared types: vec growth and release, sorting, the
// chained hash map, the heap, lbool negation, checked Int arithmetic and
// the formatting helpers.
#include "pbtranslator/ms_global.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

TEST(Vec, GrowthRuleAndRelease) {
  vec<int> v;
  EXPECT_EQ(v.capacity(), 0);
  std::vector<int> caps;
  for (int i = 0; i < 30; i++) {
    v.push(i);
    if (caps.empty() || caps.back() != v.capacity())
      caps.push_back(v.capacity());
  }
  // 0 -> 2, then (cap * 3 + 1) / 2.
  EXPECT_EQ(caps, (std::vector<int>{2, 3, 5, 8, 12, 18, 27, 41}));
  vec<int> w;
  w.growTo(7, -1); // an empty array takes the needed size
  EXPECT_EQ(w.capacity(), 7);
  EXPECT_EQ(w[6], -1);
  w.push(1); // 7 -> 11
  EXPECT_EQ(w.capacity(), 11);
  v.clear();
  EXPECT_EQ(v.size(), 0);
  EXPECT_EQ(v.capacity(), 41);
  v.clear(true);
  EXPECT_EQ(v.capacity(), 0);
}

TEST(Vec, NestedVectorsAndSelfPush) {
  vec<vec<int>> vv;
  for (int i = 0; i < 50; i++) {
    vv.push();
    for (int j = 0; j <= i; j++)
      vv.last().push(j);
  }
  EXPECT_EQ(vv[49].size(), 50);
  EXPECT_EQ(vv[10][10], 10);
  vec<int> a;
  a.push(5);
  a.push(a[0]); // full array: the element is copied before growing
  a.push(a[1]);
  EXPECT_EQ(a[2], 5);
  vec<int> b;
  a.moveTo(b);
  EXPECT_EQ(a.size(), 0);
  EXPECT_EQ(b.size(), 3);
}

TEST(Sort, MatchesStdSortAndSortUnique) {
  std::mt19937 rng(8);
  for (int run = 0; run < 200; run++) {
    int n = (int)(rng() % 100);
    vec<int> v;
    std::vector<int> ref;
    for (int i = 0; i < n; i++) {
      int x = (int)(rng() % 30);
      v.push(x);
      ref.push_back(x);
    }
    sort(v);
    std::sort(ref.begin(), ref.end());
    ASSERT_EQ(std::vector<int>(v.begin(), v.end()), ref) << run;
    sortUnique(v);
    ref.erase(std::unique(ref.begin(), ref.end()), ref.end());
    ASSERT_EQ(std::vector<int>(v.begin(), v.end()), ref) << run;
  }
  vec<Pair<int, int>> ps;
  ps.push(Pair_new(2, 1));
  ps.push(Pair_new(1, 5));
  ps.push(Pair_new(2, 0));
  sort(ps);
  EXPECT_EQ(ps[0].fst, 1);
  EXPECT_EQ(ps[1].snd, 0);
}

TEST(Map, BucketsGrowThroughPrimeTwins) {
  Map<int, int> m;
  EXPECT_EQ(m.buckets(), 31);
  for (int i = 0; i < 15; i++)
    m.set(i * 7, i);
  EXPECT_EQ(m.buckets(), 31);
  m.set(1000, 1); // the 16th entry passes half of 31
  EXPECT_EQ(m.buckets(), 73);
  for (int i = 0; i < 300; i++)
    m.set(i * 7, -i);
  EXPECT_EQ(m.buckets(), 643);
  int d = 0;
  EXPECT_TRUE(m.peek(7 * 299, d));
  EXPECT_EQ(d, -299);
  EXPECT_FALSE(m.peek(3, d));
  EXPECT_TRUE(m.remove(7 * 5));
  EXPECT_FALSE(m.has(7 * 5));
  EXPECT_FALSE(m.remove(7 * 5));
  EXPECT_EQ(m.ref(7 * 5), 0); // recreated with the default
  EXPECT_EQ(m.size(), 301);
}

TEST(Heap, OrdersByComparator) {
  struct Greater {
    const std::vector<double> *act;
    bool operator()(int a, int b) const { return (*act)[a] > (*act)[b]; }
  };
  std::vector<double> act = {0.5, 3, 1, 7, 2};
  Heap<Greater> h(Greater{&act});
  for (int i = 0; i < 5; i++)
    h.insert(i);
  EXPECT_EQ(h.heap[0], -1);
  act[0] = 10;
  h.increase(0);
  std::vector<int> order;
  while (!h.empty())
    order.push_back(h.getmin());
  EXPECT_EQ(order, (std::vector<int>{0, 3, 1, 4, 2}));
  EXPECT_FALSE(h.inHeap(3));
}

TEST(Values, LboolLitAndInt) {
  EXPECT_EQ(~l_True, l_False);
  EXPECT_EQ(~l_Undef, l_Undef);
  EXPECT_EQ(~l_Error, l_Error);
  EXPECT_EQ(l_Error.toInt(), INT32_MIN);
  EXPECT_EQ(toInt(Lit(3, true)), 7);
  EXPECT_EQ(~Lit(3, true), Lit(3));
  EXPECT_EQ(toInt(lit_Undef), -2);
  EXPECT_EQ(toInt(lit_Error), -1);
  EXPECT_EQ(Int().value(), INT64_MIN);
  EXPECT_EQ(Int_MIN.value(), -INT64_MAX);
  Int r;
  EXPECT_TRUE(add_overflows(Int_MAX, Int(1), r));
  EXPECT_FALSE(add_overflows(Int_MAX, Int(-1), r));
  EXPECT_EQ(r, Int(INT64_MAX - 1));
  EXPECT_TRUE(neg_overflows(Int(INT64_MIN), r));
  EXPECT_TRUE(sub_overflows(Int(INT64_MIN), Int(1), r));
  EXPECT_EQ(sub_saturating(Int(-5), Int_MAX), Int(INT64_MIN));
  EXPECT_EQ(sub_saturating(Int_MAX, Int(-5)), Int(INT64_MAX));
}

TEST(Text, FormattingAndSplitting) {
  char *s = nsprintf("%s-%d", "split", 42);
  EXPECT_STREQ(s, "split-42");
  xfree(s);
  vec<char *> words;
  splitString("  ab,c  d,,", " ,", words);
  ASSERT_EQ(words.size(), 3);
  EXPECT_STREQ(words[0], "ab");
  EXPECT_STREQ(words[2], "d");
  for (char *w : words)
    xfree(w);

  testing::internal::CaptureStdout();
  reportf("one\ntwo\r");
  reportf("\bbold\b\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c one\nc two\r\033[1mc bold\033[0m\n");
}
