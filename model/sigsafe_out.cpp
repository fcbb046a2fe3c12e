#include "model/sigsafe_out.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_result_lines_begun = 0;
// Standard output ends inside a line (as far as SigSafeOut wrote it).
volatile std::sig_atomic_t g_stdout_mid_line = 0;
} // namespace

bool result_lines_begun() { return g_result_lines_begun != 0; }
bool stdout_ends_mid_line() { return g_stdout_mid_line != 0; }

HeldSignals::HeldSignals() {
  sigset_t all;
  sigfillset(&all);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
    sigdelset(&all, s);
  sigprocmask(SIG_BLOCK, &all, &old_);
}

HeldSignals::~HeldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

ResultLines::ResultLines() {
  std::cout.flush();
  std::fflush(stdout);
  hold_signals_ = true;
  g_stdout_mid_line = 0;
}

void SigSafeOut::flush() {
  if (len_ == 0)
    return;
  if (hold_signals_) {
    HeldSignals held;
    g_result_lines_begun = 1;
    write_buffer();
  } else {
    write_buffer();
  }
}

void SigSafeOut::write_buffer() {
  std::size_t done = 0;
  while (done < len_) {
    ssize_t w = ::write(fd_, buf_ + done, len_ - done);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      break; // nothing more can be written; drop the rest
    done += static_cast<std::size_t>(w);
    if (fd_ == 1)
      g_stdout_mid_line = buf_[done - 1] != '\n';
  }
  len_ = 0;
}

void SigSafeOut::put(const char *s, std::size_t n) {
  if (n == 0)
    return;
  if (len_ + n > sizeof(buf_))
    flush();
  // An item longer than the buffer goes out in pieces.
  while (n > sizeof(buf_)) {
    std::memcpy(buf_, s, sizeof(buf_));
    len_ = sizeof(buf_);
    flush();
    s += sizeof(buf_);
    n -= sizeof(buf_);
  }
  std::memcpy(buf_ + len_, s, n);
  len_ += n;
  last_ = s[n - 1];
}

void SigSafeOut::put_number(bool negative, unsigned long long u) {
  char text[24];
  std::size_t k = sizeof(text);
  do {
    text[--k] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  if (negative)
    text[--k] = '-';
  put(text + k, sizeof(text) - k);
}

SigSafeOut &SigSafeOut::operator<<(const char *s) {
  if (s)
    put(s, std::strlen(s));
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(char c) {
  put(&c, 1);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(unsigned long long v) {
  put_number(false, v);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(long long v) {
  unsigned long long u = static_cast<unsigned long long>(v);
  put_number(v < 0, v < 0 ? 0ULL - u : u);
  return *this;
}

SigSafeOut &SigSafeOut::operator<<(double v) {
  char s[32];
  put(s, format_general(v, s));
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
