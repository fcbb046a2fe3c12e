// Saturating 64-bit addition and subtraction for bounds and costs: a sum
// beyond the range sticks at its end instead of wrapping around.
#pragma once

#include <climits>

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
