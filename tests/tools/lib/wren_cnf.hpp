// CNF helpers for testing and benchmarking the Wren solver: formulas as
// vectors of DIMACS literals, seeded generators of random and structured
// families, a DIMACS reader (plain or gzip), a model checker, a brute-force
// decision procedure for tiny formulas and a runner of the reference solver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wrentest {

struct Cnf {
  int nvars = 0;
  std::vector<std::vector<int>> clauses;  // DIMACS literals, no 0
  void add(std::vector<int> c);           // raises nvars as needed
};

// Small deterministic generator (splitmix64), the same on every platform.
class Rng {
  uint64_t s;

 public:
  explicit Rng(uint64_t seed) : s(seed) {}
  uint64_t next();
  // Uniform in [0, n).
  int below(int n) { return (int)(next() % (uint64_t)n); }
  bool coin() { return (next() >> 63) != 0; }
};

// Uniform random k-SAT: m clauses of k distinct variables over n.
Cnf random_ksat(int n, int m, int k, Rng& rng);
// Pigeons into holes, each pigeon somewhere, no two in one hole.
Cnf pigeonhole(int pigeons, int holes);
// A random system of m parity constraints of `width` distinct variables
// over n variables, each with a random right-hand side, written directly.
Cnf parity(int n, int m, int width, Rng& rng);
// Colouring of a random graph (nodes, edges) with k colours.
Cnf colouring(int nodes, int edges, int k, Rng& rng);

// Reads a DIMACS file; names ending in ".gz" are read through gzip.
bool read_dimacs(const std::string& path, Cnf& out, std::string& err);
bool write_dimacs(const std::string& path, const Cnf& f);

// model[v] is the value of variable v (index 0 unused). Returns the index
// of the first falsified clause, or -1 when every clause holds.
long first_falsified(const Cnf& f, const std::vector<bool>& model);

// 10 satisfiable, 20 unsatisfiable, by enumeration (nvars <= 24).
int brute_force(const Cnf& f);

// Runs the reference solver (/usr/bin/cadical) on f: 10, 20, or 0 when it
// failed or ran out of its CPU-time limit. seconds receives its CPU time.
int reference_status(const Cnf& f, double time_limit = 600, double* seconds = nullptr);
int reference_status_file(const std::string& path, double time_limit = 600,
                          double* seconds = nullptr);
bool reference_available();

}  // namespace wrentest
