// Model output and validation: the "v " / "MaxSAT model: " line, the simple
// model and certificate file, the check of a model against the hard clauses
// or against a claimed cost, and the OPB objective's value of a model.
//
// Everything here is a template over the output stream, the model and the
// variable-count type, and depends on the clause model only, so that the
// start-up (also inside a signal handler, with a stream that writes through
// write(2)), the facade and the algorithms can share one copy.
//
// The model is indexed by variable (1 true, -1 false, 0 unassigned); an
// entry beyond the model's end is never read and counts as unassigned.
#pragma once

#include <climits>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <map>
#include <type_traits>
#include <vector>

#include "model/basic_clset.hpp"
#include "model/zor_config.hpp"

namespace mxutils {

namespace detail {

// A variable count as a signed 64-bit value; unsigned counts beyond the
// signed range are clamped.
template <typename N> long long count_of(N n) {
  if constexpr (std::is_unsigned<N>::value) {
    if (static_cast<unsigned long long>(n) >
        static_cast<unsigned long long>(LLONG_MAX))
      return LLONG_MAX;
  }
  return static_cast<long long>(n);
}

// The variable of a literal, without overflow for the most negative value.
inline unsigned long long var_of(long long lit) {
  return lit < 0 ? 0ULL - static_cast<unsigned long long>(lit)
                 : static_cast<unsigned long long>(lit);
}

// Whether variable v (1..n) lies within the count n.
inline bool within(unsigned long long v, long long n) {
  return n >= 1 && v >= 1 && v <= static_cast<unsigned long long>(n);
}

template <typename Model>
long long entry(const Model &model, unsigned long long v) {
  return v < static_cast<unsigned long long>(model.size())
             ? static_cast<long long>(model[v])
             : 0;
}

template <typename Model> bool lit_true(const Model &model, long long lit) {
  long long e = entry(model, var_of(lit));
  return (e > 0 && lit > 0) || (e < 0 && lit < 0);
}

template <typename Stream> void end_line(Stream &out) {
  out << '\n';
  out.flush();
}

// The clause's literals each followed by a blank, then "0".
template <typename Stream>
void write_clause(Stream &out, const BasicClause &c) {
  for (long long l : c.lits)
    out << l << " ";
  out << "0";
}

// Reports a variable within 1..n that has no model entry.
template <typename Stream, typename Model>
void report_missing(Stream &out, const Model &model, unsigned long long v) {
  if (v >= static_cast<unsigned long long>(model.size())) {
    out << "vid: " << static_cast<long long>(v)
        << " w/ size:" << static_cast<long long>(model.size());
    end_line(out);
  }
}

template <typename Stream, typename Model>
void write_literals(Stream &out, const Model &model, long long n) {
  if (model.size() <= 1 || n < 1)
    return;
  for (long long v = 1;
       v <= n && static_cast<unsigned long long>(v) <
                     static_cast<unsigned long long>(model.size());
       ++v) {
    long long e = static_cast<long long>(model[v]);
    if (e > 0)
      out << v << " ";
    else if (e < 0)
      out << -v << " ";
    else
      out << v << "=0 ";
  }
}

} // namespace detail

// "v " (evaluation format) or "MaxSAT model: ", then the values of the
// variables 1..n that the model holds, each followed by a blank; no
// terminating 0.
template <typename Stream, typename Model, typename N>
void print_model(Stream &out, const Model &model, N n) {
  out << (ZORConfig::comp_format ? "v " : "MaxSAT model: ");
  detail::write_literals(out, model, detail::count_of(n));
  detail::end_line(out);
}

// The model line of a result: the same prefix, then every variable 1..n,
// v when the model sets it true and -v otherwise (false, unassigned or
// beyond the model's end), so that the line names each input variable in
// a token every checker reads. Writes nothing but the stream.
template <typename Stream, typename Model, typename N>
void print_complete_model(Stream &out, const Model &model, N nv) {
  out << (ZORConfig::comp_format ? "v " : "MaxSAT model: ");
  const long long n = detail::count_of(nv);
  for (long long v = 1; v <= n; ++v) {
    bool is_true = detail::entry(model, static_cast<unsigned long long>(v)) > 0;
    out << (is_true ? v : -v) << " ";
  }
  detail::end_line(out);
}

// The same literals without a prefix, closed by "0".
template <typename Stream, typename Model, typename N>
void print_simple_model(Stream &out, const Model &model, N n) {
  detail::write_literals(out, model, detail::count_of(n));
  out << "0";
  detail::end_line(out);
}

// Writes "<= cost " and the simple model into the file (created or
// truncated); an unopenable file is not reported.
template <typename Model, typename N>
void write_simple_cost_model(const char *file, long long cost,
                             const Model &model, N n) {
  std::ofstream out(file, std::ios::out | std::ios::trunc);
  if (!out)
    return;
  out << "<= " << cost << " ";
  print_simple_model(out, model, n);
}

// True when the model falsifies no hard clause over the variables 1..n. A
// hard clause holding a variable above n (a relaxation or encoding
// variable) before any true literal is not checked; an empty hard clause is
// falsified. Each falsified clause is reported when the verbosity is above 0.
template <typename Stream, typename Model, typename N>
bool validate_hard_cls(Stream &out, const BasicClauseSet &set, N nv,
                       const Model &model) {
  const long long n = detail::count_of(nv);
  long long falsified = 0;
  for (BasicClause *c : set) {
    if (c->weight < set.top_weight)
      continue;
    bool settled = false; // satisfied, or not checkable over 1..n
    for (long long l : c->lits) {
      unsigned long long v = detail::var_of(l);
      if (!detail::within(v, n)) {
        settled = true;
        break;
      }
      detail::report_missing(out, model, v);
      if (detail::lit_true(model, l)) {
        settled = true;
        break;
      }
    }
    if (settled)
      continue;
    ++falsified;
    if (ZORConfig::verbosity > 0) {
      out << "Unsat hard clause: ";
      detail::write_clause(out, *c);
      out << "  w/ cost: " << c->weight;
      detail::end_line(out);
    }
  }
  return falsified == 0;
}

template <typename Model, typename N>
bool validate_hard_cls(const BasicClauseSet &set, N n, const Model &model) {
  return validate_hard_cls(std::cout, set, n, model);
}

// True when the clauses that the model falsifies over the variables 1..n
// weigh exactly cost and none of them is hard. Literals above n are
// ignored; a clause whose literals all exceed n is not counted, an empty
// clause is falsified. The sum is checked: one that leaves the 64-bit range
// never validates.
template <typename Stream, typename Model, typename N>
bool validate_model(Stream &out, const BasicClauseSet &set, N nv,
                    const Model &model, long long cost) {
  const long long n = detail::count_of(nv);
  const char *pfx = ZORConfig::comp_format ? "c " : "";
  long long falsified = 0;
  long long sum = 0;
  bool hard_falsified = false;
  bool overflow = false;
  for (BasicClause *c : set) {
    bool some_in_range = false;
    bool sat = false;
    for (long long l : c->lits) {
      unsigned long long v = detail::var_of(l);
      if (!detail::within(v, n))
        continue;
      some_in_range = true;
      detail::report_missing(out, model, v);
      if (detail::lit_true(model, l)) {
        sat = true;
        break;
      }
    }
    if (sat || (!some_in_range && !c->lits.empty()))
      continue;
    ++falsified;
    bool hard = c->weight >= set.top_weight;
    hard_falsified = hard_falsified || hard;
    if (!overflow && __builtin_add_overflow(sum, c->weight, &sum)) {
      overflow = true;
      sum = c->weight < 0 ? LLONG_MIN : LLONG_MAX;
    }
    if (ZORConfig::verbosity > 8) {
      out << pfx << (hard ? "Unsat hard clause: " : "Unsat clause: ");
      detail::write_clause(out, *c);
      out << "  w/ cost: " << c->weight;
      detail::end_line(out);
    }
  }
  if (ZORConfig::verbosity >= 6) {
    out << pfx << "Unsat cls: " << falsified;
    detail::end_line(out);
    out << pfx << "Computed min cost: " << cost << " vs. Unsat cost: " << sum;
    detail::end_line(out);
  }
  return !hard_falsified && !overflow && sum == cost;
}

template <typename Model, typename N>
bool validate_model(const BasicClauseSet &set, N n, const Model &model,
                    long long cost) {
  return validate_model(std::cout, set, n, model, cost);
}

} // namespace mxutils

// For an OPB input (a non-empty objective): cost := the sum of the
// coefficients of the objective variables that the model sets exactly true.
// An empty objective, or a sum beyond the 64-bit range, leaves cost alone.
template <typename Model>
void set_alternative_cost(ZORConfig &, const Model &model, long long &cost) {
  const std::map<long long, long long> &obj =
      ZORConfig::pbo_minimization_function;
  if (obj.empty())
    return;
  long long sum = 0;
  for (const auto &term : obj) {
    if (term.first < 0 ||
        mxutils::detail::entry(
            model, static_cast<unsigned long long>(term.first)) != 1)
      continue;
    if (__builtin_add_overflow(sum, term.second, &sum))
      return;
  }
  cost = sum;
}

// A cost of the soft clauses on the objective's scale: for an OPB input (a
// non-empty objective) the objective's value of every assignment of that
// cost, so a lower bound on the cost gives one on the objective; for other
// inputs the cost itself.
inline long long objective_of_cost(long long cost) {
  long long value = cost;
  if (!ZORConfig::pbo_minimization_function.empty() &&
      __builtin_add_overflow(cost, ZORConfig::pbo_cost_offset, &value))
    return cost < 0 ? LLONG_MIN : LLONG_MAX;
  return value;
}

// Debug printers of the algorithms: the title, each element followed by the
// separator, then a line end.
inline void PRINT_ELEMENTS(const std::vector<long long> &v, const char *title,
                           const char *sep) {
  std::cout << title;
  for (long long x : v)
    std::cout << x << sep;
  std::cout << std::endl;
}

inline void PRINT_PTR_ELEMENTS(const std::vector<BasicClause *> &v,
                               const char *title, const char *sep) {
  std::cout << title;
  for (const BasicClause *c : v) {
    mxutils::detail::write_clause(std::cout, *c);
    std::cout << sep;
  }
  std::cout << std::endl;
}
