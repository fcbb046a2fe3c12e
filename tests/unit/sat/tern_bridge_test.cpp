// One-shot wrapper TernWrapper: answers against the reference solver on
// random and structured clause sets, models that satisfy the set, cores that
// are unsatisfiable subsets of the set, trace files, and the exits for an
// invalid answer and for variables the engine cannot index.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

#include "model/basic_clset.hpp"
#include "sat/tern_bridge.hpp"
#include "sat/tern_wrap_common.hpp"
#include "tests/tools/lib/trace_check.hpp"
#include "tests/tools/lib/wrap_testlib.hpp"

namespace {

void fill_set(BasicClauseSet &s, const WrapClauses &cls) {
  for (auto c : cls)
    s.create_clause(c);
}

WrapClauses as_lists(const std::vector<BasicClause *> &cls) {
  WrapClauses out;
  for (BasicClause *c : cls)
    out.push_back(c->lits);
  return out;
}

// One call on cls; checks the answer, the model or the core, and the order
// of the core (sending order = the set's order).
void check_one_call(const WrapClauses &cls, const std::string &what) {
  IDManager imgr;
  BasicClauseSet s;
  fill_set(s, cls);
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  w.init();
  int a = w.run_sat_solver();
  WrapClauses members = as_lists(s.clauses());
  ASSERT_EQ(a, wrap_reference_sat(members)) << what;
  if (a == 10) {
    EXPECT_TRUE(wrap_model_satisfies(members, model)) << what;
    EXPECT_TRUE(core.empty()) << what;
  } else {
    ASSERT_FALSE(core.empty()) << what;
    std::vector<BasicClause *> order = s.clauses();
    std::size_t pos = 0;
    for (BasicClause *c : core) {
      while (pos < order.size() && order[pos] != c)
        ++pos;
      ASSERT_LT(pos, order.size()) << what << ": core clause not in the set "
                                   << "or out of sending order";
    }
    EXPECT_EQ(wrap_reference_sat(as_lists(core)), 20)
        << what << ": core is satisfiable";
  }
  w.reset();
  EXPECT_TRUE(w.clindex.empty());
  s.clear_direct();
}

void to_stderr() { dup2(2, 1); }

// Clauses of a plain DIMACS file (comment and header lines skipped).
WrapClauses read_dimacs(const std::string &path) {
  std::ifstream in(path);
  WrapClauses cls;
  std::vector<long long> cur;
  std::string tok;
  while (in >> tok) {
    if (tok == "c" || tok == "p") {
      std::getline(in, tok);
      continue;
    }
    long long l = std::stoll(tok);
    if (l == 0) {
      cls.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(l);
    }
  }
  return cls;
}

// One call on the clause (1, lit), messages on the error stream.
void solve_with_literal(long long lit) {
  to_stderr();
  IDManager imgr;
  BasicClauseSet s;
  LitVector c{1, lit};
  s.create_clause(c);
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  w.run_sat_solver();
}

} // namespace

TEST(TernWrapper, RandomSetsAgreeWithReference) {
  for (unsigned seed = 1; seed <= 150 * wrap_soak_factor(); ++seed) {
    std::mt19937_64 rng(seed);
    int n = 4 + static_cast<int>(rng() % 20);
    int m = n * 3 + static_cast<int>(rng() % (n * 3));
    check_one_call(wrap_random_cnf(rng, n, m, 4),
                   "seed " + std::to_string(seed));
    if (HasFatalFailure())
      return;
  }
}

TEST(TernWrapper, StructuredSets) {
  for (int h = 2; h <= 5; ++h)
    check_one_call(wrap_pigeonhole(h), "pigeonhole " + std::to_string(h));
  for (int n : {1, 2, 30})
    for (bool closed : {false, true})
      check_one_call(wrap_implication_chain(n, closed),
                     "chain " + std::to_string(n) + (closed ? " closed" : ""));
}

TEST(TernWrapper, BenchmarkInstances) {
  // Small real instances with their known status; cores checked as above.
  const char *files[] = {"uf20-01.cnf",         "uf50-01.cnf",
                         "uf100-01.cnf",        "ssa0432-003.cnf",
                         "sat-bench-unsat.cnf", "sat-bench-unsat2.cnf",
                         "empty.cnf",           "empty-clause.cnf"};
  for (const char *f : files) {
    std::string path = std::string(KESTRANE_BENCH_DIR) + "/cnf-sat/" + f;
    WrapClauses cls = read_dimacs(path);
    ASSERT_TRUE(!cls.empty() || std::string(f) == "empty.cnf") << path;
    check_one_call(cls, f);
  }
}

TEST(TernWrapper, ChainCoreIsWholeChainAmongDistractors) {
  // The refutation needs every chain clause; the extra clauses over other
  // variables must stay out of the core.
  WrapClauses cls = wrap_implication_chain(8, true);
  cls.push_back({20, 21});
  cls.push_back({-20, 22});
  IDManager imgr;
  BasicClauseSet s;
  fill_set(s, cls);
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  ASSERT_EQ(w.run_sat_solver(), 20);
  EXPECT_EQ(core.size(), 9u);
  for (BasicClause *c : core)
    EXPECT_LT(std::llabs(c->lits.back()), 20);
  w.reset();
  s.clear_direct();
}

TEST(TernWrapper, EmptySetAndEmptyClause) {
  IDManager imgr;
  imgr.top_id = 5;
  BasicClauseSet s;
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  EXPECT_EQ(w.run_sat_solver(), 10);
  EXPECT_EQ(w.max_var, 0u);
  EXPECT_EQ(model.size(), 1u); // grown to one entry, nothing written
  w.reset();

  LitVector none;
  BasicClause *empty = s.create_clause(none);
  LitVector taut{3, -3};
  BasicClause *t = s.create_clause(taut);
  LitVector u{4};
  s.create_clause(u);
  EXPECT_EQ(w.run_sat_solver(), 20);
  ASSERT_EQ(core.size(), 1u);
  EXPECT_EQ(core[0], empty);
  EXPECT_EQ(w.clindex.size(), 3u); // the tautology keeps its slot
  EXPECT_EQ(w.clindex[1], t);
  w.reset();
  s.clear_direct();
}

TEST(TernWrapper, CoresAccumulateAndModelOnlyGrows) {
  IDManager imgr;
  BasicClauseSet s;
  fill_set(s, {{1}, {-1}});
  std::vector<long long> model(10, 7);
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  ASSERT_EQ(w.run_sat_solver(), 20);
  w.reset();
  ASSERT_EQ(w.run_sat_solver(), 20);
  w.reset();
  EXPECT_EQ(core.size(), 4u); // both cores, the first first
  EXPECT_EQ(core[0], core[2]);
  EXPECT_EQ(model, std::vector<long long>(10, 7)); // untouched on 20
  s.clear_direct();

  fill_set(s, {{1, 2}, {-2}});
  ASSERT_EQ(w.run_sat_solver(), 10);
  EXPECT_EQ(model.size(), 10u);
  EXPECT_EQ(model[0], 7);
  EXPECT_EQ(model[1], 1);
  EXPECT_EQ(model[2], -1);
  EXPECT_EQ(model[3], 7); // above the largest variable: kept
  w.reset();
  s.clear_direct();
}

TEST(TernWrapper, TracesNumberedFromOneOnUnsatOnly) {
  std::string dir = wrap_temp_dir();
  std::string prefix = dir + "/zor-unsat-trace";
  IDManager imgr;
  BasicClauseSet s;
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core, prefix.c_str());
  fill_set(s, {{1, 2}});
  ASSERT_EQ(w.run_sat_solver(), 10);
  w.reset();
  EXPECT_EQ(w.trace_count, 0);
  s.clear_direct();
  fill_set(s, {{1, 2}, {-1}, {-2}});
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(w.run_sat_solver(), 20);
    w.reset();
  }
  EXPECT_EQ(w.trace_count, 3);
  for (int i = 1; i <= 3; ++i) {
    std::ifstream f(prefix + "-f" + std::to_string(i) + ".txt");
    ASSERT_TRUE(f.good()) << i;
    std::string line;
    int lines = 0;
    while (std::getline(f, line))
      ++lines;
    EXPECT_GE(lines, 3); // at least the three original core clauses
  }
  EXPECT_FALSE(std::ifstream(prefix + "-f4.txt").good());
  s.clear_direct();

  // The trace is a refutation of the clauses in sending order whose input
  // lines are exactly the core.
  fill_set(s, wrap_pigeonhole(3));
  core.clear();
  ASSERT_EQ(w.run_sat_solver(), 20);
  std::vector<std::vector<int>> input;
  for (BasicClause *c : s)
    input.emplace_back(c->lits.begin(), c->lits.end());
  std::ifstream f(prefix + "-f4.txt");
  std::string trace((std::istreambuf_iterator<char>(f)),
                    std::istreambuf_iterator<char>());
  engine_test::TraceCheck tc =
      engine_test::check_extended_trace(input, trace, true);
  EXPECT_TRUE(tc.ok) << tc.error;
  std::vector<BasicClause *> from_trace;
  for (int i : tc.original_indices)
    from_trace.push_back(w.clindex[static_cast<std::size_t>(i)]);
  std::sort(from_trace.begin(), from_trace.end());
  std::sort(core.begin(), core.end());
  EXPECT_EQ(from_trace, core);
  w.reset();
  s.clear_direct();
}

TEST(TernWrapper, UnwritableTraceIsReportedAndRunGoesOn) {
  IDManager imgr;
  BasicClauseSet s;
  fill_set(s, {{1}, {-1}});
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core, "/nonexistent-dir/zor-unsat-trace");
  testing::internal::CaptureStdout();
  int a = w.run_sat_solver();
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(a, 20);
  EXPECT_NE(out.find("WARN: Cannot open trace file"), std::string::npos);
  EXPECT_EQ(core.size(), 2u);
  w.reset();
  s.clear_direct();
}

TEST(TernWrapper, StringitWritesDecimal) {
  EXPECT_EQ(stringit<long>(0), "0");
  EXPECT_EQ(stringit<long>(-42), "-42");
  EXPECT_EQ(stringit<long>(LONG_MAX), "9223372036854775807");
}

using TernWrapperDeathTest = testing::Test;

TEST(TernWrapperDeathTest, InvalidAnswerEndsRunWithStatus3) {
  EXPECT_EXIT((to_stderr(), tern_wrap::check_answer(0)),
              testing::ExitedWithCode(3),
              "ERROR: Invalid SAT solver outcome. Contact author.");
  EXPECT_EXIT((to_stderr(), tern_wrap::check_answer(30)),
              testing::ExitedWithCode(3), "Invalid SAT solver outcome");
}

TEST(TernWrapperDeathTest, VariablesBeyondEngineRangeAreRefused) {
  for (long long lit : {2147483648LL, -2147483648LL, LLONG_MAX, 4294967297LL})
    EXPECT_EXIT(solve_with_literal(lit), testing::ExitedWithCode(3),
                "exceeds the largest variable the SAT solver can index")
        << lit;
  // The smallest long long cannot enter a clause (no absolute value), but
  // the check itself must hold for it, as for an assumption.
  EXPECT_EXIT((to_stderr(), tern_wrap::check_engine_lit(LLONG_MIN)),
              testing::ExitedWithCode(3),
              "Variable 9223372036854775808 exceeds the largest variable");
  EXPECT_EXIT((to_stderr(), tern_wrap::check_engine_lit(0)),
              testing::ExitedWithCode(3), "Literal 0");
}

TEST(TernWrapper, LargestIndexableVariableIsAccepted) {
  // The engine allocates tables up to the variable, so stay moderate while
  // still crossing the 16-bit range.
  IDManager imgr;
  BasicClauseSet s;
  fill_set(s, {{-70000}, {70000, 1}});
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper w(imgr, s, model, core);
  ASSERT_EQ(w.run_sat_solver(), 10);
  EXPECT_EQ(w.max_var, 70000u);
  EXPECT_EQ(model[70000], -1);
  EXPECT_EQ(model[1], 1);
  w.reset();
  s.clear_direct();
}
