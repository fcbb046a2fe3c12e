// Proof traces, cores and failed assumptions of the Tern engine, byte for
// byte on small refutations whose derivations are fixed by the design.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sat/tern.hpp"
#include "tests/tools/lib/engine_calls.hpp"

namespace {

using engine_calls::add_clause;
using engine_calls::capture;

std::string rup_header(const std::string &text) {
  std::string h = text;
  h.resize(256, ' ');
  return h + "\n";
}

struct TernTrace : ::testing::Test {
  void SetUp() override {
    tern_init();
    tern_enable_trace_generation();
  }
  void TearDown() override { tern_reset(); }
};

}  // namespace

// (1) and (-1): the second clause, added at level 0 with its literal false,
// is shortened to the empty clause from both originals.
TEST_F(TernTrace, AllFourFormatsOfAUnitClash) {
  add_clause({1});
  add_clause({-1});
  ASSERT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(capture(tern_write_extended_trace), "1 1 0 0\n2 -1 0 0\n3 0 1 2 0\n");
  EXPECT_EQ(capture(tern_write_compact_trace), "1 1 0 0\n2 -1 0 0\n3 * 1 2 0\n");
  EXPECT_EQ(capture(tern_write_rup_trace), rup_header("%RUPD32 1 2") + "0\n");
  EXPECT_EQ(capture(tern_write_clausal_core), "p cnf 1 2\n1 0\n-1 0\n");
  // writing again gives the same bytes
  EXPECT_EQ(capture(tern_write_extended_trace), "1 1 0 0\n2 -1 0 0\n3 0 1 2 0\n");
}

// A trivially satisfied clause keeps its slot in the exported numbering and
// never enters the core.
TEST_F(TernTrace, TrivialClausesKeepTheirNumbers) {
  add_clause({1, -1});
  add_clause({1});
  add_clause({-1});
  ASSERT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(capture(tern_write_extended_trace), "2 1 0 0\n3 -1 0 0\n4 0 2 3 0\n");
  EXPECT_EQ(tern_coreclause(0), 0);
  EXPECT_EQ(tern_coreclause(1), 1);
  EXPECT_EQ(tern_coreclause(2), 1);
  EXPECT_EQ(capture(tern_write_rup_trace), rup_header("%RUPD32 1 3") + "0\n");
}

TEST_F(TernTrace, OriginalEmptyClauseIsTheWholeCore) {
  add_clause({1, 2});
  add_clause({});
  ASSERT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(capture(tern_write_extended_trace), "2 0 0\n");
  EXPECT_EQ(capture(tern_write_clausal_core), "p cnf 2 1\n0\n");
  EXPECT_EQ(tern_coreclause(0), 0);
  EXPECT_EQ(tern_coreclause(1), 1);
}

// Assuming 1 and -3 under (-1 2) (-2 3): -3 is found false with a reason
// whose other variable was forced; the analysis learns (-1 3) from both
// clauses, and that derivation is the core.
TEST_F(TernTrace, FailedAssumptionAnalysisLearnsTheImplyingClause) {
  add_clause({-1, 2});
  add_clause({-2, 3});
  add_clause({4, 5});
  tern_assume(1);
  tern_assume(-3);
  ASSERT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(capture(tern_write_extended_trace), "1 -1 2 0 0\n2 -2 3 0 0\n4 -1 3 0 1 2 0\n");
  EXPECT_EQ(tern_failed_assumption(1), 1);
  EXPECT_EQ(tern_failed_assumption(-3), 1);
  EXPECT_EQ(tern_failed_assumption(4), 0);
  EXPECT_EQ(tern_coreclause(0), 1);
  EXPECT_EQ(tern_coreclause(1), 1);
  EXPECT_EQ(tern_coreclause(2), 0);
  EXPECT_EQ(tern_corelit(2), 1);
  EXPECT_EQ(tern_corelit(5), 0);
  // the next call without assumptions is satisfiable and clears the marks
  ASSERT_EQ(tern_sat(-1), 10);
  tern_assume(-3);
  ASSERT_EQ(tern_sat(-1), 10);
}

TEST_F(TernTrace, IncrementalRupOutputWritesLearnedClausesAsTheyCome) {
  FILE *f = tmpfile();
  tern_set_incremental_rup_file(f, 1, 2);
  add_clause({1});
  add_clause({-1});
  ASSERT_EQ(tern_sat(-1), 20);
  fflush(f);
  rewind(f);
  std::string s;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  EXPECT_EQ(s, rup_header("%RUPD32 1 2") + "0\n");
}

// Pigeonhole with three holes: a refutation with conflicts at several
// levels. Every original line repeats its clause; the trace ends in the
// empty clause; the clausal core lists exactly the core clauses.
TEST_F(TernTrace, RefutationTraceIsConsistentWithTheCoreQueries) {
  const int holes = 3, pigeons = 4;
  auto var = [](int p, int h) { return p * 3 + h + 1; };
  int clauses = 0;
  for (int p = 0; p < pigeons; p++) {
    for (int h = 0; h < holes; h++) tern_add(var(p, h));
    tern_add(0);
    clauses++;
  }
  for (int h = 0; h < holes; h++)
    for (int p = 0; p < pigeons; p++)
      for (int q = p + 1; q < pigeons; q++) {
        add_clause({-var(p, h), -var(q, h)});
        clauses++;
      }
  ASSERT_EQ(tern_sat(-1), 20);
  std::string trace = capture(tern_write_extended_trace);
  std::string core = capture(tern_write_clausal_core);
  int in_core = 0;
  for (int i = 0; i < clauses; i++) in_core += tern_coreclause(i);
  EXPECT_EQ(core.substr(0, core.find('\n')), "p cnf 12 " + std::to_string(in_core));
  EXPECT_EQ(in_core, clauses);  // pigeonhole needs every clause
  EXPECT_NE(trace.find(" 0 "), std::string::npos);
  size_t last = trace.rfind('\n', trace.size() - 2);
  std::string tail = trace.substr(last + 1);
  // the last line is the empty clause: "<index> 0 <antecedents> 0"
  EXPECT_EQ(tail.substr(tail.find(' '), 3), " 0 ") << tail;
}
