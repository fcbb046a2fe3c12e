// Small helpers of the engine's unit tests: adding a whole clause through
// the literal-by-literal interface, and capturing what a writer prints.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "sat/tern.hpp"

namespace engine_calls {

inline void add_clause(std::initializer_list<long long> lits) {
  for (long long l : lits)
    tern_add(l);
  tern_add(0);
}

// Runs fn on an in-memory stream and returns what it wrote.
inline std::string capture(void (*fn)(FILE *)) {
  char *buf = nullptr;
  size_t len = 0;
  FILE *f = open_memstream(&buf, &len);
  fn(f);
  fclose(f);
  std::string s(buf, len);
  free(buf);
  return s;
}

} // namespace engine_calls
