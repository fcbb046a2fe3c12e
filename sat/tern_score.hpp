// Score values: the 32-bit software floating point of the Tern engine.
//
// Every heuristic quantity of the engine (Jeroslow-Wang weights, variable
// scores, clause activities, their increments and limits) is a score value.
// The arithmetic is exact integer work, so searches are identical on every
// platform and compiler.
//
// A non-zero value holds an exponent byte E (top 8 bits) and a 24-bit
// fraction F and means (2^24 + F) * 2^(E - 128); 0 means zero; all-ones is
// infinity, the target of every overflow. Positive values order like their
// unsigned bit patterns, so scores are compared as integers.
#pragma once

#include <cstdint>

namespace tern {

using Score = uint32_t;

constexpr Score kScoreZero = 0;
constexpr Score kScoreInf = 0xFFFFFFFFu;   // saturated value
constexpr Score kScoreOne = 0x68000000u;   // 1.0
constexpr Score kScore2p90 = 0xC2000000u;  // 2^90, rescaling limit
constexpr Score kScore2m90 = 0x0E000000u;  // 2^-90, its inverse
constexpr Score kScoreTenth = 0x6499999Au; // 0.1 (rounded)

constexpr uint32_t kScoreHidden = 1u << 24; // implicit leading mantissa bit

inline uint32_t score_exponent_byte(Score s) { return s >> 24; }
inline uint32_t score_mantissa(Score s) { return (s & 0xFFFFFFu) | kScoreHidden; }
inline Score score_pack(uint32_t exponent_byte, uint32_t mantissa) {
  return (exponent_byte << 24) | (mantissa & 0xFFFFFFu);
}

// a + b, saturating at infinity.
inline Score score_add(Score a, Score b) {
  if (a < b) {
    Score t = a;
    a = b;
    b = t;
  }
  if (!b) return a;
  uint32_t ea = score_exponent_byte(a);
  uint32_t delta = ea - score_exponent_byte(b);
  if (delta >= 25) return a;  // b's mantissa shifts out completely
  uint32_t mb = score_mantissa(b) >> delta;
  if (!mb) return a;
  uint32_t sum = score_mantissa(a) + mb;
  if (sum >= (kScoreHidden << 1)) {
    if (ea == 255) return kScoreInf;
    sum >>= 1;
    ea++;
  }
  return score_pack(ea, sum);
}

// a * b, saturating at infinity and flushing to zero below 2^-128.
inline Score score_mult(Score a, Score b) {
  if (a < b) {
    Score t = a;
    a = b;
    b = t;
  }
  if (!b) return 0;
  int e = (int)score_exponent_byte(a) - 128 + (int)score_exponent_byte(b) - 128 + 24;
  if (e > 127) return kScoreInf;
  if (e < -128) return 0;
  uint64_t product = (uint64_t)score_mantissa(a) * score_mantissa(b);
  uint64_t m = product >> 24;
  if (m >= ((uint64_t)kScoreHidden << 1)) {
    if (e == 127) return kScoreInf;
    m = product >> 25;
    e++;
  }
  return score_pack((uint32_t)(e + 128), (uint32_t)m);
}

// m * 2^e for a small m (below 2^25); 0 when the value falls below 2^-128.
inline Score score_make(uint32_t m, int e) {
  if (!m) return 0;
  while (m < kScoreHidden) {
    if (e <= -128) return 0;
    m <<= 1;
    e--;
  }
  while (m >= (kScoreHidden << 1)) {
    m >>= 1;
    e++;
  }
  if (e > 127) return kScoreInf;
  if (e < -128) return 0;
  return score_pack((uint32_t)(e + 128), m);
}

// Decimal text "123", "1.05", ".5" to a score value; any other character, a
// second point or a point at the end gives infinity.
Score score_from_text(const char *text);

// The score as a double (reports and tests only).
double score_to_double(Score s);

}  // namespace tern
