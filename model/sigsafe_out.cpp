#include "model/sigsafe_out.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <new>
#include <poll.h>
#include <streambuf>
#include <sys/socket.h>
#include <unistd.h>

#include "model/general_format.hpp"
#include "model/output_sink.hpp"
#include "model/runtime_msgs.hpp"

namespace {

// ---- Limits -----------------------------------------------------------------

constexpr std::size_t kWriterBytes = std::size_t(1) << 16;
// A signal or the time-out ends the run within 3 seconds of the reader's
// last read even when nobody reads standard output: the ending writes on
// as long as standard output takes bytes, and leaves the rest out once it
// took none for this long (counted from the ending's start at the
// earliest).
constexpr long long kStallNs = 2500000000LL;
// An abort from outside waits this long for the reader; what it could not
// write then waits for the main code (or the ending).
constexpr long long kAbortWaitNs = 200000000LL;
// While the signals that end the run are held (an ending, or the main code
// amid its result lines) a writer looks this often for one that came: the
// first starts the ending, another one during the ending stops the run at
// once.
constexpr int kLookMs = 50;
// Signals that come within this long of the ending's start are part of
// the signal that began it, whatever their kinds: a launcher may send two
// at once (its signal to the run and then to the run's process group, or
// SIGTERM and then SIGHUP). They cut nothing and print no line.
constexpr long long kTogetherNs = 200000000LL;
// The signals that end a run; all but the time-out's alarm stop an ending
// at once.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM};

// ---- The writer's state -----------------------------------------------------

// [written, committed) of bytes holds what the main code appended and
// nobody wrote out yet. The main code appends whole items (only an item
// longer than the buffer is split) and, as the buffer fills, writes out
// the whole lines; the bytes after the last line end (the open line) stay
// until their line ends, unless the open line and the next item do not
// fit the buffer together. The main code alone advances committed (after
// the bytes are in place) and moves what stays to the buffer's start
// (while every signal is blocked); a handler only reads committed and
// moves written up to it.
struct Buffer {
  char bytes[kWriterBytes];
  volatile std::sig_atomic_t written;
  volatile std::sig_atomic_t committed;
  // While the main code writes [written, flush_to) out and waits for the
  // reader: a handler that runs meanwhile writes all of it.
  volatile std::sig_atomic_t flush_to;
};
Buffer g_buf;

// Where standard output stands.
struct Output {
  // As far as it is written, it ends inside a line.
  volatile std::sig_atomic_t mid_line;
  // That line is longer than the buffer: the main code wrote its start
  // out when the buffer filled (not on purpose).
  volatile std::sig_atomic_t long_line;
  // The error that writing it failed with for good (0: none).
  volatile std::sig_atomic_t error;
  // Nothing more goes to it: an ending gave up on a reader that does not
  // read, or another signal stopped the run.
  volatile std::sig_atomic_t cut;
  volatile std::sig_atomic_t result_lines_begun;
  // Every line is written out as it ends (a terminal), or every append is
  // written out whole (the process is exiting).
  bool line_mode;
  bool write_through;
};
Output g_out;

// Handlers' lines waiting for standard output to reach a line start: one
// text, count times; at bytes of the first are out.
struct PendingLines {
  char text[256];
  volatile std::sig_atomic_t len;
  volatile std::sig_atomic_t count;
  volatile std::sig_atomic_t at;
};
PendingLines g_pending;

// The clocks of the run's ending, in nanoseconds of the monotonic clock.
struct EndingClock {
  // When it began (0: not yet).
  std::atomic<long long> since{0};
  // Since when standard output takes nothing during it (0: it took the
  // last write, or no wait since).
  std::atomic<long long> stall_since{0};
  // The signal that the result lines took off the pending ones, so that
  // the same one sent again shows; raised again when they end.
  volatile std::sig_atomic_t taken = 0;
  // When a writer last looked at the held signals.
  std::atomic<long long> looked{0};
};
EndingClock g_ending_clock;
static_assert(std::atomic<long long>::is_always_lock_free,
              "handlers read and set the ending's clock");

// The signals blocked when the process started (a launcher's, not the
// run's own), and those of them that the run took as its own (the
// time-out's alarm). A launcher's signal pending never ends the run, so
// it never cuts the output either.
struct LauncherMask {
  sigset_t blocked;
  sigset_t taken;
};
LauncherMask g_launcher;

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
  g_ending_clock.since.compare_exchange_strong(none, now_ns());
}

bool ending_begun() { return g_ending_clock.since.load() != 0; }

// The start of the stall that a wait is part of: the first wait since
// standard output last took bytes marks it. Before an ending no clock is
// read (0).
long long stall_start() {
  if (!ending_begun())
    return 0;
  const long long now = now_ns();
  long long none = 0;
  return g_ending_clock.stall_since.compare_exchange_strong(none, now) ? now
                                                                       : none;
}

// When the ending gives up on a reader that takes nothing since began (0:
// since before the ending): kStallNs after the later of began and the
// ending's start (0: no ending has begun).
long long ending_deadline(long long began) {
  const long long since = g_ending_clock.since.load();
  if (since == 0)
    return 0;
  return (began > since ? began : since) + kStallNs;
}

// ---- Signals while they are held --------------------------------------------

// Whether mask blocks a signal that ends the run and that the run itself
// holds (not the launcher).
bool holds_ending_signal(const sigset_t &mask) {
  for (int s : kEndingSignals)
    if (sigismember(&mask, s) == 1 && !launcher_blocked(s))
      return true;
  return false;
}

// Takes a pending sig off, if it is pending and blocked; info says who
// sent it.
bool take_pending(int sig, siginfo_t &info) {
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  const timespec no_wait = {0, 0};
  return sigtimedwait(&only, &info, &no_wait) == sig;
}

// When the window of signals that are part of the ending closes (0: no
// ending yet).
long long together_until() {
  const long long since = g_ending_clock.since.load();
  return since == 0 ? 0 : since + kTogetherNs;
}

// What a look at the held signals saw.
enum class Seen {
  Nothing,     // nothing, or only signals that are part of the ending
  EndingBegan, // the first signal: the ending counts from now
  Stop,        // another signal during the ending: nothing more goes out
};

// Looks at the pending signals that end the run, while they are held, when
// a look is due: every kLookMs (a pipe is waited for before every piece,
// so however often a writer waits), and at every step while the signals
// that came may still be part of the ending, so that the first look after
// that tells the two apart to within a step.
//
// Before the ending the first signal starts it: the result lines, the
// only main code that holds them, take it off the pending ones so that
// another shows, and raise it again when they end. A signal that came by
// the first look after the ending's first kTogetherNs, and the time-out's
// alarm at any time, are part of the ending: taken off, dropped. Any other
// signal during the ending is Stop (left pending: the process ends first).
Seen look_at_held_signals() {
  const long long now = now_ns();
  const long long last = g_ending_clock.looked.load();
  const long long together = together_until();
  if (now - last < kLookMs * 1000000LL && (together == 0 || last >= together))
    return Seen::Nothing;
  g_ending_clock.looked.store(now);
  sigset_t pending;
  if (sigpending(&pending) != 0)
    return Seen::Nothing;
  Seen seen = Seen::Nothing;
  for (int s : kEndingSignals) {
    if (sigismember(&pending, s) != 1 || launcher_blocked(s))
      continue;
    const long long until = together_until();
    if (until != 0 && s != SIGALRM && last >= until)
      return Seen::Stop;
    siginfo_t info;
    if (!take_pending(s, info) || until != 0 || ignored_outside_signal(s, info))
      continue;
    g_ending_clock.taken = s;
    start_ending_clock();
    seen = Seen::EndingBegan;
  }
  return seen;
}

// The milliseconds until the next look is due: kLookMs, or the close of
// the window of signals that are part of the ending if that is sooner.
int ms_to_next_look() {
  const long long left = together_until() - now_ns();
  if (left <= 0 || left >= kLookMs * 1000000LL)
    return kLookMs;
  return static_cast<int>(left / 1000000 + 1);
}

// ---- Standard output's sink -------------------------------------------------

// Standard output's sink; a handler may decide it when nothing routed
// standard output, or change a Direct one that stalled after all.
Sink g_stdout;

Sink &stdout_sink() {
  if (g_stdout.kind == SinkKind::Undecided)
    g_stdout = decide_sink(1);
  return g_stdout;
}

// ---- Waiting for the reader -------------------------------------------------

// The shorter of two waits in milliseconds (-1: no limit).
int sooner(int ms, int most) { return ms < 0 || ms > most ? most : ms; }

// How a writer waits for its descriptor to take bytes.
struct Waiter final : SinkWait {
  // When to give up (monotonic nanoseconds); 0: when the ending gives up,
  // or never before an ending.
  long long deadline;
  // The main code's mask to wait under (its caller's), so that a handler
  // can run meanwhile; null: wait as it is (a handler, an ending).
  const sigset_t *mask;
  // Giving up leaves the rest out for good (an ending), or leaves it for
  // the main code (an abort's handler).
  bool cut;
  // The ending's stall rule counts (standard output only).
  bool ending;

  Waiter(long long deadline, const sigset_t *mask, bool cut, bool ending)
      : deadline(deadline), mask(mask), cut(cut), ending(ending) {}

  // The main code, waiting under its caller's mask.
  static Waiter main_code(const sigset_t *caller) {
    return {0, caller, true, true};
  }
  // A handler, or an ending from the main code with every signal held.
  static Waiter handler() { return {0, nullptr, true, true}; }
  // The handler of an abort from outside: kAbortWaitNs, then the rest is
  // left for the main code.
  static Waiter abort_handler() {
    return {now_ns() + kAbortWaitNs, nullptr, false, true};
  }
  // Another descriptor (standard error), until deadline.
  static Waiter other(long long deadline) {
    return {deadline, nullptr, true, false};
  }

  // Whether the signals that end the run are held where it waits: the
  // main code amid its result lines, or an ending.
  bool holds_signals() const {
    return mask ? holds_ending_signal(*mask) : ending_begun();
  }

  // Waits until fd takes bytes (see below).
  Waited wait(int fd, bool retry) const override;

  // What the reader took from a socket counts as a take: the stall starts
  // again.
  void reader_took() const override {
    if (ending)
      g_ending_clock.stall_since.store(0);
  }
};

// Waits until fd takes bytes. During an ending the stall counts from
// the first wait since the last take. Where the signals that end the
// run are held, it looks at them as it waits: another one during the
// ending gives up at once.
Waited Waiter::wait(int fd, bool retry) const {
  const bool held = holds_signals();
  const long long began = ending ? stall_start() : 0;
  pollfd p = {fd, POLLOUT, 0};
  for (;;) {
    if (held && look_at_held_signals() == Seen::Stop) {
      g_out.cut = 1;
      return Waited::GaveUp;
    }
    long long until = deadline;
    const long long stalled = ending ? ending_deadline(began) : 0;
    if (stalled != 0 && (until == 0 || stalled < until))
      until = stalled;
    int ms = -1;
    if (until != 0) {
      const long long left = until - now_ns();
      if (left <= 0)
        return Waited::GaveUp;
      ms = static_cast<int>(left / 1000000 + 1);
    }
    if (held)
      ms = sooner(ms, ms_to_next_look());
    if (retry)
      ms = sooner(ms, kRetryMs);
    int r;
    if (mask) {
      const timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
      r = ::ppoll(&p, 1, ms < 0 ? nullptr : &ts, mask);
    } else {
      r = ::poll(&p, 1, ms);
    }
    if (r > 0)
      return Waited::Ready; // an error or a hang-up: the write reports it
    if (r < 0 && errno == EINTR) {
      if (mask)
        return Waited::Interrupted; // a handler ran: look at the range again
      continue;
    }
    if (r < 0)
      return Waited::Failed;
    if (retry)
      return Waited::Ready;
  }
}

// ---- Writing ----------------------------------------------------------------

// One write step to standard output. Where the signals that end the run
// are held it looks at them first. After a step that gave up for good or
// failed (recorded) nothing more goes out.
Step put_piece(const char *s, std::size_t n, const Waiter &w) {
  if (g_out.cut || g_out.error)
    return Step::gave_up();
  if (w.holds_signals() && look_at_held_signals() == Seen::Stop) {
    g_out.cut = 1;
    return Step::gave_up();
  }
  const Step step = write_step(stdout_sink(), s, n, w);
  switch (step.is) {
  case Step::Is::Wrote:
    if (g_ending_clock.stall_since.load() != 0)
      g_ending_clock.stall_since.store(0);
    g_out.mid_line = s[step.bytes - 1] != '\n';
    if (!g_out.mid_line)
      g_out.long_line = 0;
    break;
  case Step::Is::GaveUp:
    if (w.cut)
      g_out.cut = 1;
    break;
  case Step::Is::Failed:
    g_out.error = step.error;
    break;
  case Step::Is::Again:
    break;
  }
  return step;
}

bool stopped(const Step &step) {
  return step.is == Step::Is::GaveUp || step.is == Step::Is::Failed;
}

// Writes [written, to) of the buffer out, each piece claimed as soon as it
// is written: signals are blocked around every write, and a handler that
// runs while the main code waits finds the rest still to write. Returns
// whether all of it went out; when the writer stopped for good the rest
// is passed over.
bool write_range(std::sig_atomic_t to, const Waiter &w) {
  while (g_buf.written < to) {
    std::atomic_signal_fence(std::memory_order_acquire);
    const std::sig_atomic_t from = g_buf.written;
    const Step step =
        put_piece(g_buf.bytes + from, static_cast<std::size_t>(to - from), w);
    if (stopped(step)) {
      if (g_out.cut || g_out.error)
        g_buf.written = to;
      return false;
    }
    if (step.is == Step::Is::Wrote) // else a handler may have moved it
      g_buf.written = static_cast<std::sig_atomic_t>(from + step.bytes);
  }
  return true;
}

// Writes n bytes to a descriptor other than standard output, waiting for
// it at most kStallNs at a time; what cannot be written is dropped.
void write_other(int fd, const char *s, std::size_t n) {
  Sink sink = decide_sink(fd);
  long long deadline = now_ns() + kStallNs;
  while (n > 0) {
    const Step step = write_step(sink, s, n, Waiter::other(deadline));
    if (stopped(step))
      break;
    if (step.is == Step::Is::Wrote) {
      s += step.bytes;
      n -= step.bytes;
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
    const Step step = put_piece(s, n, w);
    if (stopped(step))
      return false;
    s += step.bytes;
    n -= step.bytes;
  }
  return true;
}

// Writes the waiting handlers' lines once standard output is at a line
// start, each taken off as it goes out; with started_only, just the rest
// of one already begun.
void write_pending(const Waiter &w, bool started_only = false) {
  if (g_pending.count == 0)
    return;
  for (;;) {
    const std::sig_atomic_t at = g_pending.at;
    if (g_pending.count == 0 || (at == 0 && (started_only || g_out.mid_line)))
      return;
    const Step step = put_piece(
        g_pending.text + at, static_cast<std::size_t>(g_pending.len - at), w);
    if (stopped(step))
      return;
    if (step.is == Step::Is::Again) // a handler may have written them
      continue;
    const auto end = static_cast<std::sig_atomic_t>(at + step.bytes);
    if (end < g_pending.len) {
      g_pending.at = end;
    } else {
      g_pending.at = 0;
      g_pending.count = g_pending.count - 1;
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
      memrchr(g_buf.bytes + from, '\n', static_cast<std::size_t>(to - from));
  return nl ? static_cast<std::sig_atomic_t>(static_cast<const char *>(nl) -
                                             g_buf.bytes + 1)
            : from;
}

// What a handler writes of the buffer: the whole lines, what the main code
// is writing out on purpose, and with long_line a line longer than the
// buffer as far as it came.
std::sig_atomic_t handler_range_end(bool long_line) {
  const std::sig_atomic_t from = g_buf.written, end = g_buf.committed;
  std::sig_atomic_t to = whole_lines_end(from, end);
  if (long_line && to == from && g_out.long_line)
    to = end;
  if (g_buf.flush_to > to)
    to = g_buf.flush_to;
  return to;
}

// Writes out what a handler that ends the process writes of the buffer,
// ends a line left open, then the waiting handlers' lines. A handler's
// line that was begun is finished first.
void drain(const Waiter &w) {
  write_pending(w, true);
  write_range(handler_range_end(true), w);
  if (g_out.mid_line)
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
  if (g_buf.committed == 0 && g_pending.count == 0)
    return;
  sigset_t all, old;
  sigfillset(&all);
  let_write_guard_in(all);
  sigprocmask(SIG_BLOCK, &all, &old);
  const std::sig_atomic_t end = g_buf.committed;
  std::sig_atomic_t to = end;
  bool open_line_too = false;
  if (how == Flush::WholeLines || how == Flush::Room) {
    to = whole_lines_end(g_buf.written, end);
    if (how == Flush::Room &&
        kWriterBytes - static_cast<std::size_t>(end - to) < room) {
      to = end;
      open_line_too = true;
    }
  }
  const Waiter w = Waiter::main_code(&old);
  // A handler's line that is partly out is finished before any other byte.
  write_pending(w, true);
  g_buf.flush_to = to;
  write_range(to, w);
  std::memmove(g_buf.bytes, g_buf.bytes + to,
               static_cast<std::size_t>(end - to));
  g_buf.written = 0;
  g_buf.committed = end - to;
  g_buf.flush_to = 0;
  if (open_line_too)
    g_out.long_line = g_out.mid_line;
  if (how == Flush::AtExit && g_pending.count > 0 && g_pending.at == 0 &&
      g_out.mid_line)
    write_own("\n", 1, w);
  write_pending(w);
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Appends n bytes at committed, which they fit.
void commit(const char *s, std::size_t n) {
  const std::size_t at = static_cast<std::size_t>(g_buf.committed);
  std::memcpy(g_buf.bytes + at, s, n);
  std::atomic_signal_fence(std::memory_order_release);
  g_buf.committed = static_cast<std::sig_atomic_t>(at + n);
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
  g_out.write_through = true;
  flush_writer(Flush::AtExit);
  if (g_out.error)
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
  sigprocmask(SIG_BLOCK, nullptr, &g_launcher.blocked);
  sigemptyset(&g_launcher.taken);
  set_up_write_guard();
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
  g_out.line_mode = isatty(1) != 0;
  std::atexit(flush_at_exit);
}

void take_signal_as_own(int sig) {
  if (launcher_blocked(sig)) {
    siginfo_t info;
    take_pending(sig, info);
    sigaddset(&g_launcher.taken, sig);
  }
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
}

bool launcher_blocked(int sig) {
  return sigismember(&g_launcher.blocked, sig) == 1 &&
         sigismember(&g_launcher.taken, sig) != 1;
}

bool ignored_outside_signal(int sig, const siginfo_t &info) {
  const bool sent = info.si_code == SI_USER || info.si_code == SI_QUEUE ||
                    info.si_code == SI_TKILL;
  return sigismember(&g_launcher.taken, sig) == 1 && sent &&
         info.si_pid != getpid();
}

void stdout_append(const char *s, std::size_t n) {
  const char *item = s;
  const std::size_t size = n;
  if (static_cast<std::size_t>(g_buf.committed) + n > kWriterBytes) {
    // Room for the whole item: it is split only when longer than the
    // buffer, and then the buffer is filled and written out as it goes.
    flush_writer(Flush::Room, n < kWriterBytes ? n : kWriterBytes);
    while (static_cast<std::size_t>(g_buf.committed) + n > kWriterBytes) {
      const std::size_t k =
          kWriterBytes - static_cast<std::size_t>(g_buf.committed);
      commit(s, k);
      s += k;
      n -= k;
      flush_writer(Flush::Room, 1);
    }
  }
  commit(s, n);
  if (g_out.write_through)
    flush_writer(Flush::AtExit);
  else if (g_out.line_mode && std::memchr(item, '\n', size))
    flush_writer(Flush::WholeLines);
}

void stdout_flush() { flush_writer(Flush::Everything); }

void stdout_drain_for_exit() {
  KeepErrno keep;
  start_ending_clock();
  drain(Waiter::handler());
}

void stdout_line_from_handler(const char *prefix, const char *line,
                              bool process_ends) {
  KeepErrno keep;
  stdout_queue_line(prefix, line);
  if (process_ends) {
    start_ending_clock();
    drain(Waiter::handler());
    return;
  }
  const Waiter w = Waiter::abort_handler();
  write_pending(w, true);
  if (write_range(handler_range_end(false), w))
    write_pending(w);
}

void stdout_queue_line(const char *prefix, const char *line) {
  if (g_pending.count == 0) {
    std::size_t n = 0;
    for (const char *part : {prefix, line})
      for (; *part && n < sizeof(g_pending.text); ++part)
        g_pending.text[n++] = *part;
    g_pending.len = static_cast<std::sig_atomic_t>(n);
  }
  std::atomic_signal_fence(std::memory_order_release);
  g_pending.count = g_pending.count + 1;
}

void exit_if_stdout_failed() {
  const int e = g_out.error;
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

bool result_lines_begun() { return g_out.result_lines_begun != 0; }

// ---- Formatting
// ---------------------------------------------------------------

HeldSignals::HeldSignals(bool abort_too) {
  sigset_t all;
  sigfillset(&all);
  for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS})
    sigdelset(&all, s);
  if (!abort_too)
    sigdelset(&all, SIGABRT);
  let_write_guard_in(all);
  sigprocmask(SIG_BLOCK, &all, &old_);
}

HeldSignals::~HeldSignals() { sigprocmask(SIG_SETMASK, &old_, nullptr); }

ResultLines::ResultLines() {
  to_writer_ = true;
  std::cout.flush();
  std::fflush(stdout);
  g_out.result_lines_begun = 1;
}

ResultLines::~ResultLines() {
  stdout_flush();
  to_writer_ = false;
  // A signal taken off while the block waited for its reader: pending
  // again, it ends the run once the signals are let in.
  if (const int taken = g_ending_clock.taken) {
    g_ending_clock.taken = 0;
    raise(taken);
  }
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
    write_own(buf_, len_, Waiter::handler());
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
