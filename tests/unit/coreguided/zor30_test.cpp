// ZOR30's trace-mode files, its answer for unsatisfiable hard clauses and
// its refusal of weighted input; the optima themselves are judged end to
// end.
#include <gtest/gtest.h>

#include <unistd.h>

#include "coreguided/zor30.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/small_instance.hpp"
#include "tests/tools/lib/work_folder.hpp"

namespace {

using small::Instance;

long long run_zor30(const Instance &in) {
  ZORConfig::verbosity = 0;
  ZORConfig::zorenc = Card_CNF_Encodings::CardNetworks;
  IDManager imgr;
  BasicClauseSet set;
  small::load(in, imgr, set);
  std::vector<long long> model;
  ZOR30 s;
  s.init(imgr, set, model);
  long long cost = s.solve();
  s.reset();
  set.clear_direct();
  return cost;
}

} // namespace

TEST(ZOR30, TraceModeWritesOneFormulaPerCoreAndTheCertificate) {
  // Three pairs x, -x: three cores whatever the engine's cores hold.
  Instance in;
  in.nvars = 3;
  in.top = 10;
  for (long long v = 1; v <= 3; ++v) {
    in.clauses.push_back({1, {v}});
    in.clauses.push_back({1, {-v}});
  }
  testfs::WorkFolder folder("kestrane_zor30");
  ASSERT_TRUE(folder.ok());
  ZORConfig::trace_mode = true;
  long long cost = run_zor30(in);
  ZORConfig::trace_mode = false;
  EXPECT_EQ(cost, 3);
  EXPECT_EQ(
      testfs::file_text("zor-unsat-formula-f1.txt").rfind("p cnf 3 6\n", 0),
      0u);
  for (const char *name :
       {"zor-unsat-formula-f2.txt", "zor-unsat-formula-f3.txt",
        "zor-unsat-trace-f1.txt", "zor-unsat-trace-f3.txt"})
    EXPECT_FALSE(testfs::file_text(name).empty()) << name;
  EXPECT_TRUE(testfs::file_text("zor-unsat-formula-f4.txt").empty());
  std::string cert = testfs::file_text("zor-sat-certificate.txt");
  EXPECT_EQ(cert.rfind("<= 3 ", 0), 0u) << cert;
  EXPECT_EQ(cert.substr(cert.size() - 2), "0\n") << cert;
}

TEST(ZOR30, UnsatisfiableHardClausesAnswerMinusOne) {
  Instance in;
  in.nvars = 2;
  in.top = 10;
  in.clauses = {{10, {1}}, {10, {-1}}, {1, {2}}, {1, {-2}}};
  EXPECT_EQ(run_zor30(in), -1);
}

TEST(ZOR30DeathTest, WeightedInputIsRefused) {
  Instance in;
  in.nvars = 1;
  in.top = 10;
  in.clauses = {{2, {1}}, {1, {-1}}};
  // The message goes to standard output: send it where the check reads.
  EXPECT_EXIT((dup2(2, 1), run_zor30(in)), testing::ExitedWithCode(3),
              "not available for Weighted Max-SAT");
}
