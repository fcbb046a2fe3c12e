// The WBO reader: random files (hard and soft constraints of every
// operator, soft equalities, always-true soft constraints, negated names,
// with and without a top cost) loaded under every pseudo-Boolean code and
// judged over all assignments of their variables: the least soft cost over
// the extensions of an assignment is the weight of the soft constraints it
// violates, as is their cost recorded for costing models, and it is
// feasible exactly when the hard constraints hold and the cost stays below
// the top. Then the summary lines, the SAT10 shape,
// the group encoding and the parse errors.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "formats/wbo_reader.hpp"
#include "formats_test_util.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/enc_check.hpp"

using ftest::Loaded;

namespace {

struct Term {
  long long coef;
  int var;
  bool neg;
};
struct Cons {
  std::vector<Term> terms;
  std::string op;
  long long rhs;
  long long weight; // 0: hard
};
struct Problem {
  int n = 0;
  long long top = 0; // 0: none
  std::vector<Cons> cons;
};

bool holds(const Cons &c, const std::vector<bool> &x) {
  long long s = 0;
  for (const Term &t : c.terms)
    if (x[t.var - 1] != t.neg)
      s += t.coef;
  if (c.op == "<")
    return s < c.rhs;
  if (c.op == "<=")
    return s <= c.rhs;
  if (c.op == "=")
    return s == c.rhs;
  if (c.op == ">=")
    return s >= c.rhs;
  return s > c.rhs;
}

std::string write(const Problem &p, std::mt19937_64 &rng) {
  std::ostringstream out;
  out << "* #variable= " << p.n << "\n";
  if (p.top > 0)
    out << "soft: " << p.top << " ;\n";
  else
    out << "soft: ;\n";
  // Names first in the order 1..n.
  for (int v = 1; v <= p.n; ++v)
    out << "+1 x" << v << " ";
  out << ">= 0 ;\n";
  for (const Cons &c : p.cons) {
    if (rng() % 4 == 0)
      out << (rng() % 2 ? "\n" : "* comment\n");
    if (c.weight > 0)
      out << "[" << c.weight << "]" << (rng() % 2 ? " " : "");
    for (const Term &t : c.terms)
      out << (t.coef >= 0 ? "+" : "") << t.coef << " " << (t.neg ? "~" : "")
          << "x" << t.var << " ";
    out << c.op << " " << c.rhs << " ;" << (rng() % 3 ? "\n" : " ");
  }
  return out.str();
}

Problem random_problem(std::mt19937_64 &rng) {
  static const char *ops[] = {"<", "<=", "=", ">=", ">"};
  Problem p;
  p.n = 1 + static_cast<int>(rng() % 5);
  int m = 1 + static_cast<int>(rng() % 5);
  for (int j = 0; j < m; ++j) {
    Cons c;
    for (int i = 1 + static_cast<int>(rng() % 3); i > 0; --i) {
      Term t;
      do
        t.coef = static_cast<long long>(rng() % 7) - 3;
      while (t.coef == 0);
      t.var = 1 + static_cast<int>(rng() % p.n);
      t.neg = rng() % 4 == 0;
      c.terms.push_back(t);
    }
    c.op = ops[rng() % 5];
    c.rhs = static_cast<long long>(rng() % 9) - 3;
    c.weight = rng() % 3 ? 1 + static_cast<long long>(rng() % 6) : 0;
    p.cons.push_back(c);
  }
  if (rng() % 2)
    p.top = 1 + static_cast<long long>(rng() % 12);
  return p;
}

// Least soft cost of the extensions of each assignment: the soft clauses
// are units (SAT10), so try every subset of them to keep satisfied. The
// soft constraints recorded for costing models charge each feasible
// assignment exactly that cost.
::testing::AssertionResult
judge(const Problem &p, Loaded &l,
      std::optional<std::vector<ClauseSnapshot::SoftConstraint>> recorded) {
  if (!recorded)
    return ::testing::AssertionFailure() << "no soft constraints recorded";
  ClauseSnapshot costing;
  costing.cost_on(std::move(recorded));
  enc_check::Clauses hard;
  std::vector<std::pair<long long, long long>> soft;
  for (BasicClause *c : l.set) {
    if (l.set.is_hard(c))
      hard.push_back(c->lits);
    else if (c->lits.size() != 1)
      return ::testing::AssertionFailure() << "soft clause not a unit";
    else
      soft.push_back({c->lits[0], c->weight});
  }
  if (soft.size() > 12)
    return ::testing::AssertionFailure() << "too many soft units";
  enc_check::TinySolver solver(hard);
  for (unsigned long long m = 0; m < (1ULL << p.n); ++m) {
    std::vector<bool> x(p.n);
    std::vector<long long> base;
    for (int v = 1; v <= p.n; ++v) {
      x[v - 1] = (m >> (v - 1)) & 1;
      base.push_back(x[v - 1] ? v : -v);
    }
    bool feasible = true;
    long long cost = 0;
    for (const Cons &c : p.cons) {
      bool h = holds(c, x);
      if (c.weight == 0)
        feasible = feasible && h;
      else if (!h)
        cost += c.weight;
    }
    if (p.top > 0 && cost >= p.top)
      feasible = false;
    long long best = -1;
    for (unsigned long long s = 0; s < (1ULL << soft.size()); ++s) {
      std::vector<long long> a = base;
      long long c = 0;
      for (std::size_t i = 0; i < soft.size(); ++i)
        if ((s >> i) & 1)
          a.push_back(soft[i].first);
        else
          c += soft[i].second;
      if ((best < 0 || c < best) && solver.solve(a))
        best = c;
    }
    if (feasible != (best >= 0))
      return ::testing::AssertionFailure()
             << "assignment " << m << ": feasible " << (best >= 0)
             << ", expected " << feasible;
    if (feasible && best != cost)
      return ::testing::AssertionFailure() << "assignment " << m << ": cost "
                                           << best << ", expected " << cost;
    long long charged = costing.check(signed_model(x)).cost;
    if (feasible && charged != cost)
      return ::testing::AssertionFailure()
             << "assignment " << m << ": recorded constraints cost "
             << charged << ", expected " << cost;
  }
  return ::testing::AssertionSuccess();
}

std::string load_quiet(const std::string &path, std::unique_ptr<Loaded> &l) {
  testing::internal::CaptureStdout();
  l = std::make_unique<Loaded>(path);
  return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(WboReader, RandomFilesMatchTheirMeaning) {
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
  const PB_CNF_Encodings codes[] = {
      PB_CNF_Encodings::BDD,         PB_CNF_Encodings::SortNetworks,
      PB_CNF_Encodings::Warners,     PB_CNF_Encodings::WarnersEquiv,
      PB_CNF_Encodings::WarnersImpl, PB_CNF_Encodings::SeqWeightedCounters};
  const Card_CNF_Encodings cards[] = {Card_CNF_Encodings::Bitwise,
                                      Card_CNF_Encodings::SeqCounter,
                                      Card_CNF_Encodings::CardNetworks};
  std::uint64_t seed = 2122;
  std::mt19937_64 rng(seed);
  for (int round = 0; round < 80; ++round) {
    Problem p = random_problem(rng);
    std::string text = write(p, rng);
    for (PB_CNF_Encodings pb : codes) {
      ZORConfig::zorpbenc = pb;
      ZORConfig::zorenc = cards[rng() % 3];
      bool gz = rng() % 3 == 0;
      std::string path = gz ? ftest::write_gz("r.wbo", text)
                            : ftest::write_file("r.wbo", text);
      std::unique_ptr<Loaded> l;
      load_quiet(path, l);
      EXPECT_EQ(l->type, MS_Problems::Weighted);
      EXPECT_TRUE(judge(p, *l, take_wbo_soft_constraints()))
          << "round " << round << " seed " << seed << " pb "
          << static_cast<int>(pb) << (gz ? " gzip" : "") << "\n"
          << text;
    }
  }
  ZORConfig::zorpbenc = PB_CNF_Encodings::BDD;
  ZORConfig::zorenc = Card_CNF_Encodings::Bitwise;
}

// Two soft constraints of weights 2 and 5 under top 10: the summary lines,
// one soft unit of its blocking variable per soft constraint (groups 2 and
// 3), every other clause hard with group 1.
TEST(WboReader, Sat10ShapeAndSummaryLines) {
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
  std::unique_ptr<Loaded> l;
  std::string out = load_quiet(
      ftest::write_file("s.wbo", "soft: 10 ;\n[2] +1 x1 +2 x2 >= 2 ;\n"
                                 "[5] +1 x1 +1 x2 <= 1 ;\n+1 x1 >= 0 ;\n"),
      l);
  EXPECT_EQ(out.rfind("c SAT2010 WBO encoding \n"
                      "c Soft constraints: 2 top: 10 ntop: 8\nc Clauses ",
                      0),
            0u)
      << out;
  EXPECT_EQ(l->set.get_top(), 10);
  std::vector<std::pair<long long, long long>> soft; // weight, group
  for (BasicClause *c : l->set) {
    if (l->set.is_hard(c)) {
      EXPECT_EQ(c->group, 1);
    } else {
      EXPECT_EQ(c->lits.size(), 1u);
      EXPECT_LT(c->lits[0], 0);
      EXPECT_GT(-c->lits[0], 2);
      soft.push_back({c->weight, c->group});
    }
  }
  std::sort(soft.begin(), soft.end());
  EXPECT_EQ(soft,
            (std::vector<std::pair<long long, long long>>{{2, 2}, {5, 3}}));
}

// A soft constraint that always holds, or of weight 0, adds nothing, not
// even a blocking variable.
TEST(WboReader, TrivialSoftConstraintsAddNothing) {
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
  std::unique_ptr<Loaded> l;
  std::string out = load_quiet(
      ftest::write_file("t.wbo", "soft: 9 ;\n[4] +1 x1 +1 x2 <= 5 ;\n"
                                 "[0] +1 x1 >= 1 ;\n[3] +1 x1 -1 x1 = 0 ;\n"),
      l);
  EXPECT_EQ(l->set.size(), 0u);
  EXPECT_EQ(l->imgr.top_id, 2);
  EXPECT_NE(out.find("c Soft constraints: 3 top: 9 ntop: 8\n"),
            std::string::npos)
      << out;
}

// "soft: ;" gives no top cost: the top weight is 1 above the soft total and
// the hard clauses carry it.
TEST(WboReader, NoTopCost) {
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
  std::unique_ptr<Loaded> l;
  std::string out = load_quiet(
      ftest::write_file("n.wbo", "soft: ;\n[2] +1 x1 >= 1 ;\n"
                                 "[3] -1 x1 >= 0 ;\n+1 x1 +1 x2 >= 1 ;\n"),
      l);
  EXPECT_NE(out.find("top: 6 ntop: 6\n"), std::string::npos) << out;
  EXPECT_EQ(l->set.get_top(), 6);
  int hard = 0;
  for (BasicClause *c : l->set)
    if (c->weight == 6)
      ++hard;
    else
      EXPECT_LT(c->weight, 6);
  EXPECT_GT(hard, 0);
}

// The top cost excludes assignments that cost as much: two soft
// constraints of weights 2 and 4 that exclude each other under top 6.
TEST(WboReader, TopCostIsABound) {
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
  Problem p;
  p.n = 2;
  p.top = 6;
  p.cons = {{{{1, 1, false}}, ">=", 1, 2},
            {{{1, 2, false}}, ">=", 1, 4},
            {{{1, 1, false}, {1, 2, false}}, "<=", 1, 0}};
  std::mt19937_64 rng(1);
  std::unique_ptr<Loaded> l;
  load_quiet(ftest::write_file("b.wbo", write(p, rng)), l);
  EXPECT_TRUE(judge(p, *l, take_wbo_soft_constraints()));
  // With top 4 the weight-4 soft constraint is hard.
  p.top = 4;
  load_quiet(ftest::write_file("b4.wbo", write(p, rng)), l);
  EXPECT_TRUE(judge(p, *l, take_wbo_soft_constraints()));
}

// Group encoding: a soft constraint is a group of clauses carrying its
// weight and group number; a clause that is hard already stays hard.
TEST(WboReader, GroupEncoding) {
  ZORConfig::wbo_encoding = WboEncoding::Groups;
  std::unique_ptr<Loaded> l;
  std::string out = load_quiet(
      ftest::write_file("g.wbo", "soft: 10 ;\n+1 x1 >= 1 ;\n"
                                 "[3] +1 x1 >= 1 ;\n[4] +1 x2 >= 1 ;\n"
                                 "[2] +1 x2 >= 1 ;\n"),
      l);
  EXPECT_EQ(out.rfind("c Group-MaxSAT WBO encoding \n", 0), 0u) << out;
  ftest::Snapshot s = ftest::snapshot(l->set);
  EXPECT_EQ(s[(LitVector{1})], (ftest::ClauseInfo{10, 1}));
  EXPECT_EQ(s[(LitVector{2})].weight, 6);
  ZORConfig::wbo_encoding = WboEncoding::SAT10;
}

TEST(WboReaderDeathTest, ParseErrors) {
  struct Case {
    const char *text, *regex;
  } cases[] = {
      {"soft: ;\n[1] >= 1;\n", "PARSE ERROR! Constraint without terms"},
      {"soft: 5 ;\n[-1] +1 x >= 1;\n", "PARSE ERROR! Negative weight"},
      {"soft: 5 ;\n[1 +1 x >= 1;\n", "PARSE ERROR! ']' expected"},
      {"soft: 0 ;\n", "PARSE ERROR! Top weight below 1"},
      {"soft: 5\n[1] +1 x >= 1;\n", "PARSE ERROR! ';' expected"},
      {"hard: 5 ;\n", "PARSE ERROR! \"soft:\" expected"},
      {"soft: 5 ;\n[1] +1 x y >= 1;\n", "PARSE ERROR! Non-linear term"},
      {"soft: 5 ;\n[9223372036854775807] +1 x >= 1;\n",
       "PARSE ERROR! Constraint constants out of range"},
      {"soft: 5 ;\n[1] +1 x1 > = 1;\n", "PARSE ERROR!"},
  };
  for (const Case &c : cases) {
    std::string path = ftest::write_file("e.wbo", c.text);
    EXPECT_EXIT_MSG(Loaded l(path), 3, c.regex) << c.text;
  }
}
