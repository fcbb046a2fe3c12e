// NZOR1: weighted core-guided MaxSAT on one incremental SAT engine. Each
// soft clause carries a blocking variable assumed false; the failed
// assumptions of an unsatisfiable answer are the core. The core is relaxed
// in the weighted manner (least weight m added to the bound, heavier clauses
// keep their residue in a copy) with an exactly-one constraint over the new
// relaxation variables. Clauses cannot leave a running engine, so a replaced
// clause is retired by a hard unit on its old blocking variable.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/mxsat_solver.hpp"
#include "sat/tern_incr_wrapper.hpp"

class NZOR1 : public UnsatMaxSATSolver {
public:
  NZOR1();
  ~NZOR1() override;

  // The optimum cost, or minus the top weight when the hard clauses are
  // unsatisfiable. requires: init
  long long solve() override;
  // Takes the blocking variables out of the input clauses and frees the
  // engine, so that init and solve can run again.
  void reset() override;

  long long setup_incr_solver();
  long long compute_lower_bound();
  void split_hard_soft_cls();
  void create_assumptions();
  void set_assumptions();
  long long analyze_relax_core_clauses();
  long long find_core_min_weight();
  void mk_cl_from_core();
  void relax_core_clauses(long long m);
  BasicClause *replicate_clause(BasicClause *cl, long long lit,
                                long long weight);
  void add_card_constraint();
  void recover_model(std::vector<long long> &model);
  void reset_sat_solver();
  void replace_clause(BasicClause *cl, long long lit, long long weight);
  void handle_short_cores(long long weight);

private:
  long long new_blocking_var(BasicClause *c);
  int call_engine();

  std::unique_ptr<TernIncrementalWrapper> sat_;
  std::vector<BasicClause *> pending_soft_;
  BasicClauseSet retired_units_;
  std::vector<BasicClause *> to_send_;
  std::vector<long long> assumptions_;
  std::vector<long long> sat_out_;
  std::unordered_map<long long, BasicClause *> blocking_;
  std::vector<long long> blocking_order_; // blocking variables, creation order
  std::vector<long long> core_bvars_;
  std::vector<BasicClause *> core_cls_;
  std::vector<long long> new_rvars_;
  BasicClauseSet set_aside_units_;
  std::vector<BasicClause *> zero_weight_; // cost nothing, left out
  long long cost_ = BasicClauseSet::kMaxWeight;
  long long setup_vars_ = 0;
  long long setup_cls_ = 0;
};
