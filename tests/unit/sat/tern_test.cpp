// Interface of the Tern engine: the state machine, the queries, memory
// accounting and every usage message ("*** tern: ..." on the error stream,
// then abort), including the checks on zero and oversized literals.
#include "sat/tern.hpp"
#include "tests/tools/lib/engine_calls.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using engine_calls::add_clause;
using engine_calls::capture;

// Every test leaves the process-wide engine in RESET.
struct Tern : ::testing::Test {
  void TearDown() override {
    if (tern_variables() >= 0 && engine_live) tern_reset();
  }
  void init() {
    tern_init();
    engine_live = true;
  }
  void reset() {
    tern_reset();
    engine_live = false;
  }
  bool engine_live = false;
};

using TernDeath = Tern;

}  // namespace

TEST_F(Tern, EmptyFormulaIsSatisfiableAndUnknownVariablesReadZero) {
  init();
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_res(), 10);
  EXPECT_EQ(tern_deref(5), 0);
  EXPECT_EQ(tern_deref(-5), 0);
  EXPECT_EQ(tern_inconsistent(), 0);
}

TEST_F(Tern, AddReturnsTheIndexOfTheClauseAndTrivialClausesKeepTheirSlot) {
  init();
  tern_enable_trace_generation();
  EXPECT_EQ(tern_add(1), 0);
  EXPECT_EQ(tern_add(-1), 0);
  EXPECT_EQ(tern_add(0), 0);  // x or -x: empty slot 0
  EXPECT_EQ(tern_add(2), 1);
  EXPECT_EQ(tern_add(0), 1);  // unit 2
  add_clause({2, 3});         // true at level 0: empty slot 2
  add_clause({-2});
  EXPECT_EQ(tern_added_original_clauses(), 4);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_coreclause(0), 0);
  EXPECT_EQ(tern_coreclause(1), 1);
  EXPECT_EQ(tern_coreclause(2), 0);
  EXPECT_EQ(tern_coreclause(3), 1);
  EXPECT_EQ(tern_corelit(2), 1);
  EXPECT_EQ(tern_corelit(3), 0);
}

TEST_F(Tern, EmptyClauseMakesEveryCallUnsat) {
  init();
  add_clause({1, 2});
  EXPECT_EQ(tern_add(0), 1);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_inconsistent(), 1);
  tern_assume(1);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_failed_assumption(1), 0);
  add_clause({3});
  EXPECT_EQ(tern_sat(-1), 20);
}

TEST_F(Tern, ModelSatisfiesClausesAndQueriesReportLevels) {
  init();
  add_clause({1, 2});
  add_clause({-1, 2});
  add_clause({-2, 3, 4});
  add_clause({5});
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_deref(2), 1);
  EXPECT_EQ(tern_deref(-2), -1);
  EXPECT_EQ(tern_deref(5), 1);
  EXPECT_EQ(tern_deref_toplevel(5), 1);
  EXPECT_EQ(tern_deref_level(5), 0);
  EXPECT_EQ(tern_decision_lit(5), 0);  // forced by its unit clause
  EXPECT_EQ(tern_deref(3) == 1 || tern_deref(4) == 1, true);
  EXPECT_EQ(tern_usedlit(5), 1);
  EXPECT_EQ(tern_variables(), 5);
  EXPECT_GT(tern_max_bytes_allocated(), 0u);
}

TEST_F(Tern, AssumptionsHoldForOneCallOnly) {
  init();
  add_clause({1, 2});
  tern_assume(-1);
  tern_assume(-2);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_failed_assumption(-1), 1);
  EXPECT_EQ(tern_failed_assumption(-2), 1);
  EXPECT_EQ(tern_failed_assumption(7), 0);  // above the largest variable
  EXPECT_EQ(tern_sat(-1), 10);
  tern_assume(-1);
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_deref(2), 1);
}

TEST_F(Tern, AssumptionFalseAtLevelZeroFailsAlone) {
  init();
  add_clause({-3});
  add_clause({1, 2});
  tern_assume(1);
  tern_assume(3);
  tern_assume(2);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_failed_assumption(3), 1);
  EXPECT_EQ(tern_failed_assumption(1), 0);
  EXPECT_EQ(tern_failed_assumption(2), 0);
}

// Assumptions x and -x clash: the clash is the whole core, no clause takes
// part and both assumptions fail (the failed assumption has no reason to
// start the core computation from).
TEST_F(Tern, ClashingAssumptionsFormTheirOwnCore) {
  init();
  tern_enable_trace_generation();
  add_clause({1, 2});
  add_clause({-1, 3});
  tern_assume(4);
  tern_assume(-4);
  EXPECT_EQ(tern_sat(-1), 20);
  EXPECT_EQ(tern_failed_assumption(4), 1);
  EXPECT_EQ(tern_failed_assumption(-4), 1);
  EXPECT_EQ(tern_failed_assumption(1), 0);
  EXPECT_EQ(tern_coreclause(0), 0);
  EXPECT_EQ(tern_coreclause(1), 0);
  EXPECT_EQ(tern_corelit(4), 0);
  EXPECT_EQ(capture(tern_write_extended_trace), "");
  EXPECT_EQ(capture(tern_write_clausal_core), "p cnf 4 0\n");
  // the engine goes on normally
  EXPECT_EQ(tern_sat(-1), 10);
}

TEST_F(Tern, DecisionLimitZeroAnswersUnknown) {
  init();
  add_clause({1, 2, 3});
  add_clause({-1, -2});
  EXPECT_EQ(tern_sat(0), 0);
  EXPECT_EQ(tern_res(), 0);
  EXPECT_EQ(tern_sat(-1), 10);
}

TEST_F(Tern, ImportanceMarksAreClearedByScoreReset) {
  init();
  add_clause({1, 2});
  tern_set_more_important_lit(1);
  tern_set_more_important_lit(-1);  // same mark again: left alone
  tern_reset_scores();
  tern_set_less_important_lit(1);
  tern_reset_phases();
  EXPECT_EQ(tern_sat(-1), 10);
}

TEST_F(Tern, DefaultPhasesDecideTheModelOfAnUnconstrainedFormula) {
  for (int phase = 0; phase < 2; phase++) {
    init();
    for (int v = 1; v < 6; v++) add_clause({v, -(v + 1)});  // all false or all true
    tern_set_global_default_phase(phase);
    EXPECT_EQ(tern_sat(-1), 10);
    for (int v = 1; v <= 6; v++) EXPECT_EQ(tern_deref(v), phase ? 1 : -1) << v;
    reset();
  }
  init();
  add_clause({1, 2});
  tern_set_global_default_phase(0);
  tern_set_default_phase_lit(2, 1);
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_deref(2), 1);
  EXPECT_EQ(tern_deref(1), -1);
}

TEST_F(Tern, ChangedReportsPhaseFlipsOfOldVariables) {
  init();
  add_clause({1, 2});
  tern_set_global_default_phase(1);
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_changed(), 0);
  tern_assume(-1);
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_changed(), 1);
}

TEST_F(Tern, AdjustAndIncMaxVarCreateVariables) {
  init();
  tern_adjust(-7);
  EXPECT_EQ(tern_variables(), 7);
  EXPECT_EQ(tern_inc_max_var(), 8);
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_haveados(), 0);
  EXPECT_NE(tern_copyright(), nullptr);
}

TEST_F(Tern, PrintWritesClausesAndAssumptions) {
  init();
  add_clause({2, -1});
  add_clause({3, 1, -2});
  tern_assume(-3);
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  tern_print(f);
  fclose(f);
  EXPECT_EQ(std::string(buf, len), "p cnf 3 3\n-1 2 0\n1 -2 3 0\n-3 0\n");
  free(buf);
}

TEST_F(Tern, StatisticsAndReportLines) {
  init();
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  tern_set_output(f);
  tern_set_prefix("c [t] ");
  tern_set_verbosity(1);
  add_clause({1, 2});
  add_clause({-1, 2});
  EXPECT_EQ(tern_sat(-1), 10);
  tern_stats();
  tern_message(1, "hello %d", 7);
  tern_message(2, "hidden");
  fclose(f);
  std::string out(buf, len);
  free(buf);
  const std::string header =
      "c [t] \n"
      "c [t]  seconds       variables     original      learned       agility\n"
      "c [t]  " "      " " level" "          " "  used" "          " "conflicts " "    " " limit\n"
      "c [t] \n";
  EXPECT_EQ(out.compare(0, header.size(), header), 0) << out;
  EXPECT_NE(out.find("c [t] 1 "), std::string::npos) << out;
  EXPECT_NE(out.find("c [t] 0 conflicts\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" propagations\n"), std::string::npos);
  EXPECT_NE(out.find("MB maximally allocated\n"), std::string::npos);
  EXPECT_EQ(out.find("calls\n"), std::string::npos);  // a single call
  EXPECT_NE(out.find("c [t] hello 7\n"), std::string::npos);
  EXPECT_EQ(out.find("hidden"), std::string::npos);
  tern_set_output(stdout);
}

TEST_F(Tern, TimedSectionsNest) {
  init();
  tern_enter();
  tern_enter();
  tern_leave();
  tern_leave();
  EXPECT_GE(tern_seconds(), 0.0);
  EXPECT_GT(tern_time_stamp(), 0.0);
}

// Memory per clause stays within a small constant factor of the literal
// data: 100000 original clauses of ten literals hold 4 MB of literals.
TEST_F(Tern, MemoryPerClauseIsASmallFactorOfItsLiterals) {
  init();
  uint32_t s = 1;
  const int kClauses = 100000, kLen = 10, kVars = 5000;
  for (int i = 0; i < kClauses; i++) {
    for (int j = 0; j < kLen; j++) {
      s = s * 1664525u + 1013904223u;
      long long v = 1 + (s >> 8) % kVars;
      tern_add((s & 1) ? v : -v);
    }
    tern_add(0);
  }
  double literal_bytes = 4.0 * kClauses * kLen;
  EXPECT_LT((double)tern_max_bytes_allocated(), 3.0 * literal_bytes);
}

namespace {
size_t hook_bytes = 0, hook_calls = 0;
int manager_token;
void *hook_new(void *mgr, size_t bytes) {
  EXPECT_EQ(mgr, &manager_token);
  hook_bytes += bytes;
  hook_calls++;
  return malloc(bytes);
}
void *hook_resize(void *mgr, void *p, size_t old_bytes, size_t new_bytes) {
  EXPECT_EQ(mgr, &manager_token);
  hook_bytes = hook_bytes - old_bytes + new_bytes;
  hook_calls++;
  return realloc(p, new_bytes);
}
void hook_delete(void *mgr, void *p, size_t bytes) {
  EXPECT_EQ(mgr, &manager_token);
  hook_bytes -= bytes;
  free(p);
}
}  // namespace

TEST_F(Tern, ExternalMemoryManagerSeesBalancedAllocations) {
  tern_set_new(&manager_token, hook_new);
  tern_set_resize(&manager_token, hook_resize);
  tern_set_delete(&manager_token, hook_delete);
  init();
  add_clause({1, 2, 3});
  add_clause({-1, -2});
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_GT(hook_calls, 0u);
  reset();
  EXPECT_EQ(hook_bytes, 0u);
}

// ---------------------------------------------------------------------------
// Usage messages.

#define TERN_DIES(stmt, msg) EXPECT_DEATH(stmt, "\\*\\*\\* tern: " msg)

TEST_F(TernDeath, InitialisationAndStateMisuse) {
  TERN_DIES(tern_add(1), "API usage: uninitialized");
  TERN_DIES(tern_reset(), "API usage: uninitialized");
  TERN_DIES({ tern_init(); tern_init(); }, "API usage: multiple initializations");
  TERN_DIES({ tern_init(); tern_add(1); tern_sat(-1); }, "API usage: incomplete clause");
  TERN_DIES({ tern_init(); tern_add(1); tern_add(0); tern_deref(1); },
            "API usage: expected to be in SAT state");
  TERN_DIES({ tern_init(); tern_sat(-1); tern_add(1); tern_add(0); tern_deref(1); },
            "API usage: expected to be in SAT state");
  TERN_DIES({ tern_init(); tern_sat(-1); tern_coreclause(0); },
            "API usage: expected to be in UNSAT state");
  TERN_DIES({ tern_init(); tern_remove_learned(50); },
            "API usage: expected to be in SAT, UNSAT, or UNKNOWN state");
  TERN_DIES({ tern_init(); tern_usedlit(1); },
            "API usage: expected to be in SAT, UNSAT, or UNKNOWN state");
  TERN_DIES({ tern_init(); tern_add(1); tern_add(0); tern_enable_trace_generation(); },
            "API usage: trace generation enabled after adding clauses");
}

TEST_F(TernDeath, ZeroLiterals) {
  TERN_DIES({ tern_init(); tern_sat(-1); tern_deref(0); }, "API usage: can not deref zero literal");
  TERN_DIES({ tern_init(); tern_sat(-1); tern_deref_level(0); },
            "API usage: can not deref zero literal");
  TERN_DIES({ tern_init(); tern_sat(-1); tern_usedlit(0); },
            "API usage: zero literal can not be used");
  TERN_DIES({ tern_init(); tern_enable_trace_generation(); tern_add(0); tern_sat(-1);
              tern_corelit(0); }, "API usage: zero literal can not be in core");
  TERN_DIES({ tern_init(); tern_add(0); tern_sat(-1); tern_failed_assumption(0); },
            "API usage: zero literal as assumption");
  // refused before they touch variable 0
  TERN_DIES({ tern_init(); tern_assume(0); }, "API usage: zero literal as assumption");
  TERN_DIES({ tern_init(); tern_set_default_phase_lit(0, 1); },
            "API usage: zero literal can not have a default phase");
  TERN_DIES({ tern_init(); tern_set_more_important_lit(0); },
            "API usage: zero literal can not be marked important");
  TERN_DIES({ tern_init(); tern_set_less_important_lit(0); },
            "API usage: zero literal can not be marked important");
}

TEST_F(TernDeath, EmptyClauseQueries) {
  TERN_DIES({ tern_init(); tern_add(0); tern_sat(-1); tern_deref_toplevel(1); },
            "API usage: deref after empty clause generated");
}

// 64-bit literals beyond the engine's range are refused, never narrowed to
// 32 bits (variable 2^32 + 1 must not become variable 1).
TEST_F(TernDeath, VariablesBeyondTheIndexableRangeAreRefused) {
  TERN_DIES({ tern_init(); tern_add(2147483648LL); },
            "API usage: literal 2147483648 exceeds the largest variable 2147483647");
  TERN_DIES({ tern_init(); tern_add(-(1LL << 32) - 1); },
            "API usage: literal -4294967297 exceeds the largest variable 2147483647");
  TERN_DIES({ tern_init(); tern_assume(1LL << 40); }, "API usage: literal 1099511627776 exceeds the largest variable");
  TERN_DIES({ tern_init(); tern_set_more_important_lit(1LL << 31); },
            "API usage: literal 2147483648 exceeds the largest variable");
  TERN_DIES({ tern_init(); tern_add(INT_MIN); }, "API usage: INT_MIN literal");
}

TEST_F(Tern, LargeQueryLiteralsAreUnknownVariables) {
  init();
  add_clause({1});
  EXPECT_EQ(tern_sat(-1), 10);
  EXPECT_EQ(tern_deref(1LL << 32 | 1), 0);  // not variable 1
  EXPECT_EQ(tern_deref(1), 1);
}

TEST_F(TernDeath, CoreAndTraceMisuse) {
  auto unsat = [](bool trace) {
    tern_init();
    if (trace) tern_enable_trace_generation();
    tern_add(1);
    tern_add(0);
    tern_add(-1);
    tern_add(0);
    tern_sat(-1);
  };
  TERN_DIES({ unsat(true); tern_coreclause(-1); }, "API usage: negative original clause index");
  TERN_DIES({ unsat(true); tern_coreclause(2); }, "API usage: original clause index exceeded");
  TERN_DIES({ unsat(false); tern_coreclause(0); }, "tracing disabled");
  TERN_DIES({ unsat(false); tern_corelit(1); }, "tracing disabled");
  TERN_DIES({ unsat(false); tern_write_extended_trace(stdout); }, "API usage: tracing disabled");
  TERN_DIES({ unsat(false); tern_write_rup_trace(stdout); }, "API usage: tracing disabled");
  TERN_DIES({ unsat(true); tern_add(2); tern_write_extended_trace(stdout); },
            "API usage: expected to be in UNSAT state");
}

TEST_F(TernDeath, OptionMisuse) {
  TERN_DIES({ tern_init(); tern_set_global_default_phase(-1); },
            "API usage: 'tern_set_global_default_phase' with negative argument");
  TERN_DIES({ tern_init(); tern_set_global_default_phase(4); },
            "API usage: 'tern_set_global_default_phase' with argument > 3");
  TERN_DIES({ tern_init(); tern_set_more_important_lit(3); tern_set_less_important_lit(-3); },
            "can not mark variable more and less important");
  TERN_DIES({ tern_init(); tern_set_less_important_lit(3); tern_set_more_important_lit(3); },
            "can not mark variable more and less important");
  TERN_DIES({ tern_init(); tern_add_ado_lit(1); },
            "compiled without all different constraint support");
  TERN_DIES({ tern_init(); tern_set_new(nullptr, hook_new); }, "API usage: 'tern_set_new' after 'tern_init'");
  TERN_DIES({ tern_init(); tern_set_resize(nullptr, hook_resize); },
            "API usage: 'tern_set_resize' after 'tern_init'");
  TERN_DIES({ tern_init(); tern_set_delete(nullptr, hook_delete); },
            "API usage: 'tern_set_delete' after 'tern_init'");
  TERN_DIES({ tern_set_new(&manager_token, hook_new); tern_init(); },
            "API usage: missing 'tern_set_resize'");
  TERN_DIES({ tern_set_resize(&manager_token, hook_resize); tern_init(); },
            "API usage: missing 'tern_set_new'");
  TERN_DIES({ tern_set_new(&manager_token, hook_new); tern_set_resize(&manager_token, hook_resize);
              tern_init(); }, "API usage: missing 'tern_set_delete'");
  TERN_DIES({ tern_set_new(&manager_token, hook_new); tern_set_resize(nullptr, hook_resize); },
            "API usage: mismatched external memory managers");
}

TEST_F(TernDeath, RupFileLimitsOriginalClauses) {
  TERN_DIES(
      {
        FILE *f = tmpfile();
        tern_init();
        tern_set_incremental_rup_file(f, 2, 2);
        tern_add(1);
        tern_add(0);
        tern_add(-1);
        tern_add(0);  // the empty clause is learned: the header is out
        tern_add(2);
        tern_add(0);
      },
      "API usage: adding too many clauses after RUP header written");
}

namespace {
void *failing_new(void *, size_t) { return nullptr; }
void *failing_resize(void *, void *, size_t, size_t) { return nullptr; }
void *plain_resize(void *, void *p, size_t, size_t n) { return realloc(p, n); }
void *plain_new(void *, size_t n) { return malloc(n); }
void plain_delete(void *, void *p, size_t) { free(p); }
}  // namespace

TEST_F(TernDeath, ExhaustedMemoryAborts) {
  TERN_DIES({ tern_set_new(nullptr, failing_new); tern_set_resize(nullptr, plain_resize);
              tern_set_delete(nullptr, plain_delete); tern_init(); },
            "out of memory in 'new'");
  TERN_DIES({ tern_set_new(nullptr, plain_new); tern_set_resize(nullptr, failing_resize);
              tern_set_delete(nullptr, plain_delete); tern_init(); tern_add(1000); },
            "out of memory in 'resize'");
}
