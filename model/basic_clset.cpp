#include "model/basic_clset.hpp"

#include "model/runtime_msgs.hpp"

std::vector<BasicClause *> BasicClauseSet::clauses() const {
  return std::vector<BasicClause *>(begin(), end());
}

// Squeezes out the holes left by removals, once they outnumber the members.
void BasicClauseSet::compact() {
  std::size_t j = 0;
  for (BasicClause *c : members_)
    if (c)
      members_[j++] = c;
  members_.resize(j);
  index_.rebuild(members_);
}

bool BasicClauseSet::insert_member(BasicClause *c) {
  if (members_.size() > 32 && members_.size() > 2 * index_.size())
    compact();
  if (members_.size() >= PtrIndex::kMaxPos)
    Abort("Too many clauses in one clause set");
  if (!index_.insert(c, members_.size(), members_))
    return false;
  members_.push_back(c);
  return true;
}

bool BasicClauseSet::remove_member(BasicClause *c) {
  if (!index_.contains(c, members_))
    return false;
  std::size_t pos = index_.at(c, members_);
  index_.erase(c, members_);
  members_[pos] = nullptr;
  return true;
}

BasicClause *BasicClauseSet::insert_clause(BasicClause *c) {
  if (!insert_member(c))
    return c;
  registry->incr_cl_refs(c);
  set_def_cltype(c);
  return c;
}

BasicClause *BasicClauseSet::create_clause(LitVector &lits) {
  return insert_clause(registry->create_clause(lits));
}

BasicClause *BasicClauseSet::create_clause(long long n, const long long *lits) {
  return insert_clause(registry->create_clause(n, lits));
}

BasicClause *BasicClauseSet::create_unit_clause(long long a) {
  LitVector v{a};
  return create_clause(v);
}

void BasicClauseSet::create_binary_clause(long long a, long long b) {
  LitVector v{a, b};
  create_clause(v);
}

BasicClause *BasicClauseSet::create_ternary_clause(long long a, long long b,
                                                   long long c) {
  LitVector v{a, b, c};
  return create_clause(v);
}

long long BasicClauseSet::set_cl_weight(BasicClause *c, long long w) {
  c->weight = w < top_weight ? w : top_weight;
  if (w == top_weight)
    ++num_hard;
  else if (w == 1)
    ++num_unit;
  else
    ++num_weighted;
  ++num_total;
  return c->weight;
}

void BasicClauseSet::set_def_cltype(BasicClause *c) {
  switch (def_cltype) {
  case ClauseType::Hard:
    set_cl_weight(c, top_weight);
    break;
  case ClauseType::Unit:
    set_cl_weight(c, 1);
    break;
  case ClauseType::Default:
    set_cl_weight(c, def_weight);
    break;
  default:
    break;
  }
}

void BasicClauseSet::set_cl_group(BasicClause *c, long long g) {
  c->weight = g;
  groups[g].push_back(c);
}

void BasicClauseSet::remove_clause(BasicClause *c) {
  if (remove_member(c))
    registry->release_clause(c);
}

void BasicClauseSet::clear_direct() {
  for (BasicClause *c : members_)
    if (c)
      registry->release_clause(c);
  members_.clear();
  index_.clear();
}

void BasicClauseSet::compute_soft_cl_properties() {
  all_soft_units = true;
  for (BasicClause *c : *this)
    if (c->weight < top_weight && c->lits.size() != 1) {
      all_soft_units = false;
      return;
    }
}

void BasicClauseSet::dump(std::ostream &out) const {
  for (BasicClause *c : *this)
    out << *c << " " << "\n" << std::flush;
}
