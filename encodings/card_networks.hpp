// Sorting networks and cardinality networks for at most k of n literals,
// built from half comparators (true inputs force true outputs; three
// clauses and two variables each). An output vector runs from the largest
// to the smallest: out[j] is forced true once j+1 inputs are true, and the
// constraint is the unit clause {-out[k]}.
//
// The sorting network is a recursive odd-even merge sorter over all inputs
// (padded to a power of two with one variable fixed false). The
// cardinality network sorts blocks of p inputs, p the least power of two
// above k, and merges the blocks keeping only p outputs.
#pragma once

#include <iostream>
#include <utility>
#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"

namespace gmpcmp {
// floor(log2 x) for x >= 1.
inline unsigned flog2(long long x) { return enc_arith::bit_length(x) - 1; }
} // namespace gmpcmp

namespace enc_detail {
// Half comparator of a and b: out gets c0 (at least the larger) and c1 (at
// least the smaller).
template <class IDM, class ClSet, class LV>
void half_comparator(IDM &imgr, ClSet &cs, long long a, long long b, LV &out) {
  long long c0 = imgr.new_id();
  long long c1 = imgr.new_id();
  out.push_back(c0);
  out.push_back(c1);
  add_clause(cs, {-a, c0});
  add_clause(cs, {-b, c0});
  add_clause(cs, {-a, -b, c1});
}
} // namespace enc_detail

struct SortingNetworks {
  template <class IDM, class ClSet, class LV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, long long k) {
    if (card_shared_cases(imgr, cs, lits, k))
      return;
    long long n = static_cast<long long>(lits.size());
    long long m = enc_arith::pow2_at_least(n);
    std::vector<long long> v(lits.begin(), lits.end());
    if (m != n) {
      long long z = imgr.new_id();
      v.resize(static_cast<std::size_t>(m), z);
      enc_detail::add_clause(cs, {-z});
    }
    std::vector<long long> out;
    half_sorter_recur(imgr, cs, v, out);
    enc_detail::add_clause(cs, {-out[static_cast<std::size_t>(k)]});
  }

  // Sorts in (a power of two, at least 2, entries) into out.
  template <class IDM, class ClSet, class LV>
  static LV &half_sorter_recur(IDM &imgr, ClSet &cs, const LV &in, LV &out) {
    if (in.size() == 2) {
      LV a{in[0]}, b{in[1]};
      half_merge_recur(imgr, cs, a, b, out);
      return out;
    }
    LV A, B, SA, SB;
    CardUtils::mk_half_vect(A, in, 0);
    CardUtils::mk_half_vect(B, in, in.size() / 2);
    half_sorter_recur(imgr, cs, A, SA);
    half_sorter_recur(imgr, cs, B, SB);
    half_merge_recur(imgr, cs, SA, SB, out);
    return out;
  }

  // Merges two sorted vectors of equal power-of-two size s into out (2s).
  template <class IDM, class ClSet, class LV>
  static void half_merge_recur(IDM &imgr, ClSet &cs, const LV &a, const LV &b,
                               LV &out) {
    std::size_t s = a.size();
    if (s == 1) {
      enc_detail::half_comparator(imgr, cs, a[0], b[0], out);
      return;
    }
    LV ao, bo, ae, be, d, e;
    CardUtils::mk_odd_vect(ao, a);
    CardUtils::mk_odd_vect(bo, b);
    half_merge_recur(imgr, cs, ao, bo, d);
    CardUtils::mk_even_vect(ae, a);
    CardUtils::mk_even_vect(be, b);
    half_merge_recur(imgr, cs, ae, be, e);
    std::size_t base = out.size();
    out.push_back(d[0]);
    CardUtils::create_vvect(imgr, out, 2 * s - 2);
    out.push_back(e[s - 1]);
    for (std::size_t i = 1; i < s; ++i) {
      long long o1 = out[base + 2 * i - 1], o2 = out[base + 2 * i];
      enc_detail::add_clause(cs, {-d[i], o1});
      enc_detail::add_clause(cs, {-e[i - 1], o1});
      enc_detail::add_clause(cs, {-d[i], -e[i - 1], o2});
    }
  }
};

struct CardinalityNetworks {
  template <class IDM, class ClSet, class LV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, long long k) {
    if (card_shared_cases(imgr, cs, lits, k))
      return;
    long long n = static_cast<long long>(lits.size());
    long long p = enc_arith::pow2_at_least(k + 1); // least power of two above k
    long long q = n / p;
    std::vector<long long> v(lits.begin(), lits.end());
    if (q * p < n) {
      long long z = imgr.new_id();
      v.resize(static_cast<std::size_t>((q + 1) * p), z);
      enc_detail::add_clause(cs, {-z});
    }
    std::vector<long long> out;
    card_netwrk_recur(imgr, cs, v, out, p);
    enc_detail::add_clause(cs, {-out[static_cast<std::size_t>(k)]});
  }

  // The p largest of in (a multiple of p entries), sorted. The blocks are
  // merged as a chain: the first block with the merge of all later ones.
  // Done without recursion over the blocks (their number can be n/2): every
  // block is sorted first, in order, then the merges run from the last
  // block back to the first, which is the order the recursion takes.
  template <class IDM, class ClSet, class LV>
  static LV &card_netwrk_recur(IDM &imgr, ClSet &cs, const LV &in, LV &out,
                               long long p) {
    std::size_t ps = static_cast<std::size_t>(p);
    std::size_t blocks = in.size() / ps;
    std::vector<LV> sorted(blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
      LV blk;
      CardUtils::mk_ksize_vect(blk, in, ps, b * ps);
      if (p == 1)
        sorted[b].push_back(blk[0]);
      else
        SortingNetworks::half_sorter_recur(imgr, cs, blk, sorted[b]);
    }
    LV acc = std::move(sorted[blocks - 1]);
    for (std::size_t b = blocks - 1; b-- > 0;) {
      LV merged;
      simple_merge_recur(imgr, cs, sorted[b], acc, merged);
      merged.pop_back();
      acc = std::move(merged);
      LV().swap(sorted[b]);
    }
    out.insert(out.end(), acc.begin(), acc.end());
    return out;
  }

  // The s+1 largest of two sorted vectors of equal power-of-two size s.
  template <class IDM, class ClSet, class LV>
  static void simple_merge_recur(IDM &imgr, ClSet &cs, const LV &a,
                                 const LV &b, LV &out) {
    std::size_t s = a.size();
    if (s == 1) {
      enc_detail::half_comparator(imgr, cs, a[0], b[0], out);
    } else {
      LV ao, bo, ae, be, d, e;
      CardUtils::mk_odd_vect(ao, a);
      CardUtils::mk_odd_vect(bo, b);
      simple_merge_recur(imgr, cs, ao, bo, d);
      CardUtils::mk_even_vect(ae, a);
      CardUtils::mk_even_vect(be, b);
      simple_merge_recur(imgr, cs, ae, be, e);
      std::size_t base = out.size();
      out.push_back(d[0]);
      CardUtils::create_vvect(imgr, out, s);
      for (std::size_t i = 1; i <= s / 2; ++i) {
        long long o1 = out[base + 2 * i - 1], o2 = out[base + 2 * i];
        enc_detail::add_clause(cs, {-d[i], o1});
        enc_detail::add_clause(cs, {-e[i - 1], o1});
        enc_detail::add_clause(cs, {-d[i], -e[i - 1], o2});
      }
    }
    // Self-check: a merge yields one entry more than either input.
    if (out.size() != a.size() + 1) {
      std::cout << "CV SZ:" << out.size() << " vs. AV SZ:" << a.size() << "\n";
      std::cout << "CV: ";
      for (long long l : out)
        std::cout << l << " ";
      std::cout << "\nAV: ";
      for (long long l : a)
        std::cout << l << " ";
      std::cout << "\n";
    }
  }
};
