// Text shaped once per font: the glyph runs of a text are laid out the first time it is drawn and
// kept on the font, so that drawing it again costs the glyphs' pixels only.
#include <QTextLayout>
#include <cassert>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/WinManager.h"

namespace talvik::gui::detail {

bool FontObj::cacheEnabled = true;

namespace {

// Code points that lay out differently on their own than inside a paragraph: the bidirectional
// controls and the scripts written right to left.
bool RightToLeftOrBidiControl(char32_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
         (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF) || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

bool ShapeableText(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) return false;
      ++i;
      continue;
    }
    // only the lead bytes of the right-to-left ranges need a closer look
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (i + len > utf8.size()) return true;  // a broken tail shows as a replacement character
    char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (cp < 0xA0 || RightToLeftOrBidiControl(cp)) return false;  // C1 controls too
    i += len;
  }
  return true;
}

void ShapeText(const QFont& font, const QString& text, ShapedText& out) {
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  out.runs.clear();
  out.ink = QRectF();
  if (line.isValid()) {
    // the runs come placed with the line's top at 0: move them onto the baseline
    const qreal ascent = line.ascent();
    for (QGlyphRun run : layout.glyphRuns()) {
      QList<QPointF> positions = run.positions();
      for (QPointF& p : positions) p.ry() -= ascent;
      run.setPositions(positions);
      out.ink |= run.boundingRect();
      if (run.underline() || run.strikeOut() || run.overline())
        out.ink |= QRectF(0, -ascent, line.naturalTextWidth(), line.height());
      out.runs.push_back(std::move(run));
    }
    // hinting and pixel rounding may reach one pixel beyond the outlines
    if (!out.ink.isEmpty()) out.ink.adjust(-1, -1, 1, 1);
  }
  out.shaped = true;
}

void DrawShapedText(QPainter& painter, const ShapedText& text, QPointF origin) {
  assert(text.shaped);
  for (const QGlyphRun& run : text.runs) painter.drawGlyphRun(origin, run);
}

ShapedText& ShapedTextCache::Find(std::string_view utf8) {
  auto it = index_.find(utf8);
  if (it != index_.end()) {
    order_.splice(order_.begin(), order_, it->second);
    return it->second->second;
  }
  if (order_.size() >= kLimit) {
    index_.erase(order_.back().first);
    order_.pop_back();
  }
  order_.emplace_front(std::string(utf8), ShapedText{});
  index_.emplace(order_.front().first, order_.begin());
  assert(order_.size() == index_.size() && order_.size() <= kLimit);
  return order_.front().second;
}

void ShapedTextCache::Clear() {
  index_.clear();
  order_.clear();
}

ShapedText* FontObj::Measured(std::string_view utf8) {
  if (!cacheEnabled || !ShapeableText(utf8)) return nullptr;
  ShapedText& t = shaped.Find(utf8);
  if (t.width < 0) t.width = Advance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
  return &t;
}

ShapedText* FontObj::Shaped(std::string_view utf8) {
  if (!cacheEnabled || !ShapeableText(utf8)) return nullptr;
  ShapedText& t = shaped.Find(utf8);
  if (!t.shaped) ShapeText(qfont, QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), t);
  return &t;
}

void DcObj::TextState(FontObj* font) {
  QColor colour = QCol(st.textColor);
  const QPen& pen = painter.pen();
  if (pen.style() != Qt::SolidLine || pen.brush().style() != Qt::SolidPattern || pen.color() != colour)
    painter.setPen(colour);
  if (painter.compositionMode() != QPainter::CompositionMode_SourceOver)
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (font && painterFont != font->serial) {
    painter.setFont(font->qfont);
    painterFont = font->serial;
  }
}

}  // namespace talvik::gui::detail

namespace talvik::gui {

void SetShapedTextCache(bool enabled) {
  detail::FontObj::cacheEnabled = enabled;
}

std::size_t ShapedTextCount(HFONT font) {
  auto* f = static_cast<detail::FontObj*>(detail::Obj(font));
  return f && f->type == OBJ_FONT ? f->shaped.Size() : 0;
}

}  // namespace talvik::gui
