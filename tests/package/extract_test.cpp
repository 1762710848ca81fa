#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "package/package_archive.h"
#include "tests/support/test_files.h"
#include "tools/pkgtool/package_writer.h"

namespace {

// Real file access with the progress recorded, the pauses only noted, and
// faults injected on request.
class RecordingSystem : public PlatformPackageSystem {
 public:
  RecordingSystem() : PlatformPackageSystem(nullptr) {}

  std::vector<int> posts;
  std::vector<int> pauses;
  std::vector<std::string> createdDirectories;
  std::vector<std::string> writtenTargets;
  uint32_t readPiece = 0;             // deliver at most this many bytes per read (0: as the platform does)
  int64_t failReadsAfter = -1;        // fail once this many bytes were delivered
  int failWriteNumber = -1;           // report the n-th write (0-based) as incomplete

  std::unique_ptr<PackageFile> OpenArchive(const std::string& path) override {
    std::unique_ptr<PackageFile> real = PlatformPackageSystem::OpenArchive(path);
    if (!real) return real;
    return std::unique_ptr<PackageFile>(new Limited(std::move(real), this));
  }
  void CreateDirectoryLevel(const std::string& path) override {
    createdDirectories.push_back(path);
    PlatformPackageSystem::CreateDirectoryLevel(path);
  }
  WriteResult WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) override {
    WriteResult result = PlatformPackageSystem::WriteWholeFile(path, data, size);
    if (result == WriteResult::kWritten) {
      if ((int)writtenTargets.size() == failWriteNumber) result = WriteResult::kIncomplete;
      writtenTargets.push_back(path);
    }
    return result;
  }
  void PostProgress(int percent) override { posts.push_back(percent); }
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }

 private:
  class Limited : public PackageFile {
   public:
    Limited(std::unique_ptr<PackageFile> real, RecordingSystem* owner) : real_(std::move(real)), owner_(owner) {}
    bool Size(uint32_t* size) override { return real_->Size(size); }
    bool Read(void* buffer, uint32_t length, uint32_t* got) override {
      if (owner_->failReadsAfter >= 0 && delivered_ >= owner_->failReadsAfter) return false;
      if (owner_->readPiece && length > owner_->readPiece) length = owner_->readPiece;
      if (!real_->Read(buffer, length, got)) return false;
      delivered_ += *got;
      return true;
    }

   private:
    std::unique_ptr<PackageFile> real_;
    RecordingSystem* owner_;
    int64_t delivered_ = 0;
  };
};

class ExtractTest : public ::testing::Test {
 protected:
  std::string dest() const { return root_.Join("dest"); }
  void SetUp() override { ASSERT_TRUE(MakeTestDirectory(dest())); }

  // Places `archive` as dest\p.pak and extracts it there.
  int Extract(const std::string& archive) {
    EXPECT_TRUE(WriteTestFile(dest() + "\\p.pak", archive));
    return ExtractPackage(system_, "p.pak", dest());
  }
  // What the extraction left in the destination, the archive aside.
  std::vector<std::string> Extracted() {
    std::vector<std::string> all = ListTree(dest());
    std::vector<std::string> out;
    for (const std::string& name : all) {
      if (name != "p.pak") out.push_back(name);
    }
    return out;
  }
  std::string Contents(const std::string& relative) {
    std::string bytes;
    EXPECT_TRUE(ReadTestFile(dest() + "\\" + relative, &bytes)) << relative;
    return bytes;
  }

  TempDir root_;
  RecordingSystem system_;
};

using Posts = std::vector<int>;

// One entry, payload of 288 bytes (below 1 KiB, so block offsets count in
// bytes), read in one piece.
TEST_F(ExtractTest, ProgressOfOneEntry) {
  std::string archive = BuildPackage({{"top\\a.dat", std::string(16, 'a')}});
  ASSERT_EQ(archive.size(), 8u + 288u);
  EXPECT_EQ(Extract(archive), 0);
  const Posts expected = {25, 26, 27, 29, 30, 31, 33, 34, 36, 37, 38, 40, 41, 43, 44, 45, 47, 48, 50, 100};
  EXPECT_EQ(system_.posts, expected);
  EXPECT_EQ(system_.pauses, std::vector<int>(17, 20));
  EXPECT_EQ(Extracted(), std::vector<std::string>{"a.dat"});
  EXPECT_EQ(Contents("a.dat"), std::string(16, 'a'));
}

// Four entries, payload of 2064 bytes: decryption progress counts whole KiB and
// reaches 50 on the last block; the write steps lag one file behind.
TEST_F(ExtractTest, ProgressOfFourEntries) {
  std::vector<PackageInput> files = {{"top\\d\\1", std::string(247, '1')},
                                     {"top\\d\\2", std::string(247, '2')},
                                     {"top\\d\\3", std::string(247, '3')},
                                     {"top\\d\\4", std::string(247, '4')}};
  std::string archive = BuildPackage(files);
  ASSERT_EQ(archive.size(), 8u + 2064u);
  EXPECT_EQ(Extract(archive), 0);
  EXPECT_EQ(system_.posts, (Posts{25, 37, 50, 50, 62, 75, 87, 100}));
  EXPECT_EQ(system_.pauses, (std::vector<int>{20, 20, 10, 10, 10}));
  for (const PackageInput& f : files) EXPECT_EQ(Contents(f.name.substr(4)), f.contents);
}

// Read in pieces of 256 bytes, the reading phase reports 0..25 as it goes.
TEST_F(ExtractTest, ProgressWhileReadingInPieces) {
  system_.readPiece = 256;
  std::string archive = BuildPackage({{"top\\d\\1", std::string(1008, 'x')}});
  ASSERT_EQ(archive.size(), 8u + 1280u);  // K = 1
  EXPECT_EQ(Extract(archive), 0);
  // Reads end at 256, 512, 768, 1024, 1280 bytes: 0, 0, 0, 25, 25.
  EXPECT_EQ(system_.posts, (Posts{0, 25, 25, 50, 50, 100}));
}

TEST_F(ExtractTest, NamesFoldToLowerCaseAndTheLaterEntryWins) {
  std::string archive = BuildPackage({{"top\\Data\\Setup.EXE", "first"}, {"top\\data\\setup.exe", "second"}});
  EXPECT_EQ(Extract(archive), 0);
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"data\\", "data\\setup.exe"}));
  EXPECT_EQ(Contents("data\\setup.exe"), "second");
}

TEST_F(ExtractTest, WritesInAscendingUnsignedByteOrder) {
  std::string archive = BuildPackage({{"top\\b", "b"}, {"top\\\xc4\xe3", "high"}, {"top\\A", "A"}, {"top\\a1", "a1"}});
  EXPECT_EQ(Extract(archive), 0);
  const std::vector<std::string> expected = {dest() + "\\a", dest() + "\\a1", dest() + "\\b", dest() + "\\\xc4\xe3"};
  EXPECT_EQ(system_.writtenTargets, expected);
}

TEST_F(ExtractTest, CreatesParentsBeforeChildren) {
  EXPECT_EQ(Extract(BuildPackage({{"top\\data\\img\\x.png", "png"}})), 0);
  const std::vector<std::string> expected = {dest(), dest(), dest() + "\\data", dest() + "\\data\\img"};
  EXPECT_EQ(system_.createdDirectories, expected);
  EXPECT_EQ(Contents("data\\img\\x.png"), "png");
}

TEST_F(ExtractTest, NameWithoutBackslashWritesNothingAndTakesNoStep) {
  std::string archive = BuildPackage({{"readme.txt", "r"}, {"top\\a", "a"}, {"top\\b", "b"}});
  EXPECT_EQ(Extract(archive), 0);
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"a", "b"}));
  // Two files written of three keys: 50 + 50*0/3, 50 + 50*1/3.
  EXPECT_EQ(std::vector<int>(system_.posts.end() - 2, system_.posts.end()), (Posts{66, 100}));
}

TEST_F(ExtractTest, ReadOnlyTargetIsOverwrittenAndLeftWritable) {
  ASSERT_TRUE(WriteTestFile(dest() + "\\ro.txt", "old"));
  ASSERT_TRUE(SetReadOnly(dest() + "\\ro.txt", true));
  ASSERT_TRUE(IsReadOnly(dest() + "\\ro.txt"));
  EXPECT_EQ(Extract(BuildPackage({{"top\\ro.txt", "new"}})), 0);
  EXPECT_EQ(Contents("ro.txt"), "new");
  EXPECT_FALSE(IsReadOnly(dest() + "\\ro.txt"));
}

TEST_F(ExtractTest, TargetThatCannotBeOpenedIsSkipped) {
  ASSERT_TRUE(MakeTestDirectory(dest() + "\\blocked"));  // a folder where a file should go
  std::string archive = BuildPackage({{"top\\a", "a"}, {"top\\blocked", "x"}, {"top\\c", "c"}, {"top\\d", "d"}});
  EXPECT_EQ(Extract(archive), 0);
  EXPECT_EQ(Contents("a"), "a");
  EXPECT_EQ(Contents("d"), "d");
  // Three steps for four keys: 50, 62, 75, then 100.
  EXPECT_EQ(std::vector<int>(system_.posts.end() - 3, system_.posts.end()), (Posts{62, 75, 100}));
}

// Archive lengths that are not 8 plus whole blocks, and a missing archive:
// nothing to extract, not a single progress message.
TEST_F(ExtractTest, BadLengthsAndMissingArchivePostNothing) {
  const std::string good = BuildPackage({{"top\\a", std::string(40, 'a')}});
  for (size_t length : {0, 1, 7, 9, 15, 23, 24 + 1}) {
    system_.posts.clear();
    EXPECT_EQ(Extract(good.substr(0, std::min(length, good.size()))), 1) << length;
    EXPECT_TRUE(system_.posts.empty()) << length;
  }
  system_.posts.clear();
  EXPECT_EQ(ExtractPackage(system_, "absent.pak", dest()), 1);
  EXPECT_TRUE(system_.posts.empty());
  EXPECT_EQ(Extracted(), std::vector<std::string>{});
}

TEST_F(ExtractTest, HeaderOnlyArchivePostsReadAndDecryptEnds) {
  EXPECT_EQ(Extract(std::string(8, '\0')), 1);
  EXPECT_EQ(system_.posts, (Posts{25, 50}));
}

// Directories that do not describe their entries, or describe bytes that are
// not there: the archive is refused whole, nothing is written.
TEST_F(ExtractTest, MalformedDirectoriesAreRefused) {
  const std::vector<PackageInput> files = {{"top\\a", "aaaa"}, {"top\\b", "bbbb"}};
  uint32_t goodLength = 0;
  const std::string goodPlain = BuildPackagePlaintext(files, &goodLength);
  auto put32 = [](std::string* s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) (*s)[at + i] = (char)((v >> (8 * i)) & 0xff);
  };
  const size_t entry1 = 4 + kPackageEntrySize;  // second entry's name field
  struct Case {
    const char* what;
    uint32_t directoryLength;
    std::function<void(std::string*)> edit;
  };
  const Case cases[] = {
      {"entry count 0", goodLength, [&](std::string* p) { put32(p, 0, 0); }},
      {"negative entry count", goodLength, [&](std::string* p) { put32(p, 0, 0xffffffffu); }},
      {"directory one byte short", goodLength - 1, [](std::string*) {}},
      {"directory length below 4", 3, [](std::string*) {}},
      {"huge entry count", goodLength, [&](std::string* p) { put32(p, 0, 0x7fffffffu); }},
      {"huge count with a huge directory length", 0xfffffff0u, [&](std::string* p) { put32(p, 0, 0x00f00000u); }},
      {"directory longer than the plaintext", (uint32_t)goodPlain.size() + 100, [](std::string*) {}},
      {"offset past the end", goodLength, [&](std::string* p) { put32(p, entry1 + 260, 0x7ffffff0u); }},
      {"size past the end", goodLength, [&](std::string* p) { put32(p, entry1 + 264, 1000); }},
      {"offset + size wraps 32 bits", goodLength,
       [&](std::string* p) { put32(p, entry1 + 260, 0xfffffff0u), put32(p, entry1 + 264, 0x20); }},
      {"name without NUL", goodLength, [&](std::string* p) { memset(&(*p)[entry1], 'n', kPackageNameSize); }},
  };
  for (const Case& c : cases) {
    std::string plain = goodPlain;
    c.edit(&plain);
    system_.posts.clear();
    EXPECT_EQ(Extract(EncryptPackage(c.directoryLength, 0, plain, kPackagePassword)), 1) << c.what;
    EXPECT_EQ(Extracted(), std::vector<std::string>{}) << c.what;
    EXPECT_EQ(system_.posts.back(), 50) << c.what;
  }
}

// Names whose remainder would leave the destination are never written; the
// sound entries of the same archive are.
TEST_F(ExtractTest, NamesThatLeaveTheDestinationAreSkipped) {
  const char* const hostile[] = {"top\\..\\outside",      "top\\a\\..\\..\\outside", "top\\..",
                                 "top\\. .\\outside",     "top\\...\\outside",       "top\\a/../../outside",
                                 "top\\C:\\outside",      "top\\c:outside",          "top\\x:stream",
                                 "top\\CON",              "top\\nul.txt",            "top\\lpt1\\x",
                                 "top\\ctl\x01name",      "top\\..\\..\\..\\..\\..\\..\\tmp\\outside"};
  std::vector<PackageInput> files;
  for (const char* name : hostile) files.push_back({name, "evil"});
  files.push_back({"top\\keep\\good.txt", "good"});
  files.push_back({"top\\a..b", "dots inside a name are fine"});
  EXPECT_EQ(Extract(BuildPackage(files)), 0);
  EXPECT_EQ(Extracted(), (std::vector<std::string>{"a..b", "keep\\", "keep\\good.txt"}));
  EXPECT_EQ(ListTree(root_.path()), (std::vector<std::string>{"dest\\", "dest\\a..b", "dest\\keep\\",
                                                               "dest\\keep\\good.txt", "dest\\p.pak"}));
}

TEST_F(ExtractTest, PayloadReadFailureFailsBeforeDecrypting) {
  system_.readPiece = 512;
  system_.failReadsAfter = 1024;
  EXPECT_EQ(Extract(BuildPackage({{"top\\a", std::string(3000, 'a')}})), 1);
  EXPECT_EQ(Extracted(), std::vector<std::string>{});
  for (int p : system_.posts) EXPECT_LT(p, 25);
}

TEST_F(ExtractTest, IncompleteWriteFailsTheExtraction) {
  system_.failWriteNumber = 1;
  EXPECT_EQ(Extract(BuildPackage({{"top\\a", "a"}, {"top\\b", "b"}, {"top\\c", "c"}})), 1);
  EXPECT_EQ(system_.writtenTargets.size(), 2u);  // stops at the file that fell short
  EXPECT_NE(system_.posts.back(), 100);
}

TEST_F(ExtractTest, EmptyFilesAndSecondHeaderWordAreFine) {
  EXPECT_EQ(Extract(BuildPackage({{"top\\empty", ""}, {"top\\x", "x"}}, 0xdeadbeefu)), 0);
  EXPECT_EQ(Contents("empty"), "");
  EXPECT_EQ(Contents("x"), "x");
}

TEST(PackageTail, SafetyTable) {
  const std::pair<const char*, bool> cases[] = {
      {"\\a", true},          {"\\data\\a.dat", true}, {"\\a..b", true},      {"\\.hidden", true},
      {"\\..", false},        {"\\a\\..\\b", false},   {"\\.", false},        {"\\a/..", false},
      {"\\ ..", false},       {"\\C:\\x", false},      {"\\a:b", false},      {"\\aux", false},
      {"\\Com1.log", false},  {"\\com10", true},       {"\\console", true},   {"\\a\x1f", false},
      {"\\\x81\\x", true},  // a GBK trail byte 0x5C splits the name, as the installer does
  };
  for (const auto& c : cases) EXPECT_EQ(IsSafePackageTail(c.first), c.second) << c.first;
}

}  // namespace
