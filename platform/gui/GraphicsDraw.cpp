// The drawing operations: lines and shapes, block transfers, text, and the classic 3-D look.
#include <QGlyphRun>
#include <QPainterPath>
#include <QPolygon>
#include <QTextLayout>
#include <algorithm>
#include <cassert>
#include <cmath>
#include <optional>

#include "platform/gui/Graphics.h"
#include "platform/gui/GraphicsQt.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/QtText.h"
#include "platform/rtl/SysUtils.h"

using namespace talvik::gui::detail;

namespace {

void PenMode(DcObj* d) {
  d->painter.setCompositionMode([&] {
    switch (d->st.rop2) {
      case R2_XORPEN:
        return QPainter::RasterOp_SourceXorDestination;
      case R2_NOT:
        return QPainter::RasterOp_NotDestination;
      case R2_NOTXORPEN:
        return QPainter::RasterOp_NotSourceXorDestination;
      case R2_MERGEPEN:
        return QPainter::RasterOp_SourceOrDestination;
      case R2_MASKPEN:
        return QPainter::RasterOp_SourceAndDestination;
      case R2_NOTCOPYPEN:
        return QPainter::RasterOp_NotSource;
      case R2_NOTMERGEPEN:
        return QPainter::RasterOp_NotSourceAndNotDestination;
      case R2_NOTMASKPEN:
        return QPainter::RasterOp_NotSourceOrNotDestination;
      case R2_MASKPENNOT:
        return QPainter::RasterOp_SourceAndNotDestination;
      case R2_MASKNOTPEN:
        return QPainter::RasterOp_NotSourceAndDestination;
      case R2_MERGEPENNOT:
        return QPainter::RasterOp_SourceOrNotDestination;
      case R2_MERGENOTPEN:
        return QPainter::RasterOp_NotSourceOrDestination;
      default:
        return QPainter::CompositionMode_SourceOver;
    }
  }());
}

QPen PenFor(DcObj* d) {
  QPen p = d->MakePen();
  if (d->st.rop2 == R2_NOT && p.style() != Qt::NoPen) p.setColor(Qt::white);
  return p;
}

QBrush SelectedBrush(DcObj* d) {
  return BrushFor(d, d->st.brush);
}

FontFace* SelectedFont(DcObj* d) {
  auto* f = static_cast<FontObj*>(Obj(d->st.font));
  if (!f || f->type != OBJ_FONT) f = static_cast<FontObj*>(Obj(GetStockObject(SYSTEM_FONT)));
  return f->face.get();
}

// A thin solid pen draws whole pixels with rectangles, exactly as the classic rules want.
bool ThinSolid(const QPen& pen) {
  return pen.style() == Qt::SolidLine && pen.width() <= 1;
}

void Line(DcObj* d, POINT a, POINT b) {
  // the end point is not drawn
  if (a.X == b.X && a.Y == b.Y) return;
  QPen pen = d->painter.pen();
  if (ThinSolid(pen) && (a.Y == b.Y || a.X == b.X)) {
    QRect r = a.Y == b.Y ? (b.X > a.X ? QRect(a.X, a.Y, b.X - a.X, 1) : QRect(b.X + 1, a.Y, a.X - b.X, 1))
                         : (b.Y > a.Y ? QRect(a.X, a.Y, 1, b.Y - a.Y) : QRect(a.X, b.Y + 1, 1, a.Y - b.Y));
    d->painter.fillRect(r, pen.color());
    return;
  }
  int dx = b.X - a.X, dy = b.Y - a.Y;
  int steps = std::max(std::abs(dx), std::abs(dy));
  QPointF end(a.X + dx * (steps - 1.0) / steps, a.Y + dy * (steps - 1.0) / steps);
  pen.setCapStyle(Qt::SquareCap);
  d->painter.setPen(pen);
  d->painter.drawLine(QPointF(a.X, a.Y), QPointF(std::round(end.x()), std::round(end.y())));
}

}  // namespace

// ---------------------------------------------------------------- lines and shapes

bool MoveToEx(HDC dc, int x, int y, POINT* old) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (old) *old = d->st.pos;
  d->st.pos = {x, y};
  return true;
}

bool GetCurrentPositionEx(HDC dc, POINT* p) {
  DcObj* d = Dc(dc);
  if (!d || !p) return false;
  *p = d->st.pos;
  return true;
}

bool LineTo(HDC dc, int x, int y) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  POINT from = d->st.pos;
  d->st.pos = {x, y};
  if (!d->Prepare()) return true;
  QPen pen = PenFor(d);
  if (pen.style() == Qt::NoPen) return true;
  if (d->records) {
    TDrawRecord rec;
    rec.Kind = TDrawRecord::drLine;
    rec.From = from;
    rec.To = {x, y};
    rec.TextColor = FromQ(pen.color().rgb());
    d->records->push_back(rec);
  }
  PenMode(d);
  d->painter.setPen(pen);
  Line(d, from, {x, y});
  return true;
}

bool Polyline(HDC dc, const POINT* points, int count) {
  DcObj* d = Dc(dc);
  if (!d || count < 2) return false;
  if (!d->Prepare()) return true;
  QPen pen = PenFor(d);
  if (pen.style() == Qt::NoPen) return true;
  PenMode(d);
  d->painter.setPen(pen);
  for (int i = 0; i + 1 < count; ++i) Line(d, points[i], points[i + 1]);
  return true;
}

bool PolyPolyline(HDC dc, const POINT* points, const DWORD* counts, int polylines) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (!d->Prepare()) return true;
  // one pen for all of them
  QPen pen = PenFor(d);
  if (pen.style() == Qt::NoPen) return true;
  PenMode(d);
  d->painter.setPen(pen);
  for (int i = 0; i < polylines; ++i) {
    for (DWORD j = 0; j + 1 < counts[i]; ++j) Line(d, points[j], points[j + 1]);
    points += counts[i];
  }
  return true;
}

bool Polygon(HDC dc, const POINT* points, int count) {
  DcObj* d = Dc(dc);
  if (!d || count < 2) return false;
  if (!d->Prepare()) return true;
  QPolygon poly;
  for (int i = 0; i < count; ++i) poly << QPoint(points[i].X, points[i].Y);
  PenMode(d);
  d->painter.setPen(PenFor(d));
  d->painter.setBrush(SelectedBrush(d));
  d->painter.drawPolygon(poly);
  return true;
}

bool Rectangle(HDC dc, int left, int top, int right, int bottom) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (!d->Prepare() || right - left < 1 || bottom - top < 1) return true;
  QPen pen = PenFor(d);
  PenMode(d);
  QBrush br = SelectedBrush(d);
  if (br.style() != Qt::NoBrush) {
    int inset = pen.style() == Qt::NoPen ? 0 : 1;
    d->painter.fillRect(QRect(left + inset, top + inset, right - left - 2 * inset, bottom - top - 2 * inset),
                        br);
  }
  if (pen.style() != Qt::NoPen) {
    d->painter.setPen(pen);
    d->painter.setBrush(Qt::NoBrush);
    if (ThinSolid(pen)) {
      QColor c = pen.color();
      d->painter.fillRect(QRect(left, top, right - left, 1), c);
      if (bottom - top > 1) d->painter.fillRect(QRect(left, bottom - 1, right - left, 1), c);
      if (bottom - top > 2) {
        d->painter.fillRect(QRect(left, top + 1, 1, bottom - top - 2), c);
        if (right - left > 1) d->painter.fillRect(QRect(right - 1, top + 1, 1, bottom - top - 2), c);
      }
    } else {
      d->painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    }
  }
  return true;
}

bool RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (!d->Prepare()) return true;
  PenMode(d);
  d->painter.setPen(PenFor(d));
  d->painter.setBrush(SelectedBrush(d));
  d->painter.drawRoundedRect(QRect(left, top, right - left - 1, bottom - top - 1), width / 2.0, height / 2.0);
  return true;
}

bool Ellipse(HDC dc, int left, int top, int right, int bottom) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (!d->Prepare()) return true;
  PenMode(d);
  d->painter.setPen(PenFor(d));
  d->painter.setBrush(SelectedBrush(d));
  d->painter.drawEllipse(QRect(left, top, right - left - 1, bottom - top - 1));
  return true;
}

int FillRect(HDC dc, const RECT& r, HBRUSH brush) {
  DcObj* d = Dc(dc);
  if (!d) return 0;
  if (r.IsEmpty() || !d->Prepare()) return 1;
  // wholly outside the clip (the many lines of frames and edges drawn where only a part is painted)
  if (!d->records && d->clipBoxKnown && !d->clipBox.intersects(QRect(r.Left, r.Top, r.Width(), r.Height())))
    return 1;
  auto v = reinterpret_cast<std::uintptr_t>(brush);
  if (v > 0 && v <= static_cast<std::uintptr_t>(COLOR_ENDCOLORS))
    brush = SystemBrush(static_cast<int>(v) - 1);
  QBrush qbrush = BrushFor(d, brush);
  if (d->records) {
    TDrawRecord rec;
    rec.Kind = TDrawRecord::drFill;
    rec.Rect = r;
    rec.BkColor = FromQ(qbrush.color().rgb());
    rec.Opaque = true;
    d->records->push_back(rec);
  }
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (qbrush.style() == Qt::SolidPattern) {
    d->painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), qbrush);
    return 1;
  }
  // A patterned fill of many lines the raster engine splits among its worker threads; for the narrow
  // areas filled so (a scroll bar's track) handing the work over costs more than the fill, so it goes
  // in bands short enough to be filled where they are drawn. The pattern is anchored to the DC, so the
  // bands join seamlessly.
  constexpr int kBandLines = 64;
  for (int top = r.Top; top < r.Bottom; top += kBandLines)
    d->painter.fillRect(QRect(r.Left, top, r.Width(), std::min(kBandLines, r.Bottom - top)), qbrush);
  return 1;
}

int FrameRect(HDC dc, const RECT& r, HBRUSH brush) {
  DcObj* d = Dc(dc);
  if (!d) return 0;
  if (r.IsEmpty() || !d->Prepare()) return 1;
  QBrush br = BrushFor(d, brush);
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  d->painter.fillRect(QRect(r.Left, r.Top, r.Width(), 1), br);
  d->painter.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), br);
  d->painter.fillRect(QRect(r.Left, r.Top, 1, r.Height()), br);
  d->painter.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), br);
  return 1;
}

bool InvertRect(HDC dc, const RECT& r) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (r.IsEmpty() || !d->Prepare()) return true;
  d->painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  d->painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::white);
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  return true;
}

bool DrawFocusRect(HDC dc, const RECT& r) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (r.IsEmpty() || !d->Prepare()) return true;
  // every other pixel of the outline is inverted, so drawing it twice removes it
  d->painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  d->painter.setPen(Qt::NoPen);
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) d->painter.fillRect(QRect(x, y, 1, 1), Qt::white);
  };
  for (int x = r.Left; x < r.Right; ++x) {
    dot(x, r.Top);
    if (r.Bottom - 1 > r.Top) dot(x, r.Bottom - 1);
  }
  for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
    dot(r.Left, y);
    if (r.Right - 1 > r.Left) dot(r.Right - 1, y);
  }
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  return true;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  DcObj* d = Dc(dc);
  if (!d) return CLR_INVALID;
  if (!d->Prepare()) return CLR_INVALID;
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  d->painter.fillRect(QRect(x, y, 1, 1), QCol(color));
  return color & 0xFFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  DcObj* d = Dc(dc);
  if (!d) return CLR_INVALID;
  QPointF p = d->Mapping().map(QPointF(x, y));
  QPoint q(static_cast<int>(std::floor(p.x())), static_cast<int>(std::floor(p.y())));
  QImage& img = d->Target();
  if (!img.rect().contains(q) || !d->EffectiveClip().contains(q)) return CLR_INVALID;
  return FromQ(img.pixel(q));
}

// ---------------------------------------------------------------- block transfers

namespace {

// The raster operations that only combine the source with the destination map onto one painter mode.
std::optional<QPainter::CompositionMode> SourceCompositionMode(DWORD rop) {
  switch (rop) {
    case SRCCOPY:
      return QPainter::CompositionMode_Source;
    case SRCPAINT:
      return QPainter::RasterOp_SourceOrDestination;
    case SRCAND:
      return QPainter::RasterOp_SourceAndDestination;
    case SRCINVERT:
      return QPainter::RasterOp_SourceXorDestination;
    case NOTSRCCOPY:
      return QPainter::RasterOp_NotSource;
    case SRCERASE:
      return QPainter::RasterOp_SourceAndNotDestination;
    default:
      return std::nullopt;
  }
}

// The generic ternary raster operation, bit by bit, on whole pixels.
QRgb Rop3(DWORD rop, QRgb p, QRgb s, QRgb dd) {
  unsigned code = (rop >> 16) & 0xFF;
  std::uint32_t P = p, S = s, D = dd, result = 0;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if (!(code & (1u << bit))) continue;
    std::uint32_t term = ((bit & 4) ? P : ~P) & ((bit & 2) ? S : ~S) & ((bit & 1) ? D : ~D);
    result |= term;
  }
  return result | 0xFF000000u;
}

// The source block in colour: a monochrome source takes the destination's text (0) and background (1)
// colours; a colour source copied into a monochrome bitmap turns white where it has the source DC's
// background colour.
QImage SourceBlock(DcObj* src, DcObj* dest, const QRect& srcRect) {
  QImage& img = src->Target();
  // the whole image of another DC, its colours as they are: shared, not copied (an image being painted
  // is copied by the toolkit, so the source's painter ends first; it begins again at its next drawing)
  const bool converts = (src->bitmap && src->bitmap->mono) != (dest->bitmap && dest->bitmap->mono);
  if (!converts && srcRect == img.rect() && img.constBits() != dest->Target().constBits()) {
    ReleaseImage(&img);
    if (!img.paintingActive()) return img;
  }
  QImage block = img.copy(srcRect);
  if (src->bitmap && src->bitmap->mono && !(dest->bitmap && dest->bitmap->mono)) {
    QRgb fg = QCol(dest->st.textColor).rgb(), bg = QCol(dest->st.bkColor).rgb();
    for (int y = 0; y < block.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(block.scanLine(y));
      for (int x = 0; x < block.width(); ++x) line[x] = qRed(line[x]) > 127 ? bg : fg;
    }
  } else if (dest->bitmap && dest->bitmap->mono && !(src->bitmap && src->bitmap->mono)) {
    QRgb key = QCol(src->st.bkColor).rgb() & 0xFFFFFF;
    for (int y = 0; y < block.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(block.scanLine(y));
      for (int x = 0; x < block.width(); ++x)
        line[x] = (line[x] & 0xFFFFFF) == key ? 0xFFFFFFFFu : 0xFF000000u;
    }
  }
  return block;
}

bool Blit(DcObj* d, const QRect& destRect, DcObj* s, const QRect& srcRect, DWORD rop) {
  if (!d->Prepare()) return true;
  QImage block;
  if (s) {
    QPointF so = s->Mapping().map(QPointF(srcRect.x(), srcRect.y()));
    QRect deviceSrc(static_cast<int>(std::lround(so.x())), static_cast<int>(std::lround(so.y())),
                    srcRect.width(), srcRect.height());
    block = SourceBlock(s, d, deviceSrc);
    if (block.size() != destRect.size())
      block = block.scaled(destRect.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }
  auto& p = d->painter;
  if (auto mode = SourceCompositionMode(rop)) {
    p.setCompositionMode(*mode);
    p.drawImage(destRect.topLeft(), block);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
  }
  switch (rop) {
    case BLACKNESS:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(destRect, Qt::black);
      break;
    case WHITENESS:
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.fillRect(destRect, Qt::white);
      break;
    case DSTINVERT:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(destRect, Qt::white);
      break;
    case PATCOPY:
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.fillRect(destRect, SelectedBrush(d));
      break;
    case PATINVERT:
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(destRect, SelectedBrush(d));
      break;
    default: {
      // any other operation: pattern, source and destination combined pixel by pixel
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      QImage pattern(destRect.size(), QImage::Format_RGB32);
      {
        QPainter pp(&pattern);
        QBrush br = SelectedBrush(d);
        br.setTransform(br.transform() * QTransform::fromTranslate(-destRect.x(), -destRect.y()));
        pp.fillRect(pattern.rect(), br);
      }
      QTransform m = d->Mapping();
      QRect deviceDest = m.mapRect(QRectF(destRect)).toAlignedRect();
      QImage& target = d->Target();
      QImage under = target.copy(deviceDest);
      QRegion clip = d->EffectiveClip();
      for (int y = 0; y < deviceDest.height(); ++y)
        for (int x = 0; x < deviceDest.width(); ++x) {
          QPoint at(deviceDest.x() + x, deviceDest.y() + y);
          if (!target.rect().contains(at) || !clip.contains(at)) continue;
          QRgb sp = block.isNull()
                        ? 0xFF000000u
                        : block.pixel(std::min(x, block.width() - 1), std::min(y, block.height() - 1));
          under.setPixel(x, y, Rop3(rop, pattern.pixel(x, y), sp, under.pixel(x, y)));
        }
      p.setWorldTransform(QTransform());
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(deviceDest.topLeft(), under);
      p.setWorldTransform(m);
      break;
    }
  }
  p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  return true;
}

}  // namespace

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  DcObj* d = Dc(dest);
  if (!d) return false;
  DcObj* s = src ? Dc(src) : nullptr;
  if (src && !s) return false;
  return Blit(d, QRect(x, y, width, height), s, QRect(srcX, srcY, width, height), rop);
}

bool StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  DcObj* d = Dc(dest);
  DcObj* s = Dc(src);
  if (!d || !s) return false;
  return Blit(d, QRect(x, y, width, height), s, QRect(srcX, srcY, srcWidth, srcHeight), rop);
}

bool PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  return Blit(d, QRect(x, y, width, height), nullptr, QRect(), rop);
}

bool TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, COLORREF transparent) {
  DcObj* d = Dc(dest);
  DcObj* s = Dc(src);
  if (!d || !s) return false;
  if (!d->Prepare()) return true;
  QPointF so = s->Mapping().map(QPointF(srcX, srcY));
  QImage block = s->Target().copy(static_cast<int>(so.x()), static_cast<int>(so.y()), srcWidth, srcHeight);
  QImage argb = block.convertToFormat(QImage::Format_ARGB32);
  QRgb key = QCol(transparent).rgb() & 0xFFFFFF;
  for (int yy = 0; yy < argb.height(); ++yy) {
    auto* line = reinterpret_cast<QRgb*>(argb.scanLine(yy));
    for (int xx = 0; xx < argb.width(); ++xx)
      if ((line[xx] & 0xFFFFFF) == key) line[xx] = 0;
  }
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  d->painter.drawImage(QRect(x, y, width, height), argb);
  return true;
}

// ---------------------------------------------------------------- text

bool GetTextMetrics(HDC dc, TEXTMETRIC& tm) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  FontFace* f = SelectedFont(d);
  const QFontMetrics& m = *f->metrics;
  tm = TEXTMETRIC{};
  tm.tmAscent = f->ascent;
  tm.tmDescent = f->descent;
  tm.tmHeight = f->ascent + f->descent;
  tm.tmInternalLeading = std::max(0, tm.tmHeight - f->pixelSize);
  tm.tmExternalLeading = std::max(0, m.leading());
  tm.tmAveCharWidth = m.averageCharWidth();
  tm.tmMaxCharWidth = m.maxWidth();
  tm.tmWeight = f->lf.lfWeight;
  tm.tmItalic = f->lf.lfItalic;
  tm.tmUnderlined = f->lf.lfUnderline;
  tm.tmStruckOut = f->lf.lfStrikeOut;
  tm.tmCharSet = f->lf.lfCharSet;
  bool fixed = QFontInfo(f->qfont).fixedPitch();
  tm.tmPitchAndFamily = static_cast<BYTE>((fixed ? 0 : TMPF_FIXED_PITCH) | 4 /* TrueType */);
  return true;
}

bool GetOutlineTextMetrics(HDC dc, OUTLINETEXTMETRIC& otm) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  GetTextMetrics(dc, otm.otmTextMetrics);
  FontFace* f = SelectedFont(d);
  otm.otmAscent = f->ascent;
  otm.otmDescent = f->descent;
  // italics lean about 12 degrees
  otm.otmsCharSlopeRise = f->lf.lfItalic ? 100 : 1;
  otm.otmsCharSlopeRun = f->lf.lfItalic ? 21 : 0;
  return true;
}

bool GetTextExtentPoint32(HDC dc, const std::string& text, SIZE& size) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  FontFace* f = SelectedFont(d);
  size.cy = f->ascent + f->descent;
  if (d->st.charExtra == 0) {
    if (ShapedText* t = f->Measured(text)) {
      size.cx = t->width;
      return true;
    }
  }
  QString s = ToQString(text);
  size.cx = f->Advance(s) + d->st.charExtra * static_cast<int>(s.toUcs4().size());
  return true;
}

ReadingGeometry talvik::gui::detail::RightToLeftGeometry(HDC dc, const std::u32string& text) {
  ReadingGeometry g;
  g.caretX.assign(text.size() + 1, 0);
  g.spans.resize(text.size());
  DcObj* d = Dc(dc);
  if (!d) return g;
  const QString s = ToQString(text);
  QTextLayout layout(s, SelectedFont(d)->qfont);
  const QTextLine line = LayOutOneLine(layout, true);
  if (!line.isValid()) return g;
  g.width = qRound(line.naturalTextWidth());
  int at = 0;  // where character k starts in the toolkit's string
  for (std::size_t k = 0; k <= text.size(); ++k) {
    g.caretX[k] = qRound(line.cursorToX(at));
    if (k == text.size()) break;
    const int lead = qRound(line.cursorToX(at, QTextLine::Leading));
    const int trail = qRound(line.cursorToX(at, QTextLine::Trailing));
    g.spans[k] = {std::min(lead, trail), std::max(lead, trail), lead <= trail};
    at += text[k] > 0xFFFF ? 2 : 1;
  }
  return g;
}

bool GetCharABCWidths(HDC dc, char32_t first, char32_t last, ABC* abc) {
  DcObj* d = Dc(dc);
  if (!d || last < first) return false;
  FontFace* f = SelectedFont(d);
  for (char32_t c = first; c <= last; ++c) {
    QString s = ToQString(c);
    int advance = f->Advance(s);
    int lb = f->metrics->leftBearing(s.at(0));
    int rb = f->metrics->rightBearing(s.at(0));
    abc[c - first] = ABC{lb, static_cast<UINT>(std::max(0, advance - lb - rb)), rb};
  }
  return true;
}

bool GetTextFace(HDC dc, std::string& face) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  face = SelectedFont(d)->lf.lfFaceName;
  return true;
}

namespace {

// Draws one run of text with its top-left cell corner at (x, y) in logical coordinates. A rotated
// font turns the text about (x, y); (ox, oy) then moves the cell in the text's own directions (the
// alignment, which follows the baseline).
// `converted` is the text as the toolkit's string when the caller has it already (else null).
// `rightToLeft` reads the text right to left: its parts show in that order, the run still beginning
// at x.
void DrawRun(DcObj* d, FontFace* f, int x, int y, std::string_view utf8, const QString& converted,
             const int* dx, int count, int ox = 0, int oy = 0, bool rightToLeft = false) {
  auto& p = d->painter;
  int esc = f->lf.lfEscapement;
  if (rightToLeft && ReadsAlikeEitherWay(utf8)) rightToLeft = false;
  if (esc == 0 && !dx && d->st.charExtra == 0) {
    if (ShapedText* t = f->Shaped(utf8, rightToLeft)) {
      d->TextState();
      DrawShapedText(p, *t, QPointF(x, y + f->ascent));
      return;
    }
  }
  d->TextState(f);
  const QString s = converted.isNull() ? ToQString(utf8) : converted;
  // the toolkit's direct drawing reads the text in the painter's direction
  auto drawText = [&](QPoint at) {
    if (!rightToLeft) {
      p.drawText(at, s);
      return;
    }
    p.setLayoutDirection(Qt::RightToLeft);
    p.drawText(at, s);
    p.setLayoutDirection(Qt::LeftToRight);
  };
  if (esc != 0) {
    p.save();
    p.translate(x, y);
    p.rotate(-esc / 10.0);
    drawText(QPoint(ox, oy + f->ascent));
    p.restore();
    d->painterFont = 0;
    return;
  }
  if (!dx && d->st.charExtra == 0) {
    drawText(QPoint(x, y + f->ascent));
    return;
  }
  // one glyph run with a position per character; characters the font itself lacks are drawn
  // one by one, so the toolkit's fallback fonts still find them. Read right to left, the
  // characters take their places in the order they show, each with its own advance.
  auto ucs = s.toUcs4();
  std::vector<int> order;
  if (rightToLeft) order = RightToLeftOrder(f->qfont, s);
  QVector<quint32> indexes;
  QVector<QPointF> positions;
  indexes.reserve(ucs.size());
  positions.reserve(ucs.size());
  int cx = x;
  for (int k = 0; k < static_cast<int>(ucs.size()); ++k) {
    const int i = rightToLeft && k < static_cast<int>(order.size()) ? order[static_cast<std::size_t>(k)] : k;
    char32_t c = ucs[i];
    int advance = (dx && i < count) ? dx[i] : -1;
    if (c != U' ') {
      quint32 glyph = f->Glyph(c);
      if (glyph != 0) {
        indexes.push_back(glyph);
        positions.push_back(QPointF(cx, y + f->ascent));
      } else {
        p.drawText(QPoint(cx, y + f->ascent), ToQString(c));
      }
    }
    cx += advance >= 0 ? advance : f->Advance(ToQString(c)) + d->st.charExtra;
  }
  if (!indexes.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(*f->raw);
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    run.setUnderline(f->qfont.underline());
    run.setStrikeOut(f->qfont.strikeOut());
    p.drawGlyphRun(QPointF(0, 0), run);
  }
}

// The advance of a text with the font (the measure is kept with the font's shaped texts).
int Advance(FontFace* f, std::string_view utf8) {
  if (ShapedText* t = f->Measured(utf8)) return t->width;
  return f->Advance(ToQString(utf8));
}

int RunWidth(DcObj* d, FontFace* f, std::string_view utf8, const int* dx, int count) {
  if (!dx) return Advance(f, utf8) + d->st.charExtra * count;
  int w = 0;
  for (int i = 0; i < count; ++i) w += dx[i];
  return w;
}

}  // namespace

bool ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* r, const std::string& text, const int* dx) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (!d->Prepare()) return true;
  FontFace* f = SelectedFont(d);
  if (d->records) {
    TDrawRecord rec;
    rec.Kind = TDrawRecord::drText;
    rec.Rect = r ? *r : RECT{x, y, x, y};
    rec.Text = text;
    rec.TextColor = d->st.textColor;
    rec.BkColor = d->st.bkColor;
    rec.Opaque = (r && (options & ETO_OPAQUE)) || d->st.bkMode == OPAQUE;
    rec.Font = f->lf;
    rec.From = {x, y};
    d->records->push_back(rec);
  }
  // the character count and the width cost a layout each: only what is needed is measured
  QString s;
  int count = 0;
  if (dx || d->st.charExtra) {
    s = ToQString(text);
    count = static_cast<int>(s.toUcs4().size());
  }
  if (d->st.textAlign & TA_UPDATECP) {
    x = d->st.pos.X;
    y = d->st.pos.Y;
  }
  UINT h = d->st.textAlign & (TA_CENTER | TA_RIGHT);
  bool fillsCell = d->st.bkMode == OPAQUE && !(r && (options & ETO_OPAQUE)) && f->lf.lfEscapement == 0;
  bool needWidth = h != 0 || fillsCell || (d->st.textAlign & TA_UPDATECP);
  int width = needWidth ? RunWidth(d, f, text, dx, count) : 0;
  // The alignment moves the cell along the baseline and across it: on the page for level text, in
  // the text's own directions for rotated text.
  int ox = 0, oy = 0;
  if (h == TA_CENTER)
    ox = -width / 2;
  else if (h == TA_RIGHT)
    ox = -width;
  UINT v = d->st.textAlign & TA_BASELINE;
  if (v == TA_BASELINE)
    oy = -f->ascent;
  else if (v == TA_BOTTOM)
    oy = -(f->ascent + f->descent);
  const bool rotated = f->lf.lfEscapement != 0;
  if (!rotated) {
    x += ox;
    y += oy;
  }
  auto& p = d->painter;
  if (r && (options & ETO_OPAQUE)) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(QRect(r->Left, r->Top, r->Width(), r->Height()), QCol(d->st.bkColor));
  }
  bool clipped = r && (options & ETO_CLIPPED);
  const bool rightToLeft =
      ((options & ETO_RTLREADING) || (d->st.textAlign & TA_RTLREADING)) && !ReadsAlikeEitherWay(text);
  if (clipped && !dx && !d->st.charExtra && f->lf.lfEscapement == 0 && x >= r->Left && y >= r->Top) {
    // the common cell: text clipped at the right and bottom of its rectangle; the clip is set
    // only when the text's pixels reach beyond the rectangle
    if (r->Right > x && r->Bottom > y) {
      QRect cell(x, y, r->Right - x, r->Bottom - y);
      if (ShapedText* t = f->Shaped(text, rightToLeft)) {
        d->TextState();
        QPointF origin(x, y + f->ascent);
        if (cell.contains(t->ink.translated(origin).toAlignedRect()))
          DrawShapedText(p, *t, origin);
        else
          d->Clipped(cell, [&] { DrawShapedText(p, *t, origin); });
      } else {
        // the baseline lies the font's ascent below the top, as for every other text: a line laid out
        // in the cell would sit lower where a fallback font with a taller ascent supplies a glyph
        d->TextState(f);
        const QPoint baseline(x, y + f->ascent);
        d->Clipped(cell, [&] {
          if (rightToLeft) p.setLayoutDirection(Qt::RightToLeft);
          p.drawText(baseline, ToQString(text));
          if (rightToLeft) p.setLayoutDirection(Qt::LeftToRight);
        });
      }
    }
    if (d->st.textAlign & TA_UPDATECP) d->st.pos.X = x + width;
    return true;
  }
  if (clipped) {
    p.save();
    p.setClipRect(QRect(r->Left, r->Top, r->Width(), r->Height()), Qt::IntersectClip);
  }
  if (fillsCell) {
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.fillRect(QRect(x, y, width, f->ascent + f->descent), QCol(d->st.bkColor));
  }
  if (rotated)
    DrawRun(d, f, x, y, text, s, dx, count, ox, oy, rightToLeft);
  else
    DrawRun(d, f, x, y, text, s, dx, count, 0, 0, rightToLeft);
  if (clipped) {
    p.restore();
    d->painterFont = 0;
  }
  if (d->st.textAlign & TA_UPDATECP) d->st.pos.X = x + width;
  return true;
}

bool TextOut(HDC dc, int x, int y, const std::string& text) {
  return ExtTextOut(dc, x, y, 0, nullptr, text, nullptr);
}

// ---------------------------------------------------------------- DrawText

namespace {

struct TextLine {
  std::u32string text;
  int underline = -1;  // index of the prefixed character
};

int Width(DcObj* d, FontFace* f, const std::u32string& s, int tabWidth, bool expandTabs) {
  if (!expandTabs || s.find(U'\t') == std::u32string::npos)
    return Advance(f, Utf32ToUtf8(s)) + d->st.charExtra * static_cast<int>(s.size());
  int w = 0;
  std::u32string part;
  for (char32_t c : s) {
    if (c == U'\t') {
      w += Advance(f, Utf32ToUtf8(part));
      part.clear();
      w = tabWidth > 0 ? (w / tabWidth + 1) * tabWidth : w;
    } else {
      part.push_back(c);
    }
  }
  return w + Advance(f, Utf32ToUtf8(part));
}

// How many characters of `s` stay before an end ellipsis in `room` pixels: the most that fit with
// "..." after them (none when not even that fits).
std::size_t EllipsisCut(DcObj* d, FontFace* f, const std::u32string& s, int tabWidth, bool tabs, int room) {
  auto fits = [&](std::size_t k) { return Width(d, f, s.substr(0, k) + U"...", tabWidth, tabs) <= room; };
  std::size_t k = s.size();
  const bool tabbed = tabs && s.find(U'\t') != std::u32string::npos;
  ShapedText* whole = nullptr;
  if (!tabbed && d->st.charExtra == 0) whole = f->Measured(Utf32ToUtf8(s));
  if (whole && whole->ellipsisRoom == room) return static_cast<std::size_t>(whole->ellipsisCut);
  if (whole) {
    // one layout gives the width of every prefix: the cut is found by halving, then checked
    QString q = ToQString(s);
    QTextLayout layout(q, f->qfont);
    const QTextLine line = LayOutOneLine(layout);
    std::vector<int> offsets(s.size() + 1, 0);  // where each character starts in the layout's text
    for (std::size_t i = 0; i < s.size(); ++i) offsets[i + 1] = offsets[i] + (s[i] > 0xFFFF ? 2 : 1);
    const int dots = Width(d, f, U"...", tabWidth, tabs);
    std::size_t lo = 0, hi = s.size();
    while (line.isValid() && lo < hi) {
      std::size_t mid = (lo + hi + 1) / 2;
      if (qRound(line.cursorToX(offsets[mid])) + dots <= room)
        lo = mid;
      else
        hi = mid - 1;
    }
    k = lo;
    while (k < s.size() && fits(k + 1)) ++k;
  }
  while (k > 0 && !fits(k)) --k;
  if (whole) {
    // the entry may have gone from the cache while the prefixes were measured
    whole = f->Measured(Utf32ToUtf8(s));
    whole->ellipsisRoom = room;
    whole->ellipsisCut = static_cast<int>(k);
  }
  return k;
}

// The one-line text without prefixes that list cells and captions draw, straight from the font's
// shaped texts; answers false (having drawn nothing) when the text needs the general path.
bool DrawShapedLine(DcObj* d, FontFace* f, const std::string& utf8, const RECT& r, UINT format, int& height) {
  constexpr UINT kGeneral = DT_CALCRECT | DT_TABSTOP | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PREFIXONLY;
  if (!(format & DT_SINGLELINE) || (format & kGeneral) || d->st.charExtra != 0 || f->lf.lfEscapement != 0)
    return false;
  if (!(format & DT_NOPREFIX) && utf8.find('&') != std::string::npos) return false;
  ShapedText* whole = f->Measured(utf8);  // nullptr for control characters, right to left, bad UTF-8
  if (!whole) return false;
  int width = whole->width;
  std::string cut;
  std::string_view drawn = utf8;
  if ((format & DT_END_ELLIPSIS) && width > r.Width()) {
    std::size_t keep = EllipsisCut(d, f, Utf8ToUtf32(utf8), 0, false, r.Width());
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < keep; ++k) do
        ++bytes;
      while (bytes < utf8.size() && (static_cast<unsigned char>(utf8[bytes]) & 0xC0) == 0x80);
    cut = utf8.substr(0, bytes) + "...";
    drawn = cut;
    width = -1;
  }
  int lineHeight = f->ascent + f->descent;
  if (format & DT_EXTERNALLEADING) lineHeight += std::max(0, f->metrics->leading());
  int top = r.Top;
  if (format & DT_VCENTER)
    top = r.Top + (r.Height() - lineHeight) / 2;
  else if (format & DT_BOTTOM)
    top = r.Bottom - lineHeight;
  height = lineHeight;
  if (!d->Prepare()) return true;
  height = (top - r.Top) + lineHeight;
  const bool opaque = d->st.bkMode == OPAQUE;
  if (width < 0 && ((format & (DT_CENTER | DT_RIGHT)) || opaque)) width = Advance(f, drawn);
  int x = r.Left;
  if (format & DT_CENTER)
    x = r.Left + (r.Width() - width) / 2;
  else if (format & DT_RIGHT)
    x = r.Right - width;
  const bool rightToLeft = (format & DT_RTLREADING) && !ReadsAlikeEitherWay(drawn);
  ShapedText* t = f->Shaped(drawn, rightToLeft);
  auto& p = d->painter;
  const QRect bounds(r.Left, r.Top, r.Width(), r.Height());
  const QRect fill(x, top, opaque ? width : 0, lineHeight);
  const QPointF origin(x, top + f->ascent);
  const bool inside = t && bounds.contains(t->ink.translated(origin).toAlignedRect()) &&
                      (fill.isEmpty() || bounds.contains(fill));
  const bool clip = !(format & DT_NOCLIP) && !inside;
  auto draw = [&] {
    if (opaque) {
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.fillRect(fill, QCol(d->st.bkColor));
    }
    if (t) {
      d->TextState();
      DrawShapedText(p, *t, origin);
    } else {
      d->TextState(f);
      if (rightToLeft) p.setLayoutDirection(Qt::RightToLeft);
      p.drawText(QPoint(x, top + f->ascent), ToQString(drawn));
      if (rightToLeft) p.setLayoutDirection(Qt::LeftToRight);
    }
  };
  if (clip)
    d->Clipped(bounds, draw);
  else
    draw();
  return true;
}

}  // namespace

int DrawTextEx(HDC dc, const std::string& utf8, RECT& r, UINT format, DRAWTEXTPARAMS* params) {
  DcObj* d = Dc(dc);
  if (!d) return 0;
  FontFace* f = SelectedFont(d);
  int height = 0;
  if (!params && DrawShapedLine(d, f, utf8, r, format, height)) return height;
  int tabChars =
      params ? params->iTabLength : ((format & DT_TABSTOP) ? static_cast<int>((format >> 8) & 0xFF) : 8);
  if (format & DT_TABSTOP) format &= ~0xFF00u;
  int tabWidth = tabChars * f->metrics->averageCharWidth();
  bool tabs = format & DT_EXPANDTABS;
  int leftMargin = params ? params->iLeftMargin : 0, rightMargin = params ? params->iRightMargin : 0;
  RECT area{r.Left + leftMargin, r.Top, r.Right - rightMargin, r.Bottom};
  int lineHeight = f->ascent + f->descent;
  if (format & DT_EXTERNALLEADING) lineHeight += std::max(0, f->metrics->leading());

  // prefixes
  std::u32string all = Utf8ToUtf32(utf8);
  std::u32string plain;
  std::vector<int> underlineAt;  // positions in `plain`
  bool prefixes = !(format & DT_NOPREFIX);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (prefixes && all[i] == U'&') {
      if (i + 1 < all.size() && all[i + 1] == U'&') {
        plain.push_back(U'&');
        ++i;
        continue;
      }
      if (i + 1 < all.size()) underlineAt.push_back(static_cast<int>(plain.size()));
      continue;
    }
    plain.push_back(all[i]);
  }
  bool showUnderline = prefixes && !(format & DT_HIDEPREFIX);

  // lines
  std::vector<TextLine> lines;
  auto addLine = [&](std::u32string s, int start) {
    TextLine l;
    for (int u : underlineAt)
      if (u >= start && u < start + static_cast<int>(s.size())) l.underline = u - start;
    l.text = std::move(s);
    lines.push_back(std::move(l));
  };
  if (format & DT_SINGLELINE) {
    std::u32string s;
    for (char32_t c : plain)
      if (c != U'\r' && c != U'\n') s.push_back(c);
    addLine(s, 0);
  } else {
    int start = 0;
    std::size_t i = 0;
    while (i <= plain.size()) {
      if (i == plain.size() || plain[i] == U'\n') {
        std::u32string line = plain.substr(start, i - start);
        if (!line.empty() && line.back() == U'\r') line.pop_back();
        if ((format & DT_WORDBREAK) && area.Width() > 0) {
          // break at spaces; a word wider than the rectangle stays whole
          std::size_t pos = 0;
          while (pos < line.size()) {
            std::size_t end = line.size();
            if (Width(d, f, line.substr(pos), tabWidth, tabs) > area.Width()) {
              std::size_t lastSpace = std::u32string::npos;
              for (std::size_t k = pos; k < line.size(); ++k) {
                if (line[k] == U' ' || line[k] == U'\t') {
                  if (Width(d, f, line.substr(pos, k - pos), tabWidth, tabs) > area.Width()) break;
                  lastSpace = k;
                }
              }
              if (lastSpace != std::u32string::npos && lastSpace > pos) {
                end = lastSpace;
              } else {
                std::size_t k = pos;
                while (k < line.size() && line[k] != U' ') ++k;
                end = k;
              }
            }
            addLine(line.substr(pos, end - pos), start + static_cast<int>(pos));
            pos = end;
            while (pos < line.size() && line[pos] == U' ') ++pos;
          }
          if (line.empty()) addLine(U"", start);
        } else {
          addLine(line, start);
        }
        start = static_cast<int>(i) + 1;
      }
      ++i;
    }
  }

  // ellipsis
  if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS)) {
    for (auto& l : lines) {
      if (Width(d, f, l.text, tabWidth, tabs) <= area.Width()) continue;
      std::size_t keep = EllipsisCut(d, f, l.text, tabWidth, tabs, area.Width());
      l.text = l.text.substr(0, keep) + U"...";
      if (l.underline >= static_cast<int>(keep)) l.underline = -1;
    }
  }

  int total = static_cast<int>(lines.size()) * lineHeight;
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (auto& l : lines) widest = std::max(widest, Width(d, f, l.text, tabWidth, tabs));
    if (!(format & DT_SINGLELINE) || true) r.Right = r.Left + leftMargin + widest + rightMargin;
    r.Bottom = r.Top + total;
    return total;
  }
  int top = area.Top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      top = area.Top + (area.Height() - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      top = area.Bottom - lineHeight;
  }
  if (!d->Prepare()) return total;
  auto& p = d->painter;
  // the clip to the rectangle is set only when something drawn reaches beyond it
  const QRect bounds(r.Left, r.Top, r.Width(), r.Height());
  const bool clip = !(format & DT_NOCLIP);
  bool clipSet = false;
  auto within = [&](bool inside) {
    if (!clip || clipSet || inside) return;
    p.save();
    p.setClipRect(bounds, Qt::IntersectClip);
    clipSet = true;
  };
  const bool opaque = d->st.bkMode == OPAQUE;
  int y = top;
  for (auto& l : lines) {
    // the width places the line and fills behind it: left-aligned transparent text needs neither
    const bool needWidth = (format & (DT_CENTER | DT_RIGHT)) || opaque;
    int w = needWidth ? Width(d, f, l.text, tabWidth, tabs) : 0;
    int x = area.Left;
    if (format & DT_CENTER)
      x = area.Left + (area.Width() - w) / 2;
    else if (format & DT_RIGHT)
      x = area.Right - w;
    if (opaque) {
      QRect fill(x, y, w, lineHeight);
      within(bounds.contains(fill) || fill.isEmpty());
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
      p.fillRect(fill, QCol(d->st.bkColor));
    }
    if (!(format & DT_PREFIXONLY)) {
      if (tabs && l.text.find(U'\t') != std::u32string::npos) {
        within(false);
        std::u32string part;
        int cx = x;
        for (std::size_t k = 0; k <= l.text.size(); ++k) {
          if (k == l.text.size() || l.text[k] == U'\t') {
            std::string piece = Utf32ToUtf8(part);
            DrawRun(d, f, cx, y, piece, QString(), nullptr, 0);
            cx += Advance(f, piece);
            part.clear();
            if (k < l.text.size() && tabWidth > 0) cx = x + ((cx - x) / tabWidth + 1) * tabWidth;
          } else {
            part.push_back(l.text[k]);
          }
        }
      } else {
        std::string text = Utf32ToUtf8(l.text);
        const bool rightToLeft = (format & DT_RTLREADING) && !ReadsAlikeEitherWay(text);
        const ShapedText* t = f->lf.lfEscapement == 0 ? f->ShapedAlready(text, rightToLeft) : nullptr;
        within(t && bounds.contains(t->ink.translated(x, y + f->ascent).toAlignedRect()));
        DrawRun(d, f, x, y, text, QString(), nullptr, 0, 0, 0, rightToLeft);
      }
    }
    if (showUnderline && l.underline >= 0) {
      int ux = x + Width(d, f, l.text.substr(0, l.underline), tabWidth, tabs);
      if ((format & DT_RTLREADING) && !ReadsAlikeEitherWay(Utf32ToUtf8(l.text))) {
        // read right to left, the marked letter stands after those that show before it
        ux = x;
        for (int k : RightToLeftOrder(f->qfont, ToQString(l.text))) {
          if (k == l.underline) break;
          ux += Width(d, f, l.text.substr(static_cast<std::size_t>(k), 1), tabWidth, tabs);
        }
      }
      int uw = Width(d, f, l.text.substr(l.underline, 1), tabWidth, tabs);
      QRect mark(ux, y + f->ascent + 1, uw, 1);
      within(bounds.contains(mark) || mark.isEmpty());
      p.fillRect(mark, QCol(d->st.textColor));
    }
    y += lineHeight;
  }
  if (clipSet) {
    p.restore();
    d->painterFont = 0;
  }
  if (params) params->uiLengthDrawn = static_cast<UINT>(all.size());
  if (format & DT_SINGLELINE) return (top - r.Top) + lineHeight;
  return total;
}

int DrawText(HDC dc, const std::string& text, RECT& r, UINT format) {
  return DrawTextEx(dc, text, r, format, nullptr);
}

void SetDrawRecording(HDC dc, std::vector<TDrawRecord>* records) {
  if (DcObj* d = Dc(dc)) d->records = records;
}
