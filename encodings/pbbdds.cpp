#include "encodings/pbbdds.hpp"

#include "model/runtime_msgs.hpp"

PbCons *PBBDDs::translator = nullptr;

void pbbdd_encoding_unavailable() {
  tool_abort("BDD pseudo-Boolean encoding not available");
}

void PBBDDs::initialize() {}

void PBBDDs::cnf_encode_atmostN(const std::vector<long long> &,
                                const std::vector<long long> &,
                                const long long &) {
  pbbdd_encoding_unavailable();
}

void PBBDDs::cnf_encode_equalsN(const std::vector<long long> &,
                                const std::vector<long long> &,
                                const long long &) {
  pbbdd_encoding_unavailable();
}

void PBBDDs::cnf_encode_atleastN(const std::vector<long long> &,
                                 const std::vector<long long> &,
                                 const long long &) {
  pbbdd_encoding_unavailable();
}

void PBBDDs::finalize(IDManager &, BasicClauseSet &) {}
