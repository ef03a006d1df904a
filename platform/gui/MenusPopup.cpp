// Popup menus: the menu windows, their painting in the classic look, and the modal menu loop that
// holds the pointer and the keyboard while a menu is open.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <list>
#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr int kFrame = 3;  // raised edge and one pixel of room
constexpr int kSeparatorHeight = 9;
constexpr int kMinItemHeight = 19;
constexpr int kGutterRoom = 3;      // on each side of an image in the left gutter
constexpr int kCheckSize = 16;      // the gutter is at least this wide without images
constexpr int kTextRoom = 6;        // between the gutter and the caption
constexpr int kShortCutGap = 24;    // between the caption and the shortcut
constexpr int kArrowWidth = 14;     // the submenu arrow's column
constexpr int kSubmenuOverlap = 3;  // a submenu covers its parent's frame
constexpr WPARAM MSGF_MENU = 2;

bool Selectable(TMenuItem* item) {
  return item && item->Visible() && !item->IsLine();
}

// The pictures of the menu windows painted last, each under the description of everything its paint
// depends on (see TMenuWindow::PictureKey): a menu opened again unchanged puts its picture into place
// with one copy instead of painting every item again. A picture is taken at the second paint of the
// same description: taking it costs about as much as a paint, and a menu that changes before every
// opening would pay it for nothing.
class TMenuPictures {
 public:
  static constexpr std::size_t kLimit = 4;
  static constexpr long kLargest = 2L * 1024 * 1024;  // pixels of the largest picture kept (8 MB)

  bool enabled = true;
  std::size_t shown = 0;  // pictures put into place since the last SetMenuPictures

  TBitmap* Find(const std::string& key) {
    for (auto it = kept_.begin(); it != kept_.end(); ++it)
      if (it->first == key) {
        kept_.splice(kept_.begin(), kept_, it);
        return kept_.front().second.get();
      }
    return nullptr;
  }
  // Whether a window painted under `key` is to be kept: it was painted so before.
  bool PaintedBefore(const std::string& key) {
    auto it = std::find(painted_.begin(), painted_.end(), key);
    if (it != painted_.end()) {
      painted_.erase(it);
      return true;
    }
    painted_.push_front(key);
    if (painted_.size() > kLimit) painted_.pop_back();
    return false;
  }
  void Keep(std::string key, std::unique_ptr<TBitmap> picture) {
    kept_.emplace_front(std::move(key), std::move(picture));
    if (kept_.size() > kLimit) kept_.pop_back();
  }
  void Clear() {
    kept_.clear();
    painted_.clear();
  }

 private:
  std::list<std::pair<std::string, std::unique_ptr<TBitmap>>> kept_;
  std::list<std::string> painted_;  // descriptions painted once, not kept yet
};

TMenuPictures& Pictures() {
  static auto* pictures = new TMenuPictures;  // lives to the end of the process, as its bitmaps may
  return *pictures;
}

// Writes values' bytes one after another into a key sized for them beforehand.
struct TKeyWriter {
  char* at;
  template <typename T>
  void Put(const T& value) {
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
  }
  void Put(const std::string& text) {
    Put(text.size());
    std::memcpy(at, text.data(), text.size());
    at += text.size();
  }
};

class TMenuWindow : public TCustomControl {
 public:
  // The items are held by weak references: a timer or a posted message that runs while the menu is
  // open may rebuild them (a refresh), and the window then rebuilds itself (Prune).
  TMenuWindow(TMenu* menu, TMenuItem* parentItem, int maxHeight)
      : TCustomControl(nullptr), menu_(menu), parent_(parentItem), maxHeight_(maxHeight) {
    controlStyle_.Include(csOpaque);  // the paint covers every pixel
    SetColor(clMenu);
    Collect();
    Measure();
  }

  TMenuItem* ParentItem() const { return parent_.Get(); }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  // nullptr for an item freed since the window was built, until the next Prune.
  TMenuItem* Item(int i) const {
    assert(i >= 0 && i < ItemCount() && "a popup menu item index out of range");
    return items_[static_cast<std::size_t>(i)].Get();
  }
  // Rebuilds the window from its parent item's items when one of those it shows was freed. False
  // when the parent item itself is gone: the window has nothing left to show.
  bool Prune() {
    if (!parent_) return false;
    if (std::all_of(items_.begin(), items_.end(), [](const auto& item) { return item.Get() != nullptr; }))
      return true;
    Collect();
    selected_ = -1;
    Measure();
    if (HandleAllocated())
      SetWindowPos(Handle(), nullptr, 0, 0, size_.cx, size_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
    return true;
  }
  int Selected() const { return selected_; }
  void Select(int i) {
    if (i == selected_) return;
    selected_ = i;
    Invalidate();
  }
  TMenuItem* SelectedItem() const {
    return selected_ >= 0 && selected_ < ItemCount() ? Item(selected_) : nullptr;
  }
  TSize Size() const { return size_; }

  // The item at a screen point, -1 on the frame or a separator, -2 outside the window.
  int ItemAtScreen(TPoint p) {
    RECT r;
    GetWindowRect(Handle(), r);
    if (!PtInRect(r, p)) return -2;
    TPoint c{p.X - r.Left, p.Y - r.Top};
    for (int i = 0; i < ItemCount(); ++i)
      if (PtInRect(rects_[static_cast<std::size_t>(i)], c)) return Selectable(Item(i)) ? i : -1;
    return -1;
  }
  TRect ItemScreenRect(int i) {
    RECT r;
    GetWindowRect(Handle(), r);
    TRect ir = rects_[static_cast<std::size_t>(i)];
    OffsetRect(ir, r.Left, r.Top);
    return ir;
  }
  // The next selectable item from `from` in direction `step` (wrapping), -1 when none.
  int Next(int from, int step) const {
    int n = ItemCount();
    for (int k = 1; k <= n; ++k) {
      int i = ((from + step * k) % n + n) % n;
      if (from < 0 && step < 0 && k == 1) i = n - 1;
      if (Selectable(Item(i))) return i;
    }
    return -1;
  }

  void ShowAt(int x, int y) {
    HandleNeeded();
    SetBounds(x, y, size_.cx, size_.cy);
    SetWindowPos(Handle(), HWND_TOPMOST, x, y, size_.cx, size_.cy, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    visible_ = true;
    Invalidate();
  }

 protected:
  void CreateParams(TCreateParams& Params) override {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    Params.WindowClass.style |= CS_SAVEBITS;
    Params.WndParent = nullptr;
  }

  void Paint() override {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    // (only the window as it opens, with no item selected, is kept: it is what a menu opened again shows)
    const std::string key = Pictures().enabled && selected_ < 0 ? PictureKey(r) : std::string();
    if (!key.empty())
      if (TBitmap* picture = Pictures().Find(key)) {
        ++Pictures().shown;
        BitBlt(c->Handle(), 0, 0, r.Width(), r.Height(), picture->Canvas()->Handle(), 0, 0, SRCCOPY);
        return;
      }
    c->Brush()->SetColor(clMenu);
    c->FillRect(r);
    DrawEdge(c->Handle(), r, EDGE_RAISED, BF_RECT);
    c->Font()->Assign(Font());
    for (int i = 0; i < ItemCount(); ++i) PaintItem(c, i);
    // a paint of the whole window is kept for the next one that would paint the same
    RECT painted{};
    if (key.empty() || GetClipBox(c->Handle(), painted) != SIMPLEREGION || !(painted == r) ||
        static_cast<long>(r.Width()) * r.Height() > TMenuPictures::kLargest || !Keepable() ||
        !Pictures().PaintedBefore(key))
      return;
    auto picture = std::make_unique<TBitmap>();
    picture->SetSize(r.Width(), r.Height());
    BitBlt(picture->Canvas()->Handle(), 0, 0, r.Width(), r.Height(), c->Handle(), 0, 0, SRCCOPY);
    Pictures().Keep(key, std::move(picture));
  }

 private:
  void Collect() {
    items_.clear();
    TMenuItem* parent = parent_.Get();
    if (!parent) return;
    std::vector<TComponentRef<TMenuItem>> all;
    for (int i = 0; i < parent->Count(); ++i) all.emplace_back(parent->Items(i));
    // an action's update may change (or free) items: each is asked only while it lives
    for (auto& item : all)
      if (item) item->InitiateAction();
    for (auto& item : all)
      if (item && item->Visible()) items_.push_back(std::move(item));
  }

  TCustomImageList* Images() const { return menu_ ? menu_->Images() : nullptr; }
  bool HasImage(TMenuItem* item) const {
    TCustomImageList* images = Images();
    return (images && item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) || item->HasBitmap();
  }

  void Measure() {
    TBitmap scratch;
    scratch.SetSize(1, 1);
    TCanvas* c = scratch.Canvas();
    c->Font()->Assign(Font());
    int textHeight = c->TextHeight("Wg");
    int imageWidth = Images() ? Images()->Width() : kCheckSize;
    int imageHeight = Images() ? Images()->Height() : kCheckSize;
    for (TMenuItem* item : Live())
      if (item->HasBitmap()) {
        imageWidth = std::max(imageWidth, item->Bitmap()->Width());
        imageHeight = std::max(imageHeight, item->Bitmap()->Height());
      }
    gutter_ = std::max(kCheckSize, imageWidth) + 2 * kGutterRoom;
    itemHeight_ = std::max({kMinItemHeight, textHeight + 6, imageHeight + 3});
    int captionWidth = 0, shortCutWidth = 0;
    bool arrows = false;
    for (TMenuItem* item : Live()) {
      if (item->IsLine()) continue;
      c->Font()->SetStyle(item->Default() ? TFontStyles{fsBold} : TFontStyles{});
      captionWidth = std::max(captionWidth, c->TextWidth(StripHotkey(item->Caption())));
      if (item->ShortCut())
        shortCutWidth = std::max(shortCutWidth, c->TextWidth(ShortCutToText(item->ShortCut())));
      if (item->Count() > 0) arrows = true;
    }
    rightRoom_ = arrows || shortCutWidth ? kArrowWidth : kTextRoom;
    int width = kFrame + gutter_ + kTextRoom + captionWidth +
                (shortCutWidth ? kShortCutGap + shortCutWidth : 0) + rightRoom_ + kFrame;
    // Items that do not fit the work area's height go on in further columns.
    int columnWidth = std::max(width, 2 * kFrame + gutter_ + 40) - 2 * kFrame;
    int x = kFrame, y = kFrame, bottom = kFrame;
    rects_.clear();
    for (const auto& ref : items_) {
      TMenuItem* item = ref.Get();
      int h = item && item->IsLine() ? kSeparatorHeight : itemHeight_;
      if (y > kFrame && y + h + kFrame > maxHeight_) {
        x += columnWidth;
        y = kFrame;
      }
      rects_.push_back(Rect(x, y, x + columnWidth, y + h));
      y += h;
      bottom = std::max(bottom, y);
    }
    size_ = {x + columnWidth + kFrame, bottom + kFrame};
  }

  // Everything the paint of the window depends on: its items' looks (by TMenuItem::ChangeCount), its
  // size, selection and layout, the system colours and its font. "" when that is not known from
  // the outside: images, whose pixels may change under the same index.
  std::string PictureKey(const TRect& r) const {
    if (Images()) return {};
    static constexpr int kColors[] = {
        COLOR_MENU,    COLOR_MENUTEXT,     COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT,
        COLOR_BTNFACE, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_3DLIGHT,       COLOR_3DDKSHADOW};
    TFont* font = const_cast<TMenuWindow*>(this)->Font();
    std::string key(sizeof(TMenuItem*) + sizeof(std::uint64_t) + 7 * sizeof(int) +
                        std::size(kColors) * sizeof(COLORREF) + sizeof(std::size_t) + font->Name().size() +
                        sizeof(int) + sizeof(TFontStyles) + sizeof(TColor) + sizeof(TFontCharset) +
                        sizeof(TFontPitch) + sizeof(int),
                    '\0');
    TKeyWriter w{key.data()};
    w.Put(parent_.Get());
    w.Put(TMenuItem::ChangeCount());
    w.Put(r.Width());
    w.Put(r.Height());
    w.Put(selected_);
    w.Put(maxHeight_);
    w.Put(gutter_);
    w.Put(itemHeight_);
    w.Put(rightRoom_);
    for (int index : kColors) w.Put(GetSysColor(index));
    w.Put(font->Name());
    w.Put(font->Height());
    w.Put(font->Style());
    w.Put(font->Color());
    w.Put(font->Charset());
    w.Put(font->Pitch());
    w.Put(font->Orientation());
    assert(w.at == key.data() + key.size() && "a menu picture's key sized wrongly");
    return key;
  }
  // Whether a picture of the window may be kept: its items have no pictures of their own, whose
  // pixels may change unseen.
  bool Keepable() const {
    return std::none_of(items_.begin(), items_.end(),
                        [](const auto& item) { return item && item->HasBitmap(); });
  }

  std::vector<TMenuItem*> Live() const {
    std::vector<TMenuItem*> out;
    for (const auto& item : items_)
      if (item) out.push_back(item.Get());
    return out;
  }

  void PaintItem(TCanvas* c, int i) {
    TMenuItem* item = Item(i);
    if (!item) return;  // freed: the next Prune rebuilds the window
    TRect ir = rects_[static_cast<std::size_t>(i)];
    if (item->IsLine()) {
      TRect line =
          Rect(ir.Left + 1, ir.Top + ir.Height() / 2 - 1, ir.Right - 1, ir.Top + ir.Height() / 2 + 1);
      DrawEdge(c->Handle(), line, EDGE_ETCHED, BF_TOP);
      return;
    }
    bool selected = i == selected_;
    TColor back = selected ? clHighlight : clMenu;
    TColor fore = selected ? clHighlightText : clMenuText;
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(back);
    if (selected) c->FillRect(ir);  // (the window's own fill is the others' background)

    // the gutter: the image (framed when checked) or the check mark
    TRect gutter = Rect(ir.Left, ir.Top, ir.Left + gutter_, ir.Bottom);
    if (HasImage(item)) {
      int w = Images() && !item->HasBitmap() ? Images()->Width() : item->Bitmap()->Width();
      int h = Images() && !item->HasBitmap() ? Images()->Height() : item->Bitmap()->Height();
      int x = gutter.Left + (gutter.Width() - w) / 2, y = gutter.Top + (gutter.Height() - h) / 2;
      if (item->Checked()) {
        TRect box = Rect(x - 2, y - 2, x + w + 2, y + h + 2);
        c->Brush()->SetColor(selected ? clMenu : clBtnHighlight);
        c->FillRect(box);
        DrawEdge(c->Handle(), box, BDR_SUNKENOUTER, BF_RECT);
      }
      if (item->HasBitmap())
        c->Draw(x, y, item->Bitmap());
      else
        Images()->Draw(c, x, y, item->ImageIndex(), item->Enabled());
    } else if (item->Checked()) {
      PaintCheck(c, gutter, item->RadioItem(), item->Enabled() ? fore : clGrayText);
    }

    // caption, shortcut and the submenu arrow (the canvas has the window's font: only the style varies)
    c->Font()->SetStyle(item->Default() ? TFontStyles{fsBold} : TFontStyles{});
    c->Brush()->SetStyle(bsClear);
    TRect text = Rect(ir.Left + gutter_ + kTextRoom, ir.Top, ir.Right - rightRoom_, ir.Bottom);
    std::string shortCut = item->ShortCut() ? ShortCutToText(item->ShortCut()) : std::string();
    auto draw = [&](TColor color, int dx) {
      c->Font()->SetColor(color);
      TRect t = text;
      OffsetRect(t, dx, dx);
      std::string s = item->Caption();
      c->TextRect(t, s, {tfSingleLine, tfVerticalCenter, tfLeft});
      if (!shortCut.empty()) {
        t = text;
        OffsetRect(t, dx, dx);
        std::string sc = shortCut;
        c->TextRect(t, sc, {tfSingleLine, tfVerticalCenter, tfRight, tfNoPrefix});
      }
    };
    if (item->Enabled()) {
      draw(fore, 0);
    } else if (selected) {
      draw(clGrayText, 0);
    } else {
      draw(clBtnHighlight, 1);  // the embossed look of a disabled item
      draw(clBtnShadow, 0);
    }
    if (item->Count() > 0) {
      int cx = ir.Right - kArrowWidth / 2 - 2, cy = ir.Top + ir.Height() / 2;
      TColor arrow = item->Enabled() ? fore : clGrayText;
      c->Pen()->SetColor(arrow);
      c->Brush()->SetStyle(bsSolid);
      c->Brush()->SetColor(arrow);
      c->Polygon({{cx - 2, cy - 4}, {cx + 2, cy}, {cx - 2, cy + 4}});
    }
    c->Brush()->SetStyle(bsSolid);
  }

  static void PaintCheck(TCanvas* c, const TRect& box, bool radio, TColor color) {
    int cx = box.Left + box.Width() / 2, cy = box.Top + box.Height() / 2;
    c->Pen()->SetColor(color);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color);
    if (radio) {
      c->Ellipse(cx - 3, cy - 3, cx + 3, cy + 3);
      return;
    }
    // a classic 7x7 tick, three pixels thick: a column of three pixels at each of its seven places
    constexpr int kTickTop[7] = {-1, 0, 1, 0, -1, -2, -3};
    for (int k = 0; k < 7; ++k) {
      const int x = cx - 3 + k, y = cy + kTickTop[k];
      c->FillRect(Rect(x, y, x + 1, y + 3));
    }
  }

  TComponentRef<TMenu> menu_;
  TComponentRef<TMenuItem> parent_;
  std::vector<TComponentRef<TMenuItem>> items_;
  std::vector<TRect> rects_;
  TSize size_;
  int gutter_ = 0, itemHeight_ = 0, rightRoom_ = 0;
  int selected_ = -1;
  int maxHeight_;
};

// One open popup menu: its windows (the root first, then each open submenu), what was chosen, and
// the loop that feeds them input. It stands as a modal loop of the program while it lives: what the
// menu offers was for the screen the user saw when opening it.
class TMenuLoop {
 public:
  TMenuLoop(TMenu* menu) : menu_(menu) {}
  ~TMenuLoop() {
    if (!levels_.empty() && GetCapture() == levels_.front()->Handle()) ReleaseCapture();
    levels_.clear();
  }

  std::vector<HWND> Windows() {
    std::vector<HWND> out;
    for (auto& w : levels_) out.push_back(w->Handle());
    return out;
  }

  TMenuItem* Run(int x, int y, TPopupAlignment alignment) {
    auto root = std::make_unique<TMenuWindow>(menu_.Get(), menu_->Items(), WorkArea({x, y}).Height());
    if (root->ItemCount() == 0) return nullptr;
    TSize s = root->Size();
    if (alignment == paRight) x -= s.cx;
    if (alignment == paCenter) x -= s.cx / 2;
    TRect work = WorkArea({x, y});
    if (x + s.cx > work.Right) x = work.Right - s.cx;
    if (x < work.Left) x = work.Left;
    if (y + s.cy > work.Bottom) y = std::max(work.Top, y - s.cy);
    root->ShowAt(x, y);
    levels_.push_back(std::move(root));
    SetCapture(levels_.front()->Handle());

    while (!done_) {
      MSG msg;
      if (!PeekMessage(msg, nullptr, 0, 0, PM_REMOVE)) {
        // the owner may look at the open menu (and tests drive it from here)
        if (Application)
          SendMessage(Application->Handle(), WM_ENTERIDLE, MSGF_MENU,
                      reinterpret_cast<LPARAM>(levels_.front()->Handle()));
        if (done_ || !Prune()) break;
        if (!PeekMessage(msg, nullptr, 0, 0, PM_NOREMOVE)) WaitMessage();
        continue;
      }
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop ends too
        break;
      }
      if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        TranslateMessage(msg);  // the characters of accelerators
        Key(msg);
        continue;
      }
      if ((msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) ||
          (msg.message >= WM_NCMOUSEMOVE && msg.message <= WM_NCMBUTTONDBLCLK)) {
        Mouse(msg);
        continue;
      }
      TranslateMessage(msg);
      DispatchMessage(msg);
      if (!Prune()) break;
      // someone else took the pointer: the menu gives up
      if (!done_ && GetCapture() != levels_.front()->Handle()) break;
    }
    return chosen_.Get();
  }

 private:
  static TRect WorkArea(TPoint p) {
    MONITORINFO mi;
    if (GetMonitorInfo(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST), mi)) return mi.rcWork;
    return Screen ? Screen->WorkAreaRect() : Rect(0, 0, 1024, 768);
  }

  TMenuWindow* Top() { return levels_.back().get(); }

  // Brings the open windows in line with items freed meanwhile: a window whose items went is rebuilt,
  // one whose parent item went closes with those above it. False when nothing is left to show.
  bool Prune() {
    if (!menu_) return false;
    for (std::size_t l = 0; l < levels_.size(); ++l) {
      if (levels_[l]->Prune()) continue;
      if (l == 0) return false;
      CloseAbove(l - 1);
      break;
    }
    return true;
  }

  void CloseAbove(std::size_t level) {
    while (levels_.size() > level + 1) levels_.pop_back();
  }

  // Opens the submenu of the selected item of `level`; with `selectFirst` its first item is selected.
  void OpenSubmenu(std::size_t level, bool selectFirst) {
    TMenuWindow* w = levels_[level].get();
    TMenuItem* item = w->SelectedItem();
    if (!item || item->Count() == 0 || !item->Enabled()) return;
    if (levels_.size() > level + 1 && levels_[level + 1]->ParentItem() == item) {
      if (selectFirst && levels_[level + 1]->Selected() < 0)
        levels_[level + 1]->Select(levels_[level + 1]->Next(-1, 1));
      return;
    }
    CloseAbove(level);
    auto sub = std::make_unique<TMenuWindow>(menu_.Get(), item,
                                             WorkArea(w->ItemScreenRect(w->Selected()).TopLeft()).Height());
    if (sub->ItemCount() == 0) return;
    TRect at = w->ItemScreenRect(w->Selected());
    RECT parent;
    GetWindowRect(w->Handle(), parent);
    TSize s = sub->Size();
    int x = parent.Right - kSubmenuOverlap, y = at.Top - kFrame;
    TRect work = WorkArea({x, y});
    if (x + s.cx > work.Right) x = std::max(work.Left, parent.Left - s.cx + kSubmenuOverlap);
    if (y + s.cy > work.Bottom) y = std::max(work.Top, work.Bottom - s.cy);
    sub->ShowAt(x, y);
    if (selectFirst) sub->Select(sub->Next(-1, 1));
    levels_.push_back(std::move(sub));
  }

  void Choose(TMenuItem* item) {
    if (!item || item->IsLine()) return;
    if (item->Count() > 0) return;
    if (!item->Enabled()) return;
    chosen_ = item;
    done_ = true;
  }

  void Key(const MSG& msg) {
    TMenuWindow* w = Top();
    std::size_t level = levels_.size() - 1;
    if (msg.message == WM_CHAR) {
      const auto ch = static_cast<char32_t>(msg.wParam);
      for (int i = 0; i < w->ItemCount(); ++i) {
        TMenuItem* item = w->Item(i);
        if (Selectable(item) && IsAccel(ch, item->Caption())) {
          w->Select(i);
          if (item->Count() > 0)
            OpenSubmenu(level, true);
          else
            Choose(item);
          return;
        }
      }
      return;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return;
    switch (msg.wParam) {
      case VK_DOWN:
      case VK_UP:
        w->Select(w->Next(w->Selected(), msg.wParam == VK_DOWN ? 1 : -1));
        CloseAbove(level);
        break;
      case VK_HOME:
        w->Select(w->Next(-1, 1));
        break;
      case VK_END:
        w->Select(w->Next(0, -1));
        break;
      case VK_RIGHT:
        OpenSubmenu(level, true);
        break;
      case VK_LEFT:
        if (level > 0) CloseAbove(level - 1);
        break;
      case VK_ESCAPE:
        if (level > 0)
          CloseAbove(level - 1);
        else
          done_ = true;
        break;
      case VK_RETURN:
        if (TMenuItem* item = w->SelectedItem()) {
          if (item->Count() > 0)
            OpenSubmenu(level, true);
          else
            Choose(item);
        }
        break;
      case VK_MENU:
      case VK_F10:
        done_ = true;
        break;
      default:
        break;
    }
  }

  void Mouse(const MSG& msg) {
    POINT p{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
    bool client = msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST;
    if (client && msg.hwnd) ClientToScreen(msg.hwnd, p);
    // the deepest menu window under the point
    int level = -1, index = -2;
    for (int l = static_cast<int>(levels_.size()) - 1; l >= 0 && level < 0; --l) {
      int i = levels_[static_cast<std::size_t>(l)]->ItemAtScreen(p);
      if (i != -2) {
        level = l;
        index = i;
      }
    }
    UINT m = msg.message;
    bool down = m == WM_LBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_LBUTTONDBLCLK ||
                m == WM_RBUTTONDBLCLK || m == WM_NCLBUTTONDOWN || m == WM_NCRBUTTONDOWN ||
                m == WM_NCMBUTTONDOWN;
    bool up = m == WM_LBUTTONUP || m == WM_RBUTTONUP;
    if (level < 0) {
      if (down) done_ = true;  // a click outside only closes the menu
      return;
    }
    auto l = static_cast<std::size_t>(level);
    TMenuWindow* w = levels_[l].get();
    if (m == WM_MOUSEMOVE || down) {
      if (index >= 0) {
        if (w->Selected() != index) CloseAbove(l);
        w->Select(index);
        if (w->Item(index)->Count() > 0) OpenSubmenu(l, false);
      }
      return;
    }
    if (up && index >= 0) {
      w->Select(index);
      TMenuItem* item = w->Item(index);
      if (item->Count() > 0)
        OpenSubmenu(l, false);
      else
        Choose(item);
    }
  }

  const TModalLoopStanding standing_;
  TComponentRef<TMenu> menu_;
  std::vector<std::unique_ptr<TMenuWindow>> levels_;
  TComponentRef<TMenuItem> chosen_;
  bool done_ = false;
};

TMenuLoop* g_openMenu = nullptr;

}  // namespace

std::vector<HWND> OpenMenuWindows() {
  return g_openMenu ? g_openMenu->Windows() : std::vector<HWND>{};
}

void TPopupMenu::Popup(int X, int Y) {
  InvokeEvent(OnPopup, this);
  if (g_openMenu) return;  // one popup menu at a time
  TMenuItem* chosen = nullptr;
  {
    TMenuLoop loop(this);
    g_openMenu = &loop;
    TScopeExit reset([] { g_openMenu = nullptr; });
    chosen = loop.Run(X, Y, alignment_);
  }
  // The menu's windows are gone when the chosen command runs.
  if (chosen) chosen->Click();
}

namespace talvik::gui {

void SetMenuPictures(bool enabled) {
  Pictures().enabled = enabled;
  Pictures().shown = 0;
  Pictures().Clear();
}

std::size_t MenuPicturesShown() {
  return Pictures().shown;
}

}  // namespace talvik::gui
