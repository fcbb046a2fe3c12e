// The core-guided binary searches: the biased middle on its hand-computed
// values, and the group search against a brute-force group optimum on
// seeded random instances whose soft clauses share groups (a group of
// weight w costs w once, whatever number of its clauses is falsified; an
// ungrouped clause is a group of its own).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "model/zor_config.hpp"
#include "search/binary_search_core.hpp"
#include "search/group_binary_search_core.hpp"
#include "tests/tools/lib/small_instance.hpp"

namespace {

struct Counters : BinarySearchCore {
  void set(unsigned s, unsigned u) {
    sat_count_ = s;
    unsat_count_ = u;
  }
};

TEST(BinarySearchCore, BiasedMiddleFollowsTheAnswerCounts) {
  ZORConfig::middle_type = MiddleType::Biased;
  Counters bc;
  bc.set(1, 1);
  EXPECT_EQ(bc.computeMiddle(-1, 11), 10);
  bc.set(2, 1);
  EXPECT_EQ(bc.computeMiddle(-1, 7), 2);
  bc.set(1, 3); // more unsatisfiable answers: toward mu
  EXPECT_EQ(bc.computeMiddle(-1, 11), 6);
  EXPECT_EQ(bc.computeMiddle(4, 5), 5); // fewer than 2 apart
  ZORConfig::middle_type = MiddleType::Order;
  EXPECT_EQ(bc.computeMiddle(-1, 11), 5);
  ZORConfig::middle_type = MiddleType::Value;
}

struct GroupClause {
  LitVector lits;
  long long weight; // top: hard
  long long group;  // -1: none
};

std::vector<GroupClause> random_groups(unsigned seed, int nvars,
                                       long long top) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
  };
  const long long group_weight[] = {0, 1, 3, 1, 5};
  std::vector<GroupClause> out;
  std::set<LitVector> seen;
  for (int i = pick(1, 14); i > 0; --i) {
    LitVector lits;
    for (int j = pick(1, 3); j > 0; --j)
      lits.push_back(pick(0, 1) ? pick(1, nvars) : -pick(1, nvars));
    std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
      return std::llabs(a) < std::llabs(b) ||
             (std::llabs(a) == std::llabs(b) && a < b);
    });
    lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
    if (!seen.insert(lits).second)
      continue;
    int g = pick(0, 4);
    if (pick(0, 4) == 0)
      out.push_back({lits, top, -1});
    else if (g == 0)
      out.push_back({lits, pick(1, 2), -1});
    else
      out.push_back({lits, group_weight[g], g});
  }
  return out;
}

// Each falsified (group, weight) pair once, each falsified ungrouped clause;
// -1 when a hard clause is falsified.
long long group_cost(const std::vector<GroupClause> &cls, long long top,
                     const std::vector<long long> &m) {
  std::set<std::pair<long long, long long>> paid;
  long long cost = 0;
  for (const GroupClause &c : cls) {
    bool sat = false;
    for (long long l : c.lits)
      sat |= small::lit_true(m, l);
    if (sat)
      continue;
    if (c.weight >= top)
      return -1;
    if (c.group < 0 || paid.insert({c.group, c.weight}).second)
      cost += c.weight;
  }
  return cost;
}

TEST(GroupBinarySearchCore, GroupOptimumAgainstBruteForce) {
  const long long top = 1000;
  ZORConfig::verbosity = 0;
  ZORConfig::zorenc = Card_CNF_Encodings::CardNetworks;
  for (RelaxGroups mode : {RelaxGroups::All, RelaxGroups::Core}) {
    ZORConfig::relax_groups = mode;
    for (unsigned seed = 1; seed <= 150; ++seed) {
      const int nvars = 1 + static_cast<int>(seed % 6);
      std::vector<GroupClause> cls = random_groups(seed, nvars, top);
      long long expect = -1;
      for (unsigned bits = 0; bits < (1u << nvars); ++bits) {
        std::vector<long long> m(static_cast<std::size_t>(nvars) + 1);
        for (int v = 1; v <= nvars; ++v)
          m[static_cast<std::size_t>(v)] = bits >> (v - 1) & 1 ? 1 : -1;
        long long c = group_cost(cls, top, m);
        if (c >= 0 && (expect < 0 || c < expect))
          expect = c;
      }
      IDManager imgr;
      imgr.top_id = nvars;
      BasicClauseSet set;
      set.top_weight = top;
      set.def_cltype = ClauseType::Keep;
      for (GroupClause &c : cls) {
        BasicClause *cl = set.create_clause(c.lits);
        set.set_cl_weight(cl, c.weight);
        cl->group = c.group;
      }
      std::vector<long long> model;
      GroupBinarySearchCore s;
      s.init(imgr, set, model);
      testing::internal::CaptureStdout();
      long long got = s.solve();
      testing::internal::GetCapturedStdout();
      s.reset();
      set.clear_direct();
      ASSERT_EQ(got, expect) << "seed " << seed;
      if (expect >= 0) {
        EXPECT_EQ(group_cost(cls, top, model), expect) << "seed " << seed;
      }
    }
  }
}

} // namespace
