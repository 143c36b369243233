// Platform-neutral: also built natively for the unit tests and the fuzzer.
#include <string.h>

#include <string_view>

#include "tearhook.h"

bool RemoveEngineEntries(const char* list, char* out, size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  std::string_view rest(list);
  size_t used = 0;
  for (;;) {
    size_t comma = rest.find(',');
    std::string_view entry = rest.substr(0, comma);
    if (entry.find(kEngineFilterMarker) == std::string_view::npos) {
      // "Not empty" is about the new list, not about what was kept: an empty
      // entry appended to an empty list leaves it empty.
      size_t separator = used > 0 ? 1 : 0;
      if (capacity - used < separator + entry.size() + 1) {
        out[0] = '\0';
        return false;
      }
      if (separator) out[used++] = ',';
      memcpy(out + used, entry.data(), entry.size());
      used += entry.size();
      out[used] = '\0';
    }
    if (comma == std::string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
}
