// Grid import and the clipboard commands: pasted lines into records (from the focused column, appending
// at the end), the exchange format's tags, malformed input that changes nothing, export and import
// round trips, copy, cut, paste and delete on the memory clipboard with answered questions, and the
// always-shown editor of a memory table after a paste.
#include <gtest/gtest.h>

#include <memory>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExImport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"

namespace {

using namespace gridtest;

class GridImport : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    SetClipboardBackend(MakeMemoryClipboard());
    talvik::gui::SetMessageBoxHandler([this](HWND, const std::string& Text, const std::string&, UINT) {
      questions.push_back(Text);
      return answer;
    });
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 20);
    ds.FieldDefs()->Add("KIND", ftString, 5);
    ds.AddRow({1, "Ann", "a"});
    ds.AddRow({2, "Bob", "b"});
    ds.AddRow({3, "Cid", Null()});
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 300);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 580, 280);
    grid->SetDataSource(&source);
    grid->SetOptions(grid->Options() + dgMultiSelect);
    ds.Open();
    for (const char* n : {"ID", "NAME", "KIND"}) grid->Columns()->Add()->SetFieldName(n);
    TColumnEx* kind = grid->Columns()->Items(2);
    kind->PickList()->SetText("Alpha\nBeta");
    kind->KeyList()->SetText("a\nb");
  }
  void TearDown() override {
    form.reset();
    talvik::gui::SetMessageBoxHandler(nullptr);
    SetClipboardBackend(nullptr);
    GridGuiTest::TearDown();
  }
  // Every record as "ID NAME KIND" lines (null as "-").
  std::string Rows() {
    std::string s;
    const TBookmarkStr here = ds.Bookmark();
    ds.DisableControls();
    for (ds.First(); !ds.Eof(); ds.Next()) {
      for (int i = 0; i < 3; ++i)
        s += (i ? " " : "") + (ds.Fields()->Fields(i)->IsNull() ? "-" : ds.Fields()->Fields(i)->AsString());
      s += "\n";
    }
    ds.SetBookmark(here);
    ds.EnableControls();
    return s;
  }
  void PasteText(const std::string& Text, bool All = false) {
    TStringStream s(Text);
    LoadGridFromImportStream(ImportClass<TDBGridExImportAsText>(), grid, &s, All, TExportTextEncoding::Utf8);
  }
  void PasteVCLDBIF(const std::string& Bytes) {
    TStringStream s(Bytes);
    LoadGridFromImportStream(ImportClass<TDBGridExImportAsVCLDBIF>(), grid, &s, false);
  }
  TMemDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  std::vector<std::string> questions;
  int answer = mrOk;
};

TEST_F(GridImport, TwoLinesOnTheLastRecordAppendOne) {
  ds.Last();
  grid->SetSelectedIndex(1);  // NAME
  PasteText("Zed\tBeta\r\nYan\tAlpha");
  EXPECT_EQ(Rows(), "1 Ann a\n2 Bob b\n3 Zed b\n- Yan a\n");
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(GridImport, ShortLongAndEmptyValues) {
  ds.First();
  grid->SetSelectedIndex(0);
  // a short line leaves the rest; a long one drops the surplus; two tabs give an empty value, which
  // clears a key-list column; no line end after the last value
  PasteText("10\r\n20\t\tGamma\textra\r\n30\tC\tBeta");
  EXPECT_EQ(Rows(), "10 Ann a\n20  -\n30 C b\n");
  // lone line feeds end lines too, and the first zero byte ends the text
  ds.First();
  PasteText(std::string("7\n8\r\n", 5) + std::string("\0garbage", 8));
  EXPECT_EQ(Rows(), "7 Ann a\n8  -\n30 C b\n");
}

TEST_F(GridImport, ExchangeFormatTags) {
  ds.First();
  grid->SetSelectedIndex(0);
  // three columns: no value, null, text
  std::string bytes = std::string("VCLDBIF\x01\x03\0\0\0", 12) + std::string("\x01\0\x01\0\x01\0", 6);
  bytes += std::string("\x01\x02\x05\x03\0\0\0Dan", 10);
  bytes += std::string("\0", 1);
  PasteVCLDBIF(bytes);
  EXPECT_EQ(Rows(), "1 - Dan\n2 Bob b\n3 Cid -\n");
}

struct MalformedCase {
  const char* Name;
  bool Text;
  std::string Bytes;
  const char* Message;
};

class GridImportMalformed : public GridImport, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(GridImportMalformed, RaisesAndChangesNothing) {
  const MalformedCase& c = GetParam();
  ds.First();
  const std::string before = Rows();
  // a reader that never ends would append records without end: stopped here instead of hanging
  int inserts = 0;
  ds.BeforeInsert = [&](TDataSet*) {
    if (++inserts > 50) throw Exception("records appended without end");
  };
  try {
    if (c.Text)
      PasteText(c.Bytes);
    else
      PasteVCLDBIF(c.Bytes);
    FAIL() << "accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.Message()), c.Message);
  }
  EXPECT_EQ(Rows(), before);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_FALSE(ds.ControlsDisabled());
}

const char* const kText = "TDBGridExImportAsText.CheckState: Неверный формат текста";
const char* const kVcl = "TDBGridExImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF";
const std::string kHead = std::string("VCLDBIF\x01\x01\0\0\0\x01\0", 14);

INSTANTIATE_TEST_SUITE_P(
    grid, GridImportMalformed,
    ::testing::Values(
        MalformedCase{"CrWithoutLf", true, "1\tA\r\n2\rB", kText},
        MalformedCase{"CrAtTheEnd", true, "1\tA\r", kText},
        MalformedCase{"ShortHeader", false, "VCLDBIF\x01", kVcl},
        MalformedCase{"WrongMagic", false, std::string("VCLDBIX\x01\x01\0\0\0\x01\0\0", 15), kVcl},
        MalformedCase{"TruncatedDescriptor", false, std::string("VCLDBIF\x01\x02\0\0\0\x01\0\x01", 13), kVcl},
        MalformedCase{"NegativeCount", false, std::string("VCLDBIF\x01\xff\xff\xff\xff", 12), kVcl},
        MalformedCase{"HugeCount", false, std::string("VCLDBIF\x01\xff\xff\xff\x7f\x01\0", 14), kVcl},
        MalformedCase{"NoEndTag", false, kHead + std::string("\x03\x09\0\0\0", 5), kVcl},
        MalformedCase{"ShortInteger", false, kHead + std::string("\x03\x09\0", 3), kVcl},
        MalformedCase{"HugeLength", false,
                      kHead + std::string("\x05\xff\xff\xff\x7f"
                                          "abc\0",
                                          9),
                      kVcl},
        MalformedCase{"NegativeLength", false, kHead + std::string("\x06\xfe\xff\xff\xff\0", 6), kVcl},
        // values but no column to take them: no record could ever consume one
        MalformedCase{"ValuesWithoutColumns", false, std::string("VCLDBIF\x01\0\0\0\0\x03\x05\0\0\0\0", 18),
                      kVcl}),
    [](const ::testing::TestParamInfo<MalformedCase>& i) { return std::string(i.param.Name); });

TEST_F(GridImport, ValueErrorsAskYesNoOrAll) {
  ds.First();
  grid->SetSelectedIndex(0);
  answer = mrYes;  // skip the bad value, go on
  PasteText("x\tA1\r\n5\tB1");
  EXPECT_EQ(Rows(), "1 A1 a\n5 B1 b\n3 Cid -\n");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].substr(0, questions[0].find('\n')), "Ошибка при вставки значения:");
  EXPECT_NE(questions[0].find("\n\nИгнорировать ошибку?"), std::string::npos);

  questions.clear();
  answer = mrAll;  // skip, and ask no more
  ds.First();
  PasteText("x\tA2\r\ny\tB2");
  EXPECT_EQ(questions.size(), 1u);
  EXPECT_EQ(Rows(), "1 A2 a\n5 B2 b\n3 Cid -\n");

  questions.clear();
  answer = mrNo;  // stop; the record being changed is given up
  ds.First();
  EXPECT_THROW(PasteText("9\tA3\r\ny\tB3"), EAbort);
  EXPECT_EQ(Rows(), "9 A3 a\n5 B2 b\n3 Cid -\n");
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_FALSE(ds.ControlsDisabled());
}

TEST_F(GridImport, ExportThenImportRoundTrips) {
  for (bool exchange : {false, true}) {
    TStringStream out;
    WriteGridToExportStream(
        exchange ? ExportClass<TDBGridExExportAsVCLDBIF>() : ExportClass<TDBGridExExportAsText>(), grid, &out,
        true);
    const std::string before = Rows();
    ds.First();
    for (int i = 0; i < 3; ++i) {
      ds.Edit();
      ds.FieldByName("NAME")->SetAsString("Ёж " + IntToStr(i));
      ds.FieldByName("KIND")->Clear();
      ds.Post();
      ds.Next();
    }
    grid->SetOptions(grid->Options() - dgTitles);  // the text import reads no title line
    TStringStream in(exchange ? out.DataString()
                              : out.DataString().substr(out.DataString().find("\r\n") + 2));
    LoadGridFromImportStream(
        exchange ? ImportClass<TDBGridExImportAsVCLDBIF>() : ImportClass<TDBGridExImportAsText>(), grid, &in,
        true);
    EXPECT_EQ(Rows(), before) << (exchange ? "VCLDBIF" : "text");
    grid->SetOptions(grid->Options() + dgTitles);
  }
}

TEST_F(GridImport, CopyPutsFiveFormatsAndPasteTakesTheExchangeFormat) {
  grid->SetEditActions({geaCopyEx, geaPasteEx, geaCutEx, geaDeleteEx, geaSelectAllEx});
  ds.First();
  grid->SelectedRows()->SetCurrentRowSelected(true);
  CopyGridToClipboard(grid, false);
  std::string text, csv, rtf, vcl;
  ASSERT_TRUE(GetClipboardData(CF_TEXT, text));
  ASSERT_TRUE(GetClipboardData(CF_CSV(), csv));
  ASSERT_TRUE(GetClipboardData(CF_RICHTEXT(), rtf));
  ASSERT_TRUE(GetClipboardData(CF_VCLDBIF(), vcl));
  EXPECT_EQ(text, "ID\tNAME\tKIND\r\n1\tAnn\tAlpha");
  EXPECT_EQ(csv, "\"ID\";\"NAME\";\"KIND\"\r\n\"1\";\"Ann\";\"Alpha\"");
  EXPECT_EQ(rtf.substr(0, 23), "{\\rtf0\\ansi\\ansicpg1251");
  EXPECT_EQ(vcl.substr(0, 7), "VCLDBIF");
  EXPECT_EQ(vcl.back(), '\0');

  // paste into the third record's selection: the exchange format wins over the text
  grid->Selection()->Clear();
  ds.Last();
  grid->SelectedRows()->SetCurrentRowSelected(true);
  PasteGridFromClipboard(grid, false);
  EXPECT_EQ(Rows(), "1 Ann a\n2 Bob b\n1 Ann a\n");

  // cut: the record goes, its copy stays on the clipboard
  grid->Selection()->Clear();
  ds.First();
  ds.Next();
  grid->SelectedRows()->SetCurrentRowSelected(true);
  CutGridToClipboard(grid, false);
  EXPECT_EQ(Rows(), "1 Ann a\n1 Ann a\n");
  ASSERT_TRUE(GetClipboardData(CF_TEXT, text));
  EXPECT_EQ(text, "ID\tNAME\tKIND\r\n2\tBob\tBeta");
  ds.AddRow({3, "Cid", Null()});

  // text alone on the clipboard
  Clipboard()->SetAsText("4\tDee");
  grid->Selection()->Clear();
  ds.Last();
  grid->SetSelectedIndex(0);
  PasteGridFromClipboard(grid, false);
  EXPECT_EQ(Rows(), "1 Ann a\n1 Ann a\n4 Dee -\n");
}

TEST_F(GridImport, DeletionAsksOnlyForRecordsAndRectangles) {
  ds.First();
  grid->SelectedRows()->SetCurrentRowSelected(true);
  answer = mrCancel;
  DeleteGridSelection(grid, false);
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0], "Delete record?");
  EXPECT_EQ(Rows(), "1 Ann a\n2 Bob b\n3 Cid -\n");
  ds.Next();
  grid->SelectedRows()->SetCurrentRowSelected(true);
  answer = mrOk;
  DeleteGridSelection(grid, false);
  EXPECT_EQ(questions.back(), "Delete all selected records?");
  EXPECT_EQ(Rows(), "3 Cid -\n");
  EXPECT_EQ(grid->Selection()->SelectionType(), gstNon);

  // a selected column is cleared in every record without a question
  questions.clear();
  ds.AddRow({4, "Dee", "b"});
  grid->Selection()->Columns()->Select(grid->Columns()->Items(1), false);
  DeleteGridSelection(grid, false);
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(Rows(), "3 - -\n4 - b\n");

  // a rectangle asks in its own words
  ds.First();
  grid->Selection()->Rect()->Select(0, ds.Bookmark(), false);
  ds.Next();
  grid->Selection()->Rect()->Select(2, ds.Bookmark(), true);
  answer = mrOk;
  DeleteGridSelection(grid, false);
  EXPECT_EQ(questions.back(), "Очистить выделенные ячейки?");
  EXPECT_EQ(Rows(), "- - -\n- - -\n");

  questions.clear();
  DeleteGridSelection(grid, true);  // everything, unasked
  EXPECT_TRUE(questions.empty());
  EXPECT_EQ(Rows(), "");
}

// A grid over a memory table, its editor always shown, focused on a check-box cell where the editor
// does not show: a paste of the whole grid moves to the first cell, whose editor then shows, and
// writes the first record under disabled controls. The editor shows what the record holds after it,
// and so it does when the program moves to that cell and changes the record the same way.
TEST_F(GridImport, TheAlwaysShownEditorOfAMemoryTableShowsWhatAPasteWrote) {
  TPresentedSessions table(6);
  TDataSource presented(nullptr);
  presented.SetDataSet(&table);
  table.Open();
  grid->Columns()->Clear();
  for (const char* n : {"N", "NAME", "ACTIVE"}) grid->Columns()->Add()->SetFieldName(n);
  grid->Columns()->Items(2)->KeyList()->SetText("True\r\nFalse");
  grid->Columns()->Items(2)->SetCheckboxes(true);
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor - dgMultiSelect);
  grid->SetDataSource(&presented);
  form->Show();
  grid->SetFocus();
  Drain();
  auto clickCheckBoxCell = [&](int Row) {
    const TRect cell = grid->CellRect(grid->DataToRawColumn(2), grid->TitleOffset() + Row);
    const TPoint p = grid->ClientToScreen(TPoint{cell.Left + 3, cell.Top + 3});
    talvik::gui::InjectMouse(WM_LBUTTONDOWN, POINT{p.X, p.Y});
    talvik::gui::InjectMouse(WM_LBUTTONUP, POINT{p.X, p.Y});
    Application->ProcessMessages();
  };
  ASSERT_NE(grid->MemTable(), nullptr);
  clickCheckBoxCell(2);
  ASSERT_EQ(table.RecNo(), 3);
  ASSERT_FALSE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
  PasteText("7", true);
  Application->ProcessMessages();
  ASSERT_EQ(table.RecNo(), 1);
  EXPECT_EQ(table.FieldByName("N")->AsString(), "7");
  ASSERT_TRUE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
  EXPECT_EQ(grid->InplaceEditor()->Text(), "7") << "the editor shows the record as it was before the paste";

  clickCheckBoxCell(0);
  ASSERT_FALSE(grid->InplaceEditor()->Visible());
  grid->SetSelectedIndex(0);
  ASSERT_EQ(grid->InplaceEditor()->Text(), "7");
  table.DisableControls();
  table.Edit();
  table.FieldByName("N")->SetAsInteger(8);
  table.Post();
  table.EnableControls();
  Application->ProcessMessages();
  EXPECT_EQ(grid->InplaceEditor()->Text(), "8") << "the editor shows the record as it was before the change";
  form.reset();
}

// A memory table shows the rows fetched so far: past the last of them the grid stays on that row
// while the record moves on. The editor shows the record's text all the same.
TEST_F(GridImport, TheEditorOfAMemoryTableShowsTheRecordPastTheRowsFetched) {
  TPresentedSessions table(44);  // 30 fetched
  TDataSource presented(nullptr);
  presented.SetDataSet(&table);
  table.Open();
  grid->Columns()->Clear();
  grid->SetOptions(grid->Options() + dgAlwaysShowEditor - dgMultiSelect);
  grid->SetDataSource(&presented);
  form->Show();
  grid->SetFocus();
  Drain();
  ASSERT_NE(grid->MemTable(), nullptr);
  table.Last();
  Application->ProcessMessages();
  const int row = grid->Row();
  ASSERT_TRUE(grid->InplaceEditor() && grid->InplaceEditor()->Visible());
  ASSERT_EQ(grid->InplaceEditor()->Text(), table.FieldByName("N")->Text());
  table.Prior();
  Application->ProcessMessages();
  ASSERT_EQ(grid->Row(), row) << "the grid left the last row fetched";
  EXPECT_EQ(table.FieldByName("N")->Text(), "43");
  EXPECT_EQ(grid->InplaceEditor()->Text(), "43") << "the editor shows the record the grid left";
  form.reset();
}

}  // namespace
