// A seeded random walk through the window and control layer: keys with modifiers (Latin and
// Cyrillic), mouse presses, drags and the wheel anywhere, forms resized from 0x0, focus moves,
// controls destroyed and made again, popup menus rebuilt by a timer while they are open, image lists
// freed while controls show them, with the queue pumped between steps. After each step cheap
// invariants hold: nothing names a window or control that is gone, no menu or drag is left open.
//
// TALVIK_RANDOM_SEED and TALVIK_RANDOM_STEPS run one longer walk (scripts/random-input); a failing
// walk prints its seed and steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "GuiTestSupport.h"
#include "RandomWalk.h"
#include "platform/gui/Buttons.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/Spin.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/Lifetime.h"

using namespace guitest;
using talvik::gui::InjectKey;
using talvik::gui::InjectMouse;
using talvik::gui::ShiftKeys;

using randomwalk::TWalkLog;

namespace {

struct KeyChoice {
  WORD vk;
  char32_t ch;
};

const KeyChoice kKeys[] = {
    {'A', U'a'},    {'Z', U'з'},    {'F', U'а'},     {'G', U'п'},     {'1', U'1'},   {VK_SPACE, U' '},
    {VK_BACK, 8},   {VK_TAB, 9},    {VK_RETURN, 13}, {VK_ESCAPE, 27}, {VK_LEFT, 0},  {VK_RIGHT, 0},
    {VK_UP, 0},     {VK_DOWN, 0},   {VK_HOME, 0},    {VK_END, 0},     {VK_PRIOR, 0}, {VK_NEXT, 0},
    {VK_DELETE, 0}, {VK_INSERT, 0}, {VK_F2, 0},      {'O', U'щ'},     {'Y', U'н'},   {'C', U'с'},
};

class Walk {
 public:
  Walk(unsigned seed, TWalkLog& log) : rng_(seed), log_(log) {
    form_ = std::make_unique<TForm>(nullptr);
    form_->SetBounds(50, 50, 420, 320);
    menu_ = new TPopupMenu(form_.get());
    RebuildMenu();
    refresh_ = new TTimer(form_.get());
    refresh_->SetEnabled(false);  // it runs only while a popup menu is open
    refresh_->SetInterval(50);
    refresh_->SetOnTimer([this](TObject*) { RebuildMenu(); });
    NewImages();
    for (int i = 0; i < 6; ++i) MakeControl();
    form_->Show();
    Application->ProcessMessages();
  }
  ~Walk() {
    form_.reset();
    Application->ProcessMessages();
  }

  void Step() {
    switch (Pick(12)) {
      case 0:
      case 1:
      case 2:
        Key();
        break;
      case 3:
      case 4:
        Click();
        break;
      case 5:
        Drag();
        break;
      case 6:
        Wheel();
        break;
      case 7:
        Resize();
        break;
      case 8:
        Focus();
        break;
      case 9:
        Recreate();
        break;
      case 10:
        Popup();
        break;
      default:
        ReplaceImages();
        break;
    }
    FakeNow() += 1000;  // no double clicks across steps; timers that are due fire
    Application->ProcessMessages();
  }

  // What must hold after any step.
  void Check() {
    for (HWND h : {GetFocus(), GetCapture(), GetActiveWindow()})
      ASSERT_TRUE(h == nullptr || IsWindow(h)) << "a state names a window that is gone";
    // every step lets go of the modifiers it held, as a hand does
    for (WORD vk : {VK_SHIFT, VK_CONTROL, VK_MENU}) {
      ASSERT_GE(GetAsyncKeyState(vk), 0) << "key " << vk << " left held after its step";
      ASSERT_GE(GetKeyState(vk), 0) << "key " << vk << " still read as held after its step";
    }
    ASSERT_TRUE(OpenMenuWindows().empty()) << "a popup menu stays open after its step";
    TControl* drag = DragSource();
    ASSERT_TRUE(drag == nullptr || Live(drag)) << "the drag names a control that is gone";
    if (Screen && Screen->ActiveControl()) {
      ASSERT_TRUE(Live(Screen->ActiveControl())) << "the screen's active control is gone";
    }
    if (form_->ActiveControl()) {
      ASSERT_TRUE(Live(form_->ActiveControl())) << "the form's active control is gone";
    }
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  void Say(const std::string& s) { log_.Say(s); }

  // A control in the form's tree now, or one made by the walk that lives on without a parent (its
  // panel went); found by comparing pointers, never by reading one.
  bool Live(TControl* c) {
    return InTree(form_.get(), c) ||
           std::any_of(controls_.begin(), controls_.end(), [&](const auto& r) { return r.Get() == c; });
  }
  static bool InTree(TWinControl* parent, TControl* c) {
    if (parent == c) return true;
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* child = parent->Controls(i);
      if (child == c) return true;
      if (auto* w = dynamic_cast<TWinControl*>(child); w && InTree(w, c)) return true;
    }
    return false;
  }
  std::vector<TControl*> LiveControls() {
    std::vector<TControl*> out;
    for (auto& r : controls_)
      if (r) out.push_back(r.Get());
    return out;
  }
  TPoint AnywhereOnScreen() {
    RECT r;
    GetWindowRect(form_->Handle(), r);
    // mostly on the form, sometimes just off it
    return {r.Left - 20 + Pick(std::max(1, r.Right - r.Left + 40)),
            r.Top - 20 + Pick(std::max(1, r.Bottom - r.Top + 40))};
  }
  ShiftKeys Modifiers() {
    ShiftKeys k;
    int m = Pick(8);
    k.shift = m & 1;
    k.ctrl = (m & 2) && Pick(2);
    k.alt = (m & 4) && Pick(3) == 0;
    return k;
  }

  void RebuildMenu() {
    menu_->Items()->Clear();
    for (const char* caption : {"&Обновить", "&Завершить сессию", "-", "&Копировать", "Вы&ход"}) {
      auto* item = new TMenuItem(form_.get());
      item->SetCaption(caption);
      item->OnClick = [this](TObject*) { ++clicks_; };
      menu_->Items()->Add(item);
    }
    auto* sub = new TMenuItem(form_.get());
    sub->SetCaption("&Вид");
    menu_->Items()->Add(sub);
    for (const char* caption : {"&Сетка", "&Дерево"}) {
      auto* item = new TMenuItem(form_.get());
      item->SetCaption(caption);
      sub->Add(item);
    }
  }

  void NewImages() {
    images_ = new TCustomImageList(form_.get(), 16, 16);
    TBitmap strip;
    strip.SetSize(32, 16);
    images_->Add(&strip, nullptr);
    menu_->SetImages(images_);
  }

  void MakeControl() {
    TWinControl* parent = form_.get();
    std::vector<TControl*> live = LiveControls();
    for (TControl* c : live)
      if (auto* panel = dynamic_cast<TPanel*>(c); panel && Pick(2)) parent = panel;
    TControl* c = nullptr;
    int kind = Pick(11);
    switch (kind) {
      case 0: {
        auto* e = new TEdit(form_.get());
        e->SetText("SELECT * FROM v$session");
        c = e;
        break;
      }
      case 1: {
        auto* m = new TMemo(form_.get());
        m->SetText("строка 1\r\nстрока 2\r\nстрока 3");
        c = m;
        break;
      }
      case 2: {
        auto* l = new TListBox(form_.get());
        for (int i = 0; i < 30; ++i) l->Items()->Add("Сессия " + std::to_string(i));
        l->SetDragMode(Pick(2) ? dmAutomatic : dmManual);
        c = l;
        break;
      }
      case 3: {
        auto* cb = new TComboBox(form_.get());
        cb->SetStyle(Pick(2) ? csDropDownList : csDropDown);
        for (const char* t : {"Активные", "Все", "Фоновые"}) cb->Items()->Add(t);
        c = cb;
        break;
      }
      case 4: {
        auto* b = new TButton(form_.get());
        b->SetCaption("&Отмена");
        b->OnClick = [this](TObject*) { ++clicks_; };
        c = b;
        break;
      }
      case 5: {
        auto* l = new TLabel(form_.get());
        l->SetCaption("&Пользователь:");
        c = l;
        break;
      }
      case 6: {
        auto* pc = new TPageControl(form_.get());
        c = pc;
        pc->SetParent(parent);
        for (const char* t : {"&Сессии", "&Блокировки"}) {
          auto* sheet = new TTabSheet(form_.get());
          sheet->SetPageControl(pc);
          sheet->SetCaption(t);
          sheet->SetImageIndex(Pick(3) - 1);
        }
        pc->SetImages(images_);
        break;
      }
      case 7: {
        auto* lv = new TListView(form_.get());
        lv->SetViewStyle(vsReport);
        lv->Columns()->Add()->SetCaption("SID");
        for (int i = 0; i < 40; ++i) lv->Items()->Add()->SetCaption(std::to_string(i));
        lv->SetSmallImages(images_);
        c = lv;
        break;
      }
      case 8: {
        auto* s = new TSpinEdit(form_.get());
        s->SetMinValue(Pick(3));
        s->SetMaxValue(Pick(3));
        c = s;
        break;
      }
      case 9: {
        auto* p = new TPanel(form_.get());
        c = p;
        break;
      }
      default: {
        auto* sb = new TScrollBar(form_.get());
        sb->SetParams(0, 0, 40000);
        c = sb;
        break;
      }
    }
    if (!c->Parent()) c->SetParent(parent);
    c->SetBounds(Pick(380), Pick(280), 20 + Pick(200), 15 + Pick(150));
    controls_.emplace_back(c);
    Say("make " + std::string(c->ClassName()) + " #" + std::to_string(controls_.size() - 1));
  }

  void Key() {
    const KeyChoice& k = kKeys[Pick(std::size(kKeys))];
    ShiftKeys m = Modifiers();
    Say("key " + std::to_string(k.vk) + " char " + std::to_string(static_cast<unsigned>(k.ch)) +
        (m.shift ? " shift" : "") + (m.ctrl ? " ctrl" : "") + (m.alt ? " alt" : ""));
    if (m.alt) InjectKey(VK_MENU, true, 0, m);
    InjectKey(k.vk, true, m.ctrl || m.alt ? 0 : k.ch, m);
    InjectKey(k.vk, false, 0, m);
    if (m.alt) InjectKey(VK_MENU, false, 0, ShiftKeys{m.shift, m.ctrl, false});
    InjectKey(VK_SHIFT, false, 0, {});  // every modifier is up after the step
  }

  void Click() {
    TPoint p = AnywhereOnScreen();
    static constexpr UINT kDowns[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    static constexpr UINT kUps[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
    int b = Pick(5) == 0 ? 1 + Pick(2) : 0;
    bool twice = Pick(4) == 0;
    ShiftKeys m = Modifiers();
    Say("click " + std::to_string(b) + " at " + std::to_string(p.X) + "," + std::to_string(p.Y) +
        (twice ? " twice" : ""));
    InjectMouse(WM_MOUSEMOVE, p, m);
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
      InjectMouse(kDowns[b], p, m);
      InjectMouse(kUps[b], p, {});
    }
    EndLoops();  // see Drag
  }

  // A press dragged across the form; or a drag begun by the program (BeginDrag) from a control, whose
  // source may be destroyed half way. Nothing is pumped between a press and its release: a press on a
  // scroll bar runs a loop of its own that waits for the release.
  void Drag() {
    TPoint from = AnywhereOnScreen(), to = AnywhereOnScreen();
    std::vector<TControl*> live = LiveControls();
    std::erase_if(live, [this](TControl* c) { return !InTree(form_.get(), c); });
    TControl* source = !live.empty() && Pick(3) == 0
                           ? live[static_cast<std::size_t>(Pick(static_cast<int>(live.size())))]
                           : nullptr;
    Say("drag " + std::to_string(from.X) + "," + std::to_string(from.Y) + " to " + std::to_string(to.X) +
        "," + std::to_string(to.Y) +
        (source ? " begun by " + std::string(source->ClassName()) : std::string()));
    InjectMouse(WM_MOUSEMOVE, from);
    if (!source) {
      InjectMouse(WM_LBUTTONDOWN, from);
      for (int i = 1; i <= 4; ++i)
        InjectMouse(WM_MOUSEMOVE, {from.X + (to.X - from.X) * i / 4, from.Y + (to.Y - from.Y) * i / 4});
      InjectMouse(WM_LBUTTONUP, to);
      // The release went to the window under it when it was queued: a press on a scroll bar, whose
      // loop takes only its own window's release, ends on Esc.
      EndLoops();
      return;
    }
    Application->ProcessMessages();
    source->BeginDrag(Pick(2));
    for (int i = 1; i <= 4; ++i) {
      InjectMouse(WM_MOUSEMOVE, {from.X + (to.X - from.X) * i / 4, from.Y + (to.Y - from.Y) * i / 4});
      Application->ProcessMessages();
    }
    if (Pick(3) == 0) DestroyOne();  // perhaps the source itself
    InjectMouse(WM_LBUTTONUP, to);
  }

  static void EndLoops() {
    InjectKey(VK_ESCAPE, true, 27, {});
    InjectKey(VK_ESCAPE, false, 0, {});
  }

  void Wheel() {
    TPoint p = AnywhereOnScreen();
    int delta = (Pick(2) ? 1 : -1) * 120 * (1 + Pick(3));
    const ShiftKeys m = Modifiers();
    Say("wheel " + std::to_string(delta) + " at " + std::to_string(p.X) + "," + std::to_string(p.Y) +
        (m.shift ? " shift" : "") + (m.ctrl ? " ctrl" : "") + (m.alt ? " alt" : ""));
    InjectMouse(WM_MOUSEMOVE, p);
    MouseStep(WM_MOUSEWHEEL, p, m, delta);  // the modifiers go up after it
  }

  void Resize() {
    int w = Pick(4) == 0 ? 0 : Pick(600), h = Pick(4) == 0 ? 0 : Pick(450);
    Say("resize " + std::to_string(w) + "x" + std::to_string(h));
    form_->SetBounds(form_->Left(), form_->Top(), w, h);
  }

  void Focus() {
    std::vector<TControl*> live = LiveControls();
    if (live.empty()) return;
    TControl* c = live[static_cast<std::size_t>(Pick(static_cast<int>(live.size())))];
    Say("focus " + std::string(c->ClassName()));
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->CanFocus()) w->SetFocus();
  }

  void DestroyOne() {
    std::vector<TControl*> live = LiveControls();
    if (live.empty()) return;
    TControl* c = live[static_cast<std::size_t>(Pick(static_cast<int>(live.size())))];
    Say("destroy " + std::string(c->ClassName()));
    delete c;
  }

  void Recreate() {
    if (Pick(2) || LiveControls().size() > 12) DestroyOne();
    MakeControl();
  }

  void Popup() {
    TPoint p = AnywhereOnScreen();
    bool rebuild = Pick(2);
    Say("popup at " + std::to_string(p.X) + "," + std::to_string(p.Y) +
        (rebuild ? " rebuilt meanwhile" : ""));
    // the menu loop takes the input queued before it: a few moves and keys, then it closes
    static constexpr WORD kMenuKeys[] = {VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_LEFT, VK_DOWN};
    for (int i = 0, n = Pick(4); i < n; ++i) {
      InjectKey(kMenuKeys[Pick(std::size(kMenuKeys))], true, 0, {});
      InjectKey(VK_DOWN, false, 0, {});
    }
    if (Pick(3) == 0) {
      InjectKey('Z', true, U'з', {});
      InjectKey('Z', false, 0, {});
    }
    if (rebuild) {
      refresh_->SetEnabled(true);
      FakeNow() += 60;
    }
    InjectKey(VK_ESCAPE, true, 27, {});
    InjectKey(VK_ESCAPE, false, 0, {});
    InjectKey(VK_ESCAPE, true, 27, {});
    InjectKey(VK_ESCAPE, false, 0, {});
    menu_->Popup(p.X, p.Y);
    refresh_->SetEnabled(false);
  }

  void ReplaceImages() {
    Say("free the image list");
    delete images_;
    images_ = nullptr;
    Application->ProcessMessages();  // the controls paint without it
    NewImages();
    for (TControl* c : LiveControls()) {
      if (auto* pc = dynamic_cast<TPageControl*>(c)) pc->SetImages(images_);
      if (auto* lv = dynamic_cast<TListView*>(c)) lv->SetSmallImages(images_);
    }
  }

  std::mt19937 rng_;
  TWalkLog& log_;
  std::unique_ptr<TForm> form_;
  TPopupMenu* menu_ = nullptr;
  TTimer* refresh_ = nullptr;
  TCustomImageList* images_ = nullptr;
  std::vector<TComponentRef<TControl>> controls_;
  int clicks_ = 0;
};

class RandomInput : public GuiTest, public ::testing::WithParamInterface<unsigned> {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    talvik::gui::SetMessageBoxHandler(
        [](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
  }
  void TearDown() override {
    talvik::gui::SetMessageBoxHandler(nullptr);
    GuiTest::TearDown();
  }
  static void Run(unsigned seed, int count) {
    TWalkLog log(seed);
    Walk walk(seed, log);
    randomwalk::TakeSteps(walk, log, count);
  }
};

constexpr int kSteps = 2000;

}  // namespace

TEST_P(RandomInput, NothingIsUsedAfterItIsGone) {
  Run(GetParam(), kSteps);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomInput, ::testing::Values(1u, 2u, 3u), randomwalk::SeedName);

// A longer walk of a seed of one's own choosing: TALVIK_RANDOM_SEED, TALVIK_RANDOM_STEPS.
TEST_F(RandomInput, ChosenSeed) {
  randomwalk::RunChosenWalk(Run);
}
