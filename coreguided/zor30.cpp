#include "coreguided/zor30.hpp"

#include <fstream>
#include <string>
#include <vector>

#include "coreguided/core_progress.hpp"
#include "framework/bound_encoding.hpp"
#include "model/mxutils.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge.hpp"

long long ZOR30::solve() {
  accept_only_unweighted(*clset);
  // The working collection: the input clauses plus the current bound.
  BasicClauseSet work, bound;
  for (BasicClause *c : *clset)
    work.insert_member(c);
  num_input_vars = imgr->top_id;
  long long count = 0;
  TernWrapper sat(*imgr, work, *model, core,
                  ZORConfig::trace_mode ? "zor-unsat-trace" : nullptr);
  for (;;) {
    sat.init();
    if (sat.run_sat_solver() == 10) {
      print_solution_found();
      if (ZORConfig::trace_mode)
        mxutils::write_simple_cost_model("zor-sat-certificate.txt", count,
                                         *model, num_input_vars);
      sat.reset();
      detach_clause_set(bound, work);
      ZORToolObjects::keep_model(*model);
      return count;
    }
    ++count;
    print_core_found(count, core);
    if (ZORConfig::trace_mode) {
      std::string name = "zor-unsat-formula-f" + std::to_string(count) + ".txt";
      write_cnf_formula(name.c_str(), work);
    }
    bool soft = relax_core();
    core.clear();
    detach_clause_set(bound, work);
    // Only the hard clauses are left in the core: they are unsatisfiable.
    if (!soft) {
      sat.reset();
      return -1;
    }
    std::vector<long long> rvars, ones;
    for (const auto &entry : rvar_cl_map)
      rvars.push_back(entry.first);
    ones.assign(rvars.size(), 1);
    encode_cost_bound(*imgr, bound, rvars, ones, count);
    attach_clause_set(bound, work);
    sat.reset();
    check_cpu_timeout();
    print_cost_lower_bound(count);
  }
}

bool ZOR30::relax_core() {
  bool soft = false;
  for (BasicClause *c : core) {
    if (c->weight >= clset->top_weight)
      continue;
    soft = true;
    if (!relaxed_.count(c))
      relaxed_[c] = add_relaxation_var(c);
  }
  return soft;
}

void ZOR30::write_cnf_formula(const char *name, BasicClauseSet &set) {
  std::ofstream out(name, std::ios::out | std::ios::trunc);
  out << "p cnf " << imgr->top_id << " " << set.size() << std::endl;
  set.dump(out);
  out << std::endl;
}
