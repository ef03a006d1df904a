// Export of a grid's rows: tab-separated text, CSV, an RTF table, a spreadsheet stream of BIFF records
// and the grid's own exchange format "VCLDBIF". The base class walks the grid (records and columns of
// the selection or of the whole dataset, the cell parameters as drawing fills them, the footer sums of
// the exported records); each format only writes its bytes. Files carry Windows-1251 text, as the
// programs that read these formats expect.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "grid/DBGridExColumns.h"
#include "platform/gui/Graphics.h"

class TCustomDBGridEx;

// How text goes out: Windows-1251 bytes (files, RTF, spreadsheets) or UTF-8 (the desktop's clipboard).
enum class TExportTextEncoding { Cp1251, Utf8 };

class TDBGridExExport : public TObject {
  TALVIK_CLASS(TDBGridExExport, TObject)
  TDBGridExExport();
  ~TDBGridExExport() override;

  TCustomDBGridEx* DBGridEx() const { return grid_; }
  void SetDBGridEx(TCustomDBGridEx* Value) { grid_ = Value; }
  TExportTextEncoding TextEncoding() const { return encoding_; }
  void SetTextEncoding(TExportTextEncoding Value) { encoding_ = Value; }

  // Writes the grid's selection (or, with IsExportAll, every record with every visible column).
  virtual void ExportToStream(TStream* AStream, bool IsExportAll);
  // The same into a file created anew.
  virtual void ExportToFile(const std::string& FileName, bool IsExportAll);

 protected:
  virtual void WritePrefix() {}
  virtual void WriteSuffix() {}
  virtual void WriteTitle(const TColumnsExList& /*Columns*/) {}
  // The cells of the current record, through the cell-parameter events.
  virtual void WriteRecord(const TColumnsExList& Columns);
  virtual void WriteDataCell(TColumnEx* /*Column*/, TColCellParamsEx* /*Params*/) {}
  // The cells of one footer row, sums and counts from the exported records.
  virtual void WriteFooter(const TColumnsExList& Columns, int FooterNo);
  virtual void WriteFooterCell(int /*DataCol*/, int /*Row*/, TColumnEx* /*Column*/, TFont* /*AFont*/,
                               TColor /*Background*/, TAlignment /*Alignment*/, const std::string& /*Text*/) {
  }

  // Output, buffered: bytes as they stand, text in the exporter's encoding.
  void PutBytes(std::string_view Bytes);
  void PutText(std::string_view Utf8);
  std::string EncodeText(std::string_view Utf8) const;
  // Sends the buffer to the stream.
  void Flush();
  // Where output goes (an RTF document gathers its body first).
  void RedirectOutput(TStream* AStream);
  TStream* Stream() const { return stream_; }
  const TColumnsExList& ExpCols() const { return expCols_; }
  // The accumulated sum or count of an exported column and footer row, in units of 1/10000.
  int64_t FooterValue(int DataCol, int FooterNo) const;
  // Footer cell text for a sum or a count of the exported records.
  std::string FooterValueText(TColumnEx* Column, int FooterNo, int DataCol) const;
  TColCellParamsEx* Params() const { return params_.get(); }

 private:
  struct CachedColumn {
    TColumnEx* Column = nullptr;
    TColumnEhType Kind = ctCommon;
    std::unique_ptr<TFont> Font;
    TColor Color = clWindow;
    TAlignment Alignment = taLeftJustify;
  };
  void CacheColumns();
  void CalcFooterValues();
  TField* FooterField(TColumnEx* Column, int FooterNo) const;

  TCustomDBGridEx* grid_ = nullptr;
  TExportTextEncoding encoding_ = TExportTextEncoding::Cp1251;
  TColumnsExList expCols_;
  TStream* stream_ = nullptr;
  std::string buffer_;
  std::unique_ptr<TColCellParamsEx> params_;
  std::unique_ptr<TFont> scratchFont_;
  std::vector<CachedColumn> columnCache_;
  std::vector<int64_t> footerValues_;
  int footerRows_ = 0;
};

// An exporter class: makes a new exporter.
using TDBGridExExportClass = std::unique_ptr<TDBGridExExport> (*)();
template <class T>
TDBGridExExportClass ExportClass() {
  return []() -> std::unique_ptr<TDBGridExExport> { return std::make_unique<T>(); };
}

class TDBGridExExportAsText : public TDBGridExExport {
  TALVIK_CLASS(TDBGridExExportAsText, TDBGridExExport)
  void ExportToStream(TStream* AStream, bool IsExportAll) override;

 protected:
  virtual void CheckFirstRec();
  virtual void CheckFirstCell();
  void WriteTitle(const TColumnsExList& Columns) override;
  void WriteRecord(const TColumnsExList& Columns) override;
  void WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) override;
  void WriteFooter(const TColumnsExList& Columns, int FooterNo) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEx* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const std::string& Text) override;
  bool firstRec_ = true;
  bool firstCell_ = true;
};

// The separator new CSV exporters take (";" at start).
char& DBGridExCSVSeparator();

class TDBGridExExportAsCSV : public TDBGridExExportAsText {
  TALVIK_CLASS(TDBGridExExportAsCSV, TDBGridExExportAsText)
  TDBGridExExportAsCSV();
  char Separator() const { return separator_; }
  void SetSeparator(char Value) { separator_ = Value; }

 protected:
  void CheckFirstCell() override;
  void WriteTitle(const TColumnsExList& Columns) override;
  void WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEx* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const std::string& Text) override;

 private:
  char separator_;
};

class TDBGridExExportAsRTF : public TDBGridExExport {
  TALVIK_CLASS(TDBGridExExportAsRTF, TDBGridExExport)
  void ExportToStream(TStream* AStream, bool IsExportAll) override;

 protected:
  void WriteSuffix() override;
  void WriteTitle(const TColumnsExList& Columns) override;
  void WriteRecord(const TColumnsExList& Columns) override;
  void WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) override;
  void WriteFooter(const TColumnsExList& Columns, int FooterNo) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEx* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const std::string& Text) override;

 private:
  // Title rows of a multi-level title: the grid's title tree laid out as a table with merged cells.
  void WriteMultiTitle(const TColumnsExList& Columns);
  int ColorIndex(TColor Color);
  int FontIndex(const std::string& Name);
  void PutFontRun(TFont* Font, std::string_view Text, TColor Background);
  void PutRowStart(const std::vector<TColor>& Shading, const std::vector<unsigned>& Borders);
  void PutCell(TAlignment Alignment, bool Spacing, TFont* Font, std::string_view Text, TColor Background);
  std::string Spacing() const;
  std::vector<COLORREF> colors_;
  std::vector<std::string> fonts_;
  bool inSingleTitle_ = false;
};

class TDBGridExExportAsXLS : public TDBGridExExport {
  TALVIK_CLASS(TDBGridExExportAsXLS, TDBGridExExport)
  void ExportToStream(TStream* AStream, bool IsExportAll) override;
  // The last sheet row a cell can take.
  static constexpr int kMaxRow = 65535;
  // The longest LABEL text, in bytes.
  static constexpr int kMaxLabelBytes = 65527;

 protected:
  void WritePrefix() override;
  void WriteSuffix() override;
  void WriteTitle(const TColumnsExList& Columns) override;
  void WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) override;
  void WriteFooterCell(int DataCol, int Row, TColumnEx* Column, TFont* AFont, TColor Background,
                       TAlignment Alignment, const std::string& Text) override;

 private:
  void PutRecordHead(uint16_t Id, uint16_t Length);
  void PutCellHead(uint16_t Id, uint16_t Length, uint16_t Format = 0);
  void PutLabel(const std::string& Utf8);
  void PutNumber(double Value);
  void PutInteger(int64_t Value);
  void PutBlank();
  void Advance();
  int col_ = 0;
  int row_ = 0;
};

class TDBGridExExportAsVCLDBIF : public TDBGridExExport {
  TALVIK_CLASS(TDBGridExExportAsVCLDBIF, TDBGridExExport)

 protected:
  void WritePrefix() override;
  void WriteSuffix() override;
  void WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) override;
};

// The exchange format's cell tags.
enum TVCLDBIFTag : uint8_t {
  vtEndOfData = 0,
  vtNoValue = 1,
  vtNull = 2,
  vtInteger = 3,
  vtFloat = 4,
  vtText = 5,
  vtBinary = 6
};
inline constexpr std::string_view kVCLDBIFMagic = "VCLDBIF";

// Runs an exporter of the class over the grid (freed also when an exception passes).
void WriteGridToExportStream(TDBGridExExportClass ExportClass, TCustomDBGridEx* Grid, TStream* Stream,
                             bool IsSaveAll, TExportTextEncoding Encoding = TExportTextEncoding::Cp1251);
void SaveGridToExportFile(TDBGridExExportClass ExportClass, TCustomDBGridEx* Grid,
                          const std::string& FileName, bool IsSaveAll);
