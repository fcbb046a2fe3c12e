// kestrane [ <option> ... ] <input>: solves one MaxSAT problem file.
#include <malloc.h>

#include "driver/startup.hpp"

int main(int argc, char **argv) {
  // The one-shot SAT calls build a whole engine and free it again, many
  // times a run, while the clause model takes its memory in large blocks.
  // Freed memory stays in the process (the heap is not trimmed, large
  // blocks get no mapping of their own), so that the next engine does not
  // fault it in again page by page.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  return kestrane_main(argc, argv);
}
