// The second binary search over disjoint cores. Every core carries a lower
// bound lambda (the least cost it can still have), an upper bound epsilon
// (its cost under the kept model) and a test value nu chosen by one of
// three middle rules; lower bounds jump to the next reachable subset sum of
// the core's weights. The search stops when the lower bounds, the upper
// bounds and the global upper bound all meet. Its steps (test values,
// subset sums, the unsatisfiable-answer update, the core upper bounds) are
// shared by the stratified and the model-guided forms.
#pragma once

#include <vector>

#include "search/binary_search_core_disjoint.hpp"

class BinarySearchCoreDisjoint2 : public BinarySearchCoreDisjoint {
public:
  using BinarySearchCoreDisjoint::computeMiddle;
  using BinarySearchCoreDisjoint::stop_condition;

  // The optimum cost with its model, or -1 when the hard clauses are
  // unsatisfiable.
  long long solve() override;
  // The initial bounds; the model vector and the kept model become the
  // upper bound's model, against which the cores' epsilons are computed.
  void compute_initial_bounds(IDManager &imgr, BasicClauseSet &set,
                              TernWrapperSort &sat,
                              std::vector<long long> &model,
                              std::vector<BasicClause *> &core,
                              long long &count, long long &lb,
                              long long &ub) override;
  // Prints the bound sums; true when lambdas, epsilons and ub all meet.
  virtual bool stop_condition(std::vector<Core *> &cores, long long &ub);

  // The next test value of a core between lb and ub (lb when they are
  // closer than 2): the value, order or biased middle.
  long long computeMiddle(std::vector<long long> &weights, long long lb,
                          long long ub);
  // nu := computeMiddle(weights, lambda, epsilon) when nu < 1 or the
  // middle is biased.
  void updateMiddleValue(Core *k);
  // The least cost above lb that the weights can make, at most ub.
  long long refine_bound(std::vector<long long> &weights, long long &lb,
                         long long &ub);
  // The least subset sum of the weights above lb, ub when none is below.
  long long sss(std::vector<long long> &weights, long long lb, long long ub);
  // epsilon := the weight of the core's clauses that model falsifies.
  void update_core_epsilon(Core &k, std::vector<long long> &model);
  // Whether a literal of the clause not over variable r holds in model.
  bool is_clause_sat(std::vector<long long> &model, BasicClause *c,
                     long long r);
  // l holds in m (a negative literal over an unassigned variable does).
  static bool isSatLit(const std::vector<long long> &m, long long l);

  // Above this many subset sums a core's middle falls back to the value
  // middle (distinct large weights have exponentially many sums).
  static constexpr std::size_t kMaxSubsetSums = 1 << 16;

  // Verbosity thresholds of an iteration's output, which the three forms
  // of the search print at different levels: a part is printed above its
  // threshold. The defaults are this search's own.
  struct Trace {
    int counters = 1; // satisfiable and unsatisfiable answer counts, timings
    int cores = 9;    // one "c DC[" line per core
    int clauses = 9;  // the clauses of each core
    int formula = 19; // the whole formula before the call
    int core = 9;     // the clauses of an unsatisfiable core
    // Each core's relaxation variables on a line of their own ("c R:"),
    // printed with its clauses, instead of at the end of its "c DC[" line.
    bool rvar_line = false;
  };

protected:
  // Encodes the per-core bounds and runs the SAT call with its output.
  int bounded_iteration(TernWrapperSort &sat, long long &count, long long &ub,
                        long long &cost, const Trace &t);
  // An unsatisfiable answer: a single touched core with nothing new moves
  // its lambda to the next reachable cost above its nu; otherwise the new
  // clauses and the touched cores merge, and the merged core's lambda
  // starts above what they proved. Hardening entries drop by the rise,
  // which is returned. Epsilons are computed against eps_model.
  long long take_core2(std::vector<long long> &eps_model, const Trace &t);
  // Every core's epsilon against model, and nu to be recomputed.
  void refresh_epsilons(std::vector<long long> &model);
  // The weight of the relaxed clauses that model falsifies.
  long long cores_cost(std::vector<long long> &model);
  // The cost of a SAT answer: the falsified weight inside the cores.
  long long model_cost() override;
  // The weight of the clauses of cls (kept out of the formula) that the
  // model vector falsifies. A clause not satisfied by the assigned
  // variables first gets one of its unassigned variables (absent from the
  // formula) set to satisfy it, so that the model's cost is the same for
  // every reader of the model.
  long long falsified_outside(const std::vector<BasicClause *> &cls);
  // l and e: the sums of the cores' lambdas and epsilons; a core whose
  // lambda exceeds its epsilon is reported.
  void sum_bounds(std::vector<Core *> &cores, long long &l, long long &e);
  // Detaches the per-core bounds and hardens with lb and ub.
  void harden_now(long long lb, long long ub);
  void print_clause(BasicClause *c);
  void end_iteration(double start, const Trace &t);

  void prepare_core_bounds(long long) override {}
  long long core_test_value(Core &k) override;

  std::vector<long long> kept_model_; // the last satisfiable answer's model

private:
  static const Trace kTrace;
};
