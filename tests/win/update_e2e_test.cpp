// The real launcher's update under Wine, end to end: a copy of Quillmoor.exe
// in a fresh folder per test, the local test server on the compiled-in update
// host serving the version page and the new executable, and what follows on
// screen, on disk, in the server's request log and in the process list. The
// new executable served is a stand-in (fake_new_launcher.exe) that leaves a
// marker beside itself when it is started; its signatures come from the
// update sites the build publishes with the real publishing tool. With the
// embedded default hosts all of it goes over TLS, the server showing the
// demo CA's certificate for localhost that the Wine prefix trusts.
#include "common/deploy_config.h"
#include "common/site_address.h"
#include "framework/handles.h"
#include "framework/image.h"
#include "skin/png_resource.h"
#include "support/test_files.h"
#include "support/test_server.h"
#include "support/test_support.h"
#include "update/splash_picture.h"
#include "update/update_handover.h"

#include <winsock2.h>
// After winsock2.h, which must precede windows.h.
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 20000;  // bound of every wait that should succeed
constexpr int kSplashWidth = 411; // the splash picture's size
constexpr int kSplashHeight = 184;
constexpr int kLoginWidth = 1194; // the login picture's size
constexpr int kLoginHeight = 685;
constexpr DWORD kStartUpBoundMs = 30000;  // a stalled server must not hold the start longer
constexpr DWORD kRollBackBoundMs = 45000; // a new build that fails: the login within this
const char kVersionPage[] = "/clientkv3/portHatch/qlm_Orbo.html";
const char kExecutablePath[] = "/clientkv3/portHatch/qlm_Orbo.exe";
const char kSignaturePath[] = "/clientkv3/portHatch/qlm_Orbo.exe.sig";
// No test needs its server longer; should a test fail to stop it, it stops by itself.
constexpr int kServerSeconds = 60;
const wchar_t kMarkerName[] = L"new-launcher-started.txt";
const std::wstring kExeName = L"Quillmoor.exe";

using qmtest::Content;
using qmtest::Exists;
using qmtest::Narrow;
using qmtest::ReadWholeFile;
using qmtest::RemoveTree;
using qmtest::SameBytes;
using qmtest::Tls;
using qmtest::WriteWholeFile;

// ---- the update host --------------------------------------------------------

// Whether something accepts connections on 127.0.0.1:port.
bool SomethingListensOn(unsigned short port)
{
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return false;
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    bool connected = false;
    if (probe != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(port);
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        connected =
            ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::closesocket(probe);
    }
    ::WSACleanup();
    return connected;
}

// ---- the launcher's windows ------------------------------------------------

// The process's top-level window of a picture's size, when `visibleOnly`
// only while it is on screen.
HWND FindWindowOfSize(DWORD processId, int width, int height, bool visibleOnly)
{
    for (const HWND hwnd : qmtest::ProcessWindows(processId)) {
        if (visibleOnly && !::IsWindowVisible(hwnd))
            continue;
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        if (r.right - r.left == width && r.bottom - r.top == height)
            return hwnd;
    }
    return nullptr;
}

HWND FindSplash(DWORD processId, bool visibleOnly = true)
{
    return FindWindowOfSize(processId, kSplashWidth, kSplashHeight, visibleOnly);
}

// Whether a DLL of that file name is loaded in the process.
bool HasModule(DWORD processId, const wchar_t* name)
{
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
    if (!snapshot)
        return false;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = ::Module32FirstW(snapshot.get(), &module); more;
         more = ::Module32NextW(snapshot.get(), &module))
        if (_wcsicmp(module.szModule, name) == 0)
            return true;
    return false;
}

size_t CountOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A file of one of the signed update sites the build publishes.
std::string SiteFile(const std::string& site, const std::string& name)
{
    return std::string(QM_BINARY_DIR) + "/update-sites/" + site + "/clientkv3/portHatch/" + name;
}
std::string Serve(const std::string& unixPath)
{
    return R"({"body_file": ")" + unixPath + R"("})";
}
std::string SignatureOf(const std::string& site)
{
    return Serve(SiteFile(site, "qlm_Orbo.exe.sig"));
}

// The process's top-level windows, for a failure message.
std::string DescribeWindows(DWORD processId)
{
    std::string out;
    for (const HWND hwnd : qmtest::ProcessWindows(processId)) {
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        out += " [" + Narrow(qmtest::WindowClass(hwnd)) + " " + std::to_string(r.right - r.left) +
               "x" + std::to_string(r.bottom - r.top) +
               (::IsWindowVisible(hwnd) ? " shown" : " hidden") + "]";
    }
    return out.empty() ? " none" : out;
}

// Whether opaque points of the splash picture show on screen as drawn: the
// middle of the scroll and a point of its caption.
::testing::AssertionResult PictureIsOnScreen(HWND splash)
{
    CImage picture;
    if (!LoadPngResource(&picture, 109))
        return ::testing::AssertionFailure() << "the picture is not in the test's resources";
    RECT window{};
    ::GetWindowRect(splash, &window);
    const POINT points[] = {{205, 92}, {100, 60}, {300, 130}};
    const HDC screen = ::GetDC(nullptr);
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    for (const POINT& p : points) {
        const auto* px =
            static_cast<const BYTE*>(picture.GetBits()) + p.y * picture.GetPitch() + p.x * 4;
        const COLORREF drawn = RGB(px[2], px[1], px[0]);
        const COLORREF shown = ::GetPixel(screen, window.left + p.x, window.top + p.y);
        if (px[3] == 255 && shown != drawn) {
            result = ::testing::AssertionFailure()
                     << "at (" << p.x << ", " << p.y << ") the screen shows " << std::hex << shown
                     << " instead of " << drawn;
            break;
        }
    }
    ::ReleaseDC(nullptr, screen);
    return result;
}

// ---- the fixture ---------------------------------------------------------------

class UpdateE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_port = qmtest::LoopbackPort(QM_UPDATE_HOST);
        ASSERT_NE(m_port, 0) << "these tests serve the compiled-in update host, which must be "
                                "https://localhost:<port> or http://127.0.0.1:<port>; it is "
                             << Narrow(QM_UPDATE_HOST);
        // A server of an earlier test may still be closing.
        ASSERT_TRUE(qmtest::PumpUntil([&] { return !SomethingListensOn(m_port); }, 10000))
            << "127.0.0.1:" << m_port
            << " is busy: another server (the demo portal, an update server, an earlier test) "
               "listens on the launcher's update port; stop it and run the tests again";

        m_dir = qmtest::MakeTempFolder(L"qm-update-e2e-");
        ASSERT_FALSE(m_dir.empty()) << ::GetLastError();
        m_exe = m_dir + kExeName;
        m_temporary = m_exe + L".tmp";
        m_backup = m_exe + L"1.0.0.8";
        // A copy, so the build's own launcher is never renamed.
        ASSERT_TRUE(::CopyFileW(qmtest::LauncherPath().c_str(), m_exe.c_str(), TRUE))
            << ::GetLastError();
        ASSERT_TRUE(ReadWholeFile(m_exe, m_original));
        ASSERT_TRUE(ReadWholeFile(qmtest::ExeDirectory() + L"fake_new_launcher.exe", m_new))
            << "fake_new_launcher.exe is built beside the tests";
        ASSERT_NE(m_original, m_new);
    }

    void TearDown() override
    {
        m_launcher.Terminate();
        qmtest::TerminateProcessesOf(m_exe); // a new launcher that was started
        if (m_server) {
            m_server.reset();
            qmtest::PumpUntil([&] { return !SomethingListensOn(m_port); }, 10000);
        }
        // The stand-in may still be finishing after writing its marker.
        qmtest::PumpUntil(
            [&] {
                RemoveTree(m_dir);
                return !Exists(m_dir);
            },
            5000);
    }

    // The certificate the update host shows when all is well: the demo CA's
    // for localhost over https, none over plain http.
    static Tls Trusted() { return IsHttpsAddress(QM_UPDATE_HOST) ? Tls::kLocalhost : Tls::kNone; }
    void StartServer(Tls tls = Trusted())
    {
        if (m_server) {
            m_server.reset();
            ASSERT_TRUE(qmtest::PumpUntil([&] { return !SomethingListensOn(m_port); }, 10000));
        }
        m_server = std::make_unique<qmtest::TestServer>(kServerSeconds, m_port, tls);
        ASSERT_TRUE(m_server->Started()) << "the test server could not take 127.0.0.1:" << m_port;
    }
    // The version page's route for `body`; a pause of two seconds before it
    // answers keeps the splash on screen long enough to be seen, also on a
    // loaded machine. `body` goes into the JSON as it is, so JSON escapes work.
    static std::string VersionAnswer(const std::string& body)
    {
        return R"({"body": ")" + body + R"(", "stall_before_headers": 2})";
    }
    static std::string StandIn()
    {
        return std::string(QM_BINARY_DIR) + "/bin/fake_new_launcher.exe";
    }
    // Starts the update server with the version page's route, the new
    // executable's (the stand-in unless other fields are given) and its
    // signature's (the test key's signature of the stand-in as 1.0.0.9 unless
    // given), then the launcher.
    void LaunchWith(const std::string& versionRoute, const std::string& executableRoute = "",
                    const std::string& signatureRoute = "")
    {
        StartServer();
        if (HasFatalFailure())
            return;
        Route(versionRoute, executableRoute, signatureRoute);
        if (HasFatalFailure())
            return;
        Launch();
    }
    void Route(const std::string& versionRoute, const std::string& executableRoute,
               const std::string& signatureRoute)
    {
        ASSERT_TRUE(m_server->AddRoute(kVersionPage, versionRoute)) << versionRoute;
        const std::string executable = executableRoute.empty() ? Serve(StandIn()) : executableRoute;
        ASSERT_TRUE(m_server->AddRoute(kExecutablePath, executable)) << executable;
        const std::string signature =
            signatureRoute.empty() ? SignatureOf("signed") : signatureRoute;
        ASSERT_TRUE(m_server->AddRoute(kSignaturePath, signature)) << signature;
    }

    void Launch()
    {
        ASSERT_TRUE(m_launcher.Start(m_exe, m_dir)) << ::GetLastError();
        m_launched = ::GetTickCount64();
    }
    // Waits for the splash to be on screen.
    HWND WaitForSplash()
    {
        HWND splash = nullptr;
        ULONGLONG last = ::GetTickCount64();
        m_polls = 0;
        m_maxGap = 0;
        m_firstMade = 0;
        qmtest::PumpUntil(
            [&] {
                const ULONGLONG now = ::GetTickCount64();
                if (now - last > m_maxGap)
                    m_maxGap = now - last;
                last = now;
                ++m_polls;
                if (!m_firstMade && FindSplash(m_launcher.Id(), false))
                    m_firstMade = now - m_launched;
                splash = FindSplash(m_launcher.Id());
                return splash != nullptr || !m_launcher.IsRunning();
            },
            kWaitMs);
        m_seenAfter = ::GetTickCount64() - m_launched;
        return splash;
    }
    // Waits for the login window to be on screen, its process running.
    bool WaitForTheLogin(DWORD timeoutMs = kWaitMs)
    {
        return qmtest::PumpUntil(
                   [&] {
                       return FindWindowOfSize(m_launcher.Id(), kLoginWidth, kLoginHeight, true) ||
                              !m_launcher.IsRunning();
                   },
                   timeoutMs) &&
               m_launcher.IsRunning();
    }
    // The old launcher runs on under the executable's name, and the new
    // build is kept aside; nothing else is left.
    void ExpectRolledBack()
    {
        EXPECT_TRUE(m_launcher.IsRunning());
        EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
        EXPECT_TRUE(SameBytes(Content(m_exe + L"1.0.0.9.failed"), m_new, "the failed build"));
        EXPECT_FALSE(Exists(m_backup));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_FALSE(Exists(m_temporary + L".fdl"));
    }
    // Waits for the splash to give way to the login: hidden, its process running.
    bool WaitForSplashToGiveWay(HWND splash, DWORD timeoutMs = kWaitMs)
    {
        return qmtest::PumpUntil([&] { return !::IsWindowVisible(splash); }, timeoutMs) &&
               ::IsWindow(splash) && m_launcher.IsRunning();
    }

    std::string Log() { return m_server ? m_server->Log() : std::string(); }
    bool Asked(const std::string& pathAndQuery)
    {
        return Log().find("\"path\": \"" + pathAndQuery + "\"") != std::string::npos;
    }
    bool AskedForTheExecutable()
    {
        return Log().find(std::string(kExecutablePath) + "?") != std::string::npos;
    }

    // The start went on with the running version: nothing renamed, nothing
    // left beside the executable, and nothing downloaded unless `downloaded`.
    void ExpectNoUpdate(bool downloaded = false)
    {
        EXPECT_TRUE(m_launcher.IsRunning());
        EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
        EXPECT_FALSE(Exists(m_backup));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_FALSE(Exists(m_temporary + L".fdl"));
        EXPECT_FALSE(Exists(m_dir + kMarkerName));
        if (m_server) {
            EXPECT_NE(Log().find(std::string("\"path\": \"") + kVersionPage + "?"),
                      std::string::npos)
                << "the version page was read: " << Log();
            EXPECT_EQ(AskedForTheExecutable(), downloaded) << Log();
        }
    }
    // Shows the page, sees the splash come and go, and checks that nothing changed.
    void ExpectPageStartsTheLoginWithoutUpdate(const std::string& versionRoute)
    {
        LaunchWith(versionRoute);
        if (HasFatalFailure())
            return;
        const HWND splash = WaitForSplash();
        ASSERT_NE(splash, nullptr)
            << "no splash appeared; the launcher's windows:" << DescribeWindows(m_launcher.Id())
            << "; running " << m_launcher.IsRunning() << "; polls " << m_polls << ", longest gap "
            << m_maxGap << " ms, made after " << m_firstMade << " ms; log " << Log();
        ASSERT_TRUE(WaitForSplashToGiveWay(splash)) << "the splash stayed, or the launcher ended";
        ExpectNoUpdate();
    }
    // The old launcher ended with code 0 after starting the new file under
    // its own name, and the old one is kept under `backup`.
    void ExpectUpdated(const std::string& versionQuery, const std::wstring& backup)
    {
        DWORD code = 12345;
        ASSERT_TRUE(m_launcher.WaitExit(kWaitMs, &code)) << "the old launcher did not end";
        EXPECT_EQ(code, 0u);
        const std::wstring marker = m_dir + kMarkerName;
        ASSERT_TRUE(qmtest::PumpUntil([&] { return Exists(marker); }, kWaitMs))
            << "the new executable was not started";
        EXPECT_EQ(Content(marker), Narrow(m_exe)) << "started under the executable's own name";
        EXPECT_TRUE(SameBytes(Content(m_exe), m_new, "the executable"));
        EXPECT_TRUE(SameBytes(Content(backup), m_original, "the backup"));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_TRUE(Asked(std::string(kExecutablePath) + "?version=" + versionQuery)) << Log();
        EXPECT_TRUE(Asked(std::string(kSignaturePath) + "?version=" + versionQuery)) << Log();
        if (Trusted() != Tls::kNone) {
            EXPECT_EQ(Log().find(R"("tls": false)"), std::string::npos)
                << "all over TLS: " << Log();
        }
    }
    // Runs one update from a version page to its end.
    void UpdateFrom(const std::string& body, const std::string& versionQuery,
                    const std::string& signatureRoute = "")
    {
        LaunchWith(VersionAnswer(body), "", signatureRoute);
        if (HasFatalFailure())
            return;
        EXPECT_NE(WaitForSplash(), nullptr) << "no splash appeared";
        ExpectUpdated(versionQuery, m_backup);
    }
    // Runs one update to 1.0.0.9 whose backup cannot take its usual name
    // and must take a random one.
    void UpdateToRandomBackup()
    {
        LaunchWith(VersionAnswer("1.0.0.9"));
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_launcher.WaitExit(kWaitMs)) << "the old launcher did not end";
        const std::wstring backup = RandomBackup();
        ASSERT_FALSE(backup.empty()) << "no backup named Quillmoor.exe<0..9999>";
        ExpectUpdated("1.0.0.9", backup);
    }
    // The one backup under X + a number of one to four digits.
    std::wstring RandomBackup()
    {
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW data;
        UniqueFindHandle search(::FindFirstFileW((m_exe + L"*").c_str(), &data));
        if (search) {
            do {
                const std::wstring suffix = std::wstring(data.cFileName).substr(kExeName.size());
                if (!suffix.empty() && suffix.size() <= 4 &&
                    suffix.find_first_not_of(L"0123456789") == std::wstring::npos)
                    found.push_back(m_dir + data.cFileName);
            } while (::FindNextFileW(search.get(), &data));
        }
        return found.size() == 1 ? found[0] : std::wstring();
    }

    unsigned short m_port = 0;
    int m_polls = 0;
    ULONGLONG m_maxGap = 0;
    ULONGLONG m_firstMade = 0;
    ULONGLONG m_seenAfter = 0;
    std::unique_ptr<qmtest::TestServer> m_server;
    qmtest::ChildProcess m_launcher;
    ULONGLONG m_launched = 0;
    std::wstring m_dir;
    std::wstring m_exe;
    std::wstring m_temporary;
    std::wstring m_backup;
    std::string m_original;
    std::string m_new;
};

// ---- versions that start the login -----------------------------------------

TEST_F(UpdateE2E, SameVersionStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(VersionAnswer("1.0.0.8"));
}

TEST_F(UpdateE2E, SameVersionWithALineEndStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(VersionAnswer(R"(1.0.0.8\r\n)"));
}

TEST_F(UpdateE2E, OlderVersionStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(VersionAnswer("1.0.0.7"));
}

TEST_F(UpdateE2E, VersionStartingWithZeroStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(VersionAnswer("0.9.0.0"));
}

TEST_F(UpdateE2E, EmptyPageStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(VersionAnswer(""));
}

TEST_F(UpdateE2E, HtmlErrorPageStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(
        R"({"status": 404, "body": "<html><body><h1>404 Not Found</h1></body></html>",
            "headers": {"Content-Type": "text/html"}, "stall_before_headers": 2})");
}

TEST_F(UpdateE2E, ErrorPageStartingWithADigitStartsTheLogin)
{
    ExpectPageStartsTheLoginWithoutUpdate(
        R"({"status": 503, "body": "503 Service Unavailable", "stall_before_headers": 2})");
}

// The launcher delay-loads what only later steps need, so these DLLs are not
// loaded while the splash is up and the version page is still on its way.
// Left out: ole32 (Wine's imm32 loads it when a window is activated) and
// what Wine's wininet imports (shell32, shlwapi), as the check may already
// be under way; version.dll, which Wine's user32 imports.
TEST_F(UpdateE2E, TheSplashShowsBeforeTheDllsOnlyLaterStepsNeedLoad)
{
    LaunchWith(VersionAnswer("1.0.0.8"));
    if (HasFatalFailure())
        return;
    ASSERT_NE(WaitForSplash(), nullptr) << "no splash appeared";
    for (const wchar_t* later : {L"oleaut32.dll", L"msimg32.dll", L"windowscodecs.dll"})
        EXPECT_FALSE(HasModule(m_launcher.Id(), later)) << Narrow(later);
    // The version page was read through the delay-loaded wininet.
    ASSERT_TRUE(WaitForTheLogin()) << "no login window appeared";
    EXPECT_TRUE(HasModule(m_launcher.Id(), L"wininet.dll"));
    ExpectNoUpdate();
}

TEST_F(UpdateE2E, UnreachableServerStartsTheLogin)
{
    Launch();
    // A refused connection ends the check within milliseconds, too fast to
    // catch the splash on screen: what shows is that it was made, at the
    // picture's size, and then hidden while the launcher went on.
    HWND splash = nullptr;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            splash = FindSplash(m_launcher.Id(), false);
            return (splash && !::IsWindowVisible(splash)) || !m_launcher.IsRunning();
        },
        kWaitMs));
    ASSERT_NE(splash, nullptr) << "no splash was made";
    ASSERT_TRUE(WaitForSplashToGiveWay(splash));
    ExpectNoUpdate();
}

TEST_F(UpdateE2E, StalledServerStartsTheLoginWithinThirtySeconds)
{
    LaunchWith(R"({"stall_before_headers": -1})");
    const HWND splash = WaitForSplash();
    ASSERT_NE(splash, nullptr) << "no splash appeared";
    // While the launcher waits, its picture is on screen, not just its outline,
    // and the splash answers: the page is read on another thread. Wine draws
    // the picture once the launcher's message loop runs, a moment after the
    // window appears.
    qmtest::PumpUntil([&] { return static_cast<bool>(PictureIsOnScreen(splash)); }, 2000);
    EXPECT_TRUE(PictureIsOnScreen(splash));
    for (int i = 0; i < 5; ++i) {
        DWORD_PTR result = 0;
        const ULONGLONG sent = ::GetTickCount64();
        EXPECT_NE(::SendMessageTimeoutW(splash, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &result), 0)
            << "the splash did not answer within 100 ms";
        EXPECT_LT(::GetTickCount64() - sent, 150u);
        ::Sleep(200);
    }
    EXPECT_TRUE(qmtest::SaveScreenshot(L"update-splash"));
    ASSERT_TRUE(WaitForSplashToGiveWay(splash, kStartUpBoundMs));
    const ULONGLONG elapsed = ::GetTickCount64() - m_launched;
    std::cout << "[ measured ] from launch to the login: " << elapsed << " ms\n";
    EXPECT_LT(elapsed, kStartUpBoundMs);
    EXPECT_GE(elapsed, 6000u) << "the launcher gave up before its time-out";
    ExpectNoUpdate();
}

// ---- newer versions ------------------------------------------------------------

TEST_F(UpdateE2E, NewerVersionWithALineEndReplacesAndRestarts)
{
    UpdateFrom(R"(1.0.0.9\n)", "1.0.0.9"); // JSON: the page ends with a line feed
}

TEST_F(UpdateE2E, AByteOrderMarkAndBlanksAroundTheVersionStillUpdate)
{
    UpdateFrom(R"(\ufeff 1.0.0.9 \r\n)", "1.0.0.9"); // JSON: the page starts with a UTF-8 BOM
}

TEST_F(UpdateE2E, AnUpdateSignedWithTheSpareKeyIsAccepted)
{
    UpdateFrom("1.0.0.9", "1.0.0.9", SignatureOf("spare"));
}

TEST_F(UpdateE2E, AnEarlierBackupOfTheSameNameIsReplaced)
{
    ASSERT_TRUE(WriteWholeFile(m_backup, "the backup of an earlier update"));
    UpdateFrom("1.0.0.9", "1.0.0.9");
}

TEST_F(UpdateE2E, AReadOnlyBackupOfTheSameNameGivesWayToARandomName)
{
    ASSERT_TRUE(WriteWholeFile(m_backup, "read-only backup"));
    ASSERT_TRUE(::SetFileAttributesW(m_backup.c_str(), FILE_ATTRIBUTE_READONLY));
    UpdateToRandomBackup();
    EXPECT_EQ(Content(m_backup), "read-only backup");
}

TEST_F(UpdateE2E, AFolderOfTheBackupNameGivesWayToARandomName)
{
    ASSERT_TRUE(::CreateDirectoryW(m_backup.c_str(), nullptr));
    UpdateToRandomBackup();
    EXPECT_NE(::GetFileAttributesW(m_backup.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// ---- updates that cannot go through ---------------------------------------------

// Each refusal leaves the install exactly as it was and reaches the login; a
// signature refused before the download means no executable is fetched.
TEST_F(UpdateE2E, UpdatesThatAreNotSignedForTheirVersionAreRefused)
{
    struct Refusal {
        const char* name;
        const char* page;
        std::string signature;
        std::string executable;
        bool downloads;
    };
    const Refusal refusals[] = {
        {"no signature", "1.0.0.9", R"({"status": 404, "body": "not here"})", "", false},
        {"a 63-byte signature", "1.0.0.9", R"({"size": 63})", "", false},
        {"a 65-byte signature", "1.0.0.9", R"({"size": 65})", "", false},
        {"signed with another key", "1.0.0.9", SignatureOf("other"), "", true},
        {"changed by one byte after signing", "1.0.0.9", "",
         Serve(std::string(QM_BINARY_DIR) + "/update-sites/changed.exe"), true},
        {"signed as 1.0.0.9, published as 1.0.0.10", "1.0.0.10", "", "", true},
        {"signed, but version 1.0.0.8 in its resource", "1.0.0.9", SignatureOf("old"),
         Serve(SiteFile("old", "qlm_Orbo.exe")), true},
        {"signed, but bytes that cannot start", "1.0.0.9", SignatureOf("junk"),
         Serve(SiteFile("junk", "qlm_Orbo.exe")), true},
    };
    StartServer();
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(m_server->Reset());
        Route(R"({"body": ")" + std::string(r.page) + R"("})", r.executable, r.signature);
        Launch();
        ASSERT_TRUE(WaitForTheLogin()) << "windows:" << DescribeWindows(m_launcher.Id());
        EXPECT_TRUE(Asked(std::string(kSignaturePath) + "?version=" + r.page)) << Log();
        ExpectNoUpdate(r.downloads);
        // A download that was refused is not fetched again; the next row asks anew.
        const std::wstring refused = m_exe + qmtest::Widen(r.page) + L".refused";
        EXPECT_EQ(Exists(refused), r.downloads);
        ::DeleteFileW(refused.c_str());
        m_launcher.Terminate();
    }
}

TEST_F(UpdateE2E, MissingExecutableRenamesNothingAndTheOldLauncherRunsOn)
{
    LaunchWith(VersionAnswer("1.0.0.9"), R"({"status": 404, "body": "not here"})");
    const HWND splash = WaitForSplash();
    ASSERT_NE(splash, nullptr);
    ASSERT_TRUE(WaitForSplashToGiveWay(splash));
    EXPECT_TRUE(Asked(std::string(kExecutablePath) + "?version=1.0.0.9")) << Log();
    EXPECT_TRUE(m_launcher.IsRunning());
    EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_FALSE(Exists(m_temporary));
}

TEST_F(UpdateE2E, DownloadCutMidwayRenamesNothingAndTheOldLauncherRunsOn)
{
    LaunchWith(VersionAnswer("1.0.0.9"),
               R"({"body_file": ")" + StandIn() + R"(", "drop_after": 4000})");
    const HWND splash = WaitForSplash();
    ASSERT_NE(splash, nullptr);
    ASSERT_TRUE(WaitForSplashToGiveWay(splash));
    EXPECT_TRUE(AskedForTheExecutable()) << Log();
    EXPECT_TRUE(m_launcher.IsRunning());
    EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
    EXPECT_FALSE(Exists(m_backup));
    EXPECT_FALSE(Exists(m_temporary)) << "a cut download never takes the temporary name";
    EXPECT_FALSE(Exists(m_temporary + L".fdl")) << "the partial download is removed";
}

// A certificate the system does not trust is a failed check, and so is a
// redirect of the executable's request to plain http: the launcher sends
// nothing past it, leaves the install as it was and goes to the login.
TEST_F(UpdateE2E, UpdatesOverAConnectionThatIsNotTrustedAreRefused)
{
    if (Trusted() == Tls::kNone)
        GTEST_SKIP() << "the compiled-in update host is plain http";
    struct Refusal {
        const char* name;
        Tls tls;
        bool redirected;
    };
    const Refusal refusals[] = {
        {"a certificate for another host", Tls::kOtherName, false},
        {"a certificate from an unknown authority", Tls::kUnknownCa, false},
        {"an expired certificate", Tls::kExpired, false},
        {"the executable's request redirected to http://", Tls::kLocalhost, true},
    };
    const std::string plainCopy = "/plain/qlm_Orbo.exe";
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        StartServer(r.tls);
        if (HasFatalFailure())
            return;
        // The server answers plain http on the same port, so a request that
        // followed the redirect would be seen.
        const std::string redirect = R"({"status": 302, "location": "http://localhost:)" +
                                     std::to_string(m_port) + plainCopy + R"("})";
        Route(R"({"body": "1.0.0.9"})", r.redirected ? redirect : "", "");
        ASSERT_TRUE(m_server->AddRoute(plainCopy, Serve(StandIn())));
        Launch();
        ASSERT_TRUE(WaitForTheLogin()) << "windows:" << DescribeWindows(m_launcher.Id());
        EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
        EXPECT_FALSE(Exists(m_backup));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_FALSE(Exists(m_temporary + L".fdl"));
        EXPECT_FALSE(Exists(m_dir + kMarkerName));
        const std::string log = Log();
        EXPECT_EQ(log.find(plainCopy), std::string::npos) << "followed to http: " << log;
        if (r.redirected) {
            EXPECT_TRUE(AskedForTheExecutable()) << log;
        } else {
            EXPECT_NE(log.find(R"("tls": "no request")"), std::string::npos)
                << "the launcher refused the certificate: " << log;
            EXPECT_EQ(log.find(R"("path")"), std::string::npos) << "nothing was asked: " << log;
        }
        m_launcher.Terminate();
    }
}

// The login page is asked for over TLS; behind a certificate for another
// name nothing reaches the page's server, and the launcher runs on. Wine
// then asks the player whether to go on anyway (its own WinINet dialog; no
// answer is given here): Wine's browser never asks the launcher's site,
// which Internet Explorer asks and which refuses.
TEST_F(UpdateE2E, TheLoginPageIsAskedForOverTlsAndNotPastACertificateForAnotherName)
{
    const unsigned short gamePort = qmtest::LoopbackPort(QM_GAME_HOST);
    if (!IsHttpsAddress(QM_GAME_HOST) || gamePort == 0)
        GTEST_SKIP() << "the compiled-in game host is not https://localhost:<port>";
    ASSERT_TRUE(qmtest::PumpUntil([&] { return !SomethingListensOn(gamePort); }, 10000))
        << "localhost:" << gamePort << " is busy (the demo portal?)";
    for (const Tls tls : {Tls::kLocalhost, Tls::kOtherName}) {
        SCOPED_TRACE(tls == Tls::kLocalhost ? "trusted" : "another name");
        qmtest::TestServer game(kServerSeconds, gamePort, tls);
        ASSERT_TRUE(game.Started());
        ASSERT_TRUE(game.AddRoute("/client", R"({"body": "<html>login</html>",
                                               "headers": {"Content-Type": "text/html"}})"));
        Launch(); // no update host: the check fails at once
        ASSERT_TRUE(WaitForTheLogin()) << "windows:" << DescribeWindows(m_launcher.Id());
        const std::string expected =
            tls == Tls::kLocalhost ? R"("path": "/client", )" : R"("tls": "no request")";
        std::string log;
        ASSERT_TRUE(qmtest::PumpUntil(
            [&] {
                log = game.Log();
                return log.find(expected) != std::string::npos;
            },
            kWaitMs))
            << log;
        if (tls == Tls::kLocalhost) {
            EXPECT_NE(log.find(R"("path": "/client", "headers")"), std::string::npos) << log;
            EXPECT_EQ(log.find(R"("tls": false)"), std::string::npos) << log;
        } else {
            // Nothing more comes however long the launcher waits.
            qmtest::PumpUntil([] { return false; }, 2000);
            EXPECT_EQ(game.Log().find(R"("path")"), std::string::npos) << game.Log();
            EXPECT_TRUE(m_launcher.IsRunning());
        }
        m_launcher.Terminate();
    }
}

// ---- updates that must end on time ----------------------------------------------

// One start after another against the same server: each reaches the login
// within its bound, the old launcher under the executable's name, nothing
// left beside it.
struct BoundedStart {
    const char* name;
    std::string page;       // the version page's route
    std::string executable; // the new executable's route; empty: the stand-in
    std::string signature;  // the signature's route; empty: the stand-in's
    DWORD boundMs;          // the login within this of each start
    int starts;
    int downloads; // requests for the executable over all starts
};

// What googletest prints for a row: its name.
void PrintTo(const BoundedStart& row, std::ostream* out)
{
    *out << row.name;
}

class UpdateEndsOnTime : public UpdateE2E, public ::testing::WithParamInterface<BoundedStart> {};

TEST_P(UpdateEndsOnTime, TheLoginFollowsWithinItsBoundAndNothingIsLeft)
{
    const BoundedStart& row = GetParam();
    StartServer();
    if (HasFatalFailure())
        return;
    Route(row.page, row.executable, row.signature);
    if (HasFatalFailure())
        return;
    long long mostOnDisk = 0;
    for (int start = 1; start <= row.starts; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        Launch();
        const bool login = qmtest::PumpUntil(
            [&] {
                mostOnDisk = std::max(mostOnDisk, qmtest::FileSize(m_temporary + L".fdl"));
                return FindWindowOfSize(m_launcher.Id(), kLoginWidth, kLoginHeight, true) ||
                       !m_launcher.IsRunning();
            },
            row.boundMs + 10000);
        const ULONGLONG elapsed = ::GetTickCount64() - m_launched;
        ASSERT_TRUE(login && m_launcher.IsRunning()) << DescribeWindows(m_launcher.Id());
        std::cout << "[ measured ] " << row.name << ": the login " << elapsed
                  << " ms after the start\n";
        EXPECT_LT(elapsed, row.boundMs);
        EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
        EXPECT_FALSE(Exists(m_backup));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_FALSE(Exists(m_temporary + L".fdl"));
        m_launcher.Terminate();
    }
    EXPECT_EQ(CountOf(Log(), std::string(kExecutablePath) + "?"),
              static_cast<size_t>(row.downloads))
        << Log();
    if (mostOnDisk > 0)
        std::cout << "[ measured ] " << row.name << ": at most " << mostOnDisk
                  << " bytes of the download seen on disk\n";
    EXPECT_LE(mostOnDisk, 64LL * 1024 * 1024);
}

std::string SlowStandIn()
{
    return R"({"body_file": ")" + std::string(QM_BINARY_DIR) +
           R"(/bin/fake_new_launcher.exe", "chunk": 20, "delay": 0.1})";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateEndsOnTime,
    ::testing::Values(
        // 33 bytes, one every half second: 16 s for the whole page.
        BoundedStart{"APageSentOneByteEveryHalfSecond",
                     R"({"body": "1.0.0.9                          ", "chunk": 1, "delay": 0.5})",
                     "", "", 12000, 1, 0},
        BoundedStart{"ADownloadAt200BytesASecond", R"({"body": "1.0.0.9"})", SlowStandIn(), "",
                     75000, 1, 1},
        BoundedStart{"ABodyWithNoLengthAndNoEnd", R"({"body": "1.0.0.9"})", R"({"endless": true})",
                     "", 30000, 1, 1},
        BoundedStart{
            "A206Answer", R"({"body": "1.0.0.9"})",
            R"({"status": 206, "size": 5000, "headers": {"Content-Range": "bytes 0-4999/90000"}})",
            "", 20000, 1, 1},
        // Signed with a key the launcher does not trust.
        BoundedStart{"AVersionRefusedTwiceOverTwoStarts", R"({"body": "1.0.0.9"})", "",
                     SignatureOf("other"), 20000, 2, 1}),
    [](const ::testing::TestParamInfo<BoundedStart>& row) {
        return std::string(row.param.name);
    });

// Whether the splash shows `picture` rather than `other`: at the opaque points
// where the two differ most, the screen has the colours of `picture`.
bool ShowsRatherThan(HWND splash, const CImage& picture, const CImage& other)
{
    RECT window{};
    ::GetWindowRect(splash, &window);
    const HDC screen = ::GetDC(nullptr);
    int checked = 0;
    int matched = 0;
    for (int y = 0; y < picture.GetHeight(); y += 3) {
        for (int x = 0; x < picture.GetWidth(); x += 3) {
            const auto* a =
                static_cast<const BYTE*>(picture.GetBits()) + y * picture.GetPitch() + x * 4;
            const auto* b =
                static_cast<const BYTE*>(other.GetBits()) + y * other.GetPitch() + x * 4;
            if (a[3] != 255 || b[3] != 255 || std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) < 120)
                continue;
            const COLORREF shown = ::GetPixel(screen, window.left + x, window.top + y);
            ++checked;
            matched += std::abs(GetRValue(shown) - a[2]) + std::abs(GetGValue(shown) - a[1]) +
                           std::abs(GetBValue(shown) - a[0]) <
                       24;
        }
    }
    ::ReleaseDC(nullptr, screen);
    return checked > 20 && matched * 10 >= checked * 9;
}

// An executable another program holds, as a virus scanner does, is waited
// for: the download waits beside it, the splash says why and answers, and
// once the file is free the update goes through. The hold starts before the
// launcher and lasts 5 s: the launcher's start, check and download take one
// to two of them (the 32-bit build runs under an emulator here), so the swap
// meets about 3 s of it.
TEST_F(UpdateE2E, AnExecutableHeldByAnotherProgramIsWaitedForAndTheUpdateCompletes)
{
    qmtest::ChildProcess holder;
    ASSERT_TRUE(
        holder.Start(qmtest::ExeDirectory() + L"hold_file.exe", m_dir, L"\"" + m_exe + L"\" 5000"));
    ASSERT_TRUE(qmtest::PumpUntil([&] { return Exists(m_exe + L".held"); }, kWaitMs));
    const ULONGLONG heldFrom = ::GetTickCount64();
    LaunchWith(R"({"body": "1.0.0.9"})");
    if (HasFatalFailure())
        return;
    HWND splash = nullptr;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] { return Exists(m_temporary) && (splash = FindSplash(m_launcher.Id())) != nullptr; },
        kWaitMs))
        << "the download is in and waits";
    ASSERT_TRUE(holder.IsRunning()) << "the swap came after the hold; nothing was shown";
    SplashPicture pictures;
    const CImage* waiting = pictures.Waiting();
    const CImage* starting = pictures.Starting();
    ASSERT_TRUE(waiting && starting);
    EXPECT_TRUE(qmtest::PumpUntil(
        [&] { return ShowsRatherThan(splash, *waiting, *starting) || !holder.IsRunning(); },
        kWaitMs));
    EXPECT_TRUE(holder.IsRunning() && ShowsRatherThan(splash, *waiting, *starting))
        << "\"Waiting for another program to release the file\" while it is held";
    DWORD_PTR answer = 0;
    EXPECT_NE(::SendMessageTimeoutW(splash, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &answer), 0)
        << "the splash answers while it waits";
    EXPECT_TRUE(qmtest::SaveScreenshot(L"update-waiting-for-file"));
    ASSERT_TRUE(holder.WaitExit(kWaitMs));
    ExpectUpdated("1.0.0.9", m_backup);
    std::cout << "[ measured ] held for 5 s: the old launcher ended "
              << ::GetTickCount64() - heldFrom << " ms after the hold began\n";
}

// Esc while the download crawls: the login at once, and nothing of the
// download left once its worker has let go; the update lock is free again.
TEST_F(UpdateE2E, EscDuringASlowDownloadGoesToTheLoginAtOnceAndLeavesNothing)
{
    LaunchWith(R"({"body": "1.0.0.9"})", SlowStandIn());
    if (HasFatalFailure())
        return;
    HWND splash = nullptr;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            splash = FindSplash(m_launcher.Id());
            return splash && qmtest::FileSize(m_temporary + L".fdl") > 0;
        },
        kWaitMs))
        << "the download is under way";
    EXPECT_TRUE(qmtest::SaveScreenshot(L"update-download-esc-skips"));
    ::PostMessageW(splash, WM_KEYDOWN, VK_ESCAPE, 0);
    const ULONGLONG pressed = ::GetTickCount64();
    ASSERT_TRUE(WaitForTheLogin()) << DescribeWindows(m_launcher.Id());
    const ULONGLONG loginAfter = ::GetTickCount64() - pressed;
    std::cout << "[ measured ] Esc to the login: " << loginAfter << " ms\n";
    EXPECT_LT(loginAfter, 2000u);
    EXPECT_TRUE(qmtest::PumpUntil(
        [&] { return !Exists(m_temporary + L".fdl") && !Exists(m_temporary); }, 5000))
        << "nothing of the download is left";
    EXPECT_TRUE(qmtest::PumpUntil(
        [&] {
            InstallUpdateLock lock;
            return lock.TryAcquire(m_exe);
        },
        5000))
        << "the update lock is given back";
    EXPECT_TRUE(SameBytes(Content(m_exe), m_original, "the executable"));
    EXPECT_FALSE(Exists(m_backup));
}

// ---- the hand-over to the new launcher ------------------------------------------

// A new build that ends at once is rolled back: the player reaches the login
// with the old launcher, the build is kept aside and not fetched again while
// the page names it; another version is tried as usual.
TEST_F(UpdateE2E, ANewBuildThatEndsAtOnceIsRolledBackAndNotFetchedAgain)
{
    ASSERT_TRUE(WriteWholeFile(m_dir + L"stand-in-mode.txt", "exit3"));
    LaunchWith(VersionAnswer("1.0.0.9"));
    ASSERT_TRUE(WaitForTheLogin(kRollBackBoundMs)) << DescribeWindows(m_launcher.Id());
    EXPECT_LT(::GetTickCount64() - m_launched, kRollBackBoundMs);
    EXPECT_TRUE(Exists(m_dir + kMarkerName)) << "the new build was started";
    ExpectRolledBack();

    // The failed version is not fetched again; another one is.
    for (const auto& [page, fetched] : {std::pair{"1.0.0.9", false}, std::pair{"1.0.0.10", true}}) {
        m_launcher.Terminate();
        ASSERT_TRUE(m_server->Reset());
        Route(R"({"body": ")" + std::string(page) + R"("})", "", "");
        Launch();
        ASSERT_TRUE(WaitForTheLogin()) << page;
        EXPECT_EQ(AskedForTheExecutable(), fetched) << page << ": " << Log();
    }
}

TEST_F(UpdateE2E, ANewBuildThatNeverShowsItselfIsEndedAndRolledBack)
{
    ASSERT_TRUE(WriteWholeFile(m_dir + L"stand-in-mode.txt", "hang"));
    LaunchWith(VersionAnswer("1.0.0.9"));
    ASSERT_TRUE(WaitForTheLogin(kRollBackBoundMs)) << DescribeWindows(m_launcher.Id());
    const ULONGLONG elapsed = ::GetTickCount64() - m_launched;
    EXPECT_GE(elapsed, 30000u) << "given its 30 seconds";
    EXPECT_LT(elapsed, kRollBackBoundMs);
    ExpectRolledBack();
    const DWORD id = static_cast<DWORD>(std::atoi(Content(m_dir + L"stand-in.pid").c_str()));
    ASSERT_NE(id, 0u) << "the stand-in did not say who it is";
    const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, id));
    EXPECT_TRUE(!process || ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0)
        << "the silent build is no longer running";
}

// The launcher's own next version confirms its start from its splash, and
// the old launcher ends at once with code 0.
TEST_F(UpdateE2E, TheNextLauncherConfirmsItsStartAndTheOldOneEndsAtOnce)
{
    std::string next;
    ASSERT_TRUE(
        ReadWholeFile(qmtest::WindowsPathOfUnixPath(SiteFile("next", "qlm_Orbo.exe")), next));
    LaunchWith(VersionAnswer("1.0.0.9"), Serve(SiteFile("next", "qlm_Orbo.exe")),
               SignatureOf("next"));
    ASSERT_TRUE(WriteWholeFile(m_exe + L"1.0.0.7", "backup of an earlier update"));
    ASSERT_TRUE(WriteWholeFile(m_exe + L"4711", "backup under a random name"));
    ULONGLONG started = 0;
    ASSERT_TRUE(qmtest::PumpUntil(
        [&] {
            // The new launcher runs from the same path beside the old one.
            if (!started && qmtest::ProcessesOf(m_exe).size() > 1)
                started = ::GetTickCount64();
            return !m_launcher.IsRunning();
        },
        kRollBackBoundMs));
    const ULONGLONG ended = ::GetTickCount64();
    DWORD code = 12345;
    ASSERT_TRUE(m_launcher.WaitExit(0, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_LT(ended - m_launched, 15000u) << "confirmed well before the 30 seconds";
    std::cout << "[ measured ] hand-over, from the new launcher's start to the old one's end: "
              << (started ? std::to_string(ended - started) + " ms" : std::string("unseen"))
              << "; from the start to the end: " << ended - m_launched << " ms\n";
    EXPECT_TRUE(SameBytes(Content(m_exe), next, "the executable"));
    EXPECT_TRUE(SameBytes(Content(m_backup), m_original, "the backup just made"));
    EXPECT_FALSE(Exists(m_exe + L"1.0.0.7")) << "earlier backups are removed";
    EXPECT_FALSE(Exists(m_exe + L"4711"));
    EXPECT_FALSE(Exists(m_temporary));
    EXPECT_EQ(qmtest::ProcessesOf(m_exe).size(), 1u) << "the new launcher runs on";
}

// Two launchers started together: one updates, the other goes to the login
// with the version it is; the executable ends up holding the new build.
TEST_F(UpdateE2E, TwoLaunchersStartedTogetherUpdateTheInstallOnce)
{
    StartServer();
    for (int round = 1; round <= 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(m_server->Reset());
        Route(VersionAnswer("1.0.0.9"), "", "");
        ASSERT_TRUE(WriteWholeFile(m_exe, m_original));
        ::DeleteFileW(m_backup.c_str());
        ::DeleteFileW((m_dir + kMarkerName).c_str());
        qmtest::ChildProcess second;
        Launch();
        ASSERT_TRUE(second.Start(m_exe, m_dir));
        const auto loginOf = [](const qmtest::ChildProcess& p) {
            return FindWindowOfSize(p.Id(), kLoginWidth, kLoginHeight, true) != nullptr;
        };
        ASSERT_TRUE(qmtest::PumpUntil(
            [&] {
                return (!m_launcher.IsRunning() && loginOf(second)) ||
                       (!second.IsRunning() && loginOf(m_launcher));
            },
            kWaitMs))
            << "one launcher updates and ends, the other shows the login";
        const std::wstring marker = m_dir + kMarkerName;
        ASSERT_TRUE(qmtest::PumpUntil([&] { return Exists(marker); }, kWaitMs));
        EXPECT_TRUE(SameBytes(Content(m_exe), m_new, "the executable"));
        EXPECT_FALSE(Exists(m_temporary));
        EXPECT_FALSE(Exists(m_temporary + L".fdl"));
        EXPECT_EQ(CountOf(Log(), std::string(kExecutablePath) + "?"), 1u)
            << "downloaded once: " << Log();
        second.Terminate();
        m_launcher.Terminate();
    }
}

} // namespace
