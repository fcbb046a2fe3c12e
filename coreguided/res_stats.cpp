#include "coreguided/res_stats.hpp"

#include <iostream>

ResStats *ResStats::get_instance() {
  static ResStats *instance = new ResStats();
  return instance;
}

void ResStats::initialize() { *this = ResStats(); }

void ResStats::show_stats(long long n, double t) {
  long long d = n - skipped_cores;
  std::cout << "c STATS " << n << " " << t + checker_time << " "
            << checker_time + transform_time + parse_time << " " << checker_time
            << " " << parse_time << " " << transform_time << " " << d << "  "
            << (d < 1 ? 0 : trace_total / d) << " "
            << (d < 1 ? 0 : proof_total / d) << std::endl;
}
