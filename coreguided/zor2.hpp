// ZOR2: an algorithm code that the solver factory builds and binds like any
// other, although no algorithm stands behind it yet: its solve ends the run
// with an error. Only a release code that no option text names selects it.
#pragma once

#include "framework/mxsat_solver.hpp"

class ZOR2 : public UnsatMaxSATSolver {
public:
  // Never returns: " ERROR: Algorithm zor2.0 not yet implemented", status 3.
  long long solve() override;
};
