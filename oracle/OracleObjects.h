// Oracle's complex values in handle mode: timestamps (a datetime descriptor) and LOB locators (a
// stream over a CLOB, BLOB or BFILE). A query column of such a type owns one and repoints it at the
// current row; a complex variable is bound to one the application gives.
#pragma once

#include <cstdint>
#include <string>

#include "oracle/Oracle.h"
#include "oracle_sim/oci.h"
#include "platform/rtl/Classes.h"

class TOracleSession;

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
  sb2* indicator_ = nullptr;
};

// A stream over a LOB: positions are 0-based (characters of a CLOB, bytes otherwise); the server
// is addressed with 1-based offsets.
class TLOBLocator : public TStream {
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

 private:
  void Check(sword Status);
  OCILobLocator* Locator() const { return *locatorAddress_; }

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
};
