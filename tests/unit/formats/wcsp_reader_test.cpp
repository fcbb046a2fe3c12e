// The WCSP reader: the translation of domains and cost tables into clauses,
// weight classes and groups on small networks, random networks judged over
// every assignment of their values (total costs at the top included), the
// size and range errors, and agreement with the independent direct
// encodings of the benchmark networks (wcnf-from-wcsp).
#include "formats/wcsp_reader.hpp"

#include <dirent.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <sstream>

#include "formats/fmt_utils.hpp"
#include "formats_test_util.hpp"
#include "model/zor_config.hpp"
#include "tests/tools/lib/enc_check.hpp"

using ftest::ClauseInfo;
using ftest::Loaded;
using ftest::Snapshot;

namespace {
Snapshot load(const std::string &name, const std::string &text,
              long long *top = nullptr, long long *top_id = nullptr) {
  Loaded l(ftest::write_file(name, text));
  EXPECT_EQ(l.type, MS_Problems::Weighted);
  if (top)
    *top = l.set.top_weight;
  if (top_id)
    *top_id = l.imgr.top_id;
  return ftest::snapshot(l.set);
}

void expect_fails(const std::string &text, const std::string &regex) {
  std::string path = ftest::write_file("bad.wcsp", text);
  EXPECT_EXIT_MSG(Loaded l(path), 3, regex) << text;
}

struct CostFunction {
  std::vector<int> scope;
  long long def;
  std::vector<std::pair<std::vector<int>, long long>> tuples;
};
struct Network {
  long long top;
  std::vector<int> dom;
  std::vector<CostFunction> fns;
};

// Small networks whose total costs often reach the top: domains of 1 to 3
// values, functions of arity 0 to 2 (a variable may repeat in a scope).
Network random_network(std::mt19937_64 &rng) {
  Network n;
  n.top = 1 + static_cast<long long>(rng() % 12);
  n.dom.resize(1 + rng() % 3);
  for (int &d : n.dom)
    d = 1 + static_cast<int>(rng() % 3);
  n.fns.resize(1 + rng() % 5);
  for (CostFunction &f : n.fns) {
    f.scope.resize(rng() % 3);
    for (int &x : f.scope)
      x = static_cast<int>(rng() % n.dom.size());
    f.def = rng() % 2 ? 0 : static_cast<long long>(rng() % 6);
    if (f.scope.empty())
      continue;
    f.tuples.resize(rng() % 4);
    for (auto &t : f.tuples) {
      for (int x : f.scope)
        t.first.push_back(static_cast<int>(rng() % n.dom[x]));
      t.second = static_cast<long long>(rng() % (n.top + 3));
    }
  }
  return n;
}

std::string write(const Network &n) {
  std::ostringstream out;
  out << "net " << n.dom.size() << " 3 " << n.fns.size() << " " << n.top
      << "\n";
  for (int d : n.dom)
    out << d << " ";
  out << "\n";
  for (const CostFunction &f : n.fns) {
    out << f.scope.size();
    for (int x : f.scope)
      out << " " << x;
    out << " " << f.def << " " << f.tuples.size() << "\n";
    for (auto &t : f.tuples) {
      for (int v : t.first)
        out << v << " ";
      out << t.second << "\n";
    }
  }
  return out.str();
}

// Total cost of an assignment of values: per function the cost of its
// last tuple with these values, else its default.
long long total_cost(const Network &n, const std::vector<int> &val) {
  long long total = 0;
  for (const CostFunction &f : n.fns) {
    long long c = f.def;
    for (auto &t : f.tuples) {
      bool match = true;
      for (std::size_t j = 0; j < f.scope.size(); ++j)
        match = match && t.first[j] == val[f.scope[j]];
      if (match)
        c = t.second;
    }
    total += c;
  }
  return total;
}

// Each assignment of values is a solution of the loaded clauses exactly
// when its total cost is below the top, and then the soft clauses it
// falsifies weigh its total cost.
::testing::AssertionResult judge(const Network &n, Loaded &l) {
  enc_check::Clauses hard;
  std::vector<BasicClause *> soft;
  for (BasicClause *c : l.set)
    if (l.set.is_hard(c))
      hard.push_back(c->lits);
    else
      soft.push_back(c);
  enc_check::TinySolver solver(hard);
  std::vector<long long> first; // Boolean variable of value 0
  long long next = 1;
  for (int d : n.dom) {
    first.push_back(next);
    next += d;
  }
  std::vector<int> val(n.dom.size(), 0);
  for (;;) {
    std::vector<long long> assumed;
    for (std::size_t i = 0; i < n.dom.size(); ++i)
      for (int v = 0; v < n.dom[i]; ++v)
        assumed.push_back(v == val[i] ? first[i] + v : -(first[i] + v));
    long long want = total_cost(n, val);
    bool feasible = solver.solve(assumed);
    if (feasible != (want < n.top))
      return ::testing::AssertionFailure()
             << "assignment cost " << want << ": solution " << feasible;
    // Besides the tuple clauses, only the units b and -b of the constant
    // cost are soft: take b false.
    long long got = 0;
    for (BasicClause *c : soft) {
      bool sat = false;
      for (long long lit : c->lits)
        sat = sat || (std::llabs(lit) >= next ? lit < 0
                                              : std::find(assumed.begin(),
                                                          assumed.end(),
                                                          lit) != assumed.end());
      if (!sat)
        got += c->weight;
    }
    if (feasible && got != want)
      return ::testing::AssertionFailure()
             << "assignment cost " << want << ": soft weight " << got;
    std::size_t i = 0;
    while (i < val.size() && ++val[i] == n.dom[i])
      val[i++] = 0;
    if (i == val.size())
      return ::testing::AssertionSuccess();
  }
}
} // namespace

TEST(WcspReader, DomainBecomesExactlyOneValue) {
  long long top, top_id;
  Snapshot s = load("d.wcsp", "net 1 3 0 10\n3\n", &top, &top_id);
  EXPECT_EQ(top_id, 3);
  EXPECT_EQ(top, 1); // no cost: the largest reachable cost is 0
  EXPECT_EQ(s, (Snapshot{{{1, 2, 3}, {10, 1}},
                         {{-1, -2}, {10, 1}},
                         {{-1, -3}, {10, 1}},
                         {{-2, -3}, {10, 1}}}));
}

TEST(WcspReader, UnaryCostGivesASoftUnit) {
  long long top;
  Snapshot s = load("u.wcsp", "net 1 3 1 10\n3\n1 0 0 1\n1 5\n", &top);
  EXPECT_EQ(top, 6);
  EXPECT_EQ(s.at({-2}), (ClauseInfo{5, 2}));
  EXPECT_EQ(s.size(), 5u);
}

TEST(WcspReader, DefaultCostCoversTheTableExceptItsTuples) {
  long long top;
  Snapshot s =
      load("b.wcsp", "net 2 2 1 50\n2 2\n2 0 1 1 1\n0 0 0\n", &top);
  EXPECT_EQ(top, 2);
  EXPECT_EQ(s.size(), 2u + 2u + 3u);
  EXPECT_EQ(s.at({-1, -4}), (ClauseInfo{1, 2})); // values (0, 1)
  EXPECT_EQ(s.at({-2, -3}), (ClauseInfo{1, 2})); // values (1, 0)
  EXPECT_EQ(s.at({-2, -4}), (ClauseInfo{1, 2})); // values (1, 1)
  EXPECT_EQ(s.count({-1, -3}), 0u);
}

TEST(WcspReader, CostsAtOrAboveTheTopAreHard) {
  long long top;
  Snapshot s = load("h.wcsp",
                    "net 2 2 2 7\n2 2\n1 0 0 2\n0 7\n1 9\n"
                    "1 1 0 2\n0 3\n1 1\n",
                    &top);
  EXPECT_EQ(s.at({-1}), (ClauseInfo{7, 1})); // cost = top: group 1
  EXPECT_EQ(s.at({-2}), (ClauseInfo{7, 0})); // cost above top: group 0
  // Scope {0} has no soft clause; scope {1} has classes 3 and 1.
  EXPECT_EQ(s.at({-3}), (ClauseInfo{3, 3}));
  EXPECT_EQ(s.at({-4}), (ClauseInfo{1, 4}));
  EXPECT_EQ(top, 4);
}

TEST(WcspReader, ConstantCostIsAPairOfOppositeUnits) {
  long long top, top_id;
  Snapshot s = load("c.wcsp", "net 1 2 3 100\n2\n0 4 0\n0 0 0\n1 0 0 1\n1 2\n",
                    &top, &top_id);
  EXPECT_EQ(top_id, 3);
  EXPECT_EQ(s.at({3}), (ClauseInfo{4, 3}));
  EXPECT_EQ(s.at({-3}), (ClauseInfo{4, 3}));
  EXPECT_EQ(s.at({-2}), (ClauseInfo{2, 2}));
  EXPECT_EQ(top, 4 + 1 + 2);
}

TEST(WcspReader, SameScopeInAnyOrderSharesClausesAndAddsCosts) {
  long long top;
  Snapshot s = load("s.wcsp",
                    "net 2 2 2 100\n2 2\n2 0 1 0 2\n0 1 3\n1 1 4\n"
                    "2 1 0 0 2\n1 0 5\n0 0 6\n",
                    &top);
  EXPECT_EQ(s.at({-1, -4}), (ClauseInfo{8, 2})); // 3 + 5
  EXPECT_EQ(s.at({-1, -3}), (ClauseInfo{6, 3}));
  EXPECT_EQ(s.at({-2, -4}), (ClauseInfo{4, 4}));
  EXPECT_EQ(top, 1 + 8);
}

TEST(WcspReader, LaterTupleReplacesEarlierAndWeightsSaturate) {
  long long top;
  Snapshot s = load("r.wcsp",
                    "net 2 2 2 9223372036854775807\n2 2\n"
                    "1 0 0 2\n0 5\n0 7\n"
                    "1 1 9223372036854775806 1\n1 0\n",
                    &top);
  EXPECT_EQ(s.at({-1}), (ClauseInfo{7, 2}));
  EXPECT_EQ(s.at({-3}), (ClauseInfo{9223372036854775806LL, 3}));
  EXPECT_EQ(top, BasicClauseSet::kMaxWeight); // the sum saturated
}

// A total cost at or above the top forbids the assignment, whatever the
// pseudo-Boolean encoding of the constraint that keeps totals below it.
TEST(WcspReader, RandomNetworksMatchTheirMeaning) {
  const PB_CNF_Encodings codes[] = {
      PB_CNF_Encodings::BDD,         PB_CNF_Encodings::SortNetworks,
      PB_CNF_Encodings::Warners,     PB_CNF_Encodings::WarnersEquiv,
      PB_CNF_Encodings::WarnersImpl, PB_CNF_Encodings::SeqWeightedCounters};
  std::uint64_t seed = 1123;
  std::mt19937_64 rng(seed);
  for (int round = 0; round < 120; ++round) {
    Network n = random_network(rng);
    std::string text = write(n);
    ZORConfig::zorpbenc = codes[round % 6];
    Loaded l(ftest::write_file("r.wcsp", text));
    EXPECT_TRUE(judge(n, l)) << "round " << round << " seed " << seed
                             << " pb " << round % 6 << "\n"
                             << text;
  }
  ZORConfig::zorpbenc = PB_CNF_Encodings::BDD;
}

// Every assignment of "fz" costs 6, above its top 5: no solution.
TEST(WcspReader, TotalsAtTheTopAreNoSolutions) {
  Loaded l(ftest::write_file("fz.wcsp", "fz 2 1 2 5\n1 1\n1 0 3 0\n1 1 3 0\n"));
  enc_check::Clauses hard;
  for (BasicClause *c : l.set)
    if (l.set.is_hard(c))
      hard.push_back(c->lits);
  EXPECT_FALSE(enc_check::TinySolver(hard).solve({}));
}

// Domains are limited by memory only: 1100 values give their at-least-one
// clause and 1100 * 1099 / 2 pairs.
TEST(WcspReader, DomainsAboveAThousandValues) {
  long long top_id;
  Snapshot s = load("big.wcsp", "net 1 1100 0 5\n1100\n", nullptr, &top_id);
  EXPECT_EQ(top_id, 1100);
  EXPECT_EQ(s.size(), 1u + 1100u * 1099u / 2);
}

TEST(WcspReader, SizeAndRangeErrors) {
  expect_fails("net -1 2 0 5\n", "^PARSE ERROR! Invalid number of variables: -1\n");
  expect_fails("net 1 2 -1 5\n2\n",
               "^PARSE ERROR! Invalid number of cost functions: -1\n");
  expect_fails("net 1 2 0 0\n2\n", "^PARSE ERROR! Top weight below 1: 0\n");
  expect_fails("net 2 2 0 5\n2 -3\n", "^PARSE ERROR! Invalid domain size: -3");
  expect_fails("net 1 2 0 5\n99999999999999999999\n",
               "^PARSE ERROR! Number out of range: 99999999999999999999\n");
  expect_fails("net 1 2 1 5\n2\n-1 0 0 0\n", "^PARSE ERROR! Invalid arity: -1\n");
  expect_fails("net 1 2 1 5\n2\n1 1 0 0\n",
               "^PARSE ERROR! Variable index out of range: 1\n");
  expect_fails("net 1 2 1 5\n2\n1 -1 0 0\n",
               "^PARSE ERROR! Variable index out of range: -1\n");
  expect_fails("net 1 2 1 5\n2\n1 0 0 1\n2 3\n",
               "^PARSE ERROR! Value out of range: 2");
  expect_fails("net 1 2 1 5\n2\n1 0 0 1\n-1 3\n",
               "^PARSE ERROR! Value out of range: -1");
  expect_fails("net 1 2 1 5\n2\n1 0 -2 0\n", "^PARSE ERROR! Negative weight: -2\n");
  expect_fails("net 1 2 1 5\n2\n1 0 0 1\n1 -3\n",
               "^PARSE ERROR! Negative weight: -3\n");
  expect_fails("net 1 2 1 5\n2\n1 0 0 -1\n",
               "^PARSE ERROR! Invalid number of tuples: -1\n");
  // Clauses beyond the machine's memory: a table of 256^4 entries with a
  // non-zero default cost, and a domain of 10^9 values.
  expect_fails("net 1 256 1 5\n256\n4 0 0 0 0 1 0\n",
               "^PARSE ERROR! Cost function table too large: 4294967296 "
               "entries with a non-zero default cost need about [0-9]+ MB, "
               "more than the machine's [0-9]+ MB\n");
  expect_fails("net 1 2 0 5\n1000000000\n",
               "^PARSE ERROR! Domains too large: 1000000000 values and "
               "499999999500000000 pairs of values need about [0-9]+ MB");
  // 256^8 entries do not fit the index range, even with default cost 0.
  expect_fails("net 1 256 1 5\n256\n8 0 0 0 0 0 0 0 0 0 0\n",
               "^PARSE ERROR! Cost function table too large \\(arity 8\\)\n");
  // More values than the SAT engines can number.
  expect_fails("net 1073741824 2 0 5\n",
               "^PARSE ERROR! Invalid number of variables: 1073741824\n");
  // Values above the identifiers already in use.
  {
    ftest::Stream<> s(ftest::write_file("v.wcsp", "net 2 2 0 5\n2 2\n"));
    IDManager imgr;
    imgr.top_id = FMTUtils::kMaxVariable - 3;
    BasicClauseSet set;
    EXPECT_EXIT(parse_wcsp_file(s.in, imgr, set), testing::ExitedWithCode(3),
                "^PARSE ERROR! Too many domain values: more than 1073741823 "
                "variables\n");
  }
  expect_fails("net 17 1024 0 5\n" + std::string(17 * 5, ' ') + "\n",
               "^PARSE ERROR! Unexpected char: \xff\n");
  // A name without a following blank, and a file that ends early.
  expect_fails("net", "^PARSE ERROR! Unexpected char: \xff\n");
  expect_fails("net\n1\n2\n0\n5\n2\n", "^PARSE ERROR! Unexpected char: \xff\n");
  expect_fails("net 1 2 3 5\n2\n1 0 0 1\n1 ",
               "^PARSE ERROR! Unexpected char: \xff\n");
  expect_fails("net 1 2 3 5\n2\n1 0 0 1\n1 4 x",
               "^PARSE ERROR! Unexpected char: x\n");
}

// The direct encodings in wcnf-from-wcsp/ were made independently of this
// reader: the same clauses, with equal soft weights and the same clauses
// hard, must come out of both. Where the costs can reach the top, the
// reader adds the constraint that keeps them below it, over variables above
// the value variables; those clauses are left out.
TEST(WcspReader, AgreesWithTheDirectEncodingsOfTheBenchmarks) {
  std::string bench = KESTRANE_BENCH_DIR;
  DIR *d = opendir((bench + "/wcsp").c_str());
  ASSERT_NE(d, nullptr);
  int compared = 0;
  for (dirent *e; (e = readdir(d));) {
    std::string name = e->d_name;
    if (name.size() < 5 || name.substr(name.size() - 5) != ".wcsp")
      continue;
    SCOPED_TRACE(name);
#ifdef __SANITIZE_ADDRESS__
    // Under the sanitizers only the smaller networks, to keep the run short.
    if (ftest::read_bytes(bench + "/wcsp/" + name).size() > (1u << 20))
      continue;
#endif
    auto classes = [](const std::string &path, long long &top_id,
                      long long max_var) {
      Loaded l(path);
      top_id = l.imgr.top_id;
      std::map<LitVector, long long> m; // soft weight, or -1 when hard
      for (BasicClause *c : l.set)
        if (c->lits.empty() || std::llabs(c->lits.back()) <= max_var)
          m[c->lits] = c->weight >= l.set.top_weight ? -1 : c->weight;
      return m;
    };
    std::string enc = bench + "/wcnf-from-wcsp/" + name + ".dir.wcnf.gz";
    if (access(enc.c_str(), R_OK) != 0)
      continue;
    long long vars_wcsp, vars_wcnf;
    auto b = classes(enc, vars_wcnf, LLONG_MAX);
    auto a = classes(bench + "/wcsp/" + name, vars_wcsp, vars_wcnf);
    EXPECT_LE(vars_wcnf, vars_wcsp);
    EXPECT_EQ(a.size(), b.size());
    std::size_t diff = 0;
    for (auto &kv : a) {
      auto it = b.find(kv.first);
      if (it == b.end() || it->second != kv.second)
        ++diff;
    }
    EXPECT_EQ(diff, 0u);
    ++compared;
  }
  closedir(d);
  EXPECT_GE(compared, 8);
}

TEST(WcspReader, GzipIsReadLikePlain) {
  std::string text = "net 2 3 2 20\n3 2\n2 0 1 2 2\n0 1 4\n2 0 5\n"
                     "1 1 0 1\n1 3\n";
  Snapshot plain, packed;
  long long top_plain, top_packed;
  {
    Loaded l(ftest::write_file("p.wcsp", text));
    plain = ftest::snapshot(l.set);
    top_plain = l.set.top_weight;
  }
  {
    Loaded l(ftest::write_gz("g.wcsp", text));
    packed = ftest::snapshot(l.set);
    top_packed = l.set.top_weight;
  }
  EXPECT_EQ(plain, packed);
  EXPECT_EQ(top_plain, top_packed);
  // Scope {0, 1}: 5 on (2, 0), 4 on (0, 1), the default 2 on the four
  // other pairs: weight classes 5, 4, 2 in groups 2, 3, 4. Scope {1}: 3 on
  // value 1, group 5 after the gap.
  EXPECT_EQ(plain.at({-3, -4}), (ClauseInfo{5, 2}));
  EXPECT_EQ(plain.at({-1, -5}), (ClauseInfo{4, 3}));
  EXPECT_EQ(plain.at({-1, -4}), (ClauseInfo{2, 4}));
  EXPECT_EQ(plain.at({-2, -5}), (ClauseInfo{2, 4}));
  EXPECT_EQ(plain.at({-5}), (ClauseInfo{3, 5}));
  EXPECT_EQ(plain.size(), 1u + 3u + 1u + 1u + 6u + 1u);
  EXPECT_EQ(top_plain, 1 + 5 + 3);
}
