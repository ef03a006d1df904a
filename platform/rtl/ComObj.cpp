#include "platform/rtl/ComObj.h"

#include <cctype>
#include <map>
#include <mutex>

namespace {

std::mutex& RegistryLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, TComClassFactory>& Classes() {
  static std::map<std::string, TComClassFactory> classes;
  return classes;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TGUID StringToGUID(const std::string& S) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  static constexpr int kDashes[] = {9, 14, 19, 24};
  auto bad = [&]() -> TGUID { throw EConvertError("'" + S + "' is not a valid GUID value"); };
  if (S.size() != 38 || S.front() != '{' || S.back() != '}') return bad();
  std::string hex;
  for (int i = 1; i < 37; ++i) {
    bool dash = std::find(std::begin(kDashes), std::end(kDashes), i) != std::end(kDashes);
    if (dash != (S[static_cast<std::size_t>(i)] == '-')) return bad();
    if (dash) continue;
    if (HexDigit(S[static_cast<std::size_t>(i)]) < 0) return bad();
    hex += S[static_cast<std::size_t>(i)];
  }
  auto field = [&](std::size_t at, std::size_t digits) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < digits; ++k) v = v * 16 + static_cast<std::uint64_t>(HexDigit(hex[at + k]));
    return v;
  };
  TGUID g;
  g.D1 = static_cast<std::uint32_t>(field(0, 8));
  g.D2 = static_cast<std::uint16_t>(field(8, 4));
  g.D3 = static_cast<std::uint16_t>(field(12, 4));
  for (std::size_t k = 0; k < 8; ++k) g.D4[k] = static_cast<std::uint8_t>(field(16 + 2 * k, 2));
  return g;
}

std::string GUIDToString(const TGUID& g) {
  std::string s = "{" + IntToHex(g.D1, 8) + "-" + IntToHex(g.D2, 4) + "-" + IntToHex(g.D3, 4) + "-";
  for (std::size_t k = 0; k < 8; ++k) {
    if (k == 2) s += "-";
    s += IntToHex(g.D4[k], 2);
  }
  return s + "}";
}

void RegisterComClass(const TGUID& ClassID, TComClassFactory Factory) {
  std::lock_guard<std::mutex> g(RegistryLock());
  Classes()[GUIDToString(ClassID)] = std::move(Factory);
}

void UnregisterComClass(const TGUID& ClassID) {
  std::lock_guard<std::mutex> g(RegistryLock());
  Classes().erase(GUIDToString(ClassID));
}

std::unique_ptr<TDispatchObject> CreateComObject(const TGUID& ClassID) {
  TComClassFactory factory;
  {
    std::lock_guard<std::mutex> g(RegistryLock());
    auto it = Classes().find(GUIDToString(ClassID));
    if (it == Classes().end()) throw EOleSysError("Class not registered");
    factory = it->second;
  }
  std::unique_ptr<TDispatchObject> object = factory();
  if (!object) throw EOleSysError("Class not registered");
  return object;
}

TVariant DispatchInvoke(TDispatchObject* Object, const std::string& Name, std::vector<TVariant> Args) {
  if (!Object) throw EOleError("Variant does not reference an automation object");
  return Object->Invoke(Name, Args);
}
