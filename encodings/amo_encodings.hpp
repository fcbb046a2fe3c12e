// At-most-one encodings (pairwise, sequential counter, bitwise, ladder) and
// the ladder's exactly-one. Each works over any clause set with
// create_clause, in particular BasicClauseSet and the recording MxClSet,
// and emits the same clauses and fresh variables in the same order through
// either. None looks at a bound: callers use them for a bound of one.
#pragma once

#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"

// Every pair of literals excludes each other: n(n-1)/2 clauses, no variable.
template <class IDM, class ClSet, class LV>
void pairwise_encode_atmost1(IDM &, ClSet &cs, LV &lits) {
  std::size_t n = lits.size();
  for (std::size_t i = 0; i + 1 < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      enc_detail::add_clause(cs, {-lits[i], -lits[j]});
}

// Sequential counter for one: s[i] is forced true once one of x[0..i] is;
// n-1 variables, 3n-4 clauses.
template <class IDM, class ClSet, class LV>
void seqcounter_encode_atmost1(IDM &imgr, ClSet &cs, LV &lits) {
  std::size_t n = lits.size();
  if (n < 2)
    return;
  std::vector<long long> s(n - 1);
  s[0] = imgr.new_id();
  enc_detail::add_clause(cs, {-lits[0], s[0]});
  for (std::size_t i = 1; i + 1 < n; ++i) {
    enc_detail::add_clause(cs, {-lits[i], -s[i - 1]});
    s[i] = imgr.new_id();
    enc_detail::add_clause(cs, {-lits[i], s[i]});
    enc_detail::add_clause(cs, {-s[i - 1], s[i]});
  }
  enc_detail::add_clause(cs, {-lits[n - 1], -s[n - 2]});
}

// Bitwise: each literal implies the binary code of its index over
// ceil(log2 n) bit variables (B[0] most significant). Codes n..2^b-1 are not
// excluded: no literal carries them.
template <class IDM, class ClSet, class LV>
void bitwise_encode_atmost1(IDM &imgr, ClSet &cs, LV &lits) {
  std::size_t n = lits.size();
  if (n < 2)
    return;
  std::size_t b = enc_arith::bit_length(static_cast<long long>(n - 1));
  std::vector<long long> bits(b);
  for (std::size_t t = 0; t < b; ++t)
    bits[t] = imgr.new_id();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t t = 0; t < b; ++t) {
      bool one = (i >> (b - 1 - t)) & 1U;
      enc_detail::add_clause(cs, {-lits[i], one ? bits[t] : -bits[t]});
    }
}

// Ladder, exactly one. y[i] true means that the true literal has index i or
// more; 4n-4 clauses over n-1 ladder variables for three or more literals.
// An empty list cannot have a true literal: it gets the empty clause.
template <class IDM, class ClSet, class LV>
void ladder_encode_equals1(IDM &imgr, ClSet &cs, LV &lits) {
  std::size_t n = lits.size();
  if (n == 0) {
    enc_detail::add_empty_clause(cs);
    return;
  }
  if (n == 1) {
    enc_detail::add_clause(cs, {lits[0]});
    return;
  }
  if (n == 2) {
    enc_detail::add_clause(cs, {lits[0], lits[1]});
    enc_detail::add_clause(cs, {-lits[0], -lits[1]});
    return;
  }
  std::vector<long long> y(n); // y[1..n-1]
  for (std::size_t i = 1; i < n; ++i)
    y[i] = imgr.new_id();
  for (std::size_t i = 2; i < n; ++i)
    enc_detail::add_clause(cs, {-y[i], y[i - 1]});
  enc_detail::add_clause(cs, {y[1], lits[0]});
  enc_detail::add_clause(cs, {-lits[0], -y[1]});
  for (std::size_t i = 1; i + 1 < n; ++i) {
    enc_detail::add_clause(cs, {-y[i], y[i + 1], lits[i]});
    enc_detail::add_clause(cs, {y[i], -lits[i]});
    enc_detail::add_clause(cs, {-lits[i], -y[i + 1]});
  }
  enc_detail::add_clause(cs, {-y[n - 1], lits[n - 1]});
  enc_detail::add_clause(cs, {-lits[n - 1], y[n - 1]});
}

// Ladder, at most one: exactly one of the literals and a fresh slack that
// is true when none of them is.
template <class IDM, class ClSet, class LV>
void ladder_encode_atmost1(IDM &imgr, ClSet &cs, LV &lits) {
  long long s = imgr.new_id();
  std::vector<long long> v(lits.begin(), lits.end());
  v.push_back(s);
  ladder_encode_equals1(imgr, cs, v);
}
