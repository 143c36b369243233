// Fuzzes the launcher's text formation with arbitrary installation paths
// and old PATHs: every text must come out exactly as a plain string
// concatenation says, in buffers of exactly the sizes the launcher uses
// (ASan catches a write past any of them).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "launch_text.h"
#include "string_table.h"

namespace {

std::string Text(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  s.erase(std::remove(s.begin(), s.end(), '\0'), s.end());
  return s;
}

void Check(bool condition) {
  if (!condition) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  size_t split = data[0] % size;
  std::string install = Text(data + 1, split > 0 ? split - 1 : 0);
  std::string old = Text(data + (split > 0 ? split : 1), size - (split > 0 ? split : 1));
  const size_t L = install.size();

  char library[kLibraryPathCapacity];
  bool fits = FormatLibraryPath(library, install.c_str());
  Check(fits == (L <= 235));
  Check(fits ? std::string(library) == install + "\\jre\\bin\\classic\\jvm.dll" : library[0] == 0);

  size_t pathSize = NewPathSize(L, old.size());
  char* path = static_cast<char*>(malloc(pathSize));
  Check(FormatNewPath(path, pathSize, install.c_str(), old.c_str()));
  Check(std::string(path) == install + "\\bin;" + install + "\\jre\\bin;" + old + ";");
  Check(strlen(path) + 1 == pathSize);
  free(path);
  if (pathSize > 1) {  // one byte short must be refused, not cut
    char* shorter = static_cast<char*>(malloc(pathSize - 1));
    Check(!FormatNewPath(shorter, pathSize - 1, install.c_str(), old.c_str()));
    free(shorter);
  }

  const std::string expected[] = {
      "",
      "-Djava.class.path=" + install + "\\classes\\zephkes.jar;" + install + "\\classes",
      "-Djava.library.path=" + install + "\\bin",
      "-Djava.Home=" + install + "\\jre",
      "-Dcom.veltrana.kestrix.installpath=" + install,
  };
  for (int i = kFirstFormedOption; i < kOptionCount; ++i) {
    size_t capacity = OptionCapacity(i, L);
    char* option = static_cast<char*>(malloc(capacity));
    Check(FormatOption(i, option, capacity, install.c_str()));
    Check(option == expected[i]);
    free(option);
  }

  // The same bytes as a string-table block: a text found lies inside it.
  std::vector<uint16_t> block(size / 2);
  if (!block.empty()) memcpy(block.data(), data, block.size() * 2);
  for (unsigned index = 0; index < kStringTableBlockSize; ++index) {
    const uint16_t* text = nullptr;
    size_t length = 0;
    if (FindTableString(block.data(), block.size(), index, &text, &length))
      Check(text >= block.data() && text + length <= block.data() + block.size());
  }

  std::string name = install;
  DotsToSlashes(&name[0]);
  for (size_t i = 0; i < L; ++i) Check(name[i] == (install[i] == '.' ? '/' : install[i]));
  return 0;
}
