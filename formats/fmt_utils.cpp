#include "formats/fmt_utils.hpp"

#include <cstdarg>
#include <cstdlib>

#include "model/runtime_msgs.hpp"
#include "model/sigsafe_out.hpp"

namespace FMTUtils {

void parse_error(const char *fmt, ...) {
  // The whole lines standard output holds come before the message.
  std::fflush(stdout);
  stdout_flush();
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fflush(stderr);
  std::exit(ExitStatus::Failure);
}

void unexpected_char(int c) {
  parse_error("PARSE ERROR! Unexpected char: %c\n", c);
}

void negative_weight(long long w) {
  parse_error("PARSE ERROR! Negative weight: %lld\n", w);
}

void variable_out_of_range(long long lit) {
  parse_error("PARSE ERROR! Variable out of range: %lld (largest allowed: "
              "%lld)\n",
              lit, kMaxVariable);
}

void invalid_top(long long top) {
  parse_error("PARSE ERROR! Top weight below 1: %lld\n", top);
}

namespace {
[[noreturn]] void constants_out_of_range() {
  parse_error("PARSE ERROR! Constraint constants out of range\n");
}

long long checked_add(long long a, long long b) {
  long long r;
  if (__builtin_add_overflow(a, b, &r))
    constants_out_of_range();
  return r;
}
} // namespace

void normalize_constraint(std::vector<long long> &lits,
                          std::vector<long long> &coefs, int &op,
                          long long &rhs) {
  if (op == static_cast<int>(Relation::Less)) {
    rhs = checked_add(rhs, -1);
    op = static_cast<int>(Relation::LessEq);
  } else if (op == static_cast<int>(Relation::Greater)) {
    rhs = checked_add(rhs, 1);
    op = static_cast<int>(Relation::GreaterEq);
  }
  // Parsed constants lie in [-(2^63-1), 2^63-1], so negation is safe.
  if (op > 0) {
    for (long long &a : coefs)
      a = -a;
    rhs = -rhs;
    op = -op;
  }
  long long sum = 0;
  for (std::size_t i = 0; i < coefs.size(); ++i)
    if (coefs[i] < 0) {
      coefs[i] = -coefs[i];
      lits[i] = -lits[i];
      sum = checked_add(sum, coefs[i]);
    }
  rhs = checked_add(rhs, sum);
}

} // namespace FMTUtils
