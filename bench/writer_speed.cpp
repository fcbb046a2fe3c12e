// Cost of the result block on the standard-output writer: writes an "o"
// line, the status line, a "v" line of 3,000,000 values and a comment line
// through ResultLines, N times (the argument, 1 by default), and prints the
// seconds it took on stderr. The model line is by far the largest thing a
// run writes, and it is written while the asynchronous signals are held, so
// every instruction the writer spends per value both delays the result and
// keeps a time-out waiting. bench/writer.sh runs this under callgrind on a
// build and on an older revision to compare the instructions exactly.
//
// Uses only what the project has offered since it routed standard output
// through the writer, so the same file builds against older revisions.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "model/mxutils.hpp"
#include "model/sigsafe_out.hpp"
#include "model/zor_config.hpp"

int main(int argc, char **argv) {
  const int times = argc > 1 ? std::atoi(argv[1]) : 1;
  ZORConfig::comp_format = true;
  route_standard_output();
  // A fixed mix of signs (multiplicative hashing), about a third negative.
  const long long n = 3000000;
  std::vector<long long> model(n + 1);
  for (long long v = 1; v <= n; ++v)
    model[v] = (v * 2654435761LL) % 3 ? v : -v;
  const auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < times; ++r) {
    ResultLines out;
    out << "o " << 12345 << '\n' << "s OPTIMUM FOUND" << '\n';
    mxutils::print_complete_model(out, model, n);
    out << "c CPU Time: " << 1.5 << '\n';
  }
  const double s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::fprintf(stderr, "%.5f\n", s);
  return 0;
}
