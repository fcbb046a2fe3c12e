// mxscheck: judges a MaxSAT solver's output on one instance.
//
//   mxscheck FILE OUTPUT [--optimum N|UNSAT] [--no-model] [--timeout SEC]
//
// OUTPUT is the solver's standard output ("-" for standard input). The
// "v " model must satisfy every hard clause and falsify exactly the weight of
// the last "o " line, which must equal the optimum; "s UNSATISFIABLE" only
// when the optimum says so. Without --optimum the optimum comes from the
// oracles (brute force, clasp, z3), which must agree. The model is not
// replayed for OPB and WBO files (their readers number variables their own
// way) or with --no-model.
// Exit status: 0 correct, 1 wrong, 2 usage, unreadable file or no oracle.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tests/tools/lib/maxsat_check.hpp"

using namespace mxs;

int main(int argc, char** argv) {
  std::string file, output, optimum;
  bool check_model = true;
  OracleOptions oopt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--optimum" && i + 1 < argc) optimum = argv[++i];
    else if (a == "--no-model") check_model = false;
    else if (a == "--timeout" && i + 1 < argc) oopt.timeout_s = atof(argv[++i]);
    else if (file.empty()) file = a;
    else if (output.empty()) output = a;
    else file.clear(), i = argc;
  }
  if (file.empty() || output.empty()) {
    std::cerr << "usage: mxscheck FILE OUTPUT [--optimum N|UNSAT] [--no-model]\n";
    return 2;
  }
  Instance inst;
  std::string err;
  if (!read_instance(file, inst, err)) {
    std::cerr << "mxscheck: " << err << "\n";
    return 2;
  }
  std::stringstream text;
  if (output == "-") {
    text << std::cin.rdbuf();
  } else {
    std::ifstream in(output);
    if (!in) {
      std::cerr << "mxscheck: cannot read " << output << "\n";
      return 2;
    }
    text << in.rdbuf();
  }
  Optimum expected;
  if (optimum == "UNSAT") {
    expected.feasible = false;
  } else if (!optimum.empty()) {
    expected.feasible = true;
    expected.cost = strtoll(optimum.c_str(), nullptr, 10);
  } else {
    OracleAnswer o = oracle_optimum(inst, oopt);
    if (!o.ok) {
      std::cerr << "mxscheck: no agreed optimum: " << o.detail << "\n";
      return 2;
    }
    expected = o.opt;
  }
  SolverAnswer ans = parse_answer(text.str());
  Verdict v = judge(inst, ans, expected, check_model && inst.kind == Kind::Clauses);
  std::cout << (v.ok ? "OK " : "WRONG ") << v.message << "\n";
  return v.ok ? 0 : 1;
}
