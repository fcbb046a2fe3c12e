// The two roads of main that run solvers of other layers directly instead
// of the facade's solver: the BMO solver (option -bmo) and the iterative
// binary-search solver (run mode 0xFA10 with iteration mode 0xFB14). Each
// is one function, so that the road is switched on where its class lives.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/clause_snapshot.hpp"
#include "model/id_manager.hpp"

// Solves the clause set level by level; returns the cost (negative when
// the hard clauses are unsatisfiable) and leaves the model in model. With
// -chk each level's model is checked against the hard clauses of input, the
// clause set as read, when it is given.
long long run_bmo_road(IDManager &imgr, BasicClauseSet &clset,
                       std::vector<long long> &model,
                       const ClauseSnapshot *input);

// Runs the iterative binary-search solver, which prints its own result
// lines.
void run_iterative_road(IDManager &imgr, BasicClauseSet &clset,
                        std::vector<long long> &model);
