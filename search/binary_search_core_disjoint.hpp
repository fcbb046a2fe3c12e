// Binary search on the cost over disjoint cores. Each core keeps its own
// lower and upper bound, so one SAT call tests all of them at once. Soft
// clauses are relaxed only when a core first contains them; an
// unsatisfiable answer either raises the lower bound of the one core it
// touches or merges every core it touches, with its new clauses, into one.
// The per-core bounds, the merge and the upper-bound caps are the steps that
// the other disjoint-core searches build on.
#pragma once

#include <vector>

#include "framework/core.hpp"
#include "search/binary_search.hpp"

class BinarySearchCoreDisjoint : public BinarySearch {
public:
  BinarySearchCoreDisjoint() = default;
  ~BinarySearchCoreDisjoint() override;
  BinarySearchCoreDisjoint(const BinarySearchCoreDisjoint &) = delete;
  BinarySearchCoreDisjoint &
  operator=(const BinarySearchCoreDisjoint &) = delete;

  // The optimum cost with a model reaching it in the model vector, or -1
  // when the hard clauses are unsatisfiable.
  long long solve() override;
  // Replaces the per-core bound clauses for the coming SAT call: each core
  // gets its test value (core_test_value) and the bound "weight of its
  // true relaxation variables at most that value".
  virtual void add_atmost_constraint(long long &count, long long &ub);
  // Initial bounds with the lower-bound pass's cores as the core list; the
  // initial upper bound's model is kept.
  virtual void compute_initial_bounds(IDManager &imgr, BasicClauseSet &set,
                                      TernWrapperSort &sat,
                                      std::vector<long long> &model,
                                      std::vector<BasicClause *> &core,
                                      long long &count, long long &lb,
                                      long long &ub);

  // mu when mu - lambda < 2, else the value middle, or the biased one.
  long long computeMiddle(long long lambda, long long mu);
  // 1 while some core has lambda + 1 < mu, else 0.
  int stop_condition(std::vector<Core *> &cores);
  // Caps each core's mu by ub less what the other cores must cost at least.
  void improve_upper_bound_r2_s63(IDManager &imgr, BasicClauseSet &set,
                                  std::vector<Core *> &cores, long long ub);
  // Caps the core's mu by its weight less, for every pair of complementary
  // literals among its clauses, the lighter side (one side of each pair is
  // satisfied).
  void upper_bound_refinement_r2_s62(IDManager &imgr, BasicClauseSet &set,
                                     Core *core);
  // The same for every core, when there are two or more.
  void upper_bound_refinement_r2_s62(IDManager &imgr, BasicClauseSet &set,
                                     std::vector<Core *> &cores);
  // joint := the cores of cores holding one of rvars, in list order.
  void detect_joint_cores(std::vector<Core *> &cores,
                          std::vector<Core *> &joint,
                          std::vector<long long> &rvars);
  // Appends to cores one core made of rvars and every core of joint (which
  // leave cores but are not destroyed), with their bounds combined.
  void merge_cores(std::vector<Core *> &cores, std::vector<Core *> &joint,
                   std::vector<long long> &rvars,
                   std::vector<long long> &weights, long long min);

  std::vector<Core *> &get_cores() { return cores_; }
  unsigned sat_count() const { return sat_count_; }
  unsigned unsat_count() const { return unsat_count_; }

protected:
  // Forgets the cores, the per-core bounds and the kept model of an earlier
  // run, then computes the initial bounds; false when the hard clauses are
  // unsatisfiable.
  bool start_search(TernWrapperSort &sat, long long &count, long long &lb,
                    long long &ub);
  // The same reset alone.
  void reset_search();
  // The core loop from the first per-core bounds to the stop; returns the
  // best cost, its model in the model vector.
  long long search_cores(TernWrapperSort &sat, long long &count,
                         long long &ub);
  // The initial bounds with the lower-bound pass's cores as the core list;
  // the upper bound's model is kept. Returns whether there was one.
  bool take_initial_bounds(IDManager &imgr, BasicClauseSet &set,
                           TernWrapperSort &sat, std::vector<long long> &model,
                           std::vector<BasicClause *> &core, long long &count,
                           long long &lb, long long &ub);
  // A model of cost `cost`: "c o " and the new ub when it is better,
  // otherwise the line comparing it with ub.
  void report_model_cost(long long cost, long long &ub);
  // A satisfiable answer of cost `cost`: the global bound and each core's mu.
  void take_model(long long cost, long long &ub);
  // The core's soft clauses without a relaxation variable (unrelaxed) and
  // the cores that its relaxed ones touch (joint).
  void sort_core(std::vector<BasicClause *> &unrelaxed,
                 std::vector<Core *> &joint);
  // An unsatisfiable answer: raise the one touched core or merge.
  void take_core(long long ub);
  // The variables of the core's relaxed soft clauses (old) and its soft
  // clauses without a relaxation variable (unrelaxed).
  virtual void split_core(std::vector<long long> &old_vars,
                          std::vector<BasicClause *> &unrelaxed);
  // Relaxes the clauses of a core met for the first time.
  virtual void relax_new_clauses(std::vector<BasicClause *> &unrelaxed,
                                 std::vector<long long> &rvars,
                                 std::vector<long long> &weights);
  // Whether a literal of a core's list is true in the model.
  virtual bool relax_lit_true(long long lit);
  // The weight of a core's true literals in the model.
  long long core_cost(Core &k);
  // Output at the start of an iteration (none here).
  virtual void begin_iteration() {}
  // Hardening after an iteration that changed a bound.
  virtual void harden_cores(long long ub);
  // Caps applied before the per-core bounds are encoded.
  virtual void prepare_core_bounds(long long ub);
  // The value that core k tests in the coming SAT call.
  virtual long long core_test_value(Core &k);
  // Lowers the hardening entries of the clauses of rvars by delta.
  void lower_hardening_entries(const std::vector<long long> &rvars,
                               long long delta);
  // The best cost found, ub when no model was kept; the kept model goes
  // back into the model vector.
  long long best_result(long long ub);
  // Destroys every core of the list.
  void clear_cores();

  BasicClauseSet core_bound_; // the current iteration's per-core bounds
  std::vector<Core *> cores_; // disjoint cores, owned
  unsigned sat_count_ = 1;    // satisfiable answers + 1
  unsigned unsat_count_ = 1;  // unsatisfiable answers + 1
  bool bounds_changed_ = false; // the iteration calls for hardening
};
