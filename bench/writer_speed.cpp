// Cost of the result block on the standard-output writer: writes an "o"
// line, the status line, a "v" line of 3,000,000 values and a comment line
// through ResultLines, N times (the argument, 1 by default), and prints the
// seconds it took on stderr. The model line is by far the largest thing a
// run writes, and it is written while the asynchronous signals are held, so
// every instruction the writer spends per value both delays the result and
// keeps a time-out waiting. bench/writer.sh runs this under callgrind on a
// build and on an older revision to compare the instructions exactly.
//
// "writer_speed endl N" instead writes N short lines "c line <i>" through
// std::cout, each ended by std::endl, so each one is flushed on its own,
// as the progress lines of a run are: bench/writer.sh counts the system
// calls of this mode under strace to find the calls the writer makes per
// flushed line.
//
// Uses only what the project has offered since it routed standard output
// through the writer, so the same file builds against older revisions.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "model/mxutils.hpp"
#include "model/sigsafe_out.hpp"
#include "model/zor_config.hpp"

int main(int argc, char **argv) {
  const bool endl_mode = argc > 1 && std::strcmp(argv[1], "endl") == 0;
  const int arg = endl_mode ? 2 : 1;
  const int times = argc > arg ? std::atoi(argv[arg]) : 1;
  ZORConfig::comp_format = true;
  route_standard_output();
  // A fixed mix of signs (multiplicative hashing), about a third negative.
  // The short lines need no model.
  const long long n = endl_mode ? 0 : 3000000;
  std::vector<long long> model(n + 1);
  for (long long v = 1; v <= n; ++v)
    model[v] = (v * 2654435761LL) % 3 ? v : -v;
  const auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < times; ++r) {
    if (endl_mode) {
      std::cout << "c line " << r << std::endl;
      continue;
    }
    ResultLines out;
    out << "o " << 12345 << '\n' << "s OPTIMUM FOUND" << '\n';
    mxutils::print_complete_model(out, model, n);
    out << "c CPU Time: " << 1.5 << '\n';
  }
  const double s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
          .count();
  std::fprintf(stderr, "%.5f\n", s);
  return 0;
}
