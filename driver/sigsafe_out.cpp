#include "driver/sigsafe_out.hpp"

#include <cerrno>
#include <cmath>
#include <unistd.h>

void SigSafeOut::flush() {
  std::size_t done = 0;
  while (done < len_) {
    ssize_t w = ::write(fd_, buf_ + done, len_ - done);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      break; // nothing more can be written; drop the rest
    done += static_cast<std::size_t>(w);
  }
  len_ = 0;
}

SigSafeOut &SigSafeOut::operator<<(const char *s) {
  if (s)
    while (*s)
      put(*s++);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(char c) {
  put(c);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(unsigned long long v) {
  char digits[24];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (k)
    put(digits[--k]);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(long long v) {
  if (v < 0) {
    put('-');
    return *this << (0ULL - static_cast<unsigned long long>(v));
  }
  return *this << static_cast<unsigned long long>(v);
}

SigSafeOut &SigSafeOut::operator<<(double v) {
  char s[32];
  std::size_t n = format_general(v, s);
  for (std::size_t i = 0; i < n; ++i)
    put(s[i]);
  return *this;
}

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
  // Six significant digits d[0..5] and the decimal exponent e of d[0].
  // Scaling in extended precision (powers of ten up to 10^27 are exact)
  // rounds as the exact binary value does, ties of the decimal text aside.
  int e = static_cast<int>(std::floor(std::log10(v)));
  auto six_digits = [v](int exp10) {
    long double x = v;
    int k = 5 - exp10;
    if (k >= 0)
      x *= std::pow(10.0L, static_cast<long double>(k));
    else
      x /= std::pow(10.0L, static_cast<long double>(-k));
    return std::llround(x);
  };
  long long m = six_digits(e);
  if (m >= 1000000) {
    ++e;
    m = six_digits(e);
  } else if (m < 100000) {
    --e;
    m = six_digits(e);
  }
  if (m >= 1000000) { // rounding carried into a seventh digit
    m /= 10;
    ++e;
  }
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
