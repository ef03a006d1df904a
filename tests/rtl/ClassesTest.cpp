#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

namespace {

class TRemoteDataModule : public TComponent {
  TALVIK_CLASS(TRemoteDataModule, TComponent)
  using TComponent::TComponent;
};

class TMyRemoteDataModule : public TRemoteDataModule {
  TALVIK_CLASS(TMyRemoteDataModule, TRemoteDataModule)
  using TRemoteDataModule::TRemoteDataModule;
};

// Records the notifications it receives; may hold a reference to a peer that it must forget.
class TWatcher : public TComponent {
  TALVIK_CLASS(TWatcher, TComponent)
  TWatcher(TComponent* AOwner, std::vector<std::string>* Log) : TComponent(AOwner), log_(Log) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == opRemove && AComponent == Peer) Peer = nullptr;
    if (log_ && AComponent != this)
      log_->push_back(Name() + (Operation == opRemove ? " -" : " +") + AComponent->Name());
    TComponent::Notification(AComponent, Operation);
  }
  ~TWatcher() override {
    if (log_) log_->push_back("free " + Name());
  }
  TComponent* Peer = nullptr;

 private:
  std::vector<std::string>* log_;
};

}  // namespace

TEST(ObjectTest, ClassNamesAndInheritance) {
  TMyRemoteDataModule module(nullptr);
  EXPECT_EQ(module.ClassName(), "TMyRemoteDataModule");
  EXPECT_EQ(module.ClassParentName(), "TRemoteDataModule");
  EXPECT_TRUE(module.InheritsFrom(TComponent::StaticClass()));
  EXPECT_TRUE(module.InheritsFrom("tpersistent"));
  EXPECT_FALSE(module.InheritsFrom(TStrings::StaticClass()));
  EXPECT_TRUE(module.ClassNameIs("TMYREMOTEDATAMODULE"));
  TComponent plain(nullptr);
  EXPECT_EQ(plain.ClassParentName(), "TPersistent");
  TObject object;
  EXPECT_EQ(object.ClassParentName(), "");
}

TEST(ObjectTest, SetsOfEnumerationValues) {
  TComponentState s{csLoading, csReading};
  EXPECT_TRUE(s.Contains(csReading));
  EXPECT_EQ(s.Count(), 2);
  s += TComponentState{csDesigning};
  s -= TComponentState{csLoading};
  EXPECT_EQ(s, (TComponentState{csReading, csDesigning}));
  EXPECT_EQ(s + csFixups - csReading, (TComponentState{csDesigning, csFixups}));
  EXPECT_EQ((s * TComponentState{csDesigning, csInline}), TComponentState{csDesigning});
  EXPECT_TRUE(TComponentState{csReading}.SubsetOf(s));
  EXPECT_FALSE(s.SubsetOf(TComponentState{csReading}));
  EXPECT_TRUE(TComponentState().Empty());
}

TEST(ObjectTest, AssignFallbackRaisesConvertError) {
  TComponent a(nullptr);
  TStringList b;
  try {
    a.Assign(&b);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TStringList to a TComponent");
  }
  try {
    b.Assign(nullptr);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a nil to a TStringList");
  }
}

TEST(ComponentTest, OwnerListAndNames) {
  TComponent owner(nullptr);
  auto* a = new TComponent(&owner);
  auto* b = new TComponent(&owner);
  a->SetName("Alpha");
  EXPECT_THROW(b->SetName("Бета"), EComponentError);
  b->SetName("Beta");
  EXPECT_EQ(owner.ComponentCount(), 2);
  EXPECT_EQ(owner.Components(1), b);
  EXPECT_EQ(b->ComponentIndex(), 1);
  EXPECT_EQ(owner.FindComponent("ALPHA"), a);
  EXPECT_EQ(owner.FindComponent("gamma"), nullptr);
  EXPECT_THROW(b->SetName("alpha"), EComponentError);
  EXPECT_THROW(b->SetName("1abc"), EComponentError);
  EXPECT_THROW(b->SetName("a b"), EComponentError);
  EXPECT_EQ(b->Name(), "Beta");
  b->SetName("BETA");  // same name in another case is not a clash with itself
  EXPECT_EQ(b->Name(), "BETA");
  b->SetComponentIndex(0);
  EXPECT_EQ(owner.Components(0), b);
  EXPECT_THROW(owner.Components(2), EListError);

  delete a;  // freed directly: leaves the owner's list
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(owner.FindComponent("Alpha"), nullptr);

  EXPECT_THROW(b->InsertComponent(&owner), EComponentError);  // no ownership cycles
  EXPECT_THROW(b->InsertComponent(b), EComponentError);
  TComponent other(nullptr);
  auto* clash = new TComponent(&other);
  clash->SetName("beta");
  EXPECT_THROW(other.InsertComponent(b), EComponentError);  // a name taken in the new owner
  EXPECT_EQ(b->Owner(), &owner);
  clash->SetName("");
  other.InsertComponent(b);  // moves from one owner to the other
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(b->Owner(), &other);
  EXPECT_EQ(other.ComponentCount(), 2);
}

TEST(ComponentTest, DestroyingFreesOwnedComponentsLastFirst) {
  std::vector<std::string> log;
  {
    TWatcher owner(nullptr, nullptr);
    auto* first = new TWatcher(&owner, &log);
    first->SetName("First");
    auto* second = new TWatcher(&owner, &log);
    second->SetName("Second");
    auto* nested = new TWatcher(second, &log);
    nested->SetName("Nested");
    log.clear();
  }
  // Owned components go last first; the nested one with its owner.
  EXPECT_EQ(log, (std::vector<std::string>{"free Second", "free Nested", "free First"}));
}

TEST(ComponentTest, FreeNotificationTellsPeersAndForgetsThem) {
  std::vector<std::string> log;
  auto* form1 = new TComponent(nullptr);
  auto* form2 = new TComponent(nullptr);
  auto* session = new TWatcher(form1, &log);
  session->SetName("Session");
  auto* dataset = new TWatcher(form2, &log);
  dataset->SetName("DataSet");
  dataset->Peer = session;
  session->FreeNotification(dataset);
  EXPECT_TRUE(session->ComponentState().Contains(csFreeNotification));
  log.clear();
  delete form1;  // frees the session: the dataset in the other form hears of it
  EXPECT_EQ(dataset->Peer, nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"free Session", "DataSet -Session"}));
  log.clear();
  delete form2;
  EXPECT_EQ(log, (std::vector<std::string>{"free DataSet"}));
}

TEST(ComponentTest, SiblingsHearOfEachOtherWhileTheOwnerIsDestroyed) {
  std::vector<std::string> log;
  {
    TComponent form(nullptr);
    auto* dataset = new TWatcher(&form, &log);
    dataset->SetName("DataSet");
    auto* query = new TWatcher(&form, &log);
    query->SetName("Query");
    dataset->Peer = query;
    query->FreeNotification(dataset);
    log.clear();
  }
  // The query goes first and the dataset, still alive, forgets it.
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "DataSet -Query");
}

TEST(ComponentTest, RemoveFreeNotificationAndDirectFree) {
  std::vector<std::string> log;
  TWatcher a(nullptr, &log);
  a.SetName("A");
  {
    TWatcher b(nullptr, &log);
    b.SetName("B");
    a.FreeNotification(&b);
    a.RemoveFreeNotification(&b);
    log.clear();
  }
  EXPECT_EQ(log, (std::vector<std::string>{"free B"}));  // A was not told
  auto* c = new TWatcher(nullptr, &log);
  c->SetName("C");
  c->FreeNotification(&a);
  log.clear();
  delete c;
  // The derived destructor has run by the time the base tells the peers.
  EXPECT_EQ(log, (std::vector<std::string>{"free C", "A -C"}));
}

TEST(ComponentTest, InsertAndRemoveNotifyTheOwnedComponents) {
  std::vector<std::string> log;
  TWatcher form(nullptr, &log);
  form.SetName("Form");
  auto* a = new TWatcher(&form, &log);
  a->SetName("A");
  log.clear();
  auto* b = new TComponent(nullptr);
  b->SetName("B");
  form.InsertComponent(b);
  EXPECT_EQ(log, (std::vector<std::string>{"Form +B", "A +B"}));
  log.clear();
  delete b;
  EXPECT_EQ(log, (std::vector<std::string>{"Form -B", "A -B"}));
}

namespace {
class TLoadingProbe : public TComponent {
  TALVIK_CLASS(TLoadingProbe, TComponent)
  TLoadingProbe(TComponent* AOwner, std::vector<std::string>* Log) : TComponent(AOwner), log_(Log) {}
  void Loaded() override {
    TComponent::Loaded();
    log_->push_back(Name());
    if (Victim) {
      delete Victim;
      Victim = nullptr;
    }
  }
  TComponent* Victim = nullptr;

 private:
  std::vector<std::string>* log_;
};
}  // namespace

TEST(ComponentTest, CodeBuiltFormsLoadInABracket) {
  std::vector<std::string> log;
  TLoadingProbe form(nullptr, &log);
  form.SetName("Form");
  auto* early = new TLoadingProbe(&form, &log);
  early->SetName("Early");
  form.BeginLoading();
  EXPECT_TRUE(early->ComponentState().Contains(csLoading));
  auto* late = new TLoadingProbe(&form, &log);  // created inside the bracket: loading too
  late->SetName("Late");
  auto* nested = new TLoadingProbe(late, &log);
  nested->SetName("Nested");
  EXPECT_TRUE(nested->ComponentState().Contains(csLoading));
  auto* doomed = new TLoadingProbe(&form, &log);
  doomed->SetName("Doomed");
  early->Victim = doomed;  // freed by Early's Loaded before its own turn
  form.EndLoading();
  EXPECT_EQ(log, (std::vector<std::string>{"Form", "Early", "Late", "Nested"}));
  EXPECT_FALSE(nested->ComponentState().Contains(csLoading));
  EXPECT_FALSE(form.ComponentState().Contains(csReading));
  auto* after = new TComponent(&form);
  EXPECT_FALSE(after->ComponentState().Contains(csLoading));
  EXPECT_FALSE(form.HasParent());
  EXPECT_FALSE(form.HasParentComponent());
}

TEST(ComponentTest, StatesLoadingAndDesigning) {
  TComponent owner(nullptr);
  auto* child = new TComponent(&owner);
  owner.SetDesigning(true);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  auto* late = new TComponent(&owner);
  EXPECT_TRUE(late->ComponentState().Contains(csDesigning));
  owner.BeginLoading();
  EXPECT_TRUE(owner.ComponentState().Contains(csLoading));
  owner.Loaded();
  EXPECT_FALSE(owner.ComponentState().Contains(csLoading));
  EXPECT_FALSE(owner.ComponentState().Contains(csReading));
  owner.SetTag(42);
  EXPECT_EQ(owner.Tag(), 42);
}

// ---------------------------------------------------------------------------------------------------
namespace {
class TCountingList : public TList {
 public:
  std::vector<std::pair<void*, TListNotification>> Seen;

 protected:
  void Notify(void* Ptr, TListNotification Action) override { Seen.emplace_back(Ptr, Action); }
};
}  // namespace

TEST(ListTest, EditingAndBounds) {
  int v[5] = {0, 1, 2, 3, 4};
  TList list;
  for (int& x : v) list.Add(&x);
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.IndexOf(&v[3]), 3);
  list.Move(0, 4);
  EXPECT_EQ(list.Items(4), &v[0]);
  EXPECT_EQ(list.First(), &v[1]);
  list.Exchange(0, 1);
  EXPECT_EQ(list.First(), &v[2]);
  EXPECT_EQ(list.Remove(&v[3]), 2);
  EXPECT_EQ(list.Remove(&v[3]), -1);
  EXPECT_EQ(list.Extract(&v[4]), &v[4]);
  EXPECT_EQ(list.Count(), 3);
  list.Insert(1, nullptr);
  list.Add(nullptr);
  list.Pack();
  EXPECT_EQ(list.Count(), 3);
  list.Sort([](void* a, void* b) { return *static_cast<int*>(a) - *static_cast<int*>(b); });
  EXPECT_EQ(list.First(), &v[0]);
  EXPECT_EQ(list.Last(), &v[2]);
  try {
    list.Items(3);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (3)");
  }
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Insert(5, nullptr), EListError);
  EXPECT_THROW(list.SetCapacity(1), EListError);
  list.SetCapacity(100);
  EXPECT_GE(list.Capacity(), 100);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_THROW(list.First(), EListError);
}

TEST(ListTest, NotifyAndInconsistentSort) {
  int a = 1, b = 2;
  TCountingList list;
  list.Add(&a);
  list.Add(&b);
  list.Extract(&a);
  list.Delete(0);
  ASSERT_EQ(list.Seen.size(), 4u);
  EXPECT_EQ(list.Seen[2].second, lnExtracted);
  EXPECT_EQ(list.Seen[3].second, lnDeleted);
  TList big;
  std::vector<int> values(200);
  for (int& x : values) big.Add(&x);
  big.Sort([](void*, void*) { return 1; });  // nonsense order: must stay in bounds
  EXPECT_EQ(big.Count(), 200);
}

TEST(ListTest, ThreadListLocksAndDuplicates) {
  int a = 0;
  TThreadList list;
  list.Add(&a);
  list.Add(&a);  // dupIgnore
  EXPECT_EQ(list.LockList()->Count(), 1);
  list.UnlockList();
  list.SetDuplicates(dupError);
  try {
    list.Add(&a);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message().rfind("List does not allow duplicates ($0", 0), 0u) << e.Message();
  }
  list.SetDuplicates(dupAccept);
  list.Add(&a);
  EXPECT_EQ(list.LockList()->Count(), 2);
  list.UnlockList();
  std::vector<std::thread> threads;
  std::vector<int> values(400);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) list.Add(&values[t * 100 + i]);
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(list.LockList()->Count(), 402);
  list.UnlockList();
  list.Remove(&a);
  list.Clear();
  EXPECT_EQ(list.LockList()->Count(), 0);
  list.UnlockList();
}

// ---------------------------------------------------------------------------------------------------
namespace {

class TColumn : public TCollectionItem {
  TALVIK_CLASS(TColumn, TCollectionItem)
  explicit TColumn(TCollection* Collection) : TCollectionItem(Collection) {}
  ~TColumn() override { ++Freed; }
  std::string Title = "untitled";
  void SetTitle(const std::string& Value) {
    Title = Value;
    Changed(false);
  }
  void Assign(TPersistent* Source) override {
    if (auto* c = dynamic_cast<TColumn*>(Source)) {
      Title = c->Title;
      return;
    }
    TCollectionItem::Assign(Source);
  }
  static inline int Freed = 0;

 protected:
  std::string GetDisplayName() const override { return Title; }
};

class TColumns : public TOwnedCollection {
 public:
  explicit TColumns(TPersistent* AOwner) : TOwnedCollection(AOwner, CollectionItemClass<TColumn>) {}
  TColumn* Items(int Index) const { return static_cast<TColumn*>(TCollection::Items(Index)); }
  std::vector<std::string> Log;

 protected:
  void Update(TCollectionItem* Item) override {
    // Items reach Update complete: reading a member of the new item is safe.
    Log.push_back(Item ? "update " + Item->DisplayName() : "update all");
  }
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override {
    const char* names[] = {"added", "extracting", "deleting"};
    Log.push_back(std::string(names[Action]) + " " + Item->DisplayName());
  }
};

}  // namespace

TEST(CollectionTest, AddDeleteAndNotifications) {
  TComponent grid(nullptr);
  TColumns columns(&grid);
  EXPECT_EQ(columns.Owner(), &grid);
  auto* a = static_cast<TColumn*>(columns.Add());
  EXPECT_EQ(columns.Log, (std::vector<std::string>{"added untitled", "update all"}));
  a->SetTitle("A");
  auto* b = static_cast<TColumn*>(columns.Add());
  b->SetTitle("B");
  auto* c = static_cast<TColumn*>(columns.Insert(0));
  c->SetTitle("C");
  EXPECT_EQ(columns.Count(), 3);
  EXPECT_EQ(columns.Items(0), c);
  EXPECT_EQ(a->ID(), 0);
  EXPECT_EQ(c->ID(), 2);
  EXPECT_EQ(columns.FindItemID(1), b);
  EXPECT_EQ(columns.FindItemID(7), nullptr);
  EXPECT_EQ(b->DisplayName(), "B");
  EXPECT_EQ(b->GetOwner(), &columns);

  columns.Log.clear();
  b->SetIndex(0);  // "move to top"
  EXPECT_EQ(columns.Items(0), b);
  EXPECT_EQ(columns.Items(1), c);
  EXPECT_EQ(b->Index(), 0);
  EXPECT_EQ(columns.Log, (std::vector<std::string>{"update all"}));
  EXPECT_THROW(b->SetIndex(3), EListError);

  columns.Log.clear();
  columns.BeginUpdate();
  a->SetTitle("A2");
  columns.EndUpdate();
  EXPECT_EQ(columns.Log, (std::vector<std::string>{"update all"}));

  columns.Log.clear();
  const int freed = TColumn::Freed;
  columns.Delete(1);
  EXPECT_EQ(TColumn::Freed, freed + 1);
  EXPECT_EQ(columns.Log, (std::vector<std::string>{"deleting C", "extracting C", "update all"}));
  EXPECT_THROW(columns.Delete(5), EListError);

  columns.Log.clear();
  delete a;  // an item freed directly leaves its collection
  EXPECT_EQ(columns.Count(), 1);
  EXPECT_EQ(columns.Items(0), b);
}

TEST(CollectionTest, AssignClearAndOwnership) {
  TColumns source(nullptr);
  static_cast<TColumn*>(source.Add())->Title = "X";
  static_cast<TColumn*>(source.Add())->Title = "Y";
  const int freed = TColumn::Freed;
  {
    TColumns copy(nullptr);
    copy.Add();
    copy.Assign(&source);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Items(1)->Title, "Y");
    EXPECT_EQ(TColumn::Freed, freed + 1);
    TStringList wrong;
    EXPECT_THROW(copy.Assign(&wrong), EConvertError);
    auto* moved = copy.Items(0);
    moved->SetCollection(&source);  // an item can change collections
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_EQ(source.Count(), 3);
  }
  EXPECT_EQ(TColumn::Freed, freed + 2);  // the copy freed its remaining item
  source.Log.clear();
  source.Clear();
  EXPECT_EQ(source.Count(), 0);
  // each item is told as it goes, whole, the last first; the collection's update comes once
  EXPECT_EQ(source.Log, (std::vector<std::string>{"deleting X", "extracting X", "deleting Y", "extracting Y",
                                                  "deleting X", "extracting X", "update all"}));
  EXPECT_EQ(TColumn::Freed, freed + 5);
}

namespace {
class TFailingItem : public TCollectionItem {
  TALVIK_CLASS(TFailingItem, TCollectionItem)
  explicit TFailingItem(TCollection* Collection) : TCollectionItem(Collection) {
    if (FailNext) {
      FailNext = false;
      throw EConvertError("no item");
    }
  }
  static inline bool FailNext = false;
};
}  // namespace

TEST(CollectionTest, AnItemThatFailsToConstructLeavesNoTrace) {
  TCollection items(CollectionItemClass<TFailingItem>);
  items.Add();
  TFailingItem::FailNext = true;
  EXPECT_THROW(items.Add(), EConvertError);
  EXPECT_EQ(items.Count(), 1);
  auto* next = items.Add();  // the collection adds normally afterwards
  EXPECT_EQ(items.Count(), 2);
  EXPECT_EQ(next->Index(), 1);
  EXPECT_EQ(next->ID(), 2);
}

TEST(ComponentTest, ADerivedDestructorCanFreeItsComponentsFirst) {
  std::vector<std::string> log;
  class TForm : public TWatcher {
   public:
    using TWatcher::TWatcher;
    ~TForm() override {
      Destroying();
      DestroyComponents();  // while this class's Notification still answers
    }
  };
  {
    TForm form(nullptr, &log);
    form.SetName("Form");
    auto* edit = new TWatcher(&form, &log);
    edit->SetName("Edit");
    edit->FreeNotification(&form);
    log.clear();
  }
  // The form's own Notification hears of the edit before it goes.
  EXPECT_EQ(log, (std::vector<std::string>{"Form -Edit", "free Edit", "free Form"}));
}
