// The facade: option texts and their errors, clause operations, loading,
// solving with the model check, the listing of falsified clauses and the
// factory's answer for an algorithm this build does not hold.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver/zorapp.hpp"
#include "driver_capture.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_stats.hpp"

namespace {

class Facade : public testing::Test {
protected:
  void SetUp() override {
    f.set_runtime_defaults();
    ZORConfig::check_solution = false;
    ZORConfig::lst_unsat_cls = false;
    ZORConfig::enum_models = false;
    ZORConfig::incr_mode = false;
    ZORConfig::optlock = false;
    ZORConfig::verbosity = 0;
  }
  // Runs fn in a child: status 3 and exactly the message line expected.
  template <typename Fn> void expect_abort(Fn fn, const std::string &msg) {
    Captured r = run_captured(fn);
    EXPECT_EQ(r.status, 3) << msg;
    EXPECT_EQ(r.out, " ERROR: " + msg + "\n");
  }
  KestraneExtended f;
};

TEST_F(Facade, Encodings) {
  f.set_encodings("sn:");
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::SortNetworks);
  EXPECT_EQ(ZORConfig::zorpbenc, PB_CNF_Encodings::BDD);
  f.set_encodings(":we");
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::SortNetworks);
  EXPECT_EQ(ZORConfig::zorpbenc, PB_CNF_Encodings::WarnersEquiv);
  f.set_encodings("b:sc");
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::BDD);
  EXPECT_EQ(ZORConfig::zorpbenc, PB_CNF_Encodings::SeqWeightedCounters);
  Captured r = run_captured([&] {
    f.set_encodings("cn:x");
    std::cout << "unreached" << std::endl;
  });
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, " ERROR: Invalid CNF PB encoding\n");
  expect_abort([&] { f.set_encodings(""); }, "Invalid CNF encoding");
  expect_abort([&] { f.set_pb_encoding("q"); }, "Invalid CNF PB encoding");
  // While locked, valid texts are checked but not stored.
  ZORConfig::optlock = true;
  f.set_card_encoding("e");
  f.set_algorithm("4");
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::BDD);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR1);
  expect_abort([&] { f.set_algorithm("5"); }, "Invalid ZOR algorithm");
}

TEST_F(Facade, AlgorithmAndReleaseTexts) {
  const std::pair<const char *, ZOR_Algorithms> algs[] = {
      {"1", ZOR_Algorithms::ZOR1},
      {"3", ZOR_Algorithms::ZOR3},
      {"4", ZOR_Algorithms::ZOR4},
      {"bin", ZOR_Algorithms::BinarySearch},
      {"bcd", ZOR_Algorithms::BinarySearchCoreDisjoint},
      {"bin-core-dis2", ZOR_Algorithms::BinarySearchCoreDisjoint2},
      {"bcd2strat", ZOR_Algorithms::BinarySearchCoreDisjoint2Strat},
  };
  for (const auto &a : algs) {
    f.set_algorithm(a.first);
    EXPECT_EQ(ZORConfig::zoralg, a.second) << a.first;
  }
  f.set_release("1.1");
  EXPECT_EQ(ZORConfig::zorrel, ZOR_Releases::R1_1);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::SeqCounter);
  f.set_release("bin-core-dis");
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::BinarySearchCoreDisjoint);
  expect_abort([&] { f.set_release("1.2 "); }, "Invalid ZOR release");
}

TEST_F(Facade, OtherSettingTexts) {
  f.set_add_global_cnstr("we:le");
  EXPECT_EQ(ZORConfig::add_global_cnstr, 4);
  EXPECT_FALSE(ZORConfig::is_global_cnstr_lt);
  f.set_add_global_cnstr(":lt");
  EXPECT_EQ(ZORConfig::add_global_cnstr, 4);
  EXPECT_TRUE(ZORConfig::is_global_cnstr_lt);
  f.unset_add_global_cnstr();
  EXPECT_EQ(f.get_add_global_cnstr(), 0);
  expect_abort([&] { f.set_add_global_cnstr("sc"); },
               "Invalid CNF PB encoding for GC");
  expect_abort([&] { f.set_add_global_cnstr("b:ge"); },
               "Invalid setting for GC type");

  f.set_upper_bound("0");
  EXPECT_EQ(f.get_upper_bound(), BoundMode::Mode0);
  f.set_upper_bound("2");
  EXPECT_EQ(f.get_upper_bound(), BoundMode::Other);
  f.set_nr_search_type("all");
  EXPECT_EQ(f.get_nr_search_type(), SearchType::All);
  f.set_relax_on_demand_gmxsat("core");
  EXPECT_EQ(f.get_relax_on_demand_gmxsat(), RelaxGroups::Core);
  f.set_wbo_encoding("groups");
  EXPECT_EQ(f.get_wbo_encoding(), WboEncoding::Groups);
  f.set_atLeast(3);
  EXPECT_EQ(f.get_atLeast(), 3);
  expect_abort([&] { f.set_nr_search_type("some"); },
               "Invalid type of NR search");
  expect_abort([&] { f.set_atLeast(4); },
               "Invalid type of atLeast constraints (0, 1, 2 or 3)");
  EXPECT_EQ(run_captured([&] { f.set_wbo_encoding("x"); }).status, 3);
  EXPECT_EQ(run_captured([&] { f.set_relax_on_demand_gmxsat("x"); }).status, 3);
  expect_abort([&] { f.get_var(1); }, "Unable to provide models");
  Captured stats = run_captured([&] { f.print_stats(); });
  EXPECT_EQ(stats.status, 3);
  EXPECT_EQ(stats.out, " INFO: No stats currently provided by Kestrane\n");
}

TEST_F(Facade, ModelCubeCount) {
  EXPECT_FALSE(f.get_enum_models());
  f.set_enumerate_models(2);
  EXPECT_TRUE(f.get_enum_models());
  f.set_enumerate_models();
  EXPECT_EQ(ZORConfig::num_cubes, -1);
  EXPECT_TRUE(f.get_enum_models());
  ZORConfig::enum_models = false;
  EXPECT_FALSE(f.iter_solve());
}

TEST_F(Facade, UnavailableAlgorithm) {
  ZORConfig::zoralg = static_cast<ZOR_Algorithms>(0xFD00);
  expect_abort([&] { f.init(); }, "Unavailable ZOR algorithm");
}

TEST_F(Facade, OwnObjectsClausesAndSolving) {
  f.init();
  ASSERT_NE(f.get_id_manager(), nullptr);
  ASSERT_NE(f.get_solver(), nullptr);
  BasicClauseSet &set = *f.get_clause_set();
  set.top_weight = 10;
  // x1 or x2 hard; soft -x1 (3), -x2 (5), x3 (1) with x3 forced false.
  f.set_clause_hard(f.create_binary_clause(2, 1));
  EXPECT_EQ(f.get_id_manager()->top_id, 2);
  f.set_clause_weight(f.create_unit_clause(-1), 3);
  f.set_clause_weight(f.create_unit_clause(-2), 5);
  f.set_clause_soft(f.create_unit_clause(3));
  f.set_clause_hard(f.create_unit_clause(-3));
  EXPECT_EQ(f.get_id_manager()->top_id, 3);
  ZORConfig::check_solution = true;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(f.solve());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(f.get_min_unsat_cost(), 4);
  EXPECT_EQ(f.get_num_init_vars(), 3);
  EXPECT_EQ(f.get_num_init_cls(), 5);
  EXPECT_NE(out.find("c Validating model ...\nc Model validated\n"),
            std::string::npos)
      << out;
  // The listing judges the input as read: the soft clauses -x1 and x3 are
  // falsified, whatever the solver did to the set. On a model cut short a
  // missing entry makes both literals false, and nothing is read past the
  // model's end.
  testing::internal::CaptureStdout();
  f.prt_all_unsat_clauses();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c Unsat Clauses:\nc -1 0\nc 3 0\n");
  std::vector<long long> relax;
  f.get_relaxation_vars(relax);
  EXPECT_FALSE(relax.empty());
  f.get_model()->resize(2);
  testing::internal::CaptureStdout();
  f.prt_all_unsat_clauses();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c Unsat Clauses:\nc -1 0\nc -2 0\nc 3 0\n");
  f.reset();
  EXPECT_EQ(f.get_solver(), nullptr);
  EXPECT_EQ(f.get_clause_set(), nullptr);
}

TEST_F(Facade, UnsatisfiableHardClausesAreNotValidated) {
  IDManager imgr;
  BasicClauseSet set;
  std::vector<long long> model;
  f.init(imgr, set, model);
  set.top_weight = 5;
  f.set_clause_hard(f.create_unit_clause(1));
  f.set_clause_hard(f.create_unit_clause(-1));
  ZORConfig::check_solution = true;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(f.solve());
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_LT(f.get_min_unsat_cost(), 0);
  EXPECT_EQ(out.find("Validating"), std::string::npos);
  f.reset();
  EXPECT_EQ(f.get_id_manager(), nullptr);
}

// A cost past the 64-bit range while the input is kept: contradicting hard
// clauses make the answer UNSATISFIABLE (status 0); satisfiable ones, or no
// kept input after reset, leave the refusal.
TEST_F(Facade, CostPastTheRangeChecksTheHardClausesFirst) {
  IDManager imgr;
  BasicClauseSet set;
  std::vector<long long> model;
  f.init(imgr, set, model);
  set.top_weight = 5;
  f.set_clause_hard(f.create_unit_clause(1));
  f.set_clause_weight(f.create_unit_clause(-2), 4);
  f.keep_input();
  expect_abort([] { abort_beyond_64_bits("Cost"); },
               "Cost beyond the 64-bit range");
  f.set_clause_hard(f.create_unit_clause(-1));
  f.keep_input();
  Captured r = run_captured([] { abort_beyond_64_bits("Cost"); });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("s UNSATISFIABLE\nc CPU Time: ", 0), 0u) << r.out;
  f.reset();
  expect_abort([] { abort_beyond_64_bits("Cost"); },
               "Cost beyond the 64-bit range");
}

TEST_F(Facade, LoadFile) {
  EXPECT_FALSE(f.load_file(nullptr));
  IDManager imgr;
  BasicClauseSet set;
  std::vector<long long> model;
  f.init(imgr, set, model);
  std::string name = testing::TempDir() + "kestrane-facade.wcnf";
  {
    std::ofstream out(name);
    out << "p wcnf 3 3 9\n9 1 2 0\n4 -3 0\n2 3 0\n";
  }
  EXPECT_TRUE(f.load_file(name.c_str()));
  std::remove(name.c_str());
  EXPECT_EQ(ZORConfig::zortype, MS_Problems::Weighted);
  EXPECT_EQ(ZORConfig::file, name);
  EXPECT_EQ(set.size(), 3u);
  EXPECT_EQ(imgr.top_id, 3);
  EXPECT_TRUE(set.all_soft_units);
  testing::internal::CaptureStdout();
  EXPECT_TRUE(f.solve());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(f.get_min_unsat_cost(), 2);
  f.reset();
}

} // namespace
