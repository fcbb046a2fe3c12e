#include "sat/tern_bridge_sort.hpp"

#include <algorithm>

#include "sat/tern.hpp"
#include "sat/tern_wrap_common.hpp"

using namespace tern_wrap;

int TernWrapperSort::run_sat_solver() {
  std::vector<long long> none;
  return run_sat_solver(none);
}

int TernWrapperSort::run_sat_solver(std::vector<long long> &more_important) {
  max_var = 0;
  clindex.resize(clset.size(), nullptr);
  std::vector<BasicClause *> order = clset.clauses();
  std::sort(order.begin(), order.end(), ClIDLess());
  for (long long l : more_important)
    check_engine_lit(l);
  tern_init();
  tern_enable_trace_generation(); // needed for the core
  for (BasicClause *c : order)
    record_clause(clindex, send_clause(*c, max_var), c);
  tern_set_global_default_phase(1);
  for (long long l : more_important)
    tern_set_more_important_lit(l);
  int answer = tern_sat(-1);
  check_answer(answer);
  if (answer == Unsat) {
    compute_unsat_core();
    if (trace_prefix)
      print_trace();
  } else {
    read_model(model, max_var);
    if (imgr.top_id >= 0 &&
        model.size() < static_cast<unsigned long long>(imgr.top_id) + 1)
      model.resize(static_cast<std::size_t>(imgr.top_id) + 1, 1);
  }
  tern_reset();
  return answer;
}

void TernWrapperSort::print_trace() {
  if (!trace_prefix)
    return;
  if (!fixed_trace_name)
    ++trace_count;
  write_extended_trace(std::string(trace_prefix) + "-f" +
                       stringit(trace_count) + ".txt");
}

void TernWrapperSort::compute_unsat_core() {
  for_each_core_clause(clindex, [this](BasicClause *c) { core.push_back(c); });
}

void TernWrapperSort::get_var_levels(std::vector<long long> &levels) {
  tern_wrap::get_var_levels(levels, max_var);
}

bool TernWrapperSort::is_dvar(long long v) { return tern_wrap::is_dvar(v); }

void TernWrapperSort::print_cnf(const char *file) {
  tern_wrap::print_cnf(file);
}
