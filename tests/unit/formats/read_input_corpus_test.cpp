// read_input_file on whole collections: every benchmark file of the DIMACS
// family is read without error, and its clause, variable and weight totals
// agree with an independent line-based count; every file of the malformed
// corpus ends with exactly its message and exit status, never a crash or a
// hang.
#include "formats/read_input.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sstream>

#include "formats_test_util.hpp"

using ftest::Loaded;

namespace {

constexpr long long kMax = BasicClauseSet::kMaxWeight;

struct Totals {
  long long clauses = 0;  // distinct clauses
  long long hard = 0;     // clauses at the top weight
  __int128 soft = 0;      // sum of the soft clauses' weights
  long long vars = 1;     // largest variable, at least 1
  long long top = kMax;
};

std::ostream &operator<<(std::ostream &out, const Totals &t) {
  return out << "clauses " << t.clauses << " hard " << t.hard << " soft "
             << static_cast<long double>(t.soft) << " vars " << t.vars
             << " top " << t.top;
}
bool operator==(const Totals &a, const Totals &b) {
  return a.clauses == b.clauses && a.hard == b.hard && a.soft == b.soft &&
         a.vars == b.vars && a.top == b.top;
}

// An independent reading: line by line, clauses keyed by their sorted,
// duplicate-free literals, merged by the rules of each format.
Totals count_independently(const std::string &text, const std::string &fmt) {
  struct Acc {
    __int128 weight = 0;
    bool hard = false;
  };
  std::map<std::vector<long long>, Acc> cls;
  std::map<long long, long long> group_first;
  Totals t;
  bool hard_mode = false;
  std::vector<long long> nums, clause;
  std::istringstream lines(text);
  std::string line;
  auto finish_clause = [&](std::vector<long long> &lits, long long lead[2]) {
    std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
      return std::llabs(a) != std::llabs(b) ? std::llabs(a) < std::llabs(b)
                                            : a < b;
    });
    lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
    Acc &a = cls[lits];
    if (fmt == "cnf")
      a.weight += 1;
    else if (fmt == "pmcnf" && hard_mode)
      a.hard = true; // hard once, hard for good
    else if (fmt == "pmcnf")
      a.weight += 1;
    else if (fmt == "wcnf")
      a.weight += lead[0];
    else { // gwcnf: lead = group, weight
      a.weight += lead[1];
      if (lead[1] != t.top && !group_first.count(lead[0]))
        group_first[lead[0]] = lead[1];
    }
  };
  std::size_t lead_count = fmt == "wcnf" ? 1 : fmt == "gwcnf" ? 2 : 0;
  long long lead[2] = {0, 0};
  std::size_t have_lead = 0;
  while (std::getline(lines, line)) {
    std::size_t i = line.find_first_not_of(" \t\r\v\f");
    if (i == std::string::npos || line[i] == 'c')
      continue;
    std::istringstream toks(line.substr(i));
    if (line[i] == 'p') {
      std::string p, word;
      toks >> p >> word;
      if (word == "hard" || word == "soft")
        hard_mode = word == "hard";
      long long v;
      int k = 0;
      while (toks >> v)
        if (++k == 3)
          t.top = v;
      continue;
    }
    long long v;
    while (toks >> v) {
      if (have_lead < lead_count) {
        lead[have_lead++] = v;
        continue;
      }
      if (v != 0) {
        clause.push_back(v);
        t.vars = std::max(t.vars, std::llabs(v));
        continue;
      }
      finish_clause(clause, lead);
      clause.clear();
      have_lead = 0;
    }
  }
  if (fmt == "gwcnf") {
    __int128 sum = 1;
    for (auto &g : group_first)
      sum += g.second;
    for (auto &c : cls) // never at or below a soft clause's weight
      if (c.second.weight < t.top && c.second.weight >= sum)
        sum = c.second.weight + 1;
    if (sum < t.top)
      t.top = static_cast<long long>(sum);
  }
  for (auto &c : cls) {
    __int128 w = c.second.weight;
    if (fmt == "wcnf" || fmt == "gwcnf")
      w = std::min<__int128>(w, kMax); // sums are capped
    bool hard = c.second.hard || w >= t.top;
    if (hard)
      ++t.hard;
    else
      t.soft += w;
  }
  t.clauses = static_cast<long long>(cls.size());
  return t;
}

Totals count_loaded(const std::string &path) {
  Loaded l(path);
  Totals t;
  t.top = l.set.top_weight;
  t.vars = l.imgr.top_id;
  t.clauses = static_cast<long long>(l.set.size());
  for (BasicClause *c : l.set) {
    if (c->weight >= t.top)
      ++t.hard;
    else
      t.soft += c->weight;
  }
  return t;
}

std::vector<std::string> list_dir(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    for (dirent *e; (e = readdir(d));)
      if (e->d_name[0] != '.')
        names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The message as a POSIX extended regular expression matching it exactly;
// "<ANY>" in it matches any text.
std::string exactly(const std::string &msg) {
  std::string r = "^";
  for (std::size_t i = 0; i < msg.size(); ++i) {
    if (msg.compare(i, 5, "<ANY>") == 0) {
      r += ".*";
      i += 4;
      continue;
    }
    if (std::strchr(".[]()*+?{}|^$\\", msg[i]))
      r.push_back('\\');
    r.push_back(msg[i]);
  }
  return r + "$";
}

} // namespace

TEST(ReadInputCorpus, BenchmarkFilesAgreeWithAnIndependentCount) {
  const std::string bench = KESTRANE_BENCH_DIR;
  const std::pair<const char *, const char *> dirs[] = {
      {"cnf-maxsat", "cnf"}, {"cnf-sat", "cnf"},   {"pmcnf", "pmcnf"},
      {"gwcnf", "gwcnf"},    {"wcnf-old", "wcnf"}, {"wcnf-from-wcsp", "wcnf"}};
  int files = 0;
  for (auto &d : dirs) {
    for (const std::string &name : list_dir(bench + "/" + d.first)) {
      std::string path = bench + "/" + d.first + "/" + name;
      SCOPED_TRACE(path);
#ifdef __SANITIZE_ADDRESS__
      // Under the sanitizers only the smaller files, to keep the run short.
      if (ftest::read_bytes(path).size() > (200u << 10))
        continue;
#endif
      Totals want = count_independently(ftest::read_all(path), d.second);
      EXPECT_EQ(count_loaded(path), want);
      ++files;
    }
  }
  EXPECT_GE(files, 30);
}

TEST(ReadInputCorpus, QuirkFilesOfTheBenchmarks) {
  const std::string bench = KESTRANE_BENCH_DIR;
  {
    Loaded l(bench + "/cnf-sat/empty.cnf");
    EXPECT_EQ(l.set.size(), 0u);
    EXPECT_EQ(l.imgr.top_id, 1);
  }
  {
    Loaded l(bench + "/cnf-sat/empty-clause.cnf");
    ASSERT_EQ(l.set.size(), 1u);
    EXPECT_TRUE((*l.set.begin())->lits.empty());
  }
  {
    // Header without top weight, a trailing blank, a weight written "00".
    Loaded l(bench + "/wcnf-old/ubcsat-sample.wcnf");
    EXPECT_EQ(l.set.top_weight, kMax);
    EXPECT_EQ(l.type, MS_Problems::Weighted);
    bool zero = false;
    for (BasicClause *c : l.set)
      zero = zero || c->weight == 0;
    EXPECT_TRUE(zero);
  }
  {
    // More clauses than the header declares.
    Loaded l(bench + "/cnf-sat/sat-bench-unsat2.cnf");
    EXPECT_EQ(l.type, MS_Problems::Plain);
    EXPECT_GT(l.set.size(), 0u);
  }
}

TEST(ReadInputCorpus, MalformedInputsEndWithTheirMessage) {
  const std::string dir =
      std::string(KESTRANE_SOURCE_DIR) + "/tests/data/formats/malformed";
  std::istringstream manifest(ftest::read_bytes(dir + "/MANIFEST"));
  std::string line;
  int cases = 0;
  while (std::getline(manifest, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    std::istringstream fields(line);
    std::string name, status, msg;
    std::getline(fields, name, '\t');
    std::getline(fields, status, '\t');
    std::getline(fields, msg);
    for (std::size_t p; (p = msg.find("<FF>")) != std::string::npos;)
      msg.replace(p, 4, "\xff");
    for (std::size_t p; (p = msg.find("\\n")) != std::string::npos;)
      msg.replace(p, 2, "\n");
    std::string path = dir + "/" + name;
    SCOPED_TRACE(name);
    EXPECT_EXIT_MSG(Loaded l(path), std::atoi(status.c_str()), exactly(msg));
    ++cases;
  }
  EXPECT_GE(cases, 60);
}
