// The most-recently-used list of an edit control: the texts entered before, newest last, which its
// drop-down offers filtered by what the user types.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"

class TMRUListEx : public TPersistent {
  TALVIK_CLASS(TMRUListEx, TPersistent)
  explicit TMRUListEx(TComponent* AOwner = nullptr);
  ~TMRUListEx() override;
  void Assign(TPersistent* Source) override;

  bool AutoAdd() const { return autoAdd_; }
  void SetAutoAdd(bool Value) { autoAdd_ = Value; }
  bool Active() const { return active_; }
  void SetActive(bool Value);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool Value) { caseSensitive_ = Value; }
  TStrings* Items() const { return items_.get(); }
  void SetItems(TStrings* Value);
  int Limit() const { return limit_; }
  void SetLimit(int Value);
  int Rows() const { return rows_; }
  void SetRows(int Value) { rows_ = Value; }
  TComponent* Owner() const { return owner_; }
  TPersistent* GetOwner() const override { return owner_; }

  // Adds a text (ignored when blank): an equal item moves to the end, the oldest go past Limit.
  void Add(const std::string& Text);
  // Copies into Dest the items that begin with Text. Answers false when it stopped early because a
  // key press was waiting (checked every 100 items while Interruptible).
  bool FilterItemsTo(TStrings* Dest, const std::string& Text);

  bool Interruptible() const { return interruptible_; }
  void SetInterruptible(bool Value) { interruptible_ = Value; }
  bool DroppedDown() const { return droppedDown_; }
  void SetDroppedDown(bool Value) { droppedDown_ = Value; }
  int DropDownWidth() const { return width_; }
  void SetDropDownWidth(int Value) { width_ = Value; }

  // Hooks set by the owner.
  TNotifyEvent OnActiveChanged;
  std::function<void(TObject* Sender, const std::string& Text, bool& Accept)> OnFilterItem;
  std::function<void(TObject* Sender)> OnSetDropDown;
  std::function<void(TObject* Sender, bool Accept)> OnSetCloseUp;

 private:
  void Trim();
  bool Matches(const std::string& Item, const std::string& Text) const;
  TComponent* owner_;
  std::unique_ptr<TStringList> items_;
  bool autoAdd_ = true;
  bool active_ = false;
  bool caseSensitive_ = false;
  int limit_ = 100;
  int rows_ = 7;
  bool interruptible_ = true;
  bool droppedDown_ = false;
  int width_ = 0;
};
