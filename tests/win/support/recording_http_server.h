// A small HTTP server inside the test process, on 127.0.0.1, that records
// every request line and answers each with one short HTML page. It stands
// in for a site the browser control talks to, where the scriptable Python
// server would be more than the test needs.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qmtest {

class RecordingHttpServer {
public:
    // Port 0 picks a free port. A given port left in TIME_WAIT by an earlier
    // run is bound again; one that another program listens on leaves the
    // server not running, with the socket error in Error().
    explicit RecordingHttpServer(
        unsigned short port = 0,
        std::string body = "<html><body>Quillmoor test page</body></html>");
    RecordingHttpServer(const RecordingHttpServer&) = delete;
    RecordingHttpServer& operator=(const RecordingHttpServer&) = delete;
    ~RecordingHttpServer();

    bool Running() const noexcept { return m_port != 0; }
    int Error() const noexcept { return m_error; }
    unsigned short Port() const noexcept { return m_port; }
    // "http://127.0.0.1:<port>" + path.
    std::wstring Url(const std::wstring& path) const;
    // Request lines such as "GET /client HTTP/1.1", in the order they came.
    std::vector<std::string> Requests() const;
    bool Saw(const std::string& requestLine) const;
    // How the requests from now on are answered: with this HTTP status and
    // the page (200 at first), or, for 0, by closing without an answer.
    void SetAnswer(int status) noexcept { m_answer = status; }

private:
    void Serve();

    const std::string m_body;
    bool m_started = false;
    SOCKET m_listener = INVALID_SOCKET;
    unsigned short m_port = 0;
    int m_error = 0;
    std::atomic<int> m_answer{200};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

} // namespace qmtest
