// Weighted (partial) MaxSAT in "p wcnf nvars nclauses [top]": each clause
// line starts with its weight; a repeated clause accumulates the weights of
// its occurrences up to the top weight. Without a top weight every clause is
// soft: one at the largest weight is marked so on the set (ceiling_soft).
#include <algorithm>

#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

namespace dimacs {
void read_weighted_header(StreamBuffer &in, IDManager &imgr,
                          BasicClauseSet &clset, const char *word,
                          bool cr_ends_line) {
  std::string w = read_header_word(in);
  if (w != word)
    FMTUtils::parse_error("PARSE ERROR! Unexpected int: %s\n", w.c_str());
  clset.ceiling_soft = true; // until a top weight follows
  read_header_numbers(in, cr_ends_line, [&](int k, long long v) {
    if (k == 1)
      declare_vars(imgr, v);
    else if (k == 2 && v > 0) {
      // The header's clause count sizes the tables; a lying header only
      // costs a rehash later, and the cap bounds what it can allocate.
      std::size_t n = static_cast<std::size_t>(std::min(v, 1LL << 24));
      clset.registry->reserve(n);
      clset.reserve(n);
    } else if (k == 3) {
      clset.top_weight = checked_top(v);
      clset.ceiling_soft = false;
    } else if (k == 4)
      FMTUtils::parse_error("PARSE ERROR! Unexpected int: %ld\n",
                            static_cast<long>(v));
  });
}
} // namespace dimacs

void parse_wcnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  long long maxvar = 1;
  auto add = [&clset](const LitVector &lits, std::uint64_t key, long long w) {
    bool fresh;
    BasicClause *c = dimacs::insert_prepared(clset, lits, key, fresh);
    dimacs::add_weight(clset, c, w);
  };
  dimacs::ClauseBatch<long long, decltype(add)> batch(clset, add);
  dimacs::read_lines(
      in,
      [&] {
        batch.flush();
        dimacs::read_weighted_header(in, imgr, clset, "wcnf", true);
      },
      [&] {
        long long w = FMTUtils::parseWeight(in);
        dimacs::read_clause_lits(in, batch.next(), maxvar);
        batch.push(w);
      });
  batch.flush();
  imgr.top_id += maxvar;
}
