// The installation record: where the product and its private Java runtime
// live, as HKEY_LOCAL_MACHINE values that pathstamp writes and the launcher
// and the uninstall hook read. Every deliverable links its own copy.
#pragma once
#include <stddef.h>

#include "../common/ansi_path.h"

// Key and value names. Registry key names are case-insensitive; the uninstall
// hook spells the root component in capitals, as the original product does.
#define KX_INSTALLATION_KEY "Software\\Veltrana\\Kestrix\\2.0\\Installation"
#define KX_INSTALLATION_KEY_UPPER "SOFTWARE\\Veltrana\\Kestrix\\2.0\\Installation"
#define KX_JRE_KEY "Software\\Veltrana\\Kestrix\\2.0\\Java Runtime Environment"
#define KX_JRE_VERSION_KEY KX_JRE_KEY "\\1.2.1"

#define KX_VALUE_INSTALL_PATH "InstallPath"
#define KX_VALUE_ONLINE "online"
#define KX_VALUE_OFFLINE "offline"
#define KX_VALUE_ZEPHYL4 "zephyl4"
#define KX_VALUE_DOCS "docs"
#define KX_VALUE_CURRENT_VERSION "CurrentVersion"
#define KX_VALUE_JAVA_HOME "JavaHome"
#define KX_VALUE_MICRO_VERSION "MicroVersion"
#define KX_VALUE_RUNTIME_LIB "RuntimeLib"

#define KX_CURRENT_VERSION "1.2"
#define KX_MICRO_VERSION "2"
#define KX_JAVA_HOME_SUFFIX "\\jre"
#define KX_RUNTIME_LIB_SUFFIX "\\bin\\classic\\jvm.dll"

// The longest installation root, in bytes of the ANSI code page, that the
// launcher can use: it loads root\jre\bin\classic\jvm.dll by a path that
// must fit MAX_PATH (260 bytes with the NUL). pathstamp records no longer
// root, so a setup in too deep a folder stops instead of leaving a product
// that can't start.
constexpr size_t kRuntimeLibPathCapacity = 260;
constexpr size_t kMaxInstallRootLength = kRuntimeLibPathCapacity - 1 -
                                         (sizeof KX_JAVA_HOME_SUFFIX - 1) -
                                         (sizeof KX_RUNTIME_LIB_SUFFIX - 1);
static_assert(kMaxInstallRootLength == 235, "runtime library suffix changed");

#ifdef _WIN32
#include <windows.h>

// Reads one REG_SZ value of an HKEY_LOCAL_MACHINE sub-key. Returns a
// malloc'ed, always NUL-terminated copy that the caller has to free(), or
// nullptr when the key or value is missing, the value is not REG_SZ or the
// read fails. A value stored without its terminator still comes back
// terminated.
char* ReadRegistryString(const char* subKey, const char* valueName);

// Creates (or opens) an HKEY_LOCAL_MACHINE sub-key and sets one REG_SZ value
// with its terminator counted. Returns the error of creating the key, else
// that of setting the value, else the result of closing the key: anything
// but ERROR_SUCCESS means the value may not be stored.
LONG WriteRegistryString(const char* subKey, const char* valueName, const char* text);
// The same for a REG_SZ of exactly `size` bytes, stored as they are (the
// web server's filter list may hold bytes after its first NUL).
LONG WriteRegistrySz(const char* subKey, const char* valueName, const char* bytes, DWORD size);
#endif

// Turns the full path of pathstamp's executable, in place, into the
// installation root: cut at the last backslash, or just after it when it is
// also the first (a drive's root keeps its backslash). Only a backslash that
// is a character of its own counts, never the second byte of a double-byte
// one. Returns false, leaving the text alone, when the path holds no
// backslash at all.
bool CutToInstallRoot(char* modulePath, LeadByteTest isLeadByte);
