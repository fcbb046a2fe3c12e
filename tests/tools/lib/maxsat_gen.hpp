// Seeded generator of small MaxSAT and pseudo-Boolean instances for the
// end-to-end tests. One seed gives one instance, the same on every machine
// (std::mt19937_64 and our own range mapping, no std distributions).
//
// Clause families:
//   random    random k-CNF (k = 1..4) split into hard and soft clauses
//   bmo       weights forming lexicographic levels (each level's weight
//             exceeds the total of all lighter levels), plus hard clauses
//   xpairs    soft unit clauses x and -x on the same variables
//   pigeon    a small pigeonhole problem: holes hold at most one pigeon
//             (hard), "pigeon i sits somewhere" soft units or clauses
//   nosoft    hard clauses only (satisfiable or not)
//   unsat     hard clauses that are unsatisfiable, with soft clauses
//   empty     empty soft clauses, sometimes an empty hard clause
//   pure      most variables occur in one polarity only
//   dup       repeated clauses, repeated literals and tautologies
//   huge      weights up to 2^33, totals far above 2^31
//   clique    soft units over a few variables and two-literal clauses,
//             mostly hard, excluding most pairs of variables (by name
//             only: "clauses" and "all" do not pick it)
//   manylarge 20 to 40 soft clauses of distinct weights near 2^29..2^33
//             in arithmetic progression (by name only)
// Pseudo-Boolean families: opb (objective and hard constraints, = included)
// and wbo (hard and soft constraints; soft ones are never equalities).
// Weights of clause families are unit, 1..10 or 1..10^6 by seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/tools/lib/maxsat_instance.hpp"

namespace mxs {

struct GenOptions {
  long long max_vars = 12;  // variables per instance at most
  bool allow_gzip = true;   // clause formats may be written gzipped
  // Soft weights and objective coefficients at most this (0: no cap); 1
  // makes the instance unweighted.
  long long max_weight = 0;
};

struct Generated {
  Instance inst;
  Format format = Format::Wcnf;
  bool gzip = false;
  std::string family;
};

// Names of the clause families, of the pseudo-Boolean ones, and of all.
const std::vector<std::string>& clause_families();
const std::vector<std::string>& pb_families();

// family: one of the names above, "clauses" (any clause family), "pb" (any
// pseudo-Boolean family), "all", or a comma-separated list of these (one
// picked by the seed). False for an unknown name.
bool generate(uint64_t seed, const std::string& family, const GenOptions& opt,
              Generated& out);

// The seed of instance `index` of a run started from `base`.
uint64_t instance_seed(uint64_t base, uint64_t index);

// File name for a generated instance: <stem><suffix>[.gz].
std::string file_name(const std::string& stem, const Generated& g);

}  // namespace mxs
