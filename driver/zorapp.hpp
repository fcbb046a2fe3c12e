// The solver facade: the one object through which the driver configures and
// runs the system. Its setters write ZORConfig, its clause operations fill
// the bound clause set, load_file runs the input reader, and the factory
// mk_solver turns the configured algorithm code into a solver object.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "driver/kestrane.hpp"
#include "model/basic_clset.hpp"
#include "model/clause_snapshot.hpp"
#include "model/id_manager.hpp"

class MaxSATSolver;

class KestraneExtended : public Kestrane {
public:
  // The process-wide instance, created on first use; release_instance
  // destroys it.
  static KestraneExtended &bind_instance();
  static void release_instance();

  KestraneExtended();
  ~KestraneExtended() override;
  KestraneExtended(const KestraneExtended &) = delete;
  KestraneExtended &operator=(const KestraneExtended &) = delete;

  // Binds own data objects when none are bound, builds the solver and names
  // the tool "Kestrane"/"ZOR" in messages.
  void init() override;
  // Drops the bound data (destroying own ones), then resets and destroys
  // the solver.
  void reset() override;

  void set_prob_plain_maxsat() override;
  void set_prob_partial_maxsat() override;
  void set_prob_weighted_maxsat() override;
  void set_prob_soft_cnf() override;

  void set_release(const char *rel) override;
  void set_algorithm(const char *alg) override;
  void set_card_encoding(const char *enc) override;
  void set_pb_encoding(const char *enc) override;
  void set_encodings(const char *enc) override;
  void set_relate_relax_vars(int n) override;
  void set_use_added_cls() override;
  void set_bmo_mode() override;
  void set_enumerate_models() override;
  void set_enumerate_models(long long n) override;
  bool get_enum_models() override;
  void set_enum_orig_vars() override;
  void set_enum_relax_vars() override;

  bool load_file(const char *name) override;
  BasicClause *create_clause(long long n, const long long *lits) override;
  BasicClause *create_clause(std::vector<long long> &lits) override;
  BasicClause *create_unit_clause(long long a) override;
  BasicClause *create_binary_clause(long long a, long long b) override;
  BasicClause *create_ternary_clause(long long a, long long b,
                                     long long c) override;
  void set_clause_hard(BasicClause *c) override;
  void set_clause_soft(BasicClause *c) override;
  void set_clause_soft_group(BasicClause *c, long long g) override;
  void set_clause_weight(BasicClause *c, long long w) override;

  bool solve() override;
  bool iter_solve() override;

  int get_num_init_vars() override;
  int get_num_init_cls() override;
  long long get_min_unsat_cost() override { return cost_; }
  [[noreturn]] int get_var(long long v) override;
  std::vector<long long> *get_model() override { return model_; }
  void get_relaxation_vars(std::vector<long long> &out) override;
  bool chk_unsat_clause(BasicClause *c) override;
  void prt_all_unsat_clauses() override;

  void set_runtime_defaults() override;
  void set_compute_model() override;
  void unset_compute_model() override;
  bool get_compute_model() override;
  void set_timeout(long long seconds) override;
  void set_verbosity(int v) override;
  int get_verbosity() override;
  void set_logging() override;
  bool get_logging() override;
  void set_comp_format() override;
  void unset_comp_format() override;
  bool get_comp_format() override;
  void set_lst_unsat_cls() override;
  void unset_lst_unsat_cls() override;
  bool get_lst_unsat_cls() override;
  void set_check_solution() override;
  void unset_check_solution() override;
  bool get_check_solution() override;
  void set_ver_parameter(int p) override;
  int get_ver_parameter() override;
  void set_upper_bound(const char *mode) override;
  BoundMode get_upper_bound() override;
  void set_lower_bound(const char *mode) override;
  BoundMode get_lower_bound() override;
  void set_upper_bound_file(const char *name) override;
  const char *get_upper_bound_file() override;
  void set_optional_constraints() override;
  bool get_optional_constraints() override;
  void set_add_global_cnstr(const char *spec) override;
  void unset_add_global_cnstr() override;
  int get_add_global_cnstr() override;
  void set_middle_type(const char *type) override;
  MiddleType get_middle_type() override;
  void set_nr_search_type(const char *type) override;
  SearchType get_nr_search_type() override;
  void set_atLeast(int type) override;
  int get_atLeast() override;
  void set_relax_on_demand_gmxsat(const char *groups) override;
  RelaxGroups get_relax_on_demand_gmxsat() override;
  void set_wbo_encoding(const char *enc) override;
  WboEncoding get_wbo_encoding() override;
  void set_hardening_rule() override;
  bool get_hardening_rule() override;
  [[noreturn]] void print_stats() override;

  // Binds the caller's data objects, builds the solver and hands it the
  // three objects; runs before the input is loaded.
  virtual void init(IDManager &imgr, BasicClauseSet &clset,
                    std::vector<long long> &model);
  virtual void set_imgr(IDManager *imgr) { imgr_ = imgr; }
  virtual void set_clset(BasicClauseSet *clset) { clset_ = clset; }
  virtual void set_model(std::vector<long long> *model) { model_ = model; }
  virtual void set_incr_mode();
  virtual void set_write_bmo_models();
  virtual void set_file(const std::string &name);
  virtual std::string get_file();
  virtual void set_extended_mode();
  virtual void unset_extended_mode();
  virtual bool get_extended_mode();
  virtual void set_expert_mode();
  virtual void unset_expert_mode();
  virtual bool get_expert_mode();
  virtual void set_cutscores_mode();
  virtual void unset_cutscores_mode();
  virtual bool get_cutscores_mode();
  virtual void set_infer_lower_bound();
  virtual void unset_infer_lower_bound();
  virtual bool get_infer_lower_bound();
  virtual void set_filter_aux_vars();
  virtual void unset_filter_aux_vars();
  virtual bool get_filter_aux_vars();
  virtual void set_trace_mode();
  virtual void unset_trace_mode();
  virtual bool get_trace_mode();
  virtual void set_zor_mode(ZOR_Modes m);
  virtual ZOR_Modes get_zor_mode();
  virtual void set_iter_mode(Iter_modes m);
  virtual Iter_modes get_iter_mode();
  virtual std::map<long long, long long> &get_pbo_min_function();

  // Keeps a copy of the bound clause set as it stands now, the input as
  // read: the model is checked against it (-chk), its falsified clauses are
  // listed from it (-u), and the models found on the way are costed on it
  // for the signal path. main calls it after loading, solve before the
  // solver runs. The copy lasts until a clause operation or load_file
  // changes the set.
  // While the copy is kept, a cost, bound or sum past the 64-bit range
  // (abort_beyond_64_bits) is first checked against it: when its hard
  // clauses cannot all hold, the run ends with the result lines of an
  // unsatisfiable input and status 0 instead.
  void keep_input();
  // The copy kept by keep_input, or null.
  const ClauseSnapshot *input() const {
    return input_kept_ ? &input_ : nullptr;
  }
  // After a road solved with cost >= 0 (the last step of solve): every
  // input variable 1..nvars that the model leaves unassigned becomes false,
  // and with -chk the model is checked against the kept input ("Validating
  // model ...", then "Model validated" or "Model not validated").
  void check_result(long long cost, long long nvars);

  IDManager *get_id_manager() { return imgr_; }
  BasicClauseSet *get_clause_set() { return clset_; }
  MaxSATSolver *get_solver() { return solver_; }

  // The solver factory: builds the solver of ZORConfig::zoralg (NZOR1 in
  // incremental mode) and stores it; an algorithm that this build does not
  // hold ends the run with "Unavailable ZOR algorithm".
  MaxSATSolver *mk_solver();

private:
  void drop_solver();
  // After loading an input whose clauses at the largest weight are soft
  // (ceiling_soft): when they and the hard clauses cannot all hold although
  // the hard clauses can, every assignment costs 2^63 - 1 or more and the
  // run ends with abort_beyond_64_bits. Otherwise solving them as hard
  // clauses gives the answer.
  void refuse_unreachable_ceiling();
  // The step that abort_beyond_64_bits runs first, see keep_input.
  static void answer_unsat_if_hard_part_fails();

  ZORConfig config_;                // all settings are static
  IDManager *imgr_ = nullptr;       // bound, not owned unless own_imgr_
  BasicClauseSet *clset_ = nullptr; // bound, not owned unless own_clset_
  std::vector<long long> *model_ = nullptr;
  MaxSATSolver *solver_ = nullptr; // built by mk_solver, owned
  long long cost_ = -1;            // last value returned by the solver
  long long cube_count_ = 0;       // iter_solve calls so far
  bool bound_externally_ = true;   // the data objects are the caller's
  bool initialised_ = false;
  // Data objects created by init() when the caller bound none.
  std::unique_ptr<IDManager> own_imgr_;
  std::unique_ptr<BasicClauseSet> own_clset_;
  std::unique_ptr<std::vector<long long>> own_model_;
  ClauseSnapshot input_;    // the input as read, see keep_input
  bool input_kept_ = false; // input_ holds the bound set's clauses

  static KestraneExtended *zor; // the process-wide instance
};
