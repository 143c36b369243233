// The properties reader against the file format, grouped by keys, values,
// line ends, comments, limits, the end of the file and the allocator.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "memory_source.h"
#include "properties.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// Heap allocator that knows every live block and can refuse chosen calls.
struct TrackingAllocator {
  PropertyAllocator ops;  // first, so the record's address is the tracker's
  std::set<void*> live;
  int duplicates = 0;
  std::set<int> failDuplicate;  // 1-based Duplicate call numbers that fail
  bool failAllocate = false;
  int32_t allocatedSize = 0;
  void* released = nullptr;

  TrackingAllocator() { ops = {Allocate, Duplicate, Release}; }
  ~TrackingAllocator() {
    for (void* block : live) free(block);
  }
  static TrackingAllocator* Self(PropertyAllocator* a) {
    return reinterpret_cast<TrackingAllocator*>(a);
  }
  static void* Allocate(PropertyAllocator* a, int32_t size) {
    TrackingAllocator* self = Self(a);
    self->allocatedSize = size;
    if (self->failAllocate) return nullptr;
    void* block = malloc(static_cast<size_t>(size));
    self->live.insert(block);
    return block;
  }
  static char* Duplicate(PropertyAllocator* a, const char* text) {
    TrackingAllocator* self = Self(a);
    if (self->failDuplicate.count(++self->duplicates)) return nullptr;
    char* copy = strdup(text);
    self->live.insert(copy);
    return copy;
  }
  static void Release(PropertyAllocator* a, void* block) {
    TrackingAllocator* self = Self(a);
    self->released = block;
    if (self->live.erase(block)) free(block);
  }
};

// The lead bytes of the Japanese double-byte code page 932.
bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

Entries ToEntries(const PropertyTable* table) {
  Entries out;
  for (int i = 0; i < table->count; ++i) {
    out.emplace_back(table->entries[i].key, table->entries[i].value);
  }
  return out;
}

// Parses in one piece and in every small chunk size, and expects the same
// entries each time: a CR LF split over two reads must not matter. A text
// without bytes above 127 reads the same in code page 932.
Entries Parse(const std::string& text, LeadByteTest isLeadByte = nullptr) {
  TrackingAllocator whole;
  PropertyTable* table = ParseMemory(&whole.ops, text, 0, isLeadByte);
  EXPECT_NE(table, nullptr);
  if (!table) return {};
  Entries expected = ToEntries(table);
  for (size_t chunk = 1; chunk <= 5; ++chunk) {
    TrackingAllocator pieces;
    PropertyTable* again = ParseMemory(&pieces.ops, text, chunk, isLeadByte);
    EXPECT_EQ(ToEntries(again), expected) << "read in chunks of " << chunk;
  }
  if (!isLeadByte && std::all_of(text.begin(), text.end(), [](char c) { return c >= 0; })) {
    TrackingAllocator japanese;
    EXPECT_EQ(ToEntries(ParseMemory(&japanese.ops, text, 0, Cp932Lead)), expected);
  }
  return expected;
}

std::string ValueOf(const std::string& text, const char* key, LeadByteTest isLeadByte = nullptr) {
  TrackingAllocator heap;
  PropertyTable* table = ParseMemory(&heap.ops, text, 0, isLeadByte);
  const char* value = GetProperty(table, key);
  return value ? value : "<absent>";
}

// A real file for the path entry points, removed afterwards.
struct TempFile {
  std::string path;
  explicit TempFile(const std::string& data) {
    char name[] = "/tmp/propsXXXXXX";
    int fd = mkstemp(name);
    path = name;
    if (fd >= 0) {
      EXPECT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
      close(fd);
    }
  }
  ~TempFile() { unlink(path.c_str()); }
};

void FreeHeapTable(PropertyTable* table) {
  for (int i = 0; i < table->count; ++i) {
    free(table->entries[i].key);
    free(table->entries[i].value);
  }
  free(table);
}

TEST(PropertiesKeys, KeysAndValuesKeepTheirBlanksAndLookUpIsExact) {
  const std::string text = "java.exe = C:/jdk/bin/java.exe \nJava.Path=x\n";
  EXPECT_EQ(Parse(text), (Entries{{"java.exe ", " C:/jdk/bin/java.exe "}, {"Java.Path", "x"}}));
  EXPECT_EQ(ValueOf(text, "java.exe"), "<absent>");
  EXPECT_EQ(ValueOf(text, "java.exe "), " C:/jdk/bin/java.exe ");
  EXPECT_EQ(ValueOf(text, "java.path"), "<absent>");
}

TEST(PropertiesKeys, KeyRunsToTheFirstEqualsSignAcrossLineEnds) {
  EXPECT_EQ(Parse("first line\nsecond=v\nthird=w\n"),
            (Entries{{"first line\nsecond", "v"}, {"third", "w"}}));
  // A comment line inside a key is part of it; CR LF inside a key reads as LF.
  EXPECT_EQ(Parse("alone\r\n# note\r\nkey=v\r\n"), (Entries{{"alone\n# note\nkey", "v"}}));
  // Blanks before "#" make it a key, not a comment.
  EXPECT_EQ(Parse("  # not a comment=1\n"), (Entries{{"  # not a comment", "1"}}));
}

TEST(PropertiesKeys, FirstCharacterIsTakenEvenWhenItIsAnEqualsSign) {
  EXPECT_EQ(Parse("=a=b\n==c\n"), (Entries{{"=a", "b"}, {"=", "c"}}));
}

TEST(PropertiesKeys, RepeatedKeysAllCountAndTheFirstWins) {
  const std::string text = "k=first\nk=second\n";
  EXPECT_EQ(Parse(text).size(), 2u);
  EXPECT_EQ(ValueOf(text, "k"), "first");
}

TEST(PropertiesValues, EqualsSignsAndBlanksInTheValueStay) {
  EXPECT_EQ(Parse("k= a=b =c \n"), (Entries{{"k", " a=b =c "}}));
  EXPECT_EQ(Parse("empty=\nnext=1\n"), (Entries{{"empty", ""}, {"next", "1"}}));
  EXPECT_EQ(Parse("k=v # not a comment\n"), (Entries{{"k", "v # not a comment"}}));
}

TEST(PropertiesValues, EveryBackslashGoesAndKeepsTheNextCharacter) {
  EXPECT_EQ(ValueOf("p=C:\\Program Files\\Kestrix\\jre\n", "p"), "C:Program FilesKestrixjre");
  EXPECT_EQ(ValueOf("p=C:\\\\Program Files\\\\Kestrix\n", "p"), "C:\\Program Files\\Kestrix");
  EXPECT_EQ(ValueOf("p=C:/Program Files/Kestrix\n", "p"), "C:/Program Files/Kestrix");
  EXPECT_EQ(ValueOf("p=\\n\\t\\=\\#\n", "p"), "nt=#");  // no other escapes
  EXPECT_EQ(ValueOf("p=three\\\\\\\n", "p"), "three\\");
  EXPECT_EQ(ValueOf("p=end\\", "p"), "end");  // a backslash at the very end goes
  // An escaped line end still ends the line: no continuation lines.
  EXPECT_EQ(Parse("p=a\\\nq=b\n"), (Entries{{"p", "a"}, {"q", "b"}}));
  // Keys keep their backslashes.
  EXPECT_EQ(Parse("a\\b=c\n"), (Entries{{"a\\b", "c"}}));
}

TEST(PropertiesValues, InCodePage932ABackslashInsideACharacterStays) {
  // ソ is 83 5C, フ 83 74, ト 83 67: a Japanese editor writes the folder
  // ソフト with its doubled backslashes around it.
  EXPECT_EQ(ValueOf("java.exe=C:\\\\pe\\\\\x83\x5C\x83\x74\x83\x67\\\\java.exe\r\n", "java.exe",
                    Cp932Lead),
            "C:\\pe\\\x83\x5C\x83\x74\x83\x67\\java.exe");
  // An escaped character is kept whole; 83 83 is one character, so the
  // backslash after it stands alone and goes.
  EXPECT_EQ(Parse("p=\\\x83\x5Cx\n", Cp932Lead), (Entries{{"p", "\x83\x5Cx"}}));
  EXPECT_EQ(Parse("p=\x83\x83\\x\x83\x5C", Cp932Lead), (Entries{{"p", "\x83\x83x\x83\x5C"}}));
  // A line cut at 4095 bytes keeps no lead byte without its second byte.
  const std::string kept(4094, 'v');
  EXPECT_EQ(Parse("k=" + kept + "\x83\x5C\nnext=1\n", Cp932Lead),
            (Entries{{"k", kept}, {"next", "1"}}));
}

TEST(PropertiesLineEnds, CrLfLfAndCrCrLfGiveTheSameValue) {
  for (const char* end : {"\n", "\r\n", "\r\r\n"}) {
    std::string text = std::string("a=one") + end + "b=two" + end + "\r\n" + end + "c=3" + end;
    EXPECT_EQ(Parse(text), (Entries{{"a", "one"}, {"b", "two"}, {"c", "3"}}))
        << "line end of " << strlen(end) << " characters";
    TempFile file(text);  // and through the file entry point
    TrackingAllocator heap;
    PropertyTable* table = ParseProperties(&heap.ops, file.path.c_str(), nullptr);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(ToEntries(table), (Entries{{"a", "one"}, {"b", "two"}, {"c", "3"}}));
  }
}

TEST(PropertiesLineEnds, LastLineNeedsNoLineEnd) {
  EXPECT_EQ(Parse("a=1\nb=last"), (Entries{{"a", "1"}, {"b", "last"}}));
  EXPECT_EQ(Parse("b=last\r"), (Entries{{"b", "last"}}));
}

TEST(PropertiesLineEnds, LoneCrInsideAValueStaysAndAtMostTwoEndsAreRemoved) {
  EXPECT_EQ(Parse("k=a\rb\n"), (Entries{{"k", "a\rb"}}));
  // CR CR CR LF reads as CR CR LF: two characters go, one CR stays.
  EXPECT_EQ(Parse("k=v\r\r\r\n"), (Entries{{"k", "v\r"}}));
}

TEST(PropertiesLineEnds, CtrlZEndsTheFileAsInTextMode) {
  EXPECT_EQ(Parse("a=1\r\n\x1a" "b=2\r\n"), (Entries{{"a", "1"}}));
  EXPECT_EQ(Parse("a=1\r\x1a" "b=2\r\n"), (Entries{{"a", "1"}}));
}

TEST(PropertiesComments, CommentsRunToTheNextLineEndOrTheEnd) {
  EXPECT_EQ(Parse("# heading\na=1\n#x=y\rb=2\n# trailing"), (Entries{{"a", "1"}, {"b", "2"}}));
  EXPECT_EQ(Parse("#only\r\n\r\n#comments\n").size(), 0u);
}

TEST(PropertiesComments, FilesWithoutEntriesGiveAnEmptyTable) {
  TrackingAllocator heap;
  for (const std::string& text : {std::string(), std::string("\n\r\n\r"), std::string("#x")}) {
    PropertyTable* table = ParseMemory(&heap.ops, text);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->count, 0);
    EXPECT_EQ(GetProperty(table, "#x"), nullptr);
  }
}

TEST(PropertiesLimits, KeysAreKeptUpTo1023Characters) {
  const std::string whole(1023, 'k'), longer(1500, 'k');
  EXPECT_EQ(Parse(whole + "=v\n"), (Entries{{whole, "v"}}));
  EXPECT_EQ(Parse(longer + "=v\nnext=w\n"), (Entries{{whole, "v"}, {"next", "w"}}));
  // The cut rest may hold line ends; it is discarded up to its "=".
  EXPECT_EQ(Parse(std::string(1022, 'k') + "AB\nC=v\n"),
            (Entries{{std::string(1022, 'k') + "A", "v"}}));
}

TEST(PropertiesLimits, ValueLinesAreKeptUpTo4095Characters) {
  const std::string whole(4095, 'v');
  EXPECT_EQ(Parse("k=" + whole + "\nnext=1\n"), (Entries{{"k", whole}, {"next", "1"}}));
  EXPECT_EQ(Parse("k=" + whole + "\r\nnext=1\r\n"), (Entries{{"k", whole}, {"next", "1"}}));
  EXPECT_EQ(Parse("k=" + whole + "overflow\r\nnext=1\n"), (Entries{{"k", whole}, {"next", "1"}}));
  // The 4095 count is before backslash removal, so escaped values are shorter.
  std::string escaped;
  for (int i = 0; i < 2100; ++i) escaped += "\\x";
  EXPECT_EQ(Parse("k=" + escaped + "\nnext=1\n"),
            (Entries{{"k", std::string(2047, 'x')}, {"next", "1"}}));
}

TEST(PropertiesLimits, KeysBeyond2048AreIgnoredAndTheFirstDefinitionsWin) {
  std::string text = "java.exe=first\n";
  for (int i = 1; i < 2048; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "java.exe=second\nlate=1\n";
  TrackingAllocator heap;
  PropertyTable* table = ParseMemory(&heap.ops, text);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->count, 2048);
  EXPECT_EQ(std::string(GetProperty(table, "java.exe")), "first");
  EXPECT_EQ(std::string(GetProperty(table, "k2047")), "2047");
  EXPECT_EQ(GetProperty(table, "late"), nullptr);
  EXPECT_EQ(heap.live.size(), 1u + 2 * 2048);  // nothing copied for ignored keys
}

TEST(PropertiesEndOfFile, KeyWithoutEqualsSignAtTheEndIsNoEntry) {
  EXPECT_EQ(Parse("a=1\nhalf a key"), (Entries{{"a", "1"}}));
  EXPECT_EQ(Parse("a=1\nhalf\n"), (Entries{{"a", "1"}}));
}

TEST(PropertiesEndOfFile, EqualsSignAsTheLastCharacterGivesAnEmptyValue) {
  EXPECT_EQ(Parse("a=1\nb="), (Entries{{"a", "1"}, {"b", ""}}));
}

TEST(PropertiesAllocator, TableComesFromAllocateAndItsFailureGivesNone) {
  TrackingAllocator heap;
  heap.failAllocate = true;
  EXPECT_EQ(ParseMemory(&heap.ops, "a=1\n"), nullptr);
  EXPECT_EQ(heap.duplicates, 0);
  heap.failAllocate = false;
  ASSERT_NE(ParseMemory(&heap.ops, "a=1\n"), nullptr);
  EXPECT_EQ(heap.allocatedSize, static_cast<int32_t>(sizeof(PropertyTable)));
}

TEST(PropertiesAllocator, UnreadableFileReleasesTheTable) {
  TrackingAllocator heap;
  EXPECT_EQ(ParseProperties(&heap.ops, "/nonexistent/dir/smon.properties", nullptr), nullptr);
  EXPECT_NE(heap.released, nullptr);
  EXPECT_TRUE(heap.live.empty());
  EXPECT_EQ(ParseProperties(&heap.ops, nullptr, nullptr), nullptr);
  EXPECT_TRUE(heap.live.empty());
}

TEST(PropertiesAllocator, FailedCopyDropsTheWholeEntryAndLeaksNothing) {
  TrackingAllocator heap;
  heap.failDuplicate = {3, 5};  // the key of b, then the value of c
  PropertyTable* table = ParseMemory(&heap.ops, "a=1\nb=2\nc=3\nd=4\n");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(ToEntries(table), (Entries{{"a", "1"}, {"d", "4"}}));
  EXPECT_EQ(heap.live.size(), 1u + 4);  // the table and the two kept entries
  EXPECT_EQ(GetProperty(table, "b"), nullptr);
  EXPECT_EQ(GetProperty(table, "c"), nullptr);
}

TEST(PropertiesAllocator, DefaultOperationsAndLoadProperties) {
  PropertyAllocator heap;
  InitDefaultPropertyAllocator(&heap);
  void* block = heap.Allocate(&heap, 0);
  EXPECT_NE(block, nullptr);
  heap.Release(&heap, block);
  heap.Release(&heap, nullptr);
  char* empty = heap.Duplicate(&heap, nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_STREQ(empty, "");
  heap.Release(&heap, empty);

  TempFile file("java.exe=C:\\\\jdk\\\\bin\\\\java.exe\r\njava.args=-cp x\r\n");
  PropertyTable* table = LoadProperties(file.path.c_str(), Cp932Lead);
  ASSERT_NE(table, nullptr);
  EXPECT_STREQ(GetProperty(table, "java.exe"), "C:\\jdk\\bin\\java.exe");
  EXPECT_STREQ(GetProperty(table, "java.args"), "-cp x");
  FreeHeapTable(table);
  EXPECT_EQ(LoadProperties("/nonexistent/smon.properties", nullptr), nullptr);
}

TEST(PropertiesLookUp, EmptyOrMissingTableFindsNothing) {
  PropertyTable empty;
  empty.count = 0;
  EXPECT_EQ(GetProperty(&empty, "a"), nullptr);
  empty.count = -5;
  EXPECT_EQ(GetProperty(&empty, "a"), nullptr);
  EXPECT_EQ(GetProperty(nullptr, "a"), nullptr);
}

}  // namespace
