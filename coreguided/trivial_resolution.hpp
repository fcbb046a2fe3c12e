// Clique-based MaxSAT-resolution preprocessing. For k soft unit clauses
// x_1 .. x_k of which at most one can be true, because hard two-literal
// clauses (-x_i -x_j) exclude every pair, and m the least of their weights,
// every unit loses m, the clause (x_1 .. x_k) gains m, and the cost of
// every assignment that keeps the hard clauses drops by exactly (k - 1) * m:
// a lower bound gained before any SAT call. Runs only on formulas of
// two-literal clauses with many more exclusions than soft units.
//
// Two further rules on two-literal clauses, which no solver pass runs,
// derive complementary units (l) and (-l) and turn them into an empty
// clause: the cycle rule (a b), (a c), (-b -c) => (a), and the neighbourhood
// rule (a b), (a -b) => (a).
#pragma once

#include <map>
#include <set>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

// A set of mutually exclusive units: indices into the degree table.
struct CliqueSet {
  std::vector<unsigned long long> members;
  long long min_weight = 0; // least weight among the members' units
};

class TrivialResolution {
public:
  // Rewrites the cliques of cls in place; returns the lower bound gained.
  long long simplify(IDManager &imgr, BasicClauseSet &cls);
  // Lists the soft units by sign, counts the hard pairs of one sign and
  // fills the adjacency of the two-literal clauses of weight at least 1.
  void create_structures(IDManager &imgr, BasicClauseSet &cls);
  // The clique passes of simplify, on structures already built: each sign's
  // units when the hard pairs of the other sign are more than 5 per unit
  // and no clause is longer than two literals.
  void clique_resolution(IDManager &imgr, BasicClauseSet &cls);
  // Forgets the structures and takes the clauses of weight 0 out of cls.
  void destroy_structures(IDManager &imgr, BasicClauseSet &cls);
  long long clique_processor(IDManager &imgr, BasicClauseSet &cls,
                             std::vector<BasicClause *> &units);
  void compute_degrees(IDManager &imgr, BasicClauseSet &cls,
                       std::vector<BasicClause *> &units);
  // First fit: unit i joins the first set whose every member it excludes.
  void add_to_set(IDManager &imgr, BasicClauseSet &cls,
                  std::vector<BasicClause *> &units, int i);
  // Rewrites every set of two or more units; returns the gain, which is
  // also added to the bound of the current simplify.
  long long transform_clique(IDManager &imgr, BasicClauseSet &cls,
                             std::vector<BasicClause *> &units);
  // Takes every clause of weight 0 out of cls and releases it.
  void remove_null_clauses(BasicClauseSet &cls);
  void swap(unsigned int i, unsigned int j);
  // Prints the clique sets of the current pass.
  void show_sets(IDManager &imgr, BasicClauseSet &cls,
                 std::vector<BasicClause *> &units);

  // b joins the neighbours of a.
  void add_binary(long long a, long long b);
  // The clause (a b) of cls, or null (also when a and b share a variable).
  BasicClause *get_binary(long long a, long long b, BasicClauseSet &cls) const;
  // The unit (l), or (a b c), gains w by the clause creation rule of MaxSAT
  // resolution.
  void add_unary(long long l, long long w, BasicClauseSet &cls);
  void add_ternary(long long a, long long b, long long c, long long w,
                   BasicClauseSet &cls);
  // Drops a and b from each other's neighbours and releases clause (a b)
  // from cls.
  void remove_binary(long long a, long long b, BasicClauseSet &cls,
                     BasicClause *clause);
  // Resolves the units (l) and (-l) of cls into an empty clause of weight
  // m, the smaller of their weights: each soft one loses m and the bound
  // gains m. Returns m, or 0 when a unit is missing.
  long long new_empty_clause(long long l, BasicClauseSet &cls);
  // (a b), (a c), (-b -c) of least weight m give (a) weight m, with
  // (a b c) when (a b) is soft and (-a -b -c) when (-b -c) is soft; each
  // soft premise loses m. Returns m, or -1 when a premise is missing.
  long long cycle_resolution(IDManager &imgr, BasicClauseSet &cls, long long a,
                             long long b, long long c);
  // For each literal a with cycles deriving both (a) and (-a): derives
  // them and their empty clause. Stops when a derived weight is hard.
  void cycle_processor(IDManager &imgr, BasicClauseSet &cls);
  // (a b), (a -b) of least weight m give (a) weight m. Returns m, or -1
  // when a premise is missing.
  long long neighbourhood_resolution(IDManager &imgr, BasicClauseSet &cls,
                                     long long a, long long b);
  // For each literal a with neighbours b and -b: derives (a), then the
  // empty clause of (a) and (-a). Stops when a derived weight is hard.
  void neighbourhood_processor(IDManager &imgr, BasicClauseSet &cls);

  // The lower bound gained since the current simplify began (or since
  // construction, for rules run on their own).
  long long cost() const { return cost_; }

  // Empty clauses derived: k - 1 per clique of k units rewritten, 1 per
  // new_empty_clause.
  long long empty_clauses = 0;

private:
  struct DegreeEntry {
    BasicClause *unit;
    long long lit;
    long long degree;
  };
  // The hard two-literal clause (-a -b) of cls exists, so a and b are
  // never both true.
  bool excluded(BasicClauseSet &cls, long long a, long long b) const;
  // The soft clause c loses m; a hard one keeps its weight.
  static void lower(BasicClause *c, long long m, const BasicClauseSet &cls);
  // The premises of the two rules, each a clause of cls of weight at least
  // 1, over distinct variables; false when one is missing.
  bool cycle_premises(long long a, long long b, long long c,
                      BasicClauseSet &cls, BasicClause *out[3]) const;
  bool neighbourhood_premises(long long a, long long b, BasicClauseSet &cls,
                              BasicClause *out[2]) const;
  // Takes the unit u out of cls and out of the unit lists.
  void remove_unit(BasicClause *u, BasicClauseSet &cls);

  std::vector<BasicClause *> pos_units_, neg_units_; // soft units by sign
  std::vector<DegreeEntry> degrees_;
  std::vector<CliqueSet> sets_;
  int longest_ = 0;    // longest clause of weight at least 1
  int pos_pairs_ = 0;  // hard two-literal clauses of two positive literals
  int neg_pairs_ = 0;  // hard two-literal clauses of two negative literals
  long long cost_ = 0; // gained by the current simplify
  // Literal -> the other literals of its two-literal clauses of weight at
  // least 1.
  std::map<long long, std::set<long long>> binaries_;
};
