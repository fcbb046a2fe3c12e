#include "search/binary_search_core_disjoint2.hpp"

#include <algorithm>
#include <climits>
#include <iostream>
#include <set>

#include "framework/progress_lines.hpp"
#include "framework/sat_arith.hpp"
#include "framework/subsetsum_dp.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
// floor((a + b) / 2) without overflow.
long long floor_mid(long long a, long long b) {
  return (a >> 1) + (b >> 1) + (a & b & 1);
}
} // namespace

const BinarySearchCoreDisjoint2::Trace BinarySearchCoreDisjoint2::kTrace;

long long BinarySearchCoreDisjoint2::solve() {
  std::cout << "c bcd2" << std::endl;
  long long count = 0, lb = -1, ub = -1;
  TernWrapperSort sat(*imgr, *clset, *model, core);
  if (!start_search(sat, count, lb, ub))
    return -1;
  print_best_cost_line("c o ", ub);
  hardening(cores_, *imgr, *clset, lb, ub);
  sat_count_ = unsat_count_ = 1;
  for (long long iteration = 1;; ++iteration) {
    std::cout << "c niter:" << iteration << " nsatiter:" << sat_count_
              << " nunsatiter:" << unsat_count_ << std::endl;
    double start = RUSAGE::read_cpu_time();
    long long cost = 0;
    if (bounded_iteration(sat, count, ub, cost, kTrace) == 10) {
      kept_model_ = *model;
      report_model_cost(cost, ub);
      refresh_epsilons(kept_model_);
      bounds_changed_ = true;
    } else {
      take_core2(kept_model_, kTrace);
    }
    finish_sat_call(sat, false);
    end_iteration(start, kTrace);
    if (bounds_changed_ && ZORConfig::hardening_rule) {
      long long sum = 0;
      for (Core *k : cores_)
        sum = cost_add(sum, k->get_lambda());
      harden_now(sum, ub);
    }
    if (stop_condition(cores_, ub))
      return best_result(ub);
  }
}

void BinarySearchCoreDisjoint2::compute_initial_bounds(
    IDManager &imgr, BasicClauseSet &set, TernWrapperSort &sat,
    std::vector<long long> &model, std::vector<BasicClause *> &core,
    long long &count, long long &lb, long long &ub) {
  if (!take_initial_bounds(imgr, set, sat, model, core, count, lb, ub)) {
    if (ub == -1)
      return;
    model.clear(); // no model: every epsilon is its weight + 1
  }
  for (Core *k : cores_)
    update_core_epsilon(*k, model);
  kept_model_ = model;
}

int BinarySearchCoreDisjoint2::bounded_iteration(TernWrapperSort &sat,
                                                 long long &count,
                                                 long long &ub,
                                                 long long &cost,
                                                 const Trace &t) {
  add_atmost_constraint(count, ub);
  int v = ZORConfig::verbosity;
  if (v > t.counters)
    std::cout << "c  n sat iter   " << sat_count_ << std::endl
              << "c  n unsat iter " << unsat_count_ << std::endl;
  auto print_rvars = [](Core *k) {
    const char *sep = "";
    for (long long r : k->get_rvars()) {
      std::cout << sep << r;
      sep = ",";
    }
    std::cout << std::endl;
  };
  if (v > t.cores)
    for (Core *k : cores_) {
      std::cout << "c DC[" << k->get_id() << "]: "
                << " l:" << k->get_lambda() << " nu:" << k->get_nu()
                << " e:" << k->get_epsilon();
      bool clauses = v > t.clauses;
      if (!t.rvar_line) {
        std::cout << " R:";
        print_rvars(k);
      } else {
        std::cout << std::endl;
        if (clauses) {
          std::cout << "c R:";
          print_rvars(k);
        }
      }
      if (clauses)
        for (long long r : k->get_rvars()) {
          auto it = rvar_cl_map.find(r);
          if (it != rvar_cl_map.end() && it->second)
            print_clause(it->second);
        }
    }
  if (v > t.formula) {
    std::cout << "c Formula to send:" << std::endl;
    for (BasicClause *c : *clset)
      print_clause(c);
  }
  if (v > t.counters)
    std::cout << "c call to sat solver..." << std::endl;
  double start = RUSAGE::read_cpu_time();
  int res = sat_call_under_bound(sat, core_bound_, cost);
  bounds_changed_ = false;
  if (v > t.counters)
    std::cout << "c sat solver time:" << RUSAGE::read_cpu_time() - start << std::endl
              << (res == 10 ? "c Sat iteration" : "c Unsat iteration")
              << std::endl;
  if (res == 10) {
    ++sat_count_;
  } else {
    ++unsat_count_;
    ++count;
    if (v > t.core) {
      std::cout << "c Core Found:" << std::endl;
      for (BasicClause *c : core)
        print_clause(c);
    }
  }
  return res;
}

void BinarySearchCoreDisjoint2::print_clause(BasicClause *c) {
  std::cout << "c " << c->weight;
  for (long long l : c->lits)
    std::cout << " " << l;
  std::cout << " 0" << std::endl;
}

void BinarySearchCoreDisjoint2::end_iteration(double start, const Trace &t) {
  if (ZORConfig::verbosity > t.counters)
    std::cout << "c iteration time:" << RUSAGE::read_cpu_time() - start << std::endl;
}

long long BinarySearchCoreDisjoint2::take_core2(std::vector<long long> &eps,
                                                const Trace &t) {
  std::vector<BasicClause *> unrelaxed;
  std::vector<Core *> joint;
  sort_core(unrelaxed, joint);
  if (ZORConfig::verbosity > t.counters)
    std::cout << "c #unrelaxed:" << unrelaxed.size()
              << " #subC:" << joint.size() << std::endl;
  Core *updated;
  long long delta;
  if (unrelaxed.empty() && joint.size() == 1) {
    updated = joint.front();
    long long old = updated->get_lambda();
    long long nu = updated->get_nu(), e = updated->get_epsilon();
    updated->set_lambda(refine_bound(updated->get_weights(), nu, e));
    delta = sat_sub(updated->get_lambda(), old);
  } else {
    std::vector<long long> rvars, weights;
    relax_new_clauses(unrelaxed, rvars, weights);
    long long gap = -1, lsum = 0;
    for (Core *j : joint) {
      long long g = sat_sub(j->get_nu(), j->get_lambda());
      if (gap == -1 || g < gap)
        gap = g;
      lsum = cost_add(lsum, j->get_lambda());
    }
    long long step;
    if (!weights.empty()) {
      step = *std::min_element(weights.begin(), weights.end());
      if (gap >= 0 && gap < step)
        step = gap;
    } else {
      step = gap >= 0 ? gap : -1;
    }
    merge_cores(cores_, joint, rvars, weights, 1);
    for (Core *j : joint)
      delete j;
    updated = cores_.back();
    update_core_epsilon(*updated, eps);
    // The merged core costs more than from: at the ceiling that is out of
    // range (and the next reachable cost above it would not fit).
    long long from = exact_cost(cost_add(step - 1, lsum));
    long long e = updated->get_epsilon();
    updated->set_lambda(refine_bound(updated->get_weights(), from, e));
    delta = sat_sub(updated->get_lambda(), lsum);
  }
  updated->set_nu(-1);
  if (ZORConfig::hardening_rule && delta > 0) {
    lower_hardening_entries(updated->get_rvars(), delta);
    bounds_changed_ = true;
  }
  return delta;
}

void BinarySearchCoreDisjoint2::refresh_epsilons(std::vector<long long> &m) {
  for (Core *k : cores_) {
    update_core_epsilon(*k, m);
    k->set_nu(-1);
  }
}

void BinarySearchCoreDisjoint2::harden_now(long long lb, long long ub) {
  detach_clause_set(core_bound_, *clset);
  hardening(cores_, *imgr, *clset, lb, ub);
}

long long BinarySearchCoreDisjoint2::cores_cost(std::vector<long long> &m) {
  long long cost = 0;
  for (Core *k : cores_) {
    std::vector<long long> &rv = k->get_rvars();
    std::vector<long long> &ws = k->get_weights();
    for (std::size_t i = 0; i < rv.size(); ++i) {
      auto it = rvar_cl_map.find(rv[i]);
      if (it != rvar_cl_map.end() && it->second &&
          !is_clause_sat(m, it->second, rv[i]))
        cost = sat_add(cost, ws[i]);
    }
  }
  return cost;
}

long long BinarySearchCoreDisjoint2::model_cost() { return cores_cost(*model); }

long long BinarySearchCoreDisjoint2::falsified_outside(
    const std::vector<BasicClause *> &cls) {
  std::vector<long long> &m = *model;
  long long cost = 0;
  for (BasicClause *c : cls) {
    bool sat = false;
    long long free_lit = 0;
    for (long long l : c->lits) {
      std::size_t v = static_cast<std::size_t>(l < 0 ? -l : l);
      long long val = v < m.size() ? m[v] : 0;
      if (val == 0 && free_lit == 0)
        free_lit = l;
      if ((l > 0 && val > 0) || (l < 0 && val < 0)) {
        sat = true;
        break;
      }
    }
    if (sat)
      continue;
    if (free_lit != 0) {
      std::size_t v = static_cast<std::size_t>(free_lit < 0 ? -free_lit
                                                            : free_lit);
      if (m.size() <= v)
        m.resize(v + 1, 0);
      m[v] = free_lit > 0 ? 1 : -1;
      continue;
    }
    cost = sat_add(cost, c->weight);
  }
  return cost;
}

void BinarySearchCoreDisjoint2::update_core_epsilon(Core &k,
                                                    std::vector<long long> &m) {
  if (m.empty()) {
    k.set_epsilon(sat_add(k.sum_weights(), 1));
    return;
  }
  long long e = 0;
  std::vector<long long> &rv = k.get_rvars();
  std::vector<long long> &ws = k.get_weights();
  for (std::size_t i = 0; i < rv.size(); ++i) {
    auto it = rvar_cl_map.find(rv[i]);
    if (it != rvar_cl_map.end() && it->second &&
        !is_clause_sat(m, it->second, rv[i]))
      e = sat_add(e, ws[i]);
  }
  k.set_epsilon(e);
}

bool BinarySearchCoreDisjoint2::isSatLit(const std::vector<long long> &m,
                                         long long l) {
  if (l == 0 || l == LLONG_MIN)
    return false;
  std::size_t v = static_cast<std::size_t>(l < 0 ? -l : l);
  long long val = v < m.size() ? m[v] : 0;
  return l > 0 ? val == 1 : val != 1;
}

bool BinarySearchCoreDisjoint2::is_clause_sat(std::vector<long long> &m,
                                              BasicClause *c, long long r) {
  for (long long l : c->lits)
    if (l != r && l != -r && isSatLit(m, l))
      return true;
  return false;
}

long long BinarySearchCoreDisjoint2::core_test_value(Core &k) {
  updateMiddleValue(&k);
  return k.get_nu();
}

void BinarySearchCoreDisjoint2::updateMiddleValue(Core *k) {
  if (k->get_nu() < 1 || ZORConfig::middle_type == MiddleType::Biased)
    k->set_nu(computeMiddle(k->get_weights(), k->get_lambda(),
                            k->get_epsilon()));
}

long long BinarySearchCoreDisjoint2::computeMiddle(
    std::vector<long long> &weights, long long lb, long long ub) {
  if (sat_sub(ub, lb) < 2)
    return lb;
  if (ZORConfig::middle_type == MiddleType::Biased) {
    unsigned both = unsat_count_ + sat_count_; // formed in 32 bits
    double q = static_cast<double>(unsat_count_) / static_cast<double>(both);
    double x = static_cast<double>(sat_sub(ub, lb)) * q +
               static_cast<double>(lb);
    long long m = x >= static_cast<double>(ub) ? ub
                  : x <= static_cast<double>(lb)
                      ? lb
                      : static_cast<long long>(x);
    if (m == lb)
      return lb;
    return m == ub ? ub - 1 : m;
  }
  long long value = floor_mid(lb, ub);
  if (ZORConfig::middle_type == MiddleType::Value || weights.size() < 2 ||
      std::all_of(weights.begin(), weights.end(),
                  [&](long long w) { return w == weights.front(); }))
    return value;
  // The lower median of the reachable costs in [lb, ub).
  std::set<long long> sums;
  if (!Subsetsum::sums_below(weights, ub, kMaxSubsetSums, sums))
    return value;
  std::vector<long long> in(sums.lower_bound(lb), sums.end());
  if (in.empty())
    return value;
  return in[(in.size() - 1) / 2];
}

long long BinarySearchCoreDisjoint2::refine_bound(
    std::vector<long long> &weights, long long &lb, long long &ub) {
  if (weights.size() == 1)
    return weights.front();
  if (!weights.empty() &&
      std::all_of(weights.begin(), weights.end(),
                  [&](long long w) { return w == weights.front(); })) {
    long long w = weights.front();
    if (w > 0)
      return cost_add(w, lb - lb % w);
  }
  return sss(weights, lb, ub);
}

long long BinarySearchCoreDisjoint2::sss(std::vector<long long> &weights,
                                         long long lb, long long ub) {
  if (lb < 0)
    return 0; // the empty sum
  long long s = Subsetsum().solve(weights, lb);
  return s < 0 || s > ub ? ub : s;
}

void BinarySearchCoreDisjoint2::sum_bounds(std::vector<Core *> &cores,
                                           long long &l, long long &e) {
  l = e = 0;
  for (Core *k : cores) {
    l = cost_add(l, k->get_lambda());
    e = sat_add(e, k->get_epsilon());
    if (k->get_lambda() > k->get_epsilon())
      std::cout << "c ERROR:: Disjoint Core breaks invariant !" << std::endl;
  }
}

bool BinarySearchCoreDisjoint2::stop_condition(std::vector<Core *> &cores,
                                               long long &ub) {
  long long l, e;
  sum_bounds(cores, l, e);
  std::cout << "c sums l:" << l << " e:" << e << " u:" << ub << std::endl;
  if (e < l || ub < e) {
    std::cout << "c ERROR:: Global Invariant broken !" << std::endl;
    return false;
  }
  return l == e && e == ub;
}
