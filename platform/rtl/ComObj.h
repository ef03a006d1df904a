// Class identifiers, a registry of creatable classes and late-bound calls by name: what the program
// needs of the component object model to host a control it knows only by its class identifier.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

TALVIK_DECLARE_EXCEPTION(EOleError, Exception);
TALVIK_DECLARE_EXCEPTION(EOleSysError, EOleError);

struct TGUID {
  std::uint32_t D1 = 0;
  std::uint16_t D2 = 0, D3 = 0;
  std::array<std::uint8_t, 8> D4{};
  bool operator==(const TGUID&) const = default;
};

// "{EEE78591-FE22-11D0-8BEF-0060081841DE}" (either case); anything else raises EConvertError.
TGUID StringToGUID(const std::string& S);
std::string GUIDToString(const TGUID& ClassID);

// An object reached through late binding: a method named at run time with variant arguments.
class TDispatchObject {
 public:
  virtual ~TDispatchObject() = default;
  // Calls the method Name; raises EOleError "Unknown name" for a name the object does not have.
  virtual TVariant Invoke(const std::string& Name, std::vector<TVariant>& Args) = 0;
};

// Makes an object of a class; raises when it cannot.
using TComClassFactory = std::function<std::unique_ptr<TDispatchObject>()>;
void RegisterComClass(const TGUID& ClassID, TComClassFactory Factory);
void UnregisterComClass(const TGUID& ClassID);
// Raises EOleSysError "Class not registered" for an unknown class; whatever the factory raises passes.
std::unique_ptr<TDispatchObject> CreateComObject(const TGUID& ClassID);
// A method call by name with arguments (DISPATCH_METHOD); the result is the method's.
TVariant DispatchInvoke(TDispatchObject* Object, const std::string& Name, std::vector<TVariant> Args);
