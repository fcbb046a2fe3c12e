// Progress lines of the core-guided loops that end at their first model
// (ZOR1, ZOR30): the model found, each core found, the lower bound reached.
// Each line carries "c " in the evaluation format.
#pragma once

#include <vector>

#include "model/basic_clause.hpp"

// Above verbosity 1: "Found MaxSAT solution. Terminating... CPU Time: ".
void print_solution_found();
// Above verbosity 1: "Found core #<n>. Core size: <size>. Iterating... CPU
// Time: "; in expert mode above verbosity 19 also the core's clauses.
void print_core_found(long long n, const std::vector<BasicClause *> &core);
// Above verbosity 0: "Min unsat cost LB: <cost> ... ".
void print_cost_lower_bound(long long cost);
