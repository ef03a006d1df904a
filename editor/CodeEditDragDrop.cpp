// The editor's text dragged with the mouse inside one editor or between two, files dropped from the
// desktop, and text committed by an input method.
#include <algorithm>

#include "editor/CodeEdit.h"
#include "platform/gui/ShellAPI.h"
#include "platform/rtl/ScopeExit.h"

namespace {

bool Before(const TBufferCoord& a, const TBufferCoord& b) {
  return a.Line < b.Line || (a.Line == b.Line && a.Char < b.Char);
}

}  // namespace

// ------------------------------------------------------------------ dragging text

// The buffer position under a client point; within the view when `withinView` (the drag of our own
// text, whose caret stays on the visible rows and columns while the view scrolls).
TBufferCoord TCustomCodeEdit::DragPosition(int x, int y, bool withinView) const {
  TDisplayCoord p = PixelsToNearestRowColumn(x, y);
  if (withinView) {
    p.Column = std::clamp(p.Column, leftChar_, leftChar_ + std::max(charsInWindow_, 1) - 1);
    p.Row = std::clamp(p.Row, topLine_, topLine_ + std::max(linesInWindow_, 1) - 1);
  }
  p.Row = std::clamp(p.Row, 1, std::max(DisplayLineCount(), 1));
  return DisplayToBufferPos(p);
}

void TCustomCodeEdit::DragOver(TObject* source, int x, int y, TDragState state, bool& accept) {
  TCustomControl::DragOver(source, x, y, state, accept);
  auto* from = dynamic_cast<TCustomCodeEdit*>(source);
  if (!from || ReadOnly()) return;
  accept = true;
  SetDragCursor(GetKeyState(VK_CONTROL) < 0 ? crMultiDrag : crDrag);
  if (from == this) {
    if (state == dsDragLeave) {
      scrollTimer_->SetEnabled(false);
      MoveCaretTo(false, dragStartCaret_);
      return;
    }
    ComputeScroll(x, y);
    MoveCaretTo(false, DragPosition(x, y, true));
  } else if (state != dsDragLeave) {
    MoveCaretTo(true, DragPosition(x, y, false));
  }
}

void TCustomCodeEdit::DragDrop(TObject* source, int x, int y) {
  auto* from = dynamic_cast<TCustomCodeEdit*>(source);
  if (!from || !from->SelAvail() || ReadOnly()) {
    TCustomControl::DragDrop(source, x, y);
    return;
  }
  IncPaintLock();
  TScopeExit unlock{[this] { DecPaintLock(); }};
  TCustomControl::DragDrop(source, x, y);
  MoveCaretTo(false, DragPosition(x, y, from == this));
  const TBufferCoord dropPoint = CaretXY();
  bool move;
  if (from == this) {
    // a move onto its own text, edges included, or a copy strictly inside it, is refused
    move = GetKeyState(VK_CONTROL) >= 0;
    TBufferCoord b = BlockBegin(), e = BlockEnd();
    bool inside =
        move ? !Before(dropPoint, b) && !Before(e, dropPoint) : Before(b, dropPoint) && Before(dropPoint, e);
    if (inside) return;
  } else {
    // the text of a read-only editor can only be copied
    move = GetKeyState(VK_SHIFT) < 0 && !from->ReadOnly();
  }
  DropText(from, dropPoint, move);
}

void TCustomCodeEdit::DropText(TCustomCodeEdit* source, const TBufferCoord& dropPoint, bool move) {
  TBufferCoord at = dropPoint;
  {
    undoList_->BeginBlock();
    TScopeExit endBlock{[this] { undoList_->EndBlock(); }};
    // the lines as they are, a line end inside a line too
    const std::vector<std::u32string> text =
        source->SelectedLines(source->SelectionMode(), source->Options().Contains(eoTrimTrailingSpaces));
    if (source == this && move) {
      TBufferCoord b = BlockBegin(), e = BlockEnd();
      DeleteSelectionRecorded(false);
      // a drop point after the text moves back with what followed it
      if (!Before(at, e)) {
        if (at.Line == e.Line)
          at = {b.Char + (at.Char - e.Char), b.Line};
        else
          at.Line -= e.Line - b.Line;
      }
    } else if (move) {
      source->SetSelText(std::string());
    }
    bool pastEolWasOff = !options_.Contains(eoScrollPastEol);
    if (pastEolWasOff) options_ = options_ + eoScrollPastEol;
    TScopeExit back{[&] {
      if (pastEolWasOff) options_ = options_ - eoScrollPastEol;
    }};
    SetCaretXY(at);
    blockBegin_ = blockEnd_ = at;
    InsertTextRecorded(text, source == this ? ucDragDropInsert : ucInsert);
    blockBegin_ = blockEnd_ = CaretXY();
  }
  // the dropped text stays selected, the caret at its start
  CommandProcessor(ecSelGotoXY, 0, &at);
  Invalidate();
}

void TCustomCodeEdit::DoEndDrag(TObject* target, int x, int y) {
  scrollTimer_->SetEnabled(false);
  stateFlags_ &= static_cast<TCodeStateFlags>(
      ~(sfWaitForDragging | sfDblClicked | sfPossibleGutterClick | sfGutterDragging));
  TCustomControl::DoEndDrag(target, x, y);
}

// ------------------------------------------------------------------ dropped files

void TCustomCodeEdit::AcceptDroppedFiles(bool accept) {
  if (HandleAllocated()) DragAcceptFiles(Handle(), accept);
}

void TCustomCodeEdit::WMDropFiles(TMessage& message) {
  HDROP drop = reinterpret_cast<HDROP>(message.WParam);
  TScopeExit finish{[drop] { DragFinish(drop); }};
  message.Result = 0;
  if (!OnDropFiles) return;
  TStringList files;
  UINT count = DragQueryFile(drop, kDragQueryFileCount, nullptr);
  for (UINT i = 0; i < count; ++i) {
    std::string name;
    DragQueryFile(drop, i, &name);
    files.Add(name);
  }
  POINT p;
  DragQueryPoint(drop, p);
  OnDropFiles(this, p.X, p.Y, &files);
}

// ------------------------------------------------------------------ input method

void TCustomCodeEdit::WMImeComposition(TMessage& message) {
  if (message.LParam & static_cast<LPARAM>(GCS_RESULTSTR)) {
    HIMC imc = ImmGetContext(Handle());
    if (imc) {
      TScopeExit release{[&] { ImmReleaseContext(Handle(), imc); }};
      long n = ImmGetCompositionString(imc, GCS_RESULTSTR, nullptr, 0);
      if (n > 0) {
        std::string text(static_cast<size_t>(n), '\0');
        ImmGetCompositionString(imc, GCS_RESULTSTR, text.data(), static_cast<DWORD>(n));
        // the characters that the default handling types next are this string once more
        imeCount_ = static_cast<int>(Utf8ToUtf32(text).size());
        CommandProcessor(ecImeStr, 0, &text);
      }
    }
  }
  TCustomControl::Dispatch(message);
}

void TCustomCodeEdit::WMImeNotify(TMessage& message) {
  if (message.WParam == IMN_SETOPENSTATUS) {
    HIMC imc = ImmGetContext(Handle());
    if (imc) {
      TScopeExit release{[&] { ImmReleaseContext(Handle(), imc); }};
      if (ImmGetOpenStatus(imc)) {
        LOGFONT lf = Font()->GetLogFont();
        ImmSetCompositionFont(imc, &lf);
      }
    }
  }
  TCustomControl::Dispatch(message);
}
