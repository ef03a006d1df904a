// Private to the .cpp files of platform/gui: the Qt-side shape of GDI objects and device contexts.
// No other folder includes this header; the system's own code sees Graphics.h only.
#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRegion>
#include <QTextLayout>
#include <QTransform>

class QObject;
class QWidget;
#include <cassert>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>
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

// A text shaped once with one font: the glyph runs the toolkit would lay out for it, ready to be
// drawn again and again with nothing but a position.
struct ShapedText {
  int width = -1;               // the advance as the font's metrics measure it; -1 until asked
  bool drawn = false;           // a text drawn once is drawn directly; drawn a second time, it is shaped
  bool shaped = false;          // runs and ink are made
  std::vector<QGlyphRun> runs;  // the pen at the origin, on the baseline
  QRectF ink;                   // where the runs can put pixels, relative to the same origin
  int ellipsisRoom = -1;        // the last room an end ellipsis cut the text for,
  int ellipsisCut = 0;          // and how many characters it kept
};

// Whether a text draws the same laid out once as drawn directly: no control characters, nothing
// written right to left.
bool ShapeableText(std::string_view utf8);
// Whether a text shows the same read right to left as left to right: it begins with a letter written
// left to right, ends with one or a digit, and holds nothing written right to left (the blanks,
// digits and marks in between then take the letters' direction either way).
bool ReadsAlikeEitherWay(std::string_view utf8);
// Lays a layout's text out on one unwrapped line (invalid when the text is empty); `rightToLeft`
// reads it right to left, the line still beginning at the origin.
QTextLine LayOutOneLine(QTextLayout& layout, bool rightToLeft = false);
// Lays the text out as the toolkit draws it on one line, and notes where its pixels can fall;
// `rightToLeft` reads it right to left (the line still begins at the origin).
void ShapeText(const QFont& font, const QString& text, ShapedText& out, bool rightToLeft = false);
// The characters (code points) of a text in the order they show from the left, read right to left.
std::vector<int> RightToLeftOrder(const QFont& font, const QString& text);
// Draws shaped text with its pen position on the baseline at `origin`, in the painter's pen colour.
void DrawShapedText(QPainter& painter, const ShapedText& text, QPointF origin);

// The shaped texts of one font, the most recently used first, at most `limit` of them.
class ShapedTextCache {
 public:
  static constexpr std::size_t kLimit = 4096;
  // The entry of a text, made (empty) when it was not there; it stays valid until the next Find.
  ShapedText& Find(std::string_view utf8);
  const ShapedText* Peek(std::string_view utf8) const;
  std::size_t Size() const { return order_.size(); }
  void Clear();

 private:
  using Entry = std::pair<std::string, ShapedText>;
  std::list<Entry> order_;
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

// What a font description makes: the toolkit's font, its metrics and glyphs, and the texts shaped
// with it. Every font handle made from the same description shares one face, and the faces used
// last stay a while after their last handle goes, so that a font made again finds its texts.
struct FontFace {
  LOGFONT lf;
  std::uint64_t serial = 0;  // one per face: a painter holding its font knows it by it
  QFont qfont;
  std::unique_ptr<QFontMetrics> metrics;
  int ascent = 0;
  int descent = 0;
  int pixelSize = 11;
  int Advance(const QString& s) const;
  // The font's own glyphs for runs with explicit positions, made on first use; a character the
  // font has no glyph for maps to 0.
  std::unique_ptr<QRawFont> raw;
  std::unordered_map<char32_t, quint32> glyphs;
  quint32 Glyph(char32_t c);
  ShapedTextCache shaped;
  // The text's entry with its width measured (nullptr when it cannot be kept shaped).
  ShapedText* Measured(std::string_view utf8);
  // The text's entry with its runs made, from the second draw of the text on (nullptr the first
  // time, and when it cannot be kept shaped: then it is drawn directly).
  ShapedText* Shaped(std::string_view utf8, bool rightToLeft = false);
  // The text's entry when its runs are made already; nothing changes.
  const ShapedText* ShapedAlready(std::string_view utf8, bool rightToLeft = false) const;
  static bool cacheEnabled;  // off: every text is laid out anew on each draw (tests compare)

  // The face of a description, made when no face of it is alive.
  static std::shared_ptr<FontFace> For(const LOGFONT& lf);

 private:
  void Build();
};

struct FontObj : GdiObj {
  LOGFONT lf;
  std::shared_ptr<FontFace> face;
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
  std::uint64_t painterFont = 0;                // the serial of the font set on the painter (0: not known)
  bool clipIsRect = false;                      // the clip Prepare set is one rectangle, `clipRect` (logical)
  QRect clipRect;
  bool clipBoxKnown =
      false;  // the box around the clip Prepare set is `clipBox` (logical; under a mere shift)
  QRect clipBox;

  QImage& Target();
  void EndPainter();
  QTransform Mapping() const;  // logical to target image coordinates
  QRegion EffectiveClip() const;
  bool Prepare();  // false when nothing can be drawn
  QPen MakePen();
  // The painter ready for text: the text colour as its pen, drawing over (each set only when it
  // differs), and with `font` the toolkit's font too.
  void TextState(FontFace* font = nullptr);
  // Runs `draw` with the painter's clip narrowed to `r` (logical), and puts the clip back.
  template <typename Draw>
  void Clipped(const QRect& r, Draw&& draw) {
    if (clipIsRect) {
      painter.setClipRect(clipRect & r, Qt::ReplaceClip);
      draw();
      painter.setClipRect(clipRect, Qt::ReplaceClip);
      return;
    }
    painter.save();
    painter.setClipRect(r, Qt::IntersectClip);
    draw();
    painter.restore();
    painterFont = 0;
  }
};

// The top-level window a toolkit widget of the backend stands for (nullptr: none), and back.
HWND HostWindowOf(const QObject* object);
QWidget* HostWidgetOf(HWND topLevel);
// Lets the toolkit's accessibility ask our top-level windows for their objects (once).
void InstallAccessibleFactory();
GdiObj* Obj(HGDIOBJ h);
DcObj* Dc(HDC h);
// A line of text on the DC's font read right to left, measured from its left edge: where the caret
// stands at each place (before each character, and after the last) and the columns each character
// covers (`forward`: it runs left to right there).
struct ReadingGeometry {
  int width = 0;  // of the whole line laid out so
  std::vector<int> caretX;
  struct Span {
    int left = 0, right = 0;
    bool forward = true;
  };
  std::vector<Span> spans;
};
ReadingGeometry RightToLeftGeometry(HDC dc, const std::u32string& text);
QColor QCol(COLORREF c);
COLORREF FromQ(QRgb c);
QBrush BrushFor(DcObj* d, HBRUSH h);
QImage& SurfaceImageRef(Surface* s);
void ReleaseImage(const QImage* image);
void EnsureGuiApplication();
std::string MapFontFamilyImpl(const std::string& face);
std::unordered_set<GdiObj*>& LiveObjects();

}  // namespace talvik::gui::detail
