#include "model/zor_tool_objects.hpp"

#include <atomic>
#include <csignal>

#include "model/clause_snapshot.hpp"
#include "model/mxutils.hpp"
#include "model/zor_config.hpp"

IDManager *ZORToolObjects::_imgr = nullptr;
BasicClauseSet *ZORToolObjects::_clset = nullptr;
std::vector<long long> *ZORToolObjects::_model = nullptr;
long long ZORToolObjects::_ivars = -1;
long long ZORToolObjects::_icls = -1;
long long ZORToolObjects::_ivars_used = -1;
const ClauseSnapshot *ZORToolObjects::_input = nullptr;

namespace {

// Two slots: the one that g_kept names is read by the signal path and never
// written; a new model goes into the other.
ZORToolObjects::KeptModel g_slots[2];
volatile std::sig_atomic_t g_kept = -1; // -1: no model kept
// The offered model as the model line prints it (entry v: 1 or -1).
std::vector<long long> g_offered;

void offer_model() {
  ClauseSnapshot::Result r = ZORToolObjects::_input->check(g_offered);
  // A sum that left the 64-bit range is no cost to print.
  if (!r.hard_ok || r.cost >= BasicClauseSet::kMaxWeight)
    return;
  long long cost = r.cost;
  ZORConfig config;
  set_alternative_cost(config, g_offered, cost);
  const int kept = g_kept;
  if (kept >= 0 && cost >= g_slots[kept].cost)
    return;
  ZORToolObjects::KeptModel &slot = g_slots[kept == 0 ? 1 : 0];
  slot.cost = cost;
  slot.values.assign(g_offered.begin(), g_offered.end());
  std::atomic_signal_fence(std::memory_order_release);
  g_kept = kept == 0 ? 1 : 0;
}

bool keeping() {
  return ZORToolObjects::_input && ZORToolObjects::_ivars_used >= 0;
}

} // namespace

void ZORToolObjects::keep_model(const std::vector<long long> &model) {
  if (!keeping())
    return;
  const std::size_t n = static_cast<std::size_t>(_ivars_used);
  g_offered.assign(n + 1, -1);
  for (std::size_t v = 1; v <= n && v < model.size(); ++v)
    if (model[v] > 0)
      g_offered[v] = 1;
  offer_model();
}

void ZORToolObjects::keep_model(const std::vector<bool> &bmodel) {
  if (keeping())
    keep_model(signed_model(bmodel));
}

const ZORToolObjects::KeptModel *ZORToolObjects::kept_model() {
  const int kept = g_kept;
  std::atomic_signal_fence(std::memory_order_acquire);
  return kept < 0 ? nullptr : &g_slots[kept];
}

void ZORToolObjects::forget_kept_model() { g_kept = -1; }
