#include "server_check.h"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>

#include "ini_text.h"
#include "package/package_archive.h"
#include "package/path_util.h"
#include "package_check.h"
#include "source_tree.h"
#include "temp_file.h"

namespace {

// The installer's buffers: 260 bytes for most values, 999 for the list URL.
const size_t kValueBuffer = 260;
const size_t kListUrlBuffer = 999;
// Neither INI file of a publisher comes anywhere near this.
const uint64_t kMaxIniBytes = 1 << 20;
// The largest archive the installer can load.
const uint64_t kMaxPackageBytes = 0xFFFFFFFFull;
// What is read of an answer whose body does not matter.
const uint64_t kMaxIgnoredBytes = 1 << 16;
const size_t kMaxShown = 160;

const int ACTION_COMMAND = 1;
const int ACTION_DOWNLOAD = 2;

// Text from the server as it may be printed: GBK shown as such, control bytes
// replaced, text longer than `limit` cut.
std::string Shown(const std::string& value, size_t limit = kMaxShown) {
  std::string text = GbkNameForDisplay(value.substr(0, limit));
  for (char& c : text) {
    if ((unsigned char)c < 0x20 || c == 0x7f) c = '?';
  }
  if (value.size() > limit) text += "...";
  return text;
}

std::string Quoted(const std::string& value) { return "\"" + Shown(value) + "\""; }

std::string Number(uint64_t value) {
  char text[32];
  snprintf(text, sizeof text, "%" PRIu64, value);
  return text;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  const size_t length = strlen(prefix);
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool IsHttpUrl(const std::string& url) {
  return (StartsWithNoCase(url, "http://") && url.size() > 7) || (StartsWithNoCase(url, "https://") && url.size() > 8);
}

// A sink that tells why it ended a transfer.
class ExplainingSink : public BodySink {
 public:
  const std::string& Problem() const { return problem_; }

 protected:
  bool Refuse(const std::string& problem) {
    problem_ = problem;
    return false;
  }

 private:
  std::string problem_;
};

// A body kept in memory up to a limit.
class MemorySink : public ExplainingSink {
 public:
  explicit MemorySink(uint64_t limit) : limit_(limit) {}
  bool Append(const char* data, size_t size) override {
    if (text_.size() + size > limit_) return Refuse("the body is larger than " + Number(limit_) + " bytes");
    text_.append(data, size);
    return true;
  }
  const std::string& text() const { return text_; }

 private:
  uint64_t limit_;
  std::string text_;
};

// A body written to a file up to a limit.
class FileSink : public ExplainingSink {
 public:
  FileSink(FILE* file, uint64_t limit) : file_(file), limit_(limit) {}
  bool Append(const char* data, size_t size) override {
    if (written_ + size > limit_) {
      return Refuse("the body is larger than " + Number(limit_) + " bytes, more than any package can hold");
    }
    if (fwrite(data, 1, size, file_) != size) return Refuse("the download could not be written to a temporary file");
    written_ += size;
    return true;
  }

 private:
  FILE* file_;
  uint64_t limit_;
  uint64_t written_ = 0;
};

// A body compared with the rest of a file, from where the file stands.
class CompareSink : public ExplainingSink {
 public:
  CompareSink(FILE* file, uint64_t offset) : file_(file), offset_(offset) {}
  bool Append(const char* data, size_t size) override {
    char expected[4096];
    while (size > 0) {
      const size_t want = size < sizeof expected ? size : sizeof expected;
      const size_t got = fread(expected, 1, want, file_);
      for (size_t i = 0; i < got; ++i) {
        if (data[i] != expected[i]) {
          return Refuse("byte " + Number(offset_ + i) + " differs from the same byte of the whole download");
        }
      }
      if (got < want) return Refuse("the body runs on past the end of the file");
      data += got;
      size -= got;
      offset_ += got;
    }
    return true;
  }

 private:
  FILE* file_;
  uint64_t offset_;
};

class ReadFile {
 public:
  explicit ReadFile(const std::string& path) : file_(fopen(path.c_str(), "rb")) {}
  ~ReadFile() {
    if (file_) fclose(file_);
  }
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;
  FILE* get() const { return file_; }

 private:
  FILE* file_;
};

// The [setup] values the rest of the check needs.
struct SetupValues {
  bool sizeKnown = false;
  int sizeMb = 0;
  std::string exeFileName;
  std::string uninstallerName;
};

// [list0] as the installer reads it.
struct ListEntry {
  int action = 0;
  std::string srcfile;
  std::string destfile;
};

class ServerChecker {
 public:
  ServerChecker(const std::string& address, HttpClient& client, const std::function<void(const CheckLine&)>& report)
      : address_(address), client_(client), report_(report) {}

  ServerCheckTotals Run() {
    SetupValues setup;
    std::string listUrl;
    if (!CheckDescriptor(&setup, &listUrl)) return totals_;
    ListEntry entry;
    if (!CheckList(listUrl, &entry)) return totals_;
    if (!(entry.action & ACTION_DOWNLOAD)) return totals_;
    CheckPackageAndResume(setup, entry);
    return totals_;
  }

 private:
  void Say(CheckLevel level, const char* topic, const std::string& text) {
    if (level == CheckLevel::kFailure) ++totals_.failures;
    if (level == CheckLevel::kWarning) ++totals_.warnings;
    CheckLine line;
    line.level = level;
    line.topic = topic;
    line.text = text;
    report_(line);
  }
  void Ok(const char* topic, const std::string& text) { Say(CheckLevel::kOk, topic, text); }
  void Warn(const char* topic, const std::string& text) { Say(CheckLevel::kWarning, topic, text); }
  void Fail(const char* topic, const std::string& text) { Say(CheckLevel::kFailure, topic, text); }

  // Downloads `url` whole, as the installer does into an empty file, and says
  // what came of it. True when the body is what the installer would keep.
  bool FetchWhole(const char* topic, const std::string& url, ExplainingSink& sink, uint64_t* length) {
    const HttpResponse response = client_.Get(url, 0, sink);
    const std::string where = Shown(url) + ": ";
    if (!response.answered) {
      Fail(topic, where + response.error);
      return false;
    }
    const std::string status = "status " + std::to_string(response.status);
    if (response.status == 404) {
      Fail(topic, where + status + " (not found)");
      return false;
    }
    if (response.status == 416) {
      Fail(topic, where + status + " to a request from byte 0: the installer takes that for an empty file");
      return false;
    }
    if (response.stoppedBySink) {
      Fail(topic, where + status + ", but " + sink.Problem());
      return false;
    }
    if (!response.error.empty()) {
      Fail(topic, where + status + ", but the body broke off after " + Number(response.bodyBytes) +
                      " bytes: " + response.error);
      return false;
    }
    if (response.hasContentLength && response.bodyBytes < response.contentLength) {
      Fail(topic, where + status + ", but the body ended after " + Number(response.bodyBytes) + " of the " +
                      Number(response.contentLength) + " bytes announced");
      return false;
    }
    *length = response.bodyBytes;
    const std::string size = Number(response.bodyBytes) + " bytes";
    if (response.status == 200 || response.status == 206) {
      Ok(topic, where + status + ", " + size);
    } else {
      Warn(topic, where + status + ": the installer takes its body (" + size + ") for the file all the same");
    }
    return true;
  }

  // A [setup] text value as the installer's 260-byte buffer holds it.
  std::string SetupText(const IniText& ini, const char* key) {
    std::string value;
    bool cut = false;
    ini.Find("setup", key, kValueBuffer, &value, &cut);
    if (cut) {
      Warn("descriptor",
           std::string("[setup] ") + key + " is longer than 259 bytes: the installer keeps only " + Quoted(value));
    }
    return value;
  }

  void CheckSetup(const IniText& ini, SetupValues* setup) {
    const char* topic = "descriptor";
    std::string size;
    const bool present = ini.Find("setup", "size", kListUrlBuffer, &size);
    bool numeric = false;
    const int sizeMb = ProfileInt(present, size, -1, &numeric);
    if (!present || size.empty()) {
      Fail(topic, "[setup] size is missing: the installer refuses to start without it");
    } else if (sizeMb < 0) {
      Fail(topic, "[setup] size=" + Shown(size) + " is negative: the installer refuses to start");
    } else if (!numeric) {
      Warn(topic, "[setup] size=" + Shown(size) + " is not a number: the installer reads it as 0 MB");
      setup->sizeKnown = true;
    } else {
      Ok(topic, "[setup] size=" + std::to_string(sizeMb) + " MB");
      setup->sizeKnown = true;
      setup->sizeMb = sizeMb;
    }

    const std::string gameName = SetupText(ini, "gamename");
    setup->exeFileName = SetupText(ini, "exefilename");
    setup->uninstallerName = SetupText(ini, "uninstname");
    for (const char* key : {"ProductTitle", "urlAgreement", "Publisher", "Contact"}) SetupText(ini, key);
    if (gameName.empty()) Warn(topic, "[setup] gamename is empty: the game gets no Start menu group");
    if (setup->exeFileName.empty()) {
      Warn(topic, "[setup] exefilename is empty: the installer has no game program to start");
    }
    if (setup->uninstallerName.empty()) {
      Warn(topic, "[setup] uninstname is empty: the uninstall entry names no program");
    }
    if (!gameName.empty() && !setup->exeFileName.empty() && !setup->uninstallerName.empty()) {
      Ok(topic, "[setup] gamename=" + Quoted(gameName) + ", exefilename=" + Quoted(setup->exeFileName) +
                    ", uninstname=" + Quoted(setup->uninstallerName));
    }
  }

  bool CheckDescriptor(SetupValues* setup, std::string* listUrl) {
    const char* topic = "descriptor";
    const std::string url = address_ + "/update/online_setup.txt";
    MemorySink body(kMaxIniBytes);
    uint64_t length = 0;
    if (!FetchWhole(topic, url, body, &length)) return false;
    const IniText ini(body.text());

    if (ini.HasSection("setup")) {
      CheckSetup(ini, setup);
    } else {
      Fail(topic, "there is no [setup] section: the installer refuses to start without its size");
    }

    const char* key = "1.0";
    bool cut = false;
    if (!ini.Find("config", key, kListUrlBuffer, listUrl, &cut) || listUrl->empty()) {
      key = "other";
      if (!ini.Find("config", key, kListUrlBuffer, listUrl, &cut)) listUrl->clear();
    }
    const std::string named = std::string("[config] ") + key;
    if (listUrl->empty()) {
      Fail(topic, "[config] has neither 1.0 nor other: the installer has no update list to fetch");
      return false;
    }
    if (cut) {
      Fail(topic, named + " is longer than 998 bytes: the installer cuts it to " + Quoted(*listUrl));
      return false;
    }
    if (!IsHttpUrl(*listUrl)) {
      Fail(topic, named + "=" + Quoted(*listUrl) + " is not an http:// or https:// URL");
      return false;
    }
    Ok(topic, named + " names the update list");
    return true;
  }

  // A [list0] text value as the installer's 260-byte buffer holds it; a
  // longer one is cut and fails.
  std::string ListText(const IniText& list, const char* key) {
    std::string value;
    bool cut = false;
    list.Find("list0", key, kValueBuffer, &value, &cut);
    if (cut) Fail("update list", std::string("[list0] ") + key + " is longer than 259 bytes: the installer cuts it");
    return value;
  }

  bool CheckList(const std::string& url, ListEntry* entry) {
    const char* topic = "update list";
    MemorySink body(kMaxIniBytes);
    uint64_t length = 0;
    if (!FetchWhole(topic, url, body, &length)) return false;
    const IniText list(body.text());
    if (!list.HasSection("list0")) {
      Fail(topic, "there is no [list0] section: the installer stops with a parse error");
      return false;
    }
    std::string actionText;
    const bool present = list.Find("list0", "action", kValueBuffer, &actionText);
    const int action = ProfileInt(present, actionText, -1);
    const std::string named = "[list0] action=" + Shown(actionText);
    if (!present || actionText.empty()) {
      Fail(topic, "[list0] has no action: the installer stops with a parse error");
      return false;
    }
    if (action < 0) {
      Fail(topic, named + " is not an action (1, 2 or 3): the installer stops with a parse error");
      return false;
    }
    if ((action & (ACTION_COMMAND | ACTION_DOWNLOAD)) == 0) {
      Fail(topic,
           named + " reads as " + std::to_string(action) + ": the installer downloads nothing and installs nothing");
      return false;
    }
    if (action > (ACTION_COMMAND | ACTION_DOWNLOAD)) {
      Warn(topic, named + ": bits other than 1 (run cmd) and 2 (download) are ignored");
    }
    entry->action = action;
    entry->srcfile = ListText(list, "srcfile");
    entry->destfile = ListText(list, "destfile");
    const std::string cmd = ListText(list, "cmd");
    const int failuresBefore = totals_.failures;

    if ((action & ACTION_COMMAND) && cmd.empty()) Fail(topic, named + " runs a command, but cmd is empty");
    if ((action & ACTION_DOWNLOAD) && entry->srcfile.empty()) {
      Fail(topic, named + " downloads a file, but srcfile is empty");
    }
    if ((action & ACTION_DOWNLOAD) && entry->destfile.empty()) {
      Fail(topic, named + " downloads a file, but destfile is empty");
    }
    if (!entry->destfile.empty() && !IsSafeDestinationFile(entry->destfile)) {
      Fail(topic, "[list0] destfile=" + Quoted(entry->destfile) +
                      " would leave the install folder: the installer stops with a parse error");
    }
    if ((action & ACTION_COMMAND) && !cmd.empty() && cmd != "DEC") {
      Fail(topic, "[list0] cmd=" + Quoted(cmd) + " is not a command the installer knows: the only one is DEC");
    }
    if ((action & ACTION_COMMAND) && !(action & ACTION_DOWNLOAD)) {
      Fail(topic, named + " unpacks destfile without downloading it: a new installation has nothing to unpack");
    }
    if ((action & ACTION_DOWNLOAD) && !entry->srcfile.empty() && !IsHttpUrl(entry->srcfile)) {
      Fail(topic, "[list0] srcfile=" + Quoted(entry->srcfile) + " is not an http:// or https:// URL");
    }
    if (totals_.failures != failuresBefore) return false;
    if (!(action & ACTION_COMMAND)) {
      Warn(topic, named +
                      " downloads the package but does not unpack it (no DEC): the game is neither "
                      "installed nor started");
    } else {
      Ok(topic, named + ": download srcfile to destfile " + Quoted(entry->destfile) + ", then DEC");
    }
    return true;
  }

  void CheckPackageAndResume(const SetupValues& setup, const ListEntry& entry) {
    const char* topic = "package";
    TemporaryFile download;
    std::string error;
    if (!download.Create(&error)) {
      Fail(topic, error);
      return;
    }
    FileSink sink(download.file(), kMaxPackageBytes);
    uint64_t length = 0;
    if (!FetchWhole(topic, entry.srcfile, sink, &length)) return;
    if (!download.Close()) {
      Fail(topic, "the download could not be written to a temporary file");
      return;
    }
    if (entry.action & ACTION_COMMAND) CheckPackageContents(setup, download.path());
    CheckResume(entry.srcfile, download.path(), length);
  }

  void CheckPackageContents(const SetupValues& setup, const std::string& path) {
    const char* topic = "package";
    const PackageReport report = CheckPackage(path);
    // A problem names at most one entry, whose name fits in 260 bytes.
    for (const std::string& problem : report.problems) Fail(topic, Shown(problem, 1024));
    if (!report.readable) return;
    uint64_t unpacked = 0;
    std::set<std::string> written;
    for (const RawPackageEntry& raw : report.entries) {
      unpacked += raw.entry.size;
      written.insert(FoldPackageName(TailFromFirstBackslash(raw.name)));
    }
    Ok(topic,
       "a package archive of " + Number(report.entries.size()) + " files, " + Number(unpacked) + " bytes unpacked");
    if (setup.sizeKnown && (uint64_t)setup.sizeMb * 1048576 < unpacked) {
      Warn(topic, "[setup] size=" + std::to_string(setup.sizeMb) + " MB is less than the " +
                      Number((unpacked + 1048575) / 1048576) + " MB the package unpacks to");
    }
    const auto holds = [&written](const std::string& name) {
      std::string tail = "\\" + name;
      for (char& c : tail) {
        if (c == '/') c = '\\';
      }
      while (tail.size() > 1 && tail[1] == '\\') tail.erase(0, 1);
      return written.count(FoldPackageName(tail)) > 0;
    };
    if (!setup.exeFileName.empty()) {
      if (holds(setup.exeFileName)) {
        Ok(topic, "holds " + Quoted(setup.exeFileName) + ", the program the installer starts");
      } else {
        Fail(topic, "holds no " + Quoted(setup.exeFileName) +
                        " below its top folder: the installer cannot start the game (exefilename)");
      }
    }
    if (!setup.uninstallerName.empty()) {
      const std::string uninstaller = "uninstall\\" + setup.uninstallerName;
      if (holds(uninstaller)) {
        Ok(topic, "holds " + Quoted(uninstaller) + ", the uninstaller the installer registers");
      } else {
        Warn(topic, "holds no " + Quoted(uninstaller) +
                        " below its top folder: the registered uninstaller will be missing (uninstname)");
      }
    }
  }

  void CheckResume(const std::string& url, const std::string& path, uint64_t length) {
    const char* topic = "resume";
    if (length < 2) {
      Fail(topic, "the package is too short to resume a download of it");
      return;
    }
    const uint64_t middle = length / 2;
    const std::string range = "Range: bytes=" + Number(middle) + "-";
    const std::string expected = "bytes " + Number(middle) + "-" + Number(length - 1) + "/" + Number(length);
    ReadFile file(path);
    if (!file.get() || fseek(file.get(), (long)middle, SEEK_SET) != 0) {
      Fail(topic, "the downloaded package cannot be read back");
      return;
    }
    CompareSink rest(file.get(), middle);
    const HttpResponse partial = client_.Get(url, middle, rest);
    const std::string asked = Shown(url) + " with " + range;
    if (!partial.answered) {
      Fail(topic, asked + ": " + partial.error);
    } else if (partial.status != 206) {
      std::string text = asked + ": status " + std::to_string(partial.status) + ", not 206";
      if (partial.status == 200) text += ": the server ignores Range, an interrupted download starts over";
      Fail(topic, text);
    } else if (!StartsWithNoCase(partial.contentRange, expected.c_str()) ||
               partial.contentRange.size() != expected.size()) {
      Fail(topic, asked + ": Content-Range is " + Quoted(partial.contentRange) + ", not \"" + expected + "\"");
    } else if (partial.stoppedBySink) {
      Fail(topic, asked + ": " + rest.Problem());
    } else if (!partial.error.empty()) {
      Fail(topic, asked + ": the body broke off after " + Number(partial.bodyBytes) + " bytes: " + partial.error);
    } else if (partial.bodyBytes != length - middle) {
      Fail(topic,
           asked + ": " + Number(partial.bodyBytes) + " bytes, not the " + Number(length - middle) + " that remain");
    } else {
      Ok(topic, asked + ": status 206 with the remaining " + Number(length - middle) + " bytes");
    }

    MemorySink ignored(kMaxIgnoredBytes);
    const HttpResponse past = client_.Get(url, length, ignored);
    const std::string pastAsked = Shown(url) + " with Range: bytes=" + Number(length) + "-";
    if (!past.answered) {
      Fail(topic, pastAsked + ": " + past.error);
    } else if (past.status != 416) {
      Fail(topic, pastAsked + ": status " + std::to_string(past.status) +
                      ", not 416: a completed download is not recognised as complete");
    } else {
      Ok(topic, pastAsked + ": status 416, the download is complete");
    }
  }

  std::string address_;
  HttpClient& client_;
  const std::function<void(const CheckLine&)>& report_;
  ServerCheckTotals totals_;
};

}  // namespace

bool IsServerAddress(const std::string& address) {
  size_t host = 0;
  if (StartsWithNoCase(address, "http://")) host = 7;
  if (StartsWithNoCase(address, "https://")) host = 8;
  if (host == 0 || address.size() == host) return false;
  for (size_t i = host; i < address.size(); ++i) {
    const unsigned char c = (unsigned char)address[i];
    if (c <= ' ' || c >= 0x7f || strchr("/\\\"?#", c)) return false;
  }
  return true;
}

ServerCheckTotals CheckServer(const std::string& address, HttpClient& client,
                              const std::function<void(const CheckLine&)>& report) {
  return ServerChecker(address, client, report).Run();
}
