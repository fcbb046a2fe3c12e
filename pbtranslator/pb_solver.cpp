// Pseudo-Boolean constraint store: names to variables, the entry
// `addConstr`, normalisation of a constraint to sum c_i * l_i >= k with
// 0 <= c_i <= k (merging a variable's terms, forcing needed literals,
// dividing by the gcd, cutting coefficients to k), and the records.
#include "pbtranslator/pb_solver.hpp"
#include "pbtranslator/debug.hpp"
#include "pbtranslator/shrike.hpp"

#include <cstring>

//=============================================================================
// Engine wrapper.

Solver::Solver(bool use_clause_store) {
  if (use_clause_store) {
    finch = new Finch::Solver();
    return;
  }
  // The variable-elimination back end: occurrence lists for problem clauses
  // and a temporary elimination record.
  shrike = new Shrike::Solver(Shrike::occ_Permanent, nullptr);
}

namespace {
// The preprocessor keeps no clause-store counters; this stands in for them.
Finch::SolverStats shrike_stats_placeholder;
} // namespace

int Solver::newVar(bool decision_var) {
  return finch ? finch->newVar(decision_var) : shrike->newVar(decision_var);
}
int Solver::nVars() const { return finch ? finch->nVars() : shrike->nVars(); }
bool Solver::addUnit(Lit p) {
  return finch ? finch->enqueue(p) : shrike->enqueue(p);
}
void Solver::addClause(const vec<Lit> &ps) {
  if (finch)
    finch->addClause(ps);
  else
    shrike->addClause(ps, false, Shrike::Clause_NULL);
}
lbool Solver::value(Lit p) const {
  return finch ? finch->value(p) : shrike->value(p);
}
bool &Solver::okay_ref() { return finch ? finch->consistent : shrike->ok; }
vec<lbool> &Solver::values_ref() {
  return finch ? finch->values : shrike->assigns;
}
vec<Lit> &Solver::trail_ref() { return finch ? finch->trail : shrike->trail; }
Finch::SolverStats &Solver::stats_ref() {
  return finch ? finch->stats : shrike_stats_placeholder;
}

void Solver::destroy_solver() {
  delete finch;
  finch = nullptr;
  delete shrike;
  shrike = nullptr;
}

//=============================================================================
// Messages.

void pb_too_large_constants() {
  std::fprintf(stderr,
               "ERROR! Too large constants encountered in constraint.\n");
  std::fflush(stderr);
  std::exit(1);
}

void report_vacuous_clause() { std::fputs("c Vacuously SAT cl: \n", stdout); }

//=============================================================================
// PbSolver.

PbSolver::PbSolver()
    : engine(true), consistent(engine.okay_ref()), values(engine.values_ref()),
      trail(engine.trail_ref()), engine_stats(engine.stats_ref()) {}

PbSolver::~PbSolver() {
  if (debug_names == &var_names)
    debug_names = nullptr; // the dumps must not read a freed table
  engine.destroy_solver();
  for (char *name : var_names)
    xfree(name);
  if (objective != nullptr)
    xfree(objective);
}

int PbSolver::existsVar(const char *name) const {
  for (int i = 0; i < var_names.size(); i++)
    if (std::strcmp(var_names[i], name) == 0)
      return i;
  return -1;
}

int PbSolver::newNamedVar(const char *name) {
  size_t n = std::strlen(name) + 1;
  char *copy = static_cast<char *>(std::malloc(n));
  if (copy == nullptr)
    pbt_out_of_memory();
  std::memcpy(copy, name, n);
  var_names.push(copy);
  occurrence_counts.push(0);
  occurrence_counts.push(0);
  engine.newVar(true);
  return var_names.size() - 1;
}

int PbSolver::getVar(const char *name) {
  int v = existsVar(name);
  return v >= 0 ? v : newNamedVar(name);
}

void PbSolver::allocConstrs(int n_vars, int n_constrs) {
  declared_vars = n_vars;
  declared_constraints = n_constrs;
}

void PbSolver::addGoal(const vec<Lit> &ps, const vec<Int> &Cs) {
  debug_names = &var_names; // the debug dumps print variables by name
  if (objective != nullptr)
    xfree(objective);
  void *mem = std::malloc(Linear::bytes(ps.size()));
  if (mem == nullptr)
    pbt_out_of_memory();
  objective = new (mem) Linear{ps.size(), ps.size(), Int_MIN, Int_MAX};
  for (int i = 0; i < ps.size(); i++) {
    objective->lits()[i] = ps[i];
    new (&objective->coefs()[i]) Int(Cs[i]);
  }
}

void PbSolver::get_goal(vec<Lit> &ps, vec<Int> &Cs) const {
  if (objective == nullptr)
    return;
  for (int i = 0; i < objective->size; i++) {
    ps.push((*objective)[i]);
    Cs.push((*objective)(i));
  }
}

bool PbSolver::addConstr(const vec<Lit> &ps, const vec<Int> &Cs, Int rhs,
                         int ineq) {
  vec<Lit> norm_ps;
  vec<Int> norm_Cs;
  Int norm_rhs;

  // Copies the terms, negating the coefficients when asked.
  auto copy_terms = [&](bool negate) {
    norm_ps.clear();
    norm_Cs.clear();
    for (int i = 0; i < ps.size(); i++) {
      Int c = Cs[i];
      if (negate && neg_overflows(Cs[i], c))
        pb_too_large_constants();
      norm_ps.push(ps[i]);
      norm_Cs.push(c);
    }
  };

  if (ineq == 0) {
    copy_terms(false);
    norm_rhs = rhs;
    if (normalizePb(norm_ps, norm_Cs, norm_rhs))
      storePb(norm_ps, norm_Cs, norm_rhs, Int_MAX);
    copy_terms(true);
    if (neg_overflows(rhs, norm_rhs))
      pb_too_large_constants();
    if (normalizePb(norm_ps, norm_Cs, norm_rhs))
      storePb(norm_ps, norm_Cs, norm_rhs, Int_MAX);
    return consistent;
  }

  if (ineq > 0) {
    copy_terms(false);
    norm_rhs = rhs;
  } else {
    copy_terms(true);
    if (neg_overflows(rhs, norm_rhs))
      pb_too_large_constants();
    ineq = -ineq;
  }
  if (ineq == 2 && add_overflows(norm_rhs, Int(1), norm_rhs))
    pb_too_large_constants();
  if (normalizePb(norm_ps, norm_Cs, norm_rhs))
    storePb(norm_ps, norm_Cs, norm_rhs, Int_MAX);
  return consistent;
}

namespace {

struct TermLess {
  bool operator()(const Pair<Int, Lit> &a, const Pair<Int, Lit> &b) const {
    return a.fst < b.fst || (a.fst == b.fst && a.snd < b.snd);
  }
};

Int gcd(Int a, Int b) { return a == Int(0) ? b : gcd(b % a, a); }

} // namespace

bool PbSolver::normalizePb(vec<Lit> &ps, vec<Int> &Cs, Int &C) {
  if (!consistent)
    return false;

  // Assigned and void terms.
  int j = 0;
  for (int i = 0; i < ps.size(); i++) {
    lbool v = value(ps[i]);
    if (v == l_True) {
      if (sub_overflows(C, Cs[i], C))
        pb_too_large_constants();
    } else if (v == l_Undef && Cs[i] != Int(0)) {
      ps[j] = ps[i];
      Cs[j] = Cs[i];
      j++;
    }
  }
  ps.shrink(ps.size() - j);
  Cs.shrink(Cs.size() - j);

  // Merge the terms of each variable: P positive, N negative occurrences.
  vec<Pair<Int, Lit>> terms;
  {
    Map<int, int> slot_of; // variable -> index into vars/P/N
    vec<int> vars;
    vec<Int> P, N;
    for (int i = 0; i < ps.size(); i++) {
      int x = var(ps[i]);
      int slot;
      if (!slot_of.peek(x, slot)) {
        slot = vars.size();
        slot_of.set(x, slot);
        vars.push(x);
        P.push(Int(0));
        N.push(Int(0));
      }
      Int &sum = sign(ps[i]) ? N[slot] : P[slot];
      if (add_overflows(sum, Cs[i], sum))
        pb_too_large_constants();
    }
    for (int s = 0; s < vars.size(); s++) {
      Int diff;
      if (N[s] >= P[s]) {
        if (sub_overflows(C, P[s], C) || sub_overflows(N[s], P[s], diff))
          pb_too_large_constants();
        terms.push(Pair_new(diff, Lit(vars[s], true)));
      } else {
        if (sub_overflows(C, N[s], C) || sub_overflows(P[s], N[s], diff))
          pb_too_large_constants();
        terms.push(Pair_new(diff, Lit(vars[s], false)));
      }
    }
  }
  sort(terms, TermLess());

  // Write back and sum up; a sum beyond 2^63-1 is an error.
  Int sum = 0;
  for (int i = 0; i < terms.size(); i++) {
    ps[i] = terms[i].snd;
    Cs[i] = terms[i].fst;
    if (Cs[i] < Int(0) || add_overflows(sum, Cs[i], sum))
      pb_too_large_constants();
  }
  ps.shrink(ps.size() - terms.size());
  Cs.shrink(Cs.size() - terms.size());

  for (;;) {
    bool changed = false;
    // Literals without which the bound cannot be reached.
    while (ps.size() > 0 && C > sum - Cs.last()) {
      if (!consistent || !engine.addUnit(ps.last())) {
        consistent = false;
        return false;
      }
      C -= Cs.last();
      sum -= Cs.last();
      ps.pop();
      Cs.pop();
      changed = true;
    }
    if (C <= Int(0))
      return false; // holds already
    if (sum < C) {
      consistent = false;
      return false;
    }

    Int g = Cs.size() > 0 ? Cs[0] : Int(1);
    for (int i = 1; i < Cs.size(); i++)
      g = gcd(g, Cs[i]);
    if (g != Int(1) && g != Int(0)) {
      for (int i = 0; i < Cs.size(); i++)
        Cs[i] /= g;
      C = C / g + (C % g != Int(0) ? Int(1) : Int(0)); // rounded up
      changed = true;
    }

    for (int i = 0; i < Cs.size(); i++) {
      if (Cs[i] > C) {
        Cs[i] = C;
        changed = true;
      }
    }
    if (!changed)
      return true;
  }
}

void PbSolver::storePb(const vec<Lit> &ps, const vec<Int> &Cs, Int lo, Int hi) {
  for (int i = 0; i < ps.size(); i++)
    occurrence_counts[toInt(ps[i])]++;
  int n = ps.size();
  int units = (int)((Linear::bytes(n) + sizeof(char *) - 1) / sizeof(char *));
  void *mem = arena.alloc(units);
  Linear *c = new (mem) Linear{n, n, lo, hi};
  for (int i = 0; i < n; i++) {
    c->lits()[i] = ps[i];
    new (&c->coefs()[i]) Int(Cs[i]);
  }
  constraints.push(c);
}
