#include "framework/bound_encoding.hpp"

#include <climits>
#include <cstdlib>

#include "encodings/cardenc.hpp"
#include "encodings/pbenc.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

void encode_cost_constraint(IDManager &imgr, BasicClauseSet &set,
                            const std::vector<long long> &rvars,
                            const std::vector<long long> &weights, long long k,
                            CostRelation rel) {
  std::vector<long long> lits, ws;
  bool unit = true;
  for (std::size_t i = 0; i < rvars.size(); ++i) {
    if (weights[i] <= 0)
      continue;
    lits.push_back(rvars[i]);
    ws.push_back(weights[i]);
    unit &= weights[i] <= 1;
  }
  // The BDD translator refuses weights whose total leaves the 64-bit range
  // (status 1); the run ends here instead, like every other cost past it.
  if (!unit && ZORConfig::zorpbenc == PB_CNF_Encodings::BDD) {
    long long total = 0;
    for (long long w : ws)
      if (__builtin_add_overflow(total, w, &total))
        abort_beyond_64_bits("Sum of the weights of a BDD-encoded bound");
  }
  if (unit) {
    switch (rel) {
    case CostRelation::AtMost:
      cnf_encode_atmostN(imgr, set, lits, k, ZORConfig::zorenc);
      break;
    case CostRelation::AtLeast:
      cnf_encode_atleastN(imgr, set, lits, k, ZORConfig::zorenc);
      break;
    case CostRelation::Equals:
      cnf_encode_equalsN(imgr, set, lits, k, ZORConfig::zorenc);
      break;
    }
    return;
  }
  switch (rel) {
  case CostRelation::AtMost:
    cnf_encode_atmostN(imgr, set, lits, ws, k, ZORConfig::zorpbenc);
    break;
  case CostRelation::AtLeast:
    cnf_encode_atleastN(imgr, set, lits, ws, k, ZORConfig::zorpbenc);
    break;
  case CostRelation::Equals:
    cnf_encode_equalsN(imgr, set, lits, ws, k, ZORConfig::zorpbenc);
    break;
  }
}

long long cost_of_model(const std::vector<long long> &model,
                        const std::vector<long long> &rvars,
                        const std::vector<long long> &weights) {
  long long cost = 0;
  for (std::size_t i = 0; i < rvars.size(); ++i) {
    std::size_t v = static_cast<std::size_t>(std::llabs(rvars[i]));
    if (v < model.size() && model[v] == 1 &&
        __builtin_add_overflow(cost, weights[i], &cost))
      cost = LLONG_MAX;
  }
  return cost;
}
