#include "framework/upper_bounds.hpp"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <unistd.h>

#include "framework/heuristic_algorithm.hpp"
#include "framework/relax_vars_heuristic.hpp"
#include "model/clause_snapshot.hpp"

long long boolean_model_cost(BasicClauseSet &clset,
                             const std::vector<bool> &model, bool with_hard) {
  long long cost = 0;
  for (BasicClause *c : clset) {
    bool hard = c->weight >= clset.top_weight;
    if (hard && !with_hard)
      continue;
    bool sat = false;
    for (long long l : c->lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (v >= 1 && v <= model.size() && model[v - 1] == (l > 0)) {
        sat = true;
        break;
      }
    }
    if (!sat && __builtin_add_overflow(cost, c->weight, &cost))
      cost = LLONG_MAX;
  }
  return cost;
}

void UbCommons::write_solution(std::vector<bool> &model, std::string file) {
  std::ofstream out(file, std::ios::out | std::ios::trunc);
  if (!out) {
    std::cout << "Error: Can't open the solution file\n";
    std::cout.flush();
    std::exit(1);
  }
  for (std::size_t i = 0; i < model.size(); ++i) {
    long long v = static_cast<long long>(i) + 1;
    out << (model[i] ? v : -v) << " ";
    if ((i + 1) % 26 == 0)
      out << "\n" << std::flush;
  }
}

std::string UbCommons::get_random_file(std::string prefix) {
  srandom(static_cast<unsigned>(time(nullptr)));
  long r = random() % 1000000;
  return prefix + std::to_string(r) + "_" + std::to_string(getpid()) +
         ".txt";
}

long long UpperBounds::get_upper_bound(std::string cnf_file, IDManager &imgr,
                                       BasicClauseSet &clset,
                                       std::vector<bool> &model,
                                       bool use_local_search) {
  std::vector<bool> m;
  long long ub = RelaxVarsUpperBound().compute_upper_bound(imgr, clset, m);
  model = m;
  // Without a model of the hard clauses there is nothing to improve.
  if (!use_local_search || ub < 0)
    return ub;
  {
    std::ifstream prog("ubcsat"), input(cnf_file);
    if (!prog || !input)
      return ub;
  }
  long long exact = boolean_model_cost(clset, m, false);
  if (exact < ub)
    ub = exact;
  UbCommons ubc;
  std::string f = ubc.get_random_file("relax_sol_");
  ubc.write_solution(m, f);
  m.clear();
  HeuristicAlgorithm h;
  bool ok = false;
  long long c = h.solve(clset, cnf_file, f, adaptnovelty_plus, m, ok);
  if (ok && c >= 0 && c < ub) {
    model = m;
    ub = c;
  } else if (c >= 0 && !ok) {
    std::cout << "c local search result ignored: its model does not reach "
                 "its cost"
              << std::endl;
  }
  if (std::remove(f.c_str()) != 0)
    std::cout << "c Error deleting file!" << std::endl;
  return ub;
}

long long UpperBounds::get_upper_bound(std::string cnf_file, IDManager &imgr,
                                       BasicClauseSet &clset,
                                       bool use_local_search) {
  std::vector<bool> model;
  return get_upper_bound(cnf_file, imgr, clset, model, use_local_search);
}

long long UpperBounds::get_upper_bound(std::string cnf_file, IDManager &imgr,
                                       BasicClauseSet &clset,
                                       std::vector<long long> &model,
                                       bool use_local_search) {
  std::vector<bool> m;
  long long ub = get_upper_bound(cnf_file, imgr, clset, m, use_local_search);
  model = signed_model(m);
  return ub;
}

long long UpperBounds::get_upper_bound(IDManager &imgr, BasicClauseSet &clset,
                                       std::vector<bool> &model) {
  return RelaxVarsUpperBound().compute_upper_bound(imgr, clset, model);
}

long long UpperBounds::get_upper_bound(IDManager &imgr, BasicClauseSet &clset,
                                       std::vector<bool> &model,
                                       std::string &sol_file) {
  long long ub = RelaxVarsUpperBound().compute_upper_bound(imgr, clset, model);
  UbCommons ubc;
  sol_file = ubc.get_random_file("relax_sol_");
  ubc.write_solution(model, sol_file);
  model.clear();
  return ub;
}

long long UpperBounds::get_ub_from_file(std::string file, IDManager &,
                                        BasicClauseSet &,
                                        std::vector<long long> &model) {
  std::ifstream in(file);
  if (!in) {
    std::cout << "Error::c Unable to open file";
    std::cout << "c done parsing ub file" << std::endl;
    return -1;
  }
  long long value = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty())
      continue;
    if (line.compare(0, 2, "ub") == 0) {
      std::size_t i = 3;
      while (i < line.size() && line[i] == ' ')
        ++i;
      for (; i < line.size() && line[i] != ' '; ++i) {
        int d = line[i] - '0';
        if (d < 0 || d > 9)
          break; // not a number: the rest of the token is ignored
        if (__builtin_mul_overflow(value, 10LL, &value) ||
            __builtin_add_overflow(value, static_cast<long long>(d), &value))
          value = LLONG_MAX;
      }
      std::cout << "c ub=" << value << std::endl;
    } else if (line[0] == 'v' && line.size() > 2) {
      std::size_t i = 2;
      while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
          ++i;
        bool neg = false;
        if (i < line.size() && line[i] == '-') {
          neg = true;
          ++i;
        }
        long long x = 0;
        bool overflow = false;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
          if (__builtin_mul_overflow(x, 10LL, &x) ||
              __builtin_add_overflow(x, static_cast<long long>(line[i] - '0'),
                                     &x))
            overflow = true;
          ++i;
        }
        if (i < line.size() && line[i] != ' ')
          break; // a stray character ends the line's literals
        // Variables beyond any sensible model size end the line rather
        // than allocate without bound.
        if (overflow || x > (1LL << 31))
          break;
        std::size_t v = static_cast<std::size_t>(x);
        if (v >= model.size())
          model.resize(v + 1, 1);
        model[v] = neg ? -1 : 1;
        if (x == 0)
          break;
      }
    }
  }
  std::cout << "c done parsing ub file" << std::endl;
  return value;
}
