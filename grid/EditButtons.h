// Edit buttons: the painter of button faces (drop-down, ellipsis, up/down, check box, plus, minus)
// with a cache of painted faces, the speed button that edit controls put inside themselves, and the
// persistent definitions of an edit control's extra buttons.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Buttons.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

enum TEditButtonStyleEx { ebsDropDownEx, ebsEllipsisEx, ebsGlyphEx, ebsUpDownEx, ebsPlusEx, ebsMinusEx };

// The styles the face painter knows.
enum TDrawButtonControlStyleEx {
  bcsDropDownEx,
  bcsEllipsisEx,
  bcsUpDownEx,
  bcsCheckboxEx,
  bcsPlusEx,
  bcsMinusEx
};

// The painter style of an edit-button style (a glyph button paints its bitmap itself: up/down).
TDrawButtonControlStyleEx EditButtonStyleToDrawStyle(TEditButtonStyleEx Style);

using TButtonClickEventEx = std::function<void(TObject* Sender, bool& Handled)>;
using TButtonDownEventEx =
    std::function<void(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled)>;
using TCloseUpEventEx = std::function<void(TObject* Sender, bool Accept)>;
using TNotInListEventEx = std::function<void(TObject* Sender, std::string NewText, bool& RecheckInList)>;
using TUpdateDataEventEx = std::function<void(TObject* Sender, bool& Handled)>;

// ---------------------------------------------------------------- face painting

// Paints a face in Rect; DownButton is 0 (released), 1 (the whole button or the upper half of an
// up/down button) or 2 (its lower half). Goes through the cache of painted faces while it is on.
void DrawEditButton(HDC DC, TRect ARect, TColor Color, TDrawButtonControlStyleEx Style, int DownButton,
                    bool Flat, bool Active, bool Enabled, TCheckBoxState State);
void DrawCheck(HDC DC, TRect R, TCheckBoxState State, bool Active, bool Pressed, bool Flat, bool Enabled);
void DrawEllipsisButton(HDC DC, TRect R, bool Pressed, bool Active, bool Flat, bool Enabled);
void DrawPlusMinusButton(HDC DC, TRect R, bool IsPlus, bool Pressed, bool Active, bool Flat, bool Enabled);
void DrawDropDownButton(HDC DC, TRect R, bool Pressed, bool Active, bool Flat, bool Enabled);
void DrawUpDownButton(HDC DC, TRect R, bool IsLowerArrow, bool Pressed, bool Active, bool Flat, bool Enabled);
// Paints one face directly (no cache); the check-box style takes State.
void PaintButtonFace(HDC DC, TDrawButtonControlStyleEx Style, TRect R, bool IsLowerArrow, bool Pressed,
                     bool Active, bool Flat, bool Enabled, TCheckBoxState State = cbUnchecked);

// The key of a cached face, compared byte for byte.
struct TButtonsBitmapCacheKey {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::uint8_t Style = 0;
  std::uint8_t Flat = 0;
  std::uint8_t Pressed = 0;
  std::uint8_t Active = 0;
  std::uint8_t Enabled = 0;
  std::uint8_t Half = 0;  // 0 the upper half or the whole button, 1 the lower half
  std::uint8_t CheckState = 0;
  bool operator==(const TButtonsBitmapCacheKey&) const = default;
};

// Frees every cached face (system colours changed).
void ClearButtonsBitmapCache();
// The number of cached faces, and the switch that routes DrawEditButton through the cache.
int ButtonsBitmapCacheCount();
bool ButtonsBitmapCacheEnabled();
void SetButtonsBitmapCacheEnabled(bool Value);
// The cached face of a key (painted on a miss).
TBitmap* GetCachedButtonFace(const TButtonsBitmapCacheKey& Key);

// Width of a flat edit button: two thirds of the default font's text height, odd, at most the width
// of a scroll-bar arrow.
int GetDefaultFlatButtonWidth();
// The size of the system check box.
TSize DefaultCheckBoxSize();
// The check box's rectangle in a cell, aligned horizontally and vertically.
TRect GetCheckBoxRect(const TRect& ARect, TAlignment Alignment, TTextLayout Layout);
// Whether a second click at P2, Elapsed ms after one at P1, makes a double click.
bool IsDoubleClick(TPoint P1, TPoint P2, unsigned Elapsed);
// Draws image ImageIndex of Images centred in ARect, clipped to it.
void DrawClippedImage(HDC DC, const TRect& ARect, TCustomImageList* Images, int ImageIndex, bool Enabled);

// ---------------------------------------------------------------- the button control

class TEditButtonControlEx : public TSpeedButton {
  TALVIK_CLASS(TEditButtonControlEx, TSpeedButton)
  explicit TEditButtonControlEx(TComponent* AOwner);
  ~TEditButtonControlEx() override;

  TEditButtonStyleEx Style() const { return style_; }
  void SetStyle(TEditButtonStyleEx Value);
  bool Active() const { return active_; }
  void SetActive(bool Value);
  // Held pressed while a drop-down is open.
  void SetAlwaysDown(bool Value);
  bool AlwaysDown() const { return alwaysDown_; }
  // 0 none, 1 the whole button or its upper half, 2 its lower half.
  int ButtonNum() const { return buttonNum_; }
  // Whether the button shows pressed now.
  bool ShownPressed() const;
  TTimer* RepeatTimer() const { return timer_; }
  void Click() override;
  // The press and the click a keyboard shortcut gives (as a mouse press on the top part would).
  void EditButtonDown(bool TopButton, bool& AutoRepeat, bool& Handled);

  TButtonDownEventEx OnDown;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  int PartAt(int Y) const;

 private:
  void TimerTick(TObject* Sender);
  void StopTimer();
  TEditButtonStyleEx style_ = ebsDropDownEx;
  bool active_ = false;
  bool alwaysDown_ = false;
  bool noClick_ = false;
  bool halfLeft_ = false;  // the mouse left the pressed half of an up/down button
  int buttonNum_ = 0;
  TTimer* timer_ = nullptr;  // owned (a component of the button)
};

// Publishes the style and the hot look.
class TSpeedButtonEx : public TEditButtonControlEx {
  TALVIK_CLASS(TSpeedButtonEx, TEditButtonControlEx)
  using TEditButtonControlEx::TEditButtonControlEx;
};

// ---------------------------------------------------------------- button definitions

constexpr TShortCut kAltDownShortCut = 0x8028;  // Alt+Down

class TEditButtonsEx;

class TEditButtonEx : public TCollectionItem {
  TALVIK_CLASS(TEditButtonEx, TCollectionItem)
  // A button in a collection (Collection set) or alone (Collection nullptr, EditControl its owner).
  TEditButtonEx(TCollection* Collection);
  TEditButtonEx(TWinControl* EditControl, TCollection* Collection);
  ~TEditButtonEx() override;
  void Assign(TPersistent* Source) override;

  TPopupMenu* DropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* Value);
  TBitmap* Glyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int Value);  // clamped to 1..4
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  TEditButtonStyleEx Style() const { return style_; }
  void SetStyle(TEditButtonStyleEx Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  int Width() const { return width_; }
  void SetWidth(int Value);  // 0: the default width
  TWinControl* EditControl() const { return editControl_; }
  // Creates the button control for the owning control (owned and parented by it).
  virtual TEditButtonControlEx* CreateEditButtonControl();

  TButtonClickEventEx OnClick;
  TButtonDownEventEx OnDown;
  TNotifyEvent OnChange;  // replaces the collection's notification when set

 protected:
  void NotifyChanged();
  TPopupMenu* dropdownMenu_ = nullptr;
  std::unique_ptr<TBitmap> glyph_;
  std::string hint_;
  int numGlyphs_ = 1;
  TShortCut shortCut_ = 0;
  TEditButtonStyleEx style_ = ebsDropDownEx;
  bool visible_ = false;
  int width_ = 0;
  TWinControl* editControl_ = nullptr;
};

class TVisibleEditButtonEx : public TEditButtonEx {
  TALVIK_CLASS(TVisibleEditButtonEx, TEditButtonEx)
  explicit TVisibleEditButtonEx(TCollection* Collection);
  TVisibleEditButtonEx(TWinControl* EditControl, TCollection* Collection);
};

class TEditButtonsEx : public TCollection {
  TALVIK_CLASS(TEditButtonsEx, TCollection)
  TEditButtonsEx(TWinControl* EditControl, TCollectionItemClass ItemClass);
  TEditButtonEx* Items(int Index) const { return static_cast<TEditButtonEx*>(TCollection::Items(Index)); }
  TEditButtonEx* Add() { return static_cast<TEditButtonEx*>(TCollection::Add()); }
  TWinControl* EditControl() const { return editControl_; }
  TPersistent* GetOwner() const override { return editControl_; }
  TNotifyEvent OnChanged;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TWinControl* editControl_;
};

// ---------------------------------------------------------------- the button controls of an edit

// The handlers of an edit with buttons (the data-aware edit and the grid's in-place editor): the
// control each new button is, and what its click, press, mouse moves and release call.
class IEditButtonsOwnerEx {
 public:
  virtual TEditButtonControlEx* CreateEditButtonControl() = 0;
  virtual void EditButtonClick(TObject* Sender) = 0;
  virtual void EditButtonDown(TObject* Sender, bool TopButton, bool& AutoRepeat, bool& Handled) = 0;
  virtual void EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) = 0;
  virtual void EditButtonMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) = 0;

 protected:
  ~IEditButtonsOwnerEx() = default;
};

// A button of an edit with the separator line beside it; pair 0 of an edit is its main button.
struct TEditButtonPairEx {
  TShape* Separator = nullptr;
  TEditButtonControlEx* Button = nullptr;
};
using TEditButtonPairsEx = std::vector<TEditButtonPairEx>;

// Drops pairs from the end (freeing them) or adds new ones until there are Count: a separator child
// of Edit and a button control from Owner, whose handlers are Owner's.
void ResizeEditButtonPairs(TEditButtonPairsEx& Pairs, int Count, TWinControl* Edit,
                           IEditButtonsOwnerEx* Owner);
// The width a visible button takes: its own Width when at least 1, else the standard width of flat
// or raised buttons.
int EditButtonWidth(int Width, bool Flat);
// A button of that width is square in a client area more than one and a half times as high, else as
// high as the client area.
int EditButtonHeight(int Width, int ClientHeight);
// Lays the pairs side by side from the right edge of a client area leftwards (from the left edge
// rightwards in right-to-left reading), each button and then its separator, with the main button or,
// with LastAtEdge, the last pair at the edge. Widths and Heights are by pair (width 0: hidden); a
// separator is 1 pixel wide and shown when Flat and its button shows. Answers the width taken.
int PlaceEditButtonPairs(const TEditButtonPairsEx& Pairs, const std::vector<int>& Widths,
                         const std::vector<int>& Heights, TSize Client, bool Flat, bool RightToLeft,
                         bool LastAtEdge);
