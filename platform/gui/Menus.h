// Menus and their shortcuts. A shortcut packs a virtual key (low byte) with Shift, Ctrl and Alt bits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gui/ActnList.h"
#include "platform/gui/Controls.h"

// TShortCut itself is declared with the actions that carry one.
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Builds a shortcut from a key and the Shift, Ctrl and Alt parts of a shift state; a key that does
// not fit in the low byte gives no shortcut.
TShortCut ShortCut(WORD Key, TShiftState Shift);
// Splits a shortcut into its key and shift state.
void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift);
// The English text of a shortcut ("Shift+Ctrl+F5", "Alt+X", "Ctrl+BkSp"); empty for none or for a key
// without a name.
std::string ShortCutToText(TShortCut ShortCut);
// The shortcut a text names, modifiers in any order and case ("ctrl+shift+f5"); 0 when it names none.
TShortCut TextToShortCut(const std::string& Text);

// Accelerators: a '&' in a caption marks the character after it ("&&" is a literal '&'), which a key
// typed with the caption's menu, label, button or toolbar in view (Alt held where it needs one)
// chooses. Captions are UTF-8: the accelerator is a character, Cyrillic as well as Latin.
// The accelerator character of a caption (the last one marked wins), 0 when there is none.
char32_t GetHotkey(std::string_view Text);
// The caption without its accelerator marks ("&&" stays one "&", a '&' at the end goes).
std::string StripHotkey(std::string_view Text);
// Is the typed character Key the caption's accelerator, letter case aside?
bool IsAccel(char32_t Key, std::string_view Text);

TALVIK_DECLARE_EXCEPTION(EMenuError, Exception);

// ---------------------------------------------------------------- menu items and menus

class TMenu;
class TMenuItem;
class TCustomImageList;
class TBitmap;

// Keeps a menu item in step with its action; a property follows the action only while the item
// still shows the action's value.
using TMenuItemCommandLink = TCommandActionLink<TMenuItem>;
class TMenuActionLink : public TMenuItemCommandLink {
  TALVIK_CLASS(TMenuActionLink, TMenuItemCommandLink)
  using TMenuItemCommandLink::TMenuItemCommandLink;

  bool IsGroupIndexLinked() override;
};

// One command of a menu, or a submenu of further items. An item frees its subitems.
class TMenuItem : public TComponent {
  TALVIK_CLASS(TMenuItem, TComponent)
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int Index) const;
  TMenuItem* Parent() const { return parent_; }
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  void Delete(int Index);  // takes the item out without freeing it
  void Remove(TMenuItem* Item);
  void Clear();  // frees the subitems
  int IndexOf(const TMenuItem* Item) const;
  int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  TMenu* GetParentMenu() const;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool IsLine() const { return caption_ == "-"; }
  bool Checked() const { return checked_; }
  void SetChecked(bool Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  // The item a double click on the menu's owner stands for; drawn bold.
  bool Default() const { return default_; }
  void SetDefault(bool Value);
  // A radio item checked unchecks the radio items of its GroupIndex among its siblings.
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool Value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool Value) { autoCheck_ = Value; }
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value) { hint_ = Value; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int Value) { helpContext_ = Value; }
  // A picture of the item's own, drawn when the menu has no image for it.
  TBitmap* Bitmap();
  // Counts the changes of every item's look and of every item's subitems, in the whole program
  // (an item made, set, given a picture, given or losing a subitem): an open menu looks the same as
  // one before it when the count has not moved.
  static std::uint64_t ChangeCount() { return changeCount_; }
  bool HasBitmap() const { return bitmap_ != nullptr; }

  TBasicAction* Action() const { return actionLink_ ? actionLink_->Action() : nullptr; }
  void SetAction(TBasicAction* Value);
  TMenuActionLink* ActionLink() const { return actionLink_.get(); }

  // Toggles a self-checking item, then runs OnClick or the action.
  virtual void Click();
  // Lets the item's action update it.
  virtual void InitiateAction();
  // The item with that shortcut, visible, here or below (nullptr when none).
  TMenuItem* FindShortCut(TShortCut Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;

  TNotifyEvent OnClick;

 protected:
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);

 private:
  void TurnSiblingsOff();
  void Changed();

  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  bool radioItem_ = false;
  int groupIndex_ = 0;
  bool autoCheck_ = false;
  int imageIndex_ = -1;
  TShortCut shortCut_ = 0;
  std::string hint_;
  int helpContext_ = 0;
  std::unique_ptr<TBitmap> bitmap_;
  std::unique_ptr<TMenuActionLink> actionLink_;
  TMenu* menu_ = nullptr;  // set on the root item of a menu
  static inline std::uint64_t changeCount_ = 0;
  friend class TMenu;
};

class TMenu : public TComponent {
  TALVIK_CLASS(TMenu, TComponent)
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  TMenuItem* Items() const { return items_.get(); }
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);
  // Clicks the enabled item whose shortcut the key message is; true when one ran.
  virtual bool IsShortCut(TMessage& Message);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  std::unique_ptr<TMenuItem> items_;
  TCustomImageList* images_ = nullptr;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

// A menu that pops up at a point in a window of its own, with the pointer and the keyboard held
// until it closes. The chosen item's Click runs after the menu closed.
class TPopupMenu : public TMenu {
  TALVIK_CLASS(TPopupMenu, TMenu)
  explicit TPopupMenu(TComponent* AOwner);

  // Shows the menu with its Alignment at the screen point (X, Y), kept on the work area.
  virtual void Popup(int X, int Y);
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment Value) { alignment_ = Value; }
  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool Value) { autoPopup_ = Value; }
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TNotifyEvent OnPopup;

 private:
  TPopupAlignment alignment_ = paLeft;
  bool autoPopup_ = true;
  TComponent* popupComponent_ = nullptr;
};

// The windows of the popup menu now open, outermost first (empty when none is open).
std::vector<HWND> OpenMenuWindows();
