// The memory a query exchanges with the Oracle client library: the declared bind and substitution
// variables of a statement (TVariableData in TVariables), the per-column row buffers of a select
// list (TFieldData) and the pieces in which a LONG or LONG RAW column value arrives (TLongPiece).
//
// Every buffer is laid out the way the call interface reads and writes it: a value area of fixed
// element size, a 16-bit indicator per element (0 value, -1 null) and, for columns, a 16-bit
// returned length per row.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "oracle/OracleCIApi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Variants.h"

class TOracleSession;
class TOracleQuery;

// ---- Type codes ---------------------------------------------------------------------------------

inline constexpr int otSubst = 1;
inline constexpr int otInteger = 3;
inline constexpr int otFloat = 4;
inline constexpr int otString = 5;
inline constexpr int otLong = 8;
inline constexpr int otPLSQLString = 10;
inline constexpr int otDate = 12;
inline constexpr int otLongRaw = 24;
inline constexpr int otChar = 97;
inline constexpr int otObject = 108;
inline constexpr int otReference = 110;
inline constexpr int otCLOB = 112;
inline constexpr int otBLOB = 113;
inline constexpr int otBFile = 114;
inline constexpr int otCursor = 116;
inline constexpr int otTimestamp = 187;
inline constexpr int otTimestampTZ = 188;
inline constexpr int otTimestampLTZ = 232;

// The largest text a PL/SQL string variable holds.
inline constexpr int MaxPLSQLStringChars = 32512;

bool IsLOBType(int TypeCode);
bool IsTimestampType(int TypeCode);
// LOB, timestamp, object, reference and cursor types: the value is a reference to an object.
bool IsComplexType(int TypeCode);
// The element size a declared variable of this type gets; -1 for a type that cannot be declared.
int VariableElementSize(int TypeCode);
// The type a variable of this type is bound with (host-call mode binds cursors as 102).
int VariableBindType(int TypeCode, bool HandleMode);

// ---- Text helpers -------------------------------------------------------------------------------

// Text sent to the server: without CR characters while the session converts line breaks (or
// without a session).
std::string RemoveCarriageReturns(const std::string& Text, TOracleSession* Session);
// Text read from the server: line breaks made CR LF while the session converts them (or without a
// session).
std::string ExpandLineBreaks(const std::string& Text, TOracleSession* Session);

// ---- Variables ----------------------------------------------------------------------------------

// One declared variable.
class TVariableData : public TCollectionItem {
  TALVIK_CLASS(TVariableData, TCollectionItem)
  explicit TVariableData(TCollection* Collection);
  ~TVariableData() override;

  // Frees the value area when the item owns it; element size 0.
  void ReleaseBuffer();
  // Resizes the indicator and value areas to Count elements (every element null afterwards); a
  // StringSize above 0 sets the element size to StringSize + 1.
  void SetArraySize(int Count, int StringSize, TOracleSession* Session);
  // Converts Value into element Index.
  void StoreValue(int Index, const TVariant& Value, TOracleSession* Session);
  // Element Index as a variant (the caller has checked the indicator).
  TVariant ElementValue(int Index, TOracleSession* Session) const;
  // Whether element 0 is null.
  bool IsNull() const { return indicators == nullptr || indicators[0] == -1; }
  // The bytes of the value the "Data" stream stores for this variable (0 when null).
  int StoredValueLength() const;
  // The address of element Index in the value area.
  uint8_t* Element(int Index) const { return buffer + static_cast<ptrdiff_t>(elementSize) * Index; }
  // The object a complex variable refers to.
  void* ObjectReference() const { return objectReference; }

  std::string name;                 // with its leading ':'
  int16_t varType = 0;              // type code
  int32_t elementSize = 0;          // bytes per element
  uint8_t* buffer = nullptr;        // the value area (element size x element count bytes)
  void* objectReference = nullptr;  // complex variables: the bound object (not owned)
  sb2* indicators = nullptr;        // one per element: 0 value, -1 null
  int32_t dataLength = 0;           // substitution, LONG and LONG RAW: the bytes of the value
  int32_t lowBound = 0;             // low bound of the variant array last assigned
  int32_t elementCount = 0;         // elements of the value and indicator areas
  bool isPLSQLTable = false;
  ub4 tableEntries = 0;  // entries of a PL/SQL table (given to the client and updated by it)
  bool ownsBuffer = true;
  bool isComplex = false;
  // Binding in handle mode: the bind handle and what the last bind passed, so that an unchanged
  // binding is not repeated.
  OCIBind* bindHandle = nullptr;
  void* boundAddress = nullptr;
  sb2* boundIndicators = nullptr;
  int32_t boundSize = -1;
  ub2 boundLength = 0;  // LONG and LONG RAW: the length handed to the client
  // Timestamp variables given a date-time instead of a timestamp object, and the object made for
  // the bind from it (freed after execution).
  TDateTime timestampValue = 0;
  std::unique_ptr<TObject> internalTimestamp;

 private:
  void AllocateIndicators(int Count);
};

// The declared variables of a query, stored with its form as the binary property "Data".
class TVariables : public TPersistent {
  TALVIK_CLASS(TVariables, TPersistent)
  explicit TVariables(TOracleQuery* Query);
  ~TVariables() override;

  int Count() const { return items_->Count(); }
  TVariableData* Items(int Index) const { return static_cast<TVariableData*>(items_->Items(Index)); }
  TOracleQuery* Query() const { return query_; }
  TCollection* Collection() const { return items_.get(); }
  // The first variable of that exact (normalised) name, or nullptr; and its index or -1.
  TVariableData* Find(const std::string& Name) const;
  int IndexOf(const std::string& Name) const;

  void Assign(TPersistent* Source) override;
  void DefineProperties(TFiler* Filer) override;
  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream) const;
  // Whether the two lists would store differently.
  bool Differs(const TVariables* Other) const;

  // The version of the "Data" stream this writer produces.
  static int DataVersion() { return 3; }

 protected:
  void AssignTo(TPersistent* Dest) override;

 private:
  TOracleQuery* query_;
  std::unique_ptr<TCollection> items_;
};

// The text the query's Debug display shows for a variable.
std::string VariableDisplayText(TVariableData* Variable, TOracleQuery* Query);

// ---- Columns ------------------------------------------------------------------------------------

// One piece of a LONG or LONG RAW value.
class TLongPiece : public TCollectionItem {
  TALVIK_CLASS(TLongPiece, TCollectionItem)
  explicit TLongPiece(TCollection* Collection) : TCollectionItem(Collection) {}
  ~TLongPiece() override;
  void Allocate(int Size);

  int32_t allocatedSize = 0;
  ub4 returnedLength = 0;  // written by the client library
  uint8_t* buffer = nullptr;
};

// One select-list column and its row buffers.
class TFieldData : public TCollectionItem {
  TALVIK_CLASS(TFieldData, TCollectionItem)
  explicit TFieldData(TCollection* Collection) : TCollectionItem(Collection) {}
  ~TFieldData() override;

  void SetObjectInfo(OCIType* TypeDescriptor, OCIRef* TypeReference, OCIEnv* Environment,
                     OCIError* ErrorHandle);
  // Frees the row instances of an object or REF column.
  void FreeObjects();
  // The bytes of the LONG value in the pieces.
  int LongLength() const;
  // Allocates the value, indicator and length areas for Rows rows (value area zeroed).
  void AllocateRows(int Rows);
  // Empties the pieces (made on first use).
  void ResetPieces();
  TCollection* Pieces() const { return pieces.get(); }
  uint8_t* Cell(int Row) const { return buffer + static_cast<ptrdiff_t>(rowSize) * Row; }

  int32_t size = 0;      // described data size
  int16_t dataType = 0;  // the server's type code as described
  std::string name;      // at most 30 characters
  int16_t precision = 0;
  int16_t scale = 0;
  int16_t nullable = 0;
  int16_t fetchType = 0;  // the external type the column is defined with
  int32_t rowSize = 0;    // bytes per row in the value area
  // Bytes a character of the text takes in the value area: the client's UTF-8 for character
  // columns, one for the digits of numbers, dates and ROWIDs fetched as text.
  int32_t bytesPerChar = 1;
  int32_t rowCount = 0;
  uint8_t* buffer = nullptr;
  sb2* indicators = nullptr;
  ub2* lengths = nullptr;
  std::unique_ptr<TCollection> pieces;
  // Object columns: the type, kept pinned while the column lives.
  OCIType* typeDescriptor = nullptr;
  OCIRef* typeReference = nullptr;
  OCIEnv* environment = nullptr;
  OCIError* errorHandle = nullptr;
  void** nullStructures = nullptr;
  std::string typeName;  // schema.type of an object or REF column
  int typeCode = 0;
  // The helper object of a LOB, timestamp, object or REF column, repointed at the current row.
  std::unique_ptr<TObject> columnObject;
};

// The piece callback of LONG and LONG RAW columns (context: the column).
sb4 LongPieceCallback(dvoid* Context, OCIDefine* Define, ub4 Iteration, dvoid** Buffer, ub4** Length,
                      ub1* Piece, dvoid** Indicator, ub2** ReturnCode);
