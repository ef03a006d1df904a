// The grid's drawing: grid lines, the indicator column, titles (plain, multi-level, vertical, with sort
// markers), the filter row, data cells, footers and the focus rectangle; and the tooltip window that
// shows a clipped cell's whole text.
#include <algorithm>
#include <cassert>

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"

// ---------------------------------------------------------------- the tooltip window

TRect TToolTipsWindow::CalcHintRect(int MaxWidth, const std::string& AHint, void* AData) {
  // the cell's own font, in the window text colour
  if (AData) Font()->Assign(static_cast<TFont*>(AData));
  Font()->SetColor(clWindowText);
  Canvas()->Font()->Assign(Font());
  return THintWindow::CalcHintRect(MaxWidth, AHint, AData);
}

void TToolTipsWindow::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  r.Left += 2;
  r.Top += 1;
  canvas->Font()->Assign(Font());
  canvas->Brush()->SetStyle(bsClear);
  RECT text = r;
  DrawText(canvas->Handle(), Caption(), text, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
  canvas->Brush()->SetStyle(bsSolid);
}
