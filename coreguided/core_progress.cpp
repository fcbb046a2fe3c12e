#include "coreguided/core_progress.hpp"

#include <iostream>

#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

namespace {
const char *prefix() { return ZORConfig::comp_format ? "c " : ""; }
} // namespace

void print_solution_found() {
  if (ZORConfig::verbosity >= 2)
    std::cout << prefix() << "Found MaxSAT solution. Terminating... CPU Time: "
              << RUSAGE::read_cpu_time() << std::endl;
}

void print_core_found(long long n, const std::vector<BasicClause *> &core) {
  if (ZORConfig::verbosity >= 2)
    std::cout << prefix() << "Found core #" << n
              << ". Core size: " << core.size()
              << ". Iterating... CPU Time: " << RUSAGE::read_cpu_time() << "\n"
              << std::flush;
  if (ZORConfig::expert_mode && ZORConfig::verbosity >= 20) {
    std::cout << "Core Cls:\n";
    for (BasicClause *c : core)
      std::cout << *c << "  ";
    std::cout << std::endl;
  }
}

void print_cost_lower_bound(long long cost) {
  if (ZORConfig::verbosity >= 1)
    std::cout << prefix() << "Min unsat cost LB: " << cost << " ... "
              << "\n"
              << std::flush;
}
