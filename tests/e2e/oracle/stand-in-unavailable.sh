#!/bin/sh
# Stand-in for a solver that is not built yet.
echo "c Unavailable: this algorithm is not built yet"
exit 3
