// Exact decimal formatting of a double as a default-formatted std::ostream
// prints it, without allocation or locale: the signal-safe output stream
// prints CPU times with it from handlers.
#include "model/general_format.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// An unsigned integer of up to 40 32-bit words, lowest first: enough for
// any double times a power of ten that brings it to 1..10 (about 1,140
// bits at most).
struct BigNat {
  std::uint32_t w[40] = {};
  int n = 0; // words in use, the highest nonzero

  explicit BigNat(std::uint64_t v) {
    while (v) {
      w[n++] = static_cast<std::uint32_t>(v);
      v >>= 32;
    }
  }
  void mul(std::uint32_t f) {
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      carry += static_cast<std::uint64_t>(w[i]) * f;
      w[i] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    if (carry)
      w[n++] = static_cast<std::uint32_t>(carry);
  }
  void mul_pow10(int k) {
    for (; k > 0; --k)
      mul(10);
  }
  void shl(int bits) {
    if (n == 0)
      return;
    const int words = bits / 32, b = bits % 32;
    w[n] = 0;
    for (int i = n; i >= 0; --i) {
      std::uint32_t hi = b ? w[i] << b : w[i];
      std::uint32_t lo = (b && i > 0) ? w[i - 1] >> (32 - b) : 0;
      w[i + words] = hi | lo;
    }
    for (int i = 0; i < words; ++i)
      w[i] = 0;
    n += words + 1;
    while (n > 0 && w[n - 1] == 0)
      --n;
  }
  int cmp(const BigNat &o) const {
    if (n != o.n)
      return n < o.n ? -1 : 1;
    for (int i = n - 1; i >= 0; --i)
      if (w[i] != o.w[i])
        return w[i] < o.w[i] ? -1 : 1;
    return 0;
  }
  // requires: *this >= o
  void sub(const BigNat &o) {
    std::int64_t borrow = 0;
    for (int i = 0; i < n; ++i) {
      std::int64_t d = static_cast<std::int64_t>(w[i]) - borrow -
                       (i < o.n ? static_cast<std::int64_t>(o.w[i]) : 0);
      borrow = d < 0;
      w[i] = static_cast<std::uint32_t>(d + (borrow << 32));
    }
    while (n > 0 && w[n - 1] == 0)
      --n;
  }
};

// The six significant digits of v > 0, rounded half to even on its exact
// value, as an integer 100000..999999 and the decimal exponent of the
// first digit.
long long six_digits(double v, int &exp10) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const int biased = static_cast<int>(bits >> 52 & 0x7ff);
  std::uint64_t mant = bits & ((std::uint64_t(1) << 52) - 1);
  int e2 = -1074; // v = mant * 2^e2
  if (biased > 0) {
    mant |= std::uint64_t(1) << 52;
    e2 = biased - 1075;
  }
  // v / 10^e = num / den, brought into [1, 10).
  int e = static_cast<int>(std::floor(std::log10(v)));
  BigNat num(mant), den(1);
  if (e2 > 0)
    num.shl(e2);
  else
    den.shl(-e2);
  if (e < 0)
    num.mul_pow10(-e);
  else
    den.mul_pow10(e);
  for (;;) {
    BigNat ten_den = den;
    ten_den.mul(10);
    if (num.cmp(ten_den) >= 0) {
      den = ten_den;
      ++e;
    } else if (num.cmp(den) < 0) {
      num.mul(10);
      --e;
    } else {
      break;
    }
  }
  long long m = 0;
  for (int i = 0; i < 6; ++i) {
    if (i > 0)
      num.mul(10);
    int d = 0;
    for (; num.cmp(den) >= 0; ++d)
      num.sub(den);
    m = m * 10 + d;
  }
  num.shl(1); // twice the remainder against one unit of the last digit
  int c = num.cmp(den);
  if (c > 0 || (c == 0 && m % 2 == 1))
    ++m;
  if (m == 1000000) {
    m = 100000;
    ++e;
  }
  exp10 = e;
  return m;
}

} // namespace

std::size_t format_general(double v, char *out) {
  std::size_t n = 0;
  auto emit = [&](const char *s) {
    while (*s)
      out[n++] = *s++;
  };
  if (std::isnan(v)) {
    emit("nan");
    return n;
  }
  if (std::signbit(v)) {
    out[n++] = '-';
    v = -v;
  }
  if (std::isinf(v)) {
    emit("inf");
    return n;
  }
  if (v == 0) {
    out[n++] = '0';
    return n;
  }
  int e = 0;
  long long m = six_digits(v, e);
  char d[6];
  for (int i = 5; i >= 0; --i) {
    d[i] = static_cast<char>('0' + m % 10);
    m /= 10;
  }
  int last = 5; // last significant digit kept (trailing zeros dropped)
  while (last > 0 && d[last] == '0')
    --last;
  if (e < -4 || e >= 6) {
    out[n++] = d[0];
    if (last > 0) {
      out[n++] = '.';
      for (int i = 1; i <= last; ++i)
        out[n++] = d[i];
    }
    out[n++] = 'e';
    out[n++] = e < 0 ? '-' : '+';
    int a = e < 0 ? -e : e;
    if (a >= 100)
      out[n++] = static_cast<char>('0' + a / 100);
    out[n++] = static_cast<char>('0' + a / 10 % 10);
    out[n++] = static_cast<char>('0' + a % 10);
  } else if (e >= 0) {
    for (int i = 0; i <= e; ++i)
      out[n++] = d[i];
    if (last > e) {
      out[n++] = '.';
      for (int i = e + 1; i <= last; ++i)
        out[n++] = d[i];
    }
  } else {
    out[n++] = '0';
    out[n++] = '.';
    for (int i = 0; i < -e - 1; ++i)
      out[n++] = '0';
    for (int i = 0; i <= last; ++i)
      out[n++] = d[i];
  }
  return n;
}
