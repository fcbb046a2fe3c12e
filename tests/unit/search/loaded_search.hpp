// A disjoint-core search bound to a small loaded instance, with its
// protected state open to the tests: the core list, the per-core bounds
// and the unsatisfiable-answer steps.
#pragma once

#include <vector>

#include "framework/core.hpp"
#include "tests/tools/lib/small_instance.hpp"

namespace small {

// A search bound to a loaded instance, with its protected state open.
template <typename Search> struct Bound : Search {
  using Search::core_bound_;
  using Search::cores_;
  using Search::take_core;
};

template <typename Search> struct Loaded {
  explicit Loaded(const Instance &in) {
    load(in, imgr, set);
    s.init(imgr, set, model);
  }
  ~Loaded() { set.clear_direct(); }
  BasicClause *clause(LitVector lits) {
    return ClauseRegistry::clreg_instance.create_clause(lits);
  }
  Core *add_core(std::vector<long long> rv, std::vector<long long> ws,
                 long long lambda, long long mu) {
    Core *k = new Core(rv, ws, 1);
    k->set_lambda(lambda);
    k->set_mu(mu);
    s.cores_.push_back(k);
    return k;
  }
  IDManager imgr;
  BasicClauseSet set;
  std::vector<long long> model;
  Bound<Search> s;
};

} // namespace small
