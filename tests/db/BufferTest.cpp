// The record-buffer ring as data links see it: windows of several records, scrolling inside and
// beyond them, resynchronisation and its fallback, bookmarks, DisableControls and block reading.
#include <gtest/gtest.h>

#include "db/TestData.h"

namespace {
// The IDs of the records in the link's window, by setting ActiveRecord as drawing does.
std::vector<int> WindowIds(TDataLink& link) {
  std::vector<int> ids;
  TDataSet* ds = link.DataSet();
  const int saved = link.ActiveRecord();
  for (int i = 0; i < link.RecordCount(); ++i) {
    link.SetActiveRecord(i);
    ids.push_back(ds->FieldByName("ID")->AsInteger());
  }
  link.SetActiveRecord(saved);
  return ids;
}
}  // namespace

class BufferRing : public ::testing::Test {
 protected:
  void SetUp() override {
    DefinePeople(&ds, 20);
    source.SetDataSet(&ds);
    link.SetDataSource(&source);
    link.SetBufferCount(5);
  }
  TMemDataSet ds;
  TDataSource source{nullptr};
  TRecordingLink link{nullptr};
};

TEST_F(BufferRing, WindowFollowsTheCursor) {
  ds.Open();
  EXPECT_EQ(ds.BufferCount(), 5);
  EXPECT_EQ(link.RecordCount(), 5);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(link.ActiveRecord(), 0);
  ds.MoveBy(3);
  EXPECT_EQ(link.ActiveRecord(), 3);
  EXPECT_EQ(link.lastDistance, 0) << "inside the window nothing scrolls";
  ds.MoveBy(2);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{2, 3, 4, 5, 6}));
  EXPECT_EQ(link.ActiveRecord(), 4);
  EXPECT_EQ(link.lastDistance, 1);
  ds.MoveBy(3);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{5, 6, 7, 8, 9}));
  EXPECT_EQ(link.lastDistance, 3);
  ds.MoveBy(-6);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{3, 4, 5, 6, 7}));
  EXPECT_EQ(link.ActiveRecord(), 0);
  EXPECT_EQ(link.lastDistance, -2);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 3) << "ActiveRecord restored after drawing";
  ds.Last();
  EXPECT_EQ(WindowIds(link), (std::vector<int>{16, 17, 18, 19, 20}));
  EXPECT_EQ(link.ActiveRecord(), 4);
}

TEST_F(BufferRing, SmallerLinkKeepsItsOwnWindow) {
  TRecordingLink small(nullptr);
  small.SetDataSource(&source);
  small.SetBufferCount(2);
  ds.Open();
  EXPECT_EQ(WindowIds(small), (std::vector<int>{1, 2}));
  ds.MoveBy(3);
  EXPECT_EQ(WindowIds(small), (std::vector<int>{3, 4}));
  EXPECT_EQ(small.ActiveRecord(), 1);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{1, 2, 3, 4, 5}));
  ds.MoveBy(-3);
  EXPECT_EQ(WindowIds(small), (std::vector<int>{1, 2}));
  EXPECT_EQ(small.ActiveRecord(), 0);
}

TEST_F(BufferRing, BufferCountChangesWhileOpen) {
  ds.Open();
  ds.MoveBy(10);
  link.SetBufferCount(3);
  EXPECT_EQ(ds.BufferCount(), 3);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 11);
  EXPECT_EQ(link.RecordCount(), 3);
  EXPECT_EQ(WindowIds(link).back(), 11) << "the active record stays in the window";
  link.SetBufferCount(8);
  EXPECT_EQ(link.RecordCount(), 8);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 11);
  const std::vector<int> ids = WindowIds(link);
  EXPECT_NE(std::find(ids.begin(), ids.end(), 11), ids.end());
  for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] + 1);
}

TEST_F(BufferRing, ResyncFallsBackToNeighbours) {
  ds.Open();
  ds.Last();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 19) << "no next record: the prior one";
  ds.First();
  ds.MoveBy(2);
  ds.Refresh();
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1) << "the cursor lost its record: the first";
  EXPECT_EQ(WindowIds(link), (std::vector<int>{1, 2, 3, 4, 5}));
  while (!ds.IsEmpty()) ds.Delete();
  EXPECT_EQ(link.RecordCount(), 0);
  EXPECT_TRUE(ds.Eof());
  EXPECT_THROW(ds.Delete(), EDatabaseError);
}

TEST_F(BufferRing, PostResyncKeepsTheRowOnScreen) {
  ds.Open();
  ds.MoveBy(7);
  const int row = link.ActiveRecord();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("edited");
  ds.Post();
  EXPECT_EQ(link.ActiveRecord(), row);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 8);
}

TEST_F(BufferRing, InsertInAFullWindow) {
  ds.Open();
  ds.MoveBy(2);
  ds.Insert();
  EXPECT_EQ(link.RecordCount(), 5);
  EXPECT_EQ(link.ActiveRecord(), 2);
  ds.FieldByName("ID")->SetAsInteger(99);
  ds.Post();
  EXPECT_EQ(WindowIds(link), (std::vector<int>{1, 2, 99, 3, 4}));
}

TEST_F(BufferRing, Bookmarks) {
  ds.Open();
  ds.MoveBy(12);
  const TBookmark b = ds.GetBookmark();
  ASSERT_EQ(b.size(), 4u);
  EXPECT_TRUE(ds.BookmarkValid(b));
  ds.First();
  ds.GotoBookmark(b);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 13);
  EXPECT_EQ(link.ActiveRecord(), 2) << "centred";
  ds.SetBookmark(ds.Bookmark());
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 13);
  ds.First();
  const TBookmark first = ds.GetBookmark();
  EXPECT_EQ(ds.CompareBookmarks(first, b), -1);
  EXPECT_EQ(ds.CompareBookmarks(b, first), 1);
  EXPECT_EQ(ds.CompareBookmarks(b, b), 0);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), b), 1) << "no bookmark sorts after";
  ds.GotoBookmark(b);
  ds.Delete();
  EXPECT_FALSE(ds.BookmarkValid(b));
  EXPECT_THROW(ds.GotoBookmark(b), EDatabaseError);
  ds.Insert();
  EXPECT_TRUE(ds.GetBookmark().empty()) << "an unposted record has none";
  ds.Cancel();
}

TEST_F(BufferRing, RecNoAndRecordCount) {
  ds.Open();
  EXPECT_EQ(ds.RecNo(), 1);
  ds.MoveBy(4);
  EXPECT_EQ(ds.RecNo(), 5);
  ds.SetRecNo(17);
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 17);
  EXPECT_EQ(ds.RecordCount(), 20);
  ds.Close();
  EXPECT_THROW(ds.RecordCount(), EDatabaseError);
}

TEST_F(BufferRing, DisableControlsSendsOneChange) {
  ds.Open();
  const int changed = link.changed, scrolled = link.scrolled;
  ds.DisableControls();
  ds.DisableControls();
  for (int i = 0; i < 8; ++i) ds.Next();
  ds.Last();
  ds.EnableControls();
  EXPECT_EQ(link.changed, changed);
  EXPECT_TRUE(ds.ControlsDisabled());
  ds.EnableControls();
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(link.changed, changed + 1);
  EXPECT_EQ(link.scrolled, scrolled);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{16, 17, 18, 19, 20}));
}

TEST_F(BufferRing, DisabledCloseAndOpenKeepLinksInStep) {
  ds.Open();
  ds.DisableControls();
  ds.Close();
  EXPECT_FALSE(link.Active()) << "a closed dataset must not be read";
  ds.Open();
  EXPECT_TRUE(link.Active());
  const int changed = link.changed;
  ds.EnableControls();
  EXPECT_EQ(link.changed, changed + 1);
  EXPECT_EQ(WindowIds(link), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(BufferRing, BlockReadSilencesTheLinks) {
  ds.Open();
  const int scrolled = link.scrolled;
  ds.SetBlockReadSize(10);
  EXPECT_EQ(ds.State(), dsBlockRead);
  while (!ds.Eof()) ds.Next();
  EXPECT_EQ(link.scrolled, scrolled);
  ds.SetBlockReadSize(0);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(WindowIds(link).back(), 20);
}

TEST_F(BufferRing, LinkReadOnlyAndEdit) {
  ds.Open();
  source.SetAutoEdit(false);
  EXPECT_FALSE(link.Edit());
  source.SetAutoEdit(true);
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds.State(), dsEdit);
  ds.Cancel();
  link.SetReadOnly(true);
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(BufferRing, DisabledSourceDeactivatesLinks) {
  ds.Open();
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(source.State(), dsInactive);
  source.SetEnabled(true);
  EXPECT_TRUE(link.Active());
}
