#include "coreguided/wpm2.hpp"

#include <algorithm>
#include <iostream>

#include "framework/bound_encoding.hpp"
#include "framework/core.hpp"
#include "framework/sat_arith.hpp"
#include "framework/subsetsum_dp.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

namespace {
// A fresh hard clause set with the top weight of the input set.
void prepare_hard_set(BasicClauseSet &set, const BasicClauseSet &input) {
  set.top_weight = input.top_weight;
  set.def_cltype = ClauseType::Hard;
}
} // namespace

long long WPM2::solve() {
  atleast_clset_.clear_direct();
  TernWrapperSort sat(*imgr, *clset, *model, core);
  std::vector<Core *> cores;
  long long lb = -1;
  if (!initial_bounds(sat, cores, lb))
    return -1;
  CoverConstraints constraints;
  initialize_covers(cores, atleast_clset_, bound_clset_, constraints);
  for (;;) {
    prepare_hard_set(bound_clset_, *clset);
    for (auto &entry : constraints)
      for (BasicClause *c : entry.second.clauses)
        bound_clset_.insert_clause(c);
    attach_clause_set(bound_clset_, *clset);
    if (satisfiable(sat)) {
      long long cost = lower_bound(constraints);
      ZORToolObjects::keep_model(*model);
      return cost;
    }
    if (ZORConfig::verbosity > 1)
      std::cout << "c Unsat instance" << std::endl;
    std::set<long long> core_set;
    for (BasicClause *c : core) {
      long long r = c->weight < clset->top_weight ? get_unique_relax_var(c) : 0;
      if (r != 0)
        core_set.insert(r);
    }
    core.clear();
    sat.reset();
    // Each cover's own clause set keeps its hold on the at-most clauses.
    detach_clause_set(bound_clset_, *clset);
    update_covers_and_constraints(core_set, atleast_clset_, bound_clset_,
                                  constraints);
  }
}

void WPM2::initialize_covers(std::vector<Core *> &cores, BasicClauseSet &alset,
                             BasicClauseSet &amset,
                             CoverConstraints &constraints) {
  relax_all_soft_clauses_unrelaxed(*clset);
  std::vector<long long> rvars, weights;
  get_relax_vars_and_weights(rvars, weights);
  for (std::size_t i = 0; i < rvars.size(); ++i) {
    std::set<long long> cover{rvars[i]};
    am_constr &am = constraints[cover];
    prepare_hard_set(am.clauses, *clset);
    am.clauses.create_unit_clause(-rvars[i]);
    am.k = 0;
    am.lits = {rvars[i]};
    am.weights = {weights[i]};
    covers_.push_back(cover);
  }
  for (Core *c : cores) {
    if (ZORConfig::lower_bound != BoundMode::Mode0) {
      std::vector<long long> &vars = c->get_rvars();
      update_covers_and_constraints({vars.begin(), vars.end()}, alset, amset,
                                    constraints);
    }
    delete c;
  }
  cores.clear();
}

void WPM2::update_covers_and_constraints(const std::set<long long> &core,
                                         BasicClauseSet &alset,
                                         BasicClauseSet &amset,
                                         CoverConstraints &constraints) {
  std::list<std::set<long long>> touched;
  for (const std::set<long long> &cover : covers_)
    if (std::any_of(cover.begin(), cover.end(),
                    [&](long long r) { return core.count(r) != 0; }))
      touched.push_back(cover);
  std::set<long long> merged;
  std::vector<long long> lits, weights;
  for (const std::set<long long> &cover : touched) {
    merged.insert(cover.begin(), cover.end());
    const am_constr &am = constraints[cover];
    lits.insert(lits.end(), am.lits.begin(), am.lits.end());
    weights.insert(weights.end(), am.weights.begin(), am.weights.end());
  }
  long long k = newbound(alset, merged, constraints, amset);
  remove_if_exists(covers_, touched);
  covers_.push_back(merged);

  BasicClauseSet atleast;
  prepare_hard_set(atleast, *clset);
  encode_cost_constraint(*imgr, atleast, lits, weights, k,
                         CostRelation::AtLeast);
  for (BasicClause *c : atleast) {
    alset.insert_clause(c);
    clset->insert_member(c);
  }
  atleast.clear_direct();

  for (const std::set<long long> &cover : touched) {
    auto it = constraints.find(cover);
    for (BasicClause *c : it->second.clauses)
      amset.remove_member(c);
    it->second.clauses.clear_direct();
    constraints.erase(it);
  }
  am_constr &am = constraints[merged];
  prepare_hard_set(am.clauses, *clset);
  encode_cost_constraint(*imgr, am.clauses, lits, weights, k,
                         CostRelation::AtMost);
  am.k = k;
  am.lits = lits;
  am.weights = weights;
  // Summed before the line starts: a sum past the range ends the run with
  // a line of its own.
  long long lb = lower_bound(constraints);
  std::cout << "c LB: " << lb << std::endl;
}

long long WPM2::newbound(BasicClauseSet &alset,
                         const std::set<long long> &cover,
                         CoverConstraints &constraints, BasicClauseSet &) {
  long long k = 0;
  std::vector<long long> lits, weights;
  for (const auto &entry : constraints)
    if (std::includes(cover.begin(), cover.end(), entry.first.begin(),
                      entry.first.end())) {
      k = cost_add(k, entry.second.k);
      lits.insert(lits.end(), entry.second.lits.begin(),
                  entry.second.lits.end());
      weights.insert(weights.end(), entry.second.weights.begin(),
                     entry.second.weights.end());
    }
  for (;;) {
    // The next reachable cost lies above k: at the ceiling it is out of
    // range, and one found there may be a saturated sum.
    k = exact_cost(Subsetsum().solve(weights, exact_cost(k)));
    // The optimum lies above the covers' bounds, and every cost is a sum of
    // soft weights: no such sum above them means the bounds are wrong.
    if (k < 0)
      Abort("Internal error: no reachable cost above the lower bound");
    BasicClauseSet exact;
    prepare_hard_set(exact, *clset);
    encode_cost_constraint(*imgr, exact, lits, weights, k,
                           CostRelation::Equals);
    // The test clauses join alset for this call only; clauses alset held
    // already stay.
    std::vector<BasicClause *> added;
    for (BasicClause *c : exact)
      if (alset.insert_member(c))
        added.push_back(c);
    TernWrapperSort sat(*imgr, alset, *model, core);
    sat.init();
    int res = sat.run_sat_solver();
    core.clear();
    sat.reset();
    for (BasicClause *c : added)
      alset.remove_member(c);
    // Each test has clauses of its own, hundreds of thousands over a long
    // run: release them. A clause that alset, a cover or the input also
    // holds keeps their references and stays.
    exact.clear_direct();
    if (res == 10)
      return k;
  }
}

void WPM2::add_AM(IDManager &, BasicClauseSet &target, BasicClauseSet &,
                  am_constr &am) {
  attach_clause_set(am.clauses, target);
}

void WPM2::remove_if_exists(std::list<std::set<long long>> &from,
                            const std::list<std::set<long long>> &which) {
  from.remove_if([&](const std::set<long long> &s) {
    return std::find(which.begin(), which.end(), s) != which.end();
  });
}

long long WPM2::lower_bound(const CoverConstraints &constraints) {
  long long sum = 0;
  for (const auto &entry : constraints)
    sum = cost_add(sum, entry.second.k);
  return sum;
}
