// Exceptions of the run-time library and the helpers every unit of Talvik uses.
#pragma once

#include <exception>
#include <string>

// The root of every exception the system raises: a message text.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

#define TALVIK_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                          \
   public:                                                            \
    using Base::Base;                                                 \
    const char* ClassName() const noexcept override { return #Name; } \
  }

// Ends an operation silently: the application object shows no message for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  explicit EAbort(std::string message) : Exception(std::move(message)) {}
  const char* ClassName() const noexcept override { return "EAbort"; }
};

TALVIK_DECLARE_EXCEPTION(EConvertError, Exception);
TALVIK_DECLARE_EXCEPTION(EListError, Exception);
TALVIK_DECLARE_EXCEPTION(EStreamError, Exception);
TALVIK_DECLARE_EXCEPTION(EFilerError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EReadError, EFilerError);
TALVIK_DECLARE_EXCEPTION(EWriteError, EFilerError);
TALVIK_DECLARE_EXCEPTION(EFCreateError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EFOpenError, EStreamError);
TALVIK_DECLARE_EXCEPTION(EOSError, Exception);
TALVIK_DECLARE_EXCEPTION(EInvalidOperation, Exception);
TALVIK_DECLARE_EXCEPTION(EInvalidPointer, Exception);
TALVIK_DECLARE_EXCEPTION(ERegistryException, Exception);
TALVIK_DECLARE_EXCEPTION(EVariantError, Exception);
TALVIK_DECLARE_EXCEPTION(EIntError, Exception);
TALVIK_DECLARE_EXCEPTION(EDivByZero, EIntError);
TALVIK_DECLARE_EXCEPTION(ERangeError, EIntError);
TALVIK_DECLARE_EXCEPTION(EIntOverflow, EIntError);
TALVIK_DECLARE_EXCEPTION(EMathError, Exception);
TALVIK_DECLARE_EXCEPTION(EZeroDivide, EMathError);
TALVIK_DECLARE_EXCEPTION(EOverflow, EMathError);
TALVIK_DECLARE_EXCEPTION(EInvalidCast, Exception);
TALVIK_DECLARE_EXCEPTION(EOutOfResources, Exception);
TALVIK_DECLARE_EXCEPTION(EThread, Exception);
