// DownloadFile against nginx (the real path) and the fault server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/install_job.h"
#include "tests/engine/test_servers.h"
#include "tests/support/test_files.h"

namespace {

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadTestServers(&servers_)) << "servers not started (ZV_SERVERS_ENV)";
    ASSERT_NE(window_.get(), nullptr);
    snprintf(job_.installDir, sizeof job_.installDir, "%s\\", dir_.path().c_str());
    job_.window = window_.get();
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  std::string Local(const std::string& relative) { return dir_.Join(relative); }
  int Download(const std::string& url, const char* localName, bool keepProgress = false) {
    return job_.DownloadFile(url.c_str(), localName, &localPath_, keepProgress);
  }

  TestServers servers_;
  TempDir dir_;
  ProgressWindow window_;
  InstallJob job_;
  std::string name_;
  std::string localPath_;
};

TEST_F(DownloadTest, SendsTheHeaderBlockWithTheLocalLengthAndANewAgent) {
  const std::string body = TestBytes(5000, 1);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  ASSERT_TRUE(WriteTestFile(Local("h.bin"), body.substr(0, 1234)));
  const std::string path = "/plain/" + name_ + ".bin";

  ASSERT_EQ(Download(servers_.faultUrl + path, "h.bin"), 0) << job_.errorText;
  Sleep(20);  // the agent carries the millisecond tick count
  ASSERT_EQ(Download(servers_.faultUrl + path, "h.bin"), 0) << job_.errorText;

  auto requests = RequestsFor(servers_, path);
  ASSERT_EQ(requests.size(), 2u);
  const auto& first = requests[0];
  EXPECT_EQ(first[0], "GET " + path + " HTTP/1.1");
  EXPECT_EQ(HeaderValue(first, "Accept"), "*/*");
  EXPECT_EQ(HeaderValue(first, "Pragma"), "no-cache");
  EXPECT_EQ(HeaderValue(first, "Cache-Control"), "no-cache");
  EXPECT_EQ(HeaderValue(first, "Connection"), "Keep-Alive");
  EXPECT_EQ(HeaderValue(first, "Range"), "bytes=1234-");
  const std::string agent = HeaderValue(first, "User-Agent");
  EXPECT_EQ(agent.compare(0, 5, "Agent"), 0) << agent;
  EXPECT_GT(agent.size(), 5u);
  EXPECT_TRUE(std::all_of(agent.begin() + 5, agent.end(), [](char c) { return c >= '0' && c <= '9'; })) << agent;
  // The second call found the whole file and asked past its end.
  EXPECT_EQ(HeaderValue(requests[1], "Range"), "bytes=5000-");
  EXPECT_NE(HeaderValue(requests[1], "User-Agent"), agent);
}

// Cut off mid-body, then retried against the real server: the retry asks for
// the rest, appends it, and its first percentage counts what was there.
TEST_F(DownloadTest, ResumesAfterTheServerDropsTheConnection) {
  const std::string body = TestBytes(3 << 20, 2);
  ASSERT_TRUE(Publish(servers_, name_ + ".pak", body));

  EXPECT_EQ(Download(servers_.faultUrl + "/drop/1000000/" + name_ + ".pak", "game.pak"), 1);
  std::string partial;
  ASSERT_TRUE(ReadTestFile(Local("game.pak"), &partial));
  ASSERT_EQ(partial.size(), 1000000u);
  EXPECT_EQ(partial, body.substr(0, partial.size()));
  TakeProgress(window_.get());

  ASSERT_EQ(Download(servers_.nginxUrl + "/" + name_ + ".pak", "game.pak", true), 0) << job_.errorText;
  std::string whole;
  ASSERT_TRUE(ReadTestFile(Local("game.pak"), &whole));
  EXPECT_TRUE(whole == body) << "file differs from the original";
  const std::vector<int> progress = TakeProgress(window_.get());
  ASSERT_GE(progress.size(), 2u);
  // 1,000,000 + 65,536 bytes of 3 MiB: (1041 * 100) / 3072 = 33.
  EXPECT_EQ(progress.front(), 33);
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(DownloadTest, RangePastTheEndCountsAsComplete) {
  const std::string body = TestBytes(4096, 3);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  ASSERT_TRUE(WriteTestFile(Local("done.bin"), body + "longer than the remote"));
  EXPECT_EQ(Download(servers_.nginxUrl + "/" + name_ + ".bin", "done.bin"), 0);
  EXPECT_EQ(TakeProgress(window_.get()), (std::vector<int>{0, 100}));
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("done.bin"), &local));
  EXPECT_EQ(local, body + "longer than the remote");
}

TEST_F(DownloadTest, ServerIgnoringRangeRewritesTheFile) {
  const std::string body = TestBytes(2 << 20, 4);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  ASSERT_TRUE(WriteTestFile(Local("r.bin"), std::string(500000, 'x')));
  EXPECT_EQ(Download(servers_.faultUrl + "/norange/" + name_ + ".bin", "r.bin", true), 0) << job_.errorText;
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("r.bin"), &local));
  EXPECT_TRUE(local == body);
  const std::vector<int> progress = TakeProgress(window_.get());
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), 3);  // 64 KiB of 2 MiB, counted from the start again
}

TEST_F(DownloadTest, StatusOutcomes) {
  ASSERT_TRUE(Publish(servers_, name_ + ".html", "<html>server error page</html>"));
  strcpy(job_.errorText, "stale");

  EXPECT_EQ(Download(servers_.nginxUrl + "/absent/" + name_, "missing.bin"), 1);
  EXPECT_STREQ(job_.errorText, "");

  EXPECT_EQ(Download(servers_.faultUrl + "/status/500/" + name_ + ".html", "page.html"), 0);
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("page.html"), &local));
  EXPECT_EQ(local, "<html>server error page</html>");
}

TEST_F(DownloadTest, BodyWithoutContentLength) {
  const std::string body = TestBytes(300000, 5);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  EXPECT_EQ(Download(servers_.faultUrl + "/nolength/" + name_ + ".bin", "n.bin"), 0) << job_.errorText;
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("n.bin"), &local));
  EXPECT_TRUE(local == body);
  // Nothing to measure against: the bar starts at 0 and jumps to 100 at the end.
  EXPECT_EQ(TakeProgress(window_.get()), (std::vector<int>{0, 100}));
}

// A resumed body without a length grows past the only total there is (the
// local length): the percentage stays at 100 at most.
TEST_F(DownloadTest, PercentageNeverPassesOneHundred) {
  const std::string body = TestBytes(3 << 20, 6);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  ASSERT_TRUE(WriteTestFile(Local("p.bin"), body.substr(0, 100)));
  EXPECT_EQ(Download(servers_.faultUrl + "/nolength/" + name_ + ".bin", "p.bin"), 0) << job_.errorText;
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("p.bin"), &local));
  EXPECT_TRUE(local == body);
  const std::vector<int> progress = TakeProgress(window_.get());
  ASSERT_GT(progress.size(), 2u);
  for (int p : progress) EXPECT_TRUE(p >= 0 && p <= 100) << p;
}

TEST_F(DownloadTest, CancelDuringTheBodyKeepsThePartialFile) {
  const std::string body = TestBytes(1 << 20, 7);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  int result = -1;
  std::string url = servers_.faultUrl + "/stall/200000/3/" + name_ + ".bin";
  std::thread worker([&] { result = job_.DownloadFile(url.c_str(), "c.bin", nullptr, false); });
  // Wait until the first part has arrived, then cancel.
  std::string partial;
  for (int i = 0; i < 200 && partial.size() < 200000; ++i) {
    Sleep(10);
    ReadTestFile(Local("c.bin"), &partial);
  }
  job_.cancelRequested = true;
  const auto cancelled = std::chrono::steady_clock::now();
  worker.join();
  EXPECT_EQ(result, 1);
  EXPECT_STREQ(job_.errorText, "");
  ASSERT_TRUE(ReadTestFile(Local("c.bin"), &partial));
  EXPECT_GE(partial.size(), 131072u);
  EXPECT_LT(partial.size(), body.size());
  EXPECT_EQ(partial, body.substr(0, partial.size()));
  (void)cancelled;
}

TEST_F(DownloadTest, HttpsWorksLikeHttp) {
  ASSERT_TRUE(TrustTestCa(servers_));
  const std::string body = TestBytes(200000, 9);
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", body));
  ASSERT_TRUE(WriteTestFile(Local("s.bin"), body.substr(0, 70000)));
  ASSERT_EQ(Download(servers_.httpsUrl + "/" + name_ + ".bin", "s.bin"), 0) << job_.errorText;
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("s.bin"), &local));
  EXPECT_TRUE(local == body);
  const std::vector<int> progress = TakeProgress(window_.get());
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(progress[1], 67);  // resumed: 70,000 + 65,536 of 200,000

  ASSERT_TRUE(Publish(servers_, "tls\\update\\online_setup.txt", "[setup]\r\ngamename=Zuvuva\r\nsize=1\r\n"));
  InstallJob job;
  EXPECT_TRUE(job.FetchSetupDescriptorFrom((servers_.httpsUrl + "/tls").c_str()));
  EXPECT_STREQ(job.gameName, "Zuvuva");
}

TEST_F(DownloadTest, UnreachableServerNamesTheUrl) {
  const std::string url = servers_.refusedUrl + "/update/online_setup.txt";
  EXPECT_EQ(Download(url, nullptr), 1);
  const std::string text = job_.errorText;
  EXPECT_EQ(text.rfind("InternetOpenUrl 错误.\n网址:" + url + ".\n", 0), 0u) << text;
}

TEST_F(DownloadTest, OverlongTextsAreCutToFit) {
  const std::string url = servers_.refusedUrl + "/" + std::string(600, 'u');
  EXPECT_EQ(Download(url, nullptr), 1);
  EXPECT_EQ(strlen(job_.errorText), 260u);
  EXPECT_EQ(std::string(job_.errorText).rfind("InternetOpenUrl 错误.", 0), 0u);
}

TEST_F(DownloadTest, KeepProgressLeavesTheBarUntilTheFirstChunk) {
  ASSERT_TRUE(Publish(servers_, name_ + ".bin", TestBytes(100000, 8)));
  EXPECT_EQ(Download(servers_.nginxUrl + "/" + name_ + ".bin", "k.bin", true), 0);
  EXPECT_EQ(TakeProgress(window_.get()), (std::vector<int>{65, 100, 100}));
  EXPECT_EQ(Download(servers_.nginxUrl + "/" + name_ + ".bin", "k2.bin", false), 0);
  EXPECT_EQ(TakeProgress(window_.get()), (std::vector<int>{0, 65, 100, 100}));
}

TEST_F(DownloadTest, LocalNamesAndTemporaryFiles) {
  ASSERT_TRUE(Publish(servers_, name_ + ".txt", "descriptor"));
  const std::string url = servers_.nginxUrl + "/" + name_ + ".txt";

  ASSERT_EQ(Download(url, "\\same.txt"), 0);
  EXPECT_EQ(localPath_, dir_.path() + "\\\\same.txt");
  std::string local;
  ASSERT_TRUE(ReadTestFile(Local("same.txt"), &local));
  EXPECT_EQ(local, "descriptor");

  ASSERT_EQ(Download(url, nullptr), 0);
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  EXPECT_EQ(localPath_.rfind(temp, 0), 0u) << localPath_;
  EXPECT_EQ(localPath_.substr(strlen(temp), 3), "qvz") << localPath_;
  ASSERT_TRUE(ReadTestFile(localPath_, &local));
  EXPECT_EQ(local, "descriptor");
  DeleteFileA(localPath_.c_str());

  // A missing folder is made; a folder that cannot be made fails once.
  ASSERT_EQ(Download(url, "new\\folder\\x.txt"), 0) << job_.errorText;
  ASSERT_TRUE(WriteTestFile(Local("blocker"), "a file, not a folder"));
  EXPECT_EQ(Download(url, "blocker\\x.txt"), 1);
  EXPECT_NE(std::string(job_.errorText).find("blocker"), std::string::npos) << job_.errorText;
}

}  // namespace
