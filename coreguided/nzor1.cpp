#include "coreguided/nzor1.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iostream>

#include "encodings/amo_encodings.hpp"
#include "encodings/card_common.hpp"
#include "framework/sat_arith.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"

namespace {
const char *out_prefix() {
  return ZORConfig::output_prefix ? ZORConfig::output_prefix : "";
}
void timed_line(const char *msg) {
  std::cout << out_prefix() << msg << "CPU Time: " << RUSAGE::read_cpu_time()
            << std::endl;
}
bool expert(int above) {
  return ZORConfig::expert_mode && ZORConfig::verbosity > above;
}
void print_lits(const char *title, const std::vector<long long> &v) {
  std::cout << title;
  for (long long l : v)
    std::cout << l << " ";
  std::cout << std::endl;
}
void print_cls(const char *title, const std::vector<BasicClause *> &v) {
  std::cout << title;
  for (BasicClause *c : v)
    std::cout << *c << " ";
  std::cout << std::endl;
}
} // namespace

NZOR1::NZOR1() = default;

NZOR1::~NZOR1() {
  if (sat_)
    sat_->reset();
}

long long NZOR1::solve() {
  cost_ = setup_incr_solver();
  if (cost_ < 0)
    return cost_;
  for (long long k = 0;;) {
    if (expert(9)) {
      std::cout << out_prefix() << "Running SAT solver with "
                << to_send_.size() << " clauses and " << assumptions_.size()
                << " assumptions" << std::endl;
      if (expert(19)) {
        print_lits("Assumptions:", assumptions_);
        print_cls("Incr Cls:", to_send_);
      }
    }
    int res = call_engine();
    if (res == 10)
      break;
    ++k;
    if (ZORConfig::verbosity > 1)
      std::cout << (ZORConfig::comp_format ? "c " : "") << "Found core #" << k
                << ". Core size: " << sat_out_.size()
                << ". Iterating... CPU Time: " << RUSAGE::read_cpu_time()
                << std::endl;
    to_send_.clear();
    assumptions_.clear();
    retired_units_.clear_direct();
    long long m = analyze_relax_core_clauses();
    cost_ = cost_add(cost_, m);
    if (ZORConfig::verbosity > 0)
      std::cout << out_prefix() << "Min unsat cost LB: " << cost_ << " ... "
                << std::endl;
    add_card_constraint();
    set_assumptions();
    sat_out_.clear();
    new_rvars_.clear();
  }
  recover_model(*model);
  ZORToolObjects::keep_model(*model);
  if (ZORConfig::verbosity > 1)
    timed_line("Found MaxSAT solution. Terminating...");
  return cost_;
}

int NZOR1::call_engine() {
  std::vector<BasicClause *> batch;
  batch.swap(to_send_);
  int res = sat_->solve(batch, assumptions_, sat_out_);
  return res;
}

long long NZOR1::setup_incr_solver() {
  if (ZORConfig::verbosity > 9)
    timed_line("Setting up MaxSAT solver ...");
  long long lb = 0;
  if (ZORConfig::infer_lower_bound)
    lb = compute_lower_bound();
  split_hard_soft_cls();
  sat_.reset(new TernIncrementalWrapper());
  sat_->verbosity = ZORConfig::verbosity / 10;
  sat_->default_phase = 2;
  sat_->aux_threshold = LLONG_MAX;
  if (ZORConfig::filter_aux_vars)
    sat_->aux_threshold = setup_vars_;
  sat_->init(false);
  if (ZORConfig::verbosity > 9)
    timed_line("Done w/ setup ...");
  int res = call_engine();
  if (res == 20) {
    timed_line("Hard Clauses are UNSAT");
    return -clset->top_weight;
  }
  if (ZORConfig::verbosity > 9 && res == 10)
    timed_line("Hard clauses are SAT.");
  to_send_.clear();
  assumptions_.clear();
  sat_out_.clear();
  create_assumptions();
  return lb;
}

long long NZOR1::compute_lower_bound() {
  std::vector<long long> hard_units;
  std::vector<BasicClause *> soft_units;
  for (BasicClause *c : *clset) {
    if (c->lits.size() != 1)
      continue;
    if (c->weight >= clset->top_weight)
      hard_units.push_back(c->lits[0]);
    else
      soft_units.push_back(c);
  }
  std::sort(hard_units.begin(), hard_units.end());
  long long lb = 0;
  for (BasicClause *c : soft_units)
    if (std::binary_search(hard_units.begin(), hard_units.end(),
                           -c->lits[0])) {
      clset->remove_member(c);
      set_aside_units_.insert_member(c);
      lb = cost_add(lb, c->weight);
    }
  if (ZORConfig::verbosity > 0)
    std::cout << out_prefix() << "Min unsat cost LB: " << lb << " ... "
              << std::endl;
  return lb;
}

void NZOR1::split_hard_soft_cls() {
  setup_vars_ = imgr->top_id;
  setup_cls_ = static_cast<long long>(clset->size());
  for (BasicClause *c : *clset) {
    if (c->weight >= clset->top_weight)
      to_send_.push_back(c);
    else if (c->weight <= 0)
      zero_weight_.push_back(c); // costs nothing: never sent, never blocked
    else
      pending_soft_.push_back(c);
  }
  retired_units_.top_weight = clset->top_weight;
  retired_units_.def_cltype = ClauseType::Hard;
}

long long NZOR1::new_blocking_var(BasicClause *c) {
  long long b = imgr->new_id();
  clset->registry->add_literal(c, b);
  blocking_[b] = c;
  blocking_order_.push_back(b);
  to_send_.push_back(c);
  return b;
}

void NZOR1::create_assumptions() {
  for (BasicClause *c : pending_soft_)
    assumptions_.push_back(-new_blocking_var(c));
  pending_soft_.clear();
}

void NZOR1::set_assumptions() {
  // Blocking variables in creation order (retired ones skipped), so that
  // runs are reproducible.
  std::vector<long long> live;
  for (long long b : blocking_order_)
    if (blocking_.count(b)) {
      assumptions_.push_back(-b);
      live.push_back(b);
    }
  blocking_order_.swap(live);
}

long long NZOR1::analyze_relax_core_clauses() {
  long long m = find_core_min_weight();
  if (ZORConfig::cuts_from_cores)
    mk_cl_from_core();
  relax_core_clauses(m);
  return m;
}

long long NZOR1::find_core_min_weight() {
  long long m = clset->top_weight;
  for (long long a : sat_out_) {
    long long b = -a;
    auto it = blocking_.find(b);
    if (it == blocking_.end())
      continue;
    m = std::min(m, it->second->weight);
    core_bvars_.push_back(b);
    core_cls_.push_back(it->second);
  }
  if (expert(9)) {
    if (expert(19))
      print_lits("Core Assumptions:", core_bvars_);
    print_cls("Core Cls:", core_cls_);
    std::cout << "Min weight in core: " << m << std::endl;
  }
  return m;
}

void NZOR1::mk_cl_from_core() {
  LitVector cut;
  for (BasicClause *c : core_cls_) {
    if (c->lits.size() > 1 && std::llabs(c->lits[1]) <= setup_vars_)
      return;
    cut.push_back(-c->lits[0]);
  }
  std::sort(cut.begin(), cut.end(), AbsLitLess());
  cut.erase(std::unique(cut.begin(), cut.end()), cut.end());
  for (std::size_t i = 1; i < cut.size(); ++i)
    if (cut[i] == -cut[i - 1])
      return;
  if (cut.size() > 50)
    return;
  clset->def_cltype = ClauseType::Hard;
  BasicClause *cl = clset->create_clause(cut);
  to_send_.push_back(cl);
  if (expert(4))
    std::cout << out_prefix() << "New hard cl (from core): " << *cl
              << std::endl;
}

void NZOR1::relax_core_clauses(long long m) {
  while (!core_bvars_.empty()) {
    long long b = core_bvars_.back();
    BasicClause *c = core_cls_.back();
    core_bvars_.pop_back();
    core_cls_.pop_back();
    long long w = c->weight;
    blocking_.erase(b);
    BasicClause *copy = replicate_clause(c, b, w <= m ? w : w - m);
    clset->remove_clause(c);
    BasicClause *unit = retired_units_.create_unit_clause(b);
    to_send_.push_back(unit);
    BasicClause *relaxed = copy;
    if (w > m) {
      long long bp = new_blocking_var(copy);
      relaxed = replicate_clause(copy, bp, m);
    }
    // new_blocking_var queues the clause; r joins its literals before the
    // engine sees it.
    new_blocking_var(relaxed);
    long long r = imgr->new_id();
    clset->registry->add_literal(relaxed, r);
    new_rvars_.push_back(r);
  }
}

BasicClause *NZOR1::replicate_clause(BasicClause *cl, long long lit,
                                     long long weight) {
  LitVector lits;
  for (long long l : cl->lits)
    if (l != lit)
      lits.push_back(l);
  BasicClause *c = clset->registry->create_clause(lits);
  if (clset->insert_member(c))
    clset->registry->incr_cl_refs(c);
  clset->set_cl_weight(c, weight);
  return c;
}

void NZOR1::add_card_constraint() {
  BasicClauseSet scratch;
  scratch.top_weight = clset->top_weight;
  scratch.def_cltype = ClauseType::Hard;
  switch (ZORConfig::zorenc) {
  case Card_CNF_Encodings::SeqCounter:
    CommonCard::encode_atleast1(*imgr, scratch, new_rvars_);
    seqcounter_encode_atmost1(*imgr, scratch, new_rvars_);
    break;
  case Card_CNF_Encodings::Bitwise:
    CommonCard::encode_atleast1(*imgr, scratch, new_rvars_);
    bitwise_encode_atmost1(*imgr, scratch, new_rvars_);
    break;
  case Card_CNF_Encodings::Pairwise:
    CommonCard::encode_atleast1(*imgr, scratch, new_rvars_);
    pairwise_encode_atmost1(*imgr, scratch, new_rvars_);
    break;
  default:
    Error("Selected encoding not yet available. Please contact author.");
    std::exit(ExitStatus::Failure);
  }
  // The scratch set's references move to the input set with its clauses.
  for (BasicClause *c : scratch) {
    to_send_.push_back(c);
    if (!clset->insert_member(c))
      clset->registry->decr_cl_refs(c);
  }
  for (BasicClause *c : scratch.clauses())
    scratch.remove_member(c);
}

void NZOR1::recover_model(std::vector<long long> &m) {
  if (sat_out_.size() > m.size())
    m.resize(sat_out_.size(), 0);
  std::copy(sat_out_.begin(), sat_out_.end(), m.begin());
}

void NZOR1::reset_sat_solver() {
  if (sat_)
    sat_->reset();
  sat_.reset(new TernIncrementalWrapper());
  sat_->verbosity = 0;
  sat_->default_phase = 2;
  sat_->aux_threshold = LLONG_MAX;
  sat_->init(false);
  to_send_.clear();
  for (BasicClause *c : *clset)
    to_send_.push_back(c);
}

void NZOR1::replace_clause(BasicClause *cl, long long lit, long long weight) {
  replicate_clause(cl, lit, weight);
  clset->remove_clause(cl);
  to_send_.push_back(retired_units_.create_unit_clause(lit));
}

void NZOR1::handle_short_cores(long long weight) {
  if (core_cls_.size() == 1) {
    clset->registry->add_literal(core_cls_[0], imgr->new_id());
    return;
  }
  if (core_cls_.size() < 2)
    return;
  LitVector lits = core_cls_[0]->lits;
  lits.insert(lits.end(), core_cls_[1]->lits.begin(),
              core_cls_[1]->lits.end());
  std::sort(lits.begin(), lits.end(), [](long long a, long long b) {
    long long va = std::llabs(a), vb = std::llabs(b);
    return va != vb ? va < vb : a < b;
  });
  lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
  for (std::size_t i = 1; i < lits.size(); ++i)
    if (lits[i] == -lits[i - 1])
      return;
  BasicClause *c = clset->registry->create_clause(lits);
  if (clset->insert_member(c))
    clset->registry->incr_cl_refs(c);
  clset->set_cl_weight(c, std::min(weight, clset->top_weight));
}

void NZOR1::reset() {
  if (sat_) {
    sat_->reset();
    sat_.reset();
  }
  for (long long b : blocking_order_) {
    auto it = blocking_.find(b);
    if (it == blocking_.end())
      continue;
    BasicClause *c = it->second;
    replicate_clause(c, b, c->weight);
    clset->remove_clause(c);
  }
  blocking_.clear();
  blocking_order_.clear();
  retired_units_.clear_direct();
  pending_soft_.clear();
  to_send_.clear();
  assumptions_.clear();
  sat_out_.clear();
  zero_weight_.clear(); // they never left the input set
}
