// FetchSetupDescriptor and Start against nginx.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/install_job.h"
#include "tests/engine/test_servers.h"
#include "tests/support/test_files.h"

namespace {

class DescriptorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LoadTestServers(&servers_)) << "servers not started (ZV_SERVERS_ENV)"; }
  TestServers servers_;
  MessageBoxRecorder boxes_;
};

struct DescriptorCase {
  const char* name;
  const char* text;
  bool accepted;
  int requiredSpaceKb;
  const char* gameName;
};

TEST_F(DescriptorTest, AcceptsAndRejectsBySize) {
  const DescriptorCase cases[] = {
      {"nosize", "[setup]\r\ngamename=Zuvuva\r\n", false, -1, "Zuvuva"},
      {"negative", "[setup]\r\ngamename=Zuvuva\r\nsize=-5\r\n", false, -5, "Zuvuva"},
      {"zero", "[setup]\r\nsize=0\r\ngamename=Zuvuva\r\n", true, 0, "Zuvuva"},
      {"large", "[setup]\r\nSIZE=2048\r\n", true, 2097152, ""},
      {"onlysize", "[SETUP]\r\nsize=7\r\n", true, 7168, ""},
      {"huge", "[setup]\r\nsize=3000000\r\n", true, 2147483647, ""},
  };
  for (const DescriptorCase& c : cases) {
    ASSERT_TRUE(Publish(servers_, std::string(c.name) + "\\update\\online_setup.txt", c.text));
    InstallJob job;
    const std::string server = servers_.nginxUrl + "/" + c.name;
    EXPECT_EQ(job.FetchSetupDescriptorFrom(server.c_str()), c.accepted) << c.name;
    EXPECT_EQ(job.requiredSpaceKb, c.requiredSpaceKb) << c.name;
    EXPECT_STREQ(job.gameName, c.gameName) << c.name;
    EXPECT_FALSE(job.descriptorPath.empty()) << c.name;
    if (c.accepted) {
      EXPECT_STREQ(job.exeFileName, "") << c.name;
      EXPECT_STREQ(job.agreementUrl, "") << c.name;
      EXPECT_STREQ(job.contact, "") << c.name;
    }
  }
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(DescriptorTest, ReadsEverySetupValue) {
  ASSERT_TRUE(Publish(servers_, "full\\update\\online_setup.txt",
                      "[setup]\r\ngamename=祖武娃\r\nexefilename=game.exe\r\nProductTitle=Zuvuva Online\r\n"
                      "size=512\r\nurlAgreement=http://example.com/agreement.html\r\nuninstname=uninst.exe\r\n"
                      "Publisher=Zuvuva Studio\r\nContact=support@example.com\r\n"
                      "[config]\r\n1.0=http://example.com/list.ini\r\n"));
  InstallJob job;
  ASSERT_TRUE(job.FetchSetupDescriptorFrom((servers_.nginxUrl + "/full").c_str()));
  EXPECT_STREQ(job.gameName, "祖武娃");
  EXPECT_STREQ(job.exeFileName, "game.exe");
  EXPECT_STREQ(job.productTitle, "Zuvuva Online");
  EXPECT_EQ(job.requiredSpaceKb, 524288);
  EXPECT_STREQ(job.agreementUrl, "http://example.com/agreement.html");
  EXPECT_STREQ(job.uninstallerName, "uninst.exe");
  EXPECT_STREQ(job.publisher, "Zuvuva Studio");
  EXPECT_STREQ(job.contact, "support@example.com");
  std::string local;
  ASSERT_TRUE(ReadTestFile(job.descriptorPath, &local));
  EXPECT_NE(local.find("[config]"), std::string::npos);
}

TEST_F(DescriptorTest, TwentyFailedAttemptsShowOneBox) {
  InstallJob job;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(job.FetchSetupDescriptorFrom(servers_.refusedUrl.c_str()));
  const auto elapsed = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  const RecordedBox& box = boxes_.boxes()[0];
  EXPECT_EQ(box.text, servers_.refusedUrl + "/update/online_setup.txt 错误  尝试 20");
  EXPECT_EQ(box.caption, "退出");
  EXPECT_EQ(box.owner, nullptr);
  // Nineteen pauses of 500 ms between the attempts.
  EXPECT_GE(elapsed, std::chrono::milliseconds(9500));
  EXPECT_EQ(std::string(job.errorText).rfind("InternetOpenUrl 错误.", 0), 0u);
}

TEST_F(DescriptorTest, CancelDuringTheFetchShowsNothing) {
  InstallJob job;
  std::thread canceller([&] {
    Sleep(700);
    job.cancelRequested = true;
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(job.FetchSetupDescriptorFrom(servers_.refusedUrl.c_str()));
  const auto elapsed = std::chrono::steady_clock::now() - started;
  canceller.join();
  EXPECT_TRUE(boxes_.boxes().empty());
  EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
}

TEST(InstallJobStart, CreatesTheWholeDirectoryPathBeforeTheWorker) {
  MessageBoxRecorder boxes;
  TempDir dir;
  InstallJob job;
  job.cancelRequested = true;
  const std::string target = dir.path() + "\\a\\b/c\\";
  job.Start(nullptr, target.c_str());
  EXPECT_EQ(job.window, nullptr);
  EXPECT_FALSE(job.cancelRequested);
  EXPECT_STREQ(job.installDir, target.c_str());
  EXPECT_TRUE(PathExists(dir.path() + "\\a\\b\\c"));
  ASSERT_NE(job.thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(job.thread, 5000), WAIT_OBJECT_0);
  // Without a descriptor the worker has no update list to fetch.
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, "从文件中,获取版本对应的更新URL错误.");
}

}  // namespace
