// Buffered byte stream over a zlib file handle, so that plain and
// gzip-compressed inputs are read alike. Bytes are handed out unsigned
// (0..255); EOF (-1) means the end of the input and nothing else. A read
// error or a truncated compressed file is reported as a parse error instead
// of being taken for the end of the input.
#pragma once

#include <cstdio>
#include <memory>

#include <zlib.h>

class StreamBuffer {
public:
  static constexpr int kCapacity = 1 << 20; // bytes per refill

  // Stores the handle (not owned: the opener closes it) and reads the
  // first block.
  explicit StreamBuffer(gzFile file) : StreamBuffer(file, kCapacity) {}
  StreamBuffer(const StreamBuffer &) = delete;
  StreamBuffer &operator=(const StreamBuffer &) = delete;
  virtual void resize_buffer();
  virtual ~StreamBuffer() = default;

  // The current byte, or EOF at the end of the input.
  int operator*() const { return pos_ < size_ ? buf_[pos_] : EOF; }
  // Moves to the next byte, refilling at the end of the block; no-op at EOF.
  void operator++() {
    if (pos_ < size_ && ++pos_ == size_)
      assureLookahead();
  }
  bool at_eof() const { return pos_ >= size_; }

  // Refills the block when it is used up. End of file leaves the stream at
  // EOF for good; a read error ends the run with a parse error.
  void assureLookahead();

  // Direct access for the hot lexing loops: the unread bytes of the block
  // are [cursor(), block_end()); skip(n) consumes n of them (n must not
  // pass block_end()) and refills when the block is used up.
  const unsigned char *cursor() const { return buf_.get() + pos_; }
  const unsigned char *block_end() const { return buf_.get() + size_; }
  void skip(int n) {
    pos_ += n;
    if (pos_ >= size_)
      assureLookahead();
  }

protected:
  StreamBuffer(gzFile file, int capacity);

  gzFile file_;
  std::unique_ptr<unsigned char[]> buf_;
  int capacity_;
  int pos_ = 0;
  int size_ = 0;
  bool ended_ = false; // end of file reached; never read again
};

// The stream used to find the format line: smaller refills, since only the
// first lines of the file are looked at.
class SmallStreamBuffer : public StreamBuffer {
public:
  static constexpr int kSmallCapacity = 1 << 14;
  explicit SmallStreamBuffer(gzFile file)
      : StreamBuffer(file, kSmallCapacity) {}
  void resize_buffer() override;
};

// Opens a file for reading through zlib with a read-ahead suited to large
// inputs; null when it cannot be opened.
gzFile open_input(const char *name);
