// Reader of pseudo-Boolean optimisation files (OPB): the objective becomes
// weighted soft unit clauses, every constraint hard clauses through the
// cardinality and pseudo-Boolean encoders. read_input_file calls it for the
// format word "opb" (file names ending ".opb") with the set's default weight
// 0, on the file from its first byte, and returns the weighted problem type.
//
// The pieces shared with the WBO reader (names, terms, constraints, their
// encoding and the copy into the main set) live in namespace pb_reading.
//
// Syntax accepted: "*" comment lines and blank lines anywhere; an optional
// first statement "min: <terms> ;"; then constraints "<terms> <op> <rhs> ;"
// with op one of <, <=, =, ==, >=, >, several of them on one line or one
// spread over lines. A term is an integer coefficient (signed or not) and a
// variable name; "~x" is the negation of x. Everything else is a parse
// error (status 3): a "max:" objective, an empty sum, a non-linear
// (product) term, an unknown operator, a missing ";", and constants whose
// sums leave the 64-bit range.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

void parse_opb_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);

namespace pb_reading {

using NameMap = std::map<std::string, long long>;

// A linear constraint sum coefs[i] * lits[i] <op> rhs over program
// literals (op: -2 <, -1 <=, 0 =, 1 >=, 2 >).
struct PbConstraint {
  std::vector<long long> lits;
  std::vector<long long> coefs;
  int op = 0;
  long long rhs = 0;
};

// Prints the message as a parse error and exits with status 3.
[[noreturn]] void pb_parse_error(const std::string &msg);

// a + b, a parse error when the sum leaves the 64-bit range.
long long checked_add(long long a, long long b);

// Skips whitespace and "*" comment lines.
void skip_space_and_comments(StreamBuffer &in);

// The literal of name: "~x" is the negation of x; a name seen for the first
// time takes a fresh identifier from imgr.
long long literal_of(const std::string &name, NameMap &names, IDManager &imgr);

// Reads terms up to a relational operator or ";" (left in the stream).
// Repeated variables are merged (x and ~x included: a ~x = a - a x, the
// constant going to *constant); variables whose coefficients cancel drop
// out. Non-linear terms and names missing after a coefficient are parse
// errors.
void read_terms(StreamBuffer &in, NameMap &names, IDManager &imgr,
                std::vector<long long> &lits, std::vector<long long> &coefs,
                long long &constant);

// Reads "<terms> <op> <rhs> ;" and consumes the ";". An empty sum is a
// parse error.
void read_constraint(StreamBuffer &in, NameMap &names, IDManager &imgr,
                     PbConstraint &pc);

// Rewrites pc to op -1 (at most) or 0 (equal) with positive coefficients.
void normalize(PbConstraint &pc);

// Sum of the (positive) coefficients of a normalised constraint; a parse
// error beyond 64 bits.
long long coef_sum(const PbConstraint &pc);

// Encodes a normalised constraint into clset: all coefficients 1 (or none)
// go to the cardinality encoder with cenc (through the pseudo-Boolean one
// when cenc encodes only "at most one" and the bound is not 1); otherwise
// the pseudo-Boolean encoder with pbenc.
void encode_constraint(IDManager &imgr, BasicClauseSet &clset, PbConstraint &pc,
                       Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc);

class ClauseSink;

// Adds to the main set, as hard clauses, the constraint that the weights of
// the true literals sum to at most limit: with the literals true where soft
// constraints are falsified, assignments whose cost would reach a top cost
// are thereby no solutions. A literal whose weight alone passes the limit
// is made false; a limit below 0 adds the empty clause; nothing is added
// when every assignment stays within the limit.
void add_cost_limit(IDManager &imgr, BasicClauseSet &clset, ClauseSink &sink,
                    const std::vector<long long> &lits,
                    const std::vector<long long> &weights, long long limit,
                    Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc);

// Adds clauses to the main set with a weight and a group. Clause objects
// are shared (one per literal set), so a clause may come again from another
// constraint: a hard occurrence makes it hard for good, and soft
// occurrences add up their weights (capped at the top weight).
class ClauseSink {
public:
  explicit ClauseSink(BasicClauseSet &main);
  // c with weight w (the top weight or more: hard) and group.
  void add(BasicClause *c, long long w, long long group);
  // Every clause of tmp, each with weight w and group.
  void copy_from(BasicClauseSet &tmp, long long w, long long group);
  // Makes new_top the top weight; clauses at or above it become exactly
  // new_top (hard).
  void rebase_top(long long new_top);

private:
  BasicClauseSet &main_;
  std::unordered_map<BasicClause *, long long> soft_; // soft members' weights
};

// A clause set for one constraint: to's top weight, hard clauses by
// default; released on destruction.
struct TempSet {
  explicit TempSet(const BasicClauseSet &main) {
    set.set_top(main.get_top());
    set.set_def_cl_type(ClauseType::Hard);
  }
  ~TempSet() { set.clear_direct(); }
  TempSet(const TempSet &) = delete;
  TempSet &operator=(const TempSet &) = delete;
  BasicClauseSet set;
};

} // namespace pb_reading
