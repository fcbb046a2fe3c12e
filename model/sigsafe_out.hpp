// An output stream for signal handlers and for the result lines: it formats
// into a fixed buffer and hands it to write(2), with no allocation, no locks
// and no stdio state, so that a handler may use it while the interrupted
// code was itself in the middle of printing.
//
// Every item (a string, a character, a number) reaches the descriptor whole
// or not at all: a buffer is handed over only between items. The result
// lines of a run are written by a ResultLines stream, which also keeps the
// asynchronous signals out while it hands a buffer over; so a signal that
// comes while they are printed finds standard output ending after a whole
// item, and the signal path ends that line instead of starting a second set
// of result lines.
#pragma once

#include <csignal>
#include <cstddef>

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
  // Whether the last character written ended a line (true at the start).
  bool at_line_start() const { return last_ == '\n'; }

protected:
  // Keep the asynchronous signals out while a buffer is handed over.
  bool hold_signals_ = false;

private:
  void put(const char *s, std::size_t n);
  void put_number(bool negative, unsigned long long magnitude);
  void write_buffer();
  int fd_;
  char last_ = '\n';
  std::size_t len_ = 0;
  char buf_[4096];
};

// The result lines of a run ("o ", "s ", "v ", ...). Creating one pushes
// what std::cout and stdio hold out first; its first buffer that reaches
// standard output marks the result lines begun for the rest of the process.
class ResultLines : public SigSafeOut {
public:
  ResultLines();
};

// Whether result lines have reached standard output in this process.
bool result_lines_begun();
// Whether standard output, as far as this stream class wrote it, ends
// inside a line.
bool stdout_ends_mid_line();

// Keeps the asynchronous signals (all but those a fault raises) pending
// while it lives, e.g. around result lines printed through std::cout.
class HeldSignals {
public:
  HeldSignals();
  ~HeldSignals();
  HeldSignals(const HeldSignals &) = delete;
  HeldSignals &operator=(const HeldSignals &) = delete;

private:
  sigset_t old_;
};

// Formats v as a default-formatted std::ostream does (shortest of fixed and
// exponent notation, 6 significant digits) into out; returns the length.
// requires: out holds at least 32 characters
std::size_t format_general(double v, char *out);
