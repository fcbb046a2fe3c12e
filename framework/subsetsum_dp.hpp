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
  // of 0 or less are ignored; a sum beyond 64 bits counts as LLONG_MAX (so
  // k = LLONG_MAX gives -1). The search runs in units of the weights'
  // greatest common divisor. Many small weights take a bit vector over the
  // sums; otherwise the sums of two halves of the weights are listed and
  // paired (meet in the middle). When that passes its budget and the total
  // in units is below kExactTotal, the bit vector runs anyway (at most
  // total / 8 bytes, about half that unless one weight is most of the
  // total, and n * total / 64 word operations), after a quick test of the
  // least candidate itself. Past that total the answer is the smallest
  // value that the true answer can have (k + 1, at least the smallest
  // weight, in units), so a search that steps to it never steps over the
  // optimum; the first such answer of a run says so on a comment line.
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

  // Within these budgets the bit vector runs first: sums up to kMaxTotal,
  // kMaxWork bit operations.
  static constexpr unsigned long long kMaxWork = 1ULL << 31;
  static constexpr unsigned long long kMaxTotal = 1ULL << 28;
  // The halves' lists hold at most kMaxHalfSums sums each and take at most
  // kMaxHalvesWork merging steps together (about 50 ms at worst).
  static constexpr std::size_t kMaxHalfSums = std::size_t{1} << 21;
  static constexpr unsigned long long kMaxHalvesWork = 1ULL << 25;
  // Below this total, in units of the weights' greatest common divisor,
  // answers are always exact: past both budgets the bit vector runs anyway.
  static constexpr unsigned long long kExactTotal = 1ULL << 31;
  // Set once the fallback has been announced (once per process).
  static inline bool fallback_reported = false;
};
