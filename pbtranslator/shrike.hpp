// Shrike: the translator's variable-elimination preprocessor with its own
// CDCL search. Clauses live in occurrence lists; the database is simplified
// by backward subsumption, self-subsuming resolution, root propagation,
// variable elimination by clause distribution and by substitution of
// definitions (equivalences and AND-gates). Eliminated clauses go to a binary
// elimination record, from which `extendModel` rebuilds values for the
// eliminated variables. Bounded variable elimination with clause signatures
// and occurrence-list driven subsumption.
//
//   Shrike::Solver s(1, nullptr);      // occurrence lists for problem clauses
//   int x = s.newVar(true); ...
//   s.addClause(lits, false, Clause_NULL);
//   if (s.solve()) ... s.model[x] ...   // extended to eliminated variables
#pragma once

#include "pbtranslator/ms_global.hpp"

#include <cstdio>

namespace Shrike {

//=============================================================================
// Options: fixed values, changed only by tests.

extern bool opt_0sub;         // backward subsumption
extern bool opt_1sub;         // self-subsuming resolution
extern bool opt_2sub;         // read nowhere
extern bool opt_var_elim;     // variable elimination phase
extern bool opt_unit_def;     // elimination by equivalences
extern bool opt_def_elim;     // elimination by definitions
extern bool opt_hyper1_res;   // hyper-resolution test in findDef
extern bool opt_confl_1sub;   // learnt-clause minimisation by reasons
extern bool opt_confl_ksub;   // learnt-clause minimisation over levels
extern bool opt_niver;        // elimination bound on literals
extern bool opt_pure_literal; // pure-literal assignment
extern bool opt_asym_branch;  // asymmetric branching
extern bool opt_repeated_sub; // subsumption at every root simplification
extern bool opt_keep_all;     // learnt clauses stored as problem clauses
extern bool opt_no_random;    // no random decisions
extern bool opt_pre_sat;      // write the simplified formula and stop
extern bool opt_ext_sat;      // read nowhere

// File names of the write-and-stop mode (null: not given).
extern const char *input_file;
extern const char *output_file;
extern const char *varmap_file;
extern const char *elimed_file;
extern const char *model_file;

// The preprocessor's report routine: "c " before every line, a backspace
// toggles bold output.
void reportf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The opposite polarity's abstraction bits: bit 2k and 2k+1 swapped.
inline uint64_t partnerBits(uint64_t a) {
  return ((a & 0x5555555555555555ULL) << 1) |
         ((a & 0xAAAAAAAAAAAAAAAAULL) >> 1);
}
inline uint64_t litBit(Lit p) { return (uint64_t)1 << (toInt(p) & 63); }

//=============================================================================
// Clause: a handle to one heap block (id, abstraction, size word, literals,
// and for a learnt clause an activity behind the literals).

struct ClauseBlock {
  int id;               // slot in clauses or learnts
  uint64_t abst;        // OR of 1 << (literal mod 64)
  uint32_t size_learnt; // size * 2 + learnt
  Lit *lits() { return reinterpret_cast<Lit *>(this + 1); }
};

class Clause {
  ClauseBlock *b;

public:
  Clause() : b(nullptr) {}
  explicit Clause(ClauseBlock *blk) : b(blk) {}
  ClauseBlock *block() const { return b; }
  bool null() const { return b == nullptr; }
  int id() const { return b->id; }
  void setId(int i) { b->id = i; }
  int size() const { return (int)(b->size_learnt >> 1); }
  bool learnt() const { return b->size_learnt & 1; }
  uint64_t abst() const { return b->abst; }
  Lit &operator[](int i) { return b->lits()[i]; }
  Lit operator[](int i) const { return b->lits()[i]; }
  float &activity() const {
    return *reinterpret_cast<float *>(b->lits() + size());
  }
  bool operator==(Clause o) const { return b == o.b; }
  bool operator!=(Clause o) const { return b != o.b; }
};
const Clause Clause_NULL = Clause();

// Allocates a clause of ps (id -1 until a slot is taken); with reuse, that
// record is resized and its id kept.
Clause allocClause(const vec<Lit> &ps, bool learnt, Clause reuse = Clause_NULL);
// Releases the block of a detached clause (its id is freed separately).
void deallocClause(Clause c);

// A temporary clause owned by the code that builds it (id -1).
class Clause_t {
  vec<Lit> ls;

public:
  int id() const { return -1; }
  int size() const { return ls.size(); }
  bool learnt() const { return false; }
  uint64_t abst() const {
    uint64_t a = 0;
    for (Lit p : ls)
      a |= litBit(p);
    return a;
  }
  Lit &operator[](int i) { return ls[i]; }
  Lit operator[](int i) const { return ls[i]; }
  void push(Lit p) { ls.push(p); }
  void clear() { ls.clear(); }
  vec<Lit> &lits() { return ls; }
  const vec<Lit> &lits() const { return ls; }
};

//=============================================================================
// CSet: an indexed set of clauses with holes, keyed by clause id.

class CSet {
  vec<int> where;    // per clause id: position in which, or -1
  vec<Clause> which; // members; null at a hole
  vec<int> free_;    // hole positions

public:
  int size() const { return which.size(); } // holes included
  Clause operator[](int i) const { return which[i]; }
  // True when c was present already.
  bool add(Clause c);
  // True when c was present (and is removed).
  bool exclude(Clause c);
  void clear();
};

template <class T> class Queue {
  vec<T> elems;
  int head = 0;

public:
  void insert(T x) { elems.push(x); }
  T dequeue() { return elems[head++]; }
  bool empty() const { return head == elems.size(); }
  void clear() {
    elems.clear();
    head = 0;
  }
};

// Marks b in seen, tests whether every literal of a is marked, unmarks b.
template <class A, class B>
bool subset(const A &a, const B &b, vec<char> &seen) {
  for (int i = 0; i < b.size(); i++)
    seen[toInt(b[i])] = 1;
  bool result = true;
  for (int i = 0; i < a.size(); i++)
    if (!seen[toInt(a[i])]) {
      result = false;
      break;
    }
  for (int i = 0; i < b.size(); i++)
    seen[toInt(b[i])] = 0;
  return result;
}

// The resolvent of a on p with b on q (q = ~p) in out; false for a
// tautology.
bool merge(Clause a, Clause b, Lit p, Lit q, vec<char> &seen, vec<Lit> &out);

enum OccurMode { occ_Off = 0, occ_Permanent = 1, occ_All = 2 };

struct SearchParams {
  double var_decay, clause_decay, random_var_freq;
  bool simplify;
  SearchParams(double v = 1, double c = 1, double r = 0, bool s = true)
      : var_decay(v), clause_decay(c), random_var_freq(r), simplify(s) {}
};

struct SolverStats {
  int64_t starts = 0, decisions = 0, propagations = 0, inspects = 0,
          conflicts = 0, reduceDBs = 0; // counters of the search
};

// Decision variables ordered by activity (most active first).
struct VarOrderLt {
  const vec<double> *act;
  bool operator()(int a, int b) const { return (*act)[a] > (*act)[b]; }
};

//=============================================================================
// Solver.

class Solver {
public:
  bool ok = true; // false once a contradiction is derived

  vec<Clause> clauses; // problem clauses by id (null when free)
  vec<int> freeClauseIds;
  vec<Clause> learnts; // learnt clauses by id
  vec<int> freeLearntIds;
  double claInc = 1.0, claDecay = 1.0;
  int nLiterals = 0; // literals in problem clauses

  FILE *elimFile = nullptr;     // elimination record
  char *elimFileName = nullptr; // owned; null for a named record

  vec<vec<Clause> *> iterations; // vectors walked while clauses may vanish
  vec<CSet *> iterationSets;

  vec<double> activity;
  vec<lbool> polarity;
  double varInc = 1.0, varDecay = 1.0;
  Heap<VarOrderLt> order;
  double random_seed = 91648253.0;
  vec<char> decisionVar;

  vec<vec<Clause>> watches; // per literal: clauses to visit when it is true
  bool watchesActive = true;

  vec<vec<Clause>> occur; // per literal: listed clauses containing it
  int occurMode;
  vec<int> nOccurs; // per literal: occurrences in problem clauses

  Queue<Lit> propQ;

  vec<lbool> assigns;
  vec<Lit> pendingUnits;
  vec<Lit> trail;
  vec<int> trailLim;
  vec<Clause> reason;
  vec<int> level;
  int rootLevel = 0;
  int simpDBAssigns = -1;

  vec<char> touched;
  vec<int> touchedVars;
  CSet clTouched; // clauses rewritten in place
  CSet clAdded;   // clauses added afresh
  bool checkSubsumedOnAdd = false;

  vec<char> eliminated;
  vec<char> frozen;
  int64_t simpDBInspects = 0;
  vec<char> seen; // per literal, all 0 between operations
  vec<int> ioBuffer;

  SolverStats stats;
  double progress_estimate = 0;
  vec<lbool> model;
  int verbosity = 0;

  // requires: a record name that can be created, or null for a temporary
  // file under /tmp.
  Solver(int occur_mode, const char *record_name);
  ~Solver();
  Solver(const Solver &) = delete;
  Solver &operator=(const Solver &) = delete;

  int nVars() const { return assigns.size(); }
  int nClauses() const { return clauses.size() - freeClauseIds.size(); }
  int nLearnts() const { return learnts.size() - freeLearntIds.size(); }
  int decisionLevel() const { return trailLim.size(); }
  lbool value(int x) const { return assigns[x]; }
  lbool value(Lit p) const {
    return sign(p) ? ~assigns[var(p)] : assigns[var(p)];
  }
  bool okay() const { return ok; }
  bool listed(Clause c) const {
    return occurMode == occ_All || (occurMode == occ_Permanent && !c.learnt());
  }

  int newVar(bool decision = true);
  Clause addClause(const vec<Lit> &ps, bool learnt = false,
                   Clause reuse = Clause_NULL);
  void setOccurMode(int m);

  // Simplification (shrike.cpp).
  void unlinkClause(Clause c, int elimVar = -1);
  void freeClause(Clause c); // frees the id and the block of a detached c
  // The rewritten clause, or null when it became a unit or satisfied.
  Clause strengthenClause(Clause c, Lit p);
  void subsume0(Clause c, int *counter = nullptr);
  void subsume1(Clause c, int *counter = nullptr);
  template <class C> bool isSubsumed(const C &c);
  template <class C> void findSubsumed(const C &c, vec<Clause> &out);
  void propagateToplevel();
  bool maybeEliminate(int v);
  Lit findUnitDef(int v, vec<Clause> &pos, vec<Clause> &neg);
  bool findDef(Lit p, vec<Clause> &pos, vec<Clause> &neg, Clause_t &def);
  int substitute(Lit p, const Clause_t &def, vec<Clause> &pos, vec<Clause> &neg,
                 vec<Clause> *out);
  void asymmetricBranching(Lit p);
  void orderVarsForElim(vec<int> &out);
  void simplifyBySubsumption(bool withElimination);
  void registerIteration(vec<Clause> &v) { iterations.push(&v); }
  void unregisterIteration(vec<Clause> &v);
  void registerSet(CSet &s) { iterationSets.push(&s); }
  void unregisterSet(CSet &s);
  void touch(int v) {
    if (!touched[v]) {
      touched[v] = 1;
      touchedVars.push(v);
    }
  }

  // Search (shrike_search.cpp).
  bool solve(const vec<Lit> &assumptions);
  bool solve() {
    vec<Lit> none;
    return solve(none);
  }
  lbool search(int nofConflicts, int nofLearnts, const SearchParams &params);
  Clause propagate();
  // requires: decision level 0. Propagates; a conflict sets ok false.
  // Returns ok.
  bool propagateRoot();
  bool enqueue(Lit p, Clause from = Clause_NULL);
  bool assume(Lit p);
  void cancel();
  void cancelUntil(int lvl);
  void analyze(Clause confl, vec<Lit> &out_learnt, int &out_btlevel);
  void reduceDB();
  void simplifyDB(bool expensive = true);
  void setupWatches();
  void watch(Clause c, Lit p) { watches[toInt(p)].push(c); }
  void claBumpActivity(Clause c);
  void varBumpActivity(Lit p);
  void varRescaleActivity();
  double progressEstimate() const;
  bool satisfied(Clause c) const;
  void extendModel();
  void record(const vec<Lit> &lits);
  void calcReason(Clause c, Lit p, vec<Lit> &out);
  bool propagateClause(Clause c, Lit p, bool &keepWatch);

  // Files (shrike_files.cpp).
  void createTmpFiles(const char *recordName);
  // Append c to the elimination record / flush it; a failed write prints
  // "ERROR! Could not write file: <name>" and exits with status 1.
  void writeRecord(Clause c);
  void flushRecord();
  void writeSimplified(); // the write-and-stop mode; ends the process

private:
  void eliminateBy(int v, Lit p, const Clause_t *def);
  int countResolvents(int v, vec<Clause> &pos, vec<Clause> &neg, int limit,
                      int &sum);
  void dropStaleLearnts();
  void reportElimStatus(int clauses_before, int literals_before);
  void takeSlot(Clause c);
  void pureLiterals();
};

} // namespace Shrike
