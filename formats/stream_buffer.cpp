#include "formats/stream_buffer.hpp"

#include <cerrno>
#include <cstring>

#include "formats/fmt_utils.hpp"

namespace {
// zlib's own read-ahead; larger than its default so that inflating works on
// big chunks.
constexpr unsigned kZlibBuffer = 1 << 17;
} // namespace

gzFile open_input(const char *name) {
  gzFile f = gzopen(name, "rb");
  if (f)
    gzbuffer(f, kZlibBuffer);
  return f;
}

StreamBuffer::StreamBuffer(gzFile file, int capacity)
    : file_(file), buf_(new unsigned char[capacity]), capacity_(capacity) {
  assureLookahead();
}

void StreamBuffer::resize_buffer() {
  buf_.reset(new unsigned char[capacity_]);
  pos_ = size_ = 0;
}

void SmallStreamBuffer::resize_buffer() {
  capacity_ = 1024;
  StreamBuffer::resize_buffer();
}

void StreamBuffer::assureLookahead() {
  if (pos_ < size_ || ended_)
    return;
  pos_ = 0;
  size_ = 0;
  int n = gzread(file_, buf_.get(), static_cast<unsigned>(capacity_));
  int err = Z_OK;
  const char *msg = gzerror(file_, &err);
  // A truncated compressed file reads as a short read with Z_BUF_ERROR set;
  // corrupt data makes gzread fail. Both are errors, never an end of file.
  if (n < 0 || (err != Z_OK && err != Z_STREAM_END)) {
    if (err == Z_ERRNO)
      msg = std::strerror(errno);
    FMTUtils::parse_error("PARSE ERROR! Could not read input: %s\n",
                          msg && *msg ? msg : "read error");
  }
  if (n == 0)
    ended_ = true;
  size_ = n;
}
