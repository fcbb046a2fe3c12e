// ZOR1, NZOR1 and the BMO solver against a brute-force optimum on seeded
// random weighted partial instances, across the at-most-one encodings and
// thresholds; every returned model must satisfy the hard clauses and
// falsify exactly the returned cost.
#include <gtest/gtest.h>

#include <random>

#include "coreguided/nzor1.hpp"
#include "coreguided/xubmo.hpp"
#include "coreguided/zor1.hpp"
#include "model/zor_config.hpp"

namespace {

struct Instance {
  int nvars = 0;
  long long top = 0;
  std::vector<std::pair<long long, LitVector>> clauses; // weight, literals
};

Instance random_instance(unsigned seed, bool bmo_levels) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  Instance in;
  in.nvars = pick(1, 8);
  in.top = 100000;
  int m = pick(0, 14);
  for (int i = 0; i < m; ++i) {
    LitVector lits;
    int k = pick(0, 9) == 0 ? 0 : pick(1, 3); // an empty clause now and then
    for (int j = 0; j < k; ++j)
      lits.push_back(pick(0, 1) ? pick(1, in.nvars) : -pick(1, in.nvars));
    long long w;
    if (pick(0, 3) == 0)
      w = in.top;
    else if (bmo_levels)
      w = std::vector<long long>{1, 20, 400, 8000}[pick(0, 3)];
    else
      w = std::vector<long long>{1, 1, 2, 3, 5, 0, 17}[pick(0, 6)];
    in.clauses.push_back({w, lits});
  }
  return in;
}

bool lit_true(const std::vector<long long> &model, long long l) {
  std::size_t v = static_cast<std::size_t>(std::llabs(l));
  long long e = v < model.size() ? model[v] : 0;
  return (l > 0 && e > 0) || (l < 0 && e < 0);
}

// Optimum (merged duplicates summed, hard wins) or -1 when infeasible.
long long brute_force(const Instance &in) {
  long long best = -1;
  for (unsigned bits = 0; bits < (1u << in.nvars); ++bits) {
    std::vector<long long> model(in.nvars + 1);
    for (int v = 1; v <= in.nvars; ++v)
      model[v] = bits >> (v - 1) & 1 ? 1 : -1;
    long long cost = 0;
    bool ok = true;
    for (auto &c : in.clauses) {
      bool sat = false;
      for (long long l : c.second)
        sat |= lit_true(model, l);
      if (sat)
        continue;
      if (c.first >= in.top)
        ok = false;
      cost += c.first;
    }
    if (ok && (best < 0 || cost < best))
      best = cost;
  }
  return best;
}

// Loads the instance as the readers do: repeated literal sets share one
// clause whose weight is the sum (hard once hard).
void load(const Instance &in, IDManager &imgr, BasicClauseSet &set) {
  set.top_weight = in.top;
  set.def_cltype = ClauseType::Keep;
  imgr.top_id = in.nvars;
  for (auto &c : in.clauses) {
    LitVector lits = c.second;
    BasicClause *cl = ClauseRegistry::clreg_instance.create_clause(lits);
    long long w = c.first;
    if (set.contains(cl))
      w = std::min(in.top, cl->weight + w);
    set.insert_clause(cl);
    set.set_cl_weight(cl, w);
  }
  set.compute_soft_cl_properties();
}

long long falsified_cost(const Instance &in, const std::vector<long long> &m,
                         bool &hard_ok) {
  long long cost = 0;
  hard_ok = true;
  for (auto &c : in.clauses) {
    bool sat = false;
    for (long long l : c.second)
      sat |= lit_true(m, l);
    if (sat)
      continue;
    if (c.first >= in.top)
      hard_ok = false;
    else
      cost += c.first;
  }
  return cost;
}

enum class Road { Zor1, Nzor1, Bmo };

void check_road(Road road, Card_CNF_Encodings enc, int thres, unsigned seeds,
                bool bmo_levels) {
  ZORConfig::verbosity = 0;
  ZORConfig::zortype = MS_Problems::Weighted;
  ZORConfig::zorenc = enc;
  ZORConfig::relate_relax_vars = true;
  ZORConfig::relate_relax_vars_thres = thres;
  for (unsigned seed = 1; seed <= seeds; ++seed) {
    Instance in = random_instance(seed, bmo_levels);
    long long expect = brute_force(in);
    IDManager imgr;
    BasicClauseSet set;
    load(in, imgr, set);
    std::vector<long long> model;
    long long got;
    testing::internal::CaptureStdout();
    if (road == Road::Bmo) {
      ExtendedUnsatBMOSolver bmo(imgr);
      long long cost = 0;
      got = bmo.solve(set, model, cost);
    } else {
      std::unique_ptr<UnsatMaxSATSolver> s;
      if (road == Road::Zor1)
        s.reset(new ZOR1());
      else
        s.reset(new NZOR1());
      s->init(imgr, set, model);
      got = s->solve();
      s->reset();
    }
    testing::internal::GetCapturedStdout();
    set.clear_direct();
    if (expect < 0) {
      EXPECT_LT(got, 0) << "seed " << seed;
      continue;
    }
    ASSERT_EQ(got, expect) << "seed " << seed;
    bool hard_ok;
    EXPECT_EQ(falsified_cost(in, model, hard_ok), expect) << "seed " << seed;
    EXPECT_TRUE(hard_ok) << "seed " << seed;
  }
}

} // namespace

TEST(ZOR1, RandomWeightedPartialAcrossEncodings) {
  check_road(Road::Zor1, Card_CNF_Encodings::Bitwise, 3, 300, false);
  check_road(Road::Zor1, Card_CNF_Encodings::SeqCounter, 1, 200, false);
  check_road(Road::Zor1, Card_CNF_Encodings::Pairwise, 0, 200, false);
  check_road(Road::Zor1, Card_CNF_Encodings::Ladder, 2, 200, false);
}

TEST(NZOR1, RandomWeightedPartialAcrossEncodings) {
  check_road(Road::Nzor1, Card_CNF_Encodings::Bitwise, 3, 300, false);
  check_road(Road::Nzor1, Card_CNF_Encodings::SeqCounter, 3, 200, false);
  check_road(Road::Nzor1, Card_CNF_Encodings::Pairwise, 3, 200, false);
}

TEST(ExtendedUnsatBMOSolver, LevelsAndFallback) {
  check_road(Road::Bmo, Card_CNF_Encodings::Bitwise, 3, 300, true);
  check_road(Road::Bmo, Card_CNF_Encodings::SeqCounter, 1, 200, false);
}

TEST(ExtendedUnsatBMOSolver, ConditionOfTheWorkedExamples) {
  struct Case {
    std::vector<std::pair<long long, int>> weights; // weight, clause count
    BMOConds expect;
  };
  const long long top = 1000;
  std::vector<Case> cases = {
      {{{top, 1}, {5, 1}, {1, 2}}, BMOConds::Complete},
      {{{top, 1}, {3, 1}, {2, 1}}, BMOConds::Complete},
      {{{top, 1}, {3, 1}, {2, 2}}, BMOConds::None},
      {{{top, 1}, {4, 3}}, BMOConds::None},
      {{{top, 1}, {100, 1}, {40, 1}, {30, 1}, {20, 1}, {1, 1}},
       BMOConds::Partial},
      {{}, BMOConds::None}, // nothing left to check
  };
  long long var = 500;
  for (auto &c : cases) {
    IDManager imgr;
    BasicClauseSet set;
    set.top_weight = top;
    for (auto &w : c.weights)
      for (int i = 0; i < w.second; ++i) {
        BasicClause *cl = set.create_unit_clause(++var);
        set.set_cl_weight(cl, w.first);
      }
    ExtendedUnsatBMOSolver bmo(imgr);
    EXPECT_EQ(bmo.validate_bmo_conditions(set), c.expect);
    set.clear_direct();
  }
}

TEST(ZOR1DeathTest, UnsupportedEncodingAndSoftCnf) {
  ZORConfig::verbosity = 0;
  ZORConfig::zorenc = Card_CNF_Encodings::BDD;
  ZORConfig::zortype = MS_Problems::Plain;
  EXPECT_EXIT(
      {
        IDManager imgr;
        BasicClauseSet set;
        imgr.top_id = 1;
        set.top_weight = 10;
        set.def_cltype = ClauseType::Unit;
        set.create_unit_clause(1);
        set.create_unit_clause(-1);
        std::vector<long long> model;
        ZOR1 z;
        z.init(imgr, set, model);
        z.solve();
      },
      testing::ExitedWithCode(3),
      "");
  ZORConfig::zorenc = Card_CNF_Encodings::Bitwise;
  ZORConfig::zortype = MS_Problems::SoftCnf;
  EXPECT_EXIT(
      {
        IDManager imgr;
        BasicClauseSet set;
        imgr.top_id = 1;
        set.top_weight = 10;
        set.def_cltype = ClauseType::Unit;
        set.create_unit_clause(1);
        set.create_unit_clause(-1);
        std::vector<long long> model;
        ZOR1 z;
        z.init(imgr, set, model);
        z.solve();
      },
      testing::ExitedWithCode(3), "");
}
