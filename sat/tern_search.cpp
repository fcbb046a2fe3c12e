// Tern search: clause addition, two-watched-literal propagation, first-UIP
// conflict analysis with recursive minimisation, the decision heap with phase
// saving, Luby restarts vetoed by the phase-flip rate, and the search loop.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "sat/tern_internal.hpp"

namespace tern {

// ---------------------------------------------------------------------------
// Variables and the decision heap.

static inline bool rank_before(uint32_t a, uint32_t b) {
  const Rank &ra = E.rnks[a], &rb = E.rnks[b];
  if (ra.more != rb.more) return ra.more;
  if (ra.less != rb.less) return !ra.less;
  if (ra.score != rb.score) return ra.score > rb.score;
  return a < b;
}

static void heap_up(uint32_t pos) {
  uint32_t *h = E.heap.data;
  uint32_t v = h[pos];
  while (pos > 1) {
    uint32_t parent = pos / 2;
    uint32_t u = h[parent];
    if (!rank_before(v, u)) break;
    h[pos] = u;
    E.rnks[u].pos = pos;
    pos = parent;
  }
  h[pos] = v;
  E.rnks[v].pos = pos;
}

static void heap_down(uint32_t pos) {
  uint32_t *h = E.heap.data;
  uint32_t n = (uint32_t)E.heap.n - 1;  // last index
  uint32_t v = h[pos];
  for (;;) {
    uint32_t child = 2 * pos;
    if (child > n) break;
    if (child + 1 <= n && rank_before(h[child + 1], h[child])) child++;
    if (!rank_before(h[child], v)) break;
    h[pos] = h[child];
    E.rnks[h[pos]].pos = pos;
    pos = child;
  }
  h[pos] = v;
  E.rnks[v].pos = pos;
}

void heap_push(uint32_t v) {
  if (E.rnks[v].pos) return;
  E.heap.push(v);
  heap_up((uint32_t)E.heap.n - 1);
}

void heap_update_up(uint32_t v) {
  if (E.rnks[v].pos) heap_up(E.rnks[v].pos);
}

void heap_update_down(uint32_t v) {
  if (E.rnks[v].pos) heap_down(E.rnks[v].pos);
}

static void heap_pop_top() {
  uint32_t *h = E.heap.data;
  uint32_t top = h[1];
  E.rnks[top].pos = 0;
  uint32_t last = h[E.heap.n - 1];
  E.heap.pop();
  if (E.heap.n > 1) {
    h[1] = last;
    E.rnks[last].pos = 1;
    heap_down(1);
  }
}

void heap_rebuild() {
  for (size_t i = E.heap.n - 1; i >= 1; i--) heap_down((uint32_t)i);
}

// Grows every per-variable table to `want` slots.
void reserve_vars(size_t want) {
  if (want <= E.size_vars) return;
  {
    size_t old = E.size_vars;
    E.vals = (int8_t *)mem_resize(E.vals, 2 * old, 2 * want);
    E.jwh = (Score *)mem_resize(E.jwh, 2 * old * sizeof(Score), 2 * want * sizeof(Score));
    E.htps = (uint32_t *)mem_resize(E.htps, 2 * old * 4, 2 * want * 4);
    E.dhtps = (uint32_t *)mem_resize(E.dhtps, 2 * old * 4, 2 * want * 4);
    E.impls = (Stack<Bin> *)mem_resize(E.impls, 2 * old * sizeof(Stack<Bin>),
                                       2 * want * sizeof(Stack<Bin>));
    E.vars = (Var *)mem_resize(E.vars, old * sizeof(Var), want * sizeof(Var));
    E.rnks = (Rank *)mem_resize(E.rnks, old * sizeof(Rank), want * sizeof(Rank));
    for (size_t i = 2 * old; i < 2 * want; i++) {
      E.vals[i] = 0;
      E.jwh[i] = 0;
      E.htps[i] = E.dhtps[i] = kNone;
      new (&E.impls[i]) Stack<Bin>();
    }
    for (size_t v = old; v < want; v++) {
      E.vars[v] = Var{0, 0, kNone};
      E.rnks[v] = Rank{0, 0, 0, 0};
    }
    E.size_vars = (uint32_t)want;
  }
}

void grow_vars(uint32_t new_max) {
  if (new_max <= E.max_var) return;
  if ((size_t)new_max + 1 > E.size_vars) reserve_vars((size_t)new_max + (new_max + 3) / 4);
  uint32_t first = E.max_var + 1;
  E.max_var = new_max;
  E.heap.reserve((size_t)new_max + 1);
  for (uint32_t v = first; v <= new_max; v++) heap_push(v);
}

uint32_t import_lit(long long lit) {
  if (lit == (long long)INT_MIN) api_fatal("INT_MIN literal");
  unsigned long long v = lit < 0 ? 0ull - (unsigned long long)lit : (unsigned long long)lit;
  if (v > (unsigned long long)INT_MAX) {
    char msg[128];
    snprintf(msg, sizeof msg, "literal %lld exceeds the largest variable %d", lit, INT_MAX);
    api_fatal(msg);
  }
  if (v > E.max_var) grow_vars((uint32_t)v);
  return 2 * (uint32_t)v + (lit < 0 ? 1 : 0);
}

void set_var_used(uint32_t v) {
  if (!(E.vars[v].flags & kVarUsed)) {
    E.vars[v].flags |= kVarUsed;
    E.vused++;
  }
}

// ---------------------------------------------------------------------------
// Clauses.

void lock_reason(uint32_t c) {
  uint32_t &f = cflags(c);
  if (f & kLocked) return;
  f |= kLocked;
  if (chas_activity(c)) E.llocked++;
}

void unlock_reason(uint32_t c) {
  uint32_t &f = cflags(c);
  if (!(f & kLocked)) return;
  f &= ~kLocked;
  if (chas_activity(c)) E.llocked--;
}

void bump_jwh(uint32_t c) {
  uint32_t n = csize(c);
  const uint32_t *lits = clits(c);
  uint32_t count = 0;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t l = lits[i];
    int8_t v = E.vals[l];
    uint32_t lev = E.vars[lit_var(l)].level;
    if (v > 0 && (lev == 0 || E.level == 0)) return;
    if (v < 0 && lev == 0) continue;
    count++;
  }
  Score inc = count > 104 ? 0 : score_make(1, -(int)count);
  if (!inc) return;
  for (uint32_t i = 0; i < n; i++) E.jwh[lits[i]] = score_add(E.jwh[lits[i]], inc);
}

// Order of the literals of a new clause: unassigned first, then by
// decreasing level, decreasing score, increasing variable. The keys are
// gathered once, so the sort compares plain integers.
static void sort_clause_literals(Stack<uint32_t> &lits) {
  Stack<LitKey> &keys = E.litkeys;
  keys.clear();
  for (uint32_t l : lits) {
    uint32_t v = lit_var(l);
    bool assigned = E.vals[l] != 0;
    uint64_t hi = assigned ? (1ull << 32) | (uint32_t)~E.vars[v].level : 0;
    uint64_t lo = ((uint64_t)(uint32_t)~E.rnks[v].score << 32) | v;
    keys.push(LitKey{hi, lo, l});
  }
  std::sort(keys.begin(), keys.end(), [](const LitKey &a, const LitKey &b) {
    if (a.hi != b.hi) return a.hi < b.hi;
    if (a.lo != b.lo) return a.lo < b.lo;
    return a.lit < b.lit;
  });
  for (size_t i = 0; i < keys.n; i++) lits[i] = keys[i].lit;
}

// Appends a clause record to the arena and returns its offset.
static uint32_t new_clause_record(const Stack<uint32_t> &lits, bool learned, uint32_t index) {
  uint32_t n = (uint32_t)lits.n;
  bool act = learned && n > 2;
  size_t words = kLits + n + (act ? 1 : 0) + (E.trace ? 1 : 0);
  size_t at = E.arena.n;
  if (at + words >= (size_t)kNone) fatal("out of memory in 'new'");
  E.arena.reserve(at + words);
  E.arena.n = at + words;
  uint32_t *w = E.arena.data + at;
  if (E.trace) *w++ = index;
  uint32_t c = (uint32_t)(w - E.arena.data);
  w[kSize] = n;
  w[kFlags] = learned ? (uint32_t)kLearned : 0u;
  w[kLink0] = w[kLink1] = kNone;
  if (n) memcpy(w + kLits, lits.data, n * sizeof(uint32_t));
  if (act) w[kLits + n] = E.cinc;
  return c;
}

static void link_clause(uint32_t c) {
  uint32_t n = csize(c);
  uint32_t *lits = clits(c);
  if (n == 2) {
    E.impls[lits[0]].push(Bin{lits[1], c});
    E.impls[lits[1]].push(Bin{lits[0], c});
  } else if (n >= 1) {
    uint32_t *C = cls(c);
    C[kLink0] = E.htps[lits[0]];
    E.htps[lits[0]] = c;
    if (n > 1) {
      C[kLink1] = E.htps[lits[1]];
      E.htps[lits[1]] = c;
    }
  }
}

uint32_t add_clause(Stack<uint32_t> &lits, Stack<uint32_t> &ants, bool learned, bool effects) {
  for (uint32_t a : ants) cflags(a) |= kUsed;
  uint32_t n = (uint32_t)lits.n;
  if (learned) {
    E.ladded++;
    E.llitsadded += n;
    if (n > 2) {
      E.lladded++;
      E.nlclauses++;
      E.llits += n;
    }
  } else {
    E.oadded++;
    if (n > 2) {
      E.loadded++;
      E.noclauses++;
      E.olits += n;
    }
  }
  E.addedclauses++;

  if (n == 2) {
    if (lits[0] > lits[1]) std::swap(lits[0], lits[1]);
  } else if (n > 2) {
    sort_clause_literals(lits);
  }

  uint32_t index = learned ? 2 * (uint32_t)E.lclauses.n + 1 : 2 * (uint32_t)E.oclauses.n + 2;
  uint32_t c = new_clause_record(lits, learned, index);
  if (learned) {
    E.lclauses.push(c);
    if (E.trace) add_derivation(ants);
    if (E.rup) rup_write_learned(c);
  } else {
    E.oclauses.push(c);
  }
  link_clause(c);
  if (!n && E.mtcls == kNone) E.mtcls = c;
  if (!effects) return c;

  // At level 0, false literals are resolved away with their (unit) reasons
  // in a derived clause; the given clause stays as it is.
  if (E.level == 0 && n) {
    bool has_false = false, has_true = false;
    for (uint32_t i = 0; i < n; i++) {
      int8_t v = E.vals[clits(c)[i]];
      if (v < 0) has_false = true;
      if (v > 0) has_true = true;
    }
    if (has_false && !has_true) {
      Stack<uint32_t> &sl = E.slits, &sa = E.sants;
      sl.clear();
      sa.clear();
      sa.push(c);
      for (uint32_t i = 0; i < n; i++) {
        uint32_t l = clits(c)[i];
        if (E.vals[l] < 0) {
          uint32_t r = E.vars[lit_var(l)].reason;
          if (r != kNone) sa.push(r);
        } else {
          sl.push(l);
        }
      }
      return add_clause(sl, sa, true, true);
    }
  }

  uint32_t ntrue = 0, nunassigned = 0, unit = 0;
  for (uint32_t i = 0; i < n; i++) {
    uint32_t l = clits(c)[i];
    int8_t v = E.vals[l];
    if (v > 0) ntrue++;
    else if (!v) {
      nunassigned++;
      unit = l;
    }
  }
  if (!ntrue && nunassigned == 1) {
    for (uint32_t i = 0; i < n; i++) set_var_used(lit_var(clits(c)[i]));
    assign(unit, c);
  } else if (!ntrue && !nunassigned) {
    if (E.conflict == kNone) E.conflict = c;
  } else if (!learned && !ntrue && nunassigned >= 2) {
    bump_jwh(c);
  }
  return c;
}

// ---------------------------------------------------------------------------
// Assignment, backtracking and propagation.

void assign(uint32_t lit, uint32_t reason) {
  uint32_t v = lit_var(lit);
  Var &var = E.vars[v];
  var.level = E.level;
  bool positive = !lit_neg(lit);
  if (var.flags & kPhaseSaved) {
    E.sdflips -= E.sdflips / 10000;
    if (((var.flags & kPhase) != 0) != positive) {
      E.sdflips += 1000;
      E.flips++;
      if (v < E.min_flipped) E.min_flipped = v;
    }
  }
  if (positive) var.flags |= kPhase;
  else var.flags &= ~kPhase;
  var.flags |= kPhaseSaved;
  E.vals[lit] = 1;
  E.vals[lit ^ 1] = -1;
  E.trail.push(lit);
  if (E.level == 0) {
    set_var_used(v);
    if (reason != kNone && csize(reason) >= 2) {
      // Derive the unit clause, so that every level-0 literal has a unit
      // reason and later derivations resolve it away in one step.
      Stack<uint32_t> &ul = E.ulits, &ua = E.uants;
      ul.clear();
      ua.clear();
      ul.push(lit);
      ua.push(reason);
      uint32_t n = csize(reason);
      for (uint32_t i = 0; i < n; i++) {
        uint32_t o = clits(reason)[i];
        if (o == lit) continue;
        uint32_t r = E.vars[lit_var(o)].reason;
        if (r != kNone) ua.push(r);
      }
      reason = add_clause(ul, ua, true, false);
    }
    E.fixed++;
    E.rnks[v].score = kScoreInf;
    heap_update_up(v);
  }
  E.vars[v].reason = reason;
  if (reason != kNone) lock_reason(reason);
}

void unassign_to(uint32_t new_level) {
  uint32_t *trail = E.trail.data;
  size_t n = E.trail.n;
  while (n > 0) {
    uint32_t lit = trail[n - 1];
    uint32_t v = lit_var(lit);
    Var &var = E.vars[v];
    if (var.level <= new_level) break;
    n--;
    E.vals[lit] = E.vals[lit ^ 1] = 0;
    if (var.reason != kNone) {
      unlock_reason(var.reason);
      var.reason = kNone;
    }
    if (!E.rnks[v].pos) heap_push(v);
    uint32_t c = E.dhtps[lit];
    E.dhtps[lit] = kNone;
    while (c != kNone) {
      uint32_t *C = cls(c);
      uint32_t next = C[kLink0];
      uint32_t f = C[kLits];
      C[kLink0] = E.htps[f];
      E.htps[f] = c;
      c = next;
    }
  }
  E.trail.n = n;
  E.ttail = E.ttail2 = n;
  E.conflict = E.mtcls;
  E.level = new_level;
  if (new_level < E.adecidelevel) {
    E.alstail = 0;
    E.adecidelevel = 0;
  }
}

static void propagate_binary() {
  while (E.ttail2 < E.trail.n) {
    uint32_t lit = E.trail.data[E.ttail2++];
    uint32_t f = lit ^ 1;
    E.propagations++;
    Stack<Bin> &w = E.impls[f];
    for (size_t i = 0; i < w.n; i++) {
      Bin b = w.data[i];
      int8_t v = E.vals[b.other];
      if (v > 0) continue;
      if (v < 0) E.conflict = b.cref;
      else assign(b.other, b.cref);
    }
    if (E.conflict != kNone) return;
  }
}

static void propagate_long(uint32_t lit) {
  const uint32_t f = lit ^ 1;
  uint32_t prev = kNone;  // link word pointing to c, kNone: the list head
  uint32_t c = E.htps[f];
  int8_t *vals = E.vals;
  while (c != kNone) {
    uint32_t *C = E.arena.data + c;
    uint32_t *L = C + kLits;
    if (C[kSize] == 1) {
      E.conflict = c;
      return;
    }
    if (L[0] != f) {
      L[1] = L[0];
      L[0] = f;
      uint32_t t = C[kLink0];
      C[kLink0] = C[kLink1];
      C[kLink1] = t;
    }
    uint32_t next = C[kLink0];
    uint32_t o = L[1];
    int8_t vo = vals[o];
    if (vo > 0) {
      uint32_t lev = E.vars[lit_var(o)].level;
      if (lev == 0 || lev < E.level) {
        // Satisfied at a lower level: park it under o until o is undone.
        (prev == kNone ? E.htps[f] : E.arena.data[prev]) = next;
        C[kLink0] = E.dhtps[o];
        E.dhtps[o] = c;
      } else {
        prev = c + kLink0;
      }
      c = next;
      continue;
    }
    uint32_t n = C[kSize];
    uint32_t k = 2;
    while (k < n && vals[L[k]] < 0) k++;
    if (k < n) {
      uint32_t r = L[k];
      for (uint32_t j = k; j > 2; j--) L[j] = L[j - 1];
      L[2] = f;
      L[0] = r;
      (prev == kNone ? E.htps[f] : E.arena.data[prev]) = next;
      C[kLink0] = E.htps[r];
      E.htps[r] = c;
      c = next;
      continue;
    }
    if (vo < 0) {
      E.conflict = c;
      return;
    }
    assign(o, c);  // may grow the arena at level 0: re-read through offsets
    vals = E.vals;
    prev = c + kLink0;
    c = next;
  }
}

static void propagate() {
  while (E.conflict == kNone) {
    if (E.ttail2 < E.trail.n) {
      propagate_binary();
    } else if (E.ttail < E.trail.n) {
      propagate_long(E.trail.data[E.ttail++]);
    } else {
      break;
    }
  }
}

// ---------------------------------------------------------------------------
// Scores.

static void rescale_variable_scores() {
  for (uint32_t v = 1; v <= E.max_var; v++) {
    Score &s = E.rnks[v].score;
    if (s != kScoreInf) s = score_mult(s, E.ilvinc);
  }
  E.vinc = score_mult(E.vinc, E.ilvinc);
  heap_rebuild();
}

static void bump_variable(uint32_t v) {
  Score &s = E.rnks[v].score;
  s = score_add(s, E.vinc);
  heap_update_up(v);
  if (s > E.lvinc && s != kScoreInf) rescale_variable_scores();
}

static void increase_increments() {
  E.vinc = score_mult(E.vinc, E.fvinc);
  E.cinc = score_mult(E.cinc, E.fcinc);
  if (E.cinc > E.lcinc) {
    int l = (int)score_exponent_byte(E.cinc) - 104;
    Score factor = score_make(1, -l);
    for (uint32_t c : E.lclauses) {
      if (c == kNone || (cflags(c) & kCollected) || csize(c) < 3) continue;
      cactivity(c) = score_mult(cactivity(c), factor);
    }
    E.cinc = score_mult(E.cinc, factor);
  }
}

// ---------------------------------------------------------------------------
// Conflict analysis.

static void analyze() {
  E.conflicts++;
  Stack<uint32_t> &added = E.llits_buf, &resolved = E.resolved, &marked = E.marked;
  added.clear();
  resolved.clear();
  marked.clear();
  uint32_t open = 0, minlevel = UINT32_MAX, signature = 0;
  uint64_t before = 0;
  uint32_t c = E.conflict;
  size_t i = E.trail.n;
  uint32_t uip = kNone;
  for (;;) {
    resolved.push(c);
    if (chas_activity(c)) cactivity(c) = score_add(cactivity(c), E.cinc);
    uint32_t n = csize(c);
    for (uint32_t k = 0; k < n; k++) {
      uint32_t l = clits(c)[k];
      if (E.vals[l] > 0) continue;
      uint32_t v = lit_var(l);
      Var &var = E.vars[v];
      if (var.flags & kMark) continue;
      var.flags |= kMark;
      if (var.level > 0) bump_variable(v);
      set_var_used(v);
      if (var.level == E.level) {
        open++;
      } else {
        marked.push(v);
        if (var.level > 0) {
          before++;
          if (var.level < minlevel) minlevel = var.level;
          signature |= 1u << (var.level & 31);
        }
      }
    }
    uint32_t lit = kNone, v = 0;
    while (i > 0) {
      lit = E.trail.data[--i];
      v = lit_var(lit);
      if (E.vars[v].flags & kMark) break;
      lit = kNone;
    }
    if (lit == kNone) break;  // level 0: bottom of the trail reached
    E.vars[v].flags &= ~kMark;
    open--;
    if ((!open && E.level > 0) || E.vars[v].reason == kNone) {
      uip = lit;
      break;
    }
    c = E.vars[v].reason;
  }
  if (uip != kNone) added.push(uip ^ 1);

  // Minimisation: a literal is redundant when its reason's literals are all
  // in the clause, at level 0, or redundant themselves. A depth-first search
  // from each clause variable marks what it reaches; a search that meets a
  // decision, or a level outside the clause's levels, fails and is undone.
  // Whether a search succeeds does not depend on its order, and a variable
  // from which a failing one is reachable fails in every later search, so
  // the variables on the path to a failure are remembered as poisoned.
  size_t norig = marked.n;
  Stack<uint32_t> &frames = E.dfs, &poisoned = E.poisoned;
  poisoned.clear();
  for (size_t k = 0; k < norig; k++) {
    uint32_t v = marked[k];
    if (E.vars[v].reason == kNone) continue;
    size_t mstart = marked.n;
    frames.clear();
    frames.push(v);
    frames.push(0);
    bool ok = true;
    while (!frames.empty()) {
      uint32_t u = frames[frames.n - 2];
      uint32_t &i = frames[frames.n - 1];
      uint32_t r = E.vars[u].reason;
      if (i == csize(r)) {
        frames.n -= 2;
        continue;
      }
      uint32_t w = lit_var(clits(r)[i++]);
      Var &wv = E.vars[w];
      if (w == u || (wv.flags & kMark)) continue;
      uint32_t lev = wv.level;
      if ((wv.flags & kPoison) || wv.reason == kNone ||
          (lev > 0 && (lev < minlevel || !(signature & (1u << (lev & 31)))))) {
        ok = false;
        break;
      }
      wv.flags |= kMark;
      marked.push(w);
      frames.push(w);
      frames.push(0);
    }
    if (!ok) {
      for (size_t j = 0; j < frames.n; j += 2) {
        uint32_t u = frames[j];
        if (u != v && !(E.vars[u].flags & kPoison)) {
          E.vars[u].flags |= kPoison;
          poisoned.push(u);
        }
      }
      for (size_t j = mstart; j < marked.n; j++) E.vars[marked[j]].flags &= ~kMark;
      marked.shrink(mstart);
    }
  }
  for (uint32_t u : poisoned) E.vars[u].flags &= ~kPoison;
  for (size_t k = 0; k < marked.n; k++) {
    uint32_t v = marked[k];
    Var &var = E.vars[v];
    set_var_used(v);
    uint32_t r = var.reason;
    if (r == kNone) continue;
    bool redundant = true;
    uint32_t n = csize(r);
    for (uint32_t j = 0; j < n && redundant; j++) {
      uint32_t w = lit_var(clits(r)[j]);
      if (w != v && E.vars[w].level > 0 && !(E.vars[w].flags & kMark)) redundant = false;
    }
    if (redundant) {
      resolved.push(r);
      var.flags |= kMark2;
    }
  }
  uint64_t kept = 0;
  uint32_t jump = 0;
  for (size_t k = 0; k < marked.n; k++) {
    uint32_t v = marked[k];
    Var &var = E.vars[v];
    bool redundant = var.flags & kMark2;
    var.flags &= ~(kMark | kMark2);
    if (redundant || k >= norig || var.level == 0) continue;
    uint32_t l = 2 * v + (E.vals[2 * v] > 0 ? 1 : 0);  // the false literal
    added.push(l);
    kept++;
    if (var.level > jump) jump = var.level;
  }
  E.nonminimizedllits += before;
  E.minimizedllits += before - kept;

  uint32_t learned = add_clause(added, resolved, true, false);
  if (uip == kNone) return;  // the empty clause: answer UNSAT
  unassign_to(jump);
  E.conflict = E.mtcls;
  assign(uip ^ 1, learned);
  adjust_reduce_limit();
  if (E.verbosity >= 4 && !(E.conflicts % 1000)) report(4, 'C');
}

// ---------------------------------------------------------------------------
// Decisions and restarts.

static inline uint32_t rng_next() {
  uint32_t prev = E.srng;
  E.srng = E.srng * 1664525u + 1013904223u;
  return prev;
}

static uint32_t gcd(uint32_t a, uint32_t b) {
  while (b) {
    uint32_t t = a % b;
    a = b;
    b = t;
  }
  return a;
}

static void decide() {
  uint32_t prev = rng_next();
  uint32_t s1 = E.srng;
  uint32_t v = 0;
  if ((uint32_t)(((uint64_t)prev * 1000) >> 32) == 1) {
    rng_next();
    uint32_t s2 = E.srng;
    v = (uint32_t)(((uint64_t)s1 * E.max_var) >> 32) + 1;
    if (E.vals[2 * v]) {
      rng_next();
      uint32_t d = (uint32_t)(((uint64_t)s2 * E.max_var) >> 32) + 1;
      while (gcd(d, E.max_var) != 1) d--;
      do {
        v += d;
        if (v > E.max_var) v -= E.max_var;
      } while (E.vals[2 * v]);
    }
  } else {
    while (E.vals[2 * E.heap[1]]) heap_pop_top();
    v = E.heap[1];
  }
  const Var &var = E.vars[v];
  bool positive;
  if (var.flags & kPhaseSaved) {
    positive = var.flags & kPhase;
  } else {
    switch (E.defaultphase) {
    case 0: positive = false; break;
    case 1: positive = true; break;
    case 3: positive = rng_next() >> 31; break;
    default: positive = E.jwh[2 * v] > E.jwh[2 * v + 1]; break;
    }
  }
  E.level++;
  E.decisions++;
  E.levelsum += E.level;
  assign(2 * v + (positive ? 0 : 1), kNone);
}

static uint32_t luby(uint32_t i) {
  for (;;) {
    uint32_t k = 1;
    while (k < 32 && (1ull << k) - 1 < i) k++;
    if ((1ull << k) - 1 == i) return 1u << (k - 1);
    i = i - (1u << (k - 1)) + 1;
  }
}

static void next_restart_distance() {
  E.lubycnt++;
  uint32_t delta = 100 * luby(E.lubycnt);
  E.lrestart = E.conflicts + delta;
  E.waslubymaxdelta = delta > E.lubymaxdelta;
  if (E.waslubymaxdelta) E.lubymaxdelta = delta;
}

static void restart_luby() {
  E.lubycnt = 0;
  E.lubymaxdelta = 0;
  E.waslubymaxdelta = false;
  next_restart_distance();
}

static void check_restart() {
  if (E.conflicts < E.lrestart || E.level <= 2) return;
  bool skip = E.sdflips >= 2300000u;
  if (!skip) {
    unassign_to(0);
    E.restarts++;
  }
  if (E.waslubymaxdelta) report(1, skip ? 'N' : 'R');
  else report(2, skip ? 'n' : 'r');
  next_restart_distance();
}

// ---------------------------------------------------------------------------
// The search loop.

static inline bool all_assigned() { return E.trail.n == E.max_var; }
static inline bool assumptions_pending() { return E.alstail < E.als.n; }

int search(int limit) {
  uint64_t count = 0;
  if (E.mtcls != kNone) return 20;
  if (E.conflict == kNone) propagate();
  if (E.conflict != kNone) {
    analyze();
    if (E.mtcls != kNone) return 20;
  }
  if (!assumptions_pending() && all_assigned()) return 10;
  if (E.propagations >= E.lsimplify) {
    simplify();
    if (E.mtcls != kNone) return 20;
  }
  restart_luby();
  E.isimplify = E.fixed;
  bool backtracked = false;
  for (;;) {
    propagate();
    if (E.conflict != kNone) {
      increase_increments();
      analyze();
      if (E.mtcls != kNone) return 20;
      backtracked = true;
      continue;
    }
    if (!assumptions_pending() && all_assigned()) return 10;
    if (backtracked) {
      backtracked = false;
      if (!E.level && E.fixed > E.isimplify) {
        E.iterations++;
        report(2, 'i');
        restart_luby();
        E.isimplify = E.fixed;
      }
    }
    if (limit >= 0 && count >= (uint64_t)limit) return 0;
    if (E.fixed > E.fsimplify && E.propagations >= E.lsimplify) {
      simplify();
      if (E.mtcls != kNone) return 20;
      if (E.ttail < E.trail.n || E.ttail2 < E.trail.n) continue;
    }
    if (!E.lreduce) init_reduce_limit();
    if (E.nlclauses >= E.llocked + E.lreduce) reduce(50);
    check_restart();

    bool decided = false;
    while (assumptions_pending()) {
      uint32_t a = E.als[E.alstail++];
      int8_t v = E.vals[a];
      if (v < 0) {
        E.failed_assumption = a;
        set_var_used(lit_var(a));
        analyze_failed_assumption();
        return 20;
      }
      if (!v) {
        E.level++;
        E.decisions++;
        E.levelsum += E.level;
        E.adecidelevel = E.level;
        assign(a, kNone);
        decided = true;
        break;
      }
      uint32_t lev = E.vars[lit_var(a)].level;
      if (lev > E.adecidelevel) E.adecidelevel = lev;
    }
    if (decided) continue;
    if (all_assigned()) continue;
    decide();
    count++;
  }
}

}  // namespace tern
