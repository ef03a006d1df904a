#include "grid/DBGridExExport.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>

#include "grid/DBGridEx.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Output goes to the stream in blocks of this size.
constexpr size_t kFlushSize = 64 * 1024;
// Fixed-point scale of the footer accumulator (four decimals).
constexpr double kFooterScale = 10000.0;
constexpr const char* kNoDataSetToExport = "Grid has no dataset to export";
// The horizontal resolution the RTF cell edges are computed with.
constexpr int kLogPixelsX = 96;
constexpr double kTwipsPerInch = 1440.0;

void PutLE(std::string& Out, uint64_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) Out += static_cast<char>((Value >> (8 * i)) & 0xFF);
}

std::string LE16(uint16_t V) {
  std::string s;
  PutLE(s, V, 2);
  return s;
}
std::string LE32(int32_t V) {
  std::string s;
  PutLE(s, static_cast<uint32_t>(V), 4);
  return s;
}
std::string LEDouble(double V) {
  std::string s;
  PutLE(s, std::bit_cast<uint64_t>(V), 8);
  return s;
}

bool IsIntegerType(TFieldType T) {
  return T == ftSmallint || T == ftInteger || T == ftWord || T == ftAutoInc;
}
bool IsFloatType(TFieldType T) {
  return T == ftFloat || T == ftCurrency || T == ftBCD || T == ftFMTBcd;
}

}  // namespace

// ---------------------------------------------------------------- the driver

TDBGridExExport::TDBGridExExport()
    : params_(std::make_unique<TColCellParamsEx>()), scratchFont_(std::make_unique<TFont>()) {}

TDBGridExExport::~TDBGridExExport() = default;

void TDBGridExExport::PutBytes(std::string_view Bytes) {
  buffer_.append(Bytes);
  if (buffer_.size() >= kFlushSize) Flush();
}

std::string TDBGridExExport::EncodeText(std::string_view Utf8) const {
  return encoding_ == TExportTextEncoding::Cp1251 ? Utf8ToCp1251(Utf8) : std::string(Utf8);
}

void TDBGridExExport::PutText(std::string_view Utf8) {
  if (encoding_ == TExportTextEncoding::Utf8) {
    PutBytes(Utf8);
    return;
  }
  // plain ASCII needs no conversion
  for (char c : Utf8) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      PutBytes(Utf8ToCp1251(Utf8));
      return;
    }
  }
  PutBytes(Utf8);
}

void TDBGridExExport::Flush() {
  if (buffer_.empty() || !stream_) return;
  stream_->WriteBuffer(buffer_.data(), static_cast<int64_t>(buffer_.size()));
  buffer_.clear();
}

void TDBGridExExport::RedirectOutput(TStream* AStream) {
  Flush();
  stream_ = AStream;
}

TField* TDBGridExExport::FooterField(TColumnEx* Column, int FooterNo) const {
  TColumnFooterEx* footer = Column->GetFooter(FooterNo);
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!footer || !ds) return nullptr;
  return ds->FindField(footer->FieldName().empty() ? Column->FieldName() : footer->FieldName());
}

void TDBGridExExport::CalcFooterValues() {
  const int n = static_cast<int>(expCols_.size());
  for (int f = 0; f < footerRows_; ++f) {
    for (int c = 0; c < n; ++c) {
      TColumnFooterEx* footer = expCols_[c]->GetFooter(f);
      if (!footer) continue;
      const TFooterValueType t = footer->ValueType();
      if (t != fvtSum && t != fvtCount) continue;
      TField* field = FooterField(expCols_[c], f);
      if (!field) continue;
      int64_t& entry = footerValues_[c + n * f];
      if (t == fvtCount) {
        entry += static_cast<int64_t>(kFooterScale);
      } else if (!field->IsNull()) {
        entry = std::llround(static_cast<double>(entry) + field->AsFloat() * kFooterScale);
      }
    }
  }
}

int64_t TDBGridExExport::FooterValue(int DataCol, int FooterNo) const {
  const size_t i = DataCol + expCols_.size() * FooterNo;
  return i < footerValues_.size() ? footerValues_[i] : 0;
}

std::string TDBGridExExport::FooterValueText(TColumnEx* Column, int FooterNo, int DataCol) const {
  TColumnFooterEx* footer = Column->GetFooter(FooterNo);
  const double value = static_cast<double>(FooterValue(DataCol, FooterNo)) / kFooterScale;
  if (footer->ValueType() == fvtCount) return FloatToStr(value);
  TField* field = FooterField(Column, FooterNo);
  if (!field) return {};
  const std::string& format = footer->DisplayFormat();
  bool currency = false;
  int precision = 15;
  if (field->InheritsFrom(TFloatField::StaticClass())) {
    currency = static_cast<TFloatField*>(field)->Currency();
    precision = static_cast<TFloatField*>(field)->Precision();
  } else if (field->InheritsFrom(TBCDField::StaticClass())) {
    currency = static_cast<TBCDField*>(field)->Currency();
  }
  switch (field->DataType()) {
    case ftBCD:
    case ftFMTBcd: {
      const Currency cur = Currency::FromScaled(FooterValue(DataCol, FooterNo));
      if (!format.empty()) return FormatCurr(format, cur);
      return currency ? CurrToStrF(cur, ffCurrency, FormatSettings.CurrencyDecimals)
                      : CurrToStrF(cur, ffGeneral, 0);
    }
    case ftFloat:
    case ftCurrency:
      if (!format.empty()) return FormatFloat(format, value);
      return currency ? FloatToStrF(value, ffCurrency, precision, FormatSettings.CurrencyDecimals)
                      : FloatToStrF(value, ffGeneral, precision, 0);
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
      if (!format.empty()) return FormatFloat(format, value);
      return IntToStr(static_cast<int64_t>(std::trunc(value)));
    default:
      return {};
  }
}

void TDBGridExExport::CacheColumns() {
  // what a column shows does not change during one export: its font, colour, alignment and kind
  columnCache_.clear();
  for (TColumnEx* c : expCols_) {
    CachedColumn cached;
    cached.Column = c;
    cached.Kind = c->GetColumnType();
    cached.Font = std::make_unique<TFont>();
    cached.Font->Assign(c->Font());
    cached.Color = c->Color();
    cached.Alignment = c->Alignment();
    columnCache_.push_back(std::move(cached));
  }
}

void TDBGridExExport::WriteRecord(const TColumnsExList& Columns) {
  const bool cached = &Columns == &expCols_ && columnCache_.size() == Columns.size();
  for (size_t i = 0; i < Columns.size(); ++i) {
    TColumnEx* column = Columns[i];
    const CachedColumn* info = cached ? &columnCache_[i] : nullptr;
    const TColumnEhType kind = info ? info->Kind : column->GetColumnType();
    const bool events = grid_->OnGetCellParams || column->OnGetCellParams;
    // the events may change the font: they get a copy of the column's for each cell
    TFont* font = info && !events ? info->Font.get() : scratchFont_.get();
    if (font == scratchFont_.get()) scratchFont_->Assign(info ? info->Font.get() : column->Font());
    TColCellParamsEx* p = params_.get();
    p->Font = font;
    p->Background = info ? info->Color : column->Color();
    p->Alignment = info ? info->Alignment : column->Alignment();
    p->ImageIndex = kind == ctKeyImageList ? column->GetImageIndex() : -1;
    p->Text = column->GetDisplayText();
    p->CheckboxState = kind == ctCheckboxes ? column->GetCheckboxState() : cbUnchecked;
    p->Col = -1;
    p->Row = -1;
    p->State = 0;
    if (grid_->OnGetCellParams) {
      auto handler = grid_->OnGetCellParams;
      handler(grid_, column, font, p->Background, TGridDrawState());
    }
    column->GetColCellParams(false, p);
    WriteDataCell(column, p);
    p->Font = nullptr;
  }
}

void TDBGridExExport::WriteFooter(const TColumnsExList& Columns, int FooterNo) {
  for (size_t i = 0; i < Columns.size(); ++i) {
    TColumnEx* column = Columns[i];
    TColumnFooterEx* footer = column->GetFooter(FooterNo);
    TFont font;
    font.Assign(footer->Font());
    TColor background = footer->Color();
    TAlignment alignment = footer->Alignment();
    std::string text = footer->ValueType() == fvtSum || footer->ValueType() == fvtCount
                           ? FooterValueText(column, FooterNo, static_cast<int>(i))
                           : grid_->GetFooterValue(FooterNo, column);
    if (grid_->OnGetFooterParams) {
      auto handler = grid_->OnGetFooterParams;
      handler(grid_, column->Index(), FooterNo, column, &font, background, alignment, TGridDrawState(), text);
    }
    WriteFooterCell(static_cast<int>(i), FooterNo, column, &font, background, alignment, text);
  }
}

void TDBGridExExport::ExportToStream(TStream* AStream, bool IsExportAll) {
  assert(grid_);
  stream_ = AStream;
  buffer_.clear();
  TDBGridExSelection* selection = grid_->Selection();
  if (!IsExportAll && grid_->DataLink()->Active()) selection->ForgetGoneRecords();
  const TDBGridExSelectionType kind = IsExportAll ? gstAll : selection->SelectionType();
  if (kind == gstNon) return;
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds) throw EInvalidGridOperation(kNoDataSetToExport);

  {
    ds->DisableControls();
    grid_->SaveBookmark();
    // the controls come back even when going back to the saved record fails, and the caches go
    // even when giving the controls back raises
    TScopeExit clear([this] {
      footerValues_.clear();
      expCols_.clear();
      columnCache_.clear();
    });
    TScopeExit enable([ds] { ds->EnableControls(); });
    TScopeExit restore([this] { grid_->RestoreBookmark(); });

    switch (kind) {
      case gstRectangle: {
        expCols_.clear();
        TDBGridColumnsEx* cols = grid_->Columns();
        for (int i = selection->Rect()->LeftCol(); i <= selection->Rect()->RightCol(); ++i)
          if (i >= 0 && i < cols->Count() && cols->Items(i)->Visible()) expCols_.push_back(cols->Items(i));
        break;
      }
      case gstColumns:
        expCols_.assign(selection->Columns()->begin(), selection->Columns()->end());
        break;
      default:
        expCols_ = grid_->VisibleColumns();
        break;
    }
    footerRows_ = grid_->FooterRowCount();
    CacheColumns();
    footerValues_.assign(expCols_.size() * static_cast<size_t>(std::max(footerRows_, 0)), 0);

    WritePrefix();
    if (grid_->Options().Contains(dgTitles)) WriteTitle(expCols_);
    switch (kind) {
      case gstRecordBookmarks: {
        const std::vector<TBookmarkStr> rows = selection->Rows()->List();
        for (const TBookmarkStr& bm : rows) {
          ds->SetBookmark(bm);
          CalcFooterValues();
          WriteRecord(expCols_);
        }
        break;
      }
      case gstRectangle: {
        const TBookmarkStr bottom = selection->Rect()->BottomRow();
        ds->SetBookmark(selection->Rect()->TopRow());
        while (!ds->Eof()) {
          WriteRecord(expCols_);
          CalcFooterValues();
          if (ds->CompareBookmarks(ds->Bookmark(), bottom) == 0) break;
          ds->Next();
        }
        break;
      }
      default:
        for (ds->First(); !ds->Eof(); ds->Next()) {
          WriteRecord(expCols_);
          CalcFooterValues();
        }
        break;
    }
    for (int f = 0; f < footerRows_; ++f) WriteFooter(expCols_, f);
  }
  WriteSuffix();
  Flush();
}

void TDBGridExExport::ExportToFile(const std::string& FileName, bool IsExportAll) {
  TFileStream file(FileName, fmCreate);
  ExportToStream(&file, IsExportAll);
}

void WriteGridToExportStream(TDBGridExExportClass ExportClass, TCustomDBGridEx* Grid, TStream* Stream,
                             bool IsSaveAll, TExportTextEncoding Encoding) {
  std::unique_ptr<TDBGridExExport> exporter = ExportClass();
  exporter->SetDBGridEx(Grid);
  exporter->SetTextEncoding(Encoding);
  exporter->ExportToStream(Stream, IsSaveAll);
}

void SaveGridToExportFile(TDBGridExExportClass ExportClass, TCustomDBGridEx* Grid,
                          const std::string& FileName, bool IsSaveAll) {
  std::unique_ptr<TDBGridExExport> exporter = ExportClass();
  exporter->SetDBGridEx(Grid);
  exporter->ExportToFile(FileName, IsSaveAll);
}

// ---------------------------------------------------------------- text

void TDBGridExExportAsText::ExportToStream(TStream* AStream, bool IsExportAll) {
  firstRec_ = true;
  TDBGridExExport::ExportToStream(AStream, IsExportAll);
}

void TDBGridExExportAsText::CheckFirstRec() {
  if (!firstRec_) PutBytes("\r\n");
  firstRec_ = false;
}

void TDBGridExExportAsText::CheckFirstCell() {
  if (!firstCell_) PutBytes("\t");
  firstCell_ = false;
}

void TDBGridExExportAsText::WriteTitle(const TColumnsExList& Columns) {
  CheckFirstRec();
  for (size_t i = 0; i < Columns.size(); ++i) {
    PutText(Columns[i]->Title()->Caption());
    if (i + 1 < Columns.size()) PutBytes("\t");
  }
}

void TDBGridExExportAsText::WriteRecord(const TColumnsExList& Columns) {
  CheckFirstRec();
  firstCell_ = true;
  TDBGridExExport::WriteRecord(Columns);
}

void TDBGridExExportAsText::WriteDataCell(TColumnEx* /*Column*/, TColCellParamsEx* Params) {
  CheckFirstCell();
  PutText(Params->Text);
}

void TDBGridExExportAsText::WriteFooter(const TColumnsExList& Columns, int FooterNo) {
  CheckFirstRec();
  firstCell_ = true;
  TDBGridExExport::WriteFooter(Columns, FooterNo);
}

void TDBGridExExportAsText::WriteFooterCell(int /*DataCol*/, int /*Row*/, TColumnEx* /*Column*/,
                                            TFont* /*AFont*/, TColor /*Background*/, TAlignment /*Alignment*/,
                                            const std::string& Text) {
  CheckFirstCell();
  PutText(Text);
}

// ---------------------------------------------------------------- CSV

char& DBGridExCSVSeparator() {
  static char separator = ';';
  return separator;
}

TDBGridExExportAsCSV::TDBGridExExportAsCSV() : separator_(DBGridExCSVSeparator()) {}

void TDBGridExExportAsCSV::CheckFirstCell() {
  if (!firstCell_) PutBytes(std::string_view(&separator_, 1));
  firstCell_ = false;
}

void TDBGridExExportAsCSV::WriteTitle(const TColumnsExList& Columns) {
  CheckFirstRec();
  for (size_t i = 0; i < Columns.size(); ++i) {
    PutText(AnsiQuotedStr(Columns[i]->Title()->Caption(), '"'));
    if (i + 1 < Columns.size()) PutBytes(std::string_view(&separator_, 1));
  }
}

void TDBGridExExportAsCSV::WriteDataCell(TColumnEx* /*Column*/, TColCellParamsEx* Params) {
  CheckFirstCell();
  PutText(AnsiQuotedStr(Params->Text, '"'));
}

void TDBGridExExportAsCSV::WriteFooterCell(int /*DataCol*/, int /*Row*/, TColumnEx* /*Column*/,
                                           TFont* /*AFont*/, TColor /*Background*/, TAlignment /*Alignment*/,
                                           const std::string& Text) {
  CheckFirstCell();
  PutText(AnsiQuotedStr(Text, '"'));
}

// ---------------------------------------------------------------- RTF

namespace {

// RTF text: the control characters \ { } escaped, bytes of 0x80 and above as \'xx.
std::string RtfEscaped(std::string_view Cp1251) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(Cp1251.size());
  for (char c : Cp1251) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += c;
    } else if (b >= 0x80) {
      out += "\\'";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

enum : unsigned { kBorderLeft = 1, kBorderTop = 2, kBorderBottom = 4, kBorderRight = 8, kBordersAll = 15 };

}  // namespace

int TDBGridExExportAsRTF::ColorIndex(TColor Color) {
  const COLORREF rgb = ColorToRGB(Color);
  for (size_t i = 0; i < colors_.size(); ++i)
    if (colors_[i] == rgb) return static_cast<int>(i);
  colors_.push_back(rgb);
  return static_cast<int>(colors_.size()) - 1;
}

int TDBGridExExportAsRTF::FontIndex(const std::string& Name) {
  for (size_t i = 0; i < fonts_.size(); ++i)
    if (AnsiSameText(fonts_[i], Name)) return static_cast<int>(i);
  fonts_.push_back(Name);
  return static_cast<int>(fonts_.size()) - 1;
}

std::string TDBGridExExportAsRTF::Spacing() const {
  return DBGridEx()->Flat() ? "12" : "24";
}

void TDBGridExExportAsRTF::PutFontRun(TFont* Font, std::string_view Text, TColor Background) {
  std::string s = "\\fs" + IntToStr(Font->Size() * 2);
  const TFontStyles st = Font->Style();
  if (st.Contains(fsBold)) s += "\\b";
  if (st.Contains(fsItalic)) s += "\\i";
  if (st.Contains(fsStrikeOut)) s += "\\strike";
  if (st.Contains(fsUnderline)) s += "\\ul";
  s += "\\f" + IntToStr(FontIndex(Font->Name())) + "\\cf" + IntToStr(ColorIndex(Font->Color())) + "\\cb" +
       IntToStr(ColorIndex(Background)) + " ";
  PutBytes(s);
  PutBytes(RtfEscaped(Utf8ToCp1251(Text)));
}

void TDBGridExExportAsRTF::PutRowStart(const std::vector<TColor>& Shading,
                                       const std::vector<unsigned>& Borders) {
  std::string s = "\\trowd\\trgaph40\r\n";
  int x = 0;
  for (size_t i = 0; i < ExpCols().size(); ++i) {
    const unsigned b = i < Borders.size() ? Borders[i] : kBordersAll;
    if (b & kBorderLeft) s += "\\clbrdrl\\brdrs\\brdrcf0\r\n";
    if (b & kBorderTop) s += "\\clbrdrt\\brdrs\\brdrcf0\r\n";
    if (b & kBorderBottom) s += "\\clbrdrb\\brdrs\\brdrcf0\r\n";
    if (b & kBorderRight) s += "\\clbrdrr\\brdrs\\brdrcf0\r\n";
    x += static_cast<int>(ExpCols()[i]->Width() / static_cast<double>(kLogPixelsX) * kTwipsPerInch);
    s += "\\clshdng10000\\clcfpat" + IntToStr(ColorIndex(Shading[i])) + "\\cellx" + IntToStr(x) + "\r\n";
  }
  s += "{\\trrh0\r\n";
  PutBytes(s);
}

void TDBGridExExportAsRTF::PutCell(TAlignment Alignment, bool WithSpacing, TFont* Font, std::string_view Text,
                                   TColor Background) {
  static constexpr const char* kAlign[] = {"\\ql", "\\qr", "\\qc"};
  std::string s = std::string("\\pard\\intbl{") + kAlign[Alignment];
  if (WithSpacing) s += "\\sb" + Spacing() + "\\sa" + Spacing();
  PutBytes(s);
  PutFontRun(Font, Text, Background);
  PutBytes("\\cell}\r\n");
}

void TDBGridExExportAsRTF::ExportToStream(TStream* AStream, bool IsExportAll) {
  colors_.clear();
  fonts_.clear();
  ColorIndex(static_cast<TColor>(0x000000));
  ColorIndex(static_cast<TColor>(0xFFFFFF));
  ColorIndex(clBtnFace);
  TMemoryStream body;
  TDBGridExExport::ExportToStream(&body, IsExportAll);
  RedirectOutput(AStream);
  std::string head = "{\\rtf0\\ansi\\ansicpg1251\r\n{\\colortbl";
  for (COLORREF c : colors_)
    head += "\\red" + IntToStr(static_cast<int>(GetRValue(c))) + "\\green" +
            IntToStr(static_cast<int>(GetGValue(c))) + "\\blue" + IntToStr(static_cast<int>(GetBValue(c))) +
            ";";
  head += "}\r\n{\\fonttbl";
  for (size_t i = 0; i < fonts_.size(); ++i)
    head += "\\f" + IntToStr(static_cast<int>(i)) + "\\fnil " + RtfEscaped(Utf8ToCp1251(fonts_[i])) + ";";
  head += "}\r\n";
  PutBytes(head);
  Flush();
  body.SetPosition(0);
  if (body.Size() > 0) AStream->CopyFrom(&body, body.Size());
  // an empty selection writes no body; the document still ends
  if (body.Size() == 0) PutBytes("}");
  Flush();
  colors_.clear();
  fonts_.clear();
}

void TDBGridExExportAsRTF::WriteSuffix() {
  PutBytes("}");
}

void TDBGridExExportAsRTF::WriteMultiTitle(const TColumnsExList& Columns) {
  TCustomDBGridEx* grid = DBGridEx();
  const size_t n = Columns.size();
  if (n == 0) return WriteTitle(Columns);  // every column hidden: a title row of no cells, as the records
  // levels bottom-up: every column climbs from its leaf while its running height is the least
  std::vector<THeadTreeNode*> node(n);
  std::vector<int> height(n);
  for (size_t i = 0; i < n; ++i) {
    node[i] = grid->LeafOf(Columns[i]);
    if (!node[i]) return WriteTitle(Columns);  // no title tree yet: a single row
    height[i] = node[i]->Height;
  }
  std::vector<std::vector<THeadTreeNode*>> levels;
  for (bool first = true;; first = false) {
    const int least = *std::min_element(height.begin(), height.end());
    std::vector<THeadTreeNode*> level = node;
    bool moved = false;
    for (size_t i = 0; i < n; ++i) {
      if (height[i] != least || !node[i]->Host) continue;
      node[i] = node[i]->Host;
      height[i] += node[i]->Height;
      moved = true;
    }
    if (moved || first) levels.push_back(std::move(level));
    if (!moved) break;
  }
  // merged cells: a node's span reaches down while the node stays and right while it repeats
  const size_t count = levels.size();
  std::vector<std::vector<THeadTreeNode*>> cell = levels;
  std::vector<std::vector<unsigned>> borders(count, std::vector<unsigned>(n, kBordersAll));
  for (size_t l = count; l-- > 0;) {
    for (size_t i = 0; i < n; ++i) {
      THeadTreeNode* nd = cell[l][i];
      if (!nd) continue;
      size_t bottom = l, right = i;
      while (bottom > 0 && levels[bottom - 1][i] == nd) --bottom;
      while (right + 1 < n && levels[l][right + 1] == nd) ++right;
      for (size_t ll = bottom; ll <= l; ++ll)
        for (size_t ii = i; ii <= right; ++ii) {
          if (ll != l || ii != i) cell[ll][ii] = nullptr;
          if (ii != i) borders[ll][ii] &= ~kBorderLeft;
          if (ii != right) borders[ll][ii] &= ~kBorderRight;
          if (ll != l) borders[ll][ii] &= ~kBorderTop;
          if (ll != bottom) borders[ll][ii] &= ~kBorderBottom;
        }
    }
  }
  const std::string s =
      IntToStr(std::abs(static_cast<int>(grid->VTitleMargin() / 2.0 / kLogPixelsX * kTwipsPerInch - 20)));
  for (size_t l = count; l-- > 0;) {
    std::vector<TColor> shading;
    for (TColumnEx* c : Columns) shading.push_back(l == 0 ? c->Title()->Color() : grid->FixedColor());
    PutRowStart(shading, borders[l]);
    for (size_t i = 0; i < n; ++i) {
      TFont* font = l == 0 ? Columns[i]->Title()->Font() : grid->TitleFont();
      const TColor back = shading[i];
      if (THeadTreeNode* nd = cell[l][i]) {
        PutBytes("\\pard\\intbl{\\qc\\sb" + s + "\\sa" + s);
        PutFontRun(font, nd->Text, back);
      } else {
        PutBytes("\\pard\\intbl{\\qc");
        PutFontRun(font, "", back);
      }
      PutBytes("\\cell}\r\n");
    }
    PutBytes("\\pard\\intbl\\row}\r\n");
  }
}

void TDBGridExExportAsRTF::WriteTitle(const TColumnsExList& Columns) {
  if (DBGridEx()->UseMultiTitle() && !inSingleTitle_) {
    inSingleTitle_ = true;
    TScopeExit back([this] { inSingleTitle_ = false; });
    return WriteMultiTitle(Columns);
  }
  std::vector<TColor> shading;
  for (TColumnEx* c : Columns) shading.push_back(c->Title()->Color());
  PutRowStart(shading, {});
  for (TColumnEx* c : Columns)
    PutCell(c->Title()->Alignment(), true, c->Title()->Font(), c->Title()->Caption(), c->Title()->Color());
  PutBytes("\\pard\\intbl\\row}\r\n");
}

void TDBGridExExportAsRTF::WriteRecord(const TColumnsExList& Columns) {
  std::vector<TColor> shading;
  for (TColumnEx* c : Columns) {
    TColor color = c->Color();
    if (DBGridEx()->OnGetCellParams) {
      TFont font;
      font.Assign(c->Font());
      auto handler = DBGridEx()->OnGetCellParams;
      handler(DBGridEx(), c, &font, color, TGridDrawState());
    }
    shading.push_back(color);
  }
  PutRowStart(shading, {});
  TDBGridExExport::WriteRecord(Columns);
  PutBytes("\\pard\\intbl\\row}\r\n");
}

void TDBGridExExportAsRTF::WriteDataCell(TColumnEx* /*Column*/, TColCellParamsEx* Params) {
  PutCell(Params->Alignment, true, Params->Font, Params->Text, Params->Background);
}

void TDBGridExExportAsRTF::WriteFooter(const TColumnsExList& Columns, int FooterNo) {
  std::vector<TColor> shading;
  for (TColumnEx* c : Columns) {
    TColumnFooterEx* footer = c->GetFooter(FooterNo);
    TColor color = footer->Color();
    if (DBGridEx()->OnGetFooterParams) {
      TFont font;
      font.Assign(footer->Font());
      TAlignment alignment = footer->Alignment();
      std::string text = DBGridEx()->GetFooterValue(FooterNo, c);
      auto handler = DBGridEx()->OnGetFooterParams;
      handler(DBGridEx(), c->Index(), FooterNo, c, &font, color, alignment, TGridDrawState(), text);
    }
    shading.push_back(color);
  }
  PutRowStart(shading, {});
  TDBGridExExport::WriteFooter(Columns, FooterNo);
  PutBytes("\\pard\\intbl\\row}\r\n");
}

void TDBGridExExportAsRTF::WriteFooterCell(int /*DataCol*/, int /*Row*/, TColumnEx* /*Column*/, TFont* AFont,
                                           TColor Background, TAlignment Alignment, const std::string& Text) {
  PutCell(Alignment, true, AFont, Text, Background);
}

// ---------------------------------------------------------------- spreadsheet (BIFF)

namespace {

enum : uint16_t {
  kBiffBOF = 0x0809,
  kBiffCodePage = 0x0042,
  kBiffLabel = 0x0204,
  kBiffNumber = 0x0203,
  kBiffRK = 0x027E,
  kBiffBlank = 0x0201,
  kBiffEOF = 0x000A
};
constexpr uint16_t kCodePage1251 = 1251;
constexpr uint16_t kBlankFormat = 0x0017;
// RK values hold 30-bit signed integers.
constexpr int64_t kRKMin = -(int64_t{1} << 29), kRKMax = (int64_t{1} << 29) - 1;

}  // namespace

void TDBGridExExportAsXLS::ExportToStream(TStream* AStream, bool IsExportAll) {
  row_ = 0;
  col_ = 0;
  TDBGridExExport::ExportToStream(AStream, IsExportAll);
}

void TDBGridExExportAsXLS::PutRecordHead(uint16_t Id, uint16_t Length) {
  PutBytes(LE16(Id) + LE16(Length));
}

void TDBGridExExportAsXLS::PutCellHead(uint16_t Id, uint16_t Length, uint16_t Format) {
  if (row_ > kMaxRow) throw Exception("The spreadsheet holds at most " + IntToStr(kMaxRow + 1) + " rows");
  PutBytes(LE16(Id) + LE16(Length) + LE16(static_cast<uint16_t>(row_)) + LE16(static_cast<uint16_t>(col_)) +
           LE16(Format));
}

void TDBGridExExportAsXLS::Advance() {
  if (col_ == static_cast<int>(ExpCols().size()) - 1) {
    ++row_;
    col_ = 0;
  } else {
    ++col_;
  }
}

void TDBGridExExportAsXLS::PutLabel(const std::string& Utf8) {
  std::string text = Utf8ToCp1251(Utf8);
  if (text.size() > static_cast<size_t>(kMaxLabelBytes)) text.resize(kMaxLabelBytes);
  const auto n = static_cast<uint16_t>(text.size());
  PutCellHead(kBiffLabel, static_cast<uint16_t>(n + 8));
  PutBytes(LE16(n));
  PutBytes(text);
  Advance();
}

void TDBGridExExportAsXLS::PutNumber(double Value) {
  PutCellHead(kBiffNumber, 14);
  PutBytes(LEDouble(Value));
  Advance();
}

void TDBGridExExportAsXLS::PutInteger(int64_t Value) {
  if (Value < kRKMin || Value > kRKMax) {
    PutNumber(static_cast<double>(Value));
    return;
  }
  PutCellHead(kBiffRK, 10);
  PutBytes(LE32(static_cast<int32_t>((static_cast<uint32_t>(Value) << 2) | 2u)));
  Advance();
}

void TDBGridExExportAsXLS::PutBlank() {
  PutCellHead(kBiffBlank, 6, kBlankFormat);
  Advance();
}

void TDBGridExExportAsXLS::WritePrefix() {
  PutRecordHead(kBiffBOF, 8);
  PutBytes(LE16(0) + LE16(0x0010) + LE16(0) + LE16(0));
  PutRecordHead(kBiffCodePage, 2);
  PutBytes(LE16(kCodePage1251));
}

void TDBGridExExportAsXLS::WriteSuffix() {
  PutRecordHead(kBiffEOF, 0);
}

void TDBGridExExportAsXLS::WriteTitle(const TColumnsExList& Columns) {
  for (TColumnEx* c : Columns) PutLabel(c->Title()->Caption());
}

void TDBGridExExportAsXLS::WriteDataCell(TColumnEx* Column, TColCellParamsEx* Params) {
  TField* field = Column->Field();
  if (!field) return PutBlank();
  if (Column->GetColumnType() == ctKeyPickList) return PutLabel(Params->Text);
  if (field->IsNull()) return PutBlank();
  const TFieldType t = field->DataType();
  if (IsIntegerType(t)) return PutInteger(field->AsInteger());
  if (IsFloatType(t)) return PutNumber(field->AsFloat());
  PutLabel(Params->Text);
}

void TDBGridExExportAsXLS::WriteFooterCell(int DataCol, int Row, TColumnEx* Column, TFont* /*AFont*/,
                                           TColor /*Background*/, TAlignment /*Alignment*/,
                                           const std::string& Text) {
  const TFooterValueType t = Column->GetFooter(Row)->ValueType();
  if (t == fvtSum || t == fvtCount)
    PutNumber(static_cast<double>(FooterValue(DataCol, Row)) / kFooterScale);
  else
    PutLabel(Text);
}

// ---------------------------------------------------------------- exchange format

void TDBGridExExportAsVCLDBIF::WritePrefix() {
  std::string s(kVCLDBIFMagic);
  s += '\x01';
  s += LE32(static_cast<int32_t>(ExpCols().size()));
  for (TColumnEx* c : ExpCols()) {
    s += c->Visible() ? '\x01' : '\x00';
    s += '\x00';  // the empty name
  }
  PutBytes(s);
}

void TDBGridExExportAsVCLDBIF::WriteSuffix() {
  PutBytes(std::string_view("\0", 1));
}

void TDBGridExExportAsVCLDBIF::WriteDataCell(TColumnEx* Column, TColCellParamsEx* /*Params*/) {
  TField* field = Column->Field();
  if (field && field->FieldKind() == fkLookup && field->DataSet())
    field = field->KeyFields().empty() ? nullptr : field->DataSet()->FindField(field->KeyFields());
  auto tag = [this](TVCLDBIFTag T) { PutBytes(std::string(1, static_cast<char>(T))); };
  if (!field) return tag(vtNoValue);
  switch (field->DataType()) {
    case ftUnknown:
    case ftCursor:
    case ftADT:
    case ftArray:
    case ftReference:
    case ftDataSet:
    case ftVariant:
    case ftInterface:
    case ftIDispatch:
      return tag(vtNoValue);
    default:
      break;
  }
  if (field->IsNull()) return tag(vtNull);
  const TFieldType t = field->DataType();
  std::string s;
  if (IsIntegerType(t)) {
    s = std::string(1, static_cast<char>(vtInteger)) + LE32(field->AsInteger());
  } else if (IsFloatType(t) || t == ftDate || t == ftTime || t == ftDateTime || t == ftTimeStamp) {
    s = std::string(1, static_cast<char>(vtFloat)) + LEDouble(field->AsFloat());
  } else if (t == ftString || t == ftBoolean || t == ftMemo || t == ftFixedChar || t == ftLargeint ||
             t == ftOraClob || t == ftGuid) {
    const std::string text = Utf8ToCp1251(field->AsString());
    s = std::string(1, static_cast<char>(vtText)) + LE32(static_cast<int32_t>(text.size())) + text;
  } else {
    const std::string bytes = field->AsString();
    s = std::string(1, static_cast<char>(vtBinary)) + LE32(static_cast<int32_t>(bytes.size())) + bytes;
  }
  PutBytes(s);
}
