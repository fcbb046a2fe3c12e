// BDD conversion of one constraint lower <= sum c_i * l_i <= upper: a
// reduced decision diagram built from the largest coefficient down, each
// state (position, remaining lower limit) memoised, its nodes hash-consed in
// the formula environment.
#include "pbtranslator/pb_solver.hpp"

namespace {

struct MemoHash {
  uint32_t operator()(const Pair<int, Int> &k) const {
    uint64_t v = (uint64_t)k.snd.value();
    return (uint32_t)k.fst ^ (uint32_t)v ^ (uint32_t)(v >> 32);
  }
};
using Memo = Map<Pair<int, Int>, Formula, MemoHash>;

// sum: weight of the decided terms that are true; material_left: weight of
// the undecided terms (positions below size).
Formula buildBDD(const Linear &c, int size, Int sum, Int material_left,
                 Memo &memo, int max_cost) {
  Int lower_limit = c.lower == Int_MIN ? Int_MIN : sub_saturating(c.lower, sum);
  Int upper_limit = c.upper == Int_MAX ? Int_MAX : sub_saturating(c.upper, sum);

  if (lower_limit <= Int(0) && upper_limit >= material_left)
    return _1_;
  if (lower_limit > material_left || upper_limit < Int(0))
    return _0_;
  if (FEnv::topSize() > max_cost)
    return _undef_;

  // With a finite lower bound the remaining lower limit fixes the state;
  // a constraint without one is keyed by its remaining upper limit.
  Pair<int, Int> key(size, c.lower == Int_MIN ? upper_limit : lower_limit);
  Formula memoised;
  if (memo.peek(key, memoised))
    return memoised;

  int i = size - 1;
  Int a = c(i);
  Lit p = c[i];
  material_left -= a;
  Int sum_true = sign(p) ? sum : sum + a;  // p's variable true
  Int sum_false = sign(p) ? sum + a : sum; // p's variable false

  Formula h = buildBDD(c, i, sum_true, material_left, memo, max_cost);
  if (h == _undef_)
    return h;
  Formula l = buildBDD(c, i, sum_false, material_left, memo, max_cost);
  if (l == _undef_)
    return l;

  Formula r = ITE(atom(unsign(p)), h, l);
  memo.set(key, r);
  return r;
}

} // namespace

Formula convertToBdd(const Linear &c, int max_cost) {
  Memo memo;
  Int total = 0;
  for (int i = 0; i < c.size; i++)
    total += c(i);
  FEnv::push();
  Formula f = buildBDD(c, c.size, 0, total, memo, max_cost);
  if (f == _undef_)
    FEnv::pop();
  else
    FEnv::keep();
  return f;
}
