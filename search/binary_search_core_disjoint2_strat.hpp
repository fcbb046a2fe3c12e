// The second disjoint-core search by weight levels. The soft clauses that
// the initial bounds left unrelaxed wait outside the formula and come back
// heaviest first, a group of levels at a time (lighter levels join while
// the group averages at most 1.25 clauses per distinct weight). Each group
// gets a lower-bounding pass that takes disjoint cores out of the formula,
// then the core loop runs until the clauses inside are settled or a model
// worse than the best shows that the next group must come in. Every
// improved upper bound is reported on an "o " line.
#pragma once

#include <map>
#include <vector>

#include "search/binary_search_core_disjoint2.hpp"

class BinarySearchCoreDisjoint2Strat : public BinarySearchCoreDisjoint2 {
public:
  using BinarySearchCoreDisjoint2::stop_condition;

  // The optimum cost with its model, or -1 when the hard clauses are
  // unsatisfiable.
  long long solve() override;
  // Prints the bound sums; with clauses outside, true when the cores are
  // settled against the kept model's inside cost, else when lambdas,
  // epsilons and ub all meet.
  bool stop_condition(unsigned int outside, std::vector<Core *> &cores,
                      long long &ub, long long &inSoftUB);

  // The index of the lightest weight level of the next group: from the
  // heaviest level down while the group averages at most 1.25 clauses per
  // level (the level that lifts it above joins too).
  static std::size_t group_start(const std::vector<long long> &levels,
                                 const std::map<long long, unsigned> &counts,
                                 double &alpha);

protected:
  // The falsified weight inside the cores and outside the formula.
  long long model_cost() override;
  // Hardening here runs whatever the hardening rule says (the map is
  // filled only under it) and shows its bounds and every entry's outcome.
  bool hardening_on() const override { return true; }
  void show_hardening_start(long long lb, long long ub) override;
  void show_hardening_entry(BasicClause *c, long long e, HardenStep step,
                            long long r) override;
  void show_hardening_end(const HardenCounts &n) override;

private:
  // Takes every unrelaxed soft clause out of the formula.
  void set_unrelaxed_aside();
  // Brings the next group of levels back into the formula.
  void bring_back_group(long long &inSoftUB);
  // Finds disjoint cores among the clauses outside the cores.
  void lower_bounding_pass(TernWrapperSort &sat, long long &count,
                           long long &lb, long long inSoftUB);
  // Runs core-loop iterations until the stop test holds or a worse model
  // asks for the next group.
  void core_loop(TernWrapperSort &sat, long long &count, long long &lb,
                 long long &ub, long long &inSoftUB, long long &iteration);
  void print_levels(const char *head);

  // The soft clauses not yet back, in the order set aside.
  std::vector<BasicClause *> out_order_;
  std::map<long long, unsigned> counts_; // weight -> clauses outside
  std::vector<long long> levels_;        // distinct weights outside, ascending
};
