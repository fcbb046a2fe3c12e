// tracecheck_tern: checks an extended proof trace of the Tern engine against
// its input CNF: tracecheck_tern <input.cnf[.gz]> <trace> [-e]
// (-e: the empty clause must be derived). Exit 0 when the trace is valid.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/tools/lib/engine_cnf.hpp"
#include "tests/tools/lib/trace_check.hpp"

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: tracecheck_tern <input.cnf> <trace> [-e]\n");
    return 2;
  }
  engine_test::Cnf cnf;
  if (!engine_test::read_dimacs(argv[1], cnf)) {
    fprintf(stderr, "tracecheck_tern: can not read %s\n", argv[1]);
    return 2;
  }
  std::ifstream f(argv[2]);
  if (!f) {
    fprintf(stderr, "tracecheck_tern: can not read %s\n", argv[2]);
    return 2;
  }
  std::stringstream ss;
  ss << f.rdbuf();
  bool need_empty = argc > 3 && !strcmp(argv[3], "-e");
  auto res = engine_test::check_extended_trace(cnf.clauses, ss.str(), need_empty);
  if (!res.ok) {
    printf("trace invalid: %s\n", res.error.c_str());
    return 1;
  }
  printf("trace valid: %zu original, %zu learned lines%s\n", res.original_indices.size(),
         res.learned_lines, res.has_empty_clause ? ", empty clause" : "");
  return 0;
}
