// The constraint store: names, addConstr's relations, normalisation (merge,
// forced literals, gcd, cuts), records in the arena, and the exit on
// constants too large for 64 bits.
#include "pbt_translate.hpp"
#include "pbtranslator/pb_solver.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Terms {
  vec<Lit> ps;
  vec<Int> Cs;
  Terms &add(long long c, Lit p) {
    Cs.push(Int(c));
    ps.push(p);
    return *this;
  }
};

// The record as text: "1*x0 1*~x1 >= 2" style, bounds "[lo,hi]".
std::string show(const Linear &c) {
  std::string s;
  for (int i = 0; i < c.size; i++)
    s += std::to_string(c(i).value()) + "*" + (sign(c[i]) ? "~" : "") + "x" +
         std::to_string(var(c[i])) + " ";
  s += "[" + (c.lower == Int_MIN ? std::string("-oo")
                                 : std::to_string(c.lower.value()));
  s += "," + (c.upper == Int_MAX ? std::string("+oo")
                                 : std::to_string(c.upper.value()));
  return s + "]";
}

} // namespace

TEST(PbSolverNames, GetVarAndExistsVar) {
  PbSolver pb;
  EXPECT_EQ(pb.getVar("x1"), 0);
  EXPECT_EQ(pb.getVar("x-1"), 1);
  EXPECT_EQ(pb.getVar("x1"), 0);
  EXPECT_EQ(pb.existsVar("x-1"), 1);
  EXPECT_EQ(pb.existsVar("y"), -1);
  EXPECT_EQ(pb.engine.nVars(), 2);
  EXPECT_EQ(pb.occurrence_counts.size(), 4);
}

TEST(PbSolverNormalise, StoredForms) {
  PbSolver pb;
  Lit x(pb.getVar("x")), y(pb.getVar("y")), z(pb.getVar("z"));
  {
    Terms t;
    t.add(2, x).add(2, y).add(2, z);
    pb.addConstr(t.ps, t.Cs, Int(3), 1);
    ASSERT_EQ(pb.constraints.size(), 1);
    EXPECT_EQ(show(*pb.constraints[0]), "1*x0 1*x1 1*x2 [2,+oo]");
  }
  {
    Terms t;
    t.add(5, x).add(2, y).add(2, z); // cut 5 to 2, then divide by 2
    pb.addConstr(t.ps, t.Cs, Int(2), 1);
    ASSERT_EQ(pb.constraints.size(), 2);
    EXPECT_EQ(show(*pb.constraints[1]), "1*x1 1*x2 1*x0 [1,+oo]");
  }
  {
    Terms t;
    t.add(1, x).add(1, y); // strict: x + y > 0 is x + y >= 1
    pb.addConstr(t.ps, t.Cs, Int(0), 2);
    EXPECT_EQ(show(*pb.constraints[2]), "1*x0 1*x1 [1,+oo]");
  }
  {
    Terms t;
    t.add(1, x).add(1, y).add(1, z); // x + y + z < 2: ~x + ~y + ~z >= 2
    pb.addConstr(t.ps, t.Cs, Int(2), -2);
    EXPECT_EQ(show(*pb.constraints[3]), "1*~x0 1*~x1 1*~x2 [2,+oo]");
  }
  {
    Terms t;
    t.add(1, x).add(1, ~x).add(1, y).add(1, z); // merged x: coefficient 0 kept
    pb.addConstr(t.ps, t.Cs, Int(2), 1);
    EXPECT_EQ(show(*pb.constraints[4]), "0*~x0 1*x1 1*x2 [1,+oo]");
  }
  EXPECT_EQ(pb.occurrence_counts[toInt(y)], 4);
  EXPECT_EQ(pb.occurrence_counts[toInt(~y)], 1);
  EXPECT_TRUE(pb.okay());
}

TEST(PbSolverNormalise, TrivialAndForcing) {
  PbSolver pb;
  Lit x(pb.getVar("x")), y(pb.getVar("y")), z(pb.getVar("z"));
  Terms taut;
  taut.add(1, x).add(1, ~x);
  EXPECT_TRUE(pb.addConstr(taut.ps, taut.Cs, Int(1), 1));
  EXPECT_EQ(pb.constraints.size(), 0);

  Terms both;
  both.add(3, x).add(3, y); // 3x + 3y >= 4 forces both
  EXPECT_TRUE(pb.addConstr(both.ps, both.Cs, Int(4), 1));
  EXPECT_EQ(pb.constraints.size(), 0);
  EXPECT_EQ(pb.value(x), l_True);
  EXPECT_EQ(pb.value(y), l_True);

  Terms assigned; // x true counts its weight, ~y false is dropped
  assigned.add(2, x).add(5, ~y).add(1, z);
  EXPECT_TRUE(pb.addConstr(assigned.ps, assigned.Cs, Int(3), 1));
  EXPECT_EQ(pb.value(z), l_True);

  Terms unsat;
  unsat.add(1, ~x).add(1, z);
  EXPECT_FALSE(pb.addConstr(unsat.ps, unsat.Cs, Int(2), 1));
  EXPECT_FALSE(pb.okay());
}

TEST(PbSolverNormalise, EqualityWithZeroRightHandSide) {
  PbSolver pb;
  Lit x(pb.getVar("x")), y(pb.getVar("y"));
  Terms t;
  t.add(1, x).add(2, y);
  EXPECT_TRUE(pb.addConstr(t.ps, t.Cs, Int(0), 0));
  EXPECT_EQ(pb.constraints.size(), 0);
  EXPECT_EQ(pb.value(x), l_False);
  EXPECT_EQ(pb.value(y), l_False);
}

TEST(PbSolverNormalise, EqualityStoresBothHalves) {
  PbSolver pb;
  Lit a(pb.getVar("a")), b(pb.getVar("b")), c(pb.getVar("c"));
  Terms t;
  t.add(2, a).add(2, b).add(3, c);
  EXPECT_TRUE(pb.addConstr(t.ps, t.Cs, Int(3), 0));
  ASSERT_EQ(pb.constraints.size(), 2);
  EXPECT_EQ(show(*pb.constraints[0]), "2*x0 2*x1 3*x2 [3,+oo]");
  EXPECT_EQ(show(*pb.constraints[1]), "2*~x0 2*~x1 3*~x2 [4,+oo]");
}

TEST(PbSolverArena, ManyAndLargeRecords) {
  PbSolver pb;
  std::vector<Lit> xs;
  for (int i = 0; i < 700; i++)
    xs.push_back(Lit(pb.getVar(("v" + std::to_string(i)).c_str())));
  // A record beyond 1000 units gets a block of its own; many small ones
  // fill several blocks.
  Terms big;
  for (int i = 0; i < 700; i++)
    big.add(1 + i % 3, xs[i]);
  pb.addConstr(big.ps, big.Cs, Int(5), 1);
  for (int r = 0; r < 3000; r++) {
    Terms t;
    t.add(1, xs[r % 700]).add(2, xs[(r + 1) % 700]).add(3, xs[(r + 2) % 700]);
    pb.addConstr(t.ps, t.Cs, Int(3), 1);
  }
  ASSERT_EQ(pb.constraints.size(), 3001);
  EXPECT_EQ(pb.constraints[0]->size, 700);
  EXPECT_EQ(show(*pb.constraints[3000]), "1*x199 2*x200 3*x201 [3,+oo]");
  Int total = 0;
  for (int i = 0; i < 700; i++)
    total += (*pb.constraints[0])(i);
  EXPECT_EQ(total, Int(6 * 233 + 1)); // weights 1, 2, 3 repeating, none cut
}

// Constants near the 64-bit limit still translate exactly.
TEST(PbSolverNormalise, LargeConstantsThatFit) {
  const long long big = 1LL << 61;
  std::vector<std::vector<pbt::PbConstraint>> cases = {
      {{{1, 2, 3}, {big, big, big}, ">=", 2 * big}},
      {{{1, 2, 3}, {big, big + 1, big - 1}, "=", 2 * big}},
      {{{1, -2, 3}, {-big, big, -big}, "<=", -big}},
      {{{1, 2}, {INT64_MAX - 1, 1}, "<=", INT64_MAX - 2}},
      {{{1, 2}, {INT64_MAX - 1, -1}, ">=", INT64_MAX - 2}},
      {{{1, 2}, {INT64_MAX - 1, -1}, "=", INT64_MAX - 1}},
  };
  for (const auto &cs : cases) {
    EXPECT_EQ(pbt::check_equivalence(cs, 3, pbt::translate_direct(cs, 3)), "")
        << pbt::to_string(cs);
  }
}

namespace {

void add_and_transform(std::vector<long long> coefs, long long rhs, int ineq,
                       bool negate_last = false) {
  PbSolver pb;
  Terms t;
  for (size_t i = 0; i < coefs.size(); i++) {
    Lit p(pb.getVar(("v" + std::to_string(i)).c_str()));
    t.add(coefs[i], negate_last && i + 1 == coefs.size() ? ~p : p);
  }
  pb.addConstr(t.ps, t.Cs, Int(rhs), ineq);
  pb.transform(ct_BDDs);
  std::exit(0);
}

const char *too_large =
    "ERROR! Too large constants encountered in constraint.\n";

} // namespace

// Sums and negations beyond 64 bits end the process with status 1 (they
// must not wrap around into a different constraint).
TEST(PbSolverOverflowDeathTest, TooLargeConstantsExitWithStatusOne) {
  const long long big = 1LL << 62;
  EXPECT_EXIT(add_and_transform({big, big}, 1, 1), testing::ExitedWithCode(1),
              too_large);
  EXPECT_EXIT(add_and_transform({INT64_MAX, 1}, 1, 1),
              testing::ExitedWithCode(1), too_large);
  EXPECT_EXIT(add_and_transform({INT64_MIN, 1}, 0, -1),
              testing::ExitedWithCode(1), too_large);
  EXPECT_EXIT(add_and_transform({1, 1}, INT64_MIN, -1),
              testing::ExitedWithCode(1), too_large);
  EXPECT_EXIT(add_and_transform({1, 1}, INT64_MIN, 0),
              testing::ExitedWithCode(1), too_large);
  EXPECT_EXIT(add_and_transform({1, 1}, INT64_MAX, 2),
              testing::ExitedWithCode(1), too_large);
  // Negative terms move their weight to the right-hand side.
  EXPECT_EXIT(add_and_transform({-big, -big, -big}, -big, 1),
              testing::ExitedWithCode(1), too_large);
  EXPECT_EXIT(add_and_transform({INT64_MIN + 1, big}, INT64_MIN + 1, 1, true),
              testing::ExitedWithCode(1), too_large);
  // Fitting constants end normally.
  EXPECT_EXIT(add_and_transform({INT64_MAX}, 1, 1), testing::ExitedWithCode(0),
              "");
}

TEST(PbSolverMessages, VacuousClauseIsOneCommentLine) {
  testing::internal::CaptureStdout();
  report_vacuous_clause();
  std::printf("s OPTIMUM FOUND\n");
  std::fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c Vacuously SAT cl: \ns OPTIMUM FOUND\n");
}

TEST(PbSolverGoal, AddAndGetGoal) {
  PbSolver pb;
  Lit x(pb.getVar("x")), y(pb.getVar("y"));
  Terms t;
  t.add(3, x).add(-2, ~y);
  pb.addGoal(t.ps, t.Cs);
  vec<Lit> ps;
  vec<Int> Cs;
  pb.get_goal(ps, Cs);
  ASSERT_EQ(ps.size(), 2);
  EXPECT_EQ(ps[1], ~y);
  EXPECT_EQ(Cs[1], Int(-2));
  pb.allocConstrs(4, 5);
  EXPECT_EQ(pb.declared_constraints, 5);
}
