#include "framework/subsetsum_dp.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iostream>
#include <numeric>

#include "framework/sat_arith.hpp"
#include "model/zor_config.hpp"

namespace {

// The sorted, distinct subset sums of ws (each weight used at most once, the
// empty sum 0 included) that are at most limit, into sums. Once a sum above
// `above` is listed, limit drops to it: a caller after the least sum above
// `above` needs no larger one. False when the list would hold more than cap
// sums or the merging would take more than `work` steps (taken from it).
bool list_sums(const std::vector<long long> &ws, long long above,
               long long &limit, std::size_t cap, unsigned long long &work,
               std::vector<long long> &sums) {
  sums.assign(1, 0);
  std::vector<long long> next;
  for (long long w : ws) {
    // sums[0, m) + w stay at most limit; merged with sums, duplicates dropped.
    std::size_t n = sums.size();
    std::size_t m =
        w > limit ? 0
                  : static_cast<std::size_t>(
                        std::upper_bound(sums.begin(), sums.end(), limit - w) -
                        sums.begin());
    if (work < n + m)
      return false;
    work -= n + m;
    next.clear();
    for (std::size_t i = 0, j = 0; i < n || j < m;) {
      long long v = j == m || (i < n && sums[i] <= sums[j] + w)
                        ? sums[i++]
                        : sums[j++] + w;
      if (next.empty() || next.back() != v)
        next.push_back(v);
    }
    if (next.size() > cap)
      return false;
    sums.swap(next);
    auto first_above = std::upper_bound(sums.begin(), sums.end(), above);
    if (first_above != sums.end()) {
      limit = *first_above;
      sums.erase(first_above + 1, sums.end());
    }
  }
  return true;
}

// The least subset sum of w above k (0 <= k, and k below total unless total
// is -1: the total passes 64 bits), or -1 when listing the sums of two
// halves of the weights passes the budget. A sum beyond 64 bits is
// LLONG_MAX. When k lies in the upper half of the total, the search is for
// the largest sum of the left-out weights at most total - k - 1 instead,
// since sums above that limit need not be listed.
long long next_sum_by_halves(std::vector<long long> w, long long k,
                             long long total) {
  std::sort(w.begin(), w.end());
  std::vector<long long> half[2];
  for (std::size_t i = 0; i < w.size(); ++i)
    half[i & 1].push_back(w[i]);
  const bool left_out = total >= 0 && total - k - 1 < k;
  // Listed sums stay at most limit; bound splits a pair's sum into the
  // sides wanted (at most bound, or above it).
  long long limit = left_out ? total - k - 1 : total >= 0 ? total : LLONG_MAX;
  const long long bound = left_out ? limit : k;
  const long long above = left_out ? LLONG_MAX : k;
  unsigned long long work = Subsetsum::kMaxHalvesWork;
  std::vector<long long> a, b;
  if (!list_sums(half[0], above, limit, Subsetsum::kMaxHalfSums, work, a) ||
      !list_sums(half[1], above, limit, Subsetsum::kMaxHalfSums, work, b))
    return -1;
  // For each a ascending, j counts the members of b at most bound - a.
  long long best = left_out ? 0 : limit;
  std::size_t j = b.size();
  for (long long x : a) {
    while (j > 0 && b[j - 1] > bound - x)
      --j;
    if (left_out)
      best = std::max(best, x + b[j - 1]); // b[0] = 0 <= bound - x
    else if (j < b.size())
      best = std::min(best, sat_add(x, b[j]));
  }
  return left_out ? total - best : best;
}

// The sums the bit vector must hold to find the least subset sum above low
// (0 <= low < total) of weights totalling total, given the first prefix
// sum above low of the weights (itself an answer): with the search upward,
// the sums below that prefix sum; with the search for the largest sum of
// the left-out weights at most total - low - 1, the sums up to that limit.
// The smaller of the two, at most about (total + the largest weight) / 2.
long long bit_vector_top(long long prefix, long long low, long long total) {
  return std::min(prefix - 1, total - low - 1);
}

// Bit j of the result: some subset of w sums to j, for j = 0 .. top (bits
// past top are not meaningful). reach |= reach << x for each x.
std::vector<std::uint64_t> reachable_sums(const std::vector<long long> &w,
                                          long long top) {
  std::vector<std::uint64_t> reach(static_cast<std::size_t>(top >> 6) + 1, 0);
  reach[0] = 1;
  long long prefix = 0; // no sum so far passes it
  for (long long x : w) {
    if (x > top)
      break; // w is sorted
    prefix = std::min(prefix + x, top);
    std::size_t ws = static_cast<std::size_t>(x >> 6);
    unsigned bs = static_cast<unsigned>(x & 63);
    for (std::size_t i = static_cast<std::size_t>(prefix >> 6) + 1; i-- > ws;) {
      std::uint64_t v = reach[i - ws] << bs;
      if (bs && i > ws)
        v |= reach[i - ws - 1] >> (64 - bs);
      reach[i] |= v;
    }
  }
  return reach;
}

// The least subset sum of w above low by a bit vector over the sums up to
// top, as bit_vector_top gives it.
long long next_sum_by_bits(const std::vector<long long> &w, long long low,
                           long long total, long long top) {
  std::vector<std::uint64_t> reach = reachable_sums(w, top);
  auto bit = [&](long long j) {
    return reach[static_cast<std::size_t>(j >> 6)] >> (j & 63) & 1;
  };
  if (top == total - low - 1) {
    // The largest left-out sum at most top (0 at least) leaves the answer.
    long long j = top;
    while (!bit(j))
      --j;
    return total - j;
  }
  for (long long j = low + 1; j <= top; ++j)
    if (bit(j))
      return j;
  return top + 1; // the prefix sum
}

// Whether some subset of w (sorted ascending) sums to exactly target,
// found by taking the largest weights that still fit. False says nothing:
// it is a quick test before a full search, and with many weights of
// varied sizes it most often finds the least value itself.
bool reaches(const std::vector<long long> &w, long long target) {
  long long rest = target;
  for (auto it = w.rbegin(); it != w.rend() && rest > 0; ++it)
    if (*it <= rest)
      rest -= *it;
  return rest == 0;
}

} // namespace

long long Subsetsum::solve(const std::vector<long long> &weights,
                           long long k) {
  // Every subset sum is a multiple of the weights' greatest common divisor
  // g: the search runs in units of g, over sums g times smaller.
  long long g = 0;
  for (long long x : weights)
    if (x > 0)
      g = std::gcd(g, x);
  if (g == 0 || k == LLONG_MAX)
    return -1;
  std::vector<long long> w;
  long long total = 0;
  bool overflow = false;
  for (long long x : weights)
    if (x > 0) {
      w.push_back(x / g);
      if (__builtin_add_overflow(total, x / g, &total))
        overflow = true;
    }
  // The answer lies above low, in units: above k / g.
  const long long low = k < 0 ? 0 : k / g;
  if (!overflow && low >= total)
    return -1;
  auto in_weights = [g](long long units) {
    return units > LLONG_MAX / g ? LLONG_MAX : units * g;
  };
  std::sort(w.begin(), w.end());
  const std::size_t n = w.size();
  long long prefix = 0;
  for (long long x : w)
    if ((prefix = sat_add(prefix, x)) > low)
      break;
  if (prefix == low + 1)
    return in_weights(prefix);
  // A bit vector over the sums up to top costs about n * top / 64 word
  // operations, listing the sums of two halves at most about n * 2^(n/2):
  // the bit vector serves many small weights.
  const long long top =
      overflow ? LLONG_MAX : bit_vector_top(prefix, low, total);
  const unsigned long long words =
      (static_cast<unsigned long long>(top) >> 6) + 1;
  if (!overflow && static_cast<unsigned long long>(top) <= kMaxTotal &&
      words * n <= kMaxWork / 64 && (n >= 128 || (1ULL << (n / 2)) >= words))
    return in_weights(next_sum_by_bits(w, low, total, top));
  long long next = next_sum_by_halves(w, low, overflow ? -1 : total);
  if (next >= 0)
    return in_weights(next);
  // Inside the range the answer stays exact, whatever the search costs.
  if (!overflow && static_cast<unsigned long long>(total) < kExactTotal)
    return in_weights(
        reaches(w, low + 1) ? low + 1 : next_sum_by_bits(w, low, total, top));
  if (!fallback_reported && ZORConfig::verbosity >= 1)
    std::cout << "c Too many subset sums to search: bounds rise by 1"
              << std::endl;
  fallback_reported = true;
  return in_weights(std::max(low + 1, w.front()));
}

bool Subsetsum::sums_below(const std::vector<long long> &weights,
                           long long bound, std::size_t cap,
                           std::set<long long> &sums) {
  sums.clear();
  if (bound <= 0)
    return true;
  std::vector<long long> w, listed;
  for (long long x : weights)
    if (x > 0)
      w.push_back(x);
  long long limit = bound - 1;
  unsigned long long work = ULLONG_MAX;
  bool complete = list_sums(w, LLONG_MAX, limit, cap, work, listed);
  sums.insert(listed.begin(), listed.end());
  return complete;
}

void Subsetsum::show_vector(std::vector<int> &v) {
  std::cout << "c";
  for (int x : v)
    std::cout << " " << x;
  std::cout << std::endl;
}

void Subsetsum::show_vector(std::vector<bool> &v) {
  std::cout << "c";
  for (std::size_t i = 0; i < v.size(); ++i)
    std::cout << " " << i << "=" << (v[i] ? 1 : 0);
  std::cout << std::endl;
}
