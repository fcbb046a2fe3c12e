#include "framework/heuristic_algorithm.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "framework/child_process.hpp"
#include "framework/upper_bounds.hpp"

std::vector<std::string>
HeuristicAlgorithm::ubcsat_args(const std::string &cnf_file,
                                const std::string &init_file,
                                heuristic_alg alg) {
  std::vector<std::string> a = {"-rclean", "-r",   "bestsol", "-seed",
                                "17",      "-w",   "-alg"};
  a.push_back(alg == walksat              ? "walksat"
              : alg == adaptnovelty_plus ? "adaptnovelty+"
                                          : "irots");
  if (!init_file.empty()) {
    a.push_back("-varinitfile");
    a.push_back(init_file);
  }
  a.push_back("-i");
  a.push_back(cnf_file);
  return a;
}

bool HeuristicAlgorithm::launch_ubcsat(std::string &cnf_file,
                                       std::string &init_file,
                                       heuristic_alg alg) {
  std::vector<std::string> argv = {"./ubcsat"};
  for (std::string &s : ubcsat_args(cnf_file, init_file, alg))
    argv.push_back(s);
  return run_child_process(argv, sol_file_, nullptr);
}

long long HeuristicAlgorithm::get_result(std::vector<bool> &model) {
  std::ifstream in(sol_file_);
  if (!in) {
    std::cout << "Error: Can't open the ubcsat solution file.\n";
    std::cout.flush();
    std::exit(1);
  }
  std::string line;
  if (!std::getline(in, line) || !std::getline(in, line))
    return -1;
  // Fields are separated by single blanks; two blanks make an empty field.
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t sp = line.find(' ', start);
    fields.push_back(line.substr(start, sp - start));
    if (sp == std::string::npos)
      break;
    start = sp + 1;
  }
  if (fields.size() < 4 || fields[2].empty())
    return -1;
  errno = 0;
  char *end = nullptr;
  long long cost = std::strtoll(fields[2].c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE || cost < 0)
    return -1;
  for (char ch : fields[3])
    model.push_back(ch != '0');
  return cost;
}

long long HeuristicAlgorithm::solve(BasicClauseSet &clset,
                                    std::string &cnf_file,
                                    std::string &init_file, heuristic_alg alg,
                                    std::vector<bool> &model, bool &ok) {
  ok = false;
  sol_file_ = UbCommons().get_random_file("ubcsat_sol_");
  long long claim = -1;
  if (launch_ubcsat(cnf_file, init_file, alg))
    claim = get_result(model);
  if (claim >= 0) {
    // A hard clause left false makes the assignment worthless.
    long long exact = boolean_model_cost(clset, model, true);
    ok = exact == claim && boolean_model_cost(clset, model, false) == exact;
  }
  if (std::remove(sol_file_.c_str()) != 0)
    std::cout << "c Error deleting file!" << std::endl;
  return claim;
}
