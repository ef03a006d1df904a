// The editor's text drawer: a process-wide cache of font variants shared by every editor, a font
// stock per drawer, and the drawer that puts every character in a cell of one fixed width.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/rtl/SysUtils.h"

TALVIK_DECLARE_EXCEPTION(EFontStockException, Exception);
TALVIK_DECLARE_EXCEPTION(ETextDrawerException, Exception);

// A double-byte advance that no font ever has: double-byte steps are inert here.
constexpr int kNoDoubleByteAdvance = 2147483647;

// One of the sixteen variants (bit 0 bold, 1 italic, 2 underline, 3 strike-out) of a font.
struct TheFontData {
  HFONT Handle = nullptr;
  int CharAdv = 0;
  int DBCharAdv = 0;
  int CharHeight = 0;
};

// What every editor using one font description shares.
struct TheSharedFontsInfo {
  int RefCount = 0;
  int LockCount = 0;
  std::unique_ptr<TFont> BaseFont;
  LOGFONT BaseLF;
  bool IsDBCSFont = false;
  bool IsTrueType = false;
  std::array<TheFontData, 16> FontsData{};
};

class TheFontsInfoManager {
 public:
  TheFontsInfoManager() = default;
  ~TheFontsInfoManager();
  TheFontsInfoManager(const TheFontsInfoManager&) = delete;
  TheFontsInfoManager& operator=(const TheFontsInfoManager&) = delete;

  TheSharedFontsInfo* GetFontsInfo(TFont* font);
  void ReleaseFontsInfo(TheSharedFontsInfo* info);
  void LockFontsInfo(TheSharedFontsInfo* info);
  void UnlockFontsInfo(TheSharedFontsInfo* info);
  int Count() const { return static_cast<int>(list_.size()); }

 private:
  std::vector<TheSharedFontsInfo*> list_;
};

// The process-wide cache, made on first use.
TheFontsInfoManager* GetFontsInfoManager();

// The description of a font as the cache compares it: style bits cleared.
LOGFONT BaseLogFont(TFont* font);

class TheFontStock {
 public:
  explicit TheFontStock(TFont* initialFont);
  ~TheFontStock();
  TheFontStock(const TheFontStock&) = delete;
  TheFontStock& operator=(const TheFontStock&) = delete;

  void SetBaseFont(TFont* value);
  void SetStyle(int style);
  int Style() const { return style_; }
  HFONT FontHandle() const { return current_ ? current_->Handle : nullptr; }
  int CharAdvance() const { return current_ ? current_->CharAdv : 0; }
  int CharHeight() const { return current_ ? current_->CharHeight : 0; }
  int DBCharAdvance() const { return current_ ? current_->DBCharAdv : kNoDoubleByteAdvance; }
  TheSharedFontsInfo* FontsInfo() const { return info_; }
  void ReleaseFontHandles();

 private:
  void CalcFontAdvance(HDC dc, TheFontData& data);
  HDC ScreenDC();
  void ReleaseScreenDC();

  TheSharedFontsInfo* info_ = nullptr;
  bool usingFontHandles_ = false;
  HDC dc_ = nullptr;
  int dcRefCount_ = 0;
  TheFontData* current_ = nullptr;
  int style_ = -1;
  LOGFONT baseLF_;
};

// Converts font styles to a variant index (0..15).
inline int FontStyleIndex(TFontStyles style) {
  return static_cast<int>(style.Bits() & 15);
}

class TheTextDrawer {
 public:
  TheTextDrawer(TFontStyles calcExtentBaseStyle, TFont* baseFont);
  ~TheTextDrawer();
  TheTextDrawer(const TheTextDrawer&) = delete;
  TheTextDrawer& operator=(const TheTextDrawer&) = delete;

  int GetCharWidth() const { return charWidth_ + charExtra_; }
  int GetCharHeight() const { return charHeight_; }
  void BeginDrawing(HDC dc);
  void EndDrawing();
  // Sets the font and colours this drawer holds on its device context again, after drawing through
  // the canvas on the same context (a line drawn there sets the brush's colour as the background).
  void RestoreDCState();
  void TextOut(int x, int y, std::u32string_view text);
  // Every character advances by GetCharWidth, whatever its glyph's own width.
  void ExtTextOut(int x, int y, UINT options, const TRect& rect, std::u32string_view text);
  void SetBaseFont(TFont* value);
  void SetBaseStyle(TFontStyles value);
  void SetStyle(TFontStyles value);
  void SetForeColor(TColor value);
  void SetBackColor(TColor value);
  void SetCharExtra(int value);
  void ReleaseTemporaryResources();
  // The width the last character of `text` reaches past its cell (italic overhang), 0 when none.
  int Overhang(char32_t ch);
  HDC DrawingDC() const { return dc_; }
  int DrawingCount() const { return drawingCount_; }

 private:
  void ReleaseETODist() { etoDist_.clear(); }
  void AfterStyleSet();
  void DoSetCharExtra(int value);
  void MeasureBase(int style);

  HDC dc_ = nullptr;
  int savedDC_ = 0;
  int drawingCount_ = 0;
  std::unique_ptr<TheFontStock> fontStock_;
  int calcExtentBaseStyle_ = 0;
  int charWidth_ = 0;
  int charHeight_ = 0;
  HFONT currentFont_ = nullptr;
  int style_ = 0;
  TColor currentColor_ = clWindowText;
  TColor bkColor_ = clWindow;
  int charExtra_ = 0;
  std::vector<int> etoDist_;
  std::string utf8_;
};
