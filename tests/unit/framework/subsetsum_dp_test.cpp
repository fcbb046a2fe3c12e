// The next reachable cost beyond the bit vector's range: many large weights
// (sums of two halves paired), totals near and past 2^63, the fallback past
// the search budget and its one comment line, exact answers below that
// range with many weights, and the listing of the sums below a bound.
// Answers are judged against every subset, enumerated, or a plain table.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <climits>
#include <memory>
#include <random>
#include <set>

#include "framework/subsetsum_dp.hpp"
#include "model/zor_config.hpp"

namespace {

using Sums = std::vector<__int128>;

Sums all_sums(const std::vector<long long> &w) {
  Sums s{0};
  for (long long x : w)
    for (std::size_t i = 0, n = s.size(); i < n; ++i)
      s.push_back(s[i] + x);
  return s;
}

// The least positive sum above k, LLONG_MAX for one past 64 bits, -1 for
// none.
long long least_above(const Sums &sums, long long k) {
  __int128 best = -1;
  for (__int128 s : sums)
    if (s > k && s > 0 && (best < 0 || s < best))
      best = s;
  if (best > LLONG_MAX)
    return k == LLONG_MAX ? -1 : LLONG_MAX;
  return static_cast<long long>(best);
}

TEST(SubsetsumDp, RandomWeightSetsAgainstEverySubset) {
  std::mt19937_64 rng(26);
  auto in = [&](long long lo, long long hi) {
    return lo + static_cast<long long>(
                    rng() % static_cast<unsigned long long>(hi - lo + 1));
  };
  // Weight ranges: near 10^9 with small spread (few distinct sums), spread
  // over 2^20..2^40 (every sum distinct), near 2^60 (totals just below
  // 2^63) and near 2^62 (totals past 2^63).
  struct Scale {
    long long lo, hi;
    int max_n;
  };
  const Scale scales[] = {{1000000000, 1000000000 + 20000, 18},
                          {1LL << 20, 1LL << 40, 18},
                          {(1LL << 60) - (1LL << 50), 1LL << 60, 7},
                          {(1LL << 62) - (1LL << 40), 1LL << 62, 9}};
  for (int round = 0; round < 160; ++round) {
    const Scale &sc = scales[round % 4];
    int n = static_cast<int>(in(1, sc.max_n));
    std::vector<long long> w;
    for (int i = 0; i < n; ++i)
      w.push_back(in(sc.lo, sc.hi));
    if (round % 5 == 0)
      w.push_back(w.front()); // a repeated weight
    Sums sums = all_sums(w);
    // Bounds: at, just below and just above sums, and random ones.
    std::vector<long long> ks{-1, 0, LLONG_MAX - 1, LLONG_MAX};
    for (int t = 0; t < 12; ++t) {
      __int128 s = sums[static_cast<std::size_t>(
          in(0, static_cast<long long>(sums.size() - 1)))];
      if (s > LLONG_MAX)
        continue;
      long long v = static_cast<long long>(s);
      ks.insert(ks.end(), {v, v - 1});
      if (v < LLONG_MAX)
        ks.push_back(v + 1);
    }
    for (long long k : ks)
      ASSERT_EQ(Subsetsum().solve(w, k), least_above(sums, k))
          << "round " << round << " n " << w.size() << " k " << k;
  }
}

// Weights 10^9 + 7919 i (i = 1..n): the m-weight sums are m * 10^9 + 7919 t
// for every t from m(m+1)/2 to m(2n-m+1)/2, far apart from one m to the
// next, which gives the answer for 40 weights without 2^40 subsets.
TEST(SubsetsumDp, ManyLargeWeightsStepToTheNextSum) {
  for (int n : {17, 20, 40}) {
    std::vector<long long> w;
    for (int i = 1; i <= n; ++i)
      w.push_back(1000000000 + 7919LL * i);
    auto next = [&](long long k) {
      for (long long m = 1; m <= n; ++m)
        for (long long t = m * (m + 1) / 2; t <= m * (2 * n - m + 1) / 2; ++t)
          if (m * 1000000000 + 7919 * t > k)
            return m * 1000000000 + 7919 * t;
      return -1LL;
    };
    std::mt19937_64 rng(n);
    long long total = 0;
    for (long long x : w)
      total += x;
    for (long long k = -1; k < total + 3;
         k += 1 + static_cast<long long>(rng() % 700000000ULL))
      ASSERT_EQ(Subsetsum().solve(w, k), next(k)) << "n " << n << " k " << k;
    EXPECT_EQ(Subsetsum().solve(w, total - w.front()), total);
    EXPECT_EQ(Subsetsum().solve(w, total - w.back() - 1), total - w.back());
  }
}

// 60 weights with distinct sums halfway up: 2^30 sums per half, past the
// budget. The answer falls back to k + 1, said once per run at verbosity 1.
TEST(SubsetsumDp, PastTheBudgetStepsByOneAndSaysSoOnce) {
  std::mt19937_64 rng(60);
  std::vector<long long> w;
  long long total = 0;
  for (int i = 0; i < 60; ++i) {
    w.push_back((1LL << 40) + static_cast<long long>(rng() % (1ULL << 40)));
    total += w.back();
  }
  const int saved = ZORConfig::verbosity;
  for (int verbosity : {0, 1}) {
    ZORConfig::verbosity = verbosity;
    Subsetsum::fallback_reported = false;
    testing::internal::CaptureStdout();
    EXPECT_EQ(Subsetsum().solve(w, total / 2), total / 2 + 1);
    EXPECT_EQ(Subsetsum().solve(w, total / 3), total / 3 + 1);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, verbosity ? "c Too many subset sums to search: bounds rise "
                               "by 1\n"
                             : "");
  }
  ZORConfig::verbosity = saved;
  // Near either end the pruned halves stay small: exact again.
  long long lightest = *std::min_element(w.begin(), w.end());
  EXPECT_EQ(Subsetsum().solve(w, -1), lightest);
  EXPECT_EQ(Subsetsum().solve(w, total - lightest - 1), total - lightest);
}

// Which sums of units a subset of the weights w = g * units reaches, by a
// plain table over 0 .. the total of units.
std::vector<char> reached_units(const std::vector<long long> &units) {
  long long total = 0;
  for (long long u : units)
    total += u;
  std::vector<char> r(static_cast<std::size_t>(total) + 1, 0);
  r[0] = 1;
  for (long long u : units)
    for (long long j = total; j >= u; --j)
      r[static_cast<std::size_t>(j)] |= r[static_cast<std::size_t>(j - u)];
  return r;
}

// The least reached sum g * j above k, or -1.
long long least_above(const std::vector<char> &r, long long g, long long k) {
  for (std::size_t j = 1; j < r.size(); ++j)
    if (r[j] && g * static_cast<long long>(j) > k)
      return g * static_cast<long long>(j);
  return -1;
}

// Inside the range answers are exact, however many weights: 300 weights
// 10 * (1 + r % 10000) (total 15,556,180) once answered 7,778,091 above
// 7,778,090, which no subset reaches. Then many weights with a common
// factor (2^33 puts the total far past a bit vector over the weights
// themselves). Judged by tables over the units: a bit set, a plain table.
TEST(SubsetsumDp, ManyWeightsWithACommonFactorAreExact) {
  std::mt19937_64 rng(7);
  constexpr std::size_t kUnits = 1555618;
  auto reached = std::make_unique<std::bitset<kUnits + 1>>();
  reached->set(0);
  std::vector<long long> w;
  for (int i = 0; i < 300; ++i) {
    long long u = 1 + static_cast<long long>(rng() % 10000);
    w.push_back(10 * u);
    *reached |= *reached << static_cast<std::size_t>(u);
  }
  ASSERT_TRUE(reached->test(kUnits));
  for (long long k : {7778090LL, 7778089LL, 7778099LL, -1LL, 0LL, 9LL, 10LL,
                      15556170LL, 15556169LL, 15556179LL, 15556180LL}) {
    long long want = -1;
    for (std::size_t j = 1; j <= kUnits && want < 0; ++j)
      if (reached->test(j) && 10 * static_cast<long long>(j) > k)
        want = 10 * static_cast<long long>(j);
    ASSERT_EQ(Subsetsum().solve(w, k), want) << "k " << k;
  }

  std::vector<long long> units;
  const long long factors[] = {1, 7, 10, 1LL << 33};
  for (int round = 0; round < 24; ++round) {
    long long g = factors[round % 4];
    long long span = round % 3 ? 2000 : 100;
    units.clear();
    w.clear();
    int n = 50 + static_cast<int>(rng() % 200);
    for (int i = 0; i < n; ++i) {
      units.push_back(1 + static_cast<long long>(rng() % span));
      w.push_back(g * units.back());
    }
    std::vector<char> r = reached_units(units);
    long long total = static_cast<long long>(r.size() - 1);
    for (int t = 0; t < 8; ++t) {
      long long k = static_cast<long long>(
                        rng() % static_cast<unsigned long long>(g * total)) -
                    1;
      ASSERT_EQ(Subsetsum().solve(w, k), least_above(r, g, k))
          << "round " << round << " n " << n << " k " << k;
    }
  }
}

// Weights 3, 6, .., 3m and 1 reach exactly 3s and 3s + 1 for 0 <= s <=
// m(m+1)/2. With m = 2000 neither the bit vector's budget nor the halves'
// serve the middle; past both, the answer stays exact.
TEST(SubsetsumDp, PastBothBudgetsInsideTheRangeStaysExact) {
  const long long m = 2000, total = 3 * m * (m + 1) / 2 + 1;
  std::vector<long long> w{1};
  for (long long i = 1; i <= m; ++i)
    w.push_back(3 * i);
  auto next = [&](long long k) {
    for (long long j = k + 1; j <= total; ++j)
      if (j % 3 != 2)
        return j;
    return -1LL;
  };
  // k + 1 = 2 (mod 3) is reached by no subset: the full search runs, for
  // the largest left-out sum (past the middle) or upward (below it).
  for (long long k : {total / 2, total / 2 + 1, total / 2 + 2, total / 3,
                      total / 3 + 1, total - 5, total - 1})
    EXPECT_EQ(Subsetsum().solve(w, k), next(k)) << "k " << k;
}

TEST(SubsetsumDp, SumsBelowABoundAgainstEverySubset) {
  std::mt19937_64 rng(7);
  for (int round = 0; round < 100; ++round) {
    std::vector<long long> w;
    int n = 1 + static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i)
      w.push_back(static_cast<long long>(rng() % 60) - 5); // some <= 0
    long long bound = static_cast<long long>(rng() % 200) - 5;
    std::vector<long long> pos;
    for (long long x : w)
      if (x > 0)
        pos.push_back(x);
    std::set<long long> want;
    for (__int128 s : all_sums(pos))
      if (s < bound)
        want.insert(static_cast<long long>(s));
    std::set<long long> got;
    std::size_t cap = round % 3 ? 1000 : 8;
    bool complete = Subsetsum::sums_below(w, bound, cap, got);
    EXPECT_EQ(complete, want.size() <= cap) << "round " << round;
    if (complete) {
      EXPECT_EQ(got, want) << "round " << round;
    }
  }
}

} // namespace
