#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/CodeEditHighlighter.h"
#include "editor/CodeHighlighterHashEntries.h"
#include "editor/CodeHighlighterSQL.h"

namespace {

std::vector<std::string> Chain(const TCodeHashEntryList& list, int hash) {
  std::vector<std::string> r;
  for (const TCodeHashEntry* e = list.Get(hash); e; e = e->Next()) r.push_back(e->Keyword());
  return r;
}

TEST(CodeHashEntries, ChainsOrderedByLengthThenAddingOrder) {
  TCodeHashEntryList list;
  list.Put(3, std::make_unique<TCodeHashEntry>("fiveA", 1));
  list.Put(3, std::make_unique<TCodeHashEntry>("thr", 1));
  list.Put(3, std::make_unique<TCodeHashEntry>("fiveB", 1));
  list.Put(3, std::make_unique<TCodeHashEntry>("four", 1));
  EXPECT_EQ(Chain(list, 3), (std::vector<std::string>{"thr", "four", "fiveA", "fiveB"}));
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Get(0), nullptr);
  EXPECT_EQ(list.Get(-1), nullptr);
  EXPECT_EQ(list.Get(99), nullptr);
  try {
    list.Put(3, std::make_unique<TCodeHashEntry>("FOUR", 2));
    FAIL() << "duplicate accepted";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Keyword \"four\" already in list");
  }
  EXPECT_EQ(Chain(list, 3), (std::vector<std::string>{"thr", "four", "fiveA", "fiveB"}));
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(CodeHashEntries, EnumerateKeywords) {
  TCodeCharSet letters = TCodeCharSet::Range(U'a', U'z');
  std::vector<std::u32string> words;
  auto add = [&](const std::u32string& w, int kind) {
    words.push_back(w);
    EXPECT_EQ(kind, 7);
  };
  EnumerateKeywords(7, ",,abc, de ,f", letters, add);
  EXPECT_EQ(words, (std::vector<std::u32string>{U"abc", U"de", U"f"}));
  words.clear();
  EnumerateKeywords(7, "", letters, add);
  EnumerateKeywords(7, "abc", letters, nullptr);
  EXPECT_TRUE(words.empty());
}

TEST(CodeMethodChain, AddRemoveFireAndExceptions) {
  TCodeNotifyEventChain chain(nullptr);
  std::vector<int> calls;
  int a = 0, b = 0;
  chain.Add(TCodeMethod{[&](TObject*) { calls.push_back(1); }, &a, 0});
  chain.Add(TCodeMethod{[&](TObject*) { calls.push_back(2); }, &b, 0});
  chain.Add(TCodeMethod{[&](TObject*) { calls.push_back(1); }, &a, 0});
  chain.Fire();
  EXPECT_EQ(calls, (std::vector<int>{1, 2, 1}));
  chain.Remove(TCodeMethod{[](TObject*) {}, &a, 0});
  EXPECT_EQ(chain.Count(), 1);
  try {
    chain.Add(TCodeMethod{});
    FAIL();
  } catch (const ECodeMethodChain& e) {
    EXPECT_EQ(e.Message(), "TCodeNotifyEventChain.Entry : the parameter `AEvent' must be specified.");
  }
  EXPECT_THROW(chain.Remove(TCodeMethod{}), ECodeMethodChain);

  chain.Add(TCodeMethod{[](TObject*) { throw Exception("boom"); }, &a, 1});
  chain.Add(TCodeMethod{[&](TObject*) { calls.push_back(3); }, &a, 2});
  calls.clear();
  EXPECT_THROW(chain.Fire(), Exception);
  EXPECT_EQ(calls, (std::vector<int>{2}));
  calls.clear();
  chain.OnException = [](TObject*, const std::exception&, bool& cont) { cont = true; };
  chain.Fire();
  EXPECT_EQ(calls, (std::vector<int>{2, 3}));
  calls.clear();
  chain.OnException = [](TObject*, const std::exception&, bool& cont) { cont = false; };
  chain.Fire();
  EXPECT_EQ(calls, (std::vector<int>{2}));
}

TEST(CodeHighlighterAttributes, StoredOnlyWhenChangedAfterConstruction) {
  TCodeSQLHighlighter hl;
  EXPECT_FALSE(hl.StringAttri()->IsForegroundStored());
  EXPECT_FALSE(hl.KeyAttri()->IsStyleStored());
  hl.StringAttri()->SetForeground(clGreen);
  EXPECT_TRUE(hl.StringAttri()->IsForegroundStored());
  EXPECT_FALSE(hl.StringAttri()->IsBackgroundStored());
  int changes = 0;
  TCodeHighlighterAttributes a("A");
  a.OnChange = [&](TObject*) { ++changes; };
  a.Assign(hl.StringAttri());
  EXPECT_EQ(a.Name(), "String");
  EXPECT_EQ(changes, 1);
  a.Assign(hl.StringAttri());
  EXPECT_EQ(changes, 1);
  a.SetStyle({fsBold, fsUnderline});
  EXPECT_EQ(a.Style().Bits(), 5u);
}

TEST(CodeCustomHighlighter, BaseBehaviour) {
  TCodeSQLHighlighter hl;
  EXPECT_EQ(hl.TCodeCustomHighlighter::GetIdentChars(), TCodeCharSet::Range(33, 255));
  EXPECT_TRUE(hl.WordBreakChars().Contains(U'!'));
  EXPECT_TRUE(hl.WordBreakChars().Contains(U'}'));
  EXPECT_FALSE(hl.WordBreakChars().Contains(U'_'));
  EXPECT_EQ(hl.GetCapabilities(), 2);
  EXPECT_EQ(hl.TCodeCustomHighlighter::GetLanguageName(), "<Unknown>");
  int fired = 0;
  hl.AddAttrChangeHook(TCodeMethod{[&](TObject* s) { fired += s == &hl ? 1 : 100; }, &fired, 0});
  hl.SetEnabled(false);
  EXPECT_EQ(fired, 1);
  hl.SetEnabled(false);
  EXPECT_EQ(fired, 1);
  hl.BeginLoading();
  hl.KeyAttri()->SetForeground(clRed);
  EXPECT_EQ(fired, 1);
  hl.Loaded();
  EXPECT_EQ(fired, 2);
  hl.RemoveAttrChangeHook(TCodeMethod{[](TObject*) {}, &fired, 0});
  hl.SetEnabled(true);
  EXPECT_EQ(fired, 2);
  bool found = false;
  for (const auto& c : GetPlaceableHighlighters()) found |= c.ClassName == "TCodeSQLHighlighter";
  EXPECT_TRUE(found);
}

}  // namespace
