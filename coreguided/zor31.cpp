#include "coreguided/zor31.hpp"

#include "model/runtime_msgs.hpp"

long long ZOR31::solve() { Abort("Algorithm zor3.1 not yet implemented"); }
