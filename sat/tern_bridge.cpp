#include "sat/tern_bridge.hpp"

#include "sat/tern.hpp"
#include "sat/tern_wrap_common.hpp"

using namespace tern_wrap;

int TernWrapper::run_sat_solver() {
  max_var = 0;
  clindex.resize(clset.size(), nullptr);
  tern_init();
  // Core extraction needs the proof, so tracing is on in every call.
  tern_enable_trace_generation();
  for (BasicClause *c : clset)
    record_clause(clindex, send_clause(*c, max_var), c);
  tern_set_global_default_phase(1);
  int answer = tern_sat(-1);
  check_answer(answer);
  if (answer == Unsat) {
    compute_unsat_core();
    if (trace_prefix)
      print_trace();
  } else {
    read_model(model, max_var);
  }
  tern_reset();
  return answer;
}

void TernWrapper::print_trace() {
  if (!trace_prefix)
    return;
  ++trace_count;
  write_extended_trace(std::string(trace_prefix) + "-f" +
                       stringit(trace_count) + ".txt");
}

void TernWrapper::compute_unsat_core() {
  for_each_core_clause(clindex, [this](BasicClause *c) { core.push_back(c); });
}

void TernWrapper::get_var_levels(std::vector<long long> &levels) {
  tern_wrap::get_var_levels(levels, max_var);
}

bool TernWrapper::is_dvar(long long v) { return tern_wrap::is_dvar(v); }

void TernWrapper::print_cnf(const char *file) { tern_wrap::print_cnf(file); }
