// Formula environment of the translator: formulas are 32-bit references to
// atoms, constants or hash-consed nodes (AND, EQUIV, if-then-else and the two
// full-adder outputs) of one process-wide node table, so structurally equal
// sub-formulas are shared within and across constraints.
//
// Encoding of a Formula value: bits 31..4 (signed) hold a variable (atom),
// a node index (compound), -1 for the constants, -2 for the markers; bit 3
// is the sign (negation flips it); bit 2 marks a compound formula; bits 1..0
// are 0 (they tag node data words).
#pragma once

#include "pbtranslator/ms_global.hpp"

class Formula {
  int x;

public:
  Formula() : x(-32) {} // _undef_
  static Formula fromInt(int i) {
    Formula f;
    f.x = i;
    return f;
  }
  int toInt() const { return x; }
  uint32_t bits() const { return (uint32_t)x; }
  int index() const { return x >> 4; }
  bool sign() const { return x & 8; }
  bool compound() const { return x & 4; }
  bool isAtom() const { return !compound() && index() >= 0; }
  bool isConst() const { return !compound() && index() == -1; }
  Formula operator~() const { return fromInt(x ^ 8); }
  Formula unsigned_() const { return fromInt(x & ~8); } // sign cleared
  bool operator==(Formula o) const { return x == o.x; }
  bool operator!=(Formula o) const { return x != o.x; }
};

// The atom of literal p (variable v, sign s): v * 16 + 8 * s.
inline Formula atom(Lit p) { return Formula::fromInt(toInt(p) * 8); }
// The literal of an atom.
inline Lit atomLit(Formula f) { return Lit(f.index(), f.sign()); }
// Comparison of formulas as unsigned 32-bit values.
inline bool formulaLess(Formula a, Formula b) { return a.bits() < b.bits(); }

const Formula _1_ = Formula::fromInt(-16);
const Formula _0_ = Formula::fromInt(-8);
const Formula _undef_ = Formula::fromInt(-32);
const Formula _error_ = Formula::fromInt(-24);

namespace FEnv {

// Node data: three 32-bit words. Kinds:
//   AND     (0, a, b)               a < b unsigned
//   EQUIV   (0, a' | 1, b')         ' = sign cleared, smaller operand first
//   ITE     (c | 1, t, e')
//   FA sum  (a | 2, b, c)
//   FA carry(a | 2, b | 1, c)
struct NodeData {
  uint32_t w0, w1, w2;
  bool operator==(const NodeData &o) const {
    return w0 == o.w0 && w1 == o.w1 && w2 == o.w2;
  }
};
struct NodeDataHash {
  uint32_t operator()(const NodeData &d) const {
    return d.w2 ^ d.w0 ^ ((d.w1 << 16) | (d.w1 >> 16));
  }
};

enum class NodeKind { And, Equiv, Ite, FaSum, FaCarry };

extern vec<NodeData> nodes;
extern Map<NodeData, int, NodeDataHash> uniqueness_table;
extern vec<int> stack; // marks: node counts

inline const NodeData &node(Formula f) { return nodes[f.index()]; }
NodeKind kind(Formula f); // requires: f compound
// Operand word of a node with its tag bits cleared.
inline Formula operand(uint32_t word) {
  return Formula::fromInt((int)(word & ~3u));
}

// Hash-consing constructor: the node of d (found or appended), negated when
// sign is set.
Formula newS_helper(const NodeData &d, bool sign);
// Appends a node without consulting the uniqueness table.
Formula new_helper(const NodeData &d, bool sign);

// Nodes created since the top mark (all nodes without a mark).
int topSize();
void push();
void pop();
void keep();

} // namespace FEnv

// Node constructors with their simplification rules.
Formula AND(Formula a, Formula b);
inline Formula OR(Formula a, Formula b) { return ~AND(~a, ~b); }
// x XOR l, as an EQUIV node.
Formula XOR(Formula x, Formula l);
// if x then h else l, for the atom (or formula) x of a BDD split.
Formula ITE(Formula x, Formula h, Formula l);
// Full-adder outputs (no simplification): a xor b xor c, and at least two.
Formula FAs(Formula a, Formula b, Formula c);
Formula FAc(Formula a, Formula b, Formula c);

// Evaluates f under an assignment of atom variables; memo (optional) caches
// node values for one assignment (-1 unknown).
bool eval(Formula f, const vec<bool> &atom_values, vec<char> *memo = nullptr);
