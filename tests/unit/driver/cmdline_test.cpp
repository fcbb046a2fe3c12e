// The command-line parser: defaults, each option's effect, their order,
// number conversion, the input file, missing values and the exit paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/cmdline.hpp"
#include "driver/zorapp.hpp"
#include "driver_capture.hpp"
#include "model/logger.hpp"
#include "model/zor_config.hpp"

namespace {

class CmdLine : public testing::Test {
protected:
  void SetUp() override {
    // Settings that the run-time defaults leave alone.
    ZORConfig::lst_unsat_cls = false;
    ZORConfig::check_solution = false;
    ZORConfig::bmo_mode = false;
    ZORConfig::write_bmo_models = false;
    ZORConfig::logging = false;
    ZORConfig::hardening_rule = false;
    ZORConfig::middle_type = MiddleType::Value;
    ZORConfig::tool_timeout = 3600;
    ZORConfig::zorpbenc = PB_CNF_Encodings::BDD;
    ZORConfig::verbosity = 0;
    ZORConfig::comp_format = false;
  }

  // Parses "kestrane args..."; the returned name points into args_.
  const char *parse(std::vector<std::string> args) {
    args_ = std::move(args);
    argv_.clear();
    argv_.push_back(const_cast<char *>("kestrane"));
    for (std::string &a : args_)
      argv_.push_back(&a[0]);
    argv_.push_back(nullptr);
    return parse_cmdline_options(
        Kestrane::instance(), static_cast<int>(argv_.size() - 1), argv_.data());
  }

  // Runs the parser in a child process: exit status and output.
  Captured parse_in_child(std::vector<std::string> args) {
    return run_captured([&] { parse(args); });
  }

  std::vector<std::string> args_;
  std::vector<char *> argv_;
};

TEST_F(CmdLine, DefaultsAndFileName) {
  const char *f = parse({"x.cnf"});
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f, "x.cnf");
  EXPECT_EQ(ZORConfig::verbosity, 1);
  EXPECT_EQ(Logger::verbosity, 1);
  EXPECT_EQ(ZORConfig::zorrel, ZOR_Releases::R1_2);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR1);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Bitwise);
  EXPECT_TRUE(ZORConfig::comp_format);
  EXPECT_STREQ(ZORConfig::output_prefix, "c ");
  EXPECT_TRUE(ZORConfig::lst_model);
  EXPECT_EQ(ZORConfig::upper_bound, BoundMode::Mode1);
  EXPECT_EQ(ZORConfig::lower_bound, BoundMode::Mode1);
  EXPECT_EQ(ZORConfig::add_global_cnstr, 0);
}

TEST_F(CmdLine, OptionsAfterTheFileAreNotRead) {
  EXPECT_STREQ(parse({"-v", "0", "x.cnf"}), "x.cnf");
  EXPECT_EQ(ZORConfig::verbosity, 0);
  EXPECT_EQ(Logger::verbosity, 0);
  EXPECT_STREQ(parse({"x.cnf", "-v", "3"}), "x.cnf");
  EXPECT_EQ(ZORConfig::verbosity, 1);
  // A value option after the file is never looked at, so it cannot read
  // past the arguments either.
  EXPECT_STREQ(parse({"f.wcnf", "-T"}), "f.wcnf");
  EXPECT_EQ(ZORConfig::tool_timeout, 3600);
}

TEST_F(CmdLine, UnknownDashArgumentIsTheFile) {
  EXPECT_STREQ(parse({"-x"}), "-x");
  EXPECT_STREQ(parse({"-w", "-chkx", "-u"}), "-chkx");
  EXPECT_FALSE(ZORConfig::lst_unsat_cls);
}

TEST_F(CmdLine, NoFileGivesNull) {
  EXPECT_EQ(parse({"-T", "60"}), nullptr);
  EXPECT_EQ(ZORConfig::tool_timeout, 60);
  EXPECT_EQ(parse({"-w", "-u"}), nullptr);
}

TEST_F(CmdLine, ValueOptionGivenLastHasNoValue) {
  // Each value option as the last argument: no value, no file.
  for (const char *opt :
       {"-r", "-a", "-e", "-m", "-T", "-v", "-setMiddle", "-lbh"}) {
    SCOPED_TRACE(opt);
    ZORConfig::tool_timeout = 3600;
    EXPECT_EQ(parse({"-w", opt}), nullptr);
    EXPECT_EQ(ZORConfig::tool_timeout, 3600);
  }
  // The value is taken whatever it looks like, even an option or the file.
  EXPECT_EQ(parse({"-T", "x.cnf"}), nullptr);
  EXPECT_EQ(ZORConfig::tool_timeout, 0);
  EXPECT_STREQ(parse({"-v", "-w", "x.cnf"}), "x.cnf");
  EXPECT_EQ(ZORConfig::verbosity, 0);
}

TEST_F(CmdLine, NumbersAreReadAsStrtolDoes) {
  parse({"-m", "  +12abc", "-T", "-5", "-v", "7x", "f"});
  EXPECT_TRUE(ZORConfig::relate_relax_vars);
  EXPECT_EQ(ZORConfig::relate_relax_vars_thres, 12);
  EXPECT_EQ(ZORConfig::tool_timeout, -5);
  EXPECT_EQ(ZORConfig::verbosity, 7);
  parse({"-m", "none", "-T", "99999999999", "-v", "", "f"});
  EXPECT_EQ(ZORConfig::relate_relax_vars_thres, 0);
  EXPECT_EQ(ZORConfig::tool_timeout, 99999999999LL);
  EXPECT_EQ(ZORConfig::verbosity, 0);
}

TEST_F(CmdLine, FlagOptions) {
  parse({"-NC", "-u", "f"});
  EXPECT_TRUE(ZORConfig::lst_unsat_cls);
  EXPECT_TRUE(ZORConfig::lst_model);
  parse({"-NC", "-chk", "-bmo", "-wl", "-l", "-hard", "f"});
  EXPECT_TRUE(ZORConfig::check_solution);
  EXPECT_TRUE(ZORConfig::lst_model);
  EXPECT_TRUE(ZORConfig::bmo_mode);
  EXPECT_TRUE(ZORConfig::write_bmo_models);
  EXPECT_TRUE(ZORConfig::logging);
  EXPECT_TRUE(ZORConfig::hardening_rule);
}

TEST_F(CmdLine, LaterOptionsOverrideEarlierOnes) {
  parse({"-C", "-NC", "f"});
  EXPECT_FALSE(ZORConfig::comp_format);
  EXPECT_FALSE(ZORConfig::lst_model);
  EXPECT_STREQ(ZORConfig::output_prefix, "");
  parse({"-w", "-NC", "f"});
  EXPECT_FALSE(ZORConfig::lst_model);
  parse({"-NC", "-w", "f"});
  EXPECT_TRUE(ZORConfig::lst_model);
  parse({"-NC", "-C", "f"});
  EXPECT_TRUE(ZORConfig::comp_format);
  EXPECT_STREQ(ZORConfig::output_prefix, "c ");

  parse({"-r", "4.0", "-e", "sn", "f"});
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR4);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::SortNetworks);
  parse({"-e", "sn", "-r", "4.0", "f"});
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR4);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::CardNetworks);
  // A release resets the threshold that -m set before it.
  parse({"-m", "9", "-r", "1.0", "f"});
  EXPECT_EQ(ZORConfig::relate_relax_vars_thres, 3);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Pairwise);
}

TEST_F(CmdLine, ValuedOptions) {
  parse({"-a", "bc", "f"});
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::BinarySearchCore);
  parse({"-a", "bin-core", "f"});
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::BinarySearchCore);
  parse({"-r", "bcd2", "f"});
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::BinarySearchCoreDisjoint2);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::CardNetworks);
  parse({"-e", ":we", "f"});
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Bitwise);
  EXPECT_EQ(ZORConfig::zorpbenc, PB_CNF_Encodings::WarnersEquiv);
  parse({"-e", "ld:sc", "f"});
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Ladder);
  EXPECT_EQ(ZORConfig::zorpbenc, PB_CNF_Encodings::SeqWeightedCounters);
  parse({"-setMiddle", "biased", "-lbh", "0", "f"});
  EXPECT_EQ(ZORConfig::middle_type, MiddleType::Biased);
  EXPECT_EQ(ZORConfig::lower_bound, BoundMode::Mode0);
  parse({"-lbh", "7", "f"});
  EXPECT_EQ(ZORConfig::lower_bound, BoundMode::Other);
}

TEST_F(CmdLine, InvalidValuesEndTheRunWithStatus3) {
  struct {
    std::vector<std::string> args;
    const char *line;
  } cases[] = {
      {{"-a", "2", "f"}, " ERROR: Invalid ZOR algorithm\n"},
      {{"-r", "1.3", "f"}, " ERROR: Invalid ZOR release\n"},
      {{"-e", "xx", "f"}, " ERROR: Invalid CNF encoding\n"},
      {{"-e", "sn:x", "f"}, " ERROR: Invalid CNF PB encoding\n"},
      {{"-setMiddle", "mid", "f"}, " ERROR: Invalid type of middle\n"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    Captured r = parse_in_child(c.args);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, c.line);
  }
}

TEST_F(CmdLine, HelpAndNoArgumentsExitWithStatus1) {
  Captured none = parse_in_child({});
  Captured h = parse_in_child({"-v", "2", "-h", "f"});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(h.status, 1);
  EXPECT_EQ(none.out, h.out);
  EXPECT_EQ(none.out.rfind("kestrane: maxsat solver based on unsat cores & "
                           "card constraints\n\nrelease: ",
                           0),
            0u);
  EXPECT_NE(none.out.find("\nusage: kestrane [ <option> ... ] <input> \n"
                          "where <option> is one of the following:\n"
                          "  -h       prints this help and exits\n"),
            std::string::npos);
  // Options that the usage text leaves out.
  for (const char *hidden : {"-setMiddle", "-hard", "-lbh", "bcd2"})
    EXPECT_EQ(none.out.find(hidden), std::string::npos) << hidden;
}

} // namespace
