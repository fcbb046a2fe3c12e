// Formula environment: the process-wide node table with its uniqueness
// table and marks, and the node constructors with their simplifications.
#include "pbtranslator/fenv.hpp"

namespace FEnv {

vec<NodeData> nodes;
Map<NodeData, int, NodeDataHash> uniqueness_table;
vec<int> stack;

NodeKind kind(Formula f) {
  const NodeData &d = node(f);
  if (d.w0 & 2)
    return (d.w1 & 1) ? NodeKind::FaCarry : NodeKind::FaSum;
  if (d.w0 & 1)
    return NodeKind::Ite;
  return (d.w1 & 1) ? NodeKind::Equiv : NodeKind::And;
}

static Formula nodeFormula(int index, bool sign) {
  return Formula::fromInt(index * 16 + 4 + (sign ? 8 : 0));
}

Formula newS_helper(const NodeData &d, bool sign) {
  int index;
  if (!uniqueness_table.peek(d, index)) {
    index = nodes.size();
    nodes.push(d);
    uniqueness_table.set(d, index);
  }
  return nodeFormula(index, sign);
}

Formula new_helper(const NodeData &d, bool sign) {
  nodes.push(d);
  return nodeFormula(nodes.size() - 1, sign);
}

int topSize() {
  return stack.size() == 0 ? nodes.size() : nodes.size() - stack.last();
}

void push() { stack.push(nodes.size()); }

void pop() {
  int mark = stack.last();
  for (int i = mark; i < nodes.size(); i++) {
    int index;
    // Only entries that point at the node being removed go.
    if (uniqueness_table.peek(nodes[i], index) && index == i)
      uniqueness_table.remove(nodes[i]);
  }
  nodes.shrink(nodes.size() - mark);
  stack.pop();
}

void keep() { stack.pop(); }

} // namespace FEnv

using FEnv::NodeData;

Formula AND(Formula a, Formula b) {
  if (a == _0_ || b == _0_ || a == ~b)
    return _0_;
  if (a == _1_)
    return b;
  if (b == _1_ || a == b)
    return a;
  if (formulaLess(b, a)) {
    Formula t = a;
    a = b;
    b = t;
  }
  return FEnv::newS_helper(NodeData{0, a.bits(), b.bits()}, false);
}

Formula XOR(Formula x, Formula l) {
  if (l == _0_)
    return x;
  if (l == _1_)
    return ~x;
  if (x == l)
    return _0_;
  if (x == ~l)
    return _1_;
  if (x == _0_)
    return l;
  if (x == _1_)
    return ~l;
  Formula m = x, M = l;
  if (formulaLess(M, m)) {
    m = l;
    M = x;
  }
  bool same_sign = m.sign() == M.sign();
  return FEnv::newS_helper(
      NodeData{0, m.unsigned_().bits() | 1u, M.unsigned_().bits()}, same_sign);
}

Formula ITE(Formula x, Formula h, Formula l) {
  if (x == _0_)
    return l;
  if (x == _1_)
    return h;
  if (h == l)
    return l;
  if (h == ~l) {
    // if x then not l else l: x xor l.
    if (l == _0_)
      return x;
    if (l == _1_)
      return ~x;
    if (x == l)
      return _0_;
    if (x == h)
      return _1_;
    return XOR(x, l);
  }
  if (h == _0_ || h == ~x)
    return AND(~x, l);
  if (h == _1_ || h == x)
    return ~AND(~x, ~l);
  if (l == _0_ || l == x)
    return AND(x, h);
  if (l == _1_ || l == ~x)
    return ~AND(x, ~h);
  Formula c = x, t = h, e = l;
  if (formulaLess(h, l)) {
    c = ~x;
    t = l;
    e = h;
  }
  bool neg = e.sign();
  Formula then_branch = neg ? ~t : t;
  return FEnv::newS_helper(
      NodeData{c.bits() | 1u, then_branch.bits(), e.unsigned_().bits()}, neg);
}

Formula FAs(Formula a, Formula b, Formula c) {
  return FEnv::newS_helper(NodeData{a.bits() | 2u, b.bits(), c.bits()}, false);
}

Formula FAc(Formula a, Formula b, Formula c) {
  return FEnv::newS_helper(NodeData{a.bits() | 2u, b.bits() | 1u, c.bits()},
                           false);
}

static bool evalNode(int index, const vec<bool> &atoms, vec<char> *memo);

bool eval(Formula f, const vec<bool> &atoms, vec<char> *memo) {
  bool v;
  if (f.compound())
    v = evalNode(f.index(), atoms, memo);
  else if (f.isAtom())
    v = atoms[f.index()];
  else
    v = f.unsigned_() == _1_; // constants: _1_ unsigned is true
  return v != f.sign();
}

static bool evalNode(int index, const vec<bool> &atoms, vec<char> *memo) {
  if (memo != nullptr && index < memo->size() && (*memo)[index] >= 0)
    return (*memo)[index];
  const NodeData &d = FEnv::nodes[index];
  Formula n = Formula::fromInt(index * 16 + 4);
  bool r;
  auto ev = [&](uint32_t w) { return eval(FEnv::operand(w), atoms, memo); };
  switch (FEnv::kind(n)) {
  case FEnv::NodeKind::And:
    r = ev(d.w1) && ev(d.w2);
    break;
  case FEnv::NodeKind::Equiv:
    r = ev(d.w1) == ev(d.w2);
    break;
  case FEnv::NodeKind::Ite:
    r = ev(d.w0) ? ev(d.w1) : ev(d.w2);
    break;
  case FEnv::NodeKind::FaSum:
    r = (ev(d.w0) + ev(d.w1) + ev(d.w2)) % 2 == 1;
    break;
  default: // FaCarry
    r = ev(d.w0) + ev(d.w1) + ev(d.w2) >= 2;
    break;
  }
  if (memo != nullptr) {
    memo->growTo(index + 1, (char)-1);
    (*memo)[index] = (char)r;
  }
  return r;
}
