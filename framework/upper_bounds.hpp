// Initial upper bounds on the optimum cost, each with a model reaching it:
// the relaxed run of the second solver, optionally improved by the external
// local-search program "./ubcsat", and a bound read from a file.
#pragma once

#include <string>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class UbCommons {
public:
  // Writes the model (entry v-1 for variable v) as the local search's
  // initial assignment: v or -v, each followed by a blank, 26 a line.
  void write_solution(std::vector<bool> &model, std::string file);
  // A temporary file name: prefix, a random number, "_", the process id,
  // ".txt" (the file is not created).
  std::string get_random_file(std::string prefix);
};

class UpperBounds {
public:
  // The relaxed bound (-1: hard clauses unsatisfiable); model is replaced
  // by the bound's model. With use_local_search and "./ubcsat" present, the
  // local search started from that model may lower the bound.
  long long get_upper_bound(std::string cnf_file, IDManager &imgr,
                            BasicClauseSet &clset, std::vector<bool> &model,
                            bool use_local_search);
  long long get_upper_bound(std::string cnf_file, IDManager &imgr,
                            BasicClauseSet &clset, bool use_local_search);
  // The same; model becomes the signed model (see signed_model).
  long long get_upper_bound(std::string cnf_file, IDManager &imgr,
                            BasicClauseSet &clset,
                            std::vector<long long> &model,
                            bool use_local_search);
  long long get_upper_bound(IDManager &imgr, BasicClauseSet &clset,
                            std::vector<bool> &model);
  long long get_upper_bound(IDManager &imgr, BasicClauseSet &clset,
                            std::vector<bool> &model, std::string &sol_file);

  // Reads "ub N" and "v ..." lines: the bound (0 without a bound line, -1
  // when the file cannot be opened) and its model (entry v for variable v).
  long long get_ub_from_file(std::string file, IDManager &imgr,
                             BasicClauseSet &clset,
                             std::vector<long long> &model);
};

// Exact cost of a Boolean model (entry v-1 for variable v) on a clause
// set: the weight of the falsified clauses, hard ones included (saturating).
long long boolean_model_cost(BasicClauseSet &clset,
                             const std::vector<bool> &model, bool with_hard);
