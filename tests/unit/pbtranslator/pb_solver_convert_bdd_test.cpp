// BDD conversion: the formula shapes of small constraints, sharing through
// the node table, and exhaustive agreement of the formula with the
// constraint (intervals included) on random records.
#include "pbtranslator/fenv.hpp"
#include "pbtranslator/pb_solver.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace {

struct Record {
  std::unique_ptr<char[]> mem;
  Linear *c;
  Record(std::vector<std::pair<long long, Lit>> terms, Int lo, Int hi) {
    int n = (int)terms.size();
    mem.reset(new char[Linear::bytes(n) + 8]);
    c = new (mem.get()) Linear{n, n, lo, hi};
    for (int i = 0; i < n; i++) {
      c->lits()[i] = terms[(size_t)i].second;
      new (&c->coefs()[i]) Int(terms[(size_t)i].first);
    }
  }
};

Formula X(int v) { return atom(Lit(v)); }

} // namespace

TEST(ConvertToBdd, SmallShapes) {
  // x + y >= 1: an OR, no ITE node.
  Record r1({{1, Lit(0)}, {1, Lit(1)}}, 1, Int_MAX);
  Formula f1 = convertToBdd(*r1.c, 2147483647);
  EXPECT_EQ(f1, ~AND(~X(1), ~X(0)));
  EXPECT_TRUE(f1.sign());
  const FEnv::NodeData &d1 = FEnv::node(f1);
  EXPECT_EQ(d1.w0, 0u);
  EXPECT_LT(d1.w1, d1.w2);

  // x + y >= 2: the AND.
  Record r2({{1, Lit(0)}, {1, Lit(1)}}, 2, Int_MAX);
  Formula f2 = convertToBdd(*r2.c, 2147483647);
  EXPECT_EQ(f2, AND(X(1), X(0)));
  EXPECT_FALSE(f2.sign());

  // x + y + z >= 2: ITE on z over the OR and the AND of x and y.
  Record r3({{1, Lit(0)}, {1, Lit(1)}, {1, Lit(2)}}, 2, Int_MAX);
  Formula f3 = convertToBdd(*r3.c, 2147483647);
  ASSERT_TRUE(f3.compound());
  EXPECT_EQ(FEnv::kind(f3), FEnv::NodeKind::Ite);

  // Converting again creates no node and gives the same formula.
  int before = FEnv::nodes.size();
  EXPECT_EQ(convertToBdd(*r3.c, 2147483647), f3);
  EXPECT_EQ(FEnv::nodes.size(), before);

  // ~x + ~y in [1, 1]: exclusive or, one negated EQUIV node.
  Record r4({{1, ~Lit(0)}, {1, ~Lit(1)}}, 1, 1);
  Formula f4 = convertToBdd(*r4.c, 2147483647);
  ASSERT_TRUE(f4.compound());
  EXPECT_EQ(FEnv::kind(f4), FEnv::NodeKind::Equiv);
  EXPECT_TRUE(f4.sign());

  // Empty interval and trivially true ranges.
  Record r5({{1, Lit(0)}, {2, Lit(1)}}, 2, 1);
  EXPECT_EQ(convertToBdd(*r5.c, 2147483647), _0_);
  Record r6({{1, Lit(0)}, {2, Lit(1)}}, Int_MIN, 3);
  EXPECT_EQ(convertToBdd(*r6.c, 2147483647), _1_);
}

TEST(ConvertToBdd, NodeBudgetUndoesTheAttempt) {
  std::vector<std::pair<long long, Lit>> terms;
  for (int i = 0; i < 12; i++)
    terms.push_back({1 + i, Lit(20 + i)});
  Record r(terms, 30, Int_MAX);
  int before = FEnv::nodes.size();
  EXPECT_EQ(convertToBdd(*r.c, 3), _undef_);
  EXPECT_EQ(FEnv::nodes.size(), before);
  EXPECT_EQ(FEnv::stack.size(), 0);
  Formula f = convertToBdd(*r.c, 2147483647);
  EXPECT_NE(f, _undef_);
  EXPECT_GT(FEnv::nodes.size(), before);
}

// Random records (bounds below, above, both; literals of either sign): the
// formula evaluates like the constraint under every assignment.
TEST(ConvertToBdd, AgreesWithConstraintExhaustively) {
  const unsigned seed = 4242;
  std::mt19937 rng(seed);
  for (int run = 0; run < 400; run++) {
    int n_vars = 1 + (int)(rng() % 8);
    int n = 1 + (int)(rng() % n_vars);
    std::vector<std::pair<long long, Lit>> terms;
    long long total = 0;
    std::vector<int> perm;
    for (int v = 0; v < n_vars; v++)
      perm.push_back(v);
    std::shuffle(perm.begin(), perm.end(), rng);
    for (int i = 0; i < n; i++) {
      long long a = 1 + (long long)(rng() % (run % 2 ? 4 : 40));
      terms.push_back({a, Lit(perm[(size_t)i], rng() % 2)});
      total += a;
    }
    std::sort(terms.begin(), terms.end(),
              [](auto &p, auto &q) { return p.first < q.first; });
    Int lo = 1 + (long long)(rng() % (unsigned long long)total);
    Int hi = rng() % 3 == 0
                 ? Int_MAX
                 : Int((long long)(rng() % (unsigned long long)(total + 1)));
    Record r(terms, lo, hi);
    Formula f = convertToBdd(*r.c, 2147483647);
    for (int bits = 0; bits < (1 << n_vars); bits++) {
      vec<bool> atoms;
      for (int v = 0; v < n_vars; v++)
        atoms.push(((bits >> v) & 1) != 0);
      long long sum = 0;
      for (auto &t : terms)
        if (atoms[var(t.second)] != sign(t.second))
          sum += t.first;
      bool expected = Int(sum) >= lo && Int(sum) <= hi;
      ASSERT_EQ(eval(f, atoms), expected)
          << "seed " << seed << " run " << run << " assignment " << bits;
    }
  }
}
