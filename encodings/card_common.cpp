#include "encodings/card_common.hpp"

#include "model/machine_memory.hpp"

void enc_detail::check_memory_budget(enc_arith::Wide vars,
                                     enc_arith::Wide clauses) {
  double need = static_cast<double>(vars * kVarBytes + clauses * kClauseBytes);
  if (need > machine_memory_bytes())
    tool_abort("Encoding needs more memory than the machine has");
}

BasicClause *MxClSet::create_clause(std::vector<long long> &lits) {
  BasicClause *c = set->create_clause(lits);
  created->push_back(c);
  return c;
}
