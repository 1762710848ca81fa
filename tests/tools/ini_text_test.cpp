#include "tools/pkgtool/ini_text.h"

#include <gtest/gtest.h>

namespace {

std::string Value(const IniText& ini, const char* section, const char* key, size_t buffer = 260) {
  std::string value = "<absent>";
  ini.Find(section, key, buffer, &value);
  return value;
}

TEST(IniText, NamesIgnoreLetterCaseAndValuesAreTrimmed) {
  const IniText ini("[Setup]\r\n  GameName =  Zuvuva Demo \t\r\nSIZE=3\r\n[CONFIG]\n1.0=http://a/b\n");
  EXPECT_TRUE(ini.HasSection("setup"));
  EXPECT_EQ(Value(ini, "setup", "gamename"), "Zuvuva Demo");
  EXPECT_EQ(Value(ini, "SETUP", "size"), "3");
  EXPECT_EQ(Value(ini, "config", "1.0"), "http://a/b");
  EXPECT_EQ(Value(ini, "config", "other"), "<absent>");
  EXPECT_EQ(Value(ini, "list0", "action"), "<absent>");
}

// The first section of a name is the only one read, and its first key.
TEST(IniText, FirstSectionAndFirstKeyWin) {
  const IniText ini("[a]\nx=1\nx=2\n[A]\nx=3\ny=4\n");
  EXPECT_EQ(Value(ini, "a", "x"), "1");
  EXPECT_EQ(Value(ini, "a", "y"), "<absent>");
}

TEST(IniText, QuotesCommentsAndLinesWithoutEquals) {
  const IniText ini("x=0\n[s]\n; note=1\nq=\"quoted\"\nr='single'\nm=\"mixed'\ne=\"\"\nbare\n[broken\nz=9\n");
  EXPECT_EQ(Value(ini, "s", "x"), "<absent>");  // before any section
  EXPECT_EQ(Value(ini, "s", "note"), "<absent>");
  EXPECT_EQ(Value(ini, "s", "q"), "quoted");
  EXPECT_EQ(Value(ini, "s", "r"), "single");
  EXPECT_EQ(Value(ini, "s", "m"), "\"mixed'");
  EXPECT_EQ(Value(ini, "s", "e"), "");
  EXPECT_EQ(Value(ini, "s", "bare"), "");
  EXPECT_EQ(Value(ini, "s", "z"), "9");  // "[broken" opens no section
}

TEST(IniText, LineEndsAndByteOrderMarks) {
  EXPECT_EQ(Value(IniText("[s]\rk=v\rl=w"), "s", "l"), "w");
  EXPECT_EQ(Value(IniText("\xEF\xBB\xBF[s]\nk=v"), "s", "k"), "v");
  const char utf16[] = "\xFF\xFE[\0s\0]\0\n\0k\0=\0v\0";
  EXPECT_EQ(Value(IniText(std::string(utf16, sizeof utf16 - 1)), "s", "k"), "v");
}

TEST(IniText, ValuesAreCutToTheBuffer) {
  const IniText ini("[s]\nk=" + std::string(300, 'a') + "\n");
  std::string value;
  bool cut = false;
  ASSERT_TRUE(ini.Find("s", "k", 260, &value, &cut));
  EXPECT_TRUE(cut);
  EXPECT_EQ(value.size(), 259u);
  ASSERT_TRUE(ini.Find("s", "k", 301, &value, &cut));
  EXPECT_FALSE(cut);
}

TEST(IniText, GarbageNeitherCrashesNorInventsKeys) {
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage.push_back((char)((i * 7919) % 256));
  const IniText ini(garbage);
  EXPECT_EQ(Value(ini, "setup", "size"), "<absent>");
  EXPECT_FALSE(ini.HasSection("list0"));
}

TEST(ProfileInt, ReadsNumbersAsTheInstallerDoes) {
  bool numeric = false;
  EXPECT_EQ(ProfileInt(false, "", -1), -1);
  EXPECT_EQ(ProfileInt(true, "", -1), -1);
  EXPECT_EQ(ProfileInt(true, "3", -1, &numeric), 3);
  EXPECT_TRUE(numeric);
  EXPECT_EQ(ProfileInt(true, "-7", -1), -7);
  EXPECT_EQ(ProfileInt(true, "+12MB", -1), 12);
  EXPECT_EQ(ProfileInt(true, "0x1f", -1), 31);
  EXPECT_EQ(ProfileInt(true, "0b101", -1), 5);
  EXPECT_EQ(ProfileInt(true, "0o17", -1), 15);
  EXPECT_EQ(ProfileInt(true, "abc", -1, &numeric), 0);
  EXPECT_FALSE(numeric);
  EXPECT_EQ(ProfileInt(true, "4294967295", 0), -1);
  EXPECT_EQ(ProfileInt(true, std::string(29, '0') + "5", -1), 0);  // the 30th character is not read
}

}  // namespace
