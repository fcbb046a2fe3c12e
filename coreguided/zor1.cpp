#include "coreguided/zor1.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "coreguided/core_progress.hpp"
#include "encodings/amo_encodings.hpp"
#include "encodings/card_common.hpp"
#include "framework/sat_arith.hpp"
#include "model/logger.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge.hpp"

namespace {
const char *prefix() { return ZORConfig::comp_format ? "c " : ""; }
} // namespace

long long ZOR1::solve() {
  num_input_vars = imgr->top_id;
  TernWrapper sat(*imgr, *clset, *model, core,
                  ZORConfig::trace_mode ? "zor-unsat-trace" : nullptr);
  long long cost = 0, cores = 0;
  for (;;) {
    sat.init();
    int res = sat.run_sat_solver();
    if (res == 10) {
      print_solution_found();
      sat.reset();
      if (ZORConfig::verbosity >= 2)
        std::cout << "c CORES: " << cores << std::endl;
      ZORToolObjects::keep_model(*model);
      return cost;
    }
    ++cores;
    print_core_found(cores, core);
    std::vector<long long> rvars;
    long long price = relax_core(rvars);
    if (price < 0)
      return -1;
    if (ZORConfig::verbosity >= 3)
      std::cout << prefix() << "Number of relax vars: " << rvars.size()
                << std::endl;
    add_card_constraint(rvars);
    sat.reset();
    cost = cost_add(cost, price);
    check_cpu_timeout();
    print_cost_lower_bound(cost);
  }
}

long long ZOR1::relax_core(std::vector<long long> &rvars) {
  switch (ZORConfig::zortype) {
  case MS_Problems::Plain:
  case MS_Problems::Partial: {
    // A plain or partial problem can still hold weights other than 1 (a
    // repeated clause carries the sum of its repetitions, a rewritten one
    // what resolution moved to it); such a core needs the weighted
    // relaxation.
    bool unit = std::all_of(core.begin(), core.end(), [&](BasicClause *c) {
      return c->weight >= clset->top_weight || c->weight == 1;
    });
    return unit ? mxsat_relax_core_clauses(rvars)
                : weighted_relax_core_clauses(rvars);
  }
  case MS_Problems::Weighted:
    return weighted_relax_core_clauses(rvars);
  case MS_Problems::SoftCnf:
    softcnf_relax_core_clauses(rvars);
  default:
    Abort("Invalid MaxSAT solver problem type");
  }
}

long long ZOR1::mxsat_relax_core_clauses(std::vector<long long> &rvars) {
  for (BasicClause *c : core) {
    if (c->weight >= clset->top_weight)
      continue;
    rvars.push_back(add_relaxation_var(c));
  }
  rebuild_relaxed_clauses();
  core.clear();
  return rvars.empty() ? -1 : 1;
}

long long ZOR1::weighted_relax_core_clauses(std::vector<long long> &rvars) {
  long long top = clset->top_weight;
  long long m = top - 1, n = 0;
  std::vector<long long> cut;
  for (BasicClause *c : core) {
    if (c->weight >= top)
      continue;
    m = std::min(m, c->weight);
    ++n;
    if (ZORConfig::cuts_from_cores && clset->all_soft_units)
      for (long long l : c->lits)
        if (std::llabs(l) <= num_input_vars)
          cut.push_back(-l);
    if (show_relaxation_ && Logger::verbosity >= 5)
      std::cout << prefix() << "Core soft clause: " << *c << "\n"
                << std::flush;
  }
  if (show_relaxation_ && Logger::verbosity >= 3)
    std::cout << prefix() << "Number of non-hard clauses: " << n << std::endl;
  bool expert =
      show_relaxation_ && ZORConfig::expert_mode && ZORConfig::verbosity >= 5;
  bool unrelaxed_found = false;
  for (BasicClause *c : core) {
    long long w = c->weight;
    if (w >= top)
      continue;
    if (expert && !cl_rvars_map.count(c)) {
      std::cout << "Found non-relaxed clause: " << *c << std::endl;
      unrelaxed_found = true;
    }
    if (w == m) {
      rvars.push_back(add_relaxation_var(c));
      continue;
    }
    // Split: c keeps w - m unrelaxed; a relaxed copy carries m.
    c->weight = w - m;
    clset->def_cltype = ClauseType::Unit;
    long long r = imgr->new_id();
    LitVector lits = c->lits;
    lits.push_back(r);
    BasicClause *copy = clset->create_clause(lits);
    clset->set_cl_weight(copy, m);
    clset->def_cltype = ClauseType::Hard;
    register_relaxation_var(copy, r);
    rvars.push_back(r);
  }
  if (expert && !unrelaxed_found)
    std::cout << "Iter w/o cls having no relax vars" << std::endl;
  if (ZORConfig::cuts_from_cores && !cut.empty() &&
      static_cast<double>(cut.size()) <=
          0.1 * static_cast<double>(clset->num_unit)) {
    std::sort(cut.begin(), cut.end(), AbsLitLess());
    LitVector uniq;
    for (long long l : cut)
      if (uniq.empty() || uniq.back() != l)
        uniq.push_back(l);
    bool taut = false;
    for (std::size_t i = 1; i < uniq.size(); ++i)
      taut |= uniq[i] == -uniq[i - 1];
    if (!taut) {
      clset->def_cltype = ClauseType::Hard;
      BasicClause *cl = clset->create_clause(uniq);
      std::cout << "Added NEW HARD clause: " << *cl << std::endl;
    }
  }
  rebuild_relaxed_clauses();
  core.clear();
  return rvars.empty() ? -1 : m;
}

long long ZOR1::softcnf_relax_core_clauses(std::vector<long long> &) {
  Abort("Currently unable to solve SoftCNF problems");
}

void ZOR1::rebuild_relaxed_clauses() {
  for (BasicClause *c : relaxed_cls)
    rebuild_amo(c);
  relaxed_cls.clear();
}

void ZOR1::rebuild_amo(BasicClause *c) {
  std::vector<BasicClause *> &record = cl_lists_map[c];
  for (BasicClause *a : record)
    clset->remove_clause(a);
  record.clear();
  clset->def_cltype = ClauseType::Hard;
  std::vector<long long> &rv = cl_rvars_map[c];
  if (!ZORConfig::relate_relax_vars ||
      rv.size() < static_cast<unsigned>(ZORConfig::relate_relax_vars_thres))
    return;
  MxClSet mx;
  mx.set = clset;
  mx.created = &record;
  std::vector<long long> lits = rv;
  switch (ZORConfig::zorenc) {
  case Card_CNF_Encodings::SeqCounter:
    seqcounter_encode_atmost1(*imgr, mx, lits);
    break;
  case Card_CNF_Encodings::Pairwise:
    pairwise_encode_atmost1(*imgr, mx, lits);
    break;
  case Card_CNF_Encodings::Bitwise:
    bitwise_encode_atmost1(*imgr, mx, lits);
    break;
  case Card_CNF_Encodings::Ladder:
    lits.push_back(imgr->new_id());
    ladder_encode_equals1(*imgr, mx, lits);
    break;
  default:
    Abort("Selected encoding not available");
  }
}

void ZOR1::add_card_constraint(std::vector<long long> &rvars) {
  clset->def_cltype = ClauseType::Hard;
  switch (ZORConfig::zorenc) {
  case Card_CNF_Encodings::Pairwise:
    CommonCard::encode_atleast1(*imgr, *clset, rvars);
    pairwise_encode_atmost1(*imgr, *clset, rvars);
    break;
  case Card_CNF_Encodings::SeqCounter:
    CommonCard::encode_atleast1(*imgr, *clset, rvars);
    seqcounter_encode_atmost1(*imgr, *clset, rvars);
    break;
  case Card_CNF_Encodings::Bitwise:
    CommonCard::encode_atleast1(*imgr, *clset, rvars);
    bitwise_encode_atmost1(*imgr, *clset, rvars);
    break;
  case Card_CNF_Encodings::Ladder:
    ladder_encode_equals1(*imgr, *clset, rvars);
    break;
  default:
    Abort("Selected encoding not yet available. Please contact author.");
  }
}
