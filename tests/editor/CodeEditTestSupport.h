// A form with an editor on it, offscreen, on the fake clock of the gui tests; helpers that drive
// the editor through messages and look at what it painted.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/CodeEdit.h"
#include "editor/CodeHighlighterSQL.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "tests/gui/GuiTestSupport.h"

namespace edittest {

inline std::string ScreenshotDir() {
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  return dir;
}

// The Oracle highlighter as the session window sets it up.
inline std::unique_ptr<TCodeSQLHighlighter> SessionHighlighter() {
  auto h = std::make_unique<TCodeSQLHighlighter>(nullptr);
  h->SetSQLDialect(sqlOracle);
  h->CommentAttri()->SetForeground(clGray);
  h->SQLPlusAttri()->SetForeground(clNavy);
  h->StringAttri()->SetForeground(clGreen);
  return h;
}

// The options dialog's editable statement editor: "Courier New" at 13 pixels, the session window's
// highlighter, line numbers in a "Terminal" gutter, context help moved from F1 to Ctrl+F1.
inline void CustomSetup(TCodeEdit* e, TCodeSQLHighlighter* h) {
  e->Font()->SetName("Courier New");
  e->Font()->SetHeight(-13);
  e->SetHighlighter(h);
  e->Gutter()->Font()->SetName("Terminal");
  e->Gutter()->SetShowLineNumbers(true);
  int i = e->Keystrokes()->FindCommand(ecContextHelp);
  if (i >= 0) e->Keystrokes()->Items(i)->SetShortCut(ShortCut(VK_F1, TShiftState{ssCtrl}));
}

struct ShiftState {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
};

class CodeEditTest : public guitest::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    SetClipboardBackend(MakeMemoryClipboard());
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 480, 260);
    edit = new TCodeEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(0, 0, 480, 260);
  }
  void TearDown() override {
    form.reset();
    highlighter.reset();
    GuiTest::TearDown();
  }
  // The read-only statement editor of the session window.
  void SessionSetup(TCodeEdit* e) {
    if (!highlighter) highlighter = SessionHighlighter();
    e->SetReadOnly(true);
    e->Font()->SetName("Courier New");
    e->Font()->SetHeight(-13);
    e->Gutter()->SetVisible(false);
    e->SetHighlighter(highlighter.get());
  }
  void ShowAndFocus() {
    form->Show();
    edit->SetFocus();
    Pump();
  }
  void Key(WORD vk, ShiftState s = {}, char32_t ch = 0) {
    guitest::TypeKey(vk, ch, {s.shift, s.ctrl, s.alt});
    Pump();
  }
  POINT ScreenOf(int x, int y) {
    TPoint p = edit->ClientToScreen(TPoint{x, y});
    return POINT{p.X, p.Y};
  }
  void Mouse(UINT msg, int x, int y, ShiftState s = {}) {
    guitest::MouseStep(msg, ScreenOf(x, y), {s.shift, s.ctrl, s.alt});
    Pump();
  }
  // The client point of a text cell (column and row from 1 on screen).
  TPoint CellPoint(int column, int row) {
    TPoint p = edit->RowColumnToPixels(TDisplayCoord{column, row});
    return TPoint{p.X + 1, p.Y + edit->LineHeight() / 2};
  }
  std::string ClipboardText() {
    std::string s;
    OpenClipboard(nullptr);
    GetClipboardData(CF_TEXT, s);
    CloseClipboard();
    return s;
  }
  std::string ClipboardBlock() {
    std::string s;
    OpenClipboard(nullptr);
    GetClipboardData(CodeEditClipboardFormat(), s);
    CloseClipboard();
    return s;
  }
  // A pixel of the editor's client area, as the form's image shows it.
  COLORREF Pixel(int x, int y) {
    RECT r;
    GetWindowRect(edit->Handle(), r);
    RECT f;
    GetWindowRect(form->Handle(), f);
    TPoint c = edit->ClientToScreen(TPoint{x, y});
    return talvik::gui::WindowPixel(form->Handle(), c.X - f.Left, c.Y - f.Top);
  }

  // The drawing calls of one paint of the editor's client area limited to `clip`.
  std::vector<TDrawRecord> RecordPaint(const TRect& clip) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, edit->ClientWidth(), edit->ClientHeight());
    HGDIOBJ old = SelectObject(dc, bmp);
    IntersectClipRect(dc, clip.Left, clip.Top, clip.Right, clip.Bottom);
    std::vector<TDrawRecord> records;
    SetDrawRecording(dc, &records);
    edit->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    SetDrawRecording(dc, nullptr);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return records;
  }
  // The client area of `e` as its top-level window's image shows it now (pending paints first), row by
  // row.
  static std::vector<COLORREF> ClientImage(TCodeEdit* e) {
    const int w = e->ClientWidth(), h = e->ClientHeight();
    HWND top = GetAncestor(e->Handle(), GA_ROOT);
    RECT topRect;
    GetWindowRect(top, topRect);
    talvik::gui::UpdateAllWindows(top);
    const TPoint origin = e->ClientToScreen(TPoint{0, 0});
    std::vector<COLORREF> pixels;
    pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        pixels.push_back(
            talvik::gui::WindowPixel(top, origin.X - topRect.Left + x, origin.Y - topRect.Top + y));
    return pixels;
  }
  // The pixels of one paint of the whole client area of `e` into a bitmap of its own, row by row.
  static std::vector<COLORREF> PaintedPixels(TCodeEdit* e) {
    const int w = e->ClientWidth(), h = e->ClientHeight();
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(dc, bmp);
    e->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc));
    std::vector<COLORREF> pixels;
    pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    return pixels;
  }
  static std::vector<TDrawRecord> Texts(const std::vector<TDrawRecord>& all) {
    std::vector<TDrawRecord> out;
    for (const auto& r : all)
      if (r.Kind == TDrawRecord::drText && !r.Text.empty()) out.push_back(r);
    return out;
  }

  std::unique_ptr<TForm> form;
  TCodeEdit* edit = nullptr;
  std::unique_ptr<TCodeSQLHighlighter> highlighter;
};

inline const char* kOracleSample =
    "-- Сеансы, ждущие блокировку\n"
    "SELECT s.sid, s.serial#, s.username, p.spid\n"
    "  FROM v$session s, v$process p\n"
    " WHERE s.paddr = p.addr(+)\n"
    "   AND s.status = 'ACTIVE' /* только активные */\n"
    "   AND s.lockwait IS NOT NULL\n"
    " ORDER BY s.sid;\n"
    "BEGIN\n"
    "  DBMS_OUTPUT.PUT_LINE('Привет, мир');\n"
    "END;\n"
    "/";

// `count` lines of SQL with Cyrillic comments, joined by LF: some end in blanks, some are indented
// with tabs, some are empty, one comment spans lines.
inline std::string SqlText(int count) {
  static const char* const kLines[] = {
      "-- Сеансы, ждущие блокировку",
      "SELECT s.sid, s.serial#, s.username, p.spid",
      "  FROM v$session s, v$process p   ",
      " WHERE s.paddr = p.addr(+)",
      "   AND s.status = 'ACTIVE' /* только",
      "\tактивные */ AND s.lockwait IS NOT NULL  ",
      "",
      " ORDER BY s.sid;",
      "BEGIN",
      "\tDBMS_OUTPUT.PUT_LINE('Привет, мир');\t",
      "  x := 1;   ",
      "END;",
      "/",
  };
  constexpr int kCount = static_cast<int>(sizeof kLines / sizeof kLines[0]);
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += '\n';
    out += kLines[i % kCount];
  }
  return out;
}

// The editor's lines as one text that tells a line end from a CR or LF inside a line (shown as \r
// and \n; a backslash as \\, other control characters as \x with two hex digits), for TextDiff.
inline std::string ExactLines(const TCodeEditStringList* lines) {
  static const char* const kHex = "0123456789abcdef";
  std::string out;
  for (int i = 0; i < lines->Count(); ++i) {
    if (i > 0) out += '\n';
    for (unsigned char c : lines->Strings(i)) {
      if (c == '\r')
        out += "\\r";
      else if (c == '\n')
        out += "\\n";
      else if (c == '\\')
        out += "\\\\";
      else if (c < 32 && c != '\t')
        out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
      else
        out += static_cast<char>(c);
    }
  }
  return out;
}

// Empty when the two texts are equal; else the line counts and the first line that differs, so
// that a failure over thousands of lines stays readable.
inline std::string TextDiff(const std::string& expected, const std::string& actual) {
  if (expected == actual) return std::string();
  auto split = [](const std::string& t) {
    std::vector<std::string> out(1);
    for (char c : t) {
      if (c == '\n')
        out.emplace_back();
      else
        out.back() += c;
    }
    return out;
  };
  std::vector<std::string> a = split(expected), b = split(actual);
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  std::string out = std::to_string(a.size()) + " lines expected, " + std::to_string(b.size()) +
                    " found; line " + std::to_string(i + 1) + ": expected \"";
  out += (i < a.size() ? a[i] : std::string("<none>")) + "\", found \"";
  out += (i < b.size() ? b[i] : std::string("<none>")) + "\"";
  return out;
}

}  // namespace edittest
