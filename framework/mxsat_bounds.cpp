// Initial bounds, the lower-bound heuristics over disjoint cores and
// hardening: the members of UnsatMaxSATSolverWithBounds that every bounded
// algorithm calls before and during its own search.
#include <algorithm>
#include <climits>
#include <iostream>
#include <map>

#include "framework/core.hpp"
#include "framework/mxsat_solver.hpp"
#include "framework/sat_arith.hpp"
#include "framework/upper_bounds.hpp"
#include "model/clause_snapshot.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"
#include "model/zor_tool_objects.hpp"
#include "sat/tern_bridge_sort.hpp"

void UnsatMaxSATSolverWithBounds::set_initial_bounds(
    IDManager &imgr, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &model, std::vector<bool> &bmodel,
    std::vector<BasicClause *> &core, long long &count,
    std::vector<Core *> &cores, long long &lb, long long &ub) {
  // Upper bound from the relaxed run (and the local search on request).
  switch (ZORConfig::upper_bound) {
  case BoundMode::Mode0:
  case BoundMode::Mode1:
    ub = UpperBounds().get_upper_bound(ZORConfig::file, imgr, clset, bmodel,
                                       false);
    break;
  case BoundMode::Other:
    ub = UpperBounds().get_upper_bound(ZORConfig::file, imgr, clset, bmodel,
                                       true);
    break;
  }
  if (ZORConfig::upper_bound_file && *ZORConfig::upper_bound_file)
    take_ub_from_file(imgr, clset, model, bmodel, ub);
  if (ub == -1)
    return;
  // The bound's model is the first the search has: a run cut short from
  // here on prints it.
  ZORToolObjects::keep_model(bmodel);
  if (ZORConfig::upper_bound == BoundMode::Mode0) {
    ub = sum_weights(clset);
    bmodel.clear();
  }
  if (ZORConfig::hardening_rule &&
      (ZORConfig::lower_bound == BoundMode::Mode0 ||
       ZORConfig::lower_bound == BoundMode::Mode1))
    for (BasicClause *c : clset)
      if (c->weight >= 2 && c->weight < clset.top_weight)
        hardening_map[c] = c->weight;
  switch (ZORConfig::lower_bound) {
  case BoundMode::Mode1:
    lb = lower_bound_ZOR3_heuristic(imgr, clset, solver, model, core, count,
                                    cores, ub);
    break;
  case BoundMode::Other:
    lb = lower_bound_ZOR3Strat_heuristic(imgr, clset, solver, model, core,
                                         count, cores, ub);
    break;
  case BoundMode::Mode0:
    break;
  }
  if (ZORConfig::verbosity > 1)
    std::cout << "c LB: " << lb << " UB: " << ub << std::endl;
}

void UnsatMaxSATSolverWithBounds::take_ub_from_file(
    IDManager &imgr, BasicClauseSet &clset, std::vector<long long> &model,
    std::vector<bool> &bmodel, long long &ub) {
  std::vector<long long> m;
  long long v = UpperBounds().get_ub_from_file(ZORConfig::upper_bound_file,
                                               imgr, clset, m);
  if (v < 0 || (ub >= 0 && v >= ub))
    return;
  // The file is trusted only as far as its model goes: every hard clause
  // must hold and the soft clauses it falsifies must weigh exactly v.
  ClauseSnapshot snap;
  snap.take(clset);
  ClauseSnapshot::Result r = snap.check(m);
  if (!r.hard_ok || r.cost != v) {
    std::cout << "c upper bound file ignored: its model "
              << (r.hard_ok ? "does not reach its cost"
                            : "falsifies a hard clause")
              << std::endl;
    return;
  }
  ub = v;
  model = m;
  if (bmodel.size() + 1 < m.size())
    bmodel.resize(m.size() - 1, false);
  for (std::size_t x = 1; x < m.size(); ++x)
    bmodel[x - 1] = m[x] >= 0;
}

void UnsatMaxSATSolverWithBounds::set_initial_bounds(
    IDManager &imgr, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &model, std::vector<BasicClause *> &core,
    long long &count, std::vector<Core *> &cores, long long &lb,
    long long &ub) {
  std::vector<bool> bmodel;
  set_initial_bounds(imgr, clset, solver, model, bmodel, core, count, cores,
                     lb, ub);
}

void UnsatMaxSATSolverWithBounds::set_initial_bounds(
    IDManager &imgr, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &model, std::vector<BasicClause *> &core,
    long long &count, long long &lb, long long &ub) {
  std::vector<Core *> cores;
  set_initial_bounds(imgr, clset, solver, model, core, count, cores, lb, ub);
  for (Core *c : cores)
    delete c;
}

// One unsatisfiable answer of a lower-bound heuristic: relax the core's
// soft clauses, record the core, lower their hardening entries and set the
// clauses aside. Returns the core's smallest soft weight.
long long UnsatMaxSATSolverWithBounds::take_out_core(
    BasicClauseSet &clset, std::vector<BasicClause *> &core,
    std::vector<Core *> &cores, long long ub,
    std::vector<BasicClause *> &aside) {
  long long w = LLONG_MAX;
  for (BasicClause *c : core)
    if (c->weight < clset.top_weight)
      w = std::min(w, c->weight);
  std::vector<long long> vars, weights;
  std::vector<BasicClause *> soft;
  for (BasicClause *c : core) {
    if (c->weight >= clset.top_weight)
      continue;
    long long r = get_unique_relax_var(c);
    if (r == 0)
      r = add_relaxation_var(c);
    vars.push_back(r);
    weights.push_back(c->weight);
    soft.push_back(c);
  }
  if (soft.empty())
    return 0;
  Core *k = new Core(vars, weights, w);
  k->set_lambda(w);
  if (k->get_mu() > ub)
    k->set_mu(ub);
  cores.push_back(k);
  for (BasicClause *c : soft) {
    auto it = hardening_map.find(c);
    if (it != hardening_map.end())
      it->second -= w;
    if (clset.remove_member(c))
      aside.push_back(c);
  }
  return w;
}

long long UnsatMaxSATSolverWithBounds::lower_bound_ZOR3_heuristic(
    IDManager &, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &, std::vector<BasicClause *> &core,
    long long &count, std::vector<Core *> &cores, long long ub) {
  long long lb = 0;
  std::vector<BasicClause *> aside;
  for (;;) {
    solver.init();
    int r = solver.run_sat_solver();
    bool done = r == 10;
    if (!done) {
      ++count;
      long long w = take_out_core(clset, core, cores, ub, aside);
      // A core without soft clauses (the hard clauses alone are
      // unsatisfiable) cannot occur after the upper bound proved them
      // satisfiable; stop rather than loop if it ever does.
      done = w == 0;
      lb = cost_add(lb, w);
    }
    core.clear();
    solver.reset();
    if (done)
      break;
  }
  for (BasicClause *c : aside)
    clset.insert_member(c);
  return lb;
}

long long UnsatMaxSATSolverWithBounds::lower_bound_ZOR3Strat_heuristic(
    IDManager &, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &, std::vector<BasicClause *> &core,
    long long &count, std::vector<Core *> &cores, long long ub) {
  std::map<long long, long long> levels; // soft weight -> clause count
  for (BasicClause *c : clset)
    if (c->weight < clset.top_weight)
      ++levels[c->weight];
  // The next stratum from the levels left: the heaviest level, extended
  // by lighter ones while it holds 1.25 clauses a level or fewer.
  auto next_threshold = [&]() {
    std::vector<std::pair<long long, long long>> lv(levels.begin(),
                                                    levels.end());
    std::size_t i = lv.size() - 1;
    double total = static_cast<double>(lv[i].second);
    double ratio = total;
    while (ratio <= 1.25 && i > 0) {
      --i;
      total += static_cast<double>(lv[i].second);
      ratio = total / static_cast<double>(lv.size() - i);
    }
    long long threshold = lv[i].first;
    levels.erase(levels.find(threshold), levels.end());
    return threshold;
  };
  std::vector<BasicClause *> waiting, aside;
  if (!levels.empty()) {
    long long t = next_threshold();
    for (BasicClause *c : clset.clauses())
      if (c->weight < t) {
        clset.remove_member(c);
        waiting.push_back(c);
      }
  }
  long long lb = 0;
  for (;;) {
    solver.init();
    int r = solver.run_sat_solver();
    bool done = false;
    if (r == 20) {
      ++count;
      long long w = take_out_core(clset, core, cores, ub, aside);
      done = w == 0;
      lb = cost_add(lb, w);
    } else if (!levels.empty()) {
      long long t = next_threshold();
      std::vector<BasicClause *> still;
      for (BasicClause *c : waiting)
        if (c->weight >= t)
          clset.insert_member(c);
        else
          still.push_back(c);
      waiting.swap(still);
    } else {
      done = true;
    }
    core.clear();
    solver.reset();
    if (done)
      break;
  }
  for (BasicClause *c : waiting) // only after an early stop
    clset.insert_member(c);
  for (BasicClause *c : aside)
    clset.insert_member(c);
  return lb;
}

long long UnsatMaxSATSolverWithBounds::lower_bound_subtraction_heuristic(
    IDManager &, BasicClauseSet &clset, TernWrapperSort &solver,
    std::vector<long long> &, std::vector<BasicClause *> &core,
    long long &count, std::vector<Core *> &cores, long long ub) {
  std::map<BasicClause *, long long> initial;
  long long minw = LLONG_MAX;
  for (BasicClause *c : clset)
    if (c->weight < clset.top_weight) {
      initial[c] = c->weight;
      minw = std::min(minw, c->weight);
    }
  // Groups of cores that share clauses, in creation order, with their
  // value (the sum of the merged cores' minima).
  struct Group {
    std::vector<BasicClause *> cls;
    long long value;
  };
  std::vector<Group> groups;
  std::vector<BasicClause *> zero;
  for (;;) {
    solver.init();
    int r = solver.run_sat_solver();
    if (r == 10) {
      core.clear();
      solver.reset();
      break;
    }
    ++count;
    long long m = LLONG_MAX;
    for (BasicClause *c : core)
      if (c->weight < clset.top_weight)
        m = std::min(m, c->weight);
    Group g{{}, 0};
    for (BasicClause *c : core) {
      if (c->weight >= clset.top_weight)
        continue;
      g.cls.push_back(c);
      c->weight -= m;
      if (c->weight <= 0) {
        zero.push_back(c);
        if (get_unique_relax_var(c) == 0)
          add_relaxation_var(c);
        clset.remove_member(c);
      }
    }
    core.clear();
    solver.reset();
    if (g.cls.empty())
      break; // only hard clauses: nothing to subtract from
    long long value = m;
    std::vector<Group> kept;
    for (Group &h : groups) {
      bool shares = std::any_of(h.cls.begin(), h.cls.end(), [&](BasicClause *c) {
        return std::find(g.cls.begin(), g.cls.end(), c) != g.cls.end();
      });
      if (shares) {
        value = cost_add(value, h.value);
        for (BasicClause *c : h.cls)
          if (std::find(g.cls.begin(), g.cls.end(), c) == g.cls.end())
            g.cls.push_back(c);
      } else {
        kept.push_back(h);
      }
    }
    g.value = value;
    kept.push_back(g);
    groups.swap(kept);
  }
  for (BasicClause *c : zero)
    clset.insert_member(c);
  for (auto &e : initial) {
    if (ZORConfig::hardening_rule && e.second > minw)
      hardening_map[e.first] = e.first->weight;
    clset.set_cl_weight(e.first, e.second);
  }
  long long lb = 0;
  for (Group &g : groups) {
    std::vector<long long> vars, weights;
    for (BasicClause *c : g.cls) {
      if (c->weight >= clset.top_weight)
        continue;
      long long r = get_unique_relax_var(c);
      if (r == 0)
        r = add_relaxation_var(c);
      vars.push_back(r);
      weights.push_back(c->weight);
    }
    Core *k = new Core(vars, weights, g.value);
    if (k->get_mu() > ub)
      k->set_mu(ub);
    k->set_lambda(g.value);
    cores.push_back(k);
    lb = cost_add(lb, g.value);
  }
  return lb;
}

void UnsatMaxSATSolverWithBounds::hardening(std::vector<Core *> &cores,
                                           IDManager &, BasicClauseSet &clset,
                                           long long lb, long long ub) {
  if (!hardening_on())
    return;
  bool show = ZORConfig::verbosity > 1;
  if (show)
    show_hardening_start(lb, ub);
  HardenCounts n;
  for (auto it = hardening_map.begin(); it != hardening_map.end();) {
    BasicClause *c = it->first;
    long long e = it->second;
    HardenStep step = sat_add(lb, e) > ub ? HardenStep::Harden
                      : e <= 0            ? HardenStep::Discard
                                          : HardenStep::Keep;
    long long r = step == HardenStep::Harden ? get_unique_relax_var(c) : 0;
    if (show)
      show_hardening_entry(c, e, step, r);
    if (step == HardenStep::Keep) {
      ++it;
      continue;
    }
    it = hardening_map.erase(it);
    if (step == HardenStep::Discard) {
      ++n.discarded;
      continue;
    }
    if (r != 0) {
      for (Core *k : cores)
        if (k->contains_var(r))
          k->remove(r);
      LitVector unit{-r};
      BasicClause *u = clset.registry->create_clause(unit);
      clset.insert_clause(u);
      clset.set_cl_weight(u, clset.top_weight);
      ++n.relaxed;
    } else {
      ++n.unrelaxed;
    }
    clset.set_cl_weight(c, clset.top_weight);
  }
  n.left = static_cast<long long>(hardening_map.size());
  if (show)
    show_hardening_end(n);
}

bool UnsatMaxSATSolverWithBounds::hardening_on() const {
  return ZORConfig::hardening_rule;
}

void UnsatMaxSATSolverWithBounds::show_hardening_start(long long, long long) {
  std::cout << "c Soft to harden:" << hardening_map.size() << std::endl;
}

void UnsatMaxSATSolverWithBounds::show_hardening_end(const HardenCounts &n) {
  std::cout << "c Hardening: " << n.left << " " << n.unrelaxed << " "
            << n.relaxed << std::endl;
}

void UnsatMaxSATSolverWithBounds::show_atmost_constraint(
    std::vector<long long> &lits, std::vector<long long> &weights,
    long long &rhs) {
  long long sum = 0;
  for (std::size_t i = 0; i < lits.size(); ++i) {
    if (i > 0)
      std::cout << "+ ";
    std::cout << weights[i] << " x" << lits[i] << " ";
    sum = sat_add(sum, weights[i]);
  }
  std::cout << " <= " << rhs << std::endl;
  std::cout << "c Summary PB. Vars: " << lits.size() << " Sum Weights: " << sum
            << " Rhs: " << rhs << std::endl;
}
