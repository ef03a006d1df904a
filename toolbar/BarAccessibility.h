// Accessibility objects of menus and toolbars: each view and each item viewer hands out an object
// that answers an accessibility client's questions (name, role, state, children, location, actions)
// with the result codes such clients know. The objects are the system's own; a thin bridge in the
// window layer can hand them to the desktop's accessibility service.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gui/OleAcc.h"
#include "toolbar/BarItem.h"

using IBarAccessible = IAccessible;

// The flag of a deferred default action that carries the item out (without it: only select).
constexpr WPARAM kAccExecuteFlag = 1;

// The base of the objects: the owner tells it when it goes; from then on every question fails.
class TBarCustomAccObject : public IBarAccessible {
 public:
  virtual void OwnerGone() = 0;
  HRESULT get_accValue(TAccChild Child, std::string& Value) override;
  HRESULT get_accDescription(TAccChild Child, std::string& Text) override;
  HRESULT get_accHelp(TAccChild Child, std::string& Text) override;
  HRESULT get_accSelection(TAccResult& Selection) override;
  HRESULT put_accName(TAccChild Child, const std::string& Name) override;
  HRESULT put_accValue(TAccChild Child, const std::string& Value) override;

 protected:
  virtual bool Gone() const = 0;
  // CHILDID_SELF, or (views) a counted viewer's number; else E_INVALIDARG.
  virtual HRESULT CheckChild(TAccChild Child) = 0;
  // The common answer of a question with nothing to say: E_FAIL when gone, the child check, else S_FALSE.
  HRESULT Nothing(TAccChild Child);
};

class TBarViewAccObject : public TBarCustomAccObject {
 public:
  explicit TBarViewAccObject(TBarView* AView);
  ~TBarViewAccObject() override;
  void OwnerGone() override { view_ = nullptr; }
  TBarView* View() const { return view_; }
  // How many view objects live in the process.
  static int LiveCount();

  HRESULT get_accParent(TAccObjectRef& Parent) override;
  HRESULT get_accChildCount(int& Count) override;
  HRESULT get_accChild(TAccChild Child, TAccObjectRef& Object) override;
  HRESULT get_accName(TAccChild Child, std::string& Name) override;
  HRESULT get_accValue(TAccChild Child, std::string& Value) override;
  HRESULT get_accRole(TAccChild Child, int& Role) override;
  HRESULT get_accState(TAccChild Child, unsigned& State) override;
  HRESULT get_accKeyboardShortcut(TAccChild Child, std::string& Text) override;
  HRESULT get_accFocus(TAccResult& Focus) override;
  HRESULT get_accDefaultAction(TAccChild Child, std::string& Action) override;
  HRESULT accSelect(int Flags, TAccChild Child) override;
  HRESULT accLocation(TRect& Location, TAccChild Child) override;
  HRESULT accNavigate(int Direction, TAccChild Start, TAccResult& End) override;
  HRESULT accHitTest(int X, int Y, TAccResult& Result) override;
  HRESULT accDoDefaultAction(TAccChild Child) override;

 protected:
  bool Gone() const override { return view_ == nullptr; }
  HRESULT CheckChild(TAccChild Child) override;

 private:
  // The object of the counted viewer a valid child number names (questions about a child go there).
  std::shared_ptr<TBarCustomAccObject> ChildObject(TAccChild Child);
  TBarView* view_;
};

class TBarItemViewerAccObject : public TBarCustomAccObject {
 public:
  explicit TBarItemViewerAccObject(TBarItemViewer* AViewer) : viewer_(AViewer) {}
  void OwnerGone() override { viewer_ = nullptr; }
  TBarItemViewer* Viewer() const { return viewer_; }

  HRESULT get_accParent(TAccObjectRef& Parent) override;
  HRESULT get_accChildCount(int& Count) override;
  HRESULT get_accChild(TAccChild Child, TAccObjectRef& Object) override;
  HRESULT get_accName(TAccChild Child, std::string& Name) override;
  HRESULT get_accValue(TAccChild Child, std::string& Value) override;
  HRESULT get_accRole(TAccChild Child, int& Role) override;
  HRESULT get_accState(TAccChild Child, unsigned& State) override;
  HRESULT get_accKeyboardShortcut(TAccChild Child, std::string& Text) override;
  HRESULT get_accFocus(TAccResult& Focus) override;
  HRESULT get_accDefaultAction(TAccChild Child, std::string& Action) override;
  HRESULT accSelect(int Flags, TAccChild Child) override;
  HRESULT accLocation(TRect& Location, TAccChild Child) override;
  HRESULT accNavigate(int Direction, TAccChild Start, TAccResult& End) override;
  HRESULT accHitTest(int X, int Y, TAccResult& Result) override;
  HRESULT accDoDefaultAction(TAccChild Child) override;

 protected:
  bool Gone() const override { return viewer_ == nullptr; }
  HRESULT CheckChild(TAccChild Child) override;

 private:
  TBarItemViewer* viewer_;
};

// The viewers an accessibility client sees in a view: shown, clipped or off edge, numbered from 1.
bool AccCounted(const TBarItemViewer* Viewer);
// The child number of a viewer in its view (0 when it is not counted).
int AccChildId(TBarItemViewer* Viewer);
// The window's usable for clients: visible and enabled up to the top, and either the view's menu loop
// runs or the window is (inside) the active window.
bool AccWindowUsable(TBarView* View);
bool AccActionable(TBarItemViewer* Viewer);
// The name of the Alt key in keyboard shortcuts.
std::string AccAltKeyName();
