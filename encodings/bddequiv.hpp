// BDD encoding of at most k of n literals whose nodes are tied to their
// children by equivalences. Node N(m, j) is true exactly when j plus the
// number of true literals among x[m..n-1] is at most k; only the nodes from
// which the bound can still be met and exceeded exist, and the root N(0, 0)
// is asserted. At most n(k+1) variables, at most six clauses per node.
#pragma once

#include <algorithm>
#include <vector>

#include "encodings/card_common.hpp"

struct BDDEquiv {
  template <class IDM, class ClSet, class LV>
  static void encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, long long k) {
    if (card_shared_cases(imgr, cs, lits, k))
      return;
    using enc_detail::add_clause;
    long long n = static_cast<long long>(lits.size());
    // Nodes of row m: counts max(0, k-n+m+1)..min(k, m); at most n(k+1).
    enc_detail::check_fresh_budget(
        imgr, static_cast<enc_arith::Wide>(n) * std::min(k + 1, n - k));
    LIntPairVarMap map(100);
    auto node = [&](long long m, long long j) {
      return CardUtils::mk_yvar(imgr, map, std::pair<long long, long long>(m, j));
    };
    for (long long r = n; r >= 1; --r) {
      long long x = lits[r - 1];
      for (long long j = std::min(k, r - 1); j >= std::max(0LL, k - n + r); --j) {
        long long N = node(r - 1, j);
        if (j == k && r == n) {
          add_clause(cs, {x, N});
          add_clause(cs, {-x, -N});
        } else if (j == k) {
          long long L = node(r, k);
          add_clause(cs, {L, -N});
          add_clause(cs, {-x, -N});
          add_clause(cs, {-L, x, N});
        } else if (j == k - n + r) {
          long long H = node(r, j + 1);
          add_clause(cs, {-H, N});
          add_clause(cs, {x, N});
          add_clause(cs, {H, -x, -N});
        } else {
          long long H = node(r, j + 1);
          long long L = node(r, j);
          add_clause(cs, {-x, H, -N});
          add_clause(cs, {-x, -H, N});
          add_clause(cs, {x, L, -N});
          add_clause(cs, {x, -L, N});
          add_clause(cs, {N, -L, -H});
          add_clause(cs, {-N, L, H});
        }
      }
    }
    add_clause(cs, {CardUtils::mk_yvar(imgr, map, std::pair<int, int>(0, 0))});
  }
};
