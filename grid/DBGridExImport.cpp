#include "grid/DBGridExImport.h"

#include <cassert>
#include <cstring>

#include "grid/DBGridEx.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Dialogs.h"
#include "platform/rtl/ScopeExit.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char* kTextFormatError = "TDBGridExImportAsText.CheckState: Неверный формат текста";
constexpr const char* kVCLDBIFFormatError = "TDBGridExImportAsVCLDBIF.ReadPrefix: Неверный формат VCLDBIF";
constexpr size_t kVCLDBIFHeaderSize = 12;

std::string ReadWholeStream(TStream* Stream) {
  const int64_t left = Stream->Size() - Stream->Position();
  std::string data(static_cast<size_t>(std::max<int64_t>(left, 0)), '\0');
  if (!data.empty()) data.resize(static_cast<size_t>(Stream->Read(data.data(), left)));
  return data;
}

bool IsEditing(TDataSet* DataSet) {
  return DataSet->State() == dsEdit || DataSet->State() == dsInsert;
}

// The field a column's value goes to: its own, or for a look-up field the key field it looks up by.
TField* TargetField(TColumnEx* Column) {
  TField* field = Column->Field();
  if (field && field->FieldKind() == fkLookup) {
    if (field->KeyFields().empty() || !field->DataSet()) return nullptr;
    return field->DataSet()->FindField(field->KeyFields());
  }
  return field;
}

}  // namespace

// ---------------------------------------------------------------- the driver

std::string TDBGridExImport::DecodeText(std::string_view Bytes) const {
  return encoding_ == TExportTextEncoding::Cp1251 ? Cp1251ToUtf8(Bytes) : std::string(Bytes);
}

void TDBGridExImport::ReadRecord(const TColumnsExList& Columns) {
  for (TColumnEx* c : Columns) ReadDataCell(c);
}

void TDBGridExImport::AssignValue(TColumnEx* Column, const std::function<void(TField* Target)>& Assign) {
  if (!Column || !Column->CanModify(false)) return;
  TField* target = TargetField(Column);
  if (!target || !target->DataSet() || !target->DataSet()->CanModify()) return;
  TDataSet* ds = target->DataSet();
  try {
    ds->Edit();
    if (!IsEditing(ds)) return;
    Assign(target);
  } catch (const EAbort&) {
    throw;
  } catch (const Exception& e) {
    if (ignoreErrors_) return;
    const int answer =
        MessageDlg("Ошибка при вставки значения:\n" + std::string(e.Message()) + "\n\nИгнорировать ошибку?",
                   mtError, {mbYes, mbNo, mbAll});
    if (answer == mrAll) {
      ignoreErrors_ = true;
    } else if (answer != mrYes) {
      // the record being changed is given up, not left half written
      if (IsEditing(ds)) ds->Cancel();
      Abort();
    }
  }
}

void TDBGridExImport::InsertLoop(const TColumnsExList& Targets, bool AtEnd) {
  TDataSet* ds = grid_->DataLink()->DataSet();
  while (!eof_) {
    if (AtEnd)
      ds->Append();
    else
      ds->Insert();
    ReadRecord(Targets);
    ds->Post();
    if (!AtEnd) ds->Next();
  }
}

void TDBGridExImport::ImportFromStream(TStream* AStream, bool IsLoadToAll) {
  assert(grid_);
  eof_ = false;
  Parse(ReadWholeStream(AStream));
  TDataSet* ds = grid_->DataLink()->DataSet();
  if (!ds) return;
  TDBGridExSelection* selection = grid_->Selection();
  if (!IsLoadToAll && grid_->DataLink()->Active()) selection->ForgetGoneRecords();
  if (IsLoadToAll) {
    selection->Clear();
    ds->First();
    if (!grid_->VisibleColumns().empty()) grid_->SetSelectedIndex(grid_->VisibleColumns().front()->Index());
  }
  {
    bool atEnd = ds->Eof();
    bool insertMode = ds->State() == dsInsert;
    if (!insertMode) grid_->SaveBookmark();
    ds->DisableControls();
    TScopeExit enable([ds] { ds->EnableControls(); });
    // After a failure the record it left half written is given up before the position comes back:
    // leaving the record would post it again and fail a second time while the first failure is
    // still on its way out. The first failure is the one reported.
    TScopeExit failed([&] {
      try {
        if (IsEditing(ds)) ds->Cancel();
        if (!insertMode) grid_->RestoreBookmark();
      } catch (...) {  // NOLINT(bugprone-empty-catch)
      }
    });

    TColumnsExList targets;
    TDBGridColumnsEx* cols = grid_->Columns();
    switch (selection->SelectionType()) {
      case gstNon: {
        for (int i = std::max(grid_->GetSelectedIndex(), 0); i < cols->Count(); ++i)
          if (cols->Items(i)->Visible()) targets.push_back(cols->Items(i));
        ReadPrefix();
        if (insertMode) {
          InsertLoop(targets, atEnd);
          break;
        }
        grid_->RestoreBookmark();
        while (!ds->Eof() && !eof_) {
          ReadRecord(targets);
          ds->Next();
        }
        if (!eof_ && grid_->AllowedOperations().Contains(alopAppendEx)) {
          insertMode = true;
          atEnd = true;
          InsertLoop(targets, atEnd);
        }
        break;
      }
      case gstRecordBookmarks: {
        targets = grid_->VisibleColumns();
        ReadPrefix();
        if (insertMode) {
          InsertLoop(targets, atEnd);
          break;
        }
        const std::vector<TBookmarkStr> rows = selection->Rows()->List();
        for (const TBookmarkStr& bm : rows) {
          ds->SetBookmark(bm);
          ReadRecord(targets);
        }
        break;
      }
      case gstRectangle: {
        for (int i = selection->Rect()->LeftCol(); i <= selection->Rect()->RightCol(); ++i)
          if (i >= 0 && i < cols->Count() && cols->Items(i)->Visible()) targets.push_back(cols->Items(i));
        ReadPrefix();
        if (insertMode) {
          InsertLoop(targets, atEnd);
          break;
        }
        const TBookmarkStr bottom = selection->Rect()->BottomRow();
        ds->SetBookmark(selection->Rect()->TopRow());
        while (!ds->Eof()) {
          ReadRecord(targets);
          if (ds->CompareBookmarks(ds->Bookmark(), bottom) == 0) break;
          ds->Next();
        }
        break;
      }
      case gstColumns:
      case gstAll: {
        if (selection->SelectionType() == gstColumns)
          targets.assign(selection->Columns()->begin(), selection->Columns()->end());
        else
          targets = grid_->VisibleColumns();
        ReadPrefix();
        if (insertMode) {
          InsertLoop(targets, atEnd);
          break;
        }
        for (ds->First(); !ds->Eof(); ds->Next()) ReadRecord(targets);
        break;
      }
    }
    failed.Dismiss();
    if (!insertMode) grid_->RestoreBookmark();
  }
  ReadSuffix();
}

void TDBGridExImport::ImportFromFile(const std::string& FileName, bool IsLoadToAll) {
  TFileStream file(FileName, fmOpenRead);
  ImportFromStream(&file, IsLoadToAll);
}

void LoadGridFromImportStream(TDBGridExImportClass ImportClass, TCustomDBGridEx* Grid, TStream* Stream,
                              bool IsLoadToAll, TExportTextEncoding Encoding) {
  std::unique_ptr<TDBGridExImport> importer = ImportClass();
  importer->SetDBGridEx(Grid);
  importer->SetTextEncoding(Encoding);
  importer->ImportFromStream(Stream, IsLoadToAll);
}

// ---------------------------------------------------------------- text

void TDBGridExImportAsText::Parse(std::string_view Data) {
  ignoreErrors_ = false;
  lines_.clear();
  line_ = 0;
  // the first zero byte ends the text (a clipboard block may hold more)
  if (const size_t zero = Data.find('\0'); zero != std::string_view::npos) Data = Data.substr(0, zero);
  size_t pos = 0;
  while (pos < Data.size()) {
    size_t end = Data.find_first_of("\r\n", pos);
    std::string_view line =
        Data.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    if (end == std::string_view::npos) {
      pos = Data.size();
    } else if (Data[end] == '\r') {
      if (end + 1 >= Data.size() || Data[end + 1] != '\n') throw Exception(kTextFormatError);
      pos = end + 2;
    } else {
      pos = end + 1;
    }
    // values between tabs; a tab at the end of a line opens no further value
    std::vector<std::string> values;
    size_t start = 0;
    for (;;) {
      const size_t tab = line.find('\t', start);
      values.push_back(
          DecodeText(line.substr(start, tab == std::string_view::npos ? line.npos : tab - start)));
      if (tab == std::string_view::npos) break;
      start = tab + 1;
    }
    if (values.back().empty()) values.pop_back();
    lines_.push_back(std::move(values));
  }
}

void TDBGridExImportAsText::ReadPrefix() {
  eof_ = lines_.empty();
}

void TDBGridExImportAsText::ReadRecord(const TColumnsExList& Columns) {
  if (eof_) return;
  const std::vector<std::string>& values = lines_[line_++];
  for (size_t i = 0; i < values.size() && i < Columns.size(); ++i) ReadValueInto(Columns[i], values[i]);
  eof_ = line_ >= lines_.size();
}

void TDBGridExImportAsText::ReadValueInto(TColumnEx* Column, const std::string& Value) {
  AssignValue(Column, [&](TField* Target) {
    TField* field = Column->Field();
    if (field && field->FieldKind() == fkLookup) {
      TDataSet* lookup = field->LookupDataSet();
      if (lookup &&
          lookup->Locate(field->LookupResultField(), TVariant(Value), {loCaseInsensitive, loPartialKey}))
        Target->SetValue(lookup->FieldValues(field->LookupKeyFields()));
      return;
    }
    if (Column->GetColumnType() == ctKeyPickList) {
      const int i = Column->PickList()->IndexOf(Value);
      if (i >= 0 && i < Column->KeyList()->Count())
        Target->SetAsString(Column->KeyList()->Strings(i));
      else
        Target->Clear();
      return;
    }
    Target->SetAsString(Value);
  });
}

// ---------------------------------------------------------------- exchange format

namespace {

// Reads little-endian values out of a byte block; a read past its end raises the format error.
class ByteReader {
 public:
  explicit ByteReader(std::string_view Data) : data_(Data) {}
  size_t Left() const { return data_.size() - pos_; }
  std::string_view Take(size_t N) {
    if (N > Left()) throw Exception(kVCLDBIFFormatError);
    std::string_view s = data_.substr(pos_, N);
    pos_ += N;
    return s;
  }
  uint8_t Byte() { return static_cast<uint8_t>(Take(1)[0]); }
  int32_t Int32() {
    std::string_view s = Take(4);
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[i]);
    return static_cast<int32_t>(v);
  }
  double Double() {
    std::string_view s = Take(8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[i]);
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
  }
  // A count or length that must fit into what is left, each item taking at least MinBytes.
  size_t Count(size_t MinBytes) {
    const int32_t n = Int32();
    if (n < 0 || static_cast<size_t>(n) * MinBytes > Left()) throw Exception(kVCLDBIFFormatError);
    return static_cast<size_t>(n);
  }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

}  // namespace

void TDBGridExImportAsVCLDBIF::Parse(std::string_view Data) {
  ignoreErrors_ = false;
  namesPresent_ = false;
  descriptors_.clear();
  values_.clear();
  value_ = 0;
  ByteReader r(Data);
  if (r.Left() < kVCLDBIFHeaderSize || Data.substr(0, kVCLDBIFMagic.size()) != kVCLDBIFMagic)
    throw Exception(kVCLDBIFFormatError);
  r.Take(kVCLDBIFMagic.size() + 1);  // the version is not compared
  const size_t n = r.Count(2);
  for (size_t i = 0; i < n; ++i) {
    Descriptor d;
    d.Visible = r.Byte() != 0;
    for (char c; (c = static_cast<char>(r.Byte())) != 0;) d.Name += c;
    d.Name = Cp1251ToUtf8(d.Name);
    namesPresent_ |= !d.Name.empty();
    descriptors_.push_back(std::move(d));
  }
  for (;;) {
    const uint8_t tag = r.Byte();
    if (tag == vtEndOfData) break;
    switch (tag) {
      case vtNull:
        values_.push_back(Null());
        break;
      case vtInteger:
        values_.emplace_back(r.Int32());
        break;
      case vtFloat:
        values_.emplace_back(r.Double());
        break;
      case vtText:
        values_.emplace_back(Cp1251ToUtf8(r.Take(r.Count(1))));
        break;
      case vtBinary:
        values_.emplace_back(std::string(r.Take(r.Count(1))));
        break;
      default:  // no value, or a tag this reader does not know
        values_.emplace_back();
        break;
    }
  }
  // a record reads one value per column: values without a column could never be read
  if (descriptors_.empty() && !values_.empty()) throw Exception(kVCLDBIFFormatError);
}

void TDBGridExImportAsVCLDBIF::ReadPrefix() {
  eof_ = values_.empty();
}

void TDBGridExImportAsVCLDBIF::ReadRecord(const TColumnsExList& Columns) {
  // a record that reads nothing ends the data (the records would never run out otherwise)
  if (descriptors_.empty()) eof_ = true;
  for (size_t i = 0; i < descriptors_.size(); ++i) ReadDataCell(i < Columns.size() ? Columns[i] : nullptr);
}

void TDBGridExImportAsVCLDBIF::ReadDataCell(TColumnEx* Column) {
  if (eof_) return;
  const TVariant v = values_[value_];
  ++value_;
  eof_ = value_ >= values_.size();
  if (v.IsEmpty() || !Column) return;
  AssignValue(Column, [&](TField* Target) { Target->SetValue(v); });
}

// ---------------------------------------------------------------- clipboard and deletion

UINT CF_VCLDBIF() {
  static const UINT f = RegisterClipboardFormat("VCLDBIF");
  return f;
}
UINT CF_CSV() {
  static const UINT f = RegisterClipboardFormat("Csv");
  return f;
}
UINT CF_RICHTEXT() {
  static const UINT f = RegisterClipboardFormat("Rich Text Format");
  return f;
}

void CopyGridToClipboard(TCustomDBGridEx* Grid, bool IsAll) {
  TDataSet* ds = Grid->DataLink()->DataSet();
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  TScopeExit close([clipboard] { clipboard->Close(); });
  if (ds) ds->DisableControls();
  TScopeExit enable([ds] {
    if (ds) ds->EnableControls();
  });
  auto exported = [&](TDBGridExExportClass Class, TExportTextEncoding Encoding) {
    TStringStream s;
    WriteGridToExportStream(Class, Grid, &s, IsAll, Encoding);
    return s.DataString();
  };
  EmptyClipboard();
  // text and CSV as the desktop's programs read them (UTF-8, no terminating zero)
  const std::string text = exported(ExportClass<TDBGridExExportAsText>(), TExportTextEncoding::Utf8);
  clipboard->SetBuffer(CF_TEXT, text);
  clipboard->SetBuffer(CF_UNICODETEXT, text);
  clipboard->SetBuffer(CF_CSV(), exported(ExportClass<TDBGridExExportAsCSV>(), TExportTextEncoding::Utf8));
  clipboard->SetBuffer(CF_RICHTEXT(),
                       exported(ExportClass<TDBGridExExportAsRTF>(), TExportTextEncoding::Cp1251));
  clipboard->SetBuffer(CF_VCLDBIF(),
                       exported(ExportClass<TDBGridExExportAsVCLDBIF>(), TExportTextEncoding::Cp1251));
}

void PasteGridFromClipboard(TCustomDBGridEx* Grid, bool IsAll) {
  TClipboard* clipboard = Clipboard();
  clipboard->Open();
  TScopeExit close([clipboard] { clipboard->Close(); });
  if (clipboard->HasFormat(CF_VCLDBIF())) {
    TStringStream s(clipboard->GetBuffer(CF_VCLDBIF()));
    LoadGridFromImportStream(ImportClass<TDBGridExImportAsVCLDBIF>(), Grid, &s, IsAll);
  } else if (clipboard->HasFormat(CF_TEXT) || clipboard->HasFormat(CF_UNICODETEXT)) {
    TStringStream s(clipboard->AsText());
    LoadGridFromImportStream(ImportClass<TDBGridExImportAsText>(), Grid, &s, IsAll,
                             TExportTextEncoding::Utf8);
  }
}

void CutGridToClipboard(TCustomDBGridEx* Grid, bool IsAll) {
  CopyGridToClipboard(Grid, IsAll);
  DeleteGridSelection(Grid, IsAll);
}

namespace {

void ClearCells(const TColumnsExList& Columns) {
  for (TColumnEx* c : Columns) {
    if (!c->CanModify(false)) continue;
    TField* target = TargetField(c);
    if (!target || !target->DataSet() || !target->DataSet()->CanModify()) continue;
    target->DataSet()->Edit();
    if (IsEditing(target->DataSet())) target->Clear();
  }
}

}  // namespace

void DeleteGridSelection(TCustomDBGridEx* Grid, bool IsAll) {
  TDBGridExSelection* selection = Grid->Selection();
  if (!IsAll && Grid->DataLink()->Active()) selection->ForgetGoneRecords();
  const TDBGridExSelectionType kind = IsAll ? gstAll : selection->SelectionType();
  TDataSet* ds = Grid->DataLink()->DataSet();
  if (kind == gstNon || !Grid->DataSource() || !ds) return;
  if (Grid->Options().Contains(dgConfirmDelete)) {
    if (kind == gstRecordBookmarks && !Grid->ConfirmDelete(selection->Rows()->Count())) return;
    if (kind == gstRectangle &&
        MessageDlg("Очистить выделенные ячейки?", mtConfirmation, {mbOK, mbCancel}) != mrOk)
      return;
  }
  ds->DisableControls();
  TScopeExit enable([ds] { ds->EnableControls(); });
  switch (kind) {
    case gstRecordBookmarks: {
      const std::vector<TBookmarkStr> rows = selection->Rows()->List();
      for (const TBookmarkStr& bm : rows) {
        ds->SetBookmark(bm);
        ds->Delete();
      }
      selection->Clear();
      break;
    }
    case gstRectangle: {
      Grid->SaveBookmark();
      TScopeExit restore([Grid] { Grid->RestoreBookmark(); });
      TColumnsExList cols;
      for (int i = selection->Rect()->LeftCol(); i <= selection->Rect()->RightCol(); ++i)
        if (i >= 0 && i < Grid->Columns()->Count() && Grid->Columns()->Items(i)->Visible())
          cols.push_back(Grid->Columns()->Items(i));
      const TBookmarkStr bottom = selection->Rect()->BottomRow();
      ds->SetBookmark(selection->Rect()->TopRow());
      while (!ds->Eof()) {
        ClearCells(cols);
        if (ds->CompareBookmarks(ds->Bookmark(), bottom) == 0) break;
        ds->Next();
      }
      break;
    }
    case gstColumns: {
      Grid->SaveBookmark();
      TScopeExit restore([Grid] { Grid->RestoreBookmark(); });
      const TColumnsExList cols(selection->Columns()->begin(), selection->Columns()->end());
      for (ds->First(); !ds->Eof(); ds->Next()) ClearCells(cols);
      break;
    }
    case gstAll:
      ds->First();
      while (!ds->Eof()) ds->Delete();
      break;
    default:
      break;
  }
}
