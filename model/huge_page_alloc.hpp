// An allocator for the large blocks of the clause model (the registry's
// table, the clause arena's chunks): blocks of 2 MiB and more are aligned
// to 2 MiB and offered to the kernel for transparent huge pages. A random
// probe into a large table then costs one cache miss instead of a cache
// miss and a page-table walk, and filling the model takes one page fault
// per 2 MiB instead of one per 4 KiB.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

template <class T> struct HugePageAllocator {
  using value_type = T;
  static constexpr std::size_t kHuge = std::size_t(1) << 21;

  HugePageAllocator() = default;
  template <class U> HugePageAllocator(const HugePageAllocator<U> &) {}

  T *allocate(std::size_t n) {
    std::size_t bytes = n * sizeof(T);
    if (bytes < kHuge)
      return static_cast<T *>(::operator new(bytes));
    bytes = (bytes + kHuge - 1) / kHuge * kHuge;
    void *p = std::aligned_alloc(kHuge, bytes);
    if (!p) {
      // Out of memory: the program's new-handler reports it and ends the
      // run, as for any other allocation.
      if (std::new_handler h = std::get_new_handler())
        h();
      throw std::bad_alloc();
    }
    madvise(p, bytes, MADV_HUGEPAGE);
    return static_cast<T *>(p);
  }
  void deallocate(T *p, std::size_t n) {
    if (n * sizeof(T) < kHuge)
      ::operator delete(p);
    else
      std::free(p);
  }
  template <class U> bool operator==(const HugePageAllocator<U> &) const {
    return true;
  }
  template <class U> bool operator!=(const HugePageAllocator<U> &) const {
    return false;
  }
};
