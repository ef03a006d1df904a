#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "editor/CodeEditTextBuffer.h"
#include "rtl/TempDir.h"

namespace {

std::string Save(TCodeEditStringList& list) {
  TStringStream s("");
  list.SaveToStream(&s);
  return s.DataString();
}

void Load(TCodeEditStringList& list, const std::string& bytes) {
  TStringStream s(bytes);
  list.LoadFromStream(&s);
}

struct LineEndCase {
  std::string bytes;
  bool appendNewLine;
  std::vector<std::string> lines;
  TCodeEditFileFormat format;
};

TEST(CodeEditStringListLoad, LineEndDetection) {
  const LineEndCase cases[] = {
      {"A\r\nB", true, {"A", "B"}, sffDos},
      {"A\nB", true, {"A", "B"}, sffUnix},
      {"A\rB", true, {"A", "B"}, sffMac},
      {"AB", true, {"AB"}, sffDos},
      {"A\r\nB\r\n", true, {"A", "B"}, sffDos},
      {"A\r\nB\r\n", false, {"A", "B", ""}, sffDos},
      {"A\n\rB", true, {"A", "", "B"}, sffDos},
      {"", true, {}, sffDos},
      {"\xD0\x9F\xD1\x80\xD0\xB8\n\xE2\x82\xAC", true, {"\xD0\x9F\xD1\x80\xD0\xB8", "\xE2\x82\xAC"}, sffUnix},
  };
  for (const auto& c : cases) {
    TCodeEditStringList list;
    list.SetAppendNewLineAtEOF(c.appendNewLine);
    Load(list, c.bytes);
    std::vector<std::string> got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list.Strings(i));
    EXPECT_EQ(got, c.lines) << c.bytes;
    EXPECT_EQ(list.FileFormat(), c.format) << c.bytes;
  }
}

TEST(CodeEditStringListLoad, CodePointsAndRoundTrip) {
  TCodeEditStringList list;
  Load(list, "\xD0\x9F\xD1\x80\xD0\xB8\tx\n");
  EXPECT_EQ(list.Line32(0).size(), 5u);
  EXPECT_EQ(Save(list), "\xD0\x9F\xD1\x80\xD0\xB8\tx\n");
}

// A stream whose reported size is larger than what it holds.
class TLyingStream : public TStream {
 public:
  explicit TLyingStream(std::string data) : data_(std::move(data)) {}
  int64_t Read(void* buffer, int64_t count) override {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - pos_);
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override {
    if (origin == soFromBeginning) pos_ = offset;
    if (origin == soFromEnd) return 1000000;  // claims a million bytes
    return pos_;
  }

 private:
  std::string data_;
  int64_t pos_ = 0;
};

TEST(CodeEditStringListLoad, StreamClaimingMoreThanItHoldsIsReadToItsRealEnd) {
  TCodeEditStringList list;
  TLyingStream s("one\ntwo");
  list.LoadFromStream(&s);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(1), "two");
}

TEST(CodeEditStringListSave, FormatsAndFinalLineEnd) {
  TCodeEditStringList list;
  list.Add("a");
  list.Add("b");
  list.SetFileFormat(sffUnix);
  list.SetAppendNewLineAtEOF(false);
  EXPECT_EQ(Save(list), "a\nb");
  list.SetAppendNewLineAtEOF(true);
  EXPECT_EQ(Save(list), "a\nb\n");
  list.SetFileFormat(sffDos);
  EXPECT_EQ(Save(list), "a\r\nb\r\n");
  list.SetFileFormat(sffMac);
  EXPECT_EQ(Save(list), "a\rb\r");
  EXPECT_EQ(list.Text(), "a\r\nb");
  TCodeEditStringList empty;
  empty.SetAppendNewLineAtEOF(false);
  EXPECT_EQ(Save(empty), "");
}

TEST(CodeEditStringListSave, FileRoundTrip) {
  TempDir dir;
  const std::string name = dir.File("codeedit_save.sql");
  TCodeEditStringList list;
  list.SetFileFormat(sffUnix);
  std::string big(20000, 'x');
  list.Add("select 1");
  list.Add(big);
  list.Add("\xD1\x8F");
  list.SaveToFile(name);
  TCodeEditStringList back;
  back.LoadFromFile(name);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Strings(1), big);
  EXPECT_EQ(back.Strings(2), "\xD1\x8F");
  EXPECT_EQ(back.FileFormat(), sffUnix);
}

TEST(CodeEditStringListTabs, ExpansionTable) {
  struct Row {
    int tabWidth;
    std::u32string line;
    std::u32string expanded;
  };
  const Row rows[] = {
      {4, U"\tx", U"\t\t\t\tx"},
      {1, U"\tx", U" x"},
      {8, U"ab\tc", U"ab\t\t\t\t\t\tc"},
      {3, U"a\tb\tc", U"a\t\tb\t\tc"},
      {3, U"abc\td", U"abc\t\t\td"},
      {4, U"no tabs", U"no tabs"},
      {4, U"", U""},
  };
  for (const auto& r : rows) {
    TCodeEditStringList list;
    list.SetTabWidth(r.tabWidth);
    list.AddU32(r.line);
    EXPECT_EQ(list.ExpandedStrings(0), r.expanded) << r.tabWidth;
    EXPECT_EQ(list.ExpandedStringLength(0), static_cast<int>(r.expanded.size()));
  }
}

TEST(CodeEditStringListTabs, TabWidthChangeAndLongestLine) {
  TCodeEditStringList list;
  list.Add("abc");
  list.Add("\tx");
  list.Add("abcdefg");
  EXPECT_EQ(list.LengthOfLongestLine(), 9);
  list.SetTabWidth(4);
  EXPECT_EQ(list.LengthOfLongestLine(), 7);
  list.Put(0, "0123456789");
  EXPECT_EQ(list.LengthOfLongestLine(), 10);
  list.Delete(0);
  EXPECT_EQ(list.LengthOfLongestLine(), 7);
  list.Exchange(0, 1);
  EXPECT_EQ(list.LengthOfLongestLine(), 7);
  TCodeEditStringList empty;
  EXPECT_EQ(empty.LengthOfLongestLine(), 0);
  EXPECT_EQ(list.ExpandedStringLength(99), 0);
}

TEST(CodeEditStringListEdits, EventsAndIndexRules) {
  TCodeEditStringList list;
  std::vector<std::string> log;
  list.OnInserted = [&](TObject*, int i, int n) {
    log.push_back("ins " + std::to_string(i) + "," + std::to_string(n));
  };
  list.OnDeleted = [&](TObject*, int i, int n) {
    log.push_back("del " + std::to_string(i) + "," + std::to_string(n));
  };
  list.OnPutted = [&](TObject*, int i, int n) {
    log.push_back("put " + std::to_string(i) + "," + std::to_string(n));
  };
  list.OnCleared = [&](TObject*) { log.push_back("clr"); };
  int changing = 0, changed = 0;
  list.OnChanging = [&](TObject*) { ++changing; };
  list.OnChange = [&](TObject*) { ++changed; };

  list.Put(0, "first");  // Put at the count appends, also on an empty list
  list.Add("b");
  list.Insert(1, "a");
  list.Put(2, "c");
  list.InsertLines(3, 2);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.Ranges(3), 0);
  EXPECT_EQ(list.Ranges(0), -1);
  EXPECT_EQ(list.Ranges(99), 0);
  EXPECT_THROW(list.Put(6, "x"), ECodeEditStringList);
  EXPECT_THROW(list.Insert(7, "x"), ECodeEditStringList);
  EXPECT_THROW(list.Delete(5), ECodeEditStringList);
  try {
    list.Delete(-1);
  } catch (const ECodeEditStringList& e) {
    EXPECT_EQ(e.Message(), "Invalid stringlist index -1");
  }
  EXPECT_EQ(list.Count(), 5);
  list.DeleteLines(1, 10);
  EXPECT_EQ(list.Count(), 1);
  list.Clear();
  EXPECT_EQ(log, (std::vector<std::string>{"ins 0,1", "ins 1,1", "ins 1,1", "put 2,1", "ins 3,2", "del 1,4",
                                           "clr"}));
  EXPECT_EQ(changing, 7);
  EXPECT_EQ(changed, 7);

  list.BeginUpdate();
  list.Add("x");
  list.Add("y");
  list.EndUpdate();
  EXPECT_EQ(changed, 8);
}

TEST(CodeEditStringListEdits, DeleteLinesFromTheSecondOfThree) {
  TCodeEditStringList list;
  list.SetText("a\nb\nc");
  list.DeleteLines(1, 10);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Strings(0), "a");
}

TEST(CodeEditStringListEdits, CapacityGrowthAndRefusal) {
  TCodeEditStringList list;
  list.Add("a");
  EXPECT_EQ(list.Capacity(), 16);
  for (int i = 0; i < 80; ++i) list.Add("x");
  EXPECT_EQ(list.Capacity(), 100);  // 16 steps to 80, then a quarter
  EXPECT_THROW(list.SetCapacity(3), EListError);
  TCodeEditStringList src;
  src.Add("p");
  src.Add("q");
  list.AddStrings(&src);
  EXPECT_EQ(list.Strings(82), "q");
  EXPECT_EQ(list.Ranges(82), -1);
}

TEST(CodeEditUndoList, NumbersBlocksAndTrimming) {
  TCodeEditUndoList u;
  int added = 0;
  u.OnAddedUndo = [&](TObject*) { ++added; };
  u.AddChange(0, {1, 1}, {2, 1}, "", smNormal);
  u.BeginBlock();
  u.AddChange(4, {1, 1}, {2, 1}, "x", smNormal);
  u.AddChange(0, {1, 1}, {3, 1}, "", smNormal);
  u.EndBlock();
  u.AddChange(0, {3, 1}, {4, 1}, "", smNormal);
  ASSERT_EQ(u.ItemCount(), 4);
  EXPECT_EQ(u.Items(0)->ChangeNumber, 1);
  EXPECT_EQ(u.Items(1)->ChangeNumber, 2);
  EXPECT_EQ(u.Items(2)->ChangeNumber, 2);
  EXPECT_EQ(u.Items(3)->ChangeNumber, 3);
  EXPECT_EQ(added, 5);  // four items and the closed block

  u.AddGroupBreak();
  u.AddGroupBreak();
  EXPECT_EQ(u.ItemCount(), 5);
  EXPECT_EQ(u.LastChangeReason(), ucGroupBreak);
  EXPECT_EQ(added, 5);
  u.Lock();
  u.AddChange(0, {1, 1}, {1, 1}, "", smNormal);
  u.Unlock();
  u.Unlock();
  EXPECT_EQ(u.LockCount(), 0);
  EXPECT_EQ(u.ItemCount(), 5);

  TCodeEditUndoList v;
  v.SetMaxUndoActions(2);
  for (int i = 0; i < 3; ++i) v.AddChange(0, {i + 1, 1}, {i + 2, 1}, "", smNormal);
  ASSERT_EQ(v.ItemCount(), 2);
  EXPECT_EQ(v.Items(0)->ChangeStartPos.Char, 2);
  EXPECT_TRUE(v.FullUndoImpossible());
  v.SetMaxUndoActions(-5);
  EXPECT_EQ(v.MaxUndoActions(), 0);
  EXPECT_EQ(v.ItemCount(), 0);
  v.Clear();
  EXPECT_FALSE(v.FullUndoImpossible());
}

TEST(CodeEditUndoList, TrimmingKeepsWholeChangesAndDropsOrphanEndMarkers) {
  TCodeEditUndoList u;
  u.SetMaxUndoActions(5);
  u.BeginBlock();
  u.AddChange(ucPasteBegin, {1, 1}, {1, 1}, "", smNormal);
  u.AddChange(1, {1, 1}, {5, 1}, "", smNormal);
  u.AddChange(ucPasteEnd, {1, 1}, {1, 1}, "", smNormal);
  u.EndBlock();
  u.AddChange(0, {5, 1}, {6, 1}, "", smNormal);
  u.AddChange(0, {6, 1}, {7, 1}, "", smNormal);
  u.AddChange(0, {7, 1}, {8, 1}, "", smNormal);  // six items: the paste's begin marker must go...
  // ...and with it the rest of the paste, so that no end marker is left without its begin.
  for (int i = 0; i < u.ItemCount(); ++i) EXPECT_NE(u.Items(i)->ChangeReason, ucPasteEnd);
  EXPECT_EQ(u.ItemCount(), 3);

  // Marker pairs recorded outside a block (different change numbers) are cut the same way.
  TCodeEditUndoList w;
  w.SetMaxUndoActions(3);
  w.AddChange(ucPasteBegin, {1, 1}, {1, 1}, "", smNormal);
  w.AddChange(1, {1, 1}, {5, 1}, "", smNormal);
  w.AddChange(ucPasteEnd, {1, 1}, {1, 1}, "", smNormal);
  w.AddChange(0, {5, 1}, {6, 1}, "", smNormal);
  ASSERT_EQ(w.ItemCount(), 1);
  EXPECT_EQ(w.Items(0)->ChangeReason, 0);
}

TEST(CodeEditUndoList, UnmodifiedMark) {
  TCodeEditUndoList u;
  EXPECT_TRUE(u.IsTopMarkedAsUnmodified());
  u.AddChange(0, {1, 1}, {2, 1}, "", smNormal);
  EXPECT_FALSE(u.IsTopMarkedAsUnmodified());
  u.MarkTopAsUnmodified(true);
  EXPECT_TRUE(u.IsTopMarkedAsUnmodified());
  u.AddChange(0, {2, 1}, {3, 1}, "", smNormal);
  EXPECT_FALSE(u.IsTopMarkedAsUnmodified());
  auto item = u.PopItem();
  EXPECT_TRUE(u.IsTopMarkedAsUnmodified());
  u.MarkTopAsUnmodified(false);
  EXPECT_FALSE(u.IsTopMarkedAsUnmodified());
  TCodeEditUndoList copy;
  copy.Assign(&u);
  EXPECT_EQ(copy.ItemCount(), 1);
  EXPECT_EQ(copy.NextChangeNumber(), u.NextChangeNumber());
  EXPECT_NE(copy.PeekItem(), u.PeekItem());
}

TEST(CodeEditMiscProcs, ColumnArithmetic) {
  EXPECT_EQ(MinMax(5, 1, 3), 3);
  EXPECT_EQ(MinMax(-1, 1, 3), 1);
  EXPECT_EQ(MinMax(5, 4, 2), 4);
  EXPECT_EQ(MinPoint({3, 2}, {1, 3}), (TBufferCoord{3, 2}));
  EXPECT_EQ(MinPoint({3, 2}, {1, 2}), (TBufferCoord{1, 2}));
  EXPECT_EQ(GetExpandedLength(U"a\tb", 4), 5);
  EXPECT_EQ(CharIndexToCaretPos(1, 4, U"a\tb"), 1);
  EXPECT_EQ(CharIndexToCaretPos(2, 4, U"a\tb"), 2);
  EXPECT_EQ(CharIndexToCaretPos(3, 4, U"a\tb"), 5);
  EXPECT_EQ(CharIndexToCaretPos(6, 4, U"a\tb"), 8);
  EXPECT_EQ(CharIndexToCaretPos(3, 1, U"a\tb"), 3);
  EXPECT_EQ(ScanToLineEnd(U"ab\ncd"), 2u);
  TCodeCharSet digits = TCodeCharSet::Range(U'0', U'9');
  EXPECT_EQ(ScanForCharInSet(U"ab1c2", 1, digits), 3);
  EXPECT_EQ(ScanForCharInSet(U"ab1c2", 4, digits), 5);
  EXPECT_EQ(ScanForCharInSet(U"ab1c2", 9, digits), 0);
  EXPECT_EQ(ScanBackForCharInSet(U"ab1c2", 4, digits), 3);
  EXPECT_EQ(ScanBackForCharInSet(U"abc", 3, digits), 0);
  EXPECT_EQ(CharClassFromType3(C3_SYMBOL), 9);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'a')), 1);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'ж')), 1);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'あ')), 7);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'漢')), 8);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'カ')), 6);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'«')), 2);
  EXPECT_EQ(CharClassFromType3(GetCharType3(U'、')), 5);
  EXPECT_EQ(Utf8ToUtf32("\xFF"
                        "a\xE2\x82"),
            (std::u32string{0xFFFD, U'a', 0xFFFD, 0xFFFD}));
}

// The text an undo item keeps: lines joined by CR LF, a CR, LF or NUL inside a line preceded by a
// NUL, everything else as UTF-8; split again it gives the same lines.
TEST(CodeEditMiscProcs, UndoTextKeepsLineEndsInsideLinesApart) {
  using namespace std::string_literals;
  const struct {
    std::vector<std::u32string> lines;
    std::string text;
  } cases[] = {
      {{U""}, ""s},
      {{U"select 1", U"", U"from dual"}, "select 1\r\n\r\nfrom dual"s},
      {{U"a\rb\nc\r\nd"}, "a\0\rb\0\nc\0\r\0\nd"s},
      {{U"nul\0inside"s, U"\0"s}, "nul\0\0inside\r\n\0\0"s},
      {{U"Привет 😀\t", U"x\r"}, "Привет 😀\t\r\nx\0\r"s},
      {{U"", U""}, "\r\n"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JoinUndoLines(c.lines), c.text);
    EXPECT_EQ(SplitUndoLines(c.text), c.lines);
  }
  // a text not made by the join: bare CR and LF end lines, a NUL at the very end stays, and
  // malformed UTF-8 reads as replacement characters
  EXPECT_EQ(SplitUndoLines("a\rb\nc\0"s), (std::vector<std::u32string>{U"a", U"b", U"c\0"s}));
  EXPECT_EQ(SplitUndoLines("\xFF\0\xC3\n"s), (std::vector<std::u32string>{U"\uFFFD\uFFFD", U""}));
}

}  // namespace
