#include "encodings/pbenc.hpp"

int currentEnc = 1;

void initializePB(PB_CNF_Encodings enc) {
  currentEnc = static_cast<int>(enc);
  switch (enc) {
  case PB_CNF_Encodings::BDD:
    PBBDDs::initialize();
    break;
  case PB_CNF_Encodings::SortNetworks:
    PBSortingNetworks::initialize();
    break;
  case PB_CNF_Encodings::Warners:
  case PB_CNF_Encodings::SeqWeightedCounters:
    break;
  case PB_CNF_Encodings::WarnersEquiv:
    WarnersOptEnc::use_equiv = true;
    break;
  case PB_CNF_Encodings::WarnersImpl:
    WarnersOptEnc::use_equiv = false;
    break;
  default:
    enc_detail::pb_code_unknown();
  }
}
