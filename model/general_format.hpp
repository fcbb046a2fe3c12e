// Six-digit general formatting of a double, exact and async-signal-safe.
#pragma once

#include <cstddef>

// Formats v as a default-formatted std::ostream does (%g: the shorter of
// fixed and exponent notation, 6 significant digits rounded half to even on
// the exact binary value, trailing zeros dropped) into out; returns the
// length. Async-signal-safe.
// requires: out holds at least 32 characters
std::size_t format_general(double v, char *out);
