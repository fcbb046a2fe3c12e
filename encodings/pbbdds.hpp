// Holder of the BDD pseudo-Boolean encoding (pseudo-Boolean code 1): the
// constraints given between two finalisations are handed, as one batch, to
// the pseudo-Boolean translator through its bridge PbCons; the translated
// clauses come back into the caller's set, all hard, at finalize. Nothing
// reaches any clause set before then.
#pragma once

#include <vector>

#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"

class PbCons; // the translator bridge of one batch

struct PBBDDs {
  static PbCons *translator; // the current batch, null when none

  // Opens a new batch (a new translator); a batch still open is discarded
  // unconverted.
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
  // imgr) and closes it; nothing when no batch is open. Unsatisfiable
  // constraints leave the empty clause in clset.
  static void finalize(IDManager &imgr, BasicClauseSet &clset);
};
