// Loads a test formula into a Wren solver the way the relaxed upper bound
// does (variables 0 .. n created with newVar(true, true), literal 2v+s, the
// result of addClause_ ignored), solves once and reads the model back.
// Header only: compiled into the tests and tools that link the SAT layer.
#pragma once

#include <vector>

#include "sat/solver.hpp"
#include "tests/tools/lib/wren_cnf.hpp"

namespace wrentest {

inline void wren_load(Wren::Solver& s, const Cnf& f) {
  Wren::vec<Wren::Lit> lits;
  for (const auto& c : f.clauses) {
    lits.clear();
    for (int l : c) {
      int v = l < 0 ? -l : l;
      while (s.nVars() <= v) s.newVar(true, true);
      lits.push(Wren::mkLit(v, l < 0));
    }
    s.addClause_(lits);
  }
  while (s.nVars() <= f.nvars) s.newVar(true, true);
}

// 10 satisfiable (model[v] for v = 0 .. nvars), 20 unsatisfiable, 0 stopped.
inline int wren_solve(Wren::Solver& s, std::vector<bool>& model) {
  s.budgetOff();
  s.assumptions.clear();
  Wren::lbool r = s.solve_();
  if (r == Wren::l_True) {
    model.assign(s.nVars(), false);
    for (int v = 0; v < s.nVars(); v++) model[v] = s.model[v] == Wren::l_True;
    return 10;
  }
  return r == Wren::l_False ? 20 : 0;
}

inline int wren_solve(const Cnf& f, std::vector<bool>& model) {
  Wren::Solver s;
  wren_load(s, f);
  return wren_solve(s, model);
}

}  // namespace wrentest
