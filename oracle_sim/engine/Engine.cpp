// Value conversions between the engine's values and SQLite's.
#include "oracle_sim/engine/Engine.h"

#include <sqlite3.h>

#include <ctime>

#include "oracle_sim/engine/EngineState.h"
#include "oracle_sim/engine/Errors.h"
#include "oracle_sim/engine/Functions.h"
#include "oracle_sim/engine/Objects.h"

namespace oracle_sim {

std::string Value::ToText() const {
  switch (kind) {
    case Null:
      return {};
    case Int:
      return NumberText(i);
    case Real:
      return NumberText(d);
    case Text:
      return s;
    case Bytes:
    case Ref: {
      static const char* h = "0123456789ABCDEF";
      std::string r;
      for (unsigned char c : s) {
        r += h[c >> 4];
        r += h[c & 15];
      }
      return r;
    }
    case Date:
      return FormatDate(dt, "DD-MON-RR");
    case Object: {
      // as SQL*Plus shows an object: ADDRESS_T('Main St', 12); an XMLType as its document
      if (!obj || obj->atomicNull) return {};
      if (obj->typeName == "XMLTYPE") return obj->xml;
      std::string r = obj->typeName + "(";
      for (size_t k = 0; k < obj->items.size(); ++k) {
        const Value& it = obj->items[k];
        r += k ? ", " : "";
        if (it.IsNull())
          r += "NULL";
        else if (it.kind == Text || it.kind == Date)
          r += "'" + it.ToText() + "'";
        else
          r += it.ToText();
      }
      return r + ")";
    }
  }
  return {};
}

namespace {

// The same instant with the zone removed, in UTC.
void ShiftToUtc(DateTime& d) {
  std::tm t{};
  t.tm_year = d.year - 1900;
  t.tm_mon = d.month - 1;
  t.tm_mday = d.day;
  t.tm_hour = d.hour;
  t.tm_min = d.minute;
  t.tm_sec = d.second;
  std::time_t secs = timegm(&t) - static_cast<std::time_t>(d.tzMinutes) * 60;
  std::tm u{};
  gmtime_r(&secs, &u);
  d.year = u.tm_year + 1900;
  d.month = u.tm_mon + 1;
  d.day = u.tm_mday;
  d.hour = u.tm_hour;
  d.minute = u.tm_min;
  d.second = u.tm_sec;
  d.hasTz = false;
  d.tzMinutes = 0;
}

}  // namespace

Value FromSqliteValue(sqlite3_value* sv, const SqlType& type) {
  int t = sqlite3_value_type(sv);
  if (t == SQLITE_NULL) return Value();
  switch (type.ty) {
    case Ty::Date:
    case Ty::Timestamp:
    case Ty::TimestampTZ:
    case Ty::TimestampLTZ: {
      std::string s(reinterpret_cast<const char*>(sqlite3_value_text(sv)), sqlite3_value_bytes(sv));
      DateTime d;
      if (!ParseIso(s, d)) return Value::MakeText(s);
      // DATE and TIMESTAMP carry no zone; WITH TIME ZONE always has one (UTC when stored without);
      // WITH LOCAL TIME ZONE is shown in the session's zone, which is UTC here.
      if (type.ty == Ty::Date) d.nanos = 0;
      if (type.ty == Ty::TimestampLTZ && d.hasTz) ShiftToUtc(d);
      if (type.ty != Ty::TimestampTZ) d.hasTz = false;
      if (type.ty == Ty::TimestampTZ && !d.hasTz) d.hasTz = true, d.tzMinutes = 0;
      return Value::MakeDate(d);
    }
    case Ty::Object: {
      ObjectValue o;
      if (t != SQLITE_BLOB || !DecodeObject(sqlite3_value_blob(sv), sqlite3_value_bytes(sv), o))
        return Value();
      if (o.atomicNull) return Value();
      return Value::MakeObject(std::move(o));
    }
    case Ty::Ref:
      if (t != SQLITE_BLOB) return Value();
      return Value::MakeRef(
          std::string(static_cast<const char*>(sqlite3_value_blob(sv)), sqlite3_value_bytes(sv)));
    case Ty::Number:
      if (t == SQLITE_INTEGER) return Value::MakeInt(sqlite3_value_int64(sv));
      if (t == SQLITE_FLOAT) {
        double d = sqlite3_value_double(sv);
        if (d > -9e18 && d < 9e18 && d == static_cast<double>(static_cast<int64_t>(d)))
          return Value::MakeInt(static_cast<int64_t>(d));
        return Value::MakeReal(d);
      }
      {
        std::string s(reinterpret_cast<const char*>(sqlite3_value_text(sv)), sqlite3_value_bytes(sv));
        int64_t iv;
        double dv;
        bool isInt;
        if (ParseNumber(s, iv, dv, isInt)) return isInt ? Value::MakeInt(iv) : Value::MakeReal(dv);
        return Value::MakeText(s);
      }
    case Ty::Clob:
    case Ty::Blob:
      // An empty LOB (EMPTY_CLOB(), EMPTY_BLOB()) is an empty value, not NULL.
      if (sqlite3_value_bytes(sv) == 0) {
        Value v;
        v.kind = type.ty == Ty::Clob ? Value::Text : Value::Bytes;
        return v;
      }
      if (type.ty == Ty::Clob)
        return Value::MakeText(
            std::string(reinterpret_cast<const char*>(sqlite3_value_text(sv)), sqlite3_value_bytes(sv)));
      [[fallthrough]];
    case Ty::Raw:
    case Ty::LongRaw:
      if (t == SQLITE_BLOB)
        return Value::MakeBytes(
            std::string(static_cast<const char*>(sqlite3_value_blob(sv)), sqlite3_value_bytes(sv)));
      return Value::MakeBytes(
          std::string(reinterpret_cast<const char*>(sqlite3_value_text(sv)), sqlite3_value_bytes(sv)));
    default:
      if (t == SQLITE_INTEGER)
        return Value::MakeText(NumberText(static_cast<int64_t>(sqlite3_value_int64(sv))));
      if (t == SQLITE_FLOAT) return Value::MakeText(NumberText(sqlite3_value_double(sv)));
      if (t == SQLITE_BLOB)
        return Value::MakeBytes(
            std::string(static_cast<const char*>(sqlite3_value_blob(sv)), sqlite3_value_bytes(sv)));
      return Value::MakeText(
          std::string(reinterpret_cast<const char*>(sqlite3_value_text(sv)), sqlite3_value_bytes(sv)));
  }
}

Value FromSqlite(sqlite3_stmt* st, int i, const SqlType& type) {
  return FromSqliteValue(sqlite3_column_value(st, i), type);
}

void BindValue(sqlite3_stmt* st, int idx, const Value& v) {
  switch (v.kind) {
    case Value::Null:
      sqlite3_bind_null(st, idx);
      break;
    case Value::Int:
      sqlite3_bind_int64(st, idx, v.i);
      break;
    case Value::Real:
      sqlite3_bind_double(st, idx, v.d);
      break;
    case Value::Text:
      if (v.s.empty())
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_text(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
    case Value::Bytes:
      if (v.s.empty())
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_blob(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
    case Value::Date: {
      std::string s = FormatIso(v.dt);
      sqlite3_bind_text(st, idx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
      break;
    }
    case Value::Object:
      if (!v.obj || v.obj->atomicNull) {
        sqlite3_bind_null(st, idx);
      } else {
        std::string b = EncodeObject(*v.obj);
        sqlite3_bind_blob(st, idx, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
      }
      break;
    case Value::Ref:
      if (v.s.empty())
        sqlite3_bind_null(st, idx);
      else
        sqlite3_bind_blob(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
  }
}

}  // namespace oracle_sim
