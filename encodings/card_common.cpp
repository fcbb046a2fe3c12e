#include "encodings/card_common.hpp"

#include <sys/resource.h>
#include <unistd.h>

enc_arith::Wide enc_detail::machine_memory_bytes() {
  long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
  enc_arith::Wide mem = pages > 0 && page > 0
                            ? static_cast<enc_arith::Wide>(pages) * page
                            : static_cast<enc_arith::Wide>(1) << 100; // unknown
  for (int res : {RLIMIT_AS, RLIMIT_DATA}) {
    struct rlimit lim;
    if (getrlimit(res, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY &&
        static_cast<enc_arith::Wide>(lim.rlim_cur) < mem)
      mem = lim.rlim_cur;
  }
  return mem;
}

void enc_detail::check_memory_budget(enc_arith::Wide vars,
                                     enc_arith::Wide clauses) {
  if (vars * kVarBytes + clauses * kClauseBytes > machine_memory_bytes())
    tool_abort("Encoding needs more memory than the machine has");
}

BasicClause *MxClSet::create_clause(std::vector<long long> &lits) {
  BasicClause *c = set->create_clause(lits);
  created->push_back(c);
  return c;
}
