#include "search/mg_bcd2.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/progress_lines.hpp"
#include "framework/sat_arith.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
// The thresholds of the second disjoint-core search, except for the cores
// (from 5); a core's relaxation variables come with its clauses.
BinarySearchCoreDisjoint2::Trace guided_trace() {
  BinarySearchCoreDisjoint2::Trace t;
  t.cores = 4;
  t.rvar_line = true;
  return t;
}
const BinarySearchCoreDisjoint2::Trace kGuidedTrace = guided_trace();

} // namespace

long long ModelGuidedBCD2::solve() {
  std::cout << "c mg-bcd2" << std::endl;
  aside_.clear();
  long long count = 0, lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!start_search(sat, count, lb, ub))
    return -1;
  print_best_cost_line("c o ", ub);
  mg_model_ = *model;
  hardening(cores_, *imgr, *clset, lb, ub);
  sat_count_ = unsat_count_ = 1;
  model_accepted_ = true;
  for (BasicClause *c : clset->clauses()) {
    if (c->weight >= clset->top_weight || get_unique_relax_var(c) != 0)
      continue;
    if (std::none_of(c->lits.begin(), c->lits.end(),
                     [&](long long l) { return isSatLit(mg_model_, l); }))
      continue;
    aside_.push_back(c);
    clset->remove_member(c);
  }
  for (long long iteration = 1;; ++iteration) {
    std::cout << "c niter:" << iteration << " #outSCls:" << aside_.size()
              << std::endl;
    double start = RUSAGE::read_cpu_time();
    long long cost = 0;
    if (bounded_iteration(sat, count, ub, cost, kGuidedTrace) == 20) {
      long long delta = take_core2(mg_model_, kGuidedTrace);
      if (ZORConfig::hardening_rule && delta > 0) {
        lb = cost_add(lb, delta);
        harden_now(lb, ub);
      }
    } else {
      std::size_t before = aside_.size();
      cost = sat_add(cores_cost(*model), attach_back_falsified());
      model_accepted_ = aside_.size() == before;
      if (model_accepted_) {
        mg_model_ = *model;
        report_model_cost(cost, ub);
      }
      refresh_epsilons(mg_model_);
      harden_now(lb, ub);
    }
    finish_sat_call(sat, false);
    end_iteration(start, kGuidedTrace);
    if (stop_condition(cores_, ub))
      return best_result(ub);
  }
}

long long ModelGuidedBCD2::attach_back_falsified() {
  long long weight = 0;
  std::vector<BasicClause *> kept;
  for (BasicClause *c : aside_) {
    if (std::any_of(c->lits.begin(), c->lits.end(),
                    [&](long long l) { return isSatLit(*model, l); })) {
      kept.push_back(c);
      continue;
    }
    if (ZORConfig::verbosity > 1) {
      std::cout << "c attaching back unsat soft clause: " << c->weight;
      for (long long l : c->lits)
        std::cout << " " << l;
      std::cout << " 0" << std::endl;
    }
    clset->insert_member(c);
    weight = sat_add(weight, c->weight);
  }
  aside_.swap(kept);
  return weight;
}

long long ModelGuidedBCD2::model_cost() {
  return sat_add(cores_cost(*model), falsified_outside(aside_));
}

bool ModelGuidedBCD2::stop_condition(std::vector<Core *> &cores,
                                     long long &ub) {
  if (!model_accepted_)
    return false;
  return BinarySearchCoreDisjoint2::stop_condition(cores, ub);
}
