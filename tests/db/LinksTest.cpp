// Data sources and field data links: state and data notifications, editing through a control's
// link, writing back on post, focus requests and the data source's own events.
#include <gtest/gtest.h>

#include "db/TestData.h"

class FieldLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    DefinePeople(&ds, 3);
    source.SetDataSet(&ds);
    link.SetControl(&control);
    link.SetDataSource(&source);
    link.SetFieldName("NAME");
    link.OnDataChange = [this](TObject*) {
      log.Add("data");
      text = link.Field() ? link.Field()->DisplayText() : std::string();
    };
    link.OnEditingChange = [this](TObject*) { log.Add(link.Editing() ? "editing" : "browsing"); };
    link.OnActiveChange = [this](TObject*) { log.Add(link.Active() ? "active" : "inactive"); };
    link.OnUpdateData = [this](TObject*) {
      log.Add("update");
      link.Field()->SetText(typed);
    };
  }
  TMemDataSet ds;
  TDataSource source{nullptr};
  TComponent control{nullptr};
  TFieldDataLink link;
  TEventLog log;
  std::string text, typed;
};

TEST_F(FieldLinks, FollowsTheDataset) {
  EXPECT_EQ(link.Field(), nullptr);
  ds.Open();
  EXPECT_EQ(log.items, (std::vector<std::string>{"data", "active"}));
  EXPECT_EQ(link.Field(), ds.FieldByName("NAME"));
  EXPECT_EQ(text, "Name1");
  log.Clear();
  ds.Next();
  EXPECT_EQ(log.items, (std::vector<std::string>{"data"}));
  EXPECT_EQ(text, "Name2");
  ds.Close();
  EXPECT_EQ(link.Field(), nullptr);
  EXPECT_EQ(text, "");
}

TEST_F(FieldLinks, EditingThroughTheControl) {
  ds.Open();
  log.Clear();
  EXPECT_TRUE(link.CanModify());
  EXPECT_TRUE(link.Edit());
  EXPECT_EQ(ds.State(), dsEdit);
  EXPECT_EQ(log.items, (std::vector<std::string>{"editing", "data"}));
  typed = "Typed";
  link.Modified();
  EXPECT_TRUE(link.IsModified());
  log.Clear();
  ds.Post();
  EXPECT_EQ(log.items[0], "update") << "the control writes its text before the post";
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Typed");
  EXPECT_FALSE(link.IsModified());
  EXPECT_FALSE(link.Editing());
}

TEST_F(FieldLinks, OwnWritesDoNotEchoAndOtherFieldsAreIgnored) {
  ds.Open();
  link.Edit();
  log.Clear();
  // the control writes its text through the link: the field changes, the control hears no echo of it
  // (an echo would show the field's text again, and drop what the user typed in a half-typed edit)
  typed = "Mine";
  link.Modified();
  link.UpdateRecord();
  EXPECT_EQ(log.items, (std::vector<std::string>{"update"}));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Mine");
  EXPECT_EQ(text, "Name1");
  EXPECT_FALSE(link.IsModified());
  // nothing typed since: nothing is written again
  link.UpdateRecord();
  EXPECT_EQ(log.items.size(), 1u);
  log.Clear();
  ds.FieldByName("PRICE")->SetAsFloat(1);
  EXPECT_TRUE(log.items.empty()) << "another field changed";
  ds.FieldByName("NAME")->SetAsString("Other");
  EXPECT_EQ(log.items, (std::vector<std::string>{"data"}));
  EXPECT_EQ(text, "Other");
  link.Modified();
  link.Reset();
  EXPECT_FALSE(link.IsModified());
  ds.Cancel();
}

TEST_F(FieldLinks, ReadOnlyFieldCannotBeEdited) {
  ds.Open();
  ds.FieldByName("NAME")->SetReadOnly(true);
  EXPECT_FALSE(link.CanModify());
  EXPECT_FALSE(link.Edit());
  EXPECT_EQ(ds.State(), dsBrowse);
  ds.Edit();
  EXPECT_FALSE(link.Editing()) << "the dataset edits, this control does not";
  EXPECT_EQ(ds.FieldByName("NAME")->CanModify(), false);
  EXPECT_THROW(ds.FieldByName("NAME")->SetAsString("x"), EDatabaseError);
  ds.Cancel();
}

TEST_F(FieldLinks, UnknownFieldName) {
  link.SetFieldName("NOPE");
  EXPECT_THROW(ds.Open(), EDatabaseError);
}

TEST_F(FieldLinks, RequiredFieldFocusesItsControl) {
  std::vector<TComponent*> focused;
  TFieldDataLink::FocusControlHandler = [&](TComponent* c) {
    focused.push_back(c);
    return true;
  };
  link.SetFieldName("ID");
  ds.Open();
  ds.Append();
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(focused, (std::vector<TComponent*>{&control}));
  TFieldDataLink::FocusControlHandler = nullptr;
  ds.Cancel();
}

TEST(DataSource, EventsAndStates) {
  TMemDataSet ds;
  DefinePeople(&ds, 2);
  TDataSource source(nullptr);
  std::vector<std::string> events;
  source.OnStateChange = [&](TObject*) {
    events.push_back("state " + IntToStr(static_cast<int>(source.State())));
  };
  source.OnDataChange = [&](TObject*, TField* f) { events.push_back(f ? "data " + f->FieldName() : "data"); };
  source.OnUpdateData = [&](TObject*) { events.push_back("update"); };
  source.SetDataSet(&ds);
  ds.Open();
  ds.Next();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("z");
  ds.Post();
  EXPECT_EQ(events, (std::vector<std::string>{"state 1", "data", "data", "state 2", "data", "data NAME",
                                              "update", "state 1", "data"}));
  {
    TMemDataSet other;
    DefinePeople(&other, 1);
    source.SetDataSet(&other);
    other.Open();
    EXPECT_EQ(source.State(), dsBrowse);
  }
  EXPECT_EQ(source.DataSet(), nullptr) << "a freed dataset leaves its sources";
  EXPECT_EQ(source.State(), dsInactive);
}

TEST(DataSource, LinkOutlivesItsSourceAndDataset) {
  auto link = std::make_unique<TRecordingLink>(nullptr);
  {
    TMemDataSet ds;
    DefinePeople(&ds, 2);
    TDataSource source(nullptr);
    source.SetDataSet(&ds);
    link->SetDataSource(&source);
    link->SetBufferCount(4);
    ds.Open();
    EXPECT_TRUE(link->Active());
    EXPECT_EQ(link->RecordCount(), 2);
  }
  EXPECT_FALSE(link->Active());
  EXPECT_EQ(link->DataSource(), nullptr);
}
