// Oracle's complex values in handle mode: timestamps (a datetime descriptor), LOB locators (a
// stream over a CLOB, BLOB or BFILE), references (a REF), objects (an instance of an object type,
// with its attributes) and XML documents (SYS.XMLTYPE objects). A query column of such a type owns
// one and repoints it at the current row; a complex variable is bound to one the application gives.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oracle/OracleCIApi.h"
#include "oracle/OracleQuery.h"
#include "oracle/OracleSession.h"
#include "platform/rtl/Classes.h"

// The bytes of a pointer-sized cell (cells need not be aligned in an instance).
template <typename T>
T* ReadCell(const void* Cell) {
  T* value;
  std::memcpy(&value, Cell, sizeof value);
  return value;
}
template <typename T>
void WriteCell(void* Cell, T* Value) {
  std::memcpy(Cell, &Value, sizeof Value);
}

class TOracleSession;
class TOracleObject;
class TObjectAttribute;
class TXMLType;

// One TIMESTAMP, TIMESTAMP WITH TIME ZONE or WITH LOCAL TIME ZONE value.
class TOracleTimestamp : public TObject {
  TALVIK_CLASS(TOracleTimestamp, TObject)
  TOracleTimestamp(TOracleSession* Session, int TypeCode);
  ~TOracleTimestamp() override;

  void SetNull();
  // After a server call gave a value.
  void MarkNotNull() { Changed(false); }
  bool IsNull() const;
  int TypeCode() const { return typeCode_; }
  // Fraction in nanoseconds; the value gets no time zone (the session's, for WITH TIME ZONE).
  void SetComponents(int Year, int Month, int Day, int Hour, int Minute, int Second, int Fraction);
  TDateTime AsDateTime();
  void SetAsDateTime(TDateTime Value);
  // Takes a descriptor (a query column's row cell), freeing an owned previous one.
  void Attach(OCIDateTime* Descriptor, bool Owns, bool Null, int TypeCode);

  // For binds and columns: the descriptor field, and the indicator that keeps the null state.
  OCIDateTime** DescriptorAddress() { return &descriptor_; }
  OCIDateTime* Descriptor() const { return descriptor_; }
  void SetIndicator(sb2* Indicator) { indicator_ = Indicator; }
  // After a server call wrote the indicator: the object follows it.
  void IndicatorChanged();
  TOracleSession* Session() const { return session_; }
  // The object attribute this timestamp stands for: changes are told to the object.
  void SetOwner(TOracleObject* Object, TObjectAttribute* Attribute);

 private:
  void Check(sword Status);
  void Changed(bool Null);

  TOracleSession* session_;
  OCIError* err_ = nullptr;
  OCIDateTime* descriptor_ = nullptr;
  int typeCode_;
  ub4 descriptorType_;
  bool ownsDescriptor_ = true;
  uint8_t null_ = 1;
  TOracleObject* ownerObject_ = nullptr;
  TObjectAttribute* ownerAttribute_ = nullptr;
  sb2* indicator_ = nullptr;
};

// A stream over a LOB: positions are 0-based (characters of a CLOB, bytes otherwise); the server
// is addressed with 1-based offsets.
class TLOBLocator : public TStream, public TOracleSessionClient {
  TALVIK_CLASS(TLOBLocator, TStream)
  TLOBLocator(TOracleSession* Session, int TypeCode);
  // A temporary LOB that lives until the locator is destroyed.
  static TLOBLocator* CreateTemporary(TOracleSession* Session, bool Cache, int TypeCode);
  ~TLOBLocator() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, int Origin) override;
  void SetSize(int64_t NewSize) override;
  int64_t Length();

  bool IsNull();
  void Clear();
  bool IsTemporary();
  bool FileIsOpen();
  void OpenFile();
  void CloseFile();
  std::string AsString();
  int LOBType() const { return lobType_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }

  // For binds and columns: the locator in use (its own, or a query column's row cell).
  OCILobLocator** LocatorAddress() { return locatorAddress_; }
  void PointAt(OCILobLocator** Address) { locatorAddress_ = Address ? Address : &locator_; }
  void SetIndicator(sb2* Indicator) { indicator_ = Indicator; }
  TOracleSession* Session() const { return session_; }
  int MonitorId() const { return monitorId_; }
  void SetMonitorId(int Value) { monitorId_ = Value; }
  // The object attribute whose cell this locator works on: changes are told to the object, and an
  // empty cell gets a new locator object.
  void SetOwner(TOracleObject* Object, TObjectAttribute* Attribute);

  // TOracleSessionClient: the client handles go at logoff; the session goes with the session.
  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 private:
  void Check(sword Status);
  void CheckAlive() const;
  void ReleaseHandles();
  void Changed();
  OCILobLocator* Locator() const { return ReadCell<OCILobLocator>(locatorAddress_); }

  TOracleSession* session_;
  OCIError* err_ = nullptr;
  OCILobLocator* locator_ = nullptr;
  OCILobLocator** locatorAddress_ = &locator_;
  int64_t position_ = 0;
  ub4 descriptorType_;
  int lobType_;
  sb2* indicator_ = nullptr;
  bool temporary_ = false;
  std::string name_;
  int monitorId_ = 0;
  TOracleObject* ownerObject_ = nullptr;
  TObjectAttribute* ownerAttribute_ = nullptr;
};

// One REF: a pointer to a row of an object table.
class TOracleReference : public TObject, public TOracleSessionClient {
  TALVIK_CLASS(TOracleReference, TObject)
  // With a type REF (a query column's), the type is pinned through it; without one it is looked up
  // by TypeName.
  TOracleReference(TOracleSession* Session, const std::string& Name = "", int MonitorId = 0,
                   const std::string& TypeName = "", OCIRef* TypeRef = nullptr);
  ~TOracleReference() override;

  bool IsNull();
  void Clear();
  // The REF as hexadecimal text.
  std::string AsHex();
  const std::string& Name() const { return name_; }
  const std::string& TypeName() const { return typeName_; }
  int MonitorId() const { return monitorId_; }
  TOracleSession* Session() const { return session_; }
  // The pinned type the REF points at (nullptr when none was named).
  OCIType* TypeDescriptor() const { return tdo_; }

  // For binds and columns: the REF in use (its own, a query column's row cell or an object
  // attribute's cell), and the indicator that keeps the null state.
  OCIRef** RefAddress() { return refAddress_; }
  OCIRef* Ref() const { return ReadCell<OCIRef>(refAddress_); }
  void PointAt(OCIRef** Address) { refAddress_ = Address ? Address : &ref_; }
  void SetIndicator(sb2* Indicator) { indicator_ = Indicator; }
  sb2* Indicator() const { return indicator_; }
  // After a server call wrote a value (or null) into the REF.
  void Changed();
  void SetOwner(TOracleObject* Object, TObjectAttribute* Attribute);

  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 private:
  void Check(sword Status);
  void CheckAlive() const;
  void ReleaseHandles();

  TOracleSession* session_;
  OCIRef* ref_ = nullptr;
  OCIRef** refAddress_ = &ref_;
  OCIType* tdo_ = nullptr;
  OCIRef* typeRef_ = nullptr;
  std::string typeName_;
  OCIError* err_ = nullptr;
  TOracleObject* ownerObject_ = nullptr;
  TObjectAttribute* ownerAttribute_ = nullptr;
  sb2* indicator_ = nullptr;
  int monitorId_ = 0;
  std::string name_;
};

// One attribute of an object type (or the element of a collection type), with where its value and
// its null indicator lie in an instance.
class TObjectAttribute : public TCollectionItem {
  TALVIK_CLASS(TObjectAttribute, TCollectionItem)
  explicit TObjectAttribute(TCollection* Collection) : TCollectionItem(Collection) {}

  // A nested attribute's name carries its parent attribute's name and a full stop.
  const std::string& Name() const { return name_; }
  // The library's type code (otInteger, otFloat, otString, otDate, LOB, timestamp, otObject,
  // otReference, or the described code for a RAW).
  int DataType() const { return dataType_; }
  // Schema, full stop and type name of an object or REF attribute.
  const std::string& TypeName() const { return typeName_; }
  int DataSize() const { return dataSize_; }
  int Scale() const { return scale_; }
  int Precision() const { return precision_; }
  bool IsCollection() const { return isCollection_; }
  // The server's type code as described.
  int DescribedType() const { return describedType_; }
  OCIRef* TypeRef() const { return typeRef_; }
  // The type code of an object attribute's type (108 object, 122 collection, 58 opaque).
  int ObjectTypeCode() const { return objectTypeCode_; }
  TOracleObject* OracleObject() const { return object_; }
  // Byte offsets of the value in the instance and of the indicator in the null structure.
  int ValueOffset() const { return valueOffset_; }
  int NullOffset() const { return nullOffset_; }
  // A timestamp or interval read as text.
  bool AsString() const { return asString_; }
  bool NotFinal() const { return notFinal_; }
  // An object whose attributes lie inline in the instance (not a collection, final, not XML).
  bool Embedded() const;
  // Pointer-sized cell (strings, raws, LOBs, REFs, collections, timestamps, non-final objects).
  bool PointerCell() const;

  bool IsNull() const;
  TVariant Value() const;

 private:
  friend class TOracleObject;
  std::string name_;
  int dataType_ = 0;
  std::string typeName_;
  int dataSize_ = 0;
  int8_t scale_ = 0;
  uint8_t precision_ = 0;
  bool isCollection_ = false;
  int describedType_ = 0;
  OCIRef* typeRef_ = nullptr;
  int objectTypeCode_ = 0;
  TOracleObject* object_ = nullptr;
  int valueOffset_ = 0;
  int nullOffset_ = 0;
  bool asString_ = false;
  bool notFinal_ = false;
};

class TOracleQuery;

// An instance of an object type. Made by the application (a new object of a type, transient or, with
// a table name, to be inserted into that object table), or by a query column or an object attribute
// (then it is repointed at the row's or attribute's instance).
class TOracleObject : public TObject, public TOracleSessionClient {
  TALVIK_CLASS(TOracleObject, TObject)
  // TypeName "SCOTT.ADDRESS_T" or "ADDRESS_T"; TableName "PEOPLE" or "SCOTT.PEOPLE".
  TOracleObject(TOracleSession* Session, const std::string& TypeName, const std::string& TableName = "");
  // For a query column or an attribute: the instance comes with Attach.
  static std::unique_ptr<TOracleObject> CreateForColumn(TOracleSession* Session);
  ~TOracleObject() override;

  // Takes Instance (and its null structure; read from the client when nullptr).
  void Attach(void* Instance, void* NullStruct, const std::string& TypeName, OCIRef* TypeRef);

  bool IsNull() const;
  bool IsCollection() const { return typeCode_ == OCI_TYPECODE_NAMEDCOLLECTION; }
  int AttrCount();
  TObjectAttribute* Attributes(int Index);
  // The attribute of that name (without regard to case); nullptr, or "Unknown attribute: " + Name.
  TObjectAttribute* FindAttribute(const std::string& Name, bool RaiseError = true);
  TVariant GetAttr(const std::string& Name);
  // The object over an object attribute (a TXMLType for SYS.XMLTYPE), kept while this object is.
  TOracleObject* ObjAttr(const std::string& Name);
  TXMLType* XMLAttr(const std::string& Name);
  // The LOB locator, REF and timestamp over an attribute's cell, kept while this object is.
  TLOBLocator* LOBAttr(const std::string& Name);
  TOracleReference* RefAttr(const std::string& Name);
  TOracleTimestamp* TimestampAttr(const std::string& Name);
  // Marks a persistent object (pinned from a table) updated, or unmarks it.
  void MarkUpdate(bool Update);

  const std::string& TypeName() const { return typeName_; }
  int TypeCode() const { return typeCode_; }
  // A collection's element type code.
  int ElementTypeCode() const { return elementTypeCode_; }
  OCIType* TypeDescriptor() const { return tdo_; }
  OCIRef* TypeRef() const { return typeRef_; }
  TOracleSession* Session() const { return session_; }
  TOracleObject* Parent() const { return parent_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value) { name_ = Value; }
  int MonitorId() const { return monitorId_; }
  void SetMonitorId(int Value) { monitorId_ = Value; }
  // Whether the object came from (or goes to) an object table.
  bool Persistent() const { return table_ != nullptr; }

  // For binds and columns: the instance and null-structure fields.
  void** InstanceAddress() { return &instance_; }
  void** NullStructAddress() { return &null_; }
  void* Instance() const { return instance_; }
  void* NullStruct() const { return null_; }
  // A child object over an attribute changed: mark updated and clear the null indicators on the
  // attribute's path.
  void AttributeChanged(TObjectAttribute* Attribute);
  // After a server call wrote the instance (an OUT bind).
  void InstanceChanged();

  void SessionLoggingOff(TOracleSession* Session) override;
  void SessionDestroying(TOracleSession* Session) override;

 protected:
  struct TForColumn {};
  TOracleObject(TOracleSession* Session, TForColumn);
  // The query that runs the object's PL/SQL ("Query", made on first use).
  TOracleQuery* InternalQuery();

 private:
  void Check(sword Status);
  void CheckAlive() const;
  void CheckInstance() const;
  void Init(TOracleSession* Session);
  void LookupType(const std::string& Name);
  void PinType(OCIRef* TypeRef);
  void BuildAttributes();
  void DescribeAttributes(OCIParam* TypeParam, const std::string& Prefix, int Base, int& ValueOffset,
                          int& NullOffset);
  TObjectAttribute* AddAttribute(OCIParam* Param, const std::string& Prefix, bool Element, int Base,
                                 int& ValueOffset, int& NullOffset);
  void DropChildren();
  void ReleaseHandles();
  // The attribute's cell and indicator in the instance and null structure.
  uint8_t* ValueAddress(TObjectAttribute* Attribute) const;
  sb2* IndicatorAddress(TObjectAttribute* Attribute);
  TObjectAttribute* ObjectAttribute(const std::string& Name);
  TVariant NumberValue(TObjectAttribute* Attribute, const OCINumber* Number);

  friend class TObjectAttribute;
  friend class TXMLType;
  TOracleSession* session_;
  OCIError* err_ = nullptr;
  std::vector<OCIDescribe*> describes_;  // kept while the attributes' type REFs are in use
  void* instance_ = nullptr;
  void* null_ = nullptr;
  void* knownInstance_ = nullptr;  // the instance the children were made over
  OCIRef* typeRef_ = nullptr;
  OCIType* tdo_ = nullptr;
  std::string typeName_;
  bool ownsInstance_ = true;
  void* table_ = nullptr;
  std::map<std::string, std::unique_ptr<TOracleObject>> objects_;
  std::map<std::string, std::unique_ptr<TLOBLocator>> lobs_;
  std::map<std::string, std::unique_ptr<TOracleReference>> references_;
  std::map<std::string, std::unique_ptr<TOracleTimestamp>> timestamps_;
  TOracleObject* parent_ = nullptr;
  TObjectAttribute* parentAttribute_ = nullptr;
  std::unique_ptr<TCollection> attributes_;
  int typeCode_ = 0;
  int elementTypeCode_ = 0;
  TObjectAttribute* elementAttribute_ = nullptr;
  std::unique_ptr<TOracleQuery> query_;
  int monitorId_ = 0;
  std::string name_;
};

// An object of type SYS.XMLTYPE: its XML text is fetched through PL/SQL.
class TXMLType : public TOracleObject {
  TALVIK_CLASS(TXMLType, TOracleObject)
  explicit TXMLType(TOracleSession* Session, const std::string& TypeName = "SYS.XMLTYPE",
                    const std::string& TableName = "")
      : TOracleObject(Session, TypeName, TableName) {}
  static std::unique_ptr<TXMLType> CreateForColumn(TOracleSession* Session);
  // The document text; "" for a null object.
  std::string GetXMLData();

 protected:
  TXMLType(TOracleSession* Session, TForColumn Tag) : TOracleObject(Session, Tag) {}
};

// A LOB's whole value: unassigned (or null under the session's nvNull) when empty, a CLOB's text,
// or a variant array of the bytes of a BLOB or BFILE.
TVariant LOBVariant(TLOBLocator* LOB);
// A text attribute of a describe parameter ("" when the call fails; Status tells).
std::string ParamText(OCIParam* Param, ub4 Attribute, OCIError* Err, sword& Status);
