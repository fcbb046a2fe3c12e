// Clique-based MaxSAT-resolution preprocessing. For k soft unit clauses
// x_1 .. x_k of which at most one can be true, because hard two-literal
// clauses (-x_i -x_j) exclude every pair, and m the least of their weights,
// every unit loses m, the clause (x_1 .. x_k) gains m, and the cost of
// every assignment that keeps the hard clauses drops by exactly (k - 1) * m:
// a lower bound gained before any SAT call. Runs only on formulas of
// two-literal clauses with many more exclusions than soft units.
#pragma once

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
  void create_structures(IDManager &imgr, BasicClauseSet &cls);
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

  // Empty clauses derived: k - 1 per clique of k units rewritten.
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

  std::vector<BasicClause *> pos_units_, neg_units_; // soft units by sign
  std::vector<DegreeEntry> degrees_;
  std::vector<CliqueSet> sets_;
  int longest_ = 0;    // longest clause of weight at least 1
  int pos_pairs_ = 0;  // hard two-literal clauses of two positive literals
  int neg_pairs_ = 0;  // hard two-literal clauses of two negative literals
  long long cost_ = 0; // gained by the current simplify
};
