#include <gtest/gtest.h>

#include "editor/CodeHighlighterSQL.h"
#include "platform/rtl/Process.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/RegistryStore.h"
#include "rtl/FileSaves.h"
#include "rtl/TempDir.h"

namespace {

// Every test gets its own HKEY_CURRENT_USER file.
class HighlighterRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    savedConfig_ = GetEnvironmentVariable("XDG_CONFIG_HOME");
    SetEnvironmentVariable("XDG_CONFIG_HOME", dir_.Path());
    talvik::registry::ResetHives();
  }
  void TearDown() override {
    SetEnvironmentVariable("XDG_CONFIG_HOME", savedConfig_);
    talvik::registry::ResetHives();
  }
  TempDir dir_;

 private:
  std::string savedConfig_;
};

TEST_F(HighlighterRegistry, SaveAndLoadRoundTrip) {
  TCodeSQLHighlighter a;
  a.CommentAttri()->SetForeground(clGray);
  a.StringAttri()->SetBackground(clYellow);
  a.KeyAttri()->SetStyle({fsBold, fsUnderline});
  ASSERT_TRUE(a.SaveToRegistry(HKEY_CURRENT_USER, "Software\\Talvik\\Highlighter"));

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Talvik\\Highlighter\\Reserved Word", false));
  EXPECT_EQ(reg.ReadInteger("Style"), 5);
  reg.CloseKey();

  TCodeSQLHighlighter b;
  ASSERT_TRUE(b.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Talvik\\Highlighter"));
  EXPECT_EQ(b.CommentAttri()->Foreground(), clGray);
  EXPECT_EQ(b.StringAttri()->Background(), clYellow);
  EXPECT_EQ(b.KeyAttri()->Style(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_FALSE(b.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Talvik\\Missing"));
}

// Every attribute of a highlighter reaches the settings file in one save.
TEST_F(HighlighterRegistry, AllTheAttributesReachTheFileInOneSave) {
  TCodeSQLHighlighter a;
  a.CommentAttri()->SetForeground(clGray);
  TFileSaveCounter saves(dir_.File("talvik/HKCU.reg"));
  ASSERT_TRUE(a.SaveToRegistry(HKEY_CURRENT_USER, "Software\\Talvik\\Highlighter"));
  EXPECT_EQ(saves.Count(), 1);
  talvik::registry::ResetHives();  // read back from the file
  TCodeSQLHighlighter b;
  ASSERT_TRUE(b.LoadFromRegistry(HKEY_CURRENT_USER, "Software\\Talvik\\Highlighter"));
  EXPECT_EQ(b.CommentAttri()->Foreground(), clGray);
}

TEST_F(HighlighterRegistry, AttributeReturnsToThePreviousKeyAndReportsMissingSubKey) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Talvik\\Attrs", true));
  TCodeHighlighterAttributes attr("Number");
  attr.SetForeground(clRed);
  ASSERT_TRUE(attr.SaveToRegistry(reg));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Talvik\\Attrs");
  TCodeHighlighterAttributes other("Other");
  EXPECT_FALSE(other.LoadFromRegistry(reg));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Talvik\\Attrs");
  TCodeHighlighterAttributes back("Number");
  ASSERT_TRUE(back.LoadFromRegistry(reg));
  EXPECT_EQ(back.Foreground(), clRed);
}

TEST_F(HighlighterRegistry, SchemeImportOldAndNewFormat) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\OtherEditor\\Colors", true));
  reg.WriteString("Keyword", "x,y,BI,0,0,4,15");  // navy on white, bold italic
  reg.WriteString("Default", "x,y,U,1,1,99,99");  // default colours: palette not used
  reg.WriteString("Broken", "x,y,B,0,0,42,1");    // palette index out of range
  reg.WriteString("Short", "x,y,B");
  ASSERT_TRUE(reg.OpenKey("\\Software\\OtherEditor\\New\\Comment", true));
  reg.WriteString("Foreground Color", "8");
  reg.WriteString("Background Color New", "clSilver");
  reg.WriteString("Bold", "False");
  reg.WriteString("Italic", "1");
  reg.WriteString("Underline", "0");
  reg.WriteString("Default Foreground", "0");
  reg.WriteString("Default Background", "FALSE");
  reg.CloseKey();

  TCodeHighlighterAttributes a("A");
  ASSERT_TRUE(a.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\Colors", "Keyword", true));
  EXPECT_EQ(a.Foreground(), clNavy);
  EXPECT_EQ(a.Background(), clWhite);
  EXPECT_EQ(a.Style(), (TFontStyles{fsBold, fsItalic}));
  ASSERT_TRUE(a.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\Colors", "Default", true));
  EXPECT_EQ(a.Foreground(), clWindowText);
  EXPECT_EQ(a.Background(), clWindow);
  EXPECT_EQ(a.Style(), (TFontStyles{fsUnderline}));
  EXPECT_FALSE(a.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\Colors", "Broken", true));
  EXPECT_FALSE(a.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\Colors", "Short", true));
  EXPECT_FALSE(a.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\Colors", "Missing", true));

  TCodeHighlighterAttributes b("B");
  ASSERT_TRUE(b.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\New", "Comment", false));
  EXPECT_EQ(b.Foreground(), clGray);
  EXPECT_EQ(b.Background(), clSilver);
  EXPECT_EQ(b.Style(), (TFontStyles{fsItalic}));
  EXPECT_FALSE(b.LoadFromSchemeRegistry(HKEY_CURRENT_USER, "Software\\OtherEditor\\New", "Nothing", false));
}

}  // namespace
