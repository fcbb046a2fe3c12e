#include "coreguided/trivial_resolution.hpp"

#include <algorithm>

#include "coreguided/resolution.hpp"

long long TrivialResolution::simplify(IDManager &imgr, BasicClauseSet &cls) {
  cost_ = 0;
  create_structures(imgr, cls);
  auto many = [](int pairs, std::size_t units) {
    return static_cast<unsigned long long>(pairs) > 5ULL * units;
  };
  // Each rewrite adds its gain to cost_ (see transform_clique).
  if (many(neg_pairs_, pos_units_.size()) && longest_ == 2)
    clique_processor(imgr, cls, pos_units_);
  if (many(pos_pairs_, neg_units_.size()) && longest_ == 2)
    clique_processor(imgr, cls, neg_units_);
  remove_null_clauses(cls);
  pos_units_.clear();
  neg_units_.clear();
  return cost_;
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
    } else if (c->size() == 1 && !hard) {
      (c->lits[0] > 0 ? pos_units_ : neg_units_).push_back(c);
    }
    longest_ = std::max(longest_, static_cast<int>(c->size()));
  }
}

bool TrivialResolution::excluded(BasicClauseSet &cls, long long a,
                                 long long b) const {
  std::vector<long long> lits = {-a, -b};
  Resolution::normalise(lits);
  BasicClause *c = cls.registry->lookup_vect(lits);
  return c && cls.contains(c) && c->weight >= cls.top_weight;
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
      BasicClause *u = degrees_[j].unit;
      if (u->weight < cls.top_weight)
        u->weight -= m;
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
