#include "framework/subsetsum_dp.hpp"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <iostream>

long long Subsetsum::solve(const std::vector<long long> &weights,
                           long long k) {
  std::vector<long long> w;
  long long total = 0, minw = LLONG_MAX;
  bool overflow = false;
  for (long long x : weights)
    if (x > 0) {
      w.push_back(x);
      minw = std::min(minw, x);
      if (__builtin_add_overflow(total, x, &total))
        overflow = true;
    }
  if (w.empty() || (!overflow && k >= total))
    return -1;
  long long low = k < 0 ? 0 : k; // the answer lies above low
  if (w.size() <= kMaxEnumerated) {
    // Few weights: every subset sum, exactly, whatever their size.
    std::vector<__int128> sums{0};
    for (long long x : w) {
      std::size_t n = sums.size();
      for (std::size_t i = 0; i < n; ++i)
        sums.push_back(sums[i] + x);
    }
    __int128 best = -1;
    for (__int128 s : sums)
      if (s > low && (best < 0 || s < best))
        best = s;
    if (best < 0)
      return -1;
    return best > LLONG_MAX ? LLONG_MAX : static_cast<long long>(best);
  }
  unsigned long long words =
      overflow ? ULLONG_MAX : (static_cast<unsigned long long>(total) >> 6) + 1;
  if (overflow || static_cast<unsigned long long>(total) > kMaxTotal ||
      words * w.size() > kMaxWork / 64) {
    long long next = low + 1;
    return std::max(next, minw);
  }
  // reach bit j: some subset sums to j. reach |= reach << x for each x.
  std::vector<std::uint64_t> reach(words, 0);
  reach[0] = 1;
  for (long long x : w) {
    std::size_t ws = static_cast<std::size_t>(x >> 6);
    unsigned bs = static_cast<unsigned>(x & 63);
    for (std::size_t i = reach.size(); i-- > ws;) {
      std::uint64_t v = reach[i - ws] << bs;
      if (bs && i > ws)
        v |= reach[i - ws - 1] >> (64 - bs);
      reach[i] |= v;
    }
  }
  for (long long j = low + 1; j <= total; ++j)
    if (reach[static_cast<std::size_t>(j >> 6)] >> (j & 63) & 1)
      return j;
  return -1;
}

bool Subsetsum::sums_below(const std::vector<long long> &weights,
                           long long bound, std::size_t cap,
                           std::set<long long> &sums) {
  sums.clear();
  if (bound <= 0)
    return true;
  sums.insert(0);
  std::vector<long long> grown;
  for (long long w : weights) {
    if (w <= 0)
      continue;
    grown.clear();
    for (long long s : sums) {
      long long t;
      if (__builtin_add_overflow(s, w, &t) || t >= bound)
        break; // members ascend: every later t is larger
      if (!sums.count(t))
        grown.push_back(t);
    }
    sums.insert(grown.begin(), grown.end());
    if (sums.size() > cap)
      return false;
  }
  return true;
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
