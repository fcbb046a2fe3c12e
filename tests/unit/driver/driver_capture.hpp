// Runs a piece of driver code in a child process with its standard output
// captured, so that code which prints and exits (the usage text, Abort, the
// signal path) can be judged by its output and exit status.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct Captured {
  int status = -1; // exit status, -1 when ended by a signal
  int signal = 0;  // the ending signal, 0 when exited
  std::string out;
};

// A reader that is slow to read: the pipe holds one page, and nothing is
// read for delay_ms; with signal, the child gets it once the first bytes
// came (it is then writing), and has 100 ms to take it before the rest is
// read.
struct SlowReader {
  int delay_ms = 0;
  int signal = 0;
};

// Starts fn in a child whose standard output is a pipe (of one page with
// small_pipe), or with socket a Unix stream socket; returns the child's pid
// (-1: none) and sets read_end to the end to read.
template <typename Fn>
pid_t start_captured(Fn fn, bool small_pipe, int &read_end,
                     bool socket = false) {
  std::cout.flush();
  std::fflush(stdout);
  int p[2];
  if (socket ? socketpair(AF_UNIX, SOCK_STREAM, 0, p) != 0 : pipe(p) != 0)
    return -1;
  if (small_pipe && !socket)
    fcntl(p[1], F_SETPIPE_SZ, 4096);
  pid_t pid = fork();
  if (pid == 0) {
    close(p[0]);
    dup2(p[1], 1);
    close(p[1]);
    fn();
    std::cout.flush();
    std::fflush(stdout);
    _exit(0);
  }
  close(p[1]);
  read_end = p[0];
  return pid;
}

// Reads fd to its end into c.out and closes it.
inline void read_rest(int fd, Captured &c) {
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0)
    c.out.append(buf, static_cast<std::size_t>(n));
  close(fd);
}

// The child's wait status into c.
inline void take_status(int ws, Captured &c) {
  if (WIFEXITED(ws))
    c.status = WEXITSTATUS(ws);
  else if (WIFSIGNALED(ws))
    c.signal = WTERMSIG(ws);
}

// Waits for pid to end until seconds after from; one still running then is
// killed. Returns whether it ended by itself (its wait status in ws).
inline bool wait_ended(pid_t pid, std::chrono::steady_clock::time_point from,
                       double seconds, int &ws) {
  const auto until =
      from + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                 std::chrono::duration<double>(seconds));
  while (waitpid(pid, &ws, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() >= until) {
      kill(pid, SIGKILL);
      waitpid(pid, &ws, 0);
      return false;
    }
    usleep(20000);
  }
  return true;
}

// Seconds since from.
inline double seconds_since(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from)
      .count();
}

template <typename Fn>
Captured run_captured(Fn fn, const SlowReader *slow = nullptr) {
  int fd = -1;
  const pid_t pid = start_captured(fn, slow != nullptr, fd);
  if (pid < 0)
    return {};
  Captured c;
  if (slow) {
    usleep(static_cast<useconds_t>(slow->delay_ms) * 1000);
    char buf[4096];
    ssize_t n;
    if (slow->signal && (n = read(fd, buf, sizeof buf)) > 0) {
      c.out.append(buf, static_cast<std::size_t>(n));
      kill(pid, slow->signal);
      usleep(100000);
    }
  }
  read_rest(fd, c);
  int ws = 0;
  waitpid(pid, &ws, 0);
  take_status(ws, c);
  return c;
}

// A reader that stops reading: the pipe holds one page and is not read;
// 300 ms in, the child gets signal. From resume_ms after the signal on the
// pipe is read; with resume_ms -1 only once the child has ended (a child
// still running 10 s after the signal is killed). ended_after: seconds
// from the signal to the child's end, -1 when it was killed.
template <typename Fn>
Captured run_stalled(Fn fn, int signal, int resume_ms, double &ended_after) {
  int fd = -1;
  const pid_t pid = start_captured(fn, true, fd);
  if (pid < 0)
    return {};
  usleep(300000);
  kill(pid, signal);
  const auto sent = std::chrono::steady_clock::now();
  auto since = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                         sent)
        .count();
  };
  Captured c;
  int ws = 0;
  bool ended = false;
  ended_after = -1;
  if (resume_ms >= 0) {
    usleep(static_cast<useconds_t>(resume_ms) * 1000);
  } else {
    while (!(ended = waitpid(pid, &ws, WNOHANG) == pid) && since() < 10)
      usleep(20000);
    if (ended)
      ended_after = since();
    else
      kill(pid, SIGKILL);
  }
  read_rest(fd, c);
  if (!ended) {
    waitpid(pid, &ws, 0);
    if (resume_ms >= 0)
      ended_after = since();
  }
  take_status(ws, c);
  return c;
}

// A reader that takes the output in steps of at most page bytes, pausing
// pause_ms after each. Once what it read holds at and then after bytes
// more, the child gets signal (0: none; at "": after the first read); with
// stop, nothing more is read until the child has ended (a child still running
// 10 s later is killed). With again, a second signal follows, to the
// child's process group with to_group (the child must lead one): with
// again_ms 0 again_us after the first (0: right away), else at the first
// read again_ms after it (the pause before that read cut to meet it); with
// read_on the reader goes on, else that is the last read until the child
// has ended. ended_after:
// seconds from the last signal to the child's end, -1 when it was killed.
// With socket, standard output is a Unix stream socket.
struct PacedReader {
  int signal = 0;
  std::string at;
  std::size_t after = 0;
  std::size_t page = 65536;
  int pause_ms = 0;
  bool stop = false;
  bool small_pipe = false;
  int again = 0;
  int again_ms = 0;
  int again_us = 0;
  bool to_group = false;
  bool read_on = false;
  bool socket = false;
};

template <typename Fn>
Captured run_paced(Fn fn, const PacedReader &p, double &ended_after) {
  int fd = -1;
  const pid_t pid = start_captured(fn, p.small_pipe, fd, p.socket);
  if (pid < 0)
    return {};
  Captured c;
  auto sent = std::chrono::steady_clock::now();
  bool signalled = false, again_due = p.again != 0;
  // Sends again; returns whether reading stops.
  auto send_again = [&] {
    if (p.again_ms == 0 && p.again_us > 0)
      usleep(static_cast<useconds_t>(p.again_us));
    kill(p.to_group ? -pid : pid, p.again);
    sent = std::chrono::steady_clock::now();
    again_due = false;
    return !p.read_on;
  };
  std::vector<char> buf(p.page);
  for (;;) {
    std::size_t want = p.page;
    const std::size_t found = c.out.find(p.at);
    if (!signalled && found != std::string::npos && !c.out.empty()) {
      const std::size_t due = found + p.at.size() + p.after;
      if (c.out.size() >= due) {
        if (p.signal)
          kill(pid, p.signal);
        sent = std::chrono::steady_clock::now();
        signalled = true;
        if (p.stop || (again_due && p.again_ms == 0 && send_again()))
          break;
      } else if (p.stop && due - c.out.size() < want) {
        want = due - c.out.size();
      }
    }
    const ssize_t n = read(fd, buf.data(), want);
    if (n <= 0)
      break;
    c.out.append(buf.data(), static_cast<std::size_t>(n));
    int pause_ms = p.pause_ms;
    if (signalled && again_due) {
      const int left =
          p.again_ms - static_cast<int>(seconds_since(sent) * 1000);
      if (left > 0)
        pause_ms = std::min(pause_ms, left);
      else if (send_again())
        break;
    }
    usleep(static_cast<useconds_t>(pause_ms) * 1000);
  }
  int ws = 0;
  ended_after = wait_ended(pid, sent, 10, ws) ? seconds_since(sent) : -1;
  read_rest(fd, c);
  take_status(ws, c);
  return c;
}
