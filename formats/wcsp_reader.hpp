// Reader of weighted constraint networks (the WCSP table format) into
// weighted partial MaxSAT: one Boolean variable per (variable, value) pair,
// hard clauses that make every variable take exactly one value, and for
// every tuple of non-zero cost one clause, falsified exactly when the
// variables take that tuple, weighted by the cost. Clauses of different cost
// functions with the same literals are one clause and add up their costs.
//
// A top cost t means that assignments costing t or more are not solutions:
// costs of t or more make hard clauses, and when the costs can add up to t,
// a hard constraint (as for the top cost of WBO files) keeps the total
// below t, so that a network whose every assignment reaches the top has no
// solution.
//
// Sizes are checked before anything is allocated: negative numbers, scope
// indices and values out of range and table sizes that leave the index
// range are parse errors (status 3), and so are domains and tables whose
// clauses would need more memory than the machine has.
#pragma once

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

void parse_wcsp_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);
