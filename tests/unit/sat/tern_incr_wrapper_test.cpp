// Incremental wrapper: many calls on one engine with clauses added between
// calls and changing assumptions, each answer equal to a fresh solve of the
// clauses so far under the assumptions; models satisfy both, failed
// assumptions are a subset of the assumptions and unsatisfiable with the
// clauses, traced cores are unsatisfiable with the failed assumptions.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <unistd.h>

#include "model/basic_clset.hpp"
#include "sat/tern_bridge.hpp"
#include "sat/tern_incr_wrapper.hpp"
#include "tests/tools/lib/wrap_testlib.hpp"

namespace {

WrapClauses with_units(WrapClauses cls, const std::vector<long long> &units) {
  for (long long u : units)
    cls.push_back({u});
  return cls;
}

// One seeded session of `calls` calls; tracing collects core clauses too.
void run_session(unsigned seed, int calls, bool trace, bool set_form,
                 int min_vars = 8) {
  std::mt19937_64 rng(seed);
  int n = min_vars + static_cast<int>(rng() % 12);
  BasicClauseSet holder; // keeps the clauses alive for the session
  WrapClauses sent;      // every clause sent so far
  TernIncrementalWrapper w;
  w.init(trace);
  for (int call = 0; call < calls; ++call) {
    std::string what =
        "seed " + std::to_string(seed) + " call " + std::to_string(call);
    WrapClauses fresh = wrap_random_cnf(rng, n, 1 + rng() % (n / 2), 3);
    std::vector<BasicClause *> batch;
    BasicClauseSet batch_set;
    for (auto c : fresh) {
      BasicClause *cl = holder.registry->create_clause(c);
      if (holder.contains(cl))
        continue; // the wrapper takes only clauses not sent before
      holder.insert_clause(cl);
      batch.push_back(cl);
      batch_set.insert_clause(cl);
      sent.push_back(cl->lits);
    }
    std::vector<long long> assume;
    for (int k = static_cast<int>(rng() % 5); k > 0; --k) {
      long long v = 1 + static_cast<long long>(rng() % n);
      assume.push_back(rng() & 1 ? v : -v);
    }
    std::vector<long long> out;
    BasicClauseSet core;
    int a;
    if (set_form)
      a = trace ? w.solve(batch_set, assume, out, core)
                : w.solve(batch_set, assume, out);
    else
      a = trace ? w.solve(batch, assume, out, core)
                : w.solve(batch, assume, out);
    ASSERT_EQ(a, wrap_reference_sat(with_units(sent, assume))) << what;
    if (a == 10) {
      // The model covers the variables of the clauses sent; an assumption
      // on a variable no clause mentions is not part of it.
      std::vector<long long> covered;
      for (long long l : assume)
        if (static_cast<unsigned long long>(std::llabs(l)) <= w.max_var)
          covered.push_back(l);
      EXPECT_TRUE(wrap_model_satisfies(with_units(sent, covered), out)) << what;
      EXPECT_EQ(out.size(), w.max_var + 1) << what;
    } else {
      for (long long f : out)
        EXPECT_NE(std::find(assume.begin(), assume.end(), f), assume.end())
            << what << ": failed literal " << f << " was not assumed";
      EXPECT_EQ(wrap_reference_sat(with_units(sent, out)), 20)
          << what << ": failed assumptions satisfiable with the clauses";
      if (trace && !out.empty()) {
        WrapClauses cc;
        for (BasicClause *c : core) {
          EXPECT_TRUE(holder.contains(c)) << what;
          cc.push_back(c->lits);
        }
        EXPECT_EQ(wrap_reference_sat(with_units(cc, out)), 20)
            << what << ": core clauses and failed assumptions satisfiable";
      }
    }
    EXPECT_EQ(w.assumptions, nullptr);
    EXPECT_EQ(w.output, nullptr);
    batch_set.clear_direct();
    core.clear_direct();
    if (a == 20 && out.empty())
      break; // the clauses alone are unsatisfiable from here on
  }
  w.reset();
  holder.clear_direct();
}

} // namespace

TEST(TernIncrementalWrapper, ManyCallsEqualFreshSolves) {
  for (unsigned seed = 1; seed <= 25 * wrap_soak_factor(); ++seed) {
    run_session(seed, 10, false, false);
    if (HasFatalFailure())
      return;
  }
}

TEST(TernIncrementalWrapper, TracedCallsCollectUnsatisfiableCores) {
  for (unsigned seed = 100; seed <= 100 + 15 * wrap_soak_factor(); ++seed) {
    run_session(seed, 10, true, false);
    if (HasFatalFailure())
      return;
  }
}

TEST(TernIncrementalWrapper, ClauseSetFormAgrees) {
  for (unsigned seed = 200; seed <= 200 + 10 * wrap_soak_factor(); ++seed) {
    run_session(seed, 8, seed % 2 == 0, true);
    if (HasFatalFailure())
      return;
  }
}

TEST(TernIncrementalWrapper, ModelsOfMoreThanHundredVariables) {
  // Outputs above 100 entries switch the learned-clause thinning to 80%.
  for (unsigned seed = 300; seed <= 305; ++seed) {
    run_session(seed, 8, false, false, 110);
    if (HasFatalFailure())
      return;
  }
}

TEST(TernIncrementalWrapper, EdgeCallsOnOneEngine) {
  BasicClauseSet holder;
  LitVector a{1, 2}, b{-1, 3};
  std::vector<BasicClause *> cls{holder.create_clause(a),
                                 holder.create_clause(b)};
  TernIncrementalWrapper w;
  w.init(false);
  std::vector<long long> none, out(6, 9);
  ASSERT_EQ(w.solve(cls, none, out), 10);
  EXPECT_EQ(out.size(), 6u);
  EXPECT_EQ(out[4], 9); // above the largest variable: kept
  EXPECT_EQ(out[5], 9);

  // An empty call re-solves the clauses sent before.
  std::vector<BasicClause *> empty;
  std::vector<long long> assume{-2, -3};
  out.clear();
  ASSERT_EQ(w.solve(empty, assume, out), 20);
  std::sort(out.begin(), out.end());
  EXPECT_EQ(out, (std::vector<long long>{-3, -2}));
  // Not emptied by the caller: the next failed set is appended.
  assume = {-3, -2, 1};
  ASSERT_EQ(w.solve(empty, assume, out), 20);
  EXPECT_GE(out.size(), 3u);

  // The clauses alone unsatisfiable: no assumption fails.
  LitVector c{-2}, d{-3};
  std::vector<BasicClause *> more{holder.create_clause(c),
                                  holder.create_clause(d)};
  std::vector<long long> out2, assume2{4};
  ASSERT_EQ(w.solve(more, assume2, out2), 20);
  EXPECT_TRUE(out2.empty());
  EXPECT_EQ(w.clindex.size(), 4u);
  EXPECT_EQ(w.clindex[3], more[1]);
  w.reset();

  // Usable again after reset: init empties the clause index.
  w.init(false);
  EXPECT_TRUE(w.clindex.empty());
  std::vector<long long> out3;
  ASSERT_EQ(w.solve(more, none, out3), 10);
  EXPECT_EQ(out3[2], -1);
  EXPECT_EQ(out3[3], -1);
  w.reset();
  holder.clear_direct();
}

TEST(TernIncrementalWrapper, EngineQueriesAfterClauseSetSolve) {
  BasicClauseSet holder;
  LitVector a{1}, b{-1, 2}, c{3, 4};
  holder.create_clause(a);
  holder.create_clause(b);
  holder.create_clause(c);
  TernIncrementalWrapper w;
  w.init(false);
  std::vector<long long> none, out;
  ASSERT_EQ(w.solve(holder, none, out), 10);
  std::vector<long long> levels(2, -7);
  w.get_var_levels(levels);
  ASSERT_EQ(levels.size(), 5u);
  EXPECT_EQ(levels[0], -7); // entry 0 untouched
  EXPECT_EQ(levels[1], 0);  // units hold at level 0
  EXPECT_EQ(levels[2], 0);
  EXPECT_FALSE(w.is_dvar(2)); // forced by (-1 2)
  std::string dir = wrap_temp_dir();
  w.print_cnf((dir + "/f.cnf").c_str());
  std::ifstream f(dir + "/f.cnf");
  std::string header;
  std::getline(f, header);
  EXPECT_EQ(header.rfind("p cnf", 0), 0u) << header;
  w.reset();
  holder.clear_direct();
}

TEST(TernIncrementalWrapper, AuxThresholdMarksOnlyForTheCall) {
  // Literals above the threshold are marked less important for the call
  // that sends them; the marks must neither break answers nor survive.
  std::mt19937_64 rng(5);
  BasicClauseSet holder;
  TernIncrementalWrapper w;
  w.aux_threshold = 6;
  w.init(false);
  WrapClauses sent;
  for (int call = 0; call < 15; ++call) {
    std::vector<BasicClause *> batch;
    for (auto c : wrap_random_cnf(rng, 12, 4, 3)) {
      BasicClause *cl = holder.registry->create_clause(c);
      if (holder.contains(cl))
        continue;
      holder.insert_clause(cl);
      batch.push_back(cl);
      sent.push_back(cl->lits);
    }
    std::vector<long long> none, out;
    int a = w.solve(batch, none, out);
    ASSERT_EQ(a, wrap_reference_sat(sent)) << "call " << call;
    if (a == 20)
      break;
    EXPECT_TRUE(wrap_model_satisfies(sent, out));
  }
  w.reset();
  holder.clear_direct();
}

TEST(TernIncrementalWrapper, ProgressLines) {
  BasicClauseSet holder;
  LitVector a{1};
  std::vector<BasicClause *> cls{holder.create_clause(a)};
  TernIncrementalWrapper w;
  w.init(false);
  w.verbosity = 1;
  std::vector<long long> none, out;
  testing::internal::CaptureStdout();
  w.solve(cls, none, out);
  std::string text = testing::internal::GetCapturedStdout();
  EXPECT_EQ(text.rfind("c Running SAT solver ...CPU Time: ", 0), 0u) << text;
  EXPECT_NE(text.find("\nc Done running SAT solver ...CPU Time: "),
            std::string::npos)
      << text;
  w.reset();
  holder.clear_direct();
}

TEST(TernIncrementalWrapper, DestructionReleasesALiveEngine) {
  BasicClauseSet holder;
  LitVector a{1};
  holder.create_clause(a);
  {
    TernIncrementalWrapper w;
    w.init(true);
  }
  // A one-shot call needs the engine slot free.
  IDManager imgr;
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapper one(imgr, holder, model, core);
  EXPECT_EQ(one.run_sat_solver(), 10);
  holder.clear_direct();
}

void assume_huge_literal() {
  dup2(2, 1);
  TernIncrementalWrapper w;
  w.init(false);
  std::vector<BasicClause *> none;
  std::vector<long long> assume{1LL << 31};
  std::vector<long long> out;
  w.solve(none, assume, out);
}

TEST(TernIncrementalWrapperDeathTest, HugeAssumptionIsRefused) {
  EXPECT_EXIT(assume_huge_literal(), testing::ExitedWithCode(3),
              "exceeds the largest variable the SAT solver can index");
}
