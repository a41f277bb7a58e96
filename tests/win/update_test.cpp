// The update splash in-process under Wine: the version page read against the
// local test server, what the splash asks of the download manager (a fake
// here, so failures can be provoked), the sink, and the file swap with every
// way it can fail. The real exe's update is in update_e2e_test.cpp.
#include "app/notification.h"
#include "app/tessel_app.h"
#include "common/log.h"
#include "download/thread_exception.h"
#include "framework/app.h"
#include "framework/file.h"
#include "game/wnd_game.h"
#include "resource.h"
#include "skin/png_resource.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "support/test_support.h"
#include "update/dlg_update.h"
#include "update/download_check.h"
#include "update/exe_swap.h"
#include "update/http_get_text.h"
#include "update/update_handover.h"
#include "update/update_signature.h"
#include "update/version_text.h"
#include "update/wide_to_narrow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 10000;        // bound of every wait that should succeed
constexpr DWORD kShortTimeoutMs = 1500; // HttpGetText's time-out in these tests
const char kVersionPage[] = "/clientkv3/portHatch/qlm_Orbo.html";
const char kSignaturePath[] = "/clientkv3/portHatch/qlm_Orbo.exe.sig";

// The swap's tests hand the splash files no publisher signed.
DownloadVerdict AcceptAnyDownload(const std::wstring&, const std::string&, const UpdateSignature&)
{
    return DownloadVerdict::Accepted;
}

using qmtest::Content;
using qmtest::Exists;
using qmtest::MakeTempFolder;
using qmtest::ReadWholeFile;
using qmtest::RemoveTree;
using qmtest::Tls;
using qmtest::Widen;
using qmtest::WriteWholeFile;

// ---- the notification bus and the download manager --------------------------

// Counts NT_START_UP posts.
class StartUpWitness final : public IObserver {
public:
    int calls = 0;
    void OnNotify(INotification*) override { ++calls; }
    bool IsSame(IObserver* other) override { return other == this; }
};

// A worker-thread exception whose report is counted instead of shown in a
// modal box.
class ObservedThreadException : public CThreadException {
public:
    ObservedThreadException(int* reports, UINT* type)
        : CThreadException(nullptr, L"Thread is already started!", THREAD_ALREADY_STARTED),
          m_reports(reports), m_type(type)
    {
    }
    int ReportError(UINT type, UINT) const override
    {
        ++*m_reports;
        *m_type = type;
        return IDOK;
    }

private:
    int* m_reports;
    UINT* m_type;
};

class FakeTask final : public IDLTask {
public:
    explicit FakeTask(int status) : m_status(status) {}
    const wchar_t* GetUrl() const override { return L""; }
    int GetStatus() const override { return m_status; }
    int GetTotalSize() const override { return 0; }
    int GetReceivedSize() const override { return 0; }
    const wchar_t* GetSaveDir() const override { return L""; }
    int GetUserData() const override { return -1; }

private:
    int m_status;
};

// Records what the splash asks of the manager; can raise or refuse on demand.
class FakeManager final : public IDLMgr {
public:
    enum class Fault { None, StartRaises, AddTaskRaises, AddTaskRefuses, StopRaises };

    Fault fault = Fault::None;
    std::vector<std::string> calls;
    std::vector<DLTaskDesc> tasks;
    int reports = 0;
    UINT reportType = 0;

    bool Init(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    IDLTask* AddTask(const DLTaskDesc* desc) override
    {
        calls.push_back("AddTask");
        if (fault == Fault::AddTaskRaises)
            throw ObservedThreadException(&reports, &reportType);
        if (fault == Fault::AddTaskRefuses)
            return nullptr;
        tasks.push_back(*desc);
        return &m_task;
    }
    int GetTaskCount() override { return 0; }
    int GetRemoteFileSize(const wchar_t*) override { return -1; }
    void Start() override
    {
        calls.push_back("Start");
        if (fault == Fault::StartRaises)
            throw ObservedThreadException(&reports, &reportType);
    }
    void Stop() override
    {
        calls.push_back("Stop");
        if (fault == Fault::StopRaises)
            throw ObservedThreadException(&reports, &reportType);
    }
    void Release() override {}
    void Cancel() override { calls.push_back("Cancel"); }

    std::string Calls() const
    {
        std::string all;
        for (const std::string& call : calls)
            all += (all.empty() ? "" : " ") + call;
        return all;
    }

private:
    FakeTask m_task{DLS_QUEUED};
};

// ---- WideToNarrow -------------------------------------------------------------

TEST(WideToNarrow, ConvertsWithTheTerminatorIntoTheBuffer)
{
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(WideToNarrow(buffer, CLIENT_VERSION_W, sizeof buffer, CP_THREAD_ACP), buffer);
    EXPECT_STREQ(buffer, CLIENT_VERSION) << "the wide and narrow versions spell the same text";
}

TEST(WideToNarrow, NullArgumentsAndTextsThatDoNotFitGiveNull)
{
    char buffer[4];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(WideToNarrow(nullptr, L"1", 4, CP_ACP), nullptr);
    EXPECT_EQ(WideToNarrow(buffer, nullptr, 4, CP_ACP), nullptr);
    EXPECT_EQ(WideToNarrow(buffer, L"1", 0, CP_ACP), nullptr);
    EXPECT_EQ(buffer[0], 'x') << "a buffer of no size is not written";
    EXPECT_EQ(WideToNarrow(buffer, L"1.0.0.8", sizeof buffer, CP_ACP), nullptr);
    EXPECT_EQ(buffer[0], '\0') << "nothing half-converted is left behind";
}

// ---- HttpGetText ------------------------------------------------------------

class HttpText : public qmtest::SharedServerTest {
protected:
    void Route(const std::string& path, const std::string& fields)
    {
        ASSERT_TRUE(Server().AddRoute(path, fields)) << path << " " << fields;
    }
    std::wstring Url(const std::string& path) { return Server().Url(Widen(path)); }
    std::string Log() { return Server().Log(); }

    char m_buffer[kHttpTextBufferSize];
};

// 1500 letters: more than one read of 1023 bytes.
std::string LongBody()
{
    std::string body;
    for (int i = 0; i < 1500; ++i)
        body.push_back(static_cast<char>('A' + i % 26));
    return body;
}

TEST_F(HttpText, ReadsTheBodyAsTheLauncherAsksForIt)
{
    Route("/v.html", R"({"body": "1.0.0.9\n"})");
    ASSERT_TRUE(HttpGetText(Url("/v.html?123").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "1.0.0.9\n");
    const std::string log = Log();
    EXPECT_NE(log.find("\"path\": \"/v.html?123\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"User-Agent\": \"GetURLRet\""), std::string::npos) << log;
}

TEST_F(HttpText, NullUrlIsRefused)
{
    EXPECT_FALSE(HttpGetText(nullptr, m_buffer));
}

TEST_F(HttpText, ABodyLongerThanOneReadKeepsItsStartAndItsTerminator)
{
    const std::string body = LongBody();
    Route("/long", R"({"body": ")" + body + R"("})");
    std::memset(m_buffer, 'x', sizeof m_buffer);
    ASSERT_TRUE(HttpGetText(Url("/long").c_str(), m_buffer));
    EXPECT_EQ(std::string(m_buffer, kHttpTextBufferSize - 1), body.substr(0, 1023))
        << "a second read must not overwrite the start";
    EXPECT_EQ(m_buffer[kHttpTextBufferSize - 1], '\0');
}

TEST_F(HttpText, ASlowBodyInSmallPiecesIsAccumulated)
{
    // Written three bytes at a time with pauses, without a Content-Length:
    // the body ends when the server closes the connection.
    Route("/slow",
          R"({"body": "1.0.0.9\r\n", "chunk": 3, "delay": 0.05, "content_length": false})");
    ASSERT_TRUE(HttpGetText(Url("/slow").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "1.0.0.9\r\n");

    const std::string body = LongBody();
    Route("/slow-long",
          R"({"body": ")" + body + R"(", "chunk": 100, "delay": 0.01, "content_length": false})");
    ASSERT_TRUE(HttpGetText(Url("/slow-long").c_str(), m_buffer));
    EXPECT_EQ(std::string(m_buffer), body.substr(0, 1023));
}

TEST_F(HttpText, AChunkedBodyIsAccumulatedAcrossItsChunks)
{
    // HTTP chunked transfer coding, the chunks sent apart from each other.
    Route("/chunked", R"({"body": "3\r\n1.0\r\n4\r\n.0.9\r\n0\r\n\r\n", "content_length": false,
                          "headers": {"Transfer-Encoding": "chunked"}, "chunk": 8, "delay": 0.1})");
    ASSERT_TRUE(HttpGetText(Url("/chunked").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "1.0.0.9");
}

TEST_F(HttpText, AnErrorPageIsNoText)
{
    Route("/busy", R"({"status": 503, "body": "503 Service Unavailable"})");
    Route("/gone", R"({"status": 404, "body": "<html><body>Not found</body></html>"})");
    ASSERT_TRUE(HttpGetText(Url("/busy").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "") << "an error page that starts with a digit is no version";
    ASSERT_TRUE(HttpGetText(Url("/gone").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "");
}

TEST_F(HttpText, ABodyCutShortOfItsLengthIsNoText)
{
    Route("/cut", R"({"body": "1.0.10.0", "drop_after": 5})");
    ASSERT_TRUE(HttpGetText(Url("/cut").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "") << "\"1.0.1\" of \"1.0.10.0\" would name another version";
}

TEST_F(HttpText, AServerThatNeverAnswersIsGivenUpAfterTheTimeOut)
{
    Route("/stall", R"({"stall_before_headers": -1})");
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(HttpGetText(Url("/stall").c_str(), m_buffer, kShortTimeoutMs));
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_STREQ(m_buffer, "");
    EXPECT_GE(elapsed, kShortTimeoutMs - 200) << "ended before the time-out";
    EXPECT_LE(elapsed, kShortTimeoutMs + 3000) << "the time-out was not applied";
    EXPECT_NE(Log().find("/stall"), std::string::npos) << "the request reached the server";
}

TEST_F(HttpText, ABodyThatStallsMidwayIsGivenUpAndDropped)
{
    Route("/stuck", R"({"body": "1.0.0.9", "stall_after": 3})");
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(HttpGetText(Url("/stuck").c_str(), m_buffer, kShortTimeoutMs));
    EXPECT_LE(::GetTickCount64() - start, kShortTimeoutMs + 3000ULL);
    EXPECT_STREQ(m_buffer, "") << "the piece that came is no version";
}

TEST_F(HttpText, ABodyThatKeepsCrawlingIsGivenUpAtTheTimeOut)
{
    // One byte every 0.2 s, 30 bytes: each byte in time, the whole body not.
    Route("/crawl", R"({"body": "1.0.0.9                       ", "chunk": 1, "delay": 0.2})");
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(HttpGetText(Url("/crawl").c_str(), m_buffer, kShortTimeoutMs));
    // The whole body would take 6 s: well past the bound, with room for a busy machine.
    EXPECT_LT(::GetTickCount64() - start, kShortTimeoutMs + 3000ULL);
    EXPECT_STREQ(m_buffer, "") << "what came in time is no whole answer";
}

TEST_F(HttpText, AnUnreachableServerLeavesTheBufferEmpty)
{
    // Nothing listens on port 1 of the loopback address: the connection is refused.
    std::memset(m_buffer, 'x', sizeof m_buffer);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_TRUE(HttpGetText(L"http://127.0.0.1:1/clientkv3/portHatch/qlm_Orbo.html?1", m_buffer,
                            kShortTimeoutMs));
    EXPECT_STREQ(m_buffer, "");
    EXPECT_LT(::GetTickCount64() - start, static_cast<ULONGLONG>(kShortTimeoutMs))
        << "a refused connection needs no time-out";
}

// A certificate WinINet does not trust gives no text, sends nothing, and the
// log keeps the WinINet code. Measured with Wine 8: 12038 for another name,
// 12037 expired, 12057 for an unknown authority (12045 on Windows).
TEST_F(HttpText, ACertificateThatIsNotTrustedIsNoTextAndItsCodeIsLogged)
{
    const std::wstring dir = MakeTempFolder(L"qm-tls-");
    ASSERT_FALSE(dir.empty());
    const std::wstring logFile = dir + L"http.log";
    wcsncpy(g_szLogFile, logFile.c_str(), std::size(g_szLogFile) - 1);
    const struct {
        Tls tls;
        std::vector<const char*> codes;
    } cases[] = {{Tls::kOtherName, {"12038"}},
                 {Tls::kExpired, {"12037"}},
                 {Tls::kUnknownCa, {"12057", "12045"}}};
    for (const auto& c : cases) {
        qmtest::TestServer server(60, 0, c.tls);
        ASSERT_TRUE(server.Started());
        ASSERT_TRUE(server.AddRoute("/v.html", R"({"body": "1.0.0.9"})"));
        const std::wstring url = server.Url(L"/v.html?1");
        ASSERT_TRUE(HttpGetText(url.c_str(), m_buffer));
        EXPECT_STREQ(m_buffer, "");
        const std::string log = Content(logFile);
        EXPECT_TRUE(std::any_of(c.codes.begin(), c.codes.end(), [&](const char* code) {
            return log.find(qmtest::Narrow(L"请求网址失败！" + url + L" 错误码：") + code) !=
                   std::string::npos;
        })) << log;
        EXPECT_EQ(server.Log().find(R"("path")"), std::string::npos) << server.Log();
    }
    g_szLogFile[0] = L'\0';
    RemoveTree(dir);
}

// Redirects are followed while they keep to https (or from http to http);
// one from https to http, or to another scheme, gets no text and nothing
// is sent for it; a loop ends after ten.
TEST_F(HttpText, RedirectsAreFollowedOnlyWhileTheyKeepToHttps)
{
    qmtest::TestServer secure(60, 0, Tls::kLocalhost);
    ASSERT_TRUE(secure.Started());
    const std::string origin = "localhost:" + std::to_string(secure.Port());
    const auto redirect = [](int status, const std::string& to) {
        return R"({"status": )" + std::to_string(status) + R"(, "location": ")" + to + R"("})";
    };
    const struct {
        const char* path;
        std::string route;
        const char* text;
    } cases[] = {
        {"/to-https", redirect(302, "https://" + origin + "/v.html"), "1.0.0.9"},
        {"/relative", redirect(307, "/v.html"), "1.0.0.9"},
        {"/to-http", redirect(301, "http://" + origin + "/v.html"), ""},
        {"/to-ftp", redirect(302, "ftp://" + origin + "/v.html"), ""},
        {"/loop", redirect(302, "/loop"), ""},
    };
    ASSERT_TRUE(secure.AddRoute("/v.html", R"({"body": "1.0.0.9"})"));
    for (const auto& c : cases) {
        ASSERT_TRUE(secure.AddRoute(c.path, c.route));
        ASSERT_TRUE(HttpGetText(secure.Url(Widen(c.path)).c_str(), m_buffer));
        EXPECT_STREQ(m_buffer, c.text) << c.path;
    }
    const std::string log = secure.Log();
    EXPECT_EQ(log.find(R"("tls": false)"), std::string::npos) << "nothing over http: " << log;
    std::size_t loops = 0;
    for (std::size_t at = log.find("/loop"); at != std::string::npos;
         at = log.find("/loop", at + 1))
        ++loops;
    EXPECT_EQ(loops, 11u) << "the first request and ten redirects";

    Route("/moved", redirect(302, "/v.html"));
    Route("/v.html", R"({"body": "1.0.0.9"})");
    ASSERT_TRUE(HttpGetText(Url("/moved").c_str(), m_buffer));
    EXPECT_STREQ(m_buffer, "1.0.0.9") << "http to http";
}

// ---- CDlgUpdate ------------------------------------------------------------

class UpdateSplash : public HttpText {
protected:
    void SetUp() override
    {
        HttpText::SetUp();
        m_dir = MakeTempFolder(L"qm-update-");
        ASSERT_FALSE(m_dir.empty());
        m_exe = m_dir + L"run.exe";
        m_temporary = m_exe + L".tmp";
        m_backup = m_exe + L"1.0.0.8";
        m_logFile = m_dir + L"update.log";
        wcsncpy(g_szLogFile, m_logFile.c_str(), std::size(g_szLogFile) - 1);
        NotificationCenter::Instance().AddObserver(NT_START_UP, &m_startUp);

        m_dlg.UseDownloadManager(&m_manager);
        m_dlg.UseUpdateHost(L"127.0.0.1:" + std::to_wstring(Server().Port()));
        m_dlg.UseExecutablePath(m_exe);
        m_dlg.UseDownloadCheck(AcceptAnyDownload);
    }
    void TearDown() override
    {
        NotificationCenter::Instance().RemoveObserver(NT_START_UP, &m_startUp);
        if (m_dlg.m_hWnd)
            m_dlg.DestroyWindow();
        g_szLogFile[0] = L'\0';
        RemoveTree(m_dir);
    }

    // Serves `body` as the version page and runs the check from the splash's
    // own message, as the launcher does; true once it is over.
    bool CheckWithPage(const std::string& routeFields)
    {
        if (!Server().AddRoute(kVersionPage, routeFields) ||
            !Server().AddRoute(kSignaturePath, R"({"size": 64})"))
            return false;
        if (!m_dlg.m_hWnd && !m_dlg.Create(IDD_UPDATE_LOGIN, nullptr))
            return false;
        return qmtest::PumpUntil([&] { return m_startUp.calls > 0 || !m_manager.calls.empty(); },
                                 kWaitMs);
    }

    // The splash as after a check of the same version: on screen, the login
    // posted once; counters cleared for what the test does next.
    void OpenSplash()
    {
        ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.8"})"));
        m_startUp.calls = 0;
        m_manager.calls.clear();
    }
    // After a download: the check, the swap and whatever follows, until the
    // login is posted.
    bool ReplaceAndWait(bool succeeded)
    {
        const int before = m_startUp.calls;
        m_dlg.ReplaceAndRestart(succeeded);
        return qmtest::PumpUntil([&] { return m_startUp.calls > before; }, kWaitMs);
    }
    // Whether another launcher of the install could take the update lock now.
    bool LockIsFree()
    {
        bool taken = false;
        std::thread([&] { taken = InstallUpdateLock().TryAcquire(m_exe); }).join();
        return taken;
    }

    std::string TheLog() { return Content(m_logFile); }

    CWinApp m_app{L"test"};
    CDlgUpdate m_dlg;
    FakeManager m_manager;
    StartUpWitness m_startUp;
    std::wstring m_dir;
    std::wstring m_exe;
    std::wstring m_temporary;
    std::wstring m_backup;
    std::wstring m_logFile;
};

TEST_F(UpdateSplash, ShowsItsPictureAtItsSizeWithoutAFrameAsALayeredWindow)
{
    ASSERT_TRUE(Server().AddRoute(kVersionPage, R"({"body": "1.0.0.8"})"));
    ASSERT_TRUE(m_dlg.Create(IDD_UPDATE_LOGIN, nullptr));
    ASSERT_FALSE(m_dlg.m_image.IsNull());
    EXPECT_EQ(m_dlg.m_image.GetWidth(), 411);
    EXPECT_EQ(m_dlg.m_image.GetHeight(), 184);
    RECT window{};
    m_dlg.GetWindowRect(&window);
    EXPECT_EQ(window.right - window.left, 411);
    EXPECT_EQ(window.bottom - window.top, 184);
    EXPECT_EQ(m_dlg.GetStyle() &
                  (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME),
              0u);
    EXPECT_EQ(m_dlg.GetExStyle() & (WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE), 0u);
    EXPECT_NE(m_dlg.GetExStyle() & WS_EX_LAYERED, 0u);
    EXPECT_EQ(::GetParent(m_dlg.m_hWnd), nullptr);

    // The picture is shown as stored (its colours are premultiplied in the
    // file already): the splash does not premultiply them a second time.
    CImage stored;
    ASSERT_TRUE(LoadPngResource(&stored, 109));
    const auto* shown = static_cast<const BYTE*>(m_dlg.m_image.GetBits());
    const auto* file = static_cast<const BYTE*>(stored.GetBits());
    int softColoured = 0;
    for (int i = 0; i < 411 * 184; ++i) {
        const BYTE* px = file + i * 4;
        softColoured += px[3] > 0 && px[3] < 255 && (px[0] | px[1] | px[2]) != 0;
    }
    ASSERT_GT(softColoured, 0) << "the check needs soft edges that premultiplying would change";
    EXPECT_EQ(std::memcmp(shown, file, 411 * 184 * 4), 0);

    // An opaque pixel of the picture shows on screen as it is stored.
    m_dlg.ShowWindow(SW_SHOW);
    qmtest::PumpPending();
    const BYTE* centre = file + (92 * 411 + 205) * 4;
    ASSERT_EQ(centre[3], 255) << "the sample point is opaque in the picture";
    const HDC screen = ::GetDC(nullptr);
    const COLORREF onScreen = ::GetPixel(screen, window.left + 205, window.top + 92);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(onScreen, RGB(centre[2], centre[1], centre[0]));
}

TEST_F(UpdateSplash, TheCheckRunsFromItsOwnMessageAndAsksForTheVersionPage)
{
    ASSERT_TRUE(Server().AddRoute(kVersionPage, R"({"body": "1.0.0.8"})"));
    ASSERT_TRUE(m_dlg.Create(IDD_UPDATE_LOGIN, nullptr));
    EXPECT_EQ(m_startUp.calls, 0) << "nothing is read while the splash is being created";
    const long long minutes = static_cast<long long>(std::time(nullptr)) / 60;
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(m_manager.Calls(), "") << "the same version downloads nothing";

    const std::string log = Log();
    const std::string asked = std::string(kVersionPage) + "?";
    const size_t at = log.find(asked);
    ASSERT_NE(at, std::string::npos) << log;
    const long long query = std::atoll(log.c_str() + at + asked.size());
    EXPECT_GE(query, minutes - 1);
    EXPECT_LE(query, minutes + 2);
}

TEST_F(UpdateSplash, ANewerVersionQueuesItsDownloadBesideTheExecutable)
{
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9\r\n"})"));
    EXPECT_EQ(m_manager.Calls(), "Start AddTask");
    EXPECT_EQ(m_startUp.calls, 0) << "the splash waits for the download";
    ASSERT_EQ(m_manager.tasks.size(), 1u);
    const DLTaskDesc& task = m_manager.tasks[0];
    EXPECT_EQ(std::wstring(task.szUrl), L"http://127.0.0.1:" + std::to_wstring(Server().Port()) +
                                            L"/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9")
        << "the line end is not sent back";
    EXPECT_EQ(std::wstring(task.szSaveDir), m_dir);
    EXPECT_EQ(std::wstring(task.szFileName), L"run.exe.tmp");
    EXPECT_TRUE(task.bOverwrite);
    EXPECT_EQ(task.nUserData, -1);
    EXPECT_EQ(task.pSink, static_cast<IDLTaskSink*>(&m_dlg));
}

TEST_F(UpdateSplash, AVersionTextOfMoreThanAHundredCharactersIsSentWhole)
{
    // 1.0.0.000...0009: 9 as its last part, so newer than 1.0.0.8.
    const std::string version = "1.0.0." + std::string(150, '0') + "9";
    ASSERT_TRUE(CheckWithPage(R"({"body": ")" + version + R"(\n"})"));
    ASSERT_EQ(m_manager.tasks.size(), 1u);
    const std::wstring url(m_manager.tasks[0].szUrl);
    const std::wstring expected = L"?version=" + Widen(version);
    ASSERT_GE(url.size(), expected.size());
    EXPECT_EQ(url.substr(url.size() - expected.size()), expected)
        << "neither cut at 100 characters nor followed by anything";
}

TEST_F(UpdateSplash, AVersionTextTooLongForTheDownloadAddressStartsTheLogin)
{
    const std::string version = "1.0.0." + std::string(1000, '9');
    ASSERT_TRUE(CheckWithPage(R"({"body": ")" + version + R"("})"));
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(m_manager.Calls(), "") << "no address was cut short";
    EXPECT_NE(TheLog().find(qmtest::Narrow(L"添加任务失败！")), std::string::npos);
}

TEST_F(UpdateSplash, PagesThatNameNoNewerVersionStartTheLogin)
{
    const char* const pages[] = {
        R"({"body": "1.0.0.8"})",
        R"({"body": "1.0.0.8\r\n"})",
        R"({"body": "1.0.0.7"})",
        R"({"body": "0.9.0.0"})",
        R"({"body": ""})",
        R"({"body": "<!DOCTYPE html><html><body>1.0.0.9</body></html>"})",
        R"({"status": 404, "body": "<html><body>Not found</body></html>"})",
        R"({"status": 503, "body": "503 Service Unavailable"})",
    };
    ASSERT_TRUE(Server().AddRoute(kVersionPage, pages[0]));
    ASSERT_TRUE(m_dlg.Create(IDD_UPDATE_LOGIN, nullptr));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    for (const char* page : pages) {
        m_startUp.calls = 0;
        ASSERT_TRUE(Server().AddRoute(kVersionPage, page));
        m_dlg.CheckVersion();
        EXPECT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs)) << page;
        EXPECT_EQ(m_startUp.calls, 1) << page;
    }
    EXPECT_EQ(m_manager.Calls(), "");
}

TEST_F(UpdateSplash, AnExceptionFromStartIsReportedAndTheLoginFollows)
{
    m_manager.fault = FakeManager::Fault::StartRaises;
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    EXPECT_EQ(m_manager.reports, 1);
    EXPECT_EQ(m_manager.reportType, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(m_manager.Calls(), "Start Stop") << "no task is queued on a failed start";
}

TEST_F(UpdateSplash, AnExceptionFromAddTaskIsReportedAndTheLoginFollows)
{
    m_manager.fault = FakeManager::Fault::AddTaskRaises;
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    EXPECT_EQ(m_manager.reports, 1);
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(m_manager.Calls(), "Start AddTask Stop") << "the idle worker is stopped";
}

TEST_F(UpdateSplash, ARefusedTaskLetsTheLoginFollow)
{
    m_manager.fault = FakeManager::Fault::AddTaskRefuses;
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    EXPECT_EQ(m_startUp.calls, 1) << "no end would ever be reported for a refused task";
    EXPECT_EQ(m_manager.reports, 0);
    EXPECT_EQ(m_manager.Calls(), "Start AddTask Stop");
}

TEST_F(UpdateSplash, TheSinkHandsTheBeginningAndTheEndToTheSplashWindow)
{
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.8"})"));
    const HWND splash = m_dlg.m_hWnd;
    const DWORD uiThread = ::GetCurrentThreadId();

    FakeTask done(DLS_DONE);
    FakeTask failed(DLS_FAILED);
    IDLTask* const tasks[] = {&done, &failed, nullptr};
    const LPARAM expected[] = {1, 0, 0};
    for (int i = 0; i < 3; ++i) {
        DWORD sinkThread = 0;
        std::thread worker([&] {
            sinkThread = ::GetCurrentThreadId();
            m_dlg.OnTaskBegin(tasks[i]);
            m_dlg.OnTaskProgress(tasks[i]);
            m_dlg.OnTaskEnd(tasks[i]);
        });
        worker.join();
        EXPECT_NE(sinkThread, uiThread);
        MSG msg{};
        if (tasks[i]) {
            // The beginning shows at once; progress within 100 ms of it waits.
            ASSERT_TRUE(::PeekMessageW(&msg, splash, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << i;
            EXPECT_EQ(msg.wParam, MAKEWPARAM(ID_UPDATE_PROGRESS, 0)) << i;
        }
        ASSERT_TRUE(::PeekMessageW(&msg, splash, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << i;
        EXPECT_EQ(msg.wParam, MAKEWPARAM(ID_UPDATE_FINISHED, 0));
        EXPECT_EQ(msg.lParam, expected[i]) << i;
        EXPECT_FALSE(::PeekMessageW(&msg, splash, WM_COMMAND, WM_COMMAND, PM_REMOVE))
            << "one message per end, and the window is never touched otherwise";
    }
}

TEST_F(UpdateSplash, AFailedDownloadStopsTheManagerRenamesNothingAndStartsTheLogin)
{
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_temporary, "new"));
    m_dlg.PostMessage(WM_COMMAND, MAKEWPARAM(ID_UPDATE_FINISHED, 0), 0);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 0; }, kWaitMs));
    EXPECT_EQ(m_manager.Calls(), "Start AddTask Stop");
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_FALSE(Exists(m_temporary)) << "what a failed download left is removed";
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_TRUE(LockIsFree());
}

// A download that is refused for its signature is removed, never run, and
// remembered: the version is not fetched again while the page names it,
// another one is.
TEST_F(UpdateSplash, ARefusedDownloadIsRemovedAndItsVersionNotFetchedAgain)
{
    m_dlg.UseDownloadCheck(CheckDownloadedUpdate);
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_temporary, "new"));
    ASSERT_TRUE(WriteWholeFile(m_temporary + L".fdl", "part of an earlier download"));
    ASSERT_TRUE(ReplaceAndWait(true));
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_FALSE(Exists(m_temporary));
    EXPECT_FALSE(Exists(m_temporary + L".fdl"));
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_EQ(Content(m_exe + L"1.0.0.9.refused"), "") << "an empty mark";
    EXPECT_NE(TheLog().find("Update refused: the signature matches no update key"),
              std::string::npos)
        << TheLog();
    for (const auto& [page, fetched] : {std::pair{"1.0.0.9", false}, std::pair{"1.0.0.10", true}}) {
        m_manager.calls.clear();
        const int before = m_startUp.calls;
        ASSERT_TRUE(Server().AddRoute(kVersionPage, std::string(R"({"body": ")") + page + "\"}"));
        m_dlg.CheckVersion();
        ASSERT_TRUE(qmtest::PumpUntil(
            [&] { return m_startUp.calls > before || !m_manager.calls.empty(); }, kWaitMs));
        EXPECT_EQ(m_manager.Calls(), fetched ? "Start AddTask" : "") << page;
    }
}

TEST_F(UpdateSplash, AMissingDownloadPutsTheExecutableBack)
{
    OpenSplash();
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(ReplaceAndWait(true)) << TheLog();
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_FALSE(Exists(m_temporary));
    EXPECT_NE(TheLog().find(qmtest::Narrow(L"重命名和启动新进程遭遇Exception[Error Code = 2]！")),
              std::string::npos)
        << TheLog();
}

TEST_F(UpdateSplash, ANewExecutableThatCannotStartIsKeptAsAFailedBuildAndNotFetchedAgain)
{
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_temporary, "this is not a program"));
    ASSERT_TRUE(ReplaceAndWait(true));
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_FALSE(Exists(m_temporary));
    EXPECT_EQ(Content(m_exe + L"1.0.0.9.failed"), "this is not a program");
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_TRUE(LockIsFree()) << "held until the undo was done, then given back";
    m_manager.calls.clear();
    m_dlg.CheckVersion();
    EXPECT_TRUE(qmtest::PumpUntil([&] { return m_startUp.calls > 1; }, kWaitMs));
    EXPECT_EQ(m_startUp.calls, 2);
    EXPECT_EQ(m_manager.Calls(), "") << "the failed version is not fetched again";
    EXPECT_NE(TheLog().find(qmtest::Narrow(L"启动新进程失败[Error Code = 193]！" + m_exe)),
              std::string::npos)
        << TheLog();
}

TEST_F(UpdateSplash, AnEarlierBackupOfTheSameNameIsDeletedFirst)
{
    OpenSplash();
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_temporary, "not a program"));
    ASSERT_TRUE(WriteWholeFile(m_backup, "backup of an earlier update"));
    ASSERT_TRUE(ReplaceAndWait(true));
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_FALSE(Exists(m_backup)) << "deleted, then used and given back";
    EXPECT_EQ(TheLog().find(qmtest::Narrow(L"删除同名文件失败")), std::string::npos);
}

TEST_F(UpdateSplash, ABackupThatCannotBeDeletedGivesWayToARandomName)
{
    OpenSplash();
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_temporary, "not a program"));
    ASSERT_TRUE(WriteWholeFile(m_backup, "read-only backup"));
    ASSERT_TRUE(::SetFileAttributesW(m_backup.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(ReplaceAndWait(true));
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_EQ(Content(m_backup), "read-only backup");
    EXPECT_NE(
        TheLog().find(qmtest::Narrow(L"删除同名文件失败:" + m_backup + L"，将使用随机名字。")),
        std::string::npos)
        << TheLog();
    EXPECT_NE(TheLog().find(qmtest::Narrow(L"启动新进程失败[Error Code = 193]！")),
              std::string::npos)
        << "the swap went on under the random name and was put back";
}

TEST_F(UpdateSplash, AStopThatRaisesIsReportedAndTheLoginFollows)
{
    OpenSplash();
    m_manager.fault = FakeManager::Fault::StopRaises;
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(ReplaceAndWait(false));
    EXPECT_EQ(m_manager.reports, 1);
    EXPECT_EQ(m_startUp.calls, 1);
    EXPECT_EQ(Content(m_exe), "old");
}

// Closing the splash skips the download (Esc does the same: the end-to-end
// tests press it): the login follows at once, and the files and the lock
// are given up when the worker has ended the download.
TEST_F(UpdateSplash, ClosingTheSplashSkipsTheDownload)
{
    ASSERT_TRUE(CheckWithPage(R"({"body": "1.0.0.9"})"));
    ASSERT_TRUE(WriteWholeFile(m_temporary + L".fdl", "part"));
    m_dlg.SendMessage(WM_CLOSE, 0, 0);
    EXPECT_EQ(m_startUp.calls, 1) << "the login follows at once";
    EXPECT_EQ(m_manager.Calls(), "Start AddTask Cancel");
    EXPECT_FALSE(LockIsFree()) << "the download still runs";
    m_dlg.PostMessage(WM_COMMAND, MAKEWPARAM(ID_UPDATE_FINISHED, 0), 0);
    ASSERT_TRUE(qmtest::PumpUntil([&] { return LockIsFree(); }, kWaitMs));
    EXPECT_EQ(m_manager.Calls(), "Start AddTask Cancel Stop");
    EXPECT_FALSE(Exists(m_temporary + L".fdl"));
    EXPECT_EQ(m_startUp.calls, 1) << "once";
}

// ---- in the game window ----------------------------------------------------

TEST(UpdateSplashOfTheGameWindow, ShownCentredAtStartAndHiddenWhenTheLoginStarts)
{
    qmtest::TestServer server;
    ASSERT_TRUE(server.Started());
    ASSERT_TRUE(server.AddRoute(kVersionPage, R"({"body": "1.0.0.8"})"));
    FakeManager manager;
    StartUpWitness startUp;

    CTesselApp app;
    ASSERT_TRUE(app.InitInstance()); // posts NT_CHECK_UPDATE
    auto* const game = dynamic_cast<CWndGame*>(app.m_pMainWnd);
    ASSERT_NE(game, nullptr);
    CDlgUpdate& splash = game->m_dlgUpdate;
    ASSERT_NE(splash.m_hWnd, nullptr) << "created by NT_CHECK_UPDATE";
    // The check has not run yet: it waits for the message loop.
    splash.UseUpdateHost(L"127.0.0.1:" + std::to_wstring(server.Port()));
    splash.UseDownloadManager(&manager);

    EXPECT_TRUE(splash.IsWindowVisible());
    EXPECT_EQ(::GetWindow(splash.m_hWnd, GW_OWNER), nullptr) << "made without a parent";
    RECT window{};
    splash.GetWindowRect(&window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(splash.m_hWnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_LE(std::abs((window.left + window.right) - (monitor.rcWork.left + monitor.rcWork.right)),
              2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)),
              2);

    NotificationCenter::Instance().AddObserver(NT_START_UP, &startUp);
    const bool over = qmtest::PumpUntil([&] { return startUp.calls > 0; }, kWaitMs);
    NotificationCenter::Instance().RemoveObserver(NT_START_UP, &startUp);
    ASSERT_TRUE(over);
    EXPECT_EQ(manager.Calls(), "");
    EXPECT_TRUE(::IsWindow(splash.m_hWnd)) << "hidden, not destroyed";
    EXPECT_FALSE(splash.IsWindowVisible());
    EXPECT_TRUE(splash.m_image.IsNull()) << "its picture is dropped with it";

    // Another NT_CHECK_UPDATE shows the same window again.
    const HWND first = splash.m_hWnd;
    Notification checkUpdate(NT_CHECK_UPDATE, 0, 0, 0);
    NotificationCenter::Instance().Post(&checkUpdate);
    EXPECT_EQ(splash.m_hWnd, first);
    EXPECT_TRUE(splash.IsWindowVisible());

    game->DestroyWindow();
    qmtest::PumpPending();
}

// ---- ExecutableSwap ----------------------------------------------------------

class Swap : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = MakeTempFolder(L"qm-swap-");
        ASSERT_FALSE(m_dir.empty());
        m_exe = m_dir + L"run.exe";
    }
    void TearDown() override { RemoveTree(m_dir); }

    std::wstring m_dir;
    std::wstring m_exe;
};

TEST_F(Swap, AppliesAndUndoesInTheOrderOfTheFiles)
{
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    ASSERT_TRUE(WriteWholeFile(m_exe + L".tmp", "new"));
    ExecutableSwap swap(m_exe);
    swap.ChooseBackup();
    EXPECT_EQ(swap.Backup(), m_exe + L"1.0.0.8");
    EXPECT_EQ(swap.Apply(), 0u);
    EXPECT_EQ(Content(m_exe), "new");
    EXPECT_EQ(Content(m_exe + L"1.0.0.8"), "old");
    EXPECT_FALSE(Exists(m_exe + L".tmp"));
    EXPECT_TRUE(swap.Undo());
    EXPECT_EQ(Content(m_exe), "old");
    EXPECT_EQ(Content(m_exe + L".tmp"), "new");
    EXPECT_FALSE(Exists(m_exe + L"1.0.0.8"));
    swap.KeepFailedBuild("1.0.1");
    EXPECT_EQ(Content(m_exe + L"1.0.1.0.failed"), "new");
    EXPECT_FALSE(Exists(m_exe + L".tmp"));
}

TEST_F(Swap, AFolderOfTheBackupNameGivesWayToARandomName)
{
    ASSERT_TRUE(::CreateDirectoryW((m_exe + L"1.0.0.8").c_str(), nullptr));
    ExecutableSwap swap(m_exe);
    swap.ChooseBackup();
    const std::wstring suffix = swap.Backup().substr(m_exe.size());
    EXPECT_FALSE(suffix.empty());
    EXPECT_LE(suffix.size(), 4u);
    EXPECT_EQ(suffix.find_first_not_of(L"0123456789"), std::wstring::npos) << "0 to 9999";
}

// Opens `file` as a virus scanner does, without sharing its deletion.
UniqueHandle Hold(const std::wstring& file)
{
    return UniqueHandle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// An undo that cannot rename never leaves the executable's name empty: the
// old launcher is copied back when its backup stays held, and put in place of
// a new build that will not leave.
TEST_F(Swap, AnUndoThatCannotRenameStillPutsTheOldLauncherBack)
{
    ASSERT_TRUE(WriteWholeFile(m_exe, "old"));
    {
        // The download is gone: the first rename is done, the second fails.
        ExecutableSwap swap(m_exe, {}, 300);
        swap.ChooseBackup();
        EXPECT_EQ(swap.Apply(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        const UniqueHandle held = Hold(swap.Backup());
        ASSERT_TRUE(held);
        EXPECT_TRUE(swap.Undo());
        EXPECT_EQ(Content(m_exe), "old") << "copied";
        EXPECT_EQ(Content(swap.Backup()), "old") << "the held backup stays";
    }
    ::DeleteFileW((m_exe + L"1.0.0.8").c_str());
    {
        ASSERT_TRUE(WriteWholeFile(m_exe + L".tmp", "new"));
        ExecutableSwap swap(m_exe, {}, 300);
        swap.ChooseBackup();
        ASSERT_EQ(swap.Apply(), 0u);
        // Something took the temporary name meanwhile: the new file cannot go back.
        ASSERT_TRUE(WriteWholeFile(m_exe + L".tmp", "in the way"));
        EXPECT_TRUE(swap.Undo());
        EXPECT_EQ(Content(m_exe), "old") << "the executable's name must hold a launcher that runs";
        EXPECT_FALSE(Exists(m_exe + L"1.0.0.8"));
        EXPECT_FALSE(swap.OldMoved());
        EXPECT_FALSE(swap.NewMoved());
    }
}

// A failed build that cannot be kept under its name is replaced by an empty
// mark of that name, so its version is still not fetched again.
TEST_F(Swap, AFailedBuildThatCannotBeMovedLeavesItsMark)
{
    ASSERT_TRUE(WriteWholeFile(m_exe + L".tmp", "new"));
    ASSERT_TRUE(::CreateDirectoryW((m_exe + L"1.0.0.9.failed").c_str(), nullptr));
    ASSERT_TRUE(WriteWholeFile(m_exe + L"1.0.0.9.failed\\inside", "x"));
    ExecutableSwap swap(m_exe, {}, 300);
    swap.KeepFailedBuild("1.0.0.9");
    EXPECT_FALSE(Exists(m_exe + L".tmp"));
    EXPECT_TRUE(Exists(m_exe + L"1.0.0.9.failed"));
}

// After a confirmed update, backups and marks of earlier versions go; one
// another program holds for longer than the waits stays for the next update.
TEST_F(Swap, LeftoversOfEarlierUpdatesAreRemovedButHeldOnesStay)
{
    const std::wstring gone[] = {m_exe + L"1.0.0.7", m_exe + L"4711", m_exe + L"1.0.0.9.failed",
                                 m_exe + L"1.0.0.10.refused"};
    const std::wstring kept[] = {m_exe + L"1.0.0.8", m_exe + L".log", m_exe + L"1.0.0.6"};
    for (const std::wstring& file : gone)
        ASSERT_TRUE(WriteWholeFile(file, ""));
    for (const std::wstring& file : kept)
        ASSERT_TRUE(WriteWholeFile(file, "kept"));
    {
        const UniqueHandle held = Hold(kept[2]);          // an old launcher still running
        ExecutableSwap(m_exe, {}, 300).RemoveLeftovers(); // the backup just made: 1.0.0.8
    }
    for (const std::wstring& file : gone)
        EXPECT_FALSE(Exists(file)) << qmtest::Narrow(file);
    for (const std::wstring& file : kept)
        EXPECT_EQ(Content(file), "kept") << qmtest::Narrow(file);
}

// ---- launchers of one install ------------------------------------------------

TEST(InstallCoordination, NamesEndInTheFoldedPathsHashAsSixteenLowerCaseHexDigits)
{
    // Launchers of other versions look for these names, so their spelling stays:
    // FNV-1a 64 of the upper-cased path, zero-padded, in the machine's namespace
    // and, as launchers of earlier builds have it, the session's. The empty path
    // hashes to the FNV offset basis; the other path's hash starts with two zeros.
    EXPECT_EQ(InstallObjectName(L"Started", L""), L"Global\\Quillmoor.Started.cbf29ce484222325");
    EXPECT_EQ(InstallObjectName(L"Update", L"c:\\g65\\q.EXE"),
              L"Global\\Quillmoor.Update.005c2701ae5007b1");
    EXPECT_EQ(InstallObjectName(L"Update", L"c:\\g65\\q.EXE", ObjectScope::Session),
              L"Local\\Quillmoor.Update.005c2701ae5007b1");
}

TEST(InstallCoordination, NamesFollowThePathWithoutCaseAndTheLockHasOneHolder)
{
    EXPECT_EQ(InstallObjectName(L"Update", L"C:\\Games\\Quillmoor.exe"),
              InstallObjectName(L"Update", L"c:\\GAMES\\quillmoor.EXE"));
    EXPECT_NE(InstallObjectName(L"Update", L"C:\\Games\\Quillmoor.exe"),
              InstallObjectName(L"Update", L"D:\\Games\\Quillmoor.exe"));
    EXPECT_NE(InstallObjectName(L"Update", L"C:\\Games\\Quillmoor.exe"),
              InstallObjectName(L"Started", L"C:\\Games\\Quillmoor.exe"));

    const std::wstring exe = L"C:\\qm-lock-test\\" + std::to_wstring(::GetCurrentProcessId());
    const auto takenElsewhere = [&] {
        bool taken = false;
        std::thread([&] { taken = InstallUpdateLock().TryAcquire(exe); }).join();
        return taken;
    };
    InstallUpdateLock lock;
    ASSERT_TRUE(lock.TryAcquire(exe));
    EXPECT_FALSE(takenElsewhere()) << "another launcher of the install finds it held";
    lock.Release();
    EXPECT_TRUE(takenElsewhere()) << "given back, it can be taken";
}

// Names another user's launcher made, or that someone holds open already.
TEST(InstallCoordination, NamesThatCannotBeUsedAreNeitherTakenNorTrusted)
{
    const std::wstring exe = L"C:\\qm-names-test\\" + std::to_wstring(::GetCurrentProcessId());
    // A mutex this user may not open, as another user's would be: held.
    SECURITY_DESCRIPTOR nobody{};
    ASSERT_TRUE(::InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION));
    ACL empty{};
    ASSERT_TRUE(::InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_TRUE(::SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES closed{sizeof closed, &nobody, FALSE};
    const UniqueHandle othersMutex(
        ::CreateMutexW(&closed, FALSE, InstallObjectName(L"Update", exe).c_str()));
    ASSERT_TRUE(othersMutex);
    EXPECT_FALSE(InstallUpdateLock().TryAcquire(exe));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A machine's event open elsewhere already: the session's stands in, and
    // the new launcher's confirmation reaches it. Any program serves as the
    // new launcher here; the test confirms for it.
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring started = std::wstring(system) + L"\\hostname.exe";
    const UniqueHandle squatted(
        ::CreateEventW(nullptr, TRUE, FALSE, InstallObjectName(L"Started", started).c_str()));
    ASSERT_TRUE(squatted);
    LauncherHandOver handOver;
    DWORD error = 0;
    ASSERT_TRUE(handOver.Start(started, 10000, error)) << error;
    ::SetEvent(squatted.get());
    EXPECT_NE(handOver.Poll(), LauncherHandOver::State::Confirmed) << "not this hand-over's event";
    ConfirmLauncherStarted(started);
    EXPECT_EQ(handOver.Poll(), LauncherHandOver::State::Confirmed);
}

// ---- the signature check ----------------------------------------------------

// The file is hashed in blocks: around every block boundary, the digest is
// the one of the signed prefix and the whole file taken at once.
TEST(UpdateSignature, TheDigestCoversThePrefixAndEveryByteAcrossBlockBoundaries)
{
    const std::wstring dir = MakeTempFolder(L"qm-signature-");
    ASSERT_FALSE(dir.empty());
    const std::wstring file = dir + L"download.tmp";
    for (const size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{65537},
                              size_t{2 * 65536 + 5}}) {
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i)
            content[i] = static_cast<char>((i * 131) >> 3);
        ASSERT_TRUE(WriteWholeFile(file, content));
        Sha256Digest fromFile{};
        ASSERT_EQ(HashSignedUpdate(file, "1.0.0.9", fromFile), SignatureCheck::Verified) << size;
        Sha256Hasher whole;
        const std::string message = "quillmoor-update-v1\n1.0.0.9\n" + content;
        whole.Add(message.data(), message.size());
        Sha256Digest expected{};
        ASSERT_TRUE(whole.Finish(expected));
        EXPECT_EQ(fromFile, expected) << size << " bytes";
    }
    // Known answer: SHA-256 of the prefix alone, as the publishing tool signs it.
    ASSERT_TRUE(WriteWholeFile(file, ""));
    Sha256Digest empty{};
    ASSERT_EQ(HashSignedUpdate(file, "1.0.0.9", empty), SignatureCheck::Verified);
    const Sha256Digest known = {0xdd, 0x5c, 0xda, 0x22, 0x39, 0xc6, 0x79, 0xc1, 0xc3, 0xfe, 0xce,
                                0x0e, 0xe9, 0x9a, 0xc3, 0xad, 0x0a, 0xc2, 0x5e, 0x01, 0x3e, 0xdf,
                                0x51, 0x02, 0x14, 0xff, 0x7c, 0x3c, 0x9a, 0x81, 0x5e, 0x1e};
    EXPECT_EQ(empty, known);
    EXPECT_EQ(HashSignedUpdate(dir + L"absent.exe", "1.0.0.9", empty),
              SignatureCheck::FileUnreadable);
    RemoveTree(dir);
}

// The publishing tool's signature verifies under the compiled-in keys, for
// its version only. The time a check of the whole launcher takes is printed
// for the record.
TEST(UpdateSignature, APublishedSignatureVerifiesForItsVersionOnly)
{
    const std::string site =
        std::string(QM_BINARY_DIR) + "/update-sites/signed/clientkv3/portHatch/";
    std::string raw;
    ASSERT_TRUE(ReadWholeFile(qmtest::WindowsPathOfUnixPath(site + "qlm_Orbo.exe.sig"), raw));
    ASSERT_EQ(raw.size(), kUpdateSignatureBytes);
    UpdateSignature signature{};
    std::copy(raw.begin(), raw.end(), signature.begin());
    const std::wstring exe = qmtest::WindowsPathOfUnixPath(site + "qlm_Orbo.exe");
    EXPECT_EQ(VerifyUpdateFile(exe, "1.0.0.9", signature), SignatureCheck::Verified);
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(VerifyUpdateFile(qmtest::LauncherPath(), "1.0.0.9", signature),
              SignatureCheck::Mismatch);
    std::cout << "[ measured ] checking the launcher's signature: " << ::GetTickCount64() - started
              << " ms for " << qmtest::Content(qmtest::LauncherPath()).size() << " bytes\n";
    EXPECT_EQ(VerifyUpdateFile(exe, "1.0.0.90", signature), SignatureCheck::Mismatch);
    signature[40] ^= 1;
    EXPECT_EQ(VerifyUpdateFile(exe, "1.0.0.9", signature), SignatureCheck::Mismatch);
}

} // namespace
