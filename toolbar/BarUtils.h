// Free functions shared by the item, view, popup, dock and toolbar code: system menu settings, the
// sound scheme, monitor rectangles, caption text, rotated text, drag outlines, printing windows into
// a device context, message-queue operations, small list operations and mouse-leave tracking.
#pragma once

#include <string>
#include <string_view>

#include "platform/gui/Controls.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/Windows.h"
#include "platform/rtl/Classes.h"

// WM_PRINT flags.
constexpr LPARAM PRF_CHECKVISIBLE = 0x01, PRF_NONCLIENT = 0x02, PRF_CLIENT = 0x04, PRF_ERASEBKGND = 0x08,
                 PRF_CHILDREN = 0x10, PRF_OWNED = 0x20;

// ---- system settings ----
// The submenu open and close delay in milliseconds (never negative).
int GetMenuShowDelay();
// The delay as the user's settings store keeps it ("Control Panel\Desktop", "MenuShowDelay"): 400
// without the key or the value, the number of a whole decimal text, else 0. Read on every call.
int ReadMenuShowDelaySetting();
bool AreFlatMenusEnabled();
bool AreKeyboardCuesEnabled();
bool IsWindowsXPOrLater();
bool ApplicationIsActive();
// Captions are Unicode here, so no keyboard-layout code page is ever needed: always 0.
UINT GetInputLocaleCodePage();

// ---- sounds ----
// Whether the user's sound scheme has a sound for the alias ("MenuPopup", "MenuCommand").
bool NeedToPlaySound(const std::string& Alias);
// Plays the alias asynchronously, without a default sound and without stopping one that plays.
void PlayMenuSound(const std::string& Alias);

// ---- monitors ----
bool UsingMultipleMonitors();
void GetPrimaryWorkArea(bool WorkArea, TRect& R);
void GetRectOfMonitorContainingRect(const TRect& R, bool WorkArea, TRect& Result);
void GetRectOfMonitorContainingPoint(TPoint P, bool WorkArea, TRect& Result);

// ---- caption text ('&' marks the accelerator, "&&" is a literal '&') ----
std::string StripAccelChars(std::string_view S);
std::string EscapeAmpersands(std::string_view S);
std::string StripTrailingPunctuation(std::string_view S);
// The accelerator character (the last one marked wins); 0 when there is none.
char32_t FindAccelChar(std::string_view S);
int GetTextWidth(HDC DC, const std::string& S, bool Prefix);
int GetTextHeight(HDC DC);

// ---- rotated text (running downwards) ----
// A copy of the DC's current font turned by 270 degrees; nullptr when the font cannot be read.
HFONT CreateRotatedFont(HDC DC);
void DrawRotatedText(HDC DC, std::string Text, const TRect& Rect, UINT Format);

// ---- drag outlines ----
// Moves a halftone outline from OldRect (with OldSize) to NewRect (with NewSize); either may be
// nullptr. Parts common to both outlines are left untouched. Brushes nullptr: the halftone brush.
void DrawInvertRect(HDC DC, const TRect* NewRect, const TRect* OldRect, TSize NewSize, TSize OldSize,
                    HBRUSH Brush = nullptr, HBRUSH LastBrush = nullptr);
void DrawHalftoneInvertRect(HDC DC, const TRect* NewRect, const TRect* OldRect, TSize NewSize, TSize OldSize);

// ---- printing windows into a device context ----
using TNCPaintProc = void (*)(HWND Wnd, HDC DC, void* AppData);
// The WM_PRINT handler; the result is 1.
LRESULT HandleWMPrint(HWND Wnd, TMessage& Message, TNCPaintProc NCPaintProc, void* AppData);
void HandleWMPrintClient(TWinControl* Control, TMessage& Message);
void SelectNCUpdateRgn(HWND Wnd, HDC DC, HRGN Rgn);
HRGN CreateNullRegion();

// ---- message queue ----
void ProcessPaintMessages();
void RemoveMessages(UINT Min, UINT Max);

// ---- small operations ----
bool AddToList(TList*& List, void* Item);
bool AddToFrontOfList(TList*& List, void* Item);
void RemoveFromList(TList*& List, void* Item);
void QuickSortList(TList* List, const TListSortCompare& Compare);
int DivRoundAway(int X, int Y);
inline int MinInt(int A, int B) {
  return A < B ? A : B;
}
inline bool PointsEqual(TPoint P1, TPoint P2) {
  return P1.X == P2.X && P1.Y == P2.Y;
}

// ---- mouse-leave tracking ----
void InitTrackMouseEvent();
bool CallTrackMouseEvent(HWND Wnd, DWORD Flags);
