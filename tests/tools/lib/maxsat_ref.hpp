// Running external programs from the tests, and the reference MaxSAT solvers
// clasp (core-guided: --opt-strategy=usc) and z3 on test instances. Each
// instance is first rewritten into a form the reference reads correctly:
// - clause instances: for clasp a wcnf file with top weight = soft total + 1
//   (clasp rejects soft weights above 2^31 - 1, so it cannot judge those:
//   clasp_can_judge); for z3 an SMT-LIB file with assert-soft. z3 4.8.12's
//   own wcnf reader ("z3 -wcnf") is not used: it answers "unsat" when the top
//   weight reaches 2^32. z3 always runs with opt.enable_sat off (its MaxSAT
//   cores then come from the SMT core): its default SAT-based maxres reports
//   too high optima on some small files, with opt.maxres.hill_climb on or
//   off, through wcnf and SMT-LIB alike (tests/e2e/oracle/z3-*-wrong*);
// - OPB: an OPB file whose equalities are split into two inequalities
//   (clasp 3.3.5 is wrong on equalities);
// - WBO: an OPB file in which every soft constraint is relaxed by a fresh
//   variable whose objective coefficient is the constraint's weight.
#pragma once

#include <string>
#include <vector>

#include "tests/tools/lib/maxsat_instance.hpp"

namespace mxs {

struct ProcResult {
  bool started = false;
  bool timed_out = false;
  int exit_code = -1;  // -1 when killed by a signal
  int signal = 0;
  double seconds = 0;  // wall-clock
  std::string out, err;
};

// Runs argv[0] (searched on PATH) with the given arguments; standard input
// from stdin_path (or /dev/null), standard output and error captured through
// files named scratch + ".out" / ".err", removed afterwards. The process is
// killed after timeout_s seconds of wall-clock time. Safe to call from
// several threads at once (distinct scratch names).
ProcResult run_process(const std::vector<std::string>& argv,
                       const std::string& stdin_path, double timeout_s,
                       const std::string& scratch);

struct RefAnswer {
  bool ok = false;  // an answer was obtained
  Optimum opt;
  bool timed_out = false;
  std::string error;  // why not, when !ok
};

bool clasp_can_judge(const Instance& inst);
RefAnswer run_clasp(const Instance& inst, const std::string& scratch, double timeout_s);
RefAnswer run_z3(const Instance& inst, const std::string& scratch, double timeout_s);

// The rewritten forms (exposed for the tools and for debugging).
std::string reference_wcnf(const Instance& inst);
std::string reference_smt2(const Instance& inst);
std::string reference_opb(const Instance& inst);  // OPB and WBO instances

// A scratch path prefix unique in this process: dir/tag-<pid>-<counter>.
std::string scratch_name(const std::string& dir, const std::string& tag);

}  // namespace mxs
