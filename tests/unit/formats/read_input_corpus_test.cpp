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
// Clause by literals: its weight when soft, -1 when hard.
using ClauseWeights = std::map<std::vector<long long>, long long>;

Totals count_independently(const std::string &text, const std::string &fmt,
                           ClauseWeights *out = nullptr) {
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
    if (out)
      (*out)[c.first] = hard ? -1 : static_cast<long long>(w);
  }
  t.clauses = static_cast<long long>(cls.size());
  return t;
}

Totals count_loaded(const std::string &path, ClauseWeights *out = nullptr) {
  Loaded l(path);
  if (out)
    for (BasicClause *c : l.set)
      (*out)[c->lits] = c->weight >= l.set.top_weight ? -1 : c->weight;
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

// Runs first: its death tests fork this process, which is cheaper before
// the large benchmark files have been through the heap.
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


// Random small files of every DIMACS format with many repeated clauses,
// clauses spread over lines or sharing one, comment lines, carriage returns
// where the format allows them, plain and gzip: the loaded clauses and
// weights must equal the independent count clause by clause.
TEST(ReadInputCorpus, RandomFilesAgreeClauseByClause) {
  const char *formats[] = {"cnf", "pmcnf", "wcnf", "gwcnf"};
  for (unsigned seed = 1; seed <= 120; ++seed) {
    unsigned long long x = seed * 0x9E3779B97F4A7C15ULL;
    auto rnd = [&x](unsigned n) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      return static_cast<long long>(x % n);
    };
    std::string fmt = formats[seed % 4];
    bool crlf = (fmt == "wcnf" || fmt == "gwcnf" || fmt == "cnf") && rnd(2);
    std::string nl = crlf ? "\r\n" : "\n";
    long long top = 5 + rnd(40);
    std::string text = "c seed " + std::to_string(seed) + nl;
    text += "p " + fmt + " 6 40";
    if ((fmt == "wcnf" || fmt == "gwcnf") && rnd(3))
      text += " " + std::to_string(top);
    text += nl;
    int clauses = 1 + static_cast<int>(rnd(40));
    for (int i = 0; i < clauses; ++i) {
      if (fmt == "pmcnf" && rnd(5) == 0)
        text += rnd(2) ? "\np hard\n" : "\np soft\n";
      if (rnd(8) == 0)
        text += nl + "c comment " + std::to_string(i) + nl;
      if (fmt == "gwcnf")
        text += std::to_string(rnd(6)) + " ";
      if (fmt == "wcnf" || fmt == "gwcnf")
        text += std::to_string(rnd(4) == 0 ? top : rnd(9)) + " ";
      int len = static_cast<int>(rnd(4));
      for (int j = 0; j < len; ++j) {
        long long v = 1 + rnd(4);
        text += std::to_string(rnd(2) ? v : -v) + (rnd(6) ? " " : nl);
      }
      text += "0";
      text += rnd(3) ? nl : " ";
    }
    ClauseWeights want, got;
    Totals tw = count_independently(text, fmt, &want);
    std::string name = "rand." + fmt;
    std::string path = rnd(2) ? ftest::write_gz(name + ".gz", text)
                              : ftest::write_file(name, text);
    Totals tg = count_loaded(path, &got);
    EXPECT_EQ(tg, tw) << "seed " << seed << "\n" << text;
    EXPECT_EQ(got, want) << "seed " << seed << "\n" << text;
  }
}
