#include "driver/roads.hpp"

#include "coreguided/xubmo.hpp"
#include "framework/zero_weight.hpp"
#include "model/runtime_msgs.hpp"

long long run_bmo_road(IDManager &imgr, BasicClauseSet &clset,
                       std::vector<long long> &model) {
  ExtendedUnsatBMOSolver bmo(imgr);
  long long cost = -1;
  ZeroWeightClauses zero(clset); // they cost nothing at any level
  bmo.solve(clset, model, cost);
  return cost;
}

// The iterative binary-search solver is not part of this build yet; once
// it is, this function builds it, binds the three objects and runs solve.
void run_iterative_road(IDManager &, BasicClauseSet &,
                        std::vector<long long> &) {
  Abort("Iterative binary-search solver not available in this build");
}
