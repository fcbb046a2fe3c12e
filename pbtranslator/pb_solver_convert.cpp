// The translation of the stored constraints: propagate the forced literals
// through them, merge neighbouring constraints over the same terms into
// interval constraints, turn clauses into clauses and split almost-clauses
// (a few small terms plus a run of terms each reaching the bound alone),
// then convert every remaining constraint through a BDD and clausify.
#include "pbtranslator/hardware_clausify.hpp"
#include "pbtranslator/pb_solver.hpp"

bool PbSolver::transform(ConvertT /*method: every constraint goes by BDD*/) {
  opt_verbosity = 0;
  if (!consistent)
    return false;
  translated_vars = engine.nVars();
  translated_constraints = constraints.size();
  if (engine.nVars() > 0)
    propagate();
  convertPbs(true);
  return consistent;
}

void PbSolver::setupOccurs() {
  int n_lits = 2 * engine.nVars();
  occurrence_lists.growTo(n_lits);
  for (int l = 0; l < n_lits && l < occurrence_counts.size(); l++)
    occurrence_lists[l].reserve(occurrence_counts[l]);
  for (int i = 0; i < constraints.size(); i++) {
    if (constraints[i] == nullptr)
      continue;
    const Linear &c = *constraints[i];
    for (int j = 0; j < c.size; j++)
      occurrence_lists[toInt(c[j])].push(i);
  }
}

void PbSolver::propagate() {
  if (occurrence_lists.size() == 0)
    setupOccurs();
  while (propagated_upto < trail.size()) {
    Lit p = trail[propagated_upto++];
    for (Lit q : {unsign(p), ~unsign(p)}) {
      if (toInt(q) >= occurrence_lists.size())
        continue;
      const vec<int> &occ = occurrence_lists[toInt(q)];
      for (int k = 0; k < occ.size(); k++) {
        int i = occ[k];
        if (constraints[i] != nullptr && propagate(*constraints[i]))
          constraints[i] = nullptr;
        if (!consistent) {
          occurrence_lists.clear(true);
          return;
        }
      }
    }
  }
  occurrence_lists.clear(true);
}

bool PbSolver::propagate(Linear &c) {
  Int sum = 0, true_sum = 0;
  int j = 0;
  for (int i = 0; i < c.size; i++) {
    Lit p = c[i];
    Int a = c(i);
    lbool v = value(p);
    if (v == l_Undef) {
      sum += a;
      c.lits()[j] = p;
      c.coefs()[j] = a;
      j++;
    } else if (v == l_True)
      true_sum += a;
  }
  c.size = j;
  if (c.lower != Int_MIN)
    c.lower -= true_sum;
  if (c.upper != Int_MAX)
    c.upper -= true_sum;

  while (c.size > 0) {
    Int cl = c(c.size - 1);
    Lit pl = c[c.size - 1];
    if (cl > c.upper) {
      // pl must be false.
      if (consistent)
        consistent = engine.addUnit(~pl);
      sum -= cl;
      c.size--;
    } else if (sum - cl >= c.lower) {
      break;
    } else {
      // pl must be true.
      if (consistent)
        consistent = engine.addUnit(pl);
      sum -= cl;
      if (c.lower != Int_MIN)
        c.lower -= cl;
      if (c.upper != Int_MAX)
        c.upper -= cl;
      c.size--;
    }
  }
  if (c.lower <= Int(0))
    c.lower = Int_MIN;
  if (sum < c.upper)
    c.upper = Int_MAX;

  if (c.size == 0) {
    if (c.lower > Int(0) || c.upper < Int(0))
      consistent = false;
    return true;
  }
  return c.lower == Int_MIN && c.upper == Int_MAX;
}

void PbSolver::findIntervals() {
  int prev_i = 0;
  while (prev_i < constraints.size() && constraints[prev_i] == nullptr)
    prev_i++;
  if (prev_i == constraints.size())
    return;

  for (int i = prev_i + 1; i < constraints.size(); i++) {
    if (constraints[i] == nullptr)
      continue;
    Linear &prev = *constraints[prev_i];
    Linear &cur = *constraints[i];
    if (prev.size == cur.size) {
      bool same = true, negated = true;
      for (int k = 0; k < cur.size && (same || negated); k++) {
        if (prev(k) != cur(k))
          same = negated = false;
        if (prev[k] != cur[k])
          same = false;
        if (prev[k] != ~cur[k])
          negated = false;
      }
      if (same) {
        if (prev.lower > cur.lower)
          cur.lower = prev.lower;
        if (prev.upper < cur.upper)
          cur.upper = prev.upper;
        constraints[prev_i] = nullptr;
      } else if (negated) {
        // prev is S - upper <= sum(cur's terms) <= S - lower.
        Int S = 0;
        bool fits = true;
        for (int k = 0; k < prev.size && fits; k++)
          fits = !add_overflows(S, prev(k), S);
        Int lo = Int_MIN, hi = Int_MAX;
        if (fits && prev.upper != Int_MAX)
          fits = !sub_overflows(S, prev.upper, lo);
        if (fits && prev.lower != Int_MIN)
          fits = !sub_overflows(S, prev.lower, hi);
        // Bounds that do not fit leave both constraints as they are.
        if (fits) {
          if (lo > cur.lower)
            cur.lower = lo;
          if (hi < cur.upper)
            cur.upper = hi;
          constraints[prev_i] = nullptr;
        }
      }
    }
    prev_i = i;
  }
}

bool PbSolver::rewriteAlmostClauses() {
  vec<Lit> ps;
  vec<Int> Cs;
  int n_splits = 0;
  for (int i = 0; i < constraints.size(); i++) {
    if (constraints[i] == nullptr || constraints[i]->upper != Int_MAX)
      continue;
    Linear &c = *constraints[i];
    int n = c.size;
    int k = n;
    while (k > 0 && c(k - 1) == c.lower)
      k--;
    if (k <= 1) {
      // A clause: the terms that reach the bound alone.
      ps.clear();
      for (int m = k; m < n; m++)
        ps.push(c[m]);
      if (consistent)
        engine.addClause(ps);
      constraints[i] = nullptr;
    } else if (n - k >= 3) {
      // Split: a fresh x with (x or big terms) and small terms + lower * ~x.
      char *name = nsprintf("@split%d", n_splits++);
      int x = getVar(name);
      xfree(name);
      ps.clear();
      ps.push(Lit(x));
      for (int m = k; m < n; m++)
        ps.push(c[m]);
      if (consistent)
        engine.addClause(ps);
      if (!consistent)
        return false;

      ps.clear();
      Cs.clear();
      ps.push(~Lit(x));
      Cs.push(c.lower);
      for (int m = 0; m < k; m++) {
        ps.push(c[m]);
        Cs.push(c(m));
      }
      Int rhs = c.lower;
      constraints[i] = nullptr; // before storePb may append
      if (normalizePb(ps, Cs, rhs))
        storePb(ps, Cs, rhs, Int_MAX);
      if (!consistent)
        return false;
    }
  }
  return true;
}

bool PbSolver::convertPbs(bool first_call) {
  if (first_call) {
    findIntervals();
    if (!rewriteAlmostClauses()) {
      consistent = false;
      return false;
    }
  }
  vec<Formula> converted;
  for (int i = 0; i < constraints.size(); i++) {
    if (constraints[i] == nullptr)
      continue;
    converted.push(convertToBdd(*constraints[i], 2147483647));
    if (!consistent)
      return false;
  }
  constraints.clear();
  arena.reset();
  clausify(engine, converted);
  return consistent;
}
