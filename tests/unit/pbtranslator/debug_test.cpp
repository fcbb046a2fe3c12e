// The translator's debug dumps, string by string, and the name table that the
// goal registration publishes to them.
#include "pbtranslator/debug.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// What f prints when it starts at the beginning of a line.
template <class F> std::string printed(F f) {
  debug_reportf("\n");
  testing::internal::CaptureStdout();
  f();
  return testing::internal::GetCapturedStdout();
}

struct LinearBox {
  Linear *c;
  LinearBox(std::initializer_list<std::pair<int64_t, Lit>> terms, Int lo,
            Int hi) {
    int n = (int)terms.size();
    c = new (std::malloc(Linear::bytes(n))) Linear{n, n, lo, hi};
    int i = 0;
    for (const auto &t : terms) {
      c->lits()[i] = t.second;
      new (&c->coefs()[i]) Int(t.first);
      i++;
    }
  }
  ~LinearBox() { std::free(c); }
};

TEST(DebugDump, Numbers) {
  EXPECT_EQ(printed([] { dump(Int(INT64_MAX)); }), "c +oo");
  EXPECT_EQ(printed([] { dump(Int(-INT64_MAX)); }), "c -oo");
  EXPECT_EQ(printed([] { dump(Int(INT64_MIN)); }), "c -9223372036854775808");
  EXPECT_EQ(printed([] { dump(Int(-7)); }), "c -7");
  EXPECT_EQ(printed([] { dump(Int(0)); }), "c 0");
}

TEST(DebugDump, LiteralsWithAndWithoutNames) {
  debug_names = nullptr;
  EXPECT_EQ(printed([] { dump(Lit(3)); }), "c x3");
  EXPECT_EQ(printed([] { dump(~Lit(0)); }), "c ~x0");
  vec<char *> names;
  char a[] = "alpha", b[] = "beta";
  names.push(a);
  names.push(b);
  debug_names = &names;
  EXPECT_EQ(printed([] { dump(Lit(1, true)); }), "c ~beta");
  EXPECT_EQ(printed([] { dump(Lit(0)); }), "c alpha");
  EXPECT_EQ(printed([] { dump(Lit(2)); }), "c @2");
  EXPECT_EQ(printed([] { dump(~Lit(9)); }), "c ~@9");
  debug_names = nullptr;
}

TEST(DebugDump, Formulas) {
  EXPECT_EQ(printed([] { dump(atom(Lit(2))); }), "c v2");
  EXPECT_EQ(printed([] { dump(atom(Lit(2, true))); }), "c ~v2");
  EXPECT_EQ(printed([] { dump(Formula::fromInt(5 * 16 + 4)); }), "c @5");
  EXPECT_EQ(printed([] { dump(~Formula::fromInt(5 * 16 + 4)); }), "c ~@5");
  EXPECT_EQ(printed([] { dump(_1_); }), "c v-1");
  EXPECT_EQ(printed([] { dump(_0_); }), "c ~v-1");
}

TEST(DebugDump, TermSequences) {
  debug_names = nullptr;
  vec<Lit> ps;
  vec<Int> cs;
  ps.push(Lit(0));
  ps.push(Lit(1, true));
  ps.push(Lit(2));
  cs.push(Int(3));
  cs.push(Int(-2));
  cs.push(Int(INT64_MAX));
  EXPECT_EQ(printed([&] { dump(ps, cs); }), "c 3*x0  -2*~x1  +oo*x2");
  vec<int> values;
  values.push(1);
  values.push(1);
  values.push(0);
  EXPECT_EQ(printed([&] { dump(ps, cs, values); }),
            "c 3*x0:1  -2*~x1:0  +oo*x2:?");
  vec<Formula> fs;
  fs.push(atom(Lit(4)));
  fs.push(~Formula::fromInt(7 * 16 + 4));
  vec<Int> fcs;
  fcs.push(Int(1));
  fcs.push(Int(5));
  EXPECT_EQ(printed([&] { dump(fs, fcs); }), "c 1*v4  5*~@7");
  vec<Lit> none;
  vec<Int> no_cs;
  EXPECT_EQ(printed([&] { dump(none, no_cs); }), "");
}

TEST(DebugDump, Constraints) {
  debug_names = nullptr;
  LinearBox c({{2, Lit(0)}, {1, Lit(1, true)}}, Int(2), Int_MAX);
  EXPECT_EQ(printed([&] { dump(*c.c); }), "c 2*x0  1*~x1  in [2,+oo]");
  vec<int> values;
  values.push(-1);
  values.push(-1);
  EXPECT_EQ(printed([&] { dump(*c.c, values); }),
            "c 2*x0:0  1*~x1:1in [2,+oo]");
  LinearBox empty({}, Int_MIN, Int(4));
  EXPECT_EQ(printed([&] { dump(*empty.c); }), "c in [-oo,4]");
  // A long dump keeps to one line: no newline of its own.
  EXPECT_EQ(printed([&] {
              dump(*c.c);
              dump(*empty.c);
            }),
            "c 2*x0  1*~x1  in [2,+oo]in [-oo,4]");
}

TEST(DebugDump, GoalRegistrationPublishesTheNameTable) {
  debug_names = nullptr;
  {
    PbSolver pb;
    pb.getVar("alpha");
    pb.getVar("beta");
    vec<Lit> ps;
    vec<Int> cs;
    ps.push(Lit(1));
    cs.push(Int(1));
    pb.addGoal(ps, cs);
    EXPECT_EQ(debug_names, &pb.var_names);
    EXPECT_EQ(printed([] { dump(~Lit(1)); }), "c ~beta");
  }
  // The table went with its solver; the dumps fall back to numbers.
  EXPECT_EQ(debug_names, nullptr);
  EXPECT_EQ(printed([] { dump(Lit(1)); }), "c x1");
}

} // namespace
