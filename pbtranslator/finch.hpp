// Finch: the translator's clause store. It collects the clauses and forced
// literals that the translation produces, propagates units at level 0 (no
// search ever runs here), drops satisfied clauses once on request and hands
// everything back: its problem clauses and every level-0 assignment.
// Two-literal clauses are also watched inline (the other literal stored in
// the watch entry).
#pragma once

#include "pbtranslator/ms_global.hpp"

namespace Finch {

// One clause: a 32-bit header (size * 2 + learnt flag), then its literals;
// a learnt clause carries a float activity after the literals.
class Clause {
  uint32_t size_learnt;

  Clause() = default;

public:
  // Allocates a clause of the given literals (malloc); release with
  // `Clause::release`.
  static Clause *create(const vec<Lit> &ps, bool learnt);
  static void release(Clause *c) { xfree(c); }

  int size() const { return (int)(size_learnt >> 1); }
  bool learnt() const { return size_learnt & 1; }
  Lit *lits() { return reinterpret_cast<Lit *>(this + 1); }
  const Lit *lits() const { return reinterpret_cast<const Lit *>(this + 1); }
  Lit &operator[](int i) { return lits()[i]; }
  Lit operator[](int i) const { return lits()[i]; }
  float &activity() { return *reinterpret_cast<float *>(lits() + size()); }
};

// A watch or reason entry: a clause pointer (bit 0 clear, null = none) or,
// for a binary clause, its other literal l stored as 2l + 1.
class LitClauseUnion {
  uintptr_t data;

public:
  LitClauseUnion() : data(0) {}
  static LitClauseUnion of(Clause *c) {
    LitClauseUnion u;
    u.data = reinterpret_cast<uintptr_t>(c);
    return u;
  }
  static LitClauseUnion of(Lit p) {
    LitClauseUnion u;
    u.data = ((uintptr_t)(uint32_t)toInt(p) << 1) | 1;
    return u;
  }
  bool isLit() const { return data & 1; }
  bool isNull() const { return data == 0; }
  Lit lit() const { return toLit((int)(uint32_t)(data >> 1)); }
  Clause *clause() const { return reinterpret_cast<Clause *>(data); }
  bool operator==(LitClauseUnion o) const { return data == o.data; }
};
const LitClauseUnion Clause_NULL = LitClauseUnion();

// Removes the first entry equal to elem (later entries shift down); returns
// its former position, -1 when absent.
int removeWatch(vec<LitClauseUnion> &ws, LitClauseUnion elem);

struct SolverStats {
  int64_t clauses = 0;          // problem clauses held
  int64_t clauses_literals = 0; // literals in them
  int64_t learnts = 0;          // learnt clauses held
  int64_t learnts_literals = 0; // literals in them
  int64_t propagations = 0;     // literals propagated
};

class Solver {
public:
  vec<Clause *> problem_clauses;        // in the order added
  vec<Clause *> learnt_clauses;         // never filled on this road
  vec<char> decision;                   // decision flag per variable
  vec<vec<LitClauseUnion>> watch_lists; // per literal code: inspect when true
  bool consistent = true;      // false once the clauses are known unsatisfiable
  vec<lbool> values;           // per variable
  vec<Lit> trail;              // assignments in order
  vec<int> level_starts;       // trail positions of decision levels (none here)
  vec<LitClauseUnion> reasons; // per variable, none for units and decisions
  vec<int> levels;             // per variable, -1 while unassigned
  int root_level = 0;
  int simplified_at = -1;   // trail length at the last simplifyDB
  int propagation_head = 0; // next trail position to propagate
  SolverStats stats;

  Solver();
  ~Solver();
  Solver(const Solver &) = delete;
  Solver &operator=(const Solver &) = delete;

  int nVars() const { return values.size(); }
  int decisionLevel() const { return level_starts.size(); }
  lbool value(int x) const { return values[x]; }
  lbool value(Lit p) const {
    return sign(p) ? ~values[var(p)] : values[var(p)];
  }
  bool okay() const { return consistent; }

  // Creates a variable and returns its index.
  int newVar(bool decision_var = true);
  // Makes p true at the current level with the given reason; false when p
  // is already false (true when already true).
  bool enqueue(Lit p, LitClauseUnion from = Clause_NULL);
  // Normalises ps (false literals, duplicates, tautologies) and stores it;
  // a unit is enqueued without reason. Returns false when the result is
  // the empty clause or a unit that is already false. out gets the stored
  // clause, or null.
  bool newClause(const vec<Lit> &ps, bool learnt, Clause *&out);
  // The translator's clause entry: adds ps while the store is consistent and
  // records the outcome in `consistent`.
  void addClause(const vec<Lit> &ps);
  // Unit propagation from propagation_head; the conflicting clause or null.
  // A binary conflict is returned in a scratch clause.
  Clause *propagate();
  // Propagates, then drops every clause with a true literal.
  void simplifyDB();
  // The store's contents for the caller: every level-0 assignment (variable
  // order) as a unit and every problem clause. When the store is
  // inconsistent the export is exactly one empty clause and no unit, so a
  // caller that copies the clauses gets an unsatisfiable set.
  // Clauses stay owned by the store.
  void exportClauses(vec<Clause *> &clauses_out, vec<Lit> &units_out);
  // Unwatches (unless just_dealloc) and releases c.
  void remove(Clause *c, bool just_dealloc = false);

private:
  Clause *binary_conflict; // scratch clause of a conflicting binary clause
  Clause *empty_clause = nullptr; // exported when inconsistent
};

} // namespace Finch
