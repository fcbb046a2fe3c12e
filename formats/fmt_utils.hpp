// Lexing operations of the input readers: whitespace and line skipping,
// integers, words, relational operators and pseudo-Boolean expressions.
// Every lexing error ends the process with a "PARSE ERROR! " line on the
// error stream and exit status 3. Integers are checked for overflow and
// literals against the largest variable that the SAT engines can index, so
// no input can make the readers overflow or allocate without bound.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

namespace FMTUtils {

// Largest variable accepted in any input. The CDCL engine takes literals as
// 32-bit +v/-v and the second solver codes them as 2v+s in 32 bits, so
// every variable must stay below 2^30.
constexpr long long kMaxVariable = (1LL << 30) - 1;

// Prints the formatted message on the error stream and exits with status 3.
[[noreturn]] void parse_error(const char *fmt, ...)
    __attribute__((format(printf, 1, 2)));
// "PARSE ERROR! Unexpected char: %c" (EOF prints as the byte 0xFF).
[[noreturn]] void unexpected_char(int c);
// A weight or cost below 0.
[[noreturn]] void negative_weight(long long w);
// A literal whose variable exceeds kMaxVariable.
[[noreturn]] void variable_out_of_range(long long lit);
// A top weight below 1.
[[noreturn]] void invalid_top(long long top);

// a + b for non-negative a and b, capped at cap (no overflow).
inline long long add_capped(long long a, long long b, long long cap) {
  if (a >= cap || b >= cap - a)
    return cap;
  return a + b;
}

inline bool is_space(int c) { return (c >= 9 && c <= 13) || c == 32; }
inline bool is_digit(int c) { return c >= '0' && c <= '9'; }
inline bool is_alpha(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
inline bool is_word_char(int c) {
  return is_digit(c) || is_alpha(c) || c == '_';
}

// Advances over bytes 9..13 and 32 until another byte or the end.
template <class B> void skipWhitespace(B &in) {
  for (;;) {
    const unsigned char *p = in.cursor(), *e = in.block_end(), *q = p;
    if (p == e)
      return; // end of input
    while (q < e && is_space(*q))
      ++q;
    bool whole_block = q == e;
    in.skip(static_cast<int>(q - p));
    if (!whole_block)
      return;
  }
}

// Advances over blanks and tabs only (not line ends).
template <class B> void skipBlanks(B &in) {
  while (*in == ' ' || *in == '\t')
    ++in;
}

// Advances to the end of input or past the next line feed or carriage
// return.
template <class B> void skipLine(B &in) {
  for (;;) {
    const unsigned char *p = in.cursor(), *e = in.block_end(), *q = p;
    if (p == e)
      return;
    while (q < e && *q != '\n' && *q != '\r')
      ++q;
    if (q < e) {
      in.skip(static_cast<int>(q - p) + 1);
      return;
    }
    in.skip(static_cast<int>(q - p));
  }
}

// Reads the rest of an over-long number for its message and exits.
template <class B>
[[noreturn]] void number_out_of_range(B &in, bool neg, unsigned long long v) {
  std::string head = (neg ? "-" : "") + std::to_string(v);
  // Collect what follows (bounded) so that the message shows the number.
  while (is_digit(*in) && head.size() < 40) {
    head.push_back(static_cast<char>(*in));
    ++in;
  }
  if (is_digit(*in))
    head += "...";
  parse_error("PARSE ERROR! Number out of range: %s\n", head.c_str());
}

// Reads a signed decimal integer: optional sign, then at least one digit.
// Magnitudes above 2^63-1 are parse errors.
// The value of the leading decimal digits of the 8 bytes at p, and their
// count in n (0 to 8): the bytes are checked and converted all at once
// (SIMD within a register), so that the length of a number costs no
// mispredicted branch.
inline std::uint64_t leading_digits8(const unsigned char *p, int &n) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "little endian");
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  std::uint64_t x = w - 0x3030303030303030ULL;
  // The high bit of a byte is set from the first non-digit on: below '0'
  // the subtraction wraps, above '9' the addition passes 0x7F.
  std::uint64_t stop =
      (x | (x + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
  n = stop ? __builtin_ctzll(stop) / 8 : 8;
  if (n == 0)
    return 0;
  x <<= 64 - 8 * n; // leading zeros in place of the bytes after the digits
  x = (x * 10 + (x >> 8)) & 0x00FF00FF00FF00FFULL;
  x = (x * 100 + (x >> 16)) & 0x0000FFFF0000FFFFULL;
  return (x * 10000 + (x >> 32)) & 0xFFFFFFFFULL;
}

// Reads a number of at most 16 digits that lies, with the byte after it,
// within the current block: the common case, done on the block's bytes
// without refill or overflow checks. Returns false, consuming nothing, for
// anything else.
template <class B>
[[gnu::always_inline]] inline bool parseShortInt(B &in, long long &out) {
  const unsigned char *p = in.cursor(), *e = in.block_end();
  while (p < e && is_space(*p))
    ++p;
  if (e - p < 20)
    return false;
  unsigned neg = *p == '-';
  const unsigned char *q = p + (neg | (*p == '+'));
  int n;
  std::uint64_t v = leading_digits8(q, n);
  if (n == 0)
    return false;
  if (n == 8) {
    int m;
    std::uint64_t low = leading_digits8(q + 8, m);
    if (m == 8)
      return false; // longer than 16 digits: the careful path
    static const std::uint64_t kPow10[] = {1,      10,      100,     1000,
                                           10000,  100000,  1000000, 10000000};
    v = v * kPow10[m] + low;
    n += m;
  }
  in.skip(static_cast<int>(q + n - in.cursor()));
  long long sv = static_cast<long long>(v);
  out = (sv ^ -static_cast<long long>(neg)) + neg;
  return true;
}

// parseLongInt past the short numbers: signs, refills, long numbers and
// errors. Kept out of line so that the common case inlines.
template <class B> [[gnu::noinline]] long long parseLongIntCareful(B &in) {
  skipWhitespace(in);
  int c = *in;
  bool neg = false;
  if (c == '-' || c == '+') {
    neg = c == '-';
    ++in;
    c = *in;
  }
  if (!is_digit(c))
    unexpected_char(c);
  constexpr unsigned long long kMax = LLONG_MAX;
  unsigned long long v = 0;
  for (;;) {
    const unsigned char *p = in.cursor(), *e = in.block_end(), *q = p;
    while (q < e && is_digit(*q)) {
      unsigned d = static_cast<unsigned>(*q - '0');
      if (v >= kMax / 10 && v > (kMax - d) / 10) {
        in.skip(static_cast<int>(q - p));
        number_out_of_range(in, neg, v);
      }
      v = v * 10 + d;
      ++q;
    }
    bool whole_block = q == e && p != e;
    in.skip(static_cast<int>(q - p));
    if (!whole_block)
      break;
  }
  long long r = static_cast<long long>(v);
  return neg ? -r : r;
}

template <class B> inline long long parseLongInt(B &in) {
  long long fast;
  if (parseShortInt(in, fast))
    return fast;
  return parseLongIntCareful(in);
}

template <class B> long long parseInt(B &in) { return parseLongInt(in); }

// Reads a literal: an integer whose variable is at most kMaxVariable.
template <class B> long long parseLiteral(B &in) {
  long long l = parseLongInt(in);
  if (l > kMaxVariable || l < -kMaxVariable)
    variable_out_of_range(l);
  return l;
}

// Reads a weight: an integer of at least 0.
template <class B> long long parseWeight(B &in) {
  long long w = parseLongInt(in);
  if (w < 0)
    negative_weight(w);
  return w;
}

// Skips whitespace, then collects digits, letters, '_' and '.'.
template <class B> std::string readString(B &in) {
  skipWhitespace(in);
  std::string s;
  for (int c = *in; is_word_char(c) || c == '.'; c = *in) {
    s.push_back(static_cast<char>(c));
    ++in;
  }
  return s;
}

// Relational operator codes.
enum class Relation : int { Less = -2, LessEq = -1, Eq = 0, GreaterEq = 1,
                            Greater = 2 };

// Reads <, <=, =, ==, >=, >: codes -2, -1, 0, 0, 1, 2. Anything else is a
// parse error.
template <class B> int parseInequality(B &in) {
  skipWhitespace(in);
  int c = *in;
  if (c == '<' || c == '>') {
    ++in;
    bool eq = *in == '=';
    if (eq)
      ++in;
    int code = eq ? 1 : 2;
    return c == '<' ? -code : code;
  }
  if (c == '=') {
    ++in;
    if (*in == '=')
      ++in;
    return 0;
  }
  unexpected_char(c);
}

// Appends the terms of a pseudo-Boolean expression (coefficient, then a
// name whose first byte is arbitrary and whose further bytes are digits,
// letters or '_') until a byte that cannot start a term.
template <class B>
void parseExpr(B &in, std::vector<std::string> &names,
               std::vector<long long> &coefs, std::string &scratch) {
  for (;;) {
    skipWhitespace(in);
    int c = *in;
    if (c == EOF || !(is_digit(c) || c == '+' || c == '-'))
      return;
    coefs.push_back(parseLongInt(in));
    skipWhitespace(in);
    c = *in;
    if (c == EOF)
      unexpected_char(c);
    scratch.clear();
    scratch.push_back(static_cast<char>(c));
    ++in;
    for (c = *in; is_word_char(c); c = *in) {
      scratch.push_back(static_cast<char>(c));
      ++in;
    }
    names.push_back(scratch);
  }
}

// An expression, an operator and a right-hand side; the terminating ';' is
// left in the stream.
template <class B>
bool parse_pb_constraint(B &in, std::vector<std::string> &names,
                         std::vector<long long> &coefs, int &op,
                         long long &rhs) {
  std::string scratch;
  parseExpr(in, names, coefs, scratch);
  op = parseInequality(in);
  rhs = parseLongInt(in);
  return true;
}

// Rewrites a constraint to <= (-1) or = (0) with positive coefficients,
// negating literals as needed. Constants that leave the 64-bit range are a
// parse error.
void normalize_constraint(std::vector<long long> &lits,
                          std::vector<long long> &coefs, int &op,
                          long long &rhs);

template <class B>
void normalize_pb_constraint(B &, std::vector<long long> &lits,
                             std::vector<long long> &coefs, int &op,
                             long long &rhs) {
  normalize_constraint(lits, coefs, op, rhs);
}

} // namespace FMTUtils
