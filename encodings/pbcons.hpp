// The bridge between the program's clause model and the pseudo-Boolean
// translator (PbSolver): one PbCons per batch of weighted constraints. Each
// program literal becomes a named translator variable ("x12" for literal 12,
// "x-12" for -12: a negative literal is a variable of its own, which keeps
// every encoding equivalent under the substitution back). The batch is
// translated through BDDs once, and the translator's clauses come back into
// the caller's set as hard clauses, the translator's own auxiliary variables
// taking fresh program variables from the identifier manager.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "pbtranslator/pb_solver.hpp"

// Relation of a stored constraint.
enum class pb_inequality : int {
  LessThan = 0,
  AtMost = 1,
  Equal = 2,
  AtLeast = 3,
  GreaterThan = 4
};

class PbCons {
public:
  PbCons() = default;
  ~PbCons() = default;
  PbCons(const PbCons &) = delete;
  PbCons &operator=(const PbCons &) = delete;

  // Stores sum coeffs[i] * lits[i] <ineq> rhs in the translator. Literals
  // whose variable needs more than 31 bits end the run (tool_abort).
  void add_pb_constraint(const std::vector<long long> &lits,
                         const std::vector<long long> &coeffs, long long rhs,
                         pb_inequality ineq);
  // The same with the relation as its number (0 <, 1 <=, 2 =, 3 >=, 4 >).
  void add_pb_constraint(const std::vector<long long> &lits,
                         const std::vector<long long> &coeffs, long long rhs,
                         int ineq) {
    add_pb_constraint(lits, coeffs, rhs, static_cast<pb_inequality>(ineq));
  }
  // Translates every stored constraint (convert: a ConvertT, 2 = BDDs; the
  // translator takes one translation per object) and adds the resulting
  // clauses to clset as hard clauses; then empties the variable map.
  // Returns the translator's verdict: false when the stored constraints are
  // unsatisfiable, in which case clset has received the empty clause.
  int transform_pb_constraints(IDManager &imgr, BasicClauseSet &clset,
                               int convert);
  // The copy step of transform_pb_constraints.
  void add_clauses(IDManager &imgr, BasicClauseSet &clset);
  // Appends the program literal of translator literal p to clause; a
  // translator variable seen for the first time takes a fresh program
  // variable.
  void add_literal(IDManager &imgr, BasicClauseSet &clset, Lit p,
                   std::vector<long long> &clause);
  // Sorts and de-duplicates lits, then makes the clause a member of clset
  // with weight min(w, top weight) at least; returns it.
  BasicClause *add_clause(BasicClauseSet &clset, std::vector<long long> &lits,
                          long long w);
  // On a vector sorted by variable: keeps the first of every run of equal
  // neighbours. A literal next to its negation is reported as a comment
  // line ("Vacuously SAT cl: ") and both are kept.
  static void remove_duplicates(std::vector<long long> &lits);
  // The translator's relation code of ineq: -2 <, -1 <=, 0 =, 1 >=, 2 >.
  static int get_inequality_id(pb_inequality ineq);
  // Diagnostic: clset in WCNF form on standard output.
  void show_formula(IDManager &imgr, BasicClauseSet &clset);
  static long long string_to_int(const std::string &text);
  static std::string int_to_string(long long n);

  PbSolver &solver() { return pb_; }
  const std::map<int, int> &variable_map() const { return vmap_; }

private:
  PbSolver pb_;             // the translator of this batch
  std::map<int, int> vmap_; // translator variable -> program literal
};
