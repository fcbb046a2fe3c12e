// Option registration, parsing and help lines, and the solver's own options.
#include "sat/wren_options.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Wren {

void fatal(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::fputs("*** wren: ", stderr);
  std::vfprintf(stderr, fmt, args);
  std::fputc('\n', stderr);
  va_end(args);
  std::fflush(stdout);
  std::exit(3);
}

vec<Option*>& Option::getOptionList() {
  static vec<Option*> options;
  return options;
}

Option::Option(const char* name_, const char* desc_, const char* cate_,
               const char* type_)
    : name(name_), description(desc_), category(cate_), type_name(type_) {
  getOptionList().push(this);
}

namespace {

// Advances span past prefix when span starts with it.
bool match(const char*& span, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (std::strncmp(span, prefix, n) != 0) return false;
  span += n;
  return true;
}

[[noreturn]] void value_error(const char* value, const char* what,
                              const char* name) {
  std::fprintf(stderr, "ERROR! value <%s> is too %s for option \"%s\".\n",
               value, what, name);
  std::exit(1);
}

}  // namespace

bool IntOption::parse(const char* text) {
  const char* span = text;
  if (!match(span, "-") || !match(span, name) || !match(span, "="))
    return false;
  // Only a whole decimal number is a value; a number beyond 64 bits
  // saturates and is then reported as out of range, never truncated.
  char* end = nullptr;
  errno = 0;
  long long tmp = std::strtoll(span, &end, 10);
  if (end == span || *end != '\0') return false;
  if (tmp > range.end) value_error(span, "large", name);
  if (tmp < range.begin) value_error(span, "small", name);
  value = (int)tmp;
  return true;
}

void IntOption::help(bool verbose) {
  std::fprintf(stderr, "  -%-12s = %-8s [", name, type_name);
  if (range.begin == INT_MIN)
    std::fprintf(stderr, "imin");
  else
    std::fprintf(stderr, "%4d", range.begin);
  std::fprintf(stderr, " .. ");
  if (range.end == INT_MAX)
    std::fprintf(stderr, "imax");
  else
    std::fprintf(stderr, "%4d", range.end);
  std::fprintf(stderr, "] (default: %d)\n", value);
  if (verbose) {
    std::fprintf(stderr, "\n        %s\n", description);
    std::fprintf(stderr, "\n");
  }
}

bool DoubleOption::parse(const char* text) {
  const char* span = text;
  if (!match(span, "-") || !match(span, name) || !match(span, "="))
    return false;
  char* end = nullptr;
  double tmp = std::strtod(span, &end);
  if (end == span || *end != '\0' || std::isnan(tmp)) return false;
  if (tmp >= range.end && (!range.end_inclusive || tmp != range.end))
    value_error(span, "large", name);
  if (tmp <= range.begin && (!range.begin_inclusive || tmp != range.begin))
    value_error(span, "small", name);
  value = tmp;
  return true;
}

void DoubleOption::help(bool verbose) {
  std::fprintf(stderr, "  -%-12s = %-8s %c%4.2g .. %4.2g%c (default: %g)\n",
               name, type_name, range.begin_inclusive ? '[' : '(', range.begin,
               range.end, range.end_inclusive ? ']' : ')', value);
  if (verbose) {
    std::fprintf(stderr, "\n        %s\n", description);
    std::fprintf(stderr, "\n");
  }
}

bool BoolOption::parse(const char* text) {
  const char* span = text;
  if (!match(span, "-")) return false;
  bool b = !match(span, "no-");
  if (std::strcmp(span, name) != 0) return false;
  value = b;
  return true;
}

void BoolOption::help(bool verbose) {
  std::fprintf(stderr, "  -%s, -no-%s", name, name);
  for (int i = 0; i < 32 - 2 * (int)std::strlen(name); i++)
    std::fprintf(stderr, " ");
  std::fprintf(stderr, " ");
  std::fprintf(stderr, "(default: %s)\n", value ? "on" : "off");
  if (verbose) {
    std::fprintf(stderr, "\n        %s\n", description);
    std::fprintf(stderr, "\n");
  }
}

// clang-format off
static const char* cat = "CORE";

DoubleOption opt_var_decay(cat, "var-decay", "The variable activity decay factor", 0.95, DoubleRange(0, false, 1, false));
DoubleOption opt_clause_decay(cat, "cla-decay", "The clause activity decay factor", 0.999, DoubleRange(0, false, 1, false));
DoubleOption opt_random_var_freq(cat, "rnd-freq", "The frequency with which the decision heuristic tries to choose a random variable", 0, DoubleRange(0, true, 1, true));
DoubleOption opt_random_seed(cat, "rnd-seed", "Used by the random variable selection", 91648253, DoubleRange(0, false, HUGE_VAL, false));
IntOption opt_ccmin_mode(cat, "ccmin-mode", "Controls conflict clause minimization (0=none, 1=basic, 2=deep)", 2, IntRange(0, 2));
IntOption opt_phase_saving(cat, "phase-saving", "Controls the level of phase saving (0=none, 1=limited, 2=full)", 2, IntRange(0, 2));
BoolOption opt_rnd_init_act(cat, "rnd-init", "Randomize the initial activity", false);
BoolOption opt_luby_restart(cat, "luby", "Use the Luby restart sequence", true);
IntOption opt_restart_first(cat, "rfirst", "The base restart interval", 100, IntRange(1, INT32_MAX));
DoubleOption opt_restart_inc(cat, "rinc", "Restart interval increase factor", 2, DoubleRange(1, false, HUGE_VAL, false));
DoubleOption opt_garbage_frac(cat, "gc-frac", "The fraction of wasted memory allowed before a garbage collection is triggered", 0.20, DoubleRange(0, false, HUGE_VAL, false));
// clang-format on

}  // namespace Wren
