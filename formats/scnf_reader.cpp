// Soft-CNF problems in "p scnf nvars nclauses [top]", clause lines "group
// lits 0": the group number is also the clause's weight, and the set's group
// table lists the clauses of each group.
#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

void parse_scnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  long long maxvar = 1;
  auto add = [&clset](const LitVector &lits, std::uint64_t key, long long g) {
    bool fresh;
    clset.set_cl_group(dimacs::insert_prepared(clset, lits, key, fresh), g);
  };
  dimacs::ClauseBatch<long long, decltype(add)> batch(clset, add);
  // The scnf header's line end is a line feed only.
  auto header = [&] {
    batch.flush();
    dimacs::read_weighted_header(in, imgr, clset, "scnf", false);
  };
  dimacs::read_lines(in, header, [&] {
    long long g = FMTUtils::parseWeight(in);
    dimacs::read_clause_lits(in, batch.next(), maxvar);
    batch.push(g);
  });
  batch.flush();
  imgr.top_id += maxvar;
}
