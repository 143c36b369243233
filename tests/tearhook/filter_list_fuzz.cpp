// Fuzzes the filter-list edit: the result is always the input's entries
// without exactly the marker entries (and without the empty entries that
// would open the new list), and nothing is written outside the buffer.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tearhook.h"

namespace {

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> entries;
  size_t start = 0;
  for (;;) {
    size_t comma = list.find(',', start);
    entries.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) return entries;
    start = comma + 1;
  }
}

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The registry read gives a NUL-terminated text: the list ends at the
  // first NUL. A '#' stands for the whole marker, so that lists with marker
  // entries come up often.
  std::string list;
  for (size_t i = 0; i < size && data[i] != '\0'; ++i) {
    if (data[i] == '#') list += kEngineFilterMarker;
    else list += static_cast<char>(data[i]);
  }

  std::vector<std::string> expected;
  for (const std::string& entry : Split(list))
    if (entry.find(kEngineFilterMarker) == std::string::npos &&
        !(expected.empty() && entry.empty()))
      expected.push_back(entry);
  // The kept entries joined by single commas: the text the edit must give.
  std::string joined;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i) joined += ',';
    joined += expected[i];
  }

  // Exactly sized heap buffers, so any write past them is caught.
  for (size_t capacity : {list.size() + kFilterListSlack, list.size() + 1,
                          size ? static_cast<size_t>(data[0]) % (list.size() + 2) : 0}) {
    char* out = static_cast<char*>(malloc(capacity ? capacity : 1));
    bool ok = RemoveEngineEntries(list.c_str(), out, capacity);
    if (ok) {
      Check(strnlen(out, capacity) < capacity);
      Check(joined == out);
    } else {
      // Only a buffer too small for the whole result may refuse.
      Check(joined.size() + 1 > capacity && capacity < list.size() + 1);
      Check(capacity == 0 || out[0] == '\0');
    }
    free(out);
  }
  return 0;
}
