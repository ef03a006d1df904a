// The data-aware edit: its own value without a data source, writing a bound field at once or on
// exit, Esc, several fields given Null, button short cuts, a refused character's beep, the dialog
// codes, a holder that sees every key first, the text rectangle beside buttons and image, and the
// recent-entries drop-down following what is typed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "grid/DBEditEx.h"
#include "grid/DBGridEx.h"
#include "platform/gui/Clipbrd.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

// A backend that only counts beeps (installed just around the key that beeps).
class TBeepCounter : public talvik::gui::Backend {
 public:
  std::unique_ptr<talvik::gui::Host> CreateHost(HWND) override { return nullptr; }
  void Pump(bool, int) override {}
  void Wake() override {}
  std::vector<MONITORINFO> Screens() override { return {}; }
  POINT CursorPos() override { return POINT(); }
  void Beep() override { ++beeps; }
  int beeps = 0;
};

class DBEdit : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    people = std::make_unique<People>();
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(40, 40, 400, 200);
    edit = new TDBEditEx(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 200, 21);
    other = new TEdit(form.get());
    other->SetParent(form.get());
    other->SetBounds(10, 60, 100, 21);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    people.reset();
    GridGuiTest::TearDown();
  }
  void Bind(const char* field) {
    edit->SetDataSource(&people->source);
    edit->SetDataField(field);
  }
  void Focus() {
    edit->SetFocus();
    Pump();
  }
  static void Pump() { talvik::gui::ProcessPending(); }
  static WORD VkOf(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<WORD>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<WORD>(c);
    if (c >= '0' && c <= '9') return static_cast<WORD>(c);
    return 0;
  }
  static void Key(WORD vk, char32_t ch = 0, ShiftKeys s = {}) {
    TypeKey(vk, ch, s);
    Pump();
  }
  static void Type(const std::u32string& text) {
    for (char32_t c : text) Key(VkOf(c), c);
  }
  std::unique_ptr<People> people;
  std::unique_ptr<TForm> form;
  TDBEditEx* edit = nullptr;
  TEdit* other = nullptr;
};

TEST_F(DBEdit, WithoutADataSourceItKeepsItsValueBindingDropsIt) {
  EXPECT_TRUE(edit->DataLink()->DataIndependent());
  Focus();
  Type(U"abc");
  EXPECT_EQ(edit->Text(), "abc");
  other->SetFocus();  // leaving writes the kept value
  Pump();
  EXPECT_EQ(edit->DataLink()->Value().AsString(), "abc");
  edit->SetText("xyz");
  EXPECT_EQ(edit->DataLink()->Value().AsString(), "xyz");
  EXPECT_EQ(edit->Value().AsString(), "xyz");
  Bind("NAME");
  EXPECT_FALSE(edit->DataLink()->DataIndependent());
  EXPECT_TRUE(edit->DataLink()->Value().IsNull());
  EXPECT_EQ(edit->Text(), "Ann");
  EXPECT_EQ(edit->MaxLength(), 20);  // the string field's size
}

TEST_F(DBEdit, SettingTextOnABrowsingDataSetEditsAndWritesAtOnce) {
  Bind("NAME");
  ASSERT_EQ(people->ds.State(), dsBrowse);
  edit->SetText("Zoe");
  EXPECT_EQ(people->ds.State(), dsEdit);
  EXPECT_EQ(people->F("NAME")->AsString(), "Zoe");
  edit->SetValue(TVariant("Yan"));
  EXPECT_EQ(people->F("NAME")->AsString(), "Yan");
}

TEST_F(DBEdit, TypingEditsTheRecordAndLeavingWritesTheField) {
  Bind("NAME");
  Focus();
  edit->SelectAll();
  Type(U"Bea");
  EXPECT_EQ(people->ds.State(), dsEdit);
  EXPECT_EQ(people->F("NAME")->AsString(), "Ann");  // not yet
  other->SetFocus();
  Pump();
  EXPECT_EQ(people->F("NAME")->AsString(), "Bea");
}

TEST_F(DBEdit, EscRestoresTheFieldAndSelectsTheText) {
  Bind("NAME");
  Focus();
  edit->SetSelStart(3);
  Type(U"xy");
  EXPECT_EQ(edit->Text(), "Annxy");
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(edit->Text(), "Ann");
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_EQ(edit->SelLength(), 3);
  EXPECT_EQ(people->F("NAME")->AsString(), "Ann");
}

TEST_F(DBEdit, AMultiFieldLinkGivenNullClearsEveryField) {
  TFieldDataLinkEx* link = edit->DataLink();
  link->SetMultiFields(true);
  Bind("NAME;FLAG");
  ASSERT_EQ(link->Fields().size(), 2u);
  people->ds.Edit();
  link->SetValue(Null());
  EXPECT_TRUE(people->F("NAME")->IsNull());
  EXPECT_TRUE(people->F("FLAG")->IsNull());
  link->SetValue(VarArrayOf({TVariant("Kim"), TVariant("y")}));
  EXPECT_EQ(people->F("NAME")->AsString(), "Kim");
  EXPECT_EQ(people->F("FLAG")->AsString(), "y");
}

TEST_F(DBEdit, AButtonShortCutPressesAndClicksIt) {
  int clicks = 0, downs = 0;
  TEditButtonEx* extra = edit->EditButtons()->Add();  // visible, Alt+Down
  extra->OnClick = [&](TObject*, bool&) { ++clicks; };
  extra->OnDown = [&](TObject*, bool, bool&, bool&) { ++downs; };
  Focus();
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(clicks, 1);
  // the main button in front of it with the same short cut: it opens the drop-down instead
  edit->EditButton()->SetVisible(true);
  edit->EditButton()->SetShortCut(kAltDownShortCut);
  Key(VK_DOWN, 0, ShiftKeys{false, false, true});
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(edit->ButtonControl(0)->AlwaysDown());  // DropDown holds it pressed
}

TEST_F(DBEdit, ARefusedCharacterBeepsAndIsDropped) {
  Bind("ID");
  Focus();
  edit->SetSelStart(1);
  TBeepCounter beeper;
  talvik::gui::SetBackend(&beeper);
  Key('X', U'x');
  Key('7', U'7');
  talvik::gui::SetBackend(nullptr);
  EXPECT_EQ(beeper.beeps, 1);
  EXPECT_EQ(edit->Text(), "17");
}

struct DlgCase {
  const char* name;
  bool tabs, returns;
  LRESULT code;
};
class DBEditDlgCodes : public DBEdit, public ::testing::WithParamInterface<DlgCase> {};

TEST_P(DBEditDlgCodes, ArrowsSelectionCharactersAndWhatIsWanted) {
  edit->SetWantTabs(GetParam().tabs);
  edit->SetWantReturns(GetParam().returns);
  EXPECT_EQ(edit->Perform(WM_GETDLGCODE), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DBEditDlgCodes,
    ::testing::Values(DlgCase{"Plain", false, false, 137}, DlgCase{"Tabs", true, false, 137 | DLGC_WANTTAB},
                      DlgCase{"Returns", false, true, 137 | DLGC_WANTALLKEYS},
                      DlgCase{"Both", true, true, 137 | DLGC_WANTTAB | DLGC_WANTALLKEYS}),
    [](const auto& info) { return std::string(info.param.name); });

// A holder that logs the keys and swallows the letter q.
class TFakeHolder : public TObject, public IInplaceEditHolderEx {
 public:
  bool CanEdit(TControl*) override { return canEdit; }
  void GetMouseDownInfo(TPoint& Pos, std::uint64_t& Time) override {
    Pos = downAt;
    Time = downTime;
  }
  void InplaceEditWndProc(TControl*, TMessage&) override {}
  void InplaceEditKeyDown(TControl*, WORD& Key, TShiftState) override {
    log.push_back("down " + std::to_string(Key));
    if (Key == 'Q') Key = 0;
  }
  void InplaceEditKeyPress(TControl*, char32_t& Key) override {
    log.push_back("press " + std::to_string(static_cast<int>(Key)));
    if (Key == U'q') Key = 0;
  }
  void InplaceEditKeyUp(TControl*, WORD& Key, TShiftState) override {
    log.push_back("up " + std::to_string(Key));
  }
  std::vector<std::string> log;
  bool canEdit = true;
  TPoint downAt;
  std::uint64_t downTime = 0;
};

TEST_F(DBEdit, AHolderSeesEveryKeyFirstAndMaySwallowIt) {
  TFakeHolder holder;
  edit->SetInplaceEditHolder(&holder);
  Focus();
  Type(U"aq");
  EXPECT_EQ(edit->Text(), "a");
  EXPECT_EQ(holder.log,
            (std::vector<std::string>{"down 65", "press 97", "up 65", "down 81", "press 113", "up 81"}));
  // a holder that refuses editing keeps the window read-only
  holder.canEdit = false;
  Type(U"b");
  EXPECT_EQ(edit->Text(), "a");
  TObject notAHolder;
  try {
    edit->SetInplaceEditHolder(&notAHolder);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "InplaceEditHolder have to support IInplaceEditHolderEx interface");
  }
  edit->SetInplaceEditHolder(nullptr);
}

// A windowed holder: the edit goes over it and comes back to it.
class THolderPanel : public TCustomControl, public IInplaceEditHolderEx {
 public:
  using TCustomControl::TCustomControl;
  bool CanEdit(TControl*) override { return true; }
  void GetMouseDownInfo(TPoint& Pos, std::uint64_t& Time) override {
    Pos = TPoint();
    Time = 0;
  }
  void InplaceEditWndProc(TControl*, TMessage&) override {}
  void InplaceEditKeyDown(TControl*, WORD&, TShiftState) override {}
  void InplaceEditKeyPress(TControl*, char32_t&) override {}
  void InplaceEditKeyUp(TControl*, WORD&, TShiftState) override {}
};

TEST_F(DBEdit, InPlaceTheHolderShowsAndHidesItAndGetsTheFocusBack) {
  auto* panel = new THolderPanel(form.get());
  panel->SetParent(form.get());
  panel->SetBounds(10, 100, 300, 60);
  panel->SetTabStop(true);
  auto* cellEdit = new TDBEditEx(form.get());
  cellEdit->SetParent(panel);
  cellEdit->SetInplaceEditHolder(panel);
  cellEdit->InplaceHide();
  panel->SetFocus();
  Pump();
  cellEdit->InplaceMove(Rect(20, 10, 120, 30));
  EXPECT_TRUE(IsWindowVisible(cellEdit->Handle()));
  EXPECT_EQ(cellEdit->BoundsRect(), Rect(20, 10, 120, 30));
  EXPECT_EQ(GetFocus(), cellEdit->Handle());  // the holder had the focus: the editor takes it
  EXPECT_TRUE(cellEdit->Visible());
  // a holder hiding the window itself: the control reports what the window shows
  SetWindowPos(cellEdit->Handle(), nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_FALSE(cellEdit->Visible());
  cellEdit->InplaceMove(Rect(20, 10, 120, 30));
  EXPECT_TRUE(cellEdit->Visible());
  cellEdit->InplaceHide();
  EXPECT_FALSE(cellEdit->Visible());
  EXPECT_FALSE(IsWindowVisible(cellEdit->Handle()));
  EXPECT_TRUE(cellEdit->BoundsRect().IsEmpty());
  EXPECT_EQ(GetFocus(), panel->Handle());
  cellEdit->SetInplaceEditHolder(nullptr);
}

TEST_F(DBEdit, ARemovedDataSourceImageListAndHolderAreForgotten) {
  auto source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(&people->ds);
  edit->SetDataSource(source.get());
  edit->SetDataField("NAME");
  auto images = std::make_unique<TCustomImageList>(nullptr, 16, 16);
  edit->EditImage()->SetImages(images.get());
  auto* panel = new THolderPanel(form.get());
  edit->SetInplaceEditHolder(panel);
  source.reset();
  images.reset();
  delete panel;
  EXPECT_EQ(edit->DataSource(), nullptr);
  EXPECT_EQ(edit->EditImage()->Images(), nullptr);
  EXPECT_EQ(edit->InplaceEditHolder(), nullptr);
  edit->Repaint();  // nothing of them is touched any more
  Type(U"x");
}

TEST_F(DBEdit, AHoldersRecentPressMakesADoubleClick) {
  TFakeHolder holder;
  edit->SetInplaceEditHolder(&holder);
  int doubles = 0;
  edit->OnDblClick = [&](TObject*) { ++doubles; };
  Focus();
  holder.downAt = edit->ClientToScreen(TPoint(20, 5));
  holder.downTime = talvik::gui::Ticks();
  Advance(100);
  edit->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(21, 5));
  edit->Perform(WM_LBUTTONUP, 0, MAKELPARAM(21, 5));
  EXPECT_EQ(doubles, 1);
  holder.downTime = talvik::gui::Ticks();
  Advance(GetDoubleClickTime() + 1);  // too late: a plain press
  edit->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(21, 5));
  edit->Perform(WM_LBUTTONUP, 0, MAKELPARAM(21, 5));
  EXPECT_EQ(doubles, 1);
  edit->SetInplaceEditHolder(nullptr);
}

TEST_F(DBEdit, PasteEditsTheRecordFirst) {
  Bind("NAME");
  Focus();
  edit->SetSelStart(3);
  Clipboard()->SetAsText("ie");
  edit->Perform(WM_PASTE);
  EXPECT_EQ(people->ds.State(), dsEdit);
  EXPECT_EQ(edit->Text(), "Annie");
  other->SetFocus();
  Pump();
  EXPECT_EQ(people->F("NAME")->AsString(), "Annie");
}

TEST_F(DBEdit, TheTextRectangleShrinksByTheButtonsAndTheImage) {
  const TRect plain = edit->TextRect();
  EXPECT_EQ(plain.Right, edit->ClientWidth() - 1);
  edit->EditButton()->SetVisible(true);
  edit->EditButtons()->Add()->SetWidth(11);
  const int sb = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(edit->ButtonsWidth(), sb + 11);
  EXPECT_EQ(edit->TextRect().Right, plain.Right - sb - 11);
  // main button at the right edge, the extra one to its left
  EXPECT_EQ(edit->ButtonControl(0)->Left(), edit->ClientWidth() - sb);
  EXPECT_EQ(edit->ButtonControl(1)->Left(), edit->ClientWidth() - sb - 11);
  TCustomImageList images(nullptr, 16, 16);
  edit->EditImage()->SetImages(&images);
  EXPECT_EQ(edit->TextRect().Left, plain.Left);  // hidden image: no column
  edit->EditImage()->SetVisible(true);
  EXPECT_EQ(edit->TextRect().Left, plain.Left + 20);
  edit->EditImage()->SetWidth(10);
  EXPECT_EQ(edit->TextRect().Left, plain.Left + 14);
  // a flat control draws a separator beside each visible button
  edit->SetFlat(true);
  EXPECT_TRUE(edit->ButtonSeparator(0)->Visible());
  EXPECT_EQ(edit->ButtonsWidth(), GetDefaultFlatButtonWidth() + 1 + 11 + 1);
  edit->EditImage()->SetImages(nullptr);
}

TEST_F(DBEdit, RightToLeftTheButtonsStandAtTheLeftEdgeAndTheImageAtTheRight) {
  edit->EditButton()->SetVisible(true);
  edit->EditButtons()->Add()->SetWidth(11);
  TCustomImageList images(nullptr, 16, 16);
  edit->EditImage()->SetImages(&images);
  edit->EditImage()->SetVisible(true);
  form->SetBiDiMode(bdRightToLeft);  // the edit takes its form's mode
  const int sb = GetSystemMetrics(SM_CXVSCROLL);
  EXPECT_EQ(edit->ButtonControl(0)->Left(), 0) << "the main button at the left edge";
  EXPECT_EQ(edit->ButtonControl(1)->Left(), sb) << "the extra one to its right";
  EXPECT_EQ(edit->TextRect(), Rect(1 + sb + 11, 0, edit->ClientWidth() - 1 - 20, edit->ClientHeight()));
  RECT given;
  SendMessage(edit->Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&given));
  EXPECT_EQ(given.Left, edit->TextRect().Left) << "the window was told";
  // a press over a button or the image does not reach the text
  edit->SetText("abc");
  edit->SetFocus();
  SendMessage(edit->Handle(), EM_SETSEL, 0, 0);
  const int x = edit->ClientWidth() - 5;
  SendMessage(edit->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
  SendMessage(edit->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, 5));
  EXPECT_EQ(edit->SelStart(), 0);
  form->SetBiDiMode(bdLeftToRight);
  EXPECT_EQ(edit->ButtonControl(0)->Left(), edit->ClientWidth() - sb) << "back at the right edge";
  edit->EditImage()->SetImages(nullptr);
}

TEST_F(DBEdit, RightToLeftTheWindowFollowsTheFieldsAlignment) {
  edit->SetBiDiMode(bdRightToLeft);
  auto rightAligned = [&] { return (GetWindowLongPtr(edit->Handle(), GWL_EXSTYLE) & WS_EX_RIGHT) != 0; };
  Bind("NAME");
  EXPECT_TRUE(rightAligned()) << "left-aligned text mirrored to the right";
  edit->SetDataField("SALARY");
  EXPECT_FALSE(rightAligned()) << "a number's right alignment mirrored to the left";
  EXPECT_EQ(edit->Text(), people->F("SALARY")->DisplayText()) << "the new window shows the field";
  edit->SetDataField("NAME");
  EXPECT_TRUE(rightAligned());
}

TEST_F(DBEdit, ScreenshotRightToLeftWithButtonsImageAndText) {
  auto* rtl = new TDBEditEx(form.get());
  rtl->SetParent(form.get());
  rtl->SetBounds(10, 100, 250, 21);
  rtl->EditButton()->SetVisible(true);
  rtl->EditButtons()->Add()->SetStyle(ebsUpDownEx);
  TCustomImageList images(nullptr, 16, 16);
  TBitmap bmp;
  bmp.SetSize(16, 16);
  bmp.Canvas()->Brush()->SetColor(clGreen);
  bmp.Canvas()->FillRect(Rect(0, 0, 16, 16));
  images.Add(&bmp, nullptr);
  rtl->EditImage()->SetImages(&images);
  rtl->EditImage()->SetVisible(true);
  rtl->SetBiDiMode(bdRightToLeft);
  rtl->SetText("Сеанс");
  other->SetFocus();
  Pump();
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbedit-right-to-left.png",
                                             Rect(40, 130, 310, 170)));
  rtl->EditImage()->SetImages(nullptr);
}

TEST_F(DBEdit, RecentEntriesOpenOnAMatchingPrefixAndCloseOnEmptyText) {
  for (const char* s : {"alpha", "Alps", "beta", "альфа"}) edit->MRUList()->Items()->Add(s);
  edit->MRUList()->SetActive(true);
  Focus();
  Type(U"al");
  ASSERT_TRUE(edit->MRUDroppedDown());
  TMRUListboxEx* list = edit->MRUListBox();
  EXPECT_EQ(list->Count(), 2);  // case-insensitive, sorted
  EXPECT_EQ(list->Items()->Strings(0), "alpha");
  EXPECT_EQ(list->ItemIndex(), -1);
  ASSERT_TRUE(
      talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbedit-mru.png", Rect(30, 30, 300, 140)));
  Type(U"z");
  EXPECT_FALSE(edit->MRUDroppedDown());  // nothing begins with "alz"
  Key(VK_BACK, 8);
  EXPECT_TRUE(edit->MRUDroppedDown());
  Key(VK_BACK, 8);
  Key(VK_BACK, 8);
  EXPECT_FALSE(edit->MRUDroppedDown());  // the text is empty
  talvik::gui::InjectText("а");
  Pump();
  EXPECT_TRUE(edit->MRUDroppedDown());
  EXPECT_EQ(list->Count(), 1);
  // Down picks the item, Enter takes it
  Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(edit->Perform(CM_WANTSPECIALKEY, VK_RETURN), 1);
  Key(VK_RETURN, U'\r');
  EXPECT_FALSE(edit->MRUDroppedDown());
  EXPECT_EQ(edit->Text(), "альфа");
  // leaving adds the entry (it moves to the end)
  other->SetFocus();
  Pump();
  EXPECT_EQ(edit->MRUList()->Items()->Strings(3), "альфа");
}

TEST_F(DBEdit, ScreenshotFlatAnd3DWithButtonsImageAndRightAlignedText) {
  auto* flat = new TDBEditEx(form.get());
  flat->SetParent(form.get());
  flat->SetBounds(220, 10, 160, 21);
  flat->SetFlat(true);
  flat->EditButton()->SetVisible(true);
  flat->EditButton()->SetStyle(ebsEllipsisEx);
  flat->SetText("плоский");
  edit->EditButton()->SetVisible(true);
  edit->EditButtons()->Add()->SetStyle(ebsUpDownEx);
  TCustomImageList images(nullptr, 16, 16);
  TBitmap bmp;
  bmp.SetSize(16, 16);
  bmp.Canvas()->Brush()->SetColor(clRed);
  bmp.Canvas()->FillRect(Rect(0, 0, 16, 16));
  bmp.Canvas()->Brush()->SetColor(clYellow);
  bmp.Canvas()->FillRect(Rect(4, 4, 12, 12));
  images.Add(&bmp, nullptr);
  edit->EditImage()->SetImages(&images);
  edit->EditImage()->SetVisible(true);
  Bind("SALARY");  // a number: right-aligned, drawn by the control while unfocused
  other->SetFocus();
  Pump();
  ASSERT_TRUE(talvik::gui::RenderScreenToPng(ScreenshotDir() + "/grid-dbedit.png", Rect(30, 30, 450, 140)));
  EXPECT_EQ(edit->Alignment(), taRightJustify);
  edit->EditImage()->SetImages(nullptr);
}

}  // namespace
