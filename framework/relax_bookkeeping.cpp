// Relaxation bookkeeping of UnsatMaxSATSolver. A soft clause is relaxed by
// appending a fresh variable r as the positive literal r, so r true
// satisfies it; a bound over the relaxation variables, weighted by their
// clauses' weights, then limits what may be falsified. Each variable is
// recorded three ways: r -> clause, clause -> its variables, and the list of
// relaxed clauses. With ZORConfig::use_added_relax_cls every relaxation
// variable also implies a per-clause propagation variable that forces the
// clause's own literals false, so r is true only when the clause is.
#include <algorithm>
#include <climits>

#include "framework/mxsat_solver.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

long long UnsatMaxSATSolver::fresh_var() {
  if (imgr->top_id == LLONG_MAX)
    Abort("Variable identifiers exhausted");
  return imgr->new_id();
}

long long UnsatMaxSATSolver::add_relaxation_var(BasicClause *c) {
  long long r = fresh_var();
  clset->registry->add_literal(c, r);
  register_relaxation_var(c, r);
  return r;
}

void UnsatMaxSATSolver::register_relaxation_var(BasicClause *c, long long r) {
  relaxed_cls.push_back(c);
  rvar_cl_map.emplace(r, c);
  if (ZORConfig::use_added_relax_cls)
    relate_prop_relax_var(c, r);
  cl_rvars_map[c].push_back(r);
}

long long UnsatMaxSATSolver::get_unique_relax_var(BasicClause *c) {
  auto it = cl_rvars_map.find(c);
  if (it == cl_rvars_map.end() || it->second.size() != 1)
    return 0;
  return it->second.front();
}

void UnsatMaxSATSolver::relax_core_clauses(std::vector<BasicClause *> &cls,
                                           BasicClauseSet &set,
                                           std::vector<long long> &rvars,
                                           std::vector<long long> &weights) {
  for (BasicClause *c : cls) {
    if (c->weight >= set.top_weight)
      continue;
    long long r = get_unique_relax_var(c);
    if (r == 0)
      r = add_relaxation_var(c);
    rvars.push_back(r);
    weights.push_back(c->weight);
  }
}

void UnsatMaxSATSolver::relax_all_soft_clauses_unrelaxed(BasicClauseSet &set) {
  // Relaxing re-keys clauses in the registry but leaves set's membership
  // alone, so walking a snapshot is safe even if a hook inserted clauses.
  for (BasicClause *c : set.clauses())
    if (c->weight < set.top_weight && get_unique_relax_var(c) == 0)
      add_relaxation_var(c);
}

void UnsatMaxSATSolver::get_relax_vars_and_weights(
    std::vector<long long> &rvars, std::vector<long long> &weights) {
  for (const auto &entry : rvar_cl_map) {
    BasicClause *c = entry.second;
    if (c->weight < clset->top_weight) {
      rvars.push_back(entry.first);
      weights.push_back(c->weight);
    }
  }
}

long long UnsatMaxSATSolver::add_propagation_var(BasicClause *c) {
  long long p = fresh_var();
  prop_vars.insert(p);
  cl_pvar_map.emplace(c, p);
  if (ZORConfig::use_added_relax_cls) {
    // The hard clauses below are new clause objects; c itself is untouched,
    // but copy its literals so the walk never depends on that.
    LitVector lits = c->lits;
    for (long long l : lits)
      if (rvar_cl_map.find(l) == rvar_cl_map.end())
        add_hard_binary_clause(-l, -p);
  }
  return p;
}

void UnsatMaxSATSolver::relate_prop_relax_var(BasicClause *c, long long r) {
  auto it = cl_pvar_map.find(c);
  long long p = it != cl_pvar_map.end() ? it->second : add_propagation_var(c);
  add_hard_binary_clause(-r, p);
}

BasicClause *UnsatMaxSATSolver::add_hard_binary_clause(long long a,
                                                       long long b) {
  clset->set_def_cl_type(ClauseType::Hard);
  LitVector lits{a, b};
  return clset->insert_clause(clset->registry->create_clause(lits));
}

void UnsatMaxSATSolver::attach_clause_set(BasicClauseSet &part,
                                          BasicClauseSet &whole) {
  auto it = std::find_if(attachments_.begin(), attachments_.end(),
                         [&](const Attachment &a) {
                           return a.part == &part && a.whole == &whole;
                         });
  if (it == attachments_.end())
    it = attachments_.insert(attachments_.end(), {&part, &whole, {}});
  for (BasicClause *c : part)
    if (whole.insert_member(c))
      it->added.push_back(c);
}

void UnsatMaxSATSolver::detach_clause_set(BasicClauseSet &part,
                                          BasicClauseSet &whole) {
  auto it = std::find_if(attachments_.begin(), attachments_.end(),
                         [&](const Attachment &a) {
                           return a.part == &part && a.whole == &whole;
                         });
  // A clause that whole held before the attach (the registry shares one
  // object per literal set) stays in whole: only what the attach put there
  // is taken out.
  if (it != attachments_.end()) {
    for (BasicClause *c : it->added)
      whole.remove_member(c);
    attachments_.erase(it);
  } else {
    for (BasicClause *c : part)
      whole.remove_member(c);
  }
  part.clear_direct();
}
