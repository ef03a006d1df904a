// GDI objects, device contexts and the drawing primitives, over QPainter.
#include "platform/gui/Graphics.h"

#include <unistd.h>

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/QtText.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace talvik::gui::detail {

// ---------------------------------------------------------------- objects

std::unordered_set<GdiObj*>& LiveObjects() {
  static auto* set = new std::unordered_set<GdiObj*>();
  return *set;
}

namespace {

std::unordered_set<DcObj*>& LiveDCs() {
  static auto* set = new std::unordered_set<DcObj*>();
  return *set;
}

std::unordered_map<const QImage*, DcObj*>& ActivePainters() {
  static auto* map = new std::unordered_map<const QImage*, DcObj*>();
  return *map;
}

template <typename T>
HGDIOBJ Register(T* obj) {
  LiveObjects().insert(obj);
  return reinterpret_cast<HGDIOBJ>(static_cast<GdiObj*>(obj));
}

}  // namespace

GdiObj* Obj(HGDIOBJ h) {
  auto* o = reinterpret_cast<GdiObj*>(h);
  return o && LiveObjects().count(o) ? o : nullptr;
}

DcObj* Dc(HDC h) {
  auto* d = reinterpret_cast<DcObj*>(h);
  return d && LiveDCs().count(d) ? d : nullptr;
}

QColor QCol(COLORREF c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF FromQ(QRgb c) {
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

void EnsureGuiApplication() {
  if (QGuiApplication::instance()) return;
  talvik::gui::UseQtBackend();
}

// ---------------------------------------------------------------- fonts

namespace {

std::map<std::string, std::string>& FamilyCache() {
  static auto* m = new std::map<std::string, std::string>();
  return *m;
}

std::string LowerAscii(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

quint32 FontFace::Glyph(char32_t c) {
  if (!raw) raw = std::make_unique<QRawFont>(QRawFont::fromFont(qfont));
  auto it = glyphs.find(c);
  if (it != glyphs.end()) return it->second;
  quint32 glyph = 0;
  if (raw->isValid() && raw->supportsCharacter(static_cast<uint>(c))) {
    QString one = ToQString(c);
    quint32 out[2] = {0, 0};
    int n = 2;
    if (raw->glyphIndexesForChars(one.constData(), one.size(), out, &n) && n == 1) glyph = out[0];
  }
  glyphs.emplace(c, glyph);
  return glyph;
}

void FontFace::Build() {
  static std::uint64_t serials = 0;
  serial = ++serials;
  EnsureGuiApplication();
  qfont = QFont(ToQString(MapFontFamily(lf.lfFaceName)));
  qfont.setStyleStrategy(lf.lfQuality == ANTIALIASED_QUALITY || lf.lfQuality == CLEARTYPE_QUALITY
                             ? QFont::PreferAntialias
                             : QFont::NoAntialias);
  qfont.setHintingPreference(QFont::PreferFullHinting);
  qfont.setWeight(lf.lfWeight >= 600 ? QFont::Bold : QFont::Normal);
  qfont.setItalic(lf.lfItalic);
  qfont.setUnderline(lf.lfUnderline);
  qfont.setStrikeOut(lf.lfStrikeOut);
  if ((lf.lfPitchAndFamily & 3) == FIXED_PITCH) {
    qfont.setFixedPitch(true);
    qfont.setStyleHint(QFont::TypeWriter);
  }
  int px = 11;
  if (lf.lfHeight < 0) {
    px = -lf.lfHeight;
  } else if (lf.lfHeight > 0) {
    // a cell height: find the character size whose ascent plus descent comes closest
    QFont probe = qfont;
    probe.setPixelSize(100);
    QFontMetrics pm(probe);
    int cell = std::max(1, pm.ascent() + pm.descent());
    px = std::max(1, static_cast<int>(std::lround(lf.lfHeight * 100.0 / cell)));
  }
  qfont.setPixelSize(std::max(1, px));
  pixelSize = std::max(1, px);
  metrics = std::make_unique<QFontMetrics>(qfont);
  ascent = metrics->ascent();
  descent = metrics->descent();
}

int FontFace::Advance(const QString& s) const {
  return metrics->horizontalAdvance(s);
}

std::shared_ptr<FontFace> FontFace::For(const LOGFONT& lf) {
  // the faces alive, by description, and the last ones asked for, kept alive
  static auto* faces = new std::unordered_map<std::string, std::weak_ptr<FontFace>>();
  static auto* recent = new std::vector<std::shared_ptr<FontFace>>();
  constexpr std::size_t kRecent = 8;
  std::string key = lf.lfFaceName;
  for (int v : {lf.lfHeight, lf.lfWidth, lf.lfEscapement, lf.lfOrientation, lf.lfWeight, int{lf.lfItalic},
                int{lf.lfUnderline}, int{lf.lfStrikeOut}, int{lf.lfCharSet}, int{lf.lfOutPrecision},
                int{lf.lfClipPrecision}, int{lf.lfQuality}, int{lf.lfPitchAndFamily}})
    key += '\0' + std::to_string(v);
  std::shared_ptr<FontFace> face = (*faces)[key].lock();
  if (!face) {
    if (faces->size() > 256) std::erase_if(*faces, [](const auto& entry) { return entry.second.expired(); });
    face = std::make_shared<FontFace>();
    face->lf = lf;
    face->Build();
    (*faces)[key] = face;
  }
  auto it = std::find(recent->begin(), recent->end(), face);
  if (it == recent->end()) {
    recent->insert(recent->begin(), face);
    if (recent->size() > kRecent) recent->pop_back();
  } else {
    std::rotate(recent->begin(), it, it + 1);
  }
  return face;
}

std::string MapFontFamilyImpl(const std::string& face) {
  auto& cache = FamilyCache();
  auto it = cache.find(face);
  if (it != cache.end()) return it->second;
  EnsureGuiApplication();
  static const std::map<std::string, std::vector<std::string>> known = {
      {"ms sans serif", {"Liberation Sans", "DejaVu Sans"}},
      {"microsoft sans serif", {"Liberation Sans", "DejaVu Sans"}},
      {"arial", {"Liberation Sans", "DejaVu Sans"}},
      {"helvetica", {"Liberation Sans", "DejaVu Sans"}},
      {"tahoma", {"DejaVu Sans Condensed", "DejaVu Sans", "Liberation Sans"}},
      {"verdana", {"DejaVu Sans", "Liberation Sans"}},
      {"segoe ui", {"DejaVu Sans", "Liberation Sans"}},
      {"system", {"Liberation Sans", "DejaVu Sans"}},
      {"times new roman", {"Liberation Serif", "DejaVu Serif"}},
      {"ms serif", {"Liberation Serif", "DejaVu Serif"}},
      {"courier new", {"Liberation Mono", "DejaVu Sans Mono"}},
      {"courier", {"Liberation Mono", "DejaVu Sans Mono"}},
      {"terminal", {"DejaVu Sans Mono", "Liberation Mono"}},
      {"fixedsys", {"DejaVu Sans Mono", "Liberation Mono"}},
      {"lucida console", {"DejaVu Sans Mono", "Liberation Mono"}},
      {"consolas", {"DejaVu Sans Mono", "Liberation Mono"}},
  };
  QStringList families = QFontDatabase::families();
  auto has = [&](const std::string& f) { return families.contains(ToQString(f), Qt::CaseInsensitive); };
  std::string result;
  auto k = known.find(LowerAscii(face));
  if (k != known.end()) {
    for (const auto& f : k->second)
      if (has(f)) {
        result = f;
        break;
      }
  }
  if (result.empty() && !face.empty() && has(face)) result = face;
  if (result.empty())
    result = has("DejaVu Sans") ? "DejaVu Sans" : (families.isEmpty() ? face : FromQString(families.front()));
  cache[face] = result;
  return result;
}

// ---------------------------------------------------------------- device contexts

QImage& DcObj::Target() {
  if (surface) return SurfaceImageRef(surface);
  if (bitmap) return bitmap->image;
  static QImage* none = new QImage(1, 1, QImage::Format_RGB32);
  return *none;
}

void DcObj::EndPainter() {
  if (!painter.isActive()) return;
  auto& ap = ActivePainters();
  auto it = ap.find(paintedImage);
  if (it != ap.end() && it->second == this) ap.erase(it);
  painter.end();
  paintedImage = nullptr;
}

QTransform DcObj::Mapping() const {
  QTransform t;
  t.translate(origin.X + st.vpOrg.X, origin.Y + st.vpOrg.Y);
  if (st.mapMode != MM_TEXT && st.winExt.cx != 0 && st.winExt.cy != 0)
    t.scale(static_cast<double>(st.vpExt.cx) / st.winExt.cx, static_cast<double>(st.vpExt.cy) / st.winExt.cy);
  t.translate(-st.winOrg.X, -st.winOrg.Y);
  return t;
}

QRegion DcObj::EffectiveClip() const {
  QRegion r;
  if (hasBaseClip)
    r = baseClip;
  else
    r = QRegion(0, 0, const_cast<DcObj*>(this)->Target().width(),
                const_cast<DcObj*>(this)->Target().height());
  if (st.hasUserClip) r &= st.userClip.translated(origin.X, origin.Y);
  return r;
}

// Makes the painter ready: begun on the target, with the mapping and the clip of this DC.
bool DcObj::Prepare() {
  QImage& img = Target();
  if (img.isNull()) return false;
  if (!painter.isActive() || paintedImage != &img) {
    EndPainter();
    auto& ap = ActivePainters();
    auto it = ap.find(&img);
    if (it != ap.end() && it->second != this) it->second->EndPainter();
    if (!painter.begin(&img)) return false;
    paintedImage = &img;
    ap[&img] = this;
    dirty = true;
    painterFont = 0;
  }
  if (dirty) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setWorldTransform(QTransform());
    clipEmpty = false;
    QRegion clip = EffectiveClip();
    if (clip.isEmpty()) {
      clipEmpty = true;
    } else {
      painter.setClipRegion(clip);
    }
    const QTransform mapping = Mapping();
    painter.setWorldTransform(mapping);
    // a clip of one rectangle under a mere shift can be narrowed and put back without saving state
    clipBoxKnown = !clipEmpty && mapping.type() <= QTransform::TxTranslate;
    if (clipBoxKnown)
      clipBox = clip.boundingRect().translated(-QPointF(mapping.dx(), mapping.dy()).toPoint());
    clipIsRect = clipBoxKnown && clip.rectCount() == 1;
    if (clipIsRect) clipRect = clipBox;
    dirty = false;
  }
  return !clipEmpty;
}

namespace {

void ResetState(DcObj* d) {
  d->st = DcState{};
  d->st.pen = GetStockObject(BLACK_PEN);
  d->st.brush = GetStockObject(WHITE_BRUSH);
  d->st.font = GetStockObject(SYSTEM_FONT);
}

QColor ColorForRop2(int rop, COLORREF c) {
  if (rop == R2_BLACK) return Qt::black;
  if (rop == R2_WHITE) return Qt::white;
  return QCol(c);
}

}  // namespace

QPen DcObj::MakePen() {
  auto* p = static_cast<PenObj*>(Obj(st.pen));
  if (!p || p->style == PS_NULL || st.rop2 == R2_NOP) return QPen(Qt::NoPen);
  QPen pen(ColorForRop2(st.rop2, p->color));
  pen.setWidth(p->width <= 1 ? 0 : p->width);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  switch (p->style) {
    case PS_DASH:
      pen.setDashPattern({6, 2});
      break;
    case PS_DOT:
      pen.setDashPattern({1, 1});
      break;
    case PS_DASHDOT:
      pen.setDashPattern({3, 1, 1, 1});
      break;
    case PS_DASHDOTDOT:
      pen.setDashPattern({3, 1, 1, 1, 1, 1});
      break;
    default:
      break;
  }
  return pen;
}

QBrush BrushFor(DcObj* d, HBRUSH h) {
  auto* b = static_cast<BrushObj*>(Obj(h));
  if (!b || b->style == BS_NULL) return QBrush(Qt::NoBrush);
  if (b->style == BS_PATTERN) {
    QImage img = b->pattern;
    if (b->monoPattern && d) {
      // monochrome patterns take the DC's text (0) and background (1) colours
      img = img.convertToFormat(QImage::Format_RGB32);
      QRgb fg = QCol(d->st.textColor).rgb(), bg = QCol(d->st.bkColor).rgb();
      for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) line[x] = (qRed(line[x]) > 127) ? bg : fg;
      }
    }
    QBrush br(img);
    if (d)
      br.setTransform(
          QTransform::fromTranslate(d->origin.X + d->st.brushOrg.X, d->origin.Y + d->st.brushOrg.Y));
    return br;
  }
  if (b->style == BS_HATCHED) {
    Qt::BrushStyle s = Qt::HorPattern;
    switch (b->hatch) {
      case HS_VERTICAL:
        s = Qt::VerPattern;
        break;
      case HS_FDIAGONAL:
        s = Qt::FDiagPattern;
        break;
      case HS_BDIAGONAL:
        s = Qt::BDiagPattern;
        break;
      case HS_CROSS:
        s = Qt::CrossPattern;
        break;
      case HS_DIAGCROSS:
        s = Qt::DiagCrossPattern;
        break;
      default:
        break;
    }
    return QBrush(QCol(b->color), s);
  }
  return QBrush(QCol(b->color));
}

void FreeDc(DcObj* d) {
  d->EndPainter();
  if (d->bitmap) d->bitmap->selectedIn = nullptr;
  LiveDCs().erase(d);
  delete d;
}

DcObj* NewDc() {
  auto* d = new DcObj();
  ResetState(d);
  LiveDCs().insert(d);
  return d;
}

// Ends every painter working on `image` (before the image changes size or goes away).
void ReleaseImage(const QImage* image) {
  auto& ap = ActivePainters();
  auto it = ap.find(image);
  if (it != ap.end()) it->second->EndPainter();
}

// ---------------------------------------------------------------- surfaces

class Surface {
 public:
  QImage image;
};

QImage& SurfaceImageRef(Surface* s) {
  return s->image;
}
const QImage& SurfaceImage(Surface* s) {
  return s->image;
}

Surface* NewSurface(int width, int height) {
  EnsureGuiApplication();
  auto* s = new Surface();
  s->image = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  s->image.fill(QCol(GetSysColor(COLOR_BTNFACE)));
  return s;
}

void FreeSurface(Surface* s) {
  if (!s) return;
  ReleaseImage(&s->image);
  for (DcObj* d : LiveDCs())
    if (d->surface == s) d->surface = nullptr;
  delete s;
}

void ResizeSurface(Surface* s, int width, int height) {
  if (!s || (s->image.width() == width && s->image.height() == height)) return;
  ReleaseImage(&s->image);
  QImage next(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  next.fill(QCol(GetSysColor(COLOR_BTNFACE)));
  {
    QPainter p(&next);
    p.drawImage(0, 0, s->image);
  }
  s->image = next;
}

bool SaveImageWhole(const QImage& image, const std::string& path, const char* format) {
  static std::atomic<unsigned> written{0};
  const std::string part = path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++written);
  if (!image.save(ToQString(part), format) || std::rename(part.c_str(), path.c_str()) != 0) {
    std::remove(part.c_str());
    return false;
  }
  return true;
}

bool SaveSurfacePng(Surface* s, const std::string& path) {
  if (!s) return false;
  ReleaseImage(&s->image);
  return SaveImageWhole(s->image, path);
}

void SurfacePixels(Surface* s, const RECT* caret, std::vector<COLORREF>& pixels, int& width, int& height) {
  pixels.clear();
  width = height = 0;
  if (!s) return;
  ReleaseImage(&s->image);
  QImage copy = s->image.convertToFormat(QImage::Format_RGB32);
  if (caret) DrawCaretInto(copy, *caret);
  width = copy.width();
  height = copy.height();
  pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(copy.constScanLine(y));
    for (int x = 0; x < width; ++x) pixels[static_cast<std::size_t>(y) * width + x] = FromQ(line[x]);
  }
}

bool SaveComposedPng(const std::vector<ComposedLayer>& layers, const RECT& area, const std::string& path) {
  EnsureGuiApplication();
  QImage out(std::max(1, area.Width()), std::max(1, area.Height()), QImage::Format_RGB32);
  out.fill(QCol(GetSysColor(COLOR_BACKGROUND)));
  QPainter p(&out);
  for (const ComposedLayer& layer : layers) {
    Surface* s = layer.surface;
    if (!s) continue;
    ReleaseImage(&s->image);
    const QPoint at(layer.rect.Left - area.Left, layer.rect.Top - area.Top);
    p.save();
    if (layer.shaped) {
      QRegion shape;
      for (const RECT& r : layer.shape) shape += QRect(r.Left, r.Top, r.Width(), r.Height());
      p.setClipRegion(shape.translated(at));
    }
    p.drawImage(at, s->image);
    p.restore();
  }
  p.end();
  return SaveImageWhole(out, path);
}

bool SaveSurfacePngWithCaret(Surface* s, const std::string& path, const RECT& caret) {
  if (!s) return false;
  ReleaseImage(&s->image);
  QImage copy = s->image.copy();
  DrawCaretInto(copy, caret);
  return SaveImageWhole(copy, path);
}

COLORREF SurfacePixel(Surface* s, int x, int y) {
  if (!s || x < 0 || y < 0 || x >= s->image.width() || y >= s->image.height()) return CLR_INVALID;
  return FromQ(s->image.pixel(x, y));
}

void ScrollSurface(Surface* s, const RECT& area, int dx, int dy) {
  if (!s) return;
  ReleaseImage(&s->image);
  QImage copy = s->image.copy(area.Left, area.Top, area.Width(), area.Height());
  QPainter p(&s->image);
  p.setClipRect(area.Left, area.Top, area.Width(), area.Height());
  p.drawImage(area.Left + dx, area.Top + dy, copy);
}

void DrawCaretInto(QImage& image, const RECT& caret) {
  QPainter p(&image);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  p.fillRect(caret.Left, caret.Top, caret.Width(), caret.Height(), Qt::white);
}

HDC NewWindowDC(HWND hwnd, Surface* surface, POINT origin, const std::vector<RECT>& clip) {
  DcObj* d = NewDc();
  d->hwnd = hwnd;
  d->surface = surface;
  d->origin = origin;
  d->hasBaseClip = true;
  for (const RECT& r : clip) d->baseClip += QRect(r.Left, r.Top, r.Width(), r.Height());
  return reinterpret_cast<HDC>(d);
}

void FreeWindowDC(HDC dc) {
  if (DcObj* d = Dc(dc)) FreeDc(d);
}

std::vector<RECT> RegionRects(HRGN region) {
  std::vector<RECT> out;
  auto* r = static_cast<RegionObj*>(Obj(region));
  if (!r) return out;
  for (const QRect& q : r->region) out.push_back(Bounds(q.x(), q.y(), q.width(), q.height()));
  return out;
}

bool DeleteRegionObject(HRGN region) {
  return DeleteObject(region);
}

HBRUSH SystemBrush(int index) {
  static HBRUSH brushes[COLOR_ENDCOLORS] = {};
  static COLORREF colors[COLOR_ENDCOLORS] = {};
  if (index < 0 || index >= COLOR_ENDCOLORS) return nullptr;
  COLORREF c = GetSysColor(index);
  if (!brushes[index] || colors[index] != c) {
    // system brushes are stock objects: DeleteObject leaves them alone
    auto* b = new BrushObj();
    b->type = OBJ_BRUSH;
    b->stock = true;
    b->color = c;
    brushes[index] = Register(b);
    colors[index] = c;
  }
  return brushes[index];
}

bool FillRectWithBrush(HDC dc, const RECT& r, HBRUSH brush) {
  return FillRect(dc, r, brush) != 0;
}

HBITMAP LoadBitmapFile(const std::string& path) {
  EnsureGuiApplication();
  QImage img(ToQString(path));
  if (img.isNull()) return nullptr;
  HBITMAP h = CreateBitmap(img.width(), img.height(), 1, 32, nullptr);
  auto* b = static_cast<BitmapObj*>(Obj(h));
  b->image = img.convertToFormat(QImage::Format_RGB32);
  return h;
}

bool SaveBitmapFile(HBITMAP bitmap, const std::string& path) {
  auto* b = static_cast<BitmapObj*>(Obj(bitmap));
  if (!b || b->type != OBJ_BITMAP) return false;
  ReleaseImage(&b->image);
  QString p = ToQString(path);
  const char* format = p.endsWith(".bmp", Qt::CaseInsensitive) ? "BMP" : "PNG";
  return SaveImageWhole(b->image.copy(0, 0, std::max(1, b->width), std::max(1, b->height)), path, format);
}

}  // namespace talvik::gui::detail

using namespace talvik::gui::detail;

// ---------------------------------------------------------------- colours

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  if (color == clNone || color == clDefault) return 0;
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

namespace {
// The colours that have names, with their names.
const std::pair<TColor, const char*>* ColorNames(size_t& count) {
  static const std::pair<TColor, const char*> names[] = {{clBlack, "clBlack"},
                                                         {clMaroon, "clMaroon"},
                                                         {clGreen, "clGreen"},
                                                         {clOlive, "clOlive"},
                                                         {clNavy, "clNavy"},
                                                         {clPurple, "clPurple"},
                                                         {clTeal, "clTeal"},
                                                         {clGray, "clGray"},
                                                         {clSilver, "clSilver"},
                                                         {clRed, "clRed"},
                                                         {clLime, "clLime"},
                                                         {clYellow, "clYellow"},
                                                         {clBlue, "clBlue"},
                                                         {clFuchsia, "clFuchsia"},
                                                         {clAqua, "clAqua"},
                                                         {clWhite, "clWhite"},
                                                         {clNone, "clNone"},
                                                         {clDefault, "clDefault"},
                                                         {clBtnFace, "clBtnFace"},
                                                         {clWindow, "clWindow"},
                                                         {clWindowText, "clWindowText"},
                                                         {clHighlight, "clHighlight"},
                                                         {clHighlightText, "clHighlightText"},
                                                         {clBtnShadow, "clBtnShadow"},
                                                         {clBtnHighlight, "clBtnHighlight"},
                                                         {clBtnText, "clBtnText"},
                                                         {clGrayText, "clGrayText"},
                                                         {clInfoBk, "clInfoBk"},
                                                         {clInfoText, "clInfoText"}};
  count = std::size(names);
  return names;
}
}  // namespace

std::string ColorToString(TColor color) {
  size_t count = 0;
  const auto* names = ColorNames(count);
  for (size_t i = 0; i < count; ++i)
    if (names[i].first == color) return names[i].second;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(color));
  return buf;
}

bool IdentToColor(std::string_view ident, TColor& color) {
  size_t count = 0;
  const auto* names = ColorNames(count);
  for (size_t i = 0; i < count; ++i)
    if (SameText(ident, names[i].second)) {
      color = names[i].first;
      return true;
    }
  return false;
}

TColor StringToColor(std::string_view s) {
  TColor color = 0;
  if (IdentToColor(s, color)) return color;
  int64_t value = 0;
  if (!TryStrToInt64(s, value) || value < INT32_MIN || value > UINT32_MAX)
    throw EConvertError("'" + std::string(s) + "' is not a valid colour");
  return static_cast<TColor>(static_cast<uint32_t>(value));
}

COLORREF GetNearestColor(HDC, COLORREF color) {
  return color & 0xFFFFFF;
}
bool ThemesEnabled() {
  return false;
}
std::string MapFontFamily(const std::string& face) {
  return MapFontFamilyImpl(face);
}

std::vector<std::string> InstalledFontNames() {
  EnsureGuiApplication();
  std::vector<std::string> out;
  for (const QString& f : QFontDatabase::families()) out.push_back(FromQString(f));
  for (const char* alias : {"Arial", "Courier New", "MS Sans Serif", "Tahoma", "Times New Roman"})
    out.push_back(alias);
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// ---------------------------------------------------------------- object creation

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* p = new PenObj();
  p->type = OBJ_PEN;
  p->style = style;
  p->width = std::max(0, width);
  p->color = color & 0xFFFFFF;
  return Register(p);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* b = new BrushObj();
  b->type = OBJ_BRUSH;
  b->color = color & 0xFFFFFF;
  return Register(b);
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  auto* b = new BrushObj();
  b->type = OBJ_BRUSH;
  b->style = BS_HATCHED;
  b->hatch = hatch;
  b->color = color & 0xFFFFFF;
  return Register(b);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto* bm = static_cast<BitmapObj*>(Obj(bitmap));
  if (!bm || bm->type != OBJ_BITMAP) return nullptr;
  auto* b = new BrushObj();
  b->type = OBJ_BRUSH;
  b->style = BS_PATTERN;
  b->pattern = bm->image.copy();
  b->monoPattern = bm->mono;
  return Register(b);
}

HFONT CreateFontIndirect(const LOGFONT& lf) {
  auto* f = new FontObj();
  f->type = OBJ_FONT;
  f->lf = lf;
  f->face = FontFace::For(lf);
  return Register(f);
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                 DWORD quality, DWORD pitchAndFamily, const std::string& face) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight ? weight : FW_NORMAL;
  lf.lfItalic = italic ? 1 : 0;
  lf.lfUnderline = underline ? 1 : 0;
  lf.lfStrikeOut = strikeOut ? 1 : 0;
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  lf.lfFaceName = face;
  return CreateFontIndirect(lf);
}

HBITMAP CreateBitmap(int width, int height, UINT, UINT bitsPerPixel, const void* bits) {
  if (width < 0 || height < 0) throw EInvalidOperation("Bitmap size cannot be negative");
  EnsureGuiApplication();
  auto* b = new BitmapObj();
  b->type = OBJ_BITMAP;
  b->mono = bitsPerPixel == 1;
  b->image = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  b->image.fill(b->mono ? Qt::black : Qt::black);
  b->width = width;
  b->height = height;
  if (bits) {
    const auto* src = static_cast<const BYTE*>(bits);
    if (b->mono) {
      // rows of 16-bit words, most significant bit first; 1 is white
      int stride = ((width + 15) / 16) * 2;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          bool on = src[y * stride + x / 8] & (0x80 >> (x % 8));
          b->image.setPixel(x, y, on ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
        }
    } else if (bitsPerPixel == 32) {
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const BYTE* p = src + (static_cast<std::size_t>(y) * width + x) * 4;
          b->image.setPixel(x, y, qRgb(p[2], p[1], p[0]));
        }
    }
  }
  return Register(b);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  DcObj* d = Dc(dc);
  bool mono = d && d->bitmap && d->bitmap->mono && !d->surface;
  HBITMAP h = CreateBitmap(width, height, 1, mono ? 1 : 32, nullptr);
  return h;
}

HGDIOBJ GetStockObject(int index) {
  // made once and never destroyed, as every table of the window layer (see S())
  static auto* stock = new std::map<int, HGDIOBJ>();
  auto it = stock->find(index);
  if (it != stock->end()) return it->second;
  HGDIOBJ h = nullptr;
  switch (index) {
    case WHITE_BRUSH:
      h = CreateSolidBrush(RGB(255, 255, 255));
      break;
    case LTGRAY_BRUSH:
      h = CreateSolidBrush(RGB(192, 192, 192));
      break;
    case GRAY_BRUSH:
      h = CreateSolidBrush(RGB(128, 128, 128));
      break;
    case DKGRAY_BRUSH:
      h = CreateSolidBrush(RGB(64, 64, 64));
      break;
    case BLACK_BRUSH:
      h = CreateSolidBrush(RGB(0, 0, 0));
      break;
    case NULL_BRUSH: {
      auto* b = new BrushObj();
      b->type = OBJ_BRUSH;
      b->style = BS_NULL;
      h = Register(b);
      break;
    }
    case WHITE_PEN:
      h = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
      break;
    case BLACK_PEN:
      h = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
      break;
    case NULL_PEN:
      h = CreatePen(PS_NULL, 1, 0);
      break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
      h = CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, "Courier New");
      break;
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT:
      h = CreateFont(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
      break;
    default:
      return nullptr;
  }
  Obj(h)->stock = true;
  (*stock)[index] = h;
  return h;
}

UINT GetObjectType(HGDIOBJ object) {
  if (Dc(reinterpret_cast<HDC>(object))) {
    DcObj* d = Dc(reinterpret_cast<HDC>(object));
    return d->memory ? OBJ_MEMDC : OBJ_DC;
  }
  GdiObj* o = Obj(object);
  return o ? o->type : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  DcObj* d = Dc(dc);
  GdiObj* o = Obj(object);
  if (!d || !o) return nullptr;
  HGDIOBJ old = nullptr;
  switch (o->type) {
    case OBJ_PEN:
      old = d->st.pen;
      d->st.pen = object;
      break;
    case OBJ_BRUSH:
      old = d->st.brush;
      d->st.brush = object;
      break;
    case OBJ_FONT:
      old = d->st.font;
      d->st.font = object;
      break;
    case OBJ_BITMAP: {
      if (!d->memory) return nullptr;
      auto* bm = static_cast<BitmapObj*>(o);
      if (bm->selectedIn && bm->selectedIn != d) return nullptr;  // a bitmap lives in one DC at a time
      d->EndPainter();
      old = reinterpret_cast<HGDIOBJ>(static_cast<GdiObj*>(d->bitmap));
      if (d->bitmap) d->bitmap->selectedIn = nullptr;
      d->bitmap = bm;
      bm->selectedIn = d;
      d->dirty = true;
      break;
    }
    case OBJ_REGION:
      SelectClipRgn(dc, object);
      return reinterpret_cast<HGDIOBJ>(SIMPLEREGION);
    default:
      return nullptr;
  }
  return old;
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  DcObj* d = Dc(dc);
  if (!d) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return d->st.pen;
    case OBJ_BRUSH:
      return d->st.brush;
    case OBJ_FONT:
      return d->st.font;
    case OBJ_BITMAP:
      return reinterpret_cast<HGDIOBJ>(static_cast<GdiObj*>(d->bitmap));
    default:
      return nullptr;
  }
}

bool DeleteObject(HGDIOBJ object) {
  GdiObj* o = Obj(object);
  if (!o) return false;
  if (o->stock) return true;
  if (o->type == OBJ_BITMAP && static_cast<BitmapObj*>(o)->selectedIn) return false;
  if (o->type == OBJ_BITMAP) ReleaseImage(&static_cast<BitmapObj*>(o)->image);
  LiveObjects().erase(o);
  delete o;
  return true;
}

bool GetObject(HGDIOBJ object, BITMAP& out) {
  auto* b = static_cast<BitmapObj*>(Obj(object));
  if (!b || b->type != OBJ_BITMAP) return false;
  out.bmWidth = b->width;
  out.bmHeight = b->height;
  out.bmBitsPixel = b->mono ? 1 : 32;
  out.bmWidthBytes = b->mono ? ((b->width + 15) / 16) * 2 : b->width * 4;
  out.bmPlanes = 1;
  return true;
}

bool GetObject(HGDIOBJ object, LOGFONT& out) {
  auto* f = static_cast<FontObj*>(Obj(object));
  if (!f || f->type != OBJ_FONT) return false;
  out = f->lf;
  return true;
}

HDC CreateCompatibleDC(HDC) {
  EnsureGuiApplication();
  DcObj* d = NewDc();
  d->memory = true;
  static HBITMAP defaultBitmap = [] {
    HBITMAP h = CreateBitmap(1, 1, 1, 1, nullptr);
    Obj(h)->stock = true;
    return h;
  }();
  d->bitmap = static_cast<BitmapObj*>(Obj(defaultBitmap));
  return reinterpret_cast<HDC>(d);
}

bool DeleteDC(HDC dc) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  FreeDc(d);
  return true;
}

int SaveDC(HDC dc) {
  DcObj* d = Dc(dc);
  if (!d) return 0;
  d->saved.push_back(d->st);
  return static_cast<int>(d->saved.size());
}

bool RestoreDC(HDC dc, int saved) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  int n = static_cast<int>(d->saved.size());
  int index = saved < 0 ? n + saved : saved - 1;
  if (index < 0 || index >= n) return false;
  DcState st = d->saved[index];
  d->saved.resize(index);
  // objects deleted meanwhile fall back to the stock ones
  if (!Obj(st.pen)) st.pen = GetStockObject(BLACK_PEN);
  if (!Obj(st.brush)) st.brush = GetStockObject(WHITE_BRUSH);
  if (!Obj(st.font)) st.font = GetStockObject(SYSTEM_FONT);
  d->st = st;
  d->dirty = true;
  return true;
}

HWND WindowFromDC(HDC dc) {
  DcObj* d = Dc(dc);
  return d ? d->hwnd : nullptr;
}

// ---------------------------------------------------------------- DC attributes

#define DC_ATTR(Type, Getter, Setter, field, dirtying) \
  Type Setter(HDC dc, Type value) {                    \
    DcObj* d = Dc(dc);                                 \
    if (!d) return Type{};                             \
    Type old = d->st.field;                            \
    d->st.field = value;                               \
    if (dirtying) d->dirty = true;                     \
    return old;                                        \
  }                                                    \
  Type Getter(HDC dc) {                                \
    DcObj* d = Dc(dc);                                 \
    return d ? d->st.field : Type{};                   \
  }
DC_ATTR(COLORREF, GetTextColor, SetTextColor, textColor, false)
DC_ATTR(COLORREF, GetBkColor, SetBkColor, bkColor, false)
DC_ATTR(int, GetBkMode, SetBkMode, bkMode, false)
DC_ATTR(int, GetROP2, SetROP2, rop2, false)
DC_ATTR(UINT, GetTextAlign, SetTextAlign, textAlign, false)
DC_ATTR(int, GetTextCharacterExtra, SetTextCharacterExtra, charExtra, false)
DC_ATTR(int, GetMapMode, SetMapMode, mapMode, true)
#undef DC_ATTR

bool SetBrushOrgEx(HDC dc, int x, int y, POINT* old) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  if (old) *old = d->st.brushOrg;
  d->st.brushOrg = {x, y};
  return true;
}

namespace {
bool SetPoint(HDC dc, POINT DcState::*field, int x, int y, POINT* old, bool relative) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  POINT& p = d->st.*field;
  if (old) *old = p;
  p = relative ? POINT{p.X + x, p.Y + y} : POINT{x, y};
  d->dirty = true;
  return true;
}
bool SetExt(HDC dc, SIZE DcState::*field, int x, int y, SIZE* old) {
  DcObj* d = Dc(dc);
  if (!d || x == 0 || y == 0) return false;
  SIZE& s = d->st.*field;
  if (old) *old = s;
  if (d->st.mapMode == MM_TEXT) return true;  // extents count only in the scaling modes
  s = {x, y};
  d->dirty = true;
  return true;
}
}  // namespace

bool SetWindowOrgEx(HDC dc, int x, int y, POINT* old) {
  return SetPoint(dc, &DcState::winOrg, x, y, old, false);
}
bool OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* old) {
  return SetPoint(dc, &DcState::winOrg, dx, dy, old, true);
}
bool SetViewportOrgEx(HDC dc, int x, int y, POINT* old) {
  return SetPoint(dc, &DcState::vpOrg, x, y, old, false);
}
bool OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* old) {
  return SetPoint(dc, &DcState::vpOrg, dx, dy, old, true);
}
bool SetWindowExtEx(HDC dc, int x, int y, SIZE* old) {
  return SetExt(dc, &DcState::winExt, x, y, old);
}
bool SetViewportExtEx(HDC dc, int x, int y, SIZE* old) {
  return SetExt(dc, &DcState::vpExt, x, y, old);
}

bool GetWindowOrgEx(HDC dc, POINT* p) {
  DcObj* d = Dc(dc);
  if (!d || !p) return false;
  *p = d->st.winOrg;
  return true;
}

bool GetViewportOrgEx(HDC dc, POINT* p) {
  DcObj* d = Dc(dc);
  if (!d || !p) return false;
  *p = d->st.vpOrg;
  return true;
}

bool LPtoDP(HDC dc, POINT* points, int count) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  QTransform t = d->Mapping() * QTransform::fromTranslate(-d->origin.X, -d->origin.Y);
  for (int i = 0; i < count; ++i) {
    QPointF q = t.map(QPointF(points[i].X, points[i].Y));
    points[i] = {static_cast<int>(std::lround(q.x())), static_cast<int>(std::lround(q.y()))};
  }
  return true;
}

bool DPtoLP(HDC dc, POINT* points, int count) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  QTransform t = (d->Mapping() * QTransform::fromTranslate(-d->origin.X, -d->origin.Y)).inverted();
  for (int i = 0; i < count; ++i) {
    QPointF q = t.map(QPointF(points[i].X, points[i].Y));
    points[i] = {static_cast<int>(std::lround(q.x())), static_cast<int>(std::lround(q.y()))};
  }
  return true;
}

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    case HORZRES:
      return GetSystemMetrics(SM_CXSCREEN);
    case VERTRES:
      return GetSystemMetrics(SM_CYSCREEN);
    case TECHNOLOGY:
      return 1;  // raster display
    case RASTERCAPS:
      return 0x7E99;
    default:
      return 0;
  }
}

// ---------------------------------------------------------------- regions

namespace {
HRGN NewRegion(const QRegion& r) {
  auto* o = new RegionObj();
  o->type = OBJ_REGION;
  o->region = r;
  return Register(o);
}
RegionObj* Rgn(HRGN h) {
  auto* o = static_cast<RegionObj*>(Obj(h));
  return o && o->type == OBJ_REGION ? o : nullptr;
}
int Complexity(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
QRect QR(const RECT& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}
RECT FromQR(const QRect& r) {
  return r.isEmpty() ? RECT{} : Bounds(r.x(), r.y(), r.width(), r.height());
}
}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return NewRegion(QRegion(
      QR(Rect(std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)))));
}
HRGN CreateRectRgnIndirect(const RECT& r) {
  return CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  QPolygon poly;
  for (int i = 0; i < count; ++i) poly << QPoint(points[i].X, points[i].Y);
  return NewRegion(QRegion(poly, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill));
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
  return NewRegion(QRegion(QRect(left, top, right - left, bottom - top), QRegion::Ellipse));
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  RegionObj* d = Rgn(dest);
  RegionObj* ra = Rgn(a);
  RegionObj* rb = Rgn(b);
  if (!d || !ra || (mode != RGN_COPY && !rb)) return ERROR;
  switch (mode) {
    case RGN_AND:
      d->region = ra->region & rb->region;
      break;
    case RGN_OR:
      d->region = ra->region | rb->region;
      break;
    case RGN_XOR:
      d->region = ra->region ^ rb->region;
      break;
    case RGN_DIFF:
      d->region = ra->region - rb->region;
      break;
    case RGN_COPY:
      d->region = ra->region;
      break;
    default:
      return ERROR;
  }
  return Complexity(d->region);
}

int OffsetRgn(HRGN region, int dx, int dy) {
  RegionObj* r = Rgn(region);
  if (!r) return ERROR;
  r->region.translate(dx, dy);
  return Complexity(r->region);
}

bool PtInRegion(HRGN region, int x, int y) {
  RegionObj* r = Rgn(region);
  return r && r->region.contains(QPoint(x, y));
}

bool RectInRegion(HRGN region, const RECT& rc) {
  RegionObj* r = Rgn(region);
  return r && r->region.intersects(QR(rc));
}

int GetRgnBox(HRGN region, RECT& box) {
  RegionObj* r = Rgn(region);
  if (!r) return ERROR;
  box = FromQR(r->region.boundingRect());
  return Complexity(r->region);
}

bool EqualRgn(HRGN a, HRGN b) {
  RegionObj* ra = Rgn(a);
  RegionObj* rb = Rgn(b);
  return ra && rb && ra->region == rb->region;
}

bool SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  RegionObj* r = Rgn(region);
  if (!r) return false;
  r->region = QRegion(QR(Rect(left, top, right, bottom)));
  return true;
}

bool FillRgn(HDC dc, HRGN region, HBRUSH brush) {
  RegionObj* r = Rgn(region);
  DcObj* d = Dc(dc);
  if (!r || !d || !d->Prepare()) return false;
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  QBrush br = BrushFor(d, brush);
  for (const QRect& q : r->region) d->painter.fillRect(q, br);
  return true;
}

bool FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height) {
  RegionObj* r = Rgn(region);
  DcObj* d = Dc(dc);
  if (!r || !d || !d->Prepare()) return false;
  QRegion inner = r->region;
  QRegion shrunk = inner.translated(width, 0) & inner.translated(-width, 0) & inner.translated(0, height) &
                   inner.translated(0, -height);
  QBrush br = BrushFor(d, brush);
  d->painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  for (const QRect& q : inner - shrunk) d->painter.fillRect(q, br);
  return true;
}

// ---------------------------------------------------------------- clipping

namespace {
// A logical rectangle in device coordinates relative to the DC origin.
QRect DeviceRect(DcObj* d, const RECT& r) {
  QTransform t = d->Mapping() * QTransform::fromTranslate(-d->origin.X, -d->origin.Y);
  return t.mapRect(QRectF(r.Left, r.Top, r.Width(), r.Height())).toAlignedRect();
}
QRegion CurrentUserClip(DcObj* d) {
  if (d->st.hasUserClip) return d->st.userClip;
  QRegion all = d->EffectiveClip();
  return all.translated(-d->origin.X, -d->origin.Y);
}
}  // namespace

int SelectClipRgn(HDC dc, HRGN region) {
  DcObj* d = Dc(dc);
  if (!d) return ERROR;
  if (!region) {
    d->st.hasUserClip = false;
    d->st.userClip = QRegion();
  } else {
    RegionObj* r = Rgn(region);
    if (!r) return ERROR;
    d->st.hasUserClip = true;
    d->st.userClip = r->region;
  }
  d->dirty = true;
  return Complexity(d->EffectiveClip());
}

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
  DcObj* d = Dc(dc);
  if (!d) return ERROR;
  if (mode == RGN_COPY) return SelectClipRgn(dc, region);
  RegionObj* r = Rgn(region);
  if (!r) return ERROR;
  QRegion cur = CurrentUserClip(d);
  switch (mode) {
    case RGN_AND:
      cur &= r->region;
      break;
    case RGN_OR:
      cur |= r->region;
      break;
    case RGN_XOR:
      cur ^= r->region;
      break;
    case RGN_DIFF:
      cur -= r->region;
      break;
    default:
      return ERROR;
  }
  d->st.hasUserClip = true;
  d->st.userClip = cur;
  d->dirty = true;
  return Complexity(d->EffectiveClip());
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  DcObj* d = Dc(dc);
  if (!d) return ERROR;
  QRegion cur = CurrentUserClip(d);
  d->st.userClip = cur & QRegion(DeviceRect(d, Rect(left, top, right, bottom)));
  d->st.hasUserClip = true;
  d->dirty = true;
  return Complexity(d->EffectiveClip());
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  DcObj* d = Dc(dc);
  if (!d) return ERROR;
  QRegion cur = CurrentUserClip(d);
  d->st.userClip = cur - QRegion(DeviceRect(d, Rect(left, top, right, bottom)));
  d->st.hasUserClip = true;
  d->dirty = true;
  return Complexity(d->EffectiveClip());
}

int GetClipBox(HDC dc, RECT& box) {
  DcObj* d = Dc(dc);
  if (!d) return ERROR;
  QRegion clip = d->EffectiveClip();
  QRectF logical = d->Mapping().inverted().mapRect(QRectF(clip.boundingRect()));
  box = clip.isEmpty() ? RECT{} : FromQR(logical.toAlignedRect());
  return Complexity(clip);
}

int GetClipRgn(HDC dc, HRGN region) {
  DcObj* d = Dc(dc);
  RegionObj* r = Rgn(region);
  if (!d || !r) return -1;
  if (!d->st.hasUserClip) return 0;
  r->region = d->st.userClip;
  return 1;
}

bool RectVisible(HDC dc, const RECT& r) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  QRect q = d->Mapping().mapRect(QRectF(r.Left, r.Top, r.Width(), r.Height())).toAlignedRect();
  return d->EffectiveClip().intersects(q);
}

bool PtVisible(HDC dc, int x, int y) {
  DcObj* d = Dc(dc);
  if (!d) return false;
  QPointF p = d->Mapping().map(QPointF(x, y));
  return d->EffectiveClip().contains(p.toPoint());
}
