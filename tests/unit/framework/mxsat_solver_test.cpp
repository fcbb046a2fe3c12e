// Solver classes: binding and reset, the falsified-clause check on the model
// entry of each relaxation variable, soft-weight sums, and release of every
// list on reset and destruction (run under AddressSanitizer for leaks).
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "framework/mxsat_solver.hpp"

namespace {

class TestSolver : public UnsatMaxSATSolverWithBounds {
public:
  long long solve() override { return 0; }
};

class TestIterSolver : public IterMaxSATSolver {
public:
  long long solve() override { return -1; }
};

struct Problem {
  IDManager imgr;
  BasicClauseSet clset;
  std::vector<long long> model;
  ~Problem() { clset.clear_direct(); }
  BasicClause *soft(LitVector lits, long long w) {
    BasicClause *c = clset.create_clause(lits);
    clset.set_cl_weight(c, w);
    for (long long l : c->lits)
      imgr.top_id = std::max(imgr.top_id, std::llabs(l));
    return c;
  }
};

} // namespace

TEST(UnsatMaxSATSolver, InitBindsOnlyAndResetDropsEverything) {
  Problem p;
  auto s = std::make_unique<TestSolver>();
  EXPECT_EQ(s->num_input_vars, -1);
  s->init(p.imgr, p.clset, p.model);
  EXPECT_EQ(s->imgr, &p.imgr);
  EXPECT_EQ(s->clset, &p.clset);
  EXPECT_EQ(s->model, &p.model);
  EXPECT_EQ(p.clset.size(), 0u);

  BasicClause *c = p.soft({1, 2}, 3);
  s->add_relaxation_var(c);
  s->add_propagation_var(c);
  s->cl_lists_map[c].push_back(c);
  s->core.push_back(c);
  s->hardening_map[c] = 3;
  s->num_input_vars = 2;
  s->reset();
  EXPECT_EQ(s->imgr, nullptr);
  EXPECT_EQ(s->clset, nullptr);
  EXPECT_EQ(s->model, nullptr);
  EXPECT_TRUE(s->core.empty());
  EXPECT_TRUE(s->rvar_cl_map.empty());
  EXPECT_TRUE(s->prop_vars.empty());
  EXPECT_TRUE(s->cl_pvar_map.empty());
  EXPECT_TRUE(s->cl_rvars_map.empty());
  EXPECT_TRUE(s->cl_lists_map.empty());
  EXPECT_TRUE(s->relaxed_cls.empty());
  EXPECT_EQ(s->num_input_vars, 2); // kept
  // Destroyed through the root, as the facade does.
  std::unique_ptr<MaxSATSolver> root(s.release());
  EXPECT_EQ(root->solve(), 0);
}

TEST(UnsatMaxSATSolver, DestructionWithoutResetReleasesLists) {
  Problem p;
  MaxSATSolver *root = new TestSolver;
  auto *s = static_cast<TestSolver *>(root);
  root->init(p.imgr, p.clset, p.model);
  for (long long v = 1; v <= 20; ++v) {
    BasicClause *c = p.soft({v}, v);
    s->add_relaxation_var(c);
    s->add_relaxation_var(c);
    s->cl_lists_map[c].assign(3, c);
    s->hardening_map[c] = v;
  }
  delete root; // leaks show under AddressSanitizer
}

TEST(IterMaxSATSolver, BindAndReset) {
  Problem p;
  TestIterSolver s;
  s.init(p.imgr, p.clset, p.model);
  EXPECT_EQ(s.clset, &p.clset);
  BasicClause *c = p.soft({1}, 1);
  s.relax_map[c] = 2;
  s.reset();
  EXPECT_EQ(s.imgr, nullptr);
  EXPECT_EQ(s.clset, nullptr);
  EXPECT_EQ(s.model, nullptr);
  EXPECT_TRUE(s.relax_map.empty());
}

TEST(UnsatMaxSATSolver, ChkUnsatClauseReadsEntryOfTheVariable) {
  Problem p;
  TestSolver s;
  s.init(p.imgr, p.clset, p.model);
  BasicClause *a = p.soft({1, 2}, 1);
  BasicClause *b = p.soft({3}, 1);
  BasicClause *never = p.soft({4}, 1);
  long long ra = s.add_relaxation_var(a); // 5
  long long rb = s.add_relaxation_var(b); // 6
  ASSERT_EQ(ra, 5);
  ASSERT_EQ(rb, 6);
  // Entry r holds variable r: a's variable true, b's false. The entries
  // just below (r - 1) say the opposite and must not be read.
  p.model = {0, 1, 1, 1, -1, 1, -1};
  EXPECT_TRUE(s.chk_unsat_clause(a));
  EXPECT_FALSE(s.chk_unsat_clause(b));
  EXPECT_FALSE(s.chk_unsat_clause(never));
  p.model = {0, 1, 1, 1, 1, -1, 1};
  EXPECT_FALSE(s.chk_unsat_clause(a));
  EXPECT_TRUE(s.chk_unsat_clause(b));
  // Unassigned or beyond the model: not true.
  p.model = {0, 1, 1, 1, 1, 0};
  EXPECT_FALSE(s.chk_unsat_clause(a));
  EXPECT_FALSE(s.chk_unsat_clause(b));
  // Two variables: true when either is.
  long long ra2 = s.add_relaxation_var(a); // 7
  p.model = {0, 1, 1, 1, 1, -1, -1, 1};
  EXPECT_TRUE(s.chk_unsat_clause(a));
  p.model[ra2] = -1;
  EXPECT_FALSE(s.chk_unsat_clause(a));
  p.model[ra] = 1;
  EXPECT_TRUE(s.chk_unsat_clause(a));
  // Never relaxed: false whatever the model.
  p.model.assign(20, 1);
  EXPECT_FALSE(s.chk_unsat_clause(never));
  s.reset();
  EXPECT_FALSE(s.chk_unsat_clause(a)); // no model bound
}

TEST(UnsatMaxSATSolver, SumWeights) {
  Problem p;
  TestSolver s;
  p.clset.set_top(100);
  LitVector h{1, 2};
  p.clset.create_clause(h); // hard: takes the top weight
  EXPECT_EQ(s.sum_weights(p.clset), 0);
  p.soft({3}, 0);
  p.soft({4}, 7);
  p.soft({5}, 99);
  p.soft({6}, 100); // reaches the top: hard
  EXPECT_EQ(s.sum_weights(p.clset), 106);
  BasicClauseSet empty;
  EXPECT_EQ(s.sum_weights(empty), 0);
}

TEST(UnsatMaxSATSolver, SumBeyond64BitsSaturates) {
  // A valid top weight of 2^63-1 lets soft weights add up past it: the sum
  // is only a bound on the cost and stops at the largest weight.
  Problem p;
  TestSolver s;
  p.soft({1}, LLONG_MAX / 2 + 1);
  p.soft({2}, LLONG_MAX / 2 + 1);
  p.soft({3}, 5);
  EXPECT_EQ(s.sum_weights(p.clset), BasicClauseSet::kMaxWeight);
}
