// Brute-force check of a cost-preserving rewrite of a weighted formula:
// for every assignment, the hard clauses hold before exactly when they
// hold after, and then the cost before equals the cost after plus the
// lower bound the rewrite gained.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/tools/lib/small_instance.hpp"

inline void expect_same_costs(const small::Instance &before,
                              const small::Instance &after, long long gained,
                              const std::string &what) {
  small::for_each_assignment(
      before.nvars, [&](const std::vector<long long> &m) {
        bool hard_before, hard_after;
        long long cb = small::falsified_cost(before, m, hard_before);
        long long ca = small::falsified_cost(after, m, hard_after);
        ASSERT_EQ(hard_before, hard_after) << what;
        if (hard_before) {
          ASSERT_EQ(cb, ca + gained) << what;
        }
      });
}
