// The door through which the system adds a weighted constraint (sum of
// weights[i] over the true lits[i] at most, at least or exactly k) to a
// clause set, the encoding chosen by a PB_CNF_Encodings code held in the
// process-wide currentEnc. Encodings 1 (BDD) and 2 (sorting networks) keep
// state across the constraints of a batch, so every caller follows one
// protocol: initializePB(code), any number of constraints, finalizePB.
// No entry changes the caller's vectors or k.
#pragma once

#include <vector>

#include "encodings/card_common.hpp"
#include "encodings/enc_arith.hpp"
#include "encodings/pbbdds.hpp"
#include "encodings/pbseqcounter.hpp"
#include "encodings/pbsort.hpp"
#include "encodings/warnersenc.hpp"
#include "encodings/warnersoptenc.hpp"
#include "model/runtime_msgs.hpp"
#include "model/zor_config.hpp"

extern int currentEnc; // the encoding of the entries without a code; 1 first

// Makes enc current and opens its batch (1: a new translator; 2: the fixed
// true and false variables forgotten; 4 and 5: adders with equivalences or
// implications). Unknown codes end the run (exit status 5).
void initializePB(PB_CNF_Encodings enc);

namespace enc_detail {
[[noreturn]] inline void pb_code_unknown() {
  tool_abort("Unimplemented CNF PB encoding option");
}
// The encodings take one weight per literal, none of them negative (the
// readers make every coefficient positive; a negative one is a caller's
// fault that would otherwise wrap the encoders' bound arithmetic).
template <class LV, class WV> void check_pb_sizes(const LV &lits, const WV &weights) {
  if (lits.size() != weights.size())
    tool_abort("Pseudo-Boolean constraint with unequal numbers of literals "
               "and weights");
  for (long long w : weights)
    if (w < 0)
      tool_abort("Pseudo-Boolean constraint with a negative weight");
}
// A literal of weight 0 counts for no sum; the encoders' shortcuts (no
// literal true for k = 0, not all true for k = sum - 1) assume positive
// weights, so such literals are left out. True when any was.
template <class LV, class WV>
bool drop_zero_weights(const LV &lits, const WV &weights,
                       std::vector<long long> &l, std::vector<long long> &w) {
  bool any = false;
  for (long long x : weights)
    any = any || x == 0;
  if (!any)
    return false;
  for (std::size_t i = 0; i < lits.size(); ++i)
    if (weights[i] != 0) {
      l.push_back(lits[i]);
      w.push_back(weights[i]);
    }
  return true;
}
} // namespace enc_detail

// At most k on the current encoding; k < 0 cannot be met (empty clause).
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                        const long long &k) {
  enc_detail::check_pb_sizes(lits, weights);
  std::vector<long long> nl, nw;
  if (enc_detail::drop_zero_weights(lits, weights, nl, nw))
    return cnf_encode_atmostN(imgr, cs, nl, nw, k);
  if (k < 0) {
    enc_detail::add_empty_clause(cs);
    return;
  }
  switch (currentEnc) {
  case 1:
    PBBDDs::cnf_encode_atmostN(lits, weights, k);
    break;
  case 2:
    PBSortingNetworks::encode_atmostN(imgr, cs, weights, lits, k);
    break;
  case 3:
    WarnersEnc::encode_atmostN(imgr, cs, lits, weights, k);
    break;
  case 4:
  case 5:
    WarnersOptEnc::encode_atmostN(imgr, cs, lits, weights, k);
    break;
  case 6:
    PBSequentialWeightedCounters::encode_atmostN(imgr, cs, lits, weights, k);
    break;
  default:
    enc_detail::pb_code_unknown();
  }
}

// At least k on the current encoding; k above the sum of the weights cannot
// be met (empty clause). Encodings 3 to 6 take at most sum - k of the
// negated literals.
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_atleastN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                         const long long &k) {
  enc_detail::check_pb_sizes(lits, weights);
  std::vector<long long> nl, nw;
  if (enc_detail::drop_zero_weights(lits, weights, nl, nw))
    return cnf_encode_atleastN(imgr, cs, nl, nw, k);
  enc_arith::Wide s = enc_arith::wide_sum(weights);
  if (k > s) {
    enc_detail::add_empty_clause(cs);
    return;
  }
  if (currentEnc == 1) {
    PBBDDs::cnf_encode_atleastN(lits, weights, k);
    return;
  }
  if (currentEnc == 2) {
    PBSortingNetworks::encode_atleastN(imgr, cs, weights, lits, k);
    return;
  }
  enc_arith::Wide bound = s - k;
  if (bound > enc_arith::kMax) {
    if (k <= 0) // at least 0 or less always holds
      return;
    enc_arith::too_large();
  }
  std::vector<long long> neg;
  neg.reserve(lits.size());
  for (long long l : lits)
    neg.push_back(-l);
  long long b = static_cast<long long>(bound);
  cnf_encode_atmostN(imgr, cs, neg, weights, b);
}

// Exactly k: at least k, then at most k (the BDD encoding stores it as one).
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_equalsN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                        const long long &k) {
  if (currentEnc == 1) {
    enc_detail::check_pb_sizes(lits, weights);
    std::vector<long long> nl, nw;
    if (enc_detail::drop_zero_weights(lits, weights, nl, nw))
      return cnf_encode_equalsN(imgr, cs, nl, nw, k);
    PBBDDs::cnf_encode_equalsN(lits, weights, k);
    return;
  }
  cnf_encode_atleastN(imgr, cs, lits, weights, k);
  cnf_encode_atmostN(imgr, cs, lits, weights, k);
}

// Closes the batch of the current encoding: the BDD translator's clauses go
// into cs; the sorting networks' fixed variables are released.
template <class IDM, class ClSet> void finalizePB(IDM &imgr, ClSet &cs) {
  if (currentEnc == 1)
    PBBDDs::finalize(imgr, cs);
  else if (currentEnc == 2)
    PBSortingNetworks::finalize();
}

// Self-contained forms: initializePB(enc), the constraint, finalizePB.
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_atmostN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                        const long long &k, PB_CNF_Encodings enc) {
  initializePB(enc);
  cnf_encode_atmostN(imgr, cs, lits, weights, k);
  finalizePB(imgr, cs);
}
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_atleastN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                         const long long &k, PB_CNF_Encodings enc) {
  initializePB(enc);
  cnf_encode_atleastN(imgr, cs, lits, weights, k);
  finalizePB(imgr, cs);
}
template <class IDM, class ClSet, class LV, class WV>
void cnf_encode_equalsN(IDM &imgr, ClSet &cs, LV &lits, WV &weights,
                        const long long &k, PB_CNF_Encodings enc) {
  initializePB(enc);
  cnf_encode_equalsN(imgr, cs, lits, weights, k);
  finalizePB(imgr, cs);
}
