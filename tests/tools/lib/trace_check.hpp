// Checker of the Tern engine's extended proof traces, for the tests.
//
// A trace line is "<index> <literals> 0 <antecedents> 0". Lines without
// antecedents must repeat an input clause (the index counts the input
// clauses from 1); every other line must follow from its antecedents by
// unit propagation (reverse unit propagation: assuming the negation of its
// literals, propagating over the antecedents alone reaches a conflict).
#pragma once

#include <string>
#include <vector>

namespace engine_test {

struct TraceCheck {
  bool ok = false;
  std::string error;                 // first failure
  bool has_empty_clause = false;     // the trace derives the empty clause
  std::vector<int> original_indices; // 0-based input clauses in the trace
  size_t learned_lines = 0;
};

// Checks `trace` against the input clauses. With `need_empty` the trace must
// derive the empty clause.
TraceCheck check_extended_trace(const std::vector<std::vector<int>> &input,
                                const std::string &trace, bool need_empty);

// The trace as a proof of binary resolution steps, in the line format of
// the trace itself: the original lines as they are, then for each learned
// line a chain of steps "<id> <literals> 0 <a> <b> 0", each resolving two
// earlier steps on one variable (the chain is found by unit propagation
// over the line's antecedents from the negation of its literals, and may
// derive a subset of them). New ids follow the trace's largest index; the
// proof stops at the first empty clause derived, its last line.
struct BinaryProof {
  bool ok = false;
  std::string error;
  std::string text;
  size_t steps = 0;  // resolution steps written
};
BinaryProof binary_resolution_proof(const std::string &trace);

}  // namespace engine_test
