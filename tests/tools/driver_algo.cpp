// Test-only driver: runs the kestrane program's own road with an algorithm
// that no command-line option selects.
//   driver_algo <code> [ <kestrane option> ... ] <input>
// code: an algorithm code in hexadecimal (0xFD84 ...), "incr" for the
// incremental solver, or "iter" for the iterative binary-search run mode. The code is set after the options are read, just
// before the facade builds the solver.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/startup.hpp"
#include "model/zor_config.hpp"

namespace {
const char *g_code = nullptr;

void configure() {
  if (std::strcmp(g_code, "incr") == 0) {
    ZORConfig::incr_mode = true;
    return;
  }
  if (std::strcmp(g_code, "iter") == 0) {
    ZORConfig::zormode = ZOR_Modes::Iterative;
    ZORConfig::itermode = Iter_modes::BinarySearch;
    return;
  }
  ZORConfig::zoralg =
      static_cast<ZOR_Algorithms>(std::strtol(g_code, nullptr, 16));
}
} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: driver_algo <code|incr|iter> [options] <input>\n");
    return 2;
  }
  g_code = argv[1];
  argv[1] = argv[0];
  return kestrane_main(argc - 1, argv + 1, configure);
}
