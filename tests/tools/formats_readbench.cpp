// Reading benchmark driver: formats_readbench [--lex-only] FILE
// Reads FILE through read_input_file (or, with --lex-only, only runs the
// lexer over it: every whitespace-separated number, comment lines skipped)
// and prints one line: seconds, clauses, variables, literals, peak memory.
#include <chrono>
#include <cstdio>
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
} // namespace

int main(int argc, char **argv) {
  bool lex = argc == 3 && std::strcmp(argv[1], "--lex-only") == 0;
  if (argc != 2 && !lex) {
    std::fprintf(stderr, "usage: formats_readbench [--lex-only] FILE\n");
    return 2;
  }
  const char *name = argv[argc - 1];
  auto t0 = std::chrono::steady_clock::now();
  long long clauses = 0, vars = 0, lits = 0;
  if (lex) {
    long long sum = lex_only(name, lits);
    vars = sum & 1; // keep the sum alive
  } else {
    IDManager imgr;
    BasicClauseSet set;
    read_input_file(name, imgr, set);
    clauses = static_cast<long long>(set.size());
    vars = imgr.top_id;
    for (BasicClause *c : set)
      lits += static_cast<long long>(c->size());
  }
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                              t0)
                    .count();
  std::printf("seconds %.3f clauses %lld vars %lld literals %lld peak_kb %ld\n",
              secs, clauses, vars, lits, peak_kb());
  return 0;
}
