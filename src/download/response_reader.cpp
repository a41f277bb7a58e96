#include "download/response_reader.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {
// Each read through WinINet costs about the same whatever its size (~70 us
// under Wine): blocks of 64 KiB make a fast download's cost the network's.
constexpr UINT kReadBlock = 64 * 1024;
// What WinINet holds read ahead (8 KiB under Wine). A full buffer says the
// bytes come faster than they are taken, and a whole block then fills at
// once; anything less is taken as it is, so a slow body shows as it comes.
constexpr DWORD kFullBuffer = 8 * 1024;
// A whole block that came within this long says the next one will too.
constexpr ULONGLONG kFlowingMs = 50;
} // namespace

struct ResponseReader::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool taken = true; // the worker took the last step: the reader may hand over the next
    bool ready = false;
    bool abandoned = false;
    Step step = Step::Waiting;
    DWORD status = 0;
    DWORD length = 0xFFFFFFFF;
    UINT count = 0;
    DWORD error = 0;
    std::vector<char> block = std::vector<char>(kReadBlock);
    // Released on the reading thread, the request before its connection
    // and both before the session.
    std::shared_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;

    // Hands a step over once the worker took the last; false when nobody
    // waits for it any more.
    bool Publish(Step next, std::vector<char>& filled, UINT filledCount, DWORD failure)
    {
        std::unique_lock<std::mutex> hold(lock);
        changed.wait(hold, [&] { return taken || abandoned; });
        if (abandoned)
            return false;
        step = next;
        block.swap(filled);
        count = filledCount;
        error = failure;
        taken = false;
        ready = true;
        changed.notify_all();
        return true;
    }

    void Run()
    {
        std::vector<char> mine(kReadBlock);
        Step next = Step::Headers;
        DWORD failure = 0;
        try {
            request->SendRequest();
            request->QueryInfoStatusCode(status);
            request->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length);
        } catch (const CInternetException& e) {
            next = Step::Failed;
            failure = e.m_dwError;
        }
        if (Publish(next, mine, 0, failure) && next == Step::Headers) {
            // One block after another, each read while the worker writes the
            // last. While whole blocks come at once, the next is asked for
            // without looking first.
            bool flowing = false;
            do {
                UINT read = 0;
                try {
                    const ULONGLONG started = ::GetTickCount64();
                    const DWORD available = flowing ? kReadBlock : request->QueryDataAvailable();
                    const UINT asked = available >= kFullBuffer
                                           ? kReadBlock
                                           : std::min<UINT>(available, kReadBlock);
                    read = available ? request->Read(mine.data(), asked) : 0;
                    next = read ? Step::Block : Step::End;
                    flowing = read == kReadBlock && ::GetTickCount64() - started < kFlowingMs;
                } catch (const CInternetException& e) {
                    next = Step::Failed;
                    failure = e.m_dwError;
                }
                if (!Publish(next, mine, read, failure))
                    break;
            } while (next == Step::Block);
        }
        request.reset();
        connection.reset();
    }
};

ResponseReader::ResponseReader(std::shared_ptr<CInternetSession> session,
                               std::unique_ptr<CHttpConnection> connection,
                               std::unique_ptr<CHttpFile> request)
    : m_shared(std::make_shared<Shared>()), m_block(kReadBlock)
{
    m_shared->session = std::move(session);
    m_shared->connection = std::move(connection);
    m_shared->request = std::move(request);
    std::thread([shared = m_shared] { shared->Run(); }).detach();
}

ResponseReader::~ResponseReader()
{
    const std::lock_guard<std::mutex> hold(m_shared->lock);
    m_shared->abandoned = true;
    m_shared->changed.notify_all();
}

ResponseReader::Step ResponseReader::Next(DWORD ms)
{
    std::unique_lock<std::mutex> hold(m_shared->lock);
    if (!m_shared->changed.wait_for(hold, std::chrono::milliseconds(ms),
                                    [&] { return m_shared->ready; }))
        return Step::Waiting;
    Shared& s = *m_shared;
    s.ready = false;
    m_status = s.status;
    m_length = s.length;
    m_count = s.count;
    m_error = s.error;
    m_block.swap(s.block);
    s.taken = true;
    s.changed.notify_all();
    return s.step;
}
