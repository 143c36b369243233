// The message box helper and the text loader, with this test program's own
// string table standing in for the DLL's.
#include <gtest/gtest.h>

#include "kxtest.h"
#include "webctl.h"

using namespace kxtest;

namespace {

const bool kTextsFromThisProgram = (ModuleInstance = GetModuleHandleA(nullptr), true);

TEST(Messages, ShowsTheTextWithCaption5AndGivesTheAnswer) {
  for (int answer : {IDYES, IDNO}) {
    DialogAnswerer answerer({answer});
    EXPECT_EQ(ShowMessage(kMsgAskStopWebServer, kBoxYesNo), answer);
    std::vector<DialogAnswerer::Box> boxes = answerer.Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Test caption");
    EXPECT_EQ(boxes[0].text, "Test 1: may the web server be stopped?");
  }
}

TEST(Messages, AMissingTextShowsNothing) {
  DialogAnswerer answerer({IDOK});
  EXPECT_EQ(ShowMessage(9, kBoxOk), 0);
  // A module without any string table: neither text nor caption.
  HMODULE bare = LoadLibraryExA(BinPath("standin-windowless.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(bare, nullptr);
  ModuleInstance = bare;
  EXPECT_EQ(ShowMessage(kMsgInvalidOs, kBoxOk), 0);
  ModuleInstance = GetModuleHandleA(nullptr);
  FreeLibrary(bare);
  Sleep(200);  // a box, had there been one, would have been seen by now
  EXPECT_TRUE(answerer.Seen().empty());
}

TEST(Messages, LoadsTruncatedAndConvertedToTheOemCodePage) {
  char buffer[16];
  memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(LoadMessageText(ModuleInstance, kMsgCaption, buffer, 5), 4);
  EXPECT_STREQ(buffer, "Test");
  EXPECT_EQ(buffer[5], '#') << "written past the size";
  EXPECT_EQ(LoadMessageText(ModuleInstance, 9, buffer, sizeof buffer), 0);

  // "Größe": ANSI (1252) F6 DF becomes OEM (437) 94 E1.
  ASSERT_EQ(GetACP(), 1252u);
  ASSERT_EQ(GetOEMCP(), 437u);
  EXPECT_EQ(LoadMessageText(ModuleInstance, 7, buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "Gr\x94\xE1" "e");
}

// Nobody watches: no box, the question takes the answer given, a notice OK,
// and each text goes to the log file as it would have been shown, in the
// ANSI code page (F6 DF, not the box's OEM 94 E1).
TEST(Messages, UnattendedTextsGoToTheLogWithTheAnswerTaken) {
  DialogAnswerer answerer({IDNO, IDOK});
  const std::string log = TempDir() + "\\texts.log";
  EXPECT_FALSE(SetUnattendedRoad(2, log.c_str()));
  EXPECT_FALSE(SetUnattendedRoad(1, std::string(MAX_PATH, 'x').c_str()));
  ASSERT_TRUE(SetUnattendedRoad(1, log.c_str()));
  EXPECT_EQ(ShowMessage(kMsgAskStopWebServer, kBoxYesNo), IDYES);
  EXPECT_EQ(ShowMessage(7, kBoxOk), IDOK);
  ASSERT_TRUE(SetUnattendedRoad(0, log.c_str()));
  EXPECT_EQ(ShowMessage(kMsgAskStopWebServer, kBoxYesNo), IDNO);
  SetBoxRoad();
  Sleep(200);  // a box, had there been one, would have been seen by now
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_EQ(ReadFile(log),
            "Test caption: Test 1: may the web server be stopped? -> Yes\r\n"
            "Test caption: Gr\xF6\xDF" "e -> OK\r\n"
            "Test caption: Test 1: may the web server be stopped? -> No\r\n");
}

}  // namespace
