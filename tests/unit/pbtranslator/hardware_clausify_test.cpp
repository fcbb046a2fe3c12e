// Clausifier: clause shapes of atoms, constants, AND/OR and shared nodes,
// and exhaustive soundness on random formulas of every node kind: with the
// root asserted, the clauses are satisfiable exactly under the assignments
// of the atoms that make the formula true.
#include "pbtranslator/hardware_clausify.hpp"
#include "tests/tools/lib/pbt_brute.hpp"

#include <gtest/gtest.h>

#include <random>

namespace {

Formula X(int v) { return atom(Lit(v)); }

// The store's clauses and units as ±(v+1) clauses.
std::vector<pbt::Clause> contents(Solver &s) {
  Finch::Solver &f = *s.finch;
  std::vector<pbt::Clause> out;
  vec<Finch::Clause *> cls;
  vec<Lit> units;
  f.exportClauses(cls, units);
  auto m = [](Lit p) {
    return sign(p) ? -(long long)(var(p) + 1) : (long long)(var(p) + 1);
  };
  for (Lit u : units)
    out.push_back({m(u)});
  for (Finch::Clause *c : cls) {
    pbt::Clause cl;
    for (int i = 0; i < c->size(); i++)
      cl.push_back(m((*c)[i]));
    out.push_back(cl);
  }
  return out;
}

} // namespace

TEST(Clausify, AtomAssertsItsLiteral) {
  Solver s(true);
  s.newVar();
  s.newVar();
  vec<Formula> fs;
  fs.push(atom(~Lit(1)));
  clausify(s, fs);
  EXPECT_EQ(s.finch->problem_clauses.size(), 0);
  EXPECT_EQ(s.value(Lit(1)), l_False);
  s.destroy_solver();
}

TEST(Clausify, FalseConstantMakesInconsistent) {
  Solver s(true);
  vec<Formula> fs;
  fs.push(_0_);
  clausify(s, fs);
  EXPECT_EQ(s.nVars(), 1);
  EXPECT_FALSE(s.okay_ref());
  s.destroy_solver();
}

TEST(Clausify, OrGivesOneClause) {
  Solver s(true);
  Lit x(s.newVar()), y(s.newVar());
  vec<Formula> fs;
  fs.push(~AND(~atom(x), ~atom(y)));
  vec<Lit> roots;
  clausify(s, fs, roots);
  ASSERT_EQ(roots.size(), 1);
  Lit v(2);
  EXPECT_EQ(roots[0], ~v);
  ASSERT_EQ(s.finch->problem_clauses.size(), 1);
  const Finch::Clause &c = *s.finch->problem_clauses[0];
  ASSERT_EQ(c.size(), 3);
  EXPECT_EQ(c[0], x);
  EXPECT_EQ(c[1], y);
  EXPECT_EQ(c[2], v);
  s.destroy_solver();
}

TEST(Clausify, SharedNodeBothPolarities) {
  Solver s(true);
  Lit x(s.newVar()), y(s.newVar());
  Formula n = AND(atom(x), atom(y));
  vec<Formula> fs;
  fs.push(n);
  fs.push(~n);
  vec<Lit> roots;
  clausify(s, fs, roots);
  ASSERT_EQ(roots.size(), 2);
  EXPECT_EQ(roots[0], ~roots[1]);
  EXPECT_EQ(s.nVars(), 3);
  // (~v, x), (~v, y) for the positive use and (v, ~x, ~y) for the negated.
  EXPECT_EQ(s.finch->problem_clauses.size(), 3);
  s.destroy_solver();
}

TEST(Clausify, AndFlattensSinglyUsedOperands) {
  Solver s(true);
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar());
  Formula inner = AND(atom(a), atom(b));
  Formula outer = AND(inner, atom(c));
  vec<Formula> fs;
  fs.push(~outer); // negated use: one clause (v, ~a, ~b, ~c)
  clausify(s, fs);
  ASSERT_EQ(s.finch->problem_clauses.size(), 1);
  EXPECT_EQ(s.finch->problem_clauses[0]->size(), 4);
  EXPECT_EQ(s.nVars(), 4); // no variable for the inner AND
  s.destroy_solver();

  Solver t(true);
  for (int i = 0; i < 3; i++)
    t.newVar();
  Formula other = AND(inner, ~atom(c));
  vec<Formula> gs;
  gs.push(~outer);
  gs.push(~other); // inner used twice: a variable of its own
  clausify(t, gs);
  EXPECT_EQ(t.nVars(), 6);
  t.destroy_solver();
}

TEST(Clausify, RandomFormulasExhaustive) {
  const unsigned seed = 99;
  std::mt19937 rng(seed);
  const int n_atoms = 5;
  for (int run = 0; run < 200; run++) {
    vec<Formula> pool;
    for (int v = 0; v < n_atoms; v++)
      pool.push(X(v));
    for (int i = 0; i < 8; i++) {
      auto pick = [&]() {
        Formula f = pool[(int)(rng() % pool.size())];
        return rng() % 2 ? ~f : f;
      };
      Formula a = pick(), b = pick(), c = pick();
      Formula made;
      switch (rng() % 5) {
      case 0:
        made = AND(a, b);
        break;
      case 1:
        made = XOR(a, b);
        break;
      case 2:
        made = ITE(a, b, c);
        break;
      case 3:
        made = FAs(a, b, c);
        break;
      default:
        made = FAc(a, b, c);
        break;
      }
      pool.push(made);
    }
    vec<Formula> roots;
    roots.push(pool.last());
    if (rng() % 2)
      roots.push(~pool[pool.size() - 2]);
    Solver s(true);
    for (int v = 0; v < n_atoms; v++)
      s.newVar();
    clausify(s, roots);
    std::vector<pbt::Clause> cls = contents(s);
    for (int bits = 0; bits < (1 << n_atoms); bits++) {
      vec<bool> at;
      std::vector<int> fixed(n_atoms + 1, 0);
      for (int v = 0; v < n_atoms; v++) {
        at.push(((bits >> v) & 1) != 0);
        fixed[(size_t)v + 1] = at[v] ? 1 : -1;
      }
      bool expected = true;
      for (Formula r : roots)
        expected = expected && eval(r, at);
      ASSERT_EQ(pbt::satisfiable(cls, fixed), expected)
          << "seed " << seed << " run " << run << " assignment " << bits;
    }
    s.destroy_solver();
  }
}
