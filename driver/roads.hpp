// The two roads of main that run solvers of other layers directly instead
// of the facade's solver: the BMO solver (option -bmo) and the iterative
// binary-search solver (run mode 0xFA10 with iteration mode 0xFB14). Each
// is one function, so that the road is switched on where its class lives.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

// Solves the clause set level by level; returns the cost (negative when
// the hard clauses are unsatisfiable) and leaves the model in model.
long long run_bmo_road(IDManager &imgr, BasicClauseSet &clset,
                       std::vector<long long> &model);

// Runs the iterative binary-search solver, which prints its own result
// lines.
void run_iterative_road(IDManager &imgr, BasicClauseSet &clset,
                        std::vector<long long> &model);
