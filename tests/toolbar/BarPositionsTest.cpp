// Saving and restoring toolbar positions over the test registry.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/gui/Forms.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/RegistryStore.h"
#include "platform/rtl/SysUtils.h"
#include "rtl/FileSaves.h"
#include "toolbar/BarDockTestSupport.h"
#include "toolbar/BarPositions.h"
#include "toolbar/ToolbarTestSupport.h"

namespace {

using toolbartest::PrivateRegistry;
using toolbartest::TFakeBar;

const char* const kKey = "Software\\Talvik\\Toolbars";

// The main window's bars as the form streams them: the menu bar on row 0, three toolbars on row 1.
struct MainWindow {
  MainWindow() {
    form = std::make_unique<TForm>(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 600, 300);
    dock = new TBarDock(form.get());
    dock->SetName("TBDockTop");
    dock->SetParent(form.get());
    menu = Bar("ToolBarMainMenu", 190, 0, 0);
    menu->SetFullSize(true);
    connect = Bar("ToolBarConnect", 140, 1, 0);
    view = Bar("ToolBarView", 40, 1, 160);
    session = Bar("ToolBarSession", 70, 1, 215);
    form->Show();
  }
  TFakeBar* Bar(const std::string& Name, int Length, int Row, int Pos) {
    auto* bar = new TFakeBar(form.get(), Name, Length, 18, tbsmChevron, 30);
    bar->SetDockRow(Row);
    bar->SetDockPos(Pos);
    bar->SetParent(dock);
    return bar;
  }
  void Load() { RegLoadToolbarPositions(form.get(), HKEY_CURRENT_USER, kKey); }
  void Save() { RegSaveToolbarPositions(form.get(), HKEY_CURRENT_USER, kKey); }

  std::unique_ptr<TForm> form;
  TBarDock* dock = nullptr;
  TFakeBar *menu = nullptr, *connect = nullptr, *view = nullptr, *session = nullptr;
};

class BarPositions : public ::testing::Test {
 protected:
  void SetUp() override { toolbartest::StartOnOneScreen(); }
  void TearDown() override {
    talvik::gui::ProcessPending();
    talvik::gui::SetScreens({});
  }
  static std::string Section(const std::string& Name) { return std::string(kKey) + "\\" + Name; }
  static std::string Stored(const std::string& Name, const std::string& Value) {
    TRegIniFile ini(kKey);
    return ini.ReadString(Name, Value, "<none>");
  }
  PrivateRegistry registry_;
};

TEST_F(BarPositions, AFreshUserKeepsTheDesignLayout) {
  MainWindow w;
  w.Load();
  EXPECT_EQ(w.menu->BoundsRect(), Rect(0, 0, 600, 22));
  EXPECT_EQ(w.connect->Left(), 0);
  EXPECT_EQ(w.view->Left(), 160);
  EXPECT_EQ(w.session->Left(), 215);
  EXPECT_EQ(w.session->Top(), 22);
}

// Loading only reads: a store that may not be written (a full disk, an immutable folder) loads the
// same, and no key is made for a fresh user.
TEST_F(BarPositions, LoadingWritesNothing) {
  int saves = 0;
  SetAtomicSaveHook([&saves](const std::string&) { ++saves; });
  const TScopeExit unhook([] { SetAtomicSaveHook(nullptr); });
  MainWindow w;
  w.Load();
  EXPECT_EQ(saves, 0);
  TRegistry registry;
  EXPECT_FALSE(registry.KeyExists(kKey));
}

TEST_F(BarPositions, SavedValuesInOrderAndKind) {
  MainWindow w;
  w.Save();
  EXPECT_EQ(Stored("ToolBarView", "Rev"), "2000");
  EXPECT_EQ(Stored("ToolBarView", "Visible"), "1");
  EXPECT_EQ(Stored("ToolBarView", "DockedTo"), "TBDockTop");
  EXPECT_EQ(Stored("ToolBarView", "LastDock"), "TBDockTop");
  EXPECT_EQ(Stored("ToolBarView", "DockRow"), "1");
  EXPECT_EQ(Stored("ToolBarView", "DockPos"), "160");
  EXPECT_EQ(Stored("ToolBarView", "FloatLeft"), "0");
  EXPECT_EQ(Stored("ToolBarView", "FloatRightX"), "0");
}

TEST_F(BarPositions, DockedRoundTrip) {
  {
    MainWindow w;
    w.session->SetDockRow(2);
    w.session->SetDockPos(30);
    w.view->Hide();
    w.Save();
  }
  MainWindow w;
  w.Load();
  EXPECT_EQ(w.session->EffectiveDockRow(), 2);
  EXPECT_EQ(w.session->BoundsRect(), Rect(30, 44, 110, 66));
  EXPECT_FALSE(w.view->Visible());  // a hidden toolbar stays hidden
  EXPECT_EQ(w.dock->Height(), 66);
}

TEST_F(BarPositions, FloatingRoundTrip) {
  TRect frame;
  {
    MainWindow w;
    w.view->SetFloatingPosition(TPoint(300, 200));
    w.view->SetFloating(true);
    w.view->floatingWidth = 77;
    frame = w.view->FloatingParent()->BoundsRect();
    w.Save();
  }
  EXPECT_EQ(Stored("ToolBarView", "DockedTo"), "+");
  EXPECT_EQ(Stored("ToolBarView", "FloatLeft"), "300");
  MainWindow w;
  w.Load();
  ASSERT_TRUE(w.view->Floating());
  EXPECT_EQ(w.view->FloatingParent()->BoundsRect(), frame);
  EXPECT_EQ(w.view->LastDock(), w.dock);
  EXPECT_EQ(w.view->floatingWidth, 77);
  EXPECT_EQ(w.session->Left(), 215);
}

TEST_F(BarPositions, AFloatingWindowOffTheScreenComesBack) {
  PrivateRegistry::Put(Section("ToolBarView"), "Rev", REG_SZ, "2000");
  PrivateRegistry::Put(Section("ToolBarView"), "DockedTo", REG_SZ, "+");
  PrivateRegistry::Put(Section("ToolBarView"), "FloatLeft", REG_SZ, "5000");
  PrivateRegistry::Put(Section("ToolBarView"), "FloatTop", REG_SZ, "-900");
  MainWindow w;
  w.Load();
  ASSERT_TRUE(w.view->Floating());
  const TRect r = w.view->FloatingParent()->BoundsRect();
  EXPECT_EQ(r.Right, 1024);
  EXPECT_EQ(r.Top, 0);
}

TEST_F(BarPositions, PlacesBeyondAnyScreenAreHeldAndTheWindowComesBack) {
  PrivateRegistry::Put(Section("ToolBarView"), "Rev", REG_SZ, "2000");
  PrivateRegistry::Put(Section("ToolBarView"), "DockedTo", REG_SZ, "+");
  PrivateRegistry::Put(Section("ToolBarView"), "FloatLeft", REG_SZ, "2147483647");
  PrivateRegistry::Put(Section("ToolBarView"), "FloatTop", REG_SZ, "-2147483648");
  PrivateRegistry::Put(Section("ToolBarSession"), "Rev", REG_SZ, "2000");
  PrivateRegistry::Put(Section("ToolBarSession"), "DockedTo", REG_SZ, "TBDockTop");
  PrivateRegistry::Put(Section("ToolBarSession"), "DockRow", REG_SZ, "2147483647");
  PrivateRegistry::Put(Section("ToolBarSession"), "DockPos", REG_SZ, "2147483647");
  MainWindow w;
  w.Load();
  ASSERT_TRUE(w.view->Floating());
  const TRect r = w.view->FloatingParent()->BoundsRect();
  EXPECT_EQ(r.Right, 1024);
  EXPECT_EQ(r.Top, 0);
  EXPECT_EQ(w.session->Top(), 44);  // a row of its own below the others
  EXPECT_EQ(w.session->BoundsRect().Right, 600);
}

TEST_F(BarPositions, AFormGoesWhileItsWindowsFloat) {
  MainWindow w;
  w.view->SetFloating(true);
  w.session->SetFloating(true);
  w.form.reset();  // the floating parents outlive the form part of the form being destroyed
  EXPECT_TRUE(FloatingToolWindows().empty());
}

// Sections the loader must leave alone.
struct IgnoredCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> values;
};

void PrintTo(const IgnoredCase& c, std::ostream* os) {
  *os << c.name;
}

const IgnoredCase kIgnored[] = {
    {"OtherRevision", {{"Rev", "1999"}, {"Visible", "0"}, {"DockedTo", "TBDockTop"}, {"DockRow", "5"}}},
    {"NoRevision", {{"Visible", "0"}, {"DockRow", "5"}}},
    {"UnknownDock", {{"Rev", "2000"}, {"DockedTo", "Nowhere"}, {"DockRow", "5"}, {"DockPos", "400"}}},
    {"EmptyDockedTo", {{"Rev", "2000"}, {"DockedTo", ""}, {"DockRow", "5"}}},
    {"NotANumber", {{"Rev", "2000"}, {"DockedTo", "TBDockTop"}, {"DockRow", "x1"}, {"DockPos", "1e3"}}},
};

class BarPositionsIgnored : public BarPositions, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(BarPositionsIgnored, TheWindowStaysWhereTheFormPutIt) {
  for (const auto& [name, value] : GetParam().values)
    PrivateRegistry::Put(Section("ToolBarSession"), name, REG_SZ, value);
  MainWindow w;
  w.Load();
  EXPECT_TRUE(w.session->Visible());
  EXPECT_EQ(w.session->CurrentDock(), w.dock);
  EXPECT_EQ(w.session->BoundsRect(), Rect(215, 22, 295, 44));
}

INSTANTIATE_TEST_SUITE_P(Cases, BarPositionsIgnored, ::testing::ValuesIn(kIgnored),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BarPositions, ADockThatAllowsNoDragSavesNoNameAndKeepsItsWindows) {
  {
    MainWindow w;
    w.dock->SetAllowDrag(false);
    w.Save();
  }
  EXPECT_EQ(Stored("ToolBarSession", "DockedTo"), "");
  PrivateRegistry::Put(Section("ToolBarSession"), "DockRow", REG_SZ, "3");
  MainWindow w;
  w.Load();
  EXPECT_EQ(w.session->DockRow(), 1);
  EXPECT_EQ(w.session->Left(), 215);
}

TEST_F(BarPositions, NamesAreRequired) {
  MainWindow w;
  w.dock->SetName("");
  try {
    w.Save();
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot save dockable window's position because DockedTo's Name property not set");
  }
  w.dock->SetName("TBDockTop");
  w.view->SetName("");
  try {
    w.Save();
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot save dockable window's position because Name property is not set");
  }
}

// The places of all the windows reach the settings file in one save; a window that cannot be saved
// stops the saving there, and the places written before it reach the file all the same.
TEST_F(BarPositions, AllThePlacesReachTheFileInOneSave) {
  MainWindow w;
  TFileSaveCounter saves(talvik::registry::HiveForRoot(HKEY_CURRENT_USER)->FileName());
  w.Save();
  EXPECT_EQ(saves.Take(), 1);
  w.menu->SetDockPos(7);
  w.connect->SetDockPos(9);
  w.view->SetName("");  // in component order after the menu bar and the connections bar
  EXPECT_THROW(w.Save(), EInvalidOperation);
  EXPECT_EQ(saves.Take(), 1);
  talvik::registry::ResetHives();  // read back from the file
  EXPECT_EQ(Stored("ToolBarConnect", "DockPos"), "9");
  EXPECT_EQ(Stored("ToolBarSession", "DockPos"), "215");
}

TEST_F(BarPositions, AnErrorMidLoadLeavesTheDocksArranging) {
  MainWindow w;
  int reads = 0;
  EXPECT_THROW(LoadToolbarPositions(
                   w.form.get(),
                   [&](const std::string&, const std::string& Name, int Default) {
                     if (++reads == 3) throw Exception("store gone");
                     return Name == "Rev" ? 2000 : Default;
                   },
                   [](const std::string&, const std::string& Name, const std::string& Default) {
                     return Name == "DockedTo" ? std::string("TBDockTop") : Default;
                   }),
               Exception);
  EXPECT_FALSE(w.dock->ArrangePending());
  w.session->SetDockRow(2);
  EXPECT_EQ(w.session->Top(), 44);
  EXPECT_EQ(w.dock->Height(), 66);
}

}  // namespace
