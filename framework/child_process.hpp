// Runs an external program as a child process, without a shell: the
// program path and its arguments go to the child as given, so no file name
// is ever parsed as shell text. The caller waits for the child and learns
// whether it exited normally with status 0.
#pragma once

#include <string>
#include <vector>

// Runs argv[0] (a path, not searched on PATH) with argv as its argument
// vector and waits for it. With out_file set, the child's standard output
// goes to that file (created or truncated). Returns whether the child was
// started and exited with status 0; cpu_seconds, when not null, receives the
// child's user plus system CPU time (0 when it could not be started), and
// started, when not null, whether a child process ran at all.
bool run_child_process(const std::vector<std::string> &argv,
                       const std::string &out_file, double *cpu_seconds,
                       bool *started = nullptr);
