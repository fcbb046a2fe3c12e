// Relaxation bookkeeping: recording relaxation variables, unique variables,
// relaxing cores and all soft clauses, listing variables with weights,
// propagation variables, attaching and detaching working sets; and, end to
// end with the SAT wrapper, optima of small weighted instances found by
// relaxing every soft clause and trying every set of relaxation variables
// allowed true, against brute force.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <unistd.h>

#include "framework/mxsat_solver.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"
#include "tests/tools/lib/wrap_testlib.hpp"

namespace {

class TestSolver : public UnsatMaxSATSolverWithBounds {
public:
  long long solve() override { return 0; }
};

struct Fixture : testing::Test {
  IDManager imgr;
  BasicClauseSet clset;
  std::vector<long long> model;
  TestSolver s;
  void SetUp() override {
    ZORConfig::use_added_relax_cls = false;
    s.init(imgr, clset, model);
  }
  void TearDown() override {
    s.reset();
    clset.clear_direct();
    ZORConfig::use_added_relax_cls = false;
  }
  BasicClause *soft(LitVector lits, long long w) {
    BasicClause *c = clset.create_clause(lits);
    clset.set_cl_weight(c, w);
    for (long long l : c->lits)
      imgr.top_id = std::max(imgr.top_id, std::llabs(l));
    return c;
  }
  BasicClause *hard(LitVector lits) {
    clset.set_def_cl_type(ClauseType::Hard);
    BasicClause *c = clset.create_clause(lits);
    for (long long l : c->lits)
      imgr.top_id = std::max(imgr.top_id, std::llabs(l));
    return c;
  }
};

using RelaxBookkeeping = Fixture;

} // namespace

TEST_F(RelaxBookkeeping, AddRelaxationVarAppendsAndRecords) {
  BasicClause *c = soft({-3, 1}, 4);
  long long id = c->id;
  long long r = s.add_relaxation_var(c);
  EXPECT_EQ(r, 4);
  EXPECT_EQ(imgr.top_id, 4);
  EXPECT_EQ(c->lits, (LitVector{1, -3, 4}));
  EXPECT_EQ(c->id, id);
  EXPECT_EQ(clset.registry->lookup_vect(LitVector{1, -3, 4}), c);
  EXPECT_EQ(clset.registry->lookup_vect(LitVector{1, -3}), nullptr);
  EXPECT_EQ(s.rvar_cl_map.at(4), c);
  EXPECT_EQ(s.cl_rvars_map.at(c), (std::vector<long long>{4}));
  EXPECT_EQ(s.relaxed_cls, (std::vector<BasicClause *>{c}));
  EXPECT_EQ(s.get_unique_relax_var(c), 4);
  EXPECT_TRUE(s.prop_vars.empty()); // setting off: no propagation variable
}

TEST_F(RelaxBookkeeping, RelaxCoreClausesReusesUniqueVariablesOnly) {
  BasicClause *a = soft({1}, 2);
  BasicClause *b = soft({2}, 3);
  BasicClause *h = hard({1, 2});
  long long ra = s.add_relaxation_var(a); // 3: unique
  s.add_relaxation_var(b);                // 4
  s.add_relaxation_var(b);                // 5: b now has two
  EXPECT_EQ(s.get_unique_relax_var(b), 0);
  std::vector<long long> rvars{99}, weights{98}; // appended to
  std::vector<BasicClause *> core{a, h, b};
  s.relax_core_clauses(core, clset, rvars, weights);
  EXPECT_EQ(rvars, (std::vector<long long>{99, ra, 6}));
  EXPECT_EQ(weights, (std::vector<long long>{98, 2, 3}));
  EXPECT_EQ(s.cl_rvars_map.at(b).size(), 3u);
  EXPECT_EQ(h->lits, (LitVector{1, 2})); // hard: untouched
  EXPECT_EQ(s.relaxed_cls.size(), 4u);
  // A single recorded 0 is no unique variable either.
  BasicClause *z = soft({7}, 1);
  s.register_relaxation_var(z, 0);
  EXPECT_EQ(s.get_unique_relax_var(z), 0);
  rvars.clear();
  weights.clear();
  std::vector<BasicClause *> zc{z};
  s.relax_core_clauses(zc, clset, rvars, weights);
  EXPECT_EQ(rvars, (std::vector<long long>{8}));
}

TEST_F(RelaxBookkeeping, RelaxAllAndListWithWeights) {
  BasicClause *a = soft({1, 2}, 5);
  BasicClause *b = soft({-1}, 1);
  BasicClause *c = soft({3}, 7);
  BasicClause *h = hard({2, 3});
  long long rb = s.add_relaxation_var(b); // b keeps its unique variable
  s.relax_all_soft_clauses_unrelaxed(clset);
  EXPECT_EQ(s.get_unique_relax_var(b), rb);
  EXPECT_NE(s.get_unique_relax_var(a), 0);
  EXPECT_NE(s.get_unique_relax_var(c), 0);
  EXPECT_EQ(s.get_unique_relax_var(h), 0);
  EXPECT_EQ(s.rvar_cl_map.size(), 3u);
  s.relax_all_soft_clauses_unrelaxed(clset); // idempotent
  EXPECT_EQ(s.rvar_cl_map.size(), 3u);

  std::vector<long long> rv, w;
  s.get_relax_vars_and_weights(rv, w);
  ASSERT_EQ(rv.size(), 3u);
  for (std::size_t i = 0; i < rv.size(); ++i)
    EXPECT_EQ(w[i], s.rvar_cl_map.at(rv[i])->weight);
  // A relaxed clause made hard drops out of the listing.
  clset.set_cl_hard(c);
  rv.clear();
  w.clear();
  s.get_relax_vars_and_weights(rv, w);
  EXPECT_EQ(rv.size(), 2u);
  EXPECT_EQ(std::count(rv.begin(), rv.end(), s.get_unique_relax_var(c)), 0);
}

TEST_F(RelaxBookkeeping, RelatePropRelaxVarTwiceMakesOnePropagationVar) {
  BasicClause *c = soft({1, 2}, 1);
  std::size_t before = clset.size();
  s.relate_prop_relax_var(c, 10);
  s.relate_prop_relax_var(c, 11);
  ASSERT_EQ(s.prop_vars.size(), 1u);
  long long p = s.cl_pvar_map.at(c);
  EXPECT_EQ(clset.size(), before + 2);
  for (long long r : {10LL, 11LL}) {
    LitVector lits{-r, p};
    std::sort(lits.begin(), lits.end(), AbsLitLess());
    BasicClause *bin = clset.registry->lookup_vect(lits);
    ASSERT_NE(bin, nullptr);
    EXPECT_TRUE(clset.contains(bin));
    EXPECT_TRUE(clset.is_hard(bin));
  }
}

TEST_F(RelaxBookkeeping, AddedRelaxClausesForceClauseFalse) {
  // With the setting on, r -> p and p -> not l for c's own literals: every
  // assignment satisfying the relaxed clause and the added clauses with r
  // true falsifies c's own literals. Checked over all assignments.
  ZORConfig::use_added_relax_cls = true;
  BasicClause *c = soft({1, -2, 3}, 1);
  long long r = s.add_relaxation_var(c);
  ASSERT_EQ(s.prop_vars.size(), 1u);
  long long p = s.cl_pvar_map.at(c);
  EXPECT_EQ(clset.size(), 1u + 3u + 1u);
  WrapClauses all;
  for (BasicClause *k : clset)
    all.push_back(k->lits);
  long long n = imgr.top_id;
  ASSERT_EQ(n, 5);
  for (unsigned bits = 0; bits < (1u << n); ++bits) {
    std::vector<long long> m(n + 1, 0);
    for (long long v = 1; v <= n; ++v)
      m[v] = bits >> (v - 1) & 1 ? 1 : -1;
    if (!wrap_model_satisfies(all, m) || m[r] < 0)
      continue;
    EXPECT_EQ(m[p], 1);
    EXPECT_TRUE(m[1] < 0 && m[2] > 0 && m[3] < 0) << "bits " << bits;
  }
  // The relaxation literal itself got no clause {-r, -p}.
  LitVector own{-r, -p};
  std::sort(own.begin(), own.end(), AbsLitLess());
  EXPECT_EQ(clset.registry->lookup_vect(own), nullptr);
}

TEST_F(RelaxBookkeeping, AttachDetachLeavesWholeAsBefore) {
  soft({1}, 1);
  BasicClause *shared = hard({-5});
  std::vector<BasicClause *> before = clset.clauses();
  long long shared_refs = clset.registry->cl_refs(shared);
  long long nh = clset.num_hard, nt = clset.num_total;

  BasicClauseSet bound;
  bound.set_top(clset.top_weight);
  LitVector a{-1, -2}, b{-5}, c{3, 4};
  BasicClause *ca = bound.create_clause(a);
  EXPECT_EQ(bound.create_clause(b), shared); // the registry shares it
  bound.create_clause(c);
  long long ca_refs = clset.registry->cl_refs(ca);

  s.attach_clause_set(bound, clset);
  EXPECT_EQ(clset.size(), before.size() + 2);
  EXPECT_TRUE(clset.contains(ca));
  EXPECT_EQ(clset.registry->cl_refs(ca), ca_refs); // no reference taken
  EXPECT_EQ(clset.num_hard, nh);
  EXPECT_EQ(clset.num_total, nt);

  s.detach_clause_set(bound, clset);
  EXPECT_EQ(clset.clauses(), before); // the shared clause stays
  EXPECT_EQ(clset.registry->cl_refs(shared), shared_refs);
  EXPECT_TRUE(bound.empty());
  EXPECT_EQ(clset.registry->lookup_vect(LitVector{3, 4}), nullptr); // freed

  // Repeated rounds, as a bounded search does.
  for (int round = 0; round < 5; ++round) {
    LitVector d{-1, static_cast<long long>(10 + round)};
    bound.create_clause(d);
    s.attach_clause_set(bound, clset);
    EXPECT_EQ(clset.size(), before.size() + 1);
    s.detach_clause_set(bound, clset);
    EXPECT_EQ(clset.clauses(), before);
  }
  // Detach without attach: part's clauses leave whole.
  LitVector e{8, 9};
  BasicClause *ce = bound.create_clause(e);
  clset.insert_member(ce);
  s.detach_clause_set(bound, clset);
  EXPECT_EQ(clset.clauses(), before);
}

TEST_F(RelaxBookkeeping, OptimaBySubsetsOfRelaxationVariables) {
  // Random weighted instances: relax every soft clause (with the added
  // relaxation clauses half of the time), then for every set S of
  // relaxation variables allowed true attach the units forcing the others
  // false and decide; the least weight of a satisfiable S is the optimum.
  for (unsigned seed = 1; seed <= 40 * wrap_soak_factor(); ++seed) {
    std::mt19937_64 rng(seed);
    ZORConfig::use_added_relax_cls = seed % 2 == 0;
    int n = 3 + static_cast<int>(rng() % 5);
    int nsoft = 2 + static_cast<int>(rng() % 5);
    WrapClauses hards = wrap_random_cnf(rng, n, static_cast<int>(rng() % 6), 3);
    WrapClauses softs = wrap_random_cnf(rng, n, nsoft, 3);
    std::vector<long long> sw;
    for (int i = 0; i < nsoft; ++i)
      sw.push_back(1 + static_cast<long long>(rng() % 9));

    // Brute force on the original clauses.
    long long best = -1;
    for (unsigned bits = 0; bits < (1u << n); ++bits) {
      std::vector<long long> m(n + 1);
      for (int v = 1; v <= n; ++v)
        m[v] = bits >> (v - 1) & 1 ? 1 : -1;
      if (!wrap_model_satisfies(hards, m))
        continue;
      long long cost = 0;
      for (int i = 0; i < nsoft; ++i)
        if (!wrap_model_satisfies({softs[i]}, m))
          cost += sw[i];
      if (best < 0 || cost < best)
        best = cost;
    }

    imgr.top_id = n;
    clset.set_top(1000);
    for (auto h : hards)
      hard(h);
    // Soft clauses equal to a hard clause or each other share one object.
    for (int i = 0; i < nsoft; ++i) {
      LitVector l = softs[i];
      BasicClause *c = clset.registry->create_clause(l);
      if (clset.contains(c)) {
        if (!clset.is_hard(c))
          clset.set_cl_weight(c, c->weight + sw[i]);
      } else {
        clset.set_def_cl_type(ClauseType::Keep);
        clset.insert_clause(c);
        clset.set_cl_weight(c, sw[i]);
      }
    }
    s.relax_all_soft_clauses_unrelaxed(clset);
    std::vector<long long> rv, w;
    s.get_relax_vars_and_weights(rv, w);
    std::vector<BasicClause *> original = clset.clauses();

    long long found = -1;
    std::vector<BasicClause *> core;
    for (unsigned sub = 0; sub < (1u << rv.size()); ++sub) {
      BasicClauseSet block;
      block.set_top(clset.top_weight);
      long long weight = 0;
      for (std::size_t i = 0; i < rv.size(); ++i) {
        if (sub >> i & 1) {
          weight += w[i];
        } else {
          LitVector u{-rv[i]};
          block.create_clause(u);
        }
      }
      s.attach_clause_set(block, clset);
      TernWrapperSort sat(imgr, clset, model, core);
      sat.init();
      int a = sat.run_sat_solver();
      sat.reset();
      core.clear();
      if (a == 10) {
        if (found < 0 || weight < found)
          found = weight;
        // A falsified-clause report must be backed by the model.
        long long reported = 0;
        for (BasicClause *c : original)
          if (s.chk_unsat_clause(c))
            reported += c->weight;
        EXPECT_LE(reported, weight) << "seed " << seed;
      }
      s.detach_clause_set(block, clset);
      ASSERT_EQ(clset.clauses(), original) << "seed " << seed;
    }
    EXPECT_EQ(found, best) << "seed " << seed;
    s.reset();
    clset.clear_direct();
    model.clear();
    s.init(imgr, clset, model);
  }
}

namespace {
void relax_with_exhausted_ids() {
  dup2(2, 1);
  IDManager imgr;
  BasicClauseSet clset;
  std::vector<long long> model;
  TestSolver s;
  s.init(imgr, clset, model);
  LitVector l{1};
  BasicClause *c = clset.create_clause(l);
  imgr.top_id = LLONG_MAX;
  s.add_relaxation_var(c);
}
} // namespace

TEST(RelaxBookkeepingDeathTest, ExhaustedVariableIdsAreAnError) {
  EXPECT_EXIT(relax_with_exhausted_ids(), testing::ExitedWithCode(3),
              "ERROR: Variable identifiers exhausted");
}
