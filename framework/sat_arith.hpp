// 64-bit arithmetic on costs and bounds. Two kinds of sums meet here:
//
// - Upper bounds (the cost of a model, a sum of weights) saturate: a sum
//   beyond the range sticks at the largest value, which then stands for
//   every cost from it up. A search treats it as its ceiling; the models it
//   still finds cost less and are exact.
// - Lower bounds and answers are checked: a lower bound past the range
//   proves the optimum past it too, and an answer at the largest value may
//   be a saturated one. Both end the run (abort_beyond_64_bits) instead of
//   printing a capped cost.
#pragma once

#include <climits>

#include "model/runtime_msgs.hpp"

// The largest cost: a saturated sum, so no answer.
constexpr long long kCostCeiling = LLONG_MAX;

inline long long sat_add(long long a, long long b) {
  long long r;
  if (!__builtin_add_overflow(a, b, &r))
    return r;
  return b > 0 ? LLONG_MAX : LLONG_MIN;
}

inline long long sat_sub(long long a, long long b) {
  long long r;
  if (!__builtin_sub_overflow(a, b, &r))
    return r;
  return b < 0 ? LLONG_MAX : LLONG_MIN;
}

// a + b for a lower bound or an answer; a sum past the range ends the run.
inline long long cost_add(long long a, long long b) {
  long long r;
  if (__builtin_add_overflow(a, b, &r))
    abort_beyond_64_bits("Cost");
  return r;
}

// c, unless it is the ceiling that saturated sums stop at: an answer or a
// next reachable cost there may stand for a larger one, so the run ends.
inline long long exact_cost(long long c) {
  if (c == kCostCeiling)
    abort_beyond_64_bits("Cost");
  return c;
}
