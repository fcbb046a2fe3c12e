// The iterative binary-search solver: a self-contained MaxSAT solver for
// unweighted problems. Every soft clause is relaxed once, one unrestricted
// SAT call gives an upper bound, and a cardinality constraint over all
// relaxation variables halves the gap between the bounds until they meet.
// It prints its own result lines.
#pragma once

#include <vector>

#include "framework/mxsat_solver.hpp"

class TernWrapper;

class BinSearchMaxSATSolver : public IterMaxSATSolver {
public:
  BinSearchMaxSATSolver();
  ~BinSearchMaxSATSolver() override;

  // The optimum number of falsified soft clauses, or -1 when the hard
  // clauses are unsatisfiable; prints the result lines. Weighted input is
  // refused: the search counts relaxed clauses, not their weights.
  long long solve() override;
  // Appends a fresh relaxation variable to every soft clause of the input.
  void relax_all_clauses();
  // Puts from's clauses into into's member set (no reference changes).
  void attach_clause_set(BasicClauseSet &into, BasicClauseSet &from);
  // The input set joins the working set for good; one SAT call. -1 when
  // unsatisfiable, else the cost of its model, which is kept.
  long long compute_upper_bound();
  // Keeps the model that the SAT call wrote and empties the model vector.
  void save_model();
  // The weight of the soft clauses whose relaxation variable the kept model
  // sets.
  long long compute_model_cost();
  // At most k relaxation variables true, into set.
  void add_card_constraint(BasicClauseSet &set, long long k);
  // One step of the search at bound k; true when satisfiable.
  bool solve_instance(long long k);

private:
  void print_result(long long ub);

  std::vector<long long> own_model_;
  std::vector<BasicClause *> core_;
  BasicClauseSet working_set_;
  BasicClauseSet card_set_;
  TernWrapper *sat_ = nullptr;
  long long nvars_ = 0;
};
