// The door through which the system adds a cardinality constraint (at most,
// at least or exactly k of a list of literals) to a clause set, the
// encoding chosen by a Card_CNF_Encodings code. At least k is always
// encoded as at most n-k of the negated literals by the BDD encoding.
#pragma once

#include <vector>

#include "encodings/amo_encodings.hpp"
#include "encodings/bddequiv.hpp"
#include "encodings/card_common.hpp"
#include "encodings/card_networks.hpp"
#include "encodings/seqcounter.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

// At most k of lits. k < 0 cannot be met: the empty clause.
template <class IDM, class ClSet, class LV>
void cnf_encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, long long k,
                        Card_CNF_Encodings enc) {
  if (k < 0) {
    enc_detail::add_empty_clause(cs);
    return;
  }
  switch (enc) {
  case Card_CNF_Encodings::Pairwise:
    if (k != 1)
      tool_abort("Unimplemented exponential CNF encoding option");
    pairwise_encode_atmost1(imgr, cs, lits);
    break;
  case Card_CNF_Encodings::BDD:
    BDDEquiv::encode_atmostN(imgr, cs, lits, k);
    break;
  case Card_CNF_Encodings::SeqCounter:
    if (k == 1)
      seqcounter_encode_atmost1(imgr, cs, lits);
    else
      seqcounter_encode_atmostN(imgr, cs, lits, k);
    break;
  case Card_CNF_Encodings::SortNetworks:
    SortingNetworks::encode_atmostN(imgr, cs, lits, k);
    break;
  case Card_CNF_Encodings::CardNetworks:
    CardinalityNetworks::encode_atmostN(imgr, cs, lits, k);
    break;
  case Card_CNF_Encodings::Bitwise:
    if (k != 1)
      tool_abort("Unavailable bitwise CNF encoding option");
    bitwise_encode_atmost1(imgr, cs, lits);
    break;
  case Card_CNF_Encodings::Ladder:
    if (k != 1)
      tool_abort("Unavailable ladder CNF encoding option");
    ladder_encode_atmost1(imgr, cs, lits);
    break;
  default:
    tool_abort("Unimplemented CNF encoding option");
  }
}

// At least k of lits: at most n-k of the negated literals, always by the
// BDD encoding (enc is not used). k <= 0 adds nothing, k > n the empty
// clause. A k so low that n-k passes 64 bits still holds always.
template <class IDM, class ClSet, class LV>
void cnf_encode_atleastN(IDM &imgr, ClSet &cs, LV &lits, long long k,
                         Card_CNF_Encodings /*enc*/) {
  std::vector<long long> neg;
  neg.reserve(lits.size());
  for (long long l : lits)
    neg.push_back(-l);
  long long n = static_cast<long long>(lits.size());
  long long bound;
  if (__builtin_sub_overflow(n, k, &bound))
    bound = enc_arith::kMax;
  cnf_encode_atmostN(imgr, cs, neg, bound, Card_CNF_Encodings::BDD);
}

// Exactly k of lits: the ladder's exactly-one for the ladder code (k must
// be 1), otherwise at least k and then at most k.
template <class IDM, class ClSet, class LV>
void cnf_encode_equalsN(IDM &imgr, ClSet &cs, LV &lits, long long k,
                        Card_CNF_Encodings enc) {
  if (enc == Card_CNF_Encodings::Ladder) {
    if (k != 1)
      tool_abort("Unavailable ladder CNF encoding option");
    ladder_encode_equals1(imgr, cs, lits);
    return;
  }
  cnf_encode_atleastN(imgr, cs, lits, k, enc);
  cnf_encode_atmostN(imgr, cs, lits, k, enc);
}
