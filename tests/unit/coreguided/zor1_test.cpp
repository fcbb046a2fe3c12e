// ZOR1, NZOR1 and the BMO solver against a brute-force optimum on seeded
// random weighted partial instances, across the at-most-one encodings and
// thresholds; every returned model must satisfy the hard clauses and
// falsify exactly the returned cost.
#include <gtest/gtest.h>

#include <string>

#include "coreguided/nzor1.hpp"
#include "coreguided/xubmo.hpp"
#include "coreguided/zor1.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/small_instance.hpp"

namespace {

using namespace small;

Instance random_instance(unsigned seed, bool bmo_levels) {
  std::vector<long long> levels{1, 20, 400, 8000}, mixed{1, 1, 2, 3, 5, 0, 17};
  return small::random_instance(seed, 8, 14, 100000,
                                bmo_levels ? levels : mixed, true);
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

TEST(ExtendedUnsatBMOSolver, ConditionOfSmallWeightProfiles) {
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

TEST(ExtendedUnsatBMOSolver, LevelModelsCheckedAgainstTheInputHardClauses) {
  // The input as read holds the hard unit x3, which the solved set lacks:
  // the first level's model leaves x3 unassigned, and with the check on the
  // level reports the hard clause it falsifies.
  IDManager imgr;
  imgr.top_id = 3;
  BasicClauseSet set;
  set.top_weight = 100;
  LitVector x1x2{1, 2};
  set.set_cl_hard(set.create_clause(x1x2));
  BasicClause *x3 = set.create_unit_clause(3);
  set.set_cl_hard(x3);
  set.set_cl_weight(set.create_unit_clause(-1), 10);
  set.set_cl_weight(set.create_unit_clause(-2), 1);
  ClauseSnapshot input;
  input.take(set);
  set.remove_member(x3);
  ZORConfig::verbosity = 1;
  ZORConfig::comp_format = true;
  ZORConfig::check_solution = true;
  ZORConfig::zorenc = Card_CNF_Encodings::Bitwise;
  ExtendedUnsatBMOSolver bmo(imgr);
  bmo.set_input(&input);
  std::vector<long long> model;
  long long cost = 0;
  testing::internal::CaptureStdout();
  bmo.solve(set, model, cost);
  std::string out = testing::internal::GetCapturedStdout();
  ZORConfig::check_solution = false;
  ZORConfig::verbosity = 0;
  EXPECT_EQ(cost, 1);
  EXPECT_NE(out.find("c Level 1: Unsat hard clause: 3 0  w/ cost: 100\n"),
            std::string::npos)
      << out;
  set.clear_direct();
}

TEST(ZOR1DeathTest, UnsupportedEncodingAndSoftCnf) {
  // x and -x as soft units: the first core ends the run.
  auto solve_contradiction = [] {
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
  };
  ZORConfig::verbosity = 0;
  ZORConfig::zorenc = Card_CNF_Encodings::BDD;
  ZORConfig::zortype = MS_Problems::Plain;
  EXPECT_EXIT(solve_contradiction(), testing::ExitedWithCode(3), "");
  ZORConfig::zorenc = Card_CNF_Encodings::Bitwise;
  ZORConfig::zortype = MS_Problems::SoftCnf;
  EXPECT_EXIT(solve_contradiction(), testing::ExitedWithCode(3), "");
}
