// Formula environment: encoding of formulas, the simplification rules of
// the node constructors, hash-consing and marks.
#include "pbtranslator/fenv.hpp"

#include <gtest/gtest.h>

#include <random>

namespace {
Formula X(int v) { return atom(Lit(v)); }
} // namespace

TEST(Formula, Encoding) {
  EXPECT_EQ(X(3).toInt(), 48);
  EXPECT_EQ(atom(~Lit(3)).toInt(), 56);
  EXPECT_EQ(~X(3), atom(~Lit(3)));
  EXPECT_EQ(atomLit(atom(~Lit(5))), ~Lit(5));
  EXPECT_EQ(~_1_, _0_);
  EXPECT_TRUE(_1_.isConst());
  EXPECT_FALSE(_undef_.isConst());
  EXPECT_FALSE(X(0).compound());
  EXPECT_TRUE(X(0).isAtom());
}

TEST(FormulaConstructors, Simplifications) {
  Formula x = X(1), l = X(2), h = X(3);
  EXPECT_EQ(AND(x, _0_), _0_);
  EXPECT_EQ(AND(x, ~x), _0_);
  EXPECT_EQ(AND(_1_, x), x);
  EXPECT_EQ(AND(x, x), x);
  EXPECT_EQ(AND(x, l), AND(l, x)); // ordered, hash-consed

  EXPECT_EQ(ITE(_0_, h, l), l);
  EXPECT_EQ(ITE(_1_, h, l), h);
  EXPECT_EQ(ITE(x, l, l), l);
  EXPECT_EQ(ITE(x, _1_, _0_), x);
  EXPECT_EQ(ITE(x, _0_, _1_), ~x);
  EXPECT_EQ(ITE(x, ~x, x), _0_);
  EXPECT_EQ(ITE(x, _0_, l), AND(~x, l));
  EXPECT_EQ(ITE(x, _1_, l), ~AND(~x, ~l));
  EXPECT_EQ(ITE(x, h, _0_), AND(x, h));
  EXPECT_EQ(ITE(x, h, _1_), ~AND(x, ~h));
  Formula xr = ITE(x, ~l, l);
  ASSERT_TRUE(xr.compound());
  EXPECT_EQ(FEnv::kind(xr), FEnv::NodeKind::Equiv);
  EXPECT_EQ(ITE(x, ~l, l), XOR(x, l));
  Formula ite = ITE(x, h, l);
  EXPECT_EQ(FEnv::kind(ite), FEnv::NodeKind::Ite);
  EXPECT_EQ(ITE(x, h, ~l), ITE(x, h, ~l));
}

// Every constructor result evaluates as its operation does.
TEST(FormulaConstructors, SemanticsExhaustive) {
  std::mt19937 rng(3);
  vec<Formula> pool;
  for (int v = 0; v < 4; v++)
    pool.push(X(v));
  pool.push(_0_);
  pool.push(_1_);
  for (int round = 0; round < 300; round++) {
    Formula a = pool[(int)(rng() % pool.size())],
            b = pool[(int)(rng() % pool.size())],
            c = pool[(int)(rng() % pool.size())];
    if (rng() % 2)
      a = ~a;
    if (rng() % 2)
      b = ~b;
    Formula made[] = {AND(a, b), XOR(a, b), ITE(a, b, c), FAs(a, b, c),
                      FAc(a, b, c)};
    for (int bits = 0; bits < 16; bits++) {
      vec<bool> at;
      for (int v = 0; v < 4; v++)
        at.push(((bits >> v) & 1) != 0);
      bool va = eval(a, at), vb = eval(b, at), vc = eval(c, at);
      ASSERT_EQ(eval(made[0], at), va && vb) << round;
      ASSERT_EQ(eval(made[1], at), va != vb) << round;
      ASSERT_EQ(eval(made[2], at), va ? vb : vc) << round;
      ASSERT_EQ(eval(made[3], at), (va + vb + vc) % 2 == 1) << round;
      ASSERT_EQ(eval(made[4], at), va + vb + vc >= 2) << round;
    }
    for (Formula f : made)
      if (f.compound() && pool.size() < 60)
        pool.push(f);
  }
}

TEST(FEnvMarks, PopRemovesNodesAndTableEntries) {
  Formula a = X(10), b = X(11), c = X(12);
  Formula kept = AND(a, b);
  int base = FEnv::nodes.size();
  FEnv::push();
  EXPECT_EQ(FEnv::topSize(), 0);
  Formula gone = AND(a, c);
  EXPECT_EQ(AND(a, b), kept); // found, not new
  EXPECT_EQ(FEnv::topSize(), 1);
  FEnv::pop();
  EXPECT_EQ(FEnv::nodes.size(), base);
  Formula again = AND(a, c); // recreated at the same index
  EXPECT_EQ(again, gone);
  FEnv::push();
  AND(b, c);
  FEnv::keep();
  EXPECT_EQ(FEnv::nodes.size(), base + 2);
  EXPECT_EQ(FEnv::stack.size(), 0);
}
