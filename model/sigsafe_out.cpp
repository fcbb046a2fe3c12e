#include "model/sigsafe_out.hpp"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <streambuf>
#include <unistd.h>

namespace {

// ---- The standard-output writer's state ------------------------------------
// [g_written, g_committed) of g_buf holds whole items that the main code
// appended and nobody wrote out yet. The main code alone advances
// g_committed (after the item's bytes are in place) and resets both ends
// (while every signal is blocked); a handler only reads g_committed and
// moves g_written up to it.
constexpr std::size_t kWriterBytes = std::size_t(1) << 16;
char g_buf[kWriterBytes];
volatile std::sig_atomic_t g_written = 0;
volatile std::sig_atomic_t g_committed = 0;
// Standard output, as far as it is written, ends inside a line.
volatile std::sig_atomic_t g_mid_line = 0;
// A handler's line waiting for the main code's line to end (its length).
char g_pending[256];
volatile std::sig_atomic_t g_pending_len = 0;
// Every append is written out at once (standard output is a terminal and
// the item ends a line, or the process is exiting).
bool g_line_mode = false;
bool g_write_through = false;
volatile std::sig_atomic_t g_result_lines_begun = 0;

// Writes n bytes to fd; on standard output, remembers whether the last
// byte ended a line. What cannot be written is dropped.
void write_out(int fd, const char *s, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, s, n);
    if (w < 0 && errno == EINTR)
      continue;
    if (w <= 0)
      return;
    s += w;
    n -= static_cast<std::size_t>(w);
    if (fd == 1)
      g_mid_line = s[-1] != '\n';
  }
}

void write_range(std::sig_atomic_t from, std::sig_atomic_t to) {
  std::atomic_signal_fence(std::memory_order_acquire);
  if (from < to)
    write_out(1, g_buf + from, static_cast<std::size_t>(to - from));
}

// std::cout's buffer: none; every item goes to the writer.
class WriterBuf : public std::streambuf {
protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      char ch = traits_type::to_char_type(c);
      stdout_append(&ch, 1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char *s, std::streamsize n) override {
    stdout_append(s, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    stdout_flush();
    return 0;
  }
};

// stdio's stdout: unbuffered, every chunk goes to the writer. Its users
// flush after a line (fflush reaches no cookie of an unbuffered stream):
// a chunk that ends a line is written out.
ssize_t cookie_write(void *, const char *s, std::size_t n) {
  stdout_append(s, n);
  if (std::memchr(s, '\n', n))
    stdout_flush();
  return static_cast<ssize_t>(n);
}

int cookie_close(void *) {
  stdout_flush();
  return 0;
}

void flush_at_exit() {
  g_write_through = true;
  stdout_flush();
}

} // namespace

// ---- The standard-output writer ---------------------------------------------

void route_standard_output() {
  static bool routed = false;
  if (routed)
    return;
  routed = true;
  std::cout.flush();
  std::fflush(stdout);
  // Never destroyed: std::cout is flushed after every static object.
  alignas(WriterBuf) static unsigned char storage[sizeof(WriterBuf)];
  std::cout.rdbuf(new (storage) WriterBuf);
  cookie_io_functions_t io = {nullptr, cookie_write, nullptr, cookie_close};
  if (FILE *f = fopencookie(nullptr, "w", io)) {
    std::setvbuf(f, nullptr, _IONBF, 0);
    stdout = f;
  }
  g_line_mode = isatty(1) != 0;
  std::atexit(flush_at_exit);
}

void stdout_append(const char *s, std::size_t n) {
  const char *item = s;
  const std::size_t size = n;
  while (n > 0) {
    std::size_t at = static_cast<std::size_t>(g_committed);
    // An item that fits an empty buffer is never split.
    if (at > 0 && at + n > kWriterBytes) {
      stdout_flush();
      continue;
    }
    std::size_t k = n < kWriterBytes - at ? n : kWriterBytes - at;
    std::memcpy(g_buf + at, s, k);
    std::atomic_signal_fence(std::memory_order_release);
    g_committed = static_cast<std::sig_atomic_t>(at + k);
    s += k;
    n -= k;
  }
  if (g_write_through || (g_line_mode && std::memchr(item, '\n', size)))
    stdout_flush();
}

void stdout_flush() {
  if (g_committed == 0 && g_pending_len == 0)
    return;
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &old);
  write_range(g_written, g_committed);
  g_written = 0;
  g_committed = 0;
  if (g_pending_len > 0 && !g_mid_line) {
    write_out(1, g_pending, static_cast<std::size_t>(g_pending_len));
    g_pending_len = 0;
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

void stdout_drain_for_exit() {
  std::sig_atomic_t to = g_committed;
  write_range(g_written, to);
  g_written = to;
  if (g_mid_line)
    write_out(1, "\n", 1);
  if (g_pending_len > 0) {
    write_out(1, g_pending, static_cast<std::size_t>(g_pending_len));
    g_pending_len = 0;
  }
}

void stdout_line_from_handler(const char *prefix, const char *line) {
  std::sig_atomic_t from = g_written, to = g_committed;
  std::atomic_signal_fence(std::memory_order_acquire);
  while (to > from && g_buf[to - 1] != '\n')
    --to;
  write_range(from, to);
  g_written = to;
  std::size_t n = 0;
  for (const char *part : {prefix, line})
    for (; *part && n < sizeof(g_pending); ++part)
      g_pending[n++] = *part;
  std::atomic_signal_fence(std::memory_order_release);
  if (g_mid_line)
    g_pending_len = static_cast<std::sig_atomic_t>(n);
  else
    write_out(1, g_pending, n);
}

bool result_lines_begun() { return g_result_lines_begun != 0; }

// ---- Formatting
// ---------------------------------------------------------------

HeldSignals::HeldSignals() {
  sigset_t all;
  sigfillset(&all);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
    sigdelset(&all, s);
  sigprocmask(SIG_BLOCK, &all, &old_);
}

HeldSignals::~HeldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

ResultLines::ResultLines() {
  to_writer_ = true;
  std::cout.flush();
  std::fflush(stdout);
  g_result_lines_begun = 1;
}

ResultLines::~ResultLines() {
  stdout_flush();
  to_writer_ = false;
}

void SigSafeOut::flush() {
  if (to_writer_) {
    stdout_flush();
  } else if (len_ > 0) {
    write_out(fd_, buf_, len_);
    len_ = 0;
  }
}

void SigSafeOut::put(const char *s, std::size_t n) {
  if (to_writer_) {
    stdout_append(s, n);
    return;
  }
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

// ---- Exact decimal digits
// -----------------------------------------------------

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
