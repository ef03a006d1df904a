// Popup menus and the modal menu loop.
//
// While a menu is open one modal loop owns the mouse and the keyboard: TBarModalHandler captures the
// mouse on a window and pumps the messages itself, routing mouse, keyboard and timer messages to the
// chain of open views until the menu closes. Each popup level is a TBarPopupWindow, a borderless
// top-level window that shows a TBarPopupView.
#pragma once

#include <memory>

#include "platform/gui/Forms.h"
#include "toolbar/BarItem.h"

// The view timers' window timer ids: 9000 + the timer's index.
constexpr std::uintptr_t kBarViewTimerBase = 9000;
// The popup frame: 3 pixels on every side.
constexpr int kBarPopupFrame = 3;
// Messages a popup window receives from the animation.
constexpr UINT WM_BAR_ANIMATION_STEP = 0x955, WM_BAR_ANIMATION_ENDED = 0x956;

// Captures the mouse for a menu loop and runs it; a modal loop of the program stands while it lives.
class TBarModalHandler {
 public:
  // Captures the mouse to Wnd, or to a hidden window of its own when Wnd is nullptr.
  explicit TBarModalHandler(HWND Wnd);
  ~TBarModalHandler();
  TBarModalHandler(const TBarModalHandler&) = delete;
  TBarModalHandler& operator=(const TBarModalHandler&) = delete;

  HWND Wnd() const { return wnd_; }
  // Runs the loop on RootView until the menu closes; what was decided is in RootView's done action.
  // RootGone, when given, turns true when the root view is destroyed meanwhile (by a handler of a
  // message the loop dispatched): the loop then ends at once without touching it.
  void Loop(TBarView* RootView, TBarMenuLoopOptions Options, const bool* RootGone = nullptr);

 private:
  const TModalLoopStanding standing_;
  HWND wnd_ = nullptr;
  bool createdWnd_ = false;
  bool menuStartSent_ = false;
};

// Called whenever the menu loop has nothing to do, before it waits (tests drive menus from here).
using TBarMenuLoopIdleHook = std::function<void()>;
void SetMenuLoopIdleHook(TBarMenuLoopIdleHook Hook);

// The view of one popup level: its font is its window's, and it sizes its window to the layout plus
// the frame.
class TBarPopupView : public TBarView {
  TALVIK_CLASS(TBarPopupView, TBarView)
  using TBarView::TBarView;
  TFont* GetFont() override;
  void FitWindow(int AWidth, int AHeight) override;
};

// One level of a popup menu.
class TBarPopupWindow : public TCustomControl {
  TALVIK_CLASS(TBarPopupWindow, TCustomControl)
  TBarPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing);
  ~TBarPopupWindow() override;
  static TBarPopupWindow* Create(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                                 bool ACustomizing) {
    return new TBarPopupWindow(AOwner, AParentView, AItem, ACustomizing);
  }

  TBarPopupView* View() const { return view_.get(); }
  // The slide direction handed to the animation (bits as in TBarPopupPlacement).
  int AnimationDirection() const { return animationDirection_; }
  void SetAnimationDirection(int Value) { animationDirection_ = Value; }
  void WndProc(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void UpdateShowing() override;
  void Paint() override;

 private:
  void ShowNow();
  void PaintScrollArrows();
  static void PaintFrame(HWND Wnd, HDC DC, void* AppData);

  std::unique_ptr<TBarPopupView> view_;
  bool accelsInitialized_ = false;
  bool shown_ = false;
  int animationDirection_ = 0;
  TFont* menuFontRef_ = nullptr;  // the shared menu font while this window holds a reference
};

// The process-wide menu font: the first user creates it from the system settings, the last frees it.
TFont* AcquireMenuFont();
void ReleaseMenuFont();
// Reads the menu font from the system settings again (the toolbar calls it when they change).
void InitMenuFont();
