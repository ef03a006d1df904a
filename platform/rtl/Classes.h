// The class library's core: objects with class names, persistent objects, components with ownership and
// free notification, pointer and string lists, collections, streams, the filer and threads.
#pragma once

#include <atomic>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/rtl/SysUtils.h"

class TFiler;
class TReader;
class TWriter;
class TStream;
class TComponent;
class TStrings;
class TBasicAction;

TALVIK_DECLARE_EXCEPTION(EComponentError, Exception);
TALVIK_DECLARE_EXCEPTION(EStringListError, EListError);

// Messages of the lists (Format patterns).
inline constexpr char SListIndexError[] = "List index out of bounds (%d)";
inline constexpr char SListCapacityError[] = "List capacity out of bounds (%d)";
inline constexpr char SListCountError[] = "List count out of bounds (%d)";
inline constexpr char SDuplicateItem[] = "List does not allow duplicates ($0%x)";
inline constexpr char SSortedListError[] = "Operation not allowed on sorted list";
inline constexpr char SDuplicateString[] = "String list does not allow duplicates";

// ---------------------------------------------------------------------------------------------------
// Small set of enumeration values (enumerations with at most 64 members).
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr TSet& Include(E v) {
    bits_ |= Bit(v);
    return *this;
  }
  constexpr TSet& Exclude(E v) {
    bits_ &= ~Bit(v);
    return *this;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }
  static constexpr TSet FromBits(uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  constexpr TSet operator+(E v) const { return FromBits(bits_ | Bit(v)); }
  constexpr TSet operator-(E v) const { return FromBits(bits_ & ~Bit(v)); }
  constexpr TSet& operator+=(TSet o) {
    bits_ |= o.bits_;
    return *this;
  }
  constexpr TSet& operator-=(TSet o) {
    bits_ &= ~o.bits_;
    return *this;
  }
  // Every member of this set is in o.
  constexpr bool SubsetOf(TSet o) const { return (bits_ & ~o.bits_) == 0; }
  constexpr int Count() const { return std::popcount(bits_); }
  constexpr bool operator==(const TSet& o) const = default;

 private:
  static constexpr uint64_t Bit(E v) { return uint64_t{1} << static_cast<unsigned>(v); }
  uint64_t bits_ = 0;
};

// ---------------------------------------------------------------------------------------------------
// Class identity: each class declared with TALVIK_CLASS knows its name and its parent class.
struct TClassInfo {
  const char* Name;
  const TClassInfo* Parent;
};

// Declares the class identity of Name (derived from Parent). Leaves the access at public.
#define TALVIK_CLASS(Name, Parent)                              \
 public:                                                        \
  static const TClassInfo* StaticClass() {                      \
    static const TClassInfo info{#Name, Parent::StaticClass()}; \
    return &info;                                               \
  }                                                             \
  const TClassInfo* ClassType() const override {                \
    return Name::StaticClass();                                 \
  }

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo* StaticClass() {
    static const TClassInfo info{"TObject", nullptr};
    return &info;
  }
  virtual const TClassInfo* ClassType() const { return StaticClass(); }
  std::string ClassName() const { return ClassType()->Name; }
  // The name of the class this object's class derives from ("" for TObject).
  std::string ClassParentName() const;
  const TClassInfo* ClassParent() const { return ClassType()->Parent; }
  bool InheritsFrom(const TClassInfo* AClass) const;
  bool InheritsFrom(std::string_view AClassName) const;  // without regard to case
  bool ClassNameIs(std::string_view AName) const;        // without regard to case
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Horizontal alignment of text in a field, a control or a cell.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// ---------------------------------------------------------------------------------------------------
class TPersistent : public TObject {
  TALVIK_CLASS(TPersistent, TObject)
  // Copies Source into this object; the fallback asks Source to assign itself to this object.
  virtual void Assign(TPersistent* Source);
  // Defines the extra properties (DefineProperty, DefineBinaryProperty) stored through a filer.
  virtual void DefineProperties(TFiler* Filer);
  virtual TPersistent* GetOwner() const { return nullptr; }
  virtual std::string GetNamePath() const { return ClassName(); }

 protected:
  virtual void AssignTo(TPersistent* Dest);
  // Raises EConvertError "Cannot assign a <source class> to a <this class>".
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// ---------------------------------------------------------------------------------------------------
enum TOperation { opInsert, opRemove };

enum TComponentStateFlag {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance
};
using TComponentState = TSet<TComponentStateFlag>;
using TGetChildProc = std::function<void(TComponent* Child)>;

class TComponent : public TPersistent {
  TALVIK_CLASS(TComponent, TPersistent)
  explicit TComponent(TComponent* AOwner);
  // Tells the free-notification peers, frees the owned components (last first) and leaves the owner.
  // This runs after the destructors of derived classes: a class whose own Notification override must
  // hear of its owned components going, or whose members they use, calls Destroying() and
  // DestroyComponents() first in its destructor.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const;
  int ComponentIndex() const;
  void SetComponentIndex(int Value);

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& NewName);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t Value) { tag_ = Value; }
  TComponentState ComponentState() const { return state_; }

  // The owned component of that name (without regard to case), or nullptr.
  TComponent* FindComponent(std::string_view AName) const;
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  // Frees every owned component, last first.
  void DestroyComponents();
  // Marks this component and its owned components as being destroyed.
  void Destroying();

  // AComponent's Notification(this, opRemove) runs when this component is destroyed, and the other way round.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  // Called after the component's stored properties have been applied; ends csLoading.
  virtual void Loaded();
  // Marks the component and those it owns as being loaded (csLoading, csReading); components it
  // comes to own before EndLoading are marked too. Forms built in code bracket their building so.
  void BeginLoading();
  // Calls Loaded on this component and then on each component it owns (at any depth) still loading.
  void EndLoading();

  // Streaming structure: the children a component reports, their order and a parent other than the
  // owner. The defaults report none.
  virtual void GetChildren(const TGetChildProc& /*Proc*/, TComponent* /*Root*/) {}
  virtual void SetChildOrder(TComponent* /*Child*/, int /*Order*/) {}
  virtual bool HasParent() const { return false; }
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* /*Value*/) {}
  bool HasParentComponent() const { return GetParentComponent() != nullptr; }
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  void SetDesigning(bool Value, bool SetChildren = true);
  void SetInline(bool Value);
  void SetDesignInstance(bool Value);
  void SetAncestor(bool Value);
  void Updating() { state_.Include(csUpdating); }
  void Updated() { state_.Exclude(csUpdating); }
  // Direct state changes for the layers that build and load components in code.
  void IncludeComponentState(TComponentStateFlag Flag) { state_.Include(Flag); }
  void ExcludeComponentState(TComponentStateFlag Flag) { state_.Exclude(Flag); }

  TPersistent* GetOwner() const override { return owner_; }
  std::string GetNamePath() const override { return name_; }

  // Offers an action to this component as its target: true when the action handled it here.
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);

 protected:
  virtual void ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName);
  virtual void ValidateContainer(TComponent* AComponent);
  virtual void ValidateInsert(TComponent* /*AComponent*/) {}

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);
  void RemoveFreeNotifications();

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  std::string name_;
  intptr_t tag_ = 0;
  TComponentState state_;
};

// ---------------------------------------------------------------------------------------------------
// Actions: a command that clients (controls, menu items, toolbar items) share through action links.
class TBasicActionLink : public TObject {
  TALVIK_CLASS(TBasicActionLink, TObject)
  explicit TBasicActionLink(TObject* AClient);
  ~TBasicActionLink() override;

  TObject* Client() const { return client_; }
  TBasicAction* Action() const { return action_; }
  virtual void SetAction(TBasicAction* Value);
  // Runs the action for the client (AComponent becomes the action's ActionComponent meanwhile).
  virtual bool Execute(TComponent* AComponent = nullptr);
  virtual bool Update();
  virtual bool IsOnExecuteLinked() { return true; }
  virtual void SetOnExecute(const TNotifyEvent& /*Value*/) {}

  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  friend class TBasicAction;
  TObject* client_ = nullptr;
  TBasicAction* action_ = nullptr;
};

class TBasicAction : public TComponent {
  TALVIK_CLASS(TBasicAction, TComponent)
  explicit TBasicAction(TComponent* AOwner);
  ~TBasicAction() override;

  // Whether Target is something this action acts on, and what it does to it.
  virtual bool HandlesTarget(TObject* /*Target*/) { return false; }
  virtual void UpdateTarget(TObject* /*Target*/) {}
  virtual void ExecuteTarget(TObject* /*Target*/) {}
  // Runs OnExecute; false when nobody handled the action.
  virtual bool Execute();
  // Runs OnUpdate; false when nobody handled the update.
  virtual bool Update();
  // A shortcut reached the action: the same as Execute.
  virtual bool HandleShortCut() { return Execute(); }

  // The client that runs the action at the moment (nullptr outside Execute through a link).
  TComponent* ActionComponent() const { return actionComponent_; }
  void SetActionComponent(TComponent* Value);
  const TNotifyEvent& OnExecute() const { return onExecute_; }
  void SetOnExecute(TNotifyEvent Value);
  TNotifyEvent OnUpdate;

  void RegisterChanges(TBasicActionLink* Value);
  void UnRegisterChanges(TBasicActionLink* Value);
  int ClientCount() const { return static_cast<int>(clients_.size()); }
  TBasicActionLink* Clients(int Index) const { return clients_.at(static_cast<std::size_t>(Index)); }
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Tells every client link that a property changed.
  virtual void Change();
  TNotifyEvent OnChange;

 private:
  std::vector<TBasicActionLink*> clients_;
  TComponent* actionComponent_ = nullptr;
  TNotifyEvent onExecute_;
};

// ---------------------------------------------------------------------------------------------------
enum TListNotification { lnAdded, lnExtracted, lnDeleted };
enum TDuplicates { dupIgnore, dupAccept, dupError };
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

// A list of untyped pointers; it owns nothing.
class TList : public TObject {
  TALVIK_CLASS(TList, TObject)
  TList() = default;
  ~TList() override;

  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  int Remove(void* Item);
  int IndexOf(void* Item) const;
  void* Extract(void* Item);
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  void Sort(const TListSortCompare& Compare);
  void Pack();  // removes the nil items
  virtual void Clear();
  void Assign(const TList* Source);

  int Count() const { return static_cast<int>(items_.size()); }
  void SetCount(int NewCount);
  int Capacity() const { return static_cast<int>(items_.capacity()); }
  void SetCapacity(int NewCapacity);
  void* Items(int Index) const;
  void SetItems(int Index, void* Item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void* const* List() const { return items_.data(); }

  [[noreturn]] static void Error(const std::string& Msg, intptr_t Data);

 protected:
  virtual void Notify(void* /*Ptr*/, TListNotification /*Action*/) {}

 private:
  void CheckIndex(int Index) const;
  std::vector<void*> items_;
};

// A typed view over TList for lists of one kind of object (it owns nothing either).
template <typename T>
class TListOf : public TList {
 public:
  int Add(T* Item) { return TList::Add(Item); }
  void Insert(int Index, T* Item) { TList::Insert(Index, Item); }
  int Remove(T* Item) { return TList::Remove(Item); }
  int IndexOf(T* Item) const { return TList::IndexOf(Item); }
  T* Items(int Index) const { return static_cast<T*>(TList::Items(Index)); }
  T* First() const { return static_cast<T*>(TList::First()); }
  T* Last() const { return static_cast<T*>(TList::Last()); }
  T* operator[](int Index) const { return Items(Index); }
};

// A TList guarded by a lock: LockList ... UnlockList brackets every use of the inner list.
class TThreadList : public TObject {
  TALVIK_CLASS(TThreadList, TObject)
  TThreadList() = default;
  void Add(void* Item);
  void Clear();
  void Remove(void* Item);
  TList* LockList();
  void UnlockList();
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }

 private:
  std::recursive_mutex lock_;
  TList list_;
  TDuplicates duplicates_ = dupIgnore;
};

// ---------------------------------------------------------------------------------------------------
// A list of strings, each with an associated object (not owned).
class TStrings : public TPersistent {
  TALVIK_CLASS(TStrings, TPersistent)
  TStrings() = default;

  virtual int Add(const std::string& S);
  virtual int AddObject(const std::string& S, TObject* AObject);
  void Append(const std::string& S) { Add(S); }
  virtual void AddStrings(TStrings* Strings);
  void Assign(TPersistent* Source) override;
  void BeginUpdate();
  void EndUpdate();
  virtual void Clear() = 0;
  virtual void Delete(int Index) = 0;
  bool Equals(TStrings* Strings) const;
  virtual void Exchange(int Index1, int Index2);
  virtual int IndexOf(const std::string& S) const;
  int IndexOfName(const std::string& Name) const;
  int IndexOfObject(TObject* AObject) const;
  virtual void Insert(int Index, const std::string& S) = 0;
  virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
  virtual void Move(int CurIndex, int NewIndex);
  virtual void LoadFromFile(const std::string& FileName);
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToFile(const std::string& FileName) const;
  virtual void SaveToStream(TStream* Stream) const;

  int Count() const { return GetCount(); }
  std::string Strings(int Index) const { return Get(Index); }
  void SetStrings(int Index, const std::string& S) { Put(Index, S); }
  TObject* Objects(int Index) const { return GetObject(Index); }
  void SetObjects(int Index, TObject* AObject) { PutObject(Index, AObject); }
  virtual int Capacity() const { return GetCount(); }
  virtual void SetCapacity(int /*NewCapacity*/) {}

  std::string Names(int Index) const;
  std::string Values(const std::string& Name) const;
  void SetValues(const std::string& Name, const std::string& Value);
  std::string ValueFromIndex(int Index) const;
  void SetValueFromIndex(int Index, const std::string& Value);
  char NameValueSeparator() const { return nameValueSeparator_; }
  void SetNameValueSeparator(char Value) { nameValueSeparator_ = Value; }

  // Lines joined with CR LF, each line ended by one.
  virtual std::string Text() const;
  // Replaces the lines; CR LF, LF and CR each end a line.
  virtual void SetText(std::string_view Value);
  std::string CommaText() const;
  void SetCommaText(std::string_view Value);
  std::string DelimitedText() const;
  void SetDelimitedText(std::string_view Value);
  char Delimiter() const { return delimiter_; }
  void SetDelimiter(char Value) { delimiter_ = Value; }
  char QuoteChar() const { return quoteChar_; }
  void SetQuoteChar(char Value) { quoteChar_ = Value; }
  int UpdateCount() const { return updateCount_; }

 protected:
  virtual std::string Get(int Index) const = 0;
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int /*Index*/) const { return nullptr; }
  virtual void Put(int Index, const std::string& S);
  virtual void PutObject(int /*Index*/, TObject* /*AObject*/) {}
  virtual void SetUpdateState(bool /*Updating*/) {}
  // Compares two strings as the list does: without regard to case by default.
  virtual int CompareStrings(std::string_view S1, std::string_view S2) const;
  [[noreturn]] static void Error(const std::string& Msg, intptr_t Data);

 private:
  std::string GetDelimited(char Delim, char Quote) const;
  void SetDelimited(std::string_view Value, char Delim, char Quote);
  int updateCount_ = 0;
  char delimiter_ = ',';
  char quoteChar_ = '"';
  char nameValueSeparator_ = '=';
};

namespace talvik_detail {
// BeginUpdate now, EndUpdate when the scope ends; while an exception unwinds, an error of EndUpdate
// itself gives way to the one already under way.
template <typename T>
class UpdateScope {
 public:
  explicit UpdateScope(T* Target) : target_(Target), unwinding_(std::uncaught_exceptions()) {
    target_->BeginUpdate();
  }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;
  ~UpdateScope() noexcept(false) {
    if (std::uncaught_exceptions() == unwinding_) {
      target_->EndUpdate();
      return;
    }
    try {
      target_->EndUpdate();
    } catch (...) {
    }
  }

 private:
  T* target_;
  int unwinding_;
};

struct StringItem {
  std::string S;
  TObject* Object = nullptr;
};

// The items of a string list in chunks, so that inserting into a large sorted list stays cheap.
class ChunkedStringItems {
 public:
  int Size() const { return size_; }
  StringItem& At(int Index);
  const StringItem& At(int Index) const;
  void Insert(int Index, StringItem&& Item);
  void Erase(int Index);
  void Clear();
  std::vector<StringItem> TakeAll();
  void Assign(std::vector<StringItem>&& Items);
  // The first index whose item is not Less (the items are ordered by Less): chunk, then item.
  template <typename Less>
  int LowerBound(Less less) const {
    size_t lo = 0, hi = chunks_.size();
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (less(chunks_[mid].back())) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    if (lo == chunks_.size()) return size_;
    const auto& chunk = chunks_[lo];
    size_t l = 0, h = chunk.size();
    while (l < h) {
      const size_t mid = (l + h) / 2;
      if (less(chunk[mid])) {
        l = mid + 1;
      } else {
        h = mid;
      }
    }
    return starts_[lo] + static_cast<int>(l);
  }

 private:
  int Locate(int Index, int& Offset) const;
  void Restart();
  std::vector<std::vector<StringItem>> chunks_;
  std::vector<int> starts_;
  int size_ = 0;
  mutable std::atomic<int> lastChunk_{0};
};
}  // namespace talvik_detail

class TStringList;
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

class TStringList : public TStrings {
  TALVIK_CLASS(TStringList, TStrings)
  TStringList() = default;
  ~TStringList() override;

  int Add(const std::string& S) override { return AddObject(S, nullptr); }
  int AddObject(const std::string& S, TObject* AObject) override;
  void Clear() override;
  void Delete(int Index) override;
  void Exchange(int Index1, int Index2) override;
  // Moving within a sorted list is refused before anything changes.
  void Move(int CurIndex, int NewIndex) override;
  // Binary search of a sorted list: true when found; Index is the match or the insertion point.
  virtual bool Find(std::string_view S, int& Index) const;
  int IndexOf(const std::string& S) const override;
  void Insert(int Index, const std::string& S) override { InsertObject(Index, S, nullptr); }
  void InsertObject(int Index, const std::string& S, TObject* AObject) override;
  virtual void Sort();
  virtual void CustomSort(const TStringListSortCompare& Compare);

  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates Value) { duplicates_ = Value; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool Value);
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool Value);
  std::string Text() const override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  std::string Get(int Index) const override;
  int GetCount() const override { return items_.Size(); }
  TObject* GetObject(int Index) const override;
  void Put(int Index, const std::string& S) override;
  void PutObject(int Index, TObject* AObject) override;
  void SetUpdateState(bool Updating) override;
  int CompareStrings(std::string_view S1, std::string_view S2) const override;
  virtual void Changed();
  virtual void Changing();
  virtual void InsertItem(int Index, const std::string& S, TObject* AObject);

 private:
  void CheckIndex(int Index) const;
  void SortItems();
  talvik_detail::ChunkedStringItems items_;
  TDuplicates duplicates_ = dupIgnore;
  bool sorted_ = false;
  bool caseSensitive_ = false;
};

// ---------------------------------------------------------------------------------------------------
class TCollection;

class TCollectionItem : public TPersistent {
  TALVIK_CLASS(TCollectionItem, TPersistent)
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;

  TCollection* Collection() const { return collection_; }
  virtual void SetCollection(TCollection* Value);
  int ID() const { return id_; }
  int Index() const;
  // Moves the item to position Value of its collection.
  virtual void SetIndex(int Value);
  std::string DisplayName() const { return GetDisplayName(); }
  virtual void SetDisplayName(const std::string& Value);
  TPersistent* GetOwner() const override;
  std::string GetNamePath() const override;

 protected:
  // Tells the collection that this item (or, with AllItems, every item) changed.
  void Changed(bool AllItems);
  virtual std::string GetDisplayName() const { return ClassName(); }

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
};

using TCollectionItemClass = TCollectionItem* (*)(TCollection* Collection);
enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

// The item class of a collection: CollectionItemClass<TMyItem>.
template <typename T>
TCollectionItem* CollectionItemClass(TCollection* Collection) {
  return new T(Collection);
}

// A list of items of one class that it owns.
class TCollection : public TPersistent {
  TALVIK_CLASS(TCollection, TPersistent)
  explicit TCollection(TCollectionItemClass ItemClass);
  ~TCollection() override;

  TCollectionItem* Add();
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  void Assign(TPersistent* Source) override;
  virtual void BeginUpdate();
  virtual void EndUpdate();
  TCollectionItem* FindItemID(int ID) const;

  int Count() const { return static_cast<int>(items_.size()); }
  TCollectionItem* Items(int Index) const;
  // Assigns Value to the item at Index.
  void SetItems(int Index, TCollectionItem* Value);
  TCollectionItemClass ItemClass() const { return itemClass_; }
  TPersistent* Owner() const { return GetOwner(); }
  int UpdateCount() const { return updateCount_; }
  std::string GetNamePath() const override;

 protected:
  virtual void Notify(TCollectionItem* /*Item*/, TCollectionNotification /*Action*/) {}
  // Called when Item changed, or with nullptr when the collection or all its items changed.
  virtual void Update(TCollectionItem* /*Item*/) {}
  void Changed();

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  void FinishInsert(TCollectionItem* Item);
  void FreeItems();

  TCollectionItemClass itemClass_;
  std::vector<TCollectionItem*> items_;
  int nextId_ = 0;
  int updateCount_ = 0;
  TCollectionItem* constructing_ = nullptr;  // the item Add is creating: told about once it is complete
  bool adding_ = false;
};

// A collection that belongs to another persistent object.
class TOwnedCollection : public TCollection {
  TALVIK_CLASS(TOwnedCollection, TCollection)
  TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
      : TCollection(ItemClass), owner_(AOwner) {}
  TPersistent* GetOwner() const override { return owner_; }

 private:
  TPersistent* owner_;
};

// ---------------------------------------------------------------------------------------------------
// Streams
constexpr int soFromBeginning = 0;
constexpr int soFromCurrent = 1;
constexpr int soFromEnd = 2;

constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

class TStream : public TObject {
  TALVIK_CLASS(TStream, TObject)
  // Reads up to Count bytes; returns how many were read.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position; Origin is soFromBeginning, soFromCurrent or soFromEnd. Returns the new position.
  virtual int64_t Seek(int64_t Offset, int Origin) = 0;
  virtual void SetSize(int64_t /*NewSize*/) {}

  int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }
  virtual int64_t Size();

  // Read or write exactly Count bytes, else raise EReadError / EWriteError.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position (Count 0: all of Source from its start).
  int64_t CopyFrom(TStream* Source, int64_t Count);
};

class THandleStream : public TStream {
  TALVIK_CLASS(THandleStream, TStream)
  explicit THandleStream(int AHandle) : handle_(AHandle) {}
  int Handle() const { return handle_; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;

 protected:
  int handle_;
};

class TFileStream : public THandleStream {
  TALVIK_CLASS(TFileStream, THandleStream)
  // Mode: fmCreate, or fmOpenRead / fmOpenWrite / fmOpenReadWrite, each optionally with a share mode.
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;
  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
};

class TCustomMemoryStream : public TStream {
  TALVIK_CLASS(TCustomMemoryStream, TStream)
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  int64_t Size() override { return size_; }
  void SaveToStream(TStream* Stream) const;
  void SaveToFile(const std::string& FileName) const;
  void* Memory() const { return memory_; }

 protected:
  void SetPointer(void* Ptr, int64_t ASize) {
    memory_ = static_cast<uint8_t*>(Ptr);
    size_ = ASize;
  }
  uint8_t* memory_ = nullptr;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

class TMemoryStream : public TCustomMemoryStream {
  TALVIK_CLASS(TMemoryStream, TCustomMemoryStream)
  TMemoryStream() = default;
  ~TMemoryStream() override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  void SetSize(int64_t NewSize) override;
  void Clear();
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const std::string& FileName);
  int64_t Capacity() const { return capacity_; }
  void SetCapacity(int64_t NewCapacity);

 private:
  void Grow(int64_t Needed);
  int64_t capacity_ = 0;
};

// A stream over a string of bytes.
class TStringStream : public TStream {
  TALVIK_CLASS(TStringStream, TStream)
  explicit TStringStream(std::string AString = {}) : data_(std::move(AString)) {}
  const std::string& DataString() const { return data_; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;
  // Reads up to Count bytes as a string.
  std::string ReadString(int64_t Count);
  void WriteString(std::string_view AString);

 private:
  std::string data_;
  int64_t position_ = 0;
};

// ---------------------------------------------------------------------------------------------------
// The filer: properties and components in the class library's binary stream format.
enum TValueType : uint8_t {
  vaNull,
  vaList,
  vaInt8,
  vaInt16,
  vaInt32,
  vaExtended,
  vaString,
  vaIdent,
  vaFalse,
  vaTrue,
  vaBinary,
  vaSet,
  vaLString,
  vaNil,
  vaCollection,
  vaSingle,
  vaCurrency,
  vaDate,
  vaWString,
  vaInt64,
  vaUTF8String
};

using TReaderProc = std::function<void(TReader* Reader)>;
using TWriterProc = std::function<void(TWriter* Writer)>;
using TStreamProc = std::function<void(TStream* Stream)>;

class TFiler : public TObject {
  TALVIK_CLASS(TFiler, TObject)
  explicit TFiler(TStream* Stream) : stream_(Stream) {}

  // A property whose value the object reads and writes itself through the filer.
  virtual void DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                              const TWriterProc& WriteData, bool HasData) = 0;
  // A property whose value is a block of bytes, given and taken as a stream.
  virtual void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                    const TStreamProc& WriteData, bool HasData) = 0;

  TStream* Stream() const { return stream_; }
  TComponent* Root() const { return root_; }
  void SetRoot(TComponent* Value) { root_ = Value; }
  // The object the one being written descends from: properties equal to it need not be stored.
  TPersistent* Ancestor() const { return ancestor_; }
  void SetAncestor(TPersistent* Value) { ancestor_ = Value; }

 protected:
  TStream* stream_;
  TComponent* root_ = nullptr;
  TPersistent* ancestor_ = nullptr;
};

class TWriter : public TFiler {
  TALVIK_CLASS(TWriter, TFiler)
  explicit TWriter(TStream* Stream) : TFiler(Stream) {}

  void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                            const TStreamProc& WriteData, bool HasData) override;

  void WriteValue(TValueType Value);
  void WriteInteger(int64_t Value);  // the smallest of vaInt8, vaInt16, vaInt32, vaInt64
  void WriteBoolean(bool Value);
  void WriteFloat(double Value);  // vaExtended: 10-byte extended precision
  void WriteSingle(float Value);
  void WriteCurrency(double Value);  // vaCurrency: scaled by 10,000
  void WriteDate(double Value);      // vaDate: a TDateTime
  // vaString / vaLString for ASCII text, vaUTF8String otherwise.
  void WriteString(std::string_view Value);
  void WriteWideString(std::string_view Value);  // vaWString: UTF-16
  void WriteUTF8String(std::string_view Value);
  // vaIdent, or vaFalse / vaTrue / vaNull / vaNil for those words.
  void WriteIdent(std::string_view Ident);
  void WriteSet(const std::vector<std::string>& Idents);
  void WriteBinary(const void* Data, int64_t Count);
  void WriteListBegin() { WriteValue(vaList); }
  void WriteListEnd() { WriteValue(vaNull); }
  void WriteStr(std::string_view Value);  // a short string: length byte and at most 255 bytes
  void WriteSignature();
  void WritePropName(std::string_view Name);
  // The defined properties of Instance (each name with its value).
  void WriteProperties(TPersistent* Instance);
  // vaCollection with each item's defined properties in a list.
  void WriteCollection(TCollection* Value);
  // Class name, name, defined properties and owned components, recursively.
  void WriteComponent(TComponent* Component);
  void WriteRootComponent(TComponent* Root);
  // As WriteRootComponent, with Ancestor's components as the ancestors of those of the same name.
  void WriteDescendent(TComponent* Root, TComponent* AncestorRoot);

  int64_t Position() { return stream_->Position(); }

 private:
  void Write(const void* Buffer, int64_t Count) { stream_->WriteBuffer(Buffer, Count); }
  void WriteComponentData(TComponent* Component, TComponent* AncestorComponent);
  std::string propPath_;
};

class TReader : public TFiler {
  TALVIK_CLASS(TReader, TFiler)
  explicit TReader(TStream* Stream) : TFiler(Stream) {}

  void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                            const TStreamProc& WriteData, bool HasData) override;

  TValueType ReadValue();
  TValueType NextValue();  // without consuming it
  void CheckValue(TValueType Value);
  int32_t ReadInteger();
  int64_t ReadInt64();
  bool ReadBoolean();
  double ReadFloat();  // also takes an integer
  float ReadSingle();
  double ReadCurrency();
  double ReadDate();
  std::string ReadString();  // any string type, as UTF-8
  std::string ReadWideString() { return ReadString(); }
  std::string ReadIdent();
  std::vector<std::string> ReadSet();
  std::string ReadBinary();  // vaBinary: the bytes
  void ReadListBegin() { CheckValue(vaList); }
  void ReadListEnd() { CheckValue(vaNull); }
  bool EndOfList() { return NextValue() == vaNull; }
  std::string ReadStr();
  void ReadSignature();
  // Reads one "name value" pair into Instance through its DefineProperties.
  void ReadProperty(TPersistent* Instance);
  // Reads "name value" pairs up to the end of the list.
  void ReadProperties(TPersistent* Instance);
  void ReadCollection(TCollection* Collection);
  void SkipValue();
  // Reads a component written by WriteComponent into the existing Component; owned components are
  // found by name (those missing are skipped).
  void ReadComponent(TComponent* Component);
  // Reads a stream written by WriteRootComponent into the existing Root and calls Loaded on each
  // component read.
  TComponent* ReadRootComponent(TComponent* Root);

  int64_t Position() { return stream_->Position(); }

 private:
  void Read(void* Buffer, int64_t Count) { stream_->ReadBuffer(Buffer, Count); }
  void CheckAvailable(int64_t Count);
  [[noreturn]] void PropValueError();
  std::string ReadCountedBytes(int64_t Count);
  void SkipComponent();
  std::string propName_;
  bool propDone_ = false;
  std::vector<TComponent*> loaded_;
};

// ---------------------------------------------------------------------------------------------------
// Threads
using TThreadID = uint64_t;
extern const TThreadID MainThreadID;
TThreadID GetCurrentThreadId();

// Runs the methods that other threads passed to Synchronize or Queue; call it on the main thread.
// Waits up to TimeoutMs for one to arrive when none is waiting. True when any ran.
bool CheckSynchronize(int TimeoutMs = 0);
// Called (on any thread) when a method is waiting for the main thread: the GUI layer wakes its loop.
extern std::function<void()> WakeMainThread;

using TThreadMethod = std::function<void()>;

class TThread : public TObject {
  TALVIK_CLASS(TThread, TObject)
  // A thread created not suspended starts once its object is complete: the constructor of the class
  // that derives from TThread ends with AfterConstruction().
  explicit TThread(bool CreateSuspended);
  // Terminates and waits for a running thread. A class whose Execute uses its own members calls
  // StopAndWait() in its destructor, before those members go.
  ~TThread() override;

  void AfterConstruction();
  void Start() { Resume(); }
  // Starts a thread created suspended, or wakes one that suspended itself.
  void Resume();
  // Suspends the calling thread itself until Resume; only the thread itself can suspend.
  void Suspend();
  void Terminate() { terminated_ = true; }
  // Waits until Execute has finished and returns ReturnValue; on the main thread the methods
  // synchronized meanwhile keep running.
  int WaitFor();

  bool Terminated() const { return terminated_; }
  bool Suspended() const { return suspended_; }
  bool Finished() const { return finished_; }
  bool Started() const { return started_; }
  bool FreeOnTerminate() const { return freeOnTerminate_; }
  void SetFreeOnTerminate(bool Value) { freeOnTerminate_ = Value; }
  int ReturnValue() const { return returnValue_; }
  TThreadID ThreadID() const { return threadId_; }
  // The exception that ended Execute, or nullptr.
  const Exception* FatalException() const { return fatalObject_; }
  std::exception_ptr FatalExceptionPtr() const { return fatal_; }

  // Runs Method on the main thread and waits for it; on the main thread itself it runs at once.
  // An exception of Method is raised again in the caller.
  void Synchronize(const TThreadMethod& Method) { Synchronize(this, Method); }
  static void Synchronize(TThread* AThread, const TThreadMethod& Method);
  // Runs Method on the main thread later, without waiting; on the main thread itself it runs at once.
  void Queue(const TThreadMethod& Method) { Queue(this, Method); }
  static void Queue(TThread* AThread, const TThreadMethod& Method);
  // A suspended thread that runs Proc once started; it frees itself when done, unless FreeOnTerminate
  // is turned off.
  static TThread* CreateAnonymousThread(std::function<void()> Proc);
  static TThread* CurrentThread();

  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;
  // Fires OnTerminate on the main thread.
  virtual void DoTerminate();
  void SetReturnValue(int Value) { returnValue_ = Value; }
  // Terminates a running thread and waits for its end (the destructor's duty, for derived classes
  // to call before their own members go).
  void StopAndWait();

 private:
  void WaitUntilFinished();
  void Launch();
  void Run();

  std::thread thread_;
  std::mutex stateLock_;
  std::condition_variable stateChanged_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> suspended_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> started_{false};
  bool createSuspended_;
  bool freeOnTerminate_ = false;
  int returnValue_ = 0;
  std::atomic<TThreadID> threadId_{0};
  std::exception_ptr fatal_;
  const Exception* fatalObject_ = nullptr;
};
