// Standard output that a signal cannot damage, and an output stream for
// signal handlers.
//
// Every byte the process writes to standard output passes through one
// fixed buffer, the standard-output writer: route_standard_output() sends
// std::cout and C stdio's stdout into it, and the result lines append to it
// directly. The main code appends whole items (a number, a string) and
// writes the buffer out with write(2) while the asynchronous signals are
// held: as the buffer fills, in whole lines (only a line longer than the
// buffer goes out in parts, cut between items), and on an explicit flush,
// everything. So a signal handler can always tell which bytes are out and
// which are not: it writes out the whole lines that the main code appended
// and not yet wrote, drops the line the main code was in the middle of,
// and only then prints its own lines. Every writer claims what it wrote
// before anybody else can look: no byte is written twice and no line is
// glued to a handler's.
//
// A reader that stops reading holds no signal off: the main code waits
// for it with the signals let in, never inside write(2) for long. How
// standard output is written is decided once, when it is routed, from
// what it is then; it must not be replaced after that. A pipe gets at
// most PIPE_BUF bytes once poll says it takes them; a terminal is written
// through a non-blocking descriptor of its own, a socket without waiting,
// both tried again every 100 ms while they take nothing; a terminal that
// cannot be opened anew (its master side too) and any other character
// device but the memory devices are polled, then written with a blocking
// write that a timer interrupts every 100 ms; files and /dev/null are
// written at once.
//
// A run's ending (a signal, the time-out; a signal held by the result
// lines counts from the moment it is seen) writes on as long as the reader
// takes bytes and leaves the rest out once it took none for 2.5 seconds: a
// slow reader gets everything, a stopped one ends the run within 3 seconds
// of its last read. Signals that come within 0.2 seconds of the ending's
// start are part of the one that began it, whatever their kinds (a
// launcher may send its signal twice, or SIGTERM and SIGHUP at once): they
// cut nothing and print nothing. After that, another SIGHUP, SIGINT,
// SIGQUIT or SIGTERM (the same one too) during the ending, or while a
// first one waits for the result lines, stops the run at once: what is
// not out is left out. The time-out's alarm during an ending changes
// nothing. Each piece written to a descriptor that can stall ends after a
// whole item: on a pipe, which takes a piece whole or not at all, what is
// out then ends after one; a terminal or a socket may take part of a
// piece, so there the output can end inside an item. A socket's reader is
// seen by its queue getting shorter: on a TCP connection that happens only
// when the receiver opens its window again, so a slow reader there may
// lose the end of the ending 2.5 seconds after its last visible take. Only
// signals the run itself holds count: one that the launcher left blocked
// cuts nothing (but the alarm, which the run takes as its own; then only
// its own alarm counts, not one sent from outside). Standard output that
// fails for good ends the run with status 3.
//
// SigSafeOut formats into a fixed buffer and hands it to write(2), with no
// allocation, no locks and no stdio state: the handlers use it for their
// own lines, and ResultLines writes the result block through the writer
// with the asynchronous signals held until the whole block is out.
#pragma once

#include <csignal>
#include <cstddef>

// ---- The standard-output writer ---------------------------------------------

// Sends std::cout and C stdio's stdout through the writer and writes the
// writer out at exit. Called once, before anything prints; a second call
// does nothing. Without it std::cout and stdio keep their own buffers,
// which a signal handler cannot see. It also records the signals that the
// launcher left blocked, and sets up the timer that interrupts the
// writer's blocking writes (a terminal that cannot be opened anew).
void route_standard_output();

// Takes sig as the run's own from now on (the time-out's alarm): let in
// even where the launcher left it blocked, one that the launcher left
// pending dropped. Main code only, after route_standard_output().
void take_signal_as_own(int sig);

// Whether the launcher left sig blocked (and the run did not take it as
// its own): such a signal never ends the run, nor prints a line.
bool launcher_blocked(int sig);

// Whether sig, as info tells it, was sent by another process although the
// launcher left it blocked and the run took it as its own: only the run's
// own alarm ends the run, so such a signal is ignored.
bool ignored_outside_signal(int sig, const siginfo_t &info);

// Appends n bytes (main code only, never a handler) as one item, split only
// when longer than the buffer. The writer holds them until stdout_flush(),
// until the buffer is full (then the whole lines go out) or, on a
// terminal, until a line ends; at exit it writes out everything.
void stdout_append(const char *s, std::size_t n);

// Writes out everything appended, the line not yet ended too (main code
// only: std::flush, std::endl and a parse error's message come here).
// Signals are held but while it waits for the reader, so a handler finds
// either all of a write out or none of it.
void stdout_flush();

// For a path that ends the process (a handler that leaves with _exit):
// writes out the whole lines that the main code appended and not yet
// wrote, and what it was writing out on purpose; the line it was in the
// middle of is dropped. When standard output holds the start of a line
// longer than the buffer, that line is written as far as it came. A line
// left open is ended, then the waiting handlers' lines follow. Starts the
// ending: from then on a write waits for the reader at most 2.5 seconds
// from the later of the ending's start and the reader's last take, and
// what cannot go by then is left out; another signal that ends the run
// leaves the rest out at once, but for those that come within 0.2 seconds
// of the ending's start, which are part of it. Async-signal-safe.
void stdout_drain_for_exit();

// For the abort handler: queues line (its text ending in '\n'). When the
// run goes on (an abort sent from outside), it waits at most 0.2 seconds
// for the reader to write out the whole lines of what the main code
// appended, then the queued lines when standard output is at the start of
// a line. Otherwise they wait: the main code writes them after the next
// line end it writes out, or at exit after ending the line; an ending
// writes them after the whole lines. The main code writes from where the
// handler stopped, so nothing comes out twice. When the process ends
// right after the handler (its own abort), the line cannot wait: the
// whole lines go out as stdout_drain_for_exit() writes them, as in an
// ending, then the line.
// requires: line shorter than 256 characters; every queued line the same
// text. Async-signal-safe.
void stdout_line_from_handler(const char *prefix, const char *line,
                              bool process_ends);

// Queues a handler's line without writing anything (see above).
// Async-signal-safe.
void stdout_queue_line(const char *prefix, const char *line);

// When writing standard output failed for good: "ERROR! Could not write
// standard output: <reason>" on standard error (waiting for it at most 2.5
// seconds) and the end of the process with status 3. Otherwise returns.
// Async-signal-safe.
void exit_if_stdout_failed();

// Whether result lines have reached (or are being written to) standard
// output in this process.
bool result_lines_begun();

// ---- Formatting
// ---------------------------------------------------------------

class SigSafeOut {
public:
  explicit SigSafeOut(int fd = 1) : fd_(fd) {}
  ~SigSafeOut() { flush(); }
  SigSafeOut(const SigSafeOut &) = delete;
  SigSafeOut &operator=(const SigSafeOut &) = delete;

  SigSafeOut &operator<<(const char *s);
  SigSafeOut &operator<<(char c);
  SigSafeOut &operator<<(long long v);
  SigSafeOut &operator<<(unsigned long long v);
  SigSafeOut &operator<<(int v) { return *this << static_cast<long long>(v); }
  SigSafeOut &operator<<(long v) { return *this << static_cast<long long>(v); }
  SigSafeOut &operator<<(unsigned long v) {
    return *this << static_cast<unsigned long long>(v);
  }
  // As a default-formatted std::ostream prints it (%g, 6 digits).
  SigSafeOut &operator<<(double v);
  void flush();

protected:
  // Append every item to the standard-output writer instead of the buffer.
  bool to_writer_ = false;

private:
  void put(const char *s, std::size_t n);
  void put_number(bool negative, unsigned long long magnitude);
  int fd_;
  std::size_t len_ = 0;
  char buf_[4096];
};

// Keeps the asynchronous signals (all but those a fault raises, and but
// abort unless abort_too) pending while it lives. Async-signal-safe.
class HeldSignals {
public:
  explicit HeldSignals(bool abort_too = false);
  ~HeldSignals();
  HeldSignals(const HeldSignals &) = delete;
  HeldSignals &operator=(const HeldSignals &) = delete;

private:
  sigset_t old_;
};

// The result block of a run ("o ", "s ", "v ", ..., "c CPU Time: "). From
// its creation to its end the asynchronous signals are held and the result
// lines count as begun: a signal that comes meanwhile waits until the whole
// block is out, then ends the run after it, its line after the block. The
// block waits for a slow reader as long as it takes; once such a signal is
// pending, a reader that takes nothing for 2.5 seconds gets no more of it
// (on a pipe the output then ends after a whole item), and another signal
// that ends the run, 0.2 seconds or more after the block saw the first,
// leaves the rest out at once. Creating one pushes what std::cout and
// stdio hold out first; its end writes the block out.
class ResultLines : public SigSafeOut {
public:
  ResultLines();
  ~ResultLines();

private:
  HeldSignals held_;
};
