// The clipboard over the toolkit's clipboard, with an in-memory stand-in.
#include "platform/gui/Clipbrd.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>
#include <cctype>

#include "platform/gui/QtText.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using talvik::gui::detail::FromQString;
using talvik::gui::detail::ToQString;

namespace {

std::map<std::string, UINT>& Registered() {
  static std::map<std::string, UINT> m;
  return m;
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

class MemoryClipboard : public IClipboardBackend {
 public:
  void SetData(const std::map<UINT, std::string>& formats) override { data_ = formats; }
  bool HasFormat(UINT format) override { return data_.count(format) > 0; }
  std::string GetData(UINT format) override {
    auto it = data_.find(format);
    return it == data_.end() ? std::string() : it->second;
  }

 private:
  std::map<UINT, std::string> data_;
};

// Formats map to MIME types: text to text/plain, registered names to a type of their own.
QString MimeFor(UINT format) {
  if (format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT) return "text/plain";
  std::string name = GetClipboardFormatName(format);
  if (name.empty()) return QString("application/x-talvik-format-%1").arg(format);
  if (Lower(name) == "csv") return "text/csv";
  if (Lower(name) == "rich text format") return "text/rtf";
  return "application/x-talvik-" + ToQString(name).toLower().replace(' ', '-');
}

class SystemClipboard : public IClipboardBackend {
 public:
  void SetData(const std::map<UINT, std::string>& formats) override {
    talvik::gui::UseQtBackend();
    auto* mime = new QMimeData();
    for (auto& [format, bytes] : formats) {
      if (format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT)
        mime->setText(ToQString(std::string_view(bytes.data(), bytes.size())));
      else
        mime->setData(MimeFor(format), QByteArray(bytes.data(), static_cast<int>(bytes.size())));
    }
    QGuiApplication::clipboard()->setMimeData(mime);
  }
  bool HasFormat(UINT format) override {
    talvik::gui::UseQtBackend();
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    return m && m->hasFormat(MimeFor(format));
  }
  std::string GetData(UINT format) override {
    talvik::gui::UseQtBackend();
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    if (!m) return {};
    if (format == CF_TEXT || format == CF_UNICODETEXT || format == CF_OEMTEXT) return FromQString(m->text());
    QByteArray b = m->data(MimeFor(format));
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
  }
};

std::unique_ptr<IClipboardBackend>& Backend() {
  static std::unique_ptr<IClipboardBackend> b;
  if (!b) b = MakeSystemClipboard();
  return b;
}

struct OpenState {
  bool open = false;
  bool emptied = false;
  std::map<UINT, std::string> pending;
};
OpenState& Opened() {
  static OpenState s;
  return s;
}

}  // namespace

UINT RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) throw EInvalidOperation("A clipboard format needs a name");
  auto& r = Registered();
  std::string key = Lower(name);
  auto it = r.find(key);
  if (it != r.end()) return it->second;
  UINT id = 0xC000 + static_cast<UINT>(r.size());
  r[key] = id;
  return id;
}

std::string GetClipboardFormatName(UINT format) {
  for (auto& [name, id] : Registered())
    if (id == format) return name;
  return {};
}

std::unique_ptr<IClipboardBackend> MakeMemoryClipboard() {
  return std::make_unique<MemoryClipboard>();
}
std::unique_ptr<IClipboardBackend> MakeSystemClipboard() {
  return std::make_unique<SystemClipboard>();
}

void SetClipboardBackend(std::unique_ptr<IClipboardBackend> backend) {
  Backend() = backend ? std::move(backend) : MakeSystemClipboard();
}

bool OpenClipboard(HWND) {
  auto& s = Opened();
  if (s.open) return false;
  s = OpenState{};
  s.open = true;
  return true;
}

bool EmptyClipboard() {
  auto& s = Opened();
  if (!s.open) return false;
  s.emptied = true;
  s.pending.clear();
  return true;
}

bool SetClipboardData(UINT format, const std::string& bytes) {
  auto& s = Opened();
  if (!s.open) return false;
  if (!s.emptied) {
    // adding to what is there: keep the other formats
    s.emptied = true;
  }
  s.pending[format] = bytes;
  return true;
}

bool CloseClipboard() {
  auto& s = Opened();
  if (!s.open) return false;
  if (!s.pending.empty() || s.emptied) Backend()->SetData(s.pending);
  s = OpenState{};
  return true;
}

bool GetClipboardData(UINT format, std::string& bytes) {
  auto& s = Opened();
  if (s.open && s.pending.count(format)) {
    bytes = s.pending[format];
    return true;
  }
  if (!Backend()->HasFormat(format)) return false;
  bytes = Backend()->GetData(format);
  return true;
}

bool IsClipboardFormatAvailable(UINT format) {
  auto& s = Opened();
  if (s.open && s.pending.count(format)) return true;
  return Backend()->HasFormat(format);
}

void TClipboard::Open() {
  if (openCount_++ == 0 && !OpenClipboard(nullptr)) {
    --openCount_;
    throw EOSError("Cannot open clipboard");
  }
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ == 0) CloseClipboard();
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  Close();
}

bool TClipboard::HasFormat(UINT Format) {
  return IsClipboardFormatAvailable(Format);
}

std::string TClipboard::AsText() {
  std::string s;
  if (!GetClipboardData(CF_UNICODETEXT, s)) GetClipboardData(CF_TEXT, s);
  return s;
}

void TClipboard::SetAsText(const std::string& Value) {
  Open();
  EmptyClipboard();
  SetClipboardData(CF_UNICODETEXT, Value);
  SetClipboardData(CF_TEXT, Value);
  Close();
}

void TClipboard::SetBuffer(UINT Format, const std::string& Bytes) {
  Open();
  SetClipboardData(Format, Bytes);
  Close();
}

std::string TClipboard::GetBuffer(UINT Format) {
  std::string s;
  GetClipboardData(Format, s);
  return s;
}

TClipboard* Clipboard() {
  static TClipboard c;
  return &c;
}
