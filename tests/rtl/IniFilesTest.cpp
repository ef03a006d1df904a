#include <gtest/gtest.h>

#include "platform/rtl/IniFiles.h"
#include "rtl/TempDir.h"

namespace {

using V = std::vector<std::string>;

TEST(IniFilesTest, WritesKeepTheRestOfTheFile) {
  TempDir dir;
  dir.Write("logon.ini",
            "; logon history\r\n"
            "[Logon]\r\n"
            "0=2345...\r\n"
            "  ; keep me\r\n"
            "1 = second \r\n"
            "\r\n"
            "[Other]\r\n"
            "Name=\"quoted value\"\r\n"
            "junk line without equals\r\n");
  TIniFile ini(dir.File("logon.ini"));
  EXPECT_EQ(ini.ReadString("logon", "1", ""), "second");
  EXPECT_EQ(ini.ReadString("OTHER", "name", ""), "quoted value");
  ini.WriteString("Logon", "1", "changed");
  ini.WriteString("Logon", "2", "third");
  ini.WriteString("New", "Key", "v");
  EXPECT_EQ(dir.Read("logon.ini"),
            "; logon history\r\n"
            "[Logon]\r\n"
            "0=2345...\r\n"
            "  ; keep me\r\n"
            "1 =changed\r\n"
            "2=third\r\n"
            "\r\n"
            "[Other]\r\n"
            "Name=\"quoted value\"\r\n"
            "junk line without equals\r\n"
            "[New]\r\n"
            "Key=v\r\n");
  TIniFile again(dir.File("logon.ini"));
  EXPECT_EQ(again.ReadString("Logon", "1", ""), "changed");
  EXPECT_EQ(again.ReadString("new", "KEY", ""), "v");
}

TEST(IniFilesTest, FirstMatchWinsAndNamesIgnoreCase) {
  TempDir dir;
  dir.Write("a.ini", "[S]\nk=1\nK=2\n[s]\nk=3\nx=4\n");
  TIniFile ini(dir.File("a.ini"));
  EXPECT_EQ(ini.ReadString("s", "K", ""), "1");
  EXPECT_EQ(ini.ReadString("S", "x", "none"), "none");  // only the first [S] counts
  V list;
  ini.ReadSections(list);
  EXPECT_EQ(list, V{"S"});
  ini.ReadSection("s", list);
  EXPECT_EQ(list, (V{"k", "K"}));
  ini.ReadSectionValues("S", list);
  EXPECT_EQ(list, (V{"k=1", "K=2"}));
  TStringList strings;
  ini.ReadSectionValues("s", &strings);
  EXPECT_EQ(strings.Text(), "k=1\r\nK=2\r\n");
  ini.ReadSections(&strings);
  EXPECT_EQ(strings.Count(), 1);
  ini.ReadSection("none", &strings);
  EXPECT_EQ(strings.Count(), 0);
  ini.WriteString("s", "K", "9");
  EXPECT_EQ(dir.Read("a.ini"), "[S]\nk=9\nK=2\n[s]\nk=3\nx=4\n");
}

TEST(IniFilesTest, NamesIgnoreCaseInEveryAlphabet) {
  TempDir dir;
  dir.Write("ru.ini", "[Сеанс]\nИмя=scott\n");
  TIniFile ini(dir.File("ru.ini"));
  EXPECT_EQ(ini.ReadString("сеАНС", "иМЯ", ""), "scott");
}

TEST(IniFilesTest, EraseSectionAndDeleteKey) {
  TempDir dir;
  dir.Write("h.ini", "[Logon]\n0=a\n1=b\n; note\n[Keep]\nx=1\n");
  TIniFile ini(dir.File("h.ini"));
  EXPECT_TRUE(ini.SectionExists("logon"));
  ini.DeleteKey("Logon", "0");
  EXPECT_EQ(ini.ReadString("Logon", "0", "gone"), "gone");
  ini.EraseSection("LOGON");
  EXPECT_FALSE(ini.SectionExists("Logon"));
  EXPECT_EQ(dir.Read("h.ini"), "[Keep]\nx=1\n");
  ini.EraseSection("Missing");
  ini.DeleteKey("Missing", "x");
  EXPECT_TRUE(ini.ValueExists("keep", "X"));
  EXPECT_FALSE(ini.ValueExists("keep", "y"));
}

TEST(IniFilesTest, NumbersAndDefaults) {
  TempDir dir;
  TIniFile ini(dir.File("missing/new.ini"));
  EXPECT_EQ(ini.ReadString("A", "B", "def"), "def");
  EXPECT_FALSE(FileExists(dir.File("missing/new.ini")));  // reading creates nothing
  ini.WriteInteger("A", "N", -12);
  ini.WriteBool("A", "T", true);
  ini.WriteString("A", "Bad", "12abc");
  ini.WriteString("A", "Huge", "99999999999");
  EXPECT_EQ(ini.ReadInteger("A", "N", 0), -12);
  EXPECT_TRUE(ini.ReadBool("A", "T", false));
  EXPECT_EQ(ini.ReadInteger("A", "Bad", 5), 5);
  EXPECT_EQ(ini.ReadInteger("A", "Huge", 5), 5);
  EXPECT_EQ(ini.ReadInteger("A", "None", 5), 5);
  EXPECT_EQ(dir.Read("missing/new.ini"), "[A]\nN=-12\nT=1\nBad=12abc\nHuge=99999999999\n");
}

TEST(IniFilesTest, RefusesTextThatWouldBreakTheFile) {
  TempDir dir;
  TIniFile ini(dir.File("x.ini"));
  EXPECT_THROW(ini.WriteString("S", "k", "two\nlines"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "a=b", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S]", "k", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteString("", "k", "v"), EIniFileException);
  EXPECT_FALSE(FileExists(dir.File("x.ini")));
}

TEST(IniFilesTest, SeesChangesMadeByOthers) {
  TempDir dir;
  TIniFile ini(dir.File("s.ini"));
  ini.WriteString("S", "k", "1");
  TIniFile other(dir.File("s.ini"));
  other.WriteString("S", "k", "2");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
  ini.WriteString("S", "j", "3");
  EXPECT_EQ(dir.Read("s.ini"), "[S]\nk=2\nj=3\n");
}

TEST(IniFilesTest, FailedWriteLeavesTheFileAsItWas) {
  TempDir dir;
  TIniFile ini(dir.File("c.ini"));
  ini.WriteString("S", "k", "1");
  SetAtomicSaveHook([](const std::string&) { throw EOSError("crash"); });
  EXPECT_THROW(ini.WriteString("S", "k", "2"), EIniFileException);
  SetAtomicSaveHook(nullptr);
  EXPECT_EQ(dir.Read("c.ini"), "[S]\nk=1\n");
  EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
}

TEST(IniFilesTest, FileWithoutFinalLineEnd) {
  TempDir dir;
  dir.Write("n.ini", "[S]\nk=1");
  TIniFile ini(dir.File("n.ini"));
  ini.WriteString("S", "j", "2");
  EXPECT_EQ(dir.Read("n.ini"), "[S]\nk=1\nj=2\n");
}

}  // namespace
