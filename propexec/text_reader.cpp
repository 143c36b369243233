#include "text_reader.h"

#include <string.h>

namespace {
constexpr char kCtrlZ = 0x1A;
}

bool TextReader::Fill() {
  pos_ = end_ = 0;
  while (end_ == 0) {
    if (ended_) return false;
    size_t start = 0;
    if (carriedCR_) {
      buffer_[0] = '\r';
      start = 1;
      carriedCR_ = false;
    }
    size_t got = source_->Read(source_->context, buffer_ + start, kChunk - start);
    if (got > kChunk - start) got = kChunk - start;  // a source that overstates
    if (got == 0) ended_ = true;
    size_t length = start + got;
    if (const void* z = memchr(buffer_ + start, kCtrlZ, got)) {
      length = static_cast<size_t>(static_cast<const char*>(z) - buffer_);
      ended_ = true;
    }
    end_ = Translate(length);
  }
  return true;
}

// Turns CR LF into LF in place over the first `length` bytes. A CR that is
// the last byte while more data may follow is kept back for the next chunk,
// since only that chunk shows whether a LF follows it.
size_t TextReader::Translate(size_t length) {
  char* read = buffer_;
  char* write = buffer_;
  char* const end = buffer_ + length;
  while (read < end) {
    char* cr = static_cast<char*>(memchr(read, '\r', static_cast<size_t>(end - read)));
    size_t plain = static_cast<size_t>((cr ? cr : end) - read);
    if (write != read) memmove(write, read, plain);
    write += plain;
    if (!cr) break;
    read = cr + 1;
    if (read < end) {
      if (*read == '\n') {
        *write++ = '\n';
        ++read;
      } else {
        *write++ = '\r';
      }
    } else if (ended_) {
      *write++ = '\r';
    } else {
      carriedCR_ = true;
    }
  }
  return static_cast<size_t>(write - buffer_);
}

bool TextReader::ReadThrough(char stop, char* out, size_t room, size_t* kept) {
  size_t k = 0;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      *kept = k;
      return false;
    }
    const char* p = buffer_ + pos_;
    size_t avail = end_ - pos_;
    const char* hit = static_cast<const char*>(memchr(p, stop, avail));
    size_t length = hit ? static_cast<size_t>(hit - p) : avail;
    size_t take = length < room - k ? length : room - k;
    if (take) memcpy(out + k, p, take);
    k += take;
    pos_ += length;
    if (hit) {
      ++pos_;
      *kept = k;
      return true;
    }
  }
}

size_t TextReader::ReadLine(char* out, size_t max) {
  size_t n = 0;
  while (n < max) {
    if (pos_ == end_ && !Fill()) break;
    const char* p = buffer_ + pos_;
    size_t avail = end_ - pos_;
    if (avail > max - n) avail = max - n;
    const char* lf = static_cast<const char*>(memchr(p, '\n', avail));
    size_t length = lf ? static_cast<size_t>(lf - p) + 1 : avail;
    memcpy(out + n, p, length);
    n += length;
    pos_ += length;
    if (lf) break;
  }
  return n;
}
