// mxse2e: the end-to-end harness. It runs a MaxSAT solver on seeded
// generated instances (or on one real instance) and judges every answer
// against an oracle; it also validates the oracles against each other.
//
// Generated instances against the solver:
//   mxse2e --solver PATH [--args "ARGS"]... [--seed S|random] [--count N]
//          [--family F] [--vars N] [--jobs J] [--timeout SEC]
//          [--oracle brute|refs] [--workdir DIR]
//          [--count-env VAR] [--seed-env VAR] [--max-weight W]
//          [--bound-lines PREFIX]
// Each instance is written once and solved once per --args variant (none, or
// the word "default": the solver's defaults). --oracle brute (default) takes the brute force's
// optimum; refs takes clasp and z3, which must agree (for --vars above the
// brute-force range). --count-env / --seed-env let an environment variable
// override the count / base seed (soak runs). --max-weight caps the
// soft weights (1: unweighted, for algorithms that refuse weighted input).
// Every upper bound a run prints ("o ", "c o " and "c Costs - Assig:"
// lines) must be at least the optimum (on a small OPB file, also the
// objective's value of a feasible assignment), and the "o " lines never rise.
// --bound-lines names the start of the solver's lower-bound lines ("c LB:"):
// every value they give must be at most the optimum, and the last one, which
// a positive optimum requires, must equal it.
//
// Oracle validation (no solver):
//   mxse2e --oracles [--seed S] [--count N] [--family F] [--vars N] [--jobs J]
// brute force, clasp and z3 must all answer and agree on every instance.
//
// One real instance:
//   mxse2e --solver PATH [--args "ARGS"] --bench-dir DIR --instance REL
//          [--timeout SEC]
// The expected answer is REL's line of DIR/known-optima.tsv.
//
// Every failure prints its instance seed, family and solver arguments, and
// keeps the instance file. Exit status: 0 all correct; 1 a wrong answer,
// crash or time-out; 2 usage or setup error; 77 skipped: the solver is
// missing, or every run answered "Unavailable" (not built yet).
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "tests/tools/lib/maxsat_brute.hpp"
#include "tests/tools/lib/maxsat_check.hpp"
#include "tests/tools/lib/maxsat_gen.hpp"
#include "tests/tools/lib/maxsat_ref.hpp"

using namespace mxs;

namespace {

constexpr int kSkip = 77;

struct Config {
  std::string solver;
  std::vector<std::string> variants;  // argument strings
  bool oracles_mode = false;
  unsigned long long seed = 1;
  bool random_seed = false;
  long long count = 100;
  std::string family = "clauses";
  long long vars = 10;
  long long max_weight = 0;
  int jobs = 0;
  double timeout = 20;
  std::string oracle = "brute";
  std::string workdir;
  std::string bench_dir, instance;
  std::string bound_prefix;
};

struct Tally {
  std::atomic<long long> runs{0}, passed{0}, failed{0}, unavailable{0}, instances{0};
  std::mutex out;
};

std::vector<std::string> split_args(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> r;
  for (std::string t; in >> t;) r.push_back(t);
  return r;
}

bool executable(const std::string& p) { return access(p.c_str(), X_OK) == 0; }

// The lower-bound lines of a solver's output against the optimum: none
// above it, and the last one equal to it. Empty when they are fine.
std::string check_bound_lines(const std::string& out, const std::string& prefix,
                              long long optimum) {
  std::istringstream in(out);
  bool any = false;
  long long last = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    std::istringstream t(line.substr(prefix.size()));
    long long v;
    if (!(t >> v)) return "malformed bound line '" + line + "'";
    if (v > optimum) return "bound line '" + line + "' above the optimum";
    any = true;
    last = v;
  }
  if (optimum > 0 && !any) return "no line starting '" + prefix + "'";
  if (any && last != optimum)
    return "last bound line gives " + std::to_string(last) + ", not the optimum";
  return "";
}

// One solver run on `path`, judged against `expected`. Returns 1 passed,
// 0 failed, -1 unavailable; `why` says what went wrong.
int run_and_judge(const Config& cfg, const std::string& args, const std::string& path,
                  const Instance* inst, const Optimum* expected, bool cost_at_least_one,
                  std::string& why) {
  std::vector<std::string> argv = {cfg.solver};
  for (const std::string& a : split_args(args)) argv.push_back(a);
  argv.push_back(path);
  std::string dir = cfg.workdir.empty() ? "/tmp" : cfg.workdir;
  ProcResult p = run_process(argv, "", cfg.timeout, scratch_name(dir, "run"));
  if (!p.started) {
    why = p.err;
    return 0;
  }
  SolverAnswer a = parse_answer(p.out + "\n" + p.err);
  // Only standard output carries the answer lines.
  SolverAnswer so = parse_answer(p.out);
  so.unavailable = a.unavailable;
  if (so.unavailable && so.status.empty()) return -1;
  if (p.timed_out) {
    why = "timed out after " + std::to_string((int)cfg.timeout) + " s";
    return 0;
  }
  if (p.signal) {
    why = "killed by signal " + std::to_string(p.signal) + "; stderr: " + p.err.substr(0, 300);
    return 0;
  }
  if (p.exit_code != 0) {
    why = "exit status " + std::to_string(p.exit_code) + "; stderr: " + p.err.substr(0, 300) +
          " stdout tail: " + p.out.substr(p.out.size() > 300 ? p.out.size() - 300 : 0);
    return 0;
  }
  bool model = inst && inst->kind == Kind::Clauses;
  if (cost_at_least_one) {
    // Known only to be unsatisfiable as CNF: as plain MaxSAT the optimum is
    // at least 1; the model must still account for the cost line.
    if (so.status != "OPTIMUM FOUND" || !so.has_cost || so.cost < 1) {
      why = "expected an optimum of at least 1, got status '" + so.status + "'";
      return 0;
    }
    Optimum e{true, so.cost};
    Verdict v = judge(*inst, so, e, true);
    why = v.message;
    return v.ok ? 1 : 0;
  }
  if (!expected) {
    // Feasible, optimum unknown: a status, a cost and no bound below it
    // are all we can ask.
    if (so.status != "OPTIMUM FOUND" || !so.has_cost) {
      why = "expected s OPTIMUM FOUND, got status '" + so.status + "'";
      return 0;
    }
    why = bound_fault(so, Optimum{true, so.cost});
    return why.empty() ? 1 : 0;
  }
  Instance empty;
  Verdict v = judge(inst ? *inst : empty, so, *expected, model);
  why = v.message;
  if (v.ok && expected->feasible && !cfg.bound_prefix.empty()) {
    why = check_bound_lines(p.out, cfg.bound_prefix, expected->cost);
    return why.empty() ? 1 : 0;
  }
  return v.ok ? 1 : 0;
}

void report(Tally& t, const std::string& line) {
  std::lock_guard<std::mutex> g(t.out);
  std::cout << line << std::endl;
}

// Generated instances against the solver, or the oracles against each other.
int run_generated(Config& cfg) {
  Tally t;
  GenOptions gopt;
  gopt.max_vars = cfg.vars;
  gopt.max_weight = cfg.max_weight;
  if (cfg.variants.empty()) cfg.variants.push_back("");
  std::atomic<long long> next{0};
  bool keep_any = false;
  std::mutex keep_mu;
  auto work = [&]() {
    for (;;) {
      long long i = next++;
      if (i >= cfg.count) return;
      uint64_t s = instance_seed(cfg.seed, (uint64_t)i);
      Generated g;
      generate(s, cfg.family, gopt, g);
      ++t.instances;
      std::string tag = "seed=" + std::to_string(s) + " family=" + g.family +
                        " format=" + format_name(g.format) + (g.gzip ? ".gz" : "") +
                        " (mxsgen --seed " + std::to_string(s) + " --family " + cfg.family +
                        " --vars " + std::to_string(cfg.vars) +
                        (cfg.max_weight ? " --max-weight " + std::to_string(cfg.max_weight) : "") +
                        ")";
      OracleOptions oo;
      oo.scratch_dir = cfg.workdir;
      oo.timeout_s = cfg.oracles_mode ? 10 : 60;
      if (cfg.oracles_mode) {
        oo.brute = oo.clasp = oo.z3 = true;
        OracleAnswer a = oracle_optimum(g.inst, oo);
        int want = (g.inst.nvars <= kBruteMaxVars) + clasp_can_judge(g.inst) + 1;
        ++t.runs;
        if (a.ok && a.answers == want) {
          ++t.passed;
        } else if (a.ok && a.answers + a.timeouts == want) {
          // A reference ran out of time; those that answered agree.
          ++t.unavailable;
          report(t, "TIMEOUT " + tag + ": " + a.detail);
        } else {
          ++t.failed;
          report(t, "FAIL " + tag + ": oracles " + (a.ok ? "incomplete" : "disagree") + ": " +
                        a.detail);
        }
        continue;
      }
      Optimum expected;
      if (cfg.oracle == "brute") {
        brute_force(g.inst, expected);
      } else {
        oo.brute = false;
        OracleAnswer a = oracle_optimum(g.inst, oo);
        if (!a.ok || a.answers < 2) {
          ++t.failed;
          report(t, "FAIL " + tag + ": no agreed reference optimum: " + a.detail);
          continue;
        }
        expected = a.opt;
      }
      std::string path = file_name(cfg.workdir + "/i" + std::to_string(i) + "-" + g.family, g);
      save_file(path, write_instance(g.inst, g.format), g.gzip);
      bool failed_here = false;
      for (const std::string& args : cfg.variants) {
        std::string why;
        int r = run_and_judge(cfg, args, path, &g.inst, &expected, false, why);
        ++t.runs;
        if (r == 1) {
          ++t.passed;
        } else if (r < 0) {
          ++t.unavailable;
        } else {
          ++t.failed;
          failed_here = true;
          report(t, "FAIL " + tag + " args='" + args + "': " + why + " [optimum " +
                        to_string(expected) + ", file " + path + "]");
        }
      }
      if (failed_here) {
        std::lock_guard<std::mutex> g2(keep_mu);
        keep_any = true;
      } else {
        std::remove(path.c_str());
      }
    }
  };
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> th;
  for (int j = 0; j < cfg.jobs; ++j) th.emplace_back(work);
  for (auto& x : th) x.join();
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!keep_any) rmdir(cfg.workdir.c_str());
  std::cout << "mxse2e: seed " << cfg.seed << ", " << t.instances << " instances, "
            << t.runs << " runs in " << secs << " s (" << cfg.jobs << " jobs)\n";
  std::cout << t.passed << " passed, " << t.failed << " failed, " << t.unavailable
            << " skipped\n";
  if (t.failed) {
    std::cout << "failing instances kept in " << cfg.workdir << "; base seed " << cfg.seed
              << "\n";
    return 1;
  }
  if (!cfg.oracles_mode && t.passed == 0 && t.unavailable > 0) {
    std::cout << "SKIP: the solver answers \"Unavailable\" for these runs (not built yet)\n";
    return kSkip;
  }
  return 0;
}

// Reads the expected answer of one instance from known-optima.tsv.
bool known_optimum(const std::string& dir, const std::string& rel, std::string& value) {
  std::ifstream in(dir + "/known-optima.tsv");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos || line.substr(0, tab) != rel) continue;
    size_t tab2 = line.find('\t', tab + 1);
    value = line.substr(tab + 1, tab2 == std::string::npos ? std::string::npos : tab2 - tab - 1);
    return true;
  }
  return false;
}

int run_bench(Config& cfg) {
  std::string value;
  if (!known_optimum(cfg.bench_dir, cfg.instance, value)) {
    std::cerr << "mxse2e: " << cfg.instance << " has no line in known-optima.tsv\n";
    return 2;
  }
  std::string path = cfg.bench_dir + "/" + cfg.instance;
  Instance inst;
  std::string err;
  bool have_inst = read_instance(path, inst, err);
  bool cnf_sat = cfg.instance.compare(0, 8, "cnf-sat/") == 0;
  Optimum expected;
  bool know = true, at_least_one = false;
  if (value == "UNSAT") {
    if (cnf_sat) at_least_one = true;  // as plain MaxSAT: cost >= 1
    else expected.feasible = false;
  } else if (value == "SAT") {
    if (cnf_sat) expected = Optimum{true, 0};
    else know = false;
  } else {
    expected = Optimum{true, strtoll(value.c_str(), nullptr, 10)};
  }
  if (at_least_one && !have_inst) {
    std::cerr << "mxse2e: " << err << "\n";
    return 2;
  }
  if (cfg.variants.empty()) cfg.variants.push_back("");
  int rc = 0;
  bool all_unavailable = true;
  for (const std::string& args : cfg.variants) {
    std::string why;
    auto start = std::chrono::steady_clock::now();
    int r = run_and_judge(cfg, args, path, have_inst ? &inst : nullptr,
                          know ? &expected : nullptr, at_least_one, why);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (r >= 0) all_unavailable = false;
    std::cout << (r == 1 ? "PASS " : r < 0 ? "UNAVAILABLE " : "FAIL ") << cfg.instance
              << " args='" << args << "' expected " << value << " (" << secs << " s)"
              << (why.empty() ? "" : ": " + why) << "\n";
    if (r == 0) rc = 1;
  }
  if (rc == 0 && all_unavailable) {
    std::cout << "SKIP: the solver answers \"Unavailable\" (not built yet)\n";
    return kSkip;
  }
  return rc;
}

int usage() {
  std::cerr << "usage: mxse2e --solver PATH [--args ARGS]... [--seed S|random] [--count N]"
               " [--family F] [--vars N] [--jobs J] [--timeout SEC] [--oracle brute|refs]"
               " [--workdir DIR] [--count-env VAR] [--seed-env VAR] [--max-weight W]"
               " [--bound-lines PREFIX]\n"
               "       mxse2e --oracles [--seed S] [--count N] [--family F] [--vars N] [--jobs J]\n"
               "       mxse2e --solver PATH [--args ARGS]... --bench-dir DIR --instance REL"
               " [--timeout SEC]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Config cfg;
  std::string count_env, seed_env, seed_text;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--oracles") {
      cfg.oracles_mode = true;
      continue;
    }
    if (i + 1 >= argc) return usage();
    std::string v = argv[++i];
    if (a == "--solver") cfg.solver = v;
    else if (a == "--args") cfg.variants.push_back(v == "default" ? "" : v);
    else if (a == "--seed") seed_text = v;
    else if (a == "--count") cfg.count = atoll(v.c_str());
    else if (a == "--family") cfg.family = v;
    else if (a == "--vars") cfg.vars = atoll(v.c_str());
    else if (a == "--max-weight") cfg.max_weight = atoll(v.c_str());
    else if (a == "--jobs") cfg.jobs = atoi(v.c_str());
    else if (a == "--timeout") cfg.timeout = atof(v.c_str());
    else if (a == "--oracle") cfg.oracle = v;
    else if (a == "--workdir") cfg.workdir = v;
    else if (a == "--count-env") count_env = v;
    else if (a == "--seed-env") seed_env = v;
    else if (a == "--bound-lines") cfg.bound_prefix = v;
    else if (a == "--bench-dir") cfg.bench_dir = v;
    else if (a == "--instance") cfg.instance = v;
    else return usage();
  }
  if (!seed_env.empty() && getenv(seed_env.c_str())) seed_text = getenv(seed_env.c_str());
  if (!count_env.empty() && getenv(count_env.c_str()))
    cfg.count = atoll(getenv(count_env.c_str()));
  if (seed_text == "random") {
    cfg.seed = (unsigned long long)std::chrono::system_clock::now().time_since_epoch().count() ^
               ((unsigned long long)getpid() << 32);
    cfg.seed %= 1000000000000ULL;
  } else if (!seed_text.empty()) {
    cfg.seed = strtoull(seed_text.c_str(), nullptr, 10);
  }
  if (cfg.jobs <= 0) {
    unsigned hc = std::thread::hardware_concurrency();
    cfg.jobs = hc ? (int)hc : 2;
  }
  if (cfg.oracle != "brute" && cfg.oracle != "refs") return usage();
  if (!cfg.oracles_mode) {
    if (cfg.solver.empty()) return usage();
    if (!executable(cfg.solver)) {
      std::cout << "SKIP: solver " << cfg.solver << " not found\n";
      return kSkip;
    }
  }
  if (cfg.oracle == "brute" && cfg.vars > kBruteMaxVars) {
    std::cerr << "mxse2e: --vars above " << kBruteMaxVars << " needs --oracle refs\n";
    return 2;
  }
  if (cfg.workdir.empty()) {
    // A fresh folder of its own: processes of other runs may share the
    // temporary folder and even the process id.
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp ? tmp : "/tmp") + "/mxse2e-XXXXXX";
    if (mkdtemp(templ.data()) == nullptr) {
      std::cerr << "mxse2e: cannot create a folder " << templ << "\n";
      return 2;
    }
    cfg.workdir = templ;
  } else {
    mkdir(cfg.workdir.c_str(), 0755);
  }
  if (!cfg.instance.empty()) {
    int rc = run_bench(cfg);
    rmdir(cfg.workdir.c_str());
    return rc;
  }
  GenOptions probe;
  Generated g;
  if (!generate(1, cfg.family, probe, g)) {
    std::cerr << "mxse2e: unknown family '" << cfg.family << "'\n";
    return 2;
  }
  std::cout << "mxse2e: base seed " << cfg.seed << ", family " << cfg.family << ", up to "
            << cfg.vars << " variables" << std::endl;
  return run_generated(cfg);
}
