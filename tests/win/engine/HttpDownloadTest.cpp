// The real DownloadFile and GetUrlFileSize against the portal server: one table of scenarios,
// each a served fault, a URL and the state of the local file, with the result, the file, the
// progress posted, the log lines and the requests the server saw.
#include "HttpDownload.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "AppMessages.h"
#include "CancelSignal.h"
#include "LogCapture.h"
#include "LogFormat.h"
#include "Portal.h"
#include "SetupLog.h"
#include "SetupRun.h"
#include "WinHandles.h"

namespace {

constexpr char kOrigin[] = "http://update.orbina.com";
constexpr UINT kSinkDone = WM_APP + 1;
constexpr size_t kBodySize = 10000;      // two full blocks and a short one
constexpr size_t kSlowBodySize = 65536;  // sixteen blocks, one every 300 ms

enum class Op { kDownload, kSize };
enum class Local { kNone, kExisting };
enum class Disk { kAbsent, kBody, kOld, kPartial };  // the local file afterwards

struct DownloadCase {
  const char* name;
  Op op;
  std::string faults;
  std::string url;  // starting with '/': on the trusted host
  Local local;
  bool cancel;                        // set the cancel event at the first progress message
  bool result;                        // of DownloadFile
  DWORD size;                         // of GetUrlFileSize
  Disk disk;                          // after DownloadFile
  std::vector<std::string> log;       // every line, without "[VelSetup]" and the log's cut
  std::vector<std::string> requests;  // "<path> -> <status>" on the trusted host, in order; over
                                      // TLS "https://host:443<path> -> <status>"
};

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) % 251);
  return bytes;
}

std::string Url(const std::string& url) { return url[0] == '/' ? kOrigin + url : url; }
// A proxied request names the port.
// A line of the request log; the size query asks with HEAD, so that no body is sent.
std::string Request(const std::string& line, Op op) {
  const std::string method = op == Op::kSize ? "HEAD " : "GET ";
  return method + (line[0] == '/' ? "http://update.orbina.com:80" : "") + line + "\n";
}
std::string Tunneled(const std::string& path) { return "https://update.orbina.com:443" + path; }

// The requests without the CONNECT lines, whose number depends on how the tunnels are reused.
std::string WithoutTunnels(const std::string& log) {
  std::string requests;
  for (size_t at = 0; at < log.size();) {
    size_t end = log.find('\n', at);
    end = end == std::string::npos ? log.size() : end + 1;
    if (log.compare(at, 8, "CONNECT ") != 0) requests.append(log, at, end - at);
    at = end;
  }
  return requests;
}

std::string OpenFailed(const std::string& url, int error) {
  return "[DownloadFile] InternetOpenUrl(" + url + ") Failed (Error Code = " + std::to_string(error) + ")";
}

std::string Refused(const char* caller, const std::string& url) {
  return std::string("[") + caller + "] CheckDownloadURL(" + Url(url) + ") Failed";
}

std::string Status(const std::string& url, int status) {
  return "[DownloadFile] HttpQueryInfo(" + Url(url) + ") = " + std::to_string(status) + " ";
}

const char kCanceled[] = "[DownloadFile] User canceled downloading";

std::vector<DownloadCase> Cases() {
  const std::string a = "/orbina/velsetup/a.bin";
  const std::string slow = "/orbina/velsetup/slow.bin";
  const std::string old = "/orbina/velsetup/old.bin";
  const std::string loop = "/orbina/velsetup/loop.bin";
  const std::string other = "/other/place/a.bin";
  const std::string outside = "http://evil.example.net/orbina/velsetup/a.bin";
  const std::string https = "https://update.orbina.com/orbina/velsetup/a.bin";
  const std::string httpsOld = "https://update.orbina.com/orbina/velsetup/old.bin";
  const std::string untrusted = "https://untrusted.orbina.com/orbina/velsetup/a.bin";
  const std::string ok = " -> 200";
  const std::string moved = " -> 302";
  const char* toInside = "/orbina/velsetup/old.bin redirect=http://update.orbina.com/orbina/velsetup/a.bin";
  const char* toOutside = "/orbina/velsetup/old.bin redirect=http://evil.example.net/orbina/velsetup/a.bin";
  // Fills the path buffer of the URL check exactly.
  const std::string longPath = "/orbina/velsetup/" + std::string(1023 - 17, 'x');
  const auto D = Op::kDownload;
  const auto S = Op::kSize;
  const auto N = Local::kNone;
  const auto E = Local::kExisting;
  // clang-format off
  return {
    // name, op, faults, url, local file, cancel, result, size, disk, log lines, requests
    {"WithLength", D, "", a, N, false, true, 0, Disk::kBody, {}, {a + ok}},
    {"WithoutLength", D, "/orbina/velsetup/a.bin nolength", a, N, false, true, 0, Disk::kBody, {}, {a + ok}},
    {"ExistingFileReplaced", D, "", a, E, false, true, 0, Disk::kBody, {}, {a + ok}},
    {"NotFoundLeavesNoFile", D, "", "/orbina/velsetup/none.bin", N, false, false, 0, Disk::kAbsent,
     {Status("/orbina/velsetup/none.bin", 404)}, {"/orbina/velsetup/none.bin -> 404"}},
    {"NotFoundKeepsExistingFile", D, "/orbina/velsetup/a.bin status=404", a, E, false, false, 0, Disk::kOld,
     {Status(a, 404)}, {a + " -> 404"}},
    {"CutShortDeleted", D, "/orbina/velsetup/a.bin cut=5000", a, E, false, false, 0, Disk::kAbsent, {}, {a + ok}},
    {"CancelWithLengthDeleted", D, "/orbina/velsetup/slow.bin trickle=4096 delay=300", slow, N, true, false, 0,
     Disk::kAbsent, {kCanceled}, {slow + ok}},
    {"CancelWithoutLengthKept", D, "/orbina/velsetup/slow.bin nolength trickle=4096 delay=300", slow, N, true,
     true, 0, Disk::kPartial, {kCanceled}, {slow + ok}},
    {"Https", D, "", https, E, false, true, 0, Disk::kBody, {}, {Tunneled(a) + ok}},
    {"HttpsUntrustedCertificate", D, "", untrusted, E, false, false, 0, Disk::kOld, {OpenFailed(untrusted, 12057)},
     {}},
    {"HttpsRelativeRedirectStaysHttps", D, "/orbina/velsetup/old.bin redirect=a.bin", httpsOld, N, false, true, 0,
     Disk::kBody, {}, {Tunneled(old) + moved, Tunneled(a) + ok}},
    {"HttpsRedirectToHttpRefused", D, toInside, httpsOld, E, false, false, 0, Disk::kOld,
     {"[DownloadFile] Redirect from https to http refused (" + httpsOld + " -> " + Url(a) + ")"},
     {Tunneled(old) + moved}},
    {"SuffixInOtherCaseRefused", D, "", "http://update.Orbina.com/orbina/velsetup/a.bin", N, false, false, 0,
     Disk::kAbsent, {Refused("DownloadFile", "http://update.Orbina.com/orbina/velsetup/a.bin")}, {}},
    {"OtherPathRefused", D, "", other, N, false, false, 0, Disk::kAbsent,
     {"[CheckDownloadURL] Failed, strUrlPath = other/place/", Refused("DownloadFile", other)}, {}},
    {"EncodedSlashesDecoded", D, "", "/orbina%2Fvelsetup%2Fa.bin", N, false, true, 0, Disk::kBody, {},
     {"/orbina%2Fvelsetup%2Fa.bin -> 200"}},
    {"EncodedDotDotRefused", D, "", "/orbina/velsetup/%2e%2e/%2e%2e/a.bin", N, false, false, 0, Disk::kAbsent,
     {Refused("DownloadFile", "/orbina/velsetup/%2e%2e/%2e%2e/a.bin")}, {}},
    {"DotDotRefused", D, "", "/orbina/velsetup/x/../a.bin", N, false, false, 0, Disk::kAbsent,
     {Refused("DownloadFile", "/orbina/velsetup/x/../a.bin")}, {}},
    {"EncodedNulRefused", D, "", "/orbina/velsetup/a.bin%00.txt", N, false, false, 0, Disk::kAbsent,
     {Refused("DownloadFile", "/orbina/velsetup/a.bin%00.txt")}, {}},
    {"EncodedLineBreakRefused", D, "", "/orbina/velsetup/a.bin%0D%0AX:%201", N, false, false, 0, Disk::kAbsent,
     {Refused("DownloadFile", "/orbina/velsetup/a.bin%0D%0AX:%201")}, {}},
    {"UserInformationRefused", D, "", "http://evil.example.net@update.orbina.com/orbina/velsetup/a.bin", N, false,
     false, 0, Disk::kAbsent,
     {Refused("DownloadFile", "http://evil.example.net@update.orbina.com/orbina/velsetup/a.bin")}, {}},
    {"RedirectInsideFollowed", D, toInside, old, N, false, true, 0, Disk::kBody, {}, {old + moved, a + ok}},
    {"RelativeRedirectResolved", D, "/orbina/velsetup/old.bin redirect=a.bin status=307", old, N, false, true, 0,
     Disk::kBody, {}, {old + " -> 307", a + ok}},
    {"RedirectOutsideHostRefused", D, toOutside, old, E, false, false, 0, Disk::kOld,
     {Refused("DownloadFile", outside)}, {old + moved}},
    {"RedirectUpwardsRefused", D, "/orbina/velsetup/old.bin redirect=../../secret.bin status=301", old, N, false,
     false, 0, Disk::kAbsent,
     {"[CheckDownloadURL] Failed, strUrlPath = ", Refused("DownloadFile", "/secret.bin")}, {old + " -> 301"}},
    {"RedirectToHttpsFollowed", D, "/orbina/velsetup/old.bin redirect=" + https, old, N, false, true, 0,
     Disk::kBody, {}, {old + moved, Tunneled(a) + ok}},
    {"PathOverBufferRefusedNotCut", D, "", longPath + "y", N, false, false, 0, Disk::kAbsent,
     {Refused("DownloadFile", longPath + "y")}, {}},
    {"LocationOverBufferNotFollowed", D, "/orbina/velsetup/old.bin redirect=" + Url(longPath + longPath + longPath), old, N,
     false, false, 0, Disk::kAbsent, {Status(old, 302)}, {old + moved}},
    {"TooManyHops", D, "/orbina/velsetup/loop.bin redirect=loop.bin", loop, N, false, false, 0, Disk::kAbsent,
     {Status(loop, 302)}, std::vector<std::string>(6, loop + moved)},
    {"SizeWithLength", S, "", a, N, false, false, kBodySize, Disk::kAbsent, {}, {a + ok}},
    {"SizeWithoutLength", S, "/orbina/velsetup/a.bin nolength", a, N, false, false, 0, Disk::kAbsent, {},
     {a + ok}},
    {"SizeNotFound", S, "/orbina/velsetup/a.bin status=404", a, N, false, false, 0, Disk::kAbsent, {},
     {a + " -> 404"}},
    {"SizeRefusedNeverRequested", S, "", other, N, false, false, 0, Disk::kAbsent,
     {"[CheckDownloadURL] Failed, strUrlPath = other/place/", Refused("GetUrlFileSize", other)}, {}},
    {"SizeRedirectInsideFollowed", S, toInside, old, N, false, false, kBodySize, Disk::kAbsent, {},
     {old + moved, a + ok}},
    {"SizeRedirectOutsideRefused", S, toOutside, old, N, false, false, 0, Disk::kAbsent,
     {Refused("GetUrlFileSize", outside)}, {old + moved}},
    {"SizeHttps", S, "", https, N, false, false, kBodySize, Disk::kAbsent, {}, {Tunneled(a) + ok}},
    {"SizeHttpsUntrustedCertificate", S, "", untrusted, N, false, false, 0, Disk::kAbsent, {}, {}},
  };
  // clang-format on
}

// Receives the progress messages on a thread of its own, as the dialog would, and sets the
// cancel at the first one when asked to, as the dialog's Cancel does.
class CProgressSink {
 public:
  explicit CProgressSink(CCancelSignal* cancelAtFirst) : m_cancel(cancelAtFirst) {
    CScopedHandle ready(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    m_thread = std::thread([this, &ready] { Run(ready.Get()); });
    ::WaitForSingleObject(ready.Get(), INFINITE);
  }
  ~CProgressSink() { Finish(); }

  HWND Window() const { return m_window; }
  // Waits until every message posted before the call has arrived.
  void Finish() {
    if (!m_thread.joinable()) return;
    ::PostMessageA(m_window, kSinkDone, 0, 0);
    m_thread.join();
  }

  size_t sum = 0;
  size_t count = 0;
  bool wellFormed = true;  // kind 3, at least one byte each

 private:
  void Run(HANDLE ready) {
    m_window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SetEvent(ready);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != kSinkDone) {
      if (msg.message != WM_DOWNLOAD_PROGRESS) continue;
      wellFormed = wellFormed && msg.wParam == DOWNLOAD_PROGRESS_BYTES && msg.lParam > 0;
      sum += static_cast<size_t>(msg.lParam);
      if (++count == 1 && m_cancel != nullptr) m_cancel->Set();
    }
    ::DestroyWindow(m_window);
  }

  CCancelSignal* m_cancel;
  HWND m_window = nullptr;
  std::thread m_thread;
};

class HttpDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(portal::Available()) << "run inside the harness session";
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    m_folder = std::string(temp) + "velsetup-http";
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
    m_internet.Reset(::InternetOpenA("Orbina Setup", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ASSERT_TRUE(m_internet);
  }
  void TearDown() override {
    portal::SetFaults("");
    RemoveTree(m_folder);
  }

  std::string m_folder;
  CScopedInternet m_internet;
};

TEST_F(HttpDownloadTest, Scenarios) {
  const std::string body = Pattern(kBodySize, 1);
  const std::string slowBody = Pattern(kSlowBodySize, 2);
  const std::string oldBytes = Pattern(2 * kBodySize, 3);
  ASSERT_TRUE(portal::Put("orbina/velsetup/a.bin", body));
  ASSERT_TRUE(portal::Put("orbina/velsetup/slow.bin", slowBody));
  const std::string local = m_folder + "\\download.bin";

  for (const DownloadCase& row : Cases()) {
    SCOPED_TRACE(row.name);
    ::DeleteFileA(local.c_str());
    if (!portal::SetFaults(row.faults + "\n") ||
        (row.local == Local::kExisting && !WriteFileBytes(local, oldBytes))) {
      ADD_FAILURE() << "cannot prepare the case";
      continue;
    }
    const size_t logBefore = portal::RequestLog().size();
    const std::string url = Url(row.url);
    LogInit(0, 2);

    CCancelSignal cancel;
    ASSERT_TRUE(cancel.Create());
    CProgressSink sink(row.cancel ? &cancel : nullptr);
    if (row.op == Op::kDownload) {
      EXPECT_EQ(DownloadFile(m_internet.Get(), local.c_str(), url.c_str(), true, sink.Window(), &cancel),
                row.result);
    } else {
      EXPECT_EQ(GetUrlFileSize(m_internet.Get(), url.c_str()), row.size);
    }
    sink.Finish();

    std::vector<std::string> expectedLog;
    for (const std::string& line : row.log)
      expectedLog.push_back("[VelSetup]" + line.substr(0, kLogMessageLimit));
    EXPECT_EQ(CapturedLogLines(), expectedLog);
    std::string expectedRequests;
    for (const std::string& request : row.requests) expectedRequests += Request(request, row.op);
    EXPECT_EQ(WithoutTunnels(portal::RequestLog().substr(logBefore)), expectedRequests);

    EXPECT_TRUE(sink.wellFormed);
    const std::string onDisk = ReadFileBytes(local);
    switch (row.op == Op::kSize ? Disk::kAbsent : row.disk) {
      case Disk::kAbsent:
        EXPECT_EQ(::GetFileAttributesA(local.c_str()), INVALID_FILE_ATTRIBUTES);
        break;
      case Disk::kOld:
        EXPECT_EQ(onDisk, oldBytes);
        EXPECT_EQ(sink.count, 0u);
        break;
      case Disk::kBody:
        EXPECT_EQ(onDisk, body);
        EXPECT_EQ(sink.sum, body.size());
        EXPECT_GE(sink.count, 1u);
        break;
      case Disk::kPartial:
        EXPECT_GT(onDisk.size(), 0u);
        EXPECT_LT(onDisk.size(), slowBody.size());
        EXPECT_EQ(onDisk, slowBody.substr(0, onDisk.size()));
        EXPECT_EQ(sink.sum, onDisk.size());
        break;
    }
  }
}

// A write that fails (here: to a pipe whose reader has gone) ends the download with false even
// without an announced length.
TEST_F(HttpDownloadTest, FailedWriteIsAFailure) {
  ASSERT_TRUE(portal::Put("orbina/velsetup/a.bin", Pattern(kBodySize, 1)));
  ASSERT_TRUE(portal::SetFaults("/orbina/velsetup/a.bin nolength trickle=4096 delay=300\n"));
  const std::string pipeName = "\\\\.\\pipe\\velsetup-http-test";
  CScopedFile pipe(::CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0,
                                      0, 0, nullptr));
  ASSERT_TRUE(pipe);
  std::thread reader([&pipe] {
    ::ConnectNamedPipe(pipe.Get(), nullptr);
    pipe.Reset();
  });
  LogInit(0, 2);
  EXPECT_FALSE(DownloadFile(m_internet.Get(), pipeName.c_str(),
                            (std::string(kOrigin) + "/orbina/velsetup/a.bin").c_str(), true, nullptr,
                            nullptr));
  // Lets the reader go if the download never opened the pipe.
  CScopedFile unblock(::CreateFileA(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  reader.join();
  ASSERT_EQ(CapturedLogLines().size(), 1u);
  EXPECT_EQ(CapturedLogLines()[0].rfind(
                "[VelSetup][DownloadFile] WriteFile(" + pipeName + ") Failed, Error Code = ", 0),
            0u);
}

}  // namespace
