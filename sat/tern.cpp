// Tern engine interface: the state machine, usage checks, memory and time
// accounting, statistics and the plain `tern_*` functions over the one
// process-wide engine state.
#include "sat/tern.hpp"

#include <sys/resource.h>

#include <algorithm>
#include <cstdarg>
#include <climits>
#include <cstdlib>

#include "sat/tern_internal.hpp"

namespace tern {

Engine E;

void fatal(const char *msg) {
  fprintf(stderr, "*** tern: %s\n", msg);
  fflush(stderr);
  abort();
}

void api_fatal(const char *msg) {
  fprintf(stderr, "*** tern: API usage: %s\n", msg);
  fflush(stderr);
  abort();
}

// ---------------------------------------------------------------------------
// Memory accounting.

static void account(size_t old_bytes, size_t new_bytes) {
  E.current_bytes = E.current_bytes - old_bytes + new_bytes;
  if (E.current_bytes > E.max_bytes) E.max_bytes = E.current_bytes;
}

void *mem_new(size_t bytes) {
  if (!bytes) return nullptr;
  void *p = E.enew ? E.enew(E.emgr, bytes) : malloc(bytes);
  if (!p) fatal("out of memory in 'new'");
  account(0, bytes);
  return p;
}

void *mem_resize(void *ptr, size_t old_bytes, size_t new_bytes) {
  if (!ptr) return mem_new(new_bytes);
  if (!new_bytes) {
    mem_delete(ptr, old_bytes);
    return nullptr;
  }
  void *p = E.eresize ? E.eresize(E.emgr, ptr, old_bytes, new_bytes) : realloc(ptr, new_bytes);
  if (!p) fatal("out of memory in 'resize'");
  account(old_bytes, new_bytes);
  return p;
}

void mem_delete(void *ptr, size_t bytes) {
  if (!ptr) return;
  if (E.edelete) E.edelete(E.emgr, ptr, bytes);
  else free(ptr);
  account(bytes, 0);
}

// ---------------------------------------------------------------------------
// Time.

double process_time() {
  struct rusage u;
  if (getrusage(RUSAGE_SELF, &u)) return 0;
  return (double)u.ru_utime.tv_sec + 1e-6 * (double)u.ru_utime.tv_usec +
         (double)u.ru_stime.tv_sec + 1e-6 * (double)u.ru_stime.tv_usec;
}

void enter() {
  if (E.nentered++) return;
  E.entered = process_time();
}

void leave() {
  if (--E.nentered) return;
  double delta = process_time() - E.entered;
  if (delta < 0) delta = 0;
  E.seconds += delta;
}

// Timed section that measures only when all calls are measured.
struct OptionalTimer {
  bool on;
  OptionalTimer() : on(E.measurealltimeinlib) {
    if (on) enter();
  }
  ~OptionalTimer() {
    if (on) leave();
  }
};

struct Timer {
  Timer() { enter(); }
  ~Timer() { leave(); }
};

// ---------------------------------------------------------------------------
// Usage checks.

static void check_init() {
  if (E.state == State::Reset) api_fatal("uninitialized");
}

static void check_sat_state() {
  check_init();
  if (E.state != State::Sat) api_fatal("expected to be in SAT state");
}

static void check_unsat_state() {
  check_init();
  if (E.state != State::Unsat) api_fatal("expected to be in UNSAT state");
}

static void check_answered_state() {
  check_init();
  if (E.state == State::Ready) api_fatal("expected to be in SAT, UNSAT, or UNKNOWN state");
}

// Incremental reset: from an answer back to READY at level 0.
static void reset_incremental() {
  check_answered_state();
  unassign_to(0);
  if (E.extracted_all_failed_assumptions)
    for (uint32_t a : E.als) E.vars[lit_var(a)].flags &= ~kFailed;
  E.als.clear();
  E.alstail = 0;
  E.failed_assumption = 0;
  E.extracted_all_failed_assumptions = false;
  E.adecidelevel = 0;
  E.conflict = kNone;
  clear_core_flags();
  E.saved_max_var = E.max_var;
  E.saved_flips = E.flips;
  E.min_flipped = 0xFFFFFFFFu;
  E.state = State::Ready;
}

static void ensure_ready() {
  if (E.state != State::Ready) reset_incremental();
}

// Variable of a query literal, 0 when above the largest variable.
static uint32_t query_var(long long lit) {
  unsigned long long v = lit < 0 ? 0ull - (unsigned long long)lit : (unsigned long long)lit;
  return v > E.max_var ? 0 : (uint32_t)v;
}

static void check_deref_lit(long long lit) {
  if (!lit) api_fatal("can not deref zero literal");
  if (E.mtcls != kNone) api_fatal("deref after empty clause generated");
}

}  // namespace tern

using namespace tern;

// ---------------------------------------------------------------------------
// Life cycle and options.

void tern_init() {
  if (E.state != State::Reset) api_fatal("multiple initializations");
  if (E.enew || E.eresize || E.edelete) {
    if (!E.enew) api_fatal("missing 'tern_set_new'");
    if (!E.eresize) api_fatal("missing 'tern_set_resize'");
    if (!E.edelete) api_fatal("missing 'tern_set_delete'");
  }
  E.size_vars = 1;
  E.vals = (int8_t *)mem_new(2);
  E.vals[0] = E.vals[1] = 0;
  E.jwh = (Score *)mem_new(2 * sizeof(Score));
  E.jwh[0] = E.jwh[1] = 0;
  E.htps = (uint32_t *)mem_new(2 * sizeof(uint32_t));
  E.dhtps = (uint32_t *)mem_new(2 * sizeof(uint32_t));
  E.htps[0] = E.htps[1] = E.dhtps[0] = E.dhtps[1] = kNone;
  E.impls = (Stack<Bin> *)mem_new(2 * sizeof(Stack<Bin>));
  new (&E.impls[0]) Stack<Bin>();
  new (&E.impls[1]) Stack<Bin>();
  E.vars = (Var *)mem_new(sizeof(Var));
  E.vars[0] = Var{0, 0, kNone};
  E.rnks = (Rank *)mem_new(sizeof(Rank));
  E.rnks[0] = Rank{0, 0, 0, 0};
  E.heap.push(0);  // index 0 unused
  E.vinc = kScoreOne;
  E.fvinc = score_from_text("1.05");
  E.lvinc = kScore2p90;
  E.ilvinc = kScore2m90;
  E.cinc = kScoreOne;
  E.fcinc = score_from_text("1.001");
  E.lcinc = kScore2p90;
  E.ilcinc = kScore2m90;
  E.lreduceadjustcnt = E.lreduceadjustinc = 100;
  E.out = stdout;
  E.prefix_bytes = 3;
  E.prefix = (char *)mem_new(E.prefix_bytes);
  memcpy(E.prefix, "c ", 3);
  E.verbosity = 0;
  E.defaultphase = 2;
  E.last_sat_call_result = 0;
  E.ocore = -1;
  E.min_flipped = 0xFFFFFFFFu;
  E.state = State::Ready;
}

void tern_reset() {
  check_init();
  for (size_t l = 0; l < 2 * (size_t)E.size_vars; l++) E.impls[l].release();
  mem_delete(E.vals, 2 * (size_t)E.size_vars);
  mem_delete(E.jwh, 2 * (size_t)E.size_vars * sizeof(Score));
  mem_delete(E.htps, 2 * (size_t)E.size_vars * sizeof(uint32_t));
  mem_delete(E.dhtps, 2 * (size_t)E.size_vars * sizeof(uint32_t));
  mem_delete(E.impls, 2 * (size_t)E.size_vars * sizeof(Stack<Bin>));
  mem_delete(E.vars, (size_t)E.size_vars * sizeof(Var));
  mem_delete(E.rnks, (size_t)E.size_vars * sizeof(Rank));
  Stack<uint32_t> *stacks[] = {&E.arena,  &E.oclauses, &E.lclauses, &E.zhains,
                               &E.trail,  &E.heap,     &E.added,    &E.llits_buf,
                               &E.marked, &E.resolved, &E.dfs, &E.poisoned,      &E.slits,
                               &E.sants,  &E.ulits,    &E.uants,    &E.idxbuf,
                               &E.als};
  for (Stack<uint32_t> *s : stacks) s->release();
  E.zbytes.release();
  E.litkeys.release();
  mem_delete(E.prefix, E.prefix_bytes);
  E = Engine();
}

void tern_set_verbosity(int level) {
  check_init();
  E.verbosity = level;
}

void tern_set_seed(unsigned seed) {
  check_init();
  E.srng = seed;
}

int tern_enable_trace_generation() {
  check_init();
  if (E.oadded || E.addedclauses) api_fatal("trace generation enabled after adding clauses");
  E.trace = true;
  return 1;
}

void tern_set_global_default_phase(int phase) {
  check_init();
  if (phase < 0) api_fatal("'tern_set_global_default_phase' with negative argument");
  if (phase > 3) api_fatal("'tern_set_global_default_phase' with argument > 3");
  E.defaultphase = phase;
}

void tern_set_default_phase_lit(long long lit, int phase) {
  check_init();
  if (!lit) api_fatal("zero literal can not have a default phase");
  uint32_t l = import_lit(lit);
  Var &var = E.vars[lit_var(l)];
  if (phase) {
    if ((lit > 0) == (phase > 0)) var.flags |= kPhase;
    else var.flags &= ~kPhase;
    var.flags |= kPhaseSaved;
  } else {
    var.flags &= ~kPhaseSaved;
  }
}

void tern_set_more_important_lit(long long lit) {
  check_init();
  if (!lit) api_fatal("zero literal can not be marked important");
  uint32_t v = lit_var(import_lit(lit));
  Rank &r = E.rnks[v];
  if (r.less) fatal("can not mark variable more and less important");
  if (r.more) return;
  r.more = 1;
  heap_update_up(v);
}

void tern_set_less_important_lit(long long lit) {
  check_init();
  if (!lit) api_fatal("zero literal can not be marked important");
  uint32_t v = lit_var(import_lit(lit));
  Rank &r = E.rnks[v];
  if (r.more) fatal("can not mark variable more and less important");
  if (r.less) return;
  r.less = 1;
  heap_update_down(v);
}

void tern_set_output(FILE *out) {
  check_init();
  E.out = out;
}

void tern_set_prefix(const char *prefix) {
  check_init();
  size_t n = strlen(prefix) + 1;
  mem_delete(E.prefix, E.prefix_bytes);
  E.prefix = (char *)mem_new(n);
  memcpy(E.prefix, prefix, n);
  E.prefix_bytes = n;
}

void tern_measure_all_calls() {
  check_init();
  E.measurealltimeinlib = true;
}

void tern_set_new(void *mgr, void *(*fn)(void *, size_t)) {
  if (E.state != State::Reset) api_fatal("'tern_set_new' after 'tern_init'");
  if ((E.eresize || E.edelete) && E.emgr != mgr) api_fatal("mismatched external memory managers");
  E.emgr = mgr;
  E.enew = fn;
}

void tern_set_resize(void *mgr, void *(*fn)(void *, void *, size_t, size_t)) {
  if (E.state != State::Reset) api_fatal("'tern_set_resize' after 'tern_init'");
  if ((E.enew || E.edelete) && E.emgr != mgr) api_fatal("mismatched external memory managers");
  E.emgr = mgr;
  E.eresize = fn;
}

void tern_set_delete(void *mgr, void (*fn)(void *, void *, size_t)) {
  if (E.state != State::Reset) api_fatal("'tern_set_delete' after 'tern_init'");
  if ((E.enew || E.eresize) && E.emgr != mgr) api_fatal("mismatched external memory managers");
  E.emgr = mgr;
  E.edelete = fn;
}

// ---------------------------------------------------------------------------
// Building the formula.

int tern_add(long long lit) {
  check_init();
  OptionalTimer timer;
  if (!lit && E.rup && E.rupstarted && E.oadded >= (uint32_t)E.rupclauses)
    api_fatal("adding too many clauses after RUP header written");
  ensure_ready();
  int res = (int)E.oadded;
  if (lit) {
    E.added.push(import_lit(lit));
    return res;
  }
  Stack<uint32_t> &a = E.added;
  std::sort(a.begin(), a.end());
  size_t m = 0;
  bool trivial = false;
  for (size_t i = 0; i < a.n; i++) {
    uint32_t l = a[i];
    if (m && a[m - 1] == l) continue;
    if (m && a[m - 1] == (l ^ 1)) trivial = true;
    if (E.vals[l] > 0) trivial = true;  // level 0 here
    a[m++] = l;
  }
  a.n = m;
  if (trivial) {
    E.oclauses.push(kNone);
    E.oadded++;
    E.addedclauses++;
  } else {
    E.resolved.clear();
    add_clause(a, E.resolved, false, true);
  }
  a.clear();
  return res;
}

void tern_assume(long long lit) {
  check_init();
  OptionalTimer timer;
  if (!lit) api_fatal("zero literal as assumption");
  ensure_ready();
  E.als.push(import_lit(lit));
}

void tern_adjust(long long n) {
  check_init();
  Timer timer;
  if (!n) return;
  if (n == (long long)INT_MIN) api_fatal("INT_MIN literal");
  unsigned long long v = n < 0 ? 0ull - (unsigned long long)n : (unsigned long long)n;
  if (v <= (unsigned long long)INT_MAX && v + 1 > E.size_vars) reserve_vars((size_t)v + 1);
  import_lit(n);
}

int tern_inc_max_var() {
  check_init();
  OptionalTimer timer;
  if (E.max_var == (uint32_t)INT_MAX) {
    char msg[96];
    snprintf(msg, sizeof msg, "literal %lld exceeds the largest variable %d",
             (long long)INT_MAX + 1, INT_MAX);
    api_fatal(msg);
  }
  grow_vars(E.max_var + 1);
  return (int)E.max_var;
}

int tern_add_ado_lit(long long) { fatal("compiled without all different constraint support"); }

int tern_haveados() { return 0; }

// ---------------------------------------------------------------------------
// Solving.

int tern_sat(int decision_limit) {
  check_init();
  if (E.added.n) api_fatal("incomplete clause");
  Timer timer;
  ensure_ready();
  E.calls++;
  int res = search(decision_limit);
  E.state = res == 10 ? State::Sat : res == 20 ? State::Unsat : State::Unknown;
  E.last_sat_call_result = res;
  if (E.verbosity > 0) {
    report(1, res == 10 ? '1' : res == 20 ? '0' : '?');
    if (E.reports != E.lastrheader) print_header_block();
    fflush(E.out);
  }
  return res;
}

int tern_res() { return E.last_sat_call_result; }

int tern_inconsistent() { return E.state != State::Reset && E.mtcls != kNone; }

void tern_remove_learned(unsigned percentage) {
  check_init();
  reset_incremental();
  reduce(percentage);
}

void tern_reset_scores() {
  if (E.state == State::Reset) return;  // no engine, nothing to reset
  for (uint32_t v = 1; v <= E.max_var; v++) E.rnks[v] = Rank{0, 0, 0, 0};
  E.heap.clear();
  E.heap.push(0);
  for (uint32_t v = 1; v <= E.max_var; v++) {
    E.heap.push(v);
    E.rnks[v].pos = v;
  }
}

void tern_reset_phases() {
  if (E.state == State::Reset) return;
  for (uint32_t v = 1; v <= E.max_var; v++) E.vars[v].flags &= ~kPhaseSaved;
  for (size_t l = 0; l < 2 * (size_t)E.size_vars && E.jwh; l++) E.jwh[l] = 0;
  for (uint32_t c : E.oclauses)
    if (c != kNone && !(cflags(c) & (kCollected | kLearned))) bump_jwh(c);
}

// ---------------------------------------------------------------------------
// Model and level queries.

int tern_deref(long long lit) {
  check_sat_state();
  check_deref_lit(lit);
  uint32_t v = query_var(lit);
  if (!v) return 0;
  int8_t x = E.vals[2 * v];
  return lit < 0 ? -x : x;
}

int tern_deref_toplevel(long long lit) {
  check_init();
  check_deref_lit(lit);
  uint32_t v = query_var(lit);
  if (!v || E.vars[v].level || !E.vals[2 * v]) return 0;
  int8_t x = E.vals[2 * v];
  return lit < 0 ? -x : x;
}

int tern_deref_level(long long lit) {
  check_sat_state();
  check_deref_lit(lit);
  uint32_t v = query_var(lit);
  return v ? (int)E.vars[v].level : 0;
}

int tern_decision_lit(long long lit) {
  check_sat_state();
  check_deref_lit(lit);
  uint32_t v = query_var(lit);
  return v ? E.vars[v].reason == kNone : 0;
}

int tern_toplevel() { return (int)E.level; }

int tern_usedlit(long long lit) {
  check_answered_state();
  if (!lit) api_fatal("zero literal can not be used");
  uint32_t v = query_var(lit);
  return v ? (E.vars[v].flags & kVarUsed) != 0 : 0;
}

int tern_changed() {
  check_sat_state();
  return E.min_flipped <= E.saved_max_var;
}

// ---------------------------------------------------------------------------
// Cores, failed assumptions, traces.

int tern_coreclause(int index) {
  check_unsat_state();
  OptionalTimer timer;
  if (index < 0) api_fatal("negative original clause index");
  if ((uint32_t)index >= E.oadded) api_fatal("original clause index exceeded");
  if (!E.trace) fatal("tracing disabled");
  compute_core();
  uint32_t c = E.oclauses[(size_t)index];
  return c != kNone && (cflags(c) & kCore) != 0;
}

int tern_corelit(long long lit) {
  check_unsat_state();
  OptionalTimer timer;
  if (!lit) api_fatal("zero literal can not be in core");
  if (!E.trace) fatal("tracing disabled");
  compute_core();
  uint32_t v = query_var(lit);
  return v ? (E.vars[v].flags & kVarCore) != 0 : 0;
}

int tern_failed_assumption(long long lit) {
  check_unsat_state();
  if (!lit) api_fatal("zero literal as assumption");
  if (E.mtcls != kNone) return 0;
  uint32_t v = query_var(lit);
  if (!v) return 0;
  compute_failed_set();
  return (E.vars[v].flags & kFailed) != 0;
}

static void check_trace_writer() {
  check_unsat_state();
  if (!E.trace) api_fatal("tracing disabled");
}

void tern_write_extended_trace(FILE *file) {
  check_trace_writer();
  Timer timer;
  write_trace(file, false);
}

void tern_write_compact_trace(FILE *file) {
  check_trace_writer();
  Timer timer;
  write_trace(file, true);
}

void tern_write_rup_trace(FILE *file) {
  check_trace_writer();
  Timer timer;
  write_rup(file);
}

void tern_write_clausal_core(FILE *file) {
  check_trace_writer();
  Timer timer;
  write_clausal_core(file);
}

void tern_set_incremental_rup_file(FILE *file, int variables, int clauses) {
  check_init();
  E.rup = file;
  E.rupvariables = variables;
  E.rupclauses = clauses;
  E.rupstarted = false;
}

// ---------------------------------------------------------------------------
// Statistics, time, output.

const char *tern_copyright() {
  return "Tern CDCL engine of Kestrane: two watched literals, first-UIP "
         "learning, proof traces and unsatisfiable cores";
}

size_t tern_max_bytes_allocated() { return E.max_bytes; }
int tern_variables() { return (int)E.max_var; }
int tern_added_original_clauses() { return (int)E.oadded; }
double tern_time_stamp() { return process_time(); }
double tern_seconds() { return E.seconds; }
void tern_enter() { enter(); }
void tern_leave() { leave(); }

void tern_message(int level, const char *fmt, ...) {
  check_init();
  if (E.verbosity < level) return;
  fputs(E.prefix, E.out);
  va_list ap;
  va_start(ap, fmt);
  vfprintf(E.out, fmt, ap);
  va_end(ap);
  fputc('\n', E.out);
  fflush(E.out);
}

void tern_stats() {
  check_init();
  const char *p = E.prefix;
  FILE *o = E.out;
  if (E.nentered) {
    double now = process_time();
    double delta = now - E.entered;
    if (delta > 0) E.seconds += delta;
    E.entered = now;
  }
  if (E.calls > 1) fprintf(o, "%s%u calls\n", p, E.calls);
  fprintf(o, "%s%u iterations\n", p, E.iterations);
  fprintf(o, "%s%u restarts\n", p, E.restarts);
  fprintf(o, "%s%llu conflicts\n", p, (unsigned long long)E.conflicts);
  fprintf(o, "%s%llu decisions\n", p, (unsigned long long)E.decisions);
  fprintf(o, "%s%u fixed variables\n", p, E.fixed);
  fprintf(o, "%s%llu learned literals\n", p, (unsigned long long)E.llitsadded);
  fprintf(o, "%s%.1f%% deleted literals\n", p,
          E.nonminimizedllits ? 100.0 * (double)E.minimizedllits / (double)E.nonminimizedllits : 0.0);
  fprintf(o, "%s%llu propagations\n", p, (unsigned long long)E.propagations);
  fprintf(o, "%s%.1f%% variables used\n", p, E.max_var ? 100.0 * E.vused / E.max_var : 0.0);
  fprintf(o, "%s%.1f seconds in library\n", p, E.seconds);
  fprintf(o, "%s%.1f megaprops/second\n", p,
          E.seconds > 0 ? (double)E.propagations / 1e6 / E.seconds : 0.0);
  fprintf(o, "%s%u simplifications\n", p, E.simps);
  fprintf(o, "%s%u reductions\n", p, E.reductions);
  fprintf(o, "%s%.1f MB recycled\n", p, E.recycled / (double)(1 << 20));
  fprintf(o, "%s%.1f MB maximally allocated\n", p, (double)E.max_bytes / (double)(1 << 20));
  fflush(o);
}

void tern_print(FILE *f) {
  check_init();
  OptionalTimer timer;
  unsigned count = (unsigned)E.als.n;
  for (int store = 0; store < 2; store++)
    for (uint32_t c : store ? E.lclauses : E.oclauses)
      if (c != kNone && !(cflags(c) & kCollected)) count++;
  fprintf(f, "p cnf %d %u\n", (int)E.max_var, count);
  for (int store = 0; store < 2; store++) {
    for (uint32_t c : store ? E.lclauses : E.oclauses) {
      if (c == kNone || (cflags(c) & kCollected)) continue;
      for (uint32_t i = 0; i < csize(c); i++) fprintf(f, "%d ", lit_to_int(clits(c)[i]));
      fputs("0\n", f);
    }
  }
  for (uint32_t a : E.als) fprintf(f, "%d 0\n", lit_to_int(a));
  fflush(f);
}
