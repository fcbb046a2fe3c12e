// Test-only decision procedure for encodings: a small CDCL solver (two watched
// literals, first-UIP learning), and an exhaustive check that
// a clause list, with every variable other than the inputs left free, is
// satisfiable under an assignment of the inputs exactly when a predicate
// holds. Independent of the product's SAT engine.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace enc_check {

using Clause = std::vector<long long>;
using Clauses = std::vector<Clause>;

class TinySolver {
public:
  explicit TinySolver(const Clauses &clauses);
  // Satisfiable with the given literals assumed true? Learned clauses are
  // consequences of the clauses alone and are kept across calls.
  bool solve(const std::vector<long long> &assumptions);
  // Value of a variable in the last model (false when never seen).
  bool model_value(long long var) const;

private:
  int lit_of(long long l) const; // -1 when the variable is unknown
  void assign(int lit, int reason);
  int propagate(); // conflicting clause, or -1
  void cancel_until(std::size_t level);
  void analyze(int confl, std::vector<int> &learnt, std::size_t &bt_level);
  int add_clause(std::vector<int> lits); // index of a clause of size >= 2
  int value(int lit) const;              // 1 true, -1 false, 0 unassigned
  std::size_t decision_level() const { return trail_lim_.size(); }

  std::vector<long long> vars_;       // index -> original variable
  std::vector<long long> index_of_;   // original variable -> index + 1
  std::vector<std::vector<int>> cls_; // clauses of size >= 2, learned too
  bool unsat_ = false;                // unsatisfiable without assumptions
  std::vector<std::vector<int>> watches_; // lit -> clause indices
  std::vector<signed char> assign_;       // per variable: 1, -1, 0
  std::vector<int> level_, reason_;
  std::vector<char> seen_;
  std::vector<int> trail_;
  std::vector<std::size_t> trail_lim_;
  std::size_t qhead_ = 0;
};

// Input variables are the absolute values of lits; the predicate receives
// the value of every variable of vars in that order. Returns true when the
// clauses agree with the predicate on all 2^|vars| assignments; otherwise
// fills why with the first assignment that disagrees.
bool check_equivalence(const Clauses &clauses,
                       const std::vector<long long> &vars,
                       const std::function<bool(const std::vector<bool> &)> &pred,
                       std::string *why);

} // namespace enc_check
