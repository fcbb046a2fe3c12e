// Differential tests of the Wren solver against the reference solver
// (cadical): random 3-SAT around the threshold, pigeonhole, parity and
// graph-colouring families, and the SAT benchmark files. Every model is
// checked against the formula and every "unsatisfiable" is confirmed by the
// reference. The larger counts and the harder files run only when the
// environment variable KESTRANE_SOAK is set (tests named Soak*).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <ostream>
#include <cstdlib>
#include <string>
#include <vector>

#include "sat/solver.hpp"
#include "tests/tools/lib/wren_cnf.hpp"
#include "tests/tools/lib/wren_harness.hpp"

using wrentest::Cnf;
using wrentest::Rng;

namespace {

bool soak() { return std::getenv("KESTRANE_SOAK") != nullptr; }

// The sanitizer build runs several times slower: it takes a third of each
// count of the larger random blocks.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Tally {
  int sat = 0;
  int unsat = 0;
};

// Solves f with Wren, checks a model against f and confirms an
// unsatisfiable answer with the reference; `what` names the instance.
void check_against_reference(const Cnf& f, const std::string& what, Tally& tally) {
  std::vector<bool> model;
  int got = wrentest::wren_solve(f, model);
  ASSERT_NE(got, 0) << what;
  if (got == 10) {
    long bad = wrentest::first_falsified(f, model);
    ASSERT_EQ(bad, -1) << what << ": model falsifies clause " << bad;
    tally.sat++;
  } else {
    int ref = wrentest::reference_status(f);
    ASSERT_EQ(ref, 20) << what << ": Wren says unsatisfiable, reference says " << ref;
    tally.unsat++;
  }
}

void require_reference() {
  if (!wrentest::reference_available()) GTEST_SKIP() << "/usr/bin/cadical not installed";
}

//=============================================================================
// Random 3-SAT at 4.26 clauses per variable.

struct RandomBlock {
  int n;
  int count;
  uint64_t seed;
};

void PrintTo(const RandomBlock& b, std::ostream* os) {
  *os << "n=" << b.n << " count=" << b.count << " seed=" << b.seed;
}

void run_random_block(const RandomBlock& b) {
  Tally tally;
  int m = (int)std::lround(4.26 * b.n);
  int count = kSanitized && b.n >= 100 ? (b.count + 2) / 3 : b.count;
  for (int i = 0; i < count; i++) {
    uint64_t seed = b.seed * 1000003 + (uint64_t)i;
    Rng rng(seed);
    Cnf f = wrentest::random_ksat(b.n, m, 3, rng);
    check_against_reference(f, "random 3-SAT n=" + std::to_string(b.n) + " seed " +
                                   std::to_string(seed), tally);
    if (testing::Test::HasFatalFailure()) return;
  }
  // Around the threshold both answers must occur.
  if (count >= 20) {
    EXPECT_GT(tally.sat, 0);
    EXPECT_GT(tally.unsat, 0);
  }
}

class WrenRandom3Sat : public testing::TestWithParam<RandomBlock> {};
TEST_P(WrenRandom3Sat, AgreesWithReference) {
  require_reference();
  run_random_block(GetParam());
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Blocks, WrenRandom3Sat, testing::Values(
    RandomBlock{50, 500, 1}, RandomBlock{50, 500, 2}, RandomBlock{50, 500, 3},
    RandomBlock{75, 400, 4}, RandomBlock{75, 400, 5},
    RandomBlock{100, 250, 6}, RandomBlock{100, 250, 7},
    RandomBlock{125, 125, 8}, RandomBlock{125, 125, 9},
    RandomBlock{150, 60, 10}, RandomBlock{150, 60, 11},
    RandomBlock{175, 20, 12}, RandomBlock{175, 20, 13},
    RandomBlock{200, 8, 14}, RandomBlock{200, 8, 15},
    RandomBlock{225, 2, 16}, RandomBlock{225, 2, 17},
    RandomBlock{250, 1, 18}, RandomBlock{250, 1, 19}, RandomBlock{250, 1, 20}));

class SoakWrenRandom3Sat : public testing::TestWithParam<RandomBlock> {};
TEST_P(SoakWrenRandom3Sat, AgreesWithReference) {
  if (!soak()) GTEST_SKIP() << "set KESTRANE_SOAK to run";
  require_reference();
  run_random_block(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Blocks, SoakWrenRandom3Sat, testing::Values(
    RandomBlock{50, 3000, 101}, RandomBlock{100, 2000, 102},
    RandomBlock{150, 800, 103}, RandomBlock{200, 300, 104},
    RandomBlock{250, 150, 105}, RandomBlock{250, 150, 106}));
// clang-format on

//=============================================================================
// Structured families.

TEST(WrenStructured, Pigeonhole) {
  require_reference();
  Tally tally;
  for (int holes = 1; holes <= 7; holes++) {
    Cnf more = wrentest::pigeonhole(holes + 1, holes);
    Cnf fits = wrentest::pigeonhole(holes, holes);
    std::vector<bool> model;
    EXPECT_EQ(wrentest::wren_solve(more, model), 20) << holes;
    ASSERT_EQ(wrentest::wren_solve(fits, model), 10) << holes;
    EXPECT_EQ(wrentest::first_falsified(fits, model), -1) << holes;
  }
  // Pigeons one short of, equal to or one more than the holes, against the
  // reference as well.
  for (int holes = 4; holes <= 6; holes++)
    for (int pigeons = holes - 1; pigeons <= holes + 1; pigeons++)
      check_against_reference(wrentest::pigeonhole(pigeons, holes),
                              "php " + std::to_string(pigeons) + "/" + std::to_string(holes),
                              tally);
}

TEST(WrenStructured, Parity) {
  require_reference();
  Tally tally;
  for (uint64_t seed = 1; seed <= 150; seed++) {
    Rng rng(seed + 5000);
    int n = 12 + rng.below(24);
    int width = 3 + rng.below(2);
    int m = n - 3 + rng.below(7);
    Cnf f = wrentest::parity(n, m, width, rng);
    check_against_reference(f, "parity seed " + std::to_string(seed), tally);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(tally.sat, 0);
  EXPECT_GT(tally.unsat, 0);
}

TEST(WrenStructured, GraphColouring) {
  require_reference();
  Tally tally;
  for (uint64_t seed = 1; seed <= 200; seed++) {
    Rng rng(seed + 9000);
    int k = 3 + rng.below(2);
    int nodes = 20 + rng.below(40);
    // Near the colourability threshold: average degree about 4.7 for three
    // colours and 8.4 for four.
    int edges = (int)(nodes * (k == 3 ? 2.35 : 4.2));
    Cnf f = wrentest::colouring(nodes, edges, k, rng);
    check_against_reference(f, "colouring seed " + std::to_string(seed), tally);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(tally.sat, 0);
  EXPECT_GT(tally.unsat, 0);
}

TEST(SoakWrenStructured, LargerFamilies) {
  if (!soak()) GTEST_SKIP() << "set KESTRANE_SOAK to run";
  require_reference();
  Tally tally;
  for (int holes = 8; holes <= 9; holes++)
    check_against_reference(wrentest::pigeonhole(holes + 1, holes),
                            "php " + std::to_string(holes), tally);
  for (uint64_t seed = 1; seed <= 1000; seed++) {
    Rng rng(seed + 70000);
    int n = 30 + rng.below(30);
    Cnf f = wrentest::parity(n, n - 3 + rng.below(7), 3, rng);
    check_against_reference(f, "parity seed " + std::to_string(seed), tally);
    if (HasFatalFailure()) return;
    Cnf g = wrentest::colouring(60 + rng.below(60), 0, 3, rng);
    g = wrentest::colouring(60 + rng.below(60), (int)(90 * 2.35), 3, rng);
    check_against_reference(g, "colouring seed " + std::to_string(seed), tally);
    if (HasFatalFailure()) return;
  }
}

//=============================================================================
// Benchmark files: the answer must match the known status.

struct BenchFile {
  const char* name;
  int status;  // 10 or 20
};

void PrintTo(const BenchFile& b, std::ostream* os) { *os << b.name; }

void run_bench_file(const BenchFile& b) {
  std::string path = std::string(KESTRANE_BENCH_DIR) + "/cnf-sat/" + b.name;
  Cnf f;
  std::string err;
  ASSERT_TRUE(wrentest::read_dimacs(path, f, err)) << err;
  std::vector<bool> model;
  int got = wrentest::wren_solve(f, model);
  ASSERT_EQ(got, b.status) << b.name;
  if (got == 10) {
    EXPECT_EQ(wrentest::first_falsified(f, model), -1) << b.name;
  } else if (wrentest::reference_available()) {
    EXPECT_EQ(wrentest::reference_status(f), 20) << b.name;
  }
}

class WrenBenchFile : public testing::TestWithParam<BenchFile> {};
TEST_P(WrenBenchFile, KnownStatus) { run_bench_file(GetParam()); }

std::string bench_name(const testing::TestParamInfo<BenchFile>& info) {
  std::string s;
  for (const char* p = info.param.name; *p; p++)
    s += std::isalnum((unsigned char)*p) ? *p : '_';
  return s;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Files, WrenBenchFile, testing::Values(
    BenchFile{"empty.cnf", 10}, BenchFile{"empty-clause.cnf", 20},
    BenchFile{"uf20-01.cnf", 10}, BenchFile{"uf50-01.cnf", 10},
    BenchFile{"uf100-01.cnf", 10}, BenchFile{"uf150-01.cnf", 10},
    BenchFile{"uf250-01.cnf", 10}, BenchFile{"uuf250-05.cnf", 20},
    BenchFile{"sat-bench-unsat.cnf", 20}, BenchFile{"sat-bench-unsat2.cnf", 20},
    BenchFile{"ssa0432-003.cnf", 20}, BenchFile{"sudoku.cnf", 10},
    BenchFile{"sudoku-hardest1.cnf.gz", 10}), bench_name);

class SoakWrenBenchFile : public testing::TestWithParam<BenchFile> {};
TEST_P(SoakWrenBenchFile, KnownStatus) {
  if (!soak()) GTEST_SKIP() << "set KESTRANE_SOAK to run";
  run_bench_file(GetParam());
}
INSTANTIATE_TEST_SUITE_P(Files, SoakWrenBenchFile, testing::Values(
    BenchFile{"uf250-02.cnf", 10}, BenchFile{"uuf250-04.cnf", 20},
    BenchFile{"Hidoku_enu_6.cnf", 10},
    BenchFile{"38bits_10.dimacs.cnf.gz", 10},
    BenchFile{"manthey_DimacsSorter_28_3.cnf.gz", 10},
    BenchFile{"quad_res_r21_m22.cnf.gz", 10}), bench_name);
// clang-format on

}  // namespace
