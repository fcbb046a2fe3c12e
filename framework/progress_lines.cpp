#include "framework/progress_lines.hpp"

#include <iostream>

#include "framework/sat_arith.hpp"
#include "model/clause_snapshot.hpp"
#include "model/mxutils.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"

namespace {

bool costed_on_input() {
  return ZORToolObjects::_input && ZORToolObjects::_ivars_used >= 0;
}

// Without the input as read only a clause input's own cost can be shown.
bool own_cost_shown(long long own_cost, long long &shown) {
  if (own_cost < 0 || own_cost >= kCostCeiling ||
      !ZORConfig::pbo_minimization_function.empty())
    return false;
  shown = own_cost;
  return true;
}

} // namespace

bool shown_best_cost(long long own_cost, long long &shown) {
  if (!costed_on_input())
    return own_cost_shown(own_cost, shown);
  const ZORToolObjects::KeptModel *kept = ZORToolObjects::kept_model();
  if (!kept)
    return false;
  shown = kept->cost;
  return true;
}

bool shown_model_cost(const std::vector<long long> &model, long long own_cost,
                      long long &shown) {
  if (!costed_on_input())
    return own_cost_shown(own_cost, shown);
  ClauseSnapshot::Result r = ZORToolObjects::_input->check(model);
  if (!r.hard_ok || r.cost >= BasicClauseSet::kMaxWeight)
    return false;
  shown = r.cost;
  ZORConfig config;
  set_alternative_cost(config, model, shown);
  return true;
}

void print_best_cost_line(const char *head, long long own_cost) {
  long long shown;
  if (shown_best_cost(own_cost, shown))
    std::cout << head << shown << std::endl;
}
