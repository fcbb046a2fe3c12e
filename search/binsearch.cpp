#include "search/binsearch.hpp"

#include <algorithm>
#include <iostream>

#include "encodings/cardenc.hpp"
#include "model/mxutils.hpp"
#include "model/runtime_msgs.hpp"
#include "model/sigsafe_out.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge.hpp"

BinSearchMaxSATSolver::BinSearchMaxSATSolver() = default;

BinSearchMaxSATSolver::~BinSearchMaxSATSolver() {
  card_set_.clear_direct();
  delete sat_;
}

void BinSearchMaxSATSolver::relax_all_clauses() {
  for (BasicClause *c : clset->clauses()) {
    if (c->weight >= clset->top_weight)
      continue;
    long long r = imgr->new_id();
    clset->registry->add_literal(c, r);
    relax_map.emplace(c, r);
  }
}

void BinSearchMaxSATSolver::attach_clause_set(BasicClauseSet &into,
                                              BasicClauseSet &from) {
  for (BasicClause *c : from)
    into.insert_member(c);
}

void BinSearchMaxSATSolver::save_model() {
  own_model_ = *model;
  model->clear();
  ZORToolObjects::keep_model(own_model_);
}

long long BinSearchMaxSATSolver::compute_model_cost() {
  long long cost = 0;
  for (const auto &entry : relax_map) {
    std::size_t r = static_cast<std::size_t>(entry.second);
    if (entry.first->weight < clset->top_weight && r < own_model_.size() &&
        own_model_[r] == 1)
      cost += entry.first->weight;
  }
  return cost;
}

long long BinSearchMaxSATSolver::compute_upper_bound() {
  attach_clause_set(working_set_, *clset);
  sat_->init();
  int res = sat_->run_sat_solver();
  sat_->reset();
  if (res == 20)
    return -1;
  save_model();
  return compute_model_cost();
}

void BinSearchMaxSATSolver::add_card_constraint(BasicClauseSet &set,
                                                long long k) {
  std::vector<long long> rv;
  for (const auto &entry : relax_map)
    rv.push_back(entry.second);
  cnf_encode_atmostN(*imgr, set, rv, k, ZORConfig::zorenc);
}

bool BinSearchMaxSATSolver::solve_instance(long long k) {
  add_card_constraint(card_set_, k);
  attach_clause_set(working_set_, card_set_);
  sat_->init();
  int res = sat_->run_sat_solver();
  for (BasicClause *c : card_set_)
    if (!clset->contains(c))
      working_set_.remove_member(c);
  card_set_.clear_direct();
  sat_->reset();
  check_cpu_timeout();
  return res == 10;
}

void BinSearchMaxSATSolver::print_result(long long ub) {
  ResultLines out;
  if (ub < 0) {
    out << "s UNSATISFIABLE\n";
  } else if (ZORConfig::comp_format) {
    ZORConfig config;
    set_alternative_cost(config, own_model_, ub); // OPB objective
    out << "o " << ub << "\n" << "s OPTIMUM FOUND\n";
    mxutils::print_complete_model(out, own_model_,
                                  std::max(nvars_, imgr->declared_vars));
  } else {
    out << "Minimum cost of unsatisfied clauses: " << ub << "\n";
  }
  if (ZORConfig::comp_format)
    out << "c CPU Time: " << RUSAGE::read_cpu_time() << "\n";
}

long long BinSearchMaxSATSolver::solve() {
  for (BasicClause *c : *clset)
    if (c->weight < clset->top_weight && c->weight >= 2) {
      // The unweighted formats give every copy weight 1: the weight counts
      // the copies of a repeated clause that the reader merged.
      if (ZORConfig::zortype == MS_Problems::Plain ||
          ZORConfig::zortype == MS_Problems::Partial)
        std::cout << "c The input repeats the soft clause " << *c << ": its "
                  << c->weight
                  << " copies were merged into one clause of weight "
                  << c->weight << "." << std::endl;
      Abort("The selected Algorithm is not available for Weighted Max-SAT.");
    }
  delete sat_;
  sat_ = new TernWrapper(*imgr, working_set_, *model, core_,
                         ZORConfig::trace_mode ? "zor-unsat-trace" : nullptr);
  relax_all_clauses();
  nvars_ = imgr->top_id - static_cast<long long>(relax_map.size());
  long long ub = compute_upper_bound(), lb = -1;
  while (lb + 1 < ub) {
    if (ZORConfig::verbosity > 0)
      std::cout << (ZORConfig::comp_format ? "c " : "")
                << "Min unsat cost LB=" << lb << " and UB=" << ub << " ..."
                << std::endl;
    long long mid = (lb + ub) / 2;
    if (solve_instance(mid)) {
      save_model();
      ub = compute_model_cost();
      if (ZORConfig::trace_mode)
        mxutils::write_simple_cost_model("zor-sat-certificate.txt", mid,
                                         own_model_, nvars_);
    } else {
      lb = mid;
    }
  }
  print_result(ub);
  return ub;
}
