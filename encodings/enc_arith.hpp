// Exact arithmetic for weight sums and bounds. A sum of 64-bit weights can
// pass 2^63 - 1; the encoders compare such sums with a 64-bit bound, so they
// add them in 128 bits and never let a sum or a difference wrap.
#pragma once

#include <climits>
#include <vector>

#include "model/runtime_msgs.hpp"

namespace enc_arith {

__extension__ typedef __int128 Wide;

constexpr long long kMax = LLONG_MAX;

// Sum of all entries, exactly.
template <class WV> Wide wide_sum(const WV &w) {
  Wide s = 0;
  for (long long x : w)
    s += x;
  return s;
}

inline bool fits(Wide v) { return v <= kMax && v >= LLONG_MIN; }

// Ends the run (status 3) when a bound that the encoding needs does not fit
// 64 bits, as every other sum past the range does.
[[noreturn]] inline void too_large() {
  abort_beyond_64_bits("Pseudo-Boolean constraint");
}

// Greatest common divisor on signed values, gcd(0, w) = w.
inline long long gcd(long long a, long long b) {
  while (b != 0) {
    long long t = a % b;
    a = b;
    b = t;
  }
  return a;
}

// Number of bits of v (v >= 0): floor(log2 v) + 1, and 1 for v = 0.
inline unsigned bit_length(long long v) {
  unsigned n = 0;
  for (unsigned long long u = static_cast<unsigned long long>(v); u; u >>= 1)
    ++n;
  return n == 0 ? 1 : n;
}

// Least power of two not below n (n >= 1).
inline long long pow2_at_least(long long n) {
  long long p = 1;
  while (p < n)
    p <<= 1;
  return p;
}

} // namespace enc_arith
