// The OPB reader: random files (layout variants, negated names, repeated
// and cancelling terms, every operator, negative coefficients) loaded under
// every pseudo-Boolean code and several cardinality codes, each judged over
// all assignments of its variables: the hard clauses hold exactly when the
// constraints do, the soft cost is the objective up to a constant, and the
// objective map gives the objective value. Then the summary lines, the
// clause set of small files, and the parse errors.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "formats/opb_reader.hpp"
#include "formats_test_util.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/enc_check.hpp"

using ftest::Loaded;

namespace {

struct Term {
  long long coef;
  int var; // 1..n
  bool neg;
};
struct Cons {
  std::vector<Term> terms;
  std::string op;
  long long rhs;
};
struct Problem {
  int n = 0;
  bool has_obj = false;
  std::vector<Term> obj;
  std::vector<Cons> cons;
};

long long eval(const std::vector<Term> &ts, const std::vector<bool> &x) {
  long long s = 0;
  for (const Term &t : ts)
    if (x[t.var - 1] != t.neg)
      s += t.coef;
  return s;
}

bool holds(const Cons &c, const std::vector<bool> &x) {
  long long s = eval(c.terms, x);
  if (c.op == "<")
    return s < c.rhs;
  if (c.op == "<=")
    return s <= c.rhs;
  if (c.op == "=" || c.op == "==")
    return s == c.rhs;
  if (c.op == ">=")
    return s >= c.rhs;
  return s > c.rhs;
}

std::string term_text(const Term &t, bool first, std::mt19937_64 &rng) {
  std::ostringstream out;
  if (t.coef >= 0 && !(first && rng() % 2))
    out << "+";
  out << t.coef << (rng() % 4 ? " " : "  ") << (t.neg ? "~" : "") << "x"
      << t.var;
  return out.str();
}

// The file text. Every variable's first appearance is in the order 1..n
// (zero objective terms, or a trivial first constraint), so that x<i> is
// variable i.
std::string write(const Problem &p, std::mt19937_64 &rng) {
  std::ostringstream out;
  out << "* #variable= " << p.n << " #constraint= " << p.cons.size() << "\n";
  if (rng() % 2)
    out << "\n* a comment\n";
  if (p.has_obj) {
    out << "min:";
    for (int v = 1; v <= p.n; ++v)
      out << " +0 x" << v;
    for (const Term &t : p.obj)
      out << " " << term_text(t, false, rng);
    out << " ;\n";
  } else {
    for (int v = 1; v <= p.n; ++v)
      out << "+1 x" << v << " ";
    out << ">= 0;\n";
  }
  for (std::size_t i = 0; i < p.cons.size(); ++i) {
    const Cons &c = p.cons[i];
    switch (rng() % 5) {
    case 0:
      out << "\n";
      break;
    case 1:
      out << "   ";
      break;
    case 2:
      out << "* between constraints\n";
      break;
    default:
      break;
    }
    for (std::size_t j = 0; j < c.terms.size(); ++j)
      out << term_text(c.terms[j], j == 0, rng) << (rng() % 6 ? " " : "\n");
    out << c.op << " " << c.rhs << " ;" << (rng() % 3 ? "\n" : " ");
  }
  return out.str();
}

Problem random_problem(std::mt19937_64 &rng) {
  static const char *ops[] = {"<", "<=", "=", "==", ">=", ">"};
  Problem p;
  p.n = 1 + static_cast<int>(rng() % 6);
  auto term = [&]() {
    Term t;
    do
      t.coef = static_cast<long long>(rng() % 9) - 4;
    while (t.coef == 0);
    if (rng() % 5 == 0)
      t.coef *= 3;
    t.var = 1 + static_cast<int>(rng() % p.n);
    t.neg = rng() % 4 == 0;
    return t;
  };
  p.has_obj = rng() % 4 != 0;
  if (p.has_obj)
    for (int i = 1 + static_cast<int>(rng() % 5); i > 0; --i)
      p.obj.push_back(term());
  for (int m = static_cast<int>(rng() % 5); m > 0; --m) {
    Cons c;
    for (int i = 1 + static_cast<int>(rng() % 4); i > 0; --i)
      c.terms.push_back(term());
    c.op = ops[rng() % 6];
    c.rhs = static_cast<long long>(rng() % 11) - 4;
    p.cons.push_back(c);
  }
  return p;
}

// Judges a loaded set against the problem over all 2^n assignments.
::testing::AssertionResult judge(const Problem &p, Loaded &l) {
  enc_check::Clauses hard;
  std::vector<std::pair<long long, long long>> soft; // unit literal, weight
  for (BasicClause *c : l.set) {
    if (l.set.is_hard(c)) {
      hard.push_back(c->lits);
    } else {
      if (c->lits.size() != 1)
        return ::testing::AssertionFailure() << "soft clause not a unit";
      soft.push_back({c->lits[0], c->weight});
    }
  }
  enc_check::TinySolver solver(hard);
  const auto &objective = ZORConfig::pbo_minimization_function;
  bool have_offset = false;
  long long offset = 0;
  for (unsigned long long m = 0; m < (1ULL << p.n); ++m) {
    std::vector<bool> x(p.n);
    std::vector<long long> assume;
    for (int v = 1; v <= p.n; ++v) {
      x[v - 1] = (m >> (v - 1)) & 1;
      assume.push_back(x[v - 1] ? v : -v);
    }
    bool want = true;
    for (const Cons &c : p.cons)
      want = want && holds(c, x);
    bool got = solver.solve(assume);
    if (got != want)
      return ::testing::AssertionFailure()
             << "assignment " << m << ": feasible " << got << ", expected "
             << want;
    if (!got || !p.has_obj)
      continue;
    long long value = eval(p.obj, x);
    long long cost = 0, reported = 0;
    for (auto &u : soft) {
      long long v = std::llabs(u.first);
      bool val = v <= p.n ? x[v - 1] : solver.model_value(v);
      if ((u.first > 0) != val)
        cost += u.second;
    }
    for (auto &t : objective) {
      long long v = t.first;
      bool val = v <= p.n ? x[v - 1] : solver.model_value(v);
      if (val)
        reported += t.second;
    }
    if (reported != value)
      return ::testing::AssertionFailure()
             << "assignment " << m << ": objective map gives " << reported
             << ", objective is " << value;
    if (!have_offset) {
      offset = value - cost;
      have_offset = true;
    } else if (value - cost != offset) {
      return ::testing::AssertionFailure()
             << "assignment " << m << ": cost " << cost << " objective "
             << value << " (offset " << offset << " before)";
    }
  }
  for (auto &u : soft)
    if (u.second <= 0 || u.second >= l.set.get_top())
      return ::testing::AssertionFailure() << "soft weight " << u.second;
  return ::testing::AssertionSuccess();
}

struct Codes {
  Card_CNF_Encodings card;
  PB_CNF_Encodings pb;
};

void set_codes(Codes c) {
  ZORConfig::zorenc = c.card;
  ZORConfig::zorpbenc = c.pb;
}

std::string load_quiet(const std::string &path, std::unique_ptr<Loaded> &l) {
  testing::internal::CaptureStdout();
  l = std::make_unique<Loaded>(path);
  return testing::internal::GetCapturedStdout();
}

} // namespace

// Random files under every pseudo-Boolean code (and cardinality codes that
// encode any bound, or at most one only), plain and gzip.
TEST(OpbReader, RandomFilesMatchTheirMeaning) {
  const Codes codes[] = {
      {Card_CNF_Encodings::Bitwise, PB_CNF_Encodings::BDD},
      {Card_CNF_Encodings::SeqCounter, PB_CNF_Encodings::SortNetworks},
      {Card_CNF_Encodings::CardNetworks, PB_CNF_Encodings::Warners},
      {Card_CNF_Encodings::BDD, PB_CNF_Encodings::WarnersEquiv},
      {Card_CNF_Encodings::SortNetworks, PB_CNF_Encodings::WarnersImpl},
      {Card_CNF_Encodings::Ladder, PB_CNF_Encodings::SeqWeightedCounters},
      {Card_CNF_Encodings::Pairwise, PB_CNF_Encodings::BDD},
  };
  std::uint64_t seed = 1122;
  std::mt19937_64 rng(seed);
  int rounds = 100;
  for (int round = 0; round < rounds; ++round) {
    Problem p = random_problem(rng);
    std::string text = write(p, rng);
    for (const Codes &c : codes) {
      set_codes(c);
      bool gz = rng() % 3 == 0;
      std::string path = gz ? ftest::write_gz("r.opb", text)
                            : ftest::write_file("r.opb", text);
      std::unique_ptr<Loaded> l;
      load_quiet(path, l);
      EXPECT_TRUE(judge(p, *l))
          << "round " << round << " seed " << seed << " card 0x" << std::hex
          << static_cast<int>(c.card) << std::dec << " pb "
          << static_cast<int>(c.pb) << (gz ? " gzip" : "") << "\n"
          << text;
    }
  }
  set_codes({Card_CNF_Encodings::Bitwise, PB_CNF_Encodings::BDD});
}

// One objective term +3 x: one soft unit of weight 3, top weight 4, the
// "c mf: " line and the summary lines.
TEST(OpbReader, ObjectiveAndSummaryLines) {
  std::unique_ptr<Loaded> l;
  std::string out =
      load_quiet(ftest::write_file("o.opb", "min: +3 x ;\n+1 y >= 1 ;\n"), l);
  EXPECT_EQ(out, "c mf: 1-> 3\nc constraints: 1\nc clauses 2 vars: 2\n");
  EXPECT_EQ(l->type, MS_Problems::Weighted);
  EXPECT_EQ(l->set.get_top(), 4);
  ftest::Snapshot s = ftest::snapshot(l->set);
  EXPECT_EQ(s[(LitVector{-1})], (ftest::ClauseInfo{3, 2}));
  EXPECT_EQ(s[(LitVector{2})], (ftest::ClauseInfo{4, 1}));
  EXPECT_EQ(s.size(), 2u);
  EXPECT_EQ(ZORConfig::pbo_minimization_function,
            (std::map<long long, long long>{{1, 3}}));
}

// Repeated objective terms merge; a negative coefficient makes the unit x;
// "a ~x" leaves a constant carried by a variable fixed true.
TEST(OpbReader, ObjectiveTermsMerge) {
  std::unique_ptr<Loaded> l;
  std::string out =
      load_quiet(ftest::write_file(
                     "m.opb", "min: +2 x1 +3 x1 -2 y +4 ~z ;\n+1 z >= 0 ;\n"),
                 l);
  EXPECT_EQ(out, "c mf: 1-> 5\nc mf: 2-> -2\nc mf: 3-> -4\nc mf: 4-> 4\n"
                 "c constraints: 1\nc clauses 4 vars: 4\n");
  EXPECT_EQ(l->set.get_top(), 12);
  ftest::Snapshot s = ftest::snapshot(l->set);
  EXPECT_EQ(s[(LitVector{-1})], (ftest::ClauseInfo{5, 2}));
  EXPECT_EQ(s[(LitVector{2})], (ftest::ClauseInfo{2, 3}));
  EXPECT_EQ(s[(LitVector{3})], (ftest::ClauseInfo{4, 4}));
  EXPECT_EQ(s[(LitVector{4})], (ftest::ClauseInfo{12, 1}));
}

// Without an objective: top weight 1, every clause hard. Blank lines,
// indented lines, comments between constraints, an unsigned first
// coefficient and two constraints on one line are all read.
TEST(OpbReader, LayoutIsFree) {
  std::string text = "* c\n\n  +1 x1 +1 x2 +0 x3 >= 1 ;\n* between\n\n"
                     "1 x1 -1 x3 >= 1; 2 x2\n* inside\n +1 x3 >= 2 ;\n";
  for (bool gz : {false, true}) {
    std::unique_ptr<Loaded> l;
    std::string out = load_quiet(gz ? ftest::write_gz("l.opb", text)
                                    : ftest::write_file("l.opb", text),
                                 l);
    EXPECT_NE(out.find("c constraints: 3\n"), std::string::npos) << out;
    EXPECT_EQ(l->set.get_top(), 1);
    EXPECT_GE(l->imgr.top_id, 3);
    for (BasicClause *c : l->set)
      EXPECT_TRUE(l->set.is_hard(c));
    // x1 true, x3 false, x2 true is the only solution.
    enc_check::Clauses cls;
    for (BasicClause *c : l->set)
      cls.push_back(c->lits);
    std::string why;
    EXPECT_TRUE(enc_check::check_equivalence(
        cls, {1, 2, 3},
        [](const std::vector<bool> &v) { return v[0] && v[1] && !v[2]; }, &why))
        << why;
  }
}

TEST(OpbReaderDeathTest, ParseErrors) {
  struct Case {
    const char *text, *regex;
  } cases[] = {
      {"max: +1 x ;\n", "PARSE ERROR! Maximisation objective"},
      {"min: ;\n", "PARSE ERROR! Objective without terms"},
      {">= 0;\n", "PARSE ERROR! Constraint without terms"},
      {"+1 x1 x2 >= 1 ;\n", "PARSE ERROR! Non-linear term"},
      {"+1 x1 ~x2 >= 1 ;\n", "PARSE ERROR! Non-linear term"},
      {"+1 x1 => 1 ;\n", "PARSE ERROR! Unexpected char: =|PARSE ERROR!"},
      {"+1 x1 != 1 ;\n", "PARSE ERROR!"},
      {"+1 x1 >= 1\n+1 x2 >= 1 ;\n", "PARSE ERROR! ';' expected"},
      {"+1 x1 >= 1", "PARSE ERROR! ';' expected"},
      {"+1 >= 1 ;\n", "PARSE ERROR! Variable name expected"},
      {"x1 >= 1 ;\n", "PARSE ERROR!"},
      {"+4611686018427387904 x1 +4611686018427387904 x2 >= 1 ;\n",
       "PARSE ERROR! Constraint constants out of range"},
      {"min: +4611686018427387904 x1 +4611686018427387904 x2 ;\n",
       "PARSE ERROR! Constraint constants out of range"},
      {"+12345678901234567890 x1 >= 1 ;\n", "PARSE ERROR! Number out of range"},
      {"+1 x1 >= 1 ; junk\n", "PARSE ERROR!"},
  };
  for (const Case &c : cases) {
    std::string path = ftest::write_file("e.opb", c.text);
    EXPECT_EXIT_MSG(Loaded l(path), 3, c.regex) << c.text;
  }
}

// A constraint that no assignment meets makes the hard part unsatisfiable
// under every code; one that always holds adds nothing.
TEST(OpbReader, TrivialConstraints) {
  for (PB_CNF_Encodings pb :
       {PB_CNF_Encodings::BDD, PB_CNF_Encodings::SortNetworks,
        PB_CNF_Encodings::Warners, PB_CNF_Encodings::SeqWeightedCounters}) {
    set_codes({Card_CNF_Encodings::Bitwise, pb});
    std::unique_ptr<Loaded> l;
    load_quiet(ftest::write_file("t.opb", "+2 x1 +5 x2 = 1 ;\n"), l);
    enc_check::Clauses cls;
    for (BasicClause *c : l->set)
      cls.push_back(c->lits);
    enc_check::TinySolver s(cls);
    EXPECT_FALSE(s.solve({})) << static_cast<int>(pb);
    std::unique_ptr<Loaded> l2;
    load_quiet(ftest::write_file("t2.opb", "+2 x1 -1 x1 +5 x2 <= 6 ;\n"), l2);
    EXPECT_EQ(l2->set.size(), 0u);
    // Terms that cancel leave 0 >= 1: the empty clause.
    std::unique_ptr<Loaded> l3;
    load_quiet(ftest::write_file("t3.opb", "+1 x1 -1 x1 >= 1 ;\n"), l3);
    ASSERT_EQ(l3->set.size(), 1u);
    EXPECT_TRUE((*l3->set.begin())->lits.empty());
  }
  set_codes({Card_CNF_Encodings::Bitwise, PB_CNF_Encodings::BDD});
}
