// The solver factory: one table row per algorithm class that this build
// holds. To add an algorithm, include its header and add the row
//   {ZOR_Algorithms::<Code>, make<ClassName>},
// (the incremental solver NZOR1 goes into kIncrementalSolver instead).
// A code without a row ends the run with "Unavailable ZOR algorithm".
#include <vector>

#include "coreguided/nzor1.hpp"
#include "coreguided/pm2.hpp"
#include "coreguided/pm2p1.hpp"
#include "coreguided/wpm2.hpp"
#include "coreguided/zor1.hpp"
#include "coreguided/zor1_ror.hpp"
#include "coreguided/zor2.hpp"
#include "coreguided/zor3.hpp"
#include "coreguided/zor30.hpp"
#include "coreguided/zor31.hpp"
#include "coreguided/zor4.hpp"
#include "driver/zorapp.hpp"
#include "search/bcd_no_unit_rv.hpp"
#include "search/binary_search.hpp"
#include "search/bitbased_search.hpp"
#include "search/linear_sat_unsat.hpp"
#include "search/linear_unsat_sat.hpp"
#include "search/model_guided_search.hpp"
#include "search/binary_search_core.hpp"
#include "search/group_binary_search_core.hpp"
#include "search/binary_search_core_disjoint.hpp"
#include "search/binary_search_core_disjoint2.hpp"
#include "search/binary_search_core_disjoint2_strat.hpp"
#include "search/mg_bcd2.hpp"
#include "framework/mxsat_solver.hpp"
#include "model/runtime_msgs.hpp"

namespace {

using SolverMaker = MaxSATSolver *(*)();

template <typename Solver> MaxSATSolver *make() { return new Solver(); }

struct SolverRow {
  ZOR_Algorithms code;
  SolverMaker make;
};

// clang-format off
const std::vector<SolverRow> kSolvers = {
  {ZOR_Algorithms::ZOR1,                       make<ZOR1>},
  {ZOR_Algorithms::ZOR1_ROR,                   make<ZOR1_ROR>},
  {ZOR_Algorithms::ZOR2,                       make<ZOR2>},
  {ZOR_Algorithms::ZOR3,                       make<ZOR3>},
  {ZOR_Algorithms::ZOR31,                      make<ZOR31>},
  {ZOR_Algorithms::ZOR30,                      make<ZOR30>},
  {ZOR_Algorithms::ZOR4,                       make<ZOR4>},
  {ZOR_Algorithms::BinaryLinearSatUnsatSearch, make<BinaryLinearSatUnsatSearch>},
  {ZOR_Algorithms::BinarySearch,               make<BinarySearch>},
  {ZOR_Algorithms::LinearSatUnsat,             make<LinearSatUnsat>},
  {ZOR_Algorithms::LinearUnsatSat,             make<LinearUnsatSat>},
  {ZOR_Algorithms::BitBasedSearch,             make<BitBasedSearch>},
  {ZOR_Algorithms::ModelGuidedSearch,          make<ModelGuidedSearch>},
  {ZOR_Algorithms::BinaryModelGuided,          make<BinaryModelGuided>},
  {ZOR_Algorithms::BinarySearchCore,           make<BinarySearchCore>},
  {ZOR_Algorithms::BCNoUnitRV,                 make<BCNoUnitRV>},
  {ZOR_Algorithms::GroupBinarySearchCore,      make<GroupBinarySearchCore>},
  {ZOR_Algorithms::BinarySearchCoreDisjoint,   make<BinarySearchCoreDisjoint>},
  {ZOR_Algorithms::BCDNoUnitRV,                make<BCDNoUnitRV>},
  {ZOR_Algorithms::BinarySearchCoreDisjoint2,  make<BinarySearchCoreDisjoint2>},
  {ZOR_Algorithms::BinarySearchCoreDisjoint2Strat, make<BinarySearchCoreDisjoint2Strat>},
  {ZOR_Algorithms::ModelGuidedBCD2,            make<ModelGuidedBCD2>},
  {ZOR_Algorithms::PM2,                        make<PM2>},
  {ZOR_Algorithms::PM2p1,                      make<PM2p1>},
  {ZOR_Algorithms::WPM2,                       make<WPM2>},
};
// clang-format on

// Built instead of the algorithm's class when ZORConfig::incr_mode is set.
const SolverMaker kIncrementalSolver = make<NZOR1>;

SolverMaker find_maker() {
  if (ZORConfig::incr_mode)
    return kIncrementalSolver;
  for (const SolverRow &row : kSolvers)
    if (row.code == ZORConfig::zoralg)
      return row.make;
  return nullptr;
}

} // namespace

MaxSATSolver *KestraneExtended::mk_solver() {
  SolverMaker maker = find_maker();
  if (!maker)
    Abort("Unavailable ZOR algorithm");
  drop_solver();
  solver_ = maker();
  return solver_;
}
