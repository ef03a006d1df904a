// The editor control: creation, properties, notices of the line buffer, messages and destruction.
#include "editor/CodeEdit.h"

#include <algorithm>
#include <cassert>
#include <climits>

#include "editor/CodeEditStrConst.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdActns.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

UINT CodeEditClipboardFormat() {
  static const UINT format = RegisterClipboardFormat("CodeEdit Control Block Type");
  return format;
}

// ------------------------------------------------------------------ creation and destruction

TCustomCodeEdit::TCustomCodeEdit(TComponent* owner) : TCustomControl(owner) {
  ++liveEditors_;
  origLines_ = std::make_unique<TCodeEditStringList>();
  lines_ = origLines_.get();
  lines_->OnChange = [this](TObject* sender) { LinesChanged(sender); };
  lines_->OnChanging = [this](TObject*) { LinesChanging(); };
  lines_->OnCleared = [this](TObject*) { ListCleared(); };
  lines_->OnDeleted = [this](TObject*, int index, int count) { ListDeleted(index, count); };
  lines_->OnInserted = [this](TObject*, int index, int count) { ListInserted(index, count); };
  lines_->OnPutted = [this](TObject*, int index, int count) { ListPutted(index, count); };
  fontDummy_ = std::make_unique<TFont>();
  origUndoList_ = std::make_unique<TCodeEditUndoList>();
  origRedoList_ = std::make_unique<TCodeEditUndoList>();
  undoList_ = origUndoList_.get();
  redoList_ = origRedoList_.get();
  undoList_->OnAddedUndo = [this](TObject* sender) { UndoRedoAdded(sender); };
  redoList_->OnAddedUndo = [this](TObject* sender) { UndoRedoAdded(sender); };
  activeLineColor_ = clNone;
  selectedColor_ = std::make_unique<TCodeSelectedColor>();
  selectedColor_->OnChange = [this](TObject*) { SelectedColorChanged(); };
  bookMarkOpt_ = std::make_unique<TCodeBookMarkOpt>(this);
  bookMarkOpt_->OnChange = [this](TObject*) { BookMarkOptionsChanged(); };
  rightEdge_ = 80;
  gutter_ = std::make_unique<TCodeGutter>();
  gutter_->OnChange = [this](TObject*) { GutterChanged(); };
  gutterWidth_ = gutter_->Width();
  wordWrapGlyph_ = std::make_unique<TCodeGlyph>("CodeEditWrapped", clLime);
  wordWrapGlyph_->OnChange = [this](TObject*) {
    if (!ComponentState().Contains(csLoading)) InvalidateGutter();
  };
  textOffset_ = gutterWidth_ + 2;
  controlStyle_ += TControlStyle{csOpaque, csSetCaption, csNeedsBorderPaint};
  height_ = 150;
  width_ = 200;
  cursor_ = crIBeam;
  color_ = clWindow;
  brush_.SetColor(clWindow);
  fontDummy_->SetName("Courier New");
  fontDummy_->SetSize(10);
  fontDummy_->SetCharset(DEFAULT_CHARSET);
  textDrawer_ = std::make_unique<TheTextDrawer>(TFontStyles{fsBold}, fontDummy_.get());
  Font()->Assign(fontDummy_.get());
  Font()->OnChange = [this](TObject*) { FontChangedHandler(); };
  parentFont_ = false;
  parentColor_ = false;
  SetTabStop(true);
  insertMode_ = true;
  maxScrollWidth_ = 1024;
  scrollBars_ = ssBoth;
  borderStyle_ = bsSingle;
  insertCaret_ = ctVerticalLine;
  overwriteCaret_ = ctBlock;
  selectionMode_ = smNormal;
  kbdHandler_ = std::make_unique<TCodeEditKbdHandler>();
  keystrokes_ = std::make_unique<TCodeEditKeyStrokes>(this);
  markList_ = std::make_unique<TCodeEditMarkList>(this);
  markList_->OnChange = [this](TObject*) { MarkListChanged(); };
  SetDefaultKeystrokes();
  rightEdgeColor_ = clSilver;
  imeCount_ = 0;
  wantReturns_ = true;
  wantTabs_ = false;
  tabWidth_ = 8;
  lines_->SetTabWidth(tabWidth_);
  leftChar_ = 1;
  topLine_ = 1;
  caretX_ = lastCaretX_ = caretY_ = 1;
  blockBegin_ = blockEnd_ = {1, 1};
  options_ = kCodeEditDefaultOptions;
  scrollTimer_ = std::make_unique<TTimer>(this);
  scrollTimer_->SetEnabled(false);
  scrollTimer_->SetInterval(100);
  scrollTimer_->OnTimer = [this](TObject*) { ScrollTimerHandler(); };
  scrollHintColor_ = clInfoBk;
  scrollHintFormat_ = shfTopLineOnly;
  FontChangedHandler();
}

TCustomCodeEdit::~TCustomCodeEdit() {
  destroying_ = true;
  SetHighlighter(nullptr);
  ReleaseChained();
  scrollTimer_->SetEnabled(false);
  Font()->OnChange = nullptr;
  // the window goes first, while everything its messages reach still exists
  if (HandleAllocated()) DestroyHandle();
  hookedCommandHandlers_.clear();
  while (!plugins_.empty()) plugins_.pop_back();
  markList_.reset();
  assert(liveEditors_ > 0);
  if (--liveEditors_ == 0) FreeScrollHint();
}

void TCustomCodeEdit::ReleaseChained() {
  // buffers of other editors are never taken: the own buffer and lists are always the ones in use
  if (lines_ != origLines_.get()) {
    lines_ = origLines_.get();
    undoList_ = origUndoList_.get();
    redoList_ = origRedoList_.get();
  }
}

// ------------------------------------------------------------------ fonts and sizes

void TCustomCodeEdit::FontChanged() {
  TCustomControl::FontChanged();
  FontChangedHandler();
}

void TCustomCodeEdit::FontChangedHandler() {
  TFont* font = Font();
  if (font->Pitch() != fpFixed) {
    // a proportional font is replaced by a fixed-pitch font of the same name, size, style and colour
    TEXTMETRIC tm;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->Handle());
    GetTextMetrics(dc, tm);
    SelectObject(dc, old);
    DeleteDC(dc);
    if (tm.tmAveCharWidth != tm.tmMaxCharWidth) {
      fontDummy_->SetName(font->Name());
      fontDummy_->SetHeight(font->Height());
      fontDummy_->SetStyle(font->Style());
      fontDummy_->SetColor(font->Color());
      fontDummy_->SetCharset(font->Charset());
      fontDummy_->SetPitch(fpFixed);
      TNotifyEvent keep = std::move(font->OnChange);
      font->Assign(fontDummy_.get());
      font->OnChange = std::move(keep);
    }
  }
  RecalcCharExtent();
  SizeOrFontChanged(true);
}

void TCustomCodeEdit::RecalcCharExtent() {
  static const TFontStyles kOrder[] = {TFontStyles{}, TFontStyles{fsItalic}, TFontStyles{fsBold},
                                       TFontStyles{fsBold, fsItalic}};
  bool used[4] = {false, false, false, false};
  auto mark = [&](TFontStyles style) {
    used[(style.Contains(fsBold) ? 2 : 0) + (style.Contains(fsItalic) ? 1 : 0)] = true;
  };
  if (highlighter_ && highlighter_->AttrCount() > 0) {
    for (int i = 0; i < highlighter_->AttrCount(); ++i) mark(highlighter_->Attribute(i)->Style());
  } else {
    mark(Font()->Style());
  }
  textDrawer_->SetBaseFont(Font());
  lineHeight_ = 0;
  charWidth_ = 0;
  for (int i = 0; i < 4; ++i) {
    if (!used[i]) continue;
    textDrawer_->SetBaseStyle(kOrder[i]);
    lineHeight_ = std::max(lineHeight_, textDrawer_->GetCharHeight());
    charWidth_ = std::max(charWidth_, textDrawer_->GetCharWidth());
  }
  lineHeight_ += extraLineSpacing_;
  if (lineHeight_ <= 0) lineHeight_ = 1;
  // the text scrolled left by whole characters of the new width
  textOffset_ = gutterWidth_ + 2 - static_cast<int64_t>(leftChar_ - 1) * charWidth_;
}

void TCustomCodeEdit::SizeOrFontChanged(bool fontChanged) {
  if (!HandleAllocated() || charWidth_ == 0) return;
  charsInWindow_ = std::max(ClientWidth() - gutterWidth_ - 2, 0) / charWidth_;
  linesInWindow_ = ClientHeight() / lineHeight_;
  if (wordWrapPlugin_) {
    wordWrapPlugin_->DisplayChanged();
    Invalidate();
  }
  if (fontChanged) {
    if (gutter_->ShowLineNumbers()) GutterChanged();
    // the rows in the window changed, whether the gutter's width did or not
    UpdateScrollBars();
    InitializeCaret();
    stateFlags_ &= static_cast<TCodeStateFlags>(~sfCaretChanged);
    Invalidate();
  } else {
    UpdateScrollBars();
  }
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfScrollbarChanged);
  // also when scrolling past the end is allowed: fewer rows and columns may now hold the text, and a
  // wider window ends where the scroll width does
  SetLeftChar(leftChar_);
  SetTopLine(topLine_);
}

void TCustomCodeEdit::GutterChanged() {
  if (ComponentState().Contains(csLoading)) return;
  if (gutter_->ShowLineNumbers() && gutter_->AutoSize()) gutter_->AutoSizeDigitCount(lines_->Count());
  int width = gutter_->UseFontStyle() ? [&] {
    // line numbers measured in the gutter's own font
    TheTextDrawer* drawer = textDrawer_.get();
    drawer->SetBaseFont(gutter_->Font());
    int w = drawer->GetCharWidth();
    drawer->SetBaseFont(Font());
    RecalcCharExtent();
    return gutter_->RealGutterWidth(w);
  }()
                                      : gutter_->RealGutterWidth(charWidth_);
  if (width == gutterWidth_)
    InvalidateGutter();
  else
    SetGutterWidth(width);
}

void TCustomCodeEdit::SetGutterWidth(int value) {
  value = std::max(value, 0);
  if (gutterWidth_ == value) return;
  gutterWidth_ = value;
  textOffset_ = gutterWidth_ + 2 - static_cast<int64_t>(leftChar_ - 1) * charWidth_;
  if (HandleAllocated()) {
    if (charWidth_ > 0) charsInWindow_ = std::max(ClientWidth() - gutterWidth_ - 2, 0) / charWidth_;
    if (wordWrapPlugin_) wordWrapPlugin_->DisplayChanged();
    UpdateScrollBars();
    Invalidate();
    SetTopLine(topLine_);
  }
}

void TCustomCodeEdit::BookMarkOptionsChanged() {
  InvalidateGutter();
}

void TCustomCodeEdit::SelectedColorChanged() {
  InvalidateSelection();
}

void TCustomCodeEdit::MarkListChanged() {
  InvalidateGutter();
}

// ------------------------------------------------------------------ properties

void TCustomCodeEdit::SetActiveLineColor(TColor value) {
  if (activeLineColor_ == value) return;
  activeLineColor_ = value;
  InvalidateLine(caretY_);
}

void TCustomCodeEdit::SetBorderStyle(TBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomCodeEdit::SetExtraLineSpacing(int value) {
  extraLineSpacing_ = value;
  RecalcCharExtent();
  SizeOrFontChanged(true);
}

void TCustomCodeEdit::SetHighlighter(TCodeCustomHighlighter* value) {
  if (highlighter_ == value) return;
  TCodeMethod hook{[this](TObject* sender) { HighlighterAttrChanged(sender); }, this, 0};
  if (highlighter_) {
    highlighter_->RemoveAttrChangeHook(hook);
    highlighter_->RemoveFreeNotification(this);
  }
  if (value) {
    value->AddAttrChangeHook(hook);
    value->FreeNotification(this);
  }
  highlighter_ = value;
  if (!destroying_) HighlighterAttrChanged(highlighter_);
}

void TCustomCodeEdit::HighlighterAttrChanged(TObject* sender) {
  scanPoints_.Clear();
  RecalcCharExtent();
  // a new dialect or highlighter breaks lines after other characters
  if (wordWrapPlugin_) wordWrapPlugin_->IdentCharsChanged();
  if (dynamic_cast<TCodeCustomHighlighter*>(sender)) {
    lines_->BeginUpdate();
    TScopeExit end([this] { lines_->EndUpdate(); });
    ScanRanges();
  } else {
    Invalidate();
  }
  SizeOrFontChanged(true);
}

void TCustomCodeEdit::SetInsertCaret(TCodeEditCaretType value) {
  if (insertCaret_ == value) return;
  insertCaret_ = value;
  InitializeCaret();
}

void TCustomCodeEdit::SetOverwriteCaret(TCodeEditCaretType value) {
  if (overwriteCaret_ == value) return;
  overwriteCaret_ = value;
  InitializeCaret();
}

void TCustomCodeEdit::SetInsertMode(bool value) {
  if (insertMode_ == value) return;
  insertMode_ = value;
  InitializeCaret();
  StatusChanged(scInsertMode);
}

void TCustomCodeEdit::SetKeystrokes(TCodeEditKeyStrokes* value) {
  if (!value)
    keystrokes_->Clear();
  else
    keystrokes_->Assign(value);
}

void TCustomCodeEdit::SetDefaultKeystrokes() {
  keystrokes_->ResetDefaults();
}

void TCustomCodeEdit::SetLines(TStrings* value) {
  if (HandleAllocated())
    lines_->Assign(value);
  else
    lines_->Assign(value);
}

void TCustomCodeEdit::SetMaxScrollWidth(int value) {
  value = std::clamp(value, 1, INT_MAX - 1);
  if (maxScrollWidth_ == value) return;
  maxScrollWidth_ = value;
  if (options_.Contains(eoScrollPastEol)) UpdateScrollBars();
}

void TCustomCodeEdit::SetMaxUndo(int value) {
  if (value < 0) return;
  undoList_->SetMaxUndoActions(value);
  redoList_->SetMaxUndoActions(value);
}

void TCustomCodeEdit::SetModified(bool value) {
  if (modified_ == value) return;
  modified_ = value;
  if (options_.Contains(eoGroupUndo) && !value && undoList_->CanUndo()) undoList_->AddGroupBreak();
  undoList_->MarkTopAsUnmodified(!value);
  StatusChanged(scModified);
}

void TCustomCodeEdit::SetOptions(TCodeEditorOptions value) {
  if (options_ == value) return;
  TCodeEditorOptions old = options_;
  if (!old.Contains(eoScrollPastEol)) SetLeftChar(leftChar_);
  if (!old.Contains(eoScrollPastEof)) SetTopLine(topLine_);
  auto differs = [&](TCodeEditorOption o) { return old.Contains(o) != value.Contains(o); };
  bool updateScroll = differs(eoDisableScrollArrows) || differs(eoHideShowScrollbars) ||
                      differs(eoScrollPastEof) || differs(eoScrollPastEol);
  options_ = value;
  SetCaretXY(CaretXY());
  if (value.Contains(eoScrollPastEol)) {
    TBufferCoord b = blockBegin_, e = blockEnd_;
    SetBlockBegin(b);
    SetBlockEnd(e);
  }
  if (old.Contains(eoDropFiles) != value.Contains(eoDropFiles))
    AcceptDroppedFiles(value.Contains(eoDropFiles));
  bool special = value.Contains(eoShowSpecialChars);
  if (special != showSpecialChars_) {
    showSpecialChars_ = special;
    Invalidate();
  }
  if (updateScroll) UpdateScrollBars();
}

void TCustomCodeEdit::SetReadOnlyVirtual(bool value) {
  if (readOnly_ == value) return;
  readOnly_ = value;
  StatusChanged(scReadOnly);
}

void TCustomCodeEdit::SetRightEdge(int value) {
  if (rightEdge_ == value) return;
  rightEdge_ = value;
  Invalidate();
}

void TCustomCodeEdit::SetRightEdgeColor(TColor value) {
  if (rightEdgeColor_ == value) return;
  rightEdgeColor_ = value;
  if (HandleAllocated()) {
    int64_t x = textOffset_ + static_cast<int64_t>(rightEdge_) * charWidth_;
    int left = static_cast<int>(std::clamp<int64_t>(x - 1, INT_MIN / 2, INT_MAX / 2));
    InvalidateRect(Rect(left, 0, left + 3, ClientHeight()), false);
  }
}

void TCustomCodeEdit::SetScrollBars(TScrollStyle value) {
  if (scrollBars_ == value) return;
  scrollBars_ = value;
  UpdateScrollBars();
  Invalidate();
}

void TCustomCodeEdit::SetSearchEngine(TCodeEditSearchCustom* value) {
  if (searchEngine_ == value) return;
  if (searchEngine_) searchEngine_->RemoveFreeNotification(this);
  searchEngine_ = value;
  if (value) value->FreeNotification(this);
}

void TCustomCodeEdit::SetSelectionMode(TCodeSelectionMode value) {
  if (selectionMode_ == value) return;
  // a block shown in the old mode goes even when the new mode shows none
  const bool shown = SelAvail();
  selectionMode_ = value;
  // a block may reach past the ends of its lines, a normal selection may not
  blockBegin_ = ClampBlockPos(blockBegin_);
  blockEnd_ = ClampBlockPos(blockEnd_);
  if (shown || SelAvail()) Invalidate();
  StatusChanged(scSelection);
}

void TCustomCodeEdit::SetHideSelection(bool value) {
  if (hideSelection_ == value) return;
  hideSelection_ = value;
  InvalidateSelection();
}

void TCustomCodeEdit::SetTabWidth(int value) {
  value = std::clamp(value, 1, 256);
  if (tabWidth_ == value) return;
  tabWidth_ = value;
  lines_->SetTabWidth(value);
  Invalidate();
  if (wordWrapPlugin_) {
    wordWrapPlugin_->Reset();
    InvalidateGutter();
    UpdateScrollBars();  // the lines wrap to other rows: so many more or fewer of them
    SetTopLine(topLine_);
  }
}

void TCustomCodeEdit::SetWordWrap(bool value) {
  if (WordWrap() == value) return;
  Invalidate();
  if (value) {
    wordWrapPlugin_ = std::make_unique<TCodeWordWrapPlugin>(this);
    leftChar_ = 1;
    textOffset_ = gutterWidth_ + 2;
  } else {
    wordWrapPlugin_.reset();
  }
  UpdateScrollBars();
  if (options_.Contains(eoScrollPastEol)) {
    SetCaretXY(CaretXY());
    TBufferCoord b = blockBegin_, e = blockEnd_;
    SetBlockBegin(b);
    SetBlockEnd(e);
  }
  SetTopLine(topLine_);  // the text has other rows now
  EnsureCursorPosVisible();
}

void TCustomCodeEdit::AddPlugin(std::unique_ptr<TCodeEditPlugin> plugin) {
  plugins_.push_back(std::move(plugin));
}

void TCustomCodeEdit::AddFocusControl(TWinControl* control) {
  focusList_.emplace_back(control);
}

void TCustomCodeEdit::RemoveFocusControl(TWinControl* control) {
  std::erase_if(focusList_, [&](const auto& c) { return !c || c.Get() == control; });
}

void TCustomCodeEdit::RegisterCommandHandler(THookedCommandEvent handler, const void* owner,
                                             void* handlerData) {
  if (!handler) return;
  for (const auto& e : hookedCommandHandlers_)
    if (e.Owner == owner) return;
  hookedCommandHandlers_.push_back({std::move(handler), owner, handlerData});
}

void TCustomCodeEdit::UnregisterCommandHandler(const void* owner) {
  std::erase_if(hookedCommandHandlers_, [&](const THookEntry& e) { return e.Owner == owner; });
}

// ------------------------------------------------------------------ text

std::string TCustomCodeEdit::GetText() const {
  return lines_->Text();
}

void TCustomCodeEdit::SetTextInternal(const std::string& value) {
  lines_->SetText(value);
}

std::string TCustomCodeEdit::LineText() const {
  if (caretY_ >= 1 && caretY_ <= lines_->Count()) return Utf32ToUtf8(Line32(caretY_));
  return std::string();
}

void TCustomCodeEdit::SetLineText(const std::string& value) {
  if (caretY_ < 1 || caretY_ > std::max(1, lines_->Count())) return;
  if (caretY_ > lines_->Count())
    lines_->Add(value);
  else
    lines_->Put(caretY_ - 1, value);
}

const std::u32string& TCustomCodeEdit::Line32(int line) const {
  return lines_->Line32(line - 1);
}

// ------------------------------------------------------------------ line buffer notices

void TCustomCodeEdit::LinesChanging() {
  stateFlags_ |= sfLinesChanging;
}

void TCustomCodeEdit::LinesChanged(TObject*) {
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfLinesChanging);
  KeepInsideText();
  if (!HandleAllocated()) return;
  UpdateScrollBars();
  SetBlockBegin(CaretXY());
  std::vector<TRect> invalid;
  invalid.swap(invalidateRects_);
  for (const TRect& r : invalid) InvalidateRect(r, false);
  if (gutter_->ShowLineNumbers() && gutter_->AutoSize()) gutter_->AutoSizeDigitCount(lines_->Count());
  SetTopLine(topLine_);
}

void TCustomCodeEdit::KeepInsideText() {
  if (paintLock_ > 0) {
    insideTextPending_ = true;  // the outermost paint lock puts them back
    return;
  }
  IncPaintLock();
  TScopeExit unlock{[this] { DecPaintLock(); }};
  PutInsideText();
}

void TCustomCodeEdit::PutInsideText() {
  insideTextPending_ = false;
  // only a caret outside moves: placing it again would also reset the column vertical moves keep
  TBufferCoord c = CaretXY();
  int lines = std::max(lines_->Count(), 1);
  bool autoSize = options_.Contains(eoScrollPastEol) && options_.Contains(eoAutoSizeMaxScrollWidth);
  if (c.Line < 1 || c.Line > lines || c.Char < 1 ||
      (!autoSize && c.Char > MaxCaretChar(std::clamp(c.Line, 1, lines))))
    MoveCaretTo(false, c);
  TBufferCoord b = ClampBlockPos(blockBegin_), e = ClampBlockPos(blockEnd_);
  if (b != blockBegin_ || e != blockEnd_) {
    InvalidateSelection();
    blockBegin_ = b;
    blockEnd_ = e;
    InvalidateSelection();
    statusChanges_ |= scSelection;
  }
  SetTopLine(topLine_);
}

void TCustomCodeEdit::ListCleared() {
  if (wordWrapPlugin_) wordWrapPlugin_->Reset();
  undoList_->Clear();
  redoList_->Clear();
  invalidateRects_.clear();
  Invalidate();
  caretX_ = caretY_ = lastCaretX_ = 1;
  blockBegin_ = blockEnd_ = {1, 1};
  // TopLine and LeftChar start over
  topLine_ = 1;
  leftChar_ = 1;
  textOffset_ = gutterWidth_ + 2;
  stateFlags_ |= sfCaretChanged | sfScrollbarChanged;
  StatusChanged(scAll);
}

void TCustomCodeEdit::ListDeleted(int index, int count) {
  if (highlighter_ && lines_->Count() > 0) ScanFrom(index);
  if (wordWrapPlugin_) wordWrapPlugin_->LinesDeleted(index, count);
  InvalidateLines(index + 1, INT_MAX);
  InvalidateGutterLines(index + 1, INT_MAX);
}

void TCustomCodeEdit::ListInserted(int index, int count) {
  if (highlighter_ && lines_->Count() > 0) {
    // each scan goes on after the last line it scanned, until it passes the inserted lines
    int next = index;
    while (next < index + count && next < lines_->Count()) next = ScanFrom(next) + 1;
  }
  if (wordWrapPlugin_) wordWrapPlugin_->LinesInserted(index, count);
  InvalidateLines(index + 1, INT_MAX);
  InvalidateGutterLines(index + 1, INT_MAX);
  if (options_.Contains(eoAutoSizeMaxScrollWidth)) {
    // every inserted line counts: a text set whole comes as one insertion
    int len = 0;
    for (int i = index; i < index + count && i < lines_->Count(); ++i)
      len = std::max(len, lines_->ExpandedStringLength(i));
    if (len > maxScrollWidth_) SetMaxScrollWidth(len);
  }
}

void TCustomCodeEdit::ListPutted(int index, int count) {
  // a wrapped line that gains or loses rows moves every row below it, text and gutter; otherwise
  // only its own rows and those of the lines whose range state changed with it repaint
  const bool rowsMoved = wordWrapPlugin_ && wordWrapPlugin_->LinesPutted(index, count) != 0;
  if (rowsMoved) InvalidateGutterLines(index + 1, INT_MAX);
  int endLine = index + 1;
  if (highlighter_) endLine = std::max(ScanFrom(index) + 1, index + count);
  if (rowsMoved) endLine = INT_MAX;
  InvalidateLines(index + 1, endLine);
  if (options_.Contains(eoAutoSizeMaxScrollWidth)) {
    int len = lines_->ExpandedStringLength(index);
    if (len > maxScrollWidth_) SetMaxScrollWidth(len);
  }
}

int TCustomCodeEdit::ScanFrom(int index) {
  if (!highlighter_ || index >= lines_->Count()) return index;
  if (index < 0) index = 0;
  if (index == 0)
    highlighter_->ResetRange();
  else
    highlighter_->SetRange(lines_->Ranges(index - 1));
  for (;;) {
    scanPoints_.ScanToEol(highlighter_, lines_, index);
    int32_t range = highlighter_->GetRange();
    if (lines_->Ranges(index) == range) break;
    lines_->SetRanges(index, range);
    if (++index >= lines_->Count()) {
      --index;
      break;
    }
  }
  return index;
}

void TCustomCodeEdit::ScanRanges() {
  if (!highlighter_ || lines_->Count() == 0) return;
  highlighter_->ResetRange();
  for (int i = 0; i < lines_->Count(); ++i) {
    scanPoints_.ScanToEol(highlighter_, lines_, i);
    lines_->SetRanges(i, highlighter_->GetRange());
  }
}

void TCustomCodeEdit::DoLinesInserted(int firstLine, int count) {
  for (int i = 0; i < markList_->Count(); ++i) {
    TCodeEditMark* m = markList_->Items(i);
    if (m->Line() >= firstLine) m->SetLine(m->Line() + count);
  }
  for (auto& p : plugins_) p->LinesInserted(firstLine, count);
}

void TCustomCodeEdit::DoLinesDeleted(int firstLine, int count) {
  for (int i = 0; i < markList_->Count(); ++i) {
    TCodeEditMark* m = markList_->Items(i);
    if (m->Line() >= firstLine + count)
      m->SetLine(m->Line() - count);
    else if (m->Line() > firstLine)
      m->SetLine(firstLine);
  }
  for (auto& p : plugins_) p->LinesDeleted(firstLine, count);
}

// ------------------------------------------------------------------ paint lock and status

void TCustomCodeEdit::IncPaintLock() {
  ++paintLock_;
}

void TCustomCodeEdit::DecPaintLock() {
  if (paintLock_ <= 0) throw Exception("Assertion failure");
  // every change is done: caret, block and top line back inside the text
  if (paintLock_ == 1) PutInsideText();
  if (--paintLock_ > 0 || !HandleAllocated()) {
    if (paintLock_ == 0 && statusChanges_ != 0) DoOnStatusChange(statusChanges_);
    return;
  }
  if (stateFlags_ & sfScrollbarChanged) UpdateScrollBars();
  if (wordWrapPlugin_ && (statusChanges_ & (scCaretX | scCaretY))) {
    TDisplayCoord vp = DisplayXY();
    if (vp.Column > charsInWindow_ + 1 && RowToLine(vp.Row + 1) == caretY_) {
      if (caretAtEndOfRow_)
        caretAtEndOfRow_ = false;
      else
        SetCaretXY(DisplayToBufferPos({1, vp.Row + 1}));
    }
    lastCaretX_ = DisplayX();
  }
  if (stateFlags_ & sfCaretChanged) UpdateCaret();
  if (statusChanges_ != 0) DoOnStatusChange(statusChanges_);
}

void TCustomCodeEdit::StatusChanged(TCodeStatusChanges changes) {
  statusChanges_ |= changes;
  if (paintLock_ == 0) DoOnStatusChange(statusChanges_);
}

// ------------------------------------------------------------------ event firers

void TCustomCodeEdit::DoChange() {
  InvokeEvent(OnChange, this);
}

void TCustomCodeEdit::DoOnClearBookmark(TCodeEditMark*& mark) {
  InvokeEvent(OnClearBookmark, this, mark);
}

void TCustomCodeEdit::DoOnPlaceBookmark(TCodeEditMark*& mark) {
  InvokeEvent(OnPlaceBookmark, this, mark);
}

void TCustomCodeEdit::DoOnCommandProcessed(TCodeEditorCommand command, char32_t aChar, void* data) {
  InvokeEvent(OnCommandProcessed, this, command, aChar, data);
}

void TCustomCodeEdit::DoOnProcessCommand(TCodeEditorCommand& command, char32_t& aChar, void* data) {
  if (command < ecUserFirst) {
    InvokeEvent(OnProcessCommand, this, command, aChar, data);
  } else {
    InvokeEvent(OnProcessUserCommand, this, command, aChar, data);
  }
}

void TCustomCodeEdit::DoOnPaint() {
  if (!OnPaint) return;
  Canvas()->Font()->Assign(Font());
  Canvas()->Brush()->SetColor(Color());
  OnPaint(this, Canvas());
}

void TCustomCodeEdit::DoOnPaintTransientEx(TTransientType transientType, bool lock) {
  bool fire = false;
  if (lock) {
    if (transientType == ttBefore) {
      fire = paintTransientLock_ == 0;
      ++paintTransientLock_;
    } else {
      --paintTransientLock_;
      fire = paintTransientLock_ == 0;
    }
  } else {
    fire = paintTransientLock_ == 0;
  }
  if (!fire || !OnPaintTransient || !HandleAllocated()) return;
  Canvas()->Font()->Assign(Font());
  Canvas()->Brush()->SetColor(Color());
  HideCaretNow();
  TScopeExit show([this] { UpdateCaret(); });
  OnPaintTransient(this, Canvas(), transientType);
}

TCodeReplaceAction TCustomCodeEdit::DoOnReplaceText(const std::string& search, const std::string& replace,
                                                    int line, int column) {
  TCodeReplaceAction action = raCancel;
  InvokeEvent(OnReplaceText, this, search, replace, line, column, action);
  return action;
}

bool TCustomCodeEdit::DoOnSpecialLineColors(int line, TColor& foreground, TColor& background) {
  bool special = false;
  InvokeEvent(OnSpecialLineColors, this, line, special, foreground, background);
  return special;
}

void TCustomCodeEdit::DoOnStatusChange(TCodeStatusChanges changes) {
  InvokeEvent(OnStatusChange, this, changes);
  statusChanges_ = 0;
}

// ------------------------------------------------------------------ component and window

void TCustomCodeEdit::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == searchEngine_) searchEngine_ = nullptr;
  if (highlighter_ && component == static_cast<TComponent*>(highlighter_)) {
    // the highlighter is being destroyed: only the reference is dropped
    highlighter_ = nullptr;
    if (!destroying_) HighlighterAttrChanged(nullptr);
  }
  if (component && component == static_cast<TComponent*>(bookMarkOpt_->BookmarkImages())) {
    bookMarkOpt_->SetBookmarkImages(nullptr);
    InvalidateGutter();
  }
}

namespace {

// The bindings of `from` that `in` has no equal of.
void Difference(TCodeEditKeyStrokes* from, TCodeEditKeyStrokes* in, TCodeEditKeyStrokes* out) {
  for (int i = 0; i < from->Count(); ++i) {
    TCodeEditKeyStroke* k = from->Items(i);
    bool found = false;
    for (int j = 0; j < in->Count() && !found; ++j) found = in->Items(j)->SameBinding(*k);
    if (!found) out->Add()->Assign(k);
  }
}

}  // namespace

void TCustomCodeEdit::DefineProperties(TFiler* filer) {
  TCustomControl::DefineProperties(filer);
  auto defaults = std::make_shared<TCodeEditKeyStrokes>(nullptr);
  if (auto* ancestor = dynamic_cast<TCustomCodeEdit*>(filer->Ancestor()))
    defaults->Assign(ancestor->Keystrokes());
  else
    defaults->ResetDefaults();
  bool differs = defaults->Count() != keystrokes_->Count();
  for (int i = 0; i < keystrokes_->Count() && !differs; ++i)
    differs = !keystrokes_->Items(i)->SameBinding(*defaults->Items(i));
  filer->DefineProperty(
      "RemovedKeystrokes",
      [this](TReader* r) {
        if (r->NextValue() != vaCollection) return;
        TCodeEditKeyStrokes removed(nullptr);
        r->ReadCollection(&removed);
        for (int i = 0; i < removed.Count(); ++i)
          for (int j = keystrokes_->Count() - 1; j >= 0; --j)
            if (keystrokes_->Items(j)->SameBinding(*removed.Items(i))) keystrokes_->Delete(j);
      },
      [this, defaults](TWriter* w) {
        TCodeEditKeyStrokes removed(nullptr);
        Difference(defaults.get(), keystrokes_.get(), &removed);
        w->WriteCollection(&removed);
      },
      differs);
  filer->DefineProperty(
      "AddedKeystrokes",
      [this](TReader* r) {
        if (r->NextValue() != vaCollection) return;
        TCodeEditKeyStrokes added(nullptr);
        r->ReadCollection(&added);
        for (int i = 0; i < added.Count(); ++i) keystrokes_->Add()->Assign(added.Items(i));
      },
      [this, defaults](TWriter* w) {
        TCodeEditKeyStrokes added(nullptr);
        Difference(keystrokes_.get(), defaults.get(), &added);
        w->WriteCollection(&added);
      },
      differs);
}

// The platform's copy, paste and select-all actions act on the focused editor; the other edit
// actions, and those bound to one edit control, are the platform's.
bool TCustomCodeEdit::ExecuteAction(TBasicAction* action) {
  auto* edit = dynamic_cast<TEditAction*>(action);
  if (!edit || edit->Control() || !Focused()) return TCustomControl::ExecuteAction(action);
  if (dynamic_cast<TEditCopy*>(action)) {
    CopyToClipboard();
  } else if (dynamic_cast<TEditPaste*>(action)) {
    PasteFromClipboard();
  } else if (dynamic_cast<TEditSelectAll*>(action)) {
    SelectAll();
  } else {
    return TCustomControl::ExecuteAction(action);
  }
  return true;
}

bool TCustomCodeEdit::UpdateAction(TBasicAction* action) {
  auto* edit = dynamic_cast<TEditAction*>(action);
  if (!edit || edit->Control()) return TCustomControl::UpdateAction(action);
  if (!Focused()) return false;
  if (dynamic_cast<TEditCopy*>(action))
    edit->SetEnabled(SelAvail());
  else if (dynamic_cast<TEditPaste*>(action))
    edit->SetEnabled(CanPaste());
  else if (dynamic_cast<TEditSelectAll*>(action))
    edit->SetEnabled(true);
  return true;
}

void TCustomCodeEdit::Loaded() {
  TCustomControl::Loaded();
  GutterChanged();
  UpdateScrollBars();
}

void TCustomCodeEdit::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
  params.Style |= WS_CLIPCHILDREN;
  if (borderStyle_ == bsSingle) {
    if (Ctl3D()) {
      params.ExStyle |= WS_EX_CLIENTEDGE;
    } else {
      params.Style |= WS_BORDER;
    }
  }
}

void TCustomCodeEdit::CreateWnd() {
  TCustomControl::CreateWnd();
  if (options_.Contains(eoDropFiles)) AcceptDroppedFiles(true);
  SizeOrFontChanged(true);
  UpdateScrollBars();
}

void TCustomCodeEdit::DestroyWnd() {
  if (options_.Contains(eoDropFiles)) AcceptDroppedFiles(false);
  TCustomControl::DestroyWnd();
}

bool TCustomCodeEdit::CanFocus() {
  if (!TCustomControl::CanFocus()) return false;
  TCustomForm* form = GetParentForm(this);
  return form && form->Enabled() && form->Visible();
}

void TCustomCodeEdit::SetFocus() {
  std::erase_if(focusList_, [](const auto& c) { return !c; });
  if (!focusList_.empty()) {
    focusList_.back()->SetFocus();
    return;
  }
  TCustomControl::SetFocus();
}

void TCustomCodeEdit::WndProc(TMessage& message) {
  // Alt+Backspace reaches the editor only as a key-down command
  constexpr LPARAM kAltContext = 1 << 29;
  if (message.Msg == WM_SYSCHAR && message.WParam == VK_BACK && (message.LParam & kAltContext)) {
    message.Msg = 0;
    return;
  }
  TCustomControl::WndProc(message);
}

void TCustomCodeEdit::WMGetText(TMessage& message) {
  std::string text = GetText();
  size_t limit = message.WParam > 0 ? static_cast<size_t>(message.WParam) - 1 : 0;
  if (text.size() > limit) text.resize(limit);
  if (message.LParam) *reinterpret_cast<std::string*>(message.LParam) = text;
  message.Result = static_cast<LRESULT>(text.size());
}

void TCustomCodeEdit::WMSetText(TMessage& message) {
  message.Result = -1;
  try {
    SetTextInternal(message.LParam ? reinterpret_cast<const char*>(message.LParam) : "");
  } catch (...) {
    message.Result = 0;
    throw;
  }
}

void TCustomCodeEdit::WMSetFocus(TMessage&) {
  CommandProcessor(ecFocusGained, 0, nullptr);
  InitializeCaret();
  if (hideSelection_ && SelAvail()) InvalidateSelection();
}

void TCustomCodeEdit::WMKillFocus(TMessage& message) {
  TCustomControl::Dispatch(message);
  CommandProcessor(ecFocusLost, 0, nullptr);
  HideCaretNow();
  stateFlags_ &= static_cast<TCodeStateFlags>(~sfCaretVisible);
  DestroyCaret();
  if (hideSelection_ && SelAvail()) InvalidateSelection();
}

void TCustomCodeEdit::WMSize(TMessage& message) {
  TCustomControl::Dispatch(message);
  SizeOrFontChanged(false);
}

void TCustomCodeEdit::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_CANCELMODE:
      return;
    case WM_CAPTURECHANGED:
      scrollTimer_->SetEnabled(false);
      TCustomControl::Dispatch(message);
      return;
    case WM_COPY:
      CopyToClipboard();
      message.Result = 1;
      return;
    case WM_CLEAR:
      if (!ReadOnly()) SetSelText(std::string());
      return;
    case WM_CUT:
      if (!ReadOnly()) CutToClipboard();
      message.Result = 1;
      return;
    case WM_PASTE:
      if (!ReadOnly()) PasteFromClipboard();
      message.Result = 1;
      return;
    case WM_UNDO:
      Undo();
      return;
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case WM_GETDLGCODE: {
      TCustomControl::Dispatch(message);
      LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
      if (wantTabs_) code |= DLGC_WANTTAB;
      if (wantReturns_) code |= DLGC_WANTALLKEYS;
      message.Result = code;
      return;
    }
    case WM_GETTEXT:
      WMGetText(message);
      return;
    case WM_GETTEXTLENGTH:
      message.Result = static_cast<LRESULT>(GetText().size());
      return;
    case WM_SETTEXT:
      WMSetText(message);
      return;
    case WM_HSCROLL:
      WMHScroll(message);
      return;
    case WM_VSCROLL:
      WMVScroll(message);
      return;
    case WM_MOUSEWHEEL:
      ScrollByWheel(GET_WHEEL_DELTA_WPARAM(message.WParam), KeysToShiftState(LOWORD(message.WParam)));
      message.Result = 0;
      return;
    case WM_SETCURSOR:
      WMSetCursor(message);
      return;
    case WM_SIZE:
      WMSize(message);
      return;
    case WM_SETFOCUS:
      WMSetFocus(message);
      return;
    case WM_KILLFOCUS:
      WMKillFocus(message);
      return;
    case WM_DROPFILES:
      WMDropFiles(message);
      return;
    case WM_IME_COMPOSITION:
      WMImeComposition(message);
      return;
    case WM_IME_NOTIFY:
      WMImeNotify(message);
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}
