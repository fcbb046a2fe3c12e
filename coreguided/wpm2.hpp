// Weighted PM2 over covers, for weighted partial MaxSAT. Every soft clause
// gets one relaxation variable r. A cover is a set of relaxation variables
// with a bound k: its clauses cost exactly k in the best assignment known
// to be possible so far. Each cover carries the at-most constraint
// sum(w r) <= k while it exists and, once a core has touched it, the
// at-least constraint sum(w r) >= k for the rest of the run. A core merges
// the covers it touches into one; the merged bound is the next subset sum
// of the cover's weights that the at-least constraints inside it allow.
// When the formula is satisfiable, the covers' bounds add up to the
// optimum cost.
#pragma once

#include <list>
#include <map>
#include <set>
#include <vector>

#include "coreguided/pm2p1.hpp"

// A cover's at-most constraint: its clauses, its bound and its weighted
// relaxation variables.
struct am_constr {
  BasicClauseSet clauses;
  long long k = 0;
  std::vector<long long> lits;
  std::vector<long long> weights;
};

using CoverConstraints = std::map<std::set<long long>, am_constr>;

class WPM2 : public PM2p1 {
public:
  WPM2() = default;
  ~WPM2() override = default;

  // The optimum cost, or -1 when the hard clauses are unsatisfiable.
  // requires: init
  long long solve() override;

  // One cover of bound 0 per relaxation variable (all soft clauses are
  // relaxed here), then each initial core merged in; deletes the Core
  // objects.
  void initialize_covers(std::vector<Core *> &cores, BasicClauseSet &alset,
                         BasicClauseSet &amset, CoverConstraints &constraints);
  // Merges the covers that core touches into one, with the next bound, its
  // at-least constraint (kept in alset and the input set) and its at-most
  // constraint; prints the new lower bound.
  void update_covers_and_constraints(const std::set<long long> &core,
                                     BasicClauseSet &alset,
                                     BasicClauseSet &amset,
                                     CoverConstraints &constraints);
  // The smallest subset sum of cover's weights above the bounds of the
  // covers inside it at which the at-least constraints of alset allow
  // exactly that cost on cover.
  long long newbound(BasicClauseSet &alset, const std::set<long long> &cover,
                     CoverConstraints &constraints, BasicClauseSet &amset);
  // Attaches the clauses of am's at-most constraint to target, without
  // references (detach_clause_set takes them out again). The third set is
  // not used.
  void add_AM(IDManager &imgr, BasicClauseSet &target, BasicClauseSet &,
              am_constr &am);
  // Erases from `from` every set equal to a set of `which`.
  void remove_if_exists(std::list<std::set<long long>> &from,
                        const std::list<std::set<long long>> &which);

protected:
  // The sum of the covers' bounds.
  static long long lower_bound(const CoverConstraints &constraints);
};
