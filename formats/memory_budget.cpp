#include "formats/memory_budget.hpp"

#include <cmath>

#include "formats/fmt_utils.hpp"
#include "model/machine_memory.hpp"

namespace memory_budget {

double machine_bytes() { return machine_memory_bytes(); }

long long megabytes(double bytes) {
  double mb = std::ceil(bytes / (1024.0 * 1024.0));
  return mb < 9e18 ? static_cast<long long>(mb) : 9000000000000000000LL;
}

void check_largest_variable(long long largest) {
  double need = run_bytes(static_cast<double>(largest), 0, 0, 0);
  if (!fits(need))
    FMTUtils::parse_error("PARSE ERROR! Variable %lld needs about %lld MB for "
                          "the variables up to it, more than the machine's "
                          "%lld MB\n",
                          largest, megabytes(need),
                          megabytes(machine_bytes()));
}

} // namespace memory_budget
