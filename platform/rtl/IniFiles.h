// Settings stores addressed by section, identifier and string value: the common base and the INI
// text file.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/SysUtils.h"

TALVIK_DECLARE_EXCEPTION(EIniFileException, Exception);

// Integers and booleans are kept as decimal text; a value that is missing or not a decimal number
// reads as the caller's default, and a boolean is true for any number but 0.
class TCustomIniFile {
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& section, const std::string& ident,
                           const std::string& value) = 0;
  virtual int ReadInteger(const std::string& section, const std::string& ident, int defaultValue);
  virtual void WriteInteger(const std::string& section, const std::string& ident, int value);
  virtual bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  virtual void WriteBool(const std::string& section, const std::string& ident, bool value);

  // The identifiers of a section.
  virtual void ReadSection(const std::string& section, std::vector<std::string>& idents) = 0;
  // The names of all sections.
  virtual void ReadSections(std::vector<std::string>& sections) = 0;
  // "identifier=value" for each value of a section.
  virtual void ReadSectionValues(const std::string& section, std::vector<std::string>& values) = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
  // The same three into a string list (cleared first).
  void ReadSection(const std::string& section, TStrings* idents);
  void ReadSections(TStrings* sections);
  void ReadSectionValues(const std::string& section, TStrings* values);
  virtual bool SectionExists(const std::string& section);
  virtual bool ValueExists(const std::string& section, const std::string& ident);
  // Writes pending changes (the stores here write at once).
  virtual void UpdateFile() {}

 private:
  std::string fileName_;
};

namespace talvik {
// Replaces the list's items (nothing for nullptr).
void AssignStringList(TStrings* strings, const std::vector<std::string>& items);
}  // namespace talvik

// Decimal text with an optional sign, within the range of int; false for anything else.
bool ParseIniInteger(const std::string& text, int& value);

// An INI text file: "[section]" lines, "identifier=value" lines, ';' comments. Sections and
// identifiers ignore case and the first match wins. Every write goes to disk at once (atomically)
// and keeps the rest of the file as it was; a change made to the file by someone else is seen at
// the next call. A file the object creates gets fileMode (0600: readable by its owner only); with
// TFileModeRule::Always every file it writes does, whatever its mode was.
class TIniFile : public TCustomIniFile {
 public:
  explicit TIniFile(const std::string& fileName, unsigned fileMode = 0644,
                    TFileModeRule modeRule = TFileModeRule::KeepExisting);

  using TCustomIniFile::ReadBool;
  using TCustomIniFile::ReadInteger;
  using TCustomIniFile::ReadSection;
  using TCustomIniFile::ReadSections;
  using TCustomIniFile::ReadSectionValues;
  using TCustomIniFile::WriteBool;
  using TCustomIniFile::WriteInteger;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, std::vector<std::string>& idents) override;
  void ReadSections(std::vector<std::string>& sections) override;
  void ReadSectionValues(const std::string& section, std::vector<std::string>& values) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  bool SectionExists(const std::string& section) override;

 private:
  struct TLine {
    std::string text;  // as in the file, without the line end
  };
  void Load();
  void Save();
  // Index of the first "[section]" line, or -1.
  int FindSection(const std::string& section) const;
  // End of the section that starts at header (index of the next header or the line count).
  int SectionEnd(int header) const;
  // Index of the first "ident=" line in the section, or -1.
  int FindIdent(int header, const std::string& ident) const;

  std::vector<TLine> lines_;
  bool crlf_ = false;  // the file ends its lines with CR LF
  bool endsWithLineEnd_ = true;
  TFileStamp stamp_;
  bool loaded_ = false;
  unsigned fileMode_;
  TFileModeRule modeRule_;
};
