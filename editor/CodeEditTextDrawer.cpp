#include "editor/CodeEditTextDrawer.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "platform/rtl/SysUtils.h"

namespace {

[[noreturn]] void AssertionFailure() {
  throw Exception("Assertion failure");
}

void Check(bool condition) {
  if (!condition) AssertionFailure();
}

bool SameLogFont(const LOGFONT& a, const LOGFONT& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
         a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
         a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
         a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
         a.lfFaceName == b.lfFaceName;
}

TheFontsInfoManager*& ManagerSlot() {
  static TheFontsInfoManager* manager = nullptr;
  return manager;
}

// Frees the cache when the program ends.
struct ManagerFinalizer {
  ~ManagerFinalizer() {
    delete ManagerSlot();
    ManagerSlot() = nullptr;
  }
} managerFinalizer;

void DeleteVariantHandles(TheSharedFontsInfo* info) {
  for (auto& data : info->FontsData) {
    if (data.Handle) DeleteObject(data.Handle);
    data.Handle = nullptr;
  }
}

}  // namespace

LOGFONT BaseLogFont(TFont* font) {
  LOGFONT lf = font->GetLogFont();
  lf.lfItalic = 0;
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 0;
  lf.lfWeight = FW_NORMAL;
  return lf;
}

TheFontsInfoManager* GetFontsInfoManager() {
  if (!ManagerSlot()) ManagerSlot() = new TheFontsInfoManager();
  return ManagerSlot();
}

TheFontsInfoManager::~TheFontsInfoManager() {
  for (TheSharedFontsInfo* info : list_) {
    DeleteVariantHandles(info);
    delete info;
  }
  list_.clear();
}

TheSharedFontsInfo* TheFontsInfoManager::GetFontsInfo(TFont* font) {
  Check(font != nullptr);
  LOGFONT lf = BaseLogFont(font);
  for (TheSharedFontsInfo* info : list_) {
    if (SameLogFont(info->BaseLF, lf)) {
      ++info->RefCount;
      return info;
    }
  }
  auto* info = new TheSharedFontsInfo();
  info->BaseFont = std::make_unique<TFont>();
  info->BaseFont->Assign(font);
  info->BaseLF = lf;
  info->IsTrueType = (lf.lfPitchAndFamily & 4) != 0;
  info->IsDBCSFont = false;  // no double-byte code page here
  info->RefCount = 1;
  list_.push_back(info);
  return info;
}

void TheFontsInfoManager::ReleaseFontsInfo(TheSharedFontsInfo* info) {
  Check(info != nullptr);
  if (info->LockCount >= info->RefCount) throw Exception("Call DeactivateFontsInfo before calling this.");
  if (--info->RefCount > 0) return;
  std::erase(list_, info);
  DeleteVariantHandles(info);
  delete info;
}

void TheFontsInfoManager::LockFontsInfo(TheSharedFontsInfo* info) {
  Check(info != nullptr);
  ++info->LockCount;
}

void TheFontsInfoManager::UnlockFontsInfo(TheSharedFontsInfo* info) {
  Check(info != nullptr && info->LockCount > 0);
  if (--info->LockCount == 0) DeleteVariantHandles(info);
}

// ------------------------------------------------------------------ font stock

TheFontStock::TheFontStock(TFont* initialFont) {
  SetBaseFont(initialFont);
}

TheFontStock::~TheFontStock() {
  ReleaseFontHandles();
  if (info_) GetFontsInfoManager()->ReleaseFontsInfo(info_);
  if (dc_) DeleteDC(dc_);
}

HDC TheFontStock::ScreenDC() {
  if (dcRefCount_++ == 0 && !dc_) dc_ = CreateCompatibleDC(nullptr);
  return dc_;
}

void TheFontStock::ReleaseScreenDC() {
  Check(dcRefCount_ > 0);
  --dcRefCount_;
}

void TheFontStock::SetBaseFont(TFont* value) {
  if (!value) throw EFontStockException("SetBaseFont: 'Value' must be specified.");
  TheSharedFontsInfo* info = GetFontsInfoManager()->GetFontsInfo(value);
  if (info == info_) {
    GetFontsInfoManager()->ReleaseFontsInfo(info);
    return;
  }
  ReleaseFontHandles();
  if (info_) GetFontsInfoManager()->ReleaseFontsInfo(info_);
  info_ = info;
  baseLF_ = info->BaseLF;
  current_ = nullptr;
  style_ = -1;
  SetStyle(FontStyleIndex(value->Style()));
}

void TheFontStock::CalcFontAdvance(HDC dc, TheFontData& data) {
  TEXTMETRIC tm;
  GetTextMetrics(dc, tm);
  ABC abc;
  if (GetCharABCWidths(dc, U'M', U'M', &abc))
    data.CharAdv = abc.abcA + static_cast<int>(abc.abcB) + abc.abcC + tm.tmOverhang;
  else
    data.CharAdv = tm.tmAveCharWidth;
  data.CharHeight = std::abs(tm.tmHeight);
  data.DBCharAdv = kNoDoubleByteAdvance;
}

void TheFontStock::SetStyle(int style) {
  Check(style >= 0 && style <= 15);
  if (!usingFontHandles_) {
    GetFontsInfoManager()->LockFontsInfo(info_);
    usingFontHandles_ = true;
  }
  TheFontData* data = &info_->FontsData[static_cast<size_t>(style)];
  if (data == current_) return;
  style_ = style;
  current_ = data;
  if (!data->Handle) {
    LOGFONT lf = baseLF_;
    lf.lfWeight = (style & 1) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style & 2) ? 1 : 0;
    lf.lfUnderline = (style & 4) ? 1 : 0;
    lf.lfStrikeOut = (style & 8) ? 1 : 0;
    data->Handle = CreateFontIndirect(lf);
    if (data->CharAdv == 0) {
      HDC dc = ScreenDC();
      HGDIOBJ old = SelectObject(dc, data->Handle);
      CalcFontAdvance(dc, *data);
      SelectObject(dc, old);
      ReleaseScreenDC();
    }
  }
}

void TheFontStock::ReleaseFontHandles() {
  if (!usingFontHandles_) return;
  usingFontHandles_ = false;
  current_ = nullptr;
  style_ = -1;
  GetFontsInfoManager()->UnlockFontsInfo(info_);
}

// ------------------------------------------------------------------ text drawer

TheTextDrawer::TheTextDrawer(TFontStyles calcExtentBaseStyle, TFont* baseFont)
    : fontStock_(std::make_unique<TheFontStock>(baseFont)),
      calcExtentBaseStyle_(FontStyleIndex(calcExtentBaseStyle)) {
  SetBaseFont(baseFont);
}

TheTextDrawer::~TheTextDrawer() {
  while (drawingCount_ > 0) EndDrawing();
}

void TheTextDrawer::MeasureBase(int style) {
  fontStock_->SetStyle(style);
  charWidth_ = fontStock_->CharAdvance();
  charHeight_ = fontStock_->CharHeight();
}

void TheTextDrawer::SetBaseFont(TFont* value) {
  if (!value) throw ETextDrawerException("SetBaseFont: 'Value' must be specified.");
  ReleaseETODist();
  fontStock_->SetBaseFont(value);
  MeasureBase(calcExtentBaseStyle_);
  SetStyle(value->Style());
}

void TheTextDrawer::SetBaseStyle(TFontStyles value) {
  int style = FontStyleIndex(value);
  if (style == calcExtentBaseStyle_) return;
  calcExtentBaseStyle_ = style;
  ReleaseETODist();
  int keep = fontStock_->Style();
  MeasureBase(style);
  if (keep >= 0) fontStock_->SetStyle(keep);
}

void TheTextDrawer::SetStyle(TFontStyles value) {
  style_ = FontStyleIndex(value);
  fontStock_->SetStyle(style_);
  AfterStyleSet();
}

void TheTextDrawer::AfterStyleSet() {
  currentFont_ = fontStock_->FontHandle();
  if (dc_) SelectObject(dc_, currentFont_);
}

void TheTextDrawer::DoSetCharExtra(int value) {
  if (dc_) SetTextCharacterExtra(dc_, value);
}

void TheTextDrawer::BeginDrawing(HDC dc) {
  if (dc_ == dc) {
    Check(dc_ != nullptr);
    ++drawingCount_;
    return;
  }
  Check(dc_ == nullptr && dc != nullptr && drawingCount_ == 0);
  dc_ = dc;
  savedDC_ = SaveDC(dc);
  if (!currentFont_) {
    fontStock_->SetStyle(style_);
    currentFont_ = fontStock_->FontHandle();
  }
  SelectObject(dc, currentFont_);
  if (currentColor_ != clNone) ::SetTextColor(dc, ColorToRGB(currentColor_));
  if (bkColor_ != clNone) ::SetBkColor(dc, ColorToRGB(bkColor_));
  DoSetCharExtra(charExtra_);
  drawingCount_ = 1;
}

void TheTextDrawer::EndDrawing() {
  Check(drawingCount_ > 0);
  if (--drawingCount_ > 0) return;
  if (savedDC_) RestoreDC(dc_, savedDC_);
  savedDC_ = 0;
  dc_ = nullptr;
}

void TheTextDrawer::RestoreDCState() {
  Check(dc_ != nullptr);
  if (currentFont_) SelectObject(dc_, currentFont_);
  if (currentColor_ != clNone) ::SetTextColor(dc_, ColorToRGB(currentColor_));
  if (bkColor_ != clNone) ::SetBkColor(dc_, ColorToRGB(bkColor_));
}

void TheTextDrawer::SetForeColor(TColor value) {
  if (currentColor_ == value) return;
  currentColor_ = value;
  if (dc_) ::SetTextColor(dc_, ColorToRGB(value));
}

void TheTextDrawer::SetBackColor(TColor value) {
  if (bkColor_ == value) return;
  bkColor_ = value;
  if (dc_) ::SetBkColor(dc_, ColorToRGB(value));
}

void TheTextDrawer::SetCharExtra(int value) {
  if (charExtra_ == value) return;
  charExtra_ = value;
  ReleaseETODist();
  DoSetCharExtra(value);
}

void TheTextDrawer::TextOut(int x, int y, std::u32string_view text) {
  Check(dc_ != nullptr);
  ::TextOut(dc_, x, y, Utf32ToUtf8(text));
}

void TheTextDrawer::ExtTextOut(int x, int y, UINT options, const TRect& rect, std::u32string_view text) {
  Check(dc_ != nullptr);
  size_t length = text.size();
  if (etoDist_.size() < length) {
    etoDist_.assign(length / 64 * 64 + 64, GetCharWidth());
  }
  utf8_.clear();
  for (char32_t c : text) Utf8Append(utf8_, c);
  RECT r = rect;
  ::ExtTextOut(dc_, x, y, options, &r, utf8_, etoDist_.data());
}

int TheTextDrawer::Overhang(char32_t ch) {
  if (!dc_) return 0;
  ABC abc;
  int width;
  if (GetCharABCWidths(dc_, ch, ch, &abc))
    width = abc.abcA + static_cast<int>(abc.abcB) + abc.abcC;
  else
    return 0;
  int over = width - GetCharWidth();
  return over > 0 ? over : 0;
}

void TheTextDrawer::ReleaseTemporaryResources() {
  fontStock_->ReleaseFontHandles();
  currentFont_ = nullptr;
}
