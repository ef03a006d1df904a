// Non-visual helper classes of the code editor: the method chains that carry notifications,
// and the buffered file writer the line buffer saves through.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

TALVIK_DECLARE_EXCEPTION(ECodeMethodChain, Exception);

// A method held by a chain: its code (the handler) and its data (the object it belongs to).
// Two methods are the same when both their data and their tag are equal.
struct TCodeMethod {
  std::function<void(TObject* sender)> Code;
  const void* Data = nullptr;
  uintptr_t Tag = 0;
};

class TCodeMethodChain : public TObject {
  TALVIK_CLASS(TCodeMethodChain, TObject)
  // The handler of an exception raised by a fired method; clearing `doContinue` stops firing.
  using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e, bool& doContinue)>;

  TCodeMethodChain() = default;

  void Add(const TCodeMethod& method);
  void Remove(const TCodeMethod& method);
  void Fire();
  int Count() const { return static_cast<int>(methods_.size()); }

  TExceptionEvent OnException;

 protected:
  virtual void DoFire(const TCodeMethod& method) = 0;
  // Answers whether firing goes on with the next method; raises again without a handler.
  virtual bool DoHandleException(const std::exception& e);

 private:
  std::vector<TCodeMethod> methods_;
};

class TCodeNotifyEventChain : public TCodeMethodChain {
  TALVIK_CLASS(TCodeNotifyEventChain, TCodeMethodChain)
  TCodeNotifyEventChain() = default;
  explicit TCodeNotifyEventChain(TObject* sender) : sender_(sender) {}
  static TCodeNotifyEventChain* CreateEx(TObject* sender) { return new TCodeNotifyEventChain(sender); }

  TObject* Sender() const { return sender_; }
  void SetSender(TObject* sender) { sender_ = sender; }

 protected:
  void DoFire(const TCodeMethod& method) override;

 private:
  TObject* sender_ = nullptr;
};

// Line-end conventions of a text file.
enum TCodeEditFileFormat : uint8_t { sffDos = 0, sffUnix = 1, sffMac = 2 };

// The base of the editor's file access: a file name and its line-end convention.
class TCodeEditFiler : public TObject {
 public:
  TCodeEditFiler(std::string fileName, TCodeEditFileFormat format);
  ~TCodeEditFiler() override;

  TCodeEditFileFormat FileFormat() const { return format_; }
  void SetFileFormat(TCodeEditFileFormat f) { format_ = f; }
  const char* LineEnd() const;

 protected:
  std::string fileName_;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t used_ = 0;

 private:
  TCodeEditFileFormat format_;
};

// Writes a text file through a 16384-byte buffer; the file is created (emptied) by the
// constructor and flushed and closed by Close or the destructor.
class TCodeEditFileWriter : public TCodeEditFiler {
 public:
  TCodeEditFileWriter(const std::string& fileName, TCodeEditFileFormat format);
  ~TCodeEditFileWriter() override;

  void Write(const std::string& text);
  void WriteLine(const std::string& text);
  void Flush();
  // Flushes and closes; a failed write or close raises EWriteError.
  void Close();
};
