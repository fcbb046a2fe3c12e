// Shrike clause database and its simplification: adding and unlinking
// clauses, backward subsumption and self-subsuming resolution over
// occurrence lists and clause signatures, root propagation through the
// occurrence lists, and variable elimination by substitution of definitions
// or by clause distribution bounded by the number of clauses (SatELite).
#include "pbtranslator/shrike.hpp"
#include "pbtranslator/shrike_files.hpp"

#include <cstring>

namespace Shrike {

bool opt_0sub = true;
bool opt_1sub = true;
bool opt_2sub = false;
bool opt_var_elim = true;
bool opt_unit_def = true;
bool opt_def_elim = true;
bool opt_hyper1_res = true;
bool opt_confl_1sub = true;
bool opt_confl_ksub = false;
bool opt_niver = false;
bool opt_pure_literal = false;
bool opt_asym_branch = false;
bool opt_repeated_sub = false;
bool opt_keep_all = false;
bool opt_no_random = false;
bool opt_pre_sat = false;
bool opt_ext_sat = false;

const char *input_file = nullptr;
const char *output_file = nullptr;
const char *varmap_file = nullptr;
const char *elimed_file = nullptr;
const char *model_file = nullptr;

namespace {
// Removes the first entry equal to x, keeping the order of the others (no
// change when absent).
template <class T> void removeOrdered(vec<T> &v, const T &x) {
  int j = 0;
  while (j < v.size() && !(v[j] == x))
    j++;
  if (j == v.size())
    return;
  for (; j < v.size() - 1; j++)
    v[j] = v[j + 1];
  v.pop();
}

bool sameClause(const Clause &c, Clause d) { return c == d; }
bool sameClause(const Clause_t &, Clause) { return false; }

struct ScoreLess {
  bool operator()(const Pair<int64_t, int> &a,
                  const Pair<int64_t, int> &b) const {
    return a < b;
  }
};
} // namespace

//=============================================================================
// Clause records and sets.

Clause allocClause(const vec<Lit> &ps, bool learnt, Clause reuse) {
  size_t bytes = sizeof(ClauseBlock) + sizeof(Lit) * (size_t)ps.size() +
                 (learnt ? sizeof(float) : 0);
  int id = reuse.null() ? -1 : reuse.id();
  void *mem = std::realloc(reuse.null() ? nullptr : (void *)reuse.block(), bytes);
  if (mem == nullptr)
    pbt_out_of_memory();
  ClauseBlock *b = static_cast<ClauseBlock *>(mem);
  b->id = id;
  b->size_learnt = ((uint32_t)ps.size() << 1) | (uint32_t)learnt;
  b->abst = 0;
  for (int i = 0; i < ps.size(); i++) {
    b->lits()[i] = ps[i];
    b->abst |= litBit(ps[i]);
  }
  Clause c(b);
  if (learnt)
    c.activity() = 0;
  return c;
}

void deallocClause(Clause c) { std::free(c.block()); }

bool CSet::add(Clause c) {
  where.growTo(c.id() + 1, -1);
  if (where[c.id()] != -1)
    return true;
  if (free_.size() > 0) {
    int pos = free_.last();
    free_.pop();
    which[pos] = c;
    where[c.id()] = pos;
  } else {
    where[c.id()] = which.size();
    which.push(c);
  }
  return false;
}

bool CSet::exclude(Clause c) {
  if (c.id() < 0 || c.id() >= where.size() || where[c.id()] == -1 ||
      which[where[c.id()]] != c)
    return false;
  free_.push(where[c.id()]);
  which[where[c.id()]] = Clause_NULL;
  where[c.id()] = -1;
  return true;
}

void CSet::clear() {
  for (Clause c : which)
    if (!c.null())
      where[c.id()] = -1;
  which.clear();
  free_.clear();
}

bool merge(Clause a, Clause b, Lit p, Lit q, vec<char> &seen, vec<Lit> &out) {
  out.clear();
  for (int i = 0; i < a.size(); i++)
    if (a[i] != p) {
      out.push(a[i]);
      seen[toInt(a[i])] = 1;
    }
  bool result = true;
  for (int i = 0; i < b.size(); i++) {
    Lit l = b[i];
    if (l == q)
      continue;
    if (seen[toInt(~l)]) {
      result = false;
      break;
    }
    if (!seen[toInt(l)])
      out.push(l);
  }
  for (int i = 0; i < a.size(); i++)
    seen[toInt(a[i])] = 0;
  return result;
}

//=============================================================================
// Construction.

Solver::Solver(int occur_mode, const char *record_name)
    : order(VarOrderLt{&activity}), occurMode(occur_mode) {
  createTmpFiles(record_name);
}

Solver::~Solver() {
  for (Clause c : clauses)
    if (!c.null())
      deallocClause(c);
  for (Clause c : learnts)
    if (!c.null())
      deallocClause(c);
  if (elimFileName != nullptr)
    deleteTmpFile(elimFileName, true); // frees the name with the entry
  else if (elimFile != nullptr)
    std::fclose(elimFile);
}

int Solver::newVar(bool decision) {
  int index = nVars();
  watches.push();
  watches.push();
  occur.push();
  occur.push();
  nOccurs.push(0);
  nOccurs.push(0);
  reason.push(Clause_NULL);
  assigns.push(l_Undef);
  level.push(-1);
  activity.push(0);
  polarity.push(l_Undef);
  decisionVar.push((char)decision);
  order.setBounds(index + 1);
  if (decision)
    order.insert(index);
  seen.push(0);
  seen.push(0);
  touched.push(0);
  touch(index);
  eliminated.push(0);
  frozen.push(0);
  return index;
}

void Solver::setOccurMode(int m) {
  occurMode = m;
  if (m == occ_Off) {
    for (vec<Clause> &os : occur)
      os.clear(true);
    return;
  }
  for (int i = 0; i < occur.size(); i++) {
    occur[i].clear(true);
    occur[i].reserve(nOccurs[i]);
  }
  for (Clause c : clauses)
    if (!c.null())
      for (int i = 0; i < c.size(); i++)
        occur[toInt(c[i])].push(c);
}

void Solver::takeSlot(Clause c) {
  vec<Clause> &slots = c.learnt() ? learnts : clauses;
  vec<int> &ids = c.learnt() ? freeLearntIds : freeClauseIds;
  if (c.id() < 0) {
    if (ids.size() > 0) {
      c.setId(ids.last());
      ids.pop();
    } else {
      c.setId(slots.size());
      slots.push(Clause_NULL);
    }
  }
  slots[c.id()] = c;
}

void Solver::freeClause(Clause c) {
  if (c.id() >= 0)
    (c.learnt() ? freeLearntIds : freeClauseIds).push(c.id());
  deallocClause(c);
}

Clause Solver::addClause(const vec<Lit> &ps_in, bool learnt, Clause reuse) {
  if (!ok) {
    if (!reuse.null())
      freeClause(reuse); // a detached record must not leak
    return Clause_NULL;
  }
  bool was_learnt = learnt; // decides normalisation and watch order
  if (opt_keep_all)
    learnt = false;

  vec<Lit> ps;
  ps_in.copyTo(ps);
  if (!was_learnt) {
    int j = 0;
    for (int i = 0; i < ps.size(); i++) {
      lbool val = value(ps[i]);
      if (val == l_True && level[var(ps[i])] == 0) {
        if (!reuse.null())
          freeClause(reuse);
        return Clause_NULL;
      }
      if (!(val == l_False && level[var(ps[i])] == 0))
        ps[j++] = ps[i];
    }
    ps.shrink(ps.size() - j);
    sortUnique(ps);
    for (int i = 0; i + 1 < ps.size(); i++)
      if (ps[i] == ~ps[i + 1]) {
        if (!reuse.null())
          freeClause(reuse);
        return Clause_NULL;
      }
  }
  if (ps.size() == 0) {
    ok = false;
    if (!reuse.null())
      freeClause(reuse);
    return Clause_NULL;
  }
  if (ps.size() == 1) {
    if (!reuse.null())
      freeClause(reuse);
    if (decisionLevel() > 0)
      pendingUnits.push(ps[0]);
    if (!enqueue(ps[0]))
      ok = false;
    return Clause_NULL;
  }

  bool reused = !reuse.null();
  Clause c = allocClause(ps, learnt, reuse);

  if (occurMode != occ_Off) {
    if (checkSubsumedOnAdd && isSubsumed(c)) {
      freeClause(c);
      return Clause_NULL;
    }
    if (!learnt)
      subsume0(c);
    if (listed(c)) {
      // c needs an id before it can enter the sets.
      takeSlot(c);
      for (int i = 0; i < c.size(); i++) {
        occur[toInt(c[i])].push(c);
        touch(var(c[i]));
      }
      if (reused)
        clTouched.add(c);
      else
        clAdded.add(c);
    }
  }

  if (was_learnt) {
    int max_i = 1;
    for (int i = 2; i < c.size(); i++)
      if (level[var(c[i])] > level[var(c[max_i])])
        max_i = i;
    Lit tmp = c[1];
    c[1] = c[max_i];
    c[max_i] = tmp;
    if (learnt)
      claBumpActivity(c);
  }
  if (watchesActive) {
    watch(c, ~c[0]);
    watch(c, ~c[1]);
  }
  takeSlot(c);
  if (!learnt) {
    nLiterals += c.size();
    for (int i = 0; i < c.size(); i++)
      nOccurs[toInt(c[i])]++;
  }
  return c;
}

//=============================================================================
// Unlinking.

void Solver::unlinkClause(Clause c, int elimVar) {
  if (elimVar != -1)
    writeRecord(c);
  if (listed(c)) {
    for (int i = 0; i < c.size(); i++) {
      removeOrdered(occur[toInt(c[i])], c);
      touch(var(c[i]));
    }
  }
  if (watchesActive) {
    removeOrdered(watches[toInt(~c[0])], c);
    removeOrdered(watches[toInt(~c[1])], c);
  }
  if (c.learnt())
    learnts[c.id()] = Clause_NULL;
  else {
    clauses[c.id()] = Clause_NULL;
    nLiterals -= c.size();
    for (int i = 0; i < c.size(); i++)
      nOccurs[toInt(c[i])]--;
  }
  for (vec<Clause> *it : iterations)
    for (Clause &d : *it)
      if (d == c)
        d = Clause_NULL;
  for (CSet *s : iterationSets)
    s->exclude(c);
  if (listed(c)) {
    clTouched.exclude(c);
    clAdded.exclude(c);
  }
}

void Solver::unregisterIteration(vec<Clause> &v) {
  removeOrdered(iterations, &v);
}
void Solver::unregisterSet(CSet &s) { removeOrdered(iterationSets, &s); }

//=============================================================================
// Subsumption.

template <class C> void Solver::findSubsumed(const C &c, vec<Clause> &out) {
  if (c.size() == 0)
    return;
  int best = 0;
  for (int i = 1; i < c.size(); i++)
    if (occur[toInt(c[i])].size() < occur[toInt(c[best])].size())
      best = i;
  uint64_t abst = c.abst();
  vec<Clause> &os = occur[toInt(c[best])];
  for (Clause d : os) {
    if (sameClause(c, d))
      continue;
    if (c.size() <= d.size() && (abst & ~d.abst()) == 0 && subset(c, d, seen))
      out.push(d);
  }
}

template <class C> bool Solver::isSubsumed(const C &c) {
  uint64_t abst = c.abst();
  for (int i = 0; i < c.size(); i++)
    for (Clause d : occur[toInt(c[i])]) {
      if (sameClause(c, d))
        continue;
      if (d.size() <= c.size() && (d.abst() & ~abst) == 0 && subset(d, c, seen))
        return true;
    }
  return false;
}

void Solver::subsume0(Clause c, int *counter) {
  if (!opt_0sub)
    return;
  vec<Clause> subs;
  findSubsumed(c, subs);
  for (Clause d : subs) {
    if (counter != nullptr)
      (*counter)++;
    if (!ok)
      continue;
    unlinkClause(d);
    freeClause(d);
  }
}

Clause Solver::strengthenClause(Clause c, Lit p) {
  vec<Lit> lits;
  for (int i = 0; i < c.size(); i++) {
    Lit q = c[i];
    if (q != p && !(value(q) == l_False && level[var(q)] == 0))
      lits.push(q);
  }
  bool learnt = c.learnt();
  unlinkClause(c);
  return addClause(lits, learnt, c);
}

void Solver::subsume1(Clause c, int *counter) {
  if (!opt_1sub)
    return;
  vec<Clause> work;
  vec<Clause> found;
  work.push(c);
  registerIteration(work);
  registerIteration(found);
  Clause_t copy;
  for (int w = 0; w < work.size(); w++) {
    Clause d = work[w];
    if (d.null())
      continue;
    copy.clear();
    for (int i = 0; i < d.size(); i++)
      copy.push(d[i]);
    for (int j = 0; j < copy.size(); j++) {
      Lit orig = copy[j];
      copy[j] = ~orig;
      found.clear();
      findSubsumed(copy, found);
      for (int k = 0; k < found.size(); k++) {
        Clause e = found[k];
        if (e.null())
          continue;
        if (counter != nullptr)
          (*counter)++;
        Clause r = strengthenClause(e, ~orig);
        if (!r.null())
          work.push(r);
      }
      copy[j] = orig;
    }
  }
  unregisterIteration(work);
  unregisterIteration(found);
}

//=============================================================================
// Root propagation through the occurrence lists.

void Solver::propagateToplevel() {
  for (Lit p : pendingUnits)
    if (!enqueue(p)) {
      ok = false;
      propQ.clear();
      return;
    }
  pendingUnits.clear();

  while (!propQ.empty()) {
    Lit p = propQ.dequeue();
    vec<Clause> sat;
    occur[toInt(p)].moveTo(sat);
    for (Clause c : sat) {
      if (!ok)
        break;
      unlinkClause(c);
      freeClause(c);
    }
    vec<Clause> strengthen;
    occur[toInt(~p)].moveTo(strengthen);
    registerIteration(strengthen);
    for (int i = 0; i < strengthen.size(); i++)
      if (!strengthen[i].null())
        strengthenClause(strengthen[i], ~p);
    unregisterIteration(strengthen);
  }
  propQ.clear();
}

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
        reportf("%-*dassume(%sx%d)\n", decisionLevel() * 3 + 3,
                decisionLevel(), sign(~q) ? "~" : "", var(q));
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
