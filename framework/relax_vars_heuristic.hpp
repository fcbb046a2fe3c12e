// An upper bound on the optimum cost from one run of the second CDCL solver
// on a copy of the clause set in which every soft clause carries a fresh
// relaxation variable: the hard clauses must hold, a soft clause may be
// given up, and the bound is the weight of the soft clauses given up.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class RelaxVarsUpperBound {
public:
  // The bound, or -1 when the hard clauses are unsatisfiable; appends the
  // model (entry v-1 for variable v = 1 .. top id at the call).
  long long compute_upper_bound(IDManager &imgr, BasicClauseSet &clset,
                                std::vector<bool> &model);
  // dst receives the relaxed copies of src's soft clauses (hard, new
  // clauses) and src's hard clauses themselves (borrowed, no reference);
  // cls lists dst by clause id, rvars/weights the soft clauses' variables.
  void duplicate_and_relax_clset(IDManager &imgr, BasicClauseSet &src,
                                 BasicClauseSet &dst,
                                 std::vector<BasicClause *> &cls,
                                 std::vector<long long> &rvars,
                                 std::vector<long long> &weights);

  int is_relaxation_var(std::vector<long long> &rvars, long long v);
  long long get_relax_var(std::vector<long long> &rvars, BasicClause *cl);
  long long add_relaxation_var(IDManager &imgr, BasicClauseSet &clset,
                               BasicClause *cl);
};
