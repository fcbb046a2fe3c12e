// Tern proof bookkeeping: derivation records of learned clauses, the
// unsatisfiable core (original clauses reached from the refutation), the
// four trace writers, incremental RUP output, and the analysis of failed
// assumptions.
#include <algorithm>

#include "sat/tern_internal.hpp"

namespace tern {

// A derivation record: a core byte, then the sorted antecedent indices as
// deltas in 7-bit groups (low group first, top bit = more follows), then 0.
void add_derivation(const Stack<uint32_t> &ants) {
  Stack<uint32_t> &idx = E.idxbuf;
  idx.clear();
  for (uint32_t c : ants) idx.push(cindex(c));
  std::sort(idx.begin(), idx.end());
  size_t m = 0;
  for (size_t i = 0; i < idx.n; i++)
    if (!m || idx[m - 1] != idx[i]) idx[m++] = idx[i];
  idx.n = m;
  E.zhains.push((uint32_t)E.zbytes.n);
  E.zbytes.push(0);
  uint32_t prev = 0;
  for (uint32_t i : idx) {
    uint32_t d = i - prev;
    prev = i;
    while (d >= 0x80) {
      E.zbytes.push((uint8_t)(d | 0x80));
      d >>= 7;
    }
    E.zbytes.push((uint8_t)d);
  }
  E.zbytes.push(0);
}

// Calls fn(index) for every antecedent of record j in ascending order.
template <class F> static void for_antecedents(uint32_t j, F fn) {
  const uint8_t *p = E.zbytes.data + E.zhains[j] + 1;
  uint32_t prev = 0;
  while (*p) {
    uint32_t d = 0;
    int shift = 0;
    uint8_t b;
    do {
      b = *p++;
      d |= (uint32_t)(b & 0x7F) << shift;
      shift += 7;
    } while (b & 0x80);
    prev += d;
    fn(prev);
  }
}

static inline bool record_in_core(uint32_t j) { return E.zbytes[E.zhains[j]] != 0; }

void clear_core_flags() {
  if (E.ocore < 0) return;
  for (int store = 0; store < 2; store++) {
    Stack<uint32_t> &slots = store ? E.lclauses : E.oclauses;
    for (uint32_t c : slots)
      if (c != kNone) cflags(c) &= ~kCore;
  }
  for (uint32_t v = 1; v <= E.max_var; v++) E.vars[v].flags &= ~kVarCore;
  for (uint32_t off : E.zhains) E.zbytes[off] = 0;
  E.ocore = -1;
}

void compute_core() {
  if (E.ocore >= 0) return;
  E.ocore = 0;
  E.core_vars = E.core_learned = 0;
  Stack<uint32_t> stack;
  if (E.mtcls != kNone) {
    stack.push(cindex(E.mtcls));
  } else if (E.failed_assumption) {
    // A failed assumption without reason clashes with another assumption:
    // the clash itself is the core and no clause takes part.
    uint32_t r = E.vars[lit_var(E.failed_assumption)].reason;
    if (r != kNone) stack.push(cindex(r));
  }
  while (!stack.empty()) {
    uint32_t idx = stack.back();
    stack.pop();
    if (idx & 1) {
      uint32_t j = (idx - 1) / 2;
      if (j < E.zhains.n) {
        uint8_t &flag = E.zbytes[E.zhains[j]];
        if (flag) continue;
        flag = 1;
        E.core_learned++;
        uint32_t c = E.lclauses[j];
        if (c != kNone) cflags(c) |= kCore;
        for_antecedents(j, [&](uint32_t a) { stack.push(a); });
        continue;
      }
    }
    uint32_t c = (idx & 1) ? E.lclauses[(idx - 1) / 2] : E.oclauses[(idx - 2) / 2];
    if (c == kNone || (cflags(c) & kCore)) continue;
    cflags(c) |= kCore;
    if (!(idx & 1)) E.ocore++;
    uint32_t n = csize(c);
    for (uint32_t i = 0; i < n; i++) {
      uint32_t l = clits(c)[i];
      Var &var = E.vars[lit_var(l)];
      if (!(var.flags & kVarCore)) {
        var.flags |= kVarCore;
        E.core_vars++;
      }
      if (l == E.failed_assumption && var.reason != kNone && !(cflags(var.reason) & kCore))
        stack.push(cindex(var.reason));
    }
  }
  stack.release();
  if (E.verbosity > 0) {
    const char *p = E.prefix;
    auto pct = [](double a, double b) { return b ? 100.0 * a / b : 0.0; };
    fprintf(E.out,
            "%s%u core variables out of %u (%.1f%%)\n"
            "%s%u core original clauses out of %u (%.1f%%)\n"
            "%s%u core learned clauses out of %u (%.1f%%)\n",
            p, E.core_vars, E.max_var, pct(E.core_vars, E.max_var), p,
            (unsigned)E.ocore, E.oadded, pct((double)E.ocore, E.oadded), p,
            E.core_learned, E.ladded, pct(E.core_learned, E.ladded));
    fflush(E.out);
  }
}

// Exported trace index: original slot i -> i + 1, learned j -> N + j + 1.
static uint64_t exported(uint32_t idx) {
  if (idx & 1) return (uint64_t)E.oclauses.n + (idx - 1) / 2 + 1;
  return (idx - 2) / 2 + 1;
}

static void write_lits(FILE *f, uint32_t c) {
  uint32_t n = csize(c);
  for (uint32_t i = 0; i < n; i++) fprintf(f, "%d ", lit_to_int(clits(c)[i]));
}

void write_trace(FILE *f, bool compact) {
  compute_core();
  size_t norig = E.oclauses.n;
  for (size_t i = 0; i < norig; i++) {
    uint32_t c = E.oclauses[i];
    if (c == kNone || !(cflags(c) & kCore)) continue;
    fprintf(f, "%zu ", i + 1);
    write_lits(f, c);
    fputs("0 0\n", f);
  }
  for (size_t j = 0; j < E.zhains.n; j++) {
    if (!record_in_core((uint32_t)j)) continue;
    fprintf(f, "%llu ", (unsigned long long)(norig + j + 1));
    if (compact) {
      fputc('*', f);
    } else {
      uint32_t c = E.lclauses[j];
      if (c != kNone) write_lits(f, c);
      fputc('0', f);
    }
    for_antecedents((uint32_t)j, [&](uint32_t a) {
      fprintf(f, " %llu", (unsigned long long)exported(a));
    });
    fputs(" 0\n", f);
  }
}

void rup_write_header(FILE *f, int vars, int clauses) {
  char line[300];
  int n = snprintf(line, sizeof line, "%%RUPD32 %u %u", (unsigned)vars, (unsigned)clauses);
  while (n < 256) line[n++] = ' ';
  line[n++] = '\n';
  fwrite(line, 1, (size_t)n, f);
  fflush(f);
}

void rup_write_learned(uint32_t c) {
  if (!E.rupstarted) {
    rup_write_header(E.rup, E.rupvariables, E.rupclauses);
    E.rupstarted = true;
  }
  write_lits(E.rup, c);
  fputs("0\n", E.rup);
}

void write_rup(FILE *f) {
  compute_core();
  E.rupvariables = (int)E.max_var;
  E.rupclauses = (int)E.oadded;
  rup_write_header(f, E.rupvariables, E.rupclauses);
  for (size_t j = 0; j < E.zhains.n; j++) {
    if (!record_in_core((uint32_t)j)) continue;
    uint32_t c = E.lclauses[j];
    if (c != kNone) write_lits(f, c);
    fputs("0\n", f);
  }
}

void write_clausal_core(FILE *f) {
  compute_core();
  fprintf(f, "p cnf %u %u\n", E.max_var, (unsigned)E.ocore);
  for (uint32_t c : E.oclauses) {
    if (c == kNone || !(cflags(c) & kCore)) continue;
    write_lits(f, c);
    fputs("0\n", f);
  }
}

// ---------------------------------------------------------------------------
// Failed assumptions.

void analyze_failed_assumption() {
  uint32_t a = E.failed_assumption;
  uint32_t v = lit_var(a);
  uint32_t r = E.vars[v].reason;
  if (r == kNone) return;
  bool deeper = false;
  for (uint32_t i = 0; i < csize(r) && !deeper; i++) {
    uint32_t w = lit_var(clits(r)[i]);
    if (w != v && E.vars[w].reason != kNone) deeper = true;
  }
  if (!deeper) return;
  double start = process_time();
  Stack<uint32_t> &marked = E.marked, &lits = E.llits_buf, &ants = E.resolved;
  marked.clear();
  lits.clear();
  ants.clear();
  E.vars[v].flags |= kMark;
  marked.push(v);
  lits.push(a ^ 1);
  for (size_t k = 0; k < marked.n; k++) {
    uint32_t u = marked[k];
    set_var_used(u);
    uint32_t ru = E.vars[u].reason;
    if (ru != kNone) {
      ants.push(ru);
      for (uint32_t i = 0; i < csize(ru); i++) {
        uint32_t w = lit_var(clits(ru)[i]);
        if (!(E.vars[w].flags & kMark)) {
          E.vars[w].flags |= kMark;
          marked.push(w);
        }
      }
    } else {
      lits.push(E.vals[2 * u] > 0 ? 2 * u + 1 : 2 * u);
    }
  }
  uint32_t c = add_clause(lits, ants, true, false);
  unlock_reason(E.vars[v].reason);
  E.vars[v].reason = c;
  lock_reason(c);
  for (uint32_t u : marked) E.vars[u].flags &= ~kMark;
  marked.clear();
  if (E.verbosity > 0) {
    fprintf(E.out, "%sfanalyze took %.1f seconds\n", E.prefix, process_time() - start);
    fflush(E.out);
  }
}

void compute_failed_set() {
  if (E.extracted_all_failed_assumptions) return;
  E.extracted_all_failed_assumptions = true;
  if (!E.failed_assumption) return;
  Stack<uint32_t> &marked = E.marked;
  marked.clear();
  uint32_t v = lit_var(E.failed_assumption);
  E.vars[v].flags |= kMark;
  marked.push(v);
  for (size_t k = 0; k < marked.n; k++) {
    uint32_t r = E.vars[marked[k]].reason;
    if (r == kNone) continue;
    for (uint32_t i = 0; i < csize(r); i++) {
      uint32_t w = lit_var(clits(r)[i]);
      if (!(E.vars[w].flags & kMark)) {
        E.vars[w].flags |= kMark;
        marked.push(w);
      }
    }
  }
  for (uint32_t a : E.als)
    if (E.vars[lit_var(a)].flags & kMark) E.vars[lit_var(a)].flags |= kFailed;
  for (uint32_t u : marked) E.vars[u].flags &= ~kMark;
  marked.clear();
}

}  // namespace tern
