#include "editor/CodeEditMiscClasses.h"

#include <cerrno>
#include <cstring>

#include "editor/CodeEditMiscProcs.h"
#include "editor/CodeEditStrConst.h"

void TCodeMethodChain::Add(const TCodeMethod& method) {
  if (!method.Code) throw ECodeMethodChain(Format(CodeEditStr::SYNS_MethodChainEntry, {ClassName()}));
  methods_.push_back(method);
}

void TCodeMethodChain::Remove(const TCodeMethod& method) {
  if (!method.Code) throw ECodeMethodChain(Format(CodeEditStr::SYNS_MethodChainRemove, {ClassName()}));
  for (size_t i = methods_.size(); i-- > 0;)
    if (methods_[i].Data == method.Data && methods_[i].Tag == method.Tag)
      methods_.erase(methods_.begin() + i);
}

void TCodeMethodChain::Fire() {
  // A handler may add or remove methods while the chain fires: walk a copy.
  std::vector<TCodeMethod> snapshot = methods_;
  for (const TCodeMethod& m : snapshot) {
    try {
      DoFire(m);
    } catch (const Exception& e) {
      if (!DoHandleException(e)) break;
    }
  }
}

bool TCodeMethodChain::DoHandleException(const std::exception& e) {
  if (!OnException) throw;
  bool doContinue = true;
  OnException(this, e, doContinue);
  return doContinue;
}

void TCodeNotifyEventChain::DoFire(const TCodeMethod& method) {
  method.Code(sender_);
}

TCodeEditFiler::TCodeEditFiler(std::string fileName, TCodeEditFileFormat format)
    : fileName_(std::move(fileName)), format_(format) {}

TCodeEditFiler::~TCodeEditFiler() {
  if (file_) std::fclose(file_);
}

const char* TCodeEditFiler::LineEnd() const {
  switch (format_) {
    case sffUnix:
      return "\n";
    case sffMac:
      return "\r";
    default:
      return "\r\n";
  }
}

TCodeEditFileWriter::TCodeEditFileWriter(const std::string& fileName, TCodeEditFileFormat format)
    : TCodeEditFiler(fileName, format) {
  file_ = std::fopen(fileName_.c_str(), "wb");
  if (!file_) throw EFCreateError("Cannot create file \"" + fileName_ + "\". " + std::strerror(errno));
  buffer_.resize(16384);
}

TCodeEditFileWriter::~TCodeEditFileWriter() {
  try {
    Close();
  } catch (const Exception&) {
    // A destructor cannot report; Close() is the checked path.
  }
}

void TCodeEditFileWriter::Write(const std::string& text) {
  if (!file_) throw EWriteError("Stream write error");
  if (used_ + text.size() > buffer_.size()) {
    Flush();
    if (text.size() > buffer_.size()) buffer_.resize(text.size());
  }
  std::memcpy(buffer_.data() + used_, text.data(), text.size());
  used_ += text.size();
}

void TCodeEditFileWriter::WriteLine(const std::string& text) {
  Write(text);
  Write(LineEnd());
}

void TCodeEditFileWriter::Flush() {
  if (used_ == 0 || !file_) return;
  size_t pending = used_;
  size_t written = std::fwrite(buffer_.data(), 1, pending, file_);
  used_ = 0;
  if (written != pending) throw EWriteError("Stream write error");
}

void TCodeEditFileWriter::Close() {
  if (!file_) return;
  size_t pending = used_;
  size_t written = pending ? std::fwrite(buffer_.data(), 1, pending, file_) : 0;
  used_ = 0;
  int rc = std::fclose(file_);
  file_ = nullptr;
  if (written != pending || rc != 0) throw EWriteError("Stream write error");
}
