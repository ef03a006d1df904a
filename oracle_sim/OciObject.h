// The client side of named types: type descriptors and their instance layout, the object cache
// (instances, strings, raws, REFs, collections) and the conversion between instances and the
// engine's object values.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "oracle_sim/OciInternal.h"

namespace oracle_sim::oci {

// Kinds of the object cache's items (HandleBase::type, outside the range of handles and descriptors).
constexpr ub4 kItemType = 0x7101;
constexpr ub4 kItemRef = 0x7102;
constexpr ub4 kItemString = 0x7103;
constexpr ub4 kItemRaw = 0x7104;
constexpr ub4 kItemColl = 0x7105;
constexpr ub4 kItemInstance = 0x7106;
constexpr ub4 kItemTable = 0x7107;

// REFs: the kind byte that starts a REF's hex form.
constexpr ub1 kRefToRow = 1;
constexpr ub1 kRefToType = 2;

// What an attribute's cell holds.
enum class CellKind : uint8_t {
  String,    // OCIString*
  Number,    // OCINumber (22 bytes)
  Date,      // OCIDate (8 bytes)
  Raw,       // OCIRaw*
  Lob,       // OCILobLocator*
  DateTime,  // OCIDateTime*
  Ref,       // OCIRef*
  Inline,    // an embedded object of a FINAL type: its attributes follow (no cell of its own)
  Instance,  // the address of a separate instance (NOT FINAL object, SYS.XMLTYPE)
  Coll,      // OCIColl*
};

size_t CellSize(CellKind kind);

// One attribute (or a collection's element) placed in an instance: its cell's offset from the start
// of the instance and its indicator's index in the instance's null structure.
struct Slot {
  TypeAttrDesc desc;
  CellKind kind = CellKind::Number;
  OCIType* type = nullptr;  // Inline, Instance, Coll: the attribute's type
  size_t offset = 0;
  size_t nullIndex = 0;
  std::vector<Slot> children;  // Inline: the embedded object's attributes
};

// The library's state of one instance: what the object cache keeps about it besides its memory.
struct ObjectState {
  bool persistent = false;  // pinned from, or made for, an object table
  bool isNew = false;       // made for an object table and not flushed yet
  bool dirty = false;       // marked updated (or new) since the last flush
  bool deleted = false;     // marked deleted
  bool gone = false;        // its row was deleted by a flush
  bool locked = false;      // its row is locked by this session
  int pins = 0;
  std::string ref;            // persistent: the REF bytes of its row
  std::string schema, table;  // new persistent: the object table it goes into
  OCISvcCtx* svc = nullptr;   // the connection it came through
  std::string xml;            // SYS.XMLTYPE: the document
};

// A table object (OCIObjectPinTable).
struct TableItem : HandleBase {
  explicit TableItem(OCIEnv* e) : HandleBase(kItemTable, e) {}
  std::string schema, table;
  OCISvcCtx* svc = nullptr;
};

// An instance of an object type or of SYS.XMLTYPE; the address handed out is `data`.
struct InstanceItem : HandleBase {
  InstanceItem(OCIEnv* e, OCIType* t);
  OCIType* type;
  std::unique_ptr<char[]> data;
  std::vector<sb2> nulls;
  ObjectState state;
};

}  // namespace oracle_sim::oci

// A type descriptor: the engine's description of a named type and the layout of its instances.
struct OCIType : oracle_sim::oci::HandleBase {
  explicit OCIType(OCIEnv* e) : HandleBase(oracle_sim::oci::kItemType, e) {}
  oracle_sim::TypeDesc desc;
  std::string fullName;           // "SCOTT.ADDRESS_T"
  oracle_sim::oci::Slot root;     // object: Inline at 0 with the attributes as children
  oracle_sim::oci::Slot element;  // collection: the element, at 0 of its own cell
  size_t size = 0;                // object: bytes of an instance; collection: of an element cell
  size_t nullCount = 1;           // entries of an instance's (or element's) null structure
  OCIRef* ref = nullptr;          // the type's REF
  std::vector<std::pair<oracle_sim::oci::CellKind, OCIType*>> attrKinds;  // per declared attribute
};

struct OCIString : oracle_sim::oci::HandleBase {
  explicit OCIString(OCIEnv* e) : HandleBase(oracle_sim::oci::kItemString, e) {}
  std::string text;
};

struct OCIRaw : oracle_sim::oci::HandleBase {
  explicit OCIRaw(OCIEnv* e) : HandleBase(oracle_sim::oci::kItemRaw, e) {}
  std::string bytes;
};

struct OCIRef : oracle_sim::oci::HandleBase {
  explicit OCIRef(OCIEnv* e) : HandleBase(oracle_sim::oci::kItemRef, e) {}
  ub1 kind = oracle_sim::oci::kRefToRow;
  std::string bytes;  // the engine's REF bytes, or the OID of a type; empty: a null REF
  OCISvcCtx* svc = nullptr;
  bool ofType = false;  // the REF a type descriptor hands out: it lives as long as the type

  void Set(ub1 refKind, std::string refBytes, OCISvcCtx* through) {
    kind = refKind;
    bytes = std::move(refBytes);
    svc = through;
  }
};

// A VARRAY or nested table value.
struct OCIColl : oracle_sim::oci::HandleBase {
  OCIColl(OCIEnv* e, OCIType* t) : HandleBase(oracle_sim::oci::kItemColl, e), type(t) {}
  struct Elem {
    std::unique_ptr<char[]> cell;
    std::vector<sb2> nulls;
    bool exists = true;  // false after OCITableDelete
  };
  OCIType* type;
  std::vector<Elem> elems;
  std::vector<sb2> nulls{0};  // its own atomic indicator
};

namespace oracle_sim::oci {

// Registry of the cache's items by the address handed out for them.
HandleBase* FindItem(const void* address);
template <typename T>
T* FindItemAs(const void* address, ub4 kind) {
  HandleBase* h = FindItem(address);
  return h && h->type == kind ? static_cast<T*>(h) : nullptr;
}
// Registers `item` (owned by the registry from now on) under `address`.
void AddItem(const void* address, HandleBase* item);
// Frees an item: its contents (strings, collections, nested instances ...) too.
void FreeItem(HandleBase* item);

// The cache's values.
OCIString* NewString(OCIEnv* env);
OCIRaw* NewRaw(OCIEnv* env);
OCIRef* NewRef(OCIEnv* env);
// An instance (InstanceItem data or OCIColl*) of a type, all attributes null, the object not null.
void* NewInstance(OCIEnv* env, OCIType* type);
// The instance's null structure and type; nullptr when `instance` is not one the cache handed out.
sb2* InstanceNulls(void* instance);
OCIType* InstanceType(void* instance);

// The engine session of a service context (ORA-01012 when it has none).
Session& EngineOf(OCISvcCtx* svc);
// The service context to use for an environment's object calls: `svc` when given and alive, else
// the last one used in the environment.
OCISvcCtx* ObjectSvc(OCIEnv* env, OCISvcCtx* svc);

// Types: described through a session, kept per environment by OID.
OCIType* TypeNamed(OCIEnv* env, OCISvcCtx* svc, const std::string& name);
OCIType* TypeNamed(OCIEnv* env, OCISvcCtx* svc, const std::string& schema, const std::string& name);
OCIType* TypeByOid(OCIEnv* env, OCISvcCtx* svc, const std::string& oid);
OCIType* AsType(const void* p);
void ForgetTypes(OCIEnv* env);
ub2 TypeCodeOf(const OCIType* t);

// Persistent objects of an environment, by connection and REF.
InstanceItem* FindPinned(OCIEnv* env, OCISvcCtx* svc, const std::string& ref);
void AddPinned(InstanceItem* inst);
void ForgetPinned(InstanceItem* inst);
std::vector<InstanceItem*> DirtyObjects(OCIEnv* env);

// Collection elements: a new one (all null) and the release of what its cell points at.
OCIColl::Elem NewElement(OCIEnv* env, const OCIType* collType);
void FreeElement(OCIColl* c, OCIColl::Elem& e);

// Whether `h` is a live handle or descriptor of the environment.
bool InEnv(OCIEnv* env, const void* h);

// Whether the arguments are an environment and an error handle.
inline bool EnvArgs(OCIEnv* env, OCIError* err) {
  return IsHandle(env, OCI_HTYPE_ENV) && IsHandle(err, OCI_HTYPE_ERROR);
}
// ORA-21560 for argument `n`.
[[noreturn]] inline void BadArgument(int n) {
  throw MakeError(21560, "argument " + std::to_string(n) + " is null, invalid, or out of range");
}
// ORA-21710: an address that is not one of an object the cache handed out.
[[noreturn]] inline void NotAnObject() {
  throw MakeError(21710, "argument is expecting a valid memory address of an object");
}

inline void* LoadPtr(const void* cell) {
  void* p = nullptr;
  std::memcpy(&p, cell, sizeof p);
  return p;
}
inline void StorePtr(void* cell, const void* p) {
  std::memcpy(cell, &p, sizeof p);
}
// The item of `kind` a cell points at, or a new one (made by `make`) stored into the cell.
template <typename T>
T* CellItem(OCIEnv* env, void* cell, ub4 kind, T* (*make)(OCIEnv*)) {
  if (T* item = FindItemAs<T>(LoadPtr(cell), kind)) return item;
  T* item = make(env);
  StorePtr(cell, item);
  return item;
}

// Conversion between an instance and the engine's value of it.
struct ObjectContext {
  OCIEnv* env;
  OCISvcCtx* svc;
};
Value InstanceValue(void* instance);
void FillInstance(const ObjectContext& cx, void* instance, const Value& v);
Value SlotValue(const Slot& s, const char* base, const sb2* nulls);
void FillSlot(const ObjectContext& cx, const Slot& s, char* base, sb2* nulls, const Value& v);
// The value a program passes for a slot's type (OCICollAppend, OCICollAssignElem, OCIObjectSetAttr):
// the OCIString*, OCIRaw* ... itself or the address of a cell holding it; the address of an
// OCINumber, OCIDate or instance; `ind` its indicator (an object's null structure) or nullptr.
Value PassedValue(OCIEnv* env, const Slot& s, const void* value, const void* ind);

}  // namespace oracle_sim::oci
