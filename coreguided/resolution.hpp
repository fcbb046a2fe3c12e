// MaxSAT resolution: one resolution step between two weighted clauses that
// keeps the weighted formula equivalent. Both parents (x A) and (-x B) lose
// the step's weight w unless hard, the resolvent (A B) gains w, and the
// compensation clauses (x A -b_i b_1 .. b_i-1) and (-x B -a_i a_1 .. a_i-1)
// of weight w restore every assignment's cost. Used to replay resolution
// refutations of cores and to rewrite cliques of soft units.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"

// What one resolution step produced.
class ResolutionResult {
public:
  explicit ResolutionResult(BasicClauseSet &cls) : cls(&cls) {}
  ResolutionResult(const ResolutionResult &) = delete;
  ResolutionResult &operator=(const ResolutionResult &) = delete;

  // The clause creation rule: the clause with these literals (sorted, no
  // repeats) is taken from the registry or created in the set with weight 0,
  // made a member of the set when it is not one (a clause outside the set
  // carries no cost of the formula, so its weight restarts at 0), and, when
  // soft, gains w up to the top weight.
  void add_resolvent(std::vector<long long> &lits, long long w);
  void add_compensation(std::vector<long long> &lits, long long w);
  BasicClause *get_resolvent() const { return resolvent; }
  // Diagnostic dump on standard output.
  void show() const;

  BasicClauseSet *cls;
  BasicClause *resolvent = nullptr; // null at start and when empty
  // -1 at start, 0 when the parents do not clash on exactly one variable,
  // else the clashing literal as it occurs in the first parent.
  long long clashing = -1;
  long long empty_weight = 0; // weight given to an empty resolvent
  std::vector<BasicClause *> compensation;

private:
  BasicClause *add_clause(std::vector<long long> &lits, long long w);
};

class Resolution {
public:
  // One MaxSAT-resolution step of weight min(w, weights of c1 and c2)
  // between c1 and c2 in cls; false (nothing changed) unless they clash on
  // exactly one variable.
  bool resolve(long long w, BasicClauseSet &cls, BasicClause *c1,
               BasicClause *c2, ResolutionResult &r);
  // The same with w the smaller of the parents' weights.
  bool resolve(BasicClauseSet &cls, BasicClause *c1, BasicClause *c2,
               ResolutionResult &r);
  // requires: A and B filled by a successful clash test.
  void create_resolvent(long long w, BasicClauseSet &cls, ResolutionResult &r);
  void compensation_clauses(std::vector<long long> &A,
                            std::vector<long long> &B, BasicClauseSet &cls,
                            BasicClause *c1, BasicClause *c2, long long w,
                            ResolutionResult &r);

  // a and b are complementary literals.
  static bool clash(long long a, long long b) { return a != b && a == -b; }
  // The literal x of c1 when exactly one literal of c1 has its complement
  // in c2, else 0; the second form also fills A and B with the parents'
  // other literals.
  static long long clause_clash(BasicClause *c1, BasicClause *c2);
  static long long clause_clash(BasicClause *c1, BasicClause *c2,
                                std::vector<long long> &A,
                                std::vector<long long> &B);
  // Orders lits as the registry keys clauses (by variable, then sign) and
  // drops repeats, so that lookups find the registered clause.
  static void normalise(std::vector<long long> &lits);
  // Two different literals of one variable occur.
  static bool is_tautology(std::vector<long long> &lits);
  static void add_literals(std::vector<long long> &from,
                           std::vector<long long> &to) {
    to.insert(to.end(), from.begin(), from.end());
  }

private:
  std::vector<long long> A_, B_, work_;
};
