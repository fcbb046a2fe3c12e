#include "framework/progress_lines.hpp"

#include <iostream>
#include <vector>

#include "framework/sat_arith.hpp"
#include "model/clause_snapshot.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"

namespace {

// The objective's value minus the soft cost, both of the kept model. For
// every model of the hard clauses the difference is the same: an objective
// term a*x adds a to the objective exactly when its soft unit (-x of weight
// a, or x of weight -a) adds max(a, 0) to the soft cost, and a variable
// without soft unit (the constant term's, or one whose unit a constraint
// made hard) has the value the hard clauses force.
bool objective_offset(long long &offset) {
  const ZORToolObjects::KeptModel *kept = ZORToolObjects::kept_model();
  if (!kept || !ZORToolObjects::_input)
    return false;
  std::vector<long long> values(kept->values.begin(), kept->values.end());
  ClauseSnapshot::Result r = ZORToolObjects::_input->check(values);
  return r.hard_ok && r.cost < kCostCeiling &&
         !__builtin_sub_overflow(kept->cost, r.cost, &offset);
}

} // namespace

bool shown_cost(long long cost, long long &shown) {
  if (cost < 0 || cost >= kCostCeiling)
    return false;
  if (ZORConfig::pbo_minimization_function.empty()) {
    shown = cost;
    return true;
  }
  long long offset;
  return objective_offset(offset) &&
         !__builtin_add_overflow(cost, offset, &shown);
}

bool print_cost_line(const char *head, long long cost) {
  long long shown;
  if (!shown_cost(cost, shown))
    return false;
  std::cout << head << shown << std::endl;
  return true;
}
