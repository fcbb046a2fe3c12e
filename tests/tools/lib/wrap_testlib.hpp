// Test helpers for the SAT wrappers and the solver classes: seeded random
// and structured CNF, a model checker, and the reference SAT solver
// (/usr/bin/cadical) run on a clause list.
#pragma once

#include <random>
#include <string>
#include <vector>

using WrapClauses = std::vector<std::vector<long long>>;

// ncls clauses over variables 1..nvars, each of 1..maxlen distinct
// variables with random signs.
WrapClauses wrap_random_cnf(std::mt19937_64 &rng, int nvars, int ncls,
                            int maxlen);
// n+1 pigeons in n holes (unsatisfiable); variable p*n + h + 1.
WrapClauses wrap_pigeonhole(int holes);
// x1 and the chain x_i -> x_{i+1} for i < n, plus -x_n when closed
// (unsatisfiable exactly when closed).
WrapClauses wrap_implication_chain(int n, bool closed);

// Whether every clause has a literal true in the model (entry v: > 0 true,
// < 0 false; an unset or missing entry satisfies nothing).
bool wrap_model_satisfies(const WrapClauses &cls,
                          const std::vector<long long> &model);

// Answer of the reference solver: 10 or 20 (0 when it could not be run).
int wrap_reference_sat(const WrapClauses &cls);

// Multiplier of the seeded random rounds: 20 when KESTRANE_SOAK is set in
// the environment (a long run outside CI), else 1.
unsigned wrap_soak_factor();

// Path of a fresh empty directory under /tmp.
std::string wrap_temp_dir();
