// The kinds of descriptor that standard output can be, and one write step
// to each.
#include "model/output_sink.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The major number of the memory devices (/dev/null, /dev/zero,
// /dev/full): they take or refuse a write at once.
constexpr unsigned kMemoryDevices = 1;

// At most this many bytes go out in one write to a descriptor that can
// stall. A pipe takes that many whole or none, so a reader that stops
// leaves what is out ending where a piece ends. A terminal or a socket
// may take part of a piece: there a reader that stops can leave the
// output inside an item.
constexpr std::size_t kPiece = PIPE_BUF;

// A Guarded sink's write can block in the kernel with every signal held.
// A timer interrupts it every kRetryMs: its signal is caught without
// restarting the write, so that the writer gets back to look at the
// signals and at the ending's clock.
struct WriteGuard {
  timer_t timer;
  int signo;
  volatile std::sig_atomic_t ready;
};
WriteGuard g_guard;

void on_guard_tick(int) {}

// write(2) to a Guarded sink, interrupted every kRetryMs: it returns what
// went out before the tick, or fails with EINTR when nothing did. The
// timer's signal is never blocked, so arming and disarming the timer is
// all it takes.
ssize_t guarded_write(int fd, const char *s, std::size_t n) {
  if (!g_guard.ready)
    return ::write(fd, s, n);
  constexpr long kTickNs = kRetryMs * 1000000L;
  const itimerspec tick = {{0, kTickNs}, {0, kTickNs}}, off = {};
  timer_settime(g_guard.timer, 0, &tick, nullptr);
  const ssize_t k = ::write(fd, s, n);
  const int error = errno;
  timer_settime(g_guard.timer, 0, &off, nullptr);
  errno = error;
  return k;
}

// Whether the reader took bytes from a socket since it last took nothing:
// a socket is reported writable, and often takes a piece, only once more
// of its queue is read, so what its reader takes shows as the queue
// getting shorter. (On a TCP connection the queue shrinks only when the
// receiver opens its window again, which a slow reader may not do for a
// long time.)
bool socket_read_since(Sink &sink) {
  int queued = 0;
  if (ioctl(sink.fd, SIOCOUTQ, &queued) != 0)
    return false;
  const bool read = sink.queued >= 0 && queued < sink.queued;
  sink.queued = queued;
  return read;
}

// The device number of the terminal behind fd (not that of the file it was
// opened as: every /dev/tty is 5:0, whichever terminal it stands for).
bool terminal_device(int fd, unsigned &device) {
  return ioctl(fd, TIOCGDEV, &device) == 0;
}

// A non-blocking descriptor of its own for the terminal at fd (see
// NonBlocking); -1 where fd is no terminal, is a terminal's master side,
// or cannot be opened anew as the same terminal (the path names what fd
// was opened as: /dev/tty or /dev/console opened anew may well be another
// terminal).
int reopen_terminal(int fd) {
  termios t;
  int number;
  unsigned device = 0, again = 0;
  // Only standard output and standard error come here, so the path below
  // has room for a one-digit descriptor only.
  if (fd < 0 || fd > 9 || tcgetattr(fd, &t) != 0 ||
      ioctl(fd, TIOCGPTN, &number) == 0 || !terminal_device(fd, device))
    return -1;
  char path[] = "/proc/self/fd/0"; // the descriptor's file, opened anew
  path[sizeof(path) - 2] = static_cast<char>('0' + fd);
  const int own = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (own >= 0 && terminal_device(own, again) && again == device)
    return own;
  if (own >= 0)
    close(own);
  return -1;
}

// The length of the next piece of the n bytes at s, which end after a
// whole item: at most kPiece, ending after the last line end among them
// or, in a line longer than that, after the last space (the items of a
// long line are numbers and the spaces between them).
std::size_t piece_length(const char *s, std::size_t n) {
  if (n <= kPiece)
    return n;
  for (char end : {'\n', ' '})
    if (const void *at = memrchr(s, end, kPiece))
      return static_cast<std::size_t>(static_cast<const char *>(at) - s) + 1;
  return kPiece;
}

} // namespace

Step Step::after(Waited waited) {
  switch (waited) {
  case Waited::GaveUp:
    return gave_up();
  case Waited::Failed:
    return failed(errno);
  default:
    return again();
  }
}

Sink decide_sink(int fd) {
  Sink sink;
  sink.fd = fd;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))
    sink.kind = SinkKind::Direct; // a bad descriptor reports at its write
  else if (S_ISSOCK(st.st_mode))
    sink.kind = SinkKind::Socket;
  else if (!S_ISCHR(st.st_mode))
    sink.kind = SinkKind::PollFirst;
  else if (major(st.st_rdev) == kMemoryDevices)
    sink.kind = SinkKind::Direct;
  else if (const int own = reopen_terminal(fd); own >= 0) {
    sink.fd = own;
    sink.kind = SinkKind::NonBlocking;
  } else {
    sink.kind = SinkKind::Guarded;
  }
  return sink;
}

void set_up_write_guard() {
  if (g_guard.ready)
    return;
  const int signo = SIGRTMIN;
  struct sigaction sa = {};
  sa.sa_handler = on_guard_tick; // no SA_RESTART: the write is interrupted
  sigemptyset(&sa.sa_mask);
  sigevent ev = {};
  ev.sigev_notify = SIGEV_SIGNAL;
  ev.sigev_signo = signo;
  if (sigaction(signo, &sa, nullptr) != 0 ||
      timer_create(CLOCK_MONOTONIC, &ev, &g_guard.timer) != 0)
    return;
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signo);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  g_guard.signo = signo;
  g_guard.ready = 1;
}

void let_write_guard_in(sigset_t &set) {
  if (g_guard.ready)
    sigdelset(&set, g_guard.signo);
}

Step write_step(Sink &sink, const char *s, std::size_t n, const SinkWait &w) {
  const SinkKind kind = sink.kind;
  if (kind == SinkKind::PollFirst || kind == SinkKind::Guarded) {
    const Waited waited = w.wait(sink.fd, false);
    if (waited != Waited::Ready)
      return Step::after(waited);
  }
  if (kind != SinkKind::Direct)
    n = piece_length(s, n);
  ssize_t k;
  if (kind == SinkKind::Socket)
    k = ::send(sink.fd, s, n, MSG_DONTWAIT);
  else if (kind == SinkKind::Guarded)
    k = guarded_write(sink.fd, s, n);
  else
    k = ::write(sink.fd, s, n);
  if (k > 0)
    return Step::wrote(static_cast<std::size_t>(k));
  if (k < 0 && errno == EINTR) // the guard's tick: wait and look again
    return Step::again();
  if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    switch (kind) {
    case SinkKind::Direct:
      sink.kind = SinkKind::PollFirst;
      return Step::again();
    case SinkKind::PollFirst:
    case SinkKind::Guarded:
      return Step::again();
    case SinkKind::Socket:
      if (socket_read_since(sink))
        w.reader_took();
      [[fallthrough]];
    default:
      return Step::after(w.wait(sink.fd, true));
    }
  }
  return Step::failed(k < 0 ? errno : EIO);
}
