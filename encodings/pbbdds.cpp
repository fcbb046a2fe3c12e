#include "encodings/pbbdds.hpp"

#include "encodings/pbcons.hpp"
#include "pbtranslator/pb_solver.hpp"

PbCons *PBBDDs::translator = nullptr;

namespace {

PbCons &current_batch() {
  if (PBBDDs::translator == nullptr)
    PBBDDs::initialize();
  return *PBBDDs::translator;
}

} // namespace

void PBBDDs::initialize() {
  delete translator;
  translator = new PbCons();
}

void PBBDDs::cnf_encode_atmostN(const std::vector<long long> &lits,
                                const std::vector<long long> &weights,
                                const long long &k) {
  current_batch().add_pb_constraint(lits, weights, k, pb_inequality::AtMost);
}

void PBBDDs::cnf_encode_equalsN(const std::vector<long long> &lits,
                                const std::vector<long long> &weights,
                                const long long &k) {
  current_batch().add_pb_constraint(lits, weights, k, pb_inequality::Equal);
}

void PBBDDs::cnf_encode_atleastN(const std::vector<long long> &lits,
                                 const std::vector<long long> &weights,
                                 const long long &k) {
  current_batch().add_pb_constraint(lits, weights, k, pb_inequality::AtLeast);
}

void PBBDDs::finalize(IDManager &imgr, BasicClauseSet &clset) {
  if (translator == nullptr)
    return;
  translator->transform_pb_constraints(imgr, clset, ct_BDDs);
  delete translator;
  translator = nullptr;
}
