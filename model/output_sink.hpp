// How the standard-output writer writes to a descriptor: what kind of
// sink it is, decided once from what the descriptor is, and one write
// step to a sink of each kind. When and how long to wait for a reader is
// the caller's rule, passed in as a SinkWait.
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
  // be a new terminal, or one that cannot be opened anew as the same
  // terminal) or another character device: poll, then a blocking write
  // that a timer interrupts.
  Guarded,
};

// A descriptor as the writer writes it. Standard output's lives as long
// as the process and a handler may change it amid a main-code write (a
// Direct sink that stalls after all), so its fields are read anew each
// time.
struct Sink {
  volatile std::sig_atomic_t fd = -1;
  volatile SinkKind kind = SinkKind::Undecided;
  // A socket's bytes not yet read, when it last took nothing (-1: not
  // known).
  volatile std::sig_atomic_t queued = -1;
};

// What a wait for a descriptor came to.
enum class Waited {
  Ready,       // it takes bytes, reports an error, or a retry is due
  Interrupted, // a handler ran: the caller looks at what it writes again
  GaveUp,      // the caller's rule gave up on the reader
  Failed,      // poll failed (errno)
};

// The caller's rule for waiting on a reader.
class SinkWait {
public:
  // Waits until fd takes bytes; with retry, at most kRetryMs (a terminal
  // or a socket, which may have room that poll does not report).
  virtual Waited wait(int fd, bool retry) const = 0;
  // The reader took bytes though the sink took none yet (a socket's
  // queue got shorter): a stall counts anew.
  virtual void reader_took() const = 0;

protected:
  ~SinkWait() = default;
};

// What one write step came to.
struct Step {
  enum class Is {
    Wrote,  // bytes went out
    Again,  // none yet: look again (a handler may have run meanwhile)
    GaveUp, // the wait gave up, or the run stopped
    Failed, // the descriptor failed, with error
  };
  Is is;
  std::size_t bytes;
  int error;

  static Step wrote(std::size_t n) { return {Is::Wrote, n, 0}; }
  static Step again() { return {Is::Again, 0, 0}; }
  static Step gave_up() { return {Is::GaveUp, 0, 0}; }
  static Step failed(int error) { return {Is::Failed, 0, error}; }
  // After a wait that did not find the descriptor ready.
  static Step after(Waited waited);
};

// The sink for descriptor fd. Async-signal-safe.
Sink decide_sink(int fd);

// Sets up the timer that interrupts a Guarded sink's blocking writes, once
// (main code, when standard output is routed, so that no handler has to).
// Its signal is let in everywhere from then on: the timer runs only while
// such a write is under way, and the signal's handler does nothing.
void set_up_write_guard();

// Takes the write guard's signal out of set, a mask about to be blocked:
// a writer that holds every other signal still gets its ticks.
void let_write_guard_in(sigset_t &set);

// One write of at most one piece of the n bytes at s to sink, waiting as
// w says where the sink needs it. On a sink that can stall a piece ends
// after a whole item (see piece_length). A Direct sink that asks to wait
// becomes a PollFirst one.
Step write_step(Sink &sink, const char *s, std::size_t n, const SinkWait &w);
