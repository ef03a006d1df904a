// Messages as the class library passes them around: one record with the message, its parameters and
// its result, plus typed views of the common ones.
#pragma once

#include "platform/gui/Windows.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
  WORD WParamLo() const { return LOWORD(WParam); }
  WORD WParamHi() const { return HIWORD(WParam); }
  WORD LParamLo() const { return LOWORD(static_cast<std::uintptr_t>(LParam)); }
  WORD LParamHi() const { return HIWORD(static_cast<std::uintptr_t>(LParam)); }
};

// Mouse messages: keys in WParam, client coordinates in LParam.
struct TWMMouse {
  explicit TWMMouse(TMessage& m) : msg(m) {}
  WPARAM Keys() const { return msg.WParam; }
  int XPos() const { return GET_X_LPARAM(msg.LParam); }
  int YPos() const { return GET_Y_LPARAM(msg.LParam); }
  TPoint Pos() const { return {XPos(), YPos()}; }
  TMessage& msg;
};

// Key messages: the virtual key (or character) in WParam, the key data in LParam.
struct TWMKey {
  explicit TWMKey(TMessage& m) : msg(m) {}
  WORD CharCode() const { return static_cast<WORD>(msg.WParam); }
  void SetCharCode(WORD v) { msg.WParam = v; }
  char32_t Char() const { return static_cast<char32_t>(msg.WParam); }
  LPARAM KeyData() const { return msg.LParam; }
  TMessage& msg;
};

struct TWMScroll {
  explicit TWMScroll(TMessage& m) : msg(m) {}
  int ScrollCode() const { return static_cast<short>(LOWORD(msg.WParam)); }
  int Pos() const { return static_cast<short>(HIWORD(msg.WParam)); }
  HWND ScrollBar() const { return reinterpret_cast<HWND>(msg.LParam); }
  TMessage& msg;
};

inline TMessage MakeMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) {
  TMessage m;
  m.Msg = msg;
  m.WParam = w;
  m.LParam = l;
  return m;
}
