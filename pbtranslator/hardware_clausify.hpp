// Clausifier: asserts formulas of the formula environment in the engine.
// Every compound node gets one engine variable; for each polarity in which
// the node is used only the clauses of that direction are added (the
// variable implies the node for a positive use, the node implies the
// variable for a negated use), and conjunctions used once are flattened
// into one clause (a polarity-based definitional encoding).
#pragma once

#include "pbtranslator/fenv.hpp"
#include "pbtranslator/pb_solver.hpp"

class Clausifier {
public:
  Solver &s;
  vec<Lit> tmp_clause;  // scratch clause
  vec<Formula> marked;  // formulas marked by the current collect
  vec<int> use_counts;  // per node index, default 0
  vec<Lit> literals[2]; // per (sign, node index), default lit_Undef
  vec<char> seen_atoms; // per atom variable
  vec<char> seen_nodes; // per node index

  explicit Clausifier(Solver &solver) : s(solver) {}

  void usage(Formula f);
  // The conjuncts of the AND node f, with unnegated singly-used AND
  // operands flattened in; each formula appears once.
  void collect(Formula f, vec<Formula> &out);
  void _collect(Formula g, vec<Formula> &out);
  // The literal standing for f, adding the clauses of f's polarity.
  Lit polarityClausify(Formula f);
  void clause(Lit a, Lit b, Lit c);
  void clause(Lit a, Lit b, Lit c, Lit d);

private:
  void addTmpClause() { s.addClause(tmp_clause); }
  char &seen(Formula g);
  int uses(int node) const {
    return node < use_counts.size() ? use_counts[node] : 0;
  }
};

// Asserts every formula at level 0 (the consistency flag records a
// failure).
void clausify(Solver &s, const vec<Formula> &fs);
// Clausifies the formulas and appends the literal of each to out, in order.
void clausify(Solver &s, const vec<Formula> &fs, vec<Lit> &out);
