// Sequential weighted counters: sum of w_i over the true l_i at most k.
// After each position i but the last, a unary register of k variables holds
// the partial sum of the weights of the true literals among positions 0..i:
// s(i, j) is forced true once that partial sum reaches j. The last position
// only forbids the overflow.
#pragma once

#include <utility>
#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/warnersenc.hpp"

struct PBSequentialWeightedCounters {
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

  template <class IDM, class ClSet>
  static bool normalize(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                        std::vector<long long> &weights, long long &k) {
    return WarnersEnc::normalize(imgr, cs, lits, weights, k);
  }

  // The number of clauses that trans adds, pass by pass.
  static enc_arith::Wide clause_count(const std::vector<long long> &weights,
                                      long long k) {
    long long n = static_cast<long long>(weights.size());
    if (n < 2)
      return 0;
    enc_arith::Wide count = n - 1; // pass 4
    if (k >= 1)
      count += static_cast<enc_arith::Wide>(n - 2) * k; // pass 1
    for (long long i = 0; i <= n - 2; ++i) {
      count += weights[i]; // pass 2
      if (i >= 1 && weights[i] < k)
        count += k - weights[i]; // pass 3
    }
    return count;
  }

  // Four passes; register variables are numbered in the order of their
  // first use. Every weight is at least 1 and at most k here. The registers
  // grow with k: a size beyond the engines or the machine ends the run
  // before anything is built.
  template <class IDM, class ClSet>
  static void trans(IDM &imgr, ClSet &cs, std::vector<long long> &lits,
                    std::vector<long long> &weights, long long k) {
    using enc_detail::add_clause;
    long long n = static_cast<long long>(lits.size());
    enc_arith::Wide registers = static_cast<enc_arith::Wide>(n - 1) * k;
    enc_detail::check_fresh_budget(imgr, registers);
    enc_detail::check_memory_budget(registers, clause_count(weights, k));
    LIntPairVarMap map;
    map.reserve(n > 1 ? static_cast<std::size_t>((n - 1) * (k < 64 ? k : 64)) : 0);
    auto s = [&](long long i, long long j) {
      return CardUtils::mk_yvar(imgr, map, std::pair<long long, long long>(i, j));
    };
    if (n >= 3 && k >= 1)
      for (long long i = 1; i <= n - 2; ++i)
        for (long long j = 1; j <= k; ++j)
          add_clause(cs, {-s(i - 1, j), s(i, j)});
    if (n >= 2)
      for (long long i = 0; i <= n - 2; ++i)
        for (long long j = 1; j <= weights[i]; ++j)
          add_clause(cs, {-lits[i], s(i, j)});
    for (long long i = 1; i <= n - 2; ++i)
      if (weights[i] < k)
        for (long long j = 1; j <= k - weights[i]; ++j)
          add_clause(cs, {-s(i - 1, j), -lits[i], s(i, j + weights[i])});
    if (n >= 2)
      for (long long i = 1; i <= n - 1; ++i)
        add_clause(cs, {-s(i - 1, (k - weights[i]) + 1), -lits[i]});
  }
};
