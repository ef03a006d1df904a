// Object values inside the instance: their stored form, REF bytes, the SQL functions that build and
// take apart objects, and checking a value against its named type.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "oracle_sim/engine/Catalog.h"
#include "oracle_sim/engine/Engine.h"

struct sqlite3;

namespace oracle_sim {

struct FunctionEnv;

// The stored form of an object, a collection or an XMLType value (a BLOB in SQLite). Self-describing:
// it carries its type's name and the kind of every item.
std::string EncodeObject(const ObjectValue& v);
// False when `data` is not a stored object.
bool DecodeObject(const void* data, int size, ObjectValue& out);

// REF bytes: the object table (its object number), the row and the type's identifier.
std::string MakeRefBytes(int64_t objectId, int64_t rid, const std::string& typeOid);
bool ParseRefBytes(const std::string& ref, int64_t& objectId, int64_t& rid);

// ora_obj_make, ora_obj_attr, ora_obj_check, ora_xml_make, ora_xml_text, ora_ref, ora_ref_check,
// ora_deref, ora_attr_len.
void RegisterObjectFunctions(sqlite3* db, FunctionEnv* env);

// Checks `v` (an object or collection, or Null) against the named type `key` and returns it with
// every item in the kind its attribute stores (numbers as numbers, text as text ...). Throws
// ORA-00932 for a value of another type, ORA-22814 for a too large attribute, ORA-22909 for a
// VARRAY over its limit.
Value CheckObjectValue(const Catalog& cat, const Value& v, const std::string& key);

struct SessionState;
// The owner and name of the object table `schema`.`table` names; ORA-00942 when it is not one.
std::pair<std::string, std::string> ObjectTableOf(SessionState& s, const Catalog& cat,
                                                  const std::string& schema, const std::string& table);
// DEREF: the object a REF names as the session's connection sees it; Null when its row is gone.
Value DerefObject(SessionState& s, const std::string& ref);
// A bound object checked against its own type (a bind of Kind Object); other values as they are.
Value CheckBoundObject(SessionState& s, const Value& v);

// The type OID of SYS.XMLTYPE.
const std::string& XmlTypeOid();

}  // namespace oracle_sim
