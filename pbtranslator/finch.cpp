// Finch clause store: level-0 unit propagation over two watched literals,
// satisfied-clause removal and export of clauses and units.
#include "pbtranslator/finch.hpp"

namespace Finch {

Clause *Clause::create(const vec<Lit> &ps, bool learnt) {
  size_t bytes = sizeof(Clause) + sizeof(Lit) * (size_t)ps.size() +
                 (learnt ? sizeof(float) : 0);
  void *mem = std::malloc(bytes);
  if (mem == nullptr)
    pbt_out_of_memory();
  Clause *c = new (mem) Clause();
  c->size_learnt = ((uint32_t)ps.size() << 1) | (uint32_t)learnt;
  for (int i = 0; i < ps.size(); i++)
    c->lits()[i] = ps[i];
  if (learnt)
    c->activity() = 0;
  return c;
}

int removeWatch(vec<LitClauseUnion> &ws, LitClauseUnion elem) {
  int j = 0;
  while (j < ws.size() && !(ws[j] == elem))
    j++;
  if (j == ws.size())
    return -1;
  for (int k = j; k < ws.size() - 1; k++)
    ws[k] = ws[k + 1];
  ws.pop();
  return j;
}

Solver::Solver() {
  vec<Lit> two;
  two.push(lit_Undef);
  two.push(lit_Undef);
  binary_conflict = Clause::create(two, false);
}

Solver::~Solver() {
  for (Clause *c : problem_clauses)
    Clause::release(c);
  for (Clause *c : learnt_clauses)
    Clause::release(c);
  Clause::release(binary_conflict);
  if (empty_clause != nullptr)
    Clause::release(empty_clause);
}

int Solver::newVar(bool decision_var) {
  int index = nVars();
  watch_lists.push();
  watch_lists.push();
  reasons.push(Clause_NULL);
  values.push(l_Undef);
  levels.push(-1);
  decision.push((char)decision_var);
  trail.reserve(index + 1); // appending to the trail never grows it
  return index;
}

bool Solver::enqueue(Lit p, LitClauseUnion from) {
  if (value(p) != l_Undef)
    return value(p) != l_False;
  int x = var(p);
  values[x] = lbool(!sign(p));
  levels[x] = decisionLevel();
  reasons[x] = from;
  trail.push(p);
  return true;
}

bool Solver::newClause(const vec<Lit> &ps_, bool learnt, Clause *&out) {
  out = nullptr;
  vec<Lit> ps;
  ps_.copyTo(ps);

  if (!learnt) {
    // False literals go, a true literal satisfies the clause.
    for (int i = 0; i < ps.size();) {
      if (value(ps[i]) == l_True)
        return true;
      if (value(ps[i]) == l_False) {
        ps[i] = ps.last();
        ps.pop();
      } else
        i++;
    }
    sort(ps);
    int j = 0;
    for (int i = 0; i < ps.size(); i++) {
      if (j > 0 && ps[i] == ps[j - 1])
        continue;
      if (j > 0 && ps[i] == ~ps[j - 1])
        return true; // tautology
      ps[j++] = ps[i];
    }
    ps.shrink(ps.size() - j);
  }

  if (ps.size() == 0)
    return false;
  if (ps.size() == 1)
    return enqueue(ps[0]);

  Clause *c;
  if (learnt) {
    // Search only: the literal of highest level goes second.
    int max_i = 1;
    for (int i = 2; i < ps.size(); i++)
      if (levels[var(ps[i])] > levels[var(ps[max_i])])
        max_i = i;
    Lit tmp = ps[1];
    ps[1] = ps[max_i];
    ps[max_i] = tmp;
    c = Clause::create(ps, true);
    stats.learnts++;
    stats.learnts_literals += c->size();
  } else {
    c = Clause::create(ps, false);
    stats.clauses++;
    stats.clauses_literals += c->size();
  }

  if (c->size() == 2) {
    watch_lists[toInt(~(*c)[0])].push(LitClauseUnion::of((*c)[1]));
    watch_lists[toInt(~(*c)[1])].push(LitClauseUnion::of((*c)[0]));
  } else {
    watch_lists[toInt(~(*c)[0])].push(LitClauseUnion::of(c));
    watch_lists[toInt(~(*c)[1])].push(LitClauseUnion::of(c));
  }
  out = c;
  return true;
}

void Solver::addClause(const vec<Lit> &ps) {
  if (!consistent)
    return;
  Clause *c;
  consistent = newClause(ps, false, c);
  if (c != nullptr)
    problem_clauses.push(c);
}

Clause *Solver::propagate() {
  Clause *confl = nullptr;
  while (propagation_head < trail.size()) {
    Lit p = trail[propagation_head++];
    stats.propagations++;
    vec<LitClauseUnion> &ws = watch_lists[toInt(p)];
    int i = 0, j = 0;
    const int end = ws.size();
    for (; i < end; i++) {
      LitClauseUnion w = ws[i];
      if (w.isLit()) {
        ws[j++] = w;
        if (!enqueue(w.lit(), LitClauseUnion::of(p))) {
          (*binary_conflict)[0] = ~p;
          (*binary_conflict)[1] = w.lit();
          confl = binary_conflict;
          propagation_head = trail.size();
          for (i++; i < end; i++)
            ws[j++] = ws[i];
          break;
        }
        continue;
      }
      Clause &c = *w.clause();
      Lit false_lit = ~p;
      if (c[0] == false_lit) {
        c[0] = c[1];
        c[1] = false_lit;
      }
      if (value(c[0]) == l_True) {
        ws[j++] = w;
        continue;
      }
      bool moved = false;
      for (int k = 2; k < c.size(); k++) {
        if (value(c[k]) != l_False) {
          c[1] = c[k];
          c[k] = false_lit;
          watch_lists[toInt(~c[1])].push(w);
          moved = true;
          break;
        }
      }
      if (moved)
        continue;
      ws[j++] = w;
      if (!enqueue(c[0], w)) {
        confl = &c;
        propagation_head = trail.size();
        for (i++; i < end; i++)
          ws[j++] = ws[i];
        break;
      }
    }
    ws.shrink(end - j);
  }
  return confl;
}

void Solver::remove(Clause *c, bool just_dealloc) {
  if (!just_dealloc) {
    if (c->size() == 2) {
      removeWatch(watch_lists[toInt(~(*c)[0])], LitClauseUnion::of((*c)[1]));
      removeWatch(watch_lists[toInt(~(*c)[1])], LitClauseUnion::of((*c)[0]));
    } else {
      removeWatch(watch_lists[toInt(~(*c)[0])], LitClauseUnion::of(c));
      removeWatch(watch_lists[toInt(~(*c)[1])], LitClauseUnion::of(c));
    }
  }
  if (c->learnt()) {
    stats.learnts--;
    stats.learnts_literals -= c->size();
  } else {
    stats.clauses--;
    stats.clauses_literals -= c->size();
  }
  Clause::release(c);
}

void Solver::simplifyDB() {
  if (!consistent)
    return;
  if (propagate() != nullptr) {
    consistent = false;
    return;
  }
  if (trail.size() == simplified_at)
    return;
  simplified_at = trail.size();
  for (vec<Clause *> *cs : {&problem_clauses, &learnt_clauses}) {
    int j = 0;
    for (int i = 0; i < cs->size(); i++) {
      Clause *c = (*cs)[i];
      bool satisfied = false;
      for (int k = 0; k < c->size() && !satisfied; k++)
        satisfied = value((*c)[k]) == l_True;
      if (satisfied)
        remove(c);
      else
        (*cs)[j++] = c;
    }
    cs->shrink(cs->size() - j);
  }
}

void Solver::exportClauses(vec<Clause *> &clauses_out, vec<Lit> &units_out) {
  if (!consistent) {
    // The caller must see the unsatisfiability: one empty clause.
    if (empty_clause == nullptr)
      empty_clause = Clause::create(vec<Lit>(), false);
    clauses_out.push(empty_clause);
    return;
  }
  // Every level-0 assignment, also those propagation derived: their reason
  // clauses may have been removed as satisfied by simplifyDB.
  for (int x = 0; x < nVars(); x++)
    if (values[x] != l_Undef && levels[x] == 0)
      units_out.push(Lit(x, values[x] == l_False));
  for (Clause *c : problem_clauses)
    clauses_out.push(c);
}

} // namespace Finch
