// The next reachable cost: the smallest sum of a subset of the soft
// weights that exceeds a bound k, so that weighted searches that raise a
// lower bound step by step skip values no assignment can cost.
#pragma once

#include <cstddef>
#include <set>
#include <vector>

class Subsetsum {
public:
  // The smallest subset sum s > k (s > 0), or -1 when none exists. Weights
  // of 0 or less are ignored. Sums are exact in 64 bits; when the sums are
  // too large for the dynamic programme the answer is the smallest value
  // that the true answer can have (k + 1, at least the smallest weight), so
  // a search that steps to it never steps over the optimum.
  long long solve(const std::vector<long long> &weights, long long k);

  // Every subset sum of the weights (each used at most once) below bound,
  // the empty sum 0 included, into sums. Returns false, with sums
  // incomplete, when they would number more than cap: many distinct large
  // weights have exponentially many sums.
  static bool sums_below(const std::vector<long long> &weights,
                         long long bound, std::size_t cap,
                         std::set<long long> &sums);

  void show_vector(std::vector<int> &v);
  void show_vector(std::vector<bool> &v);

  // Above this many bit operations the programme falls back as described.
  static constexpr unsigned long long kMaxWork = 1ULL << 31;
  static constexpr unsigned long long kMaxTotal = 1ULL << 28;
  // Up to this many weights every subset sum is listed instead.
  static constexpr std::size_t kMaxEnumerated = 16;
};
