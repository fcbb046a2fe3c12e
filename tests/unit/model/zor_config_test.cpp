// Release presets and the messages' exit path.
#include <gtest/gtest.h>

#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

TEST(ZORConfig, ReleasePresets) {
  ZORConfig::set_release(ZOR_Releases::R1_2);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR1);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Bitwise);
  EXPECT_TRUE(ZORConfig::relate_relax_vars);
  EXPECT_EQ(ZORConfig::relate_relax_vars_thres, 3);
  ZORConfig::set_release(ZOR_Releases::R2);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::ZOR2);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::Bitwise);
  ZORConfig::set_release(ZOR_Releases::LinUnsatSat);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::LinearUnsatSat);
  ZORConfig::set_release(ZOR_Releases::LinSatUnsat);
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::LinearSatUnsat);
  // An encoding chosen after the release stays; a later release replaces it.
  ZORConfig::zorenc = Card_CNF_Encodings::SeqCounter;
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::SeqCounter);
  ZORConfig::set_release(ZOR_Releases::Bin);
  EXPECT_EQ(ZORConfig::zorenc, Card_CNF_Encodings::CardNetworks);
  // An unknown release keeps algorithm and encoding.
  ZORConfig::set_release(static_cast<ZOR_Releases>(0x1234));
  EXPECT_EQ(ZORConfig::zoralg, ZOR_Algorithms::BinarySearch);
}

TEST(RuntimeMessages, LinesBeginWithTheEmptyShortName) {
  testing::internal::CaptureStdout();
  Warn("x");
  Info("y");
  Error(std::string("z"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " WARN: x\n INFO: y\n ERROR: z\n");
}

TEST(RuntimeMessagesDeathTest, AbortAndToolAbortExitStatuses) {
  EXPECT_EXIT(Abort(""), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(
      {
        testing::internal::CaptureStdout();
        tool_abort("Unimplemented CNF encoding option");
      },
      testing::ExitedWithCode(5), "");
}

TEST(RuntimeMessagesDeathTest, CpuTimeLimit) {
  ZORConfig::tool_timeout = 0;
  EXPECT_EXIT(check_cpu_timeout(), testing::ExitedWithCode(3), "");
  ZORConfig::tool_timeout = 3600;
  check_cpu_timeout(); // returns
  EXPECT_GE(RUSAGE::read_cpu_time(), 0.0);
}
