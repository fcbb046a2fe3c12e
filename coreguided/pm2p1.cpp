#include "coreguided/pm2p1.hpp"

#include <iostream>

#include "encodings/cardenc.hpp"
#include "framework/core.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

long long PM2p1::solve() {
  bound_clset_.clear_direct();
  accept_only_unweighted(*clset);
  TernWrapperSort sat(*imgr, *clset, *model, core);
  std::vector<Core *> cores;
  long long lb = -1;
  if (!initial_bounds(sat, cores, lb))
    return -1;
  const long long lambda0 = lb >= 0 ? lb : 0;
  long long lambda = lambda0;
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  uncovered_.insert(rvars.begin(), rvars.end());
  initialize_pm2_heuristic(cores);
  for (;;) {
    add_unit_clauses(*imgr, bound_clset_, *clset, uncovered_);
    attach_clause_set(bound_clset_, *clset);
    if (satisfiable(sat)) {
      ZORToolObjects::keep_model(*model);
      return lambda;
    }
    if (ZORConfig::verbosity > 1)
      std::cout << "c Unsat instance" << std::endl;
    ++lambda;
    std::cout << "c lambda: " << lambda << std::endl;
    std::set<long long> set;
    std::vector<long long> vars;
    // Without soft clauses in the core the covers' bounds would not move
    // and the same core would come back for ever.
    if (!core_relax_vars(set, vars))
      Abort("Internal error: a core without soft clauses");
    if (ZORConfig::verbosity > 3) {
      std::cout << "c core:";
      for (long long r : vars)
        std::cout << " " << r;
      std::cout << std::endl;
    }
    // The core may hold bound clauses: it is dropped before they are.
    core.clear();
    sat.reset();
    detach_clause_set(bound_clset_, *clset);
    int k = store_core_set(set);
    if (ZORConfig::optional_constraints) {
      clset->def_cltype = ClauseType::Hard;
      cnf_encode_atleastN(*imgr, *clset, vars, k, ZORConfig::zorenc);
    }
    if (ZORConfig::verbosity > 2)
      std::cout << "c AL(" << lambda - lambda0 << ") vars size:" << vars.size()
                << " k:" << k << std::endl;
    cover_core_set(set);
    update_atmost_constraints();
  }
}

void PM2p1::initialize_pm2_heuristic(std::vector<Core *> &cores) {
  for (Core *c : cores) {
    std::vector<long long> &vars = c->get_rvars();
    std::set<long long> set(vars.begin(), vars.end());
    if (!set.empty()) {
      core_sets_.push_back(set);
      if (ZORConfig::optional_constraints) {
        clset->def_cltype = ClauseType::Hard;
        cnf_encode_atleastN(*imgr, *clset, vars, 1, Card_CNF_Encodings::BDD);
      }
      cover_core_set(set);
    }
    delete c;
  }
  cores.clear();
  update_atmost_constraints();
}

void PM2p1::update_atmost_constraints() {
  bound_clset_.clear_direct();
  int i = 0;
  for (const std::set<long long> &cover : covers_) {
    ++i;
    int k = pm2_heuristic(cover);
    std::vector<long long> lits(cover.begin(), cover.end());
    bound_clset_.top_weight = clset->top_weight;
    bound_clset_.def_cltype = ClauseType::Hard;
    cnf_encode_atmostN(*imgr, bound_clset_, lits, k, ZORConfig::zorenc);
    if (ZORConfig::verbosity > 2)
      std::cout << "c AM(" << i << ") vars size:" << lits.size() << " k:" << k
                << std::endl;
  }
}

void PM2p1::add_unit_clauses(IDManager &, BasicClauseSet &target,
                             BasicClauseSet &source,
                             std::set<long long> &vars) {
  target.top_weight = source.top_weight;
  target.def_cltype = ClauseType::Hard;
  for (long long r : vars) {
    LitVector lits{-r};
    target.create_clause(lits);
  }
}

void PM2p1::merge_covers(const std::set<long long> &set) {
  std::set<long long> merged = set;
  for (auto it = covers_.begin(); it != covers_.end();) {
    bool shared = false;
    for (long long r : *it)
      if (set.count(r)) {
        shared = true;
        break;
      }
    if (shared) {
      merged.insert(it->begin(), it->end());
      it = covers_.erase(it);
    } else {
      ++it;
    }
  }
  covers_.push_back(merged);
}

void PM2p1::cover_core_set(const std::set<long long> &set) {
  merge_covers(set);
  for (long long r : set)
    uncovered_.erase(r);
}
