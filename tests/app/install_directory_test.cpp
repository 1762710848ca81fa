// The install-directory rules, without a window.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "wizard/install_directory.h"

namespace {

TEST(PathEndsWithName, Table) {
  struct Case {
    const char* path;
    const char* name;
    bool expected;
  };
  const Case cases[] = {
      {"D:\\Games\\Zuvuva", "Zuvuva", true},  {"D:\\Games\\Zuvuva\\", "Zuvuva", true},
      {"D:\\Games\\Zuvuva/", "Zuvuva", true}, {"D:\\MyGame\\", "Game", true},  // a suffix, not a component
      {"D:\\Games\\zuvuva", "Zuvuva", false}, {"Zuvuva", "Zuvuva", false},     // the name must be shorter
      {"D:\\Games\\", "Zuvuva", false},       {nullptr, "Zuvuva", false},
      {"D:\\Games", nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathEndsWithName(c.path, c.name), c.expected) << (c.path ? c.path : "(null)");
  }
}

TEST(ComposeTargetDir, FolderGetsTheGameSubfolderUnlessItEndsWithIt) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const Case cases[] = {
      {"Z:\\Games", "Z:\\Games\\Zuvuva\\"},
      {"Z:\\Games\\", "Z:\\Games\\Zuvuva\\"},
      {"Z:\\Games\\Zuvuva", "Z:\\Games\\Zuvuva\\"},
      {"Z:\\Games\\Zuvuva\\", "Z:\\Games\\Zuvuva\\"},
      {"Z:/Games/Zuvuva/", "Z:/Games/Zuvuva/"},
  };
  for (const Case& c : cases) {
    char target[260] = "unchanged";
    EXPECT_TRUE(ComposeTargetDir(c.path, "Zuvuva", target)) << c.path;
    EXPECT_STREQ(target, c.expected) << c.path;
  }
  // Too long to take the game's folder: the target keeps its value.
  char target[260] = "C:\\Program Files\\Zuvuva\\";
  const std::string longPath = "Z:\\" + std::string(250, 'x');
  EXPECT_FALSE(ComposeTargetDir(longPath.c_str(), "Zuvuva", target));
  EXPECT_STREQ(target, "C:\\Program Files\\Zuvuva\\");
  EXPECT_FALSE(ComposeTargetDir("", "Zuvuva", target));
}

TEST(FormatSpace, TruncatesToTheLargestUnit) {
  struct Case {
    int kib;
    int number;
    const char* unit;
  };
  const Case cases[] = {{5000000, 4, "GB"}, {900, 900, "KB"},    {700000, 683, "MB"},
                        {1572864, 1, "GB"}, {2047, 1, "MB"},     {1048576, 1, "GB"},
                        {1024, 1, "MB"},    {0, 0, "KB"},        {INT_MAX, 2047, "GB"}};
  for (const Case& c : cases) {
    const SpaceText text = FormatSpace(c.kib);
    EXPECT_EQ(text.number, c.number) << c.kib;
    EXPECT_STREQ(text.unit, c.unit) << c.kib;
  }
}

TEST(GetFreeSpaceKB, DrivesThatAreThereAndThatAreNot) {
  EXPECT_GE(GetFreeSpaceKB("C:\\Program Files\\Zuvuva\\"), 0);
  EXPECT_GE(GetFreeSpaceKB("Z:"), 0);
  EXPECT_EQ(GetFreeSpaceKB("Q:\\Games"), -1);
  EXPECT_EQ(GetFreeSpaceKB("Games"), -1);
  EXPECT_EQ(GetFreeSpaceKB(""), -1);
  EXPECT_EQ(GetFreeSpaceKB("C"), -1);
}

}  // namespace
