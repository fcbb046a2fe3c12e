// The iterative binary-search solver's trace-mode files and its result
// lines without the evaluation format; its optima are judged end to end.
#include <gtest/gtest.h>

#include "model/zor_config.hpp"
#include "search/binsearch.hpp"
#include "tests/tools/lib/small_instance.hpp"
#include "tests/tools/lib/work_folder.hpp"

namespace {

// Three soft units x1, x2, x3, pairwise excluded: the optimum is 2.
small::Instance three_units() {
  small::Instance in;
  in.nvars = 3;
  in.top = 10;
  in.clauses = {{1, {1}},       {1, {2}},       {1, {3}},
                {10, {-1, -2}}, {10, {-2, -3}}, {10, {-1, -3}}};
  return in;
}

std::string run_binsearch(long long &cost) {
  ZORConfig::verbosity = 1;
  ZORConfig::zorenc = Card_CNF_Encodings::CardNetworks;
  IDManager imgr;
  BasicClauseSet set;
  small::load(three_units(), imgr, set);
  std::vector<long long> model;
  testing::internal::CaptureStdout();
  {
    BinSearchMaxSATSolver s;
    s.init(imgr, set, model);
    cost = s.solve();
    s.reset();
  }
  set.clear_direct();
  return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(BinSearchMaxSATSolver, TraceModeWritesTracesAndTheLastCertificate) {
  testfs::WorkFolder folder("kestrane_binsearch");
  ASSERT_TRUE(folder.ok());
  ZORConfig::trace_mode = true;
  ZORConfig::comp_format = true;
  long long cost = -1;
  std::string out = run_binsearch(cost);
  ZORConfig::trace_mode = false;
  EXPECT_EQ(cost, 2);
  EXPECT_NE(out.find("\no 2\ns OPTIMUM FOUND\nv "), std::string::npos) << out;
  // The search tests at most 1 (unsatisfiable: a trace) before it settles;
  // the certificate holds the last satisfiable bound and its model.
  EXPECT_FALSE(testfs::file_text("zor-unsat-trace-f1.txt").empty());
  std::string cert = testfs::file_text("zor-sat-certificate.txt");
  if (!cert.empty()) {
    EXPECT_EQ(cert.rfind("<= ", 0), 0u) << cert;
    EXPECT_EQ(cert.substr(cert.size() - 2), "0\n") << cert;
  }
}

TEST(BinSearchMaxSATSolver, PlainResultLineWithoutTheEvaluationFormat) {
  ZORConfig::comp_format = false;
  long long cost = -1;
  std::string out = run_binsearch(cost);
  EXPECT_EQ(cost, 2);
  EXPECT_NE(out.find("Min unsat cost LB=-1 and UB="), std::string::npos) << out;
  EXPECT_NE(out.find("Minimum cost of unsatisfied clauses: 2\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("CPU Time"), std::string::npos) << out;
}
