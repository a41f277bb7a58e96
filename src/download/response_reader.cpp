#include "download/response_reader.h"

#include <algorithm>
#include <atomic>
#include <system_error>
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

// The reader and the worker hand one step over at a time through two
// auto-reset events: `ready` when the reader has put a step in the slot,
// `taken` when the worker has taken it and the slot is free again.
struct ResponseReader::Shared {
    UniqueHandle ready{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle taken{::CreateEventW(nullptr, FALSE, TRUE, nullptr)};
    std::atomic<bool> abandoned{false};
    // The slot.
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
        if (::WaitForSingleObject(taken.get(), INFINITE) != WAIT_OBJECT_0 || abandoned)
            return false;
        step = next;
        block.swap(filled);
        count = filledCount;
        error = failure;
        ::SetEvent(ready.get());
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
    if (!m_shared->ready || !m_shared->taken)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category());
    m_shared->session = std::move(session);
    m_shared->connection = std::move(connection);
    m_shared->request = std::move(request);
    std::thread([shared = m_shared] { shared->Run(); }).detach();
}

ResponseReader::~ResponseReader()
{
    m_shared->abandoned = true;
    ::SetEvent(m_shared->taken.get()); // wakes a reader waiting to hand over
}

ResponseReader::Step ResponseReader::Next(DWORD ms)
{
    Shared& s = *m_shared;
    if (::WaitForSingleObject(s.ready.get(), ms) != WAIT_OBJECT_0)
        return Step::Waiting;
    m_status = s.status;
    m_length = s.length;
    m_count = s.count;
    m_error = s.error;
    m_block.swap(s.block);
    const Step step = s.step;
    ::SetEvent(s.taken.get());
    return step;
}
