#include "tools/pkgtool/server_check.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tools/pkgtool/package_writer.h"

namespace {

const char kServer[] = "http://publisher.example:8080";

// One file of the fake server and how it is served.
struct FakeFile {
  std::string body;
  int status = 0;                       // when set: this status and the whole body, whatever the range
  std::string contentRange;             // when set: sent instead of the true one
  size_t cutAfter = std::string::npos;  // the connection breaks after this many bytes
  bool flipRangedByte = false;          // the first byte of a ranged answer is wrong
  std::string failure;                  // no answer at all, for this reason
};

// A server that answers as nginx does, unless a file says otherwise; records
// every request as "url @ range".
class FakeServer : public HttpClient {
 public:
  FakeServer() {
    files[Url("/update/online_setup.txt")].body =
        "[setup]\r\ngamename=Zuvuva\r\nexefilename=game.exe\r\nProductTitle=Zuvuva Demo Game\r\nsize=3\r\n"
        "uninstname=uninst.exe\r\n[config]\r\n1.0=" +
        Url("/update/list.ini") + "\r\n";
    files[Url("/update/list.ini")].body =
        "[list0]\r\naction=3\r\nsrcfile=" + Url("/update/zuvuva.pak") + "\r\ndestfile=zuvuva.pak\r\ncmd=DEC\r\n";
    files[Url("/update/zuvuva.pak")].body = BuildPackage(
        {{"Zuvuva\\game.exe", "MZ"}, {"Zuvuva\\uninstall\\uninst.exe", "MZ"}, {"Zuvuva\\data\\a.bin", "abc"}});
  }

  static std::string Url(const std::string& path) { return kServer + path; }
  FakeFile& Descriptor() { return files[Url("/update/online_setup.txt")]; }
  FakeFile& List() { return files[Url("/update/list.ini")]; }
  FakeFile& Package() { return files[Url("/update/zuvuva.pak")]; }

  HttpResponse Get(const std::string& url, uint64_t rangeStart, BodySink& sink) override {
    requests.push_back(url + " @ " + std::to_string(rangeStart));
    HttpResponse response;
    auto found = files.find(url);
    if (found != files.end() && !found->second.failure.empty()) {
      response.error = found->second.failure;
      return response;
    }
    response.answered = true;
    if (found == files.end()) {
      response.status = 404;
      return Send(response, "<html>not found</html>", sink);
    }
    const FakeFile& file = found->second;
    const std::string& body = file.body;
    if (file.status != 0) {
      response.status = file.status;
      return Send(response, body, sink, file.cutAfter);
    }
    if (rangeStart >= body.size()) {
      response.status = 416;
      return Send(response, "", sink);
    }
    response.status = 206;
    response.contentRange = "bytes " + std::to_string(rangeStart) + "-" + std::to_string(body.size() - 1) + "/" +
                            std::to_string(body.size());
    if (!file.contentRange.empty()) response.contentRange = file.contentRange;
    std::string part = body.substr(rangeStart);
    if (file.flipRangedByte && rangeStart > 0) part[0] ^= 1;
    return Send(response, part, sink, file.cutAfter);
  }

  std::map<std::string, FakeFile> files;
  std::vector<std::string> requests;

 private:
  static HttpResponse Send(HttpResponse response, const std::string& body, BodySink& sink,
                           size_t cutAfter = std::string::npos) {
    response.hasContentLength = true;
    response.contentLength = body.size();
    const size_t sent = cutAfter < body.size() ? cutAfter : body.size();
    // In pieces, as a network delivers it.
    for (size_t done = 0; done < sent;) {
      const size_t piece = sent - done < 1000 ? sent - done : 1000;
      if (!sink.Append(body.data() + done, piece)) {
        response.stoppedBySink = true;
        return response;
      }
      done += piece;
      response.bodyBytes = done;
    }
    if (sent < body.size()) response.error = "connection reset";
    return response;
  }
};

struct Findings {
  ServerCheckTotals totals;
  std::vector<CheckLine> lines;

  // The finding of `level` whose text holds `part`, or null.
  const CheckLine* Find(CheckLevel level, const std::string& part) const {
    for (const CheckLine& line : lines) {
      if (line.level == level && line.text.find(part) != std::string::npos) return &line;
    }
    return nullptr;
  }
  bool Has(CheckLevel level, const std::string& part) const { return Find(level, part) != nullptr; }
  std::string All() const {
    std::string text;
    for (const CheckLine& line : lines) text += std::string(line.topic) + ": " + line.text + "\n";
    return text;
  }
};

Findings Check(FakeServer& server) {
  Findings findings;
  findings.totals =
      CheckServer(kServer, server, [&findings](const CheckLine& line) { findings.lines.push_back(line); });
  return findings;
}

// A way to break the published tree, and the failure it must bring.
struct BreakCase {
  void (*breakIt)(FakeServer&);
  const char* topic;
  const char* says;
};

void ExpectFailures(const std::vector<BreakCase>& cases) {
  for (const BreakCase& c : cases) {
    FakeServer server;
    c.breakIt(server);
    const Findings findings = Check(server);
    const CheckLine* line = findings.Find(CheckLevel::kFailure, c.says);
    EXPECT_TRUE(line) << c.says << "\n" << findings.All();
    if (line) {
      EXPECT_STREQ(line->topic, c.topic) << c.says;
    }
  }
}

void SetValue(std::string* ini, const std::string& key, const std::string& value) {
  const size_t start = ini->find("\n" + key + "=") + 1;
  ASSERT_NE(start, 0u) << key;
  const size_t end = ini->find("\r\n", start);
  ini->replace(start, end - start, value.empty() ? std::string("dropped=") : key + "=" + value);
}

TEST(ServerCheck, AsksWhatTheInstallerAsksInItsOrder) {
  FakeServer server;
  const Findings findings = Check(server);
  EXPECT_EQ(findings.totals.failures, 0) << findings.All();
  EXPECT_EQ(findings.totals.warnings, 0) << findings.All();
  const size_t length = server.Package().body.size();
  const std::vector<std::string> expected = {
      FakeServer::Url("/update/online_setup.txt") + " @ 0",
      FakeServer::Url("/update/list.ini") + " @ 0",
      FakeServer::Url("/update/zuvuva.pak") + " @ 0",
      FakeServer::Url("/update/zuvuva.pak") + " @ " + std::to_string(length / 2),
      FakeServer::Url("/update/zuvuva.pak") + " @ " + std::to_string(length),
  };
  EXPECT_EQ(server.requests, expected);
  EXPECT_TRUE(findings.Has(CheckLevel::kOk, "holds \"game.exe\"")) << findings.All();
}

TEST(ServerCheck, AnyOtherStatusGivesTheFileAsTheInstallerTakesIt) {
  FakeServer server;
  server.Descriptor().status = 500;
  server.List().status = 200;
  const Findings findings = Check(server);
  EXPECT_EQ(findings.totals.failures, 0) << findings.All();
  EXPECT_TRUE(findings.Has(CheckLevel::kWarning, "status 500: the installer takes its body")) << findings.All();
}

TEST(ServerCheck, FailedRequestsNameTheUrlAndWhatHappened) {
  ExpectFailures({
      {[](FakeServer& s) { s.Descriptor().failure = "connection refused"; }, "descriptor",
       "online_setup.txt: connection refused"},
      {[](FakeServer& s) { s.Descriptor().status = 416; }, "descriptor",
       "online_setup.txt: status 416 to a request from byte 0"},
      {[](FakeServer& s) { s.List().cutAfter = 10; }, "update list",
       "list.ini: status 206, but the body broke off after 10 bytes"},
      {[](FakeServer& s) { s.Descriptor().body = std::string(2 << 20, ';'); }, "descriptor",
       "the body is larger than 1048576"},
      {[](FakeServer& s) { s.files.erase(FakeServer::Url("/update/zuvuva.pak")); }, "package",
       "zuvuva.pak: status 404 (not found)"},
  });
}

struct ValueCase {
  bool inList;  // a value of [list0] rather than one of the descriptor
  const char* key;
  const char* value;  // empty: the key is dropped
  CheckLevel level;
  const char* says;
};

// Each value of the two INI files changed alone, and what the check says to it.
TEST(ServerCheck, PublishedValues) {
  const bool descriptor = false, list = true;
  const std::string otherUrl = "\r\nother=" + FakeServer::Url("/update/list.ini");
  const std::string longTitle(300, 'x');
  const std::string longListUrl = FakeServer::Url("/") + std::string(1000, 'x');
  const std::string longSrcfile = FakeServer::Url("/") + std::string(300, 'x');
  const ValueCase cases[] = {
      {descriptor, "size", "", CheckLevel::kFailure, "size is missing"},
      {descriptor, "size", "-3", CheckLevel::kFailure, "size=-3 is negative"},
      {descriptor, "size", "lots", CheckLevel::kWarning, "is not a number: the installer reads it as 0 MB"},
      {descriptor, "size", "\"0x10\"", CheckLevel::kOk, "size=16 MB"},
      {descriptor, "size", "0", CheckLevel::kWarning, "size=0 MB is less than the 1 MB"},
      {descriptor, "gamename", "", CheckLevel::kWarning, "gamename is empty"},
      {descriptor, "exefilename", "", CheckLevel::kWarning, "exefilename is empty"},
      {descriptor, "exefilename", "GAME.EXE", CheckLevel::kOk, "holds \"GAME.EXE\""},
      {descriptor, "exefilename", "/data\\A.bin", CheckLevel::kOk, "holds \"/data\\A.bin\""},
      {descriptor, "exefilename", "data/a.bin", CheckLevel::kOk, "holds \"data/a.bin\""},
      {descriptor, "exefilename", "zuvuva.exe", CheckLevel::kFailure, "holds no \"zuvuva.exe\""},
      {descriptor, "uninstname", "gone.exe", CheckLevel::kWarning, "holds no \"uninstall\\gone.exe\""},
      {descriptor, "ProductTitle", longTitle.c_str(), CheckLevel::kWarning, "ProductTitle is longer than 259"},
      {descriptor, "1.0", "", CheckLevel::kFailure, "has neither 1.0 nor other"},
      {descriptor, "1.0", otherUrl.c_str(), CheckLevel::kOk, "[config] other names the update list"},
      {descriptor, "1.0", "ftp://publisher.example/list.ini", CheckLevel::kFailure,
       "is not an http:// or https:// URL"},
      {descriptor, "1.0", longListUrl.c_str(), CheckLevel::kFailure, "longer than 998 bytes"},
      {list, "action", "", CheckLevel::kFailure, "has no action"},
      {list, "action", "0", CheckLevel::kFailure, "installs nothing"},
      {list, "action", "none", CheckLevel::kFailure, "reads as 0"},
      {list, "action", "-1", CheckLevel::kFailure, "is not an action"},
      {list, "action", "1", CheckLevel::kFailure, "unpacks destfile without downloading it"},
      {list, "action", "2", CheckLevel::kWarning, "does not unpack it (no DEC)"},
      {list, "action", "7", CheckLevel::kWarning, "bits other than 1 (run cmd) and 2 (download) are ignored"},
      {list, "cmd", "", CheckLevel::kFailure, "runs a command, but cmd is empty"},
      {list, "cmd", "dec", CheckLevel::kFailure, "cmd=\"dec\" is not a command the installer knows"},
      {list, "srcfile", "", CheckLevel::kFailure, "srcfile is empty"},
      {list, "srcfile", "file:///c:/zuvuva.pak", CheckLevel::kFailure, "is not an http:// or https:// URL"},
      {list, "srcfile", longSrcfile.c_str(), CheckLevel::kFailure, "srcfile is longer than 259 bytes"},
      {list, "destfile", "", CheckLevel::kFailure, "destfile is empty"},
      {list, "destfile", "\\games\\zuvuva.pak", CheckLevel::kOk, "then DEC"},
      {list, "destfile", "..\\zuvuva.pak", CheckLevel::kFailure, "would leave the install folder"},
      {list, "destfile", "c:\\zuvuva.pak", CheckLevel::kFailure, "would leave the install folder"},
      {list, "destfile", "\\\\host\\share\\z.pak", CheckLevel::kFailure, "would leave the install folder"},
      {list, "destfile", "con", CheckLevel::kFailure, "would leave the install folder"},
  };
  for (const ValueCase& c : cases) {
    FakeServer server;
    SetValue(c.inList ? &server.List().body : &server.Descriptor().body, c.key, c.value);
    const Findings findings = Check(server);
    EXPECT_TRUE(findings.Has(c.level, c.says)) << c.key << "=" << c.value << "\n" << findings.All();
    EXPECT_EQ(findings.totals.failures > 0, c.level == CheckLevel::kFailure) << c.key << "=" << c.value << "\n"
                                                                             << findings.All();
  }
}

TEST(ServerCheck, PackageProblemsAreNamed) {
  FakeServer server;
  server.Package().body = "<html>an error page</html>";
  Findings findings = Check(server);
  EXPECT_TRUE(findings.Has(CheckLevel::kFailure, "not a package archive")) << findings.All();

  FakeServer unsafe;
  unsafe.Package().body = BuildPackage({{"Zuvuva\\game.exe", "MZ"}, {"Zuvuva\\..\\evil.exe", "MZ"}});
  findings = Check(unsafe);
  EXPECT_TRUE(findings.Has(CheckLevel::kFailure, "would leave the install folder")) << findings.All();
}

TEST(ServerCheck, ResumedDownloadsAreChecked) {
  ExpectFailures({
      {[](FakeServer& s) { s.Package().status = 200; }, "resume", "status 200, not 206: the server ignores Range"},
      {[](FakeServer& s) { s.Package().status = 200; }, "resume", "status 200, not 416"},
      {[](FakeServer& s) { s.Package().contentRange = "bytes 0-9/10"; }, "resume",
       "Content-Range is \"bytes 0-9/10\", not \"bytes "},
      {[](FakeServer& s) { s.Package().flipRangedByte = true; }, "resume",
       "differs from the same byte of the whole download"},
  });
}

// Whatever the server sends is shown without control bytes and cut short.
TEST(ServerCheck, ServerTextIsMadePrintable) {
  FakeServer server;
  SetValue(&server.List().body, "cmd", "\x1b[2J" + std::string(500, 'y'));
  const Findings findings = Check(server);
  const CheckLine* line = findings.Find(CheckLevel::kFailure, "cmd=");
  ASSERT_TRUE(line) << findings.All();
  EXPECT_EQ(line->text.find('\x1b'), std::string::npos);
  EXPECT_LT(line->text.size(), 300u);
}

TEST(ServerCheck, ServerAddresses) {
  EXPECT_TRUE(IsServerAddress("http://127.0.0.1:8080"));
  EXPECT_TRUE(IsServerAddress("HTTPS://download.example.com"));
  for (const char* bad : {"", "http://", "ftp://host", "http://host/", "http://host/update", "host:80", "http://ho st",
                          "http://host?x"}) {
    EXPECT_FALSE(IsServerAddress(bad)) << bad;
  }
}

}  // namespace
