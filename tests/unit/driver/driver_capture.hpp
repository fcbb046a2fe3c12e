// Runs a piece of driver code in a child process with its standard output
// captured, so that code which prints and exits (the usage text, Abort, the
// signal path) can be judged by its output and exit status.
#pragma once

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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

template <typename Fn>
Captured run_captured(Fn fn, const SlowReader *slow = nullptr) {
  std::cout.flush();
  std::fflush(stdout);
  int p[2];
  if (pipe(p) != 0)
    return {};
  if (slow)
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
  Captured c;
  char buf[4096];
  ssize_t n;
  if (slow) {
    usleep(static_cast<useconds_t>(slow->delay_ms) * 1000);
    if (slow->signal && (n = read(p[0], buf, sizeof buf)) > 0) {
      c.out.append(buf, static_cast<std::size_t>(n));
      kill(pid, slow->signal);
      usleep(100000);
    }
  }
  while ((n = read(p[0], buf, sizeof buf)) > 0)
    c.out.append(buf, static_cast<std::size_t>(n));
  close(p[0]);
  int ws = 0;
  waitpid(pid, &ws, 0);
  if (WIFEXITED(ws))
    c.status = WEXITSTATUS(ws);
  else if (WIFSIGNALED(ws))
    c.signal = WTERMSIG(ws);
  return c;
}

// A reader that stops reading: the pipe holds one page and is not read;
// 300 ms in, the child gets signal. From resume_ms after the signal on the
// pipe is read; with resume_ms -1 only once the child has ended (a child
// still running 10 s after the signal is killed). ended_after: seconds
// from the signal to the child's end, -1 when it was killed.
template <typename Fn>
Captured run_stalled(Fn fn, int signal, int resume_ms, double &ended_after) {
  std::cout.flush();
  std::fflush(stdout);
  int p[2];
  if (pipe(p) != 0)
    return {};
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
  char buf[4096];
  ssize_t n;
  while ((n = read(p[0], buf, sizeof buf)) > 0)
    c.out.append(buf, static_cast<std::size_t>(n));
  close(p[0]);
  if (!ended) {
    waitpid(pid, &ws, 0);
    if (resume_ms >= 0)
      ended_after = since();
  }
  if (WIFEXITED(ws))
    c.status = WEXITSTATUS(ws);
  else if (WIFSIGNALED(ws))
    c.signal = WTERMSIG(ws);
  return c;
}
