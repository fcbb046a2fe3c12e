#include "driver/roads.hpp"

#include "coreguided/xubmo.hpp"
#include "framework/zero_weight.hpp"
#include "search/binsearch.hpp"
#include "model/runtime_msgs.hpp"

long long run_bmo_road(IDManager &imgr, BasicClauseSet &clset,
                       std::vector<long long> &model,
                       const ClauseSnapshot *input) {
  ExtendedUnsatBMOSolver bmo(imgr);
  bmo.set_input(input);
  long long cost = -1;
  ZeroWeightClauses zero(clset); // they cost nothing at any level
  bmo.solve(clset, model, cost);
  return cost;
}

void run_iterative_road(IDManager &imgr, BasicClauseSet &clset,
                        std::vector<long long> &model) {
  BinSearchMaxSATSolver solver;
  solver.init(imgr, clset, model);
  {
    ZeroWeightClauses zero(clset);
    solver.solve();
  }
  solver.reset();
}
