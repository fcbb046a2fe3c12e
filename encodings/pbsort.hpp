// Pseudo-Boolean sorting networks: sum of w_i over the true l_i at least k.
// Every weight is written in a mixed-radix base of primes 2..19, each digit
// position feeds a sorting network (the literal repeated as
// often as its digit, plus the carries of the position below), and the
// sorted outputs are compared with the digits of k from the most
// significant position down. At most k is at least sum - k of the negated
// literals. The entries take the weights before the literals.
//
// A fixed-true and a fixed-false variable are shared by every constraint
// encoded between initialize and finalize (process-wide cells, 0 while the
// variable has not been made).
#pragma once

#include <algorithm>
#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"

struct PBSortingNetworks {
  static long long *truevar;
  static long long *falsevar;

  // Creates the cells when absent and forgets both variables.
  static void initialize();
  // Frees both cells.
  static void finalize();

  template <class IDM, class ClSet, class WV, class LV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, WV &weights, LV &lits,
                             long long k) {
    if (!truevar || !falsevar)
      initialize();
    encode_atmostN(imgr, cs, weights, lits, k, *falsevar, *truevar);
  }
  template <class IDM, class ClSet, class WV, class LV>
  static void encode_atleastN(IDM &imgr, ClSet &cs, WV &weights, LV &lits,
                              const long long &k) {
    if (!truevar || !falsevar)
      initialize();
    encode_atleastN(imgr, cs, weights, lits, k, *falsevar, *truevar);
  }

  // At most k: nothing when k reaches the sum, a unit {-l} per literal for
  // k = 0, otherwise at least sum - k of the negated literals.
  template <class IDM, class ClSet, class WV, class LV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, WV &weights, LV &lits,
                             long long k, long long &fv, long long &tv) {
    if (k < 0) { // cannot be met; callers never pass it
      enc_detail::add_empty_clause(cs);
      return;
    }
    enc_arith::Wide s = enc_arith::wide_sum(weights);
    if (k >= s)
      return;
    if (k == 0) {
      CommonCard::encode_atmost0(imgr, cs, lits);
      return;
    }
    enc_arith::Wide bound = s - k;
    if (bound > enc_arith::kMax)
      enc_arith::too_large();
    std::vector<long long> neg;
    neg.reserve(lits.size());
    for (long long l : lits)
      neg.push_back(-l);
    encode_atleastN(imgr, cs, weights, neg, static_cast<long long>(bound), fv,
                    tv);
  }

  // At least k. A bound of 0 or below always holds and adds nothing.
  template <class IDM, class ClSet, class WV, class LV>
  static void encode_atleastN(IDM &imgr, ClSet &cs, WV &weights, LV &lits,
                              long long k, long long &fv, long long &tv) {
    if (k <= 0)
      return;
    std::vector<long long> w, l(lits.begin(), lits.end());
    w.reserve(weights.size());
    for (long long x : weights)
      w.push_back(std::min(x, k));
    normalize(w, k);
    removeClausalPart(imgr, cs, w, l, k);
    if (l.empty())
      return;
    std::vector<int> base;
    findBestBase(base, w);
    generateSorters(imgr, cs, base, w, l, k, fv, tv);
  }

  // Divides the weights by their gcd and k by it, rounding k up.
  static void normalize(std::vector<long long> &weights, long long &k);

  // Literals of weight k alone meet the bound: they become one clause, or
  // one fresh literal y of weight k that needs one of them.
  template <class IDM, class ClSet>
  static void removeClausalPart(IDM &imgr, ClSet &cs,
                                std::vector<long long> &weights,
                                std::vector<long long> &lits, long long k) {
    std::vector<long long> E, ol, ow;
    enc_arith::Wide r = 0;
    for (std::size_t i = 0; i < lits.size(); ++i) {
      if (weights[i] == k) {
        E.push_back(lits[i]);
      } else {
        ol.push_back(lits[i]);
        ow.push_back(weights[i]);
        r += weights[i];
      }
    }
    bool some_differ = !ol.empty();
    if (some_differ && k <= r) {
      if (E.size() >= 2) {
        long long y = imgr.new_id();
        lits = ol;
        weights = ow;
        lits.push_back(y);
        weights.push_back(k);
        E.push_back(-y);
        cs.create_clause(E);
      }
      return;
    }
    lits.clear();
    weights.clear();
    cs.create_clause(E);
  }

  // The base of least digit sum (ties: the shorter one), as indices into
  // the primes 2..19, found by a bounded depth-first search. On weights of
  // many digits the search stops after a fixed amount of work and keeps the
  // best base found by then (never worse than the binary base).
  static void findBestBase(std::vector<int> &base,
                           const std::vector<long long> &weights);

  template <class IDM, class ClSet>
  static void generateSorters(IDM &imgr, ClSet &cs, const std::vector<int> &base,
                              const std::vector<long long> &weights,
                              const std::vector<long long> &lits, long long k,
                              long long &fv, long long &tv) {
    std::size_t m = base.size();
    std::vector<enc_arith::Wide> P;
    setBuckets(base, P);
    std::vector<long long> kd;
    dinB(kd, k, P);
    std::vector<std::vector<long long>> digits(weights.size());
    for (std::size_t i = 0; i < weights.size(); ++i)
      dinB(digits[i], weights[i], P);
    std::vector<std::vector<long long>> outs(m + 1);
    std::vector<long long> carries;
    for (std::size_t j = 0; j <= m; ++j) {
      std::vector<long long> inputs = carries;
      for (std::size_t i = 0; i < weights.size(); ++i)
        inputs.insert(inputs.end(), static_cast<std::size_t>(digits[i][j]),
                      lits[i]);
      if (inputs.size() >= 2)
        sorter(imgr, cs, inputs, outs[j], fv);
      else
        outs[j] = inputs;
      if (j < m) {
        carries.clear();
        std::size_t b = static_cast<std::size_t>(kPrimes[base[j]]);
        for (std::size_t t = 1; b * t <= inputs.size(); ++t)
          carries.push_back(outs[j][b * t - 1]);
      }
    }
    long long res = lexComp(imgr, cs, base, outs, kd, m + 1, fv, tv);
    enc_detail::add_clause(cs, {res});
  }

  // Sorts inputs (padded to a power of two with the fixed-false variable);
  // the first n outputs are appended to outputs.
  template <class IDM, class ClSet>
  static void sorter(IDM &imgr, ClSet &cs, const std::vector<long long> &inputs,
                     std::vector<long long> &outputs, long long &fv) {
    std::size_t n = inputs.size();
    std::size_t size =
        static_cast<std::size_t>(enc_arith::pow2_at_least(static_cast<long long>(n)));
    std::vector<long long> in = inputs, out;
    if (size != n)
      in.resize(size, falseVar(imgr, cs, fv));
    sorter_recur(imgr, cs, in, out);
    outputs.insert(outputs.end(), out.begin(), out.begin() + n);
  }

  template <class IDM, class ClSet>
  static void sorter_recur(IDM &imgr, ClSet &cs, const std::vector<long long> &in,
                           std::vector<long long> &out) {
    if (in.size() == 2) {
      std::vector<long long> a{in[0]}, b{in[1]};
      merge_recur(imgr, cs, a, b, out);
      return;
    }
    std::size_t h = in.size() / 2;
    std::vector<long long> A(in.begin(), in.begin() + h),
        B(in.begin() + h, in.end()), SA, SB;
    sorter_recur(imgr, cs, A, SA);
    sorter_recur(imgr, cs, B, SB);
    merge_recur(imgr, cs, SA, SB, out);
  }

  // Merges two sorted vectors of equal length; an output can only be true
  // when enough inputs are.
  template <class IDM, class ClSet>
  static void merge_recur(IDM &imgr, ClSet &cs, const std::vector<long long> &A,
                          const std::vector<long long> &B,
                          std::vector<long long> &out) {
    using enc_detail::add_clause;
    std::size_t h = A.size();
    if (h == 1) {
      long long o0 = imgr.new_id(), o1 = imgr.new_id();
      out.push_back(o0);
      out.push_back(o1);
      add_clause(cs, {A[0], B[0], -o0});
      add_clause(cs, {A[0], -o1});
      add_clause(cs, {B[0], -o1});
      return;
    }
    std::vector<long long> ae, be, ao, bo, V, W;
    for (std::size_t i = 0; i < h; i += 2) {
      ae.push_back(A[i]);
      be.push_back(B[i]);
    }
    for (std::size_t i = 1; i < h; i += 2) {
      ao.push_back(A[i]);
      bo.push_back(B[i]);
    }
    merge_recur(imgr, cs, ae, be, V);
    merge_recur(imgr, cs, ao, bo, W);
    std::size_t base = out.size();
    out.push_back(V[0]);
    for (std::size_t i = 0; i < 2 * h - 2; ++i)
      out.push_back(imgr.new_id());
    out.push_back(W[h - 1]);
    const long long *o = out.data() + base;
    for (std::size_t i = 0; i + 1 < h; ++i) {
      add_clause(cs, {V[i + 1], W[i], -o[2 * i + 1]});
      add_clause(cs, {V[i + 1], -o[2 * i + 2]});
      add_clause(cs, {W[i], -o[2 * i + 2]});
    }
  }

  // A literal for: the number of true inputs, modulo M, is at least d (o the
  // sorted outputs of a position).
  template <class IDM, class ClSet>
  static long long modGE(IDM &imgr, ClSet &cs, const std::vector<long long> &o,
                         long long M, long long d, long long &fv,
                         long long &tv) {
    long long n = static_cast<long long>(o.size());
    if (d == 0)
      return trueVar(imgr, cs, tv);
    if (n == 0 || d > n || d == M)
      return falseVar(imgr, cs, fv);
    std::vector<long long> terms;
    for (long long q = 0; q < n && q + d <= n; q += M) {
      if (q + M > n) {
        terms.push_back(o[q + d - 1]);
        continue;
      }
      long long a = o[q + d - 1], b = -o[q + M - 1];
      if (a == fv || b == fv)
        terms.push_back(fv);
      else if (a == tv)
        terms.push_back(b);
      else if (b == tv)
        terms.push_back(a);
      else {
        long long t = imgr.new_id();
        encode_and(cs, t, a, b);
        terms.push_back(t);
      }
    }
    if (terms.size() == 1)
      return terms[0];
    return encode_or_gate(imgr, cs, terms, fv, tv);
  }

  template <class IDM, class ClSet>
  static long long encode_or_gate(IDM &imgr, ClSet &cs,
                                  const std::vector<long long> &terms,
                                  long long &fv, long long &tv) {
    std::vector<long long> rest;
    for (long long t : terms) {
      if (t == tv)
        return tv;
      if (t != fv)
        rest.push_back(t);
    }
    if (rest.empty())
      return fv;
    if (rest.size() == 1)
      return rest[0];
    long long o = imgr.new_id();
    for (long long t : rest)
      enc_detail::add_clause(cs, {-t, o});
    rest.push_back(-o);
    cs.create_clause(rest);
    return o;
  }

  // Lexicographic comparison of the positions 0..p-1 with the digits of k.
  template <class IDM, class ClSet>
  static long long lexComp(IDM &imgr, ClSet &cs, const std::vector<int> &base,
                           const std::vector<std::vector<long long>> &outs,
                           const std::vector<long long> &kd, std::size_t p,
                           long long &fv, long long &tv) {
    if (p == 0)
      return trueVar(imgr, cs, tv);
    std::size_t j = p - 1, m = base.size();
    long long M = j == m ? static_cast<long long>(outs[j].size()) + 1
                         : kPrimes[base[j]];
    long long gt = modGE(imgr, cs, outs[j], M, kd[j] + 1, fv, tv);
    if (gt == tv)
      return tv;
    long long ge = modGE(imgr, cs, outs[j], M, kd[j], fv, tv);
    long long rest = lexComp(imgr, cs, base, outs, kd, p - 1, fv, tv);
    long long conj;
    if (ge == fv || rest == fv)
      conj = fv;
    else if (ge == tv)
      conj = rest;
    else if (rest == tv)
      conj = ge;
    else {
      conj = imgr.new_id();
      encode_and(cs, conj, ge, rest);
    }
    if (conj == tv)
      return tv;
    if (gt == fv)
      return conj;
    if (conj == fv)
      return gt;
    long long r = imgr.new_id();
    encode_or(cs, r, gt, conj);
    return r;
  }

  // a AND b as one literal.
  template <class IDM, class ClSet>
  static long long encode_and_gate(IDM &imgr, ClSet &cs, long long a,
                                   long long b, long long & /*fv*/,
                                   long long & /*tv*/) {
    long long o = imgr.new_id();
    encode_and(cs, o, a, b);
    return o;
  }
  template <class ClSet>
  static void encode_and(ClSet &cs, long long o, long long a, long long b) {
    enc_detail::add_clause(cs, {b, -o});
    enc_detail::add_clause(cs, {a, -o});
    enc_detail::add_clause(cs, {-b, -a, o});
  }
  template <class ClSet>
  static void encode_or(ClSet &cs, long long o, long long a, long long b) {
    enc_detail::add_clause(cs, {o, -b});
    enc_detail::add_clause(cs, {o, -a});
    enc_detail::add_clause(cs, {b, a, -o});
  }

  template <class IDM, class ClSet>
  static long long trueVar(IDM &imgr, ClSet &cs, long long &tv) {
    if (tv == 0) {
      tv = imgr.new_id();
      enc_detail::add_clause(cs, {tv});
    }
    return tv;
  }
  template <class IDM, class ClSet>
  static long long falseVar(IDM &imgr, ClSet &cs, long long &fv) {
    if (fv == 0) {
      fv = imgr.new_id();
      enc_detail::add_clause(cs, {-fv});
    }
    return fv;
  }

  // Place values: P[0] = 1, P[j] = P[j-1] * b[j-1] (exact in 128 bits).
  static void setBuckets(const std::vector<int> &base,
                         std::vector<enc_arith::Wide> &P);
  // Digits of x >= 0 in the base of P; the top digit is unbounded.
  static void dinB(std::vector<long long> &digits, long long x,
                   const std::vector<enc_arith::Wide> &P);

  static const long long kPrimes[8];
};
