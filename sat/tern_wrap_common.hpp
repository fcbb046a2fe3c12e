// Steps that the three SAT wrappers share: sending clauses and assumptions
// to the Tern engine, the answer protocol (10 satisfiable, 20 unsatisfiable,
// anything else ends the run), reading the model and the core back, and
// writing proof traces.
//
// The engine indexes variables 1 .. 2^31 - 1 only. Every literal passes
// `check_engine_lit` before it reaches the engine, so a larger variable ends
// the run with a clear message instead of being narrowed or aborting deep
// inside the engine.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "model/basic_clause.hpp"

namespace tern_wrap {

constexpr long long kMaxEngineVar = 2147483647LL;

// SAT answer codes shared by every SAT back end.
enum Answer : int { Sat = 10, Unsat = 20 };

// Ends the run (status 3) when lit is 0 or its variable is beyond the
// engine's range.
void check_engine_lit(long long lit);

// Sends c's literals and the closing 0 to the engine; raises max_var to the
// largest variable sent. Literals whose variable exceeds less_threshold are
// marked less important for the engine's decisions. Returns the engine's
// index of the clause.
int send_clause(const BasicClause &c, unsigned long long &max_var,
                long long less_threshold = LLONG_MAX);

// Records c as engine clause i in the index, growing it when needed.
void record_clause(std::vector<BasicClause *> &index, int i, BasicClause *c);

// Ends the run with "Invalid SAT solver outcome. Contact author." and exit
// status 3 unless the answer is 10 or 20.
void check_answer(int answer);

// requires: engine answered 10. Grows the model to max_var + 1 entries
// (new entries 0, never shrinks) and stores the engine's value of every
// variable 1 .. max_var (1 true, -1 false, 0 unassigned).
void read_model(std::vector<long long> &model, unsigned long long max_var);

// requires: engine answered 20 with tracing on. Calls add(c) for every
// indexed clause in the core, in engine order.
template <class Add>
void for_each_core_clause(const std::vector<BasicClause *> &index, Add add);
bool in_core(int i);
int engine_clause_count();

// requires: engine answered 20 with tracing on. Writes the extended trace to
// the named file (truncating it); an unwritable file is reported with a
// warning and the run goes on without the trace. Returns success.
bool write_extended_trace(const std::string &name);

// Engine queries shared by the wrappers (engine in SAT state).
void get_var_levels(std::vector<long long> &levels, unsigned long long max_var);
bool is_dvar(long long v);
// Writes the engine's clauses as DIMACS; reports an unwritable file.
void print_cnf(const char *file);

template <class Add>
void for_each_core_clause(const std::vector<BasicClause *> &index, Add add) {
  int n = engine_clause_count();
  for (std::size_t i = 0; i < index.size() && static_cast<int>(i) < n; ++i)
    if (index[i] && in_core(static_cast<int>(i)))
      add(index[i]);
}

} // namespace tern_wrap
