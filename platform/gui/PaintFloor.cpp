// The floor drawings: plain QPainter calls on an image of the floor's own.
#include "platform/gui/PaintFloor.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>
#include <QTextLayout>
#include <vector>

#include "platform/gui/GraphicsQt.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/QtText.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace talvik::gui {

using namespace detail;

struct TPaintFloor::TImpl {
  QImage image;
  QPainter painter;
  struct Text {
    std::vector<QGlyphRun> runs;  // on the baseline, the pen at 0
    QRectF ink;
    int ascent = 0;
    int width = 0;
  };
  std::vector<Text> texts;
  QColor pen;
  const QFont* font = nullptr;

  void Pen(COLORREF colour) {
    QColor c = QCol(colour);
    if (c != pen) {
      painter.setPen(c);
      pen = c;
    }
  }
  static FontFace* FontOf(HFONT font) {
    auto* f = static_cast<FontObj*>(Obj(font));
    assert(f && f->type == OBJ_FONT);
    return f->face.get();
  }
  int Add(HFONT font, const QString& s) {
    FontFace* f = FontOf(font);
    QTextLayout layout(s, f->qfont);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    Text t;
    t.ascent = f->ascent;
    t.width = f->metrics->horizontalAdvance(s);
    for (QGlyphRun run : layout.glyphRuns()) {
      QList<QPointF> positions = run.positions();
      for (QPointF& p : positions) p.ry() -= line.ascent();
      run.setPositions(positions);
      t.ink |= run.boundingRect();
      t.runs.push_back(run);
    }
    t.ink.adjust(-1, -1, 1, 1);
    texts.push_back(std::move(t));
    return static_cast<int>(texts.size()) - 1;
  }
};

TPaintFloor::TPaintFloor(int width, int height, COLORREF fill) : impl_(std::make_unique<TImpl>()) {
  EnsureGuiApplication();
  impl_->image = QImage(width, height, QImage::Format_RGB32);
  impl_->image.fill(QCol(fill));
  impl_->painter.begin(&impl_->image);
}

TPaintFloor::~TPaintFloor() {
  impl_->painter.end();
}

int TPaintFloor::Prepare(HFONT font, const std::string& text) {
  return impl_->Add(font, ToQString(text));
}

int TPaintFloor::PrepareEllipsised(HFONT font, const std::string& text, int room) {
  const QFontMetrics& m = *TImpl::FontOf(font)->metrics;
  QString s = ToQString(text);
  if (m.horizontalAdvance(s) > room) {
    std::u32string cut = s.toStdU32String();
    while (!cut.empty() && m.horizontalAdvance(QString::fromStdU32String(cut + U"...")) > room)
      cut.pop_back();
    s = QString::fromStdU32String(cut + U"...");
  }
  return impl_->Add(font, s);
}

int TPaintFloor::PreparedWidth(int text) const {
  return impl_->texts[static_cast<std::size_t>(text)].width;
}

void TPaintFloor::Fill(const RECT& r, COLORREF colour) {
  impl_->painter.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), QCol(colour));
}

void TPaintFloor::DrawPrepared(int text, int x, int y, const RECT& clip, COLORREF colour) {
  const TImpl::Text& t = impl_->texts[static_cast<std::size_t>(text)];
  impl_->Pen(colour);
  QPointF origin(x, y + t.ascent);
  QRect c(clip.Left, clip.Top, clip.Width(), clip.Height());
  QPainter& p = impl_->painter;
  bool inside = c.contains(t.ink.translated(origin).toAlignedRect());
  if (!inside) p.setClipRect(c);
  for (const QGlyphRun& run : t.runs) p.drawGlyphRun(origin, run);
  if (!inside) p.setClipping(false);
}

void TPaintFloor::DrawNow(HFONT font, const std::string& text, int x, int y, COLORREF colour) {
  FontFace* f = TImpl::FontOf(font);
  impl_->Pen(colour);
  if (impl_->font != &f->qfont) {
    impl_->painter.setFont(f->qfont);
    impl_->font = &f->qfont;
  }
  impl_->painter.drawText(QPoint(x, y + f->ascent), ToQString(text));
}

void TPaintFloor::Capture(HWND topLevel) {
  Surface* s = SurfaceOf(topLevel);
  if (!s) return;
  ReleaseImage(&SurfaceImage(s));
  impl_->painter.end();
  impl_->image = SurfaceImage(s).copy();
  impl_->painter.begin(&impl_->image);
  impl_->pen = QColor();
  impl_->font = nullptr;
}

void TPaintFloor::PaintInto(HWND topLevel) {
  Surface* s = SurfaceOf(topLevel);
  if (!s) return;
  QImage& target = SurfaceImageRef(s);
  ReleaseImage(&target);
  QPainter p(&target);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(0, 0, impl_->image);
}

long TPaintFloor::DifferingPixels(HWND topLevel, const RECT& area, POINT at) {
  Surface* s = SurfaceOf(topLevel);
  if (!s) return area.Width() * area.Height();
  const QImage& window = SurfaceImage(s);
  long differing = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) {
      QPoint w(x - area.Left + at.X, y - area.Top + at.Y);
      if (!window.rect().contains(w) || !impl_->image.rect().contains(x, y) ||
          (window.pixel(w) & 0xFFFFFF) != (impl_->image.pixel(x, y) & 0xFFFFFF))
        ++differing;
    }
  return differing;
}

bool TPaintFloor::SavePng(const std::string& path) {
  return detail::SaveImageWhole(impl_->image, path);
}

}  // namespace talvik::gui
