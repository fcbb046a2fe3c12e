#include "search/binary_search_core_disjoint2_strat.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/progress_lines.hpp"
#include "framework/sat_arith.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
// The same thresholds as the second disjoint-core search, except for the
// cores (from 5), the formula and the core's clauses (above 14); a core's
// relaxation variables come with its clauses.
BinarySearchCoreDisjoint2::Trace strat_trace() {
  BinarySearchCoreDisjoint2::Trace t;
  t.cores = 4;
  t.formula = 14;
  t.core = 14;
  t.rvar_line = true;
  return t;
}
const BinarySearchCoreDisjoint2::Trace kStratTrace = strat_trace();

} // namespace

long long BinarySearchCoreDisjoint2Strat::solve() {
  std::cout << "c bcd2strat" << std::endl;
  out_order_.clear();
  counts_.clear();
  levels_.clear();
  long long count = 0, lb = 0, ub = -1;
  sat_count_ = unsat_count_ = 1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!start_search(sat, count, lb, ub))
    return -1;
  print_best_cost_line("o ", ub);
  hardening(cores_, *imgr, *clset, lb, ub);
  set_unrelaxed_aside();
  long long inSoftUB = 0, iteration = 1;
  // With nothing outside the core loop still runs to its stop condition:
  // the initial upper bound is not known to be optimal.
  do {
    if (!levels_.empty()) {
      bring_back_group(inSoftUB);
      lower_bounding_pass(sat, count, lb, inSoftUB);
      if (cores_.empty() && !levels_.empty())
        continue;
    }
    core_loop(sat, count, lb, ub, inSoftUB, iteration);
  } while (!levels_.empty());
  for (BasicClause *c : out_order_)
    clset->insert_member(c);
  out_order_.clear();
  return best_result(ub);
}

void BinarySearchCoreDisjoint2Strat::set_unrelaxed_aside() {
  for (BasicClause *c : clset->clauses()) {
    if (c->weight >= clset->top_weight || get_unique_relax_var(c) != 0)
      continue;
    out_order_.push_back(c);
    clset->remove_member(c);
    ++counts_[c->weight];
  }
  for (const auto &entry : counts_)
    levels_.push_back(entry.first);
  print_levels("c sorted vector of ints:");
}

void BinarySearchCoreDisjoint2Strat::print_levels(const char *head) {
  if (ZORConfig::verbosity <= 1)
    return;
  std::cout << head;
  for (long long w : levels_)
    std::cout << " " << w << "(" << counts_[w] << ")";
  std::cout << std::endl;
}

std::size_t BinarySearchCoreDisjoint2Strat::group_start(
    const std::vector<long long> &levels,
    const std::map<long long, unsigned> &counts, double &alpha) {
  alpha = 0;
  if (levels.empty())
    return 0;
  auto count_of = [&](long long w) {
    auto it = counts.find(w);
    return it == counts.end() ? 0.0 : static_cast<double>(it->second);
  };
  std::size_t i = levels.size() - 1;
  double clauses = count_of(levels[i]);
  alpha = clauses;
  while (alpha <= 1.25 && i > 0) {
    --i;
    clauses += count_of(levels[i]);
    alpha = clauses / static_cast<double>(levels.size() - i);
  }
  return i;
}

void BinarySearchCoreDisjoint2Strat::bring_back_group(long long &inSoftUB) {
  if (ZORConfig::verbosity > 1)
    std::cout << "c change of weight level "
                 "==========================================\n";
  double alpha;
  std::size_t i = group_start(levels_, counts_, alpha);
  if (ZORConfig::verbosity > 1) {
    unsigned ncls = 0;
    for (std::size_t j = i; j < levels_.size(); ++j)
      ncls += counts_[levels_[j]];
    std::cout << "c alpha:" << alpha << " ncls:" << ncls
              << " nws:" << levels_.size() - i << " wmaxIndex:" << i
              << " wSize:" << levels_.size() << std::endl;
  }
  long long threshold = levels_[i];
  std::vector<BasicClause *> still_out;
  for (BasicClause *c : out_order_) {
    // A clause hardened while outside (weight raised to the top) comes
    // back with the first group.
    if (c->weight < threshold) {
      still_out.push_back(c);
      continue;
    }
    clset->insert_member(c);
    bool sat = std::any_of(c->lits.begin(), c->lits.end(), [&](long long l) {
      return isSatLit(kept_model_, l);
    });
    if (!sat && c->weight < clset->top_weight)
      inSoftUB = sat_add(inSoftUB, c->weight);
  }
  out_order_.swap(still_out);
  levels_.resize(i);
  if (ZORConfig::verbosity > 1) {
    std::cout << "c alpha" << alpha;
    print_levels(" sorted vector of ints:");
    std::cout << "c starting zor3-lbh on the clsIn (inSoftUB: " << inSoftUB
              << ")" << std::endl;
  }
}

void BinarySearchCoreDisjoint2Strat::lower_bounding_pass(TernWrapperSort &sat,
                                                         long long &count,
                                                         long long &lb,
                                                         long long inSoftUB) {
  // The per-core bounds of the last iteration leave too: their clauses
  // constrain only the relaxation variables of the clauses taken out.
  detach_clause_set(core_bound_, *clset);
  std::vector<BasicClause *> taken;
  for (Core *k : cores_)
    for (long long r : k->get_rvars()) {
      auto it = rvar_cl_map.find(r);
      if (it != rvar_cl_map.end() && it->second &&
          clset->remove_member(it->second))
        taken.push_back(it->second);
    }
  const long long top = clset->top_weight;
  for (;;) {
    sat.init();
    if (sat.run_sat_solver() == 10) {
      finish_sat_call(sat, false);
      break;
    }
    ++count;
    std::vector<BasicClause *> soft;
    long long m = top;
    for (BasicClause *c : core)
      if (c->weight < top) {
        soft.push_back(c);
        m = std::min(m, c->weight);
      }
    if (soft.empty())
      Abort("Unsatisfiable core without soft clauses");
    std::vector<long long> rvars, weights;
    relax_core_clauses(soft, *clset, rvars, weights);
    Core *k = new Core(rvars, weights, m);
    k->set_lambda(m);
    if (k->get_mu() > inSoftUB)
      k->set_mu(inSoftUB);
    update_core_epsilon(*k, kept_model_);
    cores_.push_back(k);
    lb = cost_add(lb, m);
    if (ZORConfig::verbosity > 1)
      std::cout << "c ncores:" << count << " lb:" << lb << std::endl;
    for (BasicClause *c : soft) {
      auto h = hardening_map.find(c);
      if (h != hardening_map.end())
        h->second -= m;
      if (clset->remove_member(c))
        taken.push_back(c);
    }
    finish_sat_call(sat, false);
  }
  for (BasicClause *c : taken)
    clset->insert_member(c);
  if (ZORConfig::verbosity > 1)
    std::cout << "c ended zor3-lbh on the clsIn" << std::endl;
}

void BinarySearchCoreDisjoint2Strat::core_loop(TernWrapperSort &sat,
                                               long long &count, long long &lb,
                                               long long &ub,
                                               long long &inSoftUB,
                                               long long &iteration) {
  for (;;) {
    std::cout << "c niter:" << iteration << " #outSCls:" << out_order_.size()
              << std::endl;
    double start = RUSAGE::read_cpu_time();
    long long cost = 0;
    int res = bounded_iteration(sat, count, ub, cost, kStratTrace);
    ++iteration;
    if (res == 20) {
      long long delta = take_core2(kept_model_, kStratTrace);
      if (ZORConfig::hardening_rule && delta > 0) {
        lb = cost_add(lb, delta);
        harden_now(lb, ub);
      }
    } else if (cost > ub) {
      long long assig, global;
      if (ZORConfig::verbosity > 1 && shown_model_cost(*model, cost, assig) &&
          shown_best_cost(ub, global))
        std::cout << "c Costs - Assig: " << assig << " - Global UB: " << global
                  << " - weights.size():" << levels_.size() << std::endl;
      if (!levels_.empty()) {
        finish_sat_call(sat, false);
        end_iteration(start, kStratTrace);
        return;
      }
      std::cout << "c Something is wrong?" << std::endl;
      // The cores' upper bounds still follow this model, so that the next
      // test values differ from the ones just answered.
      kept_model_ = *model;
      refresh_epsilons(kept_model_);
    } else {
      inSoftUB = cores_cost(*model);
      ub = cost;
      print_best_cost_line("o ", cost);
      kept_model_ = *model;
      refresh_epsilons(kept_model_);
      harden_now(lb, ub);
    }
    finish_sat_call(sat, false);
    end_iteration(start, kStratTrace);
    unsigned outside = static_cast<unsigned>(out_order_.size());
    if (stop_condition(outside, cores_, ub, inSoftUB))
      return;
  }
}

void BinarySearchCoreDisjoint2Strat::show_hardening_start(long long lb,
                                                          long long ub) {
  std::cout << "c Soft to harden:" << hardening_map.size() << " (lb:" << lb
            << " ub:" << ub << ")" << std::endl;
}

void BinarySearchCoreDisjoint2Strat::show_hardening_entry(BasicClause *c,
                                                          long long e,
                                                          HardenStep step,
                                                          long long r) {
  std::cout << "c " << c->weight << " " << *c << " (act.w.:" << e << ")";
  if (step == HardenStep::Harden)
    std::cout << " hardening cls with a rvar:" << r
              << " and discarding activity";
  else if (step == HardenStep::Discard)
    std::cout << " discarding activity";
  std::cout << std::endl;
}

void BinarySearchCoreDisjoint2Strat::show_hardening_end(const HardenCounts &n) {
  std::cout << "c Hardening: " << n.left << " " << n.unrelaxed << " "
            << n.relaxed << " " << n.discarded << std::endl;
}

long long BinarySearchCoreDisjoint2Strat::model_cost() {
  return sat_add(cores_cost(*model), falsified_outside(out_order_));
}

bool BinarySearchCoreDisjoint2Strat::stop_condition(unsigned int outside,
                                                    std::vector<Core *> &cores,
                                                    long long &ub,
                                                    long long &inSoftUB) {
  long long l, e;
  sum_bounds(cores, l, e);
  std::cout << "c sums l:" << l << " e:" << e << " u:" << ub
            << " (inSoftUB:" << inSoftUB << ")" << std::endl;
  if (e < l || ub < e)
    std::cout << "c ERROR:: Global Invariant broken !" << std::endl;
  if (outside == 0)
    return l == e && ub == l;
  return e <= l && inSoftUB == e;
}
