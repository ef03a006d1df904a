// A seeded random walk through a data grid on a form, as a user and the program around it would
// drive it: keys with modifiers (typing Latin and Cyrillic, moving, selecting, the clipboard, delete
// with its question), clicks, double clicks, drags and the wheel over cells, titles, the indicator
// and the filter row, the grid's options, columns added, hidden (the current one too, and the edited
// one or the filter's from the titles' right-click menu of columns while its editor holds typed
// text), renamed, moved, given edit buttons and freed, the dataset edited, reopened, disabled, freed
// and made again under the grid, sorting and filtering that re-query, texts with quotes, brackets
// and line feeds typed into the filter row, the find dialog shown modeless, exports, the grid hidden
// and shown again (with the cell editor or the filter editor up, its form's window made again and a
// column hidden meanwhile), resized and made again. After every step: no key or button is left
// held, the focused row is the current record, a shown cell editor stands on a visible column and a
// shown filter editor on a visible column's filter cell, no filter text grows past what was typed,
// the rows hold the buffered records, every selected bookmark names a record, nothing was thrown out
// of the message loop, no field of a column hidden before the step changed (also when the record is
// about to move) and no filter of one but to what was typed into it while it showed, a field the grid
// writes a text into takes only what was typed into a column while it showed that field, only while a
// visible column shows it, and a string field holds it, and every error box shows an error the user
// caused through the data (a text the walk typed or pasted that does not convert to the field of the
// column it went into, or to the kind of value the filter of a column without a field reads, a value a
// field refuses, a filter condition or, while pasting, clipboard contents that do not read); any other
// error fails the walk.
//
// "scripts/random-input <first-seed> <seeds> <steps> grid" runs longer walks (TALVIK_RANDOM_SEED,
// TALVIK_RANDOM_STEPS).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "RandomWalk.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExDataService.h"
#include "grid/DBGridExExport.h"
#include "grid/DBGridExFilter.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DBGridExFindDlg.h"
#include "grid/DBGridExImport.h"
#include "grid/DatasetFeatures.h"
#include "platform/db/DBConsts.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/ScopeExit.h"

using namespace gridtest;
using randomwalk::TWalkLog;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

namespace {

struct KeyChoice {
  WORD vk;
  char32_t ch;
};

const KeyChoice kKeys[] = {
    {'A', U'a'},     {'Z', U'з'},           {'F', U'а'},      {'B', U'B'},   {'1', U'1'},
    {'2', U'2'},     {VK_OEM_PERIOD, U'.'}, {VK_SPACE, U' '}, {VK_BACK, 8},  {VK_TAB, 9},
    {VK_RETURN, 13}, {VK_ESCAPE, 27},       {VK_LEFT, 0},     {VK_RIGHT, 0}, {VK_UP, 0},
    {VK_DOWN, 0},    {VK_HOME, 0},          {VK_END, 0},      {VK_PRIOR, 0}, {VK_NEXT, 0},
    {VK_DELETE, 0},  {VK_INSERT, 0},        {VK_F2, 0},       {'C', U'с'},   {VK_UP, 0},
    {VK_DOWN, 0},    {VK_DOWN, 0},          {VK_RIGHT, 0},    {VK_TAB, 9},   {VK_RETURN, 13},
};

// Option switches the walk flips.
const TDBGridOption kOptions[] = {
    dgEditing,     dgAlwaysShowEditor, dgTitles,       dgIndicator, dgColumnResize, dgRowSelect,
    dgMultiSelect, dgConfirmDelete,    dgCancelOnExit, dgTabs,      dgRowLines,     dgColLines};
const TDBGridExOption kOptionsEx[] = {dghFitRowHeightToText,
                                      dghAutoSortMarking,
                                      dghMultiSortMarking,
                                      dghIncSearch,
                                      dghPreferIncSearch,
                                      dghRowHighlight,
                                      dghEnterAsTab,
                                      dghClearSelection,
                                      dghTraceColSizing,
                                      dghResizeWholeRightPart,
                                      dghHighlightFocus,
                                      dghDialogFind,
                                      dghFixed3D,
                                      dghDblClickOptimizeColWidth};

// Steps from this one on are the program's calls rather than input (see GridWalk::Step).
constexpr int kFirstProgramStep = 4;
// Kinds of steps the error boxes and the hidden columns are judged by (see GridWalk::Take,
// GridWalk::ErrorBox and GridWalk::Step).
constexpr int kKeyStep = 0;
constexpr int kClickStep = 1;
constexpr int kDragStep = 2;
constexpr int kColumnStep = 6;
constexpr int kDataStep = 7;
constexpr int kClipboardStep = 8;
constexpr int kFilterRowStep = 12;
constexpr int kTitleMenuStep = 13;
constexpr int kStepKinds = 14;

// The keys of the check-box column: what a check box writes into its field, which may be any of
// them once the column shows another field.
constexpr const char* kChecked = "True";
constexpr const char* kUnchecked = "False";

const char* const kFieldNames[] = {"N", "NAME", "BORN", "SALARY", "ACTIVE", "STATUS", "NO_SUCH"};

// The texts typed into the filter row: conditions that read and ones that do not (quotes, brackets,
// a line feed, a character outside the basic plane).
const char* const kFilterTexts[] = {"а",        "1",     ">5",     "Сеанс",   "12.05.1990", "~ses",
                                    "In (1,2)", "'a''b", "x'y\"z", "(ё) [q]", "Q\nё3[хp",   "=(ёoрL",
                                    "😀",        "<>'",   "!In (",  ", ,"};

// The errors the user causes through the data, which an error box may show: a text that does not
// convert to the field's type, a value the field refuses (the dataset's messages, by their formats),
// a filter condition that does not read and clipboard contents that do not read (by the beginnings of
// the messages). A conversion names its text, which must be one the walk entered.
const char* const kConversionErrors[] = {SInvalidIntegerValue, SInvalidFloatValue, SInvalidBoolValue};
const char* const kDataErrors[] = {SFieldRequired, SFieldRangeError, SFieldValueError, SFieldValueTooLong,
                                   SBcdOverflow};
const char* const kFilterErrors[] = {"Quote is absent: ",
                                     "'(' expected: ",
                                     "')' expected: ",
                                     "Unexpected expression after operator: ",
                                     "Unexpected expression before Null: ",
                                     "Error in expression: ",
                                     "Unexpected AND or OR: ",
                                     "Incorrect expression: "};
const char* const kPasteErrors[] = {"TDBGridExImportAsText.CheckState: ",
                                    "TDBGridExImportAsVCLDBIF.ReadPrefix: "};

// Whether Text is Format with any text (line feeds too) in place of each "%s", "%d" and "%g"; the
// message may carry a component's name in front.
bool MatchesFormat(const std::string& Text, std::string_view Format) {
  // the literal parts between the placeholders
  std::vector<std::string_view> parts;
  size_t from = 0;
  for (size_t i = 0; i + 1 < Format.size(); ++i) {
    if (Format[i] != '%') continue;
    parts.push_back(Format.substr(from, i - from));
    from = ++i + 1;
  }
  parts.push_back(Format.substr(from));
  // the parts in order, the first at the start and the last at the end; the leftmost place of each
  // middle part leaves the most room to those after it
  auto matches = [&](std::string_view t) {
    if (parts.size() == 1) return t == parts.front();
    if (!t.starts_with(parts.front())) return false;
    size_t at = parts.front().size();
    for (size_t i = 1; i + 1 < parts.size(); ++i) {
      at = t.find(parts[i], at);
      if (at == std::string_view::npos) return false;
      at += parts[i].size();
    }
    return t.size() - at >= parts.back().size() && t.ends_with(parts.back());
  };
  if (matches(Text)) return true;
  for (size_t colon = Text.find(": "); colon != std::string::npos; colon = Text.find(": ", colon + 1))
    if (matches(std::string_view(Text).substr(colon + 2))) return true;
  return false;
}

// Whether an error box may show E, a step that pastes or not and E naming a text the walk entered or
// not: see kConversionErrors, kDataErrors, kFilterErrors and kPasteErrors (see also
// GridWalk::ConvertsEnteredText).
bool CausedThroughData(const Exception& E, bool Pasting, bool NamesEnteredText) {
  const std::string& m = E.Message();
  auto matchesAny = [&](const auto& Formats) {
    return std::any_of(std::begin(Formats), std::end(Formats),
                       [&](const char* f) { return MatchesFormat(m, f); });
  };
  if (dynamic_cast<const EDatabaseError*>(&E))
    return matchesAny(kDataErrors) || (NamesEnteredText && matchesAny(kConversionErrors));
  auto startsAny = [&](const auto& Beginnings) {
    return std::any_of(std::begin(Beginnings), std::end(Beginnings),
                       [&](const char* f) { return m.starts_with(f); });
  };
  return std::string_view(E.ClassName()) == "Exception" &&
         (startsAny(kFilterErrors) || (Pasting && startsAny(kPasteErrors)));
}

// The text a conversion error names ("'<text>' is not a valid ...", maybe after a component's name);
// none when it names none.
std::optional<std::string> ConvertedText(const std::string& Message) {
  const size_t end = Message.rfind("' is not a valid ");
  const size_t begin = Message.find('\'');
  if (end == std::string::npos || begin == std::string::npos || begin >= end) return std::nullopt;
  return Message.substr(begin + 1, end - begin - 1);
}

// The field a conversion error names ("... for field '<name>'"); none when it names none (a date's
// conversion names only the text).
std::optional<std::string> ConvertedField(const std::string& Message) {
  static constexpr std::string_view kForField = " for field '";
  const size_t at = Message.rfind(kForField);
  if (at == std::string::npos || !Message.ends_with('\'') || Message.rfind("' is not a valid ") > at)
    return std::nullopt;
  const size_t from = at + kForField.size();
  return Message.substr(from, Message.size() - 1 - from);
}

// Whether a conversion that names no field (only the text and the kind of value it is not) may be
// one of a field of Type: the kinds of values the types take.
bool ConvertsToType(const std::string& Message, TFieldType Type) {
  struct Kind {
    const char* words;
    std::initializer_list<TFieldType> types;
  };
  static const Kind kKinds[] = {
      {"' is not a valid integer value", {ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc}},
      // the filter row reads a number of any numeric field as a floating point value
      {"' is not a valid floating point value",
       {ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc, ftFloat, ftCurrency, ftBCD, ftFMTBcd}},
      {"' is not a valid boolean value", {ftBoolean}},
      {"' is not a valid date", {ftDate, ftDateTime}},
      {"' is not a valid time", {ftTime, ftDateTime}},
  };
  return std::any_of(std::begin(kKinds), std::end(kKinds), [&](const Kind& k) {
    return Message.find(k.words) != std::string::npos &&
           std::find(k.types.begin(), k.types.end(), Type) != k.types.end();
  });
}

// Whether a conversion error Message that names no field may be one of a filter that reads its value
// by the kind Kind: a filter whose column shows no field keeps the kind it took last from a field.
bool FilterKindConverts(TSTFilterValueTypeEx Kind, const std::string& Message) {
  if (ConvertedField(Message)) return false;
  static constexpr struct {
    TSTFilterValueTypeEx kind;
    TFieldType type;  // a field type of that kind
  } kKinds[] = {{stfvtNumber, ftFloat}, {stfvtDateTime, ftDateTime}};
  return std::any_of(std::begin(kKinds), std::end(kKinds),
                     [&](const auto& k) { return k.kind == Kind && ConvertsToType(Message, k.type); });
}

// Text with each doubled quote read as one, as a quoted value of a filter condition reads it.
std::string UnquotedText(std::string Text) {
  for (size_t at = Text.find("''"); at != std::string::npos; at = Text.find("''", at + 1)) Text.erase(at, 1);
  return Text;
}

bool IsCheckBoxKey(const std::string& Text) {
  return Text == kChecked || Text == kUnchecked;
}

// Whether Text is a filter text typed, or one of its values: the parts between spaces, operators,
// brackets and commas (a comma with no value after it gives an empty one: "1," lists '1' and '').
bool IsFilterValue(const std::string& Text, const std::string& Typed) {
  if (Text.empty()) return Typed.find(',') != std::string::npos;
  if (Text == Trim(Typed)) return true;
  static constexpr std::string_view kSeparators = " \t\r\n<>=!~,()[]";
  size_t from = 0;
  while (from < Typed.size()) {
    const size_t to = std::min(Typed.find_first_of(kSeparators, from), Typed.size());
    if (to > from && std::string_view(Typed).substr(from, to - from) == Text) return true;
    from = to + 1;
  }
  return false;
}

// The editors' texts, whether they show (a hidden editor keeps the text it last held) and the cells
// they stand on.
struct TEditorTexts {
  std::optional<std::string> cell, filter;
  const TDBGridEx* grid = nullptr;
  int col = -1, row = -1, filterColumn = -1;
  bool cellModified = false, filterModified = false;
  bool linkModified = false;  // the grid holds an edit text to write
  bool cellShown = false, filterShown = false;
};

// Whether the cell editor holds text the user entered in a step that took it from Before to After:
// its text changed (or showed) on the same cell, and the step typed, deleted or pasted (Edited), or
// the editor counts its text as changed, or the grid holds it as an edit text to write (a drop-down
// accepted: the calculator closed with Alt+Up or Enter writes the value it shows, 0 for an empty
// cell; what was typed before it opened makes no difference).
bool EnteredIntoCell(const TEditorTexts& Before, const TEditorTexts& After, bool Edited) {
  return After.cell && (After.cell != Before.cell || After.cellShown != Before.cellShown) &&
         After.grid == Before.grid && After.col == Before.col && After.row == Before.row &&
         (Edited || After.cellModified || After.linkModified);
}

// Whether a conversion of Text reads what was Typed into a cell (the text itself) or into a filter
// cell (a value of its conditions, or a part of one: "12.05" of "12.05.1990", "a'b" of "'a''b'", and
// a value that holds spaces and quotes after its operator as typed; the filter editor, one line,
// takes no line break typed, and Enter applies the text it holds).
bool IsEnteredValue(const std::string& Text, const std::string& Typed, bool Filter) {
  if (!Filter) return !Text.empty() && Trim(Typed) == Text;
  std::string oneLine = Typed;
  std::erase_if(oneLine, [](char C) { return C == '\r' || C == '\n'; });
  const std::string texts[] = {Typed, oneLine};
  return std::any_of(std::begin(texts), std::end(texts), [&](const std::string& T) {
    // (a part of the text as typed covers its values and the whole; an empty value needs a comma)
    if (Text.empty()) return IsFilterValue(Text, T);
    return T.find(Text) != std::string::npos || UnquotedText(T).find(Text) != std::string::npos;
  });
}

class GridWalk {
 public:
  GridWalk(randomwalk::TDraws& Draws, TWalkLog& Log) : draws_(Draws), log_(Log) {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBorderStyle(bsNone);
    form_->SetBounds(40, 40, 600, 380);
    other_ = new TEdit(form_.get());
    other_->SetParent(form_.get());
    other_->SetBounds(0, 350, 120, 24);
    titleMenu_ = new TPopupMenu(form_.get());
    source_ = std::make_unique<TDataSource>(nullptr);
    NewDataSet();
    MakeGrid();
    form_->Show();
    Application->ProcessMessages();
  }
  ~GridWalk() {
    GridFindDialogHide();
    form_.reset();
    source_.reset();
    data_.reset();
    Application->ProcessMessages();
  }

  void Step() {
    static constexpr int kWeights[] = {30, 18, 5, 4, 6, 6, 9, 7, 3, 3, 4, 3, 5, 3};
    static_assert(std::size(kWeights) == kStepKinds);
    int pick = Pick(std::accumulate(std::begin(kWeights), std::end(kWeights), 0));
    int kind = 0;
    while (pick >= kWeights[kind]) pick -= kWeights[kind++];
    const TEditorTexts before = EditorTexts();
    const THiddenState hidden = HiddenState();
    // only the program changes what a hidden column shows: the columns and the data
    const bool hiddenKept = kind != kColumnStep && kind != kDataStep;
    stepHidden_ = hiddenKept ? &hidden : nullptr;
    TScopeExit forget([this] { stepHidden_ = nullptr; });
    pasting_ = false;
    edited_ = false;
    kind_ = kind;
    // input goes through the message loop; the rest is what the program around the grid does, in a
    // handler whose error the application shows
    try {
      Take(kind);
    } catch (const Exception&) {
      if (kind < kFirstProgramStep) throw;
      Application->HandleException(nullptr);
    }
    FakeNow() += 1000;  // no double clicks across steps; the incremental search's timer falls due
    Application->ProcessMessages();
    pasting_ = false;
    if (hiddenKept) CheckHiddenUnchanged(hidden);
    // what the user typed or pasted into an editor is what a later conversion error may name; a text
    // an editor only loaded (another cell's value) is none
    if (kind == kKeyStep || kind == kClipboardStep || kind == kFilterRowStep) NoteTyped(before);
  }

  void Take(int Kind) {
    switch (Kind) {
      case kKeyStep:
        return Key();
      case kClickStep:
        return Click();
      case kDragStep:
        return Drag();
      case 3:
        return Wheel();
      case 4:
        return Option();
      case 5:
        return Layout();
      case kColumnStep:
        return ColumnChange();
      case kDataStep:
        return DataChange();
      case kClipboardStep:
        return ClipboardStep();
      case 9:
        return FindDialog();
      case 10:
        return GridChange();
      case 11:
        return Export();
      case kFilterRowStep:
        return FilterRow();
      default:
        static_assert(kTitleMenuStep == kStepKinds - 1);
        return HideFromTitleMenu();
    }
  }

  // What must hold after any step.
  void Check() {
    // (the message begins with the first error: its kind is what a reduction keeps, see PlayWalk)
    if (!errors_.empty()) FAIL() << errors_;
    // every step lets go of what it pressed
    for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LBUTTON, VK_RBUTTON}) {
      ASSERT_GE(GetAsyncKeyState(vk), 0) << "key " << vk << " is held after the step";
      ASSERT_GE(GetKeyState(vk), 0) << "key " << vk << " is still read as held after the step";
    }
    TDBGridEx* grid = grid_.Get();
    if (!grid) return;
    // what was typed lands in the filter row once: the text is never read back into itself
    const size_t bound = 4 * typed_ + 256;
    if (TInplaceFilterEditEx* f = grid->FilterEditor()) {
      ASSERT_LE(f->Text().size(), bound) << "the filter cell's text grew past what was typed";
    }
    for (int i = 0; i < grid->Columns()->Count(); ++i)
      ASSERT_LE(grid->Columns()->Items(i)->STFilter()->FilterText().size(), bound)
          << "the filter text of column " << i << " grew past what was typed";
    if (TInplaceFilterEditEx* f = grid->FilterEditor(); f && f->HandleAllocated() && f->Visible()) {
      const int c = grid->FilterColumn();
      ASSERT_TRUE(c >= 0 && c < grid->Columns()->Count())
          << "the filter editor is shown on no column: " << c << " of " << grid->Columns()->Count()
          << (grid->FilterEditorShown() ? ", shown" : ", not shown")
          << (grid->Visible() ? "" : ", grid hidden") << (grid->FilterRowShown() ? "" : ", no filter row");
      ASSERT_TRUE(grid->Columns()->Items(c)->Visible()) << "the filter editor is shown on a hidden column";
    }
    TGridDataLinkEx* link = grid->DataLink();
    TDataSet* ds = link->Active() ? link->DataSet() : nullptr;
    if (ds && !ds->ControlsDisabled() && grid->HandleAllocated() && !grid->MemTable()) {
      ASSERT_EQ(grid->Row(), link->ActiveRecord() + grid->TitleOffset())
          << "the focused row is not the current record's";
      ASSERT_LE(link->RecordCount(), grid->RowCount() - grid->TitleOffset())
          << "more records buffered than the grid has rows";
    }
    if (TInplaceEdit* e = grid->InplaceEditor(); e && e->Visible()) {
      TColumnEx* c = grid->FocusedColumn();
      ASSERT_NE(c, nullptr) << "the editor is shown on no column";
      ASSERT_TRUE(c->Visible()) << "the editor is shown on a hidden column";
      // a text nobody changed is the cell's: its field's text (a key list, a look-up, a memo and a
      // mask show it otherwise)
      TField* f = ds && !ds->ControlsDisabled() && !link->Modified() && !e->Modified() ? c->Field() : nullptr;
      if (f && !c->HasKeyList() && !f->Lookup() && f->DataType() != ftMemo && !e->IsMasked()) {
        ASSERT_EQ(e->Text(), f->Text()) << "the cell editor shows a text its field does not hold";
      }
    }
    TBookmarkListEx* rows = grid->SelectedRows();
    for (int i = 0; i < rows->Count(); ++i) {
      ASSERT_NE(ds, nullptr) << "bookmarks are selected without an open dataset";
      ASSERT_TRUE(ds->BookmarkValid(rows->Items(i))) << "a selected bookmark names no record";
    }
  }

  // Called from the application's exception handler, inside the handler of the exception shown. Every
  // box is judged here as it shows: the user may see one of the system's own errors only when the
  // data caused it, a conversion error only for a text the walk typed or pasted, and the clipboard's
  // import errors only in a step that pastes.
  void ErrorBox(const Exception& E) {
    try {
      throw;
    } catch (const EConvertError&) {
      if (!ConvertsEnteredText(E)) NotConverted(E);
    } catch (const Exception&) {
      const bool converts = ConvertsEnteredText(E);
      if (CausedThroughData(E, pasting_, converts)) return;
      if (!converts && ConvertedText(E.Message()) && CausedThroughData(E, pasting_, true))
        NotConverted(E);
      else
        errors_ += std::string("an error box for an error the user did not cause: ") + E.ClassName() + ": " +
                   E.Message() + "\n";
    } catch (...) {
      errors_ += std::string("an error box for a foreign exception: ") + E.what() + "\n";
    }
  }
  int Answer() { return Pick(4) == 0 ? IDCANCEL : IDOK; }

 private:
  // (sets a walk into a state its steps reach seldom, and reads what it made of a box)
  FRIEND_TEST(GridRandomInput, TakesAConversionOfAFilterTypedIntoAColumnWithoutAFieldByTheKindItKeeps);

  int Pick(int N) { return draws_.Pick(N); }
  bool Chance(int Percent) { return Pick(100) < Percent; }
  void Say(const std::string& S) { log_.Say(S); }

  // ---- the texts the walk entered

  TEditorTexts EditorTexts() {
    TEditorTexts t;
    if (TDBGridEx* grid = Grid()) {
      t.grid = grid;
      t.col = grid->Col();
      t.row = grid->Row();
      t.filterColumn = grid->FilterColumn();
      t.linkModified = grid->DataLink()->Modified();
      if (TInplaceEdit* e = grid->InplaceEditor()) {
        t.cell = e->Text();
        t.cellModified = e->Modified();
        t.cellShown = e->Visible();
      }
      if (TInplaceFilterEditEx* f = grid->FilterEditor()) {
        t.filter = f->Text();
        t.filterModified = f->Modified();
        t.filterShown = f->Visible();
      }
    }
    return t;
  }
  // A text typed or pasted into a cell (named whole by a conversion error) or into the filter row
  // (whose conditions convert their parts), with the column it was entered into: a conversion of it
  // names that column's field, which a text typed into a cell is written into.
  struct TEntered {
    std::string text;
    bool filter = false;
    int grid = 0, column = -1;  // the grid (see gridsMade_) and the column's ID
    std::string field;          // the field the column showed, if any
    TFieldType type = ftUnknown;
  };
  void NoteEntered(const std::string& Text, bool Filter, TColumnEx* Column) {
    TEntered e;
    e.text = Text;
    e.filter = Filter;
    e.grid = gridsMade_;
    if (Column) {
      e.column = Column->ID();
      e.field = Column->FieldName();  // (a closed dataset has no fields: see EnteredFor)
      if (TField* f = Column->Field()) {
        e.field = f->DisplayName();
        e.type = f->DataType();
      }
    }
    entered_.push_back(std::move(e));
    constexpr size_t kKept = 128;
    if (entered_.size() > kKept) entered_.erase(entered_.begin());
  }
  // The column of the grid's filter cell being edited, if any.
  static TColumnEx* FilterColumnOf(TDBGridEx* Grid) {
    const int c = Grid ? Grid->FilterColumn() : -1;
    return c >= 0 && c < Grid->Columns()->Count() ? Grid->Columns()->Items(c) : nullptr;
  }
  // The column an entered text went into, if the grid it went into has it still.
  TColumnEx* ColumnOf(const TEntered& E) {
    TDBGridEx* grid = Grid();
    if (!grid || E.grid != gridsMade_ || E.column < 0) return nullptr;
    return static_cast<TColumnEx*>(grid->Columns()->FindItemID(E.column));
  }
  // Whether E went into a column of a field that Fits (by its name and type; a closed dataset's column
  // by the name it shows and that field's definition): a text typed into a cell the field the column
  // showed then (the one it shows now only when it showed none), a filter text that field or the one
  // the column shows now, whose filter the text belongs to.
  template <class F>
  bool EnteredFor(const TEntered& E, F Fits) {
    if (!E.field.empty() && Fits(E.field, DefinedType(E.field, E.type))) return true;
    if (!E.filter && !E.field.empty()) return false;
    TColumnEx* c = ColumnOf(E);
    if (!c) return false;
    if (TField* f = c->Field()) return Fits(f->DisplayName(), f->DataType());
    return !c->FieldName().empty() && Fits(c->FieldName(), DefinedType(c->FieldName(), ftUnknown));
  }
  // Whether the filter of the column a filter text E went into converts it as a conversion error
  // Message says: a column that shows no field reads its filter by the kind of value it took last from
  // a field (the filter's own, kept with it).
  bool FilterConverts(const TEntered& E, const std::string& Message) {
    TColumnEx* c = E.filter ? ColumnOf(E) : nullptr;
    return c && !c->Field() && FilterKindConverts(c->STFilter()->Expression().ExpressionType, Message);
  }
  // The type of the field Name: Type, or while it is unknown (a column of a closed dataset shows no
  // field) the one its definition tells.
  TFieldType DefinedType(const std::string& Name, TFieldType Type) const {
    if (const int d = Type == ftUnknown && data_ ? data_->FieldDefs()->IndexOf(Name) : -1; d >= 0)
      return data_->FieldDefs()->Items(d)->DataType();
    return Type;
  }
  // Whether a column with the check box's keys (see kChecked) shows a field that Fits (as EnteredFor):
  // its check box, or its list of keys once it shows a field of another type, writes them.
  template <class F>
  bool CheckBoxColumnFor(F Fits) {
    TDBGridEx* grid = Grid();
    for (int i = 0; grid && i < grid->Columns()->Count(); ++i) {
      TColumnEx* c = grid->Columns()->Items(i);
      if (TField* f = c->Field();
          f && c->KeyList()->IndexOf(kChecked) >= 0 && Fits(f->DisplayName(), f->DataType()))
        return true;
    }
    return false;
  }
  // Whether a field (by its name and type) may be the one a conversion error Message is about: the
  // one it names, or when it names none, one its kind of value fits.
  static auto ConversionOf(const std::string& Message) {
    return [named = ConvertedField(Message), Message](const std::string& Field, TFieldType Type) {
      return named ? Field == *named : ConvertsToType(Message, Type);
    };
  }
  void NotConverted(const Exception& E) {
    errors_ +=
        "an error box for the conversion of a text not entered into a column of that field: " + E.Message() +
        " (" + WhereEntered(ConvertedText(E.Message()).value_or("")) + "; the cell editor holds '" +
        EditorTexts().cell.value_or("") + "')\n";
  }
  // Where the walk entered Text: for the messages of a failed walk.
  std::string WhereEntered(const std::string& Text) const {
    std::string where;
    for (const TEntered& e : entered_)
      if (Trim(e.text) == Trim(Text) || (e.filter && IsFilterValue(Trim(Text), e.text)))
        where += std::string(where.empty() ? "" : ", ") + (e.filter ? "the filter of " : "") + "column " +
                 std::to_string(e.column) + " of " + (e.field.empty() ? "no field" : e.field) +
                 (e.grid == gridsMade_ ? "" : " of an earlier grid");
    return where.empty() ? "entered nowhere" : "entered into " + where;
  }
  // What the editors hold now that they did not hold Before, when typing or pasting changed it: what
  // the user entered into the cell or the filter cell of a visible column (no key reaches a hidden
  // one; a cell without room for its editor takes keys through the grid).
  void NoteTyped(const TEditorTexts& Before) {
    const TEditorTexts after = EditorTexts();
    TDBGridEx* grid = Grid();
    TColumnEx* cell = grid ? grid->FocusedColumn() : nullptr;
    TColumnEx* filter = FilterColumnOf(grid);
    if (EnteredIntoCell(Before, after, edited_) && cell && cell->Visible())
      NoteEntered(*after.cell, false, cell);
    if (after.filter && (after.filter != Before.filter || after.filterShown != Before.filterShown) &&
        after.grid == Before.grid && after.filterColumn == Before.filterColumn &&
        (edited_ || after.filterModified) && filter && filter->Visible())
      NoteEntered(*after.filter, true, filter);
  }
  // Whether Text was entered into the column ID, into its filter cell or into its cell.
  bool EnteredInto(int ID, const std::string& Text, bool Filter) const {
    return std::any_of(entered_.begin(), entered_.end(), [&](const TEntered& e) {
      return e.grid == gridsMade_ && e.column == ID && e.filter == Filter && e.text == Text;
    });
  }
  // The clipboard's text about to be pasted: the step pastes (the grid's import asks about each value
  // that does not convert; a paste into an editor is what the editor then holds).
  void NotePaste() {
    pasting_ = true;
    edited_ = true;
  }
  // A conversion error may name a text the walk entered only with the field of the column it went
  // into; a check box writes its key values into its own column's field.
  bool ConvertsEnteredText(const Exception& E) {
    const std::optional<std::string> text = ConvertedText(E.Message());
    if (!text) return false;
    const std::string t = Trim(*text);
    const auto conversion = ConversionOf(E.Message());
    // a check box clicked (a drag's press too) or toggled with a key (a space typed) writes its key
    if ((kind_ == kKeyStep || kind_ == kClickStep || kind_ == kDragStep || kind_ == kFilterRowStep) &&
        IsCheckBoxKey(t) && CheckBoxColumnFor(conversion))
      return true;
    return std::any_of(entered_.begin(), entered_.end(), [&](const TEntered& e) {
      return IsEnteredValue(t, e.text, e.filter) &&
             (EnteredFor(e, conversion) || FilterConverts(e, E.Message()));
    });
  }

  // The grid writes a text typed into a cell through its field's text: a field takes it only from a
  // column that showed it when the text was typed (or from a check box of a column that shows it),
  // while a visible column shows it, and a string field holds it then. A text the field holds already
  // (an editor's text loaded again, written back) changes nothing.
  void TextWritten(TField* Field, const std::string& Text) {
    const std::string before = Field->AsString(), shown = Field->Text();
    Field->SetAsString(Text);  // what the field's text is without a handler
    if (Text == before || Text == shown) return;
    const std::string name = Field->DisplayName();
    auto itself = [&](const std::string& Name, TFieldType) { return Name == name; };
    const bool typedHere = std::any_of(entered_.begin(), entered_.end(), [&](const TEntered& e) {
      return !e.filter && e.text == Text && EnteredFor(e, itself);
    });
    TDBGridEx* grid = Grid();
    if (!typedHere && !(IsCheckBoxKey(Text) && CheckBoxColumnFor(itself))) {
      Fail("the grid wrote '" + Text + "' into field " + name + ", " + WhereEntered(Text));
    } else if (grid && !grid->ComponentState().Contains(csDestroying) && !Shows(VisibleFields(grid), Field)) {
      Fail("the grid wrote '" + Text + "' into field " + name + ", which no visible column shows");
    } else if (Field->DataType() == ftString && Field->AsString() != Text) {
      Fail("field " + name + " holds '" + Field->AsString() + "' after '" + Text + "' was written");
    }
  }

  // ---- the hidden columns

  // What the columns hidden before a step show: the values of their fields in the current record
  // (those no visible column shows too) and their filter texts.
  struct THiddenField {
    TField* field;
    std::optional<std::string> value;
  };
  struct THiddenState {
    int grid = 0, data = 0, moves = 0;  // see gridsMade_, dataMade_, recordMoves_
    std::optional<std::string> record;  // the current record's bookmark, none while one is inserted
    std::vector<THiddenField> fields;
    std::vector<std::pair<int, std::string>> filters;  // by column ID
  };
  // The current record's bookmark while it is one of the dataset's (not one being inserted).
  std::optional<std::string> CurrentRecord() {
    if (!data_ || !data_->Active() || data_->IsEmpty() || data_->State() == dsInsert) return std::nullopt;
    return data_->Bookmark();
  }
  // The fields the grid's visible columns show.
  static std::vector<TField*> VisibleFields(TDBGridEx* Grid) {
    std::vector<TField*> fields;
    for (int i = 0; i < Grid->Columns()->Count(); ++i)
      if (TColumnEx* c = Grid->Columns()->Items(i); c->Visible() && c->Field()) fields.push_back(c->Field());
    return fields;
  }
  static bool Shows(const std::vector<TField*>& Fields, TField* Field) {
    return std::find(Fields.begin(), Fields.end(), Field) != Fields.end();
  }
  static std::optional<std::string> ValueOf(TField* Field) {
    if (Field->IsNull()) return std::nullopt;
    return Field->AsString();
  }
  THiddenState HiddenState() {
    THiddenState h;
    h.grid = gridsMade_;
    h.data = dataMade_;
    h.moves = recordMoves_;
    h.record = CurrentRecord();
    TDBGridEx* grid = Grid();
    if (!grid) return h;
    const std::vector<TField*> shown = VisibleFields(grid);
    for (int i = 0; i < grid->Columns()->Count(); ++i) {
      TColumnEx* c = grid->Columns()->Items(i);
      if (c->Visible()) continue;
      h.filters.emplace_back(c->ID(), c->STFilter()->FilterText());
      TField* f = c->Field();
      if (!f || f->DataSet() != data_.get() || !data_->Active() ||
          std::find(shown.begin(), shown.end(), f) != shown.end())
        continue;
      if (std::none_of(h.fields.begin(), h.fields.end(), [&](const THiddenField& e) { return e.field == f; }))
        h.fields.push_back({f, ValueOf(f)});
    }
    return h;
  }
  // No field or filter of a column hidden before the step changed in it: a filter but to what was
  // typed into it while it showed (stored when its editing ends), a field not at all (only while the
  // same record stays current and no visible column shows it), for a column writes what was typed into
  // it as it hides. Checked after the step and whenever the record is about to move or to be posted
  // or cancelled in it (see NewDataSet), when a text left to write is written.
  void CheckHiddenUnchanged(const THiddenState& Before) {
    TDBGridEx* grid = Grid();
    if (!grid || Before.grid != gridsMade_ || grid->ComponentState().Contains(csDestroying)) return;
    for (const auto& [id, text] : Before.filters) {
      auto* c = static_cast<TColumnEx*>(grid->Columns()->FindItemID(id));
      if (!c || c->Visible()) continue;
      const std::string now = c->STFilter()->FilterText();
      if (now != text && !EnteredInto(id, now, true))
        Fail("the filter of hidden column " + std::to_string(c->Index()) + " changed from '" + text +
             "' to '" + now + "', " + WhereEntered(now));
    }
    if (Before.data != dataMade_ || Before.moves != recordMoves_ || !data_ || !data_->Active() ||
        !Before.record || CurrentRecord() != Before.record)
      return;
    const std::vector<TField*> shown = VisibleFields(grid);
    for (const THiddenField& h : Before.fields) {
      if (std::find(shown.begin(), shown.end(), h.field) != shown.end()) continue;
      const std::optional<std::string> now = ValueOf(h.field);
      if (now != h.value)
        Fail("field " + h.field->FieldName() + " of a hidden column changed from '" +
             h.value.value_or("(null)") + "' to '" + now.value_or("(null)") + "', " +
             WhereEntered(now.value_or("")));
    }
  }
  // A failure of the walk, said once however often it is seen.
  void Fail(const std::string& What) {
    if (errors_.find(What + "\n") == std::string::npos) errors_ += What + "\n";
  }

  ShiftKeys Modifiers() {
    ShiftKeys k;
    const int m = Pick(8);
    k.shift = m & 1;
    k.ctrl = (m & 2) && Pick(2);
    k.alt = (m & 4) && Pick(4) == 0;
    return k;
  }

  // ---- the things walked over

  // Sessions with six fields; now and then a memory table whose every record is a row of the grid.
  void NewDataSet() {
    const int rows = Pick(4) == 0 ? Pick(3) : 5 + Pick(40);
    presented_ = Pick(5) == 0;
    if (presented_) {
      data_ = std::make_unique<TPresentedSessions>(rows);
    } else {
      data_ = std::make_unique<TMemDataSet>();
      data_->FieldDefs()->Add("N", ftInteger);
      data_->FieldDefs()->Add("NAME", ftString, 20);
      data_->FieldDefs()->Add("BORN", ftDateTime);
      data_->FieldDefs()->Add("SALARY", ftFloat);
      data_->FieldDefs()->Add("ACTIVE", ftBoolean);
      data_->FieldDefs()->Add("STATUS", ftString, 10);
      for (int i = 0; i < rows; ++i) AddRow();
    }
    Say("a dataset of " + std::to_string(rows) + (presented_ ? " presented rows" : " rows"));
    ++dataMade_;
    // the grid writes what was typed into a cell through the field's text (see TextWritten)
    data_->AfterOpen = [this](TDataSet* DataSet) {
      ++recordMoves_;
      for (int i = 0; i < DataSet->FieldCount(); ++i)
        DataSet->Fields()->Fields(i)->OnSetText = [this](TField* Field, const std::string& Text) {
          TextWritten(Field, Text);
        };
    };
    // whatever may make another record the current one or free the fields (see HiddenState)
    for (TDataSetNotifyEvent* e : {&data_->AfterClose, &data_->AfterScroll, &data_->AfterInsert,
                                   &data_->AfterCancel, &data_->AfterDelete, &data_->AfterRefresh})
      *e = [this](TDataSet*) { ++recordMoves_; };
    // the moments a text left to write is written (see CheckHiddenUnchanged)
    for (TDataSetNotifyEvent* e :
         {&data_->BeforeClose, &data_->BeforeScroll, &data_->BeforeInsert, &data_->BeforePost,
          &data_->BeforeCancel, &data_->BeforeDelete, &data_->BeforeRefresh})
      *e = [this](TDataSet*) {
        if (stepHidden_) CheckHiddenUnchanged(*stepHidden_);
      };
    source_->SetDataSet(data_.get());
    data_->Open();
  }
  void AddRow() {
    const int n = ++rowsMade_;
    if (presented_) {
      data_->AddRow({n, TPresentedSessions::Name(n)});
      return;
    }
    data_->AddRow(
        {n, (n % 3 ? "Сеанс " : "session ") + std::to_string(n),
         Pick(5) == 0 ? TVariant::MakeNull() : TVariant(EncodeDate(1980 + n % 30, 1 + n % 12, 1 + n % 28)),
         Pick(5) == 0 ? TVariant::MakeNull() : TVariant(n * 12.5), n % 2 == 0,
         n % 3 == 0 ? "ACTIVE" : "INACTIVE"});
  }

  void MakeGrid() {
    auto* grid = new TDBGridEx(form_.get());
    grid->SetParent(form_.get());
    grid->SetBounds(Pick(20), Pick(20), 300 + Pick(280), 150 + Pick(190));
    TDBGridOptions options = grid->Options();
    if (Chance(30)) options.Include(dgAlwaysShowEditor);
    if (Chance(50)) options.Include(dgMultiSelect);
    grid->SetOptions(options);
    grid->OnSortMarkingChanged = nullptr;
    grid_ = grid;
    ++gridsMade_;
    if (Chance(50)) {
      for (const char* n : {"N", "NAME", "BORN", "SALARY", "ACTIVE"}) grid->Columns()->Add()->SetFieldName(n);
      TColumnEx* active = grid->Columns()->Items(4);
      active->KeyList()->SetText(std::string(kChecked) + "\r\n" + kUnchecked);
      active->SetCheckboxes(true);
    }
    grid->SetDataSource(source_.get());
    Say(std::string("make the grid") + (grid->Columns()->State() == csCustomized ? ", customised" : ""));
  }

  TDBGridEx* Grid() { return grid_.Get(); }

  // A point over the grid: mostly inside its client area, sometimes just outside it.
  POINT OverGrid(int& X, int& Y) {
    TDBGridEx* grid = Grid();
    const int w = std::max(1, grid->ClientWidth()), h = std::max(1, grid->ClientHeight());
    X = Pick(10) == 0 ? -10 + Pick(w + 20) : Pick(w);
    // the title and filter rows and the first data rows more often than the rest
    Y = Pick(3) == 0 ? Pick(std::min(h, 60)) : (Pick(10) == 0 ? -10 + Pick(h + 20) : Pick(h));
    const TPoint p = grid->ClientToScreen(TPoint{X, Y});
    return POINT{p.X, p.Y};
  }

  // ---- steps

  void Key() {
    if (!Grid()) return;
    const KeyChoice& k = kKeys[Pick(static_cast<int>(std::size(kKeys)))];
    ShiftKeys m = Modifiers();
    if (k.vk == 'F' && m.ctrl) m.ctrl = false;  // Ctrl+F opens the modal find dialog: see FindDialog
    Say("key " + std::to_string(k.vk) + " char " + std::to_string(static_cast<unsigned>(k.ch)) +
        (m.shift ? " shift" : "") + (m.ctrl ? " ctrl" : "") + (m.alt ? " alt" : ""));
    if (Pick(6) == 0 && Grid()->CanFocus()) Grid()->SetFocus();
    if (m.alt) InjectKey(VK_MENU, true, 0, m);
    if (k.ch && !m.ctrl && !m.alt) typed_ += 4;
    // what may change an editor's text: a character typed, one deleted, the clipboard pasted
    if ((k.ch >= U' ' && !m.ctrl && !m.alt) || k.vk == VK_BACK || k.vk == VK_DELETE) edited_ = true;
    if (k.vk == VK_INSERT && m.shift && !m.ctrl) NotePaste();
    InjectKey(k.vk, true, m.ctrl || m.alt ? 0 : k.ch, m);
    InjectKey(k.vk, false, 0, m);
    if (m.alt) InjectKey(VK_MENU, false, 0, ShiftKeys{m.shift, m.ctrl, false});
    if (m.ctrl) InjectKey(VK_CONTROL, false, 0, ShiftKeys{m.shift, false, false});
    InjectKey(VK_SHIFT, false, 0, {});  // every modifier is up after the step
  }

  void Click() {
    if (!Grid()) return;
    int x = 0, y = 0;
    const POINT p = OverGrid(x, y);
    static constexpr UINT kDowns[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN};
    static constexpr UINT kUps[] = {WM_LBUTTONUP, WM_RBUTTONUP};
    static constexpr UINT kDoubles[] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK};
    const int b = Pick(6) == 0 ? 1 : 0;
    const bool twice = Pick(5) == 0;
    const ShiftKeys m = Modifiers();
    Say("click " + std::to_string(b) + " at " + std::to_string(x) + "," + std::to_string(y) +
        (twice ? " twice" : "") + (m.shift ? " shift" : "") + (m.ctrl ? " ctrl" : ""));
    InjectMouse(WM_MOUSEMOVE, p, m);
    InjectMouse(kDowns[b], p, m);
    InjectMouse(kUps[b], p, m);
    if (twice) {
      InjectMouse(kDoubles[b], p, m);
      InjectMouse(kUps[b], p, m);
    }
    LetGo(m);
    EndLoops();
  }

  // A press moved across the grid and released: over titles it moves or sizes a column, over cells
  // it selects.
  void Drag() {
    if (!Grid()) return;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    const POINT from = OverGrid(x0, y0), to = OverGrid(x1, y1);
    const ShiftKeys m = Pick(3) == 0 ? Modifiers() : ShiftKeys{};
    Say("drag " + std::to_string(x0) + "," + std::to_string(y0) + " to " + std::to_string(x1) + "," +
        std::to_string(y1));
    // a press on a scroll bar runs a loop of its own that waits for the release
    const bool inClient = x0 >= 0 && y0 >= 0 && x0 < Grid()->ClientWidth() && y0 < Grid()->ClientHeight();
    InjectMouse(WM_MOUSEMOVE, from, m);
    InjectMouse(WM_LBUTTONDOWN, from, m);
    // a press in the client area is taken before the hand moves on: the grid holds the mouse then, and
    // the moves and the release outside it come to it (injected at once, they would go to the windows
    // under them, and the grid would go on tracking a released button)
    if (inClient) Application->ProcessMessages();
    for (int i = 1; i <= 4; ++i)
      InjectMouse(WM_MOUSEMOVE, {from.X + (to.X - from.X) * i / 4, from.Y + (to.Y - from.Y) * i / 4}, m);
    // the auto-scroll timer runs while the pointer is held outside
    if (inClient && Pick(3) == 0) {
      Application->ProcessMessages();
      FakeNow() += 300;
      Application->ProcessMessages();
    }
    InjectMouse(WM_LBUTTONUP, to, m);
    LetGo(m);
    EndLoops();
  }

  static void EndLoops() {
    InjectKey(VK_ESCAPE, true, 27, {});
    InjectKey(VK_ESCAPE, false, 0, {});
  }

  void Wheel() {
    if (!Grid()) return;
    int x = 0, y = 0;
    const POINT p = OverGrid(x, y);
    const int delta = (Pick(2) ? 1 : -1) * 120 * (1 + Pick(3));
    const ShiftKeys m = Modifiers();
    Say("wheel " + std::to_string(delta) + (m.shift ? " shift" : "") + (m.ctrl ? " ctrl" : "") +
        (m.alt ? " alt" : ""));
    InjectMouse(WM_MOUSEMOVE, p);
    InjectMouse(WM_MOUSEWHEEL, p, m, delta);
    LetGo(m);
  }

  template <class S, class V>
  static S Flipped(S Set, V Value) {
    if (Set.Contains(Value)) {
      Set.Exclude(Value);
    } else {
      Set.Include(Value);
    }
    return Set;
  }

  void Option() {
    TDBGridEx* grid = Grid();
    if (!grid) return;
    if (Pick(2)) {
      const TDBGridOption o = kOptions[Pick(static_cast<int>(std::size(kOptions)))];
      Say("flip option " + std::to_string(static_cast<int>(o)));
      grid->SetOptions(Flipped(grid->Options(), o));
    } else {
      const TDBGridExOption o = kOptionsEx[Pick(static_cast<int>(std::size(kOptionsEx)))];
      Say("flip option ex " + std::to_string(static_cast<int>(o)));
      grid->SetOptionsEx(Flipped(grid->OptionsEx(), o));
    }
  }

  void Layout() {
    TDBGridEx* grid = Grid();
    if (!grid) return;
    switch (Pick(10)) {
      case 0:
        Say("auto-fit flipped");
        grid->SetAutoFitColWidths(!grid->AutoFitColWidths());
        break;
      case 1: {
        const int n = Pick(3);
        Say("footer rows " + std::to_string(n));
        grid->SetFooterRowCount(n);
        break;
      }
      case 2:
        Say("multi-level titles flipped");
        grid->SetUseMultiTitle(!grid->UseMultiTitle());
        break;
      case 3: {
        const int n = Pick(3);
        Say("frozen columns " + std::to_string(n));
        grid->SetFrozenCols(n);
        break;
      }
      case 4: {
        const int lines = Pick(4), height = Pick(3) * 7;
        Say("row lines " + std::to_string(lines) + " height " + std::to_string(height));
        grid->SetRowLines(lines);
        grid->SetRowHeight(height);
        break;
      }
      case 5: {
        const int size = 1 + Pick(16);
        Say("font size " + std::to_string(size));
        grid->Font()->SetSize(size);
        break;
      }
      case 6: {
        Say("read-only flipped");
        grid->SetReadOnly(!grid->ReadOnly());
        break;
      }
      case 7: {
        TDBGridExAllowedSelections s;
        for (TDBGridExSelectionType t : {gstRecordBookmarks, gstRectangle, gstColumns, gstAll})
          if (Pick(3)) s.Include(t);
        Say("allowed selections " + std::to_string(s.Count()));
        grid->SetAllowedSelections(s);
        break;
      }
      case 8: {
        // now and then too small for a cell: an editor that finds no room stays hidden
        const int w = Pick(3) == 0 ? Pick(40) : 100 + Pick(480), h = Pick(3) == 0 ? Pick(40) : 60 + Pick(300);
        Say("grid size " + std::to_string(w) + "x" + std::to_string(h));
        grid->SetBounds(grid->Left(), grid->Top(), w, h);
        break;
      }
      default:
        Say("flat flipped");
        grid->SetFlat(!grid->Flat());
        break;
    }
  }

  TColumnEx* AnyColumn() {
    TDBGridEx* grid = Grid();
    const int n = grid->Columns()->Count();
    return n == 0 ? nullptr : grid->Columns()->Items(Pick(n));
  }

  void ColumnChange() {
    TDBGridEx* grid = Grid();
    if (!grid) return;
    TColumnEx* c = AnyColumn();
    switch (Pick(11)) {
      case 0: {
        const char* name = kFieldNames[Pick(static_cast<int>(std::size(kFieldNames)))];
        Say(std::string("add a column of ") + name);
        grid->Columns()->Add()->SetFieldName(name);
        break;
      }
      case 1:
        Say("add a default column");
        grid->Columns()->AddDefault();
        break;
      case 2:
        if (!c) return;
        Say("free column " + std::to_string(c->Index()));
        delete c;
        break;
      case 3:
        if (!c) return;
        Say("show or hide column " + std::to_string(c->Index()));
        c->SetVisible(!c->Visible());
        break;
      case 4: {
        if (!c) return;
        const char* name = kFieldNames[Pick(static_cast<int>(std::size(kFieldNames)))];
        Say("column " + std::to_string(c->Index()) + " shows " + name);
        c->SetFieldName(name);  // a default column may be freed by the layout meanwhile
        break;
      }
      case 5: {
        if (!c) return;
        const int to = Pick(grid->Columns()->Count());
        Say("column " + std::to_string(c->Index()) + " moves to " + std::to_string(to));
        c->SetIndex(to);
        break;
      }
      case 6: {
        if (!c) return;
        static const char* const kCaptions[] = {"Сеанс|Номер", "Сеанс|Имя", "Ожидание|SEQ#", "", "Итог"};
        const char* caption = kCaptions[Pick(static_cast<int>(std::size(kCaptions)))];
        Say("column " + std::to_string(c->Index()) + " title " + caption);
        c->Title()->SetCaption(caption);
        break;
      }
      case 7: {
        if (!c) return;
        const int w = Pick(200);
        Say("column " + std::to_string(c->Index()) + " width " + std::to_string(w));
        c->SetWidth(w);
        break;
      }
      case 8:
        if (Pick(4)) return;
        Say("clear the columns");
        grid->Columns()->Clear();
        break;
      case 9: {
        TColumnEx* current = grid->FocusedColumn();
        if (!current) return;
        Say("show or hide the current column " + std::to_string(current->Index()));
        current->SetVisible(!current->Visible());
        break;
      }
      case 10: {
        // the program configures columns it made: a default column may be freed by the layout that
        // follows any change to it
        if (!c || grid->Columns()->State() != csCustomized) return;
        if (c->EditButtons()->Count() < 2 && Pick(2)) {
          Say("column " + std::to_string(c->Index()) + " gets one more edit button");
          c->EditButtons()->Add();
          break;
        }
        static constexpr TColumnButtonStyleEx kStyles[] = {cbsAuto, cbsEllipsis, cbsNone, cbsUpDown,
                                                           cbsDropDown};
        const TColumnButtonStyleEx style = kStyles[Pick(static_cast<int>(std::size(kStyles)))];
        Say("column " + std::to_string(c->Index()) + " button style " +
            std::to_string(static_cast<int>(style)));
        c->SetButtonStyle(style);
        break;
      }
    }
  }

  void DataChange() {
    TMemDataSet* ds = data_.get();
    switch (Pick(12)) {
      case 0:
        Say("append a row");
        AddRow();
        break;
      case 1:
        if (!ds->Active()) return;
        Say("insert from the program");
        if (Pick(2)) {
          ds->Insert();
        } else {
          ds->Append();
        }
        if (Pick(2)) ds->FieldByName("NAME")->SetAsString("новый");
        break;
      case 2:
        if (!ds->Active() || ds->State() == dsBrowse) return;
        Say("post or cancel");
        if (Pick(2)) {
          ds->Post();
        } else {
          ds->Cancel();
        }
        break;
      case 3: {
        if (!ds->Active()) return;
        if (ds->State() != dsBrowse) ds->Cancel();
        // records the grid shows selected go only through the grid (see DeleteGridSelection)
        if (ds->IsEmpty() || (Grid() && Grid()->Selection()->SelectionType() != gstNon)) return;
        Say("delete the current record from the program");
        ds->Delete();
        break;
      }
      case 4:
        Say(ds->Active() ? "close" : "open");
        if (ds->Active()) {
          ds->Close();
        } else {
          ds->Open();
        }
        break;
      case 5: {
        if (!ds->Active()) return;
        Say("move by, controls disabled");
        ds->DisableControls();
        TScopeExit enable([ds] { ds->EnableControls(); });
        ds->MoveBy(Pick(21) - 10);
        break;
      }
      case 6:
        Say("data source enabled flipped");
        source_->SetEnabled(!source_->Enabled());
        break;
      case 7:
        if (!ds->Active()) return;
        Say("refresh");
        ds->Refresh();
        break;
      case 8:
        Say("free the dataset and make another");
        data_.reset();
        Application->ProcessMessages();
        NewDataSet();
        break;
      case 9:
        if (!Grid()) return;
        Say("the grid's data source flipped");
        Grid()->SetDataSource(Grid()->DataSource() ? nullptr : source_.get());
        break;
      case 10:
        if (!ds->Active()) return;
        Say("first or last");
        if (Pick(2)) {
          ds->First();
        } else {
          ds->Last();
        }
        break;
      default:
        if (!ds->Active() || ds->State() != dsBrowse || ds->IsEmpty()) return;
        Say("edit from the program");
        ds->Edit();
        ds->FieldByName("N")->SetAsInteger(Pick(1000));
        break;
    }
  }

  void ClipboardStep() {
    // the program's edit actions are offered for a grid over an open dataset (what the keys do is the
    // grid's)
    TDBGridEx* grid = Grid() && Grid()->DataLink()->Active() ? Grid() : nullptr;
    switch (Pick(5)) {
      case 0: {
        static const char* const kTexts[] = {"1\tАнна\t12.05.1990\t100\r\n2\tБорис\t\t\r\n", "а\tб\tв\r\n",
                                             "\t\t31.02.2001\tx\r\n", "7", ""};
        const char* text = kTexts[Pick(static_cast<int>(std::size(kTexts)))];
        Say("text on the clipboard");
        Clipboard()->SetAsText(text);
        break;
      }
      case 1:
        if (!grid) return;
        Say("copy");
        CopyGridToClipboard(grid, Pick(2));
        break;
      case 2:
        if (!grid) return;
        Say("paste");
        NotePaste();
        PasteGridFromClipboard(grid, Pick(4) == 0);
        break;
      case 3:
        if (!grid) return;
        Say("cut");
        CutGridToClipboard(grid, false);
        break;
      default:
        if (!grid) return;
        Say("delete the selection");
        DeleteGridSelection(grid, false);
        break;
    }
  }

  // The one find dialog, shown modeless over the grid: its column choice and its search.
  void FindDialog() {
    TDBGridEx* grid = Grid();
    TDBGridExFindDlg* dialog = GridFindDialog();
    switch (Pick(4)) {
      case 0: {
        if (!grid) return;
        const char* text = Pick(2) ? "Сеанс" : "1";
        Say(std::string("find dialog, modeless: ") + text);  // the search compares texts: none converts
        ExecuteGridFindDialog(grid, text, false, nullptr);
        break;
      }
      case 1: {
        if (!dialog || !dialog->Visible()) return;
        const int n = dialog->cbFindIn->Items()->Count();
        const int i = Pick(n + 1) - 1;
        Say("find in " + std::to_string(i));
        dialog->cbFindIn->SetItemIndex(i);
        dialog->cbFindInChange(dialog->cbFindIn);
        break;
      }
      case 2:
        if (!dialog || !dialog->Visible()) return;
        Say("find next");
        dialog->bFindClick(dialog->bFind);
        break;
      default:
        Say("hide the find dialog");
        GridFindDialogHide();
        break;
    }
  }
  static void GridFindDialogHide() {
    if (TDBGridExFindDlg* dialog = GridFindDialog(); dialog && dialog->Visible()) dialog->Hide();
  }

  void GridChange() {
    TDBGridEx* grid = Grid();
    switch (Pick(7)) {
      case 0:
        if (!grid) return;
        Say("hide or show the grid");
        grid->SetVisible(!grid->Visible());
        break;
      case 1:
        Say("free the grid and make another");
        delete grid;
        Application->ProcessMessages();
        MakeGrid();
        break;
      case 2:
        Say("focus elsewhere");
        other_->SetFocus();
        break;
      case 3:
        if (!grid || !grid->CanFocus()) return;
        Say("focus the grid");
        grid->SetFocus();
        break;
      case 4:
        if (!grid) return;
        Say("hide the grid and show it again");
        grid->SetVisible(false);
        Application->ProcessMessages();
        grid->SetVisible(true);
        break;
      case 5:
        if (!grid) return;
        HiddenWithAnEditorUp(grid);
        break;
      default:
        Say("make the form's window again");
        form_->RecreateWnd();
        break;
    }
  }

  // With the cell editor or the filter editor up, the grid hides; meanwhile its form's window may be
  // made again and a column (the edited one most often) may hide; then the grid shows again.
  void HiddenWithAnEditorUp(TDBGridEx* Target) {
    const int count = Target->Columns()->Count();
    const bool filter = Target->FilterRowShown() && count > 0 && Pick(2);
    const int filterColumn = filter ? Pick(count) : -1;
    const int change = Pick(5);
    static const char* const kChanges[] = {"", ", the form's window made again",
                                           ", the current column hidden", ", the filter's column hidden",
                                           ", a column hidden"};
    const bool remake = change == 1 || Pick(4) == 0;
    if (filter) {
      Target->ShowFilterEditor(filterColumn);
    } else {
      Target->ShowEditor();
    }
    Application->ProcessMessages();
    // the editor asked for may not show (no editing, no room, no field)
    const bool cellUp = Target->InplaceEditor() && Target->InplaceEditor()->Visible();
    const bool filterUp = Target->FilterEditor() && Target->FilterEditor()->Visible();
    std::string up = cellUp ? "the cell editor up" : "";
    if (filterUp)
      up += (cellUp ? " and " : "") + std::string("the filter editor up on column ") +
            std::to_string(Target->FilterColumn());
    if (up.empty())
      up = std::string("no editor up (the ") + (filter ? "filter" : "cell") + " editor asked for)";
    Say("hide the grid with " + up + kChanges[change] +
        (remake && change != 1 ? ", the form's window made again" : "") + ", show it");
    Target->SetVisible(false);
    Application->ProcessMessages();
    if (remake) form_->RecreateWnd();
    TColumnEx* hide = nullptr;
    if (change == 2) hide = Target->FocusedColumn();
    if (change == 3 && Target->FilterColumn() >= 0 && Target->FilterColumn() < Target->Columns()->Count())
      hide = Target->Columns()->Items(Target->FilterColumn());
    if (change == 4) hide = AnyColumn();
    if (hide) hide->SetVisible(false);
    Application->ProcessMessages();
    Target->SetVisible(true);
  }

  // With the cell editor or the filter editor holding typed text, the user hides the edited column
  // (the current one or the filter's) from the titles' menu of columns, as the session list offers
  // it: a press on a title gives the grid that menu, whose items stand for the columns (checked while
  // shown); a right click on a title and the column's item hide it.
  void HideFromTitleMenu() {
    TDBGridEx* grid = Grid();
    if (!grid || !grid->HandleAllocated() || !grid->Visible() || grid->Columns()->Count() == 0) return;
    const bool filter = grid->FilterRowShown() && Pick(2);
    const int count = 1 + Pick(3);
    Say(std::string("type ") + std::to_string(count) + " characters into the " +
        (filter ? "filter" : "cell") + " editor, hide its column from the title menu");
    if (grid->CanFocus()) grid->SetFocus();
    if (filter) {
      // a filter cell in view: one of a visible column
      std::vector<int> shown;
      for (int i = 0; i < grid->Columns()->Count(); ++i)
        if (grid->Columns()->Items(i)->Visible()) shown.push_back(i);
      if (!shown.empty()) grid->ShowFilterEditor(shown[Pick(static_cast<int>(shown.size()))]);
    } else if (!(grid->InplaceEditor() && grid->InplaceEditor()->Visible())) {
      InjectKey(VK_F2, true, 0, {});
      InjectKey(VK_F2, false, 0, {});
    }
    Application->ProcessMessages();
    const TEditorTexts before = EditorTexts();
    static constexpr KeyChoice kTyped[] = {{'A', U'a'}, {'1', U'1'}, {'Z', U'з'}, {VK_OEM_PERIOD, U'.'}};
    edited_ = true;
    for (int i = 0; i < count; ++i) {
      const KeyChoice& k = kTyped[Pick(static_cast<int>(std::size(kTyped)))];
      InjectKey(k.vk, true, k.ch, {});
      InjectKey(k.vk, false, 0, {});
      typed_ += 4;
    }
    Application->ProcessMessages();
    if (!grid_) return;
    NoteTyped(before);
    // the column of the editor that holds the text (none may show: no editing, no room, no field)
    TColumnEx* target = nullptr;
    if (TInplaceFilterEditEx* f = grid->FilterEditor(); filter && f && f->Visible()) {
      target = FilterColumnOf(grid);
    } else if (TInplaceEdit* e = grid->InplaceEditor(); e && e->Visible()) {
      target = grid->FocusedColumn();
    }
    if (!target || !target->Visible() || !grid->Options().Contains(dgTitles)) {
      Say("  no editor up on a visible column, or no titles");
      return;
    }
    // the title clicked: the column's own, or another one in view
    TRect title = grid->CellRect(grid->DataToRawColumn(target->Index()), 0);
    for (int i = 0; i < grid->Columns()->Count() && title.Width() <= 0; ++i)
      title = grid->CellRect(grid->DataToRawColumn(i), 0);
    if (title.Width() <= 0 || title.Height() <= 0) {
      Say("  no title in view");
      return;
    }
    // (its middle: at its edges the press would size a column)
    const TPoint click{(title.Left + title.Right) / 2, (title.Top + title.Bottom) / 2};
    Say("  hide column " + std::to_string(target->Index()) + ", right click at " + std::to_string(click.X) +
        "," + std::to_string(click.Y));
    grid->OnMouseDown = [this](TObject* Sender, TMouseButton, TShiftState, int, int Y) {
      auto* g = static_cast<TDBGridEx*>(Sender);
      BuildTitleMenu(g);
      g->SetPopupMenu(Y < g->CellRect(0, 0).Bottom ? titleMenu_ : nullptr);
    };
    // the menu's loop tells the application window when it waits for input: then the column's item
    // is chosen with the keys (and should the menu stay, Escape closes it)
    const int id = target->ID();
    int idles = 0;
    const int hook = Application->HookMainWindow([&](TMessage& M) {
      if (M.Msg != WM_ENTERIDLE) return false;
      TMenuItem* items = titleMenu_->Items();
      int item = -1;
      for (int i = 0; i < items->Count(); ++i)
        if (items->Items(i)->Tag() == id) item = i;
      if (idles++ > 0 || item < 0) {
        EndLoops();
        return true;
      }
      for (int i = 0; i <= item; ++i) {
        InjectKey(VK_DOWN, true, 0, {});
        InjectKey(VK_DOWN, false, 0, {});
      }
      InjectKey(VK_RETURN, true, 13, {});
      InjectKey(VK_RETURN, false, 0, {});
      return true;
    });
    TScopeExit unhook([&] {
      Application->UnhookMainWindow(hook);
      if (TDBGridEx* g = Grid()) {
        g->OnMouseDown = nullptr;
        g->SetPopupMenu(nullptr);
      }
    });
    const POINT at = grid->ClientToScreen(click);
    InjectMouse(WM_MOUSEMOVE, at);
    InjectMouse(WM_RBUTTONDOWN, at);
    InjectMouse(WM_RBUTTONUP, at);
    Application->ProcessMessages();
    if (idles == 0)
      Say("  the title menu did not show");
    else if (auto* c = Grid() ? static_cast<TColumnEx*>(Grid()->Columns()->FindItemID(id)) : nullptr;
             c && c->Visible())
      Say("  the column stays shown");
  }
  // The menu of columns: an item for each, checked while the column shows, that shows or hides it.
  void BuildTitleMenu(TDBGridEx* Target) {
    titleMenu_->Items()->Clear();
    for (int i = 0; i < Target->Columns()->Count(); ++i) {
      TColumnEx* c = Target->Columns()->Items(i);
      auto* item = new TMenuItem(titleMenu_);
      item->SetCaption(c->Title()->Caption().empty() ? "(" + c->FieldName() + ")" : c->Title()->Caption());
      item->SetChecked(c->Visible());
      item->SetAutoCheck(true);
      item->SetTag(c->ID());
      item->OnClick = [this](TObject* Sender) {
        auto* chosen = static_cast<TMenuItem*>(Sender);
        TDBGridEx* grid = Grid();
        if (!grid) return;
        if (auto* c = static_cast<TColumnEx*>(grid->Columns()->FindItemID(static_cast<int>(chosen->Tag()))))
          c->SetVisible(chosen->Checked());
      };
      titleMenu_->Items()->Add(item);
    }
  }

  void Export() {
    TDBGridEx* grid = Grid();
    if (!grid || !grid->DataLink()->Active()) return;  // see ClipboardStep
    static const TDBGridExExportClass kClasses[] = {
        ExportClass<TDBGridExExportAsText>(), ExportClass<TDBGridExExportAsCSV>(),
        ExportClass<TDBGridExExportAsRTF>(), ExportClass<TDBGridExExportAsXLS>()};
    const int k = Pick(static_cast<int>(std::size(kClasses)));
    Say("export " + std::to_string(k));
    TStringStream s;
    WriteGridToExportStream(kClasses[k], grid, &s, Pick(2), TExportTextEncoding::Cp1251);
  }

  void FilterRow() {
    TDBGridEx* grid = Grid();
    if (!grid) return;
    switch (Pick(4)) {
      case 0:
        Say("filter row flipped");
        grid->STFilter()->SetVisible(!grid->STFilter()->Visible());
        break;
      case 1: {
        if (!grid->FilterRowShown() || grid->Columns()->Count() == 0) return;
        const int c = Pick(grid->Columns()->Count());
        Say("filter cell " + std::to_string(c));
        grid->ShowFilterEditor(c);
        break;
      }
      default: {
        const char* text = kFilterTexts[Pick(static_cast<int>(std::size(kFilterTexts)))];
        Say(std::string("filter text ") + text);
        // into the filter cell being edited, whose conditions may read it at once; a cell's editor holds
        // it (see Step)
        if (TInplaceFilterEditEx* f = grid->FilterEditor(); f && f->HandleAllocated() && f->Focused())
          NoteEntered(text, true, FilterColumnOf(grid));
        edited_ = true;
        typed_ += std::string_view(text).size();
        talvik::gui::InjectText(text);
        break;
      }
    }
  }

  randomwalk::TDraws& draws_;
  TWalkLog& log_;
  std::unique_ptr<TForm> form_;
  TEdit* other_ = nullptr;
  std::unique_ptr<TDataSource> source_;
  std::unique_ptr<TMemDataSet> data_;
  TComponentRef<TDBGridEx> grid_;
  int rowsMade_ = 0;
  bool presented_ = false;
  std::string errors_;
  int kind_ = -1;                             // the step now taken
  bool pasting_ = false;                      // it pastes the clipboard
  bool edited_ = false;                       // it types, deletes or pastes
  std::vector<TEntered> entered_;             // see NoteEntered
  int gridsMade_ = 0, dataMade_ = 0;          // grids and datasets made so far
  int recordMoves_ = 0;                       // see NewDataSet
  const THiddenState* stepHidden_ = nullptr;  // the hidden columns before the step taken (see Step)
  TPopupMenu* titleMenu_ = nullptr;           // see HideFromTitleMenu
  size_t typed_ = 0;                          // bytes of text typed so far
};

class GridRandomInput : public GridGuiTest, public ::testing::WithParamInterface<unsigned> {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    SetClipboardBackend(MakeMemoryClipboard());
  }
  void TearDown() override {
    delete GridFindDialog();  // the one find dialog goes with the patterns the walk searched for
    talvik::gui::SetMessageBoxHandler(nullptr);
    Application->OnException = nullptr;
    DBGridExDataService()->ApplySortingHook = nullptr;
    DBGridExDataService()->ApplyFilterHook = nullptr;
    SetClipboardBackend(nullptr);
    GridGuiTest::TearDown();
  }

  // Makes a walk over Draws and takes Count of its steps (see randomwalk::PlayWalk).
  static size_t Play(randomwalk::TDraws& Draws, TWalkLog& Log, size_t Count,
                     const randomwalk::TCapturedFailures* Captured) {
    SetClipboardBackend(MakeMemoryClipboard());  // a replay too starts with an empty clipboard
    GridWalk walk(Draws, Log);
    Application->OnException = [&walk](TObject*, const Exception& E) { walk.ErrorBox(E); };
    talvik::gui::SetMessageBoxHandler(
        [&walk](HWND, const std::string&, const std::string&, UINT) { return walk.Answer(); });
    // sorting and the filter row re-query the dataset, as the SQL datasets do: the fields go and come
    auto reopen = [](TCustomDBGridEx* Grid) {
      TDataSet* ds = Grid->DataSource() ? Grid->DataSource()->DataSet() : nullptr;
      if (!ds || !ds->Active()) return;
      ds->Close();
      ds->Open();
    };
    DBGridExDataService()->ApplySortingHook = reopen;
    DBGridExDataService()->ApplyFilterHook = reopen;
    return randomwalk::TakeSteps(walk, Log, Draws, Count, Captured);
  }
  static void Run(unsigned Seed, int Count) { randomwalk::PlayWalk(Seed, static_cast<size_t>(Count), Play); }
};

constexpr int kSteps = 1500;

// A walk of digits for the reduction's own test: each step draws a digit (shifted by one drawn in the
// set-up); a 7 fails it, one way when a 3 came before it and another way when none did.
class DigitWalk {
 public:
  DigitWalk(randomwalk::TDraws& Draws, TWalkLog& Log) : draws_(Draws), log_(Log), shift_(Draws.Pick(10)) {}
  void Step() {
    digits_.push_back((draws_.Pick(10) + shift_) % 10);
    log_.Say("digit " + std::to_string(digits_.back()));
  }
  void Check() {
    if (digits_.back() != 7) return;
    if (std::find(digits_.begin(), digits_.end(), 3) != digits_.end())
      FAIL() << "a 7 follows a 3 (" << digits_.size() << " digits)";
    FAIL() << "a 7 before any 3";
  }
  static size_t Play(randomwalk::TDraws& Draws, TWalkLog& Log, size_t Count,
                     const randomwalk::TCapturedFailures* Captured) {
    DigitWalk walk(Draws, Log);
    return randomwalk::TakeSteps(walk, Log, Draws, Count, Captured);
  }

 private:
  randomwalk::TDraws& draws_;
  TWalkLog& log_;
  const int shift_;
  std::vector<int> digits_;
};

}  // namespace

TEST_P(GridRandomInput, KeepsItsStateWhole) {
  Run(GetParam(), kSteps);
}

INSTANTIATE_TEST_SUITE_P(Seeds, GridRandomInput, ::testing::Values(1u, 2u, 3u), randomwalk::SeedName);

// A failed walk is reduced to the fewest steps that fail alike: of a walk of digits that failed when
// a 7 followed a 3, a 3 and the 7 stay, though the 7 alone fails too, otherwise.
TEST(RandomWalkReduction, KeepsTheFewestStepsThatFailAlike) {
  for (unsigned seed = 1;; ++seed) {
    randomwalk::TDraws walked(seed);
    std::string failure;
    {
      randomwalk::TCapturedFailures captured;
      TWalkLog log(seed, true);
      DigitWalk::Play(walked, log, 1000, &captured);
      failure = captured.First();
    }
    ASSERT_FALSE(failure.empty()) << "seed " << seed;
    if (randomwalk::FailureKind(failure) != "a # follows a # (# digits)" || walked.Tapes().size() < 5)
      continue;
    const randomwalk::TReducedWalk r =
        randomwalk::ReduceWalk(seed, walked.Tapes(), randomwalk::FailureKind(failure), DigitWalk::Play);
    ASSERT_EQ(r.steps.size(), 2u) << "seed " << seed << ":\n" << r.lines << r.failure;
    EXPECT_NE(r.lines.find("step " + std::to_string(r.steps[0]) + ": digit 3\n"), std::string::npos)
        << r.lines;
    EXPECT_EQ(r.steps[1], walked.Tapes().size() - 1) << r.lines;
    EXPECT_NE(r.lines.find("step " + std::to_string(r.steps[1]) + ": digit 7\n"), std::string::npos)
        << r.lines;
    EXPECT_EQ(r.failure, "a 7 follows a 3 (2 digits)");
    return;
  }
}

// The walk takes a conversion error about a text as the user's only when the text is what they typed
// into a cell, or a value of a filter text they typed: an empty value too, which a comma with no value
// after it gives, but never an empty text of a cell.
TEST(GridWalkJudgement, TakesAConversionOfAValueTyped) {
  EXPECT_TRUE(IsEnteredValue("", "1,", true));
  EXPECT_TRUE(IsEnteredValue("", ", ,", true));
  EXPECT_TRUE(IsEnteredValue("", "In (1,)", true));
  EXPECT_FALSE(IsEnteredValue("", "1", true));
  EXPECT_FALSE(IsEnteredValue("", "'a''b", true));
  EXPECT_FALSE(IsEnteredValue("", "", false));
  EXPECT_TRUE(IsEnteredValue("Qё3[p", "Q\nё3[p", true));
  EXPECT_TRUE(IsEnteredValue("Q", "Q\nё3[p", true));
  EXPECT_FALSE(IsEnteredValue("Q3", "Q\nё3[p", true));
  EXPECT_TRUE(IsEnteredValue("12.05", "12.05.1990", true));
  EXPECT_TRUE(IsEnteredValue("a'b", "'a''b'", true));
  EXPECT_TRUE(IsEnteredValue("2", "In (1,2)", true));
  EXPECT_TRUE(IsEnteredValue("1500.5..5", " 1500.5..5", false));
  EXPECT_FALSE(IsEnteredValue("1500", "1500.5..5", false));
  EXPECT_TRUE(IsEnteredValue("12/30/1899 1:00:00 AM.'a''b", "= 12/30/1899 1:00:00 AM.'a''b", true));
  EXPECT_FALSE(IsEnteredValue("12/30/1899 1:00:00 AM.'a''b", "= 12/30/1899 1:00:00 AM.", true));
}

// The walk takes a conversion error about a filter text typed into a column that shows no field as
// the user's when it fits the kind of value that filter keeps from the field it showed last (a word
// read as a number, seed 5128's), but not a conversion of another kind, nor one that names a field.
TEST(GridWalkJudgement, TakesAConversionOfAFilterByTheKindItKeepsWithoutAField) {
  EXPECT_TRUE(FilterKindConverts(stfvtNumber, "'Сеанс' is not a valid floating point value"));
  EXPECT_TRUE(FilterKindConverts(stfvtDateTime, "'3а' is not a valid date"));
  EXPECT_TRUE(FilterKindConverts(stfvtDateTime, "'25:61' is not a valid time"));
  EXPECT_FALSE(FilterKindConverts(stfvtNumber, "'3а' is not a valid date"));
  EXPECT_FALSE(FilterKindConverts(stfvtDateTime, "'а' is not a valid floating point value"));
  EXPECT_FALSE(FilterKindConverts(stfvtString, "'а' is not a valid floating point value"));
  EXPECT_FALSE(FilterKindConverts(stfvtUnknown, "'а' is not a valid floating point value"));
  EXPECT_FALSE(FilterKindConverts(stfvtNumber, "'а' is not a valid floating point value for field 'N'"));
}

namespace {  // (with the walk, whose friend it is)

// The walk takes the box of a filter text typed into a column that shows no field as the user's when
// the filter reads it by the kind of value it kept from the field it showed last and the text does
// not read so (as in seed 5128's walk: a word in the filter of a column that had read numbers), but
// not one of a text nobody typed there, nor one that names a field.
TEST_F(GridRandomInput, TakesAConversionOfAFilterTypedIntoAColumnWithoutAFieldByTheKindItKeeps) {
  randomwalk::TDraws draws(1);
  TWalkLog log(1, true);
  GridWalk walk(draws, log);
  TColumnEx* column = walk.Grid()->Columns()->Add();
  column->SetFieldName("N");
  ASSERT_NE(column->Field(), nullptr);
  column->STFilter()->SetFilterText(">5");
  column->SetFieldName("NO_SUCH");
  ASSERT_EQ(column->Field(), nullptr);
  ASSERT_EQ(column->STFilter()->Expression().ExpressionType, stfvtNumber);
  const std::string typed = "Сеанс";
  walk.NoteEntered(typed, true, column);
  // the errors of the walk for the box of the error Raise raises
  auto judged = [&walk](auto Raise) {
    walk.errors_.clear();
    try {
      Raise();
      ADD_FAILURE() << "nothing raised";
    } catch (const Exception& E) {
      walk.ErrorBox(E);
    }
    return walk.errors_;
  };
  EXPECT_EQ(judged([&] { column->STFilter()->SetFilterText(typed); }), "");
  constexpr std::string_view kRefused = "an error box for the conversion of a text not entered";
  const std::string untyped = judged([&] { column->STFilter()->SetFilterText("Строка"); });
  EXPECT_TRUE(untyped.starts_with(kRefused)) << "a text nobody typed into that filter: " << untyped;
  const std::string ofField = judged([&] { DatabaseErrorFmt(SInvalidFloatValue, {typed, "SALARY"}); });
  EXPECT_TRUE(ofField.starts_with(kRefused)) << "the text typed, as a field's: " << ofField;
  walk.errors_.clear();
}

}  // namespace

// The walk takes a text that shows in the cell editor after a step as the user's when the step
// typed it, or when the grid took it as its edit text then (a drop-down accepted with a key), but not
// a text loaded into the editor, nor one of another cell.
TEST(GridWalkJudgement, TakesATextTheGridTookFromADropDownAsEntered) {
  TEditorTexts before;
  before.cell = "";
  before.cellShown = true;
  before.col = before.row = 1;
  TEditorTexts accepted = before;
  accepted.cell = "0";
  accepted.linkModified = true;
  EXPECT_TRUE(EnteredIntoCell(before, accepted, false));
  TEditorTexts loaded = before;
  loaded.cell = "12.5";
  EXPECT_FALSE(EnteredIntoCell(before, loaded, false));
  EXPECT_TRUE(EnteredIntoCell(before, loaded, true));
  TEditorTexts typedBefore = before;
  typedBefore.linkModified = true;
  EXPECT_TRUE(EnteredIntoCell(typedBefore, accepted, false)) << "a value computed after a text was typed";
  TEditorTexts elsewhere = accepted;
  elsewhere.row = 2;
  EXPECT_FALSE(EnteredIntoCell(before, elsewhere, false));
}

// A replay of all the steps of a grid walk takes them as the walk did, as its reduction needs.
TEST_F(GridRandomInput, ReplaysAWalkAlike) {
  constexpr unsigned kSeed = 1;
  constexpr size_t kReplayed = 300;
  randomwalk::TDraws walked(kSeed);
  TWalkLog log(kSeed, true);
  ASSERT_EQ(Play(walked, log, kReplayed, nullptr), kReplayed);
  std::vector<size_t> all(kReplayed);
  std::iota(all.begin(), all.end(), size_t{0});
  randomwalk::TDraws replayed(kSeed, all, walked.Tapes());
  TWalkLog again(kSeed, true);
  ASSERT_EQ(Play(replayed, again, kReplayed, nullptr), kReplayed);
  const std::string walk = log.Lines(), replay = again.Lines();
  if (walk == replay) return;
  // the line where they part
  const auto at = std::mismatch(walk.begin(), walk.end(), replay.begin(), replay.end()).first - walk.begin();
  const size_t newline = at == 0 ? std::string::npos : walk.rfind('\n', static_cast<size_t>(at) - 1);
  const size_t line = newline == std::string::npos ? 0 : newline + 1;
  // (whole lines: a cut could split a character of a step's text)
  auto lineAt = [line](const std::string& Lines) {
    return Lines.substr(line, Lines.find('\n', line) - line);
  };
  ADD_FAILURE() << "the replay parts from the walk at:\n"
                << lineAt(walk) << "\nreplayed:\n"
                << lineAt(replay);
}

// A longer walk of a seed of one's own choosing: TALVIK_RANDOM_SEED, TALVIK_RANDOM_STEPS.
TEST_F(GridRandomInput, ChosenSeed) {
  randomwalk::RunChosenWalk(Run);
}
