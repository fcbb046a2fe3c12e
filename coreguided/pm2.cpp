#include "coreguided/pm2.hpp"

#include <algorithm>
#include <iostream>

#include "encodings/cardenc.hpp"
#include "framework/bound_encoding.hpp"
#include "framework/core.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

long long PM2::solve() {
  bound_clset_.clear_direct();
  accept_only_unweighted(*clset);
  TernWrapperSort sat(*imgr, *clset, *model, core);
  std::vector<Core *> cores;
  long long lb = -1;
  if (!initial_bounds(sat, cores, lb))
    return -1;
  long long lambda = lb >= 0 ? lb : 0;
  relax_all_soft_clauses_unrelaxed(*clset);
  // The bound's variables are taken before any at-least constraint exists:
  // at least one of {r} is the clause (r), which is also the relaxed form
  // of an empty soft clause, and making it hard would take r off the list.
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  initialize_pm2_heuristic(cores);
  for (;;) {
    bound_clset_.top_weight = clset->top_weight;
    bound_clset_.def_cltype = ClauseType::Hard;
    encode_cost_bound(*imgr, bound_clset_, rvars, weights, lambda);
    attach_clause_set(bound_clset_, *clset);
    if (satisfiable(sat)) {
      ZORToolObjects::keep_model(*model);
      return lambda;
    }
    if (ZORConfig::verbosity > 1)
      std::cout << "c Unsat instance lambda: " << lambda << std::endl;
    ++lambda;
    std::set<long long> set;
    std::vector<long long> vars;
    // A core of hard clauses alone only shows that lambda was too low.
    int k = core_relax_vars(set, vars) ? store_core_set(set) : 0;
    std::cout << "c current core size:" << vars.size() << " k:" << k
              << std::endl;
    // The core may hold bound clauses: it is read before they are released.
    core.clear();
    sat.reset();
    // The bound goes before the at-least constraint comes, so that a clause
    // both share stays in the input set.
    detach_clause_set(bound_clset_, *clset);
    if (k > 0)
      add_atleast_constraint(vars, k);
  }
}

bool PM2::initial_bounds(TernWrapperSort &sat, std::vector<Core *> &cores,
                         long long &lb) {
  long long count = 0, ub = -1;
  core.clear();
  set_initial_bounds(*imgr, *clset, sat, *model, core, count, cores, lb, ub);
  return ub != -1;
}

bool PM2::satisfiable(TernWrapperSort &sat) {
  sat.init();
  if (sat.run_sat_solver() != 10)
    return false;
  if (ZORConfig::verbosity > 1)
    std::cout << "c Sat instance" << std::endl;
  sat.reset();
  return true;
}

int PM2::pm2_heuristic(const std::set<long long> &core) const {
  int k = 0;
  for (const std::set<long long> &s : core_sets_)
    if (std::includes(core.begin(), core.end(), s.begin(), s.end()))
      ++k;
  return k;
}

void PM2::initialize_pm2_heuristic(std::vector<Core *> &cores) {
  for (Core *c : cores) {
    std::vector<long long> &vars = c->get_rvars();
    std::set<long long> set(vars.begin(), vars.end());
    if (!set.empty()) {
      core_sets_.push_back(set);
      add_atleast_constraint(vars, 1);
    }
    delete c;
  }
  cores.clear();
}

bool PM2::core_relax_vars(std::set<long long> &set,
                          std::vector<long long> &vars) {
  for (BasicClause *c : core) {
    if (c->weight >= clset->top_weight)
      continue;
    long long r = get_unique_relax_var(c);
    if (r == 0)
      continue;
    set.insert(r);
    vars.push_back(r);
  }
  return !set.empty();
}

int PM2::store_core_set(const std::set<long long> &set) {
  core_sets_.push_back(set);
  return pm2_heuristic(set);
}

void PM2::add_atleast_constraint(std::vector<long long> &vars, long long k) {
  atleast_clset_.top_weight = clset->top_weight;
  atleast_clset_.def_cltype = ClauseType::Hard;
  cnf_encode_atleastN(*imgr, atleast_clset_, vars, k, ZORConfig::zorenc);
  attach_clause_set(atleast_clset_, *clset);
}
