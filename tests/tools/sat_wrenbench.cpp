// Compares the Wren solver with the reference solver on DIMACS files:
//   sat_wrenbench [-t seconds] file...
// For each file: Wren's answer and time (loading and solving, not reading
// the text), the reference's answer and time on the same clauses, and the
// time ratio Wren / reference; a Wren model is checked against the formula
// and a Wren "unsatisfiable" against the reference. Ends with the median and
// the worst ratio over the files that both solved (reference times below
// 0.01 s count as 0.01 s). Exit status 1 when an answer is wrong.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/lib/wren_cnf.hpp"
#include "tests/tools/lib/wren_harness.hpp"

namespace {

Wren::Solver* running = nullptr;

void on_alarm(int) {
  if (running) running->interrupt();
}

const char* status_name(int s) { return s == 10 ? "SAT" : s == 20 ? "UNSAT" : "TIMEOUT"; }

}  // namespace

int main(int argc, char** argv) {
  double limit = 60;
  std::vector<std::string> files;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc)
      limit = std::atof(argv[++i]);
    else
      files.push_back(argv[i]);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: sat_wrenbench [-t seconds] file...\n");
    return 2;
  }
  signal(SIGALRM, on_alarm);

  std::vector<double> ratios;
  std::string worst;
  double worst_ratio = 0;
  bool wrong = false;
  std::printf("%-44s %7s %8s %7s %8s %8s %10s %8s\n", "instance", "wren", "seconds",
              "cadical", "seconds", "ratio", "conflicts", "Mprop/s");
  for (const auto& path : files) {
    wrentest::Cnf f;
    std::string err;
    if (!wrentest::read_dimacs(path, f, err)) {
      std::printf("%-48s read error: %s\n", path.c_str(), err.c_str());
      continue;
    }
    std::vector<bool> model;
    auto t0 = std::chrono::steady_clock::now();
    int ws;
    uint64_t conflicts = 0, props = 0;
    {
      Wren::Solver s;
      running = &s;
      alarm((unsigned)std::max(1.0, limit));
      wrentest::wren_load(s, f);
      ws = wrentest::wren_solve(s, model);
      alarm(0);
      running = nullptr;
      conflicts = s.conflicts;
      props = s.propagations;
    }
    double wt = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double rt = 0;
    int rs = wrentest::reference_status(f, limit, &rt);

    const char* verdict = "";
    if (ws == 10 && wrentest::first_falsified(f, model) >= 0) {
      verdict = "WRONG MODEL";
      wrong = true;
    } else if (ws != 0 && rs != 0 && ws != rs) {
      verdict = "DISAGREE";
      wrong = true;
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    double ratio = 0;
    if (ws != 0 && rs != 0) {
      ratio = wt / std::max(rt, 0.01);
      ratios.push_back(ratio);
      if (ratio > worst_ratio) {
        worst_ratio = ratio;
        worst = name;
      }
    }
    std::printf("%-44s %7s %8.2f %7s %8.2f %8.2f %10llu %8.1f %s\n", name.c_str(),
                status_name(ws), wt, status_name(rs), rt, ratio,
                (unsigned long long)conflicts, props / std::max(wt, 1e-6) / 1e6, verdict);
    std::fflush(stdout);
  }
  if (!ratios.empty()) {
    std::vector<double> r = ratios;
    std::sort(r.begin(), r.end());
    double median = r.size() % 2 ? r[r.size() / 2]
                                 : (r[r.size() / 2 - 1] + r[r.size() / 2]) / 2;
    std::printf("ratio over %zu instances: median %.2f, worst %.2f (%s)\n", r.size(),
                median, worst_ratio, worst.c_str());
  }
  return wrong ? 1 : 0;
}
