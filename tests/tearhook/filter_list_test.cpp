// The filter-list edit over the list shapes found in the field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tearhook.h"

namespace {

// Edits with the capacity the hook allocates.
std::string Edit(const std::string& list) {
  std::vector<char> out(list.size() + kFilterListSlack, 'Z');
  EXPECT_TRUE(RemoveEngineEntries(list.c_str(), out.data(), out.size())) << list;
  return out.data();
}

TEST(FilterList, DropsEveryEntryHoldingTheMarkerAndKeepsTheRestAsWritten) {
  EXPECT_EQ(Edit("C:\\Servana\\bin\\servana.dll"), "");
  EXPECT_EQ(Edit("C:\\w3\\sspifilt.dll,C:\\Servana\\servana.dll,C:\\w3\\compress.dll"),
            "C:\\w3\\sspifilt.dll,C:\\w3\\compress.dll");
  EXPECT_EQ(Edit("servana.dll,a.dll,servana.dll.old,b.dll,x servana.dll y"), "a.dll,b.dll");
  // Blanks belong to the entries and are never trimmed.
  EXPECT_EQ(Edit("a.dll, servana.dll, b.dll ,  c.dll"), "a.dll, b.dll ,  c.dll");
  // The marker is matched in lower case only.
  EXPECT_EQ(Edit("C:\\S\\SERVANA.DLL,Servana.dll,servana.DLL"),
            "C:\\S\\SERVANA.DLL,Servana.dll,servana.DLL");
  EXPECT_EQ(Edit("servana.dl,ervana.dll"), "servana.dl,ervana.dll");
}

TEST(FilterList, ListWithoutTheMarkerComesBackUnchanged) {
  for (const char* list : {"", "a.dll", "a.dll,b.dll", "a.dll,,b.dll", "a.dll,", " a.dll , "})
    EXPECT_EQ(Edit(list), list);
}

TEST(FilterList, EmptyEntriesVanishOnlyWhileTheNewListIsEmpty) {
  EXPECT_EQ(Edit(",a.dll,b.dll"), "a.dll,b.dll");
  EXPECT_EQ(Edit(",,,a.dll"), "a.dll");
  EXPECT_EQ(Edit(","), "");
  EXPECT_EQ(Edit("servana.dll,,a.dll"), "a.dll");
  EXPECT_EQ(Edit("a.dll,servana.dll,,b.dll"), "a.dll,,b.dll");
  EXPECT_EQ(Edit("a.dll,servana.dll,"), "a.dll,");
  EXPECT_EQ(Edit("a.dll,,servana.dll"), "a.dll,");
  EXPECT_EQ(Edit("servana.dll,"), "");
}

TEST(FilterList, TooSmallBufferGivesNothingAndStaysWithinIt) {
  const std::string list = "servana.dll,abc,def";  // result "abc,def": 8 bytes with its NUL
  std::vector<char> out(16, 'Z');
  ASSERT_TRUE(RemoveEngineEntries(list.c_str(), out.data(), 8));
  EXPECT_STREQ(out.data(), "abc,def");

  out.assign(16, 'Z');
  EXPECT_FALSE(RemoveEngineEntries(list.c_str(), out.data(), 7));
  EXPECT_EQ(out[0], '\0');
  for (size_t i = 7; i < out.size(); ++i) EXPECT_EQ(out[i], 'Z') << i;
  EXPECT_FALSE(RemoveEngineEntries(list.c_str(), out.data(), 0));
  EXPECT_EQ(out[0], '\0');
  // Room for the terminator alone is enough for a list that edits to nothing.
  char one = 'Z';
  EXPECT_TRUE(RemoveEngineEntries("servana.dll", &one, 1));
  EXPECT_EQ(one, '\0');
}

}  // namespace
