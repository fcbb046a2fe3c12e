// Holder of the BDD pseudo-Boolean encoding (pseudo-Boolean code 1): the
// constraints given between two finalisations are handed, as one batch, to
// the pseudo-Boolean translator, whose clauses come back into the caller's
// set at finalize.
//
// The translator bridge (PbCons) is not part of this build yet: the three
// encoder entries end the run with "BDD pseudo-Boolean encoding not
// available" (tool_abort, exit status 5) rather than encode nothing, and
// initialize and finalize have no batch to open or close. The bridge fills
// in pbbdds.cpp; the dispatch needs no change.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class PbCons; // the translator bridge of one batch

struct PBBDDs {
  static PbCons *translator; // the current batch, null when none

  // Opens a new batch (a new translator).
  static void initialize();
  // Store sum of weights[i] * lits[i] (at most, exactly, at least) k in the
  // current batch, opening one when there is none.
  static void cnf_encode_atmostN(const std::vector<long long> &lits,
                                 const std::vector<long long> &weights,
                                 const long long &k);
  static void cnf_encode_equalsN(const std::vector<long long> &lits,
                                 const std::vector<long long> &weights,
                                 const long long &k);
  static void cnf_encode_atleastN(const std::vector<long long> &lits,
                                  const std::vector<long long> &weights,
                                  const long long &k);
  // Translates the batch into hard clauses of clset (fresh variables from
  // imgr) and closes it; nothing when no batch is open.
  static void finalize(IDManager &imgr, BasicClauseSet &clset);
};

// Ends the run: this build has no BDD pseudo-Boolean encoding.
[[noreturn]] void pbbdd_encoding_unavailable();
