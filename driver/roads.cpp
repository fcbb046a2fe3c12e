#include "driver/roads.hpp"

#include "model/runtime_msgs.hpp"

long long run_bmo_road(IDManager &, BasicClauseSet &, std::vector<long long> &) {
  Abort("BMO solver (option -bmo) not available in this build");
}

void run_iterative_road(IDManager &, BasicClauseSet &,
                        std::vector<long long> &) {
  Abort("Iterative binary-search solver not available in this build");
}
