// Soft-CNF problems in "p scnf nvars nclauses [top]", clause lines "group
// lits 0": the group number is also the clause's weight, and the set's group
// table lists the clauses of each group.
#include "formats/dimacs_common.hpp"
#include "formats/dimacs_readers.hpp"

void parse_scnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset) {
  LitVector lits;
  long long maxvar = 1;
  // The scnf header's line end is a line feed only.
  auto header = [&] {
    dimacs::read_weighted_header(in, imgr, clset, "scnf", false);
  };
  dimacs::read_lines(in, header, [&] {
    long long g = FMTUtils::parseWeight(in);
    dimacs::read_clause_lits(in, lits, maxvar);
    clset.set_cl_group(clset.create_clause(lits), g);
  });
  imgr.top_id += maxvar;
}
