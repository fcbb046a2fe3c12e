// Reader of weighted Boolean optimisation files (WBO): hard and weighted
// soft pseudo-Boolean constraints, encoded into clauses with the given
// cardinality and pseudo-Boolean encodings. read_input_file calls it for the
// format word "wbo" (file names ending ".wbo") with the set's default weight
// 0, on the file from its first byte, and returns the weighted problem type.
//
// This build has no WBO reader yet: the function ends the run with an
// "unsupported" message. Replace wbo_reader.cpp with the real reader.
#pragma once

#include "formats/stream_buffer.hpp"
#include "model/basic_clset.hpp"
#include "model/id_manager.hpp"
#include "model/zor_config.hpp"

// How a soft WBO constraint becomes clauses: a group of clauses carrying its
// weight (group MaxSAT), or hard clauses lifted by one weighted blocking
// unit clause (the SAT10 encoding). Chosen from ZORConfig::wbo_encoding.
enum class Wbo_group_encoding : int { Groups = 0xFC01, SAT10 = 0xFC02 };

void parse_wbo_file(StreamBuffer &in, IDManager &imgr, BasicClauseSet &clset,
                    Card_CNF_Encodings cenc, PB_CNF_Encodings pbenc,
                    Wbo_group_encoding wenc);
