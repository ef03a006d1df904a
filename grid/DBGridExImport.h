// Import into a grid's records (tab-separated text and the exchange format "VCLDBIF"), the grid's
// clipboard commands (copy, cut, paste) and the deletion of its selection. The whole input is checked
// before the first record changes: malformed input raises and leaves the data as it was.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "grid/DBGridExColumns.h"
#include "grid/DBGridExExport.h"

class TCustomDBGridEx;

class TDBGridExImport : public TObject {
  TALVIK_CLASS(TDBGridExImport, TObject)
  TDBGridExImport() = default;

  TCustomDBGridEx* DBGridEx() const { return grid_; }
  void SetDBGridEx(TCustomDBGridEx* Value) { grid_ = Value; }
  // How text arrives: Windows-1251 bytes (files) or UTF-8 (the desktop's clipboard).
  TExportTextEncoding TextEncoding() const { return encoding_; }
  void SetTextEncoding(TExportTextEncoding Value) { encoding_ = Value; }

  // Reads the stream into the grid's selection (or, with IsLoadToAll, from the first record on).
  virtual void ImportFromStream(TStream* AStream, bool IsLoadToAll);
  virtual void ImportFromFile(const std::string& FileName, bool IsLoadToAll);

 protected:
  // Reads and checks the whole input (raises on malformed input).
  virtual void Parse(std::string_view Data) = 0;
  virtual void ReadPrefix() {}
  virtual void ReadSuffix() {}
  // The values of the next line or record into the columns, in order.
  virtual void ReadRecord(const TColumnsExList& Columns);
  virtual void ReadDataCell(TColumnEx* /*Column*/) {}
  // Assigns through the column (look-up and key lists resolved), asking what to do on an error.
  void AssignValue(TColumnEx* Column, const std::function<void(TField* Target)>& Assign);
  std::string DecodeText(std::string_view Bytes) const;
  bool eof_ = false;
  bool ignoreErrors_ = false;

 private:
  void InsertLoop(const TColumnsExList& Targets, bool AtEnd);
  TCustomDBGridEx* grid_ = nullptr;
  TExportTextEncoding encoding_ = TExportTextEncoding::Cp1251;
};

using TDBGridExImportClass = std::unique_ptr<TDBGridExImport> (*)();
template <class T>
TDBGridExImportClass ImportClass() {
  return []() -> std::unique_ptr<TDBGridExImport> { return std::make_unique<T>(); };
}

class TDBGridExImportAsText : public TDBGridExImport {
  TALVIK_CLASS(TDBGridExImportAsText, TDBGridExImport)
  // The lines and their values as read (after Parse).
  const std::vector<std::vector<std::string>>& Lines() const { return lines_; }

 protected:
  void Parse(std::string_view Data) override;
  void ReadPrefix() override;
  void ReadRecord(const TColumnsExList& Columns) override;

 private:
  void ReadValueInto(TColumnEx* Column, const std::string& Value);
  std::vector<std::vector<std::string>> lines_;
  size_t line_ = 0;
};

class TDBGridExImportAsVCLDBIF : public TDBGridExImport {
  TALVIK_CLASS(TDBGridExImportAsVCLDBIF, TDBGridExImport)
  struct Descriptor {
    std::string Name;
    bool Visible = false;
  };
  const std::vector<Descriptor>& Descriptors() const { return descriptors_; }
  bool NamesPresent() const { return namesPresent_; }
  // The cell values as read (empty variants for tag 1 and unknown tags), without the end tag.
  const std::vector<TVariant>& Values() const { return values_; }

 protected:
  void Parse(std::string_view Data) override;
  void ReadPrefix() override;
  void ReadRecord(const TColumnsExList& Columns) override;
  void ReadDataCell(TColumnEx* Column) override;

 private:
  std::vector<Descriptor> descriptors_;
  bool namesPresent_ = false;
  std::vector<TVariant> values_;
  size_t value_ = 0;
};

// Runs an importer of the class over the grid (freed also when an exception passes).
void LoadGridFromImportStream(TDBGridExImportClass ImportClass, TCustomDBGridEx* Grid, TStream* Stream,
                              bool IsLoadToAll, TExportTextEncoding Encoding = TExportTextEncoding::Cp1251);

// The clipboard format numbers of the exchange format, CSV and RTF.
UINT CF_VCLDBIF();
UINT CF_CSV();
UINT CF_RICHTEXT();

void CopyGridToClipboard(TCustomDBGridEx* Grid, bool IsAll);
void PasteGridFromClipboard(TCustomDBGridEx* Grid, bool IsAll);
void CutGridToClipboard(TCustomDBGridEx* Grid, bool IsAll);
void DeleteGridSelection(TCustomDBGridEx* Grid, bool IsAll);
