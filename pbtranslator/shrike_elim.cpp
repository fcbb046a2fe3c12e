// Shrike variable elimination: substitution of definitions (equivalences and
// AND-gates found among the binary clauses), clause distribution bounded by
// the number of clauses, and the simplification loop that alternates
// subsumption and bounded variable elimination.
#include "pbtranslator/shrike.hpp"

namespace Shrike {

namespace {
struct ScoreLess {
  bool operator()(const Pair<int64_t, int> &a,
                  const Pair<int64_t, int> &b) const {
    return a < b;
  }
};
} // namespace

//=============================================================================
// Definitions and substitution.

Lit Solver::findUnitDef(int v, vec<Clause> &pos, vec<Clause> &neg) {
  Lit x = Lit(v);
  vec<Lit> others;
  for (Clause c : pos)
    if (!c.null() && c.size() == 2)
      others.push(c[0] == x ? c[1] : c[0]);
  for (Clause c : neg)
    if (!c.null() && c.size() == 2) {
      Lit z = c[0] == ~x ? c[1] : c[0];
      for (Lit y : others)
        if (y == ~z)
          return z;
    }
  return lit_Undef;
}

bool Solver::findDef(Lit p, vec<Clause> &pos, vec<Clause> &neg, Clause_t &def) {
  Clause_t cand;
  for (Clause c : neg)
    if (!c.null() && c.size() == 2)
      cand.push(~(c[0] == ~p ? c[1] : c[0]));
  if (opt_hyper1_res && isSubsumed(cand)) {
    def.clear();
    return true;
  }
  if (!opt_def_elim)
    return false;
  cand.push(p);
  uint64_t abst = cand.abst();
  for (Clause c : pos) {
    if (c.null() || (c.abst() & ~abst) != 0 || !subset(c, cand, seen))
      continue;
    if (def.size() == 0 || c.size() <= def.size()) {
      def.clear();
      for (int i = 0; i < c.size(); i++)
        if (c[i] != p)
          def.push(~c[i]);
    }
  }
  return def.size() > 0;
}

int Solver::substitute(Lit p, const Clause_t &def, vec<Clause> &pos,
                       vec<Clause> &neg, vec<Clause> *out) {
  int count = 0;
  vec<Lit> tmp;
  auto emit = [&]() {
    if (out == nullptr) {
      sortUnique(tmp);
      for (int i = 0; i + 1 < tmp.size(); i++)
        if (tmp[i] == ~tmp[i + 1])
          return;
      count++;
    } else {
      Clause r = addClause(tmp);
      if (!r.null())
        out->push(r);
    }
  };
  auto contains = [](Clause c, Lit l) {
    for (int i = 0; i < c.size(); i++)
      if (c[i] == l)
        return true;
    return false;
  };
  for (int d = 0; d < def.size(); d++) {
    Lit l = def[d];
    for (Clause c : pos) {
      if (c.null() || contains(c, ~l))
        continue;
      tmp.clear();
      for (int i = 0; i < c.size(); i++)
        tmp.push(c[i] == p ? l : c[i]);
      emit();
    }
  }
  for (Clause c : neg) {
    if (c.null())
      continue;
    bool skip = false;
    for (int d = 0; d < def.size() && !skip; d++)
      skip = contains(c, def[d]);
    if (skip)
      continue;
    tmp.clear();
    for (int i = 0; i < c.size(); i++)
      if (c[i] != ~p)
        tmp.push(c[i]);
    for (int d = 0; d < def.size(); d++)
      tmp.push(~def[d]);
    emit();
  }
  return count;
}

//=============================================================================
// Variable elimination.

void Solver::orderVarsForElim(vec<int> &out) {
  vec<Pair<int64_t, int>> scored;
  for (int v : touchedVars) {
    touched[v] = 0;
    int64_t score =
        (int64_t)occur[2 * v].size() * (int64_t)occur[2 * v + 1].size();
    scored.push(Pair_new(score, v));
  }
  touchedVars.clear();
  sort(scored, ScoreLess());
  out.clear();
  for (const Pair<int64_t, int> &s : scored)
    if (s.fst != 0)
      out.push(s.snd);
}

// Counts the non-tautological resolvents of pos and neg on v, stopping once
// the count passes limit; sum receives the length of those counted within
// the limit.
int Solver::countResolvents(int v, vec<Clause> &pos, vec<Clause> &neg,
                            int limit, int &sum) {
  Lit x = Lit(v);
  int count = 0;
  sum = 0;
  vec<Lit> res;
  for (Clause c : pos)
    for (Clause d : neg) {
      if (!merge(c, d, x, ~x, seen, res))
        continue;
      count++;
      if (count > limit)
        return count;
      sum += res.size();
    }
  return count;
}

// Moves the clauses of v out of the solver, records them, adds either the
// substitution of p by def or all resolvents on v, and eliminates v while
// the solver stays consistent.
void Solver::eliminateBy(int v, Lit p, const Clause_t *def) {
  Lit x = Lit(v);
  vec<Clause> pos, neg;
  occur[toInt(x)].moveTo(pos);
  occur[toInt(~x)].moveTo(neg);
  for (Clause c : pos)
    unlinkClause(c, v);
  for (Clause c : neg)
    unlinkClause(c, v);
  vec<Clause> added;
  if (def != nullptr) {
    if (p == x)
      substitute(p, *def, pos, neg, &added);
    else
      substitute(p, *def, neg, pos, &added);
    propagateToplevel();
  } else {
    vec<Lit> res;
    for (Clause c : pos)
      for (Clause d : neg) {
        if (!merge(c, d, x, ~x, seen, res))
          continue;
        Clause r = addClause(res);
        if (!r.null())
          added.push(r);
        propagateToplevel();
      }
  }
  for (Clause c : pos)
    freeClause(c);
  for (Clause c : neg)
    freeClause(c);
  if (!ok)
    return;
  eliminated[v] = 1;
  assigns[v] = l_Error;
}

bool Solver::maybeEliminate(int v) {
  Lit x = Lit(v);
  if (frozen[v] || value(v) != l_Undef)
    return false;
  if (occur[toInt(x)].size() == 0 && occur[toInt(~x)].size() == 0)
    return false;

  if (opt_unit_def) {
    Lit z = findUnitDef(v, occur[toInt(x)], occur[toInt(~x)]);
    if (z == lit_Undef) {
      propagateToplevel();
      if (!ok)
        return true;
    } else {
      Clause_t def;
      def.push(z);
      eliminateBy(v, x, &def);
      return true;
    }
  }

  vec<Clause> &pos = occur[toInt(x)];
  vec<Clause> &neg = occur[toInt(~x)];
  if (value(v) != l_Undef)
    return false;
  if (pos.size() >= 8 && neg.size() >= 8)
    return false;
  int olits = 0;
  for (Clause c : pos)
    olits += c.size();
  for (Clause c : neg)
    olits += c.size();
  if (pos.size() >= 3 && neg.size() >= 3 && olits >= 301)
    return false;

  if ((opt_def_elim || opt_hyper1_res) && (pos.size() > 2 || neg.size() > 2)) {
    bool too_costly = false;
    Clause_t def;
    if (findDef(x, pos, neg, def)) {
      if (def.size() == 0) {
        if (!enqueue(~x))
          ok = false;
        return true;
      }
      if (substitute(x, def, pos, neg, nullptr) > pos.size() + neg.size()) {
        def.clear();
        too_costly = true;
      } else {
        eliminateBy(v, x, &def);
        return true;
      }
    }
    if (findDef(~x, neg, pos, def)) {
      if (def.size() == 0) {
        if (!enqueue(x))
          ok = false;
        return true;
      }
      if (substitute(~x, def, neg, pos, nullptr) > pos.size() + neg.size())
        return false;
      eliminateBy(v, ~x, &def);
      return true;
    }
    if (too_costly)
      return false;
  }

  int limit = pos.size() + neg.size();
  int sum = 0;
  int count = countResolvents(v, pos, neg, limit, sum);
  bool accept = opt_niver ? sum <= olits : count <= limit;
  if (!accept) {
    bool ran = false;
    if (occur[toInt(x)].size() < 10) {
      ran = true;
      asymmetricBranching(x);
      if (!ok)
        return true;
    }
    if (occur[toInt(~x)].size() < 10) {
      ran = true;
      asymmetricBranching(~x);
      if (!ok)
        return true;
    }
    if (value(v) != l_Undef || !ran)
      return false;
    vec<Clause> &pos2 = occur[toInt(x)];
    vec<Clause> &neg2 = occur[toInt(~x)];
    count = countResolvents(v, pos2, neg2, limit, sum);
    accept = opt_niver ? sum <= olits : count <= limit;
    if (!accept)
      return false;
  }
  eliminateBy(v, lit_Undef, nullptr);
  return true;
}

void Solver::asymmetricBranching(Lit p) {
  if (!opt_asym_branch)
    return;
  propagateToplevel();
  if (!ok) {
    if (verbosity >= 1)
      reportf("(contradiction during asymmetric branching)\n");
    return;
  }
  vec<Clause> cs;
  occur[toInt(p)].copyTo(cs);
  registerIteration(cs);
  for (int i = 0; i < cs.size() && ok; i++) {
    Clause c = cs[i];
    if (c.null())
      continue;
    Clause confl = Clause_NULL;
    Lit true_lit = lit_Undef;
    for (int j = 0; j < c.size() && confl.null() && true_lit == lit_Undef;
         j++) {
      Lit q = c[j];
      if (q == p)
        continue;
      if (value(q) == l_True) {
        true_lit = q;
        break;
      }
      if (value(q) == l_False)
        continue;
      assume(~q);
      if (verbosity >= 2)
        reportf("%-*dassume(%sx%d)\n", decisionLevel() * 3 + 3, decisionLevel(),
                sign(~q) ? "~" : "", var(q));
      confl = propagate();
    }
    if (confl.null() && true_lit == lit_Undef) {
      cancelUntil(0);
      continue;
    }
    // Collect the decisions involved in the conflict (or in q being true).
    vec<Lit> learnt;
    auto markOthers = [&](Clause r, Lit skip) {
      for (int k = 0; k < r.size(); k++)
        if (r[k] != skip)
          seen[var(r[k])] = 1;
    };
    if (!confl.null())
      markOthers(confl, lit_Undef);
    else {
      seen[var(true_lit)] = 1;
      learnt.push(true_lit); // the decisions imply it
    }
    for (int t = trail.size() - 1; t >= 0; t--) {
      int x = var(trail[t]);
      if (!seen[x])
        continue;
      seen[x] = 0;
      if (!reason[x].null())
        markOthers(reason[x], trail[t]);
      else if (level[x] > 0)
        learnt.push(~trail[t]);
    }
    for (int k = 0; k < seen.size(); k++)
      seen[k] = 0;
    cancelUntil(0);
    if (learnt.size() >= c.size())
      continue; // nothing gained
    // The learnt literals are a proper subset of c: it replaces c.
    unlinkClause(c);
    addClause(learnt, false, c);
    propagateToplevel();
    if (!ok && verbosity >= 1)
      reportf("(contradiction during asymmetric branching after learning "
              "unit fact)\n");
  }
  unregisterIteration(cs);
}

void Solver::pureLiterals() {
  for (int v : touchedVars) {
    if (value(v) != l_Undef || frozen[v] || eliminated[v])
      continue;
    int p = nOccurs[2 * v], n = nOccurs[2 * v + 1];
    if (p == 0 && n > 0)
      enqueue(Lit(v, true));
    else if (n == 0 && p > 0)
      enqueue(Lit(v));
  }
  propagateToplevel();
}

// Learnt clauses over eliminated variables no longer follow from the
// simplified formula's variables alone; they are dropped.
void Solver::dropStaleLearnts() {
  for (Clause c : learnts) {
    if (c.null())
      continue;
    bool stale = false;
    for (int i = 0; i < c.size() && !stale; i++)
      stale = eliminated[var(c[i])];
    if (stale) {
      unlinkClause(c);
      freeClause(c);
    }
  }
}

void Solver::reportElimStatus(int clauses_before, int literals_before) {
  if (verbosity >= 1 &&
      (nClauses() != clauses_before || nLiterals != literals_before))
    reportf("| %9d | %7d %8d | %7s %7d %8s %7s | %6s   | %d/%d\n",
            (int)stats.conflicts, nClauses(), nLiterals, "--", nLearnts(), "--",
            "--", "--", nClauses() - clauses_before,
            nLiterals - literals_before);
}

void Solver::simplifyBySubsumption(bool withElimination) {
  propagateToplevel();
  if (!ok) {
    if (verbosity >= 1)
      reportf("(contradiction during subsumption)\n");
    return;
  }
  int clauses_before = nClauses();
  int literals_before = nLiterals;
  bool eliminated_any = false;

  for (;;) {
    if (verbosity >= 1)
      reportf("  -- subsuming                       \r");
    int literals_removed = 0, clauses_subsumed = 0;

    if (!opt_0sub && !opt_1sub) {
      clAdded.clear();
      clTouched.clear();
    } else if (clAdded.size() <= nClauses() / 2) {
      // Incremental: only what the added clauses can subsume or strengthen.
      CSet s0, s1;
      vec<char> marked(2 * nVars(), 0);
      for (int i = 0; i < clAdded.size(); i++) {
        Clause c = clAdded[i];
        if (c.null())
          continue;
        s1.add(c);
        uint64_t ca = c.abst();
        for (int k = 0; k < c.size(); k++) {
          Lit l = c[k];
          if (marked[toInt(l)])
            continue;
          marked[toInt(l)] = 1;
          for (Clause d : occur[toInt(~l)]) {
            if (d == c || d.size() > c.size())
              continue;
            uint64_t da = d.abst();
            if ((da & ~(ca | partnerBits(ca))) != 0 ||
                __builtin_popcountll(da & ~ca) > 1)
              continue;
            // Exactly one literal of d is outside c, and its negation in c.
            for (int m = 0; m < c.size(); m++)
              seen[toInt(c[m])] = 1;
            int outside = 0;
            bool fits = true;
            for (int m = 0; m < d.size() && fits; m++)
              if (!seen[toInt(d[m])]) {
                outside++;
                fits = outside == 1 && seen[toInt(~d[m])];
              }
            for (int m = 0; m < c.size(); m++)
              seen[toInt(c[m])] = 0;
            if (fits && outside == 1)
              s1.add(d);
          }
          for (Clause d : occur[toInt(l)])
            if ((d.abst() & ~ca) == 0)
              s0.add(d);
        }
      }
      clAdded.clear();
      registerSet(s0);
      registerSet(s1);
      bool contradiction = false;
      while (s1.size() > 0 || clTouched.size() > 0) {
        for (int i = 0; i < clTouched.size(); i++)
          if (!clTouched[i].null()) {
            s1.add(clTouched[i]);
            s0.add(clTouched[i]);
          }
        clTouched.clear();
        for (int i = 0; i < s1.size(); i++)
          if (!s1[i].null())
            subsume1(s1[i], &literals_removed);
        s1.clear();
        propagateToplevel();
        if (!ok) {
          contradiction = true;
          break;
        }
      }
      unregisterSet(s1);
      if (contradiction) {
        unregisterSet(s0);
        if (verbosity >= 1)
          reportf("(contradiction during subsumption)\n");
        return;
      }
      for (int i = 0; i < s0.size(); i++)
        if (!s0[i].null())
          subsume0(s0[i], &clauses_subsumed);
      s0.clear();
      unregisterSet(s0);
    } else {
      // Full: every problem clause.
      clAdded.clear();
      clTouched.clear();
      for (int i = 0; i < clauses.size(); i++)
        if (!clauses[i].null())
          subsume1(clauses[i], &literals_removed);
      propagateToplevel();
      CSet local;
      registerSet(local);
      while (ok && clTouched.size() > 0) {
        for (int i = 0; i < clTouched.size(); i++)
          if (!clTouched[i].null())
            local.add(clTouched[i]);
        clTouched.clear();
        for (int i = 0; i < local.size(); i++)
          if (!local[i].null())
            subsume1(local[i], &literals_removed);
        local.clear();
        propagateToplevel();
      }
      unregisterSet(local);
      if (!ok) {
        if (verbosity >= 1)
          reportf("(contradiction during subsumption)\n");
        return;
      }
      for (int i = 0; i < clauses.size(); i++)
        if (!clauses[i].null())
          subsume0(clauses[i], &clauses_subsumed);
    }

    if (verbosity >= 2 && (literals_removed > 0 || clauses_subsumed > 0))
      reportf("  #literals-removed: %d    #clauses-subsumed: %d\n",
              literals_removed, clauses_subsumed);

    if (withElimination && opt_var_elim) {
      vec<int> cands;
      bool first = true;
      for (;;) {
        if (first) {
          orderVarsForElim(cands);
          first = false;
        } else {
          cands.clear();
          for (int v : touchedVars) {
            touched[v] = 0;
            if (!eliminated[v])
              cands.push(v);
          }
          touchedVars.clear();
        }
        if (opt_pure_literal) {
          pureLiterals();
          if (!ok) {
            if (verbosity >= 1)
              reportf("(contradiction during subsumption)\n");
            return;
          }
        }
        if (cands.size() == 0)
          break;
        int before = nClauses();
        int n_true = 0;
        for (int i = 0; i < cands.size(); i++) {
          if (verbosity >= 1 && (i % 1000 == 999 || i == cands.size() - 1))
            reportf("  -- var.elim.:  %d/%d          \r", i + 1, cands.size());
          if (!maybeEliminate(cands[i]))
            continue;
          n_true++;
          if (eliminated[cands[i]])
            eliminated_any = true;
          propagateToplevel();
          if (!ok) {
            if (verbosity >= 1)
              reportf("(contradiction during subsumption)\n");
            return;
          }
        }
        if (n_true == 0)
          break;
        if (verbosity >= 2)
          reportf("  #clauses-removed: %-8d #var-elim: %d\n",
                  before - nClauses(), n_true);
      }
    }
    if (clAdded.size() <= 100)
      break;
  }
  if (eliminated_any)
    dropStaleLearnts();
  reportElimStatus(clauses_before, literals_before);
  if (opt_pre_sat)
    writeSimplified();
}

} // namespace Shrike
