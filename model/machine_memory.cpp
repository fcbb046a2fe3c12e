#include "model/machine_memory.hpp"

#include <cmath>
#include <initializer_list>
#include <sys/resource.h>
#include <unistd.h>

double machine_memory_bytes() {
  static const double bytes = [] {
    long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    double mem = pages > 0 && size > 0
                     ? static_cast<double>(pages) * static_cast<double>(size)
                     : HUGE_VAL;
    for (int res : {RLIMIT_AS, RLIMIT_DATA}) {
      struct rlimit lim;
      if (getrlimit(res, &lim) == 0 && lim.rlim_cur != RLIM_INFINITY &&
          static_cast<double>(lim.rlim_cur) < mem)
        mem = static_cast<double>(lim.rlim_cur);
    }
    return mem;
  }();
  return bytes;
}
