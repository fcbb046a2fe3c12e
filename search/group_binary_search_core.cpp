#include "search/group_binary_search_core.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/sat_arith.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
constexpr long long kNoGroup = -1;
} // namespace

long long &GroupBinarySearchCore::pair_var(BasicClause *cl) {
  if (cl->group == kNoGroup)
    return own_vars_[cl];
  return groups_[cl->group][cl->weight];
}

long long GroupBinarySearchCore::initialize_groups() {
  long long sum = 0;
  for (BasicClause *c : *clset) {
    if (c->weight >= clset->top_weight)
      continue;
    if (ZORConfig::verbosity > 1) {
      for (long long l : c->lits)
        std::cout << l << " ";
      std::cout << "0 " << c->weight << " "
                << static_cast<unsigned long long>(c->group) << std::endl;
    }
    long long &r = pair_var(c);
    if (r == 0) {
      r = imgr->new_id();
      sum = sat_add(sum, c->weight);
    }
    soft_cls_.push_back(c);
  }
  return sum;
}

void GroupBinarySearchCore::relax_clause(BasicClauseSet &set, BasicClause *cl) {
  long long r = pair_var(cl);
  used_rvars_.insert(r);
  set.registry->add_literal(cl, r);
  register_relaxation_var(cl, r);
}

void GroupBinarySearchCore::relax_core_clauses2(std::vector<BasicClause *> &cls,
                                                BasicClauseSet &set) {
  for (BasicClause *c : cls) {
    if (c->weight >= set.top_weight || get_unique_relax_var(c) != 0)
      continue;
    relax_clause(set, c);
    if (ZORConfig::relax_groups != RelaxGroups::All || c->group == kNoGroup)
      continue;
    for (BasicClause *s : soft_cls_)
      if (s != c && s->weight == c->weight && s->group == c->group &&
          get_unique_relax_var(s) == 0)
        relax_clause(set, s);
  }
}

long long GroupBinarySearchCore::solve() {
  std::cout << "c Group Bin-core "
            << (ZORConfig::relax_groups == RelaxGroups::All
                    ? "Relax all clauses in Group"
                    : "Relax soft clauses in core")
            << std::endl;
  BasicClauseSet &bound = second_clset_;
  bound.clear_direct();
  long long count = 0, lambda = -1, mu = 0;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (ZORConfig::upper_bound == BoundMode::Other)
    ZORConfig::upper_bound = BoundMode::Mode1;
  ZORConfig::lower_bound = BoundMode::Mode0;
  if (!initial_search_bounds(sat, count, lambda, mu))
    return -1;
  mu = std::min(mu, sat_add(initialize_groups(), 1));
  while (lambda + 1 < mu) {
    long long nu = compute_nu(lambda, mu);
    std::vector<long long> rvars, weights;
    get_relax_vars_and_weights(rvars, weights);
    std::cout << "c Num. cores:" << count << ", mu:" << mu
              << ", lambda:" << lambda << ", v:" << nu
              << ", Relax. vars: " << used_rvars_.size() << " " << rvars.size()
              << std::endl;
    long long cost = 0;
    if (bounded_sat_call(sat, bound, rvars, weights, nu, cost) == 10) {
      mu = cost;
      print_iteration_outcome(10, mu);
    } else {
      print_iteration_outcome(20, mu);
      ++count;
      if (core_has_new_soft_clauses())
        relax_core_clauses2(core, *clset);
      else
        lambda = nu;
    }
    finish_sat_call(sat);
  }
  std::cout << "c Soft relaxed: " << used_rvars_.size() << std::endl;
  restore_best_model();
  return mu;
}
