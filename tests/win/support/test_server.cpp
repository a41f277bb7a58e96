#include "support/test_server.h"

#include "support/test_files.h"
#include "support/test_support.h"

#include "framework/handles.h"
#include "framework/inet.h"

#include <atomic>
#include <cstdlib>
#include <utility>

namespace qmtest {

namespace {
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kControlTimeoutMs = 10000;

// The whole content of a small file, or nothing when it cannot be read.
bool ReadSmallFile(const std::wstring& path, std::string& content)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char buffer[64] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer - 1, &read, nullptr))
        return false;
    content.assign(buffer, read);
    return true;
}
} // namespace

std::wstring WindowsPathOfUnixPath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + Widen(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

namespace {
// The server's certificate file, as the server (a Unix program) sees it;
// empty when the harness names no certificate folder.
std::wstring CertificateFile(Tls tls)
{
    const wchar_t* name = nullptr;
    switch (tls) {
    case Tls::kNone: return {};
    case Tls::kLocalhost: name = L"localhost.pem"; break;
    case Tls::kOtherName: name = L"other-name.pem"; break;
    case Tls::kExpired: name = L"expired.pem"; break;
    case Tls::kUnknownCa: name = L"unknown-ca.pem"; break;
    }
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"QM_TLS_DIR", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::wstring(folder) + L"/" + name;
}
} // namespace

TestServer::TestServer(int maxSeconds, unsigned short requestedPort, Tls tls)
    : m_bTls(tls != Tls::kNone)
{
    static std::atomic<int> serial{0};
    const std::string portFile = std::string(QM_BINARY_DIR) + "/testserver-" +
                                 std::to_string(::GetCurrentProcessId()) + "-" +
                                 std::to_string(++serial) + ".port";
    m_portFile = WindowsPathOfUnixPath(portFile);
    ::DeleteFileW(m_portFile.c_str());

    // Nothing can wait on a Unix program, so the server is stopped over HTTP,
    // with --max-seconds as the safety net.
    std::wstring commandLine = L"/usr/bin/python3 " + Widen(QM_SOURCE_DIR) +
                               L"/tools/testserver/testserver.py --port " +
                               std::to_wstring(requestedPort) + L" --port-file " + Widen(portFile) +
                               L" --max-seconds " + std::to_wstring(maxSeconds);
    if (m_bTls) {
        const std::wstring certificate = CertificateFile(tls);
        if (certificate.empty())
            return; // run under the Wine harness, which names the folder
        commandLine += L" --tls-cert " + certificate;
    }
    if (!StartUnixProgram(std::move(commandLine)))
        return;

    // The server writes the file by renaming a complete one into place.
    const ULONGLONG deadline = ::GetTickCount64() + kStartTimeoutMs;
    std::string content;
    while (!ReadSmallFile(m_portFile, content) || content.empty()) {
        if (::GetTickCount64() >= deadline)
            return;
        ::Sleep(20); // nothing to wait on: the file appears from another world
    }
    const int port = std::atoi(content.c_str());
    if (port > 0 && port < 65536)
        m_port = static_cast<unsigned short>(port);
}

TestServer::~TestServer()
{
    Shutdown();
    ::DeleteFileW(m_portFile.c_str());
}

std::wstring TestServer::Url(const std::wstring& path) const
{
    return (m_bTls ? L"https://localhost:" : L"http://127.0.0.1:") + std::to_wstring(m_port) + path;
}

bool TestServer::AddRoute(const std::string& path, const std::string& fields)
{
    // {"path": "/x", <fields>}
    const size_t open = fields.find('{');
    if (open == std::string::npos)
        return false;
    std::string rest = fields.substr(open + 1);
    const bool empty = rest.find_first_not_of(" \t\r\n") == rest.find('}');
    const std::string body = "{\"path\": \"" + path + "\"" + (empty ? "}" : ", " + rest);
    return Control(L"POST", L"/__route", body, nullptr);
}

std::string TestServer::Log()
{
    std::string log;
    return Control(L"GET", L"/__log", "", &log) ? log : std::string();
}

bool TestServer::Reset()
{
    return Control(L"POST", L"/__reset", "", nullptr);
}

bool TestServer::Shutdown()
{
    if (!m_port)
        return false;
    const bool done = Control(L"POST", L"/__shutdown", "", nullptr);
    m_port = 0;
    return done;
}

bool TestServer::Control(const wchar_t* verb, const wchar_t* path, const std::string& body,
                         std::string* response)
{
    if (!m_port)
        return false;
    UniqueInternetHandle session(
        ::InternetOpenW(L"qmtest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!session)
        return false;
    DWORD timeout = kControlTimeoutMs;
    UniqueInternetHandle connection(::InternetConnectW(session.get(), L"127.0.0.1", m_port, nullptr,
                                                       nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return false;
    ::InternetSetOptionW(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout,
                         sizeof timeout);
    UniqueInternetHandle request(::HttpOpenRequestW(
        connection.get(), verb, path, nullptr, nullptr, nullptr,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT, 0));
    if (!request)
        return false;
    static const wchar_t kJson[] = L"Content-Type: application/json\r\n";
    std::string payload = body;
    if (!::HttpSendRequestW(request.get(), kJson, static_cast<DWORD>(-1L), payload.data(),
                            static_cast<DWORD>(payload.size())))
        return false;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr))
        return false;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (::InternetReadFile(request.get(), buffer, sizeof buffer, &read) && read > 0)
        text.append(buffer, read);
    if (response)
        *response = std::move(text);
    return status == 200;
}

TestServer* SharedServerTest::s_server = nullptr;

void SharedServerTest::SetUpTestSuite()
{
    s_server = new TestServer();
}

void SharedServerTest::TearDownTestSuite()
{
    delete s_server;
    s_server = nullptr;
}

void SharedServerTest::SetUp()
{
    ASSERT_TRUE(s_server->Started()) << "the test server did not start";
    ASSERT_TRUE(s_server->Reset());
}

} // namespace qmtest
