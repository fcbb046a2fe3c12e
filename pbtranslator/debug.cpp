// Translator debug dumps.
#include "pbtranslator/debug.hpp"

#include <cstring>

vec<char *> *debug_names = nullptr;

namespace {
bool line_start = true; // next character begins a line
bool bold = false;

void dumpValue(Lit p, const vec<int> &values) {
  int v = values[var(p)];
  if (sign(p))
    v = -v;
  debug_reportf("%s", v == 1 ? ":1" : v == -1 ? ":0" : ":?");
}

void dumpTerms(const Linear &c, const vec<int> *values, bool trailing) {
  for (int i = 0; i < c.size; i++) {
    if (i > 0 && !trailing)
      debug_reportf("  ");
    dump(c(i));
    debug_reportf("*");
    dump(c[i]);
    if (values != nullptr)
      dumpValue(c[i], *values);
    if (trailing)
      debug_reportf("  ");
  }
  debug_reportf("in [");
  dump(c.lower);
  debug_reportf(",");
  dump(c.upper);
  debug_reportf("]");
}
} // namespace

void debug_reportf(const char *format, ...) {
  va_list args;
  va_start(args, format);
  char *text = vnsprintf(format, args);
  va_end(args);
  for (const char *p = text; *p != '\0'; p++) {
    if (line_start)
      std::fputs("c ", stdout);
    if (*p == '\b') {
      bold = !bold;
      std::fputs(bold ? "\033[1m" : "\033[0m", stdout);
      line_start = false;
    } else {
      std::fputc(*p, stdout);
      line_start = *p == '\n' || *p == '\r';
    }
  }
  std::fflush(stdout);
  xfree(text);
}

void dump(Int num) {
  if (num == Int(-INT64_MAX)) {
    debug_reportf("-oo");
    return;
  }
  if (num == Int(INT64_MAX)) {
    debug_reportf("+oo");
    return;
  }
  char buf[32];
  std::snprintf(buf, sizeof buf, "%lld", (long long)num.value());
  debug_reportf("%s", buf);
}

void dump(Lit p) {
  const char *sgn = sign(p) ? "~" : "";
  int v = var(p);
  if (debug_names == nullptr)
    debug_reportf("%sx%d", sgn, v);
  else if (v < debug_names->size())
    debug_reportf("%s%s", sgn, (*debug_names)[v]);
  else
    debug_reportf("%s@%d", sgn, v);
}

void dump(Formula f) {
  const char *sgn = f.sign() ? "~" : "";
  int k = f.toInt() >> 4;
  debug_reportf(f.compound() ? "%s@%d" : "%sv%d", sgn, k);
}

void dump(const vec<Lit> &ps, const vec<Int> &cs) {
  for (int i = 0; i < ps.size(); i++) {
    if (i > 0)
      debug_reportf("  ");
    dump(cs[i]);
    debug_reportf("*");
    dump(ps[i]);
  }
}

void dump(const vec<Formula> &fs, const vec<Int> &cs) {
  for (int i = 0; i < fs.size(); i++) {
    if (i > 0)
      debug_reportf("  ");
    dump(cs[i]);
    debug_reportf("*");
    dump(fs[i]);
  }
}

void dump(const vec<Lit> &ps, const vec<Int> &cs, const vec<int> &values) {
  for (int i = 0; i < ps.size(); i++) {
    if (i > 0)
      debug_reportf("  ");
    dump(cs[i]);
    debug_reportf("*");
    dump(ps[i]);
    dumpValue(ps[i], values);
  }
}

void dump(const Linear &c) { dumpTerms(c, nullptr, true); }

void dump(const Linear &c, const vec<int> &values) {
  dumpTerms(c, &values, false);
}
