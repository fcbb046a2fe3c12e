#include "search/binary_search_core_disjoint.hpp"

#include <algorithm>
#include <climits>
#include <iostream>
#include <map>
#include <set>

#include "encodings/enc_arith.hpp"
#include "encodings/pbenc.hpp"
#include "framework/progress_lines.hpp"
#include "framework/sat_arith.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

BinarySearchCoreDisjoint::~BinarySearchCoreDisjoint() { clear_cores(); }

void BinarySearchCoreDisjoint::clear_cores() {
  for (Core *k : cores_)
    delete k;
  cores_.clear();
}

void BinarySearchCoreDisjoint::reset_search() {
  clear_cores();
  core_bound_.clear_direct();
  best_cost = LLONG_MAX;
  best_model.clear();
}

bool BinarySearchCoreDisjoint::start_search(TernWrapperSort &sat,
                                            long long &count, long long &lb,
                                            long long &ub) {
  reset_search();
  compute_initial_bounds(*imgr, *clset, sat, *model, core, count, lb, ub);
  return ub != -1;
}

long long BinarySearchCoreDisjoint::solve() {
  long long count = 0, lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!start_search(sat, count, lb, ub))
    return -1;
  print_best_cost_line("c o ", ub);
  hardening(cores_, *imgr, *clset, lb, ub);
  return search_cores(sat, count, ub);
}

long long BinarySearchCoreDisjoint::search_cores(TernWrapperSort &sat,
                                                 long long &count,
                                                 long long &ub) {
  sat_count_ = unsat_count_ = 1;
  do {
    begin_iteration();
    add_atmost_constraint(count, ub);
    long long cost = 0;
    int res = sat_call_under_bound(sat, core_bound_, cost);
    bounds_changed_ = false;
    if (res == 10) {
      take_model(cost, ub);
    } else {
      ++unsat_count_;
      if (ZORConfig::verbosity > 1)
        std::cout << "c Unsat instance" << std::endl;
      ++count;
      take_core(ub);
    }
    finish_sat_call(sat, false);
    if (bounds_changed_ && ZORConfig::hardening_rule)
      harden_cores(ub);
  } while (stop_condition(cores_));
  return best_result(ub);
}

void BinarySearchCoreDisjoint::take_model(long long cost, long long &ub) {
  ++sat_count_;
  if (ZORConfig::verbosity > 1)
    std::cout << "c Sat instance" << std::endl;
  report_model_cost(cost, ub);
  for (Core *k : cores_)
    k->set_mu(core_cost(*k));
  bounds_changed_ = true;
}

void BinarySearchCoreDisjoint::report_model_cost(long long cost,
                                                 long long &ub) {
  // The printed costs include what the search settled before it began.
  if (ub <= cost) {
    long long assig, global;
    if (shown_model_cost(*model, sat_add(cost, settled_cost), assig) &&
        shown_best_cost(sat_add(ub, settled_cost), global))
      std::cout << "c Costs - Assig: " << assig << " - Global UB: " << global
                << std::endl;
  } else {
    ub = cost;
    print_best_cost_line("c o ", sat_add(cost, settled_cost));
  }
}

void BinarySearchCoreDisjoint::sort_core(std::vector<BasicClause *> &unrelaxed,
                                         std::vector<Core *> &joint) {
  std::vector<long long> old_vars;
  split_core(old_vars, unrelaxed);
  // The hard clauses are satisfiable and a bound alone is met with its
  // variables false, so a core always holds a soft clause.
  if (old_vars.empty() && unrelaxed.empty())
    Abort("Unsatisfiable core without soft clauses");
  detect_joint_cores(cores_, joint, old_vars);
}

void BinarySearchCoreDisjoint::take_core(long long ub) {
  std::vector<BasicClause *> unrelaxed;
  std::vector<Core *> joint;
  sort_core(unrelaxed, joint);
  if (unrelaxed.empty() && joint.size() == 1) {
    Core *k = joint.front();
    long long delta = k->get_lambda() == -1
                          ? k->get_nu()
                          : sat_sub(k->get_nu(), k->get_lambda());
    k->set_lambda(k->get_nu());
    if (ZORConfig::hardening_rule) {
      for (BasicClause *c : core) {
        auto it = hardening_map.find(c);
        if (c->weight < clset->top_weight && it != hardening_map.end())
          it->second = sat_sub(it->second, delta);
      }
      bounds_changed_ = true;
    }
    return;
  }
  std::vector<long long> rvars, weights;
  relax_new_clauses(unrelaxed, rvars, weights);
  merge_cores(cores_, joint, rvars, weights, 1);
  for (Core *j : joint)
    delete j;
  Core *merged = cores_.back();
  if (sat_add(ub, 1) < merged->get_mu())
    merged->set_mu(sat_add(ub, 1));
}

void BinarySearchCoreDisjoint::split_core(
    std::vector<long long> &old_vars, std::vector<BasicClause *> &unrelaxed) {
  for (BasicClause *c : core) {
    if (c->weight >= clset->top_weight)
      continue;
    long long r = get_unique_relax_var(c);
    if (r != 0)
      old_vars.push_back(r);
    else
      unrelaxed.push_back(c);
  }
}

void BinarySearchCoreDisjoint::relax_new_clauses(
    std::vector<BasicClause *> &unrelaxed, std::vector<long long> &rvars,
    std::vector<long long> &weights) {
  relax_core_clauses(unrelaxed, *clset, rvars, weights);
}

bool BinarySearchCoreDisjoint::relax_lit_true(long long lit) {
  std::size_t v = static_cast<std::size_t>(lit < 0 ? -lit : lit);
  return v < model->size() && (*model)[v] == 1;
}

long long BinarySearchCoreDisjoint::core_cost(Core &k) {
  long long cost = 0;
  std::vector<long long> &rv = k.get_rvars();
  std::vector<long long> &ws = k.get_weights();
  for (std::size_t i = 0; i < rv.size(); ++i)
    if (relax_lit_true(rv[i]))
      cost = sat_add(cost, ws[i]);
  return cost;
}

void BinarySearchCoreDisjoint::harden_cores(long long ub) {
  long long lb = 0;
  for (Core *k : cores_)
    lb = cost_add(lb, k->get_lambda());
  detach_clause_set(core_bound_, *clset);
  hardening(cores_, *imgr, *clset, lb, ub);
}

long long BinarySearchCoreDisjoint::best_result(long long ub) {
  if (best_model.empty())
    return ub;
  restore_best_model();
  settle_relaxation_values();
  return best_cost;
}

bool BinarySearchCoreDisjoint::take_initial_bounds(
    IDManager &imgr, BasicClauseSet &set, TernWrapperSort &sat,
    std::vector<long long> &model, std::vector<BasicClause *> &core,
    long long &count, long long &lb, long long &ub) {
  std::vector<bool> bmodel;
  set_initial_bounds(imgr, set, sat, model, bmodel, core, count, cores_, lb,
                     ub);
  if (ub == -1 || bmodel.empty())
    return false;
  keep_bound_model(bmodel, ub);
  return true;
}

void BinarySearchCoreDisjoint::compute_initial_bounds(
    IDManager &imgr, BasicClauseSet &set, TernWrapperSort &sat,
    std::vector<long long> &model, std::vector<BasicClause *> &core,
    long long &count, long long &lb, long long &ub) {
  take_initial_bounds(imgr, set, sat, model, core, count, lb, ub);
  if (ub == -1)
    return;
  if (ZORConfig::upper_bound != BoundMode::Mode0)
    upper_bound_refinement_r2_s62(imgr, set, cores_);
  for (Core *k : cores_) {
    if (k->get_mu() == ub)
      k->set_mu(sat_add(ub, 1));
    if (k->get_lambda() >= 0)
      k->set_lambda(k->get_lambda() - 1);
  }
}

void BinarySearchCoreDisjoint::upper_bound_refinement_r2_s62(
    IDManager &imgr, BasicClauseSet &set, std::vector<Core *> &cores) {
  if (cores.size() < 2)
    return;
  for (Core *k : cores)
    upper_bound_refinement_r2_s62(imgr, set, k);
}

void BinarySearchCoreDisjoint::upper_bound_refinement_r2_s62(
    IDManager &, BasicClauseSet &set, Core *k) {
  // Exact sums: a total past the 64-bit range comes back into it once the
  // complementary pairs are taken off, which a saturated one would not.
  enc_arith::Wide total = 0;
  // Literal -> the core's clauses holding it.
  std::map<long long, std::set<BasicClause *>> holders;
  for (long long r : k->get_rvars()) {
    auto it = rvar_cl_map.find(r);
    if (it == rvar_cl_map.end() || !it->second ||
        it->second->weight >= set.top_weight)
      continue;
    BasicClause *c = it->second;
    total += c->weight;
    long long u = get_unique_relax_var(c);
    for (long long l : c->lits)
      if (l != u)
        holders[l].insert(c);
  }
  auto weight_of = [](const std::set<BasicClause *> &s) {
    enc_arith::Wide w = 0;
    for (BasicClause *c : s)
      w += c->weight;
    return w;
  };
  // Takes the clauses of s out of the sets of their other literals, so
  // that a clause counts in one complementary pair at most.
  auto retire = [&](std::set<BasicClause *> &s, long long l) {
    for (BasicClause *c : s) {
      long long u = get_unique_relax_var(c);
      for (long long o : c->lits)
        if (o != l && o != u) {
          auto h = holders.find(o);
          if (h != holders.end())
            h->second.erase(c);
        }
    }
    s.clear();
  };
  for (auto &entry : holders) {
    long long l = entry.first;
    if (entry.second.empty() || l == LLONG_MIN)
      continue;
    auto neg = holders.find(-l);
    if (neg == holders.end() || neg->second.empty())
      continue;
    total -= std::min(weight_of(entry.second), weight_of(neg->second));
    retire(entry.second, l);
    retire(neg->second, -l);
  }
  if (total + 1 < k->get_mu())
    k->set_mu(static_cast<long long>(total + 1));
}

void BinarySearchCoreDisjoint::improve_upper_bound_r2_s63(
    IDManager &, BasicClauseSet &, std::vector<Core *> &cores, long long ub) {
  // The sum over the cores of lambda + 1, a lower bound on the optimum: past
  // the 64-bit range the optimum is too, and a saturated sum would leave
  // the cores' upper bounds below their lower ones.
  long long all = 0;
  for (Core *k : cores)
    all = cost_add(all, cost_add(k->get_lambda(), 1));
  for (Core *k : cores) {
    long long others = sat_sub(all, sat_add(k->get_lambda(), 1));
    long long v = sat_sub(ub, others);
    if (sat_add(v, 1) < k->get_mu())
      k->set_mu(sat_add(v, 1));
  }
}

long long BinarySearchCoreDisjoint::computeMiddle(long long lambda,
                                                  long long mu) {
  if (sat_sub(mu, lambda) < 2)
    return mu;
  if (ZORConfig::middle_type != MiddleType::Biased)
    return compute_nu(lambda, mu);
  return biased_nu(lambda, mu, sat_count_, unsat_count_);
}

int BinarySearchCoreDisjoint::stop_condition(std::vector<Core *> &cores) {
  for (Core *k : cores)
    if (sat_add(k->get_lambda(), 1) < k->get_mu())
      return 1;
  return 0;
}

void BinarySearchCoreDisjoint::prepare_core_bounds(long long ub) {
  if (ZORConfig::upper_bound != BoundMode::Mode0)
    improve_upper_bound_r2_s63(*imgr, *clset, cores_, ub);
}

long long BinarySearchCoreDisjoint::core_test_value(Core &k) {
  if (sat_sub(k.get_mu(), k.get_lambda()) <= 1)
    return k.get_mu();
  return computeMiddle(k.get_lambda(), k.get_mu());
}

void BinarySearchCoreDisjoint::add_atmost_constraint(long long &count,
                                                     long long &ub) {
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  std::cout << "c Cores: " << count << ", Disjoint Cores: " << cores_.size()
            << ", Relax. vars: " << rvars.size() << std::endl;
  clear_bound(core_bound_);
  prepare_core_bounds(ub);
  for (Core *k : cores_) {
    k->set_nu(core_test_value(*k));
    add_bound(core_bound_, k->get_rvars(), k->get_weights(), k->get_nu());
  }
  if (ZORConfig::add_global_cnstr != 0) {
    long long g = ZORConfig::is_global_cnstr_lt ? sat_sub(ub, 1) : ub;
    if (ZORConfig::verbosity > 1)
      std::cout << "c adding global cnstr (sum weigth * r.v.[" << rvars.size()
                << "] <= " << g << ")" << std::endl;
    initializePB(static_cast<PB_CNF_Encodings>(ZORConfig::add_global_cnstr));
    cnf_encode_atmostN(*imgr, core_bound_, rvars, weights, g);
    finalizePB(*imgr, core_bound_);
  }
}

void BinarySearchCoreDisjoint::detect_joint_cores(
    std::vector<Core *> &cores, std::vector<Core *> &joint,
    std::vector<long long> &rvars) {
  joint.clear();
  for (Core *k : cores)
    for (long long r : rvars)
      if (k->contains_var(r)) {
        joint.push_back(k);
        break;
      }
}

void BinarySearchCoreDisjoint::merge_cores(std::vector<Core *> &cores,
                                           std::vector<Core *> &joint,
                                           std::vector<long long> &rvars,
                                           std::vector<long long> &weights,
                                           long long min) {
  Core *n = new Core(rvars, weights, min);
  for (Core *j : joint) {
    n->extend(j);
    n->set_min(std::max(n->get_min(), j->get_min()));
    n->set_lambda(cost_add(n->get_lambda(), j->get_lambda()));
    // An untouched initial bound (1 + the weight) counts its 1 once.
    bool initial = j->get_mu() == sat_add(j->sum_weights(), 1);
    long long mu = sat_add(n->get_mu(), j->get_mu());
    // A saturated sum stays at the ceiling: less would be no bound.
    n->set_mu(initial && mu < kCostCeiling ? mu - 1 : mu);
    auto it = std::find(cores.begin(), cores.end(), j);
    if (it != cores.end())
      cores.erase(it);
  }
  std::vector<long long> &ws = n->get_weights();
  if (!ws.empty()) {
    long long w = *std::min_element(ws.begin(), ws.end());
    if (n->get_lambda() < w - 1) {
      long long old = n->get_lambda();
      n->set_lambda(w - 1);
      if (ZORConfig::hardening_rule)
        lower_hardening_entries(n->get_rvars(),
                                old == -1 ? w : sat_sub(w, old));
      bounds_changed_ = true;
    }
  }
  cores.push_back(n);
}

void BinarySearchCoreDisjoint::lower_hardening_entries(
    const std::vector<long long> &rvars, long long delta) {
  for (long long r : rvars) {
    auto it = rvar_cl_map.find(r);
    if (it == rvar_cl_map.end() || !it->second ||
        it->second->weight >= clset->top_weight)
      continue;
    auto h = hardening_map.find(it->second);
    if (h != hardening_map.end())
      h->second = sat_sub(h->second, delta);
  }
}
