#include "support/recording_http_server.h"

#include <algorithm>
#include <utility>

namespace qmtest {

RecordingHttpServer::RecordingHttpServer(unsigned short port, std::string body)
    : m_body(std::move(body))
{
    WSADATA data{};
    m_started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (m_listener == INVALID_SOCKET) {
        m_error = ::WSAGetLastError();
        return;
    }
    if (port != 0) {
        const BOOL reuse = TRUE;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse),
                     sizeof reuse);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        m_error = ::WSAGetLastError();
        return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

RecordingHttpServer::~RecordingHttpServer()
{
    if (m_listener != INVALID_SOCKET)
        ::closesocket(m_listener); // ends the accept loop
    if (m_thread.joinable())
        m_thread.join();
    if (m_started)
        ::WSACleanup();
}

std::wstring RecordingHttpServer::Url(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
}

std::vector<std::string> RecordingHttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

bool RecordingHttpServer::Saw(const std::string& requestLine) const
{
    const auto requests = Requests();
    return std::find(requests.begin(), requests.end(), requestLine) != requests.end();
}

void RecordingHttpServer::Serve()
{
    for (;;) {
        const SOCKET client = ::accept(m_listener, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const int got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            request.append(buffer, static_cast<size_t>(got));
        }
        if (!request.empty()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request.substr(0, request.find("\r\n")));
        }
        const int status = m_answer;
        const std::string response =
            "HTTP/1.1 " + std::to_string(status) +
            " Test\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(m_body.size()) +
            "\r\nConnection: close\r\n\r\n" + m_body;
        if (status != 0)
            ::send(client, response.data(), static_cast<int>(response.size()), 0);
        ::shutdown(client, SD_BOTH);
        ::closesocket(client);
    }
}

} // namespace qmtest
