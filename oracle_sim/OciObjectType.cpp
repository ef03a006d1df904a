// Type descriptors: named types described by the server, the layout of their instances, and the
// describe calls over them (OCIDescribeAny, the parameters of a type and its attributes,
// OCITypeByName).
#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

#include "oracle_sim/OciObject.h"

using namespace oracle_sim;
using namespace oracle_sim::oci;

namespace oracle_sim::oci {

size_t CellSize(CellKind kind) {
  switch (kind) {
    case CellKind::Number:
      return sizeof(OCINumber);
    case CellKind::Date:
      return sizeof(OCIDate);
    case CellKind::Inline:
      return 0;
    default:
      return sizeof(void*);
  }
}

namespace {

constexpr int kMaxTypeDepth = 16;

bool IsPointerCell(CellKind kind) {
  return CellSize(kind) == sizeof(void*) && kind != CellKind::Date;
}

bool PlainIdentifier(const std::string& s) {
  if (s.empty() || !std::isupper(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!std::isupper(u) && !std::isdigit(u) && c != '_' && c != '$' && c != '#') return false;
  }
  return true;
}

std::string Qualified(const std::string& schema, const std::string& name) {
  auto part = [](const std::string& p) { return PlainIdentifier(p) ? p : "\"" + p + "\""; };
  return schema.empty() ? part(name) : part(schema) + "." + part(name);
}

CellKind KindOf(const TypeAttrDesc& a, const OCIType* child) {
  switch (a.type) {
    case Ty::Varchar2:
    case Ty::Char:
      return CellKind::String;
    case Ty::Number:
      return CellKind::Number;
    case Ty::Date:
      return CellKind::Date;
    case Ty::Raw:
      return CellKind::Raw;
    case Ty::Clob:
    case Ty::Blob:
    case Ty::Bfile:
      return CellKind::Lob;
    case Ty::Timestamp:
    case Ty::TimestampTZ:
    case Ty::TimestampLTZ:
      return CellKind::DateTime;
    case Ty::Ref:
      return CellKind::Ref;
    case Ty::Object:
      switch (child->desc.kind) {
        case TypeDesc::Kind::VArray:
        case TypeDesc::Kind::NestedTable:
          return CellKind::Coll;
        case TypeDesc::Kind::Opaque:
          return CellKind::Instance;
        case TypeDesc::Kind::Object:
          return child->desc.isFinal ? CellKind::Inline : CellKind::Instance;
      }
      break;
    default:
      break;
  }
  throw MakeError(902, "invalid datatype");
}

// Places the attributes of `t`, an object starting at `base`, from the running offset `off`,
// numbering their indicators from `nullIndex`. A pointer cell is aligned relative to `base`; when
// that moves the offset, the embedded objects in `open` (those enclosing it) that started at the
// old offset move along.
std::vector<Slot> Place(const OCIType* t, size_t base, size_t& off, size_t& nullIndex,
                        std::vector<Slot*>& open) {
  std::vector<Slot> out;
  out.reserve(t->desc.attrs.size());
  for (size_t i = 0; i < t->desc.attrs.size(); ++i) {
    Slot s;
    s.desc = t->desc.attrs[i];
    s.kind = t->attrKinds[i].first;
    s.type = t->attrKinds[i].second;
    s.nullIndex = nullIndex++;
    if (IsPointerCell(s.kind)) {
      size_t misalign = (off - base) % sizeof(void*);
      if (misalign != 0) {
        size_t aligned = off + sizeof(void*) - misalign;
        for (Slot* o : open)
          if (o->offset == off) o->offset = aligned;
        off = aligned;
      }
    }
    s.offset = off;
    if (s.kind == CellKind::Inline) {
      open.push_back(&s);
      s.children = Place(s.type, s.offset, off, nullIndex, open);
      open.pop_back();
    } else {
      off += CellSize(s.kind);
    }
    out.push_back(std::move(s));
  }
  return out;
}

OCIType* Cached(OCIEnv* env, const std::string& oid);
void Cache(OCIEnv* env, OCIType* t);

// The key of a type in the environment's cache: its OID (its name when the server gave none).
std::string Key(const TypeDesc& d) {
  return d.oid.empty() ? "name:" + d.schema + "." + d.name : d.oid;
}

OCIType* Build(OCIEnv* env, OCISvcCtx* svc, const TypeDesc& desc, int depth) {
  if (OCIType* t = Cached(env, Key(desc))) return t;
  if (depth > kMaxTypeDepth) throw MakeError(902, "invalid datatype");
  auto t = std::make_unique<OCIType>(env);
  t->desc = desc;
  t->fullName = desc.schema + "." + desc.name;
  Session& s = EngineOf(svc);
  auto resolve = [&](const TypeAttrDesc& a) -> std::pair<CellKind, OCIType*> {
    OCIType* child = nullptr;
    if (a.type == Ty::Object)
      child = Build(env, svc, s.DescribeType(Qualified(a.typeSchema, a.typeName)), depth + 1);
    return {KindOf(a, child), child};
  };
  switch (desc.kind) {
    case TypeDesc::Kind::Object: {
      for (const TypeAttrDesc& a : desc.attrs) t->attrKinds.push_back(resolve(a));
      size_t off = 0, nullIndex = 1;
      std::vector<Slot*> open;
      t->root.desc.type = Ty::Object;
      t->root.desc.typeSchema = desc.schema;
      t->root.desc.typeName = desc.name;
      t->root.kind = CellKind::Inline;
      t->root.type = t.get();
      t->root.children = Place(t.get(), 0, off, nullIndex, open);
      t->size = off;
      t->nullCount = nullIndex;
      break;
    }
    case TypeDesc::Kind::VArray:
    case TypeDesc::Kind::NestedTable: {
      auto [kind, child] = resolve(desc.element);
      if (kind == CellKind::Inline) {
        t->element = child->root;
        t->size = child->size;
        t->nullCount = child->nullCount;
      } else {
        t->element.kind = kind;
        t->element.type = child;
        t->size = CellSize(kind);
        t->nullCount = 1;
      }
      t->element.desc = desc.element;
      break;
    }
    case TypeDesc::Kind::Opaque:
      t->size = sizeof(void*);
      t->nullCount = 1;
      break;
  }
  OCIType* type = t.release();
  AddItem(type, type);
  type->ref = NewRef(env);
  type->ref->Set(kRefToType, desc.oid, svc);
  type->ref->ofType = true;
  Cache(env, type);
  return type;
}

// ---- The environment's types, by OID

std::mutex typeLock;
std::unordered_map<OCIEnv*, std::unordered_map<std::string, OCIType*>>& Types() {
  static auto* m = new std::unordered_map<OCIEnv*, std::unordered_map<std::string, OCIType*>>();
  return *m;
}

OCIType* Cached(OCIEnv* env, const std::string& oid) {
  std::lock_guard<std::mutex> g(typeLock);
  auto e = Types().find(env);
  if (e == Types().end()) return nullptr;
  auto it = e->second.find(oid);
  return it == e->second.end() ? nullptr : it->second;
}

void Cache(OCIEnv* env, OCIType* t) {
  std::lock_guard<std::mutex> g(typeLock);
  Types()[env][Key(t->desc)] = t;
}

}  // namespace

void ForgetTypes(OCIEnv* env) {
  std::lock_guard<std::mutex> g(typeLock);
  Types().erase(env);
}

OCIType* TypeNamed(OCIEnv* env, OCISvcCtx* svc, const std::string& name) {
  svc = ObjectSvc(env, svc);
  return Build(env, svc, EngineOf(svc).DescribeType(name), 0);
}

OCIType* TypeNamed(OCIEnv* env, OCISvcCtx* svc, const std::string& schema, const std::string& name) {
  return TypeNamed(env, svc, Qualified(schema, name));
}

OCIType* TypeByOid(OCIEnv* env, OCISvcCtx* svc, const std::string& oid) {
  if (OCIType* t = Cached(env, oid)) return t;
  svc = ObjectSvc(env, svc);
  return Build(env, svc, EngineOf(svc).DescribeTypeByOid(oid), 0);
}

OCIType* AsType(const void* p) {
  return FindItemAs<OCIType>(p, kItemType);
}

ub2 TypeCodeOf(const OCIType* t) {
  switch (t->desc.kind) {
    case TypeDesc::Kind::VArray:
    case TypeDesc::Kind::NestedTable:
      return OCI_TYPECODE_NAMEDCOLLECTION;
    case TypeDesc::Kind::Opaque:
      return OCI_TYPECODE_OPAQUE;
    default:
      return OCI_TYPECODE_OBJECT;
  }
}

}  // namespace oracle_sim::oci

// ------------------------------------------------------------------------------------------------
// Describe parameters of types

namespace {

// Text attributes hand out a pointer that stays valid as long as the described object: the text
// must live in the parameter's own descriptions or be a constant, never in a temporary.
sword PutText(dvoid* attributep, ub4* sizep, const char* text, size_t size) {
  if (!attributep) return OCI_INVALID_HANDLE;
  if (sizep) *sizep = static_cast<ub4>(size);
  std::memcpy(attributep, &text, sizeof text);
  return OCI_SUCCESS;
}
sword PutText(dvoid* attributep, ub4* sizep, const std::string& s) {
  return PutText(attributep, sizep, s.c_str(), s.size());
}
sword PutText(dvoid* attributep, ub4* sizep, std::string&& s) = delete;
sword PutText(dvoid* attributep, ub4* sizep, const char* constant) {
  return PutText(attributep, sizep, constant, std::strlen(constant));
}

sword Illegal(OCIError* err) {
  SetError(err, 24315, "illegal attribute type");
  return OCI_ERROR;
}

// The data type code an attribute parameter reports.
ub2 AttrDataType(const TypeAttrDesc& a) {
  return a.type == Ty::Varchar2 ? ub2{SQLT_VCS} : static_cast<ub2>(a.type);
}

ub2 AttrTypeCode(const TypeAttrDesc& a, const OCIType* child) {
  if (child) return TypeCodeOf(child);
  if (a.type == Ty::Raw) return OCI_TYPECODE_RAW;
  return AttrDataType(a);
}

const char* ScalarTypeName(Ty t) {
  switch (t) {
    case Ty::Varchar2:
      return "VARCHAR2";
    case Ty::Char:
      return "CHAR";
    case Ty::Number:
      return "NUMBER";
    case Ty::Date:
      return "DATE";
    case Ty::Raw:
      return "RAW";
    case Ty::Clob:
      return "CLOB";
    case Ty::Blob:
      return "BLOB";
    case Ty::Bfile:
      return "BFILE";
    case Ty::Timestamp:
      return "TIMESTAMP";
    case Ty::TimestampTZ:
      return "TIMESTAMP WITH TIME ZONE";
    case Ty::TimestampLTZ:
      return "TIMESTAMP WITH LOCAL TIME ZONE";
    default:
      return "";
  }
}

std::unique_ptr<OCIParam> TypeParam(OCIEnv* env, OCISvcCtx* svc, OCIType* t) {
  auto p = std::make_unique<OCIParam>(env, OCIParam::Kind::Type, t, -1);
  p->svc = svc;
  auto list = std::make_unique<OCIParam>(env, OCIParam::Kind::AttrList, t, -1);
  list->svc = svc;
  for (size_t i = 0; i < t->desc.attrs.size(); ++i) {
    list->children.push_back(std::make_unique<OCIParam>(env, OCIParam::Kind::Attr, t, static_cast<int>(i)));
    list->children.back()->svc = svc;
  }
  p->children.push_back(std::move(list));
  p->children.push_back(std::make_unique<OCIParam>(env, OCIParam::Kind::Attr, t, -1));
  p->children.back()->svc = svc;
  return p;
}

bool IsCollection(const OCIType* t) {
  return t->desc.kind == TypeDesc::Kind::VArray || t->desc.kind == TypeDesc::Kind::NestedTable;
}

sword TypeAttr(OCIParam* p, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err) {
  OCIType* t = p->type;
  switch (attrtype) {
    case OCI_ATTR_TYPECODE:
      return WriteAttr<ub2>(attributep, sizep, TypeCodeOf(t));
    case OCI_ATTR_COLLECTION_TYPECODE:
      return WriteAttr<ub2>(attributep, sizep,
                            t->desc.kind == TypeDesc::Kind::VArray        ? ub2{OCI_TYPECODE_VARRAY}
                            : t->desc.kind == TypeDesc::Kind::NestedTable ? ub2{OCI_TYPECODE_TABLE}
                                                                          : ub2{0});
    case OCI_ATTR_COLLECTION_ELEMENT:
      if (!IsCollection(t)) return Illegal(err);
      return WriteAttr<OCIParam*>(attributep, sizep, p->children[1].get());
    case OCI_ATTR_NUM_TYPE_ATTRS:
      return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(t->desc.attrs.size()));
    case OCI_ATTR_LIST_TYPE_ATTRS:
      return WriteAttr<OCIParam*>(attributep, sizep, p->children[0].get());
    case OCI_ATTR_IS_FINAL_TYPE:
      return WriteAttr<ub1>(attributep, sizep, t->desc.isFinal ? 1 : 0);
    case OCI_ATTR_REF_TDO:
      return WriteAttr<OCIRef*>(attributep, sizep, t->ref);
    case OCI_ATTR_NUM_ELEMS:
      return WriteAttr<ub4>(attributep, sizep, static_cast<ub4>(t->desc.maxElements));
    case OCI_ATTR_NAME:
    case OCI_ATTR_TYPE_NAME:
      return PutText(attributep, sizep, t->desc.name);
    case OCI_ATTR_SCHEMA_NAME:
      return PutText(attributep, sizep, t->desc.schema);
  }
  return Illegal(err);
}

sword AttrAttr(OCIParam* p, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err) {
  const OCIType* owner = p->type;
  const TypeAttrDesc& a = p->attr >= 0 ? owner->desc.attrs[p->attr] : owner->desc.element;
  const OCIType* child = p->attr >= 0 ? owner->attrKinds[p->attr].second : owner->element.type;
  switch (attrtype) {
    case OCI_ATTR_NAME:
      return PutText(attributep, sizep, a.name);
    case OCI_ATTR_DATA_TYPE:
      return WriteAttr<ub2>(attributep, sizep, AttrDataType(a));
    case OCI_ATTR_DATA_SIZE:
      return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(std::clamp(a.size, 0, 65535)));
    case OCI_ATTR_PRECISION:
      return WriteAttr<ub1>(attributep, sizep, static_cast<ub1>(a.precision));
    case OCI_ATTR_SCALE:
      return WriteAttr<sb1>(attributep, sizep, static_cast<sb1>(a.scale));
    case OCI_ATTR_TYPE_NAME:
      if (a.typeName.empty()) return PutText(attributep, sizep, ScalarTypeName(a.type));
      return PutText(attributep, sizep, a.typeName);
    case OCI_ATTR_SCHEMA_NAME:
      return PutText(attributep, sizep, a.typeSchema);
    case OCI_ATTR_TYPECODE:
      return WriteAttr<ub2>(attributep, sizep, AttrTypeCode(a, child));
    case OCI_ATTR_IS_FINAL_TYPE:
      return WriteAttr<ub1>(attributep, sizep, child && !child->desc.isFinal ? 0 : 1);
    case OCI_ATTR_COLLECTION_TYPECODE:
      return WriteAttr<ub2>(attributep, sizep,
                            !child                                            ? ub2{0}
                            : child->desc.kind == TypeDesc::Kind::VArray      ? ub2{OCI_TYPECODE_VARRAY}
                            : child->desc.kind == TypeDesc::Kind::NestedTable ? ub2{OCI_TYPECODE_TABLE}
                                                                              : ub2{0});
    case OCI_ATTR_REF_TDO:
      return Guard(err, [&]() -> sword {
        if (child) return WriteAttr<OCIRef*>(attributep, sizep, child->ref);
        if (a.type == Ty::Ref)
          return WriteAttr<OCIRef*>(attributep, sizep,
                                    TypeNamed(p->env, p->svc, a.typeSchema, a.typeName)->ref);
        return WriteAttr<OCIRef*>(attributep, sizep, nullptr);
      });
  }
  return Illegal(err);
}

}  // namespace

namespace oracle_sim::oci {

sword TypeParamAttr(OCIParam* p, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err) {
  switch (p->kind) {
    case OCIParam::Kind::Type:
      return TypeAttr(p, attributep, sizep, attrtype, err);
    case OCIParam::Kind::Attr:
      return AttrAttr(p, attributep, sizep, attrtype, err);
    case OCIParam::Kind::AttrList:
      if (attrtype == OCI_ATTR_NUM_PARAMS)
        return WriteAttr<ub2>(attributep, sizep, static_cast<ub2>(p->children.size()));
      return Illegal(err);
    default:
      return Illegal(err);
  }
}

sword ColumnTypeAttr(OCIParam* p, dvoid* attributep, ub4* sizep, ub4 attrtype, OCIError* err) {
  const ColumnDesc& c = p->column;
  switch (attrtype) {
    case OCI_ATTR_TYPE_NAME:
      return PutText(attributep, sizep, c.typeName);
    case OCI_ATTR_SCHEMA_NAME:
      return PutText(attributep, sizep, c.typeSchema);
    case OCI_ATTR_REF_TDO:
      return Guard(err, [&]() -> sword {
        if (c.type != Ty::Object && c.type != Ty::Ref) return WriteAttr<OCIRef*>(attributep, sizep, nullptr);
        return WriteAttr<OCIRef*>(attributep, sizep,
                                  TypeNamed(p->env, p->svc, c.typeSchema, c.typeName)->ref);
      });
  }
  return Illegal(err);
}

sword TypeParamGet(OCIParam* p, OCIError* err, dvoid** parmdpp, ub4 pos) {
  if (p->kind != OCIParam::Kind::AttrList || pos < 1 || pos > p->children.size()) {
    SetError(err, 24334, "no descriptor for this position");
    return OCI_ERROR;
  }
  *parmdpp = p->children[pos - 1].get();
  return OCI_SUCCESS;
}

}  // namespace oracle_sim::oci

extern "C" {

sword OCIDescribeAny(OCISvcCtx* svchp, OCIError* errhp, dvoid* objptr, ub4 objnm_len, ub1 objptr_typ, ub1,
                     ub1 objtyp, OCIDescribe* dschp) {
  if (!IsHandle(svchp, OCI_HTYPE_SVCCTX) || !IsHandle(dschp, OCI_HTYPE_DESCRIBE)) return OCI_INVALID_HANDLE;
  return Guard(errhp, [&]() -> sword {
    if (objtyp != OCI_PTYPE_TYPE && objtyp != OCI_PTYPE_UNK) throw MakeError(3001, "unimplemented feature");
    if (!objptr) BadArgument(3);
    OCIType* t = nullptr;
    switch (objptr_typ) {
      case OCI_OTYPE_NAME: {
        std::string name =
            ArgText(static_cast<const text*>(objptr), objnm_len == 0 ? -1 : static_cast<sb4>(objnm_len));
        if (name.empty()) BadArgument(3);
        t = TypeNamed(svchp->env, svchp, name);
        break;
      }
      case OCI_OTYPE_PTR:
        t = AsType(objptr);
        break;
      case OCI_OTYPE_REF: {
        OCIRef* r = FindItemAs<OCIRef>(objptr, kItemRef);
        if (r && r->kind == kRefToType && !r->bytes.empty()) t = TypeByOid(svchp->env, svchp, r->bytes);
        break;
      }
      default:
        break;
    }
    if (!t) BadArgument(3);
    dschp->param = TypeParam(svchp->env, svchp, t);
    return OCI_SUCCESS;
  });
}

sword OCITypeByName(OCIEnv* env, OCIError* err, const OCISvcCtx* svc, const text* schema_name, ub4 s_length,
                    const text* type_name, ub4 t_length, const text*, ub4, OCIDuration, OCITypeGetOpt,
                    OCIType** tdo) {
  if (!IsHandle(env, OCI_HTYPE_ENV) || !IsHandle(err, OCI_HTYPE_ERROR) || !IsHandle(svc, OCI_HTYPE_SVCCTX) ||
      !tdo)
    return OCI_INVALID_HANDLE;
  return Guard(err, [&]() -> sword {
    std::string schema = ArgText(schema_name, static_cast<sb4>(s_length));
    std::string name = ArgText(type_name, static_cast<sb4>(t_length));
    if (name.empty()) BadArgument(6);
    auto* s = const_cast<OCISvcCtx*>(svc);
    *tdo = schema.empty() ? TypeNamed(env, s, name) : TypeNamed(env, s, schema + "." + name);
    return OCI_SUCCESS;
  });
}

}  // extern "C"
