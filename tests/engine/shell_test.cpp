// Shell integration and the command runner, in the project's Wine prefix.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "engine/install_job.h"
#include "engine/shell_integration.h"
#include "tests/support/install_checks.h"
#include "tests/support/test_files.h"

namespace {

TEST(GetSystemDriveRoot, RootOfTheSystemDirectory) {
  char buffer[260];
  memset(buffer, 'x', sizeof buffer);
  int size = sizeof buffer;
  GetSystemDriveRoot(buffer, &size);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_EQ(std::string(buffer), std::string(system, 3));
  EXPECT_EQ(std::string(buffer), "C:\\");
  EXPECT_EQ(buffer[259], '\0');

  char small[3] = {'a', 'b', 'c'};
  size = 3;
  GetSystemDriveRoot(small, &size);
  EXPECT_EQ(size, 4);
  EXPECT_EQ(std::string(small, 3), "abc");
}

TEST(CreateDirectoryPath, EverySpellingCreatesTheWholePath) {
  TempDir dir;
  const std::string forms[] = {dir.Join("a\\b\\c"), dir.Join("d\\e\\f\\"), dir.Join("g/h/i")};
  for (const std::string& path : forms) {
    EXPECT_TRUE(CreateDirectoryPath(path.c_str()));
  }
  for (const char* made : {"a", "a\\b", "a\\b\\c", "d\\e\\f", "g\\h\\i"}) {
    EXPECT_TRUE(PathExists(dir.Join(made))) << made;
  }
  EXPECT_FALSE(CreateDirectoryPath((dir.path() + "\\" + std::string(300, 'x')).c_str()));
}

TEST(Shortcuts, CreateReplaceAndDelete) {
  const std::string programs = SpecialFolder(CSIDL_PROGRAMS);
  const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  const std::string common = SpecialFolder(CSIDL_COMMON_PROGRAMS);

  EXPECT_TRUE(CreateShortcut("c:\\ignored", "ShellTestGroup", kShortcutPrograms, true));
  EXPECT_TRUE(PathExists(programs + "\\ShellTestGroup"));
  EXPECT_FALSE(PathExists(programs + "\\ShellTestGroup.lnk"));

  EXPECT_TRUE(CreateShortcut("c:\\games\\one\\one.exe", "ShellTestGroup\\one", kShortcutPrograms, false));
  EXPECT_EQ(LinkTarget(programs + "\\ShellTestGroup\\one.lnk"), (LinkInfo{"c:\\games\\one\\one.exe", "C:\\games\\one"}));
  // A link that exists is replaced.
  EXPECT_TRUE(CreateShortcut("d:\\two\\two.exe", "ShellTestGroup\\one", kShortcutPrograms, false));
  EXPECT_EQ(LinkTarget(programs + "\\ShellTestGroup\\one.lnk"), (LinkInfo{"d:\\two\\two.exe", "D:\\two"}));

  EXPECT_TRUE(CreateShortcut("c:\\games\\one\\one.exe", "ShellTestDesk", kShortcutSecond, false));
  EXPECT_TRUE(PathExists(desktop + "\\ShellTestDesk.lnk"));
  DeleteShortcut("ShellTestDesk", kShortcutDesktop, false);
  EXPECT_FALSE(PathExists(desktop + "\\ShellTestDesk.lnk"));
  DeleteShortcut("ShellTestDesk", kShortcutDesktop, false);  // missing: no harm

  DeleteShortcut("ShellTestGroup", kShortcutPrograms, true);
  EXPECT_FALSE(PathExists(programs + "\\ShellTestGroup"));

  // Folder 2 deletes from the all-users Programs folder, links and all.
  ASSERT_TRUE(CreateDirectoryPath((common + "\\ShellTestCommon\\sub").c_str()));
  ASSERT_TRUE(WriteTestFile(common + "\\ShellTestCommon\\a.lnk", "link"));
  ASSERT_TRUE(WriteTestFile(common + "\\ShellTestCommon\\sub\\b.lnk", "link"));
  DeleteShortcut("ShellTestCommon", kShortcutSecond, true);
  EXPECT_FALSE(PathExists(common + "\\ShellTestCommon"));
}

TEST(RegisterUninstall, WritesTheSevenValuesInOrder) {
  RegisterUninstall("ShellTestGame", "Shell Test Game", "C:\\G\\uninstall\\u.exe", "C:\\G\\uninstall\\uninstall.ini",
                    "Pub", "mail@example.com");
  const std::vector<RegistryValue> expected = {
      {"DisplayName", REG_SZ, "Shell Test Game"},
      {"NoModify", REG_DWORD, "1"},
      {"NoRepair", REG_DWORD, "1"},
      {"UninstallString", REG_SZ, "\"C:\\G\\uninstall\\u.exe\" \"/U:C:\\G\\uninstall\\uninstall.ini\""},
      {"Publisher", REG_SZ, "Pub"},
      {"Contact", REG_SZ, "mail@example.com"},
      {"DisplayIcon", REG_SZ, "\"C:\\G\\uninstall\\u.exe\""},
  };
  EXPECT_EQ(UninstallValues("ShellTestGame"), SortedByName(expected));

  RegisterUninstall("ShellTestGame2", "Two", "C:\\G\\u.exe", nullptr, "", "");
  const std::vector<RegistryValue> second = UninstallValues("ShellTestGame2");
  ASSERT_EQ(second.size(), 7u);
  EXPECT_EQ(second[6], (RegistryValue{"UninstallString", REG_SZ, "\"C:\\G\\u.exe\""}));

  // Nothing lands in the Uninstall key itself for an empty name.
  const size_t before = UninstallValues("").size();
  RegisterUninstall("", "", "C:\\G\\u.exe", nullptr, "", "");
  EXPECT_EQ(UninstallValues("").size(), before);
  EXPECT_EQ(before, 0u);
}

TEST(DeleteDirectoryTree, RemovesNestedFoldersAndKeepsReadOnlyFiles) {
  TempDir dir;
  ASSERT_TRUE(CreateDirectoryPath(dir.Join("t\\a\\b").c_str()));
  ASSERT_TRUE(WriteTestFile(dir.Join("t\\x.txt"), "x"));
  ASSERT_TRUE(WriteTestFile(dir.Join("t\\a\\b\\y.txt"), "y"));
  DeleteDirectoryTree(dir.Join("t").c_str());
  EXPECT_FALSE(PathExists(dir.Join("t")));

  ASSERT_TRUE(CreateDirectoryPath(dir.Join("r\\s").c_str()));
  ASSERT_TRUE(WriteTestFile(dir.Join("r\\s\\locked.txt"), "l"));
  ASSERT_TRUE(SetReadOnly(dir.Join("r\\s\\locked.txt"), true));
  DeleteDirectoryTree(dir.Join("r").c_str());
  EXPECT_TRUE(PathExists(dir.Join("r\\s\\locked.txt")));
  DeleteDirectoryTree(dir.Join("absent").c_str());
}

// The fixture holds tree\link, a link to the folder outside\ beside the tree.
TEST(DeleteDirectoryTree, NeverFollowsALinkOutOfTheTree) {
  const std::string root = HostPathFromEnvironment("ZV_LINK_FIXTURE");
  ASSERT_FALSE(root.empty());
  ASSERT_TRUE(PathExists(root + "\\outside\\keep.txt"));
  ASSERT_TRUE(PathExists(root + "\\tree\\link"));
  DeleteDirectoryTree((root + "\\tree").c_str());
  EXPECT_TRUE(PathExists(root + "\\outside\\keep.txt"));
  EXPECT_FALSE(PathExists(root + "\\tree\\plain.txt"));
}

TEST(RunCommand, StartsAQuotedPathAndExplainsFailures) {
  TempDir dir;
  InstallJob job;
  const std::string missing = dir.Join("missing.exe");
  EXPECT_FALSE(job.RunCommand(missing.c_str()));
  EXPECT_EQ(std::string(job.errorText), "找不到" + missing + "文件. 错误号:2");

  const std::string notProgram = dir.Join("readme.exe");
  ASSERT_TRUE(WriteTestFile(notProgram, "this is text, not a program"));
  EXPECT_FALSE(job.RunCommand(notProgram.c_str()));
  EXPECT_EQ(std::string(job.errorText), notProgram + "文件不是有效运行程序. 错误号:193");

  // "a b\game.exe" must start, not a program named by the first word.
  ASSERT_TRUE(CreateDirectoryPath(dir.Join("a b").c_str()));
  ASSERT_TRUE(CopyFileA(DemoGamePath().c_str(), dir.Join("a b\\game.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(DemoGamePath().c_str(), dir.Join("a.exe").c_str(), FALSE));
  strcpy(job.errorText, "kept");
  EXPECT_TRUE(job.RunCommand(dir.Join("a b\\game.exe").c_str()));
  EXPECT_STREQ(job.errorText, "kept");
  EXPECT_TRUE(WaitForGameLog(dir.Join("a b\\demo_game.log"), "started"));
  CloseDemoGames();
  EXPECT_FALSE(PathExists(dir.Join("demo_game.log")));

  const std::string longPath = dir.path() + "\\" + std::string(250, 'p') + ".exe";
  EXPECT_FALSE(job.RunCommand(longPath.c_str()));
  EXPECT_EQ(strlen(job.errorText), 260u);
}

}  // namespace
