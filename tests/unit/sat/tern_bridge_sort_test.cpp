// One-shot wrapper TernWrapperSort: clause-identifier order whatever the
// set's order, cores as unsatisfiable subsets listed in identifier order,
// the model grown to the top identifier with true entries, more-important
// literals, and the fixed trace name.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "model/basic_clset.hpp"
#include "sat/tern_bridge_sort.hpp"
#include "tests/tools/lib/wrap_testlib.hpp"

namespace {

WrapClauses as_lists(const std::vector<BasicClause *> &cls) {
  WrapClauses out;
  for (BasicClause *c : cls)
    out.push_back(c->lits);
  return out;
}

// Creates the clauses (ids increase in list order) but inserts them into
// the set in shuffled order, so set order and id order differ.
void fill_shuffled(BasicClauseSet &s, const WrapClauses &cls,
                   std::mt19937_64 &rng) {
  std::vector<BasicClause *> made;
  for (auto c : cls)
    made.push_back(s.registry->create_clause(c));
  std::shuffle(made.begin(), made.end(), rng);
  for (BasicClause *c : made)
    s.insert_clause(c);
}

} // namespace

TEST(TernWrapperSort, RandomSetsAgreeWithReference) {
  for (unsigned seed = 1; seed <= 100 * wrap_soak_factor(); ++seed) {
    std::mt19937_64 rng(seed * 7919);
    int n = 4 + static_cast<int>(rng() % 20);
    int m = n * 3 + static_cast<int>(rng() % (n * 3));
    IDManager imgr;
    imgr.top_id = n + 3; // three variables that no clause mentions
    BasicClauseSet s;
    fill_shuffled(s, wrap_random_cnf(rng, n, m, 4), rng);
    std::vector<long long> model;
    std::vector<BasicClause *> core;
    TernWrapperSort w(imgr, s, model, core);
    w.init();
    int a = w.run_sat_solver();
    WrapClauses members = as_lists(s.clauses());
    ASSERT_EQ(a, wrap_reference_sat(members)) << "seed " << seed;
    // Engine clause i is the clause with the (i+1)-th smallest id.
    for (std::size_t i = 1; i < w.clindex.size(); ++i)
      ASSERT_LT(w.clindex[i - 1]->id, w.clindex[i]->id) << "seed " << seed;
    if (a == 10) {
      EXPECT_TRUE(wrap_model_satisfies(members, model)) << "seed " << seed;
      ASSERT_EQ(model.size(), static_cast<std::size_t>(n + 4));
      for (std::size_t v = w.max_var + 1; v < model.size(); ++v)
        EXPECT_EQ(model[v], 1) << "seed " << seed;
    } else {
      ASSERT_FALSE(core.empty());
      EXPECT_TRUE(std::is_sorted(core.begin(), core.end(), ClIDLess()));
      for (BasicClause *c : core)
        EXPECT_TRUE(s.contains(c)) << "seed " << seed;
      EXPECT_EQ(wrap_reference_sat(as_lists(core)), 20) << "seed " << seed;
    }
    w.reset();
    s.clear_direct();
  }
}

TEST(TernWrapperSort, ModelGrowthKeepsLongerModels) {
  IDManager imgr;
  imgr.top_id = 4;
  BasicClauseSet s;
  LitVector a{-1}, b{1, 2};
  s.create_clause(a);
  s.create_clause(b);
  std::vector<long long> model(8, -5);
  std::vector<BasicClause *> core;
  TernWrapperSort w(imgr, s, model, core);
  ASSERT_EQ(w.run_sat_solver(), 10);
  EXPECT_EQ(model, (std::vector<long long>{-5, -1, 1, -5, -5, -5, -5, -5}));
  w.reset();
  s.clear_direct();

  // An empty set on an empty model: top id + 1 entries, every one true
  // except entry 0, which the engine read-back left at 0.
  std::vector<long long> m2;
  TernWrapperSort w2(imgr, s, m2, core);
  ASSERT_EQ(w2.run_sat_solver(), 10);
  EXPECT_EQ(m2, (std::vector<long long>{0, 1, 1, 1, 1}));
}

TEST(TernWrapperSort, MoreImportantLiteralsKeepAnswersSound) {
  std::mt19937_64 rng(99);
  for (int round = 0; round < 30; ++round) {
    IDManager imgr;
    BasicClauseSet s;
    fill_shuffled(s, wrap_random_cnf(rng, 12, 30, 3), rng);
    std::vector<long long> m1, m2, m3;
    std::vector<BasicClause *> core;
    TernWrapperSort w1(imgr, s, m1, core), w2(imgr, s, m2, core),
        w3(imgr, s, m3, core);
    std::vector<long long> none, some{-3, 5, 7};
    int a1 = w1.run_sat_solver();
    int a2 = w2.run_sat_solver(none);
    int a3 = w3.run_sat_solver(some);
    EXPECT_EQ(a1, a2);
    EXPECT_EQ(a1, a3);
    EXPECT_EQ(m1, m2) << "empty list must change nothing, round " << round;
    if (a3 == 10) {
      EXPECT_TRUE(wrap_model_satisfies(as_lists(s.clauses()), m3));
    }
    w1.reset();
    w2.reset();
    w3.reset();
    core.clear();
    s.clear_direct();
  }
}

TEST(TernWrapperSort, FixedTraceNameOverwritesFileZero) {
  std::string dir = wrap_temp_dir();
  std::string prefix = dir + "/zor-unsat-trace-123";
  IDManager imgr;
  BasicClauseSet s;
  LitVector a{1}, b{-1};
  s.create_clause(a);
  s.create_clause(b);
  std::vector<long long> model;
  std::vector<BasicClause *> core;
  TernWrapperSort w(imgr, s, model, core, prefix.c_str(), 0, true);
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(w.run_sat_solver(), 20);
    w.reset();
  }
  EXPECT_EQ(w.trace_count, 0);
  EXPECT_TRUE(std::ifstream(prefix + "-f0.txt").good());
  EXPECT_FALSE(std::ifstream(prefix + "-f1.txt").good());

  TernWrapperSort counted(imgr, s, model, core, prefix.c_str());
  ASSERT_EQ(counted.run_sat_solver(), 20);
  EXPECT_TRUE(std::ifstream(prefix + "-f1.txt").good());
  s.clear_direct();
}
