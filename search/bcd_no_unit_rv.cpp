#include "search/bcd_no_unit_rv.hpp"

#include <climits>
#include <iostream>

#include "framework/bound_encoding.hpp"
#include "framework/progress_lines.hpp"
#include "framework/sat_arith.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

long long BCDNoUnitRV::solve() {
  std::cout << "c bcdnur" << std::endl;
  reset_search();
  unit_map_.clear();
  aside_units_.clear();
  settled_weights_.clear();
  long long count = 0, lb = -1, ub = -1, units = 0;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  pairs_ = preprocessUnits(units);
  settled_cost = units;
  long long result = -1;
  if (soft_count_ == 0) {
    // Every soft clause is settled: one model of the hard clauses is an
    // optimum.
    sat.init();
    if (sat.run_sat_solver() == 10) {
      result = units;
      keep_model_if_better(units);
    }
    finish_sat_call(sat, false);
    restore_input();
    return result;
  }
  compute_initial_bounds(*imgr, *clset, sat, *model, core, count, lb, ub);
  if (ub != -1) {
    print_best_cost_line("c o ", sat_add(ub, units));
    iteration_ = 1;
    result = cost_add(search_cores(sat, count, ub), units);
  }
  restore_input();
  return result;
}

void BCDNoUnitRV::begin_iteration() {
  std::cout << "c niter:" << iteration_++ << std::endl;
  std::cout << "c n. unit cls in dcores: "
            << pairs_ + static_cast<long long>(unit_map_.size()) << std::endl;
}

long long BCDNoUnitRV::preprocessUnits(long long &cost) {
  soft_count_ = 0;
  long long pairs = 0;
  std::map<long long, BasicClause *> units; // literal -> its unit, unpaired
  std::vector<BasicClause *> settled;
  auto settle = [&](BasicClause *c, long long w) {
    settled_weights_.emplace(c, c->weight); // the first change keeps the input
    clset->set_cl_weight(c, w);
  };
  for (BasicClause *c : clset->clauses()) {
    if (c->weight >= clset->top_weight)
      continue;
    ++soft_count_;
    if (c->lits.size() != 1)
      continue;
    long long u = c->lits.front();
    auto it = units.find(-u);
    if (it == units.end()) {
      units.emplace(u, c);
      continue;
    }
    BasicClause *o = it->second;
    units.erase(it);
    long long w = c->weight, wo = o->weight;
    if (w < wo) {
      cost = cost_add(cost, w);
      settled.push_back(c);
      settle(o, wo - w);
    } else if (w == wo) {
      cost = cost_add(cost, w);
      settled.push_back(c);
      settled.push_back(o);
      ++pairs;
    } else {
      cost = cost_add(cost, wo);
      settled.push_back(o);
      settle(c, w - wo);
    }
  }
  for (BasicClause *c : settled) {
    set_unit_aside(c);
    --soft_count_;
  }
  return pairs;
}

void BCDNoUnitRV::set_unit_aside(BasicClause *c) {
  if (clset->remove_member(c))
    aside_units_.push_back(c);
}

void BCDNoUnitRV::restore_input() {
  detach_clause_set(core_bound_, *clset);
  for (BasicClause *c : aside_units_)
    clset->insert_member(c);
  for (const auto &entry : settled_weights_)
    clset->set_cl_weight(entry.first, entry.second);
  settled_weights_.clear();
}

void BCDNoUnitRV::compute_initial_bounds(IDManager &imgr, BasicClauseSet &set,
                                         TernWrapperSort &sat,
                                         std::vector<long long> &model,
                                         std::vector<BasicClause *> &core,
                                         long long &count, long long &lb,
                                         long long &ub) {
  BinarySearchCoreDisjoint::compute_initial_bounds(imgr, set, sat, model,
                                                   core, count, lb, ub);
  if (ub == -1 || rvar_cl_map.empty())
    return;
  std::vector<long long> noted;
  for (auto &entry : rvar_cl_map) {
    long long r = entry.first;
    BasicClause *c = entry.second;
    if (!c || c->lits.size() != 2)
      continue;
    long long u = c->lits[0] == r ? c->lits[1] : c->lits[0];
    long long key = -u;
    unit_map_[key] = c->weight;
    for (Core *k : cores_)
      if (k->contains_var(r)) {
        k->replaceRV(r, key);
        break;
      }
    entry.second = nullptr;
    cl_rvars_map.erase(c);
    set_unit_aside(c);
    noted.push_back(r);
  }
  for (long long r : noted)
    rvar_cl_map.erase(r);
}

void BCDNoUnitRV::relax_core_clauses(std::vector<BasicClause *> &cls,
                                     BasicClauseSet &set,
                                     std::vector<long long> &rlits,
                                     std::vector<long long> &weights) {
  std::vector<BasicClause *> units;
  for (BasicClause *c : cls) {
    if (c->weight >= set.top_weight)
      continue;
    if (c->lits.size() == 1) {
      long long key = -c->lits.front();
      unit_map_[key] = c->weight;
      rlits.push_back(key);
      weights.push_back(c->weight);
      units.push_back(c);
      continue;
    }
    std::vector<BasicClause *> one{c};
    UnsatMaxSATSolver::relax_core_clauses(one, set, rlits, weights);
  }
  for (BasicClause *c : units)
    set_unit_aside(c);
}

void BCDNoUnitRV::relax_new_clauses(std::vector<BasicClause *> &unrelaxed,
                                    std::vector<long long> &rvars,
                                    std::vector<long long> &weights) {
  relax_core_clauses(unrelaxed, *clset, rvars, weights);
}

void BCDNoUnitRV::split_core(std::vector<long long> &old_vars,
                             std::vector<BasicClause *> &unrelaxed) {
  bool any_hard = ZORConfig::nrsrch_type == SearchType::All;
  for (BasicClause *c : core) {
    if (c->weight < clset->top_weight) {
      long long r = get_unique_relax_var(c);
      if (r != 0)
        old_vars.push_back(r);
      else
        unrelaxed.push_back(c);
      continue;
    }
    if (!any_hard && !core_bound_.contains(c))
      continue;
    // A bound clause names the core of the first unit literal it holds.
    for (long long l : c->lits) {
      if (unit_map_.count(l)) {
        old_vars.push_back(l);
        break;
      }
      if (l != LLONG_MIN && unit_map_.count(-l)) {
        old_vars.push_back(-l);
        break;
      }
    }
  }
}

bool BCDNoUnitRV::lit_true(long long lit) const {
  if (lit == 0 || lit == LLONG_MIN)
    return false;
  std::size_t v = static_cast<std::size_t>(lit < 0 ? -lit : lit);
  long long val = v < model->size() ? (*model)[v] : 0;
  return lit > 0 ? val == 1 : val != 1;
}

bool BCDNoUnitRV::relax_lit_true(long long lit) {
  if (unit_map_.count(lit))
    return lit_true(lit);
  return BinarySearchCoreDisjoint::relax_lit_true(lit);
}

long long BCDNoUnitRV::get_cost_rliteral(BasicClauseSet &,
                                         std::vector<long long> &m,
                                         long long &lit) {
  auto u = unit_map_.find(lit);
  if (u != unit_map_.end()) {
    if (lit == 0)
      return 0;
    std::size_t v = static_cast<std::size_t>(lit < 0 ? -lit : lit);
    long long val = v < m.size() ? m[v] : 0;
    bool t = lit > 0 ? val == 1 : val != 1;
    return t ? u->second : 0;
  }
  auto it = rvar_cl_map.find(lit);
  if (lit <= 0 || it == rvar_cl_map.end() || !it->second)
    return 0;
  std::size_t v = static_cast<std::size_t>(lit);
  return v < m.size() && m[v] == 1 ? it->second->weight : 0;
}

long long BCDNoUnitRV::get_cost_assignment(BasicClauseSet &,
                                           std::vector<long long> &m) {
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  long long cost = cost_of_model(m, rvars, weights);
  for (const auto &entry : unit_map_) {
    long long lit = entry.first;
    if (__builtin_add_overflow(cost, get_cost_rliteral(*clset, m, lit), &cost))
      cost = LLONG_MAX;
  }
  return cost;
}

long long BCDNoUnitRV::model_cost() {
  return get_cost_assignment(*clset, *model);
}
