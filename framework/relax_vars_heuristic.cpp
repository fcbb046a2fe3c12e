#include "framework/relax_vars_heuristic.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "sat/solver.hpp"

void RelaxVarsUpperBound::duplicate_and_relax_clset(
    IDManager &imgr, BasicClauseSet &src, BasicClauseSet &dst,
    std::vector<BasicClause *> &cls, std::vector<long long> &rvars,
    std::vector<long long> &weights) {
  cls = src.clauses();
  std::sort(cls.begin(), cls.end(), ClIDLess());
  for (BasicClause *c : cls) {
    if (c->weight < src.top_weight) {
      long long r = imgr.new_id();
      LitVector lits = c->lits;
      lits.push_back(r);
      rvars.push_back(r);
      weights.push_back(c->weight);
      dst.create_clause(lits);
    } else {
      dst.insert_member(c);
    }
  }
  cls = dst.clauses();
  std::sort(cls.begin(), cls.end(), ClIDLess());
}

long long RelaxVarsUpperBound::compute_upper_bound(IDManager &imgr,
                                                   BasicClauseSet &clset,
                                                   std::vector<bool> &model) {
  long long t0 = imgr.top_id;
  BasicClauseSet copy; // hard by default: the copies become hard clauses
  std::vector<BasicClause *> cls;
  std::vector<long long> rvars, weights;
  std::vector<BasicClause *> borrowed;
  for (BasicClause *c : clset)
    if (c->weight >= clset.top_weight)
      borrowed.push_back(c);
  duplicate_and_relax_clset(imgr, clset, copy, cls, rvars, weights);

  long long cost = -1;
  {
    Wren::Solver solver;
    Wren::vec<Wren::Lit> lits;
    for (BasicClause *c : cls) {
      lits.clear();
      for (long long l : c->lits) {
        long long v = std::llabs(l);
        while (solver.nVars() <= v)
          solver.newVar(true, true);
        lits.push(Wren::mkLit(static_cast<Wren::Var>(v), l < 0));
      }
      solver.addClause_(lits);
    }
    solver.budgetOff();
    solver.assumptions.clear();
    if (solver.solve_() == Wren::l_True) {
      auto value_true = [&](long long v) {
        return v < solver.model.size() && solver.model[v] == Wren::l_True;
      };
      for (long long v = 1; v <= t0; ++v)
        model.push_back(value_true(v));
      cost = 0;
      for (std::size_t i = 0; i < rvars.size(); ++i)
        if (value_true(rvars[i]) &&
            __builtin_add_overflow(cost, weights[i], &cost))
          cost = LLONG_MAX;
    }
  }
  // Release the copies; the borrowed hard clauses leave without a release.
  for (BasicClause *c : borrowed)
    copy.remove_member(c);
  copy.clear_direct();
  return cost;
}

int RelaxVarsUpperBound::is_relaxation_var(std::vector<long long> &rvars,
                                           long long v) {
  return std::find(rvars.begin(), rvars.end(), v) != rvars.end() ? 1 : 0;
}

long long RelaxVarsUpperBound::get_relax_var(std::vector<long long> &rvars,
                                             BasicClause *cl) {
  for (long long l : cl->lits)
    if (is_relaxation_var(rvars, std::llabs(l)))
      return std::llabs(l);
  return 0;
}

long long RelaxVarsUpperBound::add_relaxation_var(IDManager &imgr,
                                                  BasicClauseSet &clset,
                                                  BasicClause *cl) {
  long long r = imgr.new_id();
  clset.registry->add_literal(cl, r);
  return r;
}
