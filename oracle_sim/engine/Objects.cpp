// Object values inside the instance: their stored form, REF bytes, the SQL functions over them and
// checking a value against its type.
#include "oracle_sim/engine/Objects.h"

#include <sqlite3.h>

#include <cstring>

#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Functions.h"

namespace oracle_sim {

namespace {

constexpr unsigned char kObjectMagic = 0xB0;
constexpr unsigned char kRefMagic = 0xB1;
constexpr size_t kRefSize = 2 + 8 + 8 + 16;

enum Tag : unsigned char { TNull, TInt, TReal, TText, TBytes, TDate, TObject, TRef };

void PutLen(std::string& out, uint64_t n) {
  while (n >= 0x80) {
    out += static_cast<char>((n & 0x7F) | 0x80);
    n >>= 7;
  }
  out += static_cast<char>(n);
}
void PutStr(std::string& out, const std::string& s) {
  PutLen(out, s.size());
  out += s;
}
void PutFixed(std::string& out, uint64_t v) {
  for (int i = 7; i >= 0; --i) out += static_cast<char>((v >> (i * 8)) & 0xFF);
}

struct Reader {
  const unsigned char* p;
  size_t n;
  size_t i = 0;
  bool ok = true;
  uint64_t Len() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (i >= n) return ok = false, 0;
      unsigned char b = p[i++];
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    return ok = false, 0;
  }
  std::string Str() {
    uint64_t len = Len();
    if (!ok || len > n - i) return ok = false, std::string();
    std::string s(reinterpret_cast<const char*>(p + i), len);
    i += len;
    return s;
  }
  uint64_t Fixed() {
    if (n - i < 8) return ok = false, 0;
    uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v = (v << 8) | p[i++];
    return v;
  }
  unsigned char Byte() {
    if (i >= n) return ok = false, 0;
    return p[i++];
  }
};

void EncodeInto(std::string& out, const ObjectValue& v) {
  out += static_cast<char>(kObjectMagic);
  out += static_cast<char>(v.atomicNull ? 1 : 0);
  PutStr(out, v.typeSchema);
  PutStr(out, v.typeName);
  PutStr(out, v.xml);
  PutLen(out, v.items.size());
  for (auto& it : v.items) {
    switch (it.kind) {
      case Value::Null:
        out += static_cast<char>(TNull);
        break;
      case Value::Int:
        out += static_cast<char>(TInt);
        PutFixed(out, static_cast<uint64_t>(it.i));
        break;
      case Value::Real: {
        out += static_cast<char>(TReal);
        uint64_t bits;
        std::memcpy(&bits, &it.d, 8);
        PutFixed(out, bits);
        break;
      }
      case Value::Text:
        out += static_cast<char>(TText);
        PutStr(out, it.s);
        break;
      case Value::Bytes:
        out += static_cast<char>(TBytes);
        PutStr(out, it.s);
        break;
      case Value::Date:
        out += static_cast<char>(TDate);
        PutStr(out, FormatIso(it.dt));
        break;
      case Value::Object:
        if (!it.obj || it.obj->atomicNull) {
          out += static_cast<char>(TNull);
        } else {
          out += static_cast<char>(TObject);
          std::string inner;
          EncodeInto(inner, *it.obj);
          PutStr(out, inner);
        }
        break;
      case Value::Ref:
        out += static_cast<char>(TRef);
        PutStr(out, it.s);
        break;
    }
  }
}

bool DecodeFrom(Reader& r, ObjectValue& v, int depth) {
  if (depth > 64 || r.Byte() != kObjectMagic) return false;
  v.atomicNull = (r.Byte() & 1) != 0;
  v.typeSchema = r.Str();
  v.typeName = r.Str();
  v.xml = r.Str();
  uint64_t count = r.Len();
  if (!r.ok || count > r.n) return false;
  v.items.clear();
  v.items.reserve(count);
  for (uint64_t k = 0; k < count && r.ok; ++k) {
    Value it;
    switch (r.Byte()) {
      case TNull:
        break;
      case TInt:
        it.kind = Value::Int;
        it.i = static_cast<int64_t>(r.Fixed());
        break;
      case TReal: {
        it.kind = Value::Real;
        uint64_t bits = r.Fixed();
        std::memcpy(&it.d, &bits, 8);
        break;
      }
      case TText:
        it.kind = Value::Text;
        it.s = r.Str();
        break;
      case TBytes:
        it.kind = Value::Bytes;
        it.s = r.Str();
        break;
      case TDate: {
        std::string iso = r.Str();
        it.kind = Value::Date;
        if (!ParseIso(iso, it.dt)) return false;
        break;
      }
      case TObject: {
        std::string inner = r.Str();
        if (!r.ok) return false;
        Reader ir{reinterpret_cast<const unsigned char*>(inner.data()), inner.size()};
        ObjectValue o;
        if (!DecodeFrom(ir, o, depth + 1)) return false;
        it = Value::MakeObject(std::move(o));
        break;
      }
      case TRef:
        it.kind = Value::Ref;
        it.s = r.Str();
        break;
      default:
        return false;
    }
    v.items.push_back(std::move(it));
  }
  return r.ok;
}

}  // namespace

std::string EncodeObject(const ObjectValue& v) {
  std::string out;
  EncodeInto(out, v);
  return out;
}

bool DecodeObject(const void* data, int size, ObjectValue& out) {
  if (!data || size <= 0) return false;
  Reader r{static_cast<const unsigned char*>(data), static_cast<size_t>(size)};
  return DecodeFrom(r, out, 0) && r.i == r.n;
}

std::string MakeRefBytes(int64_t objectId, int64_t rid, const std::string& typeOid) {
  std::string out;
  out += static_cast<char>(kRefMagic);
  out += static_cast<char>(1);
  PutFixed(out, static_cast<uint64_t>(objectId));
  PutFixed(out, static_cast<uint64_t>(rid));
  std::string oid = typeOid;
  oid.resize(16, '\0');
  return out + oid;
}

bool ParseRefBytes(const std::string& ref, int64_t& objectId, int64_t& rid) {
  if (ref.size() != kRefSize || static_cast<unsigned char>(ref[0]) != kRefMagic || ref[1] != 1) return false;
  Reader r{reinterpret_cast<const unsigned char*>(ref.data()), ref.size(), 2};
  objectId = static_cast<int64_t>(r.Fixed());
  rid = static_cast<int64_t>(r.Fixed());
  return r.ok && objectId > 0;
}

const std::string& XmlTypeOid() {
  static const std::string oid("\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x01\x08", 16);
  return oid;
}

// ---------------------------------------------------------------- checking values against types
namespace {

std::string KeyOf(const ObjectValue& o) {
  return o.typeSchema.empty() ? o.typeName : o.typeSchema + "." + o.typeName;
}

Value CheckItem(const Catalog& cat, const CatTypeAttr& a, const Value& v) {
  if (v.IsNull()) return v;
  const SqlType& t = a.type;
  auto tooLarge = [&](size_t n) {
    if (t.size > 0 && n > static_cast<size_t>(t.size)) Raise(22814);
  };
  switch (t.ty) {
    case Ty::Object:
      return CheckObjectValue(cat, v, t.typeName);
    case Ty::Ref:
      if (v.kind == Value::Ref || v.kind == Value::Bytes) return Value::MakeRef(v.s);
      Raise(932);
    case Ty::Number: {
      if (v.kind == Value::Int || v.kind == Value::Real) return v;
      if (v.kind != Value::Text) Raise(932);
      int64_t i;
      double d;
      bool isInt;
      if (!ParseNumber(v.s, i, d, isInt)) Raise(1722);
      return isInt ? Value::MakeInt(i) : Value::MakeReal(d);
    }
    case Ty::Varchar2:
    case Ty::Char:
    case Ty::Long:
    case Ty::Clob: {
      if (v.kind == Value::Object || v.kind == Value::Ref || v.kind == Value::Bytes) Raise(932);
      Value r = v.kind == Value::Text ? v : Value::MakeText(v.ToText());
      if (t.ty == Ty::Varchar2 || t.ty == Ty::Char) tooLarge(r.s.size());
      if (t.ty == Ty::Char && t.size > 0 && r.s.size() < static_cast<size_t>(t.size)) r.s.resize(t.size, ' ');
      return r;
    }
    case Ty::Raw:
    case Ty::LongRaw:
    case Ty::Blob:
    case Ty::Bfile:
      if (v.kind != Value::Bytes) Raise(932);
      if (t.ty == Ty::Raw) tooLarge(v.s.size());
      return v;
    case Ty::Date:
    case Ty::Timestamp:
    case Ty::TimestampTZ:
    case Ty::TimestampLTZ:
      if (v.kind != Value::Date) Raise(932);
      return v;
    default:
      return v;
  }
}

}  // namespace

Value CheckObjectValue(const Catalog& cat, const Value& v, const std::string& key) {
  if (v.IsNull() || (v.kind == Value::Object && (!v.obj || v.obj->atomicNull))) return Value();
  if (v.kind != Value::Object) Raise(932);
  const CatType* type = cat.FindType(key);
  if (!type) Raise(932);
  const ObjectValue& in = *v.obj;
  std::string given = KeyOf(in);
  if (!given.empty() && given != key && given != type->name) Raise(932);
  ObjectValue out;
  out.typeSchema = type->owner;
  out.typeName = type->name;
  if (type->kind == 'X') {
    out.xml = in.xml;
    return Value::MakeObject(std::move(out));
  }
  if (type->IsCollection()) {
    if (type->kind == 'V' && static_cast<int64_t>(in.items.size()) > type->maxElements) Raise(22909);
    out.items.reserve(in.items.size());
    for (auto& it : in.items) out.items.push_back(CheckItem(cat, type->attrs[0], it));
    return Value::MakeObject(std::move(out));
  }
  if (in.items.size() > type->attrs.size()) Raise(932);
  for (size_t k = 0; k < type->attrs.size(); ++k)
    out.items.push_back(k < in.items.size() ? CheckItem(cat, type->attrs[k], in.items[k]) : Value());
  return Value::MakeObject(std::move(out));
}

// ---------------------------------------------------------------- SQL functions
namespace {

void ResultError(sqlite3_context* c, int code, const std::string& arg = std::string()) {
  std::string t = OraText(code, arg);
  sqlite3_result_error(c, t.c_str(), -1);
}

void ResultBlob(sqlite3_context* c, const std::string& b) {
  sqlite3_result_blob(c, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

// The SQLite form of an engine value (the way a column of its type stores it).
void ResultValue(sqlite3_context* c, const Value& v) {
  switch (v.kind) {
    case Value::Null:
      return sqlite3_result_null(c);
    case Value::Int:
      return sqlite3_result_int64(c, v.i);
    case Value::Real:
      return sqlite3_result_double(c, v.d);
    case Value::Text:
      return sqlite3_result_text(c, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
    case Value::Bytes:
    case Value::Ref:
      return ResultBlob(c, v.s);
    case Value::Date: {
      std::string s = FormatIso(v.dt);
      return sqlite3_result_text(c, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    case Value::Object:
      if (!v.obj || v.obj->atomicNull) return sqlite3_result_null(c);
      return ResultBlob(c, EncodeObject(*v.obj));
  }
}

bool ObjectOf(sqlite3_value* v, ObjectValue& o) {
  return sqlite3_value_type(v) == SQLITE_BLOB &&
         DecodeObject(sqlite3_value_blob(v), sqlite3_value_bytes(v), o);
}

std::string TextArg(sqlite3_value* v) {
  auto p = sqlite3_value_text(v);
  return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v)) : std::string();
}

// ora_obj_make(key, codes, item...): an object (or collection) of type `key` ("OWNER.NAME") whose
// items are converted by the comma-separated type codes.
void FnObjMake(sqlite3_context* c, int n, sqlite3_value** v) {
  try {
    ObjectValue o;
    std::string key = TextArg(v[0]);
    auto dot = key.find('.');
    o.typeSchema = dot == std::string::npos ? std::string() : key.substr(0, dot);
    o.typeName = dot == std::string::npos ? key : key.substr(dot + 1);
    std::string codes = TextArg(v[1]);
    size_t p = 0;
    for (int k = 2; k < n; ++k) {
      size_t q = codes.find(',', p);
      SqlType t;
      t.ty = static_cast<Ty>(std::atoi(codes.substr(p, q == std::string::npos ? q : q - p).c_str()));
      p = q == std::string::npos ? codes.size() : q + 1;
      o.items.push_back(FromSqliteValue(v[k], t));
    }
    ResultBlob(c, EncodeObject(o));
  } catch (const OraError& e) {
    sqlite3_result_error(c, e.text.c_str(), -1);
  }
}

// ora_obj_attr(object, index): the item's stored form; NULL for a NULL object.
void FnObjAttr(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  ObjectValue o;
  if (!ObjectOf(v[0], o)) return ResultError(c, 22806);
  int64_t k = sqlite3_value_int64(v[1]);
  if (o.atomicNull || k < 0 || k >= static_cast<int64_t>(o.items.size())) return sqlite3_result_null(c);
  ResultValue(c, o.items[k]);
}

// ora_obj_check(value, key): the value when it is an object of type `key`; ORA-00932 otherwise.
void FnObjCheck(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  ObjectValue o;
  std::string key = TextArg(v[1]);
  if (!ObjectOf(v[0], o) || (o.typeSchema + "." + o.typeName != key)) return ResultError(c, 932);
  sqlite3_result_value(c, v[0]);
}

// ora_ref_check(value): the value when it is a REF; ORA-00932 otherwise.
void FnRefCheck(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  int64_t obj, rid;
  if (sqlite3_value_type(v[0]) != SQLITE_BLOB ||
      !ParseRefBytes(
          std::string(static_cast<const char*>(sqlite3_value_blob(v[0])), sqlite3_value_bytes(v[0])), obj,
          rid))
    return ResultError(c, 932);
  sqlite3_result_value(c, v[0]);
}

// ora_xml_make(text): an XMLType holding the document.
void FnXmlMake(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  std::string text = TextArg(v[0]);
  size_t p = text.find_first_not_of(" \t\r\n");
  if (p == std::string::npos || text[p] != '<' || text.find('>', p) == std::string::npos)
    return ResultError(c, 31011);
  ObjectValue o;
  o.typeSchema = "SYS";
  o.typeName = "XMLTYPE";
  o.xml = text;
  ResultBlob(c, EncodeObject(o));
}

// ora_xml_text(xmltype): the document text.
void FnXmlText(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  ObjectValue o;
  if (!ObjectOf(v[0], o) || o.typeName != "XMLTYPE") return ResultError(c, 932);
  if (o.xml.empty()) return sqlite3_result_null(c);
  sqlite3_result_text(c, o.xml.data(), static_cast<int>(o.xml.size()), SQLITE_TRANSIENT);
}

// ora_ref(object number, rowid, type oid)
void FnRef(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[1]) == SQLITE_NULL) return sqlite3_result_null(c);
  std::string oid;
  if (sqlite3_value_type(v[2]) == SQLITE_BLOB)
    oid.assign(static_cast<const char*>(sqlite3_value_blob(v[2])), sqlite3_value_bytes(v[2]));
  ResultBlob(c, MakeRefBytes(sqlite3_value_int64(v[0]), sqlite3_value_int64(v[1]), oid));
}

// ora_deref(ref): the object the REF names, NULL when its row is gone.
void FnDeref(sqlite3_context* c, int, sqlite3_value** v) {
  if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
  auto* env = static_cast<FunctionEnv*>(sqlite3_user_data(c));
  std::string ref;
  if (sqlite3_value_type(v[0]) == SQLITE_BLOB)
    ref.assign(static_cast<const char*>(sqlite3_value_blob(v[0])), sqlite3_value_bytes(v[0]));
  int64_t obj, rid;
  if (!ParseRefBytes(ref, obj, rid)) return ResultError(c, 932);
  if (!env || !env->deref) return sqlite3_result_null(c);
  try {
    ResultValue(c, env->deref(ref));
  } catch (const OraError& e) {
    sqlite3_result_error(c, e.text.c_str(), -1);
  }
}

// ora_attr_len(value, max): the value unless it is longer than `max` bytes (ORA-22814).
void FnAttrLen(sqlite3_context* c, int, sqlite3_value** v) {
  int t = sqlite3_value_type(v[0]);
  if (t == SQLITE_NULL) return sqlite3_result_null(c);
  int64_t max = sqlite3_value_int64(v[1]);
  int64_t len = t == SQLITE_BLOB ? sqlite3_value_bytes(v[0]) : static_cast<int64_t>(TextArg(v[0]).size());
  if (max > 0 && len > max) return ResultError(c, 22814);
  sqlite3_result_value(c, v[0]);
}

}  // namespace

void RegisterObjectFunctions(sqlite3* db, FunctionEnv* env) {
  struct Def {
    const char* name;
    int args;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  };
  static const Def defs[] = {
      {"ora_obj_make", -1, FnObjMake},
      {"ora_obj_attr", 2, FnObjAttr},
      {"ora_obj_check", 2, FnObjCheck},
      {"ora_ref_check", 1, FnRefCheck},
      {"ora_xml_make", 1, FnXmlMake},
      {"ora_xml_text", 1, FnXmlText},
      {"ora_ref", 3, FnRef},
      {"ora_deref", 1, FnDeref},
      {"ora_attr_len", 2, FnAttrLen},
  };
  for (auto& d : defs) {
    int flags = SQLITE_UTF8 | (d.fn == FnDeref ? 0 : SQLITE_DETERMINISTIC);
    sqlite3_create_function_v2(db, d.name, d.args, flags, env, d.fn, nullptr, nullptr, nullptr);
  }
}

// ---------------------------------------------------------------- describe and object tables
namespace {

// "a.b", "\"Mixed\".b": the dot-separated parts, upper-cased unless quoted.
std::vector<std::string> SplitName(const std::string& name) {
  std::vector<std::string> parts(1);
  bool quoted = false;
  for (char ch : name) {
    if (ch == '"') {
      quoted = !quoted;
    } else if (ch == '.' && !quoted) {
      parts.emplace_back();
    } else if (quoted) {
      parts.back() += ch;
    } else if (ch != ' ' && ch != '\t') {
      parts.back() += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
  }
  return parts;
}

TypeAttrDesc AttrDesc(const CatTypeAttr& a) {
  ColumnDesc c = DescribeSqlType(a.type);
  TypeAttrDesc d;
  d.name = a.name;
  d.type = c.type;
  d.size = c.size;
  d.precision = c.precision;
  d.scale = c.scale;
  d.typeSchema = c.typeSchema;
  d.typeName = c.typeName;
  return d;
}

TypeDesc Desc(const CatType& t) {
  TypeDesc d;
  d.schema = t.owner;
  d.name = t.name;
  d.kind = t.kind == 'V'   ? TypeDesc::Kind::VArray
           : t.kind == 'N' ? TypeDesc::Kind::NestedTable
           : t.kind == 'X' ? TypeDesc::Kind::Opaque
                           : TypeDesc::Kind::Object;
  d.isFinal = t.isFinal;
  d.maxElements = t.kind == 'V' ? t.maxElements : 0;
  d.oid = t.oid;
  if (t.IsCollection()) {
    if (!t.attrs.empty()) d.element = AttrDesc(t.attrs[0]);
  } else {
    for (auto& a : t.attrs) d.attrs.push_back(AttrDesc(a));
  }
  return d;
}

std::string Quoted(const std::string& owner, const std::string& name) {
  return QuoteIdent(owner) + "." + QuoteIdent(name);
}

// The object table a REF names and the row's ROWID text; ORA-21700 when the table is gone.
const CatObject& RefTarget(const Catalog& cat, const std::string& ref, std::string& rowid) {
  int64_t objId, rid;
  if (!ParseRefBytes(ref, objId, rid)) Raise(21700);
  for (auto& [k, o] : cat.objects)
    if (o.id == objId && !o.ofType.empty()) {
      rowid = RowidText(objId, rid);
      return o;
    }
  Raise(21700);
}

}  // namespace

TypeDesc Session::DescribeType(const std::string& name) {
  SessionState& s = *state_;
  std::lock_guard<std::mutex> lock(s.mu);
  s.CheckConnected();
  auto cat = s.CurrentCatalog();
  auto parts = SplitName(name);
  const CatType* t = nullptr;
  if (parts.size() == 1 && !parts[0].empty()) t = cat->ResolveType("", parts[0], s.user);
  if (parts.size() == 2 && !parts[0].empty() && !parts[1].empty())
    t = cat->ResolveType(parts[0], parts[1], s.user);
  if (!t || (t->owner != s.user && t->owner != "SYS" && !s.dba)) Raise(4043, name);
  return Desc(*t);
}

TypeDesc Session::DescribeTypeByOid(const std::string& oid) {
  SessionState& s = *state_;
  std::lock_guard<std::mutex> lock(s.mu);
  s.CheckConnected();
  auto cat = s.CurrentCatalog();
  for (auto& [k, t] : cat->types)
    if (t.oid == oid) return Desc(t);
  Raise(4043, "");
}

Value Session::PinObject(const std::string& refBytes, bool lock) {
  std::string rowid, sql;
  {
    std::lock_guard<std::mutex> guard(state_->mu);
    state_->CheckConnected();
    auto cat = state_->CurrentCatalog();
    const CatObject& t = RefTarget(*cat, refBytes, rowid);
    sql = "SELECT VALUE(p) FROM " + Quoted(t.owner, t.name) + " p WHERE p.ROWID = :RID" +
          (lock ? " FOR UPDATE" : "");
  }
  auto c = Prepare(sql);
  c->BindByName("RID", Value::MakeText(rowid));
  c->Execute();
  std::vector<Value> row;
  if (!c->Fetch(row) || row.empty() || row[0].IsNull()) Raise(21700);
  return row[0];
}

void Session::FlushObject(const std::string& refBytes, const Value& obj) {
  std::string rowid, sql;
  std::vector<Value> items;
  {
    std::lock_guard<std::mutex> guard(state_->mu);
    state_->CheckConnected();
    auto cat = state_->CurrentCatalog();
    const CatObject& t = RefTarget(*cat, refBytes, rowid);
    Value v = CheckObjectValue(*cat, obj, t.ofType);
    if (v.IsNull()) Raise(1407, "\"" + t.owner + "\".\"" + t.name + "\"");
    items = v.obj->items;
    sql = "UPDATE " + Quoted(t.owner, t.name) + " p SET ";
    for (size_t i = 0; i < t.columns.size(); ++i)
      sql += (i ? ", " : "") + QuoteIdent(t.columns[i].name) + " = :A" + std::to_string(i + 1);
    sql += " WHERE p.ROWID = :RID";
  }
  auto c = Prepare(sql);
  for (size_t i = 0; i < items.size(); ++i) c->BindByName("A" + std::to_string(i + 1), items[i]);
  c->BindByName("RID", Value::MakeText(rowid));
  c->Execute();
  if (c->RowCount() == 0) Raise(21700);
}

void Session::DeleteObject(const std::string& refBytes) {
  std::string rowid, sql;
  {
    std::lock_guard<std::mutex> guard(state_->mu);
    state_->CheckConnected();
    auto cat = state_->CurrentCatalog();
    const CatObject& t = RefTarget(*cat, refBytes, rowid);
    sql = "DELETE FROM " + Quoted(t.owner, t.name) + " p WHERE p.ROWID = :RID";
  }
  auto c = Prepare(sql);
  c->BindByName("RID", Value::MakeText(rowid));
  c->Execute();
  if (c->RowCount() == 0) Raise(21700);
}

std::string Session::InsertObject(const std::string& schema, const std::string& table, const Value& obj) {
  std::string sql, typeOid;
  std::vector<Value> items;
  int64_t objId = 0;
  {
    std::lock_guard<std::mutex> guard(state_->mu);
    state_->CheckConnected();
    auto cat = state_->CurrentCatalog();
    auto [owner, name] = ObjectTableOf(*state_, *cat, schema, table);
    const CatObject& t = *cat->Find(owner + "." + name);
    Value v = CheckObjectValue(*cat, obj, t.ofType);
    if (v.IsNull()) v = CheckObjectValue(*cat, Value::MakeObject(ObjectValue{}), t.ofType);
    items = v.obj->items;
    objId = t.id;
    typeOid = cat->FindType(t.ofType)->oid;
    sql = "INSERT INTO " + Quoted(t.owner, t.name) + " VALUES (";
    for (size_t i = 0; i < t.columns.size(); ++i) sql += (i ? ", :A" : ":A") + std::to_string(i + 1);
    sql += ")";
  }
  auto c = Prepare(sql);
  for (size_t i = 0; i < items.size(); ++i) c->BindByName("A" + std::to_string(i + 1), items[i]);
  c->Execute();
  int64_t rowObj, rid;
  if (!RowidDecode(c->LastRowid(), rowObj, rid)) Raise(21700);
  return MakeRefBytes(objId, rid, typeOid);
}

std::pair<std::string, std::string> Session::ObjectTable(const std::string& schema,
                                                         const std::string& table) {
  std::lock_guard<std::mutex> guard(state_->mu);
  state_->CheckConnected();
  auto cat = state_->CurrentCatalog();
  return ObjectTableOf(*state_, *cat, schema, table);
}

std::pair<std::string, std::string> ObjectTableOf(SessionState& s, const Catalog& cat,
                                                  const std::string& schema, const std::string& table) {
  auto parts = SplitName(schema.empty() ? table : schema + "." + table);
  if (parts.size() == 2 && parts[0].empty()) parts.erase(parts.begin());
  const CatObject* o = nullptr;
  if (parts.size() == 2) {
    o = cat.Find(parts[0] + "." + parts[1]);
  } else if (parts.size() == 1) {
    o = cat.Find(s.user + "." + parts[0]);
    if (!o) {
      auto syn = cat.synonyms.find(s.user + "." + parts[0]);
      if (syn == cat.synonyms.end()) syn = cat.synonyms.find("PUBLIC." + parts[0]);
      if (syn != cat.synonyms.end()) o = cat.Find(syn->second);
    }
  }
  if (!o || o->type != "TABLE" || o->ofType.empty() || (o->owner != s.user && !s.dba)) Raise(942);
  return {o->owner, o->name};
}

Value DerefObject(SessionState& s, const std::string& ref) {
  std::string sql;
  {
    auto cat = s.CurrentCatalog();
    std::string rowid;
    try {
      const CatObject& t = RefTarget(*cat, ref, rowid);
      sql = "SELECT VALUE(p) FROM " + Quoted(t.owner, t.name) + " p WHERE p.ROWID = :RID";
    } catch (const OraError&) {
      return Value();  // the table is gone
    }
  }
  // the query a SELECT of the session would run: other sessions' uncommitted changes stay unseen
  auto tr = s.TranslateCached(sql);
  const std::string& q =
      !tr->sqliteConsistent.empty() && s.OthersPending() ? tr->sqliteConsistent : tr->sqlite;
  int64_t objId, rid;
  ParseRefBytes(ref, objId, rid);
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(s.db, q.c_str(), -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return Value();
  }
  std::string rowid = RowidText(objId, rid);
  sqlite3_bind_text(st, 1, rowid.data(), static_cast<int>(rowid.size()), SQLITE_TRANSIENT);
  Value out;
  if (sqlite3_step(st) == SQLITE_ROW) out = FromSqlite(st, 0, tr->columnTypes[0]);
  sqlite3_finalize(st);
  return out;
}

Value CheckBoundObject(SessionState& s, const Value& v) {
  if (v.kind != Value::Object || !v.obj || v.obj->atomicNull) return v.kind == Value::Object ? Value() : v;
  auto cat = s.CurrentCatalog();
  const CatType* t = cat->ResolveType(v.obj->typeSchema, v.obj->typeName, s.user);
  if (!t) Raise(932);
  return CheckObjectValue(*cat, v, t->Key());
}

}  // namespace oracle_sim
