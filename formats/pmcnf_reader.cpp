// Partial MaxSAT in the "p pmcnf" format: "p hard" and "p soft" lines switch
// the mode of the clauses that follow (soft at the start). Soft clauses
// weigh 1 per occurrence; a clause that was hard once stays hard, so a
// repetition under "p soft" never loses a constraint.
#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

void parse_pmcnf_file(StreamBuffer &in, IDManager &imgr,
                      BasicClauseSet &clset) {
  long long maxvar = 1;
  bool hard = false;
  auto add = [&clset](const LitVector &lits, std::uint64_t key, bool hard) {
    bool fresh;
    BasicClause *c = dimacs::insert_prepared(clset, lits, key, fresh);
    if (hard)
      clset.set_cl_hard(c);
    else if (fresh)
      clset.set_cl_weight(c, 1);
    else if (c->weight < clset.top_weight)
      clset.set_cl_weight(
          c, FMTUtils::add_capped(c->weight, 1, clset.top_weight));
  };
  dimacs::ClauseBatch<bool, decltype(add)> batch(clset, add);
  dimacs::read_lines(
      in,
      [&] {
        batch.flush();
        std::string word = dimacs::read_header_word(in);
        if (word == "hard" || word == "soft") {
          hard = word == "hard";
          ++in; // the line end
        } else if (word == "pmcnf") {
          dimacs::read_header_numbers(in, false, [&](int k, long long v) {
            if (k == 1)
              dimacs::declare_vars(imgr, v);
            else if (k == 3)
              FMTUtils::parse_error("PARSE ERROR! Unexpected int: %d\n",
                                    static_cast<int>(v));
          });
        } else {
          FMTUtils::parse_error("PARSE ERROR! Unexpected format: %s\n",
                                word.c_str());
        }
      },
      [&] {
        dimacs::read_clause_lits(in, batch.next(), maxvar);
        batch.push(hard);
      });
  batch.flush();
  imgr.top_id += maxvar;
}
