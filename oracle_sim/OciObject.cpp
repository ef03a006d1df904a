// The object calls: new, pin and free of instances, their null structures, marks, flush and
// refresh of persistent objects, attribute access, and objects and REFs as bind and define values.
#include "oracle_sim/OciObject.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace {

InstanceItem* RequireInstance(void* p) {
  auto* inst = FindItemAs<InstanceItem>(p, kItemInstance);
  if (!inst) NotAnObject();
  return inst;
}

// The shape of the calls that work on one instance: checks the handles, then runs `body` on the
// instance under the error guard.
template <typename F>
sword OnInstance(OCIEnv* env, OCIError* err, void* object, F&& body) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    body(RequireInstance(object));
    return OCI_SUCCESS;
  });
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// Sends a dirty persistent object to the server: a new row, the row's new value, or its deletion.
void FlushOne(InstanceItem* inst) {
  ObjectState& st = inst->state;
  if (!st.persistent || !st.dirty || st.gone) return;
  OCISvcCtx* svc = ObjectSvc(inst->env, st.svc);
  Session& s = EngineOf(svc);
  if (st.deleted) {
    if (!st.isNew) s.DeleteObject(st.ref);
    ForgetPinned(inst);
    st.gone = true;
  } else if (st.isNew) {
    st.ref = s.InsertObject(st.schema, st.table, InstanceValue(inst->data.get()));
    st.svc = svc;
    st.isNew = false;
    AddPinned(inst);
  } else {
    s.FlushObject(st.ref, InstanceValue(inst->data.get()));
  }
  st.dirty = false;
}

// The value of a persistent object as its row holds it now (taking the row lock when asked).
void Reload(InstanceItem* inst, bool lock) {
  OCISvcCtx* svc = ObjectSvc(inst->env, inst->state.svc);
  Value v = EngineOf(svc).PinObject(inst->state.ref, lock);
  FillInstance(ObjectContext{inst->env, svc}, inst->data.get(), v);
  inst->state.dirty = false;
  inst->state.deleted = false;
  if (lock) inst->state.locked = true;
}

// An attribute reached through a path of names from an instance.
struct AttrPlace {
  const Slot* slot;
  char* base;
  sb2* nulls;
};

AttrPlace FindAttr(void* instance, sb2* nulls, OCIType* type, const text** names, const ub4* lengths,
                   ub4 count) {
  if (!type) type = InstanceType(instance);
  if (!type || type->desc.kind != TypeDesc::Kind::Object) BadArgument(5);
  if (!instance) NotAnObject();
  if (!nulls) nulls = InstanceNulls(instance);
  if (!nulls) BadArgument(4);
  if (!names || count == 0) BadArgument(6);
  AttrPlace at{&type->root, static_cast<char*>(instance), nulls};
  for (ub4 k = 0; k < count; ++k) {
    if (at.slot->kind == CellKind::Instance) {  // a NOT FINAL object: its own instance
      auto* inner = FindItemAs<InstanceItem>(LoadPtr(at.base + at.slot->offset), kItemInstance);
      if (!inner || inner->type->desc.kind != TypeDesc::Kind::Object) NotAnObject();
      at = AttrPlace{&inner->type->root, inner->data.get(), inner->nulls.data()};
    }
    std::string name = ArgText(names[k], lengths ? static_cast<sb4>(lengths[k]) : -1);
    const Slot* found = nullptr;
    if (at.slot->kind == CellKind::Inline)
      for (const Slot& c : at.slot->children)
        if (SameName(c.desc.name, name)) found = &c;
    if (!found) throw MakeError(904, "\"" + UpperCase(name) + "\": invalid identifier");
    at.slot = found;
  }
  return at;
}

// Where row `i`'s instance (or REF) pointer of a bind or define is.
char* PointerCell(dvoid** objValues, dvoid* valuep, ub4 skip, ub4 i) {
  char* base = objValues ? reinterpret_cast<char*>(objValues) : static_cast<char*>(valuep);
  if (!base) return nullptr;
  return base + static_cast<size_t>(skip && !objValues ? skip : sizeof(void*)) * i;
}

void StoreIndicator(dvoid* indp, ub4 skip, ub4 i, sb2 value) {
  if (!indp) return;
  char* at = static_cast<char*>(indp) + static_cast<size_t>(skip ? skip : sizeof(sb2)) * i;
  std::memcpy(at, &value, sizeof value);
}

// Writes a REF value into the OCIRef* a cell holds (allocating one when it holds none).
void StoreRef(OCIEnv* env, OCISvcCtx* svc, char* cell, const Value& v) {
  OCIRef* r = CellItem<OCIRef>(env, cell, kItemRef, NewRef);
  r->Set(kRefToRow, v.kind == Value::Ref ? v.s : std::string(), svc);
  if (!v.IsNull() && v.kind != Value::Ref) throw MakeError(932, "inconsistent datatypes");
}

// Writes an object value into the instance a cell points at (a new one when it points at none of
// the type).
void* StoreObject(OCIEnv* env, OCISvcCtx* svc, OCIType* type, char* cell, const Value& v) {
  void* p = LoadPtr(cell);
  if (!FindItem(p) || InstanceType(p) != type) {
    p = NewInstance(env, type);
    StorePtr(cell, p);
  }
  FillInstance(ObjectContext{env, svc}, p, v);
  return p;
}

void CheckValueType(const OCIType* type, const Value& v) {
  if (v.kind != Value::Object || !v.obj || v.obj->typeName.empty()) return;
  if (!SameName(v.obj->typeName, type->desc.name) ||
      (!v.obj->typeSchema.empty() && !SameName(v.obj->typeSchema, type->desc.schema)))
    throw MakeError(932, "inconsistent datatypes: expected " + type->fullName + " got " + v.obj->typeSchema +
                             "." + v.obj->typeName);
}

}  // namespace

namespace oracle_sim::oci {

bool IsObjectType(ub2 dty) {
  return dty == SQLT_NTY || dty == SQLT_REF;
}

Value ReadObjectBind(OCIStmt*, OCIBind* b, ub4 i) {
  char* cell = PointerCell(b->objValue, b->valuep, b->valueSkip, i);
  void* p = cell ? LoadPtr(cell) : nullptr;
  if (!p) return Value();
  if (b->dty == SQLT_REF) {
    auto* r = FindItemAs<OCIRef>(p, kItemRef);
    if (!r) NotAnObject();
    return r->kind == kRefToRow ? Value::MakeRef(r->bytes) : Value();
  }
  return InstanceValue(p);
}

void WriteObjectBind(OCIStmt* st, OCIBind* b, const Value& v, ub4 i) {
  StoreIndicator(b->indp, b->indSkip, i, v.IsNull() ? OCI_IND_NULL : OCI_IND_NOTNULL);
  char* cell = PointerCell(b->objValue, b->valuep, b->valueSkip, i);
  if (!cell) return;
  if (b->dty == SQLT_REF) {
    StoreRef(st->env, st->svc, cell, v);
    return;
  }
  OCIType* type = AsType(b->objType);
  if (!type) type = InstanceType(LoadPtr(cell));
  if (!type && v.kind == Value::Object)
    type = TypeNamed(st->env, st->svc, v.obj->typeSchema, v.obj->typeName);
  if (!type) return;  // a null value and nothing to write it into
  CheckValueType(type, v);
  void* p = StoreObject(st->env, st->svc, type, cell, v);
  if (b->objNulls) StorePtr(reinterpret_cast<char*>(b->objNulls) + sizeof(void*) * i, InstanceNulls(p));
}

void WriteObjectDefine(OCIStmt* st, OCIDefine* d, ub4 row, const Value& v, size_t column) {
  const bool isNull = v.IsNull();
  StoreIndicator(d->indp, d->indSkip, row, isNull ? OCI_IND_NULL : OCI_IND_NOTNULL);
  if (d->rlenp) {
    ub2 len = isNull ? 0 : static_cast<ub2>(sizeof(void*));
    std::memcpy(reinterpret_cast<char*>(d->rlenp) + static_cast<size_t>(d->rlenSkip ? d->rlenSkip : 2) * row,
                &len, sizeof len);
  }
  char* cell = PointerCell(d->objValues, d->valuep, d->valueSkip, row);
  if (!cell) return;
  if (d->dty == SQLT_REF) {
    StoreRef(st->env, st->svc, cell, v);
    return;
  }
  OCIType* type = AsType(d->objType);
  if (!type) {
    const ColumnDesc& c = st->cursor->Describe().at(column);
    if (c.type != Ty::Object) throw MakeError(932, "inconsistent datatypes");
    type = TypeNamed(st->env, st->svc, c.typeSchema, c.typeName);
    d->objType = type;
  }
  CheckValueType(type, v);
  void* p = StoreObject(st->env, st->svc, type, cell, v);
  if (d->objNulls) StorePtr(reinterpret_cast<char*>(d->objNulls) + sizeof(void*) * row, InstanceNulls(p));
}

}  // namespace oracle_sim::oci

extern "C" {

sword OCIBindObject(OCIBind* bindp, OCIError* errhp, const OCIType* type, dvoid** pgvpp, ub4*, dvoid** indpp,
                    ub4*) {
  if (!IsHandle(bindp, OCI_HTYPE_BIND)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!IsObjectType(bindp->dty)) throw MakeError(932, "inconsistent datatypes");
    if (type && !AsType(type)) BadArgument(3);
    if (bindp->dty == SQLT_NTY && !type) BadArgument(3);
    bindp->objType = type;
    bindp->objValue = pgvpp;
    bindp->objNulls = indpp;
    return OCI_SUCCESS;
  });
}

sword OCIDefineObject(OCIDefine* defnp, OCIError* errhp, const OCIType* type, dvoid** pgvpp, ub4*,
                      dvoid** indpp, ub4*) {
  if (!IsHandle(defnp, OCI_HTYPE_DEFINE)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (!IsObjectType(defnp->dty)) throw MakeError(932, "inconsistent datatypes");
    if (type && !AsType(type)) BadArgument(3);
    defnp->objType = type;
    defnp->objValues = pgvpp;
    defnp->objNulls = indpp;
    return OCI_SUCCESS;
  });
}

sword OCIObjectNew(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, OCITypeCode typecode, OCIType* tdo,
                   dvoid* table, OCIDuration, boolean, dvoid** instance) {
  if (!EnvArgs(env, err) || !instance) return OCI_INVALID_HANDLE;
  void* made = nullptr;
  sword rc = Guard(err, [&]() -> sword {
    auto* s = IsHandle(svc, OCI_HTYPE_SVCCTX) ? const_cast<OCISvcCtx*>(svc) : nullptr;
    if (s) ObjectSvc(env, s);
    switch (typecode) {
      case OCI_TYPECODE_REF: {
        OCIRef* r = NewRef(env);
        r->svc = s;
        made = r;
        return OCI_SUCCESS;
      }
      case OCI_TYPECODE_VARCHAR:
      case OCI_TYPECODE_VARCHAR2:
      case OCI_TYPECODE_CHAR:
        made = NewString(env);
        return OCI_SUCCESS;
      case OCI_TYPECODE_RAW:
      case SQLT_BIN:
        made = NewRaw(env);
        return OCI_SUCCESS;
      case OCI_TYPECODE_CLOB:
      case OCI_TYPECODE_BLOB:
      case OCI_TYPECODE_BFILE: {
        dvoid* d = nullptr;
        if (OCIDescriptorAlloc(env, &d, typecode == OCI_TYPECODE_BFILE ? OCI_DTYPE_FILE : OCI_DTYPE_LOB, 0,
                               nullptr) != OCI_SUCCESS)
          throw MakeError(4030, "out of process memory when trying to allocate memory");
        auto* l = static_cast<OCILobLocator*>(d);
        l->init = true;
        l->inObject = true;
        l->lobType = static_cast<ub1>(typecode);
        made = l;
        return OCI_SUCCESS;
      }
      case OCI_TYPECODE_TIMESTAMP:
      case OCI_TYPECODE_TIMESTAMP_TZ:
      case OCI_TYPECODE_TIMESTAMP_LTZ: {
        dvoid* d = nullptr;
        ub4 kind = typecode == OCI_TYPECODE_TIMESTAMP_TZ    ? OCI_DTYPE_TIMESTAMP_TZ
                   : typecode == OCI_TYPECODE_TIMESTAMP_LTZ ? OCI_DTYPE_TIMESTAMP_LTZ
                                                            : OCI_DTYPE_TIMESTAMP;
        if (OCIDescriptorAlloc(env, &d, kind, 0, nullptr) != OCI_SUCCESS)
          throw MakeError(4030, "out of process memory when trying to allocate memory");
        made = d;
        return OCI_SUCCESS;
      }
      case OCI_TYPECODE_OBJECT:
      case OCI_TYPECODE_NAMEDCOLLECTION:
      case OCI_TYPECODE_OPAQUE:
      case OCI_TYPECODE_VARRAY:
      case OCI_TYPECODE_TABLE:
        break;
      default:
        BadArgument(4);
    }
    OCIType* type = AsType(tdo);
    if (!type) BadArgument(5);
    TableItem* tab = nullptr;
    if (table) {
      tab = FindItemAs<TableItem>(table, kItemTable);
      if (!tab || type->desc.kind != TypeDesc::Kind::Object) BadArgument(6);
    }
    void* p = NewInstance(env, type);
    if (tab) {
      ObjectState& st = FindItemAs<InstanceItem>(p, kItemInstance)->state;
      st.persistent = st.isNew = st.dirty = true;
      st.schema = tab->schema;
      st.table = tab->table;
      st.svc = tab->svc;
      st.pins = 1;
    }
    made = p;
    return OCI_SUCCESS;
  });
  StorePtr(instance, made);  // the program's cell may lie unaligned in an instance
  return rc;
}

sword OCIObjectPinTable(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* schema_name,
                        ub4 s_n_length, const text* object_name, ub4 o_n_length, const OCIRef*, OCIDuration,
                        dvoid** object) {
  if (!EnvArgs(env, err) || !IsHandle(svc, OCI_HTYPE_SVCCTX) || !object) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    auto* s = ObjectSvc(env, const_cast<OCISvcCtx*>(svc));
    std::string schema = ArgText(schema_name, schema_name ? static_cast<sb4>(s_n_length) : 0);
    std::string name = ArgText(object_name, static_cast<sb4>(o_n_length));
    if (name.empty()) BadArgument(6);
    auto [owner, table] = EngineOf(s).ObjectTable(schema, name);
    auto* t = new TableItem(env);
    t->schema = owner;
    t->table = table;
    t->svc = s;
    AddItem(t, t);
    *object = t;
    return OCI_SUCCESS;
  });
}

sword OCIObjectPin(OCIEnv* env, OCIError* err, OCIRef* object_ref, OCIComplexObject*, OCIPinOpt pin_option,
                   OCIDuration, OCILockOpt lock_option, dvoid** object) {
  if (!EnvArgs(env, err) || !object) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    auto* r = FindItemAs<OCIRef>(object_ref, kItemRef);
    if (!r || r->bytes.empty()) BadArgument(3);
    if (r->kind == kRefToType) {
      *object = TypeByOid(env, r->svc, r->bytes);
      return OCI_SUCCESS;
    }
    OCISvcCtx* svc = ObjectSvc(env, r->svc);
    const bool lock = lock_option != OCI_LOCK_NONE && lock_option != 0;
    if (InstanceItem* inst = FindPinned(env, svc, r->bytes); inst && !inst->state.gone) {
      if (pin_option == OCI_PIN_LATEST) {
        Reload(inst, lock);
      } else if (lock && !inst->state.locked) {
        EngineOf(svc).PinObject(r->bytes, true);
        inst->state.locked = true;
      }
      ++inst->state.pins;
      *object = inst->data.get();
      return OCI_SUCCESS;
    }
    Value v = EngineOf(svc).PinObject(r->bytes, lock);
    if (v.kind != Value::Object) throw MakeError(21700, "object does not exist or is marked for delete");
    OCIType* type = TypeNamed(env, svc, v.obj->typeSchema, v.obj->typeName);
    void* p = NewInstance(env, type);
    InstanceItem* inst = RequireInstance(p);
    FillInstance(ObjectContext{env, svc}, p, v);
    inst->state.persistent = true;
    inst->state.ref = r->bytes;
    inst->state.svc = svc;
    inst->state.pins = 1;
    inst->state.locked = lock;
    AddPinned(inst);
    *object = p;
    return OCI_SUCCESS;
  });
}

sword OCIObjectUnpin(OCIEnv* env, OCIError* err, dvoid* object) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    HandleBase* h = FindItem(object);
    if (!h) NotAnObject();
    if (h->type == kItemInstance) {
      ObjectState& st = static_cast<InstanceItem*>(h)->state;
      st.pins = std::max(0, st.pins - 1);
    }
    return OCI_SUCCESS;
  });
}

sword OCIObjectFree(OCIEnv* env, OCIError* err, dvoid* instance, ub2) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    if (HandleBase* h = FindItem(instance)) {
      FreeItem(h);
      return OCI_SUCCESS;
    }
    if (InEnv(env, instance) && (AsLob(instance) || AsDateTime(instance)))
      return OCIDescriptorFree(instance, static_cast<HandleBase*>(instance)->type);
    NotAnObject();
  });
}

sword OCIObjectGetInd(OCIEnv* env, OCIError* err, dvoid* instance, dvoid** null_struct) {
  if (!EnvArgs(env, err) || !null_struct) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    sb2* nulls = InstanceNulls(instance);
    if (!nulls) NotAnObject();
    *null_struct = nulls;
    return OCI_SUCCESS;
  });
}

sword OCIObjectMarkUpdate(OCIEnv* env, OCIError* err, dvoid* object) {
  return OnInstance(env, err, object, [&](InstanceItem* inst) {
    if (inst->state.gone) throw MakeError(21700, "object does not exist or is marked for delete");
    inst->state.dirty = true;
  });
}

sword OCIObjectUnmark(OCIEnv* env, OCIError* err, dvoid* object) {
  return OnInstance(env, err, object, [&](InstanceItem* inst) {
    inst->state.dirty = inst->state.isNew;  // a new object still has to reach its table
    inst->state.deleted = false;
  });
}

sword OCIObjectMarkDelete(OCIEnv* env, OCIError* err, dvoid* instance) {
  return OnInstance(env, err, instance, [&](InstanceItem* inst) {
    if (!inst->state.persistent) NotAnObject();
    inst->state.deleted = true;
    inst->state.dirty = true;
  });
}

sword OCIObjectFlush(OCIEnv* env, OCIError* err, dvoid* object) {
  return OnInstance(env, err, object, FlushOne);
}

sword OCIObjectRefresh(OCIEnv* env, OCIError* err, dvoid* object) {
  return OnInstance(env, err, object, [&](InstanceItem* inst) {
    if (inst->state.persistent && !inst->state.isNew && !inst->state.gone) Reload(inst, false);
  });
}

sword OCIObjectIsDirty(OCIEnv* env, OCIError* err, dvoid* ins, boolean* dirty) {
  if (!dirty) return OCI_INVALID_HANDLE;
  return OnInstance(env, err, ins, [&](InstanceItem* inst) { *dirty = inst->state.dirty ? TRUE : FALSE; });
}

sword OCIObjectExists(OCIEnv* env, OCIError* err, dvoid* ins, boolean* exist) {
  if (!exist) return OCI_INVALID_HANDLE;
  return OnInstance(env, err, ins, [&](InstanceItem* inst) { *exist = inst->state.gone ? FALSE : TRUE; });
}

sword OCIObjectIsLocked(OCIEnv* env, OCIError* err, dvoid* ins, boolean* lock) {
  if (!lock) return OCI_INVALID_HANDLE;
  return OnInstance(env, err, ins, [&](InstanceItem* inst) { *lock = inst->state.locked ? TRUE : FALSE; });
}

sword OCIObjectLock(OCIEnv* env, OCIError* err, dvoid* object) {
  return OnInstance(env, err, object, [&](InstanceItem* inst) {
    ObjectState& st = inst->state;
    if (!st.persistent || st.isNew || st.locked) return;
    if (st.gone) throw MakeError(21700, "object does not exist or is marked for delete");
    EngineOf(ObjectSvc(env, st.svc)).PinObject(st.ref, true);
    st.locked = true;
  });
}

sword OCIObjectCopy(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, dvoid* source, dvoid* null_source,
                    dvoid* target, dvoid* null_target, OCIType* tdo, OCIDuration, ub1) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIType* type = AsType(tdo);
    if (!type) type = InstanceType(source);
    if (!type) BadArgument(8);
    if (!source) BadArgument(4);
    if (!target) BadArgument(6);
    const bool isObject = type->desc.kind == TypeDesc::Kind::Object;
    Value v;
    if (FindItem(source)) {
      v = InstanceValue(source);
    } else if (isObject && null_source) {
      v = SlotValue(type->root, static_cast<const char*>(source), static_cast<const sb2*>(null_source));
    } else {
      NotAnObject();
    }
    ObjectContext cx{env, IsHandle(svc, OCI_HTYPE_SVCCTX) ? const_cast<OCISvcCtx*>(svc) : nullptr};
    if (FindItem(target)) {
      FillInstance(cx, target, v);
    } else if (isObject && null_target) {
      FillSlot(cx, type->root, static_cast<char*>(target), static_cast<sb2*>(null_target), v);
    } else {
      NotAnObject();
    }
    return OCI_SUCCESS;
  });
}

sword OCIObjectGetTypeRef(OCIEnv* env, OCIError* err, dvoid* instance, OCIRef* type_ref) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    OCIType* type = InstanceType(instance);
    if (!type) NotAnObject();
    auto* r = FindItemAs<OCIRef>(type_ref, kItemRef);
    if (!r) BadArgument(4);
    r->Set(kRefToType, type->desc.oid, type->ref->svc);
    return OCI_SUCCESS;
  });
}

sword OCIObjectGetObjectRef(OCIEnv* env, OCIError* err, dvoid* object, OCIRef* object_ref) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    InstanceItem* inst = RequireInstance(object);
    auto* r = FindItemAs<OCIRef>(object_ref, kItemRef);
    if (!r) BadArgument(4);
    if (!inst->state.persistent) NotAnObject();
    if (inst->state.isNew) FlushOne(inst);  // the row (and so its REF) comes with the insert
    r->Set(kRefToRow, inst->state.ref, inst->state.svc);
    return OCI_SUCCESS;
  });
}

sword OCIObjectGetAttr(OCIEnv* env, OCIError* err, dvoid* instance, dvoid* null_struct, OCIType* tdo,
                       const text** names, const ub4* lengths, ub4 name_count, const ub4*, ub4,
                       OCIInd* attr_null_status, dvoid** attr_null_struct, dvoid** attr_value,
                       OCIType** attr_tdo) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    AttrPlace at =
        FindAttr(instance, static_cast<sb2*>(null_struct), AsType(tdo), names, lengths, name_count);
    if (attr_null_status) *attr_null_status = at.nulls[at.slot->nullIndex];
    if (attr_null_struct) *attr_null_struct = &at.nulls[at.slot->nullIndex];
    if (attr_value) *attr_value = at.base + at.slot->offset;
    if (attr_tdo) *attr_tdo = at.slot->type;
    return OCI_SUCCESS;
  });
}

sword OCIObjectSetAttr(OCIEnv* env, OCIError* err, dvoid* instance, dvoid* null_struct, OCIType* tdo,
                       const text** names, const ub4* lengths, ub4 name_count, const ub4*, ub4,
                       OCIInd null_status, const dvoid* attr_null_struct, const dvoid* attr_value) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    AttrPlace at =
        FindAttr(instance, static_cast<sb2*>(null_struct), AsType(tdo), names, lengths, name_count);
    Value v = null_status < 0 ? Value() : PassedValue(env, *at.slot, attr_value, attr_null_struct);
    OCISvcCtx* svc = nullptr;
    if (auto* inst = FindItemAs<InstanceItem>(instance, kItemInstance)) svc = inst->state.svc;
    FillSlot(ObjectContext{env, svc}, *at.slot, at.base, at.nulls, v);
    return OCI_SUCCESS;
  });
}

sword OCICacheFlush(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, dvoid* context, OCICacheFlushGetFn get,
                    OCIRef** ref) {
  if (!EnvArgs(env, err)) return OCI_INVALID_HANDLE;
  if (ref) *ref = nullptr;
  return Guard(err, [&]() -> sword {
    auto* only = IsHandle(svc, OCI_HTYPE_SVCCTX) ? const_cast<OCISvcCtx*>(svc) : nullptr;
    if (get) {
      for (;;) {
        ub1 last = 0;
        OCIRef* r = get(context, &last);
        auto* item = FindItemAs<OCIRef>(r, kItemRef);
        if (item && item->kind == kRefToRow && !item->bytes.empty()) {
          if (InstanceItem* inst =
                  FindPinned(env, ObjectSvc(env, item->svc ? item->svc : only), item->bytes)) {
            try {
              FlushOne(inst);
            } catch (...) {
              if (ref) *ref = r;
              throw;
            }
          }
        }
        if (last || !r) break;
      }
      return OCI_SUCCESS;
    }
    for (InstanceItem* inst : DirtyObjects(env)) {
      if (only && inst->state.svc && inst->state.svc != only) continue;
      FlushOne(inst);
    }
    return OCI_SUCCESS;
  });
}

}  // extern "C"
