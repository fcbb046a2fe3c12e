#include "sat/tern_incr_wrapper.hpp"

#include <iostream>

#include "model/runtime_msgs.hpp"
#include "sat/tern.hpp"
#include "sat/tern_wrap_common.hpp"

using namespace tern_wrap;

TernIncrementalWrapper::~TernIncrementalWrapper() {
  if (live_)
    reset();
}

void TernIncrementalWrapper::init(bool trace) {
  clset_to_send = nullptr;
  assumptions = nullptr;
  output = nullptr;
  max_var = 0;
  // Engine clause numbers restart with the engine.
  clindex.clear();
  tern_init();
  live_ = true;
  // A wrapper initialised again after reset must not ask a fresh engine
  // without tracing for core clauses.
  tracing = trace;
  if (trace)
    tern_enable_trace_generation();
  tern_set_seed(0);
  tern_set_global_default_phase(default_phase);
  int v = verbosity > INT_MAX ? INT_MAX : verbosity < 0 ? 0 : int(verbosity);
  tern_set_verbosity(v);
}

void TernIncrementalWrapper::reset() {
  tern_reset();
  live_ = false;
  clset_to_send = nullptr;
  assumptions = nullptr;
  output = nullptr;
}

int TernIncrementalWrapper::solve(std::vector<BasicClause *> &clauses,
                                  std::vector<long long> &assume,
                                  std::vector<long long> &out) {
  cls_to_send = &clauses;
  assumptions = &assume;
  output = &out;
  transmit_clauses_vect();
  transmit_assumptions();
  if (verbosity > 0)
    std::cout << "c "
              << "Running SAT solver ..."
              << "CPU Time: " << RUSAGE::read_cpu_time() << std::endl;
  tern_set_global_default_phase(1);
  tern_set_seed(0);
  int answer = tern_sat(-1);
  if (verbosity > 0)
    std::cout << "c "
              << "Done running SAT solver ..."
              << "CPU Time: " << RUSAGE::read_cpu_time() << std::endl;
  answer = finish_call(answer, true);
  cls_to_send = nullptr;
  return answer;
}

int TernIncrementalWrapper::solve(std::vector<BasicClause *> &clauses,
                                  std::vector<long long> &assume,
                                  std::vector<long long> &out,
                                  BasicClauseSet &core) {
  core_set = &core;
  int answer = solve(clauses, assume, out);
  core_set = nullptr;
  return answer;
}

int TernIncrementalWrapper::solve(BasicClauseSet &clauses,
                                  std::vector<long long> &assume,
                                  std::vector<long long> &out) {
  clset_to_send = &clauses;
  assumptions = &assume;
  output = &out;
  transmit_clauses_set();
  transmit_assumptions();
  tern_set_seed(0);
  int answer = finish_call(tern_sat(-1), false);
  clset_to_send = nullptr;
  return answer;
}

int TernIncrementalWrapper::solve(BasicClauseSet &clauses,
                                  std::vector<long long> &assume,
                                  std::vector<long long> &out,
                                  BasicClauseSet &core) {
  core_set = &core;
  int answer = solve(clauses, assume, out);
  core_set = nullptr;
  return answer;
}

// Reads the answer back, thins the learned clauses when asked, and resets
// the engine's scores and phases for the next call.
int TernIncrementalWrapper::finish_call(int answer, bool thin_learned) {
  check_answer(answer);
  if (answer == Unsat)
    handle_unsat_outcome();
  else
    handle_sat_outcome();
  if (thin_learned)
    tern_remove_learned(output->size() > 100 ? 80 : 20);
  tern_reset_scores();
  tern_reset_phases();
  assumptions = nullptr;
  output = nullptr;
  return answer;
}

void TernIncrementalWrapper::transmit_clauses_vect() {
  clindex.reserve(clindex.size() + cls_to_send->size());
  for (BasicClause *c : *cls_to_send)
    record_clause(clindex, send_clause(*c, max_var, aux_threshold), c);
}

void TernIncrementalWrapper::transmit_clauses_set() {
  clindex.reserve(clindex.size() + clset_to_send->size());
  for (BasicClause *c : *clset_to_send)
    record_clause(clindex, send_clause(*c, max_var, aux_threshold), c);
}

void TernIncrementalWrapper::transmit_assumptions() {
  for (long long a : *assumptions)
    check_engine_lit(a);
  for (long long a : *assumptions)
    tern_assume(a);
}

void TernIncrementalWrapper::handle_sat_outcome() {
  read_model(*output, max_var);
}

void TernIncrementalWrapper::handle_unsat_outcome() {
  if (!assumptions->empty())
    get_core_assumptions();
  if (tracing && core_set)
    get_core_clauses();
}

void TernIncrementalWrapper::get_core_assumptions() {
  for (long long a : *assumptions)
    if (tern_failed_assumption(a))
      output->push_back(a);
}

void TernIncrementalWrapper::get_core_clauses() {
  for_each_core_clause(clindex,
                       [this](BasicClause *c) { core_set->insert_clause(c); });
}

void TernIncrementalWrapper::get_var_levels(std::vector<long long> &levels) {
  tern_wrap::get_var_levels(levels, max_var);
}

bool TernIncrementalWrapper::is_dvar(long long v) {
  return tern_wrap::is_dvar(v);
}

void TernIncrementalWrapper::print_cnf(const char *file) {
  tern_wrap::print_cnf(file);
}
