// The object cache: the items handed out for instances, strings, raws, REFs and collections, kept
// in a registry by the address the program holds, and the conversion between instances and the
// engine's object values.
#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "oracle_sim/OciObject.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

std::mutex itemLock;

std::unordered_map<const void*, HandleBase*>& Items() {
  static auto* m = new std::unordered_map<const void*, HandleBase*>();
  return *m;
}

// What the cache keeps per environment besides its items.
struct EnvObjects {
  OCISvcCtx* lastSvc = nullptr;
  std::map<std::pair<OCISvcCtx*, std::string>, InstanceItem*> pinned;  // persistent objects by REF
};

std::unordered_map<OCIEnv*, EnvObjects>& Envs() {
  static auto* m = new std::unordered_map<OCIEnv*, EnvObjects>();
  return *m;
}

ub4 LobDescriptorType(Ty t) {
  return t == Ty::Bfile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
}

ub1 LobType(Ty t) {
  return static_cast<ub1>(t == Ty::Clob ? SQLT_CLOB : t == Ty::Blob ? SQLT_BLOB : SQLT_BFILEE);
}

ub4 DateTimeDescriptorType(Ty t) {
  return t == Ty::TimestampTZ    ? OCI_DTYPE_TIMESTAMP_TZ
         : t == Ty::TimestampLTZ ? OCI_DTYPE_TIMESTAMP_LTZ
                                 : OCI_DTYPE_TIMESTAMP;
}

HandleBase* NewDescriptor(OCIEnv* env, ub4 type) {
  dvoid* d = nullptr;
  if (OCIDescriptorAlloc(env, &d, type, 0, nullptr) != OCI_SUCCESS || !d)
    throw MakeError(4030, "out of process memory when trying to allocate memory");
  return static_cast<HandleBase*>(d);
}

// Frees a descriptor held in a cell when it is still one of the environment's.
void FreeDescriptor(OCIEnv* env, void* d) {
  if (!InEnv(env, d)) return;
  auto* h = static_cast<HandleBase*>(d);
  OCIDescriptorFree(d, h->type);
}

// Calls f(slot, cell) for the slot, or for each slot inlined in it, whose cell holds a pointer
// (numbers and dates are held in the cell itself).
template <typename F>
void ForEachPointerCell(const Slot& s, char* base, F&& f) {
  switch (s.kind) {
    case CellKind::Number:
    case CellKind::Date:
      return;
    case CellKind::Inline:
      for (const Slot& c : s.children) ForEachPointerCell(c, base, f);
      return;
    default:
      f(s, base + s.offset);
  }
}

// Allocates what the pointer cells of a slot point at (strings, collections, locators ...).
void InitCell(OCIEnv* env, const Slot& s, char* cell) {
  if (LoadPtr(cell)) return;
  switch (s.kind) {
    case CellKind::String:
      StorePtr(cell, NewString(env));
      break;
    case CellKind::Raw:
      StorePtr(cell, NewRaw(env));
      break;
    case CellKind::Ref:
      StorePtr(cell, NewRef(env));
      break;
    case CellKind::Lob: {
      auto* l = static_cast<OCILobLocator*>(NewDescriptor(env, LobDescriptorType(s.desc.type)));
      l->inObject = true;
      l->init = true;  // an empty LOB (the attribute's indicator says whether it is null)
      l->lobType = LobType(s.desc.type);
      StorePtr(cell, l);
      break;
    }
    case CellKind::DateTime:
      StorePtr(cell, NewDescriptor(env, DateTimeDescriptorType(s.desc.type)));
      break;
    case CellKind::Instance:
    case CellKind::Coll: {
      void* inst = NewInstance(env, s.type);
      InstanceNulls(inst)[0] = OCI_IND_NULL;
      StorePtr(cell, inst);
      break;
    }
    default:
      break;
  }
}

void InitCells(OCIEnv* env, const Slot& s, char* base) {
  ForEachPointerCell(s, base, [env](const Slot& slot, char* cell) { InitCell(env, slot, cell); });
}

void FreeCell(OCIEnv* env, const Slot& s, char* cell) {
  switch (s.kind) {
    case CellKind::Lob:
    case CellKind::DateTime:
      FreeDescriptor(env, LoadPtr(cell));
      break;
    default:
      if (HandleBase* h = FindItem(LoadPtr(cell))) FreeItem(h);
      break;
  }
  StorePtr(cell, nullptr);
}

void FreeCells(OCIEnv* env, const Slot& s, char* base) {
  ForEachPointerCell(s, base, [env](const Slot& slot, char* cell) { FreeCell(env, slot, cell); });
}

void SetNulls(const Slot& s, sb2* nulls) {
  nulls[s.nullIndex] = OCI_IND_NULL;
  for (const Slot& c : s.children) SetNulls(c, nulls);
}

bool IsNullValue(const Value& v) {
  return v.IsNull() || (v.kind == Value::Object && v.obj && v.obj->atomicNull);
}

OCIColl::Elem NewElem(OCIEnv* env, const OCIType* t) {
  OCIColl::Elem e;
  size_t bytes = std::max<size_t>(t->size, sizeof(void*));
  e.cell.reset(new char[bytes]());
  e.nulls.assign(t->nullCount, OCI_IND_NULL);
  InitCells(env, t->element, e.cell.get());
  return e;
}

// The value of a LOB attribute's locator: the text or bytes, or a BFILE's "DIRECTORY/file name".
Value LobValue(const Slot& s, const OCILobLocator* l) {
  if (!l || !l->init) return Value();
  if (s.desc.type == Ty::Bfile)
    return l->directory.empty() ? Value() : Value::MakeText(l->directory + "/" + l->fileName);
  return s.desc.type == Ty::Clob ? Value::MakeText(l->data) : Value::MakeBytes(l->data);
}

DateTime DateCell(const char* cell) {
  OCIDate d;
  std::memcpy(&d, cell, sizeof d);
  return FromOCIDate(d);
}

void StoreDateCell(const DateTime& dt, char* cell) {
  OCIDate d = ToOCIDate(dt);
  std::memcpy(cell, &d, sizeof d);
}

}  // namespace

InstanceItem::InstanceItem(OCIEnv* e, OCIType* t) : HandleBase(kItemInstance, e), type(t) {
  data.reset(new char[std::max<size_t>(t->size, sizeof(void*))]());
  nulls.assign(t->nullCount, OCI_IND_NULL);
  nulls[0] = OCI_IND_NOTNULL;
}

namespace oracle_sim::oci {

bool InEnv(OCIEnv* env, const void* h) {
  if (!env || !h) return false;
  std::lock_guard<std::mutex> g(env->lock);
  return env->children.count(static_cast<HandleBase*>(const_cast<void*>(h))) > 0;
}

HandleBase* FindItem(const void* address) {
  if (!address) return nullptr;
  std::lock_guard<std::mutex> g(itemLock);
  auto it = Items().find(address);
  return it == Items().end() ? nullptr : it->second;
}

void AddItem(const void* address, HandleBase* item) {
  std::lock_guard<std::mutex> g(itemLock);
  Items()[address] = item;
}

namespace {

void Forget(const void* address) {
  std::lock_guard<std::mutex> g(itemLock);
  Items().erase(address);
}

}  // namespace

void FreeItem(HandleBase* item) {
  switch (item->type) {
    case kItemType:
      return;  // types stay with their environment
    case kItemRef:
      if (static_cast<OCIRef*>(item)->ofType) return;  // a type's own REF, freed with the type
      Forget(item);
      break;
    case kItemInstance: {
      auto* inst = static_cast<InstanceItem*>(item);
      Forget(inst->data.get());
      ForgetPinned(inst);
      if (inst->type->desc.kind == TypeDesc::Kind::Object)
        FreeCells(inst->env, inst->type->root, inst->data.get());
      break;
    }
    case kItemColl: {
      auto* c = static_cast<OCIColl*>(item);
      Forget(c);
      for (OCIColl::Elem& e : c->elems) FreeCells(c->env, c->type->element, e.cell.get());
      break;
    }
    default:
      Forget(item);
      break;
  }
  delete item;
}

void ReleaseObjects(OCIEnv* env) {
  std::vector<HandleBase*> mine;
  {
    std::lock_guard<std::mutex> g(itemLock);
    for (auto it = Items().begin(); it != Items().end();) {
      if (it->second->env == env) {
        mine.push_back(it->second);
        it = Items().erase(it);
      } else {
        ++it;
      }
    }
    Envs().erase(env);
  }
  ForgetTypes(env);
  for (HandleBase* h : mine) delete h;
}

// A new item registered under its own address.
template <typename T, typename... Args>
T* NewItem(Args... args) {
  auto* item = new T(args...);
  AddItem(item, item);
  return item;
}

OCIString* NewString(OCIEnv* env) {
  return NewItem<OCIString>(env);
}

OCIRaw* NewRaw(OCIEnv* env) {
  return NewItem<OCIRaw>(env);
}

OCIRef* NewRef(OCIEnv* env) {
  return NewItem<OCIRef>(env);
}

void* NewInstance(OCIEnv* env, OCIType* type) {
  if (type->desc.kind == TypeDesc::Kind::VArray || type->desc.kind == TypeDesc::Kind::NestedTable)
    return NewItem<OCIColl>(env, type);
  auto item = std::make_unique<InstanceItem>(env, type);
  void* data = item->data.get();
  if (type->desc.kind == TypeDesc::Kind::Object) InitCells(env, type->root, item->data.get());
  AddItem(data, item.release());
  return data;
}

sb2* InstanceNulls(void* instance) {
  HandleBase* h = FindItem(instance);
  if (!h) return nullptr;
  if (h->type == kItemInstance) return static_cast<InstanceItem*>(h)->nulls.data();
  if (h->type == kItemColl) return static_cast<OCIColl*>(h)->nulls.data();
  return nullptr;
}

OCIType* InstanceType(void* instance) {
  HandleBase* h = FindItem(instance);
  if (!h) return nullptr;
  if (h->type == kItemInstance) return static_cast<InstanceItem*>(h)->type;
  if (h->type == kItemColl) return static_cast<OCIColl*>(h)->type;
  return nullptr;
}

Session& EngineOf(OCISvcCtx* svc) {
  Session* s = svc ? svc->Engine() : nullptr;
  if (!s) throw MakeError(1012, "not logged on");
  return *s;
}

OCISvcCtx* ObjectSvc(OCIEnv* env, OCISvcCtx* svc) {
  if (svc && InEnv(env, svc)) {
    std::lock_guard<std::mutex> g(itemLock);
    Envs()[env].lastSvc = svc;
    return svc;
  }
  OCISvcCtx* last = nullptr;
  {
    std::lock_guard<std::mutex> g(itemLock);
    auto it = Envs().find(env);
    if (it != Envs().end()) last = it->second.lastSvc;
  }
  if (last && InEnv(env, last)) return last;
  throw MakeError(1012, "not logged on");
}

InstanceItem* FindPinned(OCIEnv* env, OCISvcCtx* svc, const std::string& ref) {
  std::lock_guard<std::mutex> g(itemLock);
  auto e = Envs().find(env);
  if (e == Envs().end()) return nullptr;
  auto it = e->second.pinned.find({svc, ref});
  return it == e->second.pinned.end() ? nullptr : it->second;
}

void AddPinned(InstanceItem* inst) {
  std::lock_guard<std::mutex> g(itemLock);
  Envs()[inst->env].pinned[{inst->state.svc, inst->state.ref}] = inst;
}

void ForgetPinned(InstanceItem* inst) {
  if (!inst->state.persistent) return;
  std::lock_guard<std::mutex> g(itemLock);
  auto e = Envs().find(inst->env);
  if (e == Envs().end()) return;
  auto it = e->second.pinned.find({inst->state.svc, inst->state.ref});
  if (it != e->second.pinned.end() && it->second == inst) e->second.pinned.erase(it);
}

void ReleaseObjectLocks(OCISvcCtx* svc) {
  std::lock_guard<std::mutex> g(itemLock);
  for (auto& [address, h] : Items()) {
    if (h->env != svc->env || h->type != kItemInstance) continue;
    ObjectState& st = static_cast<InstanceItem*>(h)->state;
    if (st.svc == svc) st.locked = false;
  }
}

std::vector<InstanceItem*> DirtyObjects(OCIEnv* env) {
  std::vector<InstanceItem*> out;
  std::lock_guard<std::mutex> g(itemLock);
  for (auto& [address, h] : Items()) {
    if (h->env != env || h->type != kItemInstance) continue;
    auto* inst = static_cast<InstanceItem*>(h);
    if (inst->state.persistent && inst->state.dirty && !inst->state.gone) out.push_back(inst);
  }
  return out;
}

// ---- Conversion

Value SlotValue(const Slot& s, const char* base, const sb2* nulls) {
  if (nulls[s.nullIndex] < 0) return Value();
  const char* cell = base + s.offset;
  switch (s.kind) {
    case CellKind::String: {
      auto* p = FindItemAs<OCIString>(LoadPtr(cell), kItemString);
      return p ? Value::MakeText(p->text) : Value();
    }
    case CellKind::Number: {
      auto len = static_cast<ub1>(cell[0]);
      if (len == 0 || len > 21) return Value();
      return DecodeNumber(reinterpret_cast<const ub1*>(cell) + 1, len);
    }
    case CellKind::Date:
      return Value::MakeDate(DateCell(cell));
    case CellKind::Raw: {
      auto* p = FindItemAs<OCIRaw>(LoadPtr(cell), kItemRaw);
      return p ? Value::MakeBytes(p->bytes) : Value();
    }
    case CellKind::Lob:
      return LobValue(s, AsLob(LoadPtr(cell)));
    case CellKind::DateTime: {
      OCIDateTime* d = AsDateTime(LoadPtr(cell));
      if (!d) return Value();
      DateTime dt = d->value;
      if (s.desc.type != Ty::TimestampTZ) {
        dt.hasTz = false;
        dt.tzMinutes = 0;
      }
      return Value::MakeDate(dt);
    }
    case CellKind::Ref: {
      auto* r = FindItemAs<OCIRef>(LoadPtr(cell), kItemRef);
      return r ? Value::MakeRef(r->bytes) : Value();
    }
    case CellKind::Inline: {
      ObjectValue ov;
      ov.typeSchema = s.type->desc.schema;
      ov.typeName = s.type->desc.name;
      ov.items.reserve(s.children.size());
      for (const Slot& c : s.children) ov.items.push_back(SlotValue(c, base, nulls));
      return Value::MakeObject(std::move(ov));
    }
    case CellKind::Instance:
    case CellKind::Coll: {
      void* p = LoadPtr(cell);
      return FindItem(p) ? InstanceValue(p) : Value();
    }
  }
  return Value();
}

Value InstanceValue(void* instance) {
  HandleBase* h = FindItem(instance);
  if (h && h->type == kItemInstance) {
    auto* inst = static_cast<InstanceItem*>(h);
    if (inst->nulls[0] < 0) return Value();
    if (inst->type->desc.kind == TypeDesc::Kind::Opaque) {
      ObjectValue ov;
      ov.typeSchema = inst->type->desc.schema;
      ov.typeName = inst->type->desc.name;
      ov.xml = inst->state.xml;
      return Value::MakeObject(std::move(ov));
    }
    return SlotValue(inst->type->root, inst->data.get(), inst->nulls.data());
  }
  if (h && h->type == kItemColl) {
    auto* c = static_cast<OCIColl*>(h);
    if (c->nulls[0] < 0) return Value();
    ObjectValue ov;
    ov.typeSchema = c->type->desc.schema;
    ov.typeName = c->type->desc.name;
    ov.items.reserve(c->elems.size());
    for (const OCIColl::Elem& e : c->elems)
      if (e.exists) ov.items.push_back(SlotValue(c->type->element, e.cell.get(), e.nulls.data()));
    return Value::MakeObject(std::move(ov));
  }
  NotAnObject();
}

void FillSlot(const ObjectContext& cx, const Slot& s, char* base, sb2* nulls, const Value& v) {
  char* cell = base + s.offset;
  const bool isNull = IsNullValue(v);
  if (s.kind == CellKind::Instance || s.kind == CellKind::Coll) {
    void* p = LoadPtr(cell);
    if (!FindItem(p)) {
      p = NewInstance(cx.env, s.type);
      StorePtr(cell, p);
    }
    FillInstance(cx, p, v);
    nulls[s.nullIndex] = isNull ? OCI_IND_NULL : OCI_IND_NOTNULL;
    return;
  }
  if (isNull) {
    SetNulls(s, nulls);
    return;
  }
  std::string scratch;
  switch (s.kind) {
    case CellKind::Inline: {
      if (v.kind != Value::Object) throw MakeError(932, "inconsistent datatypes");
      const std::vector<Value>& items = v.obj->items;
      static const Value kNull;
      for (size_t i = 0; i < s.children.size(); ++i)
        FillSlot(cx, s.children[i], base, nulls, i < items.size() ? items[i] : kNull);
      break;
    }
    case CellKind::String:
      CellItem<OCIString>(cx.env, cell, kItemString, NewString)->text = Payload(v, scratch);
      break;
    case CellKind::Number: {
      std::string n = EncodeNumber(v);
      cell[0] = static_cast<char>(n.size());
      std::memcpy(cell + 1, n.data(), n.size());
      break;
    }
    case CellKind::Date:
      if (v.kind != Value::Date) throw MakeError(932, "inconsistent datatypes");
      StoreDateCell(v.dt, cell);
      break;
    case CellKind::Raw:
      CellItem<OCIRaw>(cx.env, cell, kItemRaw, NewRaw)->bytes = Payload(v, scratch);
      break;
    case CellKind::Lob: {
      OCILobLocator* l = AsLob(LoadPtr(cell));
      if (!l) {
        l = static_cast<OCILobLocator*>(NewDescriptor(cx.env, LobDescriptorType(s.desc.type)));
        StorePtr(cell, l);
      }
      l->init = true;
      l->lobType = LobType(s.desc.type);
      l->temporary = false;
      l->inObject = true;
      if (s.desc.type == Ty::Bfile) {  // "DIRECTORY/file name"
        const std::string& name = Payload(v, scratch);
        size_t slash = name.find('/');
        if (slash == std::string::npos) throw MakeError(932, "inconsistent datatypes");
        l->directory = name.substr(0, slash);
        l->fileName = name.substr(slash + 1);
        l->fileOpen = false;
        l->data.clear();
      } else {
        l->data = Payload(v, scratch);
      }
      break;
    }
    case CellKind::DateTime: {
      if (v.kind != Value::Date) throw MakeError(932, "inconsistent datatypes");
      OCIDateTime* d = AsDateTime(LoadPtr(cell));
      if (!d) {
        d = static_cast<OCIDateTime*>(NewDescriptor(cx.env, DateTimeDescriptorType(s.desc.type)));
        StorePtr(cell, d);
      }
      d->value = v.dt;
      if (s.desc.type != Ty::TimestampTZ) {
        d->value.hasTz = false;
        d->value.tzMinutes = 0;
      }
      break;
    }
    case CellKind::Ref: {
      if (v.kind != Value::Ref) throw MakeError(932, "inconsistent datatypes");
      CellItem<OCIRef>(cx.env, cell, kItemRef, NewRef)->Set(kRefToRow, v.s, cx.svc);
      break;
    }
    default:
      break;
  }
  nulls[s.nullIndex] = OCI_IND_NOTNULL;
}

void FillInstance(const ObjectContext& cx, void* instance, const Value& v) {
  HandleBase* h = FindItem(instance);
  const bool isNull = IsNullValue(v);
  if (!isNull && v.kind != Value::Object) throw MakeError(932, "inconsistent datatypes");
  if (h && h->type == kItemInstance) {
    auto* inst = static_cast<InstanceItem*>(h);
    if (inst->type->desc.kind == TypeDesc::Kind::Opaque) {
      inst->state.xml = isNull ? std::string() : v.obj->xml;
      inst->nulls[0] = isNull ? OCI_IND_NULL : OCI_IND_NOTNULL;
      return;
    }
    FillSlot(cx, inst->type->root, inst->data.get(), inst->nulls.data(), v);
    return;
  }
  if (h && h->type == kItemColl) {
    auto* c = static_cast<OCIColl*>(h);
    size_t n = isNull ? 0 : v.obj->items.size();
    while (c->elems.size() > n) {
      FreeCells(c->env, c->type->element, c->elems.back().cell.get());
      c->elems.pop_back();
    }
    while (c->elems.size() < n) c->elems.push_back(NewElem(c->env, c->type));
    for (size_t i = 0; i < n; ++i) {
      c->elems[i].exists = true;
      FillSlot(cx, c->type->element, c->elems[i].cell.get(), c->elems[i].nulls.data(), v.obj->items[i]);
    }
    c->nulls[0] = isNull ? OCI_IND_NULL : OCI_IND_NOTNULL;
    return;
  }
  NotAnObject();
}

namespace {

// The item a program passes: its address, or the address of a cell holding it.
template <typename T>
T* PassedItem(const void* p, ub4 kind) {
  if (T* x = FindItemAs<T>(p, kind)) return x;
  return p ? FindItemAs<T>(LoadPtr(p), kind) : nullptr;
}

template <typename T>
T* PassedDescriptor(OCIEnv* env, const void* p, T* (*as)(const void*)) {
  if (InEnv(env, p)) return as(p);
  void* q = p ? LoadPtr(p) : nullptr;
  return InEnv(env, q) ? as(q) : nullptr;
}

[[noreturn]] void BadValue() {
  throw MakeError(21560, "argument is null, invalid, or out of range");
}

}  // namespace

Value PassedValue(OCIEnv* env, const Slot& s, const void* value, const void* ind) {
  if (s.kind != CellKind::Inline && ind && *static_cast<const sb2*>(ind) < 0) return Value();
  if (!value) BadValue();
  static const sb2 kNotNull[1] = {OCI_IND_NOTNULL};
  switch (s.kind) {
    case CellKind::String:
      if (auto* p = PassedItem<OCIString>(value, kItemString)) return Value::MakeText(p->text);
      BadValue();
    case CellKind::Raw:
      if (auto* p = PassedItem<OCIRaw>(value, kItemRaw)) return Value::MakeBytes(p->bytes);
      BadValue();
    case CellKind::Ref:
      if (auto* p = PassedItem<OCIRef>(value, kItemRef)) return Value::MakeRef(p->bytes);
      BadValue();
    case CellKind::Lob: {
      OCILobLocator* l = PassedDescriptor<OCILobLocator>(env, value, AsLob);
      if (!l) BadValue();
      return LobValue(s, l);
    }
    case CellKind::DateTime: {
      OCIDateTime* d = PassedDescriptor<OCIDateTime>(env, value, AsDateTime);
      if (!d) BadValue();
      return Value::MakeDate(d->value);
    }
    case CellKind::Number:
    case CellKind::Date: {
      Slot scalar = s;
      scalar.offset = 0;
      scalar.nullIndex = 0;
      return SlotValue(scalar, static_cast<const char*>(value), kNotNull);
    }
    case CellKind::Inline: {
      if (FindItem(value)) return InstanceValue(const_cast<void*>(value));
      if (!ind) BadValue();
      return SlotValue(s.type->root, static_cast<const char*>(value), static_cast<const sb2*>(ind));
    }
    case CellKind::Instance:
    case CellKind::Coll: {
      if (FindItem(value)) return InstanceValue(const_cast<void*>(value));
      void* q = LoadPtr(value);
      if (FindItem(q)) return InstanceValue(q);
      BadValue();
    }
  }
  BadValue();
}

OCIColl::Elem NewElement(OCIEnv* env, const OCIType* collType) {
  return NewElem(env, collType);
}

void FreeElement(OCIColl* c, OCIColl::Elem& e) {
  FreeCells(c->env, c->type->element, e.cell.get());
}

}  // namespace oracle_sim::oci
