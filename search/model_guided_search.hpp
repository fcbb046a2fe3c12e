// Model-guided linear search on the cost: a soft clause joins the working
// formula, with a relaxation variable, only once a model falsifies it; the
// others wait outside. Each model lowers the bound mu to its cost over all
// soft clauses, and the first unsatisfiable call proves mu optimal.
#pragma once

#include <vector>

#include "framework/mxsat_solver.hpp"

class TernWrapperSort;

class ModelGuidedSearch : public UnsatMaxSATSolverWithBounds {
public:
  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  long long solve() override;
  // The initial bounds; the soft clauses in no core of the lower-bound
  // pass wait outside the working formula unless the bound's model
  // falsifies them.
  void compute_initial_bounds(IDManager &imgr, BasicClauseSet &clset,
                              TernWrapperSort &solver,
                              std::vector<long long> &model,
                              std::vector<BasicClause *> &core, long long &lb,
                              long long &ub);
  // Measures the model's cost over every soft clause, admits the waiting
  // clauses it falsifies (relaxed) and lowers mu to that cost.
  void relax_model_clauses(BasicClauseSet &clset,
                           std::vector<long long> &model, long long &mu);
  // Gives a soft clause a relaxation variable unless it has one.
  void relax_clause(BasicClauseSet &clset, BasicClause *c);
  // Whether a literal of c other than those of variable skip is true.
  bool is_clause_sat(std::vector<long long> &model, BasicClause *c,
                     long long skip);

protected:
  // The model's cost over every soft clause, relaxation literals aside.
  long long model_cost() override;
  // The value below which the next call looks for a model.
  virtual long long next_tau(long long lambda, long long mu);
  virtual void print_status(long long calls, long long mu, long long lambda,
                            long long tau, std::size_t nrvars);
  // Calls until mu <= lambda; an unsatisfiable call at tau sets lambda to
  // tau + 1. Returns mu, with the model that reached it.
  long long search(TernWrapperSort &sat, long long lambda, long long mu);
  // Puts the clauses still waiting back into the input set.
  void readmit_waiting();

  BasicClauseSet atmost_set_;
  // Soft clauses outside the working formula (no references of their own).
  BasicClauseSet waiting_set_;
  // Every soft clause of the problem: the cost of a model is measured here.
  std::vector<BasicClause *> soft_cls_;
};

// The binary form: each call tests the midpoint between the lower bound
// lambda and mu.
class BinaryModelGuided : public ModelGuidedSearch {
public:
  long long solve() override;
  long long compute_nu(long long lambda, long long mu);

protected:
  long long next_tau(long long lambda, long long mu) override;
  void print_status(long long calls, long long mu, long long lambda,
                    long long tau, std::size_t nrvars) override;
};
