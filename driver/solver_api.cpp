#include "driver/solver_api.hpp"

#include <cstdlib>
#include <unordered_map>

#include "formats/read_input.hpp"
#include "framework/mxsat_solver.hpp"
#include "sat/solver.hpp"

namespace solver_api {

void init(MaxSATSolver *s, IDManager &imgr, BasicClauseSet &clset,
          std::vector<long long> &model) {
  if (s)
    s->init(imgr, clset, model);
}

void reset(MaxSATSolver *s) {
  if (s)
    s->reset();
}

void destroy(MaxSATSolver *s) { delete s; }

long long solve(MaxSATSolver *s) { return s ? s->solve() : -1; }

bool chk_unsat_clause(MaxSATSolver *s, BasicClause *c) {
  auto *u = dynamic_cast<UnsatMaxSATSolver *>(s);
  return u && c && u->chk_unsat_clause(c);
}

void relaxation_vars(MaxSATSolver *s, std::vector<long long> &out) {
  auto *u = dynamic_cast<UnsatMaxSATSolver *>(s);
  if (!u)
    return;
  for (const auto &entry : u->rvar_cl_map)
    out.push_back(entry.first);
}

bool satisfiable(const std::vector<const LitVector *> &clauses) {
  if (clauses.empty())
    return true;
  Wren::Solver solver;
  // Input variables numbered densely in order of appearance.
  std::unordered_map<long long, Wren::Var> vars;
  Wren::vec<Wren::Lit> lits;
  for (const LitVector *c : clauses) {
    lits.clear();
    for (long long l : *c) {
      auto it = vars.find(std::llabs(l));
      if (it == vars.end())
        it = vars.emplace(std::llabs(l), solver.newVar()).first;
      lits.push(Wren::mkLit(it->second, l < 0));
    }
    if (!solver.addClause_(lits))
      return false;
  }
  solver.budgetOff();
  solver.assumptions.clear();
  return solver.solve_() == Wren::l_True;
}

MS_Problems read_input(const char *name, IDManager &imgr,
                       BasicClauseSet &clset) {
  return read_input_file(name, imgr, clset);
}

} // namespace solver_api
