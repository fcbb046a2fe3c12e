// Runs a piece of driver code in a child process with its standard output
// captured, so that code which prints and exits (the usage text, Abort, the
// signal path) can be judged by its output and exit status.
#pragma once

#include <cstdio>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

struct Captured {
  int status = -1; // exit status, -1 when ended by a signal
  int signal = 0;  // the ending signal, 0 when exited
  std::string out;
};

template <typename Fn> Captured run_captured(Fn fn) {
  std::cout.flush();
  std::fflush(stdout);
  int p[2];
  if (pipe(p) != 0)
    return {};
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
