// Test-only decision procedure for encodings: a small DPLL solver with
// unit propagation over two watched literals, and an exhaustive check that
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
  // Satisfiable with the given literals assumed true?
  bool solve(const std::vector<long long> &assumptions);
  // Value of a variable in the last model (false when never seen).
  bool model_value(long long var) const;

private:
  int lit_of(long long l) const; // -1 when the variable is unknown
  bool enqueue(int lit);
  bool propagate();
  void undo_to(std::size_t pos);
  int value(int lit) const; // 1 true, -1 false, 0 unassigned

  std::vector<long long> vars_;       // index -> original variable
  std::vector<long long> index_of_;   // original variable -> index + 1
  std::vector<std::vector<int>> cls_; // clauses of size >= 2
  std::vector<int> units_;
  bool has_empty_ = false;
  std::vector<std::vector<int>> watches_; // lit -> clause indices
  std::vector<signed char> assign_;       // per variable: 1, -1, 0
  std::vector<int> trail_;
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
