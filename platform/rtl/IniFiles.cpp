#include "platform/rtl/IniFiles.h"

#include <climits>

namespace {

// Section and identifier names ignore case, letters of every alphabet included.
bool SameName(const std::string& a, const std::string& b) {
  return a == b || AnsiLowerCase(a) == AnsiLowerCase(b);
}

}  // namespace

void talvik::AssignStringList(TStrings* strings, const std::vector<std::string>& items) {
  if (!strings) return;
  strings->BeginUpdate();
  try {
    strings->Clear();
    for (const auto& item : items) strings->Add(item);
  } catch (...) {
    strings->EndUpdate();
    throw;
  }
  strings->EndUpdate();
}

namespace {

bool HasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n") != std::string::npos;
}

// The section name of a "[name]" line; false for any other line.
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.empty() || t[0] != '[') return false;
  size_t close = t.find(']');
  name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

// Identifier and value of an "ident=value" line; false for comments and other lines.
bool EntryOf(const std::string& line, std::string& ident, std::string* value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  ident = Trim(t.substr(0, eq));
  if (value) {
    std::string v = Trim(t.substr(eq + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    *value = v;
  }
  return true;
}

}  // namespace

bool ParseIniInteger(const std::string& text, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  long long result = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    result = result * 10 + (text[i] - '0');
    if (result > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (negative) result = -result;
  if (result > INT_MAX || result < INT_MIN) return false;
  value = static_cast<int>(result);
  return true;
}

// ---- TCustomIniFile --------------------------------------------------------------------------------

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int defaultValue) {
  int value = 0;
  return ParseIniInteger(ReadString(section, ident, ""), value) ? value : defaultValue;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
  WriteString(section, ident, std::to_string(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TCustomIniFile::ReadSection(const std::string& section, TStrings* idents) {
  std::vector<std::string> items;
  ReadSection(section, items);
  talvik::AssignStringList(idents, items);
}

void TCustomIniFile::ReadSections(TStrings* sections) {
  std::vector<std::string> items;
  ReadSections(items);
  talvik::AssignStringList(sections, items);
}

void TCustomIniFile::ReadSectionValues(const std::string& section, TStrings* values) {
  std::vector<std::string> items;
  ReadSectionValues(section, items);
  talvik::AssignStringList(values, items);
}

bool TCustomIniFile::SectionExists(const std::string& section) {
  std::vector<std::string> idents;
  ReadSection(section, idents);
  return !idents.empty();
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) {
  std::vector<std::string> idents;
  ReadSection(section, idents);
  for (const auto& name : idents) {
    if (SameName(name, ident)) return true;
  }
  return false;
}

// ---- TIniFile --------------------------------------------------------------------------------------

TIniFile::TIniFile(const std::string& fileName, unsigned fileMode, TFileModeRule modeRule)
    : TCustomIniFile(fileName), fileMode_(fileMode), modeRule_(modeRule) {}

void TIniFile::Load() {
  TFileStamp now = GetFileStamp(FileName());
  if (loaded_ && now == stamp_) return;
  lines_.clear();
  crlf_ = false;
  endsWithLineEnd_ = true;
  stamp_ = now;
  loaded_ = true;
  if (!now.exists) return;
  std::string error;
  auto content = ReadFileContent(FileName(), &error);
  if (!content) {
    loaded_ = false;
    throw EIniFileException("Unable to read " + FileName() + ": " + error);
  }
  const std::string& text = *content;
  crlf_ = text.find("\r\n") != std::string::npos;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back({std::move(line)});
    start = end + 1;
  }
  endsWithLineEnd_ = text.empty() || text.back() == '\n';
}

void TIniFile::Save() {
  std::string text;
  for (size_t i = 0; i < lines_.size(); ++i) {
    text += lines_[i].text;
    if (i + 1 < lines_.size() || endsWithLineEnd_) text += crlf_ ? "\r\n" : "\n";
  }
  try {
    SaveFileAtomically(FileName(), text, fileMode_, modeRule_);
  } catch (const Exception& e) {
    loaded_ = false;  // read the file again next time: the change did not reach it
    throw EIniFileException("Unable to write to " + FileName() + ": " + e.Message());
  }
  stamp_ = GetFileStamp(FileName());
}

int TIniFile::FindSection(const std::string& section) const {
  std::string name;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (SectionOf(lines_[i].text, name) && SameName(name, section)) return static_cast<int>(i);
  }
  return -1;
}

int TIniFile::SectionEnd(int header) const {
  std::string name;
  int i = header + 1;
  while (i < static_cast<int>(lines_.size()) && !SectionOf(lines_[static_cast<size_t>(i)].text, name)) ++i;
  return i;
}

int TIniFile::FindIdent(int header, const std::string& ident) const {
  std::string name;
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    if (EntryOf(lines_[static_cast<size_t>(i)].text, name, nullptr) && SameName(name, ident)) return i;
  }
  return -1;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
  Load();
  int header = FindSection(section);
  if (header < 0) return defaultValue;
  int line = FindIdent(header, ident);
  if (line < 0) return defaultValue;
  std::string name, value;
  EntryOf(lines_[static_cast<size_t>(line)].text, name, &value);
  return value;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  std::string cleanSection = Trim(section);
  std::string cleanIdent = Trim(ident);
  if (cleanSection.empty() || HasLineBreak(section) || section.find(']') != std::string::npos)
    throw EIniFileException("Unable to write to " + FileName() + ": invalid section name \"" + section +
                            "\"");
  if (cleanIdent.empty() || HasLineBreak(ident) || ident.find('=') != std::string::npos ||
      cleanIdent[0] == ';' || cleanIdent[0] == '[')
    throw EIniFileException("Unable to write to " + FileName() + ": invalid identifier \"" + ident + "\"");
  if (HasLineBreak(value))
    throw EIniFileException("Unable to write to " + FileName() + ": the value of \"" + ident +
                            "\" holds a line break");
  Load();
  int header = FindSection(cleanSection);
  if (header < 0) {
    lines_.push_back({"[" + cleanSection + "]"});
    lines_.push_back({cleanIdent + "=" + value});
    endsWithLineEnd_ = true;
  } else if (int line = FindIdent(header, cleanIdent); line >= 0) {
    // Keep the identifier as the file spells it.
    std::string text = lines_[static_cast<size_t>(line)].text;
    lines_[static_cast<size_t>(line)].text = text.substr(0, text.find('=') + 1) + value;
  } else {
    // After the section's last non-blank line.
    int at = SectionEnd(header);
    while (at > header + 1 && Trim(lines_[static_cast<size_t>(at - 1)].text).empty()) --at;
    lines_.insert(lines_.begin() + at, {cleanIdent + "=" + value});
    if (at == static_cast<int>(lines_.size()) - 1) endsWithLineEnd_ = true;
  }
  Save();
}

void TIniFile::ReadSection(const std::string& section, std::vector<std::string>& idents) {
  idents.clear();
  Load();
  int header = FindSection(section);
  if (header < 0) return;
  int end = SectionEnd(header);
  std::string name;
  for (int i = header + 1; i < end; ++i) {
    if (EntryOf(lines_[static_cast<size_t>(i)].text, name, nullptr)) idents.push_back(name);
  }
}

void TIniFile::ReadSections(std::vector<std::string>& sections) {
  sections.clear();
  Load();
  std::string name;
  for (const auto& line : lines_) {
    if (!SectionOf(line.text, name)) continue;
    bool seen = false;
    for (const auto& s : sections) seen = seen || SameName(s, name);
    if (!seen) sections.push_back(name);
  }
}

void TIniFile::ReadSectionValues(const std::string& section, std::vector<std::string>& values) {
  values.clear();
  Load();
  int header = FindSection(section);
  if (header < 0) return;
  int end = SectionEnd(header);
  std::string name, value;
  for (int i = header + 1; i < end; ++i) {
    if (EntryOf(lines_[static_cast<size_t>(i)].text, name, &value)) values.push_back(name + "=" + value);
  }
}

void TIniFile::EraseSection(const std::string& section) {
  Load();
  int header = FindSection(section);
  if (header < 0) return;
  lines_.erase(lines_.begin() + header, lines_.begin() + SectionEnd(header));
  Save();
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  Load();
  int header = FindSection(section);
  if (header < 0) return;
  int line = FindIdent(header, ident);
  if (line < 0) return;
  lines_.erase(lines_.begin() + line);
  Save();
}

bool TIniFile::SectionExists(const std::string& section) {
  Load();
  return FindSection(section) >= 0;
}
