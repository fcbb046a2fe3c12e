// Binary search over disjoint cores without relaxation variables for soft
// unit clauses: once a unit (u) must be relaxed it leaves the formula and
// the literal -u, true exactly when the unit is falsified, stands in the
// per-core bounds. Complementary soft units are settled first: one of (u)
// and (-u) is falsified in every model, so the lighter weight is counted
// at once and taken from both. Units taken out are kept, and the input
// set is as it was read again when solve returns.
#pragma once

#include <map>
#include <vector>

#include "search/binary_search_core_disjoint.hpp"

class BCDNoUnitRV : public BinarySearchCoreDisjoint {
public:
  BCDNoUnitRV() = default;

  // The optimum cost with its model, or -1 when the hard clauses are
  // unsatisfiable.
  long long solve() override;
  // The disjoint-core initial bounds; units that the lower-bound pass
  // relaxed give up their relaxation variable for their literal.
  void compute_initial_bounds(IDManager &imgr, BasicClauseSet &set,
                              TernWrapperSort &sat,
                              std::vector<long long> &model,
                              std::vector<BasicClause *> &core,
                              long long &count, long long &lb,
                              long long &ub) override;

  // Settles complementary soft units, adding their cost to cost and
  // counting the soft clauses left; returns the pairs of equal weight.
  long long preprocessUnits(long long &cost);
  // The weight that lit (a unit's literal or a relaxation variable) counts
  // in model.
  long long get_cost_rliteral(BasicClauseSet &set,
                              std::vector<long long> &model, long long &lit);
  // The weight of the true relaxation variables and unit literals.
  long long get_cost_assignment(BasicClauseSet &set,
                                std::vector<long long> &model);
  // Relaxes the soft clauses of cls: units by their literal (taken out of
  // set), others by their relaxation variable.
  void relax_core_clauses(std::vector<BasicClause *> &cls, BasicClauseSet &set,
                          std::vector<long long> &rlits,
                          std::vector<long long> &weights);

  long long soft_count() const { return soft_count_; }
  const std::map<long long, long long> &unit_map() const { return unit_map_; }

protected:
  long long model_cost() override;
  void split_core(std::vector<long long> &old_vars,
                  std::vector<BasicClause *> &unrelaxed) override;
  void relax_new_clauses(std::vector<BasicClause *> &unrelaxed,
                         std::vector<long long> &rvars,
                         std::vector<long long> &weights) override;
  bool relax_lit_true(long long lit) override;
  void begin_iteration() override;
  // This search never hardens.
  void harden_cores(long long) override {}

private:
  bool lit_true(long long lit) const;
  // Takes a unit clause out of the set until the input is restored.
  void set_unit_aside(BasicClause *c);
  // Puts the set-aside units and the settled weights back, and takes the
  // per-core bounds out of the input set.
  void restore_input();

  long long soft_count_ = 0; // soft clauses left after preprocessUnits
  // Relaxed unit (u): -u -> its weight.
  std::map<long long, long long> unit_map_;
  // Units out of the formula, in the order taken out.
  std::vector<BasicClause *> aside_units_;
  // Weights that settling changed -> the weight as read.
  std::map<BasicClause *, long long> settled_weights_;
  long long pairs_ = 0;     // equal-weight pairs settled
  long long iteration_ = 1; // loop iterations, from 1
};
