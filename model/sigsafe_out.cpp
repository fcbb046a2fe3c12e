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
#include <poll.h>
#include <streambuf>
#include <unistd.h>

#include "model/runtime_msgs.hpp"

namespace {

// ---- The standard-output writer's state ------------------------------------
// [g_written, g_committed) of g_buf holds what the main code appended and
// nobody wrote out yet. Standard output is written in whole lines: the
// bytes after the last line end (the open line) stay in the buffer until
// their line ends, unless that line alone fills the buffer, when it goes
// out in parts. The main code alone advances g_committed (after the bytes
// are in place) and moves the open line to the buffer's start (while every
// signal is blocked); a handler only reads g_committed and moves g_written
// up to it.
constexpr std::size_t kWriterBytes = std::size_t(1) << 16;
char g_buf[kWriterBytes];
volatile std::sig_atomic_t g_written = 0;
volatile std::sig_atomic_t g_committed = 0;
// Standard output, as far as it is written, ends inside a line (a line
// longer than the buffer, or the unended end of the output at exit).
volatile std::sig_atomic_t g_mid_line = 0;
// A handler's line waiting for the main code's line to end (its length).
char g_pending[256];
volatile std::sig_atomic_t g_pending_len = 0;
// The error that writing standard output failed with for good (0: none).
volatile std::sig_atomic_t g_stdout_errno = 0;
// Every line is written out as soon as it ends (standard output is a
// terminal), or every append is written out whole (the process is exiting).
bool g_line_mode = false;
bool g_write_through = false;
volatile std::sig_atomic_t g_result_lines_begun = 0;

// Waits until fd takes bytes again (a non-blocking descriptor that is
// full); false when it cannot be waited for.
bool wait_writable(int fd) {
  pollfd p = {fd, POLLOUT, 0};
  for (;;) {
    int r = ::poll(&p, 1, -1);
    if (r > 0)
      return true; // an error or a hang-up: the next write reports it
    if (r < 0 && errno != EINTR)
      return false;
  }
}

// Writes n bytes to fd, waiting while a non-blocking descriptor is full;
// on standard output, remembers whether the last byte ended a line, or
// the error it failed with for good (the rest is then dropped). Leaves
// errno as it found it: handlers call it. Async-signal-safe.
void write_out(int fd, const char *s, std::size_t n) {
  const int saved = errno;
  while (n > 0) {
    ssize_t w = ::write(fd, s, n);
    if (w > 0) {
      s += w;
      n -= static_cast<std::size_t>(w);
      if (fd == 1)
        g_mid_line = s[-1] != '\n';
      continue;
    }
    if (w < 0 && errno == EINTR)
      continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && wait_writable(fd))
      continue;
    if (fd == 1 && g_stdout_errno == 0)
      g_stdout_errno = w < 0 ? errno : EIO;
    break;
  }
  errno = saved;
}

// Claims [from, to) of the buffer, then writes it out: a handler that
// comes during the write finds none of it left to write.
void write_claimed(std::sig_atomic_t from, std::sig_atomic_t to) {
  if (from >= to)
    return;
  g_written = to;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  write_out(1, g_buf + from, static_cast<std::size_t>(to - from));
}

// The end (just past the '\n') of the last line that ends in [from, to),
// or from when no line ends there.
std::sig_atomic_t whole_lines_end(std::sig_atomic_t from,
                                  std::sig_atomic_t to) {
  std::atomic_signal_fence(std::memory_order_acquire);
  while (to > from && g_buf[to - 1] != '\n')
    --to;
  return to;
}

// Writes the handler's waiting line once standard output is at a line
// start; claimed first, like the buffer.
void write_pending() {
  const std::sig_atomic_t n = g_pending_len;
  if (n == 0 || g_mid_line)
    return;
  g_pending_len = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  write_out(1, g_pending, static_cast<std::size_t>(n));
}

// How much of the buffer the main code writes out.
enum class Flush {
  WholeLines, // through the last line end; the open line stays
  Room,       // the same, but an open line that fills the buffer goes too
  Everything, // all, then a waiting handler's line on a line of its own
};

// Main code only. Writes out with every signal blocked and moves what
// stays to the buffer's start, so that a handler finds either all of a
// write out or none of it.
void flush_writer(Flush how) {
  // A buffer that a handler wrote out to its end still needs emptying.
  if (g_committed == 0 && g_pending_len == 0)
    return;
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &old);
  const std::sig_atomic_t end = g_committed;
  std::sig_atomic_t to = end;
  if (how != Flush::Everything) {
    to = whole_lines_end(g_written, end);
    if (how == Flush::Room && to == 0)
      to = end; // a line longer than the buffer
  }
  write_claimed(g_written, to);
  std::memmove(g_buf, g_buf + to, static_cast<std::size_t>(end - to));
  g_written = 0;
  g_committed = end - to;
  if (how == Flush::Everything && g_pending_len > 0 && g_mid_line)
    write_out(1, "\n", 1);
  write_pending();
  sigprocmask(SIG_SETMASK, &old, nullptr);
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

// Writes out everything, the unended end too. A run whose standard output
// failed for good ends with status 3 and says so on standard error, so
// that no result it could not write counts as given.
void flush_at_exit() {
  g_write_through = true;
  flush_writer(Flush::Everything);
  if (const int e = g_stdout_errno) {
    std::fprintf(stderr, "ERROR! Could not write standard output: %s\n",
                 std::strerror(e));
    std::fflush(nullptr);
    _exit(ExitStatus::Failure);
  }
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
    if (at == kWriterBytes) {
      flush_writer(Flush::Room);
      continue;
    }
    std::size_t k = n < kWriterBytes - at ? n : kWriterBytes - at;
    std::memcpy(g_buf + at, s, k);
    std::atomic_signal_fence(std::memory_order_release);
    g_committed = static_cast<std::sig_atomic_t>(at + k);
    s += k;
    n -= k;
  }
  if (g_write_through)
    flush_writer(Flush::Everything);
  else if (g_line_mode && std::memchr(item, '\n', size))
    stdout_flush();
}

void stdout_flush() { flush_writer(Flush::WholeLines); }

void stdout_drain_for_exit() {
  const std::sig_atomic_t from = g_written, end = g_committed;
  const std::sig_atomic_t to = whole_lines_end(from, end);
  if (to == from && g_mid_line) {
    // Standard output holds the start of a line longer than the buffer,
    // whose end is not in it: the line is cut where it came to, and ended.
    write_claimed(from, end);
    write_out(1, "\n", 1);
  } else {
    write_claimed(from, to); // the open line is dropped
  }
  write_pending();
}

void stdout_line_from_handler(const char *prefix, const char *line) {
  write_claimed(g_written, whole_lines_end(g_written, g_committed));
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

HeldSignals::HeldSignals(bool abort_too) {
  sigset_t all;
  sigfillset(&all);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS})
    sigdelset(&all, s);
  if (!abort_too)
    sigdelset(&all, SIGABRT);
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
