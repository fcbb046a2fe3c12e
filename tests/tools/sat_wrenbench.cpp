// Compares the Wren solver with the reference solver on DIMACS files:
//   sat_wrenbench [-t seconds] [-noref] file...
// For each file: Wren's answer and CPU time (loading and solving, not reading
// the text), the reference's answer and CPU time on the same clauses, and the
// time ratio Wren / reference; a Wren model is checked against the formula
// and a Wren "unsatisfiable" against the reference. Ends with the median and
// the worst ratio over the files that the reference solved (reference times
// below 0.01 s count as 0.01 s; a Wren time-out counts at the limit, a lower
// bound on its ratio). Times are CPU seconds and the limit is on CPU time.
// Exit status 1 when an answer is wrong.
#include <signal.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/tools/lib/wren_cnf.hpp"
#include "tests/tools/lib/wren_harness.hpp"

namespace {

Wren::Solver* running = nullptr;

double cpu_now() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

void set_cpu_timer(double seconds) {
  itimerval t{};
  t.it_value.tv_sec = (time_t)seconds;
  t.it_value.tv_usec = (suseconds_t)((seconds - (double)(time_t)seconds) * 1e6);
  setitimer(ITIMER_PROF, &t, nullptr);
}

void on_alarm(int) {
  if (running) running->interrupt();
}

const char* status_name(int s) { return s == 10 ? "SAT" : s == 20 ? "UNSAT" : "TIMEOUT"; }

}  // namespace

int main(int argc, char** argv) {
  double limit = 60;
  bool with_reference = true;  // -noref: Wren alone, for profiling
  std::vector<std::string> files;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc)
      limit = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "-noref") == 0)
      with_reference = false;
    else
      files.push_back(argv[i]);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: sat_wrenbench [-t seconds] [-noref] file...\n");
    return 2;
  }
  signal(SIGPROF, on_alarm);

  std::vector<double> ratios;
  std::string worst;
  double worst_ratio = 0;
  bool wrong = false;
  int timeouts = 0;
  std::vector<double> nontrivial;  // ratios where the reference needs >= 0.1 s
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
    double t0 = cpu_now();
    int ws;
    uint64_t conflicts = 0, props = 0;
    {
      Wren::Solver s;
      running = &s;
      set_cpu_timer(limit);
      wrentest::wren_load(s, f);
      ws = wrentest::wren_solve(s, model);
      set_cpu_timer(0);
      running = nullptr;
      conflicts = s.conflicts;
      props = s.propagations;
    }
    double wt = cpu_now() - t0;
    double rt = 0;
    int rs = with_reference ? wrentest::reference_status(f, limit, &rt) : 0;

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
    if (rs != 0) {
      // A Wren time-out on a file the reference solved counts at the limit:
      // its ratio is a lower bound.
      ratio = (ws != 0 ? wt : limit) / std::max(rt, 0.01);
      if (ws == 0) timeouts++;
      ratios.push_back(ratio);
      if (rt >= 0.1) nontrivial.push_back(ratio);
      if (ratio > worst_ratio) {
        worst_ratio = ratio;
        worst = name;
      }
    }
    std::printf("%-44s %7s %8.2f %7s %8.2f %s%7.2f %10llu %8.1f %s\n", name.c_str(),
                status_name(ws), wt, with_reference ? status_name(rs) : "-", rt, ws == 0 && rs != 0 ? ">" : " ", ratio,
                (unsigned long long)conflicts, props / std::max(wt, 1e-6) / 1e6, verdict);
    std::fflush(stdout);
  }
  if (!ratios.empty()) {
    std::vector<double> r = ratios;
    std::sort(r.begin(), r.end());
    double median = r.size() % 2 ? r[r.size() / 2]
                                 : (r[r.size() / 2 - 1] + r[r.size() / 2]) / 2;
    std::printf("ratio over %zu instances (%d of them Wren time-outs counted at the limit): "
                "median %.2f, worst %.2f (%s)\n",
                r.size(), timeouts, median, worst_ratio, worst.c_str());
  }
  if (!nontrivial.empty()) {
    std::sort(nontrivial.begin(), nontrivial.end());
    size_t n = nontrivial.size();
    double median = n % 2 ? nontrivial[n / 2] : (nontrivial[n / 2 - 1] + nontrivial[n / 2]) / 2;
    std::printf("median over the %zu instances where the reference needs at least 0.1 s: %.2f\n",
                n, median);
  }
  return wrong ? 1 : 0;
}
