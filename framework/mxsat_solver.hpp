// The solver class tree that every MaxSAT algorithm derives from. The
// factory builds one solver; the facade binds it to the identifier manager,
// the input clause set and the model vector with `init` (before the input
// is read, so `solve` takes the problem from the set when it runs), calls
// `solve` and finally `reset`.
//
// `UnsatMaxSATSolver` carries the relaxation bookkeeping that the core-guided
// and search algorithms share: which relaxation variables were added to
// which soft clause, propagation variables, per-clause clause lists, and the
// attaching of working clause sets (bound constraints) to the problem set.
// The solver owns its maps and lists; clauses belong to the ClauseRegistry,
// the three bound objects to the caller.
#pragma once

#include <climits>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class Core;
class TernWrapperSort;

class MaxSATSolver {
public:
  virtual ~MaxSATSolver() = default;
  virtual void init(IDManager &imgr, BasicClauseSet &clset,
                    std::vector<long long> &model) = 0;
  virtual void reset() = 0;
  // The optimum cost, or -1 when the hard clauses are unsatisfiable, no
  // upper bound exists or the algorithm is not available.
  virtual long long solve() = 0;
};

// Base of the iterative binary-search solver.
class IterMaxSATSolver : public MaxSATSolver {
public:
  void init(IDManager &imgr, BasicClauseSet &clset,
            std::vector<long long> &model) override;
  void reset() override;

  IDManager *imgr = nullptr;
  BasicClauseSet *clset = nullptr;
  std::vector<long long> *model = nullptr;
  // Relaxed soft clause -> its relaxation variable, filled by the subclass.
  std::unordered_map<BasicClause *, long long, ClPtrHash, ClPtrEqual>
      relax_map;
};

// Base of every core-guided and search algorithm.
class UnsatMaxSATSolver : public MaxSATSolver {
public:
  UnsatMaxSATSolver();
  ~UnsatMaxSATSolver() override = default;

  // Stores the three references, nothing else.
  void init(IDManager &imgr, BasicClauseSet &clset,
            std::vector<long long> &model) override;
  // Drops the references, the core and every map and list.
  void reset() override;

  // Whether the model falsifies c: true when one of c's recorded relaxation
  // variables r is true in the bound model (model entry r > 0); false for a
  // clause never relaxed.
  bool chk_unsat_clause(BasicClause *c);
  // Sum of the weights of set's soft clauses, saturating at the largest
  // weight (BasicClauseSet::kMaxWeight, the cost ceiling of sat_arith.hpp)
  // when it leaves the 64-bit range.
  long long sum_weights(BasicClauseSet &set);
  // Ends the run unless every soft clause weighs at most 1.
  void accept_only_unweighted(BasicClauseSet &clset);

  // --- Relaxation bookkeeping (relax_bookkeeping.cpp) ---

  // requires: init. Appends a fresh variable r to c (re-keyed in the
  // registry) and records it; returns r.
  long long add_relaxation_var(BasicClause *c);
  // Records r as a relaxation variable of c (c listed among the relaxed
  // clauses, r -> c unless r is known, r appended to c's list); with
  // ZORConfig::use_added_relax_cls also ties r to c's propagation variable.
  void register_relaxation_var(BasicClause *c, long long r);
  // c's variable when exactly one is recorded for it, else 0.
  long long get_unique_relax_var(BasicClause *c);
  // For each soft clause of cls (set's top weight decides) its unique
  // relaxation variable, or a fresh one, appended to rvars with the
  // clause's weight appended to weights.
  void relax_core_clauses(std::vector<BasicClause *> &cls, BasicClauseSet &set,
                          std::vector<long long> &rvars,
                          std::vector<long long> &weights);
  // Gives every soft clause of set without a unique relaxation variable a
  // fresh one.
  void relax_all_soft_clauses_unrelaxed(BasicClauseSet &set);
  // Appends every recorded relaxation variable whose clause is still soft
  // in the input set, with the clause's current weight (map order).
  void get_relax_vars_and_weights(std::vector<long long> &rvars,
                                  std::vector<long long> &weights);
  // A fresh propagation variable p for c (c keeps its first one). With
  // ZORConfig::use_added_relax_cls, p implies every non-relaxation literal
  // of c false (hard clauses in the input set). Returns p.
  long long add_propagation_var(BasicClause *c);
  // r implies c's propagation variable (made when c has none).
  void relate_prop_relax_var(BasicClause *c, long long r);
  // The hard clause {a, b}, created through the registry and inserted into
  // the input set (whose default clause type becomes hard).
  BasicClause *add_hard_binary_clause(long long a, long long b);
  // Puts part's clauses into whole's member set (no references, types or
  // counters change) and remembers which of them were not there before.
  void attach_clause_set(BasicClauseSet &part, BasicClauseSet &whole);
  // Takes the clauses that the attach of part to whole put there out of
  // whole again (whole is then as before the attach; without an attach,
  // every clause of part leaves whole), then releases part's clauses
  // (clear_direct) and empties part.
  void detach_clause_set(BasicClauseSet &part, BasicClauseSet &whole);

  IDManager *imgr = nullptr;
  BasicClauseSet *clset = nullptr;
  std::vector<long long> *model = nullptr;
  // Soft clauses of the last unsatisfiable core (filled by the SAT wrapper).
  std::vector<BasicClause *> core;
  // Relaxation variable -> the clause it was added to (first record kept).
  std::unordered_map<long long, BasicClause *, XLIntHash, XLIntEqual>
      rvar_cl_map;
  // Every propagation variable made.
  std::unordered_set<long long, XLIntHash, XLIntEqual> prop_vars;
  // Clause -> its propagation variable (first one kept).
  std::unordered_map<BasicClause *, long long, ClPtrHash, ClPtrEqual>
      cl_pvar_map;
  // Clause -> every relaxation variable recorded for it, in record order.
  // An entry exists only once a variable was recorded.
  std::unordered_map<BasicClause *, std::vector<long long>, ClPtrHash,
                     ClPtrEqual>
      cl_rvars_map;
  // Clause -> a list of clauses kept for it by an algorithm.
  std::unordered_map<BasicClause *, std::vector<BasicClause *>, ClPtrHash,
                     ClPtrEqual>
      cl_lists_map;
  // Every clause that received a relaxation variable, once per variable.
  std::vector<BasicClause *> relaxed_cls;
  // Top variable when the algorithm's solve began; -1 until an algorithm
  // that needs it sets it.
  long long num_input_vars = -1;

private:
  long long fresh_var();
  // Clauses that attach_clause_set put into a set, per (part, whole).
  struct Attachment {
    BasicClauseSet *part;
    BasicClauseSet *whole;
    std::vector<BasicClause *> added;
  };
  std::vector<Attachment> attachments_;
};

// Base of the bounded algorithms: adds the hardening map.
class UnsatMaxSATSolverWithBounds : public UnsatMaxSATSolver {
public:
  // Also forgets the kept model.
  void reset() override;

  // Soft clause -> the weight by which hardening tests it.
  std::map<BasicClause *, long long> hardening_map;

  // --- Initial bounds, lower-bound heuristics, hardening (mxsat_bounds.cpp)
  // ub: the relaxed run's bound (-1: hard clauses unsatisfiable, then
  // nothing else is done); lb: the lower-bound heuristic's value (left as
  // given without one); cores receives the heuristic's cores (owned by the
  // caller); bmodel the bound's model (entry v-1 for variable v).
  void set_initial_bounds(IDManager &imgr, BasicClauseSet &clset,
                          TernWrapperSort &solver,
                          std::vector<long long> &model,
                          std::vector<bool> &bmodel,
                          std::vector<BasicClause *> &core, long long &count,
                          std::vector<Core *> &cores, long long &lb,
                          long long &ub);
  void set_initial_bounds(IDManager &imgr, BasicClauseSet &clset,
                          TernWrapperSort &solver,
                          std::vector<long long> &model,
                          std::vector<BasicClause *> &core, long long &count,
                          std::vector<Core *> &cores, long long &lb,
                          long long &ub);
  // The same; the heuristic's cores are deleted.
  void set_initial_bounds(IDManager &imgr, BasicClauseSet &clset,
                          TernWrapperSort &solver,
                          std::vector<long long> &model,
                          std::vector<BasicClause *> &core, long long &count,
                          long long &lb, long long &ub);
  // Sum over disjoint cores of each core's smallest soft weight: each core
  // found is relaxed, recorded and set aside until the rest is satisfiable.
  // A sum past the 64-bit range (the optimum is past it too) ends the run.
  long long lower_bound_ZOR3_heuristic(IDManager &imgr, BasicClauseSet &clset,
                                       TernWrapperSort &solver,
                                       std::vector<long long> &model,
                                       std::vector<BasicClause *> &core,
                                       long long &count,
                                       std::vector<Core *> &cores,
                                       long long ub);
  // The same with the soft clauses shown in weight strata, heaviest first.
  long long lower_bound_ZOR3Strat_heuristic(
      IDManager &imgr, BasicClauseSet &clset, TernWrapperSort &solver,
      std::vector<long long> &model, std::vector<BasicClause *> &core,
      long long &count, std::vector<Core *> &cores, long long ub);
  // Subtracts each core's smallest weight from its clauses instead of
  // taking the core out; cores sharing clauses are merged.
  long long lower_bound_subtraction_heuristic(
      IDManager &imgr, BasicClauseSet &clset, TernWrapperSort &solver,
      std::vector<long long> &model, std::vector<BasicClause *> &core,
      long long &count, std::vector<Core *> &cores, long long ub);
  // Makes hard every mapped soft clause whose weight lb cannot afford
  // (lb + entry > ub); a hardened clause's unique relaxation variable
  // leaves every core and is fixed to false. Entries at 0 or below are
  // dropped. Nothing is done while hardening_on() is false.
  void hardening(std::vector<Core *> &cores, IDManager &imgr,
                 BasicClauseSet &clset, long long lb, long long ub);
  // Prints the weighted at-most constraint (above verbosity 4).
  void show_atmost_constraint(std::vector<long long> &lits,
                              std::vector<long long> &weights, long long &rhs);

  // --- One iteration of a bounded search (bound_iteration.cpp) ---
  // requires: init. Replaces the bound constraint and runs one SAT call:
  // the clauses bound held leave the input set and are released, "sum of
  // weights[i] over the true rvars[i] <= k" is encoded into bound (hard,
  // the input set's top weight) and attached, and the wrapper runs on the
  // whole input set. Returns the answer (10 or 20). On 10, cost receives
  // the model's cost (model_cost) and a cost below the best so far keeps
  // the model. On 20 the core stays in `core` until finish_sat_call.
  int bounded_sat_call(TernWrapperSort &sat, BasicClauseSet &bound,
                       const std::vector<long long> &rvars,
                       const std::vector<long long> &weights, long long k,
                       long long &cost);
  // The same step in three parts, for searches that put several bounds
  // (one per core) into one bound set: clear_bound takes the previous
  // clauses out of the input set and releases them, add_bound encodes one
  // more bound into the set, sat_call_under_bound attaches the set and runs
  // the SAT call (model cost and kept model as above).
  void clear_bound(BasicClauseSet &bound);
  void add_bound(BasicClauseSet &bound, const std::vector<long long> &rvars,
                 const std::vector<long long> &weights, long long k);
  int sat_call_under_bound(TernWrapperSort &sat, BasicClauseSet &bound,
                           long long &cost);
  // Empties the core, resets the wrapper and, unless the search leaves the
  // time-out to the driver's alarm, tests the CPU time.
  void finish_sat_call(TernWrapperSort &sat, bool check_cpu = true);
  // Above verbosity 1, the answer of a search's SAT call: "c Sat iteration,
  // mu:" with mu after a model (10), "c Unsat iteration " after a core.
  void print_iteration_outcome(int res, long long mu);
  // The cost of the model in the model vector: the weight of the soft
  // clauses whose relaxation variable is true.
  virtual long long model_cost();
  // Keeps a copy of the model vector when cost is below the best cost so
  // far. Every model is offered to the time-out and signal path
  // (ZORToolObjects::keep_model), which costs it on the input as read.
  void keep_model_if_better(long long cost);
  // Puts the kept model back into the model vector (nothing without one).
  void restore_best_model();
  // Makes the model vector the Boolean model of an upper bound (entry v-1
  // for variable v) and keeps it as for a SAT answer: cost is the weight of
  // the soft clauses it falsifies.
  void keep_bound_model(const std::vector<bool> &bmodel, long long cost);
  // Sets every relaxation variable in the model vector to whether the
  // model falsifies the clause's other literals, so that a kept model taken
  // before some clauses were relaxed still tells which clauses it falsifies.
  void settle_relaxation_values();

  // Cost that the search settled before it began and leaves out of its own
  // costs.
  long long settled_cost = 0;
  // The best cost a model reached in this solve (LLONG_MAX: none yet) and
  // that model.
  long long best_cost = LLONG_MAX;
  std::vector<long long> best_model;

protected:
  // What hardening does with one map entry.
  enum class HardenStep { Keep, Harden, Discard };
  // What one hardening pass did.
  struct HardenCounts {
    long long left = 0;      // entries still in the map
    long long unrelaxed = 0; // clauses hardened without a relaxation variable
    long long relaxed = 0;   // clauses hardened with their variable fixed
    long long discarded = 0; // entries dropped at 0 or below
  };
  // Whether hardening runs: with the hardening rule.
  virtual bool hardening_on() const;
  // The progress lines of hardening, above verbosity 1: the first, one per
  // map entry once its step is decided and before it is taken (c as it
  // stands, e its entry; r is 0 unless c is to be hardened with a unique
  // relaxation variable), and the last.
  virtual void show_hardening_start(long long lb, long long ub);
  virtual void show_hardening_entry(BasicClause *, long long, HardenStep,
                                    long long) {}
  virtual void show_hardening_end(const HardenCounts &n);

  // Set by searches that announce each SAT call of bounded_sat_call: above
  // verbosity 4, "c Call to the SAT solver" before the wrapper's init and
  // "c End Call to the SAT solver" after it.
  bool announce_sat_calls = false;

private:
  void take_ub_from_file(IDManager &imgr, BasicClauseSet &clset,
                         std::vector<long long> &model,
                         std::vector<bool> &bmodel, long long &ub);
  long long take_out_core(BasicClauseSet &clset,
                          std::vector<BasicClause *> &core,
                          std::vector<Core *> &cores, long long ub,
                          std::vector<BasicClause *> &aside);
};
