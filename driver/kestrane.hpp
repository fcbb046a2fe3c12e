// The abstract interface of the solver facade: every operation through which
// a front end configures the system, fills the clause set, solves and reads
// the answer. KestraneExtended (driver/zorapp.hpp) is its one implementation
// and the process-wide instance behind Kestrane::instance().
#pragma once

#include <map>
#include <vector>

#include "model/basic_clause.hpp"
#include "model/zor_config.hpp"

class KestraneExtended;

class Kestrane {
public:
  // The process-wide facade, created on first use.
  static KestraneExtended &instance();

  virtual void init() = 0;
  virtual void reset() = 0;

  virtual void set_prob_plain_maxsat() = 0;
  virtual void set_prob_partial_maxsat() = 0;
  virtual void set_prob_weighted_maxsat() = 0;
  virtual void set_prob_soft_cnf() = 0;

  // Option texts; an unlisted text ends the run through Abort.
  virtual void set_release(const char *rel) = 0;
  virtual void set_algorithm(const char *alg) = 0;
  virtual void set_card_encoding(const char *enc) = 0;
  virtual void set_pb_encoding(const char *enc) = 0;
  virtual void set_encodings(const char *enc) = 0; // CARD, CARD:PB, :PB
  virtual void set_relate_relax_vars(int n) = 0;
  virtual void set_use_added_cls() = 0;
  virtual void set_bmo_mode() = 0;
  virtual void set_enumerate_models() = 0;
  virtual void set_enumerate_models(long long n) = 0;
  virtual bool get_enum_models() = 0;
  virtual void set_enum_orig_vars() = 0;
  virtual void set_enum_relax_vars() = 0;

  // Reads the input file into the bound identifier manager and clause set;
  // false for a null name.
  virtual bool load_file(const char *name) = 0;
  virtual BasicClause *create_clause(long long n, const long long *lits) = 0;
  virtual BasicClause *create_clause(std::vector<long long> &lits) = 0;
  virtual BasicClause *create_unit_clause(long long a) = 0;
  virtual BasicClause *create_binary_clause(long long a, long long b) = 0;
  virtual BasicClause *create_ternary_clause(long long a, long long b,
                                             long long c) = 0;
  virtual void set_clause_hard(BasicClause *c) = 0;
  virtual void set_clause_soft(BasicClause *c) = 0;
  virtual void set_clause_soft_group(BasicClause *c, long long g) = 0;
  virtual void set_clause_weight(BasicClause *c, long long w) = 0;

  // Runs the solver; true when the hard clauses are satisfiable.
  virtual bool solve() = 0;
  // One pass of model-cube enumeration; true while more cubes are wanted.
  virtual bool iter_solve() = 0;

  virtual int get_num_init_vars() = 0;
  virtual int get_num_init_cls() = 0;
  virtual long long get_min_unsat_cost() = 0;
  virtual int get_var(long long v) = 0;
  virtual std::vector<long long> *get_model() = 0;
  virtual void get_relaxation_vars(std::vector<long long> &out) = 0;
  virtual bool chk_unsat_clause(BasicClause *c) = 0;
  virtual void prt_all_unsat_clauses() = 0;

  virtual void set_runtime_defaults() = 0;
  virtual void set_compute_model() = 0;
  virtual void unset_compute_model() = 0;
  virtual bool get_compute_model() = 0;
  virtual void set_timeout(long long seconds) = 0;
  virtual void set_verbosity(int v) = 0;
  virtual int get_verbosity() = 0;
  virtual void set_logging() = 0;
  virtual bool get_logging() = 0;
  virtual void set_comp_format() = 0;
  virtual void unset_comp_format() = 0;
  virtual bool get_comp_format() = 0;
  virtual void set_lst_unsat_cls() = 0;
  virtual void unset_lst_unsat_cls() = 0;
  virtual bool get_lst_unsat_cls() = 0;
  virtual void set_check_solution() = 0;
  virtual void unset_check_solution() = 0;
  virtual bool get_check_solution() = 0;
  virtual void set_ver_parameter(int p) = 0;
  virtual int get_ver_parameter() = 0;
  virtual void set_upper_bound(const char *mode) = 0;
  virtual BoundMode get_upper_bound() = 0;
  virtual void set_lower_bound(const char *mode) = 0;
  virtual BoundMode get_lower_bound() = 0;
  virtual void set_upper_bound_file(const char *name) = 0;
  virtual const char *get_upper_bound_file() = 0;
  virtual void set_optional_constraints() = 0;
  virtual bool get_optional_constraints() = 0;
  virtual void set_add_global_cnstr(const char *spec) = 0;
  virtual void unset_add_global_cnstr() = 0;
  virtual int get_add_global_cnstr() = 0;
  virtual void set_middle_type(const char *type) = 0;
  virtual MiddleType get_middle_type() = 0;
  virtual void set_nr_search_type(const char *type) = 0;
  virtual SearchType get_nr_search_type() = 0;
  virtual void set_atLeast(int type) = 0;
  virtual int get_atLeast() = 0;
  virtual void set_relax_on_demand_gmxsat(const char *groups) = 0;
  virtual RelaxGroups get_relax_on_demand_gmxsat() = 0;
  virtual void set_wbo_encoding(const char *enc) = 0;
  virtual WboEncoding get_wbo_encoding() = 0;
  virtual void set_hardening_rule() = 0;
  virtual bool get_hardening_rule() = 0;
  [[noreturn]] virtual void print_stats() = 0;

  virtual ~Kestrane() = default;
};
