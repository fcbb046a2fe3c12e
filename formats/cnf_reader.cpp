// Plain MaxSAT in DIMACS "p cnf": every clause is soft with weight 1, a
// repeated clause adds 1 per occurrence, and each clause's group is its own
// identifier. Clause identifiers are kept at or above the clause's position
// in the file.
#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

void parse_cnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  long long maxvar = 1;
  long long k = 0; // clauses read, repeats included
  auto add = [&clset](const LitVector &lits, std::uint64_t key,
                      long long line) {
    ClauseIdManager &ids = ClauseIdManager::get();
    if (ids.next_id < line)
      ids.next_id = line;
    bool fresh;
    BasicClause *c = dimacs::insert_prepared(clset, lits, key, fresh);
    if (!fresh)
      dimacs::add_weight(clset, c, 1);
    c->group = c->id;
  };
  dimacs::ClauseBatch<long long, decltype(add)> batch(clset, add);
  dimacs::read_lines(
      in,
      [&] {
        // Only the variable count right after the format word is taken;
        // the rest of the header line is skipped whatever it holds.
        dimacs::read_header_word(in);
        FMTUtils::skipBlanks(in);
        long long n = 0;
        for (; FMTUtils::is_digit(*in) && n <= FMTUtils::kMaxVariable; ++in)
          n = n * 10 + (*in - '0');
        dimacs::declare_vars(imgr, n);
        FMTUtils::skipLine(in);
      },
      [&] {
        dimacs::read_clause_lits(in, batch.next(), maxvar);
        batch.push(++k);
      });
  batch.flush();
  imgr.top_id += maxvar;
}
