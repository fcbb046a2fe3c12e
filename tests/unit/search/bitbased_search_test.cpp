// The bit-based search's step after a model: the next bit under test is the
// highest 1 bit of the model's cost below the current one.
#include <gtest/gtest.h>

#include "search/bitbased_search.hpp"

namespace {

struct Step {
  long long cost;
  int iota, next_iota;
  long long tau, next_tau;
};

TEST(BitBasedSearch, UpdateIotaMovesToTheNextOneBitOfTheCost) {
  const Step steps[] = {
      {5, 1, 0, 6, 5},           // 101 below bit 1: bit 0, tau 4 + 1
      {4, 1, -1, 6, 6},          // no 1 bit below bit 1: done
      {5, 0, -1, 5, 5},          // the last bit: done
      {5, 2, 0, 4, 5},           // 101 below bit 2: bit 0
      {6, 2, 1, 12, 6},          // 110 below bit 2: bit 1, tau 4 + 2
      {(1LL << 40) + 3, 40, 1, 1LL << 41, (1LL << 40) + 2}, // 64-bit values
  };
  BitBasedSearch s;
  for (const Step &st : steps) {
    int iota = st.iota;
    long long tau = st.tau;
    s.updateIota(st.cost, iota, tau);
    EXPECT_EQ(iota, st.next_iota) << "cost " << st.cost;
    EXPECT_EQ(tau, st.next_tau) << "cost " << st.cost;
  }
}

} // namespace
