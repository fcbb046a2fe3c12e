// Option registration, parsing and help lines of the Wren solver.
#include "sat/wren_options.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace Wren;

namespace {

std::string help_of(Option& o, bool verbose = false) {
  testing::internal::CaptureStderr();
  o.help(verbose);
  return testing::internal::GetCapturedStderr();
}

}  // namespace

TEST(WrenOptions, SolverOptionsAreRegisteredInOrder) {
  const char* names[] = {"var-decay", "cla-decay",    "rnd-freq", "rnd-seed",
                         "ccmin-mode", "phase-saving", "rnd-init", "luby",
                         "rfirst",    "rinc",         "gc-frac"};
  const char* types[] = {"<double>", "<double>", "<double>", "<double>",
                         "<int32>",  "<int32>",  "<bool>",   "<bool>",
                         "<int32>",  "<double>", "<double>"};
  vec<Option*>& list = Option::getOptionList();
  ASSERT_GE(list.size(), 11);
  for (int i = 0; i < 11; i++) {
    EXPECT_STREQ(list[i]->optionName(), names[i]);
    EXPECT_STREQ(list[i]->optionType(), types[i]);
    EXPECT_STREQ(list[i]->optionCategory(), "CORE");
  }
  EXPECT_DOUBLE_EQ(opt_var_decay, 0.95);
  EXPECT_DOUBLE_EQ(opt_clause_decay, 0.999);
  EXPECT_DOUBLE_EQ(opt_random_var_freq, 0);
  EXPECT_DOUBLE_EQ(opt_random_seed, 91648253);
  EXPECT_EQ((int)opt_ccmin_mode, 2);
  EXPECT_EQ((int)opt_phase_saving, 2);
  EXPECT_FALSE(opt_rnd_init_act);
  EXPECT_TRUE(opt_luby_restart);
  EXPECT_EQ((int)opt_restart_first, 100);
  EXPECT_DOUBLE_EQ(opt_restart_inc, 2);
  EXPECT_DOUBLE_EQ(opt_garbage_frac, 0.2);
}

TEST(WrenOptions, IntParse) {
  static IntOption o("TEST", "level", "A level", 1, IntRange(0, 5));
  EXPECT_TRUE(o.parse("-level=4"));
  EXPECT_EQ((int)o, 4);
  EXPECT_TRUE(o.parse("-level=0"));
  EXPECT_EQ((int)o, 0);
  for (const char* bad : {"-level", "level=3", "-levelx=3", "-level=", "-level=3x",
                          "-level=abc", "--level=3", "-lev=3"})
    EXPECT_FALSE(o.parse(bad)) << bad;
  EXPECT_EQ((int)o, 0);
}

TEST(WrenOptionsDeathTest, IntOutOfRangeEndsWithStatusOne) {
  EXPECT_EXIT(opt_ccmin_mode.parse("-ccmin-mode=3"), testing::ExitedWithCode(1),
              "ERROR! value <3> is too large for option \"ccmin-mode\".");
  EXPECT_EXIT(opt_ccmin_mode.parse("-ccmin-mode=-1"), testing::ExitedWithCode(1),
              "ERROR! value <-1> is too small for option \"ccmin-mode\".");
  // Beyond 32 (and 64) bits: reported, never truncated into the range.
  EXPECT_EXIT(opt_restart_first.parse("-rfirst=4294967397"), testing::ExitedWithCode(1),
              "ERROR! value <4294967397> is too large for option \"rfirst\".");
  EXPECT_EXIT(opt_restart_first.parse("-rfirst=99999999999999999999999"),
              testing::ExitedWithCode(1), "is too large for option \"rfirst\"");
  EXPECT_EXIT(opt_restart_first.parse("-rfirst=0"), testing::ExitedWithCode(1),
              "ERROR! value <0> is too small for option \"rfirst\".");
}

TEST(WrenOptions, DoubleParseHonoursInclusiveEnds) {
  static DoubleOption o("TEST", "freq", "A frequency", 0.5, DoubleRange(0, true, 1, true));
  EXPECT_TRUE(o.parse("-freq=1"));
  EXPECT_DOUBLE_EQ(o, 1);
  EXPECT_TRUE(o.parse("-freq=0"));
  EXPECT_DOUBLE_EQ(o, 0);
  EXPECT_TRUE(o.parse("-freq=2.5e-1"));
  EXPECT_DOUBLE_EQ(o, 0.25);
  for (const char* bad : {"-freq", "-freq=", "-freq=0.3x", "-freq=nan", "-freqs=0.3"})
    EXPECT_FALSE(o.parse(bad)) << bad;
  EXPECT_DOUBLE_EQ(o, 0.25);
}

TEST(WrenOptionsDeathTest, DoubleOutOfRangeEndsWithStatusOne) {
  EXPECT_EXIT(opt_var_decay.parse("-var-decay=1"), testing::ExitedWithCode(1),
              "ERROR! value <1> is too large for option \"var-decay\".");
  EXPECT_EXIT(opt_var_decay.parse("-var-decay=0"), testing::ExitedWithCode(1),
              "ERROR! value <0> is too small for option \"var-decay\".");
  EXPECT_EXIT(opt_random_var_freq.parse("-rnd-freq=1.01"), testing::ExitedWithCode(1),
              "too large for option \"rnd-freq\"");
  EXPECT_EXIT(opt_restart_inc.parse("-rinc=1"), testing::ExitedWithCode(1),
              "ERROR! value <1> is too small for option \"rinc\".");
  EXPECT_EXIT(opt_restart_inc.parse("-rinc=inf"), testing::ExitedWithCode(1),
              "ERROR! value <inf> is too large for option \"rinc\".");
}

TEST(WrenOptions, RandomFrequencyAcceptsBothEnds) {
  EXPECT_TRUE(opt_random_var_freq.parse("-rnd-freq=1"));
  EXPECT_DOUBLE_EQ(opt_random_var_freq, 1);
  EXPECT_TRUE(opt_random_var_freq.parse("-rnd-freq=0"));
  EXPECT_DOUBLE_EQ(opt_random_var_freq, 0);
}

TEST(WrenOptions, BoolParse) {
  EXPECT_TRUE(opt_luby_restart.parse("-no-luby"));
  EXPECT_FALSE(opt_luby_restart);
  EXPECT_TRUE(opt_luby_restart.parse("-luby"));
  EXPECT_TRUE(opt_luby_restart);
  for (const char* bad : {"-lubyx", "luby", "-no-lubyx", "-luby=1", "-no-", "-"})
    EXPECT_FALSE(opt_luby_restart.parse(bad)) << bad;
  EXPECT_TRUE(opt_luby_restart);
}

TEST(WrenOptions, HelpLines) {
  EXPECT_EQ(help_of(opt_ccmin_mode),
            "  -ccmin-mode   = <int32>  [   0 ..    2] (default: 2)\n");
  EXPECT_EQ(help_of(opt_restart_first),
            "  -rfirst       = <int32>  [   1 .. imax] (default: 100)\n");
  static IntOption any("TEST", "any", "Any value", -7);
  EXPECT_EQ(help_of(any), "  -any          = <int32>  [imin .. imax] (default: -7)\n");
  EXPECT_EQ(help_of(opt_var_decay),
            "  -var-decay    = <double> (   0 ..    1) (default: 0.95)\n");
  EXPECT_EQ(help_of(opt_random_var_freq),
            "  -rnd-freq     = <double> [   0 ..    1] (default: 0)\n");
  EXPECT_EQ(help_of(opt_random_seed),
            "  -rnd-seed     = <double> (   0 ..  inf) (default: 9.16483e+07)\n");
  EXPECT_EQ(help_of(opt_luby_restart),
            "  -luby, -no-luby" + std::string(24, ' ') + " (default: on)\n");
  EXPECT_EQ(help_of(opt_rnd_init_act),
            "  -rnd-init, -no-rnd-init" + std::string(16, ' ') + " (default: off)\n");
  static BoolOption long_name("TEST", "a-rather-long-option", "Long", false);
  EXPECT_EQ(help_of(long_name),
            "  -a-rather-long-option, -no-a-rather-long-option (default: off)\n");
}

TEST(WrenOptions, VerboseHelpAddsTheDescription) {
  EXPECT_EQ(help_of(opt_var_decay, true),
            "  -var-decay    = <double> (   0 ..    1) (default: 0.95)\n"
            "\n        The variable activity decay factor\n\n");
  EXPECT_EQ(help_of(opt_phase_saving, true),
            "  -phase-saving = <int32>  [   0 ..    2] (default: 2)\n"
            "\n        Controls the level of phase saving (0=none, 1=limited, 2=full)\n\n");
  EXPECT_EQ(help_of(opt_luby_restart, true),
            "  -luby, -no-luby" + std::string(24, ' ') +
                " (default: on)\n\n        Use the Luby restart sequence\n\n");
}
