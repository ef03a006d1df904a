// The clipboard: formats by number, raw bytes per format, text in UTF-8.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/gui/Windows.h"

constexpr UINT CF_TEXT = 1, CF_BITMAP = 2, CF_OEMTEXT = 7, CF_UNICODETEXT = 13, CF_LOCALE = 16;

// Registered formats get numbers from 0xC000 on; the same name always gets the same number.
UINT RegisterClipboardFormat(const std::string& name);
std::string GetClipboardFormatName(UINT format);  // "" for unregistered numbers

// Where the clipboard's contents live: the desktop's clipboard, or memory (tests).
class IClipboardBackend {
 public:
  virtual ~IClipboardBackend() = default;
  // Replaces the whole contents.
  virtual void SetData(const std::map<UINT, std::string>& formats) = 0;
  virtual bool HasFormat(UINT format) = 0;
  virtual std::string GetData(UINT format) = 0;
};
std::unique_ptr<IClipboardBackend> MakeMemoryClipboard();
std::unique_ptr<IClipboardBackend> MakeSystemClipboard();
// Installs a backend (nullptr: the system clipboard again).
void SetClipboardBackend(std::unique_ptr<IClipboardBackend> backend);

// The classic calls: contents set between OpenClipboard and CloseClipboard reach the backend together.
bool OpenClipboard(HWND owner);
bool CloseClipboard();
bool EmptyClipboard();
bool SetClipboardData(UINT format, const std::string& bytes);
bool GetClipboardData(UINT format, std::string& bytes);
bool IsClipboardFormatAvailable(UINT format);

class TClipboard {
 public:
  void Open();
  void Close();
  void Clear();
  bool HasFormat(UINT Format);
  std::string AsText();
  void SetAsText(const std::string& Value);
  void SetBuffer(UINT Format, const std::string& Bytes);
  std::string GetBuffer(UINT Format);

 private:
  int openCount_ = 0;
};

TClipboard* Clipboard();
