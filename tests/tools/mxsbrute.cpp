// mxsbrute: the exact optimum of a small instance by exhaustive search,
// printed as a solver would ("o ", "s OPTIMUM FOUND", "v " / "s
// UNSATISFIABLE"), so that mxscheck can judge the brute force itself.
//
//   mxsbrute [OPTIONS...] FILE   (cnf, pmcnf, wcnf, gwcnf, scnf, opb, wbo;
//                                 plain or gz)
// Options before the file are ignored, so that the harness can run the brute
// force in place of the solver with the solver's argument variants.
//
// Exit status 0, or 2 when the file cannot be read or is too large.
#include <iostream>

#include "tests/tools/lib/maxsat_brute.hpp"

using namespace mxs;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: mxsbrute [OPTIONS...] FILE\n";
    return 2;
  }
  Instance inst;
  std::string err;
  if (!read_instance(argv[argc - 1], inst, err)) {
    std::cerr << "mxsbrute: " << err << "\n";
    return 2;
  }
  Optimum opt;
  std::vector<signed char> model;
  if (!brute_force(inst, opt, &model)) {
    std::cerr << "mxsbrute: " << inst.nvars << " variables, more than " << kBruteMaxVars << "\n";
    return 2;
  }
  if (!opt.feasible) {
    std::cout << "s UNSATISFIABLE\n";
    return 0;
  }
  std::cout << "o " << opt.cost << "\ns OPTIMUM FOUND\nv ";
  for (long long v = 1; v <= inst.nvars; ++v) std::cout << (model[v] > 0 ? v : -v) << ' ';
  std::cout << "\n";
  return 0;
}
