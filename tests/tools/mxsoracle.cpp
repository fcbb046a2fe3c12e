// mxsoracle: the optimum of an instance as the brute force (small instances),
// clasp and z3 state it; they must agree.
//
//   mxsoracle FILE [--no-brute] [--no-clasp] [--no-z3] [--timeout SEC]
//
// Prints "UNSAT" or the optimum, then each oracle's answer. Exit status 0
// when all that answered agree, 1 when they disagree, 2 when none answered
// or the file cannot be read.
#include <cstdlib>
#include <iostream>

#include "tests/tools/lib/maxsat_check.hpp"

using namespace mxs;

int main(int argc, char** argv) {
  std::string file;
  OracleOptions opt;
  const char* tmp = getenv("TMPDIR");
  opt.scratch_dir = tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--no-brute") opt.brute = false;
    else if (a == "--no-clasp") opt.clasp = false;
    else if (a == "--no-z3") opt.z3 = false;
    else if (a == "--timeout" && i + 1 < argc) opt.timeout_s = atof(argv[++i]);
    else if (file.empty()) file = a;
    else {
      std::cerr << "usage: mxsoracle FILE [--no-brute] [--no-clasp] [--no-z3] [--timeout SEC]\n";
      return 2;
    }
  }
  Instance inst;
  std::string err;
  if (file.empty() || !read_instance(file, inst, err)) {
    std::cerr << "mxsoracle: " << (file.empty() ? "no file" : err) << "\n";
    return 2;
  }
  OracleAnswer a = oracle_optimum(inst, opt);
  if (a.answers == 0) {
    std::cout << "no oracle answered: " << a.detail << "\n";
    return 2;
  }
  if (!a.ok) {
    std::cout << "DISAGREE " << a.detail << "\n";
    return 1;
  }
  std::cout << to_string(a.opt) << "\t" << a.detail << "\n";
  return 0;
}
