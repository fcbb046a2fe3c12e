// Tern clause-database maintenance: learned-clause reduction by activity,
// removal of clauses satisfied at the top level, physical collection of the
// marked clauses (with arena compaction), and the progress report lines.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "sat/tern_internal.hpp"

namespace tern {

// ---------------------------------------------------------------------------
// Reduction limit.

void init_reduce_limit() {
  E.lreduce = E.loadded / 2;
  if (E.lreduce < 100) E.lreduce = 100;
  if (E.verbosity >= 1) {
    const char *p = E.prefix;
    fprintf(E.out, "%s\n%sinitial reduction limit %u clauses\n%s\n", p, p, E.lreduce, p);
    fflush(E.out);
  }
}

static void raise_reduce_limit() {
  E.lreduce = (uint32_t)((uint64_t)E.lreduce * 110 / 100);
  report(1, '+');
}

void adjust_reduce_limit() {
  if (--E.lreduceadjustcnt) return;
  E.lreduceadjustinc = (uint32_t)((uint64_t)E.lreduceadjustinc * 15 / 10);
  E.lreduceadjustcnt = E.lreduceadjustinc;
  raise_reduce_limit();
}

// ---------------------------------------------------------------------------
// Collection.

static bool satisfied_at_top(uint32_t c) {
  uint32_t n = csize(c);
  const uint32_t *lits = clits(c);
  for (uint32_t i = 0; i < n; i++)
    if (E.vals[lits[i]] > 0 && E.vars[lit_var(lits[i])].level == 0) return true;
  return false;
}

static inline bool to_collect(uint32_t c) { return cflags(c) & kCollect; }

// Removes marked clauses from the watch list of `lit` whose clauses are
// linked through the link of the position holding `lit` (htps) or through
// link 0 (parked lists, keyed by the other watch).
static void unlink_marked(uint32_t *head, uint32_t lit, bool parked) {
  uint32_t *p = head;
  while (*p != kNone) {
    uint32_t c = *p;
    uint32_t *C = cls(c);
    uint32_t pos = parked ? 0 : (C[kLits] == lit ? 0 : 1);
    uint32_t *link = C + kLink0 + pos;
    if (C[kFlags] & kCollect) *p = *link;
    else p = link;
  }
}

// Moves the live clause records to the front of the arena and renames every
// reference to them.
static void compact_arena() {
  Stack<uint32_t> from, to;
  size_t at = 0, dst = 0, n = E.arena.n;
  uint32_t *A = E.arena.data;
  const uint32_t pre = E.trace ? 1 : 0;
  while (at < n) {
    uint32_t c = (uint32_t)(at + pre);
    size_t words = cwords(c);
    if (!(A[c + kFlags] & kFreed)) {
      from.push(c);
      to.push((uint32_t)(dst + pre));
      if (dst != at) memmove(A + dst, A + at, words * sizeof(uint32_t));
      dst += words;
    }
    at += words;
  }
  E.arena.n = dst;
  E.arena_garbage = 0;
  auto map = [&](uint32_t &ref) {
    if (ref == kNone) return;
    const uint32_t *it = std::lower_bound(from.begin(), from.end(), ref);
    ref = (it != from.end() && *it == ref) ? to[(size_t)(it - from.begin())] : kNone;
  };
  for (size_t l = 2; l < 2 * (size_t)E.max_var + 2; l++) {
    map(E.htps[l]);
    map(E.dhtps[l]);
    for (Bin &b : E.impls[l]) map(b.cref);
  }
  for (uint32_t v = 1; v <= E.max_var; v++) map(E.vars[v].reason);
  for (uint32_t &c : E.oclauses) map(c);
  for (uint32_t &c : E.lclauses) map(c);
  for (uint32_t c : to) {
    map(A[c + kLink0]);
    map(A[c + kLink1]);
  }
  map(E.mtcls);
  map(E.conflict);
  from.release();
  to.release();
}

static void release_clause(uint32_t c) {
  uint32_t words = cwords(c);
  cflags(c) |= kFreed;
  E.arena_garbage += words;
  E.recycled += (double)words * sizeof(uint32_t);
}

void collect_clauses() {

  for (size_t l = 2; l < 2 * (size_t)E.max_var + 2; l++) {
    unlink_marked(&E.htps[l], (uint32_t)l, false);
    unlink_marked(&E.dhtps[l], (uint32_t)l, true);
    Stack<Bin> &w = E.impls[l];
    size_t j = 0;
    for (size_t i = 0; i < w.n; i++)
      if (!to_collect(w[i].cref)) w[j++] = w[i];
    w.n = j;
  }
  for (uint32_t v = 1; v <= E.max_var; v++) {
    uint32_t &r = E.vars[v].reason;
    if (r != kNone && to_collect(r)) {
      unlock_reason(r);
      r = kNone;
    }
  }
  for (int store = 0; store < 2; store++) {
    Stack<uint32_t> &slots = store ? E.lclauses : E.oclauses;
    for (uint32_t &c : slots) {
      if (c == kNone || !to_collect(c)) continue;
      uint32_t &f = cflags(c);
      f = (f & ~kCollect) | kCollected;
      cls(c)[kLink0] = cls(c)[kLink1] = kNone;
      uint32_t n = csize(c);
      if (n > 2) {
        if (store) {
          E.nlclauses--;
          E.llits -= n;
        } else {
          E.noclauses--;
          E.olits -= n;
        }
      }
      if (!E.trace || (store && !(f & kUsed))) {
        release_clause(c);
        c = kNone;
      }
    }
  }
  if (!E.trace) {
    for (int store = 0; store < 2; store++) {
      Stack<uint32_t> &slots = store ? E.lclauses : E.oclauses;
      size_t j = 0;
      for (size_t i = 0; i < slots.n; i++)
        if (slots[i] != kNone) slots[j++] = slots[i];
      slots.n = j;
    }
  }

  if (E.arena_garbage * 2 > E.arena.n) compact_arena();

}

// ---------------------------------------------------------------------------
// Reduction and simplification.

void reduce(unsigned percentage) {
  E.lastreduceconflicts = E.conflicts;
  bool fixed_grew = E.fixed > E.fsimplify;
  Stack<uint32_t> &cand = E.resolved;
  cand.clear();
  uint32_t marked_learned = 0;
  bool any = false;
  for (int store = fixed_grew ? 0 : 1; store < 2; store++) {
    Stack<uint32_t> &slots = store ? E.lclauses : E.oclauses;
    for (uint32_t c : slots) {
      if (c == kNone) continue;
      uint32_t f = cflags(c);
      if (f & (kLocked | kCollected)) continue;
      if (fixed_grew && satisfied_at_top(c)) {
        cflags(c) |= kCollect;
        any = true;
        if ((f & kLearned) && csize(c) > 2) marked_learned++;
      } else if ((f & kLearned) && csize(c) > 2) {
        cand.push(c);
      }
    }
  }
  E.fsimplify = E.fixed;
  std::sort(cand.begin(), cand.end(), [](uint32_t a, uint32_t b) {
    Score x = cactivity(a), y = cactivity(b);
    if (x != y) return x < y;
    if (csize(a) != csize(b)) return csize(a) > csize(b);
    return a < b;
  });
  uint64_t n = (uint64_t)E.nlclauses + 1 - marked_learned;
  int k = 1;
  while (k < 32 && n > (1ull << k)) k++;
  Score floor = score_mult(E.cinc, score_make(1, -k));
  size_t cut = (size_t)(((uint64_t)percentage * n + 99) / 100);
  size_t ncand = cand.n;
  if (cut < ncand) {
    if (cactivity(cand[cut]) < floor) {
      while (cut < ncand && cactivity(cand[cut]) < floor) cut++;
    } else {
      while (cut > 0 && cactivity(cand[cut - 1]) == cactivity(cand[cut]) &&
             csize(cand[cut - 1]) == csize(cand[cut]))
        cut--;
    }
  } else {
    cut = ncand;
  }
  for (size_t i = 0; i < cut; i++) {
    cflags(cand[i]) |= kCollect;
    marked_learned++;
    any = true;
  }
  cand.clear();
  if (any) {
    E.reductions++;
    collect_clauses();
    report(2, '-');
  }
  if (!marked_learned) raise_reduce_limit();
}

void simplify() {
  bool any = false;
  for (int store = 0; store < 2; store++) {
    Stack<uint32_t> &slots = store ? E.lclauses : E.oclauses;
    for (uint32_t c : slots) {
      if (c == kNone || (cflags(c) & (kCollected | kLocked))) continue;
      if (satisfied_at_top(c)) {
        cflags(c) |= kCollect;
        any = true;
      }
    }
  }
  if (any) collect_clauses();
  uint64_t delta = 10 * (E.llits + E.olits) + 100000;
  if (delta > 2000000) delta = 2000000;
  E.lsimplify = E.propagations + delta;
  E.simps++;
  E.fsimplify = E.fixed;
  report(1, 's');
}

// ---------------------------------------------------------------------------
// Progress reports.

static void build_header() {
  static const char *const names[9] = {"seconds", "level", "variables",
                                       "used", "original", "conflicts",
                                       "learned", "limit", "agility"};
  int len[2] = {0, 6};
  memset(E.rline[1], ' ', 6);
  E.rline[0][0] = 0;
  E.rline[1][6] = 0;
  for (int i = 0; i < 9; i++) {
    int line = i & 1;
    char *dst = E.rline[line] + len[line];
    int w = strlen(names[i]) < 7 ? snprintf(dst, 64, "%6s%10s", names[i], "")
                                 : snprintf(dst, 64, "%-10s%4s", names[i], "");
    len[line] += w;
  }
  for (int line = 0; line < 2; line++) {
    int l = len[line];
    while (l > 0 && E.rline[line][l - 1] == ' ') l--;
    E.rline[line][l] = 0;
  }
  E.header_built = true;
}

void print_header_block() {
  if (!E.header_built) build_header();
  const char *p = E.prefix;
  fprintf(E.out, "%s\n%s %s\n%s %s\n%s\n", p, p, E.rline[0], p, E.rline[1], p);
  E.lastrheader = E.reports;
}

static void exponent_form(double val, unsigned mantissa_limit, const char *fmt) {
  unsigned e = 1;
  double m = std::floor(val / 10 + 0.5);
  while (m > mantissa_limit) {
    m = std::floor(m / 10 + 0.5);
    e++;
  }
  fprintf(E.out, fmt, (unsigned)m, e);
}

static void real_element(double val) {
  if (val < 0) {
    if (-val < 100) fprintf(E.out, "-%4.1f ", -val);
    else exponent_form(-val, 99, "-%2ue%u ");
  } else if (val < 1000 && std::floor(val * 10 + 0.5) <= 9999) {
    fprintf(E.out, "%5.1f ", val);
  } else {
    exponent_form(val, 999, "%3ue%u ");
  }
}

static void int_element(uint64_t val) {
  if (val <= 99999) fprintf(E.out, "%5u ", (unsigned)val);
  else exponent_form((double)val, 999, "%3ue%u ");
}

void report(int level, char type) {
  if (E.verbosity < level) return;
  if (!E.header_built) print_header_block();
  double now = E.seconds;
  if (E.nentered) now += process_time() - E.entered;
  fprintf(E.out, "%s%c ", E.prefix, type);
  real_element(now);
  real_element(E.decisions ? E.levelsum / (double)E.decisions : 0.0);
  int_element(E.max_var - E.fixed);
  real_element(E.max_var ? (double)E.vused / E.max_var * 100.0 : 0.0);
  int_element(E.noclauses);
  int_element(E.conflicts);
  int_element(E.nlclauses);
  int_element(E.lreduce);
  real_element((double)(E.sdflips / 10000) / 10.0);
  fputc('\n', E.out);
  E.reports++;
  if (E.reports % 22 == 21 && E.reports != E.lastrheader) print_header_block();
  fflush(E.out);
}

}  // namespace tern
