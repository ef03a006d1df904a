// What the session window shows beside the rows: the status bar's owner-drawn panels, the row colours
// the grid is given, the column chooser on the title row, and the filter row's text beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "SessionFormTestSupport.h"
#include "grid/DBGridExFilterEdit.h"
#include "grid/DatasetFeatures.h"
#include "grid/GridLibRVL.h"
#include "platform/rtl/ScopeExit.h"

namespace sessiontest {
namespace {

class ViewTest : public SessionFormTest {
 protected:
  static constexpr int kUser = 4;  // the Oracle user's column
  // Opens the session list with its filter row shown; `User` is the Oracle user's column.
  void OpenWithTheFilterRow(TColumnEx*& User) {
    Open();
    form->dbgSession->STFilter()->SetVisible(true);
    Application->ProcessMessages();
    User = form->dbgSession->Columns()->Items(kUser);
    ASSERT_EQ(User->FieldName(), "ORACLE_USER");
  }
  // A right click on the title of the session list's column `DataCol`.
  void RightClickTitle(int DataCol) {
    TDBGridEx* grid = form->dbgSession;
    const TRect title = grid->CellRect(grid->DataToRawColumn(DataCol), 0);
    SendMessage(grid->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(title.Left + 3, title.Top + 3));
    SendMessage(grid->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(title.Left + 3, title.Top + 3));
    Application->ProcessMessages();
  }
  // A client point of a control in the main window's image.
  POINT InImage(TControl* Control, int X, int Y) {
    TPoint p = Control->ClientToScreen(Point(X, Y));
    RECT frame;
    GetWindowRect(MainForm->Handle(), frame);
    return {p.X - frame.Left, p.Y - frame.Top};
  }
  // The box around the pixels inside `Rect` of the status bar that differ from `Paper`, and the
  // pixel of that box that is farthest from it.
  struct Ink {
    int left = INT_MAX, top = INT_MAX;
    COLORREF strongest = 0;
    int strength = -1;
  };
  Ink InkIn(const TRect& Rect, COLORREF Paper) {
    Ink ink;
    for (int y = Rect.Top; y < Rect.Bottom; ++y)
      for (int x = Rect.Left; x < Rect.Right; ++x) {
        const POINT at = InImage(form->StatusBar, x, y);
        const COLORREF c = talvik::gui::WindowPixel(MainForm->Handle(), at.X, at.Y);
        if (c == Paper) continue;
        ink.left = std::min(ink.left, x);
        ink.top = std::min(ink.top, y);
        const int d = std::abs(int(GetRValue(c)) - int(GetRValue(Paper))) +
                      std::abs(int(GetGValue(c)) - int(GetGValue(Paper))) +
                      std::abs(int(GetBValue(c)) - int(GetBValue(Paper)));
        if (d > ink.strength) {
          ink.strength = d;
          ink.strongest = c;
        }
      }
    return ink;
  }
};

TEST_F(ViewTest, TheCommandAndRestrictedPanelsDrawTheirTrimmedTextInNavyAndRedAtLeftPlus4TopPlus1) {
  AddFixtureSessions();
  MainForm->SetBounds(0, 0, 900, 600);
  MainForm->Show();
  Open();
  std::map<int, TRect> drawn;
  const auto draw = form->StatusBar->OnDrawPanel;
  form->StatusBar->OnDrawPanel = [&](TStatusBar* b, TStatusPanel* p, const TRect& r) {
    drawn[p->Index()] = r;
    draw(b, p, r);
  };
  form->StatusBar->Panels()->Items(1)->SetText(" ALTER SYSTEM KILL SESSION '101,304'\r\n");
  form->StatusBar->Panels()->Items(3)->SetText("Ограничение подключений");
  talvik::gui::UpdateAllWindows(MainForm->Handle());
  ASSERT_EQ(drawn.count(1), 1u);
  ASSERT_EQ(drawn.count(3), 1u);
  const POINT corner = InImage(form->StatusBar, drawn[1].Right - 1, drawn[1].Bottom - 1);
  const COLORREF paper = talvik::gui::WindowPixel(MainForm->Handle(), corner.X, corner.Y);
  struct Case {
    int panel;
    bool blue;
  };
  for (Case c : {Case{1, true}, Case{3, false}}) {
    SCOPED_TRACE(c.panel);
    const TRect r = drawn[c.panel];
    const Ink ink = InkIn(r, paper);
    ASSERT_GE(ink.strength, 0);
    // the text starts 4 pixels in (a glyph's own bearing may add one) and 1 down from the panel's top
    EXPECT_GE(ink.left, r.Left + 4);
    EXPECT_LE(ink.left, r.Left + 6);
    EXPECT_GE(ink.top, r.Top + 1);
    EXPECT_LE(ink.top, r.Top + 5);
    const int red = GetRValue(ink.strongest), blue = GetBValue(ink.strongest);
    if (c.blue)
      EXPECT_GT(blue, red + 40) << std::hex << ink.strongest;
    else
      EXPECT_GT(red, blue + 40) << std::hex << ink.strongest;
  }
  EXPECT_TRUE(
      talvik::gui::RenderWindowToPng(MainForm->Handle(), logontest::ScreenshotDir() + "/session-list.png"));
}

// The session list takes the keys as the main window comes up, whether the window shows before the
// session window (a desktop that shows it at once) or after it (the start-up order): Down moves to
// the next row with no Tab or click first.
TEST_F(ViewTest, TheSessionListHasTheKeysWhenTheMainWindowComesUp) {
  AddFixtureSessions();
  for (const bool mainFirst : {false, true}) {
    SCOPED_TRACE(mainFirst ? "the main window shown first" : "the session window made first");
    if (mainFirst) MainForm->Show();
    Open();
    MainForm->Show();
    Application->ProcessMessages();
    EXPECT_EQ(GetFocus(), form->dbgSession->Handle());
    const int row = form->odsSession->RecNo();
    talvik::gui::InjectKey(VK_DOWN, true, 0, {});
    talvik::gui::InjectKey(VK_DOWN, false, 0, {});
    Application->ProcessMessages();
    EXPECT_EQ(form->odsSession->RecNo(), row + 1);
    MainForm->Hide();
    delete form;
    form = nullptr;
  }
}

// The tray's "Скрыть" takes the list's data away while the window is hidden; the window shown again
// has its rows back, whether "Показать" brought it or the notification area went away (the window
// then comes back down to an icon, and the user restores it).
TEST_F(ViewTest, TheListShowsItsRowsAgainWhenTheWindowComesBackFromTheTrayEitherWay) {
  AddFixtureSessions();
  TSysTrayIcon* tray = MainForm->SysTrayIcon;
  tray->SetEnabled(true);
  tray->SetIconVisible(true);
  tray->SetMinimizeToTray(true);
  Open();
  MainForm->Show();
  Application->ProcessMessages();
  const auto rows = [&] {
    return form->dsSession->DataSet() == form->odsSession && form->dbgSession->DataLink()->Active() &&
           form->dbgSession->DataLink()->RecordCount() > 1;
  };
  ASSERT_TRUE(rows());
  for (const bool areaGoes : {false, true}) {
    SCOPED_TRACE(areaGoes ? "the notification area went away" : "\"Показать\"");
    MainForm->nHideClick(MainForm->nHide);
    Application->ProcessMessages();
    ASSERT_FALSE(MainForm->Visible());
    EXPECT_EQ(form->dsSession->DataSet(), nullptr) << "hidden";
    if (areaGoes) {
      shell.available = false;
      talvik::gui::TrayGone();
      Application->ProcessMessages();
      ASSERT_TRUE(MainForm->Visible());
      EXPECT_TRUE(IsIconic(MainForm->Handle()));
      Application->Restore();
      shell.available = true;
      talvik::gui::TrayRestarted();
    } else {
      MainForm->nShowClick(MainForm->nShow);
    }
    Application->ProcessMessages();
    EXPECT_TRUE(MainForm->Visible());
    EXPECT_TRUE(rows());
  }
}

TEST_F(ViewTest, RowsAlternateByRecordNumberAndActiveSessionsAreWrittenInRed) {
  AddFixtureSessions();
  Open();
  form->aSystemSession->Execute();
  TFont font;
  TDataSet* ds = form->odsSession;
  int rows = 0;
  for (ds->First(); !ds->Eof(); ds->Next(), ++rows) {
    font.SetColor(clBlack);
    TColor background = clWhite;
    form->dbgSessionGetCellParams(form->dbgSession, form->dbgSession->Columns()->Items(0), &font, background,
                                  {});
    SCOPED_TRACE(ds->FieldByName("SID")->AsString());
    EXPECT_EQ(background, ds->RecNo() % 2 ? 0xC6BEBD : 0xDED7D6);
    EXPECT_EQ(font.Color(), ds->FieldByName("STATUS")->AsString() == "ACTIVE" ? clRed : clBlack);
  }
  EXPECT_GT(rows, 10);
}

TEST_F(ViewTest, ARightClickOnTheTitleRowOffersTheColumnChooserElsewhereTheCommands) {
  Open();
  const TRect title = form->dbgSession->CellRect(0, 0);
  SendMessage(form->dbgSession->Handle(), WM_MBUTTONDOWN, 0, MAKELPARAM(20, title.Bottom - 1));
  SendMessage(form->dbgSession->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(20, title.Bottom - 1));
  EXPECT_EQ(form->dbgSession->PopupMenu(), form->PopupMenuTitle);
  SendMessage(form->dbgSession->Handle(), WM_MBUTTONDOWN, 0, MAKELPARAM(20, title.Bottom + 3));
  SendMessage(form->dbgSession->Handle(), WM_MBUTTONUP, 0, MAKELPARAM(20, title.Bottom + 3));
  EXPECT_EQ(form->dbgSession->PopupMenu(), form->PopupMenuGrid);
}

TEST_F(ViewTest, TheChooserListsEveryTitleTickedAsVisibleAndHidesByFieldName) {
  Open();
  TMenuItem* items = form->PopupMenuTitle->Items();
  TDBGridColumnsEx* columns = form->dbgSession->Columns();
  ASSERT_EQ(items->Count(), columns->Count());
  for (int i = 0; i < items->Count(); ++i) {
    EXPECT_EQ(items->Items(i)->Caption(), columns->Items(i)->Title()->Caption());
    EXPECT_EQ(items->Items(i)->Checked(), columns->Items(i)->Visible());
  }
  EXPECT_EQ(items->Items(17)->Caption(), "Ожидание|\x43татус (время)");
  // the machine column moved to the front: its item still stands for it
  TColumnEx* machine = columns->Items(6);
  machine->SetIndex(0);
  items->Items(6)->Click();
  EXPECT_FALSE(items->Items(6)->Checked());
  EXPECT_FALSE(machine->Visible());
  EXPECT_TRUE(columns->Items(1)->Visible());  // SID, now second, untouched
  items->Items(1)->Click();                   // "SPID" shows
  for (int i = 0; i < columns->Count(); ++i)
    if (columns->Items(i)->FieldName() == "SERVER_PID") {
      EXPECT_TRUE(columns->Items(i)->Visible());
    }
}

// The user edits the filter cell of the Oracle user column, opens the column menu with a right click
// on its title and hides the column there: what is typed next goes into no filter, so the list is not
// filtered on a column the user cannot see.
TEST_F(ViewTest, TypingAfterTheChooserHidTheColumnOfTheEditedFilterCellFiltersNothing) {
  TColumnEx* user = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenWithTheFilterRow(user));
  TDBGridEx* grid = form->dbgSession;
  const std::size_t listed = ListedSids().size();
  // a right click on the title opens the column menu, whose loop is given the keys once it waits
  std::vector<WORD> keys;
  int menus = 0;
  const int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE || keys.empty()) return false;
    ++menus;
    for (WORD k : std::exchange(keys, {})) logontest::Key(k);
    return true;
  });
  const TScopeExit unhook([hook] { Application->UnhookMainWindow(hook); });
  auto rightClick = [&](std::vector<WORD> Keys) {
    keys = std::move(Keys);
    RightClickTitle(kUser);
    keys.clear();
  };
  rightClick({VK_ESCAPE});  // looked at and closed: the grid's menu is the column menu now
  ASSERT_EQ(menus, 1) << "the right click on the title opened no menu";
  ASSERT_EQ(grid->PopupMenu(), form->PopupMenuTitle);
  grid->SetFocus();
  grid->ShowFilterEditor(kUser);
  Application->ProcessMessages();
  ASSERT_TRUE(grid->FilterEditorShown());
  std::vector<WORD> choose{VK_HOME};
  choose.insert(choose.end(), kUser, VK_DOWN);
  choose.push_back(VK_RETURN);
  rightClick(choose);  // the fifth item, the Oracle user's
  ASSERT_EQ(menus, 2) << "the right click on the title opened no menu";
  ASSERT_FALSE(user->Visible()) << "the column menu did not hide the column";
  for (char c : std::string("xyz"))
    logontest::Key(static_cast<WORD>(c - 'a' + 'A'), static_cast<char32_t>(c));
  logontest::Key(VK_RETURN);
  Application->ProcessMessages();
  EXPECT_EQ(user->STFilter()->FilterText(), "");
  EXPECT_EQ(ListedSids().size(), listed) << "the list is filtered on the hidden column";
}

// The user types into the filter cell of the Oracle user column, opens the column menu with a right
// click on its title and closes it with Esc: what was typed stays in the cell and in its filter.
TEST_F(ViewTest, WhatWasTypedIntoAFilterCellStaysThroughALookAtTheColumnMenu) {
  TColumnEx* user = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenWithTheFilterRow(user));
  TDBGridEx* grid = form->dbgSession;
  int menus = 0;
  const int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE) return false;
    ++menus;
    logontest::Key(VK_ESCAPE);
    return true;
  });
  const TScopeExit unhook([hook] { Application->UnhookMainWindow(hook); });
  grid->SetFocus();
  grid->ShowFilterEditor(kUser);
  Application->ProcessMessages();
  for (char c : std::string("sc")) logontest::Key(static_cast<WORD>(c - 'a' + 'A'), static_cast<char32_t>(c));
  Application->ProcessMessages();
  ASSERT_EQ(grid->FilterEditor()->Text(), "sc");
  RightClickTitle(kUser);
  ASSERT_EQ(menus, 1) << "the right click on the title opened no menu";
  EXPECT_EQ(grid->FilterEditor()->Text(), "sc");
  EXPECT_EQ(user->STFilter()->FilterText(), "sc");
  EXPECT_TRUE(grid->FilterEditing());
}

// The layout the user left comes back at the next show: the column unticked in the chooser stays
// hidden, and the restored sort markers order the rows as their arrows say.
TEST_F(ViewTest, TheLayoutIsSavedAtCloseAndRestoredWithItsSortApplied) {
  RegisterOracleDatasetFeatures();
  const TScopeExit unregister([] { ClearDatasetFeatures(); });
  AddFixtureSessions();
  Open();
  auto column = [&](const std::string& Field) {
    TDBGridColumnsEx* columns = form->dbgSession->Columns();
    for (int i = 0; i < columns->Count(); ++i)
      if (columns->Items(i)->FieldName() == Field) return columns->Items(i);
    ADD_FAILURE() << Field;
    return columns->Items(0);
  };
  ASSERT_EQ(form->PopupMenuTitle->Items()->Items(6)->Caption(), "Компьютер");
  form->PopupMenuTitle->Items()->Items(6)->Click();
  column("CPU_USAGE")->Title()->SetSortMarker(smUpEx);
  form->Close();
  form = nullptr;
  Application->ProcessMessages();  // the closed window is freed
  EXPECT_EQ(ExtractWord(4, Stored("TSessionFormdbgSession", "dbgSession.MACHINE"), ","), "0");

  Open();
  EXPECT_FALSE(column("MACHINE")->Visible());
  EXPECT_FALSE(form->PopupMenuTitle->Items()->Items(6)->Checked());
  EXPECT_EQ(column("CPU_USAGE")->Title()->SortMarker(), smUpEx);
  std::vector<double> cpu;
  for (form->odsSession->First(); !form->odsSession->Eof(); form->odsSession->Next())
    cpu.push_back(form->odsSession->FieldByName("CPU_USAGE")->AsFloat());
  ASSERT_GE(cpu.size(), 7u);
  EXPECT_TRUE(std::is_sorted(cpu.rbegin(), cpu.rend())) << ::testing::PrintToString(cpu);
}

}  // namespace
}  // namespace sessiontest

namespace sessiontest {
namespace {

// Pictures of the list with its grid popup, the column chooser and the alarm tab with rows.
TEST_F(ViewTest, PicturesOfTheGridPopupTheChooserAndTheAlarmTab) {
  AddFixtureSessions();
  Store("Alarm", "1");
  Store("AlarmActiveCount", "2");
  MainForm->SetBounds(0, 0, 900, 600);
  MainForm->Show();
  Open();
  const std::string dir = logontest::ScreenshotDir();
  // the menu loop tells the application window when it waits: the picture is taken then
  std::function<void()> onIdle;
  const int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg != WM_ENTERIDLE || !onIdle) return false;
    auto step = std::move(onIdle);
    onIdle = nullptr;
    step();
    return true;
  });
  auto picture = [&](TPopupMenu* menu, const std::string& file) {
    bool taken = false;
    onIdle = [&] {
      taken = true;
      talvik::gui::UpdateAllWindows(MainForm->Handle());
      EXPECT_TRUE(talvik::gui::RenderScreenToPng(dir + "/" + file, Rect(0, 0, 900, 600)));
      logontest::Key(VK_ESCAPE);
    };
    menu->Popup(260, 140);
    EXPECT_TRUE(taken) << file;
  };
  ASSERT_TRUE(GoTo(102));
  picture(form->PopupMenuGrid, "session-grid-popup.png");
  picture(form->PopupMenuTitle, "session-column-chooser.png");
  form->pcSessions->SetActivePage(form->tsAlarm);
  ASSERT_EQ(Alarms().size(), 2u);
  EXPECT_TRUE(talvik::gui::RenderWindowToPng(MainForm->Handle(), dir + "/session-alarms.png"));
  Application->UnhookMainWindow(hook);
}

}  // namespace
}  // namespace sessiontest

namespace sessiontest {
namespace {

// The grid as drawn: alternate row colours by record number, red text on active sessions.
TEST_F(ViewTest, TheGridPaintsRowsInAlternateColoursAndActiveSessionsInRed) {
  AddFixtureSessions();
  MainForm->SetBounds(0, 0, 900, 600);
  MainForm->Show();
  Open();
  TDBGridEx* grid = form->dbgSession;
  TDataSet* ds = form->odsSession;
  // the rows above the last one, read before it becomes the current row (highlighted in the focused list)
  struct Row {
    std::string sid;
    bool odd, active;
  };
  std::vector<Row> rows;
  for (ds->First(); !ds->Eof() && ds->FieldByName("SID")->AsString() != "107"; ds->Next())
    rows.push_back({ds->FieldByName("SID")->AsString(), ds->RecNo() % 2 != 0,
                    ds->FieldByName("STATUS")->AsString() == "ACTIVE"});
  ASSERT_TRUE(GoTo(107));
  talvik::gui::UpdateAllWindows(MainForm->Handle());
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
    SCOPED_TRACE(rows[row].sid);
    const TRect sid = grid->CellRect(1, row + 1);  // the SID column: numbers stand to the right
    const POINT paper = InImage(grid, sid.Left + 3, (sid.Top + sid.Bottom) / 2);
    EXPECT_EQ(talvik::gui::WindowPixel(MainForm->Handle(), paper.X, paper.Y),
              static_cast<COLORREF>(rows[row].odd ? 0xC6BEBD : 0xDED7D6));
    const TRect status = grid->CellRect(grid->DataToRawColumn(3), row + 1);  // STATUS, fourth of all columns
    bool red = false;
    for (int y = status.Top; y < status.Bottom && !red; ++y)
      for (int x = status.Left; x < status.Right && !red; ++x) {
        const POINT at = InImage(grid, x, y);
        const COLORREF c = talvik::gui::WindowPixel(MainForm->Handle(), at.X, at.Y);
        red = GetRValue(c) > GetGValue(c) + 60 && GetRValue(c) > GetBValue(c) + 60;
      }
    EXPECT_EQ(red, rows[row].active);
  }
  EXPECT_EQ(rows.size(), 7u);
}

}  // namespace
}  // namespace sessiontest

namespace sessiontest {
namespace {

// The session window released (its close from the desktop) while the list's popup menu runs its
// loop: the menu closes with it, and the grid that popped it up is not touched after it is gone.
TEST_F(ViewTest, TheWindowReleasedWhileTheListsMenuIsOpenEndsTheMenuAndTouchesNothingAfter) {
  AddFixtureSessions();
  MainForm->SetBounds(0, 0, 900, 600);
  MainForm->Show();
  Open();
  TDBGridEx* grid = form->dbgSession;
  form->Release();
  form = nullptr;
  const TRect row = grid->CellRect(2, 2);
  grid->Perform(WM_RBUTTONUP, 0, MAKELPARAM(row.Left + 2, row.Top + 2));
  EXPECT_EQ(Screen->FormCount(), 1);  // the main window alone
}

}  // namespace
}  // namespace sessiontest
