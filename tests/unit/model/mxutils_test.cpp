// Model printing, the certificate file, the checks of a model against the
// hard clauses and against a claimed cost (overflow included), and the OPB
// objective's value of a model.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/mxutils.hpp"

namespace {

using Model = std::vector<long long>;

class ModelOutput : public testing::Test {
protected:
  void SetUp() override {
    ZORConfig::comp_format = true;
    ZORConfig::verbosity = 1;
  }
  // Adds a clause of the given weight to set (top weight set by caller).
  BasicClause *add(std::vector<long long> lits, long long w) {
    BasicClause *c = set.create_clause(lits);
    c->weight = w;
    return c;
  }
  template <typename Fn> std::string printed(Fn fn) {
    std::ostringstream out;
    fn(out);
    return out.str();
  }
  BasicClauseSet set;
};

TEST_F(ModelOutput, PrintModel) {
  Model m{0, 1, -1, 0};
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, 3); }),
            "v 1 -2 3=0 \n");
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, 2); }),
            "v 1 -2 \n");
  // The model's end stops the walk, whatever n says (signed or unsigned).
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, 99); }),
            "v 1 -2 3=0 \n");
  EXPECT_EQ(
      printed([&](std::ostream &o) { mxutils::print_model(o, m, ~0ULL); }),
      "v 1 -2 3=0 \n");
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, 0); }),
            "v \n");
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, -1LL); }),
            "v \n");
  Model one{5};
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, one, 3); }),
            "v \n");
  ZORConfig::comp_format = false;
  EXPECT_EQ(printed([&](std::ostream &o) { mxutils::print_model(o, m, 3); }),
            "MaxSAT model: 1 -2 3=0 \n");
}

TEST_F(ModelOutput, SimpleModelAndCertificate) {
  Model m{0, 1, -1, 0};
  EXPECT_EQ(
      printed([&](std::ostream &o) { mxutils::print_simple_model(o, m, 3); }),
      "1 -2 3=0 0\n");
  Model empty;
  EXPECT_EQ(printed([&](std::ostream &o) {
              mxutils::print_simple_model(o, empty, 3);
            }),
            "0\n");
  std::string name = testing::TempDir() + "kestrane-certificate.txt";
  mxutils::write_simple_cost_model(name.c_str(), 4, m, 3);
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "<= 4 1 -2 3=0 0\n");
  std::remove(name.c_str());
  // An unopenable file is not reported.
  mxutils::write_simple_cost_model("/nonexistent-dir/x.txt", 4, m, 3);
}

TEST_F(ModelOutput, ValidateHardClauses) {
  set.top_weight = 10;
  add({1, 2}, 10);
  add({-1, 5}, 10); // 5 is a relaxation variable (n = 4): never checked
  add({3}, 2);      // soft: not checked
  Model m{0, -1, 1, -1, 0, 0};
  std::string out;
  out = printed([&](std::ostream &o) {
    EXPECT_TRUE(mxutils::validate_hard_cls(o, set, 4LL, m));
  });
  EXPECT_EQ(out, "");
  m[2] = -1; // falsifies [1, 2]
  out = printed([&](std::ostream &o) {
    EXPECT_FALSE(mxutils::validate_hard_cls(o, set, 4ULL, m));
  });
  EXPECT_EQ(out, "Unsat hard clause: 1 2 0  w/ cost: 10\n");
  m[1] = 1; // satisfies [1, 2]; in [-1, 5] the 5 > n ends the walk
  EXPECT_TRUE(mxutils::validate_hard_cls(set, 4, m));
  m[1] = -1;
  ZORConfig::verbosity = 0;
  out = printed([&](std::ostream &o) {
    EXPECT_FALSE(mxutils::validate_hard_cls(o, set, 4, m));
  });
  EXPECT_EQ(out, "");
}

TEST_F(ModelOutput, ValidateHardClausesMissingEntriesAndEmptyClause) {
  set.top_weight = 10;
  add({2, 3}, 10);
  Model shortm{0, 1};
  std::string out = printed([&](std::ostream &o) {
    EXPECT_FALSE(mxutils::validate_hard_cls(o, set, 3, shortm));
  });
  EXPECT_EQ(out, "vid: 2 w/ size:2\nvid: 3 w/ size:2\n"
                 "Unsat hard clause: 2 3 0  w/ cost: 10\n");
  BasicClauseSet empty_set;
  empty_set.top_weight = 10;
  std::vector<long long> none;
  empty_set.create_clause(none)->weight = 10;
  EXPECT_FALSE(mxutils::validate_hard_cls(empty_set, 3, shortm));
}

TEST_F(ModelOutput, ValidateModelCountsFalsifiedWeights) {
  set.top_weight = 100;
  add({1, 5}, 3);   // 5 > n is ignored: falsified when 1 is false
  add({-2}, 4);     // satisfied
  add({2, 3}, 100); // hard, satisfied
  add({6, 7}, 9);   // only variables above n: not counted
  Model m{0, -1, -1, 1, -1, 1};
  EXPECT_TRUE(mxutils::validate_model(set, 4, m, 3));
  EXPECT_FALSE(mxutils::validate_model(set, 4, m, 4));
  EXPECT_FALSE(mxutils::validate_model(set, 4, m, 0));
  ZORConfig::verbosity = 9;
  std::string out = printed(
      [&](std::ostream &o) { mxutils::validate_model(o, set, 4, m, 3); });
  EXPECT_EQ(out, "c Unsat clause: 1 5 0  w/ cost: 3\n"
                 "c Unsat cls: 1\n"
                 "c Computed min cost: 3 vs. Unsat cost: 3\n");
  ZORConfig::comp_format = false;
  ZORConfig::verbosity = 6;
  out = printed(
      [&](std::ostream &o) { mxutils::validate_model(o, set, 4, m, 3); });
  EXPECT_EQ(out, "Unsat cls: 1\nComputed min cost: 3 vs. Unsat cost: 3\n");
}

TEST_F(ModelOutput, ValidateModelRejectsAnyFalsifiedHardClause) {
  set.top_weight = 10;
  add({1}, 10);
  Model m{0, -1};
  // The falsified hard clause's weight equals the claimed cost: still wrong.
  EXPECT_FALSE(mxutils::validate_model(set, 1, m, 10));
}

TEST_F(ModelOutput, ValidateModelSumCannotWrapAround) {
  // Two falsified hard clauses of weight 2^63 - 1 and a soft clause of
  // weight 2 wrap a 64-bit sum to exactly 0.
  set.top_weight = LLONG_MAX;
  add({1}, LLONG_MAX);
  add({2}, LLONG_MAX);
  add({3}, 2);
  Model m{0, -1, -1, -1};
  EXPECT_FALSE(mxutils::validate_model(set, 3, m, 0));
  // Soft weights alone beyond the 64-bit range never validate either.
  BasicClauseSet soft;
  soft.top_weight = LLONG_MAX;
  std::vector<long long> a{4}, b{5}, c{6};
  soft.create_clause(a)->weight = LLONG_MAX - 1;
  soft.create_clause(b)->weight = LLONG_MAX - 1;
  soft.create_clause(c)->weight = 4;
  Model all_false{0, 0, 0, 0, -1, -1, -1};
  EXPECT_FALSE(mxutils::validate_model(soft, 6, all_false, 0));
}

TEST_F(ModelOutput, ValidateModelMissingEntriesCountAsUnassigned) {
  set.top_weight = 100;
  add({3}, 5);
  Model shortm{0, 1};
  std::string out = printed([&](std::ostream &o) {
    EXPECT_TRUE(mxutils::validate_model(o, set, 3, shortm, 5));
  });
  EXPECT_EQ(out, "vid: 3 w/ size:2\n");
  // An empty soft clause is falsified by every model.
  std::vector<long long> none;
  set.create_clause(none)->weight = 2;
  EXPECT_TRUE(mxutils::validate_model(set, 3, shortm, 7));
}

TEST_F(ModelOutput, AlternativeCostFromTheObjective) {
  ZORConfig cfg;
  ZORConfig::pbo_minimization_function = {{3, 2}, {5, 7}};
  Model m{0, 0, 0, 1, 0, -1};
  long long cost = 99;
  set_alternative_cost(cfg, m, cost);
  EXPECT_EQ(cost, 2);
  // A variable without a model entry is not true.
  ZORConfig::pbo_minimization_function = {{3, 2}, {9, 7}};
  cost = 99;
  set_alternative_cost(cfg, m, cost);
  EXPECT_EQ(cost, 2);
  // A sum beyond 64 bits leaves the solver's cost.
  ZORConfig::pbo_minimization_function = {{3, LLONG_MAX}, {5, LLONG_MAX}};
  Model both{0, 0, 0, 1, 0, 1};
  cost = 99;
  set_alternative_cost(cfg, both, cost);
  EXPECT_EQ(cost, 99);
  ZORConfig::pbo_minimization_function.clear();
  set_alternative_cost(cfg, m, cost);
  EXPECT_EQ(cost, 99);
}

TEST_F(ModelOutput, DebugPrinters) {
  testing::internal::CaptureStdout();
  PRINT_ELEMENTS({1, -2}, "xs: ", ", ");
  BasicClause *c = add({-1, 2}, 1);
  PRINT_PTR_ELEMENTS({c, c}, "cls: ", "; ");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "xs: 1, -2, \ncls: -1 2 0; -1 2 0; \n");
}

} // namespace
