#include "encodings/card_common.hpp"

BasicClause *MxClSet::create_clause(std::vector<long long> &lits) {
  BasicClause *c = set->create_clause(lits);
  created->push_back(c);
  return c;
}
