// Reference checks for the pseudo-Boolean translator's tests, independent of
// the product: a plain DPLL satisfiability test over ±v clauses, evaluation
// of pseudo-Boolean constraints under an assignment, and a seeded generator
// of small constraints.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pbt {

using Clause = std::vector<long long>; // ±v literals, v >= 1

// Satisfiable? `fixed` holds values of variables 1..fixed.size()-1
// (index 0 unused; 1 true, -1 false, 0 free); every other variable of the
// clauses is free.
bool satisfiable(const std::vector<Clause> &clauses,
                 const std::vector<int> &fixed);

// One constraint sum coefs[i] * lits[i] rel rhs over ±v literals; a literal
// counts 1 when true. rel: "<", "<=", "=", ">=", ">".
struct PbConstraint {
  std::vector<long long> lits;
  std::vector<long long> coefs;
  std::string rel;
  long long rhs = 0;
};

// Holds under assignment (index v: 1 true, -1 false)? Exact in 128 bits.
bool holds(const PbConstraint &c, const std::vector<int> &assignment);

// Text form for failure messages: "+2 x1 -3 ~x2 >= 4".
std::string to_string(const PbConstraint &c);
std::string to_string(const std::vector<PbConstraint> &cs);

// A random constraint over variables 1..n_vars: up to max_terms terms,
// coefficients in [-max_coef, max_coef] (0 excluded), literals of either
// sign (a variable may repeat, also negated), a random relation and a
// right-hand side around the reachable range, so that trivially true and
// unsatisfiable constraints come up as well as tight ones.
PbConstraint random_constraint(std::mt19937_64 &rng, int n_vars, int max_terms,
                               long long max_coef);

} // namespace pbt
