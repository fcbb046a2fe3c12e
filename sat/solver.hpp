// Wren: an object-based CDCL SAT solver in the classic design: two watched
// literals with a blocking literal per watch, activity-ordered decisions from
// a binary heap, first-UIP conflict analysis with recursive minimisation,
// Luby restarts, phase saving, activity-based removal of learned clauses and
// clauses kept in one arena of 32-bit words with a compacting collector.
//
// Variables are numbered 0, 1, 2, ... in creation order; the literal of
// variable v is 2v (positive) or 2v+1 (negative). Used for the relaxed upper
// bound: fill at level 0 with newVar and addClause_, then solve_ once.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "sat/wren_options.hpp"
#include "sat/wren_types.hpp"

namespace Wren {

class Solver {
 public:
  Solver();
  virtual ~Solver();

  // Building the problem.
  // Creates a variable; sign true makes it prefer the negative literal, dvar
  // makes it a decision variable. More than max_vars variables is fatal.
  Var newVar(bool sign = true, bool dvar = true);
  // Adds a problem clause at level 0; sorts and simplifies ps in place.
  // False once the problem is known unsatisfiable. A literal of a variable
  // not yet created is fatal.
  bool addClause_(vec<Lit>& ps);

  // Solving.
  // Top-level simplification: removes satisfied clauses; false when the
  // problem is unsatisfiable at level 0.
  bool simplify();
  // Solves under `assumptions` within the budgets: l_True, l_False, or
  // l_Undef when a budget or interrupt stopped it. Returns at level 0.
  lbool solve_();
  bool okay() const { return ok; }

  // Budgets and interrupt.
  void setConfBudget(int64_t x) { conflict_budget = (int64_t)conflicts + x; }
  void setPropBudget(int64_t x) { propagation_budget = (int64_t)propagations + x; }
  void budgetOff() { conflict_budget = propagation_budget = -1; }
  void interrupt() { asynch_interrupt = true; }
  void clearInterrupt() { asynch_interrupt = false; }

  // Text output (wren_output.cpp). The literal list argument is not read:
  // the assumption units come from the solver's own assumption list.
  void toDimacs(FILE* f, const vec<Lit>& assumps);
  void toDimacs(const char* file, const vec<Lit>& assumps);
  // Appends every problem clause, in order, and points trail at the trail.
  void getClauses(vec<const Clause*>& clauses, const vec<Lit>*& trail_out);

  // Variable mode and state.
  void setPolarity(Var v, bool b) { polarity[v] = (char)b; }
  void setDecisionVar(Var v, bool b);
  lbool value(Var x) const { return assigns[x]; }
  lbool value(Lit p) const { return assigns[var(p)] ^ sign(p); }
  lbool modelValue(Var x) const { return model[x]; }
  lbool modelValue(Lit p) const { return model[var(p)] ^ sign(p); }
  int nAssigns() const { return trail.size(); }
  int nClauses() const { return clauses.size(); }
  int nLearnts() const { return learnts.size(); }
  int nVars() const { return vardata.size(); }
  int nFreeVars() const {
    return (int)dec_vars - (trail_lim.size() == 0 ? trail.size() : trail_lim[0]);
  }
  int decisionLevel() const { return trail_lim.size(); }
  int level(Var x) const { return vardata[x].level; }
  CRef reason(Var x) const { return vardata[x].reason; }

  void cancelUntil(int level);
  bool satisfied(const Clause& c) const;
  double progressEstimate() const;
  virtual void garbageCollect();
  void checkGarbage(double gf);
  void checkGarbage() { checkGarbage(garbage_frac); }

  // Luby sequence value y^k for restart x (0-based).
  static double luby(double y, int x);

  // Extra results.
  vec<lbool> model;   // value of every variable after l_True
  vec<Lit> conflict;  // final conflict over the assumptions after l_False

  int verbosity = 0;

  // Parameters, copied from the options at construction.
  double var_decay;
  double clause_decay;
  double random_var_freq;
  double random_seed;
  bool luby_restart;
  int ccmin_mode;
  int phase_saving;
  bool rnd_pol = false;
  bool rnd_init_act;
  double garbage_frac;
  int restart_first;
  double restart_inc;
  double learntsize_factor = 1.0 / 3.0;
  double learntsize_inc = 1.1;
  int learntsize_adjust_start_confl = 100;
  double learntsize_adjust_inc = 1.5;

  // Statistics.
  uint64_t solves = 0;         // calls of solve_
  uint64_t starts = 0;         // searches (restarts + 1)
  uint64_t decisions = 0;      // decisions taken
  uint64_t rnd_decisions = 0;  // of them random
  uint64_t propagations = 0;   // trail literals propagated
  uint64_t conflicts = 0;      // conflicts met
  uint64_t dec_vars = 0;       // decision variables
  uint64_t clauses_literals = 0;  // literals in attached problem clauses
  uint64_t learnts_literals = 0;  // literals in attached learned clauses
  uint64_t max_literals = 0;      // learned literals before minimisation
  uint64_t tot_literals = 0;      // learned literals after minimisation

  // Assumptions for the next solve_ (the caller empties it for a plain run).
  vec<Lit> assumptions;
  int64_t conflict_budget = -1;     // -1: no budget
  int64_t propagation_budget = -1;  // -1: no budget
  bool asynch_interrupt = false;

  // The arena, readable for tests and getClauses users.
  const ClauseAllocator& arena() const { return ca; }
  const vec<CRef>& problemClauses() const { return clauses; }
  const vec<CRef>& learntClauses() const { return learnts; }

 protected:
  struct VarData {
    CRef reason;
    int level;
  };
  static VarData mkVarData(CRef cr, int l) { return VarData{cr, l}; }

  struct Watcher {
    CRef cref;
    Lit blocker;
    Watcher() = default;
    Watcher(CRef cr, Lit p) : cref(cr), blocker(p) {}
    bool operator==(const Watcher& w) const { return cref == w.cref; }
    bool operator!=(const Watcher& w) const { return cref != w.cref; }
  };

  struct WatcherDeleted {
    const ClauseAllocator* ca;
    explicit WatcherDeleted(const ClauseAllocator& c) : ca(&c) {}
    bool operator()(const Watcher& w) const { return (*ca)[w.cref].mark() == 1; }
  };

  struct VarOrderLt {
    const vec<double>* activity;
    bool operator()(Var x, Var y) const { return (*activity)[x] > (*activity)[y]; }
    explicit VarOrderLt(const vec<double>& act) : activity(&act) {}
  };

  int var_limit = max_vars;  // newVar refuses to pass this count

  bool ok = true;
  vec<CRef> clauses;  // problem clauses
  vec<CRef> learnts;  // learned clauses
  double cla_inc = 1;
  vec<double> activity;
  double var_inc = 1;
  OccLists<Lit, vec<Watcher>, WatcherDeleted> watches;
  vec<lbool> assigns;
  vec<char> polarity;  // 1 = prefer the negative literal
  vec<char> decision;
  vec<Lit> trail;
  vec<int> trail_lim;
  vec<VarData> vardata;
  int qhead = 0;
  int simpDB_assigns = -1;
  int64_t simpDB_props = 0;
  Heap<VarOrderLt> order_heap;
  double progress_estimate = 0;
  bool remove_satisfied = true;

  ClauseAllocator ca;

  // Scratch space of the conflict analysis.
  vec<char> seen;
  vec<Lit> analyze_stack;
  vec<Lit> analyze_toclear;
  vec<Lit> add_tmp;

  double max_learnts = 0;
  double learntsize_adjust_confl = 0;
  int learntsize_adjust_cnt = 0;

  // Main internal operations.
  void insertVarOrder(Var x);
  Lit pickBranchLit();
  void newDecisionLevel() { trail_lim.push(trail.size()); }
  void uncheckedEnqueue(Lit p, CRef from = CRef_Undef);
  bool enqueue(Lit p, CRef from = CRef_Undef);
  CRef propagate();
  void analyze(CRef confl, vec<Lit>& out_learnt, int& out_btlevel);
  void analyzeFinal(Lit p, vec<Lit>& out_conflict);
  bool litRedundant(Lit p, uint32_t abstract_levels);
  lbool search(int nof_conflicts);
  void reduceDB();
  void removeSatisfied(vec<CRef>& cs);
  void rebuildOrderHeap();

  void varDecayActivity() { var_inc *= (1 / var_decay); }
  void varBumpActivity(Var v) { varBumpActivity(v, var_inc); }
  void varBumpActivity(Var v, double inc);
  void claDecayActivity() { cla_inc *= (1 / clause_decay); }
  void claBumpActivity(Clause& c);

  void attachClause(CRef cr);
  void detachClause(CRef cr, bool strict = false);
  void removeClause(CRef cr);
  bool locked(const Clause& c) const {
    return value(c[0]) == l_True && reason(var(c[0])) != CRef_Undef &&
           ca.lea(reason(var(c[0]))) == &c;
  }
  void relocAll(ClauseAllocator& to);

  uint32_t abstractLevel(Var x) const { return 1u << (level(x) & 31); }
  bool withinBudget() const {
    return !asynch_interrupt &&
           (conflict_budget < 0 || conflicts < (uint64_t)conflict_budget) &&
           (propagation_budget < 0 || propagations < (uint64_t)propagation_budget);
  }

  // Text output of the search (wren_output.cpp), shown by verbosity.
  void printSearchHeader() const;
  void printSearchProgress() const;
  void printSearchFooter() const;
  void printGarbageCollection(uint32_t before, uint32_t after) const;

  // Pseudo-random numbers from a double state: state := state * 1389796
  // minus the largest multiple of 2147483647 not above it. The remainder is
  // taken exactly with fmod, after reducing a seed beyond the modulus (any
  // positive double is a valid seed), so no value leaves the int range.
  static double drand(double& seed) {
    if (seed >= 2147483647.0) seed = std::fmod(seed, 2147483647.0);
    seed = std::fmod(seed * 1389796, 2147483647.0);
    return seed / 2147483647;
  }
  static int irand(double& seed, int size) { return (int)(drand(seed) * size); }
};

}  // namespace Wren
