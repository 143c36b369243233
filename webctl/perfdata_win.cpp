#include <stdlib.h>
#include <string.h>

#include "../common/scoped.h"
#include "webctl.h"

namespace {

constexpr char kPerflibKey[] = "software\\microsoft\\windows nt\\currentversion\\perflib";
constexpr unsigned kEnglishLanguage = 9;  // subkey "009"
constexpr size_t kKeyNameCapacity = 96;
constexpr DWORD kFirstQuerySize = 0x8FFFF;  // the buffer keeps one spare byte
constexpr DWORD kGrowth = 32767;
constexpr int kMaxRetries = 25;  // 26 queries at most
constexpr DWORD kSettleMs = 2000;
constexpr int kConvertedNameCapacity = MAX_PATH;
constexpr char kUnknownName[] = "unknown";

// Owns a malloc'ed buffer.
class ScopedBuffer {
 public:
  ScopedBuffer() = default;
  ~ScopedBuffer() { free(p_); }
  ScopedBuffer(const ScopedBuffer&) = delete;
  ScopedBuffer& operator=(const ScopedBuffer&) = delete;
  // A fresh zero-filled buffer of size bytes; the old one is freed.
  bool Reset(size_t size) {
    free(p_);
    p_ = static_cast<uint8_t*>(calloc(size, 1));
    return p_ != nullptr;
  }
  uint8_t* get() const { return p_; }
 private:
  uint8_t* p_ = nullptr;
};

// Reads the counter-name indices from perflib\009.
bool ReadCounterNames(HKEY namesKey, PerfCounterNames* names) {
  DWORD size = 0;
  if (RegQueryValueExA(namesKey, "Counters", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return false;
  ScopedBuffer list;
  if (size == MAXDWORD || !list.Reset(static_cast<size_t>(size) + 1)) return false;
  DWORD got = size;
  if (RegQueryValueExA(namesKey, "Counters", nullptr, nullptr, list.get(), &got) != ERROR_SUCCESS)
    return false;
  if (got > size) got = size;
  ParseCounterNames(reinterpret_cast<const char*>(list.get()), got, names);
  return true;
}

// Asks for the process object until the buffer is large enough, at most 26
// times. On success the buffer holds size bytes of data.
bool QueryProcessObject(const char* valueName, ScopedBuffer* buffer, DWORD* size) {
  DWORD request = kFirstQuerySize;
  if (!buffer->Reset(static_cast<size_t>(request) + 1)) return false;
  for (int retries = 0;;) {
    DWORD got = request;
    LONG r = RegQueryValueExA(HKEY_PERFORMANCE_DATA, valueName, nullptr, nullptr, buffer->get(),
                              &got);
    if (r == ERROR_SUCCESS) {
      *size = got <= request ? got : request;  // never more than was handed over
      return true;
    }
    if (r != ERROR_MORE_DATA) return false;
    // Grow from what the call left in the size, but never from less than
    // was asked for: Windows leaves it undefined for this key and Wine
    // sets 0, which would otherwise shrink the buffer to 32 KB for good.
    if (++retries > kMaxRetries) return false;
    if (got < request) got = request;
    if (got > MAXDWORD - kGrowth - 1) return false;
    request = got + kGrowth;
    if (!buffer->Reset(static_cast<size_t>(request) + 1)) return false;
  }
}

void SetName(ProcessEntry& entry, const uint8_t* block, const PerfProcessRecord& record) {
  // The name lies NUL-terminated in the block on a UTF-16 boundary (the
  // parser checked both); converting the NUL too gives the same result as
  // a NUL-terminated conversion.
  const WCHAR* name = reinterpret_cast<const WCHAR*>(block + record.nameOffset);
  char converted[kConvertedNameCapacity];
  int n = WideCharToMultiByte(CP_ACP, 0, name, static_cast<int>(record.nameUnits + 1), converted,
                              kConvertedNameCapacity, nullptr, nullptr);
  if (n <= 0 || converted[n - 1] != '\0' ||
      !FormExeNameFromInstance(converted, entry.exeName, kExeNameCapacity))
    memcpy(entry.exeName, kUnknownName, sizeof kUnknownName);
}

}  // namespace

UINT FillFromPerformanceData(ProcessEntry* entries, UINT capacity) {
  if (capacity < 2) return 0;  // one entry is always kept back
  char keyName[kKeyNameCapacity];
  static_assert(sizeof kPerflibKey + 4 <= kKeyNameCapacity, "key name fits");
  wsprintfA(keyName, "%s\\%03x", kPerflibKey, kEnglishLanguage);
  ScopedRegKey namesKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, namesKey.receive()) !=
      ERROR_SUCCESS)
    return 0;
  PerfCounterNames names;
  if (!ReadCounterNames(namesKey.get(), &names)) return 0;

  // The performance-data key is opened by the query itself; close it
  // whatever happens after that.
  struct PerfKeyCloser {
    ~PerfKeyCloser() { RegCloseKey(HKEY_PERFORMANCE_DATA); }
  } perfKeyCloser;
  ScopedBuffer buffer;
  DWORD size = 0;
  if (!QueryProcessObject(names.processIndex, &buffer, &size)) return 0;
  if (size == 0 || !PerfBlockHasSignature(buffer.get(), size)) return 0;
  // Give the providers' counters time to settle before they are read.
  Sleep(kSettleMs);

  PerfProcessRecord records[kProcessTableCapacity];
  size_t limit = capacity - 1;
  if (limit > kProcessTableCapacity) limit = kProcessTableCapacity;
  size_t count = ParsePerfProcessBlock(buffer.get(), size, names.idProcessIndex, records, limit);
  for (size_t i = 0; i < count; ++i) {
    ProcessEntry& entry = entries[i];
    SetName(entry, buffer.get(), records[i]);
    entry.window = nullptr;
    entry.windowTitle[0] = '\0';
    // Several system instances read 0 (Idle, _Total); keep them apart
    // from a real process id.
    entry.processId = records[i].processId != 0 ? records[i].processId : 0xFFFFFFFE;
  }
  return static_cast<UINT>(count);
}
