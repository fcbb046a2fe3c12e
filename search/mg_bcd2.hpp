// The second disjoint-core search on a lazy formula: after the initial
// bounds, every unrelaxed soft clause that the initial model satisfies is
// set aside, and comes back only when a later model falsifies it. While
// clauses are coming back the models give no upper bound and the search
// may not stop.
#pragma once

#include <vector>

#include "search/binary_search_core_disjoint2.hpp"

class ModelGuidedBCD2 : public BinarySearchCoreDisjoint2 {
public:
  using BinarySearchCoreDisjoint2::stop_condition;

  // The optimum cost with its model, or -1 when the hard clauses are
  // unsatisfiable.
  long long solve() override;
  // False while the last model brought clauses back; otherwise the stop
  // test of the second disjoint-core search.
  bool stop_condition(std::vector<Core *> &cores, long long &ub) override;

protected:
  // The falsified weight inside the cores and among the set-aside clauses.
  long long model_cost() override;

private:
  // Puts back the set-aside clauses that the model falsifies; returns
  // their weight.
  long long attach_back_falsified();

  bool model_accepted_ = true; // the last model brought no clause back
  std::vector<long long> mg_model_; // the model core upper bounds follow
  std::vector<BasicClause *> aside_; // satisfied unrelaxed soft clauses
};
