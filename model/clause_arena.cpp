#include "model/clause_arena.hpp"

#include <new>

#include "model/huge_page_alloc.hpp"

#include <sanitizer/asan_interface.h>

// Under AddressSanitizer, free blocks and the unused rest of a chunk are
// poisoned, so that a clause used after its release is still reported.

void *ClauseArena::allocate(std::size_t bytes) {
  if (bytes > kMaxSmall) {
    LargeBlock *b =
        static_cast<LargeBlock *>(::operator new(sizeof(LargeBlock) + bytes));
    b->prev = &large_;
    b->next = large_.next;
    large_.next->prev = b;
    large_.next = b;
    return b + 1;
  }
  FreeBlock *&head = free_[bytes / kAlign];
  if (!head)
    return cut(bytes);
  FreeBlock *b = head;
  ASAN_UNPOISON_MEMORY_REGION(b, bytes);
  head = b->next;
  return b;
}

void ClauseArena::release(void *p, std::size_t bytes) {
  if (bytes > kMaxSmall) {
    LargeBlock *b = static_cast<LargeBlock *>(p) - 1;
    b->prev->next = b->next;
    b->next->prev = b->prev;
    ::operator delete(b);
    return;
  }
  FreeBlock *&head = free_[bytes / kAlign];
  FreeBlock *b = static_cast<FreeBlock *>(p);
  b->next = head;
  head = b;
  ASAN_POISON_MEMORY_REGION(p, bytes);
}

void *ClauseArena::cut(std::size_t bytes) {
  if (static_cast<std::size_t>(end_ - next_) < bytes) {
    // The rest of the old chunk, smaller than this block, stays unused.
    next_ = HugePageAllocator<char>().allocate(chunk_size_);
    end_ = next_ + chunk_size_;
    chunks_.push_back(next_);
    ASAN_POISON_MEMORY_REGION(next_, chunk_size_);
    if (chunk_size_ < kMaxChunk)
      chunk_size_ *= 2;
  }
  void *p = next_;
  next_ += bytes;
  ASAN_UNPOISON_MEMORY_REGION(p, bytes);
  return p;
}
