// The kinds of descriptor that standard output can be and how each is
// written where write(2) alone would not do.
#include "model/output_sink.hpp"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The major number of the memory devices (/dev/null, /dev/zero,
// /dev/full): they take or refuse a write at once.
constexpr unsigned kMemoryDevices = 1;

// A Guarded sink's write can block in the kernel with every signal held.
// A timer interrupts it every kRetryMs: its signal is let in only around
// that write and caught without restarting it, so that the writer gets
// back to look at the signals and at the ending's clock.
struct WriteGuard {
  timer_t timer;
  int signo;
  volatile std::sig_atomic_t ready;
};
WriteGuard g_guard;

void on_guard_tick(int) {}

// Sets the guard up, once: its signal blocked everywhere from now on.
void set_up_guard() {
  if (g_guard.ready)
    return;
  const int signo = SIGRTMIN;
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signo);
  sigprocmask(SIG_BLOCK, &only, nullptr);
  struct sigaction sa = {};
  sa.sa_handler = on_guard_tick; // no SA_RESTART: the write is interrupted
  sigemptyset(&sa.sa_mask);
  sigevent ev = {};
  ev.sigev_notify = SIGEV_SIGNAL;
  ev.sigev_signo = signo;
  if (sigaction(signo, &sa, nullptr) == 0 &&
      timer_create(CLOCK_MONOTONIC, &ev, &g_guard.timer) == 0) {
    g_guard.signo = signo;
    g_guard.ready = 1;
  }
}

// A non-blocking descriptor of its own for the terminal at fd (see
// NonBlocking); -1 where fd is no terminal, is a terminal's master side,
// or cannot be opened anew as the same terminal.
int reopen_terminal(int fd, const struct stat &st) {
  termios t;
  int number;
  if (fd > 9 || tcgetattr(fd, &t) != 0 || ioctl(fd, TIOCGPTN, &number) == 0)
    return -1;
  char path[] = "/proc/self/fd/0";
  path[sizeof(path) - 2] = static_cast<char>('0' + fd);
  const int own = open(path, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat again;
  if (own >= 0 && fstat(own, &again) == 0 && S_ISCHR(again.st_mode) &&
      again.st_rdev == st.st_rdev)
    return own;
  if (own >= 0)
    close(own);
  return -1;
}

} // namespace

Sink decide_sink(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))
    return {fd, SinkKind::Direct}; // a bad descriptor reports at its write
  if (S_ISSOCK(st.st_mode))
    return {fd, SinkKind::Socket};
  if (!S_ISCHR(st.st_mode))
    return {fd, SinkKind::PollFirst};
  if (major(st.st_rdev) == kMemoryDevices)
    return {fd, SinkKind::Direct};
  const int own = reopen_terminal(fd, st);
  if (own >= 0)
    return {own, SinkKind::NonBlocking};
  set_up_guard();
  return {fd, SinkKind::Guarded};
}

ssize_t guarded_write(int fd, const char *s, std::size_t n) {
  if (!g_guard.ready)
    return ::write(fd, s, n);
  constexpr long kTickNs = kRetryMs * 1000000L;
  const itimerspec tick = {{0, kTickNs}, {0, kTickNs}}, off = {};
  sigset_t only, old;
  sigemptyset(&only);
  sigaddset(&only, g_guard.signo);
  timer_settime(g_guard.timer, 0, &tick, nullptr);
  sigprocmask(SIG_UNBLOCK, &only, &old);
  const ssize_t k = ::write(fd, s, n);
  const int error = errno;
  sigprocmask(SIG_SETMASK, &old, nullptr);
  timer_settime(g_guard.timer, 0, &off, nullptr);
  errno = error;
  return k;
}

bool socket_read_since(Sink &sink) {
  int queued = 0;
  if (ioctl(sink.fd, SIOCOUTQ, &queued) != 0)
    return false;
  const bool read = sink.queued >= 0 && queued < sink.queued;
  sink.queued = queued;
  return read;
}
