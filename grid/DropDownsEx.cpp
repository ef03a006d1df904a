#include "grid/DropDownsEx.h"

#include <algorithm>

#include "grid/EditButtons.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

namespace {

constexpr std::uint64_t kSearchPauseMs = 2000;
constexpr int kMaxSearchLength = 32;
constexpr int kGripLineStep = 4;
constexpr int kPopupBorder3D = 2;

bool IsTopCorner(TSizeGripPosition P) {
  return P == sgpTopLeft || P == sgpTopRight;
}
bool IsLeftCorner(TSizeGripPosition P) {
  return P == sgpTopLeft || P == sgpBottomLeft;
}

// Paints the raised double edge of a 3D drop-down in its non-client frame.
void PaintRaisedFrame(HWND Wnd) {
  HDC dc = GetWindowDC(Wnd);
  TScopeExit release([&] { ReleaseDC(Wnd, dc); });
  RECT r;
  GetWindowRect(Wnd, r);
  OffsetRect(r, -r.Left, -r.Top);
  DrawEdge(dc, r, BDR_RAISEDOUTER | BDR_RAISEDINNER, BF_RECT);
}

}  // namespace

void PopupCloseUp(TComponent* Popup, bool Accept) {
  if (!Popup) return;
  if (auto* owner = dynamic_cast<IPopupOwnerEx*>(Popup->Owner())) owner->CloseUp(Accept);
}

TSizeGripPosition ChangeGripPosition(TSizeGripPosition Position, TSizeGripChangePosition Change) {
  struct Move {
    TSizeGripChangePosition change;
    TSizeGripPosition from, to;
  };
  static constexpr Move kMoves[] = {
      {sgcpToLeft, sgpTopRight, sgpTopLeft},       {sgcpToLeft, sgpBottomRight, sgpBottomLeft},
      {sgcpToRight, sgpTopLeft, sgpTopRight},      {sgcpToRight, sgpBottomLeft, sgpBottomRight},
      {sgcpToTop, sgpBottomRight, sgpTopRight},    {sgcpToTop, sgpBottomLeft, sgpTopLeft},
      {sgcpToBottom, sgpTopRight, sgpBottomRight}, {sgcpToBottom, sgpTopLeft, sgpBottomLeft},
  };
  for (const Move& m : kMoves)
    if (m.change == Change && m.from == Position) return m.to;
  return Position;
}

TRect GetControlScreenRect(TControl* Control) {
  TPoint p(Control->Left(), Control->Top());
  if (TWinControl* parent = Control->Parent()) p = parent->ClientToScreen(p);
  return Bounds(p.X, p.Y, Control->Width(), Control->Height());
}

TRect DropDownWorkArea(const TRect& OwnerRect) {
  MONITORINFO info;
  if (HMONITOR monitor = MonitorFromRect(OwnerRect, MONITOR_DEFAULTTONEAREST);
      monitor && GetMonitorInfo(monitor, info))
    return info.rcWork;
  RECT work;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

TDropDownListPlacement SizeDropDownList(const TRect& OwnerRect, TSize Size, TDropDownAlign Align,
                                        const TRect& WorkArea) {
  TDropDownListPlacement p;
  p.Size = Size;
  const int below = WorkArea.Bottom - OwnerRect.Bottom;
  const int above = OwnerRect.Top - WorkArea.Top;
  bool placeBelow = true;
  if (Size.cy <= below) {
    placeBelow = true;
  } else if (Size.cy <= above) {
    placeBelow = false;
  } else {
    placeBelow = below >= above;
    p.Size.cy = placeBelow ? below : above;
  }
  p.VertGrip = placeBelow ? sgcpToBottom : sgcpToTop;
  p.Pos.Y = placeBelow ? OwnerRect.Bottom : OwnerRect.Top - p.Size.cy;

  switch (Align) {
    case daLeft:
      p.Pos.X = OwnerRect.Left;
      break;
    case daRight:
      p.Pos.X = OwnerRect.Right - p.Size.cx;
      break;
    case daCenter:
      p.Pos.X = OwnerRect.Left + (OwnerRect.Width() - p.Size.cx) / 2;
      break;
  }
  p.Size.cx = std::min(p.Size.cx, WorkArea.Width());
  if (p.Pos.X + p.Size.cx > WorkArea.Right) {
    p.Pos.X = WorkArea.Right - p.Size.cx;
    p.HorzGrip = sgcpToLeft;
  } else if (p.Pos.X < WorkArea.Left) {
    p.Pos.X = WorkArea.Left;
    p.HorzGrip = sgcpToRight;
  } else {
    p.HorzGrip = Align == daRight ? sgcpToLeft : sgcpToRight;
  }
  return p;
}

TPoint SizeDropDownList(const TRect& OwnerRect, TWinControl* DropDown, TDropDownAlign Align) {
  const TRect work = DropDownWorkArea(OwnerRect);
  TDropDownListPlacement p =
      SizeDropDownList(OwnerRect, TSize(DropDown->Width(), DropDown->Height()), Align, work);
  if (p.Size.cx != DropDown->Width() || p.Size.cy != DropDown->Height()) {
    DropDown->SetBounds(DropDown->Left(), DropDown->Top(), p.Size.cx, p.Size.cy);
    // the window may round its height (whole rows): above the control it ends at the control's top
    if (p.VertGrip == sgcpToTop) p.Pos.Y = OwnerRect.Top - DropDown->Height();
  }
  DropDown->Perform(WM_DROPDOWN_GRIPMOVE, p.VertGrip);
  DropDown->Perform(WM_DROPDOWN_GRIPMOVE, p.HorzGrip);
  return p.Pos;
}

// ---------------------------------------------------------------- TSizeGripEx

TSizeGripEx::TSizeGripEx(TComponent* AOwner) : TCustomControl(AOwner) {
  width_ = GetSystemMetrics(SM_CXVSCROLL);
  height_ = GetSystemMetrics(SM_CYVSCROLL);
  color_ = clBtnFace;
  parentColor_ = false;
  brush_.SetColor(clBtnFace);
  controlStyle_ = {csCaptureMouse, csOpaque};
}

void TSizeGripEx::CreateWnd() {
  TCustomControl::CreateWnd();
  UpdateRegion();
}

void TSizeGripEx::SetPosition(TSizeGripPosition Value) {
  if (position_ == Value) return;
  position_ = Value;
  UpdateRegion();
  UpdatePosition();
  Invalidate();
}

void TSizeGripEx::SetTriangleWindow(bool Value) {
  if (triangleWindow_ == Value) return;
  triangleWindow_ = Value;
  UpdateRegion();
}

void TSizeGripEx::ChangePosition(TSizeGripChangePosition Change) {
  SetPosition(ChangeGripPosition(position_, Change));
}

void TSizeGripEx::UpdateRegion() {
  if (!HandleAllocated()) return;
  if (!triangleWindow_) {
    SetWindowRgn(Handle(), nullptr, true);
    return;
  }
  const int w = Width(), h = Height();
  POINT corner, horizontal, vertical;
  switch (position_) {
    case sgpTopLeft:
      corner = {0, 0}, horizontal = {w, 0}, vertical = {0, h};
      break;
    case sgpTopRight:
      corner = {w, 0}, horizontal = {0, 0}, vertical = {w, h};
      break;
    case sgpBottomRight:
      corner = {w, h}, horizontal = {0, h}, vertical = {w, 0};
      break;
    case sgpBottomLeft:
      corner = {0, h}, horizontal = {w, h}, vertical = {0, 0};
      break;
  }
  const POINT points[] = {corner, horizontal, vertical};
  SetWindowRgn(Handle(), CreatePolygonRgn(points, 3, 1), true);
}

void TSizeGripEx::UpdatePosition() {
  TWinControl* parent = Parent();
  if (!parent || updating_) return;
  TScopeExit done([this] { updating_ = false; });
  updating_ = true;
  const TRect client = parent->ClientRect();
  const int x = IsLeftCorner(position_) ? 0 : client.Right - Width();
  const int y = IsTopCorner(position_) ? 0 : client.Bottom - Height();
  if (x == Left() && y == Top()) return;
  if (HandleAllocated())
    MoveWindow(Handle(), x, y, Width(), Height(), true);
  else
    SetBounds(x, y, Width(), Height());
}

void TSizeGripEx::Paint() {
  TCanvas* c = Canvas();
  const int w = Width(), h = Height();
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
  // the lines run parallel to the hypotenuse, counted from the grip's corner
  const bool left = IsLeftCorner(position_), top = IsTopCorner(position_);
  static constexpr TColor kLineColors[kGripLineStep] = {clBtnHighlight, clBtnShadow, clBtnShadow, clBtnFace};
  for (int d = 1; d < std::min(w, h); ++d) {
    const TColor color = kLineColors[(d - 1) % kGripLineStep];
    c->Pen()->SetColor(color);
    // pixel (i, j) away from the corner with i + j == d, drawn from one edge to the other
    const int x0 = left ? d : w - 1 - d, y0 = top ? 0 : h - 1;
    const int x1 = left ? 0 : w - 1, y1 = top ? d : h - 1 - d;
    c->MoveTo(x0, y0);
    c->LineTo(x1, y1);
    c->SetPixels(x1, y1, color);
  }
}

void TSizeGripEx::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_SETCURSOR) {
    const bool nwse = position_ == sgpTopLeft || position_ == sgpBottomRight;
    ::SetCursor(LoadCursor(nullptr, nwse ? IDC_SIZENWSE : IDC_SIZENESW));
    Message.Result = 1;
    return;
  }
  if (Message.Msg == WM_SIZE) UpdateRegion();
  TCustomControl::Dispatch(Message);
}

void TSizeGripEx::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Parent()) return;
  sizing_ = true;
  startMouse_ = ClientToScreen(TPoint(X, Y));
  startRect_ = GetControlScreenRect(Parent());
}

void TSizeGripEx::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  TWinControl* parent = Parent();
  if (!sizing_ || !parent) return;
  const TPoint now = ClientToScreen(TPoint(X, Y));
  RECT work;
  SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
  const int dx = now.X - startMouse_.X, dy = now.Y - startMouse_.Y;
  TRect r = startRect_;
  // the edges of the grip's corner follow the mouse, the opposite ones stay
  if (IsLeftCorner(position_))
    r.Left = std::max<int>(work.Left, std::min(r.Left + dx, r.Right));
  else
    r.Right = std::min<int>(work.Right, std::max(r.Right + dx, r.Left));
  if (IsTopCorner(position_))
    r.Top = std::max<int>(work.Top, std::min(r.Top + dy, r.Bottom));
  else
    r.Bottom = std::min<int>(work.Bottom, std::max(r.Bottom + dy, r.Top));
  const TRect oldClient = parent->ClientRect();
  // the parent may round its size (whole rows): the edge opposite the corner stays where it was
  parent->SetBounds(r.Left, r.Top, r.Width(), r.Height());
  const int left = IsLeftCorner(position_) ? r.Right - parent->Width() : r.Left;
  const int top = IsTopCorner(position_) ? r.Bottom - parent->Height() : r.Top;
  if (left != parent->Left() || top != parent->Top())
    parent->SetBounds(left, top, parent->Width(), parent->Height());
  const TRect newClient = parent->ClientRect();
  if (newClient.Width() != oldClient.Width() || newClient.Height() != oldClient.Height())
    InvokeEvent(OnParentResized, this);
  UpdatePosition();
}

void TSizeGripEx::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) sizing_ = false;
  TCustomControl::MouseUp(Button, Shift, X, Y);
}

// ---------------------------------------------------------------- TPopupListboxEx

TPopupListboxEx::TPopupListboxEx(TComponent* AOwner) : TCustomListBox(AOwner) {
  visible_ = false;
  SetTabStop(false);
  SetBorderStyle(bsNone);
  SetStyle(lbOwnerDrawFixed);
  parentFont_ = false;
  sizeGrip_ = new TSizeGripEx(this);
  sizeGrip_->SetParent(this);
  sizeGrip_->SetTriangleWindow(true);
}

TPopupListboxEx::~TPopupListboxEx() = default;

void TPopupListboxEx::CreateParams(TCreateParams& Params) {
  TCustomListBox::CreateParams(Params);
  Params.Style = WS_POPUP | WS_CLIPCHILDREN | WS_VSCROLL | (Ctl3D() ? 0 : WS_BORDER);
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS;
  Params.WndParent = nullptr;
}

void TPopupListboxEx::CreateWnd() {
  TCustomListBox::CreateWnd();
  sizeGrip_->UpdatePosition();
}

bool TPopupListboxEx::ListVisible() {
  return HandleAllocated() && IsWindowVisible(Handle());
}

int TPopupListboxEx::BorderSize() {
  return Height() - ClientHeight();
}

void TPopupListboxEx::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  AWidth = std::max(AWidth, GetSystemMetrics(SM_CXVSCROLL));
  AHeight = std::max(AHeight, GetSystemMetrics(SM_CYVSCROLL));
  // whole rows only: the border (the frame and the bars below the rows) stays as it is
  const int border = HandleAllocated() ? BorderSize() : (Ctl3D() ? 2 * kPopupBorder3D : 2);
  const int rows = std::max(1, (AHeight - border) / ItemHeight());
  AHeight = rows * ItemHeight() + border;
  TCustomListBox::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TPopupListboxEx::SetRowCount(int Value) {
  HandleNeeded();
  SetHeight(std::max(Value, 1) * ItemHeight() + BorderSize());
}

int TPopupListboxEx::RowCount() {
  return std::max(1, ClientHeight() / ItemHeight());
}

void TPopupListboxEx::SetSizeGripResizable(bool Value) {
  sizeGrip_->SetVisible(Value);
}

int TPopupListboxEx::GetTextHeight() {
  return TextExtentOf(Font(), "Wg").cy;
}

void TPopupListboxEx::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (!images_) {
    TCustomListBox::DrawItem(Index, Rect, State);
    return;
  }
  TCanvas* c = Canvas();
  if (State.Contains(odSelected)) {
    c->Brush()->SetColor(clHighlight);
    c->Font()->SetColor(clHighlightText);
  }
  const bool rtl = UseRightToLeftReading();
  const int imageColumn = images_->Width() + 4;
  TRect image = Rect;
  TRect text = Rect;
  if (rtl) {
    image.Left = Rect.Right - imageColumn;
    text.Right = image.Left;
  } else {
    image.Right = Rect.Left + imageColumn;
    text.Left = image.Right;
  }
  c->FillRect(image);
  DrawClippedImage(c->Handle(), image, images_, Index, Enabled());
  const std::string& s = Items()->Strings(Index);
  const int y = text.Top + std::max(0, (text.Height() - c->TextHeight("Wg")) / 2);
  const int x = rtl ? text.Right - 2 - c->TextWidth(s) : Rect.Left + images_->Width() + 5;
  RECT clip = text;
  ExtTextOut(c->Handle(), x, y, ETO_CLIPPED | ETO_OPAQUE, &clip, s, nullptr);
  if (State.Contains(odFocused)) c->DrawFocusRect(text);
}

void TPopupListboxEx::KeyPress(char32_t& Key) {
  if (Key == U'\b' || Key == 27) {
    searchText_.clear();
    return;
  }
  if (Key < 32) return;
  const std::uint64_t now = talvik::gui::Ticks();
  if (now - searchTime_ > kSearchPauseMs) searchText_.clear();
  searchTime_ = now;
  if (Utf8Length(searchText_) < kMaxSearchLength) Utf8Append(searchText_, Key);
  if (HandleAllocated())
    SendMessage(Handle(), LB_SELECTSTRING, static_cast<WPARAM>(-1),
                reinterpret_cast<LPARAM>(searchText_.c_str()));
  Key = 0;
}

void TPopupListboxEx::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomListBox::MouseMove(Shift, X, Y);
  if (Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle)) return;
  // a window that appears or scrolls under a still mouse gets moves at the same point
  if (lastMouse_ == TPoint(X, Y)) return;
  lastMouse_ = TPoint(X, Y);
  const int i = ItemAtPos(TPoint(X, Y), true);
  if (i >= 0 && i != ItemIndex()) SetItemIndex(i);
}

bool TPopupListboxEx::DoMouseWheel(TShiftState /*Shift*/, int WheelDelta, TPoint /*MousePos*/) {
  if (Count() == 0) return true;
  const int step = WheelDelta > 0 ? -1 : 1;
  SetItemIndex(std::clamp(ItemIndex() + step, 0, Count() - 1));
  return true;
}

void TPopupListboxEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_NCCALCSIZE:
      if (Message.LParam && Ctl3D()) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(r, -kPopupBorder3D, -kPopupBorder3D);
      }
      TCustomListBox::Dispatch(Message);
      return;
    case WM_NCPAINT:
      TCustomListBox::Dispatch(Message);
      if (Ctl3D()) PaintRaisedFrame(Handle());
      return;
    case WM_SIZE:
      TCustomListBox::Dispatch(Message);
      sizeGrip_->UpdatePosition();
      sizeChanged_ = true;
      return;
    case WM_DROPDOWN_GRIPMOVE:
      sizeGrip_->ChangePosition(static_cast<TSizeGripChangePosition>(Message.WParam));
      return;
    default:
      TCustomListBox::Dispatch(Message);
  }
}

// ---------------------------------------------------------------- TMRUListboxEx

TMRUListboxEx::TMRUListboxEx(TComponent* AOwner) : TPopupListboxEx(AOwner) {
  scrollBar_ = new TScrollBar(this);
  scrollBar_->SetKind(sbVertical);
  scrollBar_->SetTabStop(false);
  scrollBar_->SetVisible(false);
  scrollBar_->SetParent(this);
  scrollBar_->OnScroll = [this](TObject* s, TScrollCode code, int& pos) { ScrollBarScroll(s, code, pos); };
}

void TMRUListboxEx::CreateParams(TCreateParams& Params) {
  TPopupListboxEx::CreateParams(Params);
  Params.Style &= ~WS_VSCROLL;  // the list has a scroll bar of its own
}

void TMRUListboxEx::UpdateScrollBar() {
  if (!scrollBar_ || updatingBar_) return;
  TScopeExit done([this] { updatingBar_ = false; });
  updatingBar_ = true;
  const int rows = VisibleItems();
  const bool needed = Count() > rows;
  if (needed) {
    const int width = GetSystemMetrics(SM_CXVSCROLL);
    const TRect client = ClientRect();
    // the grip in a right corner takes the bar's end
    const bool gripRight = sizeGrip_->Visible() && !IsLeftCorner(sizeGrip_->Position());
    const bool gripTop = IsTopCorner(sizeGrip_->Position());
    int top = 0, bottom = client.Bottom;
    if (gripRight && gripTop) top += sizeGrip_->Height();
    if (gripRight && !gripTop) bottom -= sizeGrip_->Height();
    scrollBar_->SetBounds(client.Right - width, top, width, std::max(0, bottom - top));
    scrollBar_->SetParams(std::clamp(TopIndex(), 0, Count() - 1), 0, Count() - 1);
    scrollBar_->SetPageSize(rows);
    scrollBar_->SetLargeChange(rows);
  }
  scrollBar_->SetVisible(needed);
  sizeGrip_->SetTriangleWindow(!IsTopCorner(sizeGrip_->Position()));
}

void TMRUListboxEx::ScrollBarScroll(TObject* /*Sender*/, TScrollCode /*ScrollCode*/, int& ScrollPos) {
  SetTopIndex(ScrollPos);
  ScrollPos = TopIndex();
}

void TMRUListboxEx::Dispatch(TMessage& Message) {
  TPopupListboxEx::Dispatch(Message);
  if (Message.Msg == WM_SIZE || Message.Msg == WM_DROPDOWN_GRIPMOVE) UpdateScrollBar();
}

// ---------------------------------------------------------------- TPopupMonthCalendarEx

TPopupMonthCalendarEx::TPopupMonthCalendarEx(TComponent* AOwner) : TMonthCalendar(AOwner) {
  visible_ = false;
  SetTabStop(false);
  parentFont_ = false;
  ctl3D_ = true;
}

void TPopupMonthCalendarEx::CreateParams(TCreateParams& Params) {
  TMonthCalendar::CreateParams(Params);
  Params.Style = WS_POPUP | (Ctl3D() ? 0 : WS_BORDER);
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  Params.WindowClass.style |= CS_SAVEBITS;
  Params.WndParent = nullptr;
}

TSize TPopupMonthCalendarEx::RequiredSize() {
  const TRect r = MinRequiredRect();
  const int border = Ctl3D() ? 2 * BorderSize() : 2;
  return TSize(r.Width() + border, r.Height() + border);
}

void TPopupMonthCalendarEx::CreateWnd() {
  TMonthCalendar::CreateWnd();
  const TSize size = RequiredSize();
  SetBounds(Left(), Top(), size.cx, size.cy);
}

void TPopupMonthCalendarEx::KeyDown(WORD& Key, TShiftState Shift) {
  if (Key == VK_RETURN || Key == VK_ESCAPE) {
    const bool accept = Key == VK_RETURN;
    Key = 0;
    PopupCloseUp(this, accept);
    return;
  }
  TMonthCalendar::KeyDown(Key, Shift);
}

bool TPopupMonthCalendarEx::DoMouseWheel(TShiftState /*Shift*/, int WheelDelta, TPoint /*MousePos*/) {
  SetDate(Date() + (WheelDelta > 0 ? -1 : 1));
  return true;
}

void TPopupMonthCalendarEx::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      return;
    case WM_NCCALCSIZE:
      if (Message.LParam && Ctl3D()) {
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
        InflateRect(r, -BorderSize(), -BorderSize());
      }
      TMonthCalendar::Dispatch(Message);
      return;
    case WM_NCPAINT:
      TMonthCalendar::Dispatch(Message);
      if (Ctl3D()) PaintRaisedFrame(Handle());
      return;
    case WM_SHOWWINDOW:
      TMonthCalendar::Dispatch(Message);
      // while shown, a press anywhere comes here first: outside the calendar it closes it
      if (Message.WParam)
        SetCapture(Handle());
      else if (GetCapture() == Handle())
        ReleaseCapture();
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      const TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
      if (!PtInRect(ClientRect(), p)) {
        PopupCloseUp(this, false);
        return;
      }
      TMonthCalendar::Dispatch(Message);
      if (GetCapture() != Handle() && IsWindowVisible(Handle())) SetCapture(Handle());
      const UINT hit = HitTest(p).uHit;
      if ((hit & MCHT_CALENDARDATE) == MCHT_CALENDARDATE) PopupCloseUp(this, true);
      return;
    }
    case WM_KILLFOCUS: {
      TMonthCalendar::Dispatch(Message);
      HWND to = reinterpret_cast<HWND>(Message.WParam);
      if (HandleAllocated() && (!to || !IsChild(Handle(), to)))
        PostMessage(Handle(), WM_DROPDOWN_CLOSEUPNOACCEPT);
      return;
    }
    case WM_DROPDOWN_CLOSEUPNOACCEPT:
      PopupCloseUp(this, false);
      return;
    default:
      TMonthCalendar::Dispatch(Message);
  }
}
