#include "coreguided/xubmo.hpp"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "coreguided/nzor1.hpp"
#include "coreguided/preprocess.hpp"
#include "coreguided/zor1.hpp"
#include "framework/sat_arith.hpp"
#include "model/clause_snapshot.hpp"
#include "model/mxutils.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_stats.hpp"
#include "model/zor_tool_objects.hpp"

namespace {
bool expert(int level) {
  return ZORConfig::expert_mode && ZORConfig::verbosity >= level;
}
const char *cprefix() { return ZORConfig::comp_format ? "c " : ""; }

long long sat_mul(long long a, long long b) {
  long long r;
  if (__builtin_mul_overflow(a, b, &r))
    return BasicClauseSet::kMaxWeight;
  return r;
}
} // namespace

ExtendedUnsatBMOSolver::ExtendedUnsatBMOSolver(IDManager &imgr)
    : imgr_(imgr) {}

ExtendedUnsatBMOSolver::~ExtendedUnsatBMOSolver() {
  if (!work_)
    return;
  // The working set borrowed the input clauses (no references) and owns
  // what the inner solver added: let go of the first, release the rest.
  for (auto &level : levels_)
    if (level)
      for (BasicClause *c : *level)
        work_->remove_member(c);
  work_->clear_direct();
}

std::unique_ptr<MaxSATSolver> ExtendedUnsatBMOSolver::make_inner_solver() {
  if (ZORConfig::incr_mode) {
    // The incremental solver replaces the clauses it relaxes by new copies,
    // so the level sets would go on pointing at retired clauses and harden
    // the wrong ones.
    Abort("BMO solving with the incremental solver is not supported");
  }
  return std::unique_ptr<MaxSATSolver>(new ZOR1());
}

long long ExtendedUnsatBMOSolver::solve(BasicClauseSet &cls,
                                        std::vector<long long> &model,
                                        long long &cost) {
  model_ = &model;
  cost_ = &cost;
  nvars_ = imgr_.top_id;
  ncls_ = static_cast<long long>(cls.size());
  ZORStats::_num_init_vars = nvars_;
  ZORStats::_num_init_cls = ncls_;
  if (ZORConfig::incr_mode)
    make_inner_solver(); // refuses the combination before any work

  preprocess::remove_pure_literals(nvars_, cls, pure_, removed_);
  if (expert(3)) {
    if (expert(6)) {
      std::cout << "Top-Level Pure Literals:" << std::endl;
      for (long long l : pure_)
        std::cout << l << " ";
      std::cout << std::endl;
    }
    std::cout << "c Entering BMO checking & solving...\n"
              << "c CPU Time: " << RUSAGE::read_cpu_time() << std::endl;
  }
  top_ = cls.top_weight;
  cond_ = validate_bmo_conditions(cls);
  if (ZORConfig::verbosity >= 4)
    prt_bmo_chk_msg(cond_);
  if (cond_ == BMOConds::Partial) {
    // A level holding several weights is solved by splitting its heavier
    // clauses; hardening the level afterwards would force the split
    // originals true and cut off optimal models of the lower levels. Only
    // levels of one weight each are solved level by level.
    std::cout << cprefix();
    Warn("Partial BMO condition only; Running default Weighted MaxSAT "
         "solver!");
    cost = run_def_mxsat_solver(cls, static_cast<unsigned long long>(nvars_),
                                0);
    return cost;
  }
  if (cond_ == BMOConds::None) {
    std::cout << cprefix();
    Warn("No BMO condition identified; Running default Weighted MaxSAT "
         "solver!");
    cost = run_def_mxsat_solver(cls, static_cast<unsigned long long>(nvars_),
                                0);
    return cost;
  }
  split_clause_set(cls);
  cost = run_xubmo_solver();
  if (cost < 0) {
    // No model, but the input set gets its clauses back all the same.
    copy_clset(removed_, cls);
    removed_.clear();
    pure_.clear();
    return cost;
  }
  if (model.size() < static_cast<std::size_t>(nvars_) + 1)
    model.resize(static_cast<std::size_t>(nvars_) + 1, 0);
  write_pure_lits(model);
  recover_pure_lits(cls);
  return cost;
}

void ExtendedUnsatBMOSolver::write_pure_lits(std::vector<long long> &model) {
  for (long long l : pure_) {
    std::size_t v = static_cast<std::size_t>(std::llabs(l));
    if (v >= model.size())
      model.resize(v + 1, 0);
    model[v] = l > 0 ? 1 : -1;
  }
}

BMOConds ExtendedUnsatBMOSolver::validate_bmo_conditions(BasicClauseSet &cls) {
  by_weight_.clear();
  weights_.clear();
  bounds_.clear();
  for (BasicClause *c : cls)
    by_weight_[c->weight].push_back(c);
  for (auto &e : by_weight_)
    weights_.push_back(e.first);
  std::sort(weights_.begin(), weights_.end(), std::greater<long long>());
  if (expert(3)) {
    std::cout << "weight_vec: ";
    for (long long w : weights_)
      std::cout << w << " ";
    std::cout << std::endl;
  }
  long long n = static_cast<long long>(weights_.size());
  if (n == 0) // nothing left (every clause held a pure literal)
    return BMOConds::None;
  bounds_.push_back(static_cast<unsigned long long>(n - 1));
  if (!has_hard_known_) {
    has_hard_ = weights_[0] >= cls.top_weight;
    has_hard_known_ = true;
  }
  long long h = has_hard_ ? 1 : 0;
  long long sum = 0;
  for (long long i = n - 2; i >= h; --i) {
    long long w = weights_[static_cast<std::size_t>(i + 1)];
    long long cnt = static_cast<long long>(by_weight_[w].size());
    sum = sat_add(sum, sat_mul(w, cnt));
    if (sum < weights_[static_cast<std::size_t>(i)])
      bounds_.push_back(static_cast<unsigned long long>(i));
  }
  std::reverse(bounds_.begin(), bounds_.end());
  if (n - 2 >= h && bounds_.size() > 1)
    return static_cast<long long>(bounds_.size()) == n - h
               ? BMOConds::Complete
               : BMOConds::Partial;
  return BMOConds::None;
}

void ExtendedUnsatBMOSolver::prt_bmo_chk_msg(BMOConds c) {
  if (ZORConfig::comp_format)
    std::cout << "c ";
  switch (c) {
  case BMOConds::Complete:
    std::cout << "Validated complete BMO condition\n";
    break;
  case BMOConds::Partial:
    std::cout << "Validated partial BMO condition\n";
    break;
  case BMOConds::None:
    std::cout << "No BMO condition holds\n";
    break;
  default:
    Error("Invalid BMO type??");
    std::exit(ExitStatus::Failure);
  }
}

void ExtendedUnsatBMOSolver::split_clause_set(BasicClauseSet &cls) {
  levels_.clear();
  levels_.resize(bounds_.size() + 1);
  unsigned long long x = 0;
  if (has_hard_) {
    levels_[0].reset(new BasicClauseSet());
    levels_[0]->top_weight = top_;
    for (BasicClause *c : by_weight_[weights_[0]])
      levels_[0]->insert_member(c);
    x = 1;
  } else {
    std::cout << "NO hard clauses for instance??\n";
  }
  (void)cls;
  unsigned long long from = x;
  for (std::size_t j = 0; j < bounds_.size(); ++j) {
    std::size_t slot = j + x;
    levels_[slot].reset(new BasicClauseSet());
    levels_[slot]->top_weight = top_;
    for (unsigned long long i = from; i <= bounds_[j]; ++i) {
      if (expert(3))
        std::cout << "Putting index i=" << i << " in bin j+xt=" << slot
                  << std::endl;
      for (BasicClause *c : by_weight_[weights_[i]])
        levels_[slot]->insert_member(c);
    }
    from = bounds_[j] + 1;
  }
}

long long ExtendedUnsatBMOSolver::run_xubmo_solver() {
  std::unique_ptr<MaxSATSolver> inner = make_inner_solver();
  work_.reset(new BasicClauseSet());
  BasicClauseSet *work = work_.get();
  work->top_weight = top_;
  long long cost = 0;
  std::size_t first = has_hard_ ? 1 : 0;
  if (has_hard_)
    copy_clset(*levels_[0], *work);
  // The model is copied back after the last level that has clauses, also
  // when the last slot stays empty (no hard clauses).
  std::size_t last = 0;
  for (std::size_t k = first; k < levels_.size(); ++k)
    if (levels_[k])
      last = k;
  for (std::size_t k = first; k < levels_.size(); ++k) {
    curr_level_ = k;
    if (!levels_[k])
      continue;
    if (expert(3))
      std::cout << "Top for clset " << k << ": " << levels_[k]->top_weight
                << "\nA: Number of cls in wrk_clset: " << work->size()
                << std::endl;
    copy_clset(*levels_[k], *work);
    std::vector<long long> lpure;
    std::vector<BasicClause *> lremoved;
    preprocess::remove_pure_literals(imgr_.top_id, *work, lpure, lremoved);
    if (ZORConfig::expert_mode) {
      if (ZORConfig::verbosity >= 3)
        std::cout << "B: Number of cls in wrk_clset: " << work->size()
                  << std::endl;
      preprocess::find_partitions(imgr_.top_id, *work);
    }
    inner->init(imgr_, *work, inner_model_);
    long long res = inner->solve();
    if (res < 0)
      return res;
    cost = cost_add(cost, res);
    {
      std::vector<long long> m = level_model(lpure);
      ZORToolObjects::keep_model(m);
      if (ZORConfig::check_solution && input_)
        check_level_model(k, m);
    }
    if (k == last || ZORConfig::write_bmo_models) {
      std::vector<long long> &model = *model_;
      std::size_t size = std::max(static_cast<std::size_t>(nvars_) + 1,
                                  inner_model_.size());
      if (model.size() < size)
        model.resize(size, 0);
      std::copy(inner_model_.begin(), inner_model_.end(), model.begin());
      for (long long l : lpure) {
        if (expert(6))
          std::cout << "Setting lit: " << std::llabs(l) << "="
                    << (l > 0 ? 1 : -1) << std::endl;
        std::size_t v = static_cast<std::size_t>(std::llabs(l));
        if (v >= model.size())
          model.resize(v + 1, 0);
        model[v] = l > 0 ? 1 : -1;
      }
      if (ZORConfig::write_bmo_models && ZORConfig::verbosity >= 8) {
        std::cout << (ZORConfig::comp_format ? "v " : "MaxSAT model: ");
        for (long long v = 1; v <= nvars_ &&
                              static_cast<std::size_t>(v) < model.size();
             ++v) {
          long long e = model[static_cast<std::size_t>(v)];
          if (e > 0)
            std::cout << v << " ";
          else if (e < 0)
            std::cout << -v << " ";
          else
            std::cout << v << "=0 ";
        }
        std::cout << std::endl;
      }
    }
    copy_clset(lremoved, *work);
    if (expert(3))
      std::cout << "C: Number of cls in wrk_clset: " << work->size()
                << std::endl;
    set_clset_hard(*levels_[k]);
    inner->reset();
    if (ZORConfig::comp_format)
      std::cout << "o LB " << objective_of_cost(cost) << " @ " << k
                << std::endl;
    else
      std::cout << "LB on minimum cost of unsatisfied clauses: " << cost
                << " @ " << k << std::endl;
  }
  if (expert(3))
    std::cout << "c Terminating ExtendedUnsatBasedBMO...\n"
              << "c CPU Time: " << RUSAGE::read_cpu_time() << std::endl;
  return cost;
}

long long ExtendedUnsatBMOSolver::run_def_mxsat_solver(
    BasicClauseSet &cls, unsigned long long nvars, unsigned long long) {
  std::unique_ptr<MaxSATSolver> inner = make_inner_solver();
  inner->init(imgr_, cls, *model_);
  long long cost = inner->solve();
  if (cost >= 0) {
    std::vector<long long> &model = *model_;
    if (model.size() < nvars + 1)
      model.resize(nvars + 1, 0);
    write_pure_lits(model);
    ZORToolObjects::keep_model(model);
    recover_pure_lits(cls);
  } else {
    copy_clset(removed_, cls);
    removed_.clear();
    pure_.clear();
  }
  inner->reset();
  return cost;
}

std::vector<long long>
ExtendedUnsatBMOSolver::level_model(const std::vector<long long> &lpure) const {
  std::vector<long long> m = inner_model_;
  std::size_t size = static_cast<std::size_t>(nvars_) + 1;
  if (m.size() < size)
    m.resize(size, 0);
  for (const std::vector<long long> *lits : {&pure_, &lpure})
    for (long long l : *lits) {
      std::size_t v = static_cast<std::size_t>(std::llabs(l));
      if (v >= m.size())
        m.resize(v + 1, 0);
      m[v] = l > 0 ? 1 : -1;
    }
  return m;
}

void ExtendedUnsatBMOSolver::check_level_model(
    std::size_t level, const std::vector<long long> &m) {
  // The level's model must satisfy every hard clause of the input.
  for (const ClauseSnapshot::Clause *c : input_->falsified(m)) {
    if (!c->hard || ZORConfig::verbosity <= 0)
      continue;
    std::cout << cprefix() << "Level " << level << ": Unsat hard clause: ";
    for (long long l : c->lits)
      std::cout << l << " ";
    std::cout << "0  w/ cost: " << c->weight << std::endl;
  }
}

void ExtendedUnsatBMOSolver::copy_clset(BasicClauseSet &a, BasicClauseSet &b) {
  for (BasicClause *c : a)
    b.insert_member(c);
}

void ExtendedUnsatBMOSolver::copy_clset(BasicClauseSet &a,
                                        std::vector<BasicClause *> &v) {
  v.reserve(v.size() + a.size());
  for (BasicClause *c : a)
    v.push_back(c);
}

void ExtendedUnsatBMOSolver::copy_clset(std::vector<BasicClause *> &v,
                                        BasicClauseSet &b) {
  for (BasicClause *c : v)
    b.insert_member(c);
}

void ExtendedUnsatBMOSolver::clear_clset(BasicClauseSet &s) {
  for (BasicClause *c : s.clauses())
    s.remove_member(c);
}

void ExtendedUnsatBMOSolver::set_clset_hard(BasicClauseSet &s) {
  for (BasicClause *c : s)
    hard_set_.set_cl_hard(c);
}

void ExtendedUnsatBMOSolver::reset_cl_weights(BasicClauseSet &s) {
  for (auto &e : by_weight_) {
    long long w = e.first;
    for (BasicClause *c : e.second) {
      if (w == 1 && s.top_weight > 0)
        s.set_cl_weight(c, 1);
      else
        s.set_cl_weight(c, w);
    }
  }
}

void ExtendedUnsatBMOSolver::recover_pure_lits(BasicClauseSet &s) {
  write_pure_lits(*model_);
  reset_cl_weights(s);
  copy_clset(removed_, s);
  removed_.clear();
  pure_.clear();
}
