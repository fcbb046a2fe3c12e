// The pseudo-Boolean translator: a store of pseudo-Boolean constraints over
// named Boolean variables that normalises them as they come in, simplifies
// them against the literals they force, converts every remaining one through
// a BDD into a formula and clausifies the formulas into its clause store
// (BDD translation). The BDD encoding in encodings/
// drives it, one `PbSolver` per batch of constraints:
//
//   PbSolver pb;                              // one per batch
//   v = pb.getVar(name) ... pb.addConstr(ps, Cs, rhs, ineq);
//   pb.transform(ct_BDDs);                    // once
//   Finch::Solver& s = *pb.engine.finch;
//   s.simplifyDB(); s.exportClauses(clauses, units);
//
// Unsatisfiable constraints are not an error: `okay()` turns false,
// `transform` returns false and the export is then one empty clause.
#pragma once

#include "pbtranslator/fenv.hpp"
#include "pbtranslator/finch.hpp"
#include "pbtranslator/ms_global.hpp"

namespace Shrike {
class Solver; // the variable-elimination back end
}

//=============================================================================
// Linear: a stored constraint lower <= sum coefs[i] * lits[i] <= upper over
// i < size, with a literal counting 1 when true. Allocated in the arena with
// room for `slots` terms; propagation shrinks `size` in place.

struct Linear {
  int slots; // terms the record was built with
  int size;  // live terms
  Int lower; // Int_MIN for none
  Int upper; // Int_MAX for none

  // Bytes of a record of n terms; the coefficients start at the next 8-byte
  // boundary after the literals.
  static size_t bytes(int n) {
    return sizeof(Linear) + coefsOffset(n) + sizeof(Int) * (size_t)n;
  }
  static size_t coefsOffset(int n) {
    return (sizeof(Lit) * (size_t)n + 7) & ~(size_t)7;
  }
  Lit *lits() { return reinterpret_cast<Lit *>(this + 1); }
  const Lit *lits() const { return reinterpret_cast<const Lit *>(this + 1); }
  Int *coefs() {
    return reinterpret_cast<Int *>(reinterpret_cast<char *>(this + 1) +
                                   coefsOffset(slots));
  }
  const Int *coefs() const {
    return reinterpret_cast<const Int *>(
        reinterpret_cast<const char *>(this + 1) + coefsOffset(slots));
  }
  Lit operator[](int i) const { return lits()[i]; }
  Int operator()(int i) const { return coefs()[i]; }
};

//=============================================================================
// StackAlloc: an arena handing out runs of sizeof(T) units from blocks of
// `cap` units; a request above `lim` units gets a block of its own.

template <class T> class Allocator {
public:
  virtual ~Allocator() = default;
  virtual T *alloc(int n) = 0;
};

template <class T, int cap, int lim> class StackAlloc : public Allocator<T> {
  struct Node {
    T *block;
    Node *link;
    int used;
  };
  T *block;
  Node *link = nullptr;
  int used = 0;

  static T *newBlock(int n) {
    void *p = std::malloc(sizeof(T) * (size_t)n);
    if (p == nullptr)
      pbt_out_of_memory();
    return static_cast<T *>(p);
  }

public:
  StackAlloc() : block(newBlock(cap)) {}
  ~StackAlloc() override { freeAll(); }
  StackAlloc(const StackAlloc &) = delete;
  StackAlloc &operator=(const StackAlloc &) = delete;

  T *alloc(int n) override {
    if (used + n <= cap) {
      T *p = block + used;
      used += n;
      return p;
    }
    if (n > lim) {
      T *big = newBlock(n);
      link = new Node{big, link, -1};
      return big;
    }
    link = new Node{block, link, used};
    block = newBlock(cap);
    used = n;
    return block;
  }
  // Frees every block; the arena is empty (and unusable) afterwards.
  void freeAll() {
    xfree(block);
    block = nullptr;
    while (link != nullptr) {
      Node *next = link->link;
      xfree(link->block);
      delete link;
      link = next;
    }
  }
  // freeAll, then a fresh first block.
  void reset() {
    freeAll();
    block = newBlock(cap);
    used = 0;
  }
};

//=============================================================================
// Solver: the engine wrapper. Exactly one back end is present; the
// translator always uses the clause store (`Solver(true)`). The
// variable-elimination back end (namespace Shrike) is meant to plug into the
// same operations.

class Solver {
public:
  Finch::Solver *finch = nullptr;
  Shrike::Solver *shrike = nullptr;

  explicit Solver(bool use_clause_store);
  ~Solver() { destroy_solver(); }
  Solver(const Solver &) = delete;
  Solver &operator=(const Solver &) = delete;
  int newVar(bool decision_var = true);
  int nVars() const;
  // Makes p true at level 0 without reason; false when p is already false.
  bool addUnit(Lit p);
  // Adds a problem clause while the store is consistent (see
  // Finch::Solver::addClause).
  void addClause(const vec<Lit> &ps);
  lbool value(Lit p) const;
  bool &okay_ref();
  vec<lbool> &values_ref();
  vec<Lit> &trail_ref();
  Finch::SolverStats &stats_ref();
  // Deletes the clause store and clears both pointers.
  void destroy_solver();
};

//=============================================================================
// PbSolver.

enum ConvertT { ct_Sorters, ct_Adders, ct_BDDs, ct_Mixed, ct_Undef };

class PbSolver {
public:
  Solver engine;
  bool &consistent;   // engine's flag: false once unsatisfiable
  vec<lbool> &values; // engine's values per variable
  vec<Lit> &trail;    // engine's assignments in order
  StackAlloc<char *, 10000, 1000> arena; // holds the Linear records
  vec<Linear *> constraints;             // storing order; null = removed
  Linear *objective = nullptr;
  vec<int> occurrence_counts;     // per literal code: stored constraints
  vec<vec<int>> occurrence_lists; // per literal code, during propagate only
  int propagated_upto = 0;        // trail position propagated through
  Finch::SolverStats &engine_stats;
  int declared_vars = -1;
  int declared_constraints = -1;
  int translated_vars = 0;
  int translated_constraints = 0;
  vec<char *> var_names;     // variable index -> owned name
  vec<bool> best_assignment; // optimisation entry only
  Int best_goal = Int_MAX;

  PbSolver();
  ~PbSolver();
  PbSolver(const PbSolver &) = delete;
  PbSolver &operator=(const PbSolver &) = delete;

  bool okay() const { return consistent; }
  lbool value(Lit p) const {
    return sign(p) ? ~values[var(p)] : values[var(p)];
  }

  // Index of the variable called name, created when absent.
  int getVar(const char *name);
  // The index, or -1 when absent.
  int existsVar(const char *name) const;
  // Adds sum Cs[i] * ps[i] ineq rhs with ineq -2 <, -1 <=, 0 =, 1 >=, 2 >.
  // Returns the consistency flag. Coefficients that sum beyond 2^63-1 end
  // the process with "ERROR! Too large constants encountered in
  // constraint.\n" and exit status 1.
  bool addConstr(const vec<Lit> &ps, const vec<Int> &Cs, Int rhs, int ineq);
  void allocConstrs(int n_vars, int n_constrs);
  void addGoal(const vec<Lit> &ps, const vec<Int> &Cs);
  void get_goal(vec<Lit> &ps, vec<Int> &Cs) const;

  // Brings sum Cs[i] * ps[i] >= k into normal form (in place), assigning
  // the literals it forces; true when a constraint is left to store.
  bool normalizePb(vec<Lit> &ps, vec<Int> &Cs, Int &k);
  void storePb(const vec<Lit> &ps, const vec<Int> &Cs, Int lo, Int hi);

  // The translation (once per object): propagation, interval merge,
  // almost-clause splits, BDD conversion and clausification. Returns the
  // consistency flag.
  bool transform(ConvertT method);
  bool convertPbs(bool first_call);
  void propagate();
  bool propagate(Linear &c);
  void setupOccurs();
  void findIntervals();
  bool rewriteAlmostClauses();

private:
  int newNamedVar(const char *name);
};

// Prints "ERROR! Too large constants encountered in constraint.\n" on the
// error stream and exits with status 1.
[[noreturn]] void pb_too_large_constants();

// The translator's BDD conversion of one constraint (`_undef_` when more
// than max_cost nodes would be created).
Formula convertToBdd(const Linear &c, int max_cost);

// The whole comment line the bridge prints when a copied clause holds a
// literal and its negation: "c Vacuously SAT cl: \n" on standard output.
void report_vacuous_clause();
