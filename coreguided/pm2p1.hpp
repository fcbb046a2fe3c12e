// PM2 over covers, for unweighted (partial) MaxSAT. A cover is the union of
// cores that share relaxation variables; each cover gets its own at-most
// constraint, bounded by the number of stored cores inside it, instead of
// one global bound. Relaxation variables that lie in no core yet are fixed
// false. Each unsatisfiable answer stores the new core, merges the covers
// it touches and rebuilds the at-most constraints; the first satisfiable
// answer ends the search with lambda, the number of cores, as the optimum.
#pragma once

#include <list>
#include <set>
#include <vector>

#include "coreguided/pm2.hpp"

class PM2p1 : public PM2 {
public:
  PM2p1() = default;
  ~PM2p1() override = default;

  // The optimum cost, or -1 when the hard clauses are unsatisfiable. Ends
  // the run for weighted input.
  // requires: init
  long long solve() override;

  // Stores the initial cores as core sets and covers (with their
  // at-least-one constraints when ZORConfig::optional_constraints is set),
  // then builds the covers' at-most constraints; deletes the Core objects.
  void initialize_pm2_heuristic(std::vector<Core *> &cores) override;
  // Rebuilds the bound clause set: at most pm2_heuristic(cover) true
  // variables in each cover.
  void update_atmost_constraints();
  // Adds the hard unit clause (-r) for every r of vars to target (which
  // takes source's top weight), unless target holds it already.
  void add_unit_clauses(IDManager &imgr, BasicClauseSet &target,
                        BasicClauseSet &source, std::set<long long> &vars);

protected:
  // Takes every cover sharing a variable with set out of the list and
  // appends their union with set.
  void merge_covers(const std::set<long long> &set);
  // A core stored: its variables join the covers and leave the uncovered.
  void cover_core_set(const std::set<long long> &set);

  // Pairwise disjoint sets of relaxation variables, in creation order.
  std::list<std::set<long long>> covers_;
  // Relaxation variables that lie in no core so far.
  std::set<long long> uncovered_;
};
