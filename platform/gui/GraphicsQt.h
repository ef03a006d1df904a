// Private to the .cpp files of platform/gui: the Qt-side shape of GDI objects and device contexts.
// No other folder includes this header; the system's own code sees Graphics.h only.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRegion>
#include <QTransform>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/gui/GuiPrivate.h"

namespace talvik::gui::detail {

struct GdiObj {
  UINT type = 0;
  bool stock = false;
  virtual ~GdiObj() = default;
};

struct PenObj : GdiObj {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct BrushObj : GdiObj {
  int style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  QImage pattern;
  bool monoPattern = false;
};

struct FontObj : GdiObj {
  LOGFONT lf;
  QFont qfont;
  std::unique_ptr<QFontMetrics> metrics;
  int ascent = 0;
  int descent = 0;
  int pixelSize = 11;
  void Build();
  int Advance(const QString& s) const;
  // The font's own glyphs for runs with explicit positions, made on first use; a character the
  // font has no glyph for maps to 0.
  std::unique_ptr<QRawFont> raw;
  std::unordered_map<char32_t, quint32> glyphs;
  quint32 Glyph(char32_t c);
};

struct DcObj;

struct BitmapObj : GdiObj {
  QImage image;  // always Format_RGB32; monochrome bitmaps hold black and white
  bool mono = false;
  int width = 0;  // the logical size (the image is at least 1x1)
  int height = 0;
  DcObj* selectedIn = nullptr;
};

struct RegionObj : GdiObj {
  QRegion region;
};

struct DcState {
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  HGDIOBJ font = nullptr;
  COLORREF textColor = 0;
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int rop2 = R2_COPYPEN;
  UINT textAlign = TA_LEFT | TA_TOP;
  int charExtra = 0;
  POINT brushOrg;
  int mapMode = MM_TEXT;
  POINT winOrg, vpOrg;
  SIZE winExt{1, 1}, vpExt{1, 1};
  bool hasUserClip = false;
  QRegion userClip;  // device coordinates relative to the DC origin
  POINT pos;         // current position (logical)
};

struct DcObj {
  HWND hwnd = nullptr;
  Surface* surface = nullptr;
  BitmapObj* bitmap = nullptr;
  bool memory = false;
  POINT origin;  // of the DC in its target image
  bool hasBaseClip = false;
  QRegion baseClip;  // in target image coordinates
  DcState st;
  std::vector<DcState> saved;
  QPainter painter;
  const QImage* paintedImage = nullptr;
  bool dirty = true;
  bool clipEmpty = false;
  std::vector<TDrawRecord>* records = nullptr;  // SetDrawRecording

  QImage& Target();
  void EndPainter();
  QTransform Mapping() const;  // logical to target image coordinates
  QRegion EffectiveClip() const;
  bool Prepare();  // false when nothing can be drawn
  QPen MakePen();
};

GdiObj* Obj(HGDIOBJ h);
DcObj* Dc(HDC h);
QColor QCol(COLORREF c);
COLORREF FromQ(QRgb c);
QBrush BrushFor(DcObj* d, HBRUSH h);
QImage& SurfaceImageRef(Surface* s);
void ReleaseImage(const QImage* image);
void EnsureGuiApplication();
std::string MapFontFamilyImpl(const std::string& face);
std::unordered_set<GdiObj*>& LiveObjects();

}  // namespace talvik::gui::detail
