#include "grid/MRUList.h"

#include "platform/gui/Windows.h"
#include "platform/rtl/Lifetime.h"
#include "platform/rtl/SysUtils.h"

namespace {
constexpr int kInterruptCheckEvery = 100;
}

TMRUListEx::TMRUListEx(TComponent* AOwner) : owner_(AOwner), items_(std::make_unique<TStringList>()) {}

TMRUListEx::~TMRUListEx() = default;

void TMRUListEx::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TMRUListEx*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  autoAdd_ = src->autoAdd_;
  caseSensitive_ = src->caseSensitive_;
  rows_ = src->rows_;
  SetItems(src->items_.get());
  SetLimit(src->limit_);
  SetActive(src->active_);
}

void TMRUListEx::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  InvokeEvent(OnActiveChanged, this);
}

void TMRUListEx::SetItems(TStrings* Value) {
  items_->Assign(Value);
}

void TMRUListEx::SetLimit(int Value) {
  limit_ = Value;
  Trim();
}

void TMRUListEx::Trim() {
  items_->BeginUpdate();
  while (items_->Count() > 0 && items_->Count() > limit_) items_->Delete(0);
  items_->EndUpdate();
}

void TMRUListEx::Add(const std::string& Text) {
  if (::Trim(Text).empty()) return;
  for (int i = 0; i < items_->Count(); ++i) {
    const std::string& item = items_->Strings(i);
    const bool equal = caseSensitive_ ? item == Text : AnsiCompareText(item, Text) == 0;
    if (equal) {
      items_->Move(i, items_->Count() - 1);
      return;
    }
  }
  items_->Add(Text);
  Trim();
}

bool TMRUListEx::Matches(const std::string& Item, const std::string& Text) const {
  const std::string head = Utf8Copy(Item, 1, Utf8Length(Text));
  return caseSensitive_ ? AnsiCompareStr(head, Text) == 0 : AnsiCompareText(head, Text) == 0;
}

bool TMRUListEx::FilterItemsTo(TStrings* Dest, const std::string& Text) {
  talvik_detail::UpdateScope<TStrings> update(Dest);
  Dest->Clear();
  for (int i = 0; i < items_->Count(); ++i) {
    if (interruptible_ && i % kInterruptCheckEvery == 0) {
      MSG msg;
      if (PeekMessage(msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE)) return false;
    }
    const std::string item = items_->Strings(i);
    bool accept = Matches(item, Text);
    InvokeEvent(OnFilterItem, this, item, accept);
    if (accept) Dest->Add(item);
  }
  return true;
}
