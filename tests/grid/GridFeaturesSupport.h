// A memory dataset with a statement: its "SQL" lines are reached by name as a SQL-text dataset's are,
// and it counts how often it was closed and opened. An open can be made to fail on a text.
#pragma once

#include <string>

#include "db/MemDataSet.h"
#include "platform/rtl/SysUtils.h"

namespace gridtest {

class TSqlMemDataSet : public TMemDataSet {
  TALVIK_CLASS(TSqlMemDataSet, TMemDataSet)

 public:
  using TMemDataSet::TMemDataSet;
  TStringList SQL;
  int Opens = 0, Closes = 0;
  // An open raises (as a server error would) while the statement holds this text.
  std::string FailOn;

  TPersistent* FindObjectProperty(std::string_view Name) override {
    return SameText(Name, "SQL") ? &SQL : nullptr;
  }
  void SetActive(bool Value) override {
    if (Value && !Active()) {
      ++Opens;
      if (!FailOn.empty() && SQL.Text().find(FailOn) != std::string::npos)
        throw Exception("ORA-00904: \"" + FailOn + "\": invalid identifier");
    } else if (!Value && Active()) {
      ++Closes;
    }
    TMemDataSet::SetActive(Value);
  }
};

// A dataset class below it, to find features registered for an ancestor.
class TSqlMemDataSetChild : public TSqlMemDataSet {
  TALVIK_CLASS(TSqlMemDataSetChild, TSqlMemDataSet)

 public:
  using TSqlMemDataSet::TSqlMemDataSet;
};

}  // namespace gridtest
