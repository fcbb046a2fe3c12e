// Test helpers for the Tern engine: CNF reading and writing, a reference
// solver call (the `cadical` binary), instance generators and a model check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine_test {

struct Cnf {
  int vars = 0;
  std::vector<std::vector<int>> clauses;
};

// Reads a DIMACS CNF file (".gz" through gzip -dc). Returns false when the
// file cannot be read.
bool read_dimacs(const std::string &path, Cnf &cnf);

// Writes the clauses (and the assumptions as unit clauses) in DIMACS form.
bool write_dimacs(const std::string &path, const Cnf &cnf,
                  const std::vector<int> &units = {});

// Runs the reference solver on the clauses plus the units; 10, 20, or 0 when
// the reference is missing or gave no answer.
int reference_solve(const Cnf &cnf, const std::vector<int> &units = {});

// True when the reference solver binary exists.
bool reference_available();

// True when `model` (indexed by variable, >0 true) satisfies every clause.
bool satisfies(const Cnf &cnf, const std::vector<int> &model);

// Small deterministic generator (64-bit linear congruential).
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return (uint32_t)(s >> 33);
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

Cnf random_ksat(Rng &rng, int vars, int clauses, int k = 3);
Cnf pigeonhole(int holes);                  // holes + 1 pigeons: UNSAT
Cnf parity_chain(Rng &rng, int vars, bool satisfiable);
Cnf factoring(uint64_t n, int bits);        // n = a * b, 1 < a, b
Cnf graph_colouring(Rng &rng, int nodes, int edges, int colours);

}  // namespace engine_test
