// The bound constraint of every bounded search: the total weight of the
// true relaxation variables is at most k. Unit weights take the cardinality
// encoding of the settings, other weights the pseudo-Boolean one. Soft
// clauses of weight 0 cost nothing, so their variables stay out of the
// bound (they would otherwise count as 1 in a cardinality bound).
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

// How the relaxed weight relates to the bound k.
enum class CostRelation { AtMost, AtLeast, Equals };

// Adds the clauses of "sum of weights[i] over true rvars[i] <rel> k" to set
// (whose default clause type the caller has made hard). At most a negative
// k, or at least more than the total, adds the empty clause. Weights that
// sum past the 64-bit range end the run under the BDD encoding.
void encode_cost_constraint(IDManager &imgr, BasicClauseSet &set,
                            const std::vector<long long> &rvars,
                            const std::vector<long long> &weights, long long k,
                            CostRelation rel);

// The bound of the searches: the relaxed weight is at most k.
inline void encode_cost_bound(IDManager &imgr, BasicClauseSet &set,
                              const std::vector<long long> &rvars,
                              const std::vector<long long> &weights,
                              long long k) {
  encode_cost_constraint(imgr, set, rvars, weights, k, CostRelation::AtMost);
}

// Sum of weights[i] over the rvars[i] true in the model (entry |r| = 1),
// saturating at the cost ceiling.
long long cost_of_model(const std::vector<long long> &model,
                        const std::vector<long long> &rvars,
                        const std::vector<long long> &weights);
