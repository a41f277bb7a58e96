#include "download/response_reader.h"

#include "common/log.h"
#include "common/site_address.h"
#include "framework/detached_thread.h"

#include <algorithm>
#include <system_error>
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
// Not kept in the user's cache: the file lands beside the executable anyway.
constexpr DWORD kRequestFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_NO_CACHE_WRITE;
} // namespace

// The reader and the worker hand one step over at a time through a slot
// guarded by a slim lock. Its condition variable waits in the process (no
// trip to the Wine server), which a wait per block under Wine needs.
struct ResponseReader::Shared {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    bool ready = false; // a step is in the slot
    bool taken = true;  // the worker took the last step: the slot is free
    bool abandoned = false;
    Step step = Step::Waiting;
    DWORD status = 0;
    DWORD length = 0xFFFFFFFF;
    UINT count = 0;
    DWORD error = 0;
    Sending sending = Sending::kAnswer;
    std::vector<char> block = std::vector<char>(kReadBlock);
    std::wstring url;
    // Released on the reading thread, the request before its connection
    // and both before the session.
    std::shared_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;

    // Sends the GET for `url`, following the redirects it may. A failed
    // send raises, as CHttpFile::SendRequest does.
    Sending Send()
    {
        std::wstring address = url;
        for (int redirects = 0;; ++redirects) {
            DWORD service = 0;
            std::wstring server;
            std::wstring object;
            INTERNET_PORT port = 0;
            if (!AfxParseURL(address.c_str(), service, server, object, port))
                return Sending::kBadAddress;
            request.reset();
            connection = session->GetHttpConnection(server.c_str(), port, nullptr, nullptr);
            if (!connection)
                return Sending::kNoConnection;
            const DWORD flags = kRequestFlags | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                (service == AFX_INET_SERVICE_HTTPS ? INTERNET_FLAG_SECURE : 0);
            request = connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object.c_str(),
                                              nullptr, 1, nullptr, nullptr, flags);
            if (!request)
                return Sending::kNoRequest;
            request->AddRequestHeaders(L"Accept: */*", HTTP_ADDREQ_FLAG_ADD_IF_NEW);
            request->SendRequest();
            std::wstring target = RedirectTarget(*request, address.c_str());
            if (target.empty())
                return Sending::kAnswer;
            if (redirects == kMaxRedirects || !MayFollowRedirect(address, target)) {
                WriteLog(L"拒绝重定向：%s -> %s", address.c_str(), target.c_str());
                return Sending::kRefusedRedirect;
            }
            address = std::move(target);
        }
    }

    // Hands a step over once the worker took the last; false when nobody
    // waits for it any more.
    bool Publish(Step next, std::vector<char>& filled, UINT filledCount, DWORD failure)
    {
        ::AcquireSRWLockExclusive(&lock);
        while (!taken && !abandoned)
            ::SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
        const bool wanted = !abandoned;
        if (wanted) {
            step = next;
            block.swap(filled);
            count = filledCount;
            error = failure;
            taken = false;
            ready = true;
        }
        ::ReleaseSRWLockExclusive(&lock);
        ::WakeAllConditionVariable(&changed);
        return wanted;
    }

    void Run()
    {
        std::vector<char> mine(kReadBlock);
        Step next = Step::Headers;
        DWORD failure = 0;
        try {
            sending = Send();
            if (sending == Sending::kAnswer) {
                request->QueryInfoStatusCode(status);
                request->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length);
            } else {
                next = Step::Failed;
                failure = ::GetLastError();
            }
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

ResponseReader::ResponseReader(std::shared_ptr<CInternetSession> session, std::wstring url)
    : m_shared(std::make_shared<Shared>()), m_block(kReadBlock)
{
    m_shared->session = std::move(session);
    m_shared->url = std::move(url);
    if (!StartDetachedThread([shared = m_shared] { shared->Run(); }))
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                                "no reader thread");
}

ResponseReader::~ResponseReader()
{
    Shared& s = *m_shared;
    ::AcquireSRWLockExclusive(&s.lock);
    s.abandoned = true;
    ::ReleaseSRWLockExclusive(&s.lock);
    ::WakeAllConditionVariable(&s.changed); // wakes a reader waiting to hand over
}

ResponseReader::Step ResponseReader::Next(DWORD ms)
{
    Shared& s = *m_shared;
    const ULONGLONG deadline = ::GetTickCount64() + ms;
    ::AcquireSRWLockExclusive(&s.lock);
    for (ULONGLONG now = ::GetTickCount64(); !s.ready && now < deadline; now = ::GetTickCount64())
        ::SleepConditionVariableSRW(&s.changed, &s.lock, static_cast<DWORD>(deadline - now), 0);
    const bool ready = s.ready;
    Step step = Step::Waiting;
    if (ready) {
        step = s.step;
        m_status = s.status;
        m_length = s.length;
        m_count = s.count;
        m_error = s.error;
        m_sending = s.sending;
        m_block.swap(s.block);
        s.ready = false;
        s.taken = true;
    }
    ::ReleaseSRWLockExclusive(&s.lock);
    if (ready)
        ::WakeAllConditionVariable(&s.changed);
    return step;
}
