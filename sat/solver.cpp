// Search, conflict analysis, clause-database reduction and garbage
// collection of the Wren CDCL solver.
#include "sat/solver.hpp"

#include <cmath>

namespace Wren {

namespace {

// A restart or adjustment interval as a conflict count: the double grows
// without bound (pow(rinc, r) without Luby restarts), so it is clamped to
// the int range instead of converted out of range.
int clamp_to_int(double x) {
  if (!(x < (double)INT_MAX)) return INT_MAX;
  if (x < 0) return 0;
  return (int)x;
}

}  // namespace

Solver::Solver()
    : var_decay(opt_var_decay),
      clause_decay(opt_clause_decay),
      random_var_freq(opt_random_var_freq),
      random_seed(opt_random_seed),
      luby_restart(opt_luby_restart),
      ccmin_mode(opt_ccmin_mode),
      phase_saving(opt_phase_saving),
      rnd_init_act(opt_rnd_init_act),
      garbage_frac(opt_garbage_frac),
      restart_first(opt_restart_first),
      restart_inc(opt_restart_inc),
      watches(WatcherDeleted(ca)),
      order_heap(VarOrderLt(activity)) {}

Solver::~Solver() {}

//=============================================================================
// Building the problem

Var Solver::newVar(bool sign, bool dvar) {
  if (nVars() >= var_limit)
    fatal("too many variables: the limit is %d (literal 2v+1 must fit 32 bits)",
          var_limit);
  int v = nVars();
  watches.init(mkLit(v, false));
  watches.init(mkLit(v, true));
  assigns.push(l_Undef);
  vardata.push(mkVarData(CRef_Undef, 0));
  activity.push(rnd_init_act ? drand(random_seed) * 0.00001 : 0);
  seen.push(0);
  polarity.push((char)sign);
  decision.push();
  trail.capacity(v + 1);
  setDecisionVar(v, dvar);
  return v;
}

bool Solver::addClause_(vec<Lit>& ps) {
  for (int i = 0; i < ps.size(); i++)
    if (ps[i].x < 0 || var(ps[i]) >= nVars())
      fatal("literal %d names variable %d, which was never created (%d exist)",
            ps[i].x, ps[i].x < 0 ? -1 : var(ps[i]), nVars());
  if (!ok) return false;

  // Sorting puts a literal next to its negation; satisfied clauses and
  // tautologies are dropped, false and repeated literals removed.
  sort(ps);
  Lit p = lit_Undef;
  int i, j;
  for (i = j = 0; i < ps.size(); i++)
    if (value(ps[i]) == l_True || ps[i] == ~p)
      return true;
    else if (value(ps[i]) != l_False && ps[i] != p)
      ps[j++] = p = ps[i];
  ps.shrink(i - j);

  if (ps.size() == 0) return ok = false;
  if (ps.size() == 1) {
    uncheckedEnqueue(ps[0]);
    return ok = (propagate() == CRef_Undef);
  }
  CRef cr = ca.alloc(ps, false);
  clauses.push(cr);
  attachClause(cr);
  return true;
}

void Solver::setDecisionVar(Var v, bool b) {
  if (b && !decision[v])
    dec_vars++;
  else if (!b && decision[v])
    dec_vars--;
  decision[v] = (char)b;
  insertVarOrder(v);
}

void Solver::insertVarOrder(Var x) {
  if (!order_heap.inHeap(x) && decision[x]) order_heap.insert(x);
}

void Solver::attachClause(CRef cr) {
  const Clause& c = ca[cr];
  watches[~c[0]].push(Watcher(cr, c[1]));
  watches[~c[1]].push(Watcher(cr, c[0]));
  if (c.learnt())
    learnts_literals += c.size();
  else
    clauses_literals += c.size();
}

void Solver::detachClause(CRef cr, bool strict) {
  const Clause& c = ca[cr];
  if (strict) {
    for (int k = 0; k < 2; k++) {
      vec<Watcher>& ws = watches[~c[k]];
      int j = 0;
      while (j < ws.size() && ws[j].cref != cr) j++;
      for (; j < ws.size() - 1; j++) ws[j] = ws[j + 1];
      ws.pop();
    }
  } else {
    watches.smudge(~c[0]);
    watches.smudge(~c[1]);
  }
  if (c.learnt())
    learnts_literals -= c.size();
  else
    clauses_literals -= c.size();
}

void Solver::removeClause(CRef cr) {
  Clause& c = ca[cr];
  detachClause(cr);
  if (locked(c)) vardata[var(c[0])].reason = CRef_Undef;
  c.mark(1);
  ca.free(cr);
}

bool Solver::satisfied(const Clause& c) const {
  for (int i = 0; i < c.size(); i++)
    if (value(c[i]) == l_True) return true;
  return false;
}

//=============================================================================
// Assignment and backtracking

void Solver::uncheckedEnqueue(Lit p, CRef from) {
  assigns[var(p)] = lbool(!sign(p));
  vardata[var(p)] = mkVarData(from, decisionLevel());
  trail.push_(p);
}

bool Solver::enqueue(Lit p, CRef from) {
  if (value(p) != l_Undef) return value(p) != l_False;
  uncheckedEnqueue(p, from);
  return true;
}

void Solver::cancelUntil(int lvl) {
  if (decisionLevel() <= lvl) return;
  for (int c = trail.size() - 1; c >= trail_lim[lvl]; c--) {
    Var x = var(trail[c]);
    assigns[x] = l_Undef;
    if (phase_saving > 1 || (phase_saving == 1 && c > trail_lim.last()))
      polarity[x] = (char)sign(trail[c]);
    insertVarOrder(x);
  }
  qhead = trail_lim[lvl];
  trail.shrink_(trail.size() - trail_lim[lvl]);
  trail_lim.shrink_(trail_lim.size() - lvl);
}

Lit Solver::pickBranchLit() {
  Var next = var_Undef;

  // Random decision (never with the default frequency 0).
  if (drand(random_seed) < random_var_freq && !order_heap.empty()) {
    next = order_heap[irand(random_seed, order_heap.size())];
    if (value(next) == l_Undef && decision[next]) rnd_decisions++;
  }

  // Activity-based decision.
  while (next == var_Undef || value(next) != l_Undef || !decision[next]) {
    if (order_heap.empty()) {
      next = var_Undef;
      break;
    }
    next = order_heap.removeMin();
  }

  if (next == var_Undef) return lit_Undef;
  bool neg = rnd_pol ? drand(random_seed) < 0.5 : polarity[next] != 0;
  return mkLit(next, neg);
}

//=============================================================================
// Propagation over the two watched literals

CRef Solver::propagate() {
  CRef confl = CRef_Undef;
  int num_props = 0;
  watches.cleanAll();

  while (qhead < trail.size()) {
    Lit p = trail[qhead++];  // p is true; visit clauses watching ~p
    vec<Watcher>& ws = watches[p];
    Watcher* i;
    Watcher* j;
    Watcher* end;
    num_props++;

    for (i = j = (Watcher*)ws, end = i + ws.size(); i != end;) {
      // A true blocker means the clause is satisfied: no need to look.
      Lit blocker = i->blocker;
      if (value(blocker) == l_True) {
        *j++ = *i++;
        continue;
      }

      // Make sure the false literal is at position 1.
      CRef cr = i->cref;
      Clause& c = ca[cr];
      Lit false_lit = ~p;
      if (c[0] == false_lit) {
        c[0] = c[1];
        c[1] = false_lit;
      }
      i++;

      // When the first watch is true the clause is satisfied.
      Lit first = c[0];
      Watcher w(cr, first);
      if (first != blocker && value(first) == l_True) {
        *j++ = w;
        continue;
      }

      // Look for a new literal to watch.
      bool moved = false;
      for (int k = 2; k < c.size(); k++)
        if (value(c[k]) != l_False) {
          c[1] = c[k];
          c[k] = false_lit;
          watches[~c[1]].push(w);
          moved = true;
          break;
        }
      if (moved) continue;

      // No new watch: the clause is unit or conflicting.
      *j++ = w;
      if (value(first) == l_False) {
        confl = cr;
        qhead = trail.size();
        while (i < end) *j++ = *i++;
      } else {
        uncheckedEnqueue(first, cr);
      }
    }
    ws.shrink_((int)(i - j));
  }
  propagations += num_props;
  simpDB_props -= num_props;
  return confl;
}

//=============================================================================
// Conflict analysis

void Solver::analyze(CRef confl, vec<Lit>& out_learnt, int& out_btlevel) {
  int pathC = 0;
  Lit p = lit_Undef;

  // Generate the conflict clause; slot 0 is kept for the asserting literal.
  out_learnt.push();
  int index = trail.size() - 1;

  do {
    Clause& c = ca[confl];
    if (c.learnt()) claBumpActivity(c);

    for (int j = (p == lit_Undef) ? 0 : 1; j < c.size(); j++) {
      Lit q = c[j];
      if (!seen[var(q)] && level(var(q)) > 0) {
        varBumpActivity(var(q));
        seen[var(q)] = 1;
        if (level(var(q)) >= decisionLevel())
          pathC++;
        else
          out_learnt.push(q);
      }
    }

    // Select the next literal to look at.
    while (!seen[var(trail[index--])]) {
    }
    p = trail[index + 1];
    confl = reason(var(p));
    seen[var(p)] = 0;
    pathC--;
  } while (pathC > 0);
  out_learnt[0] = ~p;

  // Simplify the conflict clause.
  int i, j;
  out_learnt.copyTo(analyze_toclear);
  if (ccmin_mode == 2) {
    uint32_t abstract_level = 0;
    for (i = 1; i < out_learnt.size(); i++)
      abstract_level |= abstractLevel(var(out_learnt[i]));
    for (i = j = 1; i < out_learnt.size(); i++)
      if (reason(var(out_learnt[i])) == CRef_Undef ||
          !litRedundant(out_learnt[i], abstract_level))
        out_learnt[j++] = out_learnt[i];
  } else if (ccmin_mode == 1) {
    for (i = j = 1; i < out_learnt.size(); i++) {
      Var x = var(out_learnt[i]);
      if (reason(x) == CRef_Undef) {
        out_learnt[j++] = out_learnt[i];
      } else {
        const Clause& c = ca[reason(x)];
        for (int k = 1; k < c.size(); k++)
          if (!seen[var(c[k])] && level(var(c[k])) > 0) {
            out_learnt[j++] = out_learnt[i];
            break;
          }
      }
    }
  } else {
    i = j = out_learnt.size();
  }

  max_literals += out_learnt.size();
  out_learnt.shrink(i - j);
  tot_literals += out_learnt.size();

  // Find the backtrack level; its literal goes to position 1.
  if (out_learnt.size() == 1) {
    out_btlevel = 0;
  } else {
    int max_i = 1;
    for (int k = 2; k < out_learnt.size(); k++)
      if (level(var(out_learnt[k])) > level(var(out_learnt[max_i]))) max_i = k;
    Lit q = out_learnt[max_i];
    out_learnt[max_i] = out_learnt[1];
    out_learnt[1] = q;
    out_btlevel = level(var(q));
  }

  for (int k = 0; k < analyze_toclear.size(); k++) seen[var(analyze_toclear[k])] = 0;
}

// True when p is implied by the other literals of the learned clause (those
// marked seen), checked depth first through the reasons. Marks set on a
// failed check are undone.
bool Solver::litRedundant(Lit p, uint32_t abstract_levels) {
  analyze_stack.clear();
  analyze_stack.push(p);
  int top = analyze_toclear.size();
  while (analyze_stack.size() > 0) {
    const Clause& c = ca[reason(var(analyze_stack.last()))];
    analyze_stack.pop();
    for (int i = 1; i < c.size(); i++) {
      Lit q = c[i];
      if (!seen[var(q)] && level(var(q)) > 0) {
        if (reason(var(q)) != CRef_Undef &&
            (abstractLevel(var(q)) & abstract_levels) != 0) {
          seen[var(q)] = 1;
          analyze_stack.push(q);
          analyze_toclear.push(q);
        } else {
          for (int j = top; j < analyze_toclear.size(); j++)
            seen[var(analyze_toclear[j])] = 0;
          analyze_toclear.shrink(analyze_toclear.size() - top);
          return false;
        }
      }
    }
  }
  return true;
}

// Expresses the false assumption p in terms of the assumptions that imply
// it: out_conflict receives p and the negations of those assumptions.
void Solver::analyzeFinal(Lit p, vec<Lit>& out_conflict) {
  out_conflict.clear();
  out_conflict.push(p);
  if (decisionLevel() == 0) return;

  seen[var(p)] = 1;
  for (int i = trail.size() - 1; i >= trail_lim[0]; i--) {
    Var x = var(trail[i]);
    if (seen[x]) {
      if (reason(x) == CRef_Undef) {
        out_conflict.push(~trail[i]);
      } else {
        const Clause& c = ca[reason(x)];
        for (int j = 1; j < c.size(); j++)
          if (level(var(c[j])) > 0) seen[var(c[j])] = 1;
      }
      seen[x] = 0;
    }
  }
  seen[var(p)] = 0;
}

//=============================================================================
// Activities

void Solver::varBumpActivity(Var v, double inc) {
  if ((activity[v] += inc) > 1e100) {
    for (int i = 0; i < nVars(); i++) activity[i] *= 1e-100;
    var_inc *= 1e-100;
  }
  if (order_heap.inHeap(v)) order_heap.decrease(v);
}

void Solver::claBumpActivity(Clause& c) {
  if ((c.activity() += (float)cla_inc) > 1e20) {
    for (int i = 0; i < learnts.size(); i++) ca[learnts[i]].activity() *= 1e-20f;
    cla_inc *= 1e-20;
  }
}

//=============================================================================
// Clause database

namespace {

struct reduceDB_lt {
  ClauseAllocator& ca;
  explicit reduceDB_lt(ClauseAllocator& ca_) : ca(ca_) {}
  bool operator()(CRef x, CRef y) const {
    return ca[x].size() > 2 &&
           (ca[y].size() == 2 || ca[x].activity() < ca[y].activity());
  }
};

}  // namespace

// Removes half of the learned clauses, the less active first; binary and
// locked clauses stay, and so do clauses above the activity limit.
void Solver::reduceDB() {
  double extra_lim = cla_inc / learnts.size();
  sort(learnts, reduceDB_lt(ca));
  int i, j;
  for (i = j = 0; i < learnts.size(); i++) {
    Clause& c = ca[learnts[i]];
    if (c.size() > 2 && !locked(c) &&
        (i < learnts.size() / 2 || c.activity() < extra_lim))
      removeClause(learnts[i]);
    else
      learnts[j++] = learnts[i];
  }
  learnts.shrink_(i - j);
  checkGarbage();
}

void Solver::removeSatisfied(vec<CRef>& cs) {
  int i, j;
  for (i = j = 0; i < cs.size(); i++) {
    const Clause& c = ca[cs[i]];
    if (satisfied(c))
      removeClause(cs[i]);
    else
      cs[j++] = cs[i];
  }
  cs.shrink_(i - j);
}

void Solver::rebuildOrderHeap() {
  vec<Var> vs;
  for (Var v = 0; v < nVars(); v++)
    if (decision[v] && value(v) == l_Undef) vs.push(v);
  order_heap.build(vs);
}

bool Solver::simplify() {
  if (!ok || propagate() != CRef_Undef) return ok = false;
  if (nAssigns() == simpDB_assigns || simpDB_props > 0) return true;

  removeSatisfied(learnts);
  if (remove_satisfied) removeSatisfied(clauses);
  checkGarbage();
  rebuildOrderHeap();

  simpDB_assigns = nAssigns();
  simpDB_props = (int64_t)(clauses_literals + learnts_literals);
  return true;
}

//=============================================================================
// Search

lbool Solver::search(int nof_conflicts) {
  int backtrack_level;
  int conflictC = 0;
  vec<Lit>& learnt_clause = add_tmp;
  starts++;

  for (;;) {
    CRef confl = propagate();
    if (confl != CRef_Undef) {
      conflicts++;
      conflictC++;
      if (decisionLevel() == 0) return l_False;

      learnt_clause.clear();
      analyze(confl, learnt_clause, backtrack_level);
      cancelUntil(backtrack_level);

      if (learnt_clause.size() == 1) {
        uncheckedEnqueue(learnt_clause[0]);
      } else {
        CRef cr = ca.alloc(learnt_clause, true);
        learnts.push(cr);
        attachClause(cr);
        claBumpActivity(ca[cr]);
        uncheckedEnqueue(learnt_clause[0], cr);
      }

      varDecayActivity();
      claDecayActivity();

      if (--learntsize_adjust_cnt == 0) {
        learntsize_adjust_confl *= learntsize_adjust_inc;
        learntsize_adjust_cnt = clamp_to_int(learntsize_adjust_confl);
        max_learnts *= learntsize_inc;
        if (verbosity >= 1) printSearchProgress();
      }
    } else {
      // No conflict: restart or stop when a limit is reached.
      if ((nof_conflicts >= 0 && conflictC >= nof_conflicts) || !withinBudget()) {
        progress_estimate = progressEstimate();
        cancelUntil(0);
        return l_Undef;
      }

      if (decisionLevel() == 0 && !simplify()) return l_False;

      if ((double)(learnts.size() - nAssigns()) >= max_learnts) reduceDB();

      Lit next = lit_Undef;
      while (decisionLevel() < assumptions.size()) {
        Lit p = assumptions[decisionLevel()];
        if (value(p) == l_True) {
          newDecisionLevel();  // dummy level for an assumption already true
        } else if (value(p) == l_False) {
          analyzeFinal(~p, conflict);
          return l_False;
        } else {
          next = p;
          break;
        }
      }

      if (next == lit_Undef) {
        decisions++;
        next = pickBranchLit();
        if (next == lit_Undef) return l_True;  // model found
      }

      newDecisionLevel();
      uncheckedEnqueue(next);
    }
  }
}

double Solver::progressEstimate() const {
  double progress = 0;
  double F = 1.0 / nVars();
  for (int i = 0; i <= decisionLevel(); i++) {
    int beg = i == 0 ? 0 : trail_lim[i - 1];
    int end = i == decisionLevel() ? trail.size() : trail_lim[i];
    progress += std::pow(F, i) * (end - beg);
  }
  return progress / nVars();
}

// Finds the finite subsequence containing index x and the size of that
// subsequence, then descends to x: the value is y^k.
double Solver::luby(double y, int x) {
  long long size = 1;
  int seq = 0;
  long long xx = x;
  while (size < xx + 1) {
    seq++;
    size = 2 * size + 1;
  }
  while (size - 1 != xx) {
    size = (size - 1) >> 1;
    seq--;
    xx = xx % size;
  }
  return std::pow(y, seq);
}

lbool Solver::solve_() {
  model.clear();
  conflict.clear();
  if (!ok) return l_False;

  solves++;
  max_learnts = nClauses() * learntsize_factor;
  learntsize_adjust_confl = learntsize_adjust_start_confl;
  learntsize_adjust_cnt = clamp_to_int(learntsize_adjust_confl);
  lbool status = l_Undef;

  if (verbosity >= 1) printSearchHeader();

  int curr_restarts = 0;
  while (status == l_Undef) {
    double rest_base = luby_restart ? luby(restart_inc, curr_restarts)
                                    : std::pow(restart_inc, curr_restarts);
    status = search(clamp_to_int(rest_base * restart_first));
    if (!withinBudget()) break;
    if (curr_restarts < INT_MAX) curr_restarts++;
  }

  if (verbosity >= 1) printSearchFooter();

  if (status == l_True) {
    model.growTo(nVars());
    for (int i = 0; i < nVars(); i++) model[i] = value(i);
  } else if (status == l_False && conflict.size() == 0) {
    ok = false;
  }

  cancelUntil(0);
  return status;
}

//=============================================================================
// Garbage collection

void Solver::relocAll(ClauseAllocator& to) {
  // All watchers.
  watches.cleanAll();
  for (int v = 0; v < nVars(); v++)
    for (int s = 0; s < 2; s++) {
      Lit p = mkLit(v, s);
      vec<Watcher>& ws = watches[p];
      for (int j = 0; j < ws.size(); j++) ca.reloc(ws[j].cref, to);
    }

  // All reasons.
  for (int i = 0; i < trail.size(); i++) {
    Var v = var(trail[i]);
    if (reason(v) != CRef_Undef &&
        (ca[reason(v)].reloced() || locked(ca[reason(v)])))
      ca.reloc(vardata[v].reason, to);
  }

  // All learned and problem clauses.
  for (int i = 0; i < learnts.size(); i++) ca.reloc(learnts[i], to);
  for (int i = 0; i < clauses.size(); i++) ca.reloc(clauses[i], to);
}

void Solver::checkGarbage(double gf) {
  if ((double)ca.wasted() > (double)ca.size() * gf) garbageCollect();
}

void Solver::garbageCollect() {
  // Start the new arena with room for the live words, so that it need not
  // grow while clauses move.
  ClauseAllocator to(ca.size() - ca.wasted());
  relocAll(to);
  if (verbosity >= 2) printGarbageCollection(ca.size(), to.size());
  to.moveTo(ca);
}

}  // namespace Wren
