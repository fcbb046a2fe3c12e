// One run of the external local-search SAT program "./ubcsat" on the input
// file, started from an initial assignment; its best assignment and claimed
// cost are read back from its report and the claim is checked.
#pragma once

#include <string>
#include <vector>

#include "model/basic_clset.hpp"

enum heuristic_alg { walksat = 0, adaptnovelty_plus = 1, irots = 2 };

class HeuristicAlgorithm {
public:
  // The claimed cost (-1 when the program failed or its report is
  // unreadable); appends the reported assignment to model (entry v-1 for
  // variable v); ok tells whether the claim equals the assignment's exact
  // cost on clset with every hard clause satisfied.
  long long solve(BasicClauseSet &clset, std::string &cnf_file,
                  std::string &init_file, heuristic_alg alg,
                  std::vector<bool> &model, bool &ok);
  // Runs the program without a shell (arguments as given, standard output
  // into the solution file); returns whether it ran and exited with 0.
  bool launch_ubcsat(std::string &cnf_file, std::string &init_file,
                     heuristic_alg alg);
  // Reads the report: field 3 of line 2 is the cost, field 4 the
  // assignment; -1 when the report has no such line.
  long long get_result(std::vector<bool> &model);

  // The program's argument vector (after "./ubcsat").
  static std::vector<std::string> ubcsat_args(const std::string &cnf_file,
                                              const std::string &init_file,
                                              heuristic_alg alg);

private:
  std::string sol_file_;
};
