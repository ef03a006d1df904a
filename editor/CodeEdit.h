// The SQL editor control: a painted control of ours that shows a line buffer with highlighting, a
// gutter and marks, and keeps a caret and a selection that keys, the mouse and commands move.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/CodeEditHighlighter.h"
#include "editor/CodeEditKbdHandler.h"
#include "editor/CodeEditKeyCmds.h"
#include "editor/CodeEditMiscClasses.h"
#include "editor/CodeEditScanPoints.h"
#include "editor/CodeEditTextBuffer.h"
#include "editor/CodeEditTextDrawer.h"
#include "editor/CodeEditTypes.h"
#include "editor/CodeEditWordWrap.h"
#include "platform/gui/Controls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Lifetime.h"

TALVIK_DECLARE_EXCEPTION(ECodeEditError, Exception);

class TCustomCodeEdit;
class THintWindow;

enum TCodeEditorOption {
  eoAltSetsColumnMode,
  eoAutoIndent,
  eoAutoSizeMaxScrollWidth,
  eoDisableScrollArrows,
  eoDragDropEditing,
  eoDropFiles,
  eoEnhanceHomeKey,
  eoGroupUndo,
  eoHalfPageScroll,
  eoHideShowScrollbars,
  eoKeepCaretX,
  eoNoCaret,
  eoNoSelection,
  eoRightMouseMovesCursor,
  eoScrollByOneLess,
  eoScrollHintFollows,
  eoScrollPastEof,
  eoScrollPastEol,
  eoShowScrollHint,
  eoShowSpecialChars,
  eoSmartTabDelete,
  eoSmartTabs,
  eoSpecialLineDefaultFg,
  eoTabIndent,
  eoTabsToSpaces,
  eoTrimTrailingSpaces
};
using TCodeEditorOptions = TSet<TCodeEditorOption>;
constexpr TCodeEditorOptions kCodeEditDefaultOptions{
    eoAutoIndent,     eoDragDropEditing, eoGroupUndo,    eoScrollPastEol,     eoShowScrollHint,
    eoSmartTabDelete, eoSmartTabs,       eoTabsToSpaces, eoTrimTrailingSpaces};

enum TCodeEditCaretType : uint8_t { ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock };
enum TScrollHintFormat : uint8_t { shfTopLineOnly, shfTopToBottom };
enum TCodeReplaceAction : uint8_t { raCancel, raSkip, raReplace, raReplaceAll };
enum TTransientType : uint8_t { ttBefore, ttAfter };

using TCodeStatusChanges = uint16_t;
constexpr TCodeStatusChanges scAll = 1, scCaretX = 2, scCaretY = 4, scLeftChar = 8, scTopLine = 16,
                             scInsertMode = 32, scModified = 64, scSelection = 128, scReadOnly = 256;

using TCodeStateFlags = uint16_t;
constexpr TCodeStateFlags sfCaretChanged = 1, sfScrollbarChanged = 2, sfLinesChanging = 4,
                          sfIgnoreNextChar = 8, sfCaretVisible = 16, sfDblClicked = 32,
                          sfPossibleGutterClick = 64, sfWaitForDragging = 128, sfInsideRedo = 256,
                          sfGutterDragging = 512;

// ------------------------------------------------------------------ marks

class TCodeEditMark {
 public:
  explicit TCodeEditMark(TCustomCodeEdit* owner);
  virtual ~TCodeEditMark() = default;

  virtual TCustomCodeEdit* GetEdit();
  virtual void SetColumn(int value) { column_ = value; }
  virtual void SetImageIndex(int value);
  virtual void SetLine(int value);

  int Line() const { return line_; }
  int Column() const { return column_; }
  int ImageIndex() const { return imageIndex_; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  bool InternalImage() const { return internalImage_; }
  void SetInternalImage(bool value);
  int BookmarkNumber() const { return bookmarkNumber_; }
  void SetBookmarkNumber(int value) { bookmarkNumber_ = value; }
  bool IsBookmark() const { return bookmarkNumber_ >= 0; }

 private:
  void RepaintLine(int line);

  int line_ = 0;
  int column_ = 0;
  int imageIndex_ = 0;
  TCustomCodeEdit* edit_;
  bool visible_ = false;
  bool internalImage_ = false;
  int bookmarkNumber_ = -1;
};

constexpr int kMaxMarksPerLine = 16;
using TCodeEditMarks = std::array<TCodeEditMark*, kMaxMarksPerLine>;

// The marks of one editor; the list owns them.
class TCodeEditMarkList : public TObject {
  TALVIK_CLASS(TCodeEditMarkList, TObject)
  explicit TCodeEditMarkList(TCustomCodeEdit* owner) : edit_(owner) {}
  ~TCodeEditMarkList() override;

  void Add(TCodeEditMark* item);
  void Remove(TCodeEditMark* item);  // frees nothing: the caller owns the removed mark again
  bool Contains(const TCodeEditMark* item) const;
  int Count() const { return static_cast<int>(items_.size()); }
  TCodeEditMark* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  void GetMarksForLine(int line, TCodeEditMarks& marks) const;
  TCustomCodeEdit* Edit() const { return edit_; }

  TNotifyEvent OnChange;

 private:
  TCustomCodeEdit* edit_;
  std::vector<TCodeEditMark*> items_;
};

// ------------------------------------------------------------------ plug-ins

// Told of inserted and deleted lines and given the canvas after each paint.
class TCodeEditPlugin {
 public:
  virtual ~TCodeEditPlugin() = default;
  virtual void AfterPaint(TCanvas* /*canvas*/, const TRect& /*clip*/, int /*firstLine*/, int /*lastLine*/) {}
  virtual void LinesInserted(int /*firstLine*/, int /*count*/) {}
  virtual void LinesDeleted(int /*firstLine*/, int /*count*/) {}
};

// ------------------------------------------------------------------ events

using TPlaceMarkEvent = std::function<void(TObject* sender, TCodeEditMark*& mark)>;
using TProcessCommandEvent =
    std::function<void(TObject* sender, TCodeEditorCommand& command, char32_t& aChar, void* data)>;
using TContextHelpEvent = std::function<void(TObject* sender, const std::string& word)>;
using TDropFilesEvent = std::function<void(TObject* sender, int x, int y, TStrings* files)>;
using TGutterClickEvent =
    std::function<void(TObject* sender, TMouseButton button, int x, int y, int line, TCodeEditMark* mark)>;
using TGutterGetTextEvent = std::function<void(TObject* sender, int line, std::string& text)>;
using TGutterPaintEvent = std::function<void(TObject* sender, int line, int x, int y)>;
using TPaintEvent = std::function<void(TObject* sender, TCanvas* canvas)>;
using TReplaceTextEvent =
    std::function<void(TObject* sender, const std::string& search, const std::string& replace, int line,
                       int column, TCodeReplaceAction& action)>;
using TScrollEvent = std::function<void(TObject* sender, TScrollBarKind scrollBar)>;
using TSpecialLineColorsEvent =
    std::function<void(TObject* sender, int line, bool& special, TColor& fg, TColor& bg)>;
using TStatusChangeEvent = std::function<void(TObject* sender, TCodeStatusChanges changes)>;
using TPaintTransient = std::function<void(TObject* sender, TCanvas* canvas, TTransientType transientType)>;
// A command hook: called before (AfterProcessing false) and after a command is executed.
using THookedCommandEvent =
    std::function<void(TObject* sender, bool afterProcessing, bool& handled, TCodeEditorCommand& command,
                       char32_t& aChar, void* data, void* handlerData)>;

// The search engine a form may attach; the editor only holds it.
class TCodeEditSearchCustom : public TComponent {
  TALVIK_CLASS(TCodeEditSearchCustom, TComponent)
  explicit TCodeEditSearchCustom(TComponent* owner) : TComponent(owner) {}
};

// The clipboard format that carries the selection mode with the text.
UINT CodeEditClipboardFormat();

// ------------------------------------------------------------------ the control

class TCustomCodeEdit : public TCustomControl, public ICodeEditWrapHost {
  TALVIK_CLASS(TCustomCodeEdit, TCustomControl)
  explicit TCustomCodeEdit(TComponent* owner);
  ~TCustomCodeEdit() override;

  // --- text
  TCodeEditStringList* Lines() const override { return lines_; }
  void SetLines(TStrings* value);
  std::string LineText() const;
  void SetLineText(const std::string& value);
  bool Modified() const { return modified_; }
  void SetModified(bool value);

  // --- painting
  void IncPaintLock();
  void DecPaintLock();
  int PaintLock() const { return paintLock_; }
  void InvalidateLine(int line);
  void InvalidateLines(int firstLine, int lastLine);
  void InvalidateGutter();
  void InvalidateGutterLines(int firstLine, int lastLine);
  virtual void InvalidateRect(const TRect& rect, bool erase);
  void InvalidateSelection();
  int CharWidth() const { return charWidth_; }
  int LineHeight() const { return lineHeight_; }
  int CharsInWindow() const override { return charsInWindow_; }
  int LinesInWindow() const { return linesInWindow_; }
  int GutterWidth() const { return gutterWidth_; }
  int64_t TextOffset() const { return textOffset_; }
  TheTextDrawer* TextDrawer() const { return textDrawer_.get(); }

  // --- positions
  TBufferCoord CaretXY() const { return {caretX_, caretY_}; }
  void SetCaretXY(const TBufferCoord& value) { SetCaretXYVirtual(value); }
  int CaretX() const { return caretX_; }
  void SetCaretX(int value) { SetCaretXY({value, caretY_}); }
  int CaretY() const { return caretY_; }
  void SetCaretY(int value) { SetCaretXY({caretX_, value}); }
  TDisplayCoord DisplayXY() const { return BufferToDisplayPos(CaretXY()); }
  int DisplayX() const { return DisplayXY().Column; }
  int DisplayY() const { return DisplayXY().Row; }
  int LastCaretX() const { return lastCaretX_; }
  bool CaretAtEndOfRow() const { return caretAtEndOfRow_; }
  int TopLine() const { return topLine_; }
  void SetTopLine(int value);
  int LeftChar() const { return leftChar_; }
  void SetLeftChar(int value);
  int DisplayLineCount() const;
  int RowToLine(int row) const;
  int LineToRow(int line) const;
  TDisplayCoord BufferToDisplayPos(const TBufferCoord& p) const;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& p) const;
  TDisplayCoord PixelsToRowColumn(int x, int y) const;
  TDisplayCoord PixelsToNearestRowColumn(int x, int y) const;
  TPoint RowColumnToPixels(const TDisplayCoord& p) const;
  void ComputeCaret(int x, int y);
  void EnsureCursorPosVisible() { EnsureCursorPosVisibleEx(false); }
  void EnsureCursorPosVisibleEx(bool forceToMiddle);
  virtual void MoveCaretTo(bool ensureVisible, const TBufferCoord& value);
  virtual void SetCaretAndClearSelection(const TBufferCoord& value);
  void MoveCaretAndSelection(const TBufferCoord& from, const TBufferCoord& to, bool selectionCommand);
  void MoveCaretHorz(int dx, bool selectionCommand);
  void MoveCaretVert(int dy, bool selectionCommand);

  // --- selection
  TBufferCoord BlockBegin() const;  // the lesser end
  TBufferCoord BlockEnd() const;    // the greater end
  TBufferCoord RawBlockBegin() const { return blockBegin_; }
  TBufferCoord RawBlockEnd() const { return blockEnd_; }
  void SetBlockBegin(TBufferCoord value);
  void SetBlockEnd(TBufferCoord value);
  void SetCaretAndSelection(const TBufferCoord& caret, const TBufferCoord& blockBegin,
                            const TBufferCoord& blockEnd);
  bool SelAvail() const;
  bool IsPointInSelection(const TBufferCoord& value) const;
  std::string SelText() const;
  std::string SelTextEx(TCodeSelectionMode mode, bool trimTrailing) const;
  // The selected text as lines, each exactly as the buffer holds it.
  std::vector<std::u32string> SelectedLines(TCodeSelectionMode mode, bool trimTrailing) const;
  int SelStart() const;
  int SelLength() const;
  void SelectAll();
  TCodeSelectionMode SelectionMode() const { return selectionMode_; }
  void SetSelectionMode(TCodeSelectionMode value);
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool CanPaste();
  // Replaces the selection by `value` in the selection mode, recorded as one undo step.
  void SetSelText(const std::string& value);
  // Replaces the selection by `text` inserted in `mode`, without recording (column pieces and the
  // lines they add are recorded when `recordPieces`). Answers where the inserted text ends: the
  // caret goes there too, but is held to the columns it may stand in.
  TBufferCoord SetSelTextPrimitive(TCodeSelectionMode mode, std::u32string_view text, bool recordPieces);
  // The same with the text given as its lines (none, or one empty line, for no text).
  TBufferCoord SetSelLinesPrimitive(TCodeSelectionMode mode, std::vector<std::u32string> parts,
                                    bool recordPieces);
  void ClearSelection();
  void ClearAll();
  void Undo();
  void Redo();
  bool CanUndo() const;
  bool CanRedo() const;
  void ClearUndo();
  void BeginUndoBlock();
  void EndUndoBlock();
  bool HideSelection() const { return hideSelection_; }
  void SetHideSelection(bool value);

  // --- words, brackets, marks
  TBufferCoord NextWordPos() { return NextWordPosEx(CaretXY()); }
  virtual TBufferCoord NextWordPosEx(const TBufferCoord& xy) const;
  TBufferCoord WordStart() { return WordStartEx(CaretXY()); }
  virtual TBufferCoord WordStartEx(const TBufferCoord& xy) const;
  TBufferCoord WordEnd() { return WordEndEx(CaretXY()); }
  virtual TBufferCoord WordEndEx(const TBufferCoord& xy) const;
  TBufferCoord PrevWordPos() { return PrevWordPosEx(CaretXY()); }
  virtual TBufferCoord PrevWordPosEx(const TBufferCoord& xy) const;
  std::string GetWordAtCursor() const;
  std::string GetWordAtRowCol(const TBufferCoord& xy) const;
  void SetWordBlock(TBufferCoord value);
  TCodeCharSet IdentChars() const override;
  TCodeCharSet GetIdentChars() const { return IdentChars(); }
  bool IsIdentChar(char32_t c) const;
  bool IsWordChar(char32_t c) const;
  virtual TBufferCoord GetMatchingBracket() { return GetMatchingBracketEx(CaretXY()); }
  virtual TBufferCoord GetMatchingBracketEx(const TBufferCoord& pos);
  virtual void FindMatchingBracket();
  bool GetHighlighterAttriAtRowCol(const TBufferCoord& xy, std::string& token,
                                   TCodeHighlighterAttributes*& attri);
  bool GetHighlighterAttriAtRowColEx(const TBufferCoord& xy, std::string& token, int& tokenType, int& start,
                                     TCodeHighlighterAttributes*& attri);
  void SetBookMark(int bookmark, int x, int y);
  void ClearBookMark(int bookmark);
  void GotoBookMark(int bookmark);
  bool GetBookMark(int bookmark, int& x, int& y) const;
  bool IsBookmark(int bookmark) const;
  TCodeEditMarkList* Marks() const { return markList_.get(); }
  void DoLinesInserted(int firstLine, int count);
  void DoLinesDeleted(int firstLine, int count);

  // --- commands
  virtual void CommandProcessor(TCodeEditorCommand command, char32_t aChar, void* data);
  virtual void ExecuteCommand(TCodeEditorCommand command, char32_t aChar, void* data);
  void AddKeyDownHandler(TKeyEvent handler, const void* data) {
    kbdHandler_->AddKeyDownHandler(handler, data);
  }
  void RemoveKeyDownHandler(const void* data) { kbdHandler_->RemoveKeyDownHandler(data); }
  void AddKeyPressHandler(TKeyPressEvent handler, const void* data) {
    kbdHandler_->AddKeyPressHandler(handler, data);
  }
  void RemoveKeyPressHandler(const void* data) { kbdHandler_->RemoveKeyPressHandler(data); }
  void AddMouseCursorHandler(TMouseCursorEvent handler, const void* data) {
    kbdHandler_->AddMouseCursorHandler(handler, data);
  }
  void RemoveMouseCursorHandler(const void* data) { kbdHandler_->RemoveMouseCursorHandler(data); }
  void RegisterCommandHandler(THookedCommandEvent handler, const void* owner, void* handlerData);
  void UnregisterCommandHandler(const void* owner);
  void AddPlugin(std::unique_ptr<TCodeEditPlugin> plugin);
  void AddFocusControl(TWinControl* control);
  void RemoveFocusControl(TWinControl* control);
  virtual void SetDefaultKeystrokes();

  // --- range rescans
  int ScanFrom(int index);
  void ScanRanges();

  // --- properties
  TColor ActiveLineColor() const { return activeLineColor_; }
  void SetActiveLineColor(TColor value);
  TCodeBookMarkOpt* BookMarkOptions() const { return bookMarkOpt_.get(); }
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  int ExtraLineSpacing() const { return extraLineSpacing_; }
  void SetExtraLineSpacing(int value);
  TCodeGutter* Gutter() const { return gutter_.get(); }
  void SetGutter(TCodeGutter* value) { gutter_->Assign(value); }
  TCodeCustomHighlighter* Highlighter() const { return highlighter_; }
  void SetHighlighter(TCodeCustomHighlighter* value);
  TCodeEditCaretType InsertCaret() const { return insertCaret_; }
  void SetInsertCaret(TCodeEditCaretType value);
  TCodeEditCaretType OverwriteCaret() const { return overwriteCaret_; }
  void SetOverwriteCaret(TCodeEditCaretType value);
  bool InsertMode() const { return insertMode_; }
  void SetInsertMode(bool value);
  TCodeEditKeyStrokes* Keystrokes() const { return keystrokes_.get(); }
  void SetKeystrokes(TCodeEditKeyStrokes* value);
  int MaxScrollWidth() const { return maxScrollWidth_; }
  void SetMaxScrollWidth(int value);
  int MaxUndo() const { return undoList_->MaxUndoActions(); }
  void SetMaxUndo(int value);
  TCodeEditorOptions Options() const { return options_; }
  void SetOptions(TCodeEditorOptions value);
  bool ReadOnly() const { return GetReadOnly(); }
  void SetReadOnly(bool value) { SetReadOnlyVirtual(value); }
  int RightEdge() const { return rightEdge_; }
  void SetRightEdge(int value);
  TColor RightEdgeColor() const { return rightEdgeColor_; }
  void SetRightEdgeColor(TColor value);
  TColor ScrollHintColor() const { return scrollHintColor_; }
  void SetScrollHintColor(TColor value) { scrollHintColor_ = value; }
  TScrollHintFormat ScrollHintFormat() const { return scrollHintFormat_; }
  void SetScrollHintFormat(TScrollHintFormat value) { scrollHintFormat_ = value; }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  TCodeEditSearchCustom* SearchEngine() const { return searchEngine_; }
  void SetSearchEngine(TCodeEditSearchCustom* value);
  TCodeSelectedColor* SelectedColor() const { return selectedColor_.get(); }
  void SetSelectedColor(TCodeSelectedColor* value) { selectedColor_->Assign(value); }
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int value);
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool value) { wantReturns_ = value; }
  bool WantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }
  bool WordWrap() const { return wordWrapPlugin_ != nullptr; }
  void SetWordWrap(bool value);
  TCodeGlyph* WordWrapGlyph() const { return wordWrapGlyph_.get(); }
  TCodeEditUndoList* UndoList() const { return undoList_; }
  TCodeEditUndoList* RedoList() const { return redoList_; }
  TCodeStateFlags StateFlags() const { return stateFlags_; }
  bool IsScrolling() const { return isScrolling_; }
  TCodeStatusChanges PendingStatusChanges() const { return statusChanges_; }
  void StatusChanged(TCodeStatusChanges changes);
  bool CanFocus() override;
  void SetFocus() override;

  // --- events
  TNotifyEvent OnChange;
  TPlaceMarkEvent OnClearBookmark;
  TProcessCommandEvent OnCommandProcessed;
  TDropFilesEvent OnDropFiles;
  TGutterClickEvent OnGutterClick;
  TMouseCursorEvent OnMouseCursor;
  TPaintEvent OnPaint;
  TPlaceMarkEvent OnPlaceBookmark;
  TProcessCommandEvent OnProcessCommand;
  TProcessCommandEvent OnProcessUserCommand;
  TReplaceTextEvent OnReplaceText;
  TSpecialLineColorsEvent OnSpecialLineColors;
  TContextHelpEvent OnContextHelp;
  TPaintTransient OnPaintTransient;
  TScrollEvent OnScroll;
  TGutterGetTextEvent OnGutterGetText;
  TGutterPaintEvent OnGutterPaint;
  TStatusChangeEvent OnStatusChange;

 protected:
  // --- virtual operations of the editor
  virtual void DoChange();
  virtual bool GetReadOnly() const { return readOnly_; }
  virtual void LinesChanged(TObject* sender);
  virtual void NotifyHookedCommandHandlers(bool afterProcessing, TCodeEditorCommand& command, char32_t& aChar,
                                           void* data);
  virtual void PaintGutter(const TRect& clip, int firstRow, int lastRow);
  virtual void PaintTextLines(const TRect& clip, int firstRow, int lastRow, int firstCol, int lastCol);
  virtual void SetCaretXYVirtual(const TBufferCoord& value);
  virtual void SetReadOnlyVirtual(bool value);
  virtual void UpdateMouseCursor();
  virtual void DoOnClearBookmark(TCodeEditMark*& mark);
  virtual void DoOnCommandProcessed(TCodeEditorCommand command, char32_t aChar, void* data);
  virtual void DoOnGutterClick(TMouseButton button, int x, int y);
  virtual void DoOnPaint();
  virtual void DoOnPaintTransientEx(TTransientType transientType, bool lock);
  virtual void DoOnPaintTransient(TTransientType transientType) {
    DoOnPaintTransientEx(transientType, false);
  }
  virtual void DoOnPlaceBookmark(TCodeEditMark*& mark);
  virtual void DoOnProcessCommand(TCodeEditorCommand& command, char32_t& aChar, void* data);
  virtual TCodeReplaceAction DoOnReplaceText(const std::string& search, const std::string& replace, int line,
                                             int column);
  virtual bool DoOnSpecialLineColors(int line, TColor& foreground, TColor& background);
  virtual void DoOnStatusChange(TCodeStatusChanges changes);

  // --- platform overrides
  // The key map is stored as its difference from the defaults: "RemovedKeystrokes", "AddedKeystrokes".
  void DefineProperties(TFiler* filer) override;
  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;
  bool ExecuteAction(TBasicAction* action) override;
  bool UpdateAction(TBasicAction* action) override;
  void WndProc(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Paint() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void DblClick() override;
  // Text dragged from this or another editor: accepted unless read-only, dropped as a move or a copy.
  void DragOver(TObject* source, int x, int y, TDragState state, bool& accept) override;
  void DragDrop(TObject* source, int x, int y) override;
  void DoEndDrag(TObject* target, int x, int y) override;
  std::string GetText() const override;
  void SetTextInternal(const std::string& value) override;
  void FontChanged() override;

 private:
  friend class TCodeEditMark;
  struct THookEntry {
    THookedCommandEvent Event;
    const void* Owner;
    void* Data;
  };

  // lifecycle and sizes
  void FontChangedHandler();
  void RecalcCharExtent();
  void SizeOrFontChanged(bool fontChanged);
  void GutterChanged();
  void SetGutterWidth(int value);
  void HighlighterAttrChanged(TObject* sender);
  void BookMarkOptionsChanged();
  void SelectedColorChanged();
  void MarkListChanged();
  // line buffer notices
  void LinesChanging();
  // Caret, block and top line back inside the text after the lines changed (at the end of the
  // outermost paint lock when one is open).
  void KeepInsideText();
  void PutInsideText();
  void ListCleared();
  void ListDeleted(int index, int count);
  void ListInserted(int index, int count);
  void ListPutted(int index, int count);
  // scroll bars, caret, hint
  void UpdateScrollBars();
  // The same whatever the paint lock (a paste shows or hides its bars at once).
  void UpdateScrollBarsNow();
  // False when showing or hiding the bar started a newer pass over the bars.
  bool SetScrollBar(int bar, int64_t maxValue, int page, int position, bool hideWhenFits);
  void InitializeCaret();
  void UpdateCaret();
  void HideCaretNow();
  void ScrollTimerHandler();
  void ComputeScroll(int x, int y);
  void ScrollByWheel(int delta, TShiftState shift);
  void ShowScrollHint(int thumb);
  void HideScrollHint();
  // The one scroll hint of all editors lives while any editor does, so that it goes while the
  // window system is still there (never in the program's static destruction).
  static int liveEditors_;
  static void FreeScrollHint();
  int ThumbToValue(int thumb, int64_t maxValue) const;
  // messages
  void WMHScroll(TMessage& message);
  void WMVScroll(TMessage& message);
  void WMSetCursor(TMessage& message);
  void WMSize(TMessage& message);
  void WMSetFocus(TMessage& message);
  void WMKillFocus(TMessage& message);
  void WMGetText(TMessage& message);
  void WMSetText(TMessage& message);
  void WMImeComposition(TMessage& message);
  void WMImeNotify(TMessage& message);
  void WMDropFiles(TMessage& message);
  void AcceptDroppedFiles(bool accept);
  // drag and drop of text
  TBufferCoord DragPosition(int x, int y, bool withinView) const;
  void DropText(TCustomCodeEdit* source, const TBufferCoord& dropPoint, bool move);
  // painting helpers
  TColor ColorEditorBG() const;
  void PaintLine(int line, int firstRow, int lastRow, int firstCol, int lastCol, const TRect& clip,
                 const struct TSelectionPaint& sel);
  // text helpers
  const std::u32string& Line32(int line) const;  // line counted from 1; empty outside
  bool LineWithoutTabs(int line) const;          // line counted from 1
  int LineLength(int line) const { return static_cast<int>(Line32(line).size()); }
  int MaxCaretChar(int line) const;
  TBufferCoord ClampBlockPos(TBufferCoord value) const;
  void DoHomeKey(bool selection);
  void DoEndKey(bool selection);
  void DoScrollUpDown(int delta);
  // editing
  bool ExecuteEditingCommand(TCodeEditorCommand command, char32_t aChar, void* data);
  void ProperSetLine(int index, std::u32string text);
  int LeftSpaces(std::u32string_view line, bool expandTabs) const;
  std::u32string GetLeftSpacing(int width, bool allowTabs) const;
  void EnsureLine();
  // Pads a line with blanks up to `toChar`, recorded as added white space.
  void PadLineRecorded(int line, int toChar);
  void DeleteSelectionPrimitive();
  // Inserts text at the caret in the selection mode, recorded as `kind` (with the padding and the
  // pieces of a column block recorded as they go in).
  void InsertTextRecorded(const std::vector<std::u32string>& lines, uint8_t kind);
  // The selection replaced by `lines` in the selection mode, recorded as one undo step.
  void ReplaceSelection(const std::vector<std::u32string>& lines);
  // The selected text as an undo item keeps it (see JoinUndoLines), and that text put back in place
  // of the selection without recording.
  std::string UndoText(TCodeSelectionMode mode) const;
  // Calls `piece(text, padding)` for each line's part of the selection in order: `text` as the
  // buffer holds it, then `padding` blanks; the parts are joined by line ends.
  template <typename F>
  void ForEachSelectedPiece(TCodeSelectionMode mode, bool trimTrailing, F&& piece) const;
  TBufferCoord PutBackText(TCodeSelectionMode mode, const std::string& undoText);
  void RecordInserted(uint8_t kind, const TBufferCoord& start, const TBufferCoord& end,
                      TCodeSelectionMode mode);
  // Typing stops at the widest column the caret can follow it to.
  bool PastTypingWidth() const;
  void DeleteSelectionRecorded(bool backwardsKind);
  std::string RemoveRange(const TBufferCoord& from, const TBufferCoord& to);
  void InsertCharacter(char32_t ch);
  void InsertImeString(const std::u32string& text);
  void DoBackspace();
  int IndentWidth(std::u32string_view line) const;
  int SmallerIndentAbove(int line, int width) const;
  int UnindentTarget(std::u32string_view line, size_t lead) const;
  void DoDeleteChar();
  void DoDeleteTo(TCodeEditorCommand command);
  void DoDeleteLine();
  void DoLineBreak(bool moveCaret);
  void RedoLineBreak(const TCodeEditUndoItem& item);
  void DoTab();
  void BlockLines(int& first, int& last, int& column) const;
  void DoBlockIndent(bool indent, bool widenToColumn1 = false);
  TBufferCoord MovedByIndent(TBufferCoord p, int first, int column, const std::vector<int>& shift) const;
  void ApplyUnindent(const TBufferCoord& begin, const TBufferCoord& end, std::u32string_view texts,
                     bool remove);
  bool SelIsTabBlock() const;
  bool SelIsWholeLine() const;
  void DoShiftTab();
  int SmartTabColumn(int col) const;
  int SmartBackTabColumn(int col) const;
  void DoCaseChange(TCodeEditorCommand command);
  void UpdateModified();
  void UndoRedoAdded(TObject* sender);
  void UndoItem();
  void RedoItem();
  void ReplayPlainItem(const TCodeEditUndoItem& item, TCodeEditUndoList* other);
  // Trailing blanks are cut from edited lines, but never while a change is undone or redone: the
  // records hold exactly what each change removed and inserted.
  bool TrimsTrailing() const { return options_.Contains(eoTrimTrailingSpaces) && !replaying_; }
  void ReleaseChained();

  // state, in the order of the control's own fields
  TBufferCoord blockBegin_{1, 1};
  TBufferCoord blockEnd_{1, 1};
  int caretX_ = 1;
  int lastCaretX_ = 1;
  int caretY_ = 1;
  int charsInWindow_ = 0;
  int charWidth_ = 0;
  std::unique_ptr<TFont> fontDummy_;
  int imeCount_ = 0;
  TBufferCoord dragStartCaret_{1, 1};  // where the caret was when a drag of our text began
  bool caretSteppedAside_ = false;
  bool insertMode_ = true;
  TCodeEditStringList* lines_ = nullptr;
  std::unique_ptr<TCodeEditStringList> origLines_;
  std::unique_ptr<TCodeEditUndoList> origUndoList_;
  std::unique_ptr<TCodeEditUndoList> origRedoList_;
  int linesInWindow_ = 0;
  int leftChar_ = 1;
  int maxScrollWidth_ = 1024;
  int paintLock_ = 0;
  bool readOnly_ = false;
  int rightEdge_ = 80;
  TColor rightEdgeColor_ = clSilver;
  TColor scrollHintColor_ = clInfoBk;
  TScrollHintFormat scrollHintFormat_ = shfTopLineOnly;
  TScrollStyle scrollBars_ = ssBoth;
  int lineHeight_ = 0;
  int64_t textOffset_ = 0;
  int topLine_ = 1;
  TCodeCustomHighlighter* highlighter_ = nullptr;
  std::unique_ptr<TCodeSelectedColor> selectedColor_;
  TColor activeLineColor_ = clNone;
  TCodeEditUndoList* undoList_ = nullptr;
  TCodeEditUndoList* redoList_ = nullptr;
  std::array<TCodeEditMark*, 10> bookmarks_{};
  int mouseDownX_ = 0;
  int mouseDownY_ = 0;
  std::unique_ptr<TCodeBookMarkOpt> bookMarkOpt_;
  TBorderStyle borderStyle_ = bsSingle;
  bool hideSelection_ = false;
  int wheelAccumulator_ = 0;
  TCodeEditCaretType overwriteCaret_ = ctBlock;
  TCodeEditCaretType insertCaret_ = ctVerticalLine;
  TPoint caretOffset_;
  std::unique_ptr<TCodeEditKeyStrokes> keystrokes_;
  bool modified_ = false;
  std::unique_ptr<TCodeEditMarkList> markList_;
  int extraLineSpacing_ = 0;
  TCodeSelectionMode selectionMode_ = smNormal;
  bool wantReturns_ = true;
  bool wantTabs_ = false;
  std::unique_ptr<TCodeWordWrapPlugin> wordWrapPlugin_;
  TCodeScanPoints scanPoints_;  // where the highlighter may start inside long lines
  std::unique_ptr<TCodeGlyph> wordWrapGlyph_;
  bool caretAtEndOfRow_ = false;
  std::unique_ptr<TCodeGutter> gutter_;
  int tabWidth_ = 8;
  std::unique_ptr<TheTextDrawer> textDrawer_;
  // What the text's change so far wants repainted, while lines change: the text's and the gutter's
  // rectangles kept apart, so that what lies between them is spared.
  std::vector<TRect> invalidateRects_;
  void AddInvalidRect(const TRect& r);
  TCodeStateFlags stateFlags_ = 0;
  TCodeEditorOptions options_;
  TCodeStatusChanges statusChanges_ = 0;
  WORD lastKey_ = 0;
  TShiftState lastShiftState_;
  TCodeEditSearchCustom* searchEngine_ = nullptr;
  std::vector<THookEntry> hookedCommandHandlers_;
  std::unique_ptr<TCodeEditKbdHandler> kbdHandler_;
  std::vector<TComponentRef<TWinControl>> focusList_;  // a control that goes leaves it
  std::vector<std::unique_ptr<TCodeEditPlugin>> plugins_;
  std::unique_ptr<TTimer> scrollTimer_;
  int scrollDeltaX_ = 0;
  int scrollDeltaY_ = 0;
  bool showSpecialChars_ = false;
  int paintTransientLock_ = 0;
  bool isScrolling_ = false;
  int gutterWidth_ = 0;
  std::unique_ptr<TCodeInternalImage> internalBookmarkImage_;
  bool destroying_ = false;
  bool replaying_ = false;
  // the line break a redo runs through the command processor, while it runs
  const TCodeEditUndoItem* redoLineBreak_ = nullptr;
  int caretWidth_ = 0;
  int scrollBarDepth_ = 0;
  bool insideTextPending_ = false;
  unsigned scrollBarPass_ = 0;
  int caretHeight_ = 0;
};

// The published editor.
class TCodeEdit : public TCustomCodeEdit {
  TALVIK_CLASS(TCodeEdit, TCustomCodeEdit)
  explicit TCodeEdit(TComponent* owner) : TCustomCodeEdit(owner) {}
};
