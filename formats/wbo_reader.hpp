// Reader of weighted Boolean optimisation files (WBO): hard and weighted
// soft pseudo-Boolean constraints, encoded into clauses with the given
// cardinality and pseudo-Boolean encodings. read_input_file calls it for the
// format word "wbo" (file names ending ".wbo") with the set's default weight
// 0, on the file from its first byte, and returns the weighted problem type.
//
// Syntax: "*" comment lines and blank lines anywhere; the line
// "soft: <top> ;" ("soft: ;" when no top cost is given); then hard
// constraints as in OPB and soft ones prefixed by "[<weight>]". A top cost
// t means that assignments costing t or more are not solutions: soft
// weights of t or more are hard, and the SAT10 encoding adds the hard
// constraint that the falsified soft weights sum to at most t - 1. Without
// a top cost, the top weight is 1 above the sum of the soft weights.
#pragma once

#include <string>

#include "formats/opb_reader.hpp"
#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/clause_snapshot.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

// How a soft WBO constraint becomes clauses: a group of clauses carrying its
// weight (group MaxSAT), or hard clauses lifted by one weighted blocking
// unit clause (the SAT10 encoding). Chosen from ZORConfig::wbo_encoding.
enum class Wbo_group_encoding : int { Groups = 0xFC01, SAT10 = 0xFC02 };

void parse_wbo_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset,
                    Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc,
                    Wbo_group_encoding wenc);

// The soft constraints of the WBO file read last, as read, on which models
// are costed: parse_wbo_file records them (those of weight 0 or at the top
// cost, which cost nothing, left out), and this hands them over once,
// leaving nullopt until the next WBO file is read.
std::optional<std::vector<ClauseSnapshot::SoftConstraint>>
take_wbo_soft_constraints();

// Blocking variables of the SAT10-encoded soft constraints and their
// weights, collected for the top-cost constraint.
struct WboSoftBlocks {
  std::vector<long long> lits;
  std::vector<long long> weights;
};

// Reads one constraint from its first term up to and including its ";" and
// encodes it: hard (group 1, weight at the top) or soft with weight w and
// group g. Under the SAT10 encoding a soft constraint C becomes hard
// clauses of "C or b" and the soft unit clause -b of weight w; its
// blocking literal b goes to blocks. A soft constraint that always holds,
// or of weight 0, encodes nothing. A soft constraint below the top weight
// is recorded for take_wbo_soft_constraints.
void read_wbo_constraint(StreamBuffer &in, IDManager &imgr,
                         BasicClauseSet &clset, pb_reading::NameMap &names,
                         pb_reading::ClauseSink &sink, long long group,
                         long long weight, Card_CNF_Encodings cenc,
                         PB_CNF_Encodings pbenc, Wbo_group_encoding wenc,
                         WboSoftBlocks &blocks);
