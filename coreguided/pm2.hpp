// PM2: core-guided search for unweighted (partial) MaxSAT with
// core-counting constraints. Every soft clause gets one relaxation variable
// up front. Each iteration allows at most lambda of them to be true; an
// unsatisfiable answer raises lambda by one and requires, over the new
// core's relaxation variables, at least as many true ones as there are
// cores found so far that lie entirely inside it. The first satisfiable
// answer ends the search with lambda as the optimum.
#pragma once

#include <set>
#include <vector>

#include "framework/mxsat_solver.hpp"

class PM2 : public UnsatMaxSATSolverWithBounds {
public:
  PM2() = default;
  ~PM2() override = default;

  // The optimum cost, or -1 when the hard clauses are unsatisfiable. Ends
  // the run for weighted input.
  // requires: init
  long long solve() override;

  // The number of stored core sets that are subsets of core.
  int pm2_heuristic(const std::set<long long> &core) const;
  // Stores the cores of the initial lower bound as core sets, each with
  // its at-least-one constraint; deletes the Core objects and empties the
  // vector.
  virtual void initialize_pm2_heuristic(std::vector<Core *> &cores);

protected:
  // The initial bounds on the input set through sat; the lower bound's
  // cores go to cores. False when the hard clauses are unsatisfiable.
  bool initial_bounds(TernWrapperSort &sat, std::vector<Core *> &cores,
                      long long &lb);
  // One SAT call on the input set through sat; true when satisfiable.
  bool satisfiable(TernWrapperSort &sat);
  // The relaxation variables of the current core's soft clauses, as a set
  // and in core order (repeats kept). False when the core holds none.
  bool core_relax_vars(std::set<long long> &set, std::vector<long long> &vars);
  // Stores set as a core set and returns the number of stored core sets
  // inside it (set itself included).
  int store_core_set(const std::set<long long> &set);
  // At least k of vars true, as hard clauses kept in the at-least clause
  // set and attached to the input set for the rest of the run.
  void add_atleast_constraint(std::vector<long long> &vars, long long k);

  // The current at-most constraint(s), attached to the input set for each
  // SAT call and released when the bound changes.
  BasicClauseSet bound_clset_;
  // Every at-least constraint of the run.
  BasicClauseSet atleast_clset_;
  // The relaxation variables of every stored core, in the order found.
  std::vector<std::set<long long>> core_sets_;
};
