// Grid export: every format's bytes from one small grid (Cyrillic, null, quote, backslash, braces,
// integer, float, date and a footer sum), the exchange format's example, the spreadsheet's rows and
// limits, what a selection exports, and independent readers of the files.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>

#include "GridDataSupport.h"
#include "GridTestSupport.h"
#include "db/MemDataSet.h"
#include "grid/DBGridEx.h"
#include "grid/DBGridExExport.h"
#include "platform/rtl/ScopeExit.h"
#include "rtl/TempDir.h"
#include "tests/ChildWait.h"

namespace {

using namespace gridtest;

std::string Hex(std::string_view Spaced) {
  std::string out;
  for (size_t i = 0; i + 1 < Spaced.size() + 1;) {
    while (i < Spaced.size() && Spaced[i] == ' ') ++i;
    if (i >= Spaced.size()) break;
    out += static_cast<char>(std::stoi(std::string(Spaced.substr(i, 2)), nullptr, 16));
    i += 2;
  }
  return out;
}

std::string ToHex(std::string_view Bytes) {
  static constexpr char k[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : Bytes) {
    if (!s.empty()) s += ' ';
    s += k[c >> 4];
    s += k[c & 15];
  }
  return s;
}

// Cyrillic text as RTF writes it: Windows-1251 bytes as \\'xx.
std::string RtfText(const std::string& Utf8) {
  static constexpr char k[] = "0123456789abcdef";
  std::string s;
  for (unsigned char c : Utf8ToCp1251(Utf8)) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else {
      s += "\\'";
      s += k[c >> 4];
      s += k[c & 15];
    }
  }
  return s;
}

// The name with everything a format must take care of.
constexpr const char* kName = "Иван \"Q\" \\ {x}";

class GridExport : public GridGuiTest {
 protected:
  void SetUp() override {
    GridGuiTest::SetUp();
    ds.FieldDefs()->Add("ID", ftInteger);
    ds.FieldDefs()->Add("NAME", ftString, 30);
    ds.FieldDefs()->Add("SUM", ftFloat);
    ds.FieldDefs()->Add("BORN", ftDateTime);
    born = EncodeDate(2024, 1, 2) + EncodeTime(3, 4, 5, 0);
    ds.AddRow({5, kName, 1.5, TVariant::FromDate(born)});
    ds.AddRow({7, Null(), Null(), Null()});
    source.SetDataSet(&ds);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(0, 0, 600, 300);
    grid = new TDBGridEx(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 580, 280);
    grid->SetDataSource(&source);
    ds.Open();
    for (const char* n : {"ID", "NAME", "SUM", "BORN"}) grid->Columns()->Add()->SetFieldName(n);
    for (int i = 0; i < 4; ++i) grid->Columns()->Items(i)->SetWidth(64);
    grid->SetFooterRowCount(1);
    grid->Columns()->Items(0)->Footer()->SetValueType(fvtCount);
    grid->Columns()->Items(2)->Footer()->SetValueType(fvtSum);
    ds.First();
    dateText = Utf8ToCp1251(ds.FieldByName("BORN")->DisplayText());
  }
  void TearDown() override {
    form.reset();
    GridGuiTest::TearDown();
  }
  std::string Export(TDBGridExExportClass Class, bool All = true,
                     TExportTextEncoding Encoding = TExportTextEncoding::Cp1251) {
    TStringStream s;
    WriteGridToExportStream(Class, grid, &s, All, Encoding);
    return s.DataString();
  }
  std::string Name1251() const { return Utf8ToCp1251(kName); }
  TEnableFailingDataSet ds;
  TDataSource source{nullptr};
  std::unique_ptr<TForm> form;
  TDBGridEx* grid = nullptr;
  TDateTime born = 0;
  std::string dateText;
};

TEST_F(GridExport, TextAndCsvBytes) {
  const std::string text = Export(ExportClass<TDBGridExExportAsText>());
  EXPECT_EQ(text,
            "ID\tNAME\tSUM\tBORN\r\n5\t" + Name1251() + "\t1.5\t" + dateText + "\r\n7\t\t\t\r\n2\t\t1.5\t");
  const std::string csv = Export(ExportClass<TDBGridExExportAsCSV>());
  EXPECT_EQ(csv, "\"ID\";\"NAME\";\"SUM\";\"BORN\"\r\n\"5\";\"" + Utf8ToCp1251("Иван \"\"Q\"\" \\ {x}") +
                     "\";\"1.5\";\"" + dateText + "\"\r\n\"7\";\"\";\"\";\"\"\r\n\"2\";\"\";\"1.5\";\"\"");
  // the clipboard's text is UTF-8
  EXPECT_EQ(Export(ExportClass<TDBGridExExportAsText>(), true, TExportTextEncoding::Utf8),
            std::string("ID\tNAME\tSUM\tBORN\r\n5\t") + kName + "\t1.5\t" + Cp1251ToUtf8(dateText) +
                "\r\n7\t\t\t\r\n2\t\t1.5\t");
}

TEST_F(GridExport, SpreadsheetRecords) {
  const std::string xls = Export(ExportClass<TDBGridExExportAsXLS>());
  const std::string name = Name1251();
  auto label = [](int Row, int Col, const std::string& Text) {
    std::string s = Hex("04 02");
    s += static_cast<char>((Text.size() + 8) & 0xFF);
    s += static_cast<char>((Text.size() + 8) >> 8);
    s += static_cast<char>(Row);
    s += '\0';
    s += static_cast<char>(Col);
    s += '\0';
    s += Hex("00 00");
    s += static_cast<char>(Text.size() & 0xFF);
    s += static_cast<char>(Text.size() >> 8);
    return s + Text;
  };
  const std::string expect =
      Hex("09 08 08 00 00 00 10 00 00 00 00 00  42 00 02 00 E3 04") + label(0, 0, "ID") +
      label(0, 1, "NAME") + label(0, 2, "SUM") + label(0, 3, "BORN") +
      Hex("7E 02 0A 00 01 00 00 00 00 00 16 00 00 00") + label(1, 1, name) +
      Hex("03 02 0E 00 01 00 02 00 00 00 00 00 00 00 00 00 F8 3F") + label(1, 3, dateText) +
      Hex("7E 02 0A 00 02 00 00 00 00 00 1E 00 00 00") +
      Hex("01 02 06 00 02 00 01 00 17 00  01 02 06 00 02 00 02 00 17 00"
          "01 02 06 00 02 00 03 00 17 00") +
      Hex("03 02 0E 00 03 00 00 00 00 00 00 00 00 00 00 00 00 40") + label(3, 1, "") +
      Hex("03 02 0E 00 03 00 02 00 00 00 00 00 00 00 00 00 F8 3F") + label(3, 3, "") + Hex("0A 00 00 00");
  EXPECT_EQ(ToHex(xls), ToHex(expect));
}

TEST_F(GridExport, ExchangeFormatExample) {
  // two columns, one record: an integer 5 and a null
  ds.Close();
  ds.ClearRows();
  ds.AddRow({5, Null(), Null(), Null()});
  ds.Open();
  grid->Columns()->Items(2)->SetVisible(false);
  grid->Columns()->Items(3)->SetVisible(false);
  EXPECT_EQ(ToHex(Export(ExportClass<TDBGridExExportAsVCLDBIF>())),
            "56 43 4C 44 42 49 46 01 02 00 00 00 01 00 01 00 03 05 00 00 00 02 00");
}

TEST_F(GridExport, ExchangeFormatValues) {
  const std::string bytes = Export(ExportClass<TDBGridExExportAsVCLDBIF>());
  const std::string name = Name1251();
  std::string expect = Hex("56 43 4C 44 42 49 46 01 04 00 00 00 01 00 01 00 01 00 01 00");
  expect += Hex("03 05 00 00 00 05");
  expect += static_cast<char>(name.size());
  expect += Hex("00 00 00") + name + Hex("04 00 00 00 00 00 00 F8 3F 04");
  double d = born;
  expect += std::string(reinterpret_cast<const char*>(&d), 8);
  expect += Hex("03 07 00 00 00 02 02 02 00");
  EXPECT_EQ(ToHex(bytes), ToHex(expect));
}

TEST_F(GridExport, RtfDocument) {
  grid->SetFooterRowCount(0);
  for (int i = 1; i < 4; ++i) grid->Columns()->Items(i)->SetVisible(false);
  grid->Columns()->Items(0)->Font()->SetColor(clRed);
  grid->Columns()->Items(0)->Title()->Font()->SetColor(clBlack);
  grid->Columns()->Items(0)->Title()->Font()->SetName("Arial");
  grid->Columns()->Items(0)->Font()->SetName("arial");
  grid->Columns()->Items(0)->Title()->Font()->SetSize(8);
  grid->Columns()->Items(0)->Font()->SetSize(8);
  const std::string rtf = Export(ExportClass<TDBGridExExportAsRTF>());
  const COLORREF face = ColorToRGB(clBtnFace);
  const COLORREF window = ColorToRGB(clWindow);
  auto rgb = [](COLORREF c) {
    return "\\red" + IntToStr(static_cast<int>(GetRValue(c))) + "\\green" +
           IntToStr(static_cast<int>(GetGValue(c))) + "\\blue" + IntToStr(static_cast<int>(GetBValue(c))) +
           ";";
  };
  const std::string row =
      "\\trowd\\trgaph40\r\n\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n"
      "\\clbrdrb\\brdrs\\brdrcf0\r\n\\clbrdrr\\brdrs\\brdrcf0\r\n";
  std::string expect =
      "{\\rtf0\\ansi\\ansicpg1251\r\n{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;" +
      rgb(face) + "\\red255\\green0\\blue0;" + (window == 0xFFFFFF ? "" : rgb(window)) +
      "}\r\n{\\fonttbl\\f0\\fnil Arial;}\r\n";
  const std::string bg = window == 0xFFFFFF ? "1" : "4";
  expect += row + "\\clshdng10000\\clcfpat2\\cellx960\r\n{\\trrh0\r\n";
  expect += "\\pard\\intbl{\\ql\\sb24\\sa24\\fs16\\f0\\cf0\\cb2 ID\\cell}\r\n\\pard\\intbl\\row}\r\n";
  for (const char* v : {"5", "7"}) {
    expect += row + "\\clshdng10000\\clcfpat" + bg + "\\cellx960\r\n{\\trrh0\r\n";
    expect += "\\pard\\intbl{\\qr\\sb24\\sa24\\fs16\\f0\\cf3\\cb" + bg + " " + v +
              "\\cell}\r\n\\pard\\intbl\\row}\r\n";
  }
  expect += "}";
  EXPECT_EQ(rtf, expect);

  // escapes and 8-bit text
  grid->Columns()->Items(1)->SetVisible(true);
  const std::string withName = Export(ExportClass<TDBGridExExportAsRTF>());
  EXPECT_NE(withName.find(" \\'c8\\'e2\\'e0\\'ed \"Q\" \\\\ \\{x\\}\\cell}"), std::string::npos) << withName;
}

TEST_F(GridExport, RtfMultiLevelTitleMergesTheSharedCaption) {
  grid->SetFooterRowCount(0);
  grid->Columns()->Items(2)->SetVisible(false);
  grid->Columns()->Items(3)->SetVisible(false);
  grid->Columns()->Items(0)->Title()->SetCaption("Сессия|ID");
  grid->Columns()->Items(1)->Title()->SetCaption("Сессия|NAME");
  grid->SetUseMultiTitle(true);
  const std::string rtf = Export(ExportClass<TDBGridExExportAsRTF>());
  const std::string top =
      "\\trowd\\trgaph40\r\n"
      "\\clbrdrl\\brdrs\\brdrcf0\r\n\\clbrdrt\\brdrs\\brdrcf0\r\n\\clbrdrb\\brdrs\\brdrcf0\r\n"
      "\\clshdng10000\\clcfpat2\\cellx960\r\n"
      "\\clbrdrt\\brdrs\\brdrcf0\r\n\\clbrdrb\\brdrs\\brdrcf0\r\n\\clbrdrr\\brdrs\\brdrcf0\r\n"
      "\\clshdng10000\\clcfpat2\\cellx1920\r\n{\\trrh0\r\n\\pard\\intbl{\\qc\\sb";
  const size_t at = rtf.find(top);
  ASSERT_NE(at, std::string::npos) << rtf;
  const size_t first = rtf.find("\\cell}", at);
  EXPECT_NE(rtf.substr(at, first - at).find(" " + RtfText("Сессия")), std::string::npos);
  // the second cell of the upper row is empty, then the leaves follow in their own row
  const size_t second = rtf.find("\\pard\\intbl{\\qc\\fs", first);
  EXPECT_EQ(second, rtf.find("\\pard\\intbl{", first));
  EXPECT_NE(rtf.find(" ID\\cell}", second), std::string::npos);
  EXPECT_NE(rtf.find(" NAME\\cell}", second), std::string::npos);
}

TEST_F(GridExport, EmptySelectionWritesNothing) {
  ASSERT_EQ(grid->Selection()->SelectionType(), gstNon);
  for (TDBGridExExportClass c :
       {ExportClass<TDBGridExExportAsText>(), ExportClass<TDBGridExExportAsCSV>(),
        ExportClass<TDBGridExExportAsXLS>(), ExportClass<TDBGridExExportAsVCLDBIF>()})
    EXPECT_EQ(Export(c, false), "");
  const std::string rtf = Export(ExportClass<TDBGridExExportAsRTF>(), false);
  EXPECT_EQ(rtf.substr(0, 5), "{\\rtf");
  EXPECT_EQ(rtf.back(), '}');
  EXPECT_EQ(rtf.find("\\trowd"), std::string::npos);
}

TEST_F(GridExport, AGridWithoutDataRaisesInsteadOfWriting) {
  grid->SetDataSource(nullptr);
  for (TDBGridExExportClass c : {ExportClass<TDBGridExExportAsText>(), ExportClass<TDBGridExExportAsXLS>(),
                                 ExportClass<TDBGridExExportAsVCLDBIF>()}) {
    TStringStream s;
    EXPECT_THROW(WriteGridToExportStream(c, grid, &s, true), EInvalidGridOperation);
    EXPECT_EQ(s.DataString(), "");
  }
  // nothing selected: nothing to write and nothing to complain about
  EXPECT_EQ(Export(ExportClass<TDBGridExExportAsText>(), false), "");
}

// The export's columns point into the grid: they go with the export even when giving the data set
// its controls back raises.
TEST_F(GridExport, AnExportWhoseControlsFailToComeBackKeepsNoColumns) {
  struct TSeenTextExport : TDBGridExExportAsText {
    using TDBGridExExportAsText::ExpCols;
  } exporter;
  exporter.SetDBGridEx(grid);
  TStringStream s;
  ds.failNextEnable = true;
  EXPECT_THROW(exporter.ExportToStream(&s, true), EDatabaseError);
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_TRUE(exporter.ExpCols().empty());
}

TEST_F(GridExport, SpreadsheetLimits) {
  ds.Close();
  ds.ClearRows();
  ds.AddRow({(1 << 29) - 1, "", Null(), Null()});
  ds.AddRow({1 << 29, "", Null(), Null()});
  ds.Open();
  grid->SetFooterRowCount(0);
  const std::string xls = Export(ExportClass<TDBGridExExportAsXLS>());
  // the largest RK integer, then a NUMBER for the first one past it
  EXPECT_NE(xls.find(Hex("7E 02 0A 00 01 00 00 00 00 00 FE FF FF 7F")), std::string::npos);
  EXPECT_NE(xls.find(Hex("03 02 0E 00 02 00 00 00 00 00 00 00 00 00 00 00 C0 41")), std::string::npos);

  // a memo's long text is cut to fit its record
  TMemDataSet memo;
  memo.FieldDefs()->Add("NOTES", ftMemo);
  memo.AddRow({std::string(70000, 'x')});
  TDataSource memoSource(nullptr);
  memoSource.SetDataSet(&memo);
  auto* g = new TDBGridEx(form.get());
  g->SetParent(form.get());
  g->SetDrawMemoText(true);
  g->SetDataSource(&memoSource);
  memo.Open();
  TStringStream out;
  WriteGridToExportStream(ExportClass<TDBGridExExportAsXLS>(), g, &out, true);
  EXPECT_NE(out.DataString().find(Hex("04 02 FF FF 01 00 00 00 00 00 F7 FF")), std::string::npos);
  EXPECT_EQ(out.DataString().size(), 12u + 6u + (4 + 8 + 5) + (4 + 8 + 65527) + 4);
  delete g;

  ds.Close();
  ds.ClearRows();
  for (int i = 0; i < 65536; ++i) ds.AddRow({i, Null(), Null(), Null()});
  ds.Open();
  EXPECT_THROW(Export(ExportClass<TDBGridExExportAsXLS>()), Exception);  // the title takes row 0
  EXPECT_FALSE(ds.ControlsDisabled());
  grid->SetOptions(grid->Options() - dgTitles);
  EXPECT_NO_THROW(Export(ExportClass<TDBGridExExportAsXLS>()));
}

// Independent readers of the files: Debian's python3-xlrd, unrtf and Python's csv module. The files
// go to a folder of the test's own: other test processes write the same files beside it.
class GridExportReaders : public GridExport {
 protected:
  TempDir folder;
  const std::string dir = folder.Path();
  // What a reader prints; one that hangs is killed and fails the test.
  static std::string Run(const std::string& Command) {
    std::string out;
    childwait::RunShell(Command, &out, kReaderPatience);
    return out;
  }
  // (a reader starts an interpreter: far beyond what one needs on a loaded machine)
  static constexpr std::chrono::seconds kReaderPatience{60};
};

TEST_F(GridExportReaders, XlrdCsvAndUnrtfReadTheFiles) {
  const std::string xls = dir + "/people.xls", csv = dir + "/people.csv", rtf = dir + "/people.rtf";
  SaveGridToExportFile(ExportClass<TDBGridExExportAsXLS>(), grid, xls, true);
  SaveGridToExportFile(ExportClass<TDBGridExExportAsCSV>(), grid, csv, true);
  SaveGridToExportFile(ExportClass<TDBGridExExportAsRTF>(), grid, rtf, true);

  const std::string xlrd =
      Run("/usr/bin/python3 -c \"import xlrd,sys\n"
          "s=xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
          "for r in range(s.nrows):\n"
          "  print('|'.join('%d:%s' % (c.ctype, c.value) for c in s.row(r)))\" " +
          xls + " 2>&1");
  // 1 text, 2 number, 0 empty
  EXPECT_NE(xlrd.find("1:ID|1:NAME|1:SUM|1:BORN"), std::string::npos) << xlrd;
  EXPECT_NE(xlrd.find(std::string("2:5.0|1:") + kName + "|2:1.5|1:"), std::string::npos) << xlrd;
  EXPECT_NE(xlrd.find("2:7.0|0:|0:|0:"), std::string::npos) << xlrd;
  EXPECT_NE(xlrd.find("2:2.0|1:|2:1.5|1:"), std::string::npos) << xlrd;

  const std::string rows =
      Run("/usr/bin/python3 -c \"import csv,sys\n"
          "for r in csv.reader(open(sys.argv[1], encoding='cp1251', newline=''), delimiter=';'):\n"
          "  print('|'.join(r))\" " +
          csv + " 2>&1");
  EXPECT_EQ(rows, std::string("ID|NAME|SUM|BORN\n5|") + kName + "|1.5|" + Cp1251ToUtf8(dateText) +
                      "\n7|||\n2||1.5|\n");

  const std::string html = Run("unrtf --html " + rtf + " 2>/dev/null");
  EXPECT_NE(html.find("<table"), std::string::npos) << html;
  EXPECT_NE(html.find("Q"), std::string::npos) << html;
  EXPECT_NE(html.find("1.5"), std::string::npos) << html;
  EXPECT_NE(html.find("BORN"), std::string::npos) << html;
}

}  // namespace
