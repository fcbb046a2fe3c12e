// Test helpers for the translator's variable-elimination preprocessor: the
// reference solver with its model, a brute-force decision for tiny formulas,
// and generators of formulas rich in what the preprocessor looks for
// (equivalences, AND-gates, subsumed and self-subsuming clauses).
#pragma once

#include "tests/tools/lib/engine_cnf.hpp"

#include <vector>

namespace shrike_test {

using engine_test::Cnf;
using engine_test::Rng;

// Runs /usr/bin/cadical on cnf; 10 with model (indexed by variable, 1 true,
// -1 false) filled, 20, or 0 when the reference gave no answer.
int reference_model(const Cnf &cnf, std::vector<int> &model);

// Exhaustive decision for formulas of at most 20 variables: 10 or 20.
int brute_force(const Cnf &cnf);

// Random AND-gate circuit over `inputs` inputs with `gates` gates, some
// outputs tied by equivalences, with random side clauses over all variables.
Cnf gate_circuit(Rng &rng, int inputs, int gates, int side_clauses);

// Random clauses of mixed length 1..max_len over vars variables, with some
// clauses repeated in subsumed or self-subsuming form.
Cnf mixed_clauses(Rng &rng, int vars, int clauses, int max_len);

} // namespace shrike_test
