// The desktop's notification area through the toolkit's tray icons.
#include <QApplication>
#include <QCursor>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/gui/Graphics.h"
#include "platform/gui/GuiPrivate.h"
#include "platform/gui/QtText.h"
#include "platform/gui/ShellAPI.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace talvik::gui {

namespace {

// What a toolkit activation means in the shell's mouse messages.
struct Press {
  QSystemTrayIcon::ActivationReason reason;
  UINT first, second;
};
constexpr Press kPresses[] = {
    {QSystemTrayIcon::Trigger, WM_LBUTTONDOWN, WM_LBUTTONUP},
    {QSystemTrayIcon::DoubleClick, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
    {QSystemTrayIcon::Context, WM_RBUTTONDOWN, WM_RBUTTONUP},
    {QSystemTrayIcon::MiddleClick, WM_MBUTTONDOWN, WM_MBUTTONUP},
};

QIcon ProgramIcon() {
  QIcon icon = QApplication::windowIcon();
  if (!icon.isNull()) return icon;
  QPixmap p(16, 16);
  p.fill(Qt::transparent);
  QPainter g(&p);
  g.fillRect(1, 2, 14, 10, QColor(0, 0, 128));
  g.fillRect(3, 4, 10, 6, QColor(0, 128, 128));
  g.fillRect(5, 12, 6, 2, QColor(128, 128, 128));
  return QIcon(p);
}

// The icon's own picture (its clear colour left out), else the program's.
QIcon IconOf(HICON handle) {
  auto* icon = reinterpret_cast<TIcon*>(handle);
  if (!icon || icon->Empty()) return ProgramIcon();
  TBitmap* bitmap = icon->Bitmap();
  const int w = icon->Width(), h = icon->Height();
  const TColor clear =
      icon->TransparentColor() == clDefault ? bitmap->Canvas()->Pixels(0, h - 1) : icon->TransparentColor();
  QImage image(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const COLORREF c = ColorToRGB(bitmap->Canvas()->Pixels(x, y));
      image.setPixel(
          x, y, c == ColorToRGB(clear) ? qRgba(0, 0, 0, 0) : qRgb(GetRValue(c), GetGValue(c), GetBValue(c)));
    }
  return QIcon(QPixmap::fromImage(image));
}

class QtTrayShell : public TrayShell {
 public:
  QtTrayShell() {
    watch_ = std::make_unique<QTimer>();
    was_ = Available();
    QObject::connect(watch_.get(), &QTimer::timeout, [this] {
      bool now = Available();
      if (now && !was_) {
        icons_.clear();
        TrayRestarted();
      } else if (!now && was_) {
        TrayGone();
      }
      was_ = now;
    });
    watch_->start(2000);
  }
  bool Available() override {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) &&
           QSystemTrayIcon::isSystemTrayAvailable();
  }
  void Show(const TrayIcon& icon) override {
    auto& q = icons_[{icon.window, icon.id}];
    if (!q) {
      q = std::make_unique<QSystemTrayIcon>();
      HWND window = icon.window;
      UINT id = icon.id;
      QObject::connect(q.get(), &QSystemTrayIcon::activated,
                       [window, id](QSystemTrayIcon::ActivationReason r) {
                         // the desktop's pointer is on the icon now (a menu opens there)
                         const QPoint at = QCursor::pos();
                         SetCursorPos(at.x(), at.y());
                         for (const Press& p : kPresses)
                           if (p.reason == r) {
                             TrayIconInput(window, id, p.first);
                             TrayIconInput(window, id, p.second);
                           }
                       });
    }
    q->setIcon(IconOf(icon.icon));
    q->setToolTip(ToQString(icon.tip));
    q->show();
  }
  void Remove(HWND window, UINT id) override { icons_.erase({window, id}); }

 private:
  std::map<std::pair<HWND, UINT>, std::unique_ptr<QSystemTrayIcon>> icons_;
  std::unique_ptr<QTimer> watch_;
  bool was_ = false;
};

}  // namespace

TrayShell* DesktopTrayShell() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || detail::DisplayLost()) return nullptr;
  static QtTrayShell* shell = new QtTrayShell();  // lives as long as the program
  return shell;
}

}  // namespace talvik::gui
