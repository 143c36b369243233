// Ownership closers for the few Win32 handles the deliverables hold.
// Header-only; every deliverable compiles its own copy.
#pragma once
#include <windows.h>

class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  explicit ScopedRegKey(HKEY key) : key_(key) {}
  ~ScopedRegKey() { if (key_) RegCloseKey(key_); }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* receive() { return &key_; }
  // Closes now and gives the close result, for callers that report it.
  LONG close() { LONG r = key_ ? RegCloseKey(key_) : ERROR_SUCCESS; key_ = nullptr; return r; }
 private:
  HKEY key_ = nullptr;
};

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE h) : h_(h) {}
  ~ScopedHandle() { if (valid()) CloseHandle(h_); }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
 private:
  HANDLE h_ = nullptr;
};
