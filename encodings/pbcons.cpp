#include "encodings/pbcons.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "model/runtime_msgs.hpp"

namespace {

// Program literals are named and mapped as 32-bit integers.
int literal_as_int(long long l) {
  if (l > INT_MAX || l < -INT_MAX)
    tool_abort("Literal beyond 32 bits in a pseudo-Boolean constraint of "
               "the BDD encoding");
  return static_cast<int>(l);
}

} // namespace

int PbCons::get_inequality_id(pb_inequality ineq) {
  switch (ineq) {
  case pb_inequality::LessThan:
    return -2;
  case pb_inequality::AtMost:
    return -1;
  case pb_inequality::Equal:
    return 0;
  case pb_inequality::AtLeast:
    return 1;
  default:
    return 2;
  }
}

void PbCons::add_pb_constraint(const std::vector<long long> &lits,
                               const std::vector<long long> &coeffs,
                               long long rhs, pb_inequality ineq) {
  int code = get_inequality_id(ineq);
  vec<Lit> terms;
  std::string name;
  for (long long l : lits) {
    int pl = literal_as_int(l);
    name = "x" + std::to_string(pl);
    int v = pb_.getVar(name.c_str());
    vmap_[v] = pl;
    terms.push(Lit(v));
  }
  vec<Int> cs;
  for (long long c : coeffs)
    cs.push(Int(c));
  pb_.addConstr(terms, cs, Int(rhs), code);
}

int PbCons::transform_pb_constraints(IDManager &imgr, BasicClauseSet &clset,
                                     int convert) {
  bool r = pb_.transform(static_cast<ConvertT>(convert));
  add_clauses(imgr, clset);
  vmap_.clear();
  return r ? 1 : 0;
}

void PbCons::add_clauses(IDManager &imgr, BasicClauseSet &clset) {
  Finch::Solver *store = pb_.engine.finch;
  if (store == nullptr)
    return;
  store->simplifyDB();
  vec<Finch::Clause *> clauses;
  vec<Lit> units;
  store->exportClauses(clauses, units);

  long long top = clset.get_top(); // as read before the copy
  std::vector<long long> lits;
  for (int i = 0; i < units.size(); ++i) {
    add_literal(imgr, clset, units[i], lits);
    add_clause(clset, lits, top);
    lits.clear();
  }
  for (int i = 0; i < clauses.size(); ++i) {
    const Finch::Clause &c = *clauses[i];
    for (int j = 0; j < c.size(); ++j)
      add_literal(imgr, clset, c[j], lits);
    add_clause(clset, lits, top);
    lits.clear();
  }
}

void PbCons::add_literal(IDManager &imgr, BasicClauseSet &, Lit p,
                         std::vector<long long> &clause) {
  int v = var(p);
  auto it = vmap_.find(v);
  if (it == vmap_.end())
    it = vmap_.emplace(v, literal_as_int(imgr.new_id())).first;
  long long l = it->second;
  clause.push_back(sign(p) ? -l : l);
}

BasicClause *PbCons::add_clause(BasicClauseSet &clset,
                                std::vector<long long> &lits, long long w) {
  // By variable, a negative literal before the positive one, so that equal
  // literals are neighbours.
  std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
    long long va = std::llabs(a), vb = std::llabs(b);
    return va != vb ? va < vb : a < b;
  });
  remove_duplicates(lits);
  BasicClause *c = clset.registry->create_clause(lits);
  clset.insert_clause(c);
  clset.set_cl_weight(c, 0);
  long long top = clset.get_top();
  if (c->weight < top) {
    // weight + w, capped at the top weight (no overflow: both below 2^63).
    c->weight = (w >= top || c->weight > top - w) ? top : c->weight + w;
  }
  return c;
}

void PbCons::remove_duplicates(std::vector<long long> &lits) {
  if (lits.empty())
    return;
  std::size_t j = 1;
  bool vacuous = false;
  for (std::size_t i = 1; i < lits.size(); ++i) {
    if (lits[i] == lits[j - 1])
      continue;
    if (lits[i] == -lits[j - 1])
      vacuous = true;
    lits[j++] = lits[i];
  }
  lits.resize(j);
  if (vacuous)
    report_vacuous_clause();
}

void PbCons::show_formula(IDManager &imgr, BasicClauseSet &clset) {
  long long top = clset.get_top();
  std::cout << "p wcnf " << imgr.top_id << " " << clset.size() << " " << top
            << "\n";
  for (BasicClause *c : clset) {
    if (c->weight <= 0)
      continue;
    std::cout << std::min(c->weight, top) << " ";
    for (long long l : c->lits)
      std::cout << l << " ";
    std::cout << "0\n";
  }
  std::cout << std::flush;
}

long long PbCons::string_to_int(const std::string &text) {
  std::istringstream in(text);
  long long n = 0;
  in >> n;
  return n;
}

std::string PbCons::int_to_string(long long n) {
  std::ostringstream out;
  out << n;
  return out.str();
}
