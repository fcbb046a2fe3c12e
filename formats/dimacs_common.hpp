// Pieces shared by the readers of the DIMACS family (cnf, pmcnf, wcnf,
// gwcnf, scnf): the line loop, the "p" header line and clause literals.
#pragma once

#include <string>

#include "formats/fmt_utils.hpp"
#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

namespace dimacs {

// Runs the reader loop: skips whitespace, stops at the end of input, skips
// "c" lines, hands "p" lines to header() and everything else to clause().
template <class Header, class Clause>
void read_lines(StreamBuffer &in, Header header, Clause clause) {
  for (;;) {
    FMTUtils::skipWhitespace(in);
    int c = *in;
    if (c == EOF)
      return;
    if (c == 'c')
      FMTUtils::skipLine(in);
    else if (c == 'p')
      header();
    else
      clause();
  }
}

// At the "p" of a header: moves past it, skips blanks and tabs and reads the
// format word.
inline std::string read_header_word(StreamBuffer &in) {
  ++in;
  FMTUtils::skipBlanks(in);
  return FMTUtils::readString(in);
}

// Reads the header's numbers up to the line end and consumes the line end;
// on_number(k, value) sees them in order from k = 1. The line end is a line
// feed, or also a carriage return when cr_ends_line is set. At the end of
// input the next number is attempted, which is a parse error.
template <class OnNumber>
void read_header_numbers(StreamBuffer &in, bool cr_ends_line,
                         OnNumber on_number) {
  int k = 0;
  FMTUtils::skipBlanks(in);
  for (int c = *in; !(c == '\n' || (cr_ends_line && c == '\r')); c = *in) {
    long long v = FMTUtils::parseLongInt(in);
    on_number(++k, v);
    FMTUtils::skipBlanks(in);
  }
  ++in;
}

// The top weight of a header, which must be at least 1.
inline long long checked_top(long long top) {
  if (top < 1)
    FMTUtils::invalid_top(top);
  return top;
}

// Reads the header of a weighted format (wcnf, gwcnf, scnf) after its "p":
// the word must be word; the variable count goes to imgr.declared_vars, the
// clause count only sizes tables; a third number is the top weight (at
// least 1), set on the clause set; a fourth is a parse error. Without a top
// the set is marked ceiling_soft.
void read_weighted_header(StreamBuffer &in, IDManager &imgr,
                          BasicClauseSet &clset, const char *word,
                          bool cr_ends_line);

// The variable count of a header, kept when it lies within 1..the largest
// variable accepted.
inline void declare_vars(IDManager &imgr, long long v) {
  if (v > 0 && v <= FMTUtils::kMaxVariable)
    imgr.declared_vars = v;
}

// Reads literals up to the terminating 0 (consumed, not stored) into lits,
// raising maxvar to the largest variable seen.
inline void read_clause_lits(StreamBuffer &in, LitVector &lits,
                             long long &maxvar) {
  lits.clear();
  for (;;) {
    long long l = FMTUtils::parseLiteral(in);
    if (l == 0)
      return;
    long long v = l < 0 ? -l : l;
    if (v > maxvar)
      maxvar = v;
    lits.push_back(l);
  }
}

// Collects the clauses of a file a batch at a time: the registry slots of
// the whole batch are fetched into the cache together, then the clauses are
// created in file order, so that their cache misses overlap instead of
// stalling the reader one after another. add(lits, key, extra) creates one
// clause with insert_prepared and applies the rest of its line (extra).
// Call flush() before a header line changes how clauses are added, and at
// the end of the file.
template <class Extra, class Add> class ClauseBatch {
public:
  ClauseBatch(BasicClauseSet &clset, Add add)
      : registry_(*clset.registry), add_(add) {}
  // The vector to read the next clause's literals into.
  LitVector &next() { return lits_[n_]; }
  // Queues the clause read into next(), with the rest of its line.
  void push(const Extra &extra) {
    extra_[n_] = extra;
    keys_[n_] = registry_.prepare_clause(lits_[n_]);
    if (++n_ == kSize)
      flush();
  }
  void flush() {
    for (std::size_t i = 0; i < n_; ++i)
      add_(lits_[i], keys_[i], extra_[i]);
    n_ = 0;
  }

private:
  static constexpr std::size_t kSize = 16;
  ClauseRegistry &registry_;
  Add add_;
  LitVector lits_[kSize];
  std::uint64_t keys_[kSize];
  Extra extra_[kSize];
  std::size_t n_ = 0;
};

// Adds the clause of prepared literals (ClauseRegistry::prepare_clause) to
// the set; fresh is set when it was not yet a member.
inline BasicClause *insert_prepared(BasicClauseSet &clset,
                                    const LitVector &lits, std::uint64_t key,
                                    bool &fresh) {
  std::size_t before = clset.size();
  BasicClause *c =
      clset.insert_clause(clset.registry->create_prepared(lits, key));
  fresh = clset.size() != before;
  return c;
}

// Adds w to the clause's weight, capped at the top weight; a clause that is
// already hard stays as it is.
inline void add_weight(BasicClauseSet &clset, BasicClause *c, long long w) {
  if (c->weight < clset.top_weight)
    c->weight = FMTUtils::add_capped(c->weight, w, clset.top_weight);
}

} // namespace dimacs
