#include "coreguided/resolution.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace {
void print_clause(const BasicClause *c) {
  std::cout << "(";
  for (long long l : c->lits)
    std::cout << l << " ";
  std::cout << ", " << c->weight << ")" << std::endl;
}
} // namespace

BasicClause *ResolutionResult::add_clause(std::vector<long long> &lits,
                                          long long w) {
  Resolution::normalise(lits);
  BasicClause *c = cls->registry->lookup_vect(lits);
  if (!c) {
    c = cls->create_clause(lits);
    cls->set_cl_weight(c, 0);
  } else if (!cls->contains(c)) {
    ClauseType keep = cls->def_cltype;
    cls->def_cltype = ClauseType::Keep;
    cls->insert_clause(c);
    cls->def_cltype = keep;
    c->weight = 0;
  }
  long long top = cls->top_weight;
  if (c->weight < top)
    c->weight = w >= top - c->weight ? top : c->weight + w;
  return c;
}

void ResolutionResult::add_resolvent(std::vector<long long> &lits,
                                     long long w) {
  resolvent = add_clause(lits, w);
}

void ResolutionResult::add_compensation(std::vector<long long> &lits,
                                        long long w) {
  compensation.push_back(add_clause(lits, w));
}

void ResolutionResult::show() const {
  std::cout << "c Result clashing: " << clashing << " LB: " << empty_weight
            << std::endl;
  std::cout << "c Resolvent:" << std::endl;
  if (resolvent)
    print_clause(resolvent);
  std::cout << "c Compensation.." << std::endl;
  for (const BasicClause *c : compensation)
    print_clause(c);
  std::cout << "c End Result " << std::endl;
}

long long Resolution::clause_clash(BasicClause *c1, BasicClause *c2) {
  std::vector<long long> a, b;
  return clause_clash(c1, c2, a, b);
}

long long Resolution::clause_clash(BasicClause *c1, BasicClause *c2,
                                   std::vector<long long> &A,
                                   std::vector<long long> &B) {
  A.clear();
  B.clear();
  long long x = 0;
  int count = 0;
  for (long long l : c1->lits)
    for (long long m : c2->lits)
      if (clash(l, m)) {
        x = l;
        ++count;
      }
  if (count != 1 || x == 0)
    return 0;
  for (long long l : c1->lits)
    if (std::llabs(l) != std::llabs(x))
      A.push_back(l);
  for (long long l : c2->lits)
    if (std::llabs(l) != std::llabs(x))
      B.push_back(l);
  return x;
}

void Resolution::normalise(std::vector<long long> &lits) {
  std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
    long long va = std::llabs(a), vb = std::llabs(b);
    return va != vb ? va < vb : a < b;
  });
  ClauseRegistry::remove_duplicates(lits);
}

bool Resolution::is_tautology(std::vector<long long> &lits) {
  for (std::size_t i = 0; i < lits.size(); ++i)
    for (std::size_t j = i + 1; j < lits.size(); ++j)
      if (clash(lits[i], lits[j]))
        return true;
  return false;
}

bool Resolution::resolve(BasicClauseSet &cls, BasicClause *c1, BasicClause *c2,
                         ResolutionResult &r) {
  return resolve(std::min(c1->weight, c2->weight), cls, c1, c2, r);
}

bool Resolution::resolve(long long w, BasicClauseSet &cls, BasicClause *c1,
                         BasicClause *c2, ResolutionResult &r) {
  long long x = clause_clash(c1, c2, A_, B_);
  if (x == 0) {
    r.clashing = 0;
    return false;
  }
  r.clashing = x;
  w = std::min({w, c1->weight, c2->weight});
  long long top = cls.top_weight;
  for (BasicClause *p : {c1, c2})
    if (p->weight < top)
      p->weight -= w;
  if (c1->lits.size() == 1 && c2->lits.size() == 1) {
    r.empty_weight = w;
    return true;
  }
  create_resolvent(w, cls, r);
  compensation_clauses(A_, B_, cls, c1, c2, w, r);
  return true;
}

void Resolution::create_resolvent(long long w, BasicClauseSet &cls,
                                  ResolutionResult &r) {
  (void)cls;
  work_ = A_;
  add_literals(B_, work_);
  if (is_tautology(work_)) {
    std::cout << "c Tautology in resolvent! Aborting " << std::endl;
    std::exit(255);
  }
  r.add_resolvent(work_, w);
}

void Resolution::compensation_clauses(std::vector<long long> &A,
                                      std::vector<long long> &B,
                                      BasicClauseSet &cls, BasicClause *c1,
                                      BasicClause *c2, long long w,
                                      ResolutionResult &r) {
  long long x = r.clashing;
  // One family per soft parent: (x A -b_i b_1 .. b_i-1), longest first.
  auto family = [&](long long pivot, std::vector<long long> &own,
                    std::vector<long long> &other) {
    for (std::size_t i = other.size(); i >= 1; --i) {
      work_.assign(1, pivot);
      add_literals(own, work_);
      work_.insert(work_.end(), other.begin(), other.begin() + (i - 1));
      work_.push_back(-other[i - 1]);
      if (!is_tautology(work_))
        r.add_compensation(work_, w);
    }
  };
  if (c1->weight < cls.top_weight && !B.empty())
    family(x, A, B);
  if (c2->weight < cls.top_weight && !A.empty())
    family(-x, B, A);
}
