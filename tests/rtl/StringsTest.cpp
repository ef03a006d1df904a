#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "rtl/TempDir.h"

namespace {
std::vector<std::string> Lines(const TStrings& list) {
  std::vector<std::string> result;
  for (int i = 0; i < list.Count(); ++i) result.push_back(list.Strings(i));
  return result;
}
using V = std::vector<std::string>;
}  // namespace

TEST(StringListTest, SortedInsertFindAndCaseInsensitiveCyrillic) {
  TStringList list;
  list.SetSorted(true);
  for (const char* s : {"delta", "Alpha", "charlie", "Bravo", "Яблоко", "арбуз", "Ёж", "ель"}) list.Add(s);
  EXPECT_EQ(Lines(list), (V{"Alpha", "Bravo", "charlie", "delta", "арбуз", "ель", "Ёж", "Яблоко"}));
  int index = -1;
  EXPECT_TRUE(list.Find("CHARLIE", index));
  EXPECT_EQ(index, 2);
  EXPECT_TRUE(list.Find("ЯБЛОКО", index));
  EXPECT_EQ(index, 7);
  EXPECT_TRUE(list.Find("ёЖ", index));
  EXPECT_EQ(index, 6);
  EXPECT_TRUE(list.Find("АРБУЗ", index));
  EXPECT_FALSE(list.Find("bz", index));
  EXPECT_EQ(index, 2);  // the insertion point
  EXPECT_EQ(list.IndexOf("ALPHA"), 0);
  EXPECT_EQ(list.IndexOf("zulu"), -1);
  try {
    list.Insert(0, "x");
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "Operation not allowed on sorted list");
  }
  EXPECT_THROW(list.SetStrings(0, "x"), EListError);
  EXPECT_THROW(list.Move(0, 3), EStringListError);
  EXPECT_EQ(list.Count(), 8);  // the refused move lost nothing
  EXPECT_EQ(list.Strings(0), "Alpha");

  list.SetCaseSensitive(true);  // re-sorted in byte order at once
  EXPECT_EQ(list.Strings(0), "Alpha");
  EXPECT_EQ(list.Strings(2), "charlie");
  EXPECT_EQ(list.IndexOf("CHARLIE"), -1);
  EXPECT_NE(list.IndexOf("charlie"), -1);
}

TEST(StringListTest, DuplicatesModes) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("a"), 0);
  EXPECT_EQ(list.Add("B"), 1);  // dupIgnore: the existing index, nothing added
  EXPECT_EQ(list.Count(), 2);

  list.SetDuplicates(dupError);
  try {
    list.Add("A");
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "String list does not allow duplicates");
  }
  EXPECT_EQ(list.Count(), 2);

  list.SetDuplicates(dupAccept);
  list.AddObject("A", reinterpret_cast<TObject*>(&list));
  list.Add("a");
  EXPECT_EQ(list.Count(), 4);
  int index;
  EXPECT_TRUE(list.Find("a", index));
  EXPECT_EQ(index, 0);  // the first of the equal ones
  EXPECT_EQ(list.Strings(3), "b");

  TStringList unsorted;  // duplicates are not checked without sorting
  unsorted.SetDuplicates(dupError);
  unsorted.Add("x");
  unsorted.Add("x");
  EXPECT_EQ(unsorted.Count(), 2);
}

TEST(StringListTest, SortCustomSortAndSortedSwitch) {
  TStringList list;
  for (const char* s : {"b10", "B2", "a1", "c3"}) list.Add(s);
  list.CustomSort([](TStringList* l, int i, int j) {
    return std::stoi(l->Strings(i).substr(1)) - std::stoi(l->Strings(j).substr(1));
  });
  EXPECT_EQ(Lines(list), (V{"a1", "B2", "c3", "b10"}));
  list.Sort();
  EXPECT_EQ(Lines(list), (V{"a1", "b10", "B2", "c3"}));
  list.Exchange(0, 3);
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), (V{"a1", "b10", "B2", "c3"}));
  list.CustomSort([](TStringList*, int, int) { return 1; });  // inconsistent: harmless
  EXPECT_EQ(list.Count(), 4);
}

TEST(StringListTest, EditingObjectsAndBounds) {
  TStringList list;
  TStringList other;
  list.Add("one");
  list.AddObject("two", &other);
  list.Insert(0, "zero");
  list.InsertObject(3, "three", &list);
  EXPECT_EQ(Lines(list), (V{"zero", "one", "two", "three"}));
  EXPECT_EQ(list.Objects(2), &other);
  EXPECT_EQ(list.IndexOfObject(&list), 3);
  list.Move(3, 0);
  EXPECT_EQ(Lines(list), (V{"three", "zero", "one", "two"}));
  EXPECT_EQ(list.Objects(0), &list);
  list.Exchange(0, 3);
  EXPECT_EQ(list.Objects(3), &list);
  list.Delete(0);
  list.SetStrings(0, "null");
  EXPECT_EQ(Lines(list), (V{"null", "one", "three"}));
  try {
    list.Strings(3);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Insert(4, "x"), EListError);
  EXPECT_THROW(list.Objects(9), EListError);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Equals(&list));
  copy.SetStrings(1, "ONE");
  EXPECT_FALSE(copy.Equals(&list));  // Equals compares exactly
  copy.AddStrings(&list);
  EXPECT_EQ(copy.Count(), 6);
}

TEST(StringListTest, NamesAndValues) {
  TStringList list;
  list.SetText("Host=db1\r\nPort=1521\r\nplain\r\nEmpty=\r\n");
  EXPECT_EQ(list.Names(0), "Host");
  EXPECT_EQ(list.Names(2), "");
  EXPECT_EQ(list.Values("PORT"), "1521");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.IndexOfName("empty"), 3);
  EXPECT_EQ(list.ValueFromIndex(0), "db1");
  EXPECT_EQ(list.ValueFromIndex(2), "");  // no separator: no value
  list.SetValues("Port", "1522");
  EXPECT_EQ(list.Strings(1), "Port=1522");
  list.SetValues("User", "scott");
  EXPECT_EQ(list.Strings(4), "User=scott");
  list.SetValues("Host", "");  // an empty value removes the line
  EXPECT_EQ(list.IndexOfName("Host"), -1);
  list.SetNameValueSeparator(':');
  list.Add("a:b=c");
  EXPECT_EQ(list.Values("a"), "b=c");
  list.SetValueFromIndex(list.Count() - 1, "z");
  EXPECT_EQ(list.Strings(list.Count() - 1), "a:z");
}

TEST(StringListTest, TextSplitsEveryLineEnd) {
  TStringList list;
  list.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\nd\r\n");
  list.SetText("x\r\n\r\ny\r\n");
  EXPECT_EQ(Lines(list), (V{"x", "", "y"}));
  list.SetText("\n\r");  // LF then CR: two empty lines
  EXPECT_EQ(Lines(list), (V{"", ""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");
}

TEST(StringListTest, CommaTextQuotingBothWays) {
  TStringList list;
  for (const char* s : {"plain", "with space", "say \"hi\"", "a,b", "", "last"}) list.Add(s);
  EXPECT_EQ(list.CommaText(), "plain,\"with space\",\"say \"\"hi\"\"\",\"a,b\",,last");
  TStringList back;
  back.SetCommaText(list.CommaText());
  EXPECT_EQ(Lines(back), Lines(list));

  back.SetCommaText(" one two,three , \"four five\"  six,");
  EXPECT_EQ(Lines(back), (V{"one", "two", "three", "four five", "six", ""}));
  back.SetCommaText("\"unclosed, still");
  EXPECT_EQ(Lines(back), (V{"unclosed, still"}));
  back.SetCommaText("a,,b");
  EXPECT_EQ(Lines(back), (V{"a", "", "b"}));
  back.SetCommaText("");
  EXPECT_EQ(back.Count(), 0);

  TStringList single;
  single.Add("");
  EXPECT_EQ(single.CommaText(), "\"\"");
  single.SetCommaText("\"\"");
  EXPECT_EQ(Lines(single), (V{""}));
  single.SetCommaText("Привет мир,ok");
  EXPECT_EQ(Lines(single), (V{"Привет", "мир", "ok"}));
}

TEST(StringListTest, DelimitedTextUsesDelimiterAndQuoteChar) {
  TStringList list;
  list.SetDelimiter(';');
  list.SetQuoteChar('\'');
  list.Add("a b");
  list.Add("it's");
  list.Add("x;y");
  list.Add("c,d");
  EXPECT_EQ(list.DelimitedText(), "'a b';'it''s';'x;y';c,d");
  EXPECT_EQ(list.CommaText(), "\"a b\",it's,x;y,\"c,d\"");
  TStringList back;
  back.SetDelimiter(';');
  back.SetQuoteChar('\'');
  back.SetDelimitedText(list.DelimitedText());
  EXPECT_EQ(Lines(back), Lines(list));
  back.SetDelimitedText("SERIAL;SID;");
  EXPECT_EQ(Lines(back), (V{"SERIAL", "SID", ""}));
}

TEST(StringListTest, ChangeEventsAndUpdates) {
  TStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changing;
  };
  list.OnChange = [&](TObject*) { ++changed; };
  list.Add("a");
  EXPECT_EQ(changing, 1);
  EXPECT_EQ(changed, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add("b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changed, 2);
  list.SetText("x\ny\nz");  // one change for the whole text
  EXPECT_EQ(changed, 3);
  list.EndUpdate();  // unmatched: ignored
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(StringListTest, ManyItemsAcrossChunks) {
  TStringList list;
  list.SetSorted(true);
  for (int i = 2999; i >= 0; --i) list.Add("item" + std::to_string(100000 + i));
  ASSERT_EQ(list.Count(), 3000);
  for (int i = 0; i < 3000; i += 7) {
    int index;
    ASSERT_TRUE(list.Find("ITEM" + std::to_string(100000 + i), index));
    ASSERT_EQ(index, i);
  }
  for (int i = 0; i < 1500; ++i) list.Delete(list.Count() / 2);
  EXPECT_EQ(list.Count(), 1500);
  EXPECT_EQ(list.Strings(749), "item100749");
  EXPECT_EQ(list.Strings(750), "item102250");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  list.Add("again");
  EXPECT_EQ(list.Strings(0), "again");
}

TEST(StringListTest, SaveAndLoadThroughStreamsAndFiles) {
  TStringList list;
  list.SetText("первая\nsecond\n");
  TMemoryStream stream;
  list.SaveToStream(&stream);
  EXPECT_EQ(stream.Size(), static_cast<int64_t>(std::string("первая\r\nsecond\r\n").size()));
  stream.SetPosition(0);
  TStringList back;
  back.LoadFromStream(&stream);
  EXPECT_TRUE(back.Equals(&list));

  TempDir dir;
  const std::string path = dir.File("strings_test.txt");
  list.SaveToFile(path);
  TStringList fromFile;
  fromFile.LoadFromFile(path);
  EXPECT_TRUE(fromFile.Equals(&list));
  std::remove(path.c_str());
  EXPECT_THROW(fromFile.LoadFromFile(path), EFOpenError);
  EXPECT_TRUE(fromFile.Equals(&list));  // a failed load keeps the lines
}

TEST(StringListTest, ListOrderAgreesWithAnsiCompareText) {
  // The list compares the common alphabets in place; its order must be AnsiCompareText's.
  const char* pieces[] = {"a", "A", "z", "_", "0", "é", "É",    "ё",        "Ё", "е", "Е", "я", "Я", "ß",
                          "ı", "I", "ω", "Ω", "€", "😀", "\xD0", "\xC0\x80", "ÿ", "Ÿ", "ѣ", "Ѣ", " "};
  std::vector<std::string> samples;
  for (const char* x : pieces)
    for (const char* y : pieces) samples.push_back(std::string(x) + y);
  TStringList list;
  list.SetSorted(true);
  list.SetDuplicates(dupAccept);
  for (const auto& s : samples) list.Add(s);
  for (int i = 1; i < list.Count(); ++i)
    ASSERT_LE(AnsiCompareText(list.Strings(i - 1), list.Strings(i)), 0) << i;
  for (const auto& s : samples) {
    int index;
    ASSERT_TRUE(list.Find(s, index)) << s;
    EXPECT_EQ(AnsiCompareText(list.Strings(index), s), 0);
  }
  TStringList sensitive;
  sensitive.SetCaseSensitive(true);
  sensitive.SetSorted(true);
  for (const auto& s : samples) sensitive.Add(s);
  for (int i = 1; i < sensitive.Count(); ++i)
    ASSERT_LT(AnsiCompareStr(sensitive.Strings(i - 1), sensitive.Strings(i)), 0) << i;
}

TEST(StringListTest, UpdateCountSurvivesErrors) {
  TStringList source;
  source.Add("a");
  source.Add("A");
  TStringList target;
  target.SetSorted(true);
  target.SetDuplicates(dupError);
  int changed = 0;
  target.OnChange = [&](TObject*) { ++changed; };
  EXPECT_THROW(target.AddStrings(&source), EListError);
  EXPECT_EQ(target.UpdateCount(), 0);  // the update bracket closed on the error
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(target.Count(), 1);

  target.OnChange = [](TObject*) { throw EAbort(); };  // an error of the change event itself
  EXPECT_THROW(target.SetText("x\ny"), EAbort);
  EXPECT_EQ(target.UpdateCount(), 0);
}
