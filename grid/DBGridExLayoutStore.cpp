// The grid's column layout in a settings store: per column, under "<grid name>.<field name>", its
// index, width, sort marker, visibility, sort index, drop-down rows and drop-down width.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "grid/DBGridEx.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kLayoutDelimiters = " ,";

enum TLayoutWord {
  lwIndex = 1,
  lwWidth,
  lwSortMarker,
  lwVisible,
  lwSortIndex,
  lwDropDownRows,
  lwDropDownWidth
};

// The widest column (and drop-down list) a stored layout gives: wider than any screen a user drags a
// column on. A stored width beyond it, or below 0, is a value gone wrong and reads as none.
constexpr int kMaxStoredWidth = 10000;

bool IsDelimiter(char C, std::string_view Delimiters) {
  return Delimiters.find(C) != std::string_view::npos;
}

}  // namespace

// Words are runs of non-delimiter bytes. UTF-8 bytes of characters beyond ASCII never match an ASCII
// delimiter, so a character of several bytes is never split.
int WordPosition(int N, std::string_view S, std::string_view Delimiters) {
  int count = 0;
  size_t i = 0;
  while (i < S.size()) {
    while (i < S.size() && IsDelimiter(S[i], Delimiters)) ++i;
    if (i >= S.size()) break;
    if (++count == N) return static_cast<int>(i) + 1;
    while (i < S.size() && !IsDelimiter(S[i], Delimiters)) ++i;
  }
  return 0;
}

std::string ExtractWordPos(int N, std::string_view S, std::string_view Delimiters, int& Pos) {
  Pos = WordPosition(N, S, Delimiters);
  if (Pos == 0) return {};
  size_t end = static_cast<size_t>(Pos) - 1;
  while (end < S.size() && !IsDelimiter(S[end], Delimiters)) ++end;
  return std::string(S.substr(static_cast<size_t>(Pos) - 1, end - (static_cast<size_t>(Pos) - 1)));
}

std::string ExtractWord(int N, std::string_view S, std::string_view Delimiters) {
  int pos = 0;
  return ExtractWordPos(N, S, Delimiters, pos);
}

std::string TCustomDBGridEx::ColumnLayoutIdent(TColumnEx* Column) const {
  return Name() + "." + Column->FieldName();
}

void TCustomDBGridEx::SaveColumnsLayout(TCustomIniFile* Store) {
  SaveColumnsLayoutTo(Store, GetDefaultSection(this), true);
}

void TCustomDBGridEx::RestoreColumnsLayout(TCustomIniFile* Store, int Flags) {
  RestoreColumnsLayoutFrom(Store, GetDefaultSection(this), Flags);
}

void TCustomDBGridEx::SaveColumnsLayoutTo(TCustomIniFile* Store, const std::string& Section,
                                          bool EraseFirst) {
  // a registry store always starts the section afresh, and takes the whole layout in one save
  auto* const registry = dynamic_cast<TRegIniFile*>(Store);
  std::optional<TRegistryUpdate> update;
  if (registry) update.emplace(registry->RootKey());
  if (EraseFirst || registry) Store->EraseSection(Section);
  for (int i = 0; i < Columns()->Count(); ++i) {
    TColumnEx* c = Columns()->Items(i);
    char value[96];
    std::snprintf(value, sizeof value, "%d,%d,%d,%d,%d,%d,%d", c->Index(), c->Width(),
                  static_cast<int>(c->Title()->SortMarker()), c->Visible() ? 1 : 0, c->Title()->SortIndex(),
                  static_cast<int>(c->DropDownRows()), c->DropDownWidth());
    Store->WriteString(Section, ColumnLayoutIdent(c), value);
  }
  if (update) update->End();
}

void TCustomDBGridEx::RestoreColumnsLayoutFrom(TCustomIniFile* Store, const std::string& Section, int Flags) {
  struct Entry {
    TColumnEx* Column;
    int Target;
    TSortMarkerEx Marker;
    int SortIndex;
  };
  BeginUpdateLayout();
  const bool autoFit = AutoFitColWidths();
  if (autoFit) SetAutoFitColWidths(false);
  bool sortingChanged = false;
  {
    TScopeExit endUpdate([this] { EndUpdateLayout(); });
    std::vector<Entry> entries;
    for (int i = 0; i < Columns()->Count(); ++i) {
      TColumnEx* c = Columns()->Items(i);
      entries.push_back({c, i, c->Title()->SortMarker(), 0});
    }
    for (Entry& e : entries) {
      TColumnEx* c = e.Column;
      const std::string value = Store->ReadString(Section, ColumnLayoutIdent(c), "");
      if (value.empty()) continue;
      auto word = [&](TLayoutWord W, int Default) {
        return StrToIntDef(ExtractWord(W, value, kLayoutDelimiters), Default);
      };
      auto width = [&](TLayoutWord W, int Default) {
        const int stored = word(W, Default);
        return stored >= 0 && stored <= kMaxStoredWidth ? stored : Default;
      };
      e.Target = word(lwIndex, c->Index());
      if (Flags & crpColWidths) c->SetWidth(width(lwWidth, c->Width()));
      if (Flags & crpSortMarker) {
        const int marker = word(lwSortMarker, static_cast<int>(e.Marker));
        if (marker >= smNoneEx && marker <= smUpEx) e.Marker = static_cast<TSortMarkerEx>(marker);
        e.SortIndex = word(lwSortIndex, 0);
      }
      if (Flags & crpColVisible) c->SetVisible(word(lwVisible, c->Visible() ? 1 : 0) != 0);
      if (Flags & crpDropDownRows)
        c->SetDropDownRows(
            static_cast<unsigned>(std::max(word(lwDropDownRows, static_cast<int>(c->DropDownRows())), 0)));
      if (Flags & crpDropDownWidth) c->SetDropDownWidth(width(lwDropDownWidth, c->DropDownWidth()));
    }
    if (Flags & crpSortMarker) {
      // markers in the stored sort order, so that the sort indexes come out as stored
      std::vector<std::pair<TSortMarkerEx, int>> before;
      for (Entry& e : entries)
        before.emplace_back(e.Column->Title()->SortMarker(), e.Column->Title()->SortIndex());
      for (Entry& e : entries) e.Column->Title()->SetSortMarker(smNoneEx);
      std::vector<Entry*> marked;
      for (Entry& e : entries)
        if (e.Marker != smNoneEx) marked.push_back(&e);
      std::stable_sort(marked.begin(), marked.end(), [](const Entry* a, const Entry* b) {
        return (a->SortIndex == 0 ? INT32_MAX : a->SortIndex) <
               (b->SortIndex == 0 ? INT32_MAX : b->SortIndex);
      });
      for (Entry* e : marked) e->Column->Title()->SetSortMarker(e->Marker);
      for (size_t i = 0; i < entries.size(); ++i)
        if (before[i] !=
            std::make_pair(entries[i].Column->Title()->SortMarker(), entries[i].Column->Title()->SortIndex()))
          sortingChanged = true;
    }
    if (Flags & crpColIndex) {
      for (int t = 0; t < static_cast<int>(entries.size()); ++t)
        for (Entry& e : entries)
          if (e.Target == t) {
            e.Column->SetIndex(t);
            break;
          }
    }
  }
  if (autoFit)
    SetAutoFitColWidths(true);
  else
    LayoutChanged();
  if ((Flags & crpSortMarker) && sortingChanged) DoSortMarkingChanged();
}
