// sat_bench: a DIMACS driver over the Tern engine interface, for benchmarks
// and differential tests (not a product feature).
//
//   sat_bench [-t] [-s] [-w trace] <file.cnf[.gz]>
//
// Prints "s SATISFIABLE" / "s UNSATISFIABLE", the CPU seconds of the solve,
// the propagations and propagations per second, and the peak engine memory;
// checks every model against the clauses (exit 1 on a wrong model). With -t
// tracing is on (as in the one-shot wrappers) and the core size is printed.
// Exit status 10 or 20 as the answer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sat/tern.hpp"
#include "tests/tools/lib/engine_cnf.hpp"

static unsigned long long propagations_from_stats() {
  char *buf = nullptr;
  size_t len = 0;
  FILE *mem = open_memstream(&buf, &len);
  tern_set_output(mem);
  tern_stats();
  fclose(mem);
  tern_set_output(stdout);
  unsigned long long props = 0;
  const char *p = strstr(buf, " propagations");
  if (p) {
    const char *q = p;
    while (q > buf && q[-1] >= '0' && q[-1] <= '9') q--;
    props = strtoull(q, nullptr, 10);
  }
  free(buf);
  return props;
}

int main(int argc, char **argv) {
  bool trace = false, stats = false;
  const char *path = nullptr, *trace_path = nullptr;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-t")) trace = true;
    else if (!strcmp(argv[i], "-w") && i + 1 < argc) trace = true, trace_path = argv[++i];
    else if (!strcmp(argv[i], "-s")) stats = true;
    else path = argv[i];
  }
  if (!path) {
    fprintf(stderr, "usage: sat_bench [-t] [-s] <file.cnf[.gz]>\n");
    return 2;
  }
  engine_test::Cnf cnf;
  if (!engine_test::read_dimacs(path, cnf)) {
    fprintf(stderr, "sat_bench: can not read %s\n", path);
    return 2;
  }
  double start = tern_time_stamp();
  tern_init();
  if (trace) tern_enable_trace_generation();
  for (const auto &cl : cnf.clauses) {
    for (int l : cl) tern_add(l);
    tern_add(0);
  }
  int res = tern_sat(-1);
  double seconds = tern_time_stamp() - start;
  unsigned long long props = propagations_from_stats();
  int status = res;
  if (res == 10) {
    std::vector<int> model(cnf.vars + 1, 0);
    for (int v = 1; v <= cnf.vars; v++) model[v] = tern_deref(v);
    bool ok = engine_test::satisfies(cnf, model);
    printf("s SATISFIABLE%s\n", ok ? "" : " (WRONG MODEL)");
    if (!ok) status = 1;
  } else if (res == 20) {
    printf("s UNSATISFIABLE\n");
    if (trace) {
      int core = 0;
      for (size_t i = 0; i < cnf.clauses.size(); i++) core += tern_coreclause((int)i);
      printf("c core clauses %d of %zu\n", core, cnf.clauses.size());
      if (trace_path) {
        FILE *tf = fopen(trace_path, "w");
        if (tf) {
          tern_write_extended_trace(tf);
          fclose(tf);
        }
      }
    }
  } else {
    printf("s UNKNOWN\n");
  }
  printf("c seconds %.3f\n", seconds);
  printf("c propagations %llu\n", props);
  printf("c props/second %.0f\n", seconds > 0 ? props / seconds : 0.0);
  printf("c max bytes %zu\n", tern_max_bytes_allocated());
  if (stats) tern_stats();
  tern_reset();
  return status;
}
