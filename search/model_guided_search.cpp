#include "search/model_guided_search.hpp"

#include <algorithm>
#include <climits>
#include <iostream>

#include "framework/core.hpp"
#include "framework/sat_arith.hpp"
#include "model/clause_snapshot.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

bool ModelGuidedSearch::is_clause_sat(std::vector<long long> &m, BasicClause *c,
                                      long long skip) {
  for (long long l : c->lits) {
    std::size_t v = static_cast<std::size_t>(std::llabs(l));
    if (static_cast<long long>(v) == skip || v >= m.size())
      continue;
    if ((l > 0 && m[v] == 1) || (l < 0 && m[v] == -1))
      return true;
  }
  return false;
}

long long ModelGuidedSearch::model_cost() {
  long long cost = 0;
  for (BasicClause *c : soft_cls_)
    if (!is_clause_sat(*model, c, get_unique_relax_var(c)))
      cost = sat_add(cost, c->weight);
  return cost;
}

void ModelGuidedSearch::relax_clause(BasicClauseSet &set, BasicClause *c) {
  if (c->weight >= set.top_weight)
    return;
  if (ZORConfig::verbosity > 1)
    std::cout << "c Adding relax var to clause " << *c << " w: " << c->weight
              << std::endl;
  if (get_unique_relax_var(c) == 0)
    add_relaxation_var(c);
}

void ModelGuidedSearch::relax_model_clauses(BasicClauseSet &set,
                                            std::vector<long long> &m,
                                            long long &mu) {
  const long long old = mu;
  long long cost = 0;
  std::vector<BasicClause *> admitted;
  for (BasicClause *c : soft_cls_) {
    long long r = get_unique_relax_var(c);
    if (is_clause_sat(m, c, r))
      continue;
    cost = sat_add(cost, c->weight);
    if (r == 0) {
      relax_clause(set, c);
      admitted.push_back(c);
    }
  }
  for (BasicClause *c : admitted) {
    set.insert_member(c);
    waiting_set_.remove_member(c);
  }
  mu = std::min(cost, old);
  if (ZORConfig::verbosity > 1)
    std::cout << "c New mu: " << mu << " old: " << old << std::endl;
}

void ModelGuidedSearch::compute_initial_bounds(IDManager &im,
                                               BasicClauseSet &set,
                                               TernWrapperSort &solver,
                                               std::vector<long long> &m,
                                               std::vector<BasicClause *> &cr,
                                               long long &lb, long long &ub) {
  std::vector<bool> bmodel;
  std::vector<Core *> cores;
  long long count = 0;
  set_initial_bounds(im, set, solver, m, bmodel, cr, count, cores, lb, ub);
  for (Core *k : cores)
    delete k;
  if (ub == -1)
    return;
  m = signed_model(bmodel);
  for (BasicClause *c : set)
    if (c->weight < set.top_weight) {
      soft_cls_.push_back(c);
      if (get_unique_relax_var(c) == 0)
        waiting_set_.insert_member(c);
    }
  for (BasicClause *c : waiting_set_)
    set.remove_member(c);
  if (ZORConfig::upper_bound != BoundMode::Mode0) {
    keep_model_if_better(model_cost());
    relax_model_clauses(set, m, ub);
  }
  m.clear();
}

void ModelGuidedSearch::readmit_waiting() {
  for (BasicClause *c : waiting_set_.clauses()) {
    clset->insert_member(c);
    waiting_set_.remove_member(c);
  }
}

long long ModelGuidedSearch::next_tau(long long, long long mu) {
  return mu - 1;
}

void ModelGuidedSearch::print_status(long long calls, long long mu, long long,
                                     long long, std::size_t nrvars) {
  std::cout << "c Num. SAT calls:" << calls << ", mu:" << mu
            << ", Relax. vars: " << nrvars << std::endl;
}

long long ModelGuidedSearch::search(TernWrapperSort &sat, long long lambda,
                                    long long mu) {
  for (long long calls = 0; mu > lambda;) {
    long long tau = next_tau(lambda, mu);
    std::vector<long long> rvars, weights;
    get_relax_vars_and_weights(rvars, weights);
    print_status(calls, mu, lambda, tau, rvars.size());
    long long cost = 0;
    if (bounded_sat_call(sat, atmost_set_, rvars, weights, tau, cost) == 10) {
      print_iteration_outcome(10, mu);
      relax_model_clauses(*clset, *model, mu);
      ++calls;
    } else {
      print_iteration_outcome(20, mu);
      lambda = tau + 1;
    }
    finish_sat_call(sat);
  }
  readmit_waiting();
  restore_best_model();
  return mu;
}

long long ModelGuidedSearch::solve() {
  std::cout << "c Model Guided Search " << std::endl;
  atmost_set_.clear_direct();
  long long mu = sat_add(sum_weights(*clset), 1), lb = -1, ub = -1;
  // This search runs without a lower-bound pass, for the rest of the run.
  ZORConfig::lower_bound = BoundMode::Mode0;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  compute_initial_bounds(*imgr, *clset, sat, *model, core, lb, ub);
  if (ub == -1)
    return -1;
  return search(sat, -1, std::min(mu, ub));
}

long long BinaryModelGuided::compute_nu(long long lambda, long long mu) {
  if (mu == lambda + 1)
    return lambda + 1;
  long long sum;
  if (!__builtin_add_overflow(lambda, mu, &sum))
    return sum / 2;
  return lambda / 2 + mu / 2 + ((lambda % 2 + mu % 2) / 2);
}

long long BinaryModelGuided::next_tau(long long lambda, long long mu) {
  return compute_nu(lambda, mu) - 1;
}

void BinaryModelGuided::print_status(long long calls, long long mu,
                                     long long lambda, long long tau,
                                     std::size_t nrvars) {
  std::cout << "c Num. SAT calls:" << calls << ", mu:" << mu
            << ", lambda:" << lambda << ", tau:" << tau
            << ", Relax. vars: " << nrvars << std::endl;
}

long long BinaryModelGuided::solve() {
  std::cout << "c Model Guided Search " << std::endl;
  atmost_set_.clear_direct();
  long long mu = sat_add(sum_weights(*clset), 1), lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  compute_initial_bounds(*imgr, *clset, sat, *model, core, lb, ub);
  if (ub == -1)
    return -1;
  mu = std::min(mu, ub);
  long long lambda = lb < 0 ? 0 : lb;
  std::cout << "c lambda " << lambda << " mu " << mu << std::endl;
  return search(sat, lambda, mu);
}
