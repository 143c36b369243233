// Reads a properties file's raw bytes the way the C runtime's text mode on
// Windows hands them out: CR LF becomes LF, a CR before anything else stays,
// and a Ctrl-Z ends the file. Doing the translation here, over a binary
// read, makes a file read the same on every platform and lets the parser
// scan whole buffers instead of going character by character.
#pragma once
#include <stddef.h>

#include "properties.h"

class TextReader {
 public:
  // buffer_ is left unset: Fill() writes each byte before Get() reads it, and
  // clearing 8 KiB for every file read would be work for nothing.
  // cppcheck-suppress uninitMemberVar
  explicit TextReader(const PropertySource* source) : source_(source) {}
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // The next character (0..255), or -1 at the end.
  int Get() {
    if (pos_ == end_ && !Fill()) return -1;
    return static_cast<unsigned char>(buffer_[pos_++]);
  }

  // Reads up to and including `stop`. Keeps the first `room` characters
  // before it in `out` (which may be null when room is 0) and tells how many
  // in *kept. Returns false when the file ended before `stop`.
  bool ReadThrough(char stop, char* out, size_t room, size_t* kept);

  // fgets: reads at most `max` characters into `out`, up to and including a
  // LF. Returns the count (0 only at the end of the file); no terminator.
  size_t ReadLine(char* out, size_t max);

 private:
  static constexpr size_t kChunk = 8192;
  bool Fill();
  size_t Translate(size_t length);

  const PropertySource* source_;
  char buffer_[kChunk];
  size_t pos_ = 0;
  size_t end_ = 0;
  bool carriedCR_ = false;  // a CR that ended the last chunk, still unread
  bool ended_ = false;      // the source has nothing more
};
