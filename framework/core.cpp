#include "framework/core.hpp"

#include <algorithm>
#include <climits>

long long Core::NEXTID = 10;

namespace {
long long sat_sum(const std::vector<long long> &w) {
  long long s = 0;
  for (long long x : w)
    if (__builtin_add_overflow(s, x, &s))
      return LLONG_MAX;
  return s;
}
} // namespace

Core::Core(std::vector<long long> &rvars, std::vector<long long> &weights,
           long long min)
    : min_(min), vars_(rvars.begin(), rvars.end()), id_(NEXTID++),
      rvars_(rvars), weights_(weights) {
  long long s = sat_sum(weights_);
  mu_ = s == LLONG_MAX ? LLONG_MAX : s + 1;
}

long long Core::sum_weights() const { return sat_sum(weights_); }

bool Core::is_subset(const Core *other) const {
  return std::all_of(rvars_.begin(), rvars_.end(),
                     [&](long long r) { return other->contains_var(r); });
}

void Core::extend(const Core *other) {
  for (std::size_t j = 0; j < other->rvars_.size(); ++j) {
    long long r = other->rvars_[j];
    if (vars_.insert(r).second) {
      rvars_.push_back(r);
      weights_.push_back(other->weights_[j]);
    }
  }
}

void Core::replaceRV(long long &a, long long &b) {
  auto it = std::find(rvars_.begin(), rvars_.end(), a);
  if (it != rvars_.end())
    *it = b;
  vars_.erase(a);
  vars_.insert(b);
}

void Core::remove(long long r) {
  if (!vars_.count(r))
    return;
  vars_.erase(r);
  auto it = std::find(rvars_.begin(), rvars_.end(), r);
  if (it == rvars_.end())
    return;
  std::size_t i = static_cast<std::size_t>(it - rvars_.begin());
  rvars_[i] = rvars_.back();
  weights_[i] = weights_.back();
  rvars_.pop_back();
  weights_.pop_back();
}
