// The translator's clause store: clause normalisation, inline binary
// watches, level-0 propagation, simplification and export.
#include "pbtranslator/finch.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

vec<Lit> lits(std::initializer_list<Lit> ls) {
  vec<Lit> v;
  for (Lit l : ls)
    v.push(l);
  return v;
}

bool watches(const Finch::Solver &s, Lit when_true, Finch::LitClauseUnion e) {
  const vec<Finch::LitClauseUnion> &ws = s.watch_lists[toInt(when_true)];
  for (int i = 0; i < ws.size(); i++)
    if (ws[i] == e)
      return true;
  return false;
}

} // namespace

TEST(FinchClauses, NormalisationOnAdd) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar());
  s.addClause(lits({a, ~a, b})); // tautology
  EXPECT_EQ(s.problem_clauses.size(), 0);
  s.addClause(lits({b, a, a})); // duplicate: stored as (a, b), sorted
  ASSERT_EQ(s.problem_clauses.size(), 1);
  const Finch::Clause &cl = *s.problem_clauses[0];
  ASSERT_EQ(cl.size(), 2);
  EXPECT_EQ(cl[0], a);
  EXPECT_EQ(cl[1], b);
  EXPECT_TRUE(watches(s, ~a, Finch::LitClauseUnion::of(b)));
  EXPECT_TRUE(watches(s, ~b, Finch::LitClauseUnion::of(a)));
  EXPECT_EQ(s.stats.clauses, 1);
  EXPECT_EQ(s.stats.clauses_literals, 2);

  // Long clause: watched by pointer on the negations of its first two.
  s.addClause(lits({c, b, a}));
  ASSERT_EQ(s.problem_clauses.size(), 2);
  Finch::Clause *long_cl = s.problem_clauses[1];
  EXPECT_TRUE(watches(s, ~a, Finch::LitClauseUnion::of(long_cl)));
  EXPECT_TRUE(watches(s, ~b, Finch::LitClauseUnion::of(long_cl)));
  EXPECT_TRUE(s.okay());
}

TEST(FinchClauses, AssignedLiteralsOnAdd) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar());
  ASSERT_TRUE(s.enqueue(~a));
  ASSERT_TRUE(s.enqueue(~b));
  s.addClause(lits({a, b, c})); // all but c false: c becomes a unit
  EXPECT_EQ(s.problem_clauses.size(), 0);
  EXPECT_EQ(s.value(c), l_True);
  EXPECT_TRUE(s.reasons[var(c)].isNull());
  s.addClause(lits({c, a})); // true literal: nothing added
  EXPECT_EQ(s.problem_clauses.size(), 0);
  s.addClause(lits({a, b})); // all false: inconsistent
  EXPECT_FALSE(s.okay());
  s.addClause(lits({a, c, b})); // ignored from now on
  EXPECT_EQ(s.problem_clauses.size(), 0);
  EXPECT_FALSE(s.enqueue(a));
  EXPECT_TRUE(s.enqueue(~a));
}

TEST(FinchClauses, EmptyClauseIsInconsistent) {
  Finch::Solver s;
  s.newVar();
  s.addClause(vec<Lit>());
  EXPECT_FALSE(s.okay());
}

TEST(FinchSimplify, RemovesSatisfiedKeepsFalseLiterals) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar()), d(s.newVar());
  s.addClause(lits({a, c, d}));
  s.addClause(lits({~a, c, d}));
  s.addClause(lits({~b, c}));
  s.addClause(lits({b, c, d}));
  s.enqueue(a);
  s.enqueue(~b);
  s.simplifyDB();
  ASSERT_TRUE(s.okay());
  ASSERT_EQ(s.problem_clauses.size(), 2);
  // (~a, c, d) and (b, c, d) keep their false literals (in watch order).
  EXPECT_EQ(s.problem_clauses[0]->size(), 3);
  EXPECT_EQ(s.problem_clauses[1]->size(), 3);
  bool has_not_a = false;
  for (int k = 0; k < 3; k++)
    has_not_a = has_not_a || (*s.problem_clauses[0])[k] == ~a;
  EXPECT_TRUE(has_not_a);
  EXPECT_EQ(s.stats.clauses, 2);
  // Removed clauses left the watch lists.
  int watched = 0;
  for (int l = 0; l < 2 * s.nVars(); l++)
    watched += s.watch_lists[l].size();
  EXPECT_EQ(watched, 4);
}

TEST(FinchSimplify, PropagationThroughBinaryAndLongClauses) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar()), d(s.newVar()), e(s.newVar());
  s.addClause(lits({~a, b}));     // a -> b
  s.addClause(lits({~a, ~b, c})); // a & b -> c
  s.addClause(lits({~c, d, e}));  // c -> d | e
  s.addClause(lits({~c, ~e}));    // c -> ~e
  s.enqueue(a);
  s.simplifyDB();
  ASSERT_TRUE(s.okay());
  EXPECT_EQ(s.value(b), l_True);
  EXPECT_EQ(s.value(c), l_True);
  EXPECT_EQ(s.value(e), l_False);
  EXPECT_EQ(s.value(d), l_True);
  EXPECT_FALSE(s.reasons[var(b)].isNull());
  EXPECT_TRUE(s.reasons[var(b)].isLit());
  EXPECT_EQ(s.problem_clauses.size(), 0); // all satisfied
}

TEST(FinchSimplify, ConflictMakesInconsistent) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar());
  s.addClause(lits({~a, b}));
  s.addClause(lits({~a, c}));
  s.addClause(lits({~b, ~c, ~a}));
  s.enqueue(a);
  s.simplifyDB();
  EXPECT_FALSE(s.okay());
  Finch::Solver s2;
  Lit x(s2.newVar()), y(s2.newVar());
  s2.addClause(lits({~x, y}));
  s2.addClause(lits({~x, ~y}));
  s2.enqueue(x);
  s2.simplifyDB();
  EXPECT_FALSE(s2.okay());
}

// Every level-0 assignment is exported, also those that propagation derived
// (their reason clauses are gone after simplifyDB), in variable order.
TEST(FinchExport, UnitsInVariableOrderIncludingPropagated) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar()), c(s.newVar()), d(s.newVar()), e(s.newVar());
  s.addClause(lits({~c, ~b}));
  s.addClause(lits({a, b, d, e}));
  s.enqueue(c);
  s.enqueue(~a);
  s.simplifyDB();
  vec<Finch::Clause *> clauses;
  vec<Lit> units;
  s.exportClauses(clauses, units);
  ASSERT_EQ(units.size(), 3);
  EXPECT_EQ(units[0], ~a);
  EXPECT_EQ(units[1], ~b); // propagated from c
  EXPECT_EQ(units[2], c);
  ASSERT_EQ(clauses.size(), 1); // (a, b, d, e) with a, b false stays
  EXPECT_EQ(clauses[0]->size(), 4);
}

TEST(FinchExport, InconsistentExportsOneEmptyClause) {
  Finch::Solver s;
  Lit a(s.newVar()), b(s.newVar());
  s.addClause(lits({a, b}));
  s.enqueue(b);
  s.addClause(lits({~b}));
  ASSERT_FALSE(s.okay());
  vec<Finch::Clause *> clauses;
  vec<Lit> units;
  s.simplifyDB();
  s.exportClauses(clauses, units);
  EXPECT_EQ(units.size(), 0);
  ASSERT_EQ(clauses.size(), 1);
  EXPECT_EQ(clauses[0]->size(), 0);
}

// Random clause sets: after simplifyDB the export (units and clauses) has
// the same models as the clauses and units given.
TEST(FinchExport, RandomSetsKeepTheirModels) {
  std::mt19937 rng(11);
  for (int run = 0; run < 300; run++) {
    Finch::Solver s;
    int n = 6;
    for (int v = 0; v < n; v++)
      s.newVar();
    std::vector<std::vector<Lit>> given;
    int m = 2 + (int)(rng() % 8);
    for (int i = 0; i < m; i++) {
      std::vector<Lit> cl;
      int len = 1 + (int)(rng() % 3);
      for (int j = 0; j < len; j++)
        cl.push_back(Lit((int)(rng() % n), rng() % 2));
      given.push_back(cl);
      vec<Lit> ps;
      for (Lit l : cl)
        ps.push(l);
      s.addClause(ps);
    }
    s.simplifyDB();
    vec<Finch::Clause *> clauses;
    vec<Lit> units;
    s.exportClauses(clauses, units);
    for (int bits = 0; bits < (1 << n); bits++) {
      auto val = [&](Lit p) {
        return (((bits >> var(p)) & 1) != 0) != sign(p);
      };
      bool orig = true;
      for (const auto &cl : given) {
        bool sat = false;
        for (Lit l : cl)
          sat = sat || val(l);
        orig = orig && sat;
      }
      bool exported = true;
      for (Lit u : units)
        exported = exported && val(u);
      for (Finch::Clause *c : clauses) {
        bool sat = false;
        for (int k = 0; k < c->size(); k++)
          sat = sat || val((*c)[k]);
        exported = exported && sat;
      }
      ASSERT_EQ(orig, exported) << "run " << run << " assignment " << bits;
    }
  }
}

TEST(FinchWatches, RemoveWatchShiftsLaterEntries) {
  vec<Finch::LitClauseUnion> ws;
  for (int i = 0; i < 4; i++)
    ws.push(Finch::LitClauseUnion::of(Lit(i)));
  EXPECT_EQ(Finch::removeWatch(ws, Finch::LitClauseUnion::of(Lit(1))), 1);
  ASSERT_EQ(ws.size(), 3);
  EXPECT_EQ(ws[1].lit(), Lit(2));
  EXPECT_EQ(ws[2].lit(), Lit(3));
  EXPECT_EQ(Finch::removeWatch(ws, Finch::LitClauseUnion::of(Lit(9))), -1);
}
