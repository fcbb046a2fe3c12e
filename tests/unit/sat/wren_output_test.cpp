// Text output of the Wren solver: DIMACS writing, clause export and the
// statistics lines shown by verbosity.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "sat/solver.hpp"
#include "tests/tools/lib/wren_cnf.hpp"
#include "tests/tools/lib/wren_harness.hpp"

using namespace Wren;

namespace {

vec<Lit>& lits(vec<Lit>& out, std::initializer_list<int> dimacs) {
  out.clear();
  for (int l : dimacs) out.push(mkLit(l < 0 ? -l : l, l < 0));
  return out;
}

std::string dimacs_of(Solver& s) {
  char* buf = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&buf, &len);
  vec<Lit> unused;
  s.toDimacs(f, unused);
  std::fclose(f);
  std::string out(buf, len);
  std::free(buf);
  return out;
}

void make_vars(Solver& s, int n) {
  while (s.nVars() <= n) s.newVar(true, true);
}

}  // namespace

TEST(WrenDimacs, UnsatisfiableSolverWritesAFixedContradiction) {
  Solver s;
  make_vars(s, 3);
  vec<Lit> ps;
  s.addClause_(lits(ps, {1}));
  s.addClause_(lits(ps, {-1}));
  EXPECT_EQ(dimacs_of(s), "p cnf 1 2\n1 0\n-1 0\n");
}

TEST(WrenDimacs, AllSatisfiedWritesAnEmptyHeader) {
  Solver s;
  make_vars(s, 3);
  vec<Lit> ps;
  s.addClause_(lits(ps, {1, 2}));
  s.addClause_(lits(ps, {1, -3}));
  s.addClause_(lits(ps, {1}));
  EXPECT_EQ(dimacs_of(s), "p cnf 0 0\n");
}

TEST(WrenDimacs, RenumbersDenselyAndDropsFalseLiterals) {
  Solver s;
  make_vars(s, 9);
  vec<Lit> ps;
  s.addClause_(lits(ps, {9, 7, -5}));  // stored sorted: -5 7 9
  s.addClause_(lits(ps, {8, -9}));
  s.addClause_(lits(ps, {-7}));         // 7 false from here on
  s.addClause_(lits(ps, {4, 6}));
  s.addClause_(lits(ps, {-6}));         // satisfies (4 6) through 4
  EXPECT_EQ(dimacs_of(s), "p cnf 3 2\n-1 2 0\n3 -2 0\n");
  // An assumption on a variable of no written clause gets the next number
  // after the header was written, which does not count it.
  s.assumptions.push(mkLit(2, true));
  s.assumptions.push(mkLit(5));
  EXPECT_EQ(dimacs_of(s), "p cnf 3 4\n-4 0\n1 0\n-1 2 0\n3 -2 0\n");
}

TEST(WrenDimacs, WrittenFileIsEquisatisfiable) {
  wrentest::Rng rng(5);
  wrentest::Cnf f = wrentest::random_ksat(40, 170, 3, rng);
  f.add({3});
  f.add({-11});
  Solver s;
  wrentest::wren_load(s, f);
  char name[] = "/tmp/wren-dimacs-XXXXXX";
  int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  vec<Lit> unused;
  s.verbosity = 1;
  testing::internal::CaptureStdout();
  s.toDimacs(name, unused);
  std::string said = testing::internal::GetCapturedStdout();
  int wrote_clauses = -1, wrote_vars = -1, used = 0;
  std::sscanf(said.c_str(), "Wrote %d clauses with %d variables.\n%n", &wrote_clauses,
              &wrote_vars, &used);
  EXPECT_EQ(used, (int)said.size()) << said;
  EXPECT_GT(wrote_clauses, 100);
  EXPECT_EQ(wrote_vars, 38);  // 40 variables, two fixed by units
  wrentest::Cnf g;
  std::string err;
  ASSERT_TRUE(wrentest::read_dimacs(name, g, err)) << err;
  std::remove(name);
  std::vector<bool> m1, m2;
  EXPECT_EQ(wrentest::wren_solve(f, m1), wrentest::wren_solve(g, m2));
}

TEST(WrenDimacsDeathTest, UnwritableFileEndsWithStatusOne) {
  EXPECT_EXIT(
      {
        Solver s;
        vec<Lit> unused;
        s.toDimacs("/nonexistent-dir/x.cnf", unused);
      },
      testing::ExitedWithCode(1), "could not open file /nonexistent-dir/x.cnf");
}

TEST(WrenClauses, GetClausesAppendsProblemClausesAndTheTrail) {
  Solver s;
  make_vars(s, 5);
  vec<Lit> ps;
  s.addClause_(lits(ps, {1, 2}));
  s.addClause_(lits(ps, {-3}));
  s.addClause_(lits(ps, {3, 4, 5}));
  vec<const Clause*> out;
  out.push(nullptr);  // not emptied
  const vec<Lit>* trail = nullptr;
  s.getClauses(out, trail);
  ASSERT_EQ(out.size(), 3);
  EXPECT_EQ(out[0], nullptr);
  ASSERT_EQ(out[1]->size(), 2);
  EXPECT_EQ((*out[1])[0], mkLit(1));
  ASSERT_EQ(out[2]->size(), 2);  // 3 was false at level 0: (4 5)
  ASSERT_NE(trail, nullptr);
  ASSERT_EQ(trail->size(), 1);
  EXPECT_EQ((*trail)[0], mkLit(3, true));
}

TEST(WrenStatistics, VerbosityPrintsTheSearchTable) {
  wrentest::Cnf f = wrentest::pigeonhole(8, 7);
  Solver s;
  wrentest::wren_load(s, f);
  s.verbosity = 2;
  s.garbage_frac = 1e-9;  // collect at every reduction
  testing::internal::CaptureStdout();
  EXPECT_EQ(s.solve_(), l_False);
  std::string out = testing::internal::GetCapturedStdout();
  const std::string rule =
      "===============================================================================\n";
  const std::string header =
      "============================[ Search Statistics ]==============================\n"
      "| Conflicts |          ORIGINAL         |          LEARNT          | Progress |\n"
      "|           |    Vars  Clauses Literals |    Limit  Clauses Lit/Cl |          |\n" +
      rule;
  ASSERT_EQ(out.compare(0, header.size(), header), 0) << out;
  ASSERT_GE(out.size(), header.size() + rule.size());
  EXPECT_EQ(out.substr(out.size() - rule.size()), rule);
  // Every line of the table is 79 characters wide.
  auto is_progress = [](const std::string& line) {
    int a, b, c, d, e, f, used = 0;
    double g, h;
    std::sscanf(line.c_str(), "| %d | %d %d %d | %d %d %lf | %lf %% |%n", &a, &b, &c, &d, &e,
                &f, &g, &h, &used);
    return line.size() == 79 && used == 79;
  };
  auto is_gc = [](const std::string& line) {
    int a, b, used = 0;
    std::sscanf(line.c_str(), "|  Garbage collection: %d bytes => %d bytes |%n", &a, &b, &used);
    return line.size() == 79 && used == 79 && line.compare(0, 25, "|  Garbage collection:   ") == 0;
  };
  int progress_lines = 0, gc_lines = 0;
  size_t pos = header.size();
  while (pos < out.size() - rule.size()) {
    size_t nl = out.find('\n', pos);
    std::string line = out.substr(pos, nl - pos);
    if (is_progress(line))
      progress_lines++;
    else if (is_gc(line))
      gc_lines++;
    else
      ADD_FAILURE() << "unexpected line: " << line;
    pos = nl + 1;
  }
  EXPECT_GT(progress_lines, 3);
  EXPECT_GT(gc_lines, 0);
}

TEST(WrenStatistics, SilentAtVerbosityZero) {
  wrentest::Cnf f = wrentest::pigeonhole(7, 6);
  Solver s;
  wrentest::wren_load(s, f);
  testing::internal::CaptureStdout();
  EXPECT_EQ(s.solve_(), l_False);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
