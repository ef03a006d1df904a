// Text shaped once per font: the glyph runs of a text are laid out the first time it is drawn and
// kept on the font, so that drawing it again costs the glyphs' pixels only.
#include <QTextLayout>
#include <algorithm>
#include <cassert>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/QtText.h"
#include "platform/gui/WinManager.h"

namespace talvik::gui::detail {

bool FontFace::cacheEnabled = true;

namespace {

// Code points that lay out differently on their own than inside a paragraph: the bidirectional
// controls and the scripts written right to left.
bool RightToLeftOrBidiControl(char32_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF) ||
         (c >= 0x10800 && c <= 0x10FFF) || (c >= 0x1E800 && c <= 0x1EFFF) || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Texts read right to left are kept apart from the same texts read left to right: their keys start
// with a character no shapeable text holds.
constexpr char kRightToLeftKey = '\x01';

std::string RightToLeftKey(std::string_view utf8) {
  std::string key(1, kRightToLeftKey);
  key.append(utf8);
  return key;
}

}  // namespace

bool ReadsAlikeEitherWay(std::string_view utf8) {
  if (utf8.empty()) return true;
  // the code points one by one, without a copy: this runs for every text drawn right to left
  auto next = [&](std::size_t& i) {
    const auto lead = static_cast<unsigned char>(utf8[i++]);
    const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t c = more == 0 ? lead : lead & (0x3Fu >> more);
    for (int k = 0; k < more && i < utf8.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i++]) & 0x3F);
    return c;
  };
  auto direction = [](char32_t c) { return QChar::direction(c); };
  std::size_t i = 0;
  const char32_t first = next(i);
  char32_t last = first;
  for (i = 0; i < utf8.size();) {
    last = next(i);
    switch (direction(last)) {
      case QChar::DirR:
      case QChar::DirAL:
      case QChar::DirAN:
      case QChar::DirRLE:
      case QChar::DirRLO:
      case QChar::DirLRE:
      case QChar::DirLRO:
      case QChar::DirPDF:
      case QChar::DirRLI:
      case QChar::DirLRI:
      case QChar::DirFSI:
      case QChar::DirPDI:
        return false;
      default:
        break;
    }
  }
  const QChar::Direction end = direction(last);
  return direction(first) == QChar::DirL && (end == QChar::DirL || end == QChar::DirEN);
}

std::vector<int> RightToLeftOrder(const QFont& font, const QString& text) {
  QTextLayout layout(text, font);
  const QTextLine line = LayOutOneLine(layout, true);
  // each character spans from its leading to its trailing edge, whichever way it runs
  std::vector<std::pair<qreal, int>> lefts;
  int k = 0;
  for (qsizetype i = 0; i < text.size(); ++k) {
    qreal left = 0;
    if (line.isValid()) {
      const int at = static_cast<int>(i);
      left = std::min(line.cursorToX(at, QTextLine::Leading), line.cursorToX(at, QTextLine::Trailing));
    }
    lefts.emplace_back(left, k);
    i += text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
  }
  std::stable_sort(lefts.begin(), lefts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<int> order;
  order.reserve(lefts.size());
  for (const auto& [left, index] : lefts) order.push_back(index);
  return order;
}

bool ShapeableText(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) return false;
      ++i;
      continue;
    }
    // well-formed sequences only: a broken one shows as a replacement character, laid out apart
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0 || c > 0xF4 || i + len > utf8.size()) return false;
    char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (int k = 1; k < len; ++k) {
      auto cont = static_cast<unsigned char>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cont & 0x3F);
    }
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp < 0xA0 || RightToLeftOrBidiControl(cp)) return false;  // C1 controls too
    i += len;
  }
  return true;
}

QTextLine LayOutOneLine(QTextLayout& layout, bool rightToLeft) {
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  if (rightToLeft) {
    option.setTextDirection(Qt::RightToLeft);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
  }
  layout.setTextOption(option);
  layout.beginLayout();
  QTextLine line = layout.createLine();
  layout.endLayout();
  return line;
}

void ShapeText(const QFont& font, const QString& text, ShapedText& out, bool rightToLeft) {
  QTextLayout layout(text, font);
  const QTextLine line = LayOutOneLine(layout, rightToLeft);
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

const ShapedText* ShapedTextCache::Peek(std::string_view utf8) const {
  auto it = index_.find(utf8);
  return it == index_.end() ? nullptr : &it->second->second;
}

void ShapedTextCache::Clear() {
  index_.clear();
  order_.clear();
}

ShapedText* FontFace::Measured(std::string_view utf8) {
  if (!cacheEnabled || !ShapeableText(utf8)) return nullptr;
  ShapedText& t = shaped.Find(utf8);
  if (t.width < 0) t.width = Advance(ToQString(utf8));
  return &t;
}

ShapedText* FontFace::Shaped(std::string_view utf8, bool rightToLeft) {
  if (!cacheEnabled || !ShapeableText(utf8)) return nullptr;
  ShapedText& t = rightToLeft ? shaped.Find(RightToLeftKey(utf8)) : shaped.Find(utf8);
  if (!t.shaped) {
    // laying a text out for keeps costs more than drawing it once: only texts drawn again are kept
    if (!t.drawn) {
      t.drawn = true;
      return nullptr;
    }
    ShapeText(qfont, ToQString(utf8), t, rightToLeft);
  }
  return &t;
}

const ShapedText* FontFace::ShapedAlready(std::string_view utf8, bool rightToLeft) const {
  if (!cacheEnabled) return nullptr;
  const ShapedText* t = rightToLeft ? shaped.Peek(RightToLeftKey(utf8)) : shaped.Peek(utf8);
  return t && t->shaped ? t : nullptr;
}

void DcObj::TextState(FontFace* font) {
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
  detail::FontFace::cacheEnabled = enabled;
}

std::size_t ShapedTextCount(HFONT font) {
  auto* f = static_cast<detail::FontObj*>(detail::Obj(font));
  return f && f->type == OBJ_FONT ? f->face->shaped.Size() : 0;
}

}  // namespace talvik::gui
