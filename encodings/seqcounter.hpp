// Sequential counter for at most k of n literals: s(i, j) is forced true
// once at least j of the first i literals are (one direction only).
// (n-1)k variables, k + 1 + (n-2)(2k+1) clauses.
#pragma once

#include <vector>

#include "encodings/card_common.hpp"

template <class IDM, class ClSet, class LV>
void seqcounter_encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, long long k) {
  if (card_shared_cases(imgr, cs, lits, k))
    return;
  using enc_detail::add_clause;
  long long n = static_cast<long long>(lits.size());
  enc_arith::Wide registers = static_cast<enc_arith::Wide>(n - 1) * k;
  enc_detail::check_fresh_budget(imgr, registers);
  enc_detail::check_memory_budget(
      registers, k + 1 + static_cast<enc_arith::Wide>(n - 2) * (2 * k + 1));
  LIntPairVarMap map;
  auto s = [&](long long i, long long j) {
    return CardUtils::mk_yvar(imgr, map, std::pair<long long, long long>(i, j));
  };
  add_clause(cs, {-lits[0], CardUtils::mk_yvar(imgr, map, std::pair<int, int>(1, 1))});
  for (long long j = 2; j <= k; ++j)
    add_clause(cs, {-s(1, j)});
  for (long long i = 2; i <= n - 1; ++i) {
    long long x = lits[i - 1];
    add_clause(cs, {-x, s(i, 1)});
    add_clause(cs, {-s(i - 1, 1), s(i, 1)});
    for (long long j = 2; j <= k; ++j) {
      add_clause(cs, {-x, -s(i - 1, j - 1), s(i, j)});
      add_clause(cs, {-s(i - 1, j), s(i, j)});
    }
    add_clause(cs, {-x, -s(i - 1, k)});
  }
  add_clause(cs, {-lits[n - 1], -s(n - 1, k)});
}
