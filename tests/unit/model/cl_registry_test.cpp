// Clause model: one object per literal set, reference counting across sets,
// weights and counters, groups, relaxation in place.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

namespace {
ClauseRegistry &reg() { return ClauseRegistry::clreg_instance; }
} // namespace

TEST(ClauseRegistry, FirstClauseHasIdOneAndIdsIncrease) {
  // This must be the first clause created in this test process.
  LitVector a{5};
  BasicClause *c = reg().create_clause(a);
  EXPECT_EQ(c->id, 1);
  LitVector b{6};
  EXPECT_EQ(reg().create_clause(b)->id, 2);
}

TEST(ClauseRegistry, SortsDeduplicatesAndShares) {
  LitVector a{3, -1, 3};
  BasicClause *c = reg().create_clause(a);
  EXPECT_EQ(a, (LitVector{-1, 3}));
  EXPECT_EQ(c->lits, (LitVector{-1, 3}));
  LitVector b{-1, 3};
  EXPECT_EQ(reg().create_clause(b), c);
  EXPECT_EQ(c->weight, 0);
  EXPECT_EQ(c->group, -1);
  long long raw[] = {3, -1};
  EXPECT_EQ(reg().create_clause(2, raw), c);
  EXPECT_EQ(raw[0], 3); // the caller's array is untouched
}

TEST(ClauseRegistry, TautologyKeepsBothLiteralsAndRepeatsAcrossSignsDrop) {
  LitVector a{2, -2};
  EXPECT_EQ(reg().create_clause(a)->lits.size(), 2u);
  LitVector b{7, -7, 7, -7, 8};
  BasicClause *c = reg().create_clause(b);
  EXPECT_EQ(c->lits.size(), 3u);
}

TEST(ClauseRegistry, AddLiteralReregisters) {
  LitVector a{10, 11};
  BasicClause *c = reg().create_clause(a);
  LitVector old = c->lits;
  long long id = c->id;
  reg().add_literal(c, 100);
  EXPECT_EQ(reg().lookup_vect(old), nullptr);
  EXPECT_EQ(reg().lookup_vect(LitVector{10, 11, 100}), c);
  EXPECT_EQ(c->id, id);
  // add_lit re-sorts when the new literal breaks the order.
  c->add_lit(-3);
  EXPECT_EQ(c->lits, (LitVector{-3, 10, 11, 100}));
}

// Literals are kept in 32 bits where they fit and move to a wider or
// larger array when a literal or a relaxation needs it; the clause and its
// registry key follow every move.
TEST(ClauseRegistry, StorageWidensAndGrowsWithoutLosingTheKey) {
  const long long big = 1LL << 40;
  LitVector w{big, -3, 5};
  BasicClause *c = reg().create_clause(w);
  EXPECT_EQ(c->lits, (LitVector{-3, 5, big}));
  EXPECT_EQ(reg().lookup_vect(LitVector{-3, 5, big}), c);
  reg().add_literal(c, -(big + 1));
  EXPECT_EQ(c->lits, (LitVector{-3, 5, big, -(big + 1)}));
  EXPECT_EQ(c->lits.back(), -(big + 1));

  LitVector a{7, 8, 9};
  BasicClause *d = reg().create_clause(a);
  LitVector expect = a;
  for (long long r = 100; r < 140; ++r) { // relaxed again and again
    reg().add_literal(d, r);
    expect.push_back(r);
  }
  reg().add_literal(d, big); // a narrow clause turns wide
  expect.push_back(big);
  EXPECT_EQ(d->lits, expect);
  EXPECT_EQ(reg().lookup_vect(expect), d);
  EXPECT_EQ(reg().lookup_vect(a), nullptr);
  EXPECT_EQ(LitVector(d->lits), expect);
  EXPECT_EQ(d->lits.end() - d->lits.begin(), 44);
  EXPECT_EQ(d->lits[3], 100);

  LitVector longer; // a block of its own, beyond the arena's small sizes
  for (long long v = 1; v <= 1000; ++v)
    longer.push_back(v % 2 ? v : -v);
  BasicClauseSet s;
  BasicClause *e = s.create_clause(longer);
  EXPECT_EQ(e->lits, longer);
  EXPECT_EQ(s.create_clause(longer), e);
  s.clear_direct();
  EXPECT_EQ(reg().lookup_vect(longer), nullptr);
  // One stays until the process ends, as registry clauses may: the leak
  // checker of the sanitizer build must still find it.
  longer.push_back(5000);
  EXPECT_NE(reg().create_clause(longer), nullptr);
}

TEST(ClauseRegistry, ShortAndLongClausesSortAlike) {
  // Short clauses take a sorting network, long ones a comparison sort; both
  // order by variable, -x before x, and drop repeats.
  std::uint64_t x = 7;
  for (int round = 0; round < 300; ++round) {
    LitVector v;
    int n = 1 + round % 14;
    for (int i = 0; i < n; ++i) {
      x = x * 6364136223846793005ULL + 1442695040888963407ULL;
      long long var = 300000 + static_cast<long long>((x >> 33) % 6);
      v.push_back((x >> 20) & 1 ? var : -var);
    }
    LitVector expect = v;
    std::sort(expect.begin(), expect.end(), [](long long a, long long b) {
      return std::llabs(a) != std::llabs(b) ? std::llabs(a) < std::llabs(b)
                                            : a < b;
    });
    expect.erase(std::unique(expect.begin(), expect.end()), expect.end());
    BasicClause *c = reg().create_clause(v);
    EXPECT_EQ(v, expect) << "round " << round;
    EXPECT_EQ(c->lits, expect) << "round " << round;
  }
}

TEST(BasicClauseSet, InsertTwiceChangesNothing) {
  BasicClauseSet s;
  s.top_weight = 10;
  s.def_cltype = ClauseType::Unit;
  BasicClause *c = s.create_unit_clause(20);
  EXPECT_EQ(c->weight, 1);
  EXPECT_EQ(reg().cl_refs(c), 1);
  s.insert_clause(c);
  EXPECT_EQ(reg().cl_refs(c), 1);
  EXPECT_EQ(s.num_total, 1);
  EXPECT_EQ(s.size(), 1u);
}

TEST(BasicClauseSet, WeightsCapAndCount) {
  BasicClauseSet s;
  s.top_weight = 10;
  LitVector v{21, 22};
  BasicClause *c = reg().create_clause(v);
  EXPECT_EQ(s.set_cl_weight(c, 10), 10);
  EXPECT_EQ(s.num_hard, 1);
  EXPECT_EQ(s.set_cl_weight(c, 12), 10);
  EXPECT_EQ(s.num_weighted, 1);
  EXPECT_EQ(s.set_cl_weight(c, 1), 1);
  EXPECT_EQ(s.num_unit, 1);
  EXPECT_EQ(s.num_total, 3);
}

TEST(BasicClauseSet, DefaultTypesApplyPerClause) {
  BasicClauseSet hard, weighted;
  weighted.top_weight = 100;
  weighted.def_cltype = ClauseType::Default;
  weighted.def_weight = 7;
  hard.create_binary_clause(31, 32);
  BasicClause *d = reg().lookup_vect(LitVector{31, 32});
  EXPECT_EQ(d->weight, BasicClauseSet::kMaxWeight);
  weighted.insert_clause(d);
  EXPECT_EQ(d->weight, 7); // weights belong to the clause, not the set
  BasicClauseSet keep;
  keep.def_cltype = ClauseType::Keep;
  keep.insert_clause(d);
  EXPECT_EQ(d->weight, 7);
}

TEST(BasicClauseSet, GroupsStoreTheGroupAsWeight) {
  BasicClauseSet s;
  BasicClause *c = s.create_unit_clause(40);
  s.set_cl_group(c, 7);
  EXPECT_EQ(c->weight, 7);
  ASSERT_EQ(s.groups.at(7).size(), 1u);
  BasicClauseSet copy(s);
  copy.groups[7].push_back(c);
  EXPECT_EQ(s.groups.at(7).size(), 1u); // the copy has its own lists
}

TEST(BasicClauseSet, SharedClauseSurvivesFirstRelease) {
  BasicClauseSet a, b;
  BasicClause *c = a.create_ternary_clause(50, 51, 52);
  b.insert_clause(c);
  EXPECT_EQ(reg().cl_refs(c), 2);
  a.clear_direct();
  EXPECT_EQ(reg().lookup_vect(LitVector{50, 51, 52}), c);
  b.remove_clause(c);
  EXPECT_EQ(reg().lookup_vect(LitVector{50, 51, 52}), nullptr);
  // A later creation builds a new clause with a new id.
  BasicClause *d = a.create_ternary_clause(50, 51, 52);
  EXPECT_NE(reg().lookup_vect(LitVector{50, 51, 52}), nullptr);
  EXPECT_EQ(d->weight, BasicClauseSet::kMaxWeight);
}

TEST(BasicClauseSet, IterationKeepsInsertionOrderAcrossRemovals) {
  BasicClauseSet s;
  std::vector<BasicClause *> expect;
  for (long long v = 1000; v < 1100; ++v) {
    BasicClause *c = s.create_unit_clause(v);
    if (v % 3 != 0)
      expect.push_back(c);
  }
  // Removing while iterating is allowed.
  for (BasicClause *c : s)
    if (c->lits[0] % 3 == 0)
      s.remove_clause(c);
  EXPECT_EQ(s.clauses(), expect);
  EXPECT_EQ(s.size(), expect.size());
  for (long long v = 2000; v < 2100; ++v)
    expect.push_back(s.create_unit_clause(v)); // compacts on the way
  EXPECT_EQ(s.clauses(), expect);
  for (BasicClause *c : expect)
    EXPECT_TRUE(s.contains(c));
}

TEST(BasicClauseSet, SoftUnitPropertyAndDump) {
  BasicClauseSet s;
  s.top_weight = 5;
  s.def_cltype = ClauseType::Unit;
  s.create_unit_clause(-60);
  s.compute_soft_cl_properties();
  EXPECT_TRUE(s.all_soft_units);
  s.create_binary_clause(61, -62);
  s.compute_soft_cl_properties();
  EXPECT_FALSE(s.all_soft_units);
  std::ostringstream out;
  s.dump(out);
  EXPECT_EQ(out.str(), "-60 0 \n61 -62 0 \n");
}

TEST(IDManager, FreshIdsFollowTheTop) {
  IDManager m;
  m.top_id = 9;
  EXPECT_EQ(m.new_id(), 10);
  EXPECT_EQ(m.new_id(), 11);
  EXPECT_EQ(m.top_id, 11);
}
