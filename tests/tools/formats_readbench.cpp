// Reading benchmark driver.
//   formats_readbench [--lex-only] FILE
// Reads FILE through read_input_file (or, with --lex-only, only runs the
// lexer over it: every whitespace-separated number, comment lines skipped)
// and prints one line: seconds, clauses, variables, literals, peak memory
// and the CPU seconds of the reading.
//   formats_readbench --generate CLAUSES VARS FILE
// Writes a random weighted partial MaxSAT file in "p wcnf" form (one clause
// in ten hard, two to five literals, weights 1 to 1000), fixed seed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

#include "formats/fmt_utils.hpp"
#include "formats/read_input.hpp"

namespace {
long peak_kb() {
  rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss;
}

// User and system CPU time of the process so far, in seconds: steadier
// than the wall clock on a busy machine.
double cpu_seconds() {
  rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
         static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Sums every number of the file, skipping lines that start with a letter.
long long lex_only(const char *name, long long &numbers) {
  gzFile f = open_input(name);
  if (!f) {
    std::fprintf(stderr, "cannot open %s\n", name);
    std::exit(2);
  }
  long long sum = 0;
  {
    StreamBuffer in(f);
    for (;;) {
      FMTUtils::skipWhitespace(in);
      int c = *in;
      if (c == EOF)
        break;
      if (FMTUtils::is_alpha(c)) {
        FMTUtils::skipLine(in);
        continue;
      }
      sum += FMTUtils::parseLongInt(in);
      ++numbers;
    }
  }
  gzclose(f);
  return sum;
}
int generate(long long clauses, long long vars, const char *name) {
  std::FILE *f = std::fopen(name, "w");
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", name);
    return 2;
  }
  const long long top = 1000000;
  std::fprintf(f, "c random weighted partial MaxSAT for reading benchmarks\n");
  std::fprintf(f, "p wcnf %lld %lld %lld\n", vars, clauses, top);
  unsigned long long x = 88172645463325252ULL; // xorshift64
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return x;
  };
  for (long long i = 0; i < clauses; ++i) {
    long long w = next() % 10 == 0 ? top : 1 + static_cast<long long>(next() % 1000);
    std::fprintf(f, "%lld", w);
    int len = 2 + static_cast<int>(next() % 4);
    for (int j = 0; j < len; ++j) {
      long long v = 1 + static_cast<long long>(next() % static_cast<unsigned long long>(vars));
      std::fprintf(f, " %lld", next() & 1 ? v : -v);
    }
    std::fputs(" 0\n", f);
  }
  return std::fclose(f) == 0 ? 0 : 2;
}
} // namespace

int main(int argc, char **argv) {
  if (argc == 5 && std::strcmp(argv[1], "--generate") == 0)
    return generate(std::atoll(argv[2]), std::atoll(argv[3]), argv[4]);
  bool lex = argc == 3 && std::strcmp(argv[1], "--lex-only") == 0;
  if (argc != 2 && !lex) {
    std::fprintf(stderr, "usage: formats_readbench [--lex-only] FILE\n");
    return 2;
  }
  const char *name = argv[argc - 1];
  auto t0 = std::chrono::steady_clock::now();
  double cpu0 = cpu_seconds();
  long long clauses = 0, vars = 0, lits = 0;
  double secs = 0, cpu = 0;
  auto stop = [&] {
    secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0)
               .count();
    cpu = cpu_seconds() - cpu0;
  };
  if (lex) {
    long long sum = lex_only(name, lits);
    stop();
    vars = sum & 1; // keep the sum alive
  } else {
    // Torn down after the clock stops: releasing the model is not reading.
    IDManager &imgr = *new IDManager();
    BasicClauseSet &set = *new BasicClauseSet();
    read_input_file(name, imgr, set);
    stop();
    clauses = static_cast<long long>(set.size());
    vars = imgr.top_id;
    for (BasicClause *c : set)
      lits += static_cast<long long>(c->size());
    set.clear_direct();
    delete &set;
    delete &imgr;
  }
  std::printf("seconds %.3f clauses %lld vars %lld literals %lld peak_kb %ld "
              "cpu_seconds %.3f\n",
              secs, clauses, vars, lits, peak_kb(), cpu);
  return 0;
}
