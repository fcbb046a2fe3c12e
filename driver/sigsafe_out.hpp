// An output stream for signal handlers: it formats into a fixed buffer and
// hands full buffers and flushes to write(2) on standard output, with no
// allocation, no locks and no stdio state, so that it may run while the
// interrupted code was itself in the middle of printing.
#pragma once

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

private:
  void put(char c) {
    if (len_ == sizeof(buf_))
      flush();
    buf_[len_++] = c;
    last_ = c;
  }
  int fd_;
  char last_ = '\n';
  std::size_t len_ = 0;
  char buf_[4096];
};

// Formats v as a default-formatted std::ostream does (shortest of fixed and
// exponent notation, 6 significant digits) into out; returns the length.
// requires: out holds at least 32 characters
std::size_t format_general(double v, char *out);
