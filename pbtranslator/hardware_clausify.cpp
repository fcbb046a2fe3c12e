// Polarity-based clausification of formulas into the translator's engine.
#include "pbtranslator/hardware_clausify.hpp"

using FEnv::NodeKind;
using FEnv::operand;

void Clausifier::usage(Formula f) {
  if (!f.compound())
    return;
  int n = f.index();
  use_counts.growTo(n + 1, 0);
  if (++use_counts[n] != 1)
    return;
  const FEnv::NodeData &d = FEnv::node(f);
  NodeKind k = FEnv::kind(f);
  if (k == NodeKind::And || k == NodeKind::Equiv) {
    usage(operand(d.w1));
    usage(operand(d.w2));
  } else {
    usage(operand(d.w0));
    usage(operand(d.w1));
    usage(operand(d.w2));
  }
}

char &Clausifier::seen(Formula g) {
  vec<char> &marks = g.compound() ? seen_nodes : seen_atoms;
  marks.growTo(g.index() + 1, 0);
  return marks[g.index()];
}

void Clausifier::collect(Formula f, vec<Formula> &out) {
  marked.clear();
  const FEnv::NodeData &d = FEnv::node(f);
  Formula a = operand(d.w1), b = operand(d.w2);
  _collect(a, out);
  _collect(b, out);
  for (Formula g : marked)
    seen(g) = 0;
}

void Clausifier::_collect(Formula g, vec<Formula> &out) {
  if (g.index() >= 0) { // constants carry no mark
    if (seen(g))
      return;
    seen(g) = 1;
    marked.push(g);
  }
  if (g.compound() && !g.sign() && FEnv::kind(g) == NodeKind::And &&
      uses(g.index()) == 1) {
    const FEnv::NodeData &d = FEnv::node(g);
    Formula a = operand(d.w1), b = operand(d.w2);
    _collect(a, out);
    _collect(b, out);
  } else
    out.push(g);
}

void Clausifier::clause(Lit a, Lit b, Lit c) {
  tmp_clause.clear();
  tmp_clause.push(a);
  tmp_clause.push(b);
  tmp_clause.push(c);
  addTmpClause();
}

void Clausifier::clause(Lit a, Lit b, Lit c, Lit d) {
  tmp_clause.clear();
  tmp_clause.push(a);
  tmp_clause.push(b);
  tmp_clause.push(c);
  tmp_clause.push(d);
  addTmpClause();
}

Lit Clausifier::polarityClausify(Formula f) {
  if (f.isAtom())
    return atomLit(f);
  if (!f.compound()) {
    // A constant: a variable of its own, fixed at level 0.
    Lit v = Lit(s.newVar());
    bool &ok = s.okay_ref();
    if (ok)
      ok = s.addUnit(f == _1_ ? v : ~v);
    return v;
  }
  int n = f.index();
  int sgn = f.sign() ? 1 : 0;
  literals[0].growTo(n + 1, lit_Undef);
  literals[1].growTo(n + 1, lit_Undef);
  if (literals[sgn][n] != lit_Undef)
    return literals[sgn][n];

  Lit x = literals[1 - sgn][n] != lit_Undef ? unsign(literals[1 - sgn][n])
                                            : Lit(s.newVar());
  const FEnv::NodeData d = FEnv::node(f); // copy: recursion may grow nodes
  switch (FEnv::kind(f)) {
  case NodeKind::Ite: {
    Formula c = operand(d.w0), t = operand(d.w1), e = operand(d.w2);
    Lit pc = polarityClausify(c);
    Lit npc = polarityClausify(~c);
    if (sgn == 0) {
      Lit pt = polarityClausify(t);
      Lit pe = polarityClausify(e);
      clause(~x, npc, pt);
      clause(~x, pc, pe);
      clause(pt, pe, ~x);
    } else {
      Lit nt = polarityClausify(~t);
      Lit ne = polarityClausify(~e);
      clause(x, npc, nt);
      clause(x, pc, ne);
      clause(nt, ne, x);
    }
    break;
  }
  case NodeKind::FaCarry: {
    Formula fa = operand(d.w0), fb = operand(d.w1), fc = operand(d.w2);
    if (sgn == 0) {
      Lit a = polarityClausify(fa), b = polarityClausify(fb);
      Lit c = polarityClausify(fc);
      clause(~x, a, b);
      clause(~x, c, a);
      clause(~x, c, b);
    } else {
      Lit na = polarityClausify(~fa), nb = polarityClausify(~fb);
      Lit nc = polarityClausify(~fc);
      clause(x, na, nb);
      clause(x, nc, na);
      clause(x, nc, nb);
    }
    break;
  }
  case NodeKind::FaSum: {
    Formula fa = operand(d.w0), fb = operand(d.w1), fc = operand(d.w2);
    Lit a = polarityClausify(fa), b = polarityClausify(fb);
    Lit c = polarityClausify(fc);
    Lit na = polarityClausify(~fa), nb = polarityClausify(~fb);
    Lit nc = polarityClausify(~fc);
    if (sgn == 0) {
      clause(~x, nc, na, b);
      clause(~x, nc, a, nb);
      clause(~x, c, na, nb);
      clause(~x, c, a, b);
    } else {
      clause(x, nc, na, nb);
      clause(x, nc, a, b);
      clause(x, c, na, b);
      clause(x, c, a, nb);
    }
    break;
  }
  case NodeKind::Equiv: {
    Formula fa = operand(d.w1), fb = operand(d.w2);
    Lit a = polarityClausify(fa), b = polarityClausify(fb);
    Lit na = polarityClausify(~fa), nb = polarityClausify(~fb);
    if (sgn == 0) {
      clause(~x, na, b);
      clause(~x, a, nb);
    } else {
      clause(x, na, nb);
      clause(x, a, b);
    }
    break;
  }
  case NodeKind::And: {
    vec<Formula> conj;
    collect(f, conj);
    if (sgn == 0) {
      for (Formula g : conj) {
        Lit pg = polarityClausify(g);
        tmp_clause.clear();
        tmp_clause.push(~x);
        tmp_clause.push(pg);
        addTmpClause();
      }
    } else {
      vec<Lit> lits;
      for (Formula g : conj)
        lits.push(polarityClausify(~g));
      tmp_clause.clear();
      tmp_clause.push(x);
      for (Lit l : lits)
        tmp_clause.push(l);
      addTmpClause();
    }
    break;
  }
  }
  Lit result = sgn ? ~x : x;
  literals[sgn][n] = result;
  return result;
}

void clausify(Solver &s, const vec<Formula> &fs, vec<Lit> &out) {
  Clausifier c(s);
  for (Formula f : fs)
    c.usage(f);
  for (Formula f : fs)
    out.push(c.polarityClausify(f));
}

void clausify(Solver &s, const vec<Formula> &fs) {
  vec<Lit> roots;
  clausify(s, fs, roots);
  bool &ok = s.okay_ref();
  for (Lit p : roots) {
    if (!ok)
      break;
    ok = s.addUnit(p);
  }
}
