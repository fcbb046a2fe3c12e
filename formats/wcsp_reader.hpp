// Reader of weighted constraint networks (the WCSP table format) into
// weighted partial MaxSAT: one Boolean variable per (variable, value) pair,
// hard clauses that make every variable take exactly one value, and for
// every tuple of non-zero cost one clause, falsified exactly when the
// variables take that tuple, weighted by the cost. Clauses of different cost
// functions with the same literals are one clause and add up their costs.
//
// Sizes are checked before anything is allocated: negative numbers, scope
// indices and values out of range, domains above kMaxDomainSize or with
// more than kMaxDomainPairs value pairs in all, more values than the SAT
// engines can index, table sizes that overflow, and
// tables of non-zero default cost above kMaxDenseTable entries are parse
// errors (status 3).
#pragma once

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

namespace wcsp {
// Largest domain: its at-most-one clauses number d(d-1)/2.
constexpr long long kMaxDomainSize = 1 << 10;
// Largest number of at-most-one clauses of all domains together.
constexpr long long kMaxDomainPairs = 1LL << 24;
// Largest table (product of the scope's domain sizes) whose default cost is
// not 0: each of its entries becomes a clause.
constexpr unsigned long long kMaxDenseTable = 1ULL << 24;
} // namespace wcsp

void parse_wcsp_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);
