// What a run will hold for the sizes an input asks for, set against the
// machine's physical memory. The readers refuse, with a parse error, an
// input whose variable numbers (used, or declared by its header) or clauses
// alone would need more memory than the machine has, instead of letting the
// run be killed while it solves or prints its model line.
//
// The figures are measured on the solver's roads: a run holds storage for
// every variable number up to the largest one (model vectors, the SAT
// engines' per-variable arrays, the second solver), and for every clause
// its object in the clause model, its set memberships and the engines'
// copies.
#pragma once

namespace memory_budget {

// Bytes held per variable number up to the largest one.
constexpr double kBytesPerVariable = 160;
// Bytes held per clause, besides its literals.
constexpr double kBytesPerClause = 300;
// Bytes held in addition per soft clause: its relaxation variable and its
// share of the cores and of the cardinality constraints over them.
constexpr double kBytesPerSoftClause = 1500;
// Bytes held per literal of a clause.
constexpr double kBytesPerLiteral = 24;

// The memory this process may use, in bytes.
double machine_bytes();

// Estimated bytes of a run with the given numbers of variables, clauses
// (soft ones among them) and literals (of all clauses together).
inline double run_bytes(double variables, double clauses, double soft_clauses,
                        double literals) {
  return variables * kBytesPerVariable + clauses * kBytesPerClause +
         soft_clauses * kBytesPerSoftClause + literals * kBytesPerLiteral;
}

// Whether bytes fit in the machine's memory.
inline bool fits(double bytes) { return bytes <= machine_bytes(); }

// Bytes in whole megabytes (rounded up), for messages.
long long megabytes(double bytes);

// Parse error unless variable numbers up to largest fit in memory:
// "PARSE ERROR! Variable <n> needs about <m> MB for the variables up to
// it, more than the machine's <p> MB", status 3.
void check_largest_variable(long long largest);

} // namespace memory_budget
