// The grid's in-place editor driven by key and mouse messages: its style per column, its buttons and
// text rectangle, typing, Enter and Esc, completion against pick lists, key lists and look-ups, the
// up/down steps, Ctrl+Enter, button short cuts and menus, and where a drop-down would open.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GridFormSupport.h"
#include "grid/DBGridEx.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Menus.h"

using namespace gridtest;
using talvik::gui::ShiftKeys;

namespace {

class TCountingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int X, int Y) override {
    ++popups;
    at = Point(X, Y);
  }
  int popups = 0;
  TPoint at;
};

class InplaceEdit : public PeopleGrid {
 protected:
  static WORD VkOf(char32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<WORD>(c - 'a' + 'A');
    return static_cast<WORD>(c);
  }
  static void Type(const std::u32string& text) {
    for (char32_t c : text) Key(VkOf(c), c);
  }
  void SelectAll(TDBGridInplaceEdit* e) {
    e->SelectAll();
    Pump();
  }
};

struct StyleCase {
  const char* name;
  const char* field;
  std::function<void(TColumnEx*, TDBGridEx*)> setup;
  TEditStyle expected;
};

class EditStyles : public InplaceEdit, public ::testing::WithParamInterface<StyleCase> {};

TEST_P(EditStyles, FollowTheColumnAndItsField) {
  const StyleCase& c = GetParam();
  TColumnEx* col = Columns({c.field});
  if (c.setup) c.setup(col, grid);
  EXPECT_EQ(ColumnEditStyle(col, grid), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, EditStyles,
    ::testing::Values(
        StyleCase{"PlainText", "NAME", nullptr, esSimple},
        StyleCase{"Ellipsis", "NAME", [](TColumnEx* c, TDBGridEx*) { c->SetButtonStyle(cbsEllipsis); },
                  esEllipsis},
        StyleCase{"UpDown", "ID", [](TColumnEx* c, TDBGridEx*) { c->SetButtonStyle(cbsUpDown); }, esUpDown},
        StyleCase{"DropDown", "SALARY", [](TColumnEx* c, TDBGridEx*) { c->SetButtonStyle(cbsDropDown); },
                  esDropDown},
        StyleCase{"NoneOverAPickList", "NAME",
                  [](TColumnEx* c, TDBGridEx*) {
                    c->PickList()->Add("x");
                    c->SetButtonStyle(cbsNone);
                  },
                  esSimple},
        StyleCase{"PickList", "NAME", [](TColumnEx* c, TDBGridEx*) { c->PickList()->Add("x"); }, esPickList},
        StyleCase{"ReadOnlyPickList", "NAME",
                  [](TColumnEx* c, TDBGridEx*) {
                    c->PickList()->Add("x");
                    c->SetReadOnly(true);
                  },
                  esSimple},
        StyleCase{"LookupIsADataList", "DEPT_NAME", nullptr, esDataList},
        StyleCase{"LookupOnAReadOnlyGrid", "DEPT_NAME",
                  [](TColumnEx*, TDBGridEx* g) { g->SetReadOnly(true); }, esSimple},
        StyleCase{
            "LookupWithAReadOnlyKey", "DEPT_NAME",
            [](TColumnEx* c, TDBGridEx*) { c->Field()->DataSet()->FieldByName("DEPT")->SetReadOnly(true); },
            esSimple}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InplaceEdit, ButtonsAndTheTextRectangleFlatAndRightToLeft) {
  TColumnEx* col = Columns({"NAME"});
  col->SetButtonStyle(cbsEllipsis);
  col->EditButtons()->Add();  // a visible extra button of the default width
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  const int sb = GetSystemMetrics(SM_CXVSCROLL);
  ASSERT_EQ(e->ButtonCount(), 2);
  EXPECT_EQ(e->ButtonWidth(), 2 * sb);
  EXPECT_EQ(e->TextRect(), Rect(2, 2, e->Width() - 2 - 2 * sb, e->Height()));
  // from the right edge leftwards: the last extra button, then the main one
  EXPECT_EQ(e->ButtonControl(1)->Left(), e->ClientWidth() - sb);
  EXPECT_EQ(e->ButtonControl(0)->Left(), e->ClientWidth() - 2 * sb);
  EXPECT_EQ(e->ButtonControl(0)->Style(), ebsEllipsisEx);

  grid->HideEditor();
  grid->SetFlat(true);
  e = Edit(0);
  const int fw = GetDefaultFlatButtonWidth();
  EXPECT_EQ(e->ButtonWidth(), 2 * (fw + 1));
  EXPECT_EQ(e->TextRect(), Rect(2, 1, e->Width() - 2 - 2 * (fw + 1), e->Height() - 1));
  EXPECT_TRUE(e->Separator(0)->Visible());

  grid->HideEditor();
  grid->SetBiDiMode(bdRightToLeft);
  e = Edit(0);
  EXPECT_EQ(e->ButtonControl(1)->Left(), 0);  // from the left edge rightwards
  EXPECT_EQ(e->ButtonControl(0)->Left(), fw + 1);
  EXPECT_EQ(e->TextRect().Left, 2 + 2 * (fw + 1));
}

TEST_F(InplaceEdit, TypingAndEnterWriteTheFieldAndEscGivesItBack) {
  Columns({"ID", "NAME"});
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Text(), "Ann");
  SelectAll(e);
  Type(U"Зоя");
  EXPECT_EQ(e->Text(), "Зоя");
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(people->F("NAME")->AsString(), "Зоя");
  EXPECT_EQ(people->ds.State(), dsEdit);
  people->ds.Cancel();

  e = Edit(1);
  SelectAll(e);
  Type(U"Q");
  Key(VK_ESCAPE, 27);
  EXPECT_EQ(people->F("NAME")->AsString(), "Ann");
  EXPECT_FALSE(grid->EditorMode());
}

// A value of two lines in a word-wrapped column: the rows made one line high take the editor's word
// wrap, and the editor, one line now, still holds the whole value; what is typed at its end is written
// with the line break and the second line kept.
TEST_F(InplaceEdit, AnEditorOfOneLineHoldsTheWholeValueOfTwoLines) {
  const std::string twoLines = " Q\r\nё3[хp";
  people->ds.Edit();
  people->F("NAME")->SetAsString(twoLines);
  people->ds.Post();
  Columns({"ID", "NAME"});
  grid->Columns()->Items(1)->SetWordWrap(true);
  grid->SetRowLines(2);
  Pump();
  TDBGridInplaceEdit* e = Edit(1);
  ASSERT_NE(e, nullptr);
  ASSERT_TRUE(e->WordWrap());
  grid->SetRowLines(1);
  Pump();
  if (!e->Visible()) Key(VK_F2);
  ASSERT_TRUE(e->Visible());
  ASSERT_FALSE(e->WordWrap()) << "the rows of one line left the editor word-wrapped";
  EXPECT_EQ(e->Text(), twoLines) << "the editor of one line holds a part of the value";
  form->RecreateWnd();
  Pump();
  if (!e->Visible()) Key(VK_F2);
  EXPECT_EQ(e->Text(), twoLines) << "the editor of one line made again holds a part of the value";
  Key(VK_END);
  Type(U"x");
  Key(VK_DOWN);
  people->ds.First();
  EXPECT_EQ(people->F("NAME")->AsString(), twoLines + "x");
}

TEST_F(InplaceEdit, CompletionFromThePickListSelectsTheTail) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Xyz\nAbc");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  SelectAll(e);
  Type(U"a");
  EXPECT_EQ(e->Text(), "Abc");
  EXPECT_EQ(e->SelStart(), 1);
  EXPECT_EQ(e->SelLength(), 2);
  Type(U"b");
  EXPECT_EQ(e->Text(), "Abc");
  EXPECT_EQ(e->SelStart(), 2);
  EXPECT_EQ(e->SelLength(), 1);
  Type(U"q");  // a plain pick list takes other text too
  EXPECT_EQ(e->Text(), "Abq");
}

TEST_F(InplaceEdit, ThePickListReadsAsTheGridInEitherMode) {
  TColumnEx* col = Columns({"NAME"});
  col->PickList()->SetText("Xyz\nAbc");
  for (TBiDiMode mode : {bdRightToLeft, bdLeftToRight}) {
    grid->HideEditor();
    grid->SetBiDiMode(mode);
    TDBGridInplaceEdit* e = Edit(0);
    ASSERT_NE(e, nullptr);
    e->DropDown();
    Pump();
    ASSERT_TRUE(e->ListVisible());
    ASSERT_EQ(e->ActiveList(), e->PickList());
    EXPECT_EQ(e->PickList()->BiDiMode(), mode);
    EXPECT_EQ(e->PickList()->UseRightToLeftAlignment(), mode == bdRightToLeft);
    e->CloseUp(false);
    Pump();
  }
}

TEST_F(InplaceEdit, KeyPickListRefusesTextOutsideItsList) {
  TColumnEx* col = Columns({"FLAG"});
  col->KeyList()->SetText("yes\nn");
  col->PickList()->SetText("Да\nНет");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Text(), "Да");
  SelectAll(e);
  Type(U"x");
  EXPECT_EQ(e->Text(), "Да");
  Type(U"н");
  EXPECT_EQ(e->Text(), "Нет");
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(people->F("FLAG")->AsString(), "n");
  people->ds.Cancel();
}

TEST_F(InplaceEdit, DeleteOnALookupWithAllSelectedWritesNull) {
  Columns({"DEPT_NAME"});
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Text(), "Sales");
  e->SetSelStart(1);
  e->SetSelLength(1);
  Key(VK_DELETE);  // a part selected and no not-in-list handler: nothing
  EXPECT_EQ(e->Text(), "Sales");
  SelectAll(e);
  Key(VK_DELETE);
  EXPECT_EQ(e->Text(), "");
  EXPECT_TRUE(grid->EditKeyValue().IsNull());
  Key(VK_RETURN, U'\r');
  EXPECT_TRUE(people->F("DEPT")->IsNull());
  people->ds.Cancel();
  // typing completes against the look-up's names
  e = Edit(0);
  SelectAll(e);
  Type(U"r");
  EXPECT_EQ(e->Text(), "Research");
  Key(VK_RETURN, U'\r');
  EXPECT_EQ(people->F("DEPT")->AsInteger(), 3);
  people->ds.Cancel();
}

TEST_F(InplaceEdit, UpDownStepsNumbersUpAndKeysToThePrevious) {
  TColumnEx* id = Columns({"ID", "FLAG"});
  id->SetButtonStyle(cbsUpDown);
  people->ds.Edit();
  people->F("ID")->SetAsInteger(5);
  people->ds.Post();
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  TEditButtonControlEx* b = e->ButtonControl(0);
  ASSERT_TRUE(b->Visible());
  auto press = [&](int y) {
    SendMessage(e->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b->Left() + 2, b->Top() + y));
    SendMessage(e->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(b->Left() + 2, b->Top() + y));
    Pump();
  };
  press(1);
  EXPECT_EQ(people->F("ID")->AsInteger(), 6);
  press(b->Height() - 1);
  EXPECT_EQ(people->F("ID")->AsInteger(), 5);
  people->ds.Cancel();

  TColumnEx* flag = grid->Columns()->Items(1);
  flag->KeyList()->SetText("yes\nn\nmaybe");
  flag->PickList()->SetText("Да\nНет\nМожет");
  flag->SetButtonStyle(cbsUpDown);
  grid->HideEditor();
  e = Edit(1);
  b = e->ButtonControl(0);
  press(1);  // the top button moves a list value to the previous key: from the first to the last
  EXPECT_EQ(people->F("FLAG")->AsString(), "maybe");
  people->ds.Cancel();
}

TEST_F(InplaceEdit, CtrlEnterClicksTheEllipsisOnceAndTypesNothing) {
  TColumnEx* col = Columns({"NAME"});
  col->SetButtonStyle(cbsEllipsis);
  int clicks = 0;
  grid->OnEditButtonClick = [&](TObject* s) {
    EXPECT_EQ(s, grid);
    ++clicks;
  };
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  Key(VK_RETURN, U'\n', ShiftKeys{false, true, false});
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(e->Text(), "Ann");
  EXPECT_TRUE(grid->EditorMode());
}

TEST_F(InplaceEdit, AButtonShortCutPressesAndClicksIt) {
  TColumnEx* col = Columns({"NAME"});
  TEditButtonEx* extra = col->EditButtons()->Add();
  extra->SetShortCut(ShortCut('K', {ssCtrl}));
  int downs = 0, clicks = 0;
  extra->OnDown = [&](TObject*, bool, bool&, bool&) { ++downs; };
  extra->OnClick = [&](TObject*, bool&) { ++clicks; };
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  Key('K', 0x0B, ShiftKeys{false, true, false});
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(e->Text(), "Ann");
}

TEST_F(InplaceEdit, APressThatClosesAButtonsMenuDoesNotOpenItAgain) {
  TColumnEx* col = Columns({"NAME"});
  TEditButtonEx* extra = col->EditButtons()->Add();
  auto* menu = new TCountingMenu(form.get());
  extra->SetDropdownMenu(menu);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  TEditButtonControlEx* b = e->ButtonControl(1);
  auto down = [&] { SendMessage(e->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(b->Left() + 2, 3)); };
  down();
  EXPECT_EQ(menu->popups, 1);
  POINT corner = Point(b->Left(), b->Top() + b->Height());
  ClientToScreen(e->Handle(), corner);
  EXPECT_EQ(menu->at, corner);
  down();  // the press that closes the menu
  EXPECT_EQ(menu->popups, 1);
  Pump();
  down();
  EXPECT_EQ(menu->popups, 2);
  SendMessage(e->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(b->Left() + 2, 3));
  Pump();
}

struct PlaceCase {
  const char* name;
  TRect editor;
  TSize list;
  TPoint pos;
  TSize size;
  int vert, horz;
};

class DropDownPlacement : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(DropDownPlacement, BelowAboveOrTheLargerSide) {
  const PlaceCase& c = GetParam();
  const TDropDownPlacement p = PlaceDropDown(c.editor, c.list, Rect(0, 0, 800, 600));
  EXPECT_EQ(p.Pos, c.pos);
  EXPECT_EQ(p.Size, c.size);
  EXPECT_EQ(p.VertGrip, c.vert);
  EXPECT_EQ(p.HorzGrip, c.horz);
}

INSTANTIATE_TEST_SUITE_P(Table, DropDownPlacement,
                         ::testing::Values(PlaceCase{"FitsBelow", Rect(100, 100, 200, 120), TSize(150, 200),
                                                     Point(100, 120), TSize(150, 200), 3, 1},
                                           PlaceCase{"FitsAboveOnly", Rect(100, 500, 200, 520),
                                                     TSize(150, 200), Point(100, 300), TSize(150, 200), 2, 1},
                                           PlaceCase{"NeitherMoreRoomAbove", Rect(100, 350, 200, 370),
                                                     TSize(150, 500), Point(100, 0), TSize(150, 350), 2, 1},
                                           PlaceCase{"NeitherTieGoesBelow", Rect(100, 290, 200, 310),
                                                     TSize(150, 400), Point(100, 310), TSize(150, 290), 3, 1},
                                           PlaceCase{"PastTheRightEdgeShiftsLeft", Rect(700, 100, 790, 120),
                                                     TSize(200, 100), Point(600, 120), TSize(200, 100), 3, 0},
                                           PlaceCase{"WiderThanTheWorkArea", Rect(10, 100, 90, 120),
                                                     TSize(900, 100), Point(0, 120), TSize(800, 100), 3, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

TEST_F(InplaceEdit, RendersTheEditorWithItsButtonsOverTheGrid) {
  TColumnEx* col = Columns({"NAME", "SALARY", "DEPT_NAME"});
  col->SetButtonStyle(cbsEllipsis);
  col->EditButtons()->Add()->SetStyle(ebsPlusEx);
  grid->Columns()->Items(0)->SetWidth(150);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  Pump();
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), ScreenshotDir() + "/grid-inplace-editor.png"));
  // the ellipsis button's face shows at the editor's right edge
  RECT r;
  GetWindowRect(e->Handle(), r);
  RECT f;
  GetWindowRect(form->Handle(), f);
  const int x = r.Right - f.Left - 2, y = r.Top - f.Top + 2;
  EXPECT_NE(talvik::gui::WindowPixel(form->Handle(), x, y), ColorToRGB(clWindow));
}

}  // namespace

namespace {

TEST_F(InplaceEdit, PasteIntoAKeyListMatchesItsEntries) {
  SetClipboardBackend(MakeMemoryClipboard());
  TColumnEx* col = Columns({"FLAG"});
  col->KeyList()->SetText("yes\nn");
  col->PickList()->SetText("Да\nНет");
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  SelectAll(e);
  Clipboard()->SetAsText("не");
  SendMessage(e->Handle(), WM_PASTE);
  EXPECT_EQ(e->Text(), "Нет");
  EXPECT_EQ(e->SelStart(), 2);
  EXPECT_EQ(e->SelLength(), 1);
  Clipboard()->SetAsText("zz");  // matches nothing: the text stays
  SendMessage(e->Handle(), WM_PASTE);
  EXPECT_EQ(e->Text(), "Нет");
  people->ds.Cancel();
}

TEST_F(InplaceEdit, ADoubleClickStepsAColumnThatAsksForIt) {
  TColumnEx* id = Columns({"ID"});
  id->KeyList()->SetText("1\n2\n3");
  id->PickList()->SetText("one\ntwo\nthree");
  id->SetDblClickNextVal(true);
  TDBGridInplaceEdit* e = Edit(0);
  ASSERT_NE(e, nullptr);
  SendMessage(e->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessage(e->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  FakeNow() += 100;
  SendMessage(e->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(6, 5));
  SendMessage(e->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(6, 5));
  EXPECT_EQ(people->F("ID")->AsInteger(), 2);
  people->ds.Cancel();
}

TEST_F(InplaceEdit, TheRightButtonOpensTheColumnsOwnMenu) {
  TColumnEx* col = Columns({"ID", "NAME"});
  auto* menu = new TCountingMenu(form.get());
  grid->Columns()->Items(1)->SetPopupMenu(menu);
  const TRect cell = grid->CellRect(2, 1);
  SendMessage(grid->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(cell.Left + 3, cell.Top + 3));
  SendMessage(grid->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(cell.Left + 3, cell.Top + 3));
  EXPECT_EQ(menu->popups, 1);
  EXPECT_EQ(menu->PopupComponent(), grid);
  const TRect other = grid->CellRect(1, 1);  // a column without a menu of its own
  SendMessage(grid->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(other.Left + 3, other.Top + 3));
  EXPECT_EQ(menu->popups, 1);
  delete menu;  // the column forgets it
  EXPECT_EQ(grid->Columns()->Items(1)->PopupMenu(), nullptr);
  auto* images = new TImageList(form.get());
  grid->Columns()->Items(0)->SetImageList(images);
  grid->SetTitleImages(images);
  delete images;
  EXPECT_EQ(grid->Columns()->Items(0)->ImageList(), nullptr);
  EXPECT_EQ(grid->TitleImages(), nullptr);
  (void)col;
}

}  // namespace
