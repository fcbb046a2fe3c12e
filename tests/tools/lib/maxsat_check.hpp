// Judging a MaxSAT solver's answer: the "s ", "o " and "v " lines of its
// standard output are read, the model is replayed against the instance, the
// cost is compared with an oracle's optimum, and every upper bound printed
// on the way must be at least that optimum (on OPB input, also the
// objective's value of some feasible assignment). The oracle itself is the
// brute force, clasp and z3, which must agree with each other.
#pragma once

#include <string>
#include <vector>

#include "tests/tools/lib/maxsat_instance.hpp"

namespace mxs {

struct SolverAnswer {
  std::string status;     // text after the last "s "; empty when none
  bool has_cost = false;  // the last "o " line holding a plain integer
  long long cost = 0;
  bool has_model = false;  // "v " lines seen
  std::vector<signed char> model;  // entry v: 1, -1, or 0 (printed "v=0")
  std::string model_error;         // a malformed "v " item
  bool unavailable = false;        // the output says "Unavailable"
  // The upper bounds printed on the way, in output order, each with its
  // line: the values of "o " and "c o " lines (costs of models found) and
  // both values of "c Costs - Assig: X - Global UB: Y" lines.
  std::vector<std::pair<long long, std::string>> bounds;
  bool cost_rose = false;  // an "o " line above an earlier one
};

SolverAnswer parse_answer(const std::string& output);

// Replays the "v " model of a against inst: empty and its cost, or what is
// wrong. The model line numbers variables as the solver does: a clause
// instance's own numbers; on WBO the names in order of first appearance,
// followed by the variables of the constraints' encodings, which are not
// judged (the cost is that of the soft constraints as read). This holds
// when the first constraint names every variable, which is required.
std::string model_fault(const Instance& inst, const SolverAnswer& a, long long& cost);

struct Verdict {
  bool ok = false;
  std::string message;  // what is wrong, or a summary when ok
};

// What is wrong with the upper bounds of a, empty when nothing: every bound
// is at least the expected optimum, and an unsatisfiable problem has none.
std::string bound_fault(const SolverAnswer& a, const Optimum& expected);

// The same, and on an OPB instance small enough to cost every assignment
// each bound is also the objective's value of some feasible assignment: a
// bound on another scale (the cost of the soft units that stand for the
// objective's terms) is not one.
std::string bound_fault(const Instance& inst, const SolverAnswer& a,
                        const Optimum& expected);

// expected: the oracle's optimum. check_model: replay the "v " line (only
// meaningful for clause instances, whose variables keep their numbers).
Verdict judge(const Instance& inst, const SolverAnswer& a, const Optimum& expected,
              bool check_model);

struct OracleOptions {
  bool brute = true;  // used when the instance is small enough
  bool clasp = true;  // used when it can judge the instance
  bool z3 = true;
  std::string scratch_dir = "/tmp";
  double timeout_s = 60;
};

struct OracleAnswer {
  bool ok = false;  // at least one oracle answered and all that answered agree
  Optimum opt;
  int answers = 0;     // how many oracles answered
  int timeouts = 0;    // how many ran out of time
  std::string detail;  // each oracle's answer, e.g. "brute=5 clasp=5 z3=5"
};

OracleAnswer oracle_optimum(const Instance& inst, const OracleOptions& opt);

}  // namespace mxs
