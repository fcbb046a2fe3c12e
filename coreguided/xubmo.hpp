// Boolean multilevel optimisation: when every weight of a level exceeds the
// total weight of all lighter soft clauses, the levels can be solved one
// after another from the heaviest down, each solved level hardened before
// the next. Without such levels the whole problem goes to one core-guided
// run.
#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/clause_snapshot.hpp"
#include "model/id_manager.hpp"

class MaxSATSolver;

// Outcome of the check of the BMO condition on the weights.
enum class BMOConds : int { None = 256, Complete = 512, Partial = 1024 };

class ExtendedUnsatBMOSolver {
public:
  explicit ExtendedUnsatBMOSolver(IDManager &imgr);
  virtual ~ExtendedUnsatBMOSolver();

  // The optimum cost (also stored in cost), negative when the hard clauses
  // are unsatisfiable; the model receives an optimum assignment.
  virtual long long solve(BasicClauseSet &cls, std::vector<long long> &model,
                          long long &cost);
  virtual std::vector<long long> &get_model() { return *model_; }

  BMOConds validate_bmo_conditions(BasicClauseSet &cls);
  void prt_bmo_chk_msg(BMOConds c);
  void split_clause_set(BasicClauseSet &cls);
  long long run_xubmo_solver();
  long long run_def_mxsat_solver(BasicClauseSet &cls, unsigned long long nvars,
                                 unsigned long long unused);
  // The input clauses as read; with ZORConfig::check_solution every
  // level's model is checked against their hard clauses. The final model is
  // checked by the caller, against the same copy.
  void set_input(const ClauseSnapshot *input) { input_ = input; }

  // Clause-set moves that touch no reference count, type or counter.
  static void copy_clset(BasicClauseSet &a, BasicClauseSet &b);
  static void copy_clset(BasicClauseSet &a, std::vector<BasicClause *> &v);
  static void copy_clset(std::vector<BasicClause *> &v, BasicClauseSet &b);
  static void clear_clset(BasicClauseSet &s);
  void set_clset_hard(BasicClauseSet &s);
  void reset_cl_weights(BasicClauseSet &s);
  void recover_pure_lits(BasicClauseSet &s);

  const std::vector<unsigned long long> &boundaries() const { return bounds_; }
  const std::vector<long long> &weights() const { return weights_; }
  std::size_t num_levels() const { return levels_.size(); }
  const BasicClauseSet *level(std::size_t k) const { return levels_[k].get(); }

private:
  std::unique_ptr<MaxSATSolver> make_inner_solver();
  void write_pure_lits(std::vector<long long> &model);
  // The level's model with the pure literals set (those of the input and
  // lpure, the level's), as the final model will have them.
  std::vector<long long> level_model(const std::vector<long long> &lpure) const;
  // Reports every hard clause of the input that the level's model m
  // falsifies.
  void check_level_model(std::size_t level, const std::vector<long long> &m);

  IDManager &imgr_;
  BasicClauseSet hard_set_;  // only its top weight and counters are used
  unsigned long long curr_level_ = 0;
  std::vector<std::unique_ptr<BasicClauseSet>> levels_;
  std::unordered_map<long long, std::vector<BasicClause *>> by_weight_;
  std::vector<long long> weights_;         // distinct weights, descending
  std::vector<unsigned long long> bounds_; // level boundaries, ascending
  long long top_ = 0;
  bool has_hard_ = false;
  bool has_hard_known_ = false;
  BMOConds cond_ = BMOConds::None;
  std::vector<BasicClause *> removed_;
  std::vector<long long> pure_;
  std::vector<long long> inner_model_;
  std::vector<long long> empty_model_;
  std::vector<long long> *model_ = &empty_model_;
  // The working set of the level-by-level run; its clauses stay with the
  // registry when it goes.
  std::unique_ptr<BasicClauseSet> work_;
  long long *cost_ = nullptr;
  long long nvars_ = 0;
  const ClauseSnapshot *input_ = nullptr; // not owned
  long long ncls_ = 0;
};
