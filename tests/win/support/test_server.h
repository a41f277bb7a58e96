// The scriptable local HTTP test server (tools/testserver) for Windows tests:
// started as a native Python process on a free port, scripted over its
// control endpoints, stopped when the object goes.
#pragma once

#include "framework/win32.h"

#include <gtest/gtest.h>

#include <string>

namespace qmtest {

// A Unix path as Windows programs under Wine see it (drive Z: is /).
std::wstring WindowsPathOfUnixPath(const std::string& unixPath);

// The certificates a server can show (tools/tls/demo-ca, in the folder the
// Wine harness names in QM_TLS_DIR): for localhost from the demo CA the
// prefix trusts, for another name, expired, and from a CA nobody trusts.
enum class Tls { kNone, kLocalhost, kOtherName, kExpired, kUnknownCa };

class TestServer {
public:
    // Starts the server and waits (bounded) until it tells its port. It
    // stops by itself after `maxSeconds` should nobody shut it down. Port 0
    // picks a free port; a given port that is busy leaves it not started.
    // With a certificate it also speaks TLS, to clients that start with a
    // handshake; its control requests stay plain HTTP.
    explicit TestServer(int maxSeconds = 300, unsigned short port = 0, Tls tls = Tls::kNone);
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;
    ~TestServer();

    bool Started() const noexcept { return m_port != 0; }
    unsigned short Port() const noexcept { return m_port; }
    // "http://127.0.0.1:<port>" + path, "https://localhost:<port>" + path
    // for a server with a certificate (the certificates name localhost).
    std::wstring Url(const std::wstring& path) const;

    // Adds or replaces the route `path`; `fields` is a JSON object of route
    // fields such as {"status": 404} or {"size": 1300, "chunk": 100}.
    bool AddRoute(const std::string& path, const std::string& fields);
    // The request log, a JSON array as GET /__log returns it; empty on failure.
    std::string Log();
    bool Reset();
    // Asks the server to end; the destructor does so too.
    bool Shutdown();

private:
    // One control request; true when the server answered 200.
    bool Control(const wchar_t* verb, const wchar_t* path, const std::string& body,
                 std::string* response);

    unsigned short m_port = 0;
    bool m_bTls = false;
    std::wstring m_portFile; // as Windows sees it
};

// A fixture whose tests share one server: started once for the suite,
// its routes and log reset before each test.
class SharedServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static TestServer& Server() noexcept { return *s_server; }

private:
    static TestServer* s_server;
};

} // namespace qmtest
