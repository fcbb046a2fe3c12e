// ZOR1 with refutation-based rewriting. Each unsatisfiable core is first
// offered to MaxSAT resolution: the SAT engine's trace of the core goes to
// the external proof checker "./tracecheck", which writes a proof of
// binary resolution steps; when that refutation is read-once (no soft
// clause is used twice), replaying it by MaxSAT resolution moves the core's
// least weight into an empty clause, a lower bound gained without any
// relaxation variable. Any other core (or a checker run that fails) is
// relaxed exactly as ZOR1 relaxes it. A clique-based rewrite of soft units
// runs once before the loop.
#pragma once

#include <vector>

#include "coreguided/zor1.hpp"

class ZOR1_ROR : public ZOR1 {
public:
  // The relaxations run silently here.
  ZOR1_ROR() { show_relaxation_ = false; }

  // The optimum cost, or -1 when the hard clauses are unsatisfiable. Ends
  // the run (status 255) when the working folder has no "tracecheck".
  // requires: init
  long long solve() override;

  // Rewrites the current core away by MaxSAT resolution on its checked
  // refutation, raising lb; false when the core must be relaxed instead
  // (the checker failed, the proof does not verify, the refutation uses
  // hard clauses only or a soft clause twice). The core is then as the
  // replay of the proof's read-once part left it.
  bool transform_formula(BasicClauseSet &cls, IDManager &imgr,
                         std::vector<BasicClause *> &core, long long &lb,
                         BasicClauseSet &aux);
  // Exactly one of rvars (the ladder encoding is not offered here).
  void add_card_constraint(std::vector<long long> &rvars);
};
