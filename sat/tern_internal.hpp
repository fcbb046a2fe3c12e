// Internal state and helpers of the Tern engine, shared by its source files
// (interface, search, database maintenance, traces). Not for other layers.
//
// Memory layout. Literals are slots: 2v for +v, 2v+1 for -v, so the negation
// is the slot with the lowest bit flipped. Clauses live in one arena of 32-bit
// words and are referred to by word offsets (stable across arena growth):
//
//   [clause index]   only with tracing: 2i+2 original slot i, 2j+1 learned j
//   size             number of literals
//   flags            learned, collect, locked, used, core, collected
//   link 0, link 1   watch-list links of the literals at positions 0 and 1
//   literals ...     positions 0 and 1 are watched
//   [activity]       only learned clauses of three or more literals
//
// Long clauses (and units) stand in singly linked watch lists `htps` threaded
// through the links; clauses whose other watch is true at a lower level are
// parked in `dhtps` until that level is undone. Binary clauses sit in the
// per-literal vectors `impls` with the other literal inline, so binary
// propagation does not touch the arena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "sat/tern_score.hpp"

namespace tern {

constexpr uint32_t kNone = 0xFFFFFFFFu;  // no clause / no position

// Engine states.
enum class State : int { Reset = 0, Ready = 1, Sat = 2, Unsat = 3, Unknown = 4 };

[[noreturn]] void fatal(const char *msg);  // "*** tern: " + msg, abort
[[noreturn]] void api_fatal(const char *msg);  // "*** tern: API usage: " + msg

// Accounted memory (system allocator or the external manager).
void *mem_new(size_t bytes);
void *mem_resize(void *ptr, size_t old_bytes, size_t new_bytes);
void mem_delete(void *ptr, size_t bytes);

// Growable array of trivially copyable elements; capacity doubles (0 -> 1).
template <class T> struct Stack {
  T *data = nullptr;
  size_t n = 0, cap = 0;

  size_t size() const { return n; }
  bool empty() const { return !n; }
  T &operator[](size_t i) { return data[i]; }
  const T &operator[](size_t i) const { return data[i]; }
  T &back() { return data[n - 1]; }
  T *begin() { return data; }
  T *end() { return data + n; }
  const T *begin() const { return data; }
  const T *end() const { return data + n; }
  void reserve(size_t need) {
    if (need <= cap) return;
    size_t c = cap ? cap : 1;
    while (c < need) c *= 2;
    data = (T *)mem_resize(data, cap * sizeof(T), c * sizeof(T));
    cap = c;
  }
  void push(const T &x) {
    if (n == cap) reserve(n + 1);
    data[n++] = x;
  }
  void pop() { n--; }
  void clear() { n = 0; }
  void shrink(size_t m) { n = m; }
  void resize(size_t m, const T &fill) {
    reserve(m);
    for (size_t i = n; i < m; i++) data[i] = fill;
    n = m;
  }
  void release() {
    if (data) mem_delete(data, cap * sizeof(T));
    data = nullptr;
    n = cap = 0;
  }
};

// Clause header offsets and flags.
enum : uint32_t { kSize = 0, kFlags = 1, kLink0 = 2, kLink1 = 3, kLits = 4 };
enum : uint32_t {
  kLearned = 1,
  kCollect = 2,
  kLocked = 4,
  kUsed = 8,
  kCore = 16,
  kCollected = 32,
  kFreed = 64,  // record released; its words await arena compaction
};

// Variable flags.
enum : uint32_t {
  kMark = 1,
  kMark2 = 2,       // minimisation: resolved away
  kPhase = 4,       // saved phase is positive
  kPhaseSaved = 8,
  kVarUsed = 16,
  kFailed = 32,
  kVarCore = 64,
  kPoison = 128,    // minimisation: a failing search reaches it
};

struct Var {
  uint32_t flags;
  uint32_t level;
  uint32_t reason;  // clause offset or kNone
};

struct Rank {
  Score score;
  uint32_t pos : 30;   // heap position, 0 when not on the heap
  uint32_t more : 1;   // more-important mark
  uint32_t less : 1;   // less-important mark
};

struct Bin {
  uint32_t other;  // the other literal of the binary clause
  uint32_t cref;   // the clause record
};

struct LitKey {   // sort key of a literal of a new clause
  uint64_t hi;    // assigned flag, inverted level
  uint64_t lo;    // inverted score, variable
  uint32_t lit;
};

struct Engine {
  State state = State::Reset;

  // Variables and per-literal / per-variable tables.
  uint32_t max_var = 0;
  uint32_t size_vars = 0;
  int8_t *vals = nullptr;      // per literal: 0 unassigned, 1 true, -1 false
  Score *jwh = nullptr;        // per literal: Jeroslow-Wang weight
  uint32_t *htps = nullptr;    // per literal: watch list head
  uint32_t *dhtps = nullptr;   // per literal: parked clauses
  Stack<Bin> *impls = nullptr; // per literal: binary clauses
  Var *vars = nullptr;
  Rank *rnks = nullptr;

  // Clauses.
  Stack<uint32_t> arena;
  Stack<uint32_t> oclauses;   // original slots (kNone: empty)
  Stack<uint32_t> lclauses;   // learned slots (kNone: empty)
  Stack<uint32_t> zhains;     // per learned slot: record offset in zbytes
  Stack<uint8_t> zbytes;      // derivation records: core byte, deltas, 0
  uint32_t oadded = 0, addedclauses = 0;
  uint32_t noclauses = 0, nlclauses = 0;
  uint64_t olits = 0, llits = 0;
  uint32_t llocked = 0;
  uint32_t loadded = 0, ladded = 0, lladded = 0;
  uint64_t llitsadded = 0;
  uint64_t arena_garbage = 0;  // words of freed clauses still in the arena

  // Search.
  Stack<uint32_t> trail;
  size_t ttail = 0, ttail2 = 0;
  uint32_t level = 0;
  uint32_t conflict = kNone;
  uint32_t mtcls = kNone;
  Stack<uint32_t> heap;  // variables, index 0 unused

  // Scratch.
  Stack<uint32_t> added;     // clause under construction (tern_add)
  Stack<uint32_t> llits_buf; // literals of a clause being learned
  Stack<uint32_t> marked, resolved, dfs, poisoned;
  Stack<uint32_t> slits, sants;  // clause shortened at level 0
  Stack<uint32_t> ulits, uants;  // unit derived at level 0
  Stack<uint32_t> idxbuf;        // antecedent indices of a derivation
  Stack<LitKey> litkeys;         // sort keys of a new clause's literals

  // Assumptions.
  Stack<uint32_t> als;
  size_t alstail = 0;
  uint32_t failed_assumption = 0;  // literal slot, 0 none
  bool extracted_all_failed_assumptions = false;
  uint32_t adecidelevel = 0;

  // Options.
  int verbosity = 0;
  int defaultphase = 2;
  uint32_t srng = 0;
  bool trace = false;
  FILE *out = nullptr;
  char *prefix = nullptr;
  size_t prefix_bytes = 0;
  bool measurealltimeinlib = false;

  // Memory.
  void *emgr = nullptr;
  void *(*enew)(void *, size_t) = nullptr;
  void *(*eresize)(void *, void *, size_t, size_t) = nullptr;
  void (*edelete)(void *, void *, size_t) = nullptr;
  size_t current_bytes = 0, max_bytes = 0;
  double recycled = 0;

  // Scores.
  Score vinc = 0, fvinc = 0, lvinc = 0, ilvinc = 0;
  Score cinc = 0, fcinc = 0, lcinc = 0, ilcinc = 0;

  // Limits.
  uint64_t lrestart = 0;
  uint32_t lubycnt = 0, lubymaxdelta = 0;
  bool waslubymaxdelta = false;
  uint32_t lreduce = 0, lreduceadjustcnt = 0, lreduceadjustinc = 0;
  uint64_t lastreduceconflicts = 0;
  uint64_t lsimplify = 0;
  uint32_t fsimplify = 0, isimplify = 0;
  uint64_t flips = 0;
  uint32_t sdflips = 0;
  uint32_t min_flipped = 0xFFFFFFFFu;
  uint32_t saved_max_var = 0;
  uint64_t saved_flips = 0;

  // Statistics.
  uint32_t calls = 0;
  uint64_t decisions = 0, conflicts = 0, propagations = 0;
  uint32_t restarts = 0, iterations = 0, simps = 0, reductions = 0;
  uint32_t fixed = 0, vused = 0;
  uint64_t minimizedllits = 0, nonminimizedllits = 0;
  double levelsum = 0;
  double seconds = 0;
  double entered = 0;
  int nentered = 0;
  int last_sat_call_result = 0;

  // Core.
  int64_t ocore = -1;
  uint32_t core_vars = 0, core_learned = 0;

  // Incremental RUP output.
  FILE *rup = nullptr;
  int rupvariables = 0, rupclauses = 0;
  bool rupstarted = false;

  // Reports.
  uint32_t reports = 0, lastrheader = 0;
  bool header_built = false;
  char rline[2][128];
  int rcount = 0;
};

extern Engine E;

// Literal helpers.
inline uint32_t lit_var(uint32_t l) { return l >> 1; }
inline bool lit_neg(uint32_t l) { return l & 1; }
inline int lit_to_int(uint32_t l) { return lit_neg(l) ? -(int)lit_var(l) : (int)lit_var(l); }
inline int8_t val(uint32_t l) { return E.vals[l]; }

// Clause access.
inline uint32_t *cls(uint32_t c) { return E.arena.data + c; }
inline uint32_t csize(uint32_t c) { return E.arena.data[c + kSize]; }
inline uint32_t &cflags(uint32_t c) { return E.arena.data[c + kFlags]; }
inline uint32_t *clits(uint32_t c) { return E.arena.data + c + kLits; }
inline bool clearned(uint32_t c) { return cflags(c) & kLearned; }
inline bool chas_activity(uint32_t c) { return clearned(c) && csize(c) > 2; }
inline Score &cactivity(uint32_t c) { return E.arena.data[c + kLits + csize(c)]; }
inline uint32_t cindex(uint32_t c) { return E.arena.data[c - 1]; }  // tracing
inline uint32_t cwords(uint32_t c) {
  return kLits + csize(c) + (chas_activity(c) ? 1 : 0) + (E.trace ? 1 : 0);
}

// Time.
double process_time();
void enter();
void leave();

// Search (tern_search.cpp).
void reserve_vars(size_t want);
void grow_vars(uint32_t new_max);
uint32_t import_lit(long long lit);
uint32_t add_clause(Stack<uint32_t> &lits, Stack<uint32_t> &ants, bool learned, bool effects);
void assign(uint32_t lit, uint32_t reason);
void unassign_to(uint32_t new_level);
void heap_update_up(uint32_t v);
void heap_update_down(uint32_t v);
void heap_push(uint32_t v);
void heap_rebuild();
void bump_jwh(uint32_t c);
void lock_reason(uint32_t c);
void unlock_reason(uint32_t c);
int search(int decision_limit);
void set_var_used(uint32_t v);

// Maintenance (tern_reduce.cpp).
void reduce(unsigned percentage);
void simplify();
void collect_clauses();
void report(int level, char type);
void print_header_block();
void init_reduce_limit();
void adjust_reduce_limit();

// Traces (tern_trace.cpp).
void add_derivation(const Stack<uint32_t> &ants);
void compute_core();
void analyze_failed_assumption();
void compute_failed_set();
void rup_write_header(FILE *f, int vars, int clauses);
void rup_write_learned(uint32_t c);
void clear_core_flags();
void write_trace(FILE *f, bool compact);
void write_rup(FILE *f);
void write_clausal_core(FILE *f);

}  // namespace tern
