// The facade's contact with the layers below it: the solver classes of the
// framework and the input reader. Keeping every such call here leaves the
// facade itself free of their headers.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

class MaxSATSolver;

namespace solver_api {

void init(MaxSATSolver *s, IDManager &imgr, BasicClauseSet &clset,
          std::vector<long long> &model);
void reset(MaxSATSolver *s);
void destroy(MaxSATSolver *s);
// The optimum cost, negative when the hard clauses are unsatisfiable.
long long solve(MaxSATSolver *s);
// Whether the final model falsifies c (false for solvers without
// relaxation bookkeeping).
bool chk_unsat_clause(MaxSATSolver *s, BasicClause *c);
// Appends the relaxation variables that the solver recorded.
void relaxation_vars(MaxSATSolver *s, std::vector<long long> &out);

// Whether the clauses can all hold at once (one run of the second CDCL
// solver on them alone; true for none). Check the CPU time after it.
bool satisfiable(const std::vector<const LitVector *> &clauses);

// Reads the input file into imgr and clset; input errors end the run.
MS_Problems read_input(const char *name, IDManager &imgr,
                       BasicClauseSet &clset);

} // namespace solver_api
