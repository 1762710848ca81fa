#include "package/path_util.h"

#include <gtest/gtest.h>

namespace {

struct JoinCase {
  const char* directory;
  const char* tail;
  const char* expected;
};

TEST(JoinPath, Table) {
  const JoinCase cases[] = {
      {"C:\\Game", "a.dat", "C:\\Game\\a.dat"},
      {"C:\\Game\\", "\\data\\a.dat", "C:\\Game\\data\\a.dat"},
      {"C:\\Game\\\\", "a", "C:\\Game\\a"},
      {"C:\\Game\\", "", "C:\\Game\\"},
      {"C:\\Game", "\\", "C:\\Game\\"},
      {"", "a", "\\a"},
      {"\\\\\\", "a", "\\a"},
      {"C:\\Game", "\\\\\\a\\\\b", "C:\\Game\\a\\\\b"},  // inner runs stay
      {"C:/Game/", "a", "C:/Game/\\a"},                // the slash is an ordinary character
      {"C:\\\x81", "a", "C:\\\x81\\a"},
      {"C:\\\x81\\", "a", "C:\\\x81\\a"},  // a trail byte 0x5C counts as a backslash
  };
  for (const JoinCase& c : cases) {
    EXPECT_EQ(JoinPath(c.directory, c.tail), c.expected) << "JoinPath(\"" << c.directory << "\", \"" << c.tail << "\")";
  }
}

TEST(TailFromFirstBackslash, Table) {
  const std::pair<const char*, const char*> cases[] = {
      {"top\\data\\a.dat", "\\data\\a.dat"},
      {"a.dat", ""},
      {"top\\", "\\"},
      {"", ""},
      {"\\x", "\\x"},
      {"top/data\\a", "\\a"},
      {"\x81\\\x81\\x", "\\\x81\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(TailFromFirstBackslash(c.first), c.second) << c.first;
}

}  // namespace
