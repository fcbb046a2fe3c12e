#include "framework/mxsat_solver.hpp"

#include "model/runtime_msgs.hpp"

void IterMaxSATSolver::init(IDManager &m, BasicClauseSet &s,
                            std::vector<long long> &mdl) {
  imgr = &m;
  clset = &s;
  model = &mdl;
}

void IterMaxSATSolver::reset() {
  imgr = nullptr;
  clset = nullptr;
  model = nullptr;
  relax_map.clear();
}

UnsatMaxSATSolver::UnsatMaxSATSolver() { rvar_cl_map.reserve(100); }

void UnsatMaxSATSolver::init(IDManager &m, BasicClauseSet &s,
                             std::vector<long long> &mdl) {
  imgr = &m;
  clset = &s;
  model = &mdl;
}

void UnsatMaxSATSolver::reset() {
  imgr = nullptr;
  clset = nullptr;
  model = nullptr;
  core.clear();
  rvar_cl_map.clear();
  prop_vars.clear();
  cl_pvar_map.clear();
  cl_rvars_map.clear();
  cl_lists_map.clear();
  relaxed_cls.clear();
  attachments_.clear();
}

bool UnsatMaxSATSolver::chk_unsat_clause(BasicClause *c) {
  auto it = cl_rvars_map.find(c);
  if (it == cl_rvars_map.end() || it->second.empty() || !model)
    return false;
  // The model holds variable r at entry r.
  for (long long r : it->second)
    if (r > 0 && static_cast<unsigned long long>(r) < model->size() &&
        (*model)[static_cast<std::size_t>(r)] > 0)
      return true;
  return false;
}

long long UnsatMaxSATSolver::sum_weights(BasicClauseSet &set) {
  // The sum only bounds the cost from above: past the 64-bit range it
  // stops at the cost ceiling, which no search gives as its answer.
  long long sum = 0;
  for (BasicClause *c : set)
    if (c->weight < set.top_weight &&
        __builtin_add_overflow(sum, c->weight, &sum))
      return BasicClauseSet::kMaxWeight;
  return sum;
}

void UnsatMaxSATSolver::accept_only_unweighted(BasicClauseSet &clset) {
  for (BasicClause *c : clset)
    if (c->weight < clset.top_weight && c->weight >= 2)
      Abort("The selected Algorithm is not available for Weighted Max-SAT.");
}
