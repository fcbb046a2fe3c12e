// Memory for clauses: small blocks are cut from large chunks and recycled
// through one free list per size, so creating a clause costs no call into
// the general allocator and no per-block bookkeeping. Blocks too large for
// a chunk come from the general allocator. Chunks of 2 MiB and more sit on
// huge pages, which spares most page faults while a large file is read.
// Chunks are never returned, not even when the arena is destroyed: the
// clauses cut from them may outlive it, as the registry that owns the arena
// promises.
#pragma once

#include <cstddef>
#include <vector>

class ClauseArena {
public:
  // Block sizes are multiples of kAlign.
  static constexpr std::size_t kAlign = 8;

  ClauseArena() = default;
  ClauseArena(const ClauseArena &) = delete;
  ClauseArena &operator=(const ClauseArena &) = delete;

  // A block of bytes (a multiple of kAlign), aligned to kAlign.
  void *allocate(std::size_t bytes);
  // Returns a block that allocate(bytes) handed out.
  void release(void *p, std::size_t bytes);

private:
  // Blocks up to this size are cut from chunks.
  static constexpr std::size_t kMaxSmall = 512;
  static constexpr std::size_t kFirstChunk = 1 << 16;
  static constexpr std::size_t kMaxChunk = 1 << 23;
  void *cut(std::size_t bytes);

  struct FreeBlock {
    FreeBlock *next;
  };
  // A block from the general allocator, listed so that it stays reachable
  // for leak checkers: the registry keeps clause addresses in a form they
  // do not read.
  struct alignas(16) LargeBlock {
    LargeBlock *prev, *next;
  };
  LargeBlock large_ = {&large_, &large_}; // list head
  FreeBlock *free_[kMaxSmall / kAlign + 1] = {};
  char *next_ = nullptr; // unused rest of the current chunk
  char *end_ = nullptr;
  std::size_t chunk_size_ = kFirstChunk;
  // Every chunk, so that a chunk of free blocks stays reachable for leak
  // checkers too.
  std::vector<char *> chunks_;
};
