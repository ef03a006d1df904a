// The version resource of a program file: a block of named strings per language and code page that
// the program registers for its own file at start-up, read back through the three classic calls.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/gui/Windows.h"

struct TVersionInfo {
  WORD Language = 0x0419;  // Russian
  WORD CodePage = 1200;    // the strings are UTF-8 text; the number only forms the table's key
  std::vector<std::pair<std::string, std::string>> Strings;  // "ProductName", "FileVersion"...
};

// Gives FileName (the running program when empty) this version information; an empty Strings list
// with no translation is still a block. UnregisterVersionInfo takes it away again.
void RegisterVersionInfo(const std::string& FileName, const TVersionInfo& Info);
void UnregisterVersionInfo(const std::string& FileName);

// The size of the file's version block, 0 when it has none. Handle is set to 0.
DWORD GetFileVersionInfoSize(const std::string& FileName, DWORD* Handle);
// Copies the block into Data (at most Len bytes); false when the file has none or Len is too small.
bool GetFileVersionInfo(const std::string& FileName, DWORD Handle, DWORD Len, void* Data);
// Looks up "\VarFileInfo\Translation" (language and code page, 4 bytes) or
// "\StringFileInfo\<8 hex digits>\<name>" (the value and its zero; Len counts the zero) in a block.
// Buffer points into Block. False when the value is not there.
bool VerQueryValue(const void* Block, const std::string& SubBlock, void** Buffer, UINT* Len);
