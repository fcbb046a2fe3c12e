// The cost constraints of the bounded algorithms, at most, at least and
// exactly k, checked exhaustively against the weighted sum over small
// inputs: unit weights by every cardinality encoding that takes the bound
// (the ladder only exactly one, as exactly one and not at most one), other
// weights by every pseudo-Boolean encoding, weight-0 variables left free.
#include <gtest/gtest.h>

#include "framework/bound_encoding.hpp"
#include "model/zor_config.hpp"
#include "tests/unit/encodings/enc_test_util.hpp"

namespace {

using namespace enc_test;

void check_all_k(const Lits &lits, const Lits &weights, const char *what) {
  long long total = 0;
  for (long long w : weights)
    total += w;
  for (CostRelation rel :
       {CostRelation::AtMost, CostRelation::AtLeast, CostRelation::Equals})
    for (long long k = 0; k <= total + 1; ++k) {
      if (ZORConfig::zorenc == Card_CNF_Encodings::Ladder &&
          (rel != CostRelation::Equals || k != 1))
        continue;
      Target t(4);
      encode_cost_constraint(t.im, t.cs, lits, weights, k, rel);
      Lits vars = vars_of(lits);
      auto pred = [&](const std::vector<bool> &vals) {
        long long s = weighted_sum(lits, weights, vars, vals);
        return rel == CostRelation::AtMost    ? s <= k
               : rel == CostRelation::AtLeast ? s >= k
                                              : s == k;
      };
      EXPECT_TRUE(equivalent(t.clauses(), vars, pred))
          << what << " relation " << static_cast<int>(rel) << " k " << k;
    }
}

TEST(EncodeCostConstraint, UnitWeightsByCardinality) {
  for (Card_CNF_Encodings enc :
       {Card_CNF_Encodings::BDD, Card_CNF_Encodings::SeqCounter,
        Card_CNF_Encodings::SortNetworks, Card_CNF_Encodings::CardNetworks,
        Card_CNF_Encodings::Ladder}) {
    ZORConfig::zorenc = enc;
    check_all_k({1, 2, 3, 4}, {1, 1, 0, 1}, "cardinality");
  }
}

TEST(EncodeCostConstraint, WeightsByPseudoBoolean) {
  for (PB_CNF_Encodings enc :
       {PB_CNF_Encodings::BDD, PB_CNF_Encodings::SortNetworks,
        PB_CNF_Encodings::Warners, PB_CNF_Encodings::WarnersEquiv,
        PB_CNF_Encodings::WarnersImpl,
        PB_CNF_Encodings::SeqWeightedCounters}) {
    ZORConfig::zorpbenc = enc;
    check_all_k({1, 2, 3, 4}, {3, 1, 0, 2}, "pseudo-Boolean");
  }
}

} // namespace
