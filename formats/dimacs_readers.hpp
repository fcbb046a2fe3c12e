// Readers of the DIMACS family. Each reads from the current position of the
// stream to the end of input into the caller's clause set, whose default
// clause type is "default weight" (48) with the format's default weight, and
// raises the identifier manager's top id by the largest variable read (at
// least 1). Repeated clauses are merged into one clause:
// - cnf: every clause soft; each occurrence adds weight 1; the group of a
//   clause is its identifier.
// - pmcnf: "p hard" / "p soft" switch the mode of the following clauses;
//   each soft occurrence adds weight 1; a clause once hard stays hard.
// - wcnf: each occurrence adds its weight, capped at the top weight.
// - gwcnf: "group weight lits 0"; weights add as in wcnf; the top weight
//   becomes at most 1 + the sum of the first weight of each soft group.
// - scnf: "group lits 0"; the group number is the clause's weight.
#pragma once

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

void parse_cnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);
void parse_pmcnf_file(StreamBuffer &in, IDManager &imgr,
                      BasicClauseSet &clset);
void parse_wcnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);
void parse_gwcnf_file(StreamBuffer &in, IDManager &imgr,
                      BasicClauseSet &clset);
void parse_scnf_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset);
