// How the standard-output writer writes to a descriptor: what kind of
// sink it is, decided once from what the descriptor is, and the two ways
// of writing that need more than write(2): a blocking write that a timer
// interrupts, and a socket whose reader's takes show only in its queue.
#pragma once

#include <csignal>
#include <cstddef>
#include <sys/types.h>

// A terminal or a socket can have room again without poll saying so (a
// terminal's buffers are moved on by the kernel's own work; a socket is
// reported writable only once most of its queue is read): a writer
// waiting for one tries again this often. A blocking write is interrupted
// this often too.
constexpr int kRetryMs = 100;

// How the writer writes to a descriptor. Decided once, when standard
// output is routed (or first written), so that a flushed line costs the
// write and the two mask changes around it, and a poll only where a write
// could otherwise block.
enum class SinkKind : std::sig_atomic_t {
  Undecided,
  // A regular file, a block device or a memory device (/dev/null,
  // /dev/full): written at once, never waited for.
  Direct,
  // A pipe or FIFO: poll until it takes bytes, then write at most
  // PIPE_BUF bytes, which it takes whole.
  PollFirst,
  // A terminal, through a non-blocking descriptor of its own (opened anew,
  // so that the status flags the terminal's other users share stay as
  // they are): a blocking write to a terminal that nobody reads would stop
  // the process with every signal held, however little it writes. Written
  // first, waited for only when it takes nothing.
  NonBlocking,
  // A socket: sent without waiting, waited for only when it takes nothing.
  Socket,
  // A terminal written as it is (its master side, which opened anew would
  // be a new terminal, or one that cannot be opened anew) or another
  // character device: poll, then a blocking write that a timer interrupts.
  Guarded,
};

// A descriptor as the writer writes it.
struct Sink {
  int fd;
  SinkKind kind;
  // A socket's bytes not yet read, when it last took nothing (-1: not
  // known).
  int queued = -1;
};

// The sink for descriptor fd. Async-signal-safe but for the set-up of the
// timer that interrupts a Guarded sink's writes, which the main code does
// when it routes standard output.
Sink decide_sink(int fd);

// write(2) to a Guarded sink, interrupted every kRetryMs: it returns what
// went out before the tick, or fails with EINTR when nothing did.
// Async-signal-safe.
ssize_t guarded_write(int fd, const char *s, std::size_t n);

// Whether the reader took bytes from a socket since it last took nothing:
// a socket is reported writable, and often takes a piece, only once more
// of its queue is read, so what its reader takes shows as the queue
// getting shorter. Async-signal-safe.
bool socket_read_since(Sink &sink);
