// kestrane [ <option> ... ] <input>: solves one MaxSAT problem file.
#include <malloc.h>

#include "driver/startup.hpp"

int main(int argc, char **argv) {
  // The one-shot SAT calls build a whole engine and free it again, many
  // times a run, while the clause model takes its memory in large blocks.
  // Blocks up to 4 MiB come from the heap and up to 64 MiB of freed heap
  // stay in the process, so that the next engine does not fault its pages
  // in again one by one; larger blocks keep mappings of their own, which
  // grow in place.
  mallopt(M_MMAP_THRESHOLD, 4 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  return kestrane_main(argc, argv);
}
