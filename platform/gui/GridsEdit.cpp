// The grid's in-place editor.
#include <algorithm>

#include "platform/gui/Grids.h"

TInplaceEdit::TInplaceEdit(TComponent* AOwner)
    : TCustomMaskEdit(AOwner), grid_(dynamic_cast<TCustomGrid*>(AOwner)) {
  ctl3D_ = false;
  parentCtl3D_ = false;
  borderStyle_ = bsNone;
  autoSize_ = false;
  visible_ = false;
  SetTabStop(false);
}

TInplaceEdit::~TInplaceEdit() = default;

void TInplaceEdit::SetGrid(TCustomGrid* Value) {
  grid_ = Value;
  SetParent(Value);
}

void TInplaceEdit::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  Params.Style &= ~(WS_BORDER | WS_TABSTOP | WS_VISIBLE);
  Params.ExStyle &= ~WS_EX_CLIENTEDGE;
  Params.Style |= WS_CHILD | WS_CLIPSIBLINGS;
}

void TInplaceEdit::CreateWnd() {
  TCustomMaskEdit::CreateWnd();
  // the window comes back shown with the editor: only where the grid may show it now (its cell may
  // have gone or hidden meanwhile)
  if (visible_ && grid_ && !grid_->EditorMayShow()) grid_->HideEdit();
}

void TInplaceEdit::SetVisible(bool Value) {
  // whatever shows the editor, it stands only on a cell that may hold it
  if (Value && !visible_ && grid_ && !grid_->EditorMayShow()) return;
  TCustomMaskEdit::SetVisible(Value);
}

void TInplaceEdit::PaintWindow(HDC DC) {
  TCustomMaskEdit::PaintWindow(DC);
}

bool TInplaceEdit::Visible() {
  return visible_ && HandleAllocated();
}

bool TInplaceEdit::PosEqual(const TRect& Rect) {
  return HandleAllocated() && BoundsRect() == Rect;
}

void TInplaceEdit::InternalMove(const TRect& Loc, bool Redraw) {
  if (Loc.IsEmpty()) {
    Hide();
    return;
  }
  HandleNeeded();
  SetBounds(Loc.Left, Loc.Top, Loc.Width(), Loc.Height());
  if (!visible_) SetVisible(true);
  BoundsChanged();
  if (Redraw) TCustomMaskEdit::Invalidate();
  if (grid_ && grid_->GridFocused() && GetFocus() != Handle()) SetFocus();
}

void TInplaceEdit::Move(const TRect& Loc) {
  InternalMove(Loc, true);
}

void TInplaceEdit::UpdateLoc(const TRect& Loc) {
  InternalMove(Loc, false);
}

void TInplaceEdit::Hide() {
  if (!visible_) return;
  // the focus goes back to the grid before the window goes, so the grid is not left
  if (grid_ && HandleAllocated() && GetFocus() == Handle() && grid_->HandleAllocated()) grid_->SetFocus();
  TRect was = BoundsRect();
  SetVisible(false);
  if (grid_ && grid_->HandleAllocated()) ::InvalidateRect(grid_->Handle(), &was, false);
}

void TInplaceEdit::Invalidate() {
  TCustomMaskEdit::Invalidate();
  if (grid_ && grid_->HandleAllocated() && HandleAllocated()) {
    TRect r = BoundsRect();
    ::InvalidateRect(grid_->Handle(), &r, false);
  }
}

void TInplaceEdit::SetFocus() {
  if (!HandleAllocated() || !IsWindowVisible(Handle())) return;
  TCustomMaskEdit::SetFocus();
}

void TInplaceEdit::Deselect() {
  if (!HandleAllocated()) return;
  int end = static_cast<int>(Utf8ToUtf32(EditText()).size());
  SendMessage(Handle(), EM_SETSEL, static_cast<WPARAM>(end), end);
}

void TInplaceEdit::BoundsChanged() {
  if (HandleAllocated()) SendMessage(Handle(), EM_SCROLLCARET);
}

void TInplaceEdit::UpdateContents() {
  if (!grid_) return;
  SetEditText("");
  SetEditMask(grid_->GetEditMask(grid_->Col(), grid_->Row()));
  SetEditText(grid_->GetEditText(grid_->Col(), grid_->Row()));
  SetMaxLength(grid_->GetEditLimit());
  SetModified(false);
}

void TInplaceEdit::Change() {
  TCustomMaskEdit::Change();
  if (grid_) grid_->UpdateText();
}

bool TInplaceEdit::EditCanModify() {
  return grid_ ? grid_->CanEditModify() : TCustomMaskEdit::EditCanModify();
}

void TInplaceEdit::SendToParent(WORD& Key, TShiftState Shift) {
  if (grid_) grid_->KeyDown(Key, Shift);
  Key = 0;
}

void TInplaceEdit::KeyDown(WORD& Key, TShiftState Shift) {
  if (!grid_) {
    TCustomMaskEdit::KeyDown(Key, Shift);
    return;
  }
  const bool ctrl = Shift.Contains(ssCtrl);
  // the arrows leave the text at its edges, or at once when the whole text is selected
  auto atEdge = [&](bool right) {
    int start = SelStart(), length = SelLength();
    int size = static_cast<int>(Utf8ToUtf32(EditText()).size());
    if (length > 0 && length == size) return true;
    return length == 0 && (right ? start >= size : start == 0);
  };
  switch (Key) {
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_ESCAPE:
    case VK_RETURN:
    case VK_F2:
      SendToParent(Key, Shift);
      break;
    case VK_TAB:
      if (!Shift.Contains(ssAlt)) SendToParent(Key, Shift);
      break;
    case VK_HOME:
    case VK_END:
      if (ctrl) SendToParent(Key, Shift);
      break;
    case VK_LEFT:
      if (!ctrl && atEdge(false)) SendToParent(Key, Shift);
      break;
    case VK_RIGHT:
      if (!ctrl && atEdge(true)) SendToParent(Key, Shift);
      break;
    default:
      break;
  }
  if (Key != 0) TCustomMaskEdit::KeyDown(Key, Shift);
}

void TInplaceEdit::KeyPress(char32_t& Key) {
  if (grid_) {
    grid_->KeyPress(Key);
    if (Key >= 32 && !grid_->CanEditAcceptKey(Key)) {
      Key = 0;
      MessageBeep(0);
    }
  }
  // Enter, Esc and Tab belong to the grid, never to the text
  if (Key == U'\r' || Key == 27 || Key == U'\t') Key = 0;
  if (Key != 0) TCustomMaskEdit::KeyPress(Key);
}

void TInplaceEdit::KeyUp(WORD& Key, TShiftState Shift) {
  if (grid_) grid_->KeyUp(Key, Shift);
  if (Key != 0) TCustomMaskEdit::KeyUp(Key, Shift);
}

void TInplaceEdit::DblClick() {
  if (grid_) grid_->DblClick();
}

bool TInplaceEdit::DoMouseWheel(TShiftState Shift, int WheelDelta, TPoint MousePos) {
  return grid_ ? grid_->DoMouseWheel(Shift, WheelDelta, MousePos) : false;
}

void TInplaceEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE:
      TCustomMaskEdit::WndProc(m);
      m.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS;
      if (grid_ && grid_->Options().Contains(goTabs)) m.Result |= DLGC_WANTTAB;
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomMaskEdit::WndProc(m);
      // the grid shows its selection by whether it (or this editor) has the focus
      if (grid_ && grid_->HandleAllocated()) {
        grid_->InvalidateRect(grid_->Selection());
        grid_->InvalidateCell(grid_->Col(), grid_->Row());
      }
      return;
    case WM_CANCELMODE:
    case CM_CANCELMODE:
      TCustomMaskEdit::WndProc(m);
      return;
    default:
      break;
  }
  TCustomMaskEdit::WndProc(m);
}
