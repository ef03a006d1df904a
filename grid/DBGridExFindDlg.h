// The grid's find dialog: a pattern, one column or all of them, how the pattern must match, the
// direction and whether letter case counts; "На&йти далее" steps from match to match through the
// grid's dataset. The search itself (columns to search, stepping from cell to cell, matching) is
// TGridFindEngine, which knows nothing of the form. One dialog serves every grid of the process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "grid/DBCheckBoxEx.h"
#include "grid/DBComboBoxEx.h"
#include "grid/DBGridEx.h"
#include "platform/gui/StdCtrls.h"

enum TGridFindMatchType { gfmAnyPart, gfmWholeField, gfmFromBeginning };
enum TGridFindDirection { gfdUp, gfdDown, gfdAll };
enum TGridFindResult {
  gfrSkipped,  // no open dataset or no column to search: nothing was done
  gfrFound,    // the dataset stands on the matching record, the grid focuses the matching column
  gfrNotFound  // the grid is back where the search started
};

struct TGridFindOptions {
  TGridFindMatchType MatchType = gfmAnyPart;
  TGridFindDirection Direction = gfdAll;
  bool CaseSensitive = false;
  bool UseFormat = true;  // the displayed text rather than the stored value
};

class TGridFindEngine {
 public:
  TCustomDBGridEx* Grid() const { return grid_; }
  void SetGrid(TCustomDBGridEx* Value);
  // The columns searched, in the order they are searched within a record.
  const TColumnsExList& Columns() const { return columns_; }
  // New columns to search: the next search is a first one.
  void SetColumns(TColumnsExList Value, TGridFindDirection Direction);
  // A change of the pattern, the columns or the direction: the next search is a first one, starting
  // from the first listed column (the last one upwards).
  void Restart(TGridFindDirection Direction);
  // The index in Columns() of the cell examined last; -1 before the columns are set.
  int ColumnIndex() const { return index_; }
  void SetColumnIndex(int Value) { index_ = Value; }
  bool FirstSearch() const { return firstSearch_; }
  // Forgets a column that is going away (and the grid with its last column).
  void ColumnRemoved(TColumnEx* Column);

  // Looks for the next cell matching Pattern. Reverse turns the direction round for this search.
  TGridFindResult FindNext(const std::string& Pattern, const TGridFindOptions& Options, bool Reverse);

  // The text of a column's cell in the current record: the displayed text, or the field's value.
  static std::string CellText(TColumnEx* Column, bool UseFormat);
  // Whether Text matches Pattern (both already folded to one case when case does not count).
  static bool Matches(std::string_view Pattern, std::string_view Text, TGridFindMatchType MatchType);

 private:
  // Moves to the next cell in the direction; false at the end of the dataset.
  bool Step(TDataSet* DataSet, bool Forward);

  TCustomDBGridEx* grid_ = nullptr;
  TColumnsExList columns_;
  int index_ = -1;
  bool firstSearch_ = true;
};

class TDBGridExFindDlg : public TForm {
  TALVIK_CLASS(TDBGridExFindDlg, TForm)
  explicit TDBGridExFindDlg(TComponent* AOwner);
  ~TDBGridExFindDlg() override;

  // Binds the dialog to Grid and shows it (modally, or non-modally on top of the other windows).
  void Execute(TCustomDBGridEx* Grid, const std::string& Text, bool Modal, TStrings* Entries);
  // Binds the dialog to Grid and prepares its fields as Execute does, without showing it.
  void Prepare(TCustomDBGridEx* Grid, const std::string& Text, TStrings* Entries);
  TGridFindEngine& Engine() { return engine_; }
  // A grid's column is about to be freed: the search and the column choice forget it (an entry is
  // known by its column's address); a chosen column that goes leaves "<All>" chosen.
  void ColumnGoing(TColumnEx* Column);
  TGridFindOptions Options() const;

  TLabel* Label1;
  TDBComboBoxEx* cbText;
  TLabel* Label2;
  TDBComboBoxEx* cbFindIn;
  TLabel* cbMatchType;
  TDBComboBoxEx* cbMatchinType;
  TLabel* Label3;
  TDBComboBoxEx* cbFindDirection;
  TDBCheckBoxEx* cbCharCase;
  TDBCheckBoxEx* cbUseFormat;
  TButton* bFind;
  TButton* bCancel;

  void bFindClick(TObject* Sender);    // NOLINT(readability-identifier-naming): component + event
  void bCancelClick(TObject* Sender);  // NOLINT(readability-identifier-naming): component + event
  void cbFindInChange(TObject* Sender);
  void cbTextChange(TObject* Sender);
  void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void BuildLayout();
  TGridFindDirection Direction() const;

  TGridFindEngine engine_;
};

// The dialog's texts.
inline constexpr char SFindDlgCaption[] = "Поиск";
inline constexpr char SFindDlgAllColumns[] = "<All>";
inline constexpr char SFindDlgNotFound[] = "Строка \"%s\" не найдена.";
inline constexpr const char* SFindDlgMatchTypes[] = {"С любой части поля", "Поля целиком", "С начала поля"};
inline constexpr const char* SFindDlgDirections[] = {"Вверх", "Вниз", "Все"};

// Opens the shared find dialog for Grid (made on first use, owned by the application object):
// Text in the pattern box; Entries (caption, column object) or the grid's visible columns, then
// "<All>", in the column choice; modal or non-modal.
void ExecuteGridFindDialog(TCustomDBGridEx* Grid, const std::string& Text, bool Modal, TStrings* Entries);
// The shared dialog, nullptr before its first use.
TDBGridExFindDlg* GridFindDialog();
// The unit's start: hands ExecuteGridFindDialog to the grid's find hook (the grid unit's start calls it).
void InitGridFindDialogUnit();
