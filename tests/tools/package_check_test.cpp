#include "tools/pkgtool/package_check.h"

#include <gtest/gtest.h>

#include "tests/support/test_files.h"
#include "tools/pkgtool/package_writer.h"

namespace {

PackageReport CheckBytes(const TempDir& dir, const std::string& archive) {
  EXPECT_TRUE(WriteTestFile(dir.Join("p.pak"), archive));
  return CheckPackage(dir.Join("p.pak"));
}

TEST(CheckPackage, SoundArchiveHasNoProblems) {
  TempDir dir;
  PackageReport report = CheckBytes(dir, BuildPackage({{"top\\a.txt", "a"}, {"top\\d\\b.txt", "bb"}}));
  EXPECT_TRUE(report.readable);
  EXPECT_TRUE(report.problems.empty());
  ASSERT_EQ(report.entries.size(), 2u);
  EXPECT_EQ(report.entries[1].name, "top\\d\\b.txt");
  EXPECT_EQ(report.entries[1].entry.size, 2u);
}

// Each entry that the installer would not write is named, one problem each.
TEST(CheckPackage, NamesEveryEntryTheInstallerWouldNotWrite) {
  TempDir dir;
  PackageReport report = CheckBytes(dir, BuildPackage({{"top\\ok", "1"},
                                                       {"top\\..\\evil", "2"},
                                                       {"readme.txt", "3"},
                                                       {"top\\OK", "4"},
                                                       {"top\\d\\", "5"},
                                                       {"top\\c:x", "6"}}));
  EXPECT_TRUE(report.readable);
  ASSERT_EQ(report.problems.size(), 5u);
  EXPECT_NE(report.problems[0].find("entry 1 \"top\\..\\evil\" would leave"), std::string::npos) << report.problems[0];
  EXPECT_NE(report.problems[1].find("entry 2 \"readme.txt\" names no file"), std::string::npos) << report.problems[1];
  EXPECT_NE(report.problems[2].find("entry 3 \"top\\OK\" differs"), std::string::npos) << report.problems[2];
  EXPECT_NE(report.problems[3].find("entry 4"), std::string::npos) << report.problems[3];
  EXPECT_NE(report.problems[4].find("entry 5"), std::string::npos) << report.problems[4];
}

TEST(CheckPackage, UnreadableArchivesSayWhy) {
  TempDir dir;
  const std::string good = BuildPackage({{"top\\a", "a"}});
  struct Case {
    std::string bytes;
    const char* says;
  };
  const Case cases[] = {
      {good.substr(0, 20), "not a package archive"},
      {EncryptPackage(9999, 0, std::string(300, '\0'), kPackagePassword), "past the end"},
      {EncryptPackage(4, 0, std::string(16, '\x01'), kPackagePassword), "too small"},
      {EncryptPackage(4, 0, std::string(16, '\0'), kPackagePassword), "no entries"},
  };
  for (const Case& c : cases) {
    PackageReport report = CheckBytes(dir, c.bytes);
    EXPECT_FALSE(report.readable);
    ASSERT_EQ(report.problems.size(), 1u);
    EXPECT_NE(report.problems[0].find(c.says), std::string::npos) << report.problems[0];
  }
  EXPECT_NE(CheckPackage(dir.Join("absent.pak")).problems.at(0).find("cannot open"), std::string::npos);
}

}  // namespace
