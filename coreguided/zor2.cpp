#include "coreguided/zor2.hpp"

#include "model/runtime_msgs.hpp"

long long ZOR2::solve() { Abort("Algorithm zor2.0 not yet implemented"); }
