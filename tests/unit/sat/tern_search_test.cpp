// Differential tests of the Tern engine against the reference solver
// (cadical): generated families, the benchmark CNF files, incremental
// sequences under assumptions, and determinism. Every UNSAT answer with
// tracing is checked further: the core clauses with the failed assumptions
// are unsatisfiable and the extended trace passes the trace checker.
//
// Counts scale with KESTRANE_TERN_SOAK=<factor> (long soak runs; hard
// benchmark files are only included then) and shrink under sanitizers.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "sat/tern.hpp"
#include "tests/tools/lib/engine_cnf.hpp"
#include "tests/tools/lib/engine_run.hpp"

using namespace engine_test;

namespace {

int soak_factor() {
  const char *s = getenv("KESTRANE_TERN_SOAK");
  return s && atoi(s) > 0 ? atoi(s) : 0;
}

// Instances per family in this run.
int scaled(int base) {
  int f = soak_factor();
  if (f) return base * 10 * f;
#if defined(__SANITIZE_ADDRESS__)
  return std::max(1, base / 5);
#else
  return base;
#endif
}

// One generated instance of family `family` from `seed`.
Cnf generate(int family, uint64_t seed, std::string &name) {
  Rng rng(seed);
  switch (family) {
  case 0: {  // random 3-SAT, small instances more often than large ones
    double u = (rng.next() % 10000) / 10000.0;
    int n = 50 + (int)(150 * u * u * u);
    double ratio = 3.5 + 1.5 * (rng.next() % 1000) / 1000.0;
    name = "random3sat n=" + std::to_string(n) + " ratio=" + std::to_string(ratio);
    return random_ksat(rng, n, (int)(n * ratio));
  }
  case 1: {
    int holes = 2 + (int)rng.below(5);
    name = "pigeonhole holes=" + std::to_string(holes);
    return pigeonhole(holes);
  }
  case 2: {
    int n = 8 + (int)rng.below(14);
    bool sat = rng.below(2);
    name = "parity n=" + std::to_string(n) + (sat ? " sat" : " unsat");
    return parity_chain(rng, n, sat);
  }
  case 3: {
    int bits = 3 + (int)rng.below(4);
    uint64_t n = 4 + rng.below((1u << (2 * bits - 1)) - 4);
    name = "factoring n=" + std::to_string(n) + " bits=" + std::to_string(bits);
    return factoring(n, bits);
  }
  default: {
    int nodes = 10 + (int)rng.below(30);
    int edges = nodes + (int)rng.below((uint32_t)(3 * nodes));
    int colours = 3 + (int)rng.below(2);
    name = "colouring nodes=" + std::to_string(nodes) + " edges=" + std::to_string(edges) +
           " colours=" + std::to_string(colours);
    return graph_colouring(rng, nodes, edges, colours);
  }
  }
}

// Runs the engine with and without tracing and checks both against the
// reference; returns the failure text, empty when all holds.
std::string check_instance(const Cnf &cnf, const std::vector<int> &assumptions = {}) {
  int expected = reference_solve(cnf, assumptions);
  if (!expected) return "reference gave no answer";
  EngineResult traced = run_engine(cnf, assumptions, true, 1);
  std::string err = verify_result(cnf, assumptions, traced, expected, true);
  if (!err.empty()) return "traced run: " + err;
  EngineResult plain = run_engine(cnf, assumptions, false);
  err = verify_result(cnf, assumptions, plain, expected, false);
  if (!err.empty()) return "untraced run: " + err;
  return "";
}

}  // namespace

TEST(TernDifferential, GeneratedFamiliesAgreeWithReference) {
  if (!reference_available()) GTEST_SKIP() << "reference solver missing";
  const int base[5] = {600, 100, 120, 80, 100};
  int counts[2] = {0, 0};
  for (int family = 0; family < 5; family++) {
    int n = scaled(base[family]);
    for (int i = 0; i < n; i++) {
      uint64_t seed = (uint64_t)family * 1000003 + (uint64_t)i;
      std::string name;
      Cnf cnf = generate(family, seed, name);
      double t0 = tern_time_stamp();
      std::string err = check_instance(cnf);
      if (getenv("KESTRANE_TERN_PROGRESS"))
        fprintf(stderr, "%.3f %s seed %llu\n", tern_time_stamp() - t0, name.c_str(), (unsigned long long)seed);
      ASSERT_EQ(err, "") << name << " seed " << seed;
    }
    counts[0] += n;
  }
  EXPECT_GE(counts[0], scaled(1000));
}

TEST(TernDifferential, AssumptionsOnGeneratedInstancesAgreeWithReference) {
  if (!reference_available()) GTEST_SKIP() << "reference solver missing";
  int n = scaled(150);
  for (int i = 0; i < n; i++) {
    uint64_t seed = 777000 + (uint64_t)i;
    Rng rng(seed);
    int vars = 20 + (int)rng.below(60);
    Cnf cnf = random_ksat(rng, vars, (int)(vars * (2.5 + (rng.next() % 1000) / 1000.0)));
    std::vector<int> assumptions;
    int k = (int)rng.below(12);
    for (int j = 0; j < k; j++) {
      int v = 1 + (int)rng.below((uint32_t)vars);
      assumptions.push_back(rng.below(2) ? v : -v);
    }
    std::string err = check_instance(cnf, assumptions);
    ASSERT_EQ(err, "") << "seed " << seed;
  }
}

// The benchmark files the engine decides within a few seconds; the others
// run only in soak mode.
TEST(TernDifferential, BenchmarkFilesAgreeWithReference) {
  if (!reference_available()) GTEST_SKIP() << "reference solver missing";
  std::string dir = std::string(KESTRANE_BENCH_DIR) + "/cnf-sat";
  const char *quick[] = {"empty.cnf", "empty-clause.cnf", "uf20-01.cnf", "uf50-01.cnf",
                         "uf100-01.cnf", "uf150-01.cnf", "uf250-01.cnf", "uf250-02.cnf",
                         "sudoku.cnf", "sat-bench-unsat.cnf", "sat-bench-unsat2.cnf",
                         "ssa0432-003.cnf", "sudoku-hardest1.cnf.gz", "uuf250-05.cnf"};
  std::vector<std::string> files(std::begin(quick), std::end(quick));
  if (soak_factor()) {
    files.clear();
    if (DIR *d = opendir(dir.c_str())) {
      while (dirent *e = readdir(d))
        if (e->d_name[0] != '.') files.push_back(e->d_name);
      closedir(d);
    }
    std::sort(files.begin(), files.end());
  }
#if defined(__SANITIZE_ADDRESS__)
  if (!soak_factor()) files.resize(12);
#endif
  for (const std::string &f : files) {
    Cnf cnf;
    ASSERT_TRUE(read_dimacs(dir + "/" + f, cnf)) << f;
    std::string err = check_instance(cnf);
    EXPECT_EQ(err, "") << f;
  }
}

// One engine across many calls: clauses arrive in batches, each call has its
// own assumptions, and between calls the engine is thinned as the incremental
// wrapper does. Every answer is checked against a fresh reference solve.
TEST(TernDifferential, IncrementalSequencesAgreeWithFreshReference) {
  if (!reference_available()) GTEST_SKIP() << "reference solver missing";
  int sequences = scaled(20);
  for (int s = 0; s < sequences; s++) {
    for (int traced = 0; traced < 2; traced++) {
      uint64_t seed = 4242 + (uint64_t)s;
      Rng rng(seed);
      int vars = 25 + (int)rng.below(50);
      Cnf all;
      all.vars = vars;
      tern_init();
      if (traced) tern_enable_trace_generation();
      tern_set_seed(0);
      int steps = 8 + (int)rng.below(8);
      for (int step = 0; step < steps; step++) {
        Cnf batch = random_ksat(rng, vars, 5 + (int)rng.below((uint32_t)vars));
        for (const auto &cl : batch.clauses) {
          for (int l : cl) tern_add(l);
          int idx = tern_add(0);
          ASSERT_EQ(idx, (int)all.clauses.size());
          all.clauses.push_back(cl);
        }
        std::vector<int> assumptions;
        int k = (int)rng.below(10);
        for (int j = 0; j < k; j++) {
          int v = 1 + (int)rng.below((uint32_t)vars);
          assumptions.push_back(rng.below(2) ? v : -v);
        }
        for (int a : assumptions) tern_assume(a);
        tern_set_global_default_phase(1);
        int answer = tern_sat(-1);
        EngineResult r = collect_result(answer, all, all.clauses.size(), assumptions, traced);
        int expected = reference_solve(all, assumptions);
        std::string err = verify_result(all, assumptions, r, expected, traced);
        ASSERT_EQ(err, "") << "seed " << seed << " step " << step << " traced " << traced;
        tern_remove_learned(rng.below(2) ? 80 : 20);
        tern_reset_scores();
        tern_reset_phases();
        if (expected == 20 && assumptions.empty()) break;  // stays UNSAT
      }
      tern_reset();
    }
  }
}

TEST(TernDifferential, SameCallsGiveSameAnswersModelsAndCores) {
  for (int i = 0; i < 20; i++) {
    Rng rng(99 + (uint64_t)i);
    Cnf cnf = random_ksat(rng, 60, 60 * 4 + (int)rng.below(60));
    std::vector<int> assumptions = {1, -2, 3};
    EngineResult a = run_engine(cnf, assumptions, true, 2);
    EngineResult b = run_engine(cnf, assumptions, true, 2);
    EXPECT_EQ(a.answer, b.answer);
    EXPECT_EQ(a.model, b.model);
    EXPECT_EQ(a.core, b.core);
    EXPECT_EQ(a.failed, b.failed);
    EXPECT_EQ(a.trace, b.trace);
  }
}
