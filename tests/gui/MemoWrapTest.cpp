// A memo that wraps its lines: rows broken after the last blank that fits, a word longer than a row
// cut, rows kept right through every kind of edit and through a change of width, the text itself
// untouched by the wrapping.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "GuiTestSupport.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform/gui/WinManager.h"
#include "platform/rtl/SysUtils.h"

using namespace guitest;

namespace {

const char* const kParagraphs =
    "select s.sid, s.serial#, s.username, s.status from v$session s where s.type = 'USER'\r\n"
    "\r\n"
    "Сеанс ждёт блокировку строки таблицы заказов дольше минуты\r\n"
    "ОченьДлинноеСловоБезПробеловКотороеНеПомещаетсяВСтроку конец";

class MemoWrap : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    CreateApplication();
    SetClipboardBackend(MakeMemoryClipboard());
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(100, 100, 420, 320);
    memo = new TMemo(form.get());
    memo->SetParent(form.get());
    memo->SetBounds(10, 10, 180, 200);
    form->Show();
  }
  void TearDown() override {
    form.reset();
    GuiTest::TearDown();
  }
  static std::vector<int> Rows(HWND h) {
    std::vector<int> starts;
    const auto n = SendMessage(h, EM_GETLINECOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) starts.push_back(static_cast<int>(SendMessage(h, EM_LINEINDEX, i, 0)));
    return starts;
  }
  static std::string Row(HWND h, int line) {
    std::string text;
    SendMessage(h, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&text));
    return text;
  }
  // The rows a memo of the same size shows for the same text set at once.
  std::vector<int> FreshRows(const std::string& text) {
    auto* fresh = new TMemo(form.get());
    fresh->SetParent(form.get());
    fresh->SetBounds(200, 10, memo->Width(), memo->Height());
    fresh->SetText(text);
    std::vector<int> rows = Rows(fresh->Handle());
    delete fresh;
    return rows;
  }
  std::unique_ptr<TForm> form;
  TMemo* memo = nullptr;
};

TEST_F(MemoWrap, RowsBreakAfterTheLastBlankThatFitsAndTheTextStaysAsGiven) {
  memo->SetText(kParagraphs);
  HWND h = memo->Handle();
  RECT r;
  SendMessage(h, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  const auto rows = Rows(h);
  ASSERT_GT(rows.size(), 8u);
  TCanvas measure;
  measure.SetHandle(CreateCompatibleDC(nullptr));
  measure.Font()->Assign(memo->Font());
  const std::u32string text =
      Utf8ToUtf32(StringReplace(kParagraphs, "\r\n", "\n", TReplaceFlags{rfReplaceAll}));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string row = Row(h, static_cast<int>(i));
    SCOPED_TRACE(row);
    // a row ends at a line feed, or after a blank, or inside a word that fills a row by itself
    EXPECT_LE(measure.TextWidth(TrimRight(row)), r.Width());
    if (i + 1 < rows.size() && text[static_cast<std::size_t>(rows[i + 1]) - 1] != U'\n') {
      const char32_t before = text[static_cast<std::size_t>(rows[i + 1]) - 1];
      const bool wordCut = row.find(' ') == std::string::npos;
      EXPECT_TRUE(before == U' ' || wordCut);
      // the next row's first word would not have fitted
      if (!wordCut) {
        const std::string next = Row(h, static_cast<int>(i) + 1);
        const std::string word = next.substr(0, next.find(' '));
        EXPECT_GT(measure.TextWidth(row + word), r.Width()) << word;
      }
    }
  }
  DeleteDC(measure.Handle());
  measure.SetHandle(nullptr);
  EXPECT_EQ(memo->Text(), kParagraphs) << "the wrapping adds no breaks to the text";
  EXPECT_EQ(memo->Lines()->Count(), static_cast<int>(rows.size())) << "the lines are the rows";
}

TEST_F(MemoWrap, EveryKindOfEditLeavesTheRowsAFreshWrapGives) {
  memo->SetText(kParagraphs);
  HWND h = memo->Handle();
  SetFocus(h);
  std::mt19937 random(23);
  const char32_t typed[] = {U'a', U' ', U'ж', U'\r', 8, U'x', U' ', U'w'};
  for (int step = 0; step < 150; ++step) {
    const int length = static_cast<int>(SendMessage(h, WM_GETTEXTLENGTH, 0, 0));
    const int at = static_cast<int>(random() % static_cast<unsigned>(Utf8ToUtf32(memo->Text()).size() + 1));
    (void)length;
    const int kind = static_cast<int>(random() % 4);
    if (kind == 3) {
      // a selection replaced by a paste of several words and a break
      SendMessage(h, EM_SETSEL, static_cast<WPARAM>(at), at + static_cast<int>(random() % 20));
      const std::string paste = "вставка из буфера\r\nи ещё слова";
      SendMessage(h, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(paste.c_str()));
    } else {
      SendMessage(h, EM_SETSEL, static_cast<WPARAM>(at), at);
      SendMessage(h, WM_CHAR, typed[random() % std::size(typed)], 0);
    }
    ASSERT_EQ(Rows(h), FreshRows(memo->Text())) << "step " << step;
  }
}

TEST_F(MemoWrap, AWiderMemoWrapsAgainAndWithoutWrappingEachLineIsOneRow) {
  memo->SetText(kParagraphs);
  HWND h = memo->Handle();
  const auto narrow = Rows(h).size();
  memo->SetWidth(400);
  const auto wide = Rows(h).size();
  EXPECT_LT(wide, narrow);
  EXPECT_GT(wide, 4u);
  memo->SetWordWrap(false);
  EXPECT_EQ(Rows(memo->Handle()).size(), 4u) << "one row a line";
  EXPECT_EQ(memo->Text(), kParagraphs);
}

TEST_F(MemoWrap, DeletingTheLastRowOfAWrappedLineTakesOnlyThatRow) {
  memo->SetText("ОченьДлинноеСловоБезПробеловКотороеНеПомещаетсяВСтроку");
  const int rows = memo->Lines()->Count();
  ASSERT_GT(rows, 1);
  const std::string last = memo->Lines()->Strings(rows - 1);
  memo->Lines()->Delete(rows - 1);
  EXPECT_EQ(memo->Text() + last, "ОченьДлинноеСловоБезПробеловКотороеНеПомещаетсяВСтроку")
      << "the row before keeps its letters";
}

// Keys at the place where a full row ends and the next begins: End, Home, Shift+End, Down and a
// click past a row's end keep the caret on the row it was put on.
class MemoRowEnds : public MemoWrap {
 protected:
  void SetUp() override {
    MemoWrap::SetUp();
    memo->SetText("select s.sid, s.serial#, s.username, s.status from v$session s where s.type = 'USER'");
    h = memo->Handle();
    SetFocus(h);
    rows = Rows(h);
    ASSERT_GT(rows.size(), 2u);
    SendMessage(h, EM_SETSEL, 0, 0);
  }
  static void Key(WORD vk, bool shift = false) {
    talvik::gui::ShiftKeys keys;
    keys.shift = shift;
    if (shift) talvik::gui::InjectKey(VK_SHIFT, true, 0, keys);
    talvik::gui::InjectKey(vk, true, 0, keys);
    talvik::gui::InjectKey(vk, false, 0, keys);
    if (shift) talvik::gui::InjectKey(VK_SHIFT, false, 0, {});
    talvik::gui::ProcessPending();
  }
  int CaretRow() const {
    return static_cast<int>(SendMessage(h, EM_LINEFROMCHAR, static_cast<WPARAM>(-1), 0));
  }
  int Caret() const { return memo->SelStart() + memo->SelLength(); }
  // Where the caret shows, and where a row's last character ends.
  static POINT CaretAt() {
    POINT p;
    EXPECT_TRUE(GetCaretPos(p));
    return p;
  }
  POINT RowStart(int row) const {
    const LRESULT at =
        SendMessage(h, EM_POSFROMCHAR, static_cast<WPARAM>(rows[static_cast<std::size_t>(row)]), 0);
    return {static_cast<int16_t>(LOWORD(at)), static_cast<int16_t>(HIWORD(at))};
  }
  int RowEndX(int row) const {
    TCanvas measure;
    measure.SetHandle(CreateCompatibleDC(nullptr));
    measure.Font()->Assign(memo->Font());
    const int width = measure.TextWidth(Row(h, row));
    DeleteDC(measure.Handle());
    measure.SetHandle(nullptr);
    return RowStart(row).X + width;
  }
  HWND h = nullptr;
  std::vector<int> rows;
};

TEST_F(MemoRowEnds, EndStaysOnItsRowAndHomeGoesBackToThatRowsStart) {
  Key(VK_END);
  EXPECT_EQ(Caret(), rows[1]) << "the row's end is where the next row starts";
  EXPECT_EQ(CaretRow(), 0);
  EXPECT_EQ(CaretAt().Y, RowStart(0).Y);
  EXPECT_EQ(CaretAt().X, RowEndX(0));
  Key(VK_END);
  EXPECT_EQ(Caret(), rows[1]) << "a second End stays put";
  EXPECT_EQ(CaretRow(), 0);
  Key(VK_HOME);
  EXPECT_EQ(Caret(), 0);
  // on the second row: End, then Home
  Key(VK_DOWN);
  EXPECT_EQ(CaretRow(), 1);
  Key(VK_END);
  EXPECT_EQ(Caret(), rows[2]);
  EXPECT_EQ(CaretRow(), 1);
  Key(VK_HOME);
  EXPECT_EQ(Caret(), rows[1]);
  EXPECT_EQ(CaretAt().Y, RowStart(1).Y);
}

TEST_F(MemoRowEnds, ShiftEndSelectsToTheRowsEndOnce) {
  Key(VK_END, true);
  EXPECT_EQ(memo->SelStart(), 0);
  EXPECT_EQ(memo->SelLength(), rows[1]);
  Key(VK_END, true);
  EXPECT_EQ(memo->SelLength(), rows[1]) << "the selection does not run on into the next row";
  Key(VK_HOME, true);
  EXPECT_EQ(memo->SelLength(), 0);
}

TEST_F(MemoRowEnds, DownFromARowsEndAndAClickPastItKeepTheRow) {
  Key(VK_END);
  Key(VK_DOWN);
  EXPECT_EQ(CaretRow(), 1);
  EXPECT_EQ(CaretAt().Y, RowStart(1).Y);
  // a click past the first row's end
  const POINT start = RowStart(0);
  SendMessage(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(RowEndX(0) + 2, start.Y + 2));
  SendMessage(h, WM_LBUTTONUP, 0, MAKELPARAM(RowEndX(0) + 2, start.Y + 2));
  EXPECT_EQ(Caret(), rows[1]);
  EXPECT_EQ(CaretRow(), 0);
  EXPECT_EQ(CaretAt().Y, start.Y);
  // typing there joins the text at that place; the caret follows the typed letter
  SendMessage(h, WM_CHAR, U'x', 0);
  EXPECT_EQ(Caret(), rows[1] + 1);
}

TEST_F(MemoWrap, ScreenshotWrappedMemo) {
  memo->SetScrollBars(ssVertical);
  memo->SetText(kParagraphs);
  Application->ProcessMessages();
  const char* bin = std::getenv("TALVIK_BINARY_DIR");
  const std::string dir = std::string(bin ? bin : ".") + "/screenshots";
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(talvik::gui::RenderWindowToPng(form->Handle(), dir + "/gui-memo-word-wrap.png"));
}

}  // namespace
