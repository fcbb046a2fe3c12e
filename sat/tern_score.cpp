// Score values: decimal text conversion and the debugging view as a double.
#include "sat/tern_score.hpp"

#include <cmath>

namespace tern {

Score score_from_text(const char *text) {
  const Score ten = score_make(10, 0);
  Score res = 0;
  const char *p = text;
  for (; *p && *p != '.'; p++) {
    if (*p < '0' || *p > '9') return kScoreInf;
    res = score_add(score_mult(res, ten), score_make((uint32_t)(*p - '0'), 0));
  }
  if (!*p) return res;
  p++;  // the point
  if (!*p) return kScoreInf;
  Score base = kScoreOne;
  for (; *p; p++) {
    if (*p < '0' || *p > '9') return kScoreInf;
    base = score_mult(base, kScoreTenth);
    res = score_add(res, score_mult(score_make((uint32_t)(*p - '0'), 0), base));
  }
  return res;
}

double score_to_double(Score s) {
  if (!s) return 0;
  if (s == kScoreInf) return INFINITY;
  return std::ldexp((double)score_mantissa(s), (int)score_exponent_byte(s) - 128);
}

}  // namespace tern
