// The tray calls over a shell of our own, the version block calls, and hosting a control by its
// class identifier.
#include <gtest/gtest.h>

#include <cstring>

#include "GuiTestSupport.h"
#include "platform/gui/OleCtrls.h"
#include "platform/gui/ShellAPI.h"
#include "platform/gui/WinVer.h"

using namespace guitest;

namespace {

class Tray : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    talvik::gui::SetTrayShell(&shell);
  }
  void TearDown() override {
    talvik::gui::SetTrayShell(nullptr);
    GuiTest::TearDown();
  }
  NOTIFYICONDATA Data(HWND w, const std::string& tip) {
    NOTIFYICONDATA d;
    d.hWnd = w;
    d.uID = 7;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = 0x800;
    d.hIcon = LoadCursor(nullptr, IDC_ARROW);
    std::strncpy(d.szTip, tip.c_str(), sizeof d.szTip - 1);
    return d;
  }
  talvik::gui::FakeTrayShell shell;
};

}  // namespace

TEST_F(Tray, IconsComeGoAndChangeAndTheirClicksArriveAsTheCallbackMessage) {
  HWND w = Top(0, 0, 10, 10, WS_POPUP);
  NOTIFYICONDATA d = Data(w, "Talvik");
  EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &d));  // not there yet
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &d));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &d));  // twice
  auto& icons = talvik::gui::TrayIcons();
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons.begin()->second.tip, "Talvik");

  // a tip fills its field: the shell reads no further than the field
  std::string longTip(200, 'x');
  std::memset(d.szTip, 'x', sizeof d.szTip);  // even without its zero
  EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &d));
  EXPECT_EQ(icons.begin()->second.tip, std::string(sizeof d.szTip - 1, 'x'));
  EXPECT_EQ(shell.shows, 2);

  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP})
    talvik::gui::TrayIconInput(w, 7, m);
  talvik::gui::TrayIconInput(w, 8, WM_LBUTTONDOWN);  // no such icon
  Pump();
  auto got = Messages(w, 0x800);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0].wParam, 7u);
  EXPECT_EQ(got[2].lParam, static_cast<LPARAM>(WM_LBUTTONDBLCLK));
  EXPECT_EQ(got[4].lParam, static_cast<LPARAM>(WM_RBUTTONUP));

  EXPECT_TRUE(Shell_NotifyIcon(NIM_DELETE, &d));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &d));
  EXPECT_TRUE(icons.empty());
}

TEST_F(Tray, WithoutANotificationAreaEveryCallFailsAndANewOneAnnouncesItself) {
  HWND w = Top(0, 0, 10, 10, WS_POPUP);
  NOTIFYICONDATA d = Data(w, "Talvik");
  shell.available = false;
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &d));
  EXPECT_TRUE(talvik::gui::TrayIcons().empty());
  shell.available = true;
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &d));
  // the shell restarts: its icons are gone and windows hear "TaskbarCreated"
  talvik::gui::TrayRestarted();
  Pump();
  EXPECT_TRUE(talvik::gui::TrayIcons().empty());
  EXPECT_EQ(Messages(w, RegisterWindowMessage("TaskbarCreated")).size(), 1u);
  EXPECT_TRUE(Shell_NotifyIcon(NIM_ADD, &d));  // so an owner can add its icon again
  EXPECT_GE(GetComCtlVersion(), ComCtlVersionIE4);
}

TEST(VersionInfo, StringsOfARegisteredBlockAndNothingWithoutOne) {
  const std::string file = "/opt/talvik/bin/talvik-test";
  DWORD handle = 99;
  EXPECT_EQ(GetFileVersionInfoSize(file, &handle), 0u);
  EXPECT_EQ(handle, 0u);
  char none[16];
  EXPECT_FALSE(GetFileVersionInfo(file, 0, sizeof none, none));

  TVersionInfo info;
  info.Strings = {{"ProductName", "Talvik"}, {"FileVersion", "1.0.0.7"}, {"Web", ""}};
  RegisterVersionInfo(file, info);
  DWORD size = GetFileVersionInfoSize(file, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  EXPECT_FALSE(GetFileVersionInfo(file, 0, size - 1, block.data()));  // too small
  ASSERT_TRUE(GetFileVersionInfo(file, 0, size, block.data()));

  void* p = nullptr;
  UINT len = 0;
  ASSERT_TRUE(VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &p, &len));
  ASSERT_EQ(len, 4u);
  WORD lang, cp;
  std::memcpy(&lang, p, 2);
  std::memcpy(&cp, static_cast<char*>(p) + 2, 2);
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", lang, cp);
  std::string table = std::string("StringFileInfo\\") + key + "\\";
  ASSERT_TRUE(VerQueryValue(block.data(), table + "FileVersion", &p, &len));
  EXPECT_EQ(len, 8u);  // the zero counts
  EXPECT_STREQ(static_cast<char*>(p), "1.0.0.7");
  ASSERT_TRUE(VerQueryValue(block.data(), "\\" + table + "Web", &p, &len));
  EXPECT_EQ(len, 1u);  // empty: its zero alone
  EXPECT_FALSE(VerQueryValue(block.data(), table + "Author", &p, &len));
  EXPECT_EQ(len, 0u);
  EXPECT_FALSE(VerQueryValue(block.data(), "StringFileInfo\\040904E4\\ProductName", &p, &len));
  EXPECT_FALSE(VerQueryValue(none, "\\VarFileInfo\\Translation", &p, &len));  // not a block
  UnregisterVersionInfo(file);
  EXPECT_EQ(GetFileVersionInfoSize(file, nullptr), 0u);
}

namespace {

class TEcho : public TDispatchObject {
 public:
  TVariant Invoke(const std::string& Name, std::vector<TVariant>& Args) override {
    if (Name != "echo") throw EOleError("Unknown name");
    return Args.at(0);
  }
};

class THosted : public TOleControl {
 public:
  THosted(TComponent* owner, const TGUID& id) : TOleControl(owner) {
    data_.ClassID = id;
    CreateControl();
  }

 protected:
  void InitControlData() override { SetControlData(&data_); }

 private:
  TControlData data_;
};

}  // namespace

TEST(OleHost, ControlsAreMadeByClassIdAndCalledByName) {
  EXPECT_THROW(StringToGUID("EEE78591-FE22-11D0-8BEF-0060081841DE"), EConvertError);
  EXPECT_THROW(StringToGUID("{EEE78591-FE22-11D0-8BEF-0060081841DG}"), EConvertError);
  EXPECT_THROW(StringToGUID("{EEE78591FE22-11D0-8BEF-0060081841DE-}"), EConvertError);
  TGUID id = StringToGUID("{eee78591-fe22-11d0-8bef-0060081841de}");
  EXPECT_EQ(GUIDToString(id), "{EEE78591-FE22-11D0-8BEF-0060081841DE}");
  EXPECT_EQ(id.D4[7], 0xDE);

  TGUID echoId = StringToGUID("{00000001-0002-0003-0405-060708090A0B}");
  EXPECT_THROW(THosted(nullptr, echoId), EOleSysError);  // not registered
  RegisterComClass(echoId, [] { return std::make_unique<TEcho>(); });
  THosted hosted(nullptr, echoId);
  ASSERT_NE(hosted.OleObject(), nullptr);
  EXPECT_EQ(VarToStr(DispatchInvoke(hosted.OleObject(), "echo", {TVariant(std::string("Привет"))})),
            "Привет");
  EXPECT_THROW(DispatchInvoke(hosted.OleObject(), "speak", {}), EOleError);
  // a class whose object cannot be made: its error reaches the creator
  RegisterComClass(echoId, []() -> std::unique_ptr<TDispatchObject> { throw EOleError("No audio output"); });
  EXPECT_THROW(THosted(nullptr, echoId), EOleError);
  UnregisterComClass(echoId);
}

namespace {

class FileDrop : public GuiTest {};

// A drop goes to the window under the point or its nearest ancestor that accepts files, with the
// point in that window's client coordinates; the names come back whole, and finishing frees it.
TEST_F(FileDrop, ReachesTheNearestAcceptingWindowWithItsNamesAndPoint) {
  HWND top = Top(100, 100, 300, 200);
  HWND child = Child(top, 10, 10, 100, 50);
  std::vector<std::string> names;
  POINT at{};
  bool inClient = false;
  Handlers()[top] = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT*) {
    if (m != WM_DROPFILES) return false;
    HDROP drop = reinterpret_cast<HDROP>(w);
    UINT n = DragQueryFile(drop, kDragQueryFileCount, nullptr);
    for (UINT i = 0; i < n; ++i) {
      std::string name;
      UINT length = DragQueryFile(drop, i, &name);
      EXPECT_EQ(length, name.size());
      names.push_back(name);
    }
    EXPECT_EQ(DragQueryFile(drop, n, nullptr), 0u);
    inClient = DragQueryPoint(drop, at);
    DragFinish(drop);
    return true;
  };
  EXPECT_FALSE(talvik::gui::AcceptsFilesAt(POINT{130, 130}));
  EXPECT_FALSE(talvik::gui::InjectFileDrop(POINT{130, 130}, {"/tmp/x"}));
  DragAcceptFiles(top, true);
  EXPECT_TRUE(GetWindowLongPtr(top, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  std::string deep = "/данные/" + std::string(300, 'd') + ".sql";
  ASSERT_TRUE(talvik::gui::InjectFileDrop(POINT{130, 130}, {"/tmp/x", deep}));  // over the child
  Pump();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], deep);
  EXPECT_TRUE(inClient);
  EXPECT_EQ(at.X, 30);
  EXPECT_EQ(at.Y, 30);
  DragAcceptFiles(top, false);
  EXPECT_FALSE(talvik::gui::InjectFileDrop(POINT{130, 130}, {"/tmp/x"}));
  (void)child;
}

}  // namespace
