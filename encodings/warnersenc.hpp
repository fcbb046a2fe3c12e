// Warners adder encoding of a weighted at-most constraint, sum of w_i over
// the true literals l_i at most k.
// Every weight becomes a binary number of fixed bits, each number is ANDed
// with its literal, the products are added in a balanced tree of
// ripple-carry adders, and the bits of the total are compared with k.
#pragma once

#include <algorithm>
#include <map>
#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"

struct WarnersEnc {
  using BitMap = std::map<unsigned, std::vector<long long>>;

  template <class IDM, class ClSet, class LV, class WV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                             const long long &k) {
    std::vector<long long> l(lits.begin(), lits.end());
    std::vector<long long> w(weights.begin(), weights.end());
    long long kk = k;
    if (normalize(imgr, cs, l, w, kk))
      return;
    trans(imgr, cs, l, w, kk);
  }

  // Fixes false every literal whose weight exceeds k, reports true when the
  // remaining weights cannot exceed k, and otherwise keeps the rest and
  // divides weights and k by the weights' greatest common divisor. Shared,
  // step for step, by the optimised Warners encoding and the sequential
  // weighted counters. A negative k cannot be met: the empty clause.
  template <class IDM, class ClSet>
  static bool normalize(IDM &, ClSet &cs, std::vector<long long> &lits,
                        std::vector<long long> &weights, long long &k) {
    if (k < 0) {
      enc_detail::add_empty_clause(cs);
      return true;
    }
    if (lits.empty())
      return true;
    long long g = weights[0];
    enc_arith::Wide s = 0;
    std::vector<long long> must_false;
    for (std::size_t i = 0; i < lits.size(); ++i) {
      g = std::min(g, weights[i]);
      if (weights[i] > k)
        must_false.push_back(lits[i]);
      else
        s += weights[i];
    }
    for (long long l : must_false)
      enc_detail::add_clause(cs, {-l});
    if (k >= s)
      return true;
    std::size_t j = 0;
    for (std::size_t i = 0; i < lits.size(); ++i)
      if (weights[i] <= k) {
        lits[j] = lits[i];
        weights[j] = weights[i];
        ++j;
      }
    lits.resize(j);
    weights.resize(j);
    if (j > 1) {
      for (std::size_t i = 0; i < j && g != 1; ++i)
        g = enc_arith::gcd(g, weights[i]);
      if (g > 1) {
        for (long long &w : weights)
          w /= g;
        k = (k - k % g) / g;
      }
    }
    return false;
  }

  template <class IDM, class ClSet>
  static void trans(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                    std::vector<long long> &weights, long long k) {
    long long wmax = *std::max_element(weights.begin(), weights.end());
    unsigned nbits = enc_arith::bit_length(wmax);
    BitMap map;
    for (std::size_t i = 0; i < lits.size(); ++i)
      transA(imgr, cs, weights[i], static_cast<unsigned>(i), nbits, map);
    std::vector<long long> result;
    trans_sum(imgr, cs, lits, map, static_cast<unsigned>(lits.size() - 1), 0,
              result);
    Tb(imgr, cs, result, k);
  }

  // The constant number w at position i: nbits variables fixed by unit
  // clauses, taken from the most significant bit down.
  template <class IDM, class ClSet>
  static void transA(IDM &imgr, ClSet &cs, long long w, unsigned i,
                     unsigned nbits, BitMap &map) {
    std::vector<bool> bits;
    bit_rep(w, bits);
    unsigned L = static_cast<unsigned>(bits.size());
    std::vector<long long> &num = map[i];
    num.assign(std::max(nbits, L), 0);
    for (unsigned j = nbits; j-- > L;) {
      long long y = imgr.new_id();
      num[j] = y;
      enc_detail::add_clause(cs, {-y});
    }
    for (unsigned j = L; j-- > 0;) {
      long long y = imgr.new_id();
      num[j] = y;
      enc_detail::add_clause(cs, {bits[j] ? y : -y});
    }
  }

  // The sum of the products of positions lo..hi; the lower half (never
  // smaller) is built completely before the upper one.
  template <class IDM, class ClSet>
  static void trans_sum(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                        BitMap &map, unsigned hi, unsigned lo,
                        std::vector<long long> &result) {
    if (hi == lo) {
      Tmult(imgr, cs, lits[lo], map[lo], result);
      return;
    }
    unsigned mid = lo + (hi - lo) / 2;
    std::vector<long long> A, B;
    trans_sum(imgr, cs, lits, map, mid, lo, A);
    trans_sum(imgr, cs, lits, map, hi, mid + 1, B);
    TPlus(imgr, cs, A, B, result);
  }

  // result[j] = bits[j] AND x.
  template <class IDM, class ClSet>
  static void Tmult(IDM &imgr, ClSet &cs, long long x,
                    const std::vector<long long> &bits,
                    std::vector<long long> &result) {
    for (long long b : bits) {
      long long z = imgr.new_id();
      result.push_back(z);
      enc_detail::add_clause(cs, {-z, b});
      enc_detail::add_clause(cs, {-z, x});
      enc_detail::add_clause(cs, {-b, -x, z});
    }
  }

  // Ripple-carry adder of A and B (|A| = |B| or |B| + 1) into a + 1 bits.
  template <class IDM, class ClSet>
  static void TPlus(IDM &imgr, ClSet &cs, const std::vector<long long> &A,
                    const std::vector<long long> &B,
                    std::vector<long long> &result) {
    using enc_detail::add_clause;
    std::size_t a = A.size(), b = B.size(), m = std::min(a, b);
    std::vector<long long> s(a + 1), c(m + 1);
    s[0] = imgr.new_id();
    result.push_back(s[0]);
    add_clause(cs, {s[0], A[0], -B[0]});
    add_clause(cs, {s[0], -A[0], B[0]});
    add_clause(cs, {-s[0], -A[0], -B[0]});
    add_clause(cs, {-s[0], A[0], B[0]});
    c[0] = imgr.new_id();
    add_clause(cs, {c[0], -A[0], -B[0]});
    add_clause(cs, {-c[0], A[0]});
    add_clause(cs, {-c[0], B[0]});
    for (std::size_t i = 1; i < m; ++i)
      c[i] = imgr.new_id();
    if (a > b)
      c[m] = imgr.new_id();
    for (std::size_t i = 1; i < m; ++i) {
      s[i] = imgr.new_id();
      result.push_back(s[i]);
      add_clause(cs, {s[i], -A[i], B[i], c[i - 1]});
      add_clause(cs, {s[i], -A[i], -B[i], -c[i - 1]});
      add_clause(cs, {s[i], A[i], -B[i], c[i - 1]});
      add_clause(cs, {s[i], A[i], B[i], -c[i - 1]});
      add_clause(cs, {-s[i], A[i], B[i], c[i - 1]});
      add_clause(cs, {-s[i], A[i], -B[i], -c[i - 1]});
      add_clause(cs, {-s[i], -A[i], -B[i], c[i - 1]});
      add_clause(cs, {-s[i], -A[i], B[i], -c[i - 1]});
    }
    if (a > b) {
      s[m] = imgr.new_id();
      result.push_back(s[m]);
      add_clause(cs, {s[m], -A[m], c[m - 1]});
      add_clause(cs, {s[m], A[m], -c[m - 1]});
      add_clause(cs, {-s[m], A[m], c[m - 1]});
      add_clause(cs, {-s[m], -A[m], -c[m - 1]});
    }
    for (std::size_t i = 1; i < m; ++i) {
      add_clause(cs, {c[i], -A[i], -B[i]});
      add_clause(cs, {c[i], -A[i], -c[i - 1]});
      add_clause(cs, {c[i], -B[i], -c[i - 1]});
      add_clause(cs, {-c[i], A[i], B[i]});
      add_clause(cs, {-c[i], A[i], c[i - 1]});
      add_clause(cs, {-c[i], B[i], c[i - 1]});
    }
    if (a > b) {
      long long top = A[a - 1];
      add_clause(cs, {c[m], -top, -c[m - 1]});
      add_clause(cs, {-c[m], top});
      add_clause(cs, {-c[m], top, c[m - 1]});
      add_clause(cs, {-c[m], c[m - 1]});
    }
    long long t = imgr.new_id();
    result.push_back(t);
    long long last = a > b ? c[m] : c[m - 1];
    add_clause(cs, {-last, t});
    add_clause(cs, {last, -t});
  }

  // The total R (least significant bit first) is at most k.
  template <class IDM, class ClSet>
  static void Tb(IDM &, ClSet &cs, const std::vector<long long> &R,
                 long long k) {
    std::vector<bool> K;
    bit_rep(k, K);
    std::size_t L = K.size();
    if (L > R.size()) // k reaches 2^|R|: no total can exceed it
      return;
    for (std::size_t i = 0; i < L; ++i) {
      if (K[i])
        continue;
      std::vector<long long> cl{-R[i]};
      for (std::size_t j = i + 1; j < L; ++j)
        if (K[j])
          cl.push_back(-R[j]);
      cs.create_clause(cl);
    }
    for (std::size_t i = L; i < R.size(); ++i)
      enc_detail::add_clause(cs, {-R[i]});
  }

  // The bits of v >= 0, least significant first; one 0 bit for v = 0.
  static void bit_rep(long long v, std::vector<bool> &bits) {
    unsigned len = enc_arith::bit_length(v);
    bits.assign(len, false);
    for (unsigned j = 0; j < len; ++j)
      bits[j] = (v >> j) & 1;
  }
};
