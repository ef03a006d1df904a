#include "toolbar/BarUtils.h"

#include <charconv>
#include <cstring>

#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kDefaultMenuShowDelay = 400;
constexpr uint32_t kMenuShowDelayBufferSize = 32;
constexpr uint32_t kSoundBufferSize = 8;

// Closes a registry key when the scope ends.
struct KeyScope {
  HKEY key = 0;
  ~KeyScope() {
    if (key) RegCloseKey(key);
  }
};

// Parses a whole decimal number (an optional sign and digits only); false for anything else.
bool ParseWholeNumber(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = first + text.size();
  if (*first == '+') ++first;
  auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && end == last && first != last;
}

}  // namespace

// ---------------------------------------------------------------- system settings

int ReadMenuShowDelaySetting() {
  KeyScope k;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &k.key) != ERROR_SUCCESS)
    return kDefaultMenuShowDelay;
  char buffer[kMenuShowDelayBufferSize];
  uint32_t type = 0;
  uint32_t size = sizeof(buffer);
  int rc = RegQueryValueEx(k.key, "MenuShowDelay", &type, buffer, &size);
  if (rc == ERROR_FILE_NOT_FOUND) return kDefaultMenuShowDelay;
  if (rc != ERROR_SUCCESS || type != REG_SZ) return 0;
  // Only what the store handed back counts, and the text ends at its first zero.
  std::string_view text(buffer, std::min<uint32_t>(size, sizeof(buffer)));
  text = text.substr(0, text.find('\0'));
  int value = 0;
  return ParseWholeNumber(text, value) ? value : 0;
}

int GetMenuShowDelay() {
  int delay = 0;
  if (!SystemParametersInfo(SPI_GETMENUSHOWDELAY, 0, &delay, 0)) {
    static const int registryDelay = ReadMenuShowDelaySetting();
    delay = registryDelay;
  }
  return delay < 0 ? 0 : delay;
}

bool AreFlatMenusEnabled() {
  bool flat = false;
  return IsWindowsXPOrLater() && SystemParametersInfo(SPI_GETFLATMENU, 0, &flat, 0) && flat;
}

bool AreKeyboardCuesEnabled() {
  bool cues = true;
  return !SystemParametersInfo(SPI_GETKEYBOARDCUES, 0, &cues, 0) || cues;
}

bool IsWindowsXPOrLater() {
  return true;
}

bool ApplicationIsActive() {
  return GetActiveWindow() != nullptr;
}

UINT GetInputLocaleCodePage() {
  return 0;
}

// ---------------------------------------------------------------- sounds

bool NeedToPlaySound(const std::string& Alias) {
  KeyScope k;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\" + Alias + "\\.Current", 0,
                   KEY_READ, &k.key) != ERROR_SUCCESS)
    return false;
  char buffer[kSoundBufferSize] = {};
  uint32_t size = sizeof(buffer);
  int rc = RegQueryValueEx(k.key, "", nullptr, buffer, &size);
  return (rc == ERROR_SUCCESS && buffer[0] != '\0') || rc == ERROR_MORE_DATA;
}

void PlayMenuSound(const std::string& Alias) {
  PlaySound(Alias, nullptr, SND_ALIAS | SND_ASYNC | SND_NODEFAULT | SND_NOSTOP);
}

// ---------------------------------------------------------------- monitors

bool UsingMultipleMonitors() {
  return GetSystemMetrics(SM_CMONITORS) > 1;
}

void GetPrimaryWorkArea(bool WorkArea, TRect& R) {
  if (WorkArea && SystemParametersInfo(SPI_GETWORKAREA, 0, &R, 0)) return;
  R = Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

namespace {

void MonitorRect(HMONITOR Monitor, bool WorkArea, TRect& Result) {
  MONITORINFO info;
  if (UsingMultipleMonitors() && Monitor && GetMonitorInfo(Monitor, info)) {
    Result = WorkArea ? info.rcWork : info.rcMonitor;
    return;
  }
  GetPrimaryWorkArea(WorkArea, Result);
}

}  // namespace

void GetRectOfMonitorContainingRect(const TRect& R, bool WorkArea, TRect& Result) {
  MonitorRect(UsingMultipleMonitors() ? MonitorFromRect(R, MONITOR_DEFAULTTONEAREST) : nullptr, WorkArea,
              Result);
}

void GetRectOfMonitorContainingPoint(TPoint P, bool WorkArea, TRect& Result) {
  MonitorRect(UsingMultipleMonitors() ? MonitorFromPoint(P, MONITOR_DEFAULTTONEAREST) : nullptr, WorkArea,
              Result);
}

// ---------------------------------------------------------------- caption text
// '&', ':' and '.' are single bytes that never occur inside a UTF-8 sequence, so the scans below
// work on bytes and decode a code point only where one is taken.

std::string StripAccelChars(std::string_view S) {
  return StripHotkey(S);
}

std::string EscapeAmpersands(std::string_view S) {
  std::string result;
  result.reserve(S.size() + 4);
  for (char c : S) {
    result += c;
    if (c == '&') result += '&';
  }
  return result;
}

std::string StripTrailingPunctuation(std::string_view S) {
  const int length = Utf8Length(S);
  if (length > 1 && S.ends_with(':')) return std::string(S.substr(0, S.size() - 1));
  if (length > 3 && S.ends_with("...")) return std::string(S.substr(0, S.size() - 3));
  return std::string(S);
}

char32_t FindAccelChar(std::string_view S) {
  return GetHotkey(S);
}

int GetTextWidth(HDC DC, const std::string& S, bool Prefix) {
  SIZE size;
  GetTextExtentPoint32(DC, Prefix ? StripAccelChars(S) : S, size);
  return size.cx;
}

int GetTextHeight(HDC DC) {
  TEXTMETRIC tm;
  GetTextMetrics(DC, tm);
  return tm.tmHeight;
}

// ---------------------------------------------------------------- rotated text

HFONT CreateRotatedFont(HDC DC) {
  LOGFONT lf;
  HGDIOBJ current = GetCurrentObject(DC, OBJ_FONT);
  if (!current || !GetObject(current, lf)) return nullptr;
  lf.lfEscapement = 2700;
  lf.lfOrientation = 2700;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  if (SameText(lf.lfFaceName, "MS Sans Serif") || SameText(lf.lfFaceName, "Microsoft Sans Serif"))
    lf.lfFaceName = "Arial";
  return CreateFontIndirect(lf);
}

void DrawRotatedText(HDC DC, std::string Text, const TRect& Rect, UINT Format) {
  HFONT font = CreateRotatedFont(DC);
  if (!font) return;
  HGDIOBJ oldFont = SelectObject(DC, font);
  TScopeExit restore([DC, oldFont, font] {
    SelectObject(DC, oldFont);
    DeleteObject(font);
  });

  // The accelerator is the character after the last single '&'.
  std::string before;  // the text before the accelerator, without marks
  std::string accel;
  std::string plain;
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] == '&') {
      if (++i == Text.size()) break;
      if (Text[i] != '&') {
        size_t start = i;
        Utf8Next(Text, i);
        before = plain;
        accel = Text.substr(start, i - start);
        plain += accel;
        --i;
        continue;
      }
    }
    plain += Text[i];
  }

  TEXTMETRIC tm;
  GetTextMetrics(DC, tm);
  SIZE extent;
  GetTextExtentPoint32(DC, plain, extent);
  const int x = Rect.Left + (Rect.Width() - tm.tmHeight) / 2;
  const int y = Rect.Top + (Rect.Height() - extent.cx) / 2;
  UINT oldAlign = SetTextAlign(DC, TA_BOTTOM);
  ExtTextOut(DC, x, y, 0, nullptr, plain);
  SetTextAlign(DC, oldAlign);

  if (!accel.empty() && !(Format & DT_HIDEPREFIX)) {
    SIZE beforeSize, accelSize;
    GetTextExtentPoint32(DC, before, beforeSize);
    GetTextExtentPoint32(DC, accel, accelSize);
    HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(DC));
    HGDIOBJ oldPen = SelectObject(DC, pen);
    const int lineX = x + tm.tmDescent - 2;
    MoveToEx(DC, lineX, y + beforeSize.cx, nullptr);
    LineTo(DC, lineX, y + beforeSize.cx + accelSize.cx);
    SelectObject(DC, oldPen);
    DeleteObject(pen);
  }
}

// ---------------------------------------------------------------- drag outlines

namespace {

// The outline of R with the given thickness, as a region (nullptr for no rectangle).
HRGN OutlineRegion(const TRect* R, TSize Size) {
  if (!R) return nullptr;
  HRGN outer = CreateRectRgnIndirect(*R);
  TRect inner = *R;
  InflateRect(inner, -Size.cx, -Size.cy);
  if (!inner.IsEmpty()) {
    HRGN hole = CreateRectRgnIndirect(inner);
    CombineRgn(outer, outer, hole, RGN_DIFF);
    DeleteObject(hole);
  }
  return outer;
}

void InvertRegion(HDC DC, HRGN Region, HBRUSH Brush) {
  if (!Region) return;
  int saved = SaveDC(DC);
  SelectClipRgn(DC, Region);
  TRect box;
  GetRgnBox(Region, box);
  SelectObject(DC, Brush);
  PatBlt(DC, box.Left, box.Top, box.Width(), box.Height(), PATINVERT);
  RestoreDC(DC, saved);
}

HBRUSH HalftoneBrush() {
  static HBRUSH brush = [] {
    const WORD rows[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    BYTE bits[16];
    for (int i = 0; i < 8; ++i) {
      bits[i * 2] = static_cast<BYTE>(rows[i] & 0xFF);
      bits[i * 2 + 1] = static_cast<BYTE>(rows[i] >> 8);
    }
    HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
    HBRUSH b = CreatePatternBrush(pattern);
    DeleteObject(pattern);
    return b;
  }();
  return brush;
}

}  // namespace

void DrawInvertRect(HDC DC, const TRect* NewRect, const TRect* OldRect, TSize NewSize, TSize OldSize,
                    HBRUSH Brush, HBRUSH LastBrush) {
  if (!Brush) Brush = HalftoneBrush();
  if (!LastBrush) LastBrush = Brush;
  HRGN newRgn = OutlineRegion(NewRect, NewSize);
  HRGN oldRgn = OutlineRegion(OldRect, OldSize);
  if (newRgn && oldRgn && Brush == LastBrush) {
    // One pass over the symmetric difference leaves the common parts as they are.
    CombineRgn(newRgn, newRgn, oldRgn, RGN_XOR);
    InvertRegion(DC, newRgn, Brush);
  } else {
    InvertRegion(DC, oldRgn, LastBrush);
    InvertRegion(DC, newRgn, Brush);
  }
  if (newRgn) DeleteObject(newRgn);
  if (oldRgn) DeleteObject(oldRgn);
}

void DrawHalftoneInvertRect(HDC DC, const TRect* NewRect, const TRect* OldRect, TSize NewSize,
                            TSize OldSize) {
  DrawInvertRect(DC, NewRect, OldRect, NewSize, OldSize);
}

// ---------------------------------------------------------------- printing windows

namespace {

// The client area's offset inside the window rectangle.
TPoint ClientOffset(HWND Wnd) {
  RECT window;
  GetWindowRect(Wnd, window);
  POINT origin{0, 0};
  ClientToScreen(Wnd, origin);
  return {origin.X - window.Left, origin.Y - window.Top};
}

void PrintInto(HWND Child, HDC DC, TPoint At, const TRect* Clip, LPARAM Flags) {
  int saved = SaveDC(DC);
  OffsetWindowOrgEx(DC, -At.X, -At.Y, nullptr);
  if (Clip) IntersectClipRect(DC, 0, 0, Clip->Width(), Clip->Height());
  SendMessage(Child, WM_PRINT, reinterpret_cast<WPARAM>(DC), Flags);
  RestoreDC(DC, saved);
}

}  // namespace

LRESULT HandleWMPrint(HWND Wnd, TMessage& Message, TNCPaintProc NCPaintProc, void* AppData) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  const LPARAM flags = Message.LParam;
  Message.Result = 1;
  if ((flags & PRF_CHECKVISIBLE) && !IsWindowVisible(Wnd)) return 1;
  if ((flags & PRF_NONCLIENT) && NCPaintProc) {
    int saved = SaveDC(dc);
    NCPaintProc(Wnd, dc, AppData);
    RestoreDC(dc, saved);
  }
  RECT window;
  GetWindowRect(Wnd, window);
  if (flags & PRF_CLIENT) {
    TPoint offset = ClientOffset(Wnd);
    int saved = SaveDC(dc);
    OffsetWindowOrgEx(dc, -offset.X, -offset.Y, nullptr);
    if (flags & PRF_ERASEBKGND) {
      int s2 = SaveDC(dc);
      SendMessage(Wnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      RestoreDC(dc, s2);
    }
    int s3 = SaveDC(dc);
    SendMessage(Wnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), flags);
    RestoreDC(dc, s3);
    RestoreDC(dc, saved);
  }
  if (flags & PRF_CHILDREN) {
    for (HWND child = GetWindow(Wnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (GetParent(child) != Wnd || !IsWindowVisible(child)) continue;
      RECT r;
      GetWindowRect(child, r);
      TPoint at{r.Left - window.Left, r.Top - window.Top};
      PrintInto(child, dc, at, &r, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    }
  }
  if (flags & PRF_OWNED) {
    for (HWND top : GetTopLevelWindows()) {
      if (GetWindow(top, GW_OWNER) != Wnd || !IsWindowVisible(top)) continue;
      RECT r;
      GetWindowRect(top, r);
      PrintInto(top, dc, {r.Left - window.Left, r.Top - window.Top}, nullptr, flags);
    }
  }
  return 1;
}

void HandleWMPrintClient(TWinControl* Control, TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  int saved = SaveDC(dc);
  Control->Perform(WM_PAINT, Message.WParam, 0);
  RestoreDC(dc, saved);
}

void SelectNCUpdateRgn(HWND Wnd, HDC DC, HRGN Rgn) {
  if (reinterpret_cast<std::uintptr_t>(Rgn) <= 1) return;
  RECT window;
  GetWindowRect(Wnd, window);
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  if (CombineRgn(copy, Rgn, nullptr, RGN_COPY) == ERROR) {
    DeleteObject(copy);
    copy = CreateRectRgnIndirect(window);
  }
  OffsetRgn(copy, -window.Left, -window.Top);
  SelectClipRgn(DC, copy);
  DeleteObject(copy);
}

HRGN CreateNullRegion() {
  return CreateRectRgn(0, 0, 0, 0);
}

// ---------------------------------------------------------------- message queue

void ProcessPaintMessages() {
  MSG msg;
  while (PeekMessage(msg, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE)) {
    if (!GetMessage(msg, nullptr, WM_PAINT, WM_PAINT)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchMessage(msg);
  }
}

void RemoveMessages(UINT Min, UINT Max) {
  MSG msg;
  while (PeekMessage(msg, nullptr, Min, Max, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
  }
}

// ---------------------------------------------------------------- small operations

bool AddToList(TList*& List, void* Item) {
  if (!List) List = new TList;
  if (List->IndexOf(Item) >= 0) return false;
  List->Add(Item);
  return true;
}

bool AddToFrontOfList(TList*& List, void* Item) {
  if (!List) List = new TList;
  if (List->IndexOf(Item) >= 0) return false;
  List->Insert(0, Item);
  return true;
}

void RemoveFromList(TList*& List, void* Item) {
  if (!List) return;
  List->Remove(Item);
  if (List->Count() == 0) {
    delete List;
    List = nullptr;
  }
}

namespace {

void QuickSort(TList* List, const TListSortCompare& Compare, int L, int R) {
  do {
    int i = L;
    int j = R;
    void* pivot = List->Items((L + R) >> 1);
    do {
      while (Compare(List->Items(i), pivot) < 0) ++i;
      while (Compare(List->Items(j), pivot) > 0) --j;
      if (i <= j) {
        List->Exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    if (L < j) QuickSort(List, Compare, L, j);
    L = i;
  } while (L < R);
}

}  // namespace

void QuickSortList(TList* List, const TListSortCompare& Compare) {
  if (List && List->Count() > 1) QuickSort(List, Compare, 0, List->Count() - 1);
}

int DivRoundAway(int X, int Y) {
  int q = X / Y;
  if (X % Y != 0) q += ((X < 0) != (Y < 0)) ? -1 : 1;
  return q;
}

// ---------------------------------------------------------------- mouse-leave tracking

namespace {
bool trackMouseEventBound = false;
}

void InitTrackMouseEvent() {
  trackMouseEventBound = true;  // the window layer always offers TrackMouseEvent
}

bool CallTrackMouseEvent(HWND Wnd, DWORD Flags) {
  if (!trackMouseEventBound) return false;
  TRACKMOUSEEVENT tme;
  tme.dwFlags = Flags;
  tme.hwndTrack = Wnd;
  tme.dwHoverTime = 0;
  return TrackMouseEvent(tme);
}
