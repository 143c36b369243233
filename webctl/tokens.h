// The token accumulator behind AddToken and WriteTokens: the installer
// builds a text one token per call and then appends it to a file of its
// choice. Platform-neutral, so the native tests and the fuzzer run it; the
// stdcall exports in tokens_win.cpp only forward to it.
#pragma once
#include <stddef.h>

#include "../common/ansi_path.h"

// 4,095 characters of collected text and the terminator.
constexpr size_t kTokenBufferCapacity = 4096;

// Module state of the DLL: empty and idle at load, never freed. An empty
// token sets TokenRecording; nothing clears it while the DLL stays loaded.
extern char TokenBuffer[kTokenBufferCapacity];
extern bool TokenRecording;

// An empty token empties the buffer and starts (or restarts) a collection.
// Any other token is appended, with no separator, while collecting, and
// dropped before the first empty token. A token that would take the text past
// 4,095 characters is cut at the limit, and never inside a double-byte
// character when isLeadByte is given (nullptr: single-byte code page). A null
// token is dropped. Always returns 1.
int CollectToken(const char* token, LeadByteTest isLeadByte);

// Appends the collected text to the file at path, opened with fopen "a" (text
// mode: on Windows each line feed goes out as carriage return and line feed),
// and adds nothing of its own. Returns 1 when the file was opened and the text
// written, 0 when no collection was started (the file system is then not
// touched), the file can't be opened, or writing or closing it fails (a full
// disk: the file may then hold part of the text). Changes neither buffer nor
// flag.
int AppendCollectedText(const char* path);
