// The filer: TWriter and TReader over the binary stream format of components.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/rtl/Classes.h"

namespace {

constexpr char kSignature[4] = {'T', 'P', 'F', '0'};
constexpr int kMaxNesting = 256;

// Little-endian helpers: the format stores every number least significant byte first.
template <typename T>
void PutLE(uint8_t* out, T value) {
  using U = std::make_unsigned_t<T>;
  U u = static_cast<U>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(u >> (8 * i));
}

template <typename T>
T GetLE(const uint8_t* in) {
  using U = std::make_unsigned_t<T>;
  U u = 0;
  for (size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<U>(in[i]) << (8 * i));
  return static_cast<T>(u);
}

// The 10-byte extended-precision layout: 64-bit mantissa with explicit integer bit, then sign and
// 15-bit exponent (bias 16383).
void DoubleToExtended(double value, uint8_t out[10]) {
  uint64_t bits;
  std::memcpy(&bits, &value, 8);
  const uint16_t sign = static_cast<uint16_t>((bits >> 63) << 15);
  const int exp = static_cast<int>((bits >> 52) & 0x7FF);
  const uint64_t frac = bits & ((uint64_t{1} << 52) - 1);
  uint64_t mant = 0;
  int ext_exp = 0;
  if (exp == 0x7FF) {
    ext_exp = 0x7FFF;
    mant = (uint64_t{1} << 63) | (frac << 11);
  } else if (exp == 0) {
    if (frac != 0) {  // subnormal: normalise
      int msb = 63 - __builtin_clzll(frac);
      mant = frac << (63 - msb);
      ext_exp = msb - 1074 + 16383;
    }
  } else {
    ext_exp = exp - 1023 + 16383;
    mant = (uint64_t{1} << 63) | (frac << 11);
  }
  PutLE<uint64_t>(out, mant);
  PutLE<uint16_t>(out + 8, static_cast<uint16_t>(sign | ext_exp));
}

double ExtendedToDouble(const uint8_t in[10]) {
  const uint64_t mant = GetLE<uint64_t>(in);
  const uint16_t se = GetLE<uint16_t>(in + 8);
  const bool negative = (se & 0x8000) != 0;
  const int exp = se & 0x7FFF;
  double value;
  if (exp == 0x7FFF) {
    value = (mant << 1) == 0 ? HUGE_VAL : std::nan("");
  } else if (mant == 0) {
    value = 0.0;
  } else {
    value = std::ldexp(static_cast<double>(mant), exp - 16383 - 63);
  }
  return negative ? -value : value;
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string Utf16LeToUtf8(const std::string& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t k = 0; k < units.size(); ++k)
    units[k] = static_cast<char16_t>(static_cast<uint8_t>(bytes[2 * k]) |
                                     (static_cast<uint8_t>(bytes[2 * k + 1]) << 8));
  return Utf16ToUtf8(units);
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
void TWriter::DefineProperty(const std::string& Name, const TReaderProc& /*ReadData*/,
                             const TWriterProc& WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  WritePropName(Name);
  WriteData(this);
}

void TWriter::DefineBinaryProperty(const std::string& Name, const TStreamProc& /*ReadData*/,
                                   const TStreamProc& WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  TMemoryStream data;
  WriteData(&data);
  WritePropName(Name);
  WriteBinary(data.Memory(), data.Size());
}

void TWriter::WriteValue(TValueType Value) {
  const uint8_t b = Value;
  Write(&b, 1);
}

void TWriter::WriteInteger(int64_t Value) {
  uint8_t buf[9];
  if (Value >= -128 && Value <= 127) {
    buf[0] = vaInt8;
    buf[1] = static_cast<uint8_t>(static_cast<int8_t>(Value));
    Write(buf, 2);
  } else if (Value >= -32768 && Value <= 32767) {
    buf[0] = vaInt16;
    PutLE<int16_t>(buf + 1, static_cast<int16_t>(Value));
    Write(buf, 3);
  } else if (Value >= INT32_MIN && Value <= INT32_MAX) {
    buf[0] = vaInt32;
    PutLE<int32_t>(buf + 1, static_cast<int32_t>(Value));
    Write(buf, 5);
  } else {
    buf[0] = vaInt64;
    PutLE<int64_t>(buf + 1, Value);
    Write(buf, 9);
  }
}

void TWriter::WriteBoolean(bool Value) {
  WriteValue(Value ? vaTrue : vaFalse);
}

void TWriter::WriteFloat(double Value) {
  uint8_t buf[11];
  buf[0] = vaExtended;
  DoubleToExtended(Value, buf + 1);
  Write(buf, 11);
}

void TWriter::WriteSingle(float Value) {
  uint8_t buf[5];
  buf[0] = vaSingle;
  uint32_t bits;
  std::memcpy(&bits, &Value, 4);
  PutLE<uint32_t>(buf + 1, bits);
  Write(buf, 5);
}

void TWriter::WriteCurrency(double Value) {
  const double scaled = std::round(Value * 10000.0);
  if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18))
    throw EWriteError("Invalid property value");
  uint8_t buf[9];
  buf[0] = vaCurrency;
  PutLE<int64_t>(buf + 1, static_cast<int64_t>(scaled));
  Write(buf, 9);
}

void TWriter::WriteDate(double Value) {
  uint8_t buf[9];
  buf[0] = vaDate;
  uint64_t bits;
  std::memcpy(&bits, &Value, 8);
  PutLE<uint64_t>(buf + 1, bits);
  Write(buf, 9);
}

void TWriter::WriteString(std::string_view Value) {
  if (!IsAscii(Value)) {
    WriteUTF8String(Value);
    return;
  }
  if (Value.size() <= 255) {
    WriteValue(vaString);
    WriteStr(Value);
  } else {
    WriteValue(vaLString);
    uint8_t len[4];
    PutLE<int32_t>(len, static_cast<int32_t>(Value.size()));
    Write(len, 4);
    Write(Value.data(), static_cast<int64_t>(Value.size()));
  }
}

void TWriter::WriteWideString(std::string_view Value) {
  const std::u16string units = Utf8ToUtf16(Value);
  WriteValue(vaWString);
  uint8_t len[4];
  PutLE<int32_t>(len, static_cast<int32_t>(units.size()));
  Write(len, 4);
  std::string bytes(units.size() * 2, '\0');
  for (size_t k = 0; k < units.size(); ++k) {
    bytes[2 * k] = static_cast<char>(units[k] & 0xFF);
    bytes[2 * k + 1] = static_cast<char>(units[k] >> 8);
  }
  Write(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TWriter::WriteUTF8String(std::string_view Value) {
  WriteValue(vaUTF8String);
  uint8_t len[4];
  PutLE<int32_t>(len, static_cast<int32_t>(Value.size()));
  Write(len, 4);
  Write(Value.data(), static_cast<int64_t>(Value.size()));
}

void TWriter::WriteIdent(std::string_view Ident) {
  if (SameText(Ident, "False")) {
    WriteValue(vaFalse);
  } else if (SameText(Ident, "True")) {
    WriteValue(vaTrue);
  } else if (SameText(Ident, "Null")) {
    WriteValue(vaNull);
  } else if (SameText(Ident, "nil")) {
    WriteValue(vaNil);
  } else {
    WriteValue(vaIdent);
    WriteStr(Ident);
  }
}

void TWriter::WriteSet(const std::vector<std::string>& Idents) {
  WriteValue(vaSet);
  for (const auto& ident : Idents)
    if (!ident.empty()) WriteStr(ident);
  WriteStr("");
}

void TWriter::WriteBinary(const void* Data, int64_t Count) {
  if (Count < 0 || Count > INT32_MAX) throw EWriteError("Stream write error");
  WriteValue(vaBinary);
  uint8_t len[4];
  PutLE<int32_t>(len, static_cast<int32_t>(Count));
  Write(len, 4);
  Write(Data, Count);
}

void TWriter::WriteStr(std::string_view Value) {
  // A short string cannot hold more; cutting it would lose data silently.
  if (Value.size() > 255)
    throw EWriteError("String too long for the stream: " + std::string(Value.substr(0, 40)));
  const uint8_t len = static_cast<uint8_t>(Value.size());
  Write(&len, 1);
  Write(Value.data(), len);
}

void TWriter::WriteSignature() {
  Write(kSignature, 4);
}

void TWriter::WritePropName(std::string_view Name) {
  WriteStr(propPath_ + std::string(Name));
}

void TWriter::WriteProperties(TPersistent* Instance) {
  Instance->DefineProperties(this);
}

void TWriter::WriteCollection(TCollection* Value) {
  WriteValue(vaCollection);
  if (Value) {
    for (int i = 0; i < Value->Count(); ++i) {
      WriteListBegin();
      WriteProperties(Value->Items(i));
      WriteListEnd();
    }
  }
  WriteListEnd();
}

void TWriter::WriteComponent(TComponent* Component) {
  TComponent* ancestor = dynamic_cast<TComponent*>(ancestor_);
  WriteComponentData(Component, ancestor);
}

void TWriter::WriteComponentData(TComponent* Component, TComponent* AncestorComponent) {
  TPersistent* saved_ancestor = ancestor_;
  ancestor_ = AncestorComponent;
  Component->IncludeComponentState(csWriting);
  try {
    WriteStr(Component->ClassName());
    WriteStr(Component->Name());
    WriteProperties(Component);
    WriteListEnd();
    for (int i = 0; i < Component->ComponentCount(); ++i) {
      TComponent* child = Component->Components(i);
      TComponent* child_ancestor =
          AncestorComponent ? AncestorComponent->FindComponent(child->Name()) : nullptr;
      WriteComponentData(child, child_ancestor);
    }
    WriteListEnd();
  } catch (...) {
    Component->ExcludeComponentState(csWriting);
    ancestor_ = saved_ancestor;
    throw;
  }
  Component->ExcludeComponentState(csWriting);
  ancestor_ = saved_ancestor;
}

void TWriter::WriteRootComponent(TComponent* Root) {
  WriteDescendent(Root, nullptr);
}

void TWriter::WriteDescendent(TComponent* Root, TComponent* AncestorRoot) {
  root_ = Root;
  WriteSignature();
  WriteComponentData(Root, AncestorRoot);
}

// ---------------------------------------------------------------------------------------------------
void TReader::PropValueError() {
  throw EReadError("Invalid property value");
}

void TReader::CheckAvailable(int64_t Count) {
  // A length that runs past the end of the stream is refused before anything is allocated.
  if (Count < 0 || Count > stream_->Size() - stream_->Position()) throw EReadError("Stream read error");
}

std::string TReader::ReadCountedBytes(int64_t Count) {
  CheckAvailable(Count);
  std::string s(static_cast<size_t>(Count), '\0');
  if (Count > 0) Read(s.data(), Count);
  return s;
}

void TReader::DefineProperty(const std::string& Name, const TReaderProc& ReadData,
                             const TWriterProc& /*WriteData*/, bool /*HasData*/) {
  if (propDone_ || !ReadData || !SameText(Name, propName_)) return;
  propDone_ = true;
  ReadData(this);
}

void TReader::DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                   const TStreamProc& /*WriteData*/, bool /*HasData*/) {
  if (propDone_ || !ReadData || !SameText(Name, propName_)) return;
  propDone_ = true;
  const std::string bytes = ReadBinary();
  TMemoryStream data;
  data.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  data.SetPosition(0);
  ReadData(&data);
}

TValueType TReader::ReadValue() {
  uint8_t b;
  Read(&b, 1);
  return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  stream_->Seek(-1, soFromCurrent);
  return v;
}

void TReader::CheckValue(TValueType Value) {
  if (ReadValue() != Value) {
    stream_->Seek(-1, soFromCurrent);
    PropValueError();
  }
}

int32_t TReader::ReadInteger() {
  uint8_t buf[4];
  switch (ReadValue()) {
    case vaInt8:
      Read(buf, 1);
      return static_cast<int8_t>(buf[0]);
    case vaInt16:
      Read(buf, 2);
      return GetLE<int16_t>(buf);
    case vaInt32:
      Read(buf, 4);
      return GetLE<int32_t>(buf);
    default:
      stream_->Seek(-1, soFromCurrent);
      PropValueError();
  }
}

int64_t TReader::ReadInt64() {
  if (NextValue() == vaInt64) {
    ReadValue();
    uint8_t buf[8];
    Read(buf, 8);
    return GetLE<int64_t>(buf);
  }
  return ReadInteger();
}

bool TReader::ReadBoolean() {
  const TValueType v = ReadValue();
  if (v == vaTrue) return true;
  if (v == vaFalse) return false;
  stream_->Seek(-1, soFromCurrent);
  PropValueError();
}

double TReader::ReadFloat() {
  if (NextValue() == vaExtended) {
    ReadValue();
    uint8_t buf[10];
    Read(buf, 10);
    return ExtendedToDouble(buf);
  }
  return static_cast<double>(ReadInt64());
}

float TReader::ReadSingle() {
  if (NextValue() == vaSingle) {
    ReadValue();
    uint8_t buf[4];
    Read(buf, 4);
    const uint32_t bits = GetLE<uint32_t>(buf);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  return static_cast<float>(ReadInt64());
}

double TReader::ReadCurrency() {
  if (NextValue() == vaCurrency) {
    ReadValue();
    uint8_t buf[8];
    Read(buf, 8);
    return static_cast<double>(GetLE<int64_t>(buf)) / 10000.0;
  }
  return static_cast<double>(ReadInt64());
}

double TReader::ReadDate() {
  if (NextValue() == vaDate) {
    ReadValue();
    uint8_t buf[8];
    Read(buf, 8);
    const uint64_t bits = GetLE<uint64_t>(buf);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
  }
  return static_cast<double>(ReadInt64());
}

std::string TReader::ReadString() {
  uint8_t buf[4];
  switch (ReadValue()) {
    case vaString:
      Read(buf, 1);
      return ReadCountedBytes(buf[0]);
    case vaLString:
    case vaUTF8String:
      Read(buf, 4);
      return ReadCountedBytes(GetLE<int32_t>(buf));
    case vaWString: {
      Read(buf, 4);
      const int64_t units = GetLE<int32_t>(buf);
      if (units < 0) throw EReadError("Stream read error");
      return Utf16LeToUtf8(ReadCountedBytes(units * 2));
    }
    default:
      stream_->Seek(-1, soFromCurrent);
      PropValueError();
  }
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent:
      return ReadStr();
    case vaFalse:
      return "False";
    case vaTrue:
      return "True";
    case vaNil:
      return "nil";
    case vaNull:
      return "Null";
    default:
      stream_->Seek(-1, soFromCurrent);
      PropValueError();
  }
}

std::vector<std::string> TReader::ReadSet() {
  CheckValue(vaSet);
  std::vector<std::string> result;
  for (std::string s = ReadStr(); !s.empty(); s = ReadStr()) result.push_back(std::move(s));
  return result;
}

std::string TReader::ReadBinary() {
  CheckValue(vaBinary);
  uint8_t buf[4];
  Read(buf, 4);
  return ReadCountedBytes(GetLE<int32_t>(buf));
}

std::string TReader::ReadStr() {
  uint8_t len;
  Read(&len, 1);
  return ReadCountedBytes(len);
}

void TReader::ReadSignature() {
  char sig[4];
  if (stream_->Read(sig, 4) != 4 || std::memcmp(sig, kSignature, 4) != 0)
    throw EReadError("Invalid stream format");
}

void TReader::ReadProperty(TPersistent* Instance) {
  const std::string name = ReadStr();
  const std::string saved_name = propName_;
  const bool saved_done = propDone_;
  propName_ = name;
  propDone_ = false;
  try {
    Instance->DefineProperties(this);
  } catch (...) {
    propName_ = saved_name;
    propDone_ = saved_done;
    throw;
  }
  const bool done = propDone_;
  propName_ = saved_name;
  propDone_ = saved_done;
  if (!done) throw EReadError("Property " + name + " does not exist");
}

void TReader::ReadProperties(TPersistent* Instance) {
  while (!EndOfList()) ReadProperty(Instance);
}

void TReader::ReadCollection(TCollection* Collection) {
  CheckValue(vaCollection);
  talvik_detail::UpdateScope update(Collection);
  Collection->Clear();
  while (!EndOfList()) {
    const TValueType v = NextValue();
    if (v == vaInt8 || v == vaInt16 || v == vaInt32) ReadInteger();
    TCollectionItem* item = Collection->Add();
    ReadListBegin();
    ReadProperties(item);
    ReadListEnd();
  }
  ReadListEnd();
}

void TReader::SkipValue() {
  static thread_local int depth = 0;
  if (depth >= kMaxNesting) throw EReadError("Invalid stream format");
  struct Nest {
    Nest() { ++depth; }
    ~Nest() { --depth; }
  } nest;
  uint8_t buf[4];
  auto skip = [&](int64_t n) {
    CheckAvailable(n);
    stream_->Seek(n, soFromCurrent);
  };
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil:
      return;
    case vaList:
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      return;
    case vaInt8:
      return skip(1);
    case vaInt16:
      return skip(2);
    case vaInt32:
    case vaSingle:
      return skip(4);
    case vaInt64:
    case vaCurrency:
    case vaDate:
      return skip(8);
    case vaExtended:
      return skip(10);
    case vaString:
    case vaIdent:
      Read(buf, 1);
      return skip(buf[0]);
    case vaBinary:
    case vaLString:
    case vaUTF8String:
      Read(buf, 4);
      return skip(GetLE<int32_t>(buf));
    case vaWString:
      Read(buf, 4);
      return skip(int64_t{GetLE<int32_t>(buf)} * 2);
    case vaSet:
      while (!ReadStr().empty()) {
      }
      return;
    case vaCollection:
      while (!EndOfList()) {
        const TValueType v = NextValue();
        if (v == vaInt8 || v == vaInt16 || v == vaInt32) SkipValue();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      return;
    default:
      stream_->Seek(-1, soFromCurrent);
      PropValueError();
  }
}

namespace {
// The optional prefix of a component: flags (inherited, child position, inline) in a byte $Fx.
void SkipPrefix(TReader* reader, TStream* stream) {
  uint8_t b;
  if (stream->Read(&b, 1) != 1) throw EReadError("Stream read error");
  if ((b & 0xF0) == 0xF0) {
    if (b & 0x02) reader->ReadInteger();
  } else {
    stream->Seek(-1, soFromCurrent);
  }
}
}  // namespace

void TReader::SkipComponent() {
  static thread_local int depth = 0;
  if (depth >= kMaxNesting) throw EReadError("Invalid stream format");
  ++depth;
  try {
    SkipPrefix(this, stream_);
    ReadStr();
    ReadStr();
    while (!EndOfList()) {
      ReadStr();
      SkipValue();
    }
    ReadListEnd();
    while (!EndOfList()) SkipComponent();
    ReadListEnd();
  } catch (...) {
    --depth;
    throw;
  }
  --depth;
}

void TReader::ReadComponent(TComponent* Component) {
  SkipPrefix(this, stream_);
  ReadStr();  // the class name: the component exists already
  ReadStr();  // the name it was written with
  if (std::find(loaded_.begin(), loaded_.end(), Component) == loaded_.end()) {
    // Only the components the stream holds are loading, not all they own.
    Component->IncludeComponentState(csLoading);
    Component->IncludeComponentState(csReading);
    loaded_.push_back(Component);
  }
  ReadProperties(Component);
  ReadListEnd();
  while (!EndOfList()) {
    // Look at the child's name, then read it into the component of that name or skip it.
    const int64_t start = stream_->Position();
    SkipPrefix(this, stream_);
    ReadStr();
    const std::string name = ReadStr();
    stream_->SetPosition(start);
    TComponent* child = name.empty() ? nullptr : Component->FindComponent(name);
    if (child) {
      ReadComponent(child);
    } else {
      SkipComponent();
    }
  }
  ReadListEnd();
}

TComponent* TReader::ReadRootComponent(TComponent* Root) {
  ReadSignature();
  root_ = Root;
  loaded_.clear();
  try {
    ReadComponent(Root);
  } catch (...) {
    for (TComponent* c : loaded_) {
      c->ExcludeComponentState(csReading);
      c->ExcludeComponentState(csLoading);
    }
    loaded_.clear();
    throw;
  }
  std::vector<TComponent*> loaded;
  loaded.swap(loaded_);
  for (TComponent* c : loaded) c->ExcludeComponentState(csReading);
  for (TComponent* c : loaded) c->Loaded();
  return Root;
}
