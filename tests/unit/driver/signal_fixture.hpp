// The run that the signal-path tests end: settings of the evaluation
// format, an input of one hard clause (1 2) and one soft clause (-1) of
// weight 3, and the model vector the signal path reads once published.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "driver/startup.hpp"
#include "model/basic_clset.hpp"
#include "model/clause_snapshot.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

class SignalFixture : public testing::Test {
protected:
  void SetUp() override {
    ZORConfig::comp_format = true;
    ZORConfig::lst_model = true;
    ZORConfig::verbosity = 1;
    imgr.top_id = 2;
    set.top_weight = 10;
    std::vector<long long> h{1, 2}, s{-1};
    set.create_clause(h)->weight = 10;
    set.create_clause(s)->weight = 3;
    input.take(set);
  }
  // Makes the run known to the signal path, its model line over vars
  // variables.
  void publish(long long vars = 2) {
    publish_tool_objects(imgr, set, model, vars, 2, &input);
  }

  IDManager imgr;
  BasicClauseSet set; // hard (1 2), soft (-1) of weight 3
  ClauseSnapshot input;
  std::vector<long long> model{0, 1, -1};
};
