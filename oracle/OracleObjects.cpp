// TOracleTimestamp and TLOBLocator (the other classes are in OracleObjectsObject.cpp).
#include "oracle/OracleObjects.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "oracle/OracleCI.h"
#include "oracle/OracleSession.h"
#include "oracle/OracleTypes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

OCIEnv* Env(TOracleSession* Session) {
  return Session->EnvironmentHandle();
}

// Characters of UTF-8 text: its bytes less the continuation bytes (10xxxxxx), eight at a time.
int64_t CharactersIn(const void* Text, int64_t Bytes) {
  const char* p = static_cast<const char*>(Text);
  int64_t continuation = 0, i = 0;
  for (; i + 8 <= Bytes; i += 8) {
    uint64_t x;
    std::memcpy(&x, p + i, 8);
    continuation +=
        static_cast<int64_t>((((x & ~(x << 1) & 0x8080808080808080ull) >> 7) * 0x0101010101010101ull) >> 56);
  }
  for (; i < Bytes; ++i) continuation += (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80;
  return Bytes - continuation;
}

}  // namespace

// ---- TOracleTimestamp -------------------------------------------------------------------------------

TOracleTimestamp::TOracleTimestamp(TOracleSession* Session, int TypeCode)
    : session_(Session), typeCode_(TypeCode), descriptorType_(TimestampDescriptorType(TypeCode)) {
  if (!Session || !Session->Connected())
    throw Exception("Can only create TOracleTimestamp instance if Session is connected");
  OCIEnv* env = Env(Session);
  if (OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err_), OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS)
    throw Exception("TOracleTimestamp: Invalid handle");
  if (OCI.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&descriptor_), descriptorType_, 0, nullptr) !=
      OCI_SUCCESS) {
    OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
    throw Exception("TOracleTimestamp: Invalid handle");
  }
}

TOracleTimestamp::~TOracleTimestamp() {
  if (ownsDescriptor_ && descriptor_ && OCI.OCIDescriptorFree)
    OCI.OCIDescriptorFree(descriptor_, descriptorType_);
  if (err_ && OCI.OCIHandleFree) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
}

void TOracleTimestamp::Check(sword Status) {
  if (Status == OCI_INVALID_HANDLE) throw Exception("TOracleTimestamp: Invalid handle");
  if (Status == OCI_ERROR) RaiseOracleError(session_, err_, session_);
}

void TOracleTimestamp::Changed(bool Null) {
  null_ = Null ? 1 : 0;
  // The owner clears the indicators on the attribute's path first; then this one says what it is.
  if (ownerObject_) ownerObject_->AttributeChanged(ownerAttribute_);
  if (indicator_) *indicator_ = Null ? -1 : 0;
}

void TOracleTimestamp::SetOwner(TOracleObject* Object, TObjectAttribute* Attribute) {
  ownerObject_ = Object;
  ownerAttribute_ = Attribute;
}

void TOracleTimestamp::IndicatorChanged() {
  if (indicator_) null_ = *indicator_ != 0 ? 1 : 0;
}

void TOracleTimestamp::SetNull() {
  Changed(true);
}

bool TOracleTimestamp::IsNull() const {
  if (indicator_) return *indicator_ != 0;
  return null_ != 0;
}

void TOracleTimestamp::SetComponents(int Year, int Month, int Day, int Hour, int Minute, int Second,
                                     int Fraction) {
  Check(OCI.OCIDateTimeConstruct(Env(session_), err_, descriptor_, static_cast<sb2>(Year),
                                 static_cast<ub1>(Month), static_cast<ub1>(Day), static_cast<ub1>(Hour),
                                 static_cast<ub1>(Minute), static_cast<ub1>(Second),
                                 static_cast<ub4>(Fraction), nullptr, 0));
  Changed(false);
}

TDateTime TOracleTimestamp::AsDateTime() {
  if (IsNull()) return 0;
  TDateTime value = 0;
  Check(OCIDateTimeToDateTime(session_, err_, descriptor_, value));
  return value;
}

void TOracleTimestamp::SetAsDateTime(TDateTime Value) {
  if (Value == 0 && session_->Preferences()->ZeroDateIsNull()) {
    SetNull();
    return;
  }
  int year, month, day, hour, minute, second, ms;
  DecodeDateTime(Value, year, month, day, hour, minute, second, ms);
  SetComponents(year, month, day, hour, minute, second, ms * 1000000);
}

void TOracleTimestamp::Attach(OCIDateTime* Descriptor, bool Owns, bool Null, int TypeCode) {
  if (ownsDescriptor_ && descriptor_ && descriptor_ != Descriptor)
    OCI.OCIDescriptorFree(descriptor_, descriptorType_);
  descriptor_ = Descriptor;
  ownsDescriptor_ = Owns;
  typeCode_ = TypeCode;
  descriptorType_ = TimestampDescriptorType(TypeCode);
  null_ = Null ? 1 : 0;
}

// ---- TLOBLocator ------------------------------------------------------------------------------------

TLOBLocator::TLOBLocator(TOracleSession* Session, int TypeCode) : session_(Session), lobType_(TypeCode) {
  if (!Session || !Session->Connected()) throw Exception("Not logged on");
  if (!IsLOBType(TypeCode)) throw Exception("Type must be otCLOB, otBLOB or otBFile");
  descriptorType_ = TypeCode == otBFile ? OCI_DTYPE_FILE : OCI_DTYPE_LOB;
  OCIEnv* env = Env(Session);
  if (OCI.OCIDescriptorAlloc(env, reinterpret_cast<dvoid**>(&locator_), descriptorType_, 0, nullptr) !=
      OCI_SUCCESS)
    throw Exception("TLOBLocator: Invalid handle");
  if (OCI.OCIHandleAlloc(env, reinterpret_cast<dvoid**>(&err_), OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS) {
    OCI.OCIDescriptorFree(locator_, descriptorType_);
    throw Exception("TLOBLocator: Invalid handle");
  }
  Session->AddLOB(this);
}

TLOBLocator* TLOBLocator::CreateTemporary(TOracleSession* Session, bool Cache, int TypeCode) {
  if (!OCIGroupPresent(ogOCI81)) throw Exception("A Temporary TLOBLocator requires Net8 8.1 or later");
  auto* lob = new TLOBLocator(Session, TypeCode);
  try {
    lob->Check(OCI.OCILobCreateTemporary(Session->ServiceContext(), lob->err_, lob->locator_, 0, 0,
                                         TypeCode == otCLOB ? OCI_TEMP_CLOB : OCI_TEMP_BLOB, Cache ? 1 : 0,
                                         OCI_DURATION_SESSION));
  } catch (...) {
    delete lob;
    throw;
  }
  lob->temporary_ = true;
  return lob;
}

TLOBLocator::~TLOBLocator() {
  ReleaseHandles();
  if (session_) session_->RemoveLOB(this);
}

void TLOBLocator::ReleaseHandles() {
  if (OCI.OCIDescriptorFree == nullptr) return;
  if (session_ && session_->Connected() && locator_ && err_) {
    OCISvcCtx* svc = session_->ServiceContext();
    if (lobType_ == otBFile) {
      boolean open = 0;
      if (OCI.OCILobFileIsOpen(svc, err_, locator_, &open) == OCI_SUCCESS && open)
        OCI.OCILobFileClose(svc, err_, locator_);
    }
    boolean temp = 0;
    if (OCIGroupPresent(ogOCI81) &&
        OCI.OCILobIsTemporary(Env(session_), err_, locator_, &temp) == OCI_SUCCESS && temp)
      OCI.OCILobFreeTemporary(svc, err_, locator_);
  }
  if (locator_) OCI.OCIDescriptorFree(locator_, descriptorType_);
  if (err_) OCI.OCIHandleFree(err_, OCI_HTYPE_ERROR);
  locator_ = nullptr;
  err_ = nullptr;
  locatorAddress_ = &locator_;
  indicator_ = nullptr;
}

void TLOBLocator::SessionLoggingOff(TOracleSession* /*Session*/) {
  ReleaseHandles();
}

void TLOBLocator::SessionDestroying(TOracleSession* /*Session*/) {
  ReleaseHandles();
  session_ = nullptr;
}

void TLOBLocator::CheckAlive() const {
  if (!session_ || !err_ || !session_->Connected()) throw Exception("Not logged on");
}

void TLOBLocator::SetOwner(TOracleObject* Object, TObjectAttribute* Attribute) {
  ownerObject_ = Object;
  ownerAttribute_ = Attribute;
}

void TLOBLocator::Changed() {
  if (indicator_) *indicator_ = 0;
  if (ownerObject_) ownerObject_->AttributeChanged(ownerAttribute_);
}

void TLOBLocator::Check(sword Status) {
  if (Status == OCI_INVALID_HANDLE) throw Exception("TLOBLocator: Invalid handle");
  if (Status == OCI_ERROR) RaiseOracleError(session_, err_, session_);
}

bool TLOBLocator::IsNull() {
  CheckAlive();
  if (!Locator() && ownerObject_) {
    // An attribute's empty cell gets a locator the instance keeps.
    Check(OCI.OCIObjectNew(Env(session_), err_, session_->ServiceContext(),
                           static_cast<OCITypeCode>(lobType_), nullptr, nullptr, OCI_DURATION_SESSION, 1,
                           reinterpret_cast<dvoid**>(locatorAddress_)));
  }
  if (indicator_) return *indicator_ != 0;
  if (!Locator()) return true;
  boolean init = 0;
  Check(OCI.OCILobLocatorIsInit(Env(session_), err_, Locator(), &init));
  return !init;
}

int64_t TLOBLocator::Length() {
  if (IsNull()) return 0;
  ub4 length = 0;
  Check(OCI.OCILobGetLength(session_->ServiceContext(), err_, Locator(), &length));
  return length;
}

int64_t TLOBLocator::Seek(int64_t Offset, int Origin) {
  if (Origin == soFromBeginning)
    position_ = Offset;
  else if (Origin == soFromCurrent)
    position_ += Offset;
  else
    position_ = Length() + Offset;
  return position_;
}

int64_t TLOBLocator::Read(void* Buffer, int64_t Count) {
  CheckAlive();
  if (Count <= 0 || IsNull()) return 0;
  if (position_ < 0 || position_ >= 0xFFFFFFFFLL) return 0;
  OCISvcCtx* svc = session_->ServiceContext();
  if (lobType_ == otBFile && !FileIsOpen()) OpenFile();
  ub4 amount = static_cast<ub4>(std::min<int64_t>(Count, 0xFFFFFFFFLL));
  Check(OCI.OCILobRead(svc, err_, Locator(), &amount, static_cast<ub4>(position_ + 1), Buffer, amount,
                       nullptr, nullptr, 0, 1));
  // The amount read counts the bytes in the buffer; a CLOB's position counts characters.
  position_ += lobType_ == otCLOB ? CharactersIn(Buffer, amount) : amount;
  return amount;
}

int64_t TLOBLocator::Write(const void* Buffer, int64_t Count) {
  CheckAlive();
  if (Count <= 0) return 0;
  if (position_ < 0 || position_ + Count >= 0xFFFFFFFFLL) throw Exception("TLOBLocator: Invalid handle");
  ub4 amount = static_cast<ub4>(Count);
  Check(OCI.OCILobWrite(session_->ServiceContext(), err_, Locator(), &amount, static_cast<ub4>(position_ + 1),
                        const_cast<void*>(Buffer), amount, OCI_ONE_PIECE, nullptr, nullptr, 0, 1));
  // The amount written comes back in characters for a CLOB, bytes otherwise.
  position_ += amount;
  Changed();
  return Count;
}

void TLOBLocator::SetSize(int64_t NewSize) {
  int64_t size = Length();
  if (NewSize < size) {
    Check(OCI.OCILobTrim(session_->ServiceContext(), err_, Locator(),
                         static_cast<ub4>(std::max<int64_t>(NewSize, 0))));
    Changed();
  } else if (NewSize > size) {
    Seek(NewSize - 1, soFromBeginning);
    char fill = lobType_ == otCLOB ? ' ' : '\0';
    Write(&fill, 1);
  }
}

void TLOBLocator::Clear() {
  CheckAlive();
  if (ownerObject_) {
    // A locator in an object attribute: a new locator object in the cell.
    if (Locator()) OCI.OCIObjectFree(Env(session_), err_, Locator(), 0);
    WriteCell<OCILobLocator>(locatorAddress_, nullptr);
    Check(OCI.OCIObjectNew(Env(session_), err_, session_->ServiceContext(),
                           static_cast<OCITypeCode>(lobType_), nullptr, nullptr, OCI_DURATION_SESSION, 1,
                           reinterpret_cast<dvoid**>(locatorAddress_)));
  } else if (locatorAddress_ == &locator_) {
    OCI.OCIDescriptorFree(locator_, descriptorType_);
    locator_ = nullptr;
    if (OCI.OCIDescriptorAlloc(Env(session_), reinterpret_cast<dvoid**>(&locator_), descriptorType_, 0,
                               nullptr) != OCI_SUCCESS)
      throw Exception("TLOBLocator: Invalid handle");
  }
  temporary_ = false;
  position_ = 0;
  // The owner clears the indicators on the attribute's path; this one is null again after it.
  if (ownerObject_) ownerObject_->AttributeChanged(ownerAttribute_);
  if (indicator_) *indicator_ = -1;
}

bool TLOBLocator::IsTemporary() {
  if (!OCIGroupPresent(ogOCI81)) return false;
  boolean temp = 0;
  Check(OCI.OCILobIsTemporary(Env(session_), err_, Locator(), &temp));
  return temp != 0;
}

bool TLOBLocator::FileIsOpen() {
  CheckAlive();
  // A locator that names no file has none open.
  if (lobType_ != otBFile || IsNull()) return false;
  boolean open = 0;
  Check(OCI.OCILobFileIsOpen(session_->ServiceContext(), err_, Locator(), &open));
  return open != 0;
}

void TLOBLocator::OpenFile() {
  CheckAlive();
  if (lobType_ != otBFile) return;
  Check(OCI.OCILobFileOpen(session_->ServiceContext(), err_, Locator(), OCI_FILE_READONLY));
}

void TLOBLocator::CloseFile() {
  CheckAlive();
  if (lobType_ != otBFile) return;
  Check(OCI.OCILobFileClose(session_->ServiceContext(), err_, Locator()));
}

std::string TLOBLocator::AsString() {
  int64_t length = Length();
  if (length <= 0) return {};
  int64_t bytes = lobType_ == otCLOB ? length * session_->BytesPerChar() : length;
  std::string result(static_cast<size_t>(bytes), '\0');
  position_ = 0;
  int64_t got = Read(result.data(), bytes);
  // A buffer sized by too few bytes per character (text of wider characters than the session was
  // told) takes the rest in further reads rather than losing it.
  while (got > 0 && position_ < length) {
    size_t at = static_cast<size_t>(got);
    result.resize(std::max(result.size(), at + static_cast<size_t>(length - position_) * 4));
    int64_t more = Read(result.data() + at, static_cast<int64_t>(result.size() - at));
    if (more <= 0) break;
    got += more;
  }
  result.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  if (lobType_ == otCLOB) result = ExpandLineBreaks(result, session_);
  return result;
}

// ---- Helpers of the object classes ---------------------------------------------------------------

TVariant LOBVariant(TLOBLocator* LOB) {
  int64_t size = LOB->Size();
  if (size <= 0) return NullVariant(LOB->Session());
  if (LOB->LOBType() == otCLOB) return TVariant(LOB->AsString());
  std::string bytes(static_cast<size_t>(size), '\0');
  LOB->SetPosition(0);
  bytes.resize(static_cast<size_t>(std::max<int64_t>(LOB->Read(bytes.data(), size), 0)));
  TVariant array = VarArrayCreate({0, static_cast<int>(bytes.size()) - 1}, varByte);
  array.Bytes() = bytes;
  return array;
}

std::string ParamText(OCIParam* Param, ub4 Attribute, OCIError* Err, sword& Status) {
  text* value = nullptr;
  ub4 length = 0;
  Status = OCI.OCIAttrGet(Param, OCI_DTYPE_PARAM, &value, &length, Attribute, Err);
  if (Status != OCI_SUCCESS || !value) return {};
  return std::string(reinterpret_cast<const char*>(value), length);
}
