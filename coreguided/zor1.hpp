// ZOR1: the default core-guided algorithm. Every unsatisfiable answer of
// the SAT solver yields a core; each soft clause of the core takes one more
// fresh relaxation variable, an exactly-one constraint ties the new
// variables together, and the cost bound grows by the core's price (1, or
// the least weight in the core for weighted problems, whose heavier clauses
// are split). The first satisfiable answer ends the run at the optimum.
#pragma once

#include <vector>

#include "framework/mxsat_solver.hpp"

class ZOR1 : public UnsatMaxSATSolver {
public:
  ZOR1() = default;

  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  // requires: init
  long long solve() override;

  // Relax the soft clauses of the current core, appending the new
  // variables to rvars: the unweighted form returns 1, the weighted one the
  // least weight in the core; both return -1 when the core held no soft
  // clause.
  long long mxsat_relax_core_clauses(std::vector<long long> &rvars);
  long long weighted_relax_core_clauses(std::vector<long long> &rvars);
  [[noreturn]] long long softcnf_relax_core_clauses(std::vector<long long> &rvars);
  // Exactly one of rvars, as hard clauses of the working set.
  void add_card_constraint(std::vector<long long> &rvars);

protected:
  // Relaxes the current core as its problem type asks, by the weighted
  // relaxation whenever a soft clause of the core weighs other than 1;
  // returns the price, or -1 when the core held no soft clause.
  long long relax_core(std::vector<long long> &rvars);
  // Replaces the at-most-one constraint over c's relaxation variables.
  void rebuild_amo(BasicClause *c);
  void rebuild_relaxed_clauses();

  bool show_relaxation_ = true; // the relaxations print their progress lines
};
