// Shrike search: two-watched-literal CDCL with activity-ordered decisions,
// first-UIP learning with reason-based minimisation, geometric restarts and
// activity-based learnt-clause deletion; root simplification by the
// preprocessor whenever new root assignments appear, and the extension of a
// model to the eliminated variables by re-solving the elimination record.
#include "pbtranslator/shrike.hpp"
#include "pbtranslator/shrike_files.hpp"

#include <cmath>
#include <sys/resource.h>

namespace Shrike {

namespace {
double cpuTime() {
  struct rusage ru;
  getrusage(RUSAGE_SELF, &ru);
  return (double)ru.ru_utime.tv_sec + (double)ru.ru_utime.tv_usec / 1000000;
}

const char *kRule =
    "=============================================================="
    "================\n";

struct ActivityLess {
  bool operator()(Clause a, Clause b) const {
    return a.activity() < b.activity();
  }
};
} // namespace

//=============================================================================
// Assignment.

bool Solver::enqueue(Lit p, Clause from) {
  if (value(p) != l_Undef)
    return value(p) == l_True;
  int x = var(p);
  assigns[x] = lbool(!sign(p));
  level[x] = decisionLevel();
  reason[x] = from;
  trail.push(p);
  propQ.insert(p);
  if (verbosity >= 2)
    reportf("%-*dbind(%sx%d)\n", decisionLevel() * 3 + 3, decisionLevel(),
            sign(p) ? "~" : "", x);
  return true;
}

bool Solver::assume(Lit p) {
  trailLim.push(trail.size());
  if (verbosity >= 2)
    reportf("%-*dassume(%sx%d)\n", decisionLevel() * 3 + 3, decisionLevel(),
            sign(p) ? "~" : "", var(p));
  return enqueue(p);
}

void Solver::cancel() {
  int start = trailLim.last();
  if (verbosity >= 2 && start < trail.size())
    reportf("%-*dcancel(%sx%d)\n", decisionLevel() * 3 + 3, decisionLevel(),
            sign(trail[start]) ? "~" : "", var(trail[start]));
  for (int c = trail.size() - 1; c >= start; c--) {
    int x = var(trail[c]);
    if (verbosity >= 2)
      reportf("%-*dunbind(%sx%d)\n", decisionLevel() * 3 + 3, decisionLevel(),
              sign(trail[c]) ? "~" : "", x);
    assigns[x] = l_Undef;
    reason[x] = Clause_NULL;
    level[x] = -1;
    if (decisionVar[x] && !order.inHeap(x))
      order.insert(x);
  }
  trail.shrink(trail.size() - start);
  trailLim.pop();
}

void Solver::cancelUntil(int lvl) {
  while (decisionLevel() > lvl)
    cancel();
}

//=============================================================================
// Propagation.

Clause Solver::propagate() {
  if (decisionLevel() == 0 && occurMode != occ_Off) {
    propagateToplevel();
    return Clause_NULL;
  }
  Clause confl = Clause_NULL;
  while (!propQ.empty()) {
    Lit p = propQ.dequeue();
    stats.propagations++;
    vec<Clause> &ws = watches[toInt(p)];
    Lit false_lit = ~p;
    int i = 0, j = 0;
    for (; i < ws.size(); i++) {
      Clause c = ws[i];
      stats.inspects++;
      if (c[0] == false_lit) {
        c[0] = c[1];
        c[1] = false_lit;
      }
      if (value(c[0]) == l_True) {
        ws[j++] = c;
        continue;
      }
      bool moved = false;
      for (int k = 2; k < c.size(); k++)
        if (value(c[k]) != l_False) {
          c[1] = c[k];
          c[k] = false_lit;
          watches[toInt(~c[1])].push(c);
          moved = true;
          break;
        }
      if (moved)
        continue;
      ws[j++] = c;
      if (!enqueue(c[0], c)) {
        confl = c;
        propQ.clear();
        for (i++; i < ws.size(); i++)
          ws[j++] = ws[i];
        break;
      }
    }
    ws.shrink(ws.size() - j);
    if (!confl.null())
      break;
  }
  return confl;
}

bool Solver::propagateRoot() {
  if (!propagate().null())
    ok = false; // a conflict at the root: the formula is unsatisfiable
  return ok;
}

bool Solver::propagateClause(Clause c, Lit p, bool &keepWatch) {
  Lit false_lit = ~p;
  keepWatch = true;
  if (c[0] == false_lit) {
    c[0] = c[1];
    c[1] = false_lit;
  }
  if (value(c[0]) == l_True)
    return true;
  for (int k = 2; k < c.size(); k++)
    if (value(c[k]) != l_False) {
      c[1] = c[k];
      c[k] = false_lit;
      watches[toInt(~c[1])].push(c);
      keepWatch = false;
      return true;
    }
  return enqueue(c[0], c);
}

//=============================================================================
// Activities.

void Solver::varBumpActivity(Lit p) {
  if (varDecay < 0)
    return;
  int x = var(p);
  if ((activity[x] += varInc) > 1e100)
    varRescaleActivity();
  if (order.inHeap(x))
    order.increase(x);
}

void Solver::varRescaleActivity() {
  for (double &a : activity)
    a *= 1e-100;
  varInc *= 1e-100;
}

void Solver::claBumpActivity(Clause c) {
  if ((c.activity() += (float)claInc) > 1e20) {
    for (Clause d : learnts)
      if (!d.null())
        d.activity() *= 1e-20f;
    claInc *= 1e-20;
  }
}

//=============================================================================
// Conflict analysis.

void Solver::analyze(Clause confl, vec<Lit> &out_learnt, int &out_btlevel) {
  int pathC = 0;
  Lit p = lit_Undef;
  out_learnt.push(lit_Undef); // the asserting literal goes here
  out_btlevel = 0;
  int index = trail.size() - 1;
  do {
    Clause c = confl;
    if (c.learnt())
      claBumpActivity(c);
    for (int j = p == lit_Undef ? 0 : 1; j < c.size(); j++) {
      Lit q = c[j];
      int x = var(q);
      if (seen[x] || level[x] <= 0)
        continue;
      varBumpActivity(q);
      seen[x] = 1;
      if (level[x] == decisionLevel())
        pathC++;
      else {
        out_learnt.push(q);
        if (level[x] > out_btlevel)
          out_btlevel = level[x];
      }
    }
    while (!seen[var(trail[index--])])
      ;
    p = trail[index + 1];
    confl = reason[var(p)];
    seen[var(p)] = 0;
    pathC--;
  } while (pathC > 0);
  out_learnt[0] = ~p;

  vec<Lit> all; // every marked literal, for clearing the marks
  out_learnt.copyTo(all);
  if (opt_confl_1sub) {
    int j = 1;
    for (int i = 1; i < out_learnt.size(); i++) {
      Clause r = reason[var(out_learnt[i])];
      bool implied = !r.null();
      for (int k = 1; implied && k < r.size(); k++)
        implied = seen[var(r[k])];
      if (!implied)
        out_learnt[j++] = out_learnt[i];
    }
    out_learnt.shrink(out_learnt.size() - j);
  } else if (opt_confl_ksub) {
    vec<int> levels;
    for (int i = 1; i < out_learnt.size(); i++)
      levels.push(level[var(out_learnt[i])]);
    sortUnique(levels);
    vec<int> implied_vars;
    for (int lv : levels) {
      int from = lv == 0 ? 0 : trailLim[lv - 1];
      int to = lv < decisionLevel() ? trailLim[lv] : trail.size();
      for (int t = from; t < to; t++) {
        int x = var(trail[t]);
        Clause r = reason[x];
        if (r.null() || seen[x])
          continue;
        bool implied = true;
        for (int k = 1; implied && k < r.size(); k++)
          implied = seen[var(r[k])] || level[var(r[k])] == 0;
        if (implied) {
          seen[x] = 2;
          implied_vars.push(x);
        }
      }
    }
    int j = 1;
    for (int i = 1; i < out_learnt.size(); i++)
      if (seen[var(out_learnt[i])] != 2)
        out_learnt[j++] = out_learnt[i];
    out_learnt.shrink(out_learnt.size() - j);
    for (int x : implied_vars)
      seen[x] = 0;
  }
  for (Lit q : all)
    seen[var(q)] = 0;

  if (verbosity >= 2) {
    reportf("%-*dLearnt {", decisionLevel() * 3 + 3, decisionLevel());
    for (Lit q : out_learnt)
      reportf(" %sx%d", sign(q) ? "~" : "", var(q));
    reportf(" } at level %d\n", out_btlevel);
  }
}

void Solver::calcReason(Clause c, Lit p, vec<Lit> &out) {
  (void)p;
  for (int i = 0; i < c.size(); i++)
    out.push(~c[i]);
  if (c.learnt())
    claBumpActivity(c);
}

void Solver::record(const vec<Lit> &lits) {
  Clause c = addClause(lits, true);
  enqueue(lits[0], c);
}

//=============================================================================
// Learnt-clause database.

bool Solver::satisfied(Clause c) const {
  for (int i = 0; i < c.size(); i++)
    if (value(c[i]) == l_True && level[var(c[i])] == 0)
      return true;
  return false;
}

void Solver::reduceDB() {
  if (occurMode == occ_All)
    return;
  stats.reduceDBs++;
  vec<Clause> ls;
  for (Clause c : learnts)
    if (!c.null())
      ls.push(c);
  sort(ls, ActivityLess());
  double extra_lim = claInc / learnts.size();
  auto isReason = [&](Clause c) { return reason[var(c[0])] == c; };
  int i = 0;
  for (; i < ls.size() / 3; i++)
    if (!isReason(ls[i]) && ok) {
      unlinkClause(ls[i]);
      freeClause(ls[i]);
    }
  for (; i < ls.size(); i++)
    if (!isReason(ls[i]) &&
        (ls[i].activity() < extra_lim || satisfied(ls[i])) && ok) {
      unlinkClause(ls[i]);
      freeClause(ls[i]);
    }
}

// Removes the learnt clauses satisfied at the root once enough inspections
// happened since the last sweep.
static void sweepLearnts(Solver &s) {
  if (s.stats.inspects - s.simpDBInspects <= 32 * (int64_t)s.nLearnts())
    return;
  s.simpDBInspects = s.stats.inspects;
  for (Clause c : s.learnts)
    if (!c.null() && s.satisfied(c)) {
      s.unlinkClause(c);
      s.freeClause(c);
    }
}

void Solver::simplifyDB(bool expensive) {
  if (!ok || !propagateRoot() || trail.size() == simpDBAssigns)
    return;
  simpDBAssigns = trail.size();
  if (occurMode != occ_Off && (opt_repeated_sub || expensive))
    simplifyBySubsumption(true);
  sweepLearnts(*this);
}

void Solver::setupWatches() {
  if (watchesActive)
    return;
  for (Clause c : clauses)
    if (!c.null()) {
      watch(c, ~c[0]);
      watch(c, ~c[1]);
    }
  watchesActive = true;
}

double Solver::progressEstimate() const {
  int n = 0;
  for (int v = 0; v < nVars(); v++)
    if (!eliminated[v])
      n++;
  double progress = 0;
  double f = 1.0 / n;
  for (int v = 0; v < nVars(); v++)
    if (!eliminated[v] && assigns[v] != l_Undef)
      progress += std::pow(f, level[v]);
  return progress / n;
}

//=============================================================================
// Search.

lbool Solver::search(int nofConflicts, int nofLearnts,
                     const SearchParams &params) {
  if (!ok)
    return l_False;
  stats.starts++;
  int conflictC = 0;
  varDecay = 1 / params.var_decay;
  claDecay = 1 / params.clause_decay;
  model.clear();

  for (;;) {
    Clause confl = propagate();
    if (!confl.null()) {
      stats.conflicts++;
      conflictC++;
      if (verbosity >= 2)
        reportf("%-*d**CONFLICT**\n", decisionLevel() * 3 + 3, decisionLevel());
      if (decisionLevel() == rootLevel) {
        if (rootLevel == 0)
          ok = false; // a root conflict holds for every later call too
        return l_False;
      }
      vec<Lit> learnt;
      int bt;
      analyze(confl, learnt, bt);
      cancelUntil(bt > rootLevel ? bt : rootLevel);
      Clause c = addClause(learnt, true);
      enqueue(learnt[0], c);
      claInc *= claDecay;
      if (varDecay >= 0)
        varInc *= varDecay;
      continue;
    }

    if (nofConflicts >= 0 && conflictC >= nofConflicts) {
      progress_estimate = progressEstimate();
      propQ.clear();
      cancelUntil(rootLevel);
      return l_Undef;
    }

    if (decisionLevel() == 0 && params.simplify) {
      if (!ok)
        return l_False;
      if (propagateRoot() && trail.size() != simpDBAssigns) {
        simpDBAssigns = trail.size();
        if (occurMode != occ_Off && opt_repeated_sub)
          simplifyBySubsumption(true);
        sweepLearnts(*this);
      }
      if (!ok)
        return l_False;
    }

    if (nofLearnts >= 0 && nLearnts() - trail.size() >= nofLearnts)
      reduceDB();

    stats.decisions++;
    int next = -1;
    if (drand(random_seed) < params.random_var_freq && nVars() > 0) {
      int x = irand(random_seed, nVars());
      if (value(x) == l_Undef)
        next = x;
    }
    while (next == -1 && !order.empty()) {
      int x = order.getmin();
      if (value(x) == l_Undef)
        next = x;
    }
    if (next == -1) {
      model.clear();
      model.growTo(nVars());
      if (occurMode == occ_Off)
        for (int v = 0; v < nVars(); v++)
          model[v] = value(v);
      else
        extendModel();
      cancelUntil(rootLevel);
      return l_True;
    }
    bool positive = polarity[next] == l_True;
    assume(Lit(next, !positive));
  }
}

static void reportRow(Solver &s, double learnt_factor) {
  int64_t learnt_lits = 0;
  for (Clause c : s.learnts)
    if (!c.null())
      learnt_lits += c.size();
  reportf("| %9d | %7d %8d | %7d %7d %8d %7.1f | %6.3f %% |\n",
          (int)s.stats.conflicts, s.nClauses(), s.nLiterals,
          (int)(s.nClauses() * learnt_factor), s.nLearnts(), (int)learnt_lits,
          s.nLearnts() == 0 ? 0.0 : (double)learnt_lits / s.nLearnts(),
          s.progress_estimate * 100);
}

bool Solver::solve(const vec<Lit> &assumptions) {
  SearchParams params(0.95, 0.999, opt_no_random ? 0 : 0.02);
  if (verbosity >= 1) {
    reportf("==================================[SHRIKE+]======================"
            "=============\n");
    reportf("|           |     ORIGINAL     |              LEARNT              "
            "|          |\n");
    reportf("| Conflicts | Clauses Literals |   Limit Clauses Literals  Lit/Cl "
            "| Progress |\n");
    reportf("%s", kRule);
    reportRow(*this, 0.3);
  }
  if ((occurMode == occ_Off || opt_asym_branch) && !watchesActive)
    setupWatches();
  if (!ok)
    return false;
  if (propagateRoot() && trail.size() != simpDBAssigns) {
    simpDBAssigns = trail.size();
    if (occurMode != occ_Off)
      simplifyBySubsumption(true);
    sweepLearnts(*this);
  }
  if (!ok)
    return false;
  setupWatches();

  for (Lit a : assumptions) {
    bool failed =
        !propagate().null() || !ok || !assume(a) || !propagate().null();
    if (failed) {
      propQ.clear();
      cancelUntil(0);
      return false;
    }
  }
  rootLevel = decisionLevel();

  double nof_conflicts = 100;
  double nof_learnts = 0.4;
  lbool status = l_Undef;
  while (status == l_Undef) {
    if (verbosity >= 1)
      reportRow(*this, nof_learnts);
    status =
        search((int)nof_conflicts, (int)(nClauses() * nof_learnts), params);
    nof_conflicts *= 1.5;
    nof_learnts *= 1.1;
  }
  if (verbosity >= 1)
    reportf("%s", kRule);
  cancelUntil(0);
  return status == l_True;
}

//=============================================================================
// Model extension.

void Solver::extendModel() {
  if (verbosity >= 1) {
    reportf("%s", kRule);
    reportf("(current CPU-time: %g s)\n", cpuTime());
  }
  Solver fresh(occ_Off, nullptr);
  for (int v = 0; v < nVars(); v++)
    fresh.newVar(true);
  vec<Lit> unit(1);
  for (int v = 0; v < nVars(); v++)
    if (!eliminated[v] && value(v) != l_Undef) {
      unit[0] = Lit(v, value(v) == l_False);
      fresh.addClause(unit);
    }

  flushRecord();
  std::rewind(elimFile);
  vec<Lit> lits;
  int n;
  while (std::fread(&n, sizeof(int), 1, elimFile) == 1) {
    ioBuffer.clear();
    ioBuffer.growTo(n);
    if (n < 0 || std::fread(ioBuffer.begin(), sizeof(int), (size_t)n,
                            elimFile) != (size_t)n) {
      std::fprintf(stderr, "ERROR! Truncated elimination record.\n");
      std::exit(1);
    }
    lits.clear();
    for (int i = 0; i < n; i++)
      lits.push(toLit(ioBuffer[i]));
    fresh.addClause(lits);
    if (!fresh.ok) {
      reportf("PANIC! False clause read back: ");
      std::printf("{");
      for (Lit p : lits) {
        lbool val = fresh.value(p);
        char ch = val == l_True    ? '1'
                  : val == l_False ? '0'
                  : val == l_Undef ? '?'
                                   : '!';
        std::printf(" %sx%d:%c", sign(p) ? "~" : "", var(p), ch);
      }
      std::printf(" }\n");
    }
  }
  if (std::ferror(elimFile)) {
    std::fprintf(stderr, "ERROR! Could not read elimination record.\n");
    std::exit(1);
  }
  // Later eliminations append behind the records read.
  std::fseek(elimFile, 0, SEEK_END);
  fresh.solve();
  fresh.model.copyTo(model);
}

} // namespace Shrike
