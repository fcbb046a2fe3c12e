#include "framework/child_process.hpp"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "model/sigsafe_out.hpp"

extern char **environ;

namespace {
double seconds(const timeval &t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
} // namespace

bool run_child_process(const std::vector<std::string> &argv,
                       const std::string &out_file, double *cpu_seconds,
                       bool *started) {
  if (cpu_seconds)
    *cpu_seconds = 0;
  if (started)
    *started = false;
  if (argv.empty())
    return false;
  std::vector<char *> args;
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!out_file.empty())
    posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // The child may write to the same standard output: the whole lines the
  // run holds go first.
  stdout_flush();
  pid_t pid;
  int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    return false;
  if (started)
    *started = true;
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, 0, &usage) < 0)
    if (errno != EINTR)
      return false;
  if (cpu_seconds)
    *cpu_seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
