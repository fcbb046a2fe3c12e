// Test-side model of a MaxSAT or pseudo-Boolean instance, independent of the
// product: the generator builds it, the brute force and the reference
// solvers judge it, the checker replays a solver's model against it.
//
// Meaning of an instance (the standard MaxSAT semantics, which the product's
// readers share on every file the generator writes):
// - clause instances: the cost of an assignment is the total weight of the
//   soft clauses it falsifies (an empty soft clause is always falsified);
//   every hard clause must hold (an empty hard clause makes it infeasible);
// - OPB: minimise the objective (a sum of signed coefficients times literals)
//   subject to the hard constraints;
// - WBO: the cost is the total weight of the violated soft constraints.
#pragma once

#include <climits>
#include <string>
#include <vector>

namespace mxs {

// A clause format without a top weight in its header leaves every clause
// soft: no weight reaches this value.
constexpr long long kNoTop = LLONG_MAX;

enum class Kind { Clauses, Opb, Wbo };

// The file formats the generator writes. WcnfNoTop is "p wcnf" without a top
// weight (only for instances without hard clauses).
enum class Format { Cnf, Pmcnf, Wcnf, WcnfNoTop, Gwcnf, Opb, Wbo };

struct Clause {
  std::vector<long long> lits;  // +v / -v, in file order (may repeat)
  long long weight = 1;         // for soft clauses
  bool hard = false;
};

struct PbTerm {
  long long coef;  // signed
  long long lit;   // +v / -v
};

// A linear constraint: sum coef * lit  (>= or =)  rhs. "<=" is stored as >=
// with every coefficient and the right-hand side negated.
enum class Rel { Ge, Eq };
struct PbConstraint {
  std::vector<PbTerm> terms;
  Rel rel = Rel::Ge;
  long long rhs = 0;
  bool soft = false;     // WBO soft constraint
  long long weight = 0;  // its weight
};

struct Instance {
  Kind kind = Kind::Clauses;
  long long nvars = 0;  // largest variable index in use
  std::vector<Clause> clauses;
  // OPB and WBO.
  bool has_objective = false;
  std::vector<PbTerm> objective;
  std::vector<PbConstraint> constraints;
  long long wbo_top = kNoTop;
  std::vector<std::string> names;  // names[v] of variable v when read from a
                                   // PB file (empty: "x<v>")

  bool has_hard() const;
  bool has_soft() const;
  // Sum of the soft weights (clauses or soft constraints); false when it
  // does not fit in a signed 64-bit integer.
  bool soft_weight_sum(long long& sum) const;
  long long max_soft_weight() const;
  std::string var_name(long long v) const;
};

// The optimum of an instance as an oracle states it.
struct Optimum {
  bool feasible = false;
  long long cost = 0;
};
std::string to_string(const Optimum& o);  // "UNSAT" or the cost

const char* format_name(Format f);
bool parse_format(const std::string& name, Format& f);
const char* format_suffix(Format f);  // file ending: ".wcnf", ...

// Writes the instance in the given format. Clause formats need a clause
// instance; Opb an OPB instance; Wbo a WBO instance.
std::string write_instance(const Instance& inst, Format f);

// Reads a file of any of the formats above (and "p scnf"), plain or gzip
// (recognised by its magic bytes). False with a message on failure or on
// content outside what the test model covers (products in OPB, say).
bool read_instance(const std::string& path, Instance& inst, std::string& err);
bool parse_instance(const std::string& text, const std::string& name,
                    Instance& inst, std::string& err);

// Whole-file helpers; gzip goes through the gzip program.
bool load_file(const std::string& path, std::string& text);
bool save_file(const std::string& path, const std::string& text, bool gzip);

// Cost of a total assignment (value[v] for v in 1..nvars, value[0] unused);
// false when a hard clause or constraint is violated.
bool evaluate(const Instance& inst, const std::vector<signed char>& value,
              long long& cost);

}  // namespace mxs
