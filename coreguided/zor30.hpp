// ZOR30: the unweighted core-guided linear search from below, without
// initial bounds. Every soft clause of a core gets a relaxation variable
// the first time it occurs in one; after the n-th core at most n relaxation
// variables may be true. The first satisfiable answer ends the search with
// the number of cores as the optimum. The bound lives in a working copy of
// the clause collection, so the input set never holds it. In trace mode
// each core's formula and the final model are written to files.
#pragma once

#include <unordered_map>

#include "framework/mxsat_solver.hpp"

class ZOR30 : public UnsatMaxSATSolver {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable. Ends
  // the run for weighted input. requires: init
  long long solve() override;

  // Writes set as a DIMACS CNF file (the identifier manager's top variable
  // as the variable count) into name, truncating it.
  void write_cnf_formula(const char *name, BasicClauseSet &set);

private:
  // Relaxes each soft clause of the core not relaxed yet; false when the
  // core holds no soft clause.
  bool relax_core();

  // The clauses this algorithm relaxed, with their relaxation variable.
  std::unordered_map<BasicClause *, long long, ClPtrHash, ClPtrEqual> relaxed_;
};
