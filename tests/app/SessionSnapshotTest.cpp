// The snapshot of the session list: the save dialog's proposal and the spreadsheet file read back,
// every row of the list as filtered and the visible columns.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "SessionFormTestSupport.h"
#include "platform/gui/Dialogs.h"
#include "rtl/TempDir.h"

namespace sessiontest {
namespace {

// The cells of a binary worksheet as text: labels (code page 1251), numbers, RK numbers and blanks.
std::map<std::pair<int, int>, std::string> ReadSheet(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  const std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto u16 = [&](std::size_t at) {
    return static_cast<int>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
  };
  auto number = [](double v) {
    std::string s = std::to_string(v);
    s.erase(s.find_last_not_of('0') + 1);
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
  };
  std::map<std::pair<int, int>, std::string> cells;
  for (std::size_t at = 0; at + 4 <= b.size();) {
    const int id = u16(at), length = u16(at + 2);
    const std::size_t body = at + 4;
    if (body + static_cast<std::size_t>(length) > b.size()) break;
    const std::pair<int, int> cell{length >= 4 ? u16(body) : 0, length >= 4 ? u16(body + 2) : 0};
    if (id == 0x0204) {
      cells[cell] = Cp1251ToUtf8(b.substr(body + 8, static_cast<std::size_t>(u16(body + 6))));
    } else if (id == 0x0203) {
      double v;
      std::memcpy(&v, b.data() + body + 6, sizeof v);
      cells[cell] = number(v);
    } else if (id == 0x027E) {
      uint32_t rk;
      std::memcpy(&rk, b.data() + body + 6, sizeof rk);
      double v;
      if (rk & 2) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
      } else {
        const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
      }
      if (rk & 1) v /= 100;
      cells[cell] = number(v);
    } else if (id == 0x0201) {
      cells[cell] = "";
    }
    at = body + static_cast<std::size_t>(length);
  }
  return cells;
}

TEST_F(SessionFormTest, TheSnapshotHoldsEveryFilteredRowWithTheVisibleColumns) {
  AddFixtureSessions();
  AddLoad(60, 300, 5);  // more rows than the screen shows
  Open();
  const auto file = ProcessTempFolder() / ("talvik_snapshot_" + std::to_string(getpid()) + ".xls");
  std::string proposed;
  talvik::gui::SetFileDialogHandler([&](TOpenDialog& d) {
    proposed = d.FileName() + "|" + d.DefaultExt() + "|" + d.Filter();
    d.SetFileName(file.string());
    return true;
  });
  form->aFileSaveAs->Execute();
  talvik::gui::SetFileDialogHandler(nullptr);
  EXPECT_EQ(proposed, "session|xls|Excel|*.xls");
  const auto cells = ReadSheet(file.string());
  std::filesystem::remove(file);
  // the title row, then one row per listed session, the visible columns in order
  std::vector<std::string> titles;
  for (int c = 0; cells.count({0, c}); ++c) titles.push_back(cells.at({0, c}));
  EXPECT_EQ(titles, (std::vector<std::string>{"SID", "Статус", "Oracle user", "OS user", "Компьютер",
                                              "Команда", "Программа", "CPU", "Логич. чтений", "Физич. чтений",
                                              "Время соединения", "Время простоя"}));
  const std::vector<std::string> sids = ListedSids();
  ASSERT_EQ(sids.size(), 68u);  // user sessions only
  for (std::size_t r = 0; r < sids.size(); ++r) {
    ASSERT_TRUE(cells.count({static_cast<int>(r) + 1, 0})) << r;
    EXPECT_EQ(cells.at({static_cast<int>(r) + 1, 0}), sids[r]);
  }
  EXPECT_EQ(cells.count({69, 0}), 0u);
}

}  // namespace
}  // namespace sessiontest
