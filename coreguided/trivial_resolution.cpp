#include "coreguided/trivial_resolution.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "coreguided/resolution.hpp"
#include "framework/sat_arith.hpp"

namespace {
bool distinct_vars(long long a, long long b) {
  return std::llabs(a) != std::llabs(b);
}
} // namespace

long long TrivialResolution::simplify(IDManager &imgr, BasicClauseSet &cls) {
  cost_ = 0;
  create_structures(imgr, cls);
  clique_resolution(imgr, cls);
  destroy_structures(imgr, cls);
  return cost_;
}

void TrivialResolution::clique_resolution(IDManager &imgr,
                                          BasicClauseSet &cls) {
  auto many = [](int pairs, std::size_t units) {
    return static_cast<unsigned long long>(pairs) > 5ULL * units;
  };
  // Each rewrite adds its gain to cost_ (see transform_clique).
  if (many(neg_pairs_, pos_units_.size()) && longest_ == 2)
    clique_processor(imgr, cls, pos_units_);
  if (many(pos_pairs_, neg_units_.size()) && longest_ == 2)
    clique_processor(imgr, cls, neg_units_);
}

void TrivialResolution::destroy_structures(IDManager &, BasicClauseSet &cls) {
  binaries_.clear();
  remove_null_clauses(cls);
  pos_units_.clear();
  neg_units_.clear();
}

void TrivialResolution::create_structures(IDManager &, BasicClauseSet &cls) {
  for (BasicClause *c : cls) {
    if (c->weight < 1)
      continue;
    bool hard = c->weight >= cls.top_weight;
    if (c->size() == 2 && hard) {
      if (c->lits[0] > 0 && c->lits[1] > 0)
        ++pos_pairs_;
      if (c->lits[0] < 0 && c->lits[1] < 0)
        ++neg_pairs_;
    }
    if (c->size() == 2) {
      add_binary(c->lits[0], c->lits[1]);
      add_binary(c->lits[1], c->lits[0]);
    } else if (c->size() == 1 && !hard) {
      (c->lits[0] > 0 ? pos_units_ : neg_units_).push_back(c);
    }
    longest_ = std::max(longest_, static_cast<int>(c->size()));
  }
}

bool TrivialResolution::excluded(BasicClauseSet &cls, long long a,
                                 long long b) const {
  BasicClause *c = get_binary(-a, -b, cls);
  return c && c->weight >= cls.top_weight;
}

long long
TrivialResolution::clique_processor(IDManager &imgr, BasicClauseSet &cls,
                                    std::vector<BasicClause *> &units) {
  if (units.empty())
    return 0;
  compute_degrees(imgr, cls, units);
  long long total = 0;
  for (;;) {
    for (std::size_t i = 0; i < degrees_.size(); ++i)
      if (degrees_[i].unit->weight > 0)
        add_to_set(imgr, cls, units, static_cast<int>(i));
    long long gained = transform_clique(imgr, cls, units);
    sets_.clear();
    if (gained == 0)
      break;
    total += gained;
  }
  degrees_.clear();
  return total;
}

void TrivialResolution::compute_degrees(IDManager &, BasicClauseSet &cls,
                                        std::vector<BasicClause *> &units) {
  degrees_.clear();
  for (BasicClause *u : units)
    degrees_.push_back({u, u->lits[0], 0});
  for (std::size_t i = 0; i < degrees_.size(); ++i)
    for (std::size_t j = i + 1; j < degrees_.size(); ++j)
      if (excluded(cls, degrees_[i].lit, degrees_[j].lit)) {
        ++degrees_[i].degree;
        ++degrees_[j].degree;
      }
  // Highest degree first (equal degrees are exchanged too).
  for (unsigned i = 0; i < degrees_.size(); ++i)
    for (unsigned j = i + 1; j < degrees_.size(); ++j)
      if (degrees_[i].degree <= degrees_[j].degree)
        swap(i, j);
}

void TrivialResolution::swap(unsigned int i, unsigned int j) {
  std::swap(degrees_[i], degrees_[j]);
}

void TrivialResolution::add_to_set(IDManager &, BasicClauseSet &cls,
                                   std::vector<BasicClause *> &, int i) {
  const DegreeEntry &e = degrees_[static_cast<std::size_t>(i)];
  for (CliqueSet &s : sets_) {
    bool fits = true;
    for (unsigned long long j : s.members)
      fits = fits && excluded(cls, e.lit, degrees_[j].lit);
    if (!fits)
      continue;
    s.members.push_back(static_cast<unsigned long long>(i));
    if (e.unit->weight <= s.min_weight)
      s.min_weight = e.unit->weight;
    return;
  }
  sets_.push_back({{static_cast<unsigned long long>(i)}, e.unit->weight});
}

long long TrivialResolution::transform_clique(IDManager &, BasicClauseSet &cls,
                                              std::vector<BasicClause *> &) {
  long long result = 0;
  for (CliqueSet &s : sets_) {
    long long k = static_cast<long long>(s.members.size());
    long long m = s.min_weight, gain = 0, sum = 0;
    // A clique whose gain would not fit the 64-bit bound is left alone.
    if (k < 2 || __builtin_mul_overflow(k - 1, m, &gain) ||
        __builtin_add_overflow(cost_, gain, &sum))
      continue;
    std::vector<long long> lits;
    for (unsigned long long j : s.members) {
      lower(degrees_[j].unit, m, cls);
      lits.push_back(degrees_[j].lit);
    }
    ResolutionResult r(cls);
    r.add_resolvent(lits, m);
    empty_clauses += k - 1;
    cost_ = sum;
    result += gain;
  }
  return result;
}

void TrivialResolution::remove_null_clauses(BasicClauseSet &cls) {
  for (BasicClause *c : cls.clauses())
    if (c->weight == 0)
      cls.remove_clause(c);
}

void TrivialResolution::show_sets(IDManager &, BasicClauseSet &,
                                  std::vector<BasicClause *> &) {
  std::cout << "c Total Sets: " << sets_.size() << std::endl;
  for (std::size_t i = 0; i < sets_.size(); ++i) {
    std::cout << "c Set " << i << " elemens(" << sets_[i].members.size()
              << "): ";
    for (unsigned long long j : sets_[i].members)
      std::cout << degrees_[j].lit << " ";
    std::cout << std::endl;
  }
}

void TrivialResolution::lower(BasicClause *c, long long m,
                              const BasicClauseSet &cls) {
  if (c->weight < cls.top_weight)
    c->weight -= m;
}

void TrivialResolution::add_binary(long long a, long long b) {
  binaries_[a].insert(b);
}

BasicClause *TrivialResolution::get_binary(long long a, long long b,
                                           BasicClauseSet &cls) const {
  if (!distinct_vars(a, b))
    return nullptr;
  std::vector<long long> lits = {a, b};
  Resolution::normalise(lits);
  BasicClause *c = cls.registry->lookup_vect(lits);
  // A registered clause outside cls is no clause of this formula.
  return c && cls.contains(c) ? c : nullptr;
}

void TrivialResolution::add_unary(long long l, long long w,
                                  BasicClauseSet &cls) {
  std::vector<long long> lits = {l};
  ResolutionResult(cls).add_resolvent(lits, w);
}

void TrivialResolution::add_ternary(long long a, long long b, long long c,
                                    long long w, BasicClauseSet &cls) {
  std::vector<long long> lits = {a, b, c};
  ResolutionResult(cls).add_resolvent(lits, w);
}

void TrivialResolution::remove_binary(long long a, long long b,
                                      BasicClauseSet &cls,
                                      BasicClause *clause) {
  for (auto [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
    auto it = binaries_.find(x);
    if (it != binaries_.end())
      it->second.erase(y);
  }
  cls.remove_clause(clause);
}

void TrivialResolution::remove_unit(BasicClause *u, BasicClauseSet &cls) {
  for (std::vector<BasicClause *> *units : {&pos_units_, &neg_units_})
    units->erase(std::remove(units->begin(), units->end(), u), units->end());
  cls.remove_clause(u);
}

long long TrivialResolution::new_empty_clause(long long l,
                                              BasicClauseSet &cls) {
  BasicClause *units[2];
  for (int i = 0; i < 2; ++i) {
    std::vector<long long> lits = {i == 0 ? l : -l};
    BasicClause *u = cls.registry->lookup_vect(lits);
    if (!u || !cls.contains(u) || u->weight < 1)
      return 0;
    units[i] = u;
  }
  // The lighter unit bounds the weight: a soft unit never goes below 0.
  long long m = std::min({units[0]->weight, units[1]->weight, cls.top_weight});
  for (BasicClause *u : units) {
    lower(u, m, cls);
    if (u->weight == 0)
      remove_unit(u, cls);
  }
  cost_ = sat_add(cost_, m);
  ++empty_clauses;
  std::cout << "c New empty " << m << " " << cost_ << std::endl;
  return m;
}

bool TrivialResolution::cycle_premises(long long a, long long b, long long c,
                                       BasicClauseSet &cls,
                                       BasicClause *out[3]) const {
  if (!distinct_vars(a, b) || !distinct_vars(a, c) || !distinct_vars(b, c))
    return false;
  out[0] = get_binary(a, b, cls);
  out[1] = get_binary(a, c, cls);
  out[2] = get_binary(-b, -c, cls);
  for (int i = 0; i < 3; ++i)
    if (!out[i] || out[i]->weight < 1)
      return false;
  return true;
}

long long TrivialResolution::cycle_resolution(IDManager &, BasicClauseSet &cls,
                                              long long a, long long b,
                                              long long c) {
  BasicClause *p[3];
  if (!cycle_premises(a, b, c, cls, p))
    return -1;
  long long top = cls.top_weight;
  long long m = std::min({p[0]->weight, p[1]->weight, p[2]->weight, top});
  bool ab_soft = p[0]->weight < top, bc_soft = p[2]->weight < top;
  cls.def_cltype = ClauseType::Unit;
  // With x = (a b), y = (a c), z = (-b -c): a true falsifies z exactly
  // when b and c are, which (-a -b -c) takes over; a false falsifies x or y
  // or both, which (a) and (a b c) take over. A hard premise rules out the
  // assignments its ternary would count.
  add_unary(a, m, cls);
  if (ab_soft)
    add_ternary(a, b, c, m, cls);
  if (bc_soft)
    add_ternary(-a, -b, -c, m, cls);
  const long long ends[3][2] = {{a, b}, {a, c}, {-b, -c}};
  for (int i = 0; i < 3; ++i) {
    lower(p[i], m, cls);
    if (p[i]->weight == 0)
      remove_binary(ends[i][0], ends[i][1], cls, p[i]);
  }
  return m;
}

void TrivialResolution::cycle_processor(IDManager &imgr, BasicClauseSet &cls) {
  // The literals b, c closing a cycle on x, or false.
  auto find_cycle = [&](long long x, long long &b, long long &c) {
    auto it = binaries_.find(x);
    if (it == binaries_.end())
      return false;
    BasicClause *p[3];
    for (long long nb : it->second) {
      auto jt = binaries_.find(-nb);
      if (jt == binaries_.end())
        continue;
      for (long long y : jt->second)
        if (cycle_premises(x, nb, -y, cls, p)) {
          b = nb;
          c = -y;
          return true;
        }
    }
    return false;
  };
  long long top = cls.top_weight;
  for (auto &entry : binaries_) {
    long long a = entry.first, b1, c1, b2, c2;
    // Every pass releases a soft premise or stops at a hard unit.
    while (find_cycle(a, b1, c1) && find_cycle(-a, b2, c2)) {
      long long m = cycle_resolution(imgr, cls, a, b1, c1);
      m = std::max(m, cycle_resolution(imgr, cls, -a, b2, c2));
      if (std::max(m, new_empty_clause(a, cls)) >= top)
        return;
    }
  }
}

bool TrivialResolution::neighbourhood_premises(long long a, long long b,
                                               BasicClauseSet &cls,
                                               BasicClause *out[2]) const {
  out[0] = get_binary(a, b, cls);
  out[1] = get_binary(a, -b, cls);
  return out[0] && out[1] && out[0]->weight >= 1 && out[1]->weight >= 1;
}

long long TrivialResolution::neighbourhood_resolution(IDManager &,
                                                      BasicClauseSet &cls,
                                                      long long a,
                                                      long long b) {
  BasicClause *p[2];
  if (!neighbourhood_premises(a, b, cls, p))
    return -1;
  long long m = std::min({p[0]->weight, p[1]->weight, cls.top_weight});
  // One MaxSAT-resolution step on b: both compensation clauses would hold
  // a and -a, so the resolvent (a) is all it adds.
  ResolutionResult r(cls);
  Resolution().resolve(m, cls, p[0], p[1], r);
  const long long ends[2][2] = {{a, b}, {a, -b}};
  for (int i = 0; i < 2; ++i)
    if (p[i]->weight == 0)
      remove_binary(ends[i][0], ends[i][1], cls, p[i]);
  return m;
}

void TrivialResolution::neighbourhood_processor(IDManager &imgr,
                                                BasicClauseSet &cls) {
  long long top = cls.top_weight;
  for (auto &entry : binaries_) {
    long long a = entry.first;
    // Every pass releases a soft premise or stops at a hard unit.
    for (;;) {
      BasicClause *p[2];
      auto it = std::find_if(
          entry.second.begin(), entry.second.end(),
          [&](long long b) { return neighbourhood_premises(a, b, cls, p); });
      if (it == entry.second.end())
        break;
      long long m = neighbourhood_resolution(imgr, cls, a, *it);
      if (std::max(m, new_empty_clause(a, cls)) >= top)
        return;
    }
  }
}
