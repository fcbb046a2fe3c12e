// Shrike clause database: clause records and indexed sets, adding and
// unlinking clauses, backward subsumption and self-subsuming resolution over
// occurrence lists and 64-bit clause signatures, and root propagation through
// the occurrence lists.
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

} // namespace

//=============================================================================
// Clause records and sets.

Clause allocClause(const vec<Lit> &ps, bool learnt, Clause reuse) {
  size_t bytes = sizeof(ClauseBlock) + sizeof(Lit) * (size_t)ps.size() +
                 (learnt ? sizeof(float) : 0);
  int id = reuse.null() ? -1 : reuse.id();
  void *mem =
      std::realloc(reuse.null() ? nullptr : (void *)reuse.block(), bytes);
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

// Instances used by the elimination code.
template bool Solver::isSubsumed<Clause_t>(const Clause_t &);
template void Solver::findSubsumed<Clause_t>(const Clause_t &, vec<Clause> &);

} // namespace Shrike
