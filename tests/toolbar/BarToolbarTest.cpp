// The toolbar control and the menu bar on a form shaped like the program's main window: a top dock
// with the menu bar on row 0 and three toolbars on row 1, driven through messages and injected input.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/X11TestSupport.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/ScopeExit.h"
#include "toolbar/BarImageList.h"
#include "toolbar/BarMenuTestSupport.h"
#include "toolbar/BarToolbar.h"

namespace {

using namespace toolbartest;
using talvik::gui::InjectMouse;

class BarToolbarTest : public BarMenuTest {
 protected:
  TBarToolbar* Toolbar(const std::string& Name, const std::string& Caption, int Row, int Pos) {
    auto* t = new TBarToolbar(form_.get());
    t->SetName(Name);
    t->SetCaption(Caption);
    t->SetDockRow(Row);
    t->SetDockPos(Pos);
    t->SetImages(images);
    t->SetParent(dock);
    return t;
  }
  TAction* Action(const std::string& Caption, const std::string& Hint, TShortCut Key = 0) {
    auto* a = new TAction(form_.get());
    a->SetCaption(Caption);
    a->SetHint(Hint);
    a->SetShortCut(Key);
    a->SetOnExecute([this, Caption](TObject*) { runs_.push_back(Caption); });
    return a;
  }
  template <typename I = TBarItem>
  I* Item(TBarCustomItem* Parent, const std::string& Caption, TAction* A = nullptr, int Image = -1) {
    auto* item = new I(form_.get());
    if (A) item->SetAction(A);
    if (!Caption.empty()) item->SetCaption(Caption);
    item->SetImageIndex(Image);
    Parent->Add(item);
    return item;
  }

  // The main window: the menu bar and the toolbars "Соединения" (with a 120-pixel combo box),
  // "Просмотр" and "Сеансы".
  void BuildMainWindow() {
    images = new TBarImageList(form_.get());
    images->SetSize(16, 16);
    TBitmap strip;
    strip.SetSize(64, 16);
    const TColor colors[] = {clRed, clGreen, clBlue, clMaroon};
    for (int i = 0; i < 4; ++i) {
      strip.Canvas()->Brush()->SetColor(clFuchsia);
      strip.Canvas()->FillRect(Bounds(i * 16, 0, 16, 16));
      strip.Canvas()->Brush()->SetColor(colors[i]);
      strip.Canvas()->FillRect(Bounds(i * 16 + 2, 2, 12, 12));
    }
    images->SetImagesBitmap(&strip);
    aLogin = Action("Подключиться", "Подключиться к базе");
    aRefresh = Action("Обновить", "Обновить список сеансов", VK_F5);
    aEditCopy = Action("Копировать", "Копировать", TextToShortCut("Ctrl+C"));
    aKill = Action("Завершить сеанс", "Завершить сеанс");

    dock = new TBarDock(form_.get());
    dock->SetName("TBDockTop");
    dock->SetParent(form_.get());
    menu = Toolbar("ToolBarMainMenu", "Главное меню", 0, 0);
    menu->SetMenuBar(true);
    file = Item<TBarSubmenuItem>(menu->Items(), "Файл");
    Item(file, "", aLogin);
    Item(file, "Выход");
    edit = Item<TBarSubmenuItem>(menu->Items(), "Правка");
    Item(edit, "", aEditCopy);
    viewMenu = Item<TBarSubmenuItem>(menu->Items(), "Просмотр");
    Item(viewMenu, "", aRefresh);
    sessions = Item<TBarSubmenuItem>(menu->Items(), "Сеансы");
    Item(sessions, "", aKill);
    help = Item<TBarSubmenuItem>(menu->Items(), "Помощь");
    Item(help, "О программе");

    connect = Toolbar("ToolBarConnect", "Соединения", 1, 0);
    login = Item(connect->Items(), "", aLogin, 0);
    Item<TBarSeparatorItem>(connect->Items(), "");
    combo = new TComboBox(form_.get());
    combo->SetName("cbConnections");
    combo->SetWidth(120);
    combo->SetParent(connect);
    view = Toolbar("ToolBarView", "Просмотр", 1, 160);
    refresh = Item(view->Items(), "", aRefresh, 1);
    session = Toolbar("ToolBarSession", "Сеансы", 1, 215);
    copy = Item(session->Items(), "", aEditCopy, 2);
    kill = Item(session->Items(), "", aKill, 3);
    form_->Show();
    SetActiveWindow(form_->Handle());
    talvik::gui::ProcessPending();
    ASSERT_EQ(Screen->ActiveForm(), form_.get());
  }

  // Ctrl+C typed on the form.
  void CtrlC() {
    talvik::gui::InjectKey(VK_CONTROL, true, 0, {false, true, false});
    talvik::gui::InjectKey('C', true, 0, {false, true, false});
    talvik::gui::InjectKey('C', false, 0, {false, true, false});
    talvik::gui::InjectKey(VK_CONTROL, false, 0, {});
    Application->ProcessMessages();
  }
  // F5 offered to the application's main-window hooks as the layer offers a key no form took.
  bool F5() {
    TMessage key = MakeMessage(WM_KEYDOWN, VK_F5, 0);
    TMessage app = MakeMessage(CM_APPKEYDOWN, 0, reinterpret_cast<LPARAM>(&key));
    const bool taken = Application->CallMainWindowHooks(app);
    talvik::gui::ProcessPending();
    return taken;
  }
  // The menu key of the form with a character (0: F10 or a lone Alt); answers whether it was taken.
  bool MenuKey(char32_t Ch) {
    TMessage m = MakeMessage(WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(Ch));
    form_->TForm::WndProc(m);  // past the recording of the test form
    return m.Result != 0;
  }

  TBarImageList* images = nullptr;
  TAction *aLogin = nullptr, *aRefresh = nullptr, *aEditCopy = nullptr, *aKill = nullptr;
  TBarDock* dock = nullptr;
  TBarToolbar *menu = nullptr, *connect = nullptr, *view = nullptr, *session = nullptr;
  TBarSubmenuItem *file = nullptr, *edit = nullptr, *viewMenu = nullptr, *sessions = nullptr, *help = nullptr;
  TBarItem *login = nullptr, *refresh = nullptr, *copy = nullptr, *kill = nullptr;
  TComboBox* combo = nullptr;
  std::vector<std::string> runs_;
};

// ---- the main window's bars ----

TEST_F(BarToolbarTest, MainWindowBarsTakeTheirPlaces) {
  BuildMainWindow();
  const TRect bar = menu->BoundsRect();
  EXPECT_EQ(bar.Left, 0);
  EXPECT_EQ(bar.Top, 0);
  EXPECT_EQ(bar.Right, 600) << "the menu bar spans the dock";
  EXPECT_GT(bar.Height(), 10);
  for (TBarToolbar* t : {connect, view, session}) EXPECT_EQ(t->Top(), bar.Bottom) << t->Name();
  EXPECT_EQ(connect->Left(), 0);
  EXPECT_EQ(view->Left(), 160);
  EXPECT_EQ(session->Left(), 215);
  EXPECT_LE(connect->BoundsRect().Right, 160);
  EXPECT_LE(view->BoundsRect().Right, 215);
  EXPECT_EQ(combo->Width(), 120);
  EXPECT_EQ(combo->Parent(), connect);
  EXPECT_TRUE(combo->Visible());
  EXPECT_EQ(dock->Height(), session->BoundsRect().Bottom);
  // every caption of the menu bar shows on its one row
  menu->View()->ValidatePositions();
  for (TBarCustomItem* item : {file, edit, viewMenu, sessions, help}) {
    TBarItemViewer* v = menu->View()->Find(item);
    ASSERT_TRUE(v);
    EXPECT_TRUE(v->Show) << item->Caption();
    EXPECT_EQ(v->BoundsRect.Top, menu->View()->Find(file)->BoundsRect.Top) << item->Caption();
  }

  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/toolbar-main-window-bars.png";
  EXPECT_TRUE(talvik::gui::RenderScreenToPng(path, Rect(100, 100, 700, 100 + dock->Height() + 10)));
}

TEST_F(BarToolbarTest, MenuBarSwitchesItsDockingDefaults) {
  auto* t = new TBarToolbar(form_.get());
  t->SetMenuBar(true);
  EXPECT_TRUE(t->FullSize());
  EXPECT_EQ(t->ShrinkMode(), tbsmWrap);
  EXPECT_FALSE(t->CloseButton());
  EXPECT_TRUE(t->ProcessShortCuts());
  EXPECT_TRUE(t->ControlStyle().Contains(csMenuEvents));
  t->SetMenuBar(false);
  EXPECT_FALSE(t->FullSize());
  EXPECT_EQ(t->ShrinkMode(), tbsmChevron);
  EXPECT_TRUE(t->CloseButton());
  EXPECT_FALSE(t->ProcessShortCuts());
  EXPECT_FALSE(t->ControlStyle().Contains(csMenuEvents));
  EXPECT_TRUE(TBarCustomToolbar::ShortCutToolbars().empty());
}

// ---- shortcuts ----

TEST_F(BarToolbarTest, CtrlCRunsItsActionOnce) {
  BuildMainWindow();
  CtrlC();
  EXPECT_EQ(runs_, std::vector<std::string>{"Копировать"});
}

TEST_F(BarToolbarTest, TheEarlierToolbarInTheShortCutListWins) {
  BuildMainWindow();
  view->SetProcessShortCuts(true);  // after the menu bar, which holds the same shortcut
  refresh->SetAction(Action("Другое", "", VK_F5));
  EXPECT_TRUE(F5());
  EXPECT_EQ(runs_, std::vector<std::string>{"Обновить"});
  menu->SetProcessShortCuts(false);
  EXPECT_TRUE(F5());
  EXPECT_EQ(runs_, (std::vector<std::string>{"Обновить", "Другое"}));
}

TEST_F(BarToolbarTest, AFormBlockedByAModalDialogRunsNoShortCut) {
  BuildMainWindow();
  EnableWindow(form_->Handle(), false);
  EXPECT_FALSE(F5());
  EXPECT_TRUE(runs_.empty());
  EnableWindow(form_->Handle(), true);
  EXPECT_TRUE(F5());
  EXPECT_EQ(runs_, std::vector<std::string>{"Обновить"});
}

TEST_F(BarToolbarTest, TheLastToolbarLeavingTheListTakesTheHookAndTheNextBringsItBack) {
  BuildMainWindow();
  ASSERT_EQ(TBarCustomToolbar::ShortCutToolbars().size(), 1u);
  menu->SetProcessShortCuts(false);
  menu->SetMenuBar(false);
  EXPECT_TRUE(TBarCustomToolbar::ShortCutToolbars().empty());
  EXPECT_FALSE(F5());
  view->SetProcessShortCuts(true);
  EXPECT_TRUE(F5());
  EXPECT_EQ(runs_, std::vector<std::string>{"Обновить"});
}

TEST_F(BarToolbarTest, AFloatingToolbarKeepsItsShortCuts) {
  BuildMainWindow();
  menu->SetProcessShortCuts(false);
  view->SetProcessShortCuts(true);
  view->SetFloating(true);
  ASSERT_TRUE(view->Floating());
  EXPECT_TRUE(F5());
  EXPECT_EQ(runs_, std::vector<std::string>{"Обновить"});
}

// ---- the menu key ----

TEST_F(BarToolbarTest, ALoneAltOrF10SelectsTheFirstMenuWithoutOpeningIt) {
  BuildMainWindow();
  TBarCustomItem* selected = nullptr;
  bool popupOpen = true;
  Drive({[&] {
    selected = SelectedItem(menu->View());
    popupOpen = menu->View()->OpenView() != nullptr;
    menu->View()->EndModal();
  }});
  EXPECT_TRUE(MenuKey(0));
  EXPECT_EQ(selected, file);
  EXPECT_FALSE(popupOpen);
  EXPECT_FALSE(menu->View()->InModalLoop());
}

// The form as the program's frame with a focused edit in an active MDI child: the menu keys typed
// there reach the frame's menu bar.
struct MdiMenuKeyCase {
  const char* name;
  WORD vk;
  char32_t ch;
  bool alt;
  bool opens;  // the menu opens (else "Файл" is only selected)
};
class MdiMenuKey : public BarToolbarTest, public ::testing::WithParamInterface<MdiMenuKeyCase> {};

TEST_P(MdiMenuKey, ReachesTheFramesMenuBar) {
  form_->SetFormStyle(fsMDIForm);
  form_->PassSysCommands = true;
  Application->SetMainForm(form_.get());
  TScopeExit noMain([] { Application->SetMainForm(nullptr); });
  BuildMainWindow();
  auto* child = new TForm(form_.get());
  child->SetFormStyle(fsMDIChild);
  child->SetBounds(10, 60, 300, 150);
  auto* edit = new TEdit(child);
  edit->SetParent(child);
  child->Show();
  child->SetActiveControl(edit);
  talvik::gui::ProcessPending();
  ASSERT_EQ(Screen->ActiveForm(), child);
  ASSERT_EQ(GetFocus(), edit->Handle());
  TBarCustomItem* selected = nullptr;
  bool popupOpen = false;
  Drive({[&] {
    selected = SelectedItem(menu->View());
    popupOpen = menu->View()->OpenView() != nullptr;
    menu->View()->EndModal();
  }});
  const talvik::gui::ShiftKeys alt{false, false, GetParam().alt};
  if (GetParam().alt) talvik::gui::InjectKey(VK_MENU, true, 0, alt);
  talvik::gui::InjectKey(GetParam().vk, true, GetParam().ch, alt);
  talvik::gui::InjectKey(GetParam().vk, false, 0, alt);
  if (GetParam().alt) talvik::gui::InjectKey(VK_MENU, false, 0, {});
  Application->ProcessMessages();
  EXPECT_TRUE(AllStepsRan()) << "no menu loop";
  EXPECT_EQ(selected, GetParam().opens ? sessions : file);
  EXPECT_EQ(popupOpen, GetParam().opens);
}

// Shift+F10 is the focused control's own menu key, as the Menu key is: its popup menu opens, and the
// frame's menu bar is left alone, whether Shift goes up after F10 or before it (as a quick hand and
// xdotool let go).
TEST_F(BarToolbarTest, ShiftF10OpensTheFocusedControlsPopupMenuNotTheMenuBar) {
  form_->SetFormStyle(fsMDIForm);
  form_->PassSysCommands = true;
  Application->SetMainForm(form_.get());
  TScopeExit noMain([] { Application->SetMainForm(nullptr); });
  BuildMainWindow();
  auto* child = new TForm(form_.get());
  child->SetFormStyle(fsMDIChild);
  child->SetBounds(10, 60, 300, 150);
  auto* edit = new TEdit(child);
  edit->SetParent(child);
  auto* popup = new TPopupMenu(child);
  auto* item = new TMenuItem(child);
  item->SetCaption("Копировать");
  popup->Items()->Add(item);
  int popups = 0;
  popup->OnPopup = [&](TObject*) { ++popups; };
  edit->SetPopupMenu(popup);
  child->Show();
  child->SetActiveControl(edit);
  talvik::gui::ProcessPending();
  ASSERT_EQ(GetFocus(), edit->Handle());
  for (const bool shiftFirst : {false, true}) {
    SCOPED_TRACE(shiftFirst ? "Shift up first" : "F10 up first");
    popups = 0;
    form_->SysCommands.clear();
    const talvik::gui::ShiftKeys shift{true, false, false};
    talvik::gui::InjectKey(VK_SHIFT, true, 0, shift);
    talvik::gui::InjectKey(VK_F10, true, 0, shift);
    if (shiftFirst) talvik::gui::InjectKey(VK_SHIFT, false, 0, {});
    talvik::gui::InjectKey(VK_F10, false, 0, shiftFirst ? talvik::gui::ShiftKeys{} : shift);
    if (!shiftFirst) talvik::gui::InjectKey(VK_SHIFT, false, 0, {});
    Key(VK_ESCAPE, 27);  // closes whichever menu opened
    Application->ProcessMessages();
    EXPECT_EQ(popups, 1) << "the edit's popup menu";
    EXPECT_TRUE(form_->SysCommands.empty()) << "the frame was asked for its menu";
    EXPECT_FALSE(menu->View()->InModalLoop());
  }
}

const MdiMenuKeyCase kMdiMenuKeys[] = {
    {"F10", VK_F10, 0, false, false},
    {"LoneAlt", VK_MENU, 0, true, false},
    {"AltEs", 'C', U'с', true, true},
};
INSTANTIATE_TEST_SUITE_P(Keys, MdiMenuKey, ::testing::ValuesIn(kMdiMenuKeys),
                         [](const auto& Info) { return std::string(Info.param.name); });

// An Alt+letter for the empty MDI client goes to the frame when it leaves the queue; a look at the
// queue leaves it as it is.
TEST_F(BarToolbarTest, OnlyAnAltLetterTakenFromTheQueueIsTurnedToTheFrame) {
  form_->SetFormStyle(fsMDIForm);
  Application->SetMainForm(form_.get());
  TScopeExit noMain([] { Application->SetMainForm(nullptr); });
  BuildMainWindow();
  HWND client = form_->ClientHandle();
  ASSERT_TRUE(client);
  talvik::gui::ProcessPending();
  PostMessage(client, WM_SYSCHAR, 'f', 0);
  MSG peeked, taken;
  ASSERT_TRUE(PeekMessage(peeked, nullptr, WM_SYSCHAR, WM_SYSCHAR, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessage(taken, nullptr, WM_SYSCHAR, WM_SYSCHAR, PM_REMOVE));
  EXPECT_EQ(peeked.hwnd, client) << "only looked at";
  EXPECT_EQ(taken.hwnd, form_->Handle()) << "taken: for the frame's menu bar";
}

TEST_F(BarToolbarTest, AltWithACyrillicLetterOpensTheOnlyMatchingMenu) {
  BuildMainWindow();
  TBarCustomItem* opened = nullptr;
  Drive({[&] {
    opened = menu->View()->OpenView() ? menu->View()->OpenView()->ParentItem() : nullptr;
    menu->View()->EndModal();
  }});
  EXPECT_TRUE(MenuKey(U'с'));
  EXPECT_EQ(opened, sessions);
}

TEST_F(BarToolbarTest, AltWithALetterOfSeveralMenusMovesAmongThem) {
  BuildMainWindow();
  std::vector<TBarCustomItem*> seen;
  bool popupOpen = true;
  Drive({[&] {
           seen.push_back(SelectedItem(menu->View()));
           popupOpen = menu->View()->OpenView() != nullptr;
           Key('G', U'п');
         },
         [&] {
           seen.push_back(SelectedItem(menu->View()));
           Key('G', U'п');
         },
         [&] {
           seen.push_back(SelectedItem(menu->View()));
           menu->View()->EndModal();
         }});
  EXPECT_TRUE(MenuKey(U'П'));
  EXPECT_EQ(seen, (std::vector<TBarCustomItem*>{edit, viewMenu, help}));
  EXPECT_FALSE(popupOpen);
}

TEST_F(BarToolbarTest, AltWithoutAMatchBeepsAndAltMinusIsPassedOn) {
  BuildMainWindow();
  EXPECT_TRUE(MenuKey(U'ж'));
  EXPECT_EQ(beeps_.Beeps, 1);
  EXPECT_FALSE(MenuKey('-'));
  EXPECT_EQ(beeps_.Beeps, 1);
  EXPECT_FALSE(menu->View()->InModalLoop());
}

TEST_F(BarToolbarTest, AUniqueCharacterOnAToolbarRunsItsItemAndSeveralDoNothing) {
  BuildMainWindow();
  copy->SetCaption("&Копировать");
  copy->SetDisplayMode(nbdmImageAndText);
  kill->SetDisplayMode(nbdmImageAndText);
  EXPECT_EQ(session->Perform(CM_DIALOGCHAR, U'к', 0), 1);
  talvik::gui::ProcessPending();
  EXPECT_EQ(runs_, std::vector<std::string>{"Копировать"});
  kill->SetCaption("&Конец");
  EXPECT_EQ(session->Perform(CM_DIALOGCHAR, U'к', 0), 0);
  talvik::gui::ProcessPending();
  EXPECT_EQ(runs_.size(), 1u);
}

// ---- the mouse and hints ----

TEST_F(BarToolbarTest, AToolbarClickRunsItsActionAfterTheLoop) {
  BuildMainWindow();
  bool ranInsideLoop = false;
  aRefresh->SetOnExecute([&](TObject*) {
    runs_.push_back("Обновить");
    ranInsideLoop = view->View()->InModalLoop();
  });
  Click(Centre(view->View(), refresh));
  talvik::gui::ProcessPending();
  EXPECT_EQ(runs_, std::vector<std::string>{"Обновить"});
  EXPECT_FALSE(ranInsideLoop);
}

TEST_F(BarToolbarTest, AButtonHintCarriesItsShortCut) {
  BuildMainWindow();
  session->View()->ValidatePositions();
  const TRect r = session->View()->Find(copy)->BoundsRect;
  THintInfo info;
  info.HintControl = session;
  info.CursorPos = TPoint(r.Left + 2, r.Top + 2);
  info.CursorRect = session->ClientRect();
  EXPECT_EQ(session->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(info.HintStr, "Копировать (Ctrl+C)");
  EXPECT_EQ(info.CursorRect, r);
}

// ---- control items ----

TEST_F(BarToolbarTest, HostedControlsStayOutOfTheTabOrder) {
  BuildMainWindow();
  auto* edit = new TEdit(form_.get());
  edit->SetParent(form_.get());
  std::vector<TWinControl*> order;
  form_->GetTabOrderList(order);
  EXPECT_NE(std::find(order.begin(), order.end(), edit), order.end());
  EXPECT_EQ(std::find(order.begin(), order.end(), combo), order.end());
  combo->SetParent(form_.get());  // no longer hosted: it takes part again
  order.clear();
  form_->GetTabOrderList(order);
  EXPECT_NE(std::find(order.begin(), order.end(), combo), order.end());
}

TEST_F(BarToolbarTest, TheChevronCaptionIsItsShortHintWithAmpersandsDoubled) {
  auto* t = new TBarToolbar(form_.get());
  EXPECT_EQ(t->ChevronHint(), "More Buttons|");
  EXPECT_EQ(t->Chevron()->Caption(), "More Buttons");
  t->SetChevronHint("Ещё & ещё|Кнопки, что не поместились");
  EXPECT_EQ(t->Chevron()->Caption(), "Ещё && ещё");
  EXPECT_TRUE(t->Chevron()->ItemStyle().Contains(tisHasSubmenu));
  EXPECT_TRUE(t->Chevron()->ItemStyle().Contains(tisNoKeyOpen));
}

TEST_F(BarToolbarTest, AChildControlIsHostedByAControlItemUntilItLeaves) {
  BuildMainWindow();
  auto* hosted = dynamic_cast<TBarControlItem*>(connect->Items()->Items(2));
  ASSERT_TRUE(hosted);
  EXPECT_EQ(hosted->Control(), combo);
  combo->SetParent(form_.get());
  EXPECT_EQ(connect->Items()->Count(), 2);
  EXPECT_EQ(combo->Parent(), form_.get()) << "the control outlives its item";
}

TEST_F(BarToolbarTest, ControlItemsMadeAtDesignTimeTakeTheFirstFreeDesignName) {
  BuildMainWindow();
  auto* taken = new TBarItem(form_.get());
  taken->SetName("TBControlItem1");
  auto hostedBy = [&](TControl* C) -> TBarControlItem* {
    for (int i = 0; i < connect->Items()->Count(); ++i)
      if (auto* ci = dynamic_cast<TBarControlItem*>(connect->Items()->Items(i)); ci && ci->Control() == C)
        return ci;
    return nullptr;
  };
  auto* atRunTime = new TEdit(form_.get());
  atRunTime->SetParent(connect);
  ASSERT_TRUE(hostedBy(atRunTime));
  EXPECT_EQ(hostedBy(atRunTime)->Name(), "") << "no name at run time";
  connect->SetDesigning(true, false);
  auto* designed = new TEdit(form_.get());
  designed->SetParent(connect);
  ASSERT_TRUE(hostedBy(designed));
  EXPECT_EQ(hostedBy(designed)->Name(), "TBControlItem2");
  connect->SetDesigning(false, false);
}

TEST_F(BarToolbarTest, ViewersStandOnTheToolbarsColour) {
  BuildMainWindow();
  EXPECT_EQ(view->View()->BackgroundColor(), clBtnFace);
  view->SetColor(clAqua);
  EXPECT_EQ(view->View()->BackgroundColor(), clAqua);
  // a repaint of the button off-screen starts from that colour: its corner shows it
  TBarItemViewer* button = view->View()->Find(refresh);
  ASSERT_TRUE(button);
  button->RepaintPending = true;
  view->Invalidate();
  const TPoint corner = view->ClientToScreen(TPoint(button->BoundsRect.Left + 1, button->BoundsRect.Top + 1));
  RECT frame;
  GetWindowRect(form_->Handle(), frame);
  EXPECT_EQ(talvik::gui::WindowPixel(form_->Handle(), corner.X - frame.Left, corner.Y - frame.Top),
            ColorToRGB(clAqua));
}

// An item whose viewer shows the hand cursor over the right half of its button.
class THandItem : public TBarItem {
  TALVIK_CLASS(THandItem, TBarItem)
  using TBarItem::TBarItem;
  TBarItemViewerClass ViewerClassFor(TBarView* View) override;
};
class THandViewer : public TBarItemViewer {
  TALVIK_CLASS(THandViewer, TBarItemViewer)
  using TBarItemViewer::TBarItemViewer;
  bool GetCursor(const TPoint& Pt, HCURSOR& ACursor) override {
    if (Pt.X < BoundsRect.Width() / 2) return false;
    ACursor = LoadCursor(nullptr, IDC_HAND);
    return true;
  }
};
TBarItemViewerClass THandItem::ViewerClassFor(TBarView* View) {
  return View->Style().Contains(vsMenuBar) ? TBarItem::ViewerClassFor(View) : ViewerClassOf<THandViewer>();
}

TEST_F(BarToolbarTest, TheButtonUnderTheMouseMayShowItsOwnCursor) {
  BuildMainWindow();
  auto* hand = Item<THandItem>(view->Items(), "", aKill, 3);
  talvik::gui::ProcessPending();
  TBarItemViewer* viewer = view->View()->Find(hand);
  ASSERT_TRUE(viewer);
  const TRect r = viewer->BoundsRect;
  Move(view->ClientToScreen(TPoint(r.Right - 3, r.Top + r.Height() / 2)));
  talvik::gui::ProcessPending();
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
  Move(view->ClientToScreen(TPoint(r.Left + 2, r.Top + r.Height() / 2)));
  talvik::gui::ProcessPending();
  EXPECT_NE(GetCursor(), LoadCursor(nullptr, IDC_HAND));
}

TEST_F(BarToolbarTest, ARightClickOnTheDragHandleAsksTheContextPopupWithTheClientPoint) {
  BuildMainWindow();
  std::vector<TPoint> asked;
  session->OnContextPopup = [&](TObject*, TPoint At, bool& Handled) {
    asked.push_back(At);
    Handled = true;
  };
  RECT window;
  GetWindowRect(session->Handle(), window);
  const POINT handle{window.Left + 3, window.Top + 8};
  InjectMouse(WM_RBUTTONDOWN, handle);
  InjectMouse(WM_RBUTTONUP, handle);
  talvik::gui::ProcessPending();
  ASSERT_EQ(asked.size(), 1u);
  const TPoint client = session->ScreenToClient(TPoint(handle.X, handle.Y));
  EXPECT_EQ(asked[0], client);
  EXPECT_LT(asked[0].X, 0) << "the handle stands left of the client area";
}

TEST_F(BarToolbarTest, AToolbarFloatedFromAnMdiChildBelongsToTheFrameAndHidesWithIt) {
  form_->SetFormStyle(fsMDIForm);
  Application->SetMainForm(form_.get());
  TScopeExit noMain([] { Application->SetMainForm(nullptr); });
  BuildMainWindow();
  auto* child = new TForm(form_.get());
  child->SetFormStyle(fsMDIChild);
  child->SetBounds(10, 60, 300, 150);
  auto* childDock = new TBarDock(child);
  childDock->SetParent(child);
  auto* floating = new TBarToolbar(child);
  floating->SetName("ChildBar");
  floating->SetParent(childDock);
  Item(floating->Items(), "", aRefresh, 1);
  child->Show();
  floating->SetFloating(true);
  talvik::gui::ProcessPending();
  TBarFloatingWindowParent* parent = floating->FloatingParent();
  ASSERT_TRUE(parent);
  EXPECT_EQ(GetWindow(parent->Handle(), GW_OWNER), form_->Handle()) << "owned by the frame, not the child";
  EXPECT_TRUE(IsWindowVisible(parent->Handle()));
  ShowWindow(form_->Handle(), SW_MINIMIZE);
  talvik::gui::ProcessPending();
  EXPECT_FALSE(IsWindowVisible(parent->Handle())) << "shown while its frame is minimised";
  ShowWindow(form_->Handle(), SW_RESTORE);
  talvik::gui::ProcessPending();
  EXPECT_TRUE(IsWindowVisible(parent->Handle()));
}

// A floating toolbar goes down to the icon with its form and comes back with it where no activation
// tells it: minimised while another window of the program stays active, and restored while the form
// was made active down at its icon (as the tray brings the main window back). The form's place, told
// again as the form goes to its icon and comes back, is what the toolbar follows.
TEST_F(BarToolbarTest, AFloatingToolbarFollowsItsFormToItsIconAndBackWhereNoActivationTellsIt) {
  BuildMainWindow();
  form_->Show();
  session->SetFloating(true);
  talvik::gui::ProcessPending();
  TBarFloatingWindowParent* parent = session->FloatingParent();
  ASSERT_TRUE(parent);
  ASSERT_TRUE(IsWindowVisible(parent->Handle()));
  TForm other(nullptr);
  other.SetBounds(500, 400, 200, 100);
  other.Show();
  talvik::gui::ProcessPending();
  ASSERT_EQ(GetActiveWindow(), other.Handle());
  ShowWindow(form_->Handle(), SW_SHOWMINNOACTIVE);
  talvik::gui::ProcessPending();
  EXPECT_EQ(GetActiveWindow(), other.Handle());
  EXPECT_FALSE(IsWindowVisible(parent->Handle())) << "shown while its form is minimised";
  SetActiveWindow(form_->Handle());
  talvik::gui::ProcessPending();
  ASSERT_TRUE(IsIconic(form_->Handle()));
  ShowWindow(form_->Handle(), SW_RESTORE);
  talvik::gui::ProcessPending();
  EXPECT_TRUE(IsWindowVisible(parent->Handle())) << "hidden though its form came back";
}

// ---- the chevron ----

TEST_F(BarToolbarTest, TheChevronPopupListsOnlyTheClippedItems) {
  BuildMainWindow();
  std::vector<TBarItem*> more;
  for (int i = 0; i < 5; ++i)
    more.push_back(Item(session->Items(), "Кнопка " + std::to_string(i), nullptr, i % 4));
  form_->SetWidth(330);  // "Сеансы" gives way to the chevron
  talvik::gui::ProcessPending();
  TBarView* v = session->View();
  v->ValidatePositions();
  std::vector<TBarCustomItem*> clipped;
  for (int i = 0; i < v->ViewerCount(); ++i)
    if (v->Viewers(i)->Clipped) clipped.push_back(v->Viewers(i)->Item());
  ASSERT_FALSE(clipped.empty());
  ASSERT_LT(clipped.size(), 7u);
  TBarItemViewer* chevron = v->Find(session->Chevron());
  ASSERT_TRUE(chevron && chevron->Show);
  EXPECT_LE(session->BoundsRect().Right, 330);

  std::vector<TBarCustomItem*> listed;
  Drive({[&] {
    if (TBarView* popup = v->OpenView())
      for (int i = 0; i < popup->ViewerCount(); ++i)
        if (popup->Viewers(i)->Show) listed.push_back(popup->Viewers(i)->Item());
    v->EndModal();
  }});
  Click(Centre(v, session->Chevron()));
  talvik::gui::ProcessPending();
  EXPECT_EQ(listed, clipped);
}

TEST_F(BarToolbarTest, TheChevronPopupShowsItsItemsAsButtonsWrappedAtTheMonitorWidth) {
  BuildMainWindow();
  session->SetShowHint(true);
  std::vector<TBarItem*> more;
  for (int i = 0; i < 60; ++i)
    more.push_back(Item(session->Items(), "Кнопка " + std::to_string(i), nullptr, i % 4));
  std::vector<std::string> clicks;
  for (TBarItem* item : more)
    item->SetOnClick([&clicks, item](TObject*) { clicks.push_back(item->Caption()); });
  form_->SetWidth(330);
  talvik::gui::ProcessPending();
  TBarView* v = session->View();
  v->ValidatePositions();
  int clipped = 0;
  for (int i = 0; i < v->ViewerCount(); ++i) clipped += v->Viewers(i)->Clipped;
  ASSERT_GT(clipped * 23, 1024) << "more than a row of the monitor";

  struct Seen {
    int shown = 0, menuLines = 0, rows = 0;
    int rightmost = 0, windowWidth = 0;
    bool hints = false;
    TColor color = clNone;
    TSize button;
    TBarCustomItem* last = nullptr;
  } seen;
  TBarCustomItem* pressed = nullptr;
  Drive({[&] {
    TBarView* popup = v->OpenView();
    ASSERT_TRUE(popup);
    std::vector<int> tops;
    for (int i = 0; i < popup->ViewerCount(); ++i) {
      TBarItemViewer* b = popup->Viewers(i);
      if (!b->Show) continue;
      ++seen.shown;
      seen.menuLines += !b->IsToolbarStyle() || !b->IsToolbarSize();
      if (std::find(tops.begin(), tops.end(), b->BoundsRect.Top) == tops.end())
        tops.push_back(b->BoundsRect.Top);
      seen.rightmost = std::max(seen.rightmost, b->BoundsRect.Right);
      seen.button = TSize{b->BoundsRect.Width(), b->BoundsRect.Height()};
      seen.last = b->Item();
    }
    seen.rows = static_cast<int>(tops.size());
    seen.windowWidth = popup->Window()->Width();
    seen.color = popup->Window()->Color();
    seen.hints = popup->Style().Contains(vsAlwaysShowHints);
    RECT r;
    GetWindowRect(popup->Window()->Handle(), r);
    talvik::gui::RenderScreenToPng(x11test::ScreenshotDir() + "/toolbar-chevron-popup.png", r);
    pressed = seen.last;
    Click(Centre(popup, pressed));  // a button there is pressed as on the toolbar
  }});
  Click(Centre(v, session->Chevron()));
  talvik::gui::ProcessPending();
  EXPECT_FALSE(LeftOpen);
  ASSERT_TRUE(pressed);
  EXPECT_EQ(clicks, std::vector<std::string>{pressed->Caption()});
  EXPECT_EQ(seen.shown, clipped);
  EXPECT_EQ(seen.menuLines, 0) << "buttons, not menu lines";
  EXPECT_EQ(seen.button.cx, 23) << "an image button's size";
  EXPECT_EQ(seen.button.cy, 22);
  EXPECT_EQ(seen.rows, 2) << "wrapped once";
  EXPECT_LE(seen.rightmost, 1024 - 6);
  EXPECT_LE(seen.windowWidth, 1024);
  EXPECT_EQ(seen.color, clBtnFace);
  EXPECT_TRUE(seen.hints) << "the toolbar's hint option";
}

// ---- floating sizes ----

TEST_F(BarToolbarTest, FloatingSizesTakeOneSizePerRowCount) {
  BuildMainWindow();
  for (int i = 0; i < 4; ++i) Item(session->Items(), "", nullptr, i);
  session->SetFloating(true);
  const std::vector<TSize> sizes = session->GetFloatingSizes();
  ASSERT_GE(sizes.size(), 3u);
  // one row first, as wide as every button with the floating margins (4 on either side)
  EXPECT_EQ(sizes.front().cx, 6 * 23 + 8);
  EXPECT_EQ(sizes.front().cy, 22 + 3);
  for (size_t i = 1; i < sizes.size(); ++i) {
    EXPECT_LT(sizes[i].cx, sizes[i - 1].cx) << i;
    EXPECT_GT(sizes[i].cy, sizes[i - 1].cy) << i;
  }
  EXPECT_EQ(sizes.back().cx, 23 + 8) << "last: one button a row";
}

struct SnapCase {
  const char* name;
  std::vector<int> lengths;
  int current;
  int snap;
};

const SnapCase kSnaps[] = {
    {"Alone", {50}, 0, 12},
    {"WideGaps", {50, 100, 180}, 1, 12},
    {"NarrowGapBelow", {50, 58, 100}, 1, 7},
    {"NarrowGapAbove", {50, 100, 104}, 1, 3},
    {"TouchingNeighbour", {50, 51}, 0, 0},
};

class FloatingSnap : public ::testing::TestWithParam<SnapCase> {};

TEST_P(FloatingSnap, DistanceFromTheNeighbours) {
  EXPECT_EQ(FloatingSnapDistance(GetParam().lengths, GetParam().current), GetParam().snap);
}

INSTANTIATE_TEST_SUITE_P(Cases, FloatingSnap, ::testing::ValuesIn(kSnaps),
                         [](const auto& info) { return std::string(info.param.name); });

struct ChoiceCase {
  const char* name;
  int current;
  int offset;
  int chosen;
};

// Candidate lengths 50, 100, 180 (frame included) with a snap of 12.
const ChoiceCase kChoices[] = {
    {"WithinTheSnapStays", 2, -12, 2},           {"PastTheNextSizeTakesIt", 2, -85, 1},
    {"PastTwoSizesTakesTheFarther", 2, -150, 0}, {"BeforeTheNextSizeStays", 0, 30, 0},
    {"GrowingPastASizeTakesIt", 0, 60, 1},       {"BeyondTheLargestTakesTheLargest", 0, 400, 2},
};

class FloatingChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(FloatingChoice, TheSizeTheCursorPassed) {
  const std::vector<int> lengths{50, 100, 180};
  EXPECT_EQ(ChooseFloatingSize(lengths, GetParam().current, GetParam().offset, 12), GetParam().chosen);
}

INSTANTIATE_TEST_SUITE_P(Cases, FloatingChoice, ::testing::ValuesIn(kChoices),
                         [](const auto& info) { return std::string(info.param.name); });

// Posts itself one step after another; the steps run inside whatever modal loop dispatches them.
class TStepper : public TCustomControl {
  TALVIK_CLASS(TStepper, TCustomControl)
  using TCustomControl::TCustomControl;
  std::vector<std::function<void()>> Steps;
  size_t Next = 0;
  void Start() { PostMessage(Handle(), WM_USER + 1, 0, 0); }
  void WndProc(TMessage& Message) override {
    if (Message.Msg == WM_USER + 1) {
      if (Next < Steps.size()) Steps[Next++]();
      if (Next < Steps.size()) PostMessage(Handle(), WM_USER + 1, 0, 0);
      return;
    }
    TCustomControl::WndProc(Message);
  }
};

TEST_F(BarToolbarTest, AFloatingResizeSnapsToTheSizesThatWrapDifferently) {
  BuildMainWindow();
  for (int i = 0; i < 4; ++i) Item(session->Items(), "", nullptr, i);
  session->SetFloating(true);
  TBarFloatingWindowParent* parent = session->FloatingParent();
  const TRect start = parent->BoundsRect();
  const TPoint edge(start.Right - 1, start.Top + start.Height() / 2);
  auto* stepper = new TStepper(form_.get());
  stepper->SetParent(form_.get());
  std::vector<int> widths, heights;
  auto note = [&] {
    widths.push_back(parent->Width());
    heights.push_back(session->Height());
  };
  stepper->Steps = {[&] { InjectMouse(WM_MOUSEMOVE, TPoint(edge.X - 8, edge.Y)); },  note,
                    [&] { InjectMouse(WM_MOUSEMOVE, TPoint(edge.X - 75, edge.Y)); }, note,
                    [&] { InjectMouse(WM_MOUSEMOVE, TPoint(edge.X - 3, edge.Y)); },  note,
                    [&] { InjectMouse(WM_LBUTTONUP, TPoint(edge.X - 3, edge.Y)); }};
  SetCursorPos(edge.X, edge.Y);
  InjectMouse(WM_LBUTTONDOWN, edge);  // on the frame's right edge: the sizing loop runs as it is read
  stepper->Start();
  talvik::gui::ProcessPending();
  ASSERT_EQ(widths.size(), 3u);
  EXPECT_EQ(widths[0], start.Width()) << "within the snap distance the frame stays";
  EXPECT_LT(widths[1], start.Width()) << "past a narrower size it takes that size";
  EXPECT_GT(heights[1], heights[0]) << "and wraps into more rows";
  EXPECT_EQ(widths[2], start.Width()) << "back near the start it snaps back";
  EXPECT_EQ(heights[2], heights[0]);
  EXPECT_EQ(session->FloatingWidth(), 0);
}

// ---- pictures ----

TEST_F(BarToolbarTest, AFloatingToolbarAndAToolbarOnALeftDock) {
  BuildMainWindow();
  auto* left = new TBarDock(form_.get());
  left->SetName("TBDockLeft");
  left->SetPosition(dpLeft);
  left->SetParent(form_.get());
  for (int i = 0; i < 2; ++i) Item(session->Items(), "", nullptr, i);
  for (int i = 0; i < 3; ++i) Item(view->Items(), "", nullptr, i);
  session->SetDockPos(0);
  session->SetParent(left);
  view->SetCaption("Просмотр");
  view->SetFloatingPosition(TPoint(420, 260));
  view->SetFloating(true);
  talvik::gui::ProcessPending();
  EXPECT_GT(session->Height(), session->Width()) << "a left dock stands its toolbar on end";
  EXPECT_EQ(session->Left(), 0);
  TBarFloatingWindowParent* parent = view->FloatingParent();
  ASSERT_TRUE(parent && parent->Visible());
  EXPECT_EQ(parent->Left(), 420);
  const std::string dir = x11test::ScreenshotDir();
  const std::string path = dir + "/toolbar-floating-and-left-dock.png";
  EXPECT_TRUE(talvik::gui::RenderScreenToPng(path, Rect(90, 90, 560, 420)));
}

// ---- what a screen reader sees through the desktop's accessibility service ----

// The child indexes leading from a window's object to the first object with the role and (when not
// empty) the name, depth first.
std::vector<int> PathToRole(HWND Window, int Role, const std::string& Name = "", std::vector<int> From = {}) {
  talvik::gui::AccessibleInfo info;
  if (!talvik::gui::QueryAccessible(Window, From, info)) return {};
  if (info.Role == Role && (Name.empty() || info.Name == Name)) return From;
  for (int i = 0; i < info.ChildCount; ++i) {
    std::vector<int> child = From;
    child.push_back(i);
    if (std::vector<int> found = PathToRole(Window, Role, Name, child); !found.empty()) return found;
  }
  return {};
}

struct ReadCase {
  const char* name;
  int barRole;          // the bar holding the item, by role
  const char* barName;  // and name
  int index;            // the item among the bar's children
  std::string accName;  // as read through the toolkit
  int role;
  std::string accelerator;
  unsigned stateHas;
  std::string action;
};
class ScreenReader : public BarToolbarTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ScreenReader, ReadsNamesRolesAndActionsOfTheBarsThroughTheToolkit) {
  talvik::gui::UseQtBackend();  // the form's window is a toolkit window the service can ask
  BuildMainWindow();
  const ReadCase& c = GetParam();
  std::vector<int> bar = PathToRole(form_->Handle(), c.barRole, c.barName);
  ASSERT_FALSE(bar.empty()) << "no bar of role " << c.barRole;
  bar.push_back(c.index);
  talvik::gui::AccessibleInfo item;
  ASSERT_TRUE(talvik::gui::QueryAccessible(form_->Handle(), bar, item));
  EXPECT_TRUE(item.Valid);
  EXPECT_EQ(item.Name, c.accName);
  EXPECT_EQ(item.Role, c.role);
  EXPECT_EQ(item.Accelerator, c.accelerator);
  EXPECT_EQ(item.State & c.stateHas, c.stateHas);
  EXPECT_EQ(item.Actions, std::vector<std::string>{c.action});
  EXPECT_FALSE(IsRectEmpty(item.Bounds));
}

const ReadCase kReads[] = {
    // outside the menu loop the accelerators are hidden: no keyboard shortcut to read
    {"MenuBarSubmenu", ROLE_SYSTEM_MENUBAR, "Главное меню", 0, "Файл", ROLE_SYSTEM_MENUITEM, "",
     STATE_SYSTEM_HASPOPUP | STATE_SYSTEM_FOCUSABLE, "Open"},
    {"MenuBarLast", ROLE_SYSTEM_MENUBAR, "Главное меню", 4, "Помощь", ROLE_SYSTEM_MENUITEM, "",
     STATE_SYSTEM_HASPOPUP, "Open"},
    {"ToolbarButton", ROLE_SYSTEM_TOOLBAR, "Соединения", 0, "Подключиться", ROLE_SYSTEM_PUSHBUTTON, "",
     STATE_SYSTEM_FOCUSABLE, "Press"},
};
INSTANTIATE_TEST_SUITE_P(Bars, ScreenReader, ::testing::ValuesIn(kReads),
                         [](const auto& Info) { return std::string(Info.param.name); });

TEST_F(BarToolbarTest, TheMenuBarReadsAsAMenuBarWithTheAltKeyAndItsHandleDiesWithItsItem) {
  talvik::gui::UseQtBackend();
  BuildMainWindow();
  const std::vector<int> path = PathToRole(form_->Handle(), ROLE_SYSTEM_MENUBAR);
  ASSERT_FALSE(path.empty());
  talvik::gui::AccessibleInfo bar, first;
  ASSERT_TRUE(talvik::gui::QueryAccessible(form_->Handle(), path, bar));
  EXPECT_EQ(bar.ChildCount, 5);
  EXPECT_EQ(bar.Accelerator, "Alt");
  std::vector<int> firstPath = path;
  firstPath.push_back(0);
  ASSERT_TRUE(talvik::gui::QueryAccessible(form_->Handle(), firstPath, first));
  EXPECT_EQ(first.Name, "Файл");
  ASSERT_TRUE(talvik::gui::AccessibleValid(first.Id));
  // the item goes: its viewer goes with it, and the service's handle is no longer valid
  delete file;
  talvik::gui::ProcessPending();
  EXPECT_FALSE(talvik::gui::AccessibleValid(first.Id));
  ASSERT_TRUE(talvik::gui::QueryAccessible(form_->Handle(), path, bar));
  EXPECT_EQ(bar.ChildCount, 4);
}

TEST_F(BarToolbarTest, TheServiceHearsTheMenuOpenMoveAndCloseInOrder) {
  talvik::gui::UseQtBackend();
  BuildMainWindow();
  struct Heard {
    DWORD event;
    int role, child;
  };
  std::vector<Heard> heard;
  talvik::gui::SetAccessibleUpdateSink([&](DWORD Event, int Role, int Child) {
    heard.push_back({Event, Role, Child});
  });
  TScopeExit quiet([] { talvik::gui::SetAccessibleUpdateSink(nullptr); });
  Drive({[&] { Key(VK_DOWN); }, [&] { menu->View()->EndModal(); }});
  EXPECT_TRUE(MenuKey(U'ф'));
  // the order a screen reader follows: the menu starts, its popup opens, the selection moves in it,
  // the popup closes, the menu ends
  const DWORD order[] = {EVENT_SYSTEM_MENUSTART, EVENT_SYSTEM_MENUPOPUPSTART, EVENT_OBJECT_FOCUS,
                         EVENT_SYSTEM_MENUPOPUPEND, EVENT_SYSTEM_MENUEND};
  std::size_t at = 0;
  for (const Heard& h : heard) {
    if (at < std::size(order) && h.event == order[at]) {
      if (h.event == EVENT_OBJECT_FOCUS) {
        EXPECT_EQ(h.role, ROLE_SYSTEM_MENUPOPUP) << "the focus moves inside the popup";
        EXPECT_GE(h.child, 1);
      }
      ++at;
    }
  }
  EXPECT_EQ(at, std::size(order)) << "heard " << heard.size() << " events";
  EXPECT_EQ(heard.front().event, EVENT_SYSTEM_MENUSTART);
  EXPECT_EQ(heard.back().event, EVENT_SYSTEM_MENUEND);
}

}  // namespace
