// The install procedure end to end without the wizard: descriptor, update
// list and package from nginx (and the fault server), the worker thread
// posting to a real hidden window, the results read back from the prefix.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/install_job.h"
#include "engine/shell_integration.h"
#include "tests/support/install_checks.h"
#include "tests/engine/test_servers.h"
#include "tests/support/test_files.h"
#include "tools/pkgtool/package_writer.h"
#include "wizard/setup_messages.h"

namespace {

struct Post {
  char kind;  // 'S' state, 'P' progress
  int value;
  bool operator==(const Post& o) const { return kind == o.kind && value == o.value; }
};

// A hidden top-level window on its own thread that records every state and
// progress message posted to it.
class PostRecorder {
 public:
  PostRecorder() {
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return started_; });
  }
  ~PostRecorder() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }

  // Everything posted so far, once the window has handled it all.
  std::vector<Post> Finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    drained_ = false;
    PostMessageA(window_, kDrain, 0, 0);
    ready_.wait(lock, [this] { return drained_; });
    return posts_;
  }

 private:
  static const UINT kDrain = WM_APP + 1;

  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PostRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self && (message == WM_SETUP_STATE || message == WM_SETUP_PROGRESS || message == kDrain)) {
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (message == WM_SETUP_STATE) self->posts_.push_back({'S', (int)lParam});
      if (message == WM_SETUP_PROGRESS) self->posts_.push_back({'P', (int)lParam});
      if (message == kDrain) {
        self->drained_ = true;
        self->ready_.notify_all();
      }
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }

  void Run() {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ZvPostRecorder";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "ZvPostRecorder", "recorder", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      window_ = window;
      started_ = true;
    }
    ready_.notify_all();
    MSG msg;
    while (window && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  }

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ready_;
  bool started_ = false;
  bool drained_ = false;
  HWND window_ = nullptr;
  std::vector<Post> posts_;
};

std::vector<int> States(const std::vector<Post>& posts) {
  std::vector<int> states;
  for (const Post& p : posts) {
    if (p.kind == 'S') states.push_back(p.value);
  }
  return states;
}

// The progress values between the n-th and the next state message.
std::vector<int> ProgressAfterState(const std::vector<Post>& posts, size_t n) {
  std::vector<int> values;
  size_t seen = 0;
  for (const Post& p : posts) {
    if (p.kind == 'S') {
      if (seen++ > n) break;
    } else if (seen == n + 1) {
      values.push_back(p.value);
    }
  }
  return values;
}

class InstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadTestServers(&servers_));
    ASSERT_NE(recorder_.window(), nullptr);
    name_ = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name_.begin(), name_.end(), '/', '_');
    game_ = "ZvTest " + name_;
    installDir_ = dir_.path() + "\\Program Files\\" + game_ + "\\";
    std::string gameBytes;
    ASSERT_TRUE(ReadTestFile(DemoGamePath(), &gameBytes));
    package_ = BuildPackage({{"top\\game.exe", gameBytes},
                             {"top\\data\\level1.dat", TestBytes(300000, 11)},
                             {"top\\uninstall\\uninst.exe", "uninstaller"}});
  }
  void TearDown() override { CloseDemoGames(); }

  std::string Url(const std::string& file) const { return servers_.nginxUrl + "/" + name_ + "/" + file; }

  // Publishes the descriptor (with `config` as its [config] section) and `list`.
  void PublishSetup(const std::string& config, const std::string& list) {
    const std::string descriptor = "[setup]\r\ngamename=" + game_ +
                                   "\r\nexefilename=game.exe\r\nProductTitle=Zuvuva Demo Game\r\nsize=1\r\n"
                                   "uninstname=uninst.exe\r\nPublisher=Zuvuva Studio\r\nContact=help@example.com\r\n" +
                                   config;
    ASSERT_TRUE(Publish(servers_, name_ + "\\update\\online_setup.txt", descriptor));
    ASSERT_TRUE(Publish(servers_, name_ + "\\list.ini", list));
  }
  std::string ListConfig() const { return "[config]\r\n1.0=" + Url("list.ini") + "\r\n"; }
  std::string Entry(int action, const std::string& src, const std::string& dest, const std::string& cmd) const {
    return "[list0]\r\naction=" + std::to_string(action) + "\r\nsrcfile=" + src + "\r\ndestfile=" + dest +
           "\r\ncmd=" + cmd + "\r\n";
  }

  // Fetches the descriptor, starts the job and waits for the worker.
  std::vector<Post> RunJob(std::function<void(InstallJob&)> whileRunning = nullptr) {
    InstallJob job;
    EXPECT_TRUE(job.FetchSetupDescriptorFrom((servers_.nginxUrl + "/" + name_).c_str()));
    job.Start(recorder_.window(), installDir_.c_str());
    if (whileRunning) whileRunning(job);
    EXPECT_EQ(WaitForSingleObject(job.thread, 120000), WAIT_OBJECT_0);
    errorText_ = job.errorText;
    return recorder_.Finish();
  }

  std::vector<RecordedBox> BoxesForThisWindow() const {
    std::vector<RecordedBox> mine;
    for (const RecordedBox& box : boxes_.boxes()) {
      if (box.owner == recorder_.window()) mine.push_back(box);
    }
    return mine;
  }

  TestServers servers_;
  TempDir dir_;
  PostRecorder recorder_;
  MessageBoxRecorder boxes_;
  std::string name_, game_, installDir_, package_, errorText_;
};

TEST_F(InstallTest, DecInstallsRegistersLinksAndStartsTheGame) {
  ASSERT_TRUE(Publish(servers_, name_ + "\\game.pak", package_));
  PublishSetup(ListConfig(), Entry(3, Url("game.pak"), "game.pak", "DEC"));

  // An earlier copy of the game is running and must be closed first.
  ASSERT_TRUE(CreateDirectoryPath(installDir_.c_str()));
  ASSERT_TRUE(CopyFileA(DemoGamePath().c_str(), (installDir_ + "game.exe").c_str(), FALSE));
  ASSERT_EQ(WinExec(("\"" + installDir_ + "game.exe\"").c_str(), SW_SHOW) > 31, true);
  ASSERT_TRUE(WaitForGameLog(installDir_ + "demo_game.log", "started"));

  const std::vector<Post> posts = RunJob();
  EXPECT_EQ(States(posts), (std::vector<int>{2, 2, 4, 6, 7, 6}));
  for (size_t download : {1, 2}) {
    const std::vector<int> progress = ProgressAfterState(posts, download);
    ASSERT_GE(progress.size(), 2u) << download;
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  }
  const std::vector<int> unpack = ProgressAfterState(posts, 3);
  ASSERT_GE(unpack.size(), 4u);
  EXPECT_EQ(unpack.front(), 0);
  EXPECT_EQ(unpack[1], 25);
  EXPECT_NE(std::find(unpack.begin(), unpack.end(), 50), unpack.end());
  EXPECT_EQ(unpack.back(), 100);
  EXPECT_TRUE(std::is_sorted(unpack.begin(), unpack.end()));
  EXPECT_TRUE(ProgressAfterState(posts, 4).empty());
  EXPECT_TRUE(BoxesForThisWindow().empty());

  // Files, the package gone, the running copy closed before the new one started.
  std::string bytes;
  ASSERT_TRUE(ReadTestFile(installDir_ + "data\\level1.dat", &bytes));
  EXPECT_TRUE(bytes == TestBytes(300000, 11));
  EXPECT_FALSE(PathExists(installDir_ + "game.pak"));
  ASSERT_TRUE(WaitForGameLog(installDir_ + "demo_game.log", "started", 2));
  std::string log;
  ASSERT_TRUE(ReadTestFile(installDir_ + "demo_game.log", &log));
  EXPECT_LT(log.find("started"), log.find("closed"));
  EXPECT_LT(log.find("closed"), log.rfind("started"));

  EXPECT_EQ(UninstallValues(game_), ExpectedUninstallValues(game_, installDir_, "Zuvuva Studio", "help@example.com"));
  EXPECT_EQ(GameLinks(game_), ExpectedGameLinks(installDir_));
  EXPECT_EQ(UninstallIniConfig(installDir_ + "uninstall\\uninstall.ini"),
            (std::vector<std::string>{"setupdir=" + installDir_, "gamename=" + game_, "shortcutname=game",
                                      "ProductTitle=Zuvuva Demo Game", "OnlineType=1"}));
}

TEST_F(InstallTest, ActionZeroDownloadsNothing) {
  PublishSetup(ListConfig(), "[list0]\r\naction=0\r\nsrcfile=" + Url("game.pak") + "\r\n");
  const std::vector<Post> posts = RunJob();
  EXPECT_EQ(States(posts), (std::vector<int>{2, 2, 6}));
  EXPECT_EQ(ProgressAfterState(posts, 1).back(), 100);
  EXPECT_TRUE(RequestsFor(servers_, "/" + name_ + "/game.pak").empty());
  EXPECT_TRUE(BoxesForThisWindow().empty());
}

TEST_F(InstallTest, DownloadAloneStopsAfterTheFile) {
  ASSERT_TRUE(Publish(servers_, name_ + "\\game.pak", package_));
  // The list comes from the "other" address when "1.0" is absent.
  PublishSetup("[config]\r\nother=" + Url("list.ini") + "\r\n", Entry(2, Url("game.pak"), "\\pkg\\game.pak", "DEC"));
  const std::vector<Post> posts = RunJob();
  EXPECT_EQ(States(posts), (std::vector<int>{2, 2, 4, 6}));
  std::string bytes;
  ASSERT_TRUE(ReadTestFile(installDir_ + "pkg\\game.pak", &bytes));
  EXPECT_TRUE(bytes == package_);
  EXPECT_FALSE(PathExists(installDir_ + "game.exe"));
  EXPECT_TRUE(UninstallValues(game_).empty());
  EXPECT_FALSE(PathExists(SpecialFolder(CSIDL_PROGRAMS) + "\\" + game_));
}

TEST_F(InstallTest, CommandAloneUnpacksWhatIsThere) {
  ASSERT_TRUE(CreateDirectoryPath(installDir_.c_str()));
  ASSERT_TRUE(WriteTestFile(installDir_ + "local.pak", package_));
  PublishSetup(ListConfig(), Entry(1, "", "local.pak", "DEC"));
  const std::vector<Post> posts = RunJob();
  EXPECT_EQ(States(posts), (std::vector<int>{2, 2, 6, 7, 6}));
  EXPECT_EQ(ProgressAfterState(posts, 2).back(), 100);
  EXPECT_TRUE(PathExists(installDir_ + "game.exe"));
  EXPECT_FALSE(PathExists(installDir_ + "local.pak"));
  EXPECT_TRUE(WaitForGameLog(installDir_ + "demo_game.log", "started"));
  EXPECT_EQ(UninstallValues(game_).size(), 7u);
}

// An accepted descriptor may name no game: nothing is registered or deleted
// under an empty name, the Programs folders stay as they are.
TEST_F(InstallTest, EmptyGameNameTouchesNoSharedFolder) {
  const std::string programs = SpecialFolder(CSIDL_PROGRAMS);
  const std::string common = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  ASSERT_TRUE(WriteTestFile(programs + "\\ZvKeepUser.lnk", "keep"));
  ASSERT_TRUE(WriteTestFile(common + "\\ZvKeepCommon.lnk", "keep"));
  ASSERT_TRUE(Publish(servers_, name_ + "\\game.pak", package_));
  ASSERT_TRUE(Publish(servers_, name_ + "\\update\\online_setup.txt",
                      "[setup]\r\nsize=1\r\nexefilename=game.exe\r\n" + ListConfig()));
  ASSERT_TRUE(Publish(servers_, name_ + "\\list.ini", Entry(3, Url("game.pak"), "game.pak", "DEC")));
  const std::vector<Post> posts = RunJob();
  EXPECT_EQ(States(posts), (std::vector<int>{2, 2, 4, 6, 7, 6}));
  EXPECT_TRUE(PathExists(programs + "\\ZvKeepUser.lnk"));
  EXPECT_TRUE(PathExists(common + "\\ZvKeepCommon.lnk"));
  EXPECT_TRUE(UninstallValues("").empty());
  DeleteFileA((programs + "\\ZvKeepUser.lnk").c_str());
  DeleteFileA((common + "\\ZvKeepCommon.lnk").c_str());
}

TEST_F(InstallTest, CancelDuringTheListDownloadShowsNoBox) {
  PublishSetup("[config]\r\n1.0=" + servers_.faultUrl + "/stall/10/2/" + name_ + "/list.ini\r\n",
               Entry(0, "", "", ""));
  const std::vector<Post> posts = RunJob([](InstallJob& job) {
    Sleep(500);
    job.cancelRequested = true;
  });
  EXPECT_EQ(States(posts).back(), 0);
  EXPECT_TRUE(BoxesForThisWindow().empty());
}

struct FailureCase {
  const char* name;
  const char* absentAfter;  // relative to the install directory: must not exist afterwards
  // Publishes what the case needs; returns the expected box text.
  std::string (*setup)(InstallTest& test);
};

class InstallFailureTest : public InstallTest, public ::testing::WithParamInterface<int> {
 public:
  using InstallTest::Entry;
  using InstallTest::ListConfig;
  using InstallTest::PublishSetup;
  using InstallTest::Url;
  TestServers& servers() { return servers_; }
  const std::string& package() const { return package_; }
  const std::string& name() const { return name_; }
  const std::string& installDir() const { return installDir_; }
};

const FailureCase kFailures[] = {
    {"NoListAddress", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       f.PublishSetup("[config]\r\n2.0=elsewhere\r\n", "");
       return std::string("从文件中,获取版本对应的更新URL错误.");
     }},
    {"ListNeverArrives", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       const std::string url = f.servers().refusedUrl + "/list.ini";
       f.PublishSetup("[config]\r\n1.0=" + url + "\r\n", "");
       return "下载 " + url + " 失败 尝试 20";
     }},
    {"NoListZero", "game.pak",
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       f.PublishSetup(f.ListConfig(), "[list1]\r\naction=2\r\n[list2]\r\naction=1\r\n");
       return std::string("解析更新列表文件错误.");
     }},
    {"CommandWithoutCmd", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       f.PublishSetup(f.ListConfig(), f.Entry(1, "", "game.pak", ""));
       return std::string("解析更新列表文件错误,动作有命令但命令为空.");
     }},
    {"DownloadWithoutDestfile", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       f.PublishSetup(f.ListConfig(), f.Entry(2, f.Url("game.pak"), "", ""));
       return std::string("解析更新列表文件错误,动作为下载文件但文件路径为空.");
     }},
    {"DestfileLeavesTheInstallDir", "..\\..\\outside.pak",
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       Publish(f.servers(), f.name() + "\\game.pak", f.package());
       f.PublishSetup(f.ListConfig(), f.Entry(3, f.Url("game.pak"), "..\\..\\outside.pak", "DEC"));
       return std::string("解析更新列表文件错误.");
     }},
    {"FileNeverArrives", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       const std::string url = f.servers().refusedUrl + "/game.pak";
       f.PublishSetup(f.ListConfig(), f.Entry(3, url, "game.pak", "DEC"));
       return "下载 " + url + " 失败，请重新下载 尝试 100";
     }},
    {"LowerCaseDec", nullptr,
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       Publish(f.servers(), f.name() + "\\game.pak", f.package());
       f.PublishSetup(f.ListConfig(), f.Entry(3, f.Url("game.pak"), "game.pak", "dec"));
       return std::string("未知的命令参数");
     }},
    {"CorruptPackage", "game.pak",
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       Publish(f.servers(), f.name() + "\\game.pak", f.package().substr(0, f.package().size() - 5));
       f.PublishSetup(f.ListConfig(), f.Entry(3, f.Url("game.pak"), "game.pak", "DEC"));
       return std::string("解压文件失败");
     }},
    {"GameMissingFromThePackage", "game.pak",
     [](InstallTest& t) {
       auto& f = static_cast<InstallFailureTest&>(t);
       Publish(f.servers(), f.name() + "\\game.pak", BuildPackage({{"top\\readme.txt", "no game here"}}));
       f.PublishSetup(f.ListConfig(), f.Entry(3, f.Url("game.pak"), "game.pak", "DEC"));
       return "找不到" + f.installDir() + "game.exe文件. 错误号:2";
     }},
};

TEST_P(InstallFailureTest, EndsWithItsBoxAndStateZero) {
  const FailureCase& c = kFailures[GetParam()];
  const std::string expected = c.setup(*this);
  const std::vector<Post> posts = RunJob();
  ASSERT_FALSE(posts.empty()) << c.name;
  EXPECT_EQ(posts.back(), (Post{'S', 0})) << c.name;
  const std::vector<RecordedBox> boxes = BoxesForThisWindow();
  ASSERT_EQ(boxes.size(), 1u) << c.name;
  EXPECT_EQ(boxes[0].text, expected) << c.name;
  EXPECT_EQ(boxes[0].caption, "错误") << c.name;
  if (c.absentAfter) {
    EXPECT_FALSE(PathExists(installDir() + c.absentAfter)) << c.name << ": " << c.absentAfter;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, InstallFailureTest, ::testing::Range(0, (int)(sizeof kFailures / sizeof kFailures[0])),
                         [](const ::testing::TestParamInfo<int>& info) { return std::string(kFailures[info.param].name); });

}  // namespace
