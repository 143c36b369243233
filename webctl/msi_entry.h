// What the custom actions of both DLLs share (msi_entry_win.cpp): reading a
// property, scheduling a deferred action and a line in the installer's log.
// msi.dll is reached through LoadMsiCalls, so the DLLs import nothing more.
//
// An immediate action schedules a deferred one by setting the property named
// after it: that text becomes the deferred action's CustomActionData, the
// only property Windows hands a deferred action (besides ProductCode and
// UserSID). So a deferred action reads "CustomActionData" and nothing else.
#pragma once
#include "webctl.h"

#ifdef _WIN32

constexpr UINT kActionSuccess = ERROR_SUCCESS;            // 0
constexpr UINT kActionUserExit = ERROR_INSTALL_USEREXIT;  // 1602: the user said No
constexpr UINT kActionFailure = ERROR_INSTALL_FAILURE;    // 1603: the installer rolls back
constexpr DWORD kPropertyCapacity = MAX_PATH;
// The public property that answers the question when nobody can (/qn): Yes
// unless it reads "no" in any letter case.
constexpr char kAnswerProperty[] = "KXSTOPWEBSERVER";
constexpr char kActionData[] = "CustomActionData";

// false, with out "", when the property can't be read or doesn't fit.
bool ReadProperty(MSIHANDLE install, const char* name, char (&out)[kPropertyCapacity]);
bool SetProperty(MSIHANDLE install, const char* name, const char* value);
// 1 (Yes) or 0 (No), from kAnswerProperty.
int UnattendedAnswer(MSIHANDLE install);
// An immediate action's look-ups and question, through the installer (at
// no UI, kAnswerProperty answers). kActionSuccess with *outcome kNothingRuns
// or kAllowed; kActionUserExit for No; kActionFailure when the service
// manager can't be stopped (95/98: message 6, logged).
UINT AskBeforeStop(MSIHANDLE install, StopOutcome* outcome);
// One line in the installer's log (an info message), at every UI level.
void LogLine(MSIHANDLE install, const char* text);

#endif  // _WIN32
