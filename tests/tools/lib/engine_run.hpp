// Header-only test helper: runs the Tern engine on a CNF through its public
// interface and checks the answer against the reference solver: models must
// satisfy the clauses and the assumptions; after UNSAT the core clauses
// together with the failed assumptions must be unsatisfiable and the proof
// trace must check. Included only by test programs that link the SAT layer.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sat/tern.hpp"
#include "tests/tools/lib/engine_cnf.hpp"
#include "tests/tools/lib/trace_check.hpp"

namespace engine_test {

struct EngineResult {
  int answer = 0;
  std::vector<int> model;   // per variable: 1, -1, 0
  std::vector<int> core;    // 0-based indices of core clauses
  std::vector<int> failed;  // failed assumptions
  std::string trace;        // extended trace after UNSAT with tracing
};

inline std::string read_stream(FILE *f) {
  std::string s;
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

// Reads the answer of the living engine (after tern_sat).
inline EngineResult collect_result(int answer, const Cnf &cnf, size_t nclauses,
                                   const std::vector<int> &assumptions, bool trace) {
  EngineResult r;
  r.answer = answer;
  if (answer == 10) {
    r.model.assign((size_t)cnf.vars + 1, 0);
    for (int v = 1; v <= cnf.vars; v++) r.model[(size_t)v] = tern_deref(v);
  } else if (answer == 20) {
    for (int a : assumptions)
      if (tern_failed_assumption(a)) r.failed.push_back(a);
    if (trace) {
      for (size_t i = 0; i < nclauses; i++)
        if (tern_coreclause((int)i)) r.core.push_back((int)i);
      FILE *f = tmpfile();
      tern_write_extended_trace(f);
      r.trace = read_stream(f);
      fclose(f);
    }
  }
  return r;
}

// One fresh engine: add the clauses, assume, solve, read back, reset.
inline EngineResult run_engine(const Cnf &cnf, const std::vector<int> &assumptions, bool trace,
                               int phase = -1) {
  tern_init();
  if (trace) tern_enable_trace_generation();
  for (const auto &cl : cnf.clauses) {
    for (int l : cl) tern_add(l);
    tern_add(0);
  }
  if (phase >= 0) tern_set_global_default_phase(phase);
  for (int a : assumptions) tern_assume(a);
  int answer = tern_sat(-1);
  EngineResult r = collect_result(answer, cnf, cnf.clauses.size(), assumptions, trace);
  tern_reset();
  return r;
}

// Checks a result against the reference answer `expected` (10/20). Returns
// an empty string when everything holds, else the first failure.
inline std::string verify_result(const Cnf &cnf, const std::vector<int> &assumptions,
                                 const EngineResult &r, int expected, bool trace) {
  if (r.answer != expected)
    return "answer " + std::to_string(r.answer) + ", reference " + std::to_string(expected);
  if (r.answer == 10) {
    if (!satisfies(cnf, r.model)) return "model falsifies a clause";
    for (int a : assumptions) {
      int x = r.model[(size_t)std::abs(a)];
      if ((a > 0 && x <= 0) || (a < 0 && x >= 0)) return "model falsifies an assumption";
    }
    return "";
  }
  for (int a : r.failed) {
    bool found = false;
    for (int b : assumptions) found |= a == b;
    if (!found) return "failed assumption that was not assumed";
  }
  if (!trace) {
    if (!assumptions.empty() && reference_solve(cnf, r.failed) != 20)
      return "failed assumptions satisfiable with the clauses";
    return "";
  }
  Cnf core;
  core.vars = cnf.vars;
  for (int i : r.core) core.clauses.push_back(cnf.clauses[(size_t)i]);
  if (reference_solve(core, r.failed) != 20)
    return "core clauses with the failed assumptions are satisfiable";
  TraceCheck tc = check_extended_trace(cnf.clauses, r.trace, assumptions.empty());
  if (!tc.ok) return "trace: " + tc.error;
  if (tc.original_indices.size() != r.core.size()) return "trace originals differ from the core";
  return "";
}

}  // namespace engine_test
