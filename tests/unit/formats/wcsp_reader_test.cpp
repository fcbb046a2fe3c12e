// The WCSP reader: the translation of domains and cost tables into clauses,
// weight classes and groups on small networks, the size and range errors,
// and agreement with the independent direct encodings of the benchmark
// networks (wcnf-from-wcsp).
#include "formats/wcsp_reader.hpp"

#include <dirent.h>

#include <climits>
#include <cstdlib>

#include "formats/fmt_utils.hpp"
#include "formats_test_util.hpp"

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
  // A table of 256^4 entries with a non-zero default cost.
  expect_fails("net 1 256 1 5\n256\n4 0 0 0 0 1 0\n",
               "^PARSE ERROR! Cost function table too large: 4294967296");
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
