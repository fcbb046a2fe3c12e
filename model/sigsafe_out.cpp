#include "model/sigsafe_out.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <new>
#include <poll.h>
#include <streambuf>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "model/runtime_msgs.hpp"

namespace {

// ---- The standard-output writer's state ------------------------------------
// [g_written, g_committed) of g_buf holds what the main code appended and
// nobody wrote out yet. The main code appends whole items (only an item
// longer than the buffer is split) and, as the buffer fills, writes out
// the whole lines; the bytes after the last line end (the open line) stay
// until their line ends, unless the open line and the next item do not
// fit the buffer together. The main code alone advances g_committed (after
// the bytes are in place) and moves what stays to the buffer's start
// (while every signal is blocked); a handler only reads g_committed and
// moves g_written up to it.
constexpr std::size_t kWriterBytes = std::size_t(1) << 16;
char g_buf[kWriterBytes];
volatile std::sig_atomic_t g_written = 0;
volatile std::sig_atomic_t g_committed = 0;
// While the main code writes [g_written, g_flush_to) out and waits for the
// reader: a handler that runs meanwhile writes all of it.
volatile std::sig_atomic_t g_flush_to = 0;
// Standard output, as far as it is written, ends inside a line.
volatile std::sig_atomic_t g_mid_line = 0;
// That line is longer than the buffer: the main code wrote its start out
// when the buffer filled (not on purpose).
volatile std::sig_atomic_t g_long_line = 0;
// Handlers' lines waiting for standard output to reach a line start: one
// text, g_pending_count times; g_pending_at bytes of the first are out.
char g_pending[256];
volatile std::sig_atomic_t g_pending_len = 0;
volatile std::sig_atomic_t g_pending_count = 0;
volatile std::sig_atomic_t g_pending_at = 0;
// The error that writing standard output failed with for good (0: none).
volatile std::sig_atomic_t g_stdout_errno = 0;
// An ending stopped waiting for a reader that does not read: nothing more
// goes to standard output.
volatile std::sig_atomic_t g_cut = 0;
// When the run's ending began, and since when standard output takes
// nothing during it, in nanoseconds of the monotonic clock (0: not yet; it
// took the last write, or the stall began before the ending).
std::atomic<long long> g_ending_since{0};
std::atomic<long long> g_stall_since{0};
static_assert(std::atomic<long long>::is_always_lock_free,
              "handlers read and set the ending's start");
// Every line is written out as soon as it ends (standard output is a
// terminal), or every append is written out whole (the process is exiting).
bool g_line_mode = false;
bool g_write_through = false;
volatile std::sig_atomic_t g_result_lines_begun = 0;
// The signals blocked when the process started: a launcher's, not the
// run's own. One of them pending never ends the run, so it never cuts the
// output either.
sigset_t g_launch_mask;

// A signal or the time-out ends the run within 3 seconds of the reader's
// last read even when nobody reads standard output: the ending writes on
// as long as standard output takes bytes, and leaves the rest out once it
// took none for this long (counted from the ending's start at the
// earliest).
constexpr long long kStallNs = 2500000000LL;
// An abort from outside waits this long for the reader; what it could not
// write then waits for the main code (or the ending).
constexpr long long kAbortWaitNs = 200000000LL;
// While the main code holds the signals and waits for the reader, it looks
// this often for a held signal that ends the run.
constexpr int kHeldLookMs = 50;
// A terminal can have room again without poll saying so (its buffers are
// moved on by the kernel's own work, with no wake-up): a writer waiting
// for one tries the write again this often.
constexpr int kTerminalLookMs = 100;
// At most this many bytes go out in one write to a descriptor that can
// stall: a pipe takes that many whole or none, so a reader that stops
// leaves what is out ending where a piece ends.
constexpr std::size_t kPiece = PIPE_BUF;
// The signals that end a run.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM};

// Keeps errno unchanged for the code a handler interrupts.
struct KeepErrno {
  int saved = errno;
  ~KeepErrno() { errno = saved; }
};

long long now_ns() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Starts the ending, once. Async-signal-safe.
void start_ending_clock() {
  long long none = 0;
  g_ending_since.compare_exchange_strong(none, now_ns());
}

// When the ending gives up on a reader that takes nothing since began (0:
// since before the ending): kStallNs after the later of began and the
// ending's start (0: no ending has begun).
long long ending_deadline(long long began) {
  const long long since = g_ending_since.load();
  if (since == 0)
    return 0;
  return (began > since ? began : since) + kStallNs;
}

// How the writer writes to a descriptor. Decided once, when standard
// output is routed (or first written), so that a flushed line costs the
// write and the two mask changes around it, and a poll only where a write
// could otherwise block.
enum class SinkKind : std::sig_atomic_t {
  Undecided,
  // A regular file, a block device or a device that is no terminal
  // (/dev/null, /dev/full): written at once, never waited for.
  Direct,
  // A pipe or FIFO, or a terminal that could not be opened anew: poll
  // until it takes bytes, then write at most kPiece, which a pipe takes
  // whole.
  PollFirst,
  // A terminal, through a non-blocking descriptor of its own (opened anew,
  // so the status flags that the terminal's other users share stay as
  // they are): a blocking write to a terminal that nobody reads would stop
  // the process with every signal held, however little it writes. Written
  // first, waited for only when it takes nothing.
  NonBlocking,
  // A socket: sent without waiting, waited for only when it takes nothing.
  Socket,
};

struct Sink {
  int fd;
  SinkKind kind;
};

// The sink for descriptor fd. Async-signal-safe (fstat, tcgetattr, open).
Sink decide_sink(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))
    return {fd, SinkKind::Direct}; // a bad descriptor reports at its write
  if (S_ISSOCK(st.st_mode))
    return {fd, SinkKind::Socket};
  if (!S_ISCHR(st.st_mode))
    return {fd, SinkKind::PollFirst};
  termios t;
  if (tcgetattr(fd, &t) != 0)
    return {fd, SinkKind::Direct};
  char path[] = "/proc/self/fd/0";
  path[sizeof(path) - 2] = static_cast<char>('0' + fd);
  const int own =
      fd <= 9 ? open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
  return own >= 0 ? Sink{own, SinkKind::NonBlocking}
                  : Sink{fd, SinkKind::PollFirst};
}

// Standard output's sink; a handler may decide it when nothing routed
// standard output, or change a Direct one that stalled after all.
volatile std::sig_atomic_t g_out_fd = 1;
volatile std::sig_atomic_t g_out_kind =
    static_cast<std::sig_atomic_t>(SinkKind::Undecided);

Sink stdout_sink() {
  if (static_cast<SinkKind>(g_out_kind) == SinkKind::Undecided) {
    const Sink s = decide_sink(1);
    g_out_fd = s.fd;
    g_out_kind = static_cast<std::sig_atomic_t>(s.kind);
  }
  return {g_out_fd, static_cast<SinkKind>(g_out_kind)};
}

// Whether mask blocks a signal that ends the run and that the run itself
// holds (not the launcher); with pending, one that is also pending.
bool holds_ending_signal(const sigset_t &mask, const sigset_t *pending) {
  for (int s : kEndingSignals)
    if (sigismember(&mask, s) == 1 && sigismember(&g_launch_mask, s) != 1 &&
        (!pending || sigismember(pending, s) == 1))
      return true;
  return false;
}

// How a writer waits for its descriptor to take bytes.
struct Waiter {
  // When to give up (monotonic nanoseconds); 0: when the ending gives up,
  // or never before an ending.
  long long deadline;
  // The main code's mask to wait under (its caller's), so that a handler
  // can run meanwhile; null for a handler, which waits as it is.
  const sigset_t *mask;
  // Giving up leaves the rest out for good (an ending), or leaves it for
  // the main code (an abort's handler).
  bool cut;
  // The ending's deadline counts too (standard output only).
  bool ending = true;
};

enum class Waited { Ready, Interrupted, GaveUp, Failed };

// Waits until fd takes bytes; for a terminal (look_again), at most
// kTerminalLookMs before the write is tried again. For standard output
// during an ending the stall counts from the first wait since its last
// take (no clock is read before an ending). Under a mask that
// holds the signals that end the run (the main code amid its result
// lines), a held one that is pending starts the ending, and the wait ends
// with it.
Waited wait_writable(int fd, const Waiter &w, bool look_again) {
  const bool held = w.mask && holds_ending_signal(*w.mask, nullptr);
  long long began = 0;
  if (w.ending && g_ending_since.load() != 0) {
    began = now_ns();
    long long none = 0;
    if (!g_stall_since.compare_exchange_strong(none, began))
      began = none;
  }
  pollfd p = {fd, POLLOUT, 0};
  for (;;) {
    long long deadline = w.deadline;
    const long long ending = w.ending ? ending_deadline(began) : 0;
    if (ending != 0 && (deadline == 0 || ending < deadline))
      deadline = ending;
    int ms = -1;
    if (deadline != 0) {
      const long long left = deadline - now_ns();
      if (left <= 0)
        return Waited::GaveUp;
      ms = static_cast<int>(left / 1000000 + 1);
    }
    if (held && (ms < 0 || ms > kHeldLookMs))
      ms = kHeldLookMs;
    if (look_again && (ms < 0 || ms > kTerminalLookMs))
      ms = kTerminalLookMs;
    int r;
    if (w.mask) {
      timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
      r = ::ppoll(&p, 1, ms < 0 ? nullptr : &ts, w.mask);
    } else {
      r = ::poll(&p, 1, ms);
    }
    if (r > 0)
      return Waited::Ready; // an error or a hang-up: the write reports it
    if (r < 0 && errno == EINTR) {
      if (w.mask)
        return Waited::Interrupted; // a handler ran: look at the range again
      continue;
    }
    if (r < 0)
      return Waited::Failed;
    sigset_t pending;
    if (held && sigpending(&pending) == 0 &&
        holds_ending_signal(*w.mask, &pending))
      start_ending_clock();
    if (look_again)
      return Waited::Ready;
  }
}

// The length of the next piece of the n bytes at s, which end after a
// whole item: at most kPiece, ending after the last line end among them
// or, in a line longer than that, after the last space (the items of a
// long line are numbers and the spaces between them), so that whatever a
// reader that stops leaves out, what is out ends after a whole item.
// (Not inlined: where s is a handler's short line the compiler would warn
// of a search past its end, which n > kPiece rules out.)
[[gnu::noinline]] std::size_t piece_length(const char *s, std::size_t n) {
  if (n <= kPiece)
    return n;
  for (char end : {'\n', ' '})
    if (const void *at = memrchr(s, end, kPiece))
      return static_cast<std::size_t>(static_cast<const char *>(at) - s) + 1;
  return kPiece;
}

// What a writer does after a wait that did not find the descriptor ready:
// 0, look again (a handler ran meanwhile); -1, stop (error set when the
// wait failed).
long after_wait(Waited waited, int &error) {
  if (waited == Waited::Failed)
    error = errno;
  return waited == Waited::GaveUp || waited == Waited::Failed ? -1 : 0;
}

// One write of at most one piece of the n bytes at s to sink, waiting as w
// says where the sink needs it. Returns the bytes written; 0: none yet,
// look again; -1: the wait gave up (error 0) or the write failed (error
// set). A Direct sink that asks to wait becomes a PollFirst one.
long write_piece(Sink &sink, const char *s, std::size_t n, const Waiter &w,
                 int &error) {
  error = 0;
  if (sink.kind == SinkKind::PollFirst) {
    const Waited waited = wait_writable(sink.fd, w, false);
    if (waited != Waited::Ready)
      return after_wait(waited, error);
  }
  if (sink.kind != SinkKind::Direct)
    n = piece_length(s, n);
  const ssize_t k = sink.kind == SinkKind::Socket
                        ? ::send(sink.fd, s, n, MSG_DONTWAIT)
                        : ::write(sink.fd, s, n);
  if (k > 0)
    return k;
  if (k < 0 && errno == EINTR)
    return 0;
  if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    if (sink.kind == SinkKind::PollFirst)
      return 0;
    if (sink.kind == SinkKind::Direct)
      sink.kind = SinkKind::PollFirst;
    return after_wait(
        wait_writable(sink.fd, w, sink.kind == SinkKind::NonBlocking), error);
  }
  error = k < 0 ? errno : EIO;
  return -1;
}

// Writes one piece of the n bytes at s to standard output once it takes
// bytes. Returns the bytes written (0: none yet, look again), or -1 when
// the writer stops: it gave up waiting, or standard output failed for good
// (recorded); after either, nothing more goes out.
long put_piece(const char *s, std::size_t n, const Waiter &w) {
  if (g_cut || g_stdout_errno)
    return -1;
  Sink sink = stdout_sink();
  const SinkKind kind = sink.kind;
  int error = 0;
  const long k = write_piece(sink, s, n, w, error);
  if (sink.kind != kind)
    g_out_kind = static_cast<std::sig_atomic_t>(sink.kind);
  if (k > 0) {
    if (g_stall_since.load() != 0)
      g_stall_since.store(0);
    g_mid_line = s[k - 1] != '\n';
    if (!g_mid_line)
      g_long_line = 0;
    return k;
  }
  if (k < 0 && error == 0 && w.cut)
    g_cut = 1;
  else if (k < 0 && error != 0)
    g_stdout_errno = error;
  return k;
}

// Writes [g_written, to) of the buffer out, each piece claimed as soon as
// it is written: signals are blocked around every write, and a handler
// that runs while the main code waits finds the rest still to write.
// Returns whether all of it went out; when the writer stopped for good the
// rest is passed over.
bool write_range(std::sig_atomic_t to, const Waiter &w) {
  while (g_written < to) {
    std::atomic_signal_fence(std::memory_order_acquire);
    const std::sig_atomic_t from = g_written;
    const long k =
        put_piece(g_buf + from, static_cast<std::size_t>(to - from), w);
    if (k < 0) {
      if (g_cut || g_stdout_errno)
        g_written = to;
      return false;
    }
    if (k > 0) // else a handler may have moved g_written meanwhile
      g_written = static_cast<std::sig_atomic_t>(from + k);
  }
  return true;
}

// Writes n bytes to a descriptor other than standard output, waiting for
// it at most kStallNs at a time; what cannot be written is dropped.
void write_other(int fd, const char *s, std::size_t n) {
  Sink sink = decide_sink(fd);
  long long deadline = now_ns() + kStallNs;
  while (n > 0) {
    int error = 0;
    const long k =
        write_piece(sink, s, n, Waiter{deadline, nullptr, true, false}, error);
    if (k < 0)
      break;
    if (k > 0) {
      s += k;
      n -= static_cast<std::size_t>(k);
      deadline = now_ns() + kStallNs;
    }
  }
  if (sink.fd != fd)
    close(sink.fd);
}

// Writes n bytes that are not the buffer's (a handler's line, a line end)
// to standard output. Returns whether all went out.
bool write_own(const char *s, std::size_t n, const Waiter &w) {
  while (n > 0) {
    const long k = put_piece(s, n, w);
    if (k < 0)
      return false;
    s += k;
    n -= static_cast<std::size_t>(k);
  }
  return true;
}

// Writes the waiting handlers' lines once standard output is at a line
// start, each taken off as it goes out; with started_only, just the rest
// of one already begun.
void write_pending(const Waiter &w, bool started_only = false) {
  if (g_pending_count == 0)
    return;
  for (;;) {
    const std::sig_atomic_t at = g_pending_at;
    if (g_pending_count == 0 || (at == 0 && (started_only || g_mid_line)))
      return;
    const long k = put_piece(g_pending + at,
                             static_cast<std::size_t>(g_pending_len - at), w);
    if (k < 0)
      return;
    if (k == 0) // a handler may have written the lines meanwhile
      continue;
    if (at + k < g_pending_len) {
      g_pending_at = static_cast<std::sig_atomic_t>(at + k);
    } else {
      g_pending_at = 0;
      g_pending_count = g_pending_count - 1;
    }
  }
}

// The end (just past the '\n') of the last line that ends in [from, to),
// or from when no line ends there.
std::sig_atomic_t whole_lines_end(std::sig_atomic_t from,
                                  std::sig_atomic_t to) {
  std::atomic_signal_fence(std::memory_order_acquire);
  if (to <= from)
    return from;
  const void *nl =
      memrchr(g_buf + from, '\n', static_cast<std::size_t>(to - from));
  return nl ? static_cast<std::sig_atomic_t>(static_cast<const char *>(nl) -
                                             g_buf + 1)
            : from;
}

// What a handler writes of the buffer: the whole lines, what the main code
// is writing out on purpose, and with long_line a line longer than the
// buffer as far as it came.
std::sig_atomic_t handler_range_end(bool long_line) {
  const std::sig_atomic_t from = g_written, end = g_committed;
  std::sig_atomic_t to = whole_lines_end(from, end);
  if (long_line && to == from && g_long_line)
    to = end;
  if (g_flush_to > to)
    to = g_flush_to;
  return to;
}

// Writes out what a handler that ends the process writes of the buffer,
// ends a line left open, then the waiting handlers' lines. A handler's
// line that was begun is finished first.
void drain(const Waiter &w) {
  write_pending(w, true);
  write_range(handler_range_end(true), w);
  if (g_mid_line)
    write_own("\n", 1, w);
  write_pending(w);
}

// How much of the buffer the main code writes out.
enum class Flush {
  WholeLines, // through the last line end; the open line stays
  Room,       // the same, and the open line too if too little room is left
  Everything, // all, the open line too (a flush on purpose)
  AtExit,     // all, then a waiting handler's line on a line of its own
};

// Main code only. Writes out with every signal blocked but while it waits
// for the reader (then the caller's mask holds), and moves what stays to
// the buffer's start. room: the bytes Flush::Room must leave free.
void flush_writer(Flush how, std::size_t room = 0) {
  // A buffer that a handler wrote out to its end still needs emptying.
  if (g_committed == 0 && g_pending_count == 0)
    return;
  sigset_t all, old;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &old);
  const std::sig_atomic_t end = g_committed;
  std::sig_atomic_t to = end;
  bool open_line_too = false;
  if (how == Flush::WholeLines || how == Flush::Room) {
    to = whole_lines_end(g_written, end);
    if (how == Flush::Room &&
        kWriterBytes - static_cast<std::size_t>(end - to) < room) {
      to = end;
      open_line_too = true;
    }
  }
  const Waiter w{0, &old, true};
  // A handler's line that is partly out is finished before any other byte.
  write_pending(w, true);
  g_flush_to = to;
  write_range(to, w);
  std::memmove(g_buf, g_buf + to, static_cast<std::size_t>(end - to));
  g_written = 0;
  g_committed = end - to;
  g_flush_to = 0;
  if (open_line_too)
    g_long_line = g_mid_line;
  if (how == Flush::AtExit && g_pending_count > 0 && g_pending_at == 0 &&
      g_mid_line)
    write_own("\n", 1, w);
  write_pending(w);
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Appends n bytes at g_committed, which they fit.
void commit(const char *s, std::size_t n) {
  const std::size_t at = static_cast<std::size_t>(g_committed);
  std::memcpy(g_buf + at, s, n);
  std::atomic_signal_fence(std::memory_order_release);
  g_committed = static_cast<std::sig_atomic_t>(at + n);
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
// a chunk that ends a line writes the whole lines out.
ssize_t cookie_write(void *, const char *s, std::size_t n) {
  stdout_append(s, n);
  if (std::memchr(s, '\n', n))
    flush_writer(Flush::WholeLines);
  return static_cast<ssize_t>(n);
}

int cookie_close(void *) {
  stdout_flush();
  return 0;
}

// Writes out everything, the unended end too; a run whose standard output
// failed for good then ends with status 3.
void flush_at_exit() {
  g_write_through = true;
  flush_writer(Flush::AtExit);
  if (g_stdout_errno)
    std::fflush(nullptr);
  exit_if_stdout_failed();
}

} // namespace

// ---- The standard-output writer ---------------------------------------------

void route_standard_output() {
  static bool routed = false;
  if (routed)
    return;
  routed = true;
  sigprocmask(SIG_BLOCK, nullptr, &g_launch_mask);
  stdout_sink();
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
  if (static_cast<std::size_t>(g_committed) + n > kWriterBytes) {
    // Room for the whole item: it is split only when longer than the
    // buffer, and then the buffer is filled and written out as it goes.
    flush_writer(Flush::Room, n < kWriterBytes ? n : kWriterBytes);
    while (static_cast<std::size_t>(g_committed) + n > kWriterBytes) {
      const std::size_t k =
          kWriterBytes - static_cast<std::size_t>(g_committed);
      commit(s, k);
      s += k;
      n -= k;
      flush_writer(Flush::Room, 1);
    }
  }
  commit(s, n);
  if (g_write_through)
    flush_writer(Flush::AtExit);
  else if (g_line_mode && std::memchr(item, '\n', size))
    flush_writer(Flush::WholeLines);
}

void stdout_flush() { flush_writer(Flush::Everything); }

void stdout_drain_for_exit() {
  KeepErrno keep;
  start_ending_clock();
  drain(Waiter{0, nullptr, true});
}

void stdout_line_from_handler(const char *prefix, const char *line,
                              bool process_ends) {
  KeepErrno keep;
  stdout_queue_line(prefix, line);
  if (process_ends) {
    start_ending_clock();
    drain(Waiter{0, nullptr, true});
    return;
  }
  const Waiter w{now_ns() + kAbortWaitNs, nullptr, false};
  write_pending(w, true);
  if (write_range(handler_range_end(false), w))
    write_pending(w);
}

void stdout_queue_line(const char *prefix, const char *line) {
  if (g_pending_count == 0) {
    std::size_t n = 0;
    for (const char *part : {prefix, line})
      for (; *part && n < sizeof(g_pending); ++part)
        g_pending[n++] = *part;
    g_pending_len = static_cast<std::sig_atomic_t>(n);
  }
  std::atomic_signal_fence(std::memory_order_release);
  g_pending_count = g_pending_count + 1;
}

void exit_if_stdout_failed() {
  const int e = g_stdout_errno;
  if (e == 0)
    return;
  const char *why = strerrordesc_np(e);
  SigSafeOut err(2);
  err << "ERROR! Could not write standard output: ";
  if (why)
    err << why;
  else
    err << "error " << e;
  err << '\n';
  err.flush();
  _exit(ExitStatus::Failure);
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
    return;
  }
  if (len_ == 0)
    return;
  KeepErrno keep;
  if (fd_ == 1)
    write_own(buf_, len_, Waiter{0, nullptr, true});
  else
    write_other(fd_, buf_, len_);
  len_ = 0;
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
