// Bounds of the bounded algorithms: the core record, the next reachable
// cost, the initial upper and lower bounds in every mode, hardening, the
// upper-bound file and the local-search road through a stand-in program.
// Every bound must bracket the brute-force optimum, and an upper bound must
// come with a model that reaches it.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <unistd.h>

#include "framework/core.hpp"
#include "framework/mxsat_solver.hpp"
#include "framework/subsetsum_dp.hpp"
#include "framework/upper_bounds.hpp"
#include "model/zor_config.hpp"
#include "sat/tern_bridge_sort.hpp"
#include "tests/tools/lib/small_instance.hpp"

namespace {

using namespace small;

Instance random_instance(unsigned seed) {
  return small::random_instance(seed, 9, 16, 1000000, {1, 1, 2, 4, 9}, false);
}

void write_wcnf(const Instance &in, const std::string &path) {
  std::ofstream out(path);
  out << "p wcnf " << in.nvars << " " << in.clauses.size() << " " << in.top
      << "\n";
  for (auto &c : in.clauses) {
    out << c.first;
    for (long long l : c.second)
      out << " " << l;
    out << " 0\n";
  }
}

class Bounded : public UnsatMaxSATSolverWithBounds {
public:
  long long solve() override { return 0; }
};

// One instance loaded and bound to a bounded solver with its SAT wrapper,
// as an algorithm holds them; the cores made are deleted at the end.
struct Loaded {
  explicit Loaded(const Instance &in) : sat(imgr, set, model, core) {
    load(in, imgr, set);
    solver.init(imgr, set, model);
  }
  ~Loaded() {
    for (Core *k : cores)
      delete k;
    set.clear_direct();
  }
  IDManager imgr;
  BasicClauseSet set;
  std::vector<long long> model;
  std::vector<bool> bmodel;
  std::vector<BasicClause *> core;
  std::vector<Core *> cores;
  Bounded solver;
  TernWrapperSort sat;
  long long count = 0, lb = -1, ub = -1;
  void initial_bounds() {
    solver.set_initial_bounds(imgr, set, sat, model, bmodel, core, count,
                              cores, lb, ub);
  }
};

std::vector<long long> literal_model(const std::vector<bool> &b) {
  std::vector<long long> m(b.size() + 1, 0);
  for (std::size_t i = 0; i < b.size(); ++i)
    m[i + 1] = b[i] ? 1 : -1;
  return m;
}

// Runs set_initial_bounds in the current modes on one instance and checks
// the bounds against the optimum; returns the optimum.
long long check_bounds(unsigned seed) {
  Instance in = random_instance(seed);
  long long opt = brute_force(in);
  Loaded l(in);
  std::size_t before = l.set.size();
  l.initial_bounds();
  EXPECT_EQ(l.set.size(), before) << "seed " << seed;
  if (opt < 0) {
    EXPECT_EQ(l.ub, -1) << "seed " << seed;
    return opt;
  }
  EXPECT_LE(l.lb, opt) << "seed " << seed;
  EXPECT_GE(l.ub, opt) << "seed " << seed;
  if (ZORConfig::upper_bound != BoundMode::Mode0) {
    long long c = cost_of(in, literal_model(l.bmodel));
    EXPECT_GE(c, 0) << "seed " << seed;
    EXPECT_LE(c, l.ub) << "seed " << seed;
  }
  long long sum = 0;
  for (Core *k : l.cores)
    sum += k->get_lambda();
  if (ZORConfig::lower_bound != BoundMode::Mode0) {
    EXPECT_EQ(sum, l.lb) << "seed " << seed;
  }
  return opt;
}

} // namespace

TEST(Core, RecordAndEdits) {
  std::vector<long long> none;
  Core empty(none, none, 0);
  EXPECT_EQ(empty.get_id(), 10); // the first core of the process
  EXPECT_EQ(empty.get_mu(), 1);
  EXPECT_EQ(empty.get_lambda(), 0);
  EXPECT_EQ(empty.get_nu(), -1);
  EXPECT_EQ(empty.sum_weights(), 0);
  std::vector<long long> rv{5, 6, 7}, ws{1, 2, 3};
  Core a(rv, ws, 1);
  EXPECT_EQ(a.get_id(), 11);
  EXPECT_EQ(a.get_mu(), 7);
  EXPECT_TRUE(a.is_subset(&a));
  EXPECT_TRUE(empty.is_subset(&a));
  std::vector<long long> rv2{7, 8}, ws2{3, 4};
  Core b(rv2, ws2, 3);
  a.extend(&b);
  EXPECT_EQ(a.get_rvars(), (std::vector<long long>{5, 6, 7, 8}));
  EXPECT_EQ(a.get_weights(), (std::vector<long long>{1, 2, 3, 4}));
  a.remove(5);
  EXPECT_EQ(a.get_rvars(), (std::vector<long long>{8, 6, 7}));
  EXPECT_EQ(a.get_weights(), (std::vector<long long>{4, 2, 3}));
  EXPECT_FALSE(a.contains_var(5));
  a.remove(99); // not held: unchanged
  EXPECT_EQ(a.get_rvars().size(), 3u);
  long long x = 6, y = 60;
  a.replaceRV(x, y);
  EXPECT_TRUE(a.contains_var(60));
  EXPECT_FALSE(a.contains_var(6));
}

TEST(Subsetsum, ExamplesAndBruteForce) {
  Subsetsum ss;
  std::vector<long long> w{3, 5, 7};
  EXPECT_EQ(ss.solve(w, 4), 5);
  EXPECT_EQ(ss.solve(w, 5), 7);
  EXPECT_EQ(ss.solve(w, 10), 12);
  EXPECT_EQ(ss.solve(w, 15), -1);
  EXPECT_EQ(ss.solve(w, -1), 3);
  std::vector<long long> two{2, 2};
  EXPECT_EQ(ss.solve(two, 2), 4);
  std::vector<long long> none;
  EXPECT_EQ(ss.solve(none, 0), -1);
  std::vector<long long> zeros{0, -3, 4};
  EXPECT_EQ(ss.solve(zeros, 0), 4); // weights <= 0 ignored

  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    std::vector<long long> ws;
    int n = std::uniform_int_distribution<int>(1, 10)(rng);
    for (int i = 0; i < n; ++i)
      ws.push_back(std::uniform_int_distribution<int>(1, 40)(rng));
    long long k = std::uniform_int_distribution<int>(-2, 200)(rng);
    long long expect = -1;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
      long long s = 0;
      for (int i = 0; i < n; ++i)
        if (mask >> i & 1)
          s += ws[i];
      if (s > k && (expect < 0 || s < expect))
        expect = s;
    }
    EXPECT_EQ(ss.solve(ws, k), expect) << "round " << round;
  }
}

TEST(Subsetsum, LargeSumsNeverStepOverTheNextSum) {
  Subsetsum ss;
  // Totals above 2^31 are exact for few weights...
  std::vector<long long> w{1LL << 31, 3, (1LL << 31) + 5};
  EXPECT_EQ(ss.solve(w, 3), 1LL << 31);
  EXPECT_EQ(ss.solve(w, (1LL << 31) + 3), (1LL << 31) + 5);
  // ...and for many large ones the answer is a value no larger than the
  // true one, and above k.
  std::vector<long long> huge(40, 1LL << 40);
  huge.push_back((1LL << 40) + 7);
  long long got = ss.solve(huge, 1LL << 40);
  EXPECT_GT(got, 1LL << 40);
  EXPECT_LE(got, (1LL << 40) + 7);
  EXPECT_EQ(ss.solve(huge, -5), 1LL << 40);
  std::vector<long long> over{LLONG_MAX, LLONG_MAX};
  EXPECT_EQ(ss.solve(over, 10), LLONG_MAX);
  // Many weights above the bit-vector cap against enumeration of the few
  // smallest sums: the answer never exceeds the true next sum.
  std::vector<long long> many;
  for (int i = 0; i < 30; ++i)
    many.push_back((1LL << 30) + 3 * i);
  for (long long k : {0LL, 1LL << 30, (1LL << 31) + 1}) {
    long long r = ss.solve(many, k);
    EXPECT_GT(r, k);
    long long truth = LLONG_MAX;
    for (long long a : many) {
      if (a > k)
        truth = std::min(truth, a);
      for (long long b : many)
        if (&a < &b && a + b > k)
          truth = std::min(truth, a + b);
    }
    EXPECT_LE(r, truth);
  }
}

TEST(InitialBounds, EveryModeBracketsTheOptimum) {
  ZORConfig::verbosity = 0;
  for (BoundMode lbm : {BoundMode::Mode0, BoundMode::Mode1, BoundMode::Other})
    for (BoundMode ubm : {BoundMode::Mode0, BoundMode::Mode1}) {
      ZORConfig::lower_bound = lbm;
      ZORConfig::upper_bound = ubm;
      for (unsigned seed = 1; seed <= 120; ++seed)
        check_bounds(seed);
    }
  ZORConfig::lower_bound = BoundMode::Mode1;
  ZORConfig::upper_bound = BoundMode::Mode1;
}

TEST(InitialBounds, DisjointCoresOfTwoOpposedPairs) {
  Instance in;
  in.nvars = 2;
  in.top = 100;
  in.clauses = {{3, {1}}, {3, {-1}}, {5, {2}}, {5, {-2}}};
  Loaded l(in);
  l.initial_bounds();
  EXPECT_EQ(l.lb, 8);
  EXPECT_EQ(l.ub, 8);
  ASSERT_EQ(l.cores.size(), 2u);
  std::vector<long long> mins{l.cores[0]->get_min(), l.cores[1]->get_min()};
  std::sort(mins.begin(), mins.end());
  EXPECT_EQ(mins, (std::vector<long long>{3, 5}));
  for (Core *k : l.cores) {
    EXPECT_EQ(k->get_lambda(), k->get_min());
    EXPECT_LE(k->get_mu(), l.ub);
  }
}

TEST(LowerBounds, SubtractionBracketsAndRestoresWeights) {
  ZORConfig::verbosity = 0;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    Instance in = random_instance(seed);
    long long opt = brute_force(in);
    if (opt < 0)
      continue;
    Loaded l(in);
    std::map<BasicClause *, long long> weights;
    for (BasicClause *c : l.set)
      weights[c] = c->weight;
    long long lb = l.solver.lower_bound_subtraction_heuristic(
        l.imgr, l.set, l.sat, l.model, l.core, l.count, l.cores, LLONG_MAX);
    EXPECT_LE(lb, opt) << "seed " << seed;
    EXPECT_EQ(l.set.size(), weights.size()) << "seed " << seed;
    for (auto &e : weights)
      EXPECT_EQ(e.first->weight, e.second) << "seed " << seed;
  }
}

TEST(Hardening, NeverRemovesTheOptimum) {
  ZORConfig::verbosity = 0;
  ZORConfig::hardening_rule = true;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    Instance in = random_instance(seed);
    long long opt = brute_force(in);
    if (opt < 0)
      continue;
    Loaded l(in);
    l.initial_bounds();
    l.solver.hardening(l.cores, l.imgr, l.set, l.lb, l.ub);
    // A hardened relaxed clause comes with the hard unit -r on its
    // relaxation variable: such variables are false for good.
    std::set<long long> forced_false;
    for (BasicClause *c : l.set)
      if (c->weight >= l.set.top_weight && c->lits.size() == 1 &&
          c->lits[0] < -in.nvars)
        forced_false.insert(-c->lits[0]);
    // The best input assignment that every hard clause allows, its other
    // literals being relaxation or encoding variables (free unless forced
    // false), must still reach the optimum.
    long long hopt = -1;
    for (unsigned bits = 0; bits < (1u << in.nvars); ++bits) {
      std::vector<long long> m(static_cast<std::size_t>(in.nvars) + 1);
      for (int v = 1; v <= in.nvars; ++v)
        m[static_cast<std::size_t>(v)] = bits >> (v - 1) & 1 ? 1 : -1;
      long long c = cost_of(in, m);
      bool ok = c >= 0;
      for (BasicClause *cl : l.set) {
        if (!ok || cl->weight < l.set.top_weight)
          continue;
        bool sat = false;
        for (long long x : cl->lits)
          sat |= std::llabs(x) > in.nvars ? !forced_false.count(x)
                                          : lit_true(m, x);
        ok = sat;
      }
      if (ok && (hopt < 0 || c < hopt))
        hopt = c;
    }
    EXPECT_EQ(hopt, opt) << "seed " << seed;
  }
  ZORConfig::hardening_rule = false;
}

TEST(Hardening, MessagesWithAnEmptyMap) {
  ZORConfig::hardening_rule = true;
  ZORConfig::verbosity = 2;
  Bounded s;
  IDManager imgr;
  BasicClauseSet set;
  std::vector<Core *> cores;
  testing::internal::CaptureStdout();
  s.hardening(cores, imgr, set, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "c Soft to harden:0\nc Hardening: 0 0 0\n");
  ZORConfig::hardening_rule = false;
  testing::internal::CaptureStdout();
  s.hardening(cores, imgr, set, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ZORConfig::verbosity = 0;
}

TEST(ShowAtmost, Format) {
  Bounded s;
  std::vector<long long> lits{5, 7}, ws{3, 2};
  long long rhs = 4;
  testing::internal::CaptureStdout();
  s.show_atmost_constraint(lits, ws, rhs);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "3 x5 + 2 x7  <= 4\nc Summary PB. Vars: 2 Sum Weights: 5 Rhs: 4\n");
}

TEST(UpperBoundFile, ReaderAndTrust) {
  char dir[] = "/tmp/kestrane_ubfile_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string path = std::string(dir) + "/ub.txt";
  {
    std::ofstream out(path);
    out << "c comment\nub 7\no 5\nv -2 5\nub 3\n";
  }
  std::vector<long long> m;
  IDManager imgr;
  BasicClauseSet set;
  testing::internal::CaptureStdout();
  long long v = UpperBounds().get_ub_from_file(path, imgr, set, m);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(v, 73);
  EXPECT_EQ(out, "c ub=7\nc ub=73\nc done parsing ub file\n");
  EXPECT_EQ(m, (std::vector<long long>{1, 1, -1, 1, 1, 1}));
  testing::internal::CaptureStdout();
  EXPECT_EQ(UpperBounds().get_ub_from_file(std::string(dir) + "/none", imgr,
                                           set, m),
            -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error::c Unable to open file"
            "c done parsing ub file\n");

  // set_initial_bounds takes a file's bound only when its model reaches it.
  Instance in;
  in.nvars = 2;
  in.top = 100;
  in.clauses = {{100, {1, 2}}, {4, {-1}}, {6, {-2}}};
  ZORConfig::verbosity = 0;
  for (int round = 0; round < 3; ++round) {
    {
      std::ofstream f(path);
      if (round == 0)
        f << "ub 4\nv 1 -2 0\n"; // true: cost 4
      else if (round == 1)
        f << "ub 3\nv 1 -2 0\n"; // claims less than its model costs
      else
        f << "ub 0\nv -1 -2 0\n"; // breaks the hard clause
    }
    IDManager im;
    BasicClauseSet s;
    load(in, im, s);
    Bounded b;
    std::vector<long long> model;
    std::vector<BasicClause *> core;
    b.init(im, s, model);
    TernWrapperSort sat(im, s, model, core);
    long long count = 0, lb = -1, ub = -1;
    ZORConfig::upper_bound_file = path.c_str();
    testing::internal::CaptureStdout();
    b.set_initial_bounds(im, s, sat, model, core, count, lb, ub);
    std::string text = testing::internal::GetCapturedStdout();
    ZORConfig::upper_bound_file = "";
    // The optimum is 4; a bound below it must never be taken.
    EXPECT_EQ(ub, 4) << text;
    if (round > 0) {
      EXPECT_NE(text.find("upper bound file ignored"), std::string::npos);
    }
    s.clear_direct();
  }
  std::remove(path.c_str());
  rmdir(dir);
}

namespace {
// Runs the local-search road in a fresh folder holding the stand-in as
// "./ubcsat"; returns the bound and leaves the model in bmodel.
long long local_search_bound(const Instance &in, const char *mode,
                             std::vector<bool> &bmodel,
                             std::string *args = nullptr) {
  char dir[] = "/tmp/kestrane_ubcsat_XXXXXX";
  if (!mkdtemp(dir))
    return -2;
  std::string d(dir);
  std::string standin = std::string(KESTRANE_BINARY_DIR) +
                        "/tests/tools/ubcsat_standin";
  std::string cmd = "cp '" + standin + "' '" + d + "/ubcsat'";
  if (std::system(cmd.c_str()) != 0)
    return -2;
  std::string file = d + "/in put;x.wcnf"; // blanks and shell characters
  write_wcnf(in, file);
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd) || chdir(dir) != 0)
    return -2;
  setenv("UBCSAT_STANDIN_MODE", mode, 1);
  std::string log = d + "/args.txt";
  setenv("UBCSAT_STANDIN_LOG", log.c_str(), 1);
  IDManager imgr;
  BasicClauseSet set;
  load(in, imgr, set);
  testing::internal::CaptureStdout();
  long long ub = UpperBounds().get_upper_bound(file, imgr, set, bmodel, true);
  testing::internal::GetCapturedStdout();
  set.clear_direct();
  if (args) {
    std::ifstream a(log);
    std::string line;
    while (std::getline(a, line))
      *args += line + "|";
  }
  // Only the stand-in, the input and its log remain: every temporary file
  // of the road is gone.
  std::string left = "ls -A '" + d + "' | grep -v -e '^ubcsat$' -e '^in put' "
                     "-e '^args.txt$' | wc -l > '" + d + "/../kestrane_left'";
  int rc = std::system(left.c_str());
  (void)rc;
  std::ifstream lf(d + "/../kestrane_left");
  int nleft = -1;
  lf >> nleft;
  EXPECT_EQ(nleft, 0) << "temporary files left in " << d;
  if (chdir(cwd) != 0)
    return -2;
  std::system(("rm -rf '" + d + "' '" + d + "/../kestrane_left'").c_str());
  return ub;
}
} // namespace

TEST(LocalSearch, StandInReportsAreCheckedBeforeUse) {
  ZORConfig::verbosity = 0;
  // Unit soft clauses that the relaxed run may well give up: the optimum 2
  // is below what a careless relaxed model pays.
  Instance in;
  in.nvars = 3;
  in.top = 1000;
  in.clauses = {{1000, {1, 2, 3}}, {2, {-1}}, {3, {-2}}, {5, {-3}},
                {1000, {-1, -2}}};
  long long opt = brute_force(in);
  ASSERT_EQ(opt, 2);
  std::vector<bool> bmodel;
  std::string args;
  EXPECT_EQ(local_search_bound(in, "good", bmodel, &args), opt);
  EXPECT_EQ(cost_of(in, literal_model(bmodel)), opt);
  EXPECT_NE(args.find("-rclean|-r|bestsol|-seed|17|-w|-alg|adaptnovelty+|"
                      "-varinitfile|"),
            std::string::npos)
      << args;
  EXPECT_NE(args.find("in put;x.wcnf|"), std::string::npos) << args;
  for (const char *bad : {"wrongclaim", "empty", "short", "breakhard", "fail"}) {
    std::vector<bool> bm;
    long long ub = local_search_bound(in, bad, bm);
    EXPECT_GE(ub, opt) << bad;
    long long c = cost_of(in, literal_model(bm));
    EXPECT_GE(c, 0) << bad; // the model keeps every hard clause
    EXPECT_LE(c, ub) << bad;
  }
}
