// The record of an unsatisfiable core once its soft clauses are relaxed:
// the relaxation variables with the weights of their clauses, and the
// bounds that the searches keep per core (lambda below, mu above, nu under
// test, epsilon for the disjoint-core searches).
#pragma once

#include <set>
#include <vector>

class Core {
public:
  // min: the smallest weight among the core's soft clauses.
  Core(std::vector<long long> &rvars, std::vector<long long> &weights,
       long long min);

  static long long NEXTID; // 10 at start, one per construction

  long long get_min() const { return min_; }
  long long get_lambda() const { return lambda_; }
  long long get_mu() const { return mu_; }
  long long get_nu() const { return nu_; }
  long long get_epsilon() const { return epsilon_; }
  long long get_id() const { return id_; }
  void set_min(long long v) { min_ = v; }
  void set_lambda(long long v) { lambda_ = v; }
  void set_mu(long long v) { mu_ = v; }
  void set_nu(long long v) { nu_ = v; }
  void set_epsilon(long long v) { epsilon_ = v; }

  std::vector<long long> &get_rvars() { return rvars_; }
  std::vector<long long> &get_weights() { return weights_; }

  // Sum of the weights (saturating at the largest 64-bit value).
  long long sum_weights() const;
  bool contains_var(long long r) const { return vars_.count(r) != 0; }
  // Whether every variable of this core is in other.
  bool is_subset(const Core *other) const;
  // Appends other's variables that this core lacks, with their weights.
  void extend(const Core *other);
  // The first occurrence of a becomes b.
  void replaceRV(long long &a, long long &b);
  // Removes r (the last entry moves into its place).
  void remove(long long r);

private:
  long long min_;
  long long lambda_ = 0;
  long long mu_;
  long long nu_ = -1;
  long long epsilon_ = 0;
  std::set<long long> vars_;
  long long id_;
  std::vector<long long> rvars_;
  std::vector<long long> weights_;
};
