#include "download/thread.h"

#include "download/thread_exception.h"

#include <utility>

namespace {
// TerminateThread completes asynchronously; this bounds the wait for it.
constexpr DWORD kTerminateWaitMs = 5000;
} // namespace

// One record per synchronisation name in use. The section is freed only when
// no started thread uses the tag (nRefCount) and no Lock is entering or inside
// it (nLockCount): a Lock that has read the tag can therefore always enter it,
// even when the last thread of that name ends in between, and Unlock always
// finds the section it has to leave.
struct CThread::_THREAD_SYNCHRONICITY_TAG {
    std::wstring strName;
    CRITICAL_SECTION* pSection = nullptr;
    int nRefCount = 0;
    int nLockCount = 0;
    DWORD dwOwnerThreadId = 0; // the thread inside the section, 0 when none
    int nOwnerDepth = 0;       // how often it entered
    // A killed thread left the section owned: nobody new may find the tag.
    bool bAbandoned = false;
    _THREAD_SYNCHRONICITY_TAG* pPrev = nullptr;
    _THREAD_SYNCHRONICITY_TAG* pNext = nullptr;
};

// Created when the process starts, torn down at exit in reverse order.
struct CThread::ClassLifetime {
    ClassLifetime()
    {
        PurgeSyncTags();
        auto* const section = new CRITICAL_SECTION;
        ::InitializeCriticalSection(section);
        s_pGlobalLock = section;
    }
    ~ClassLifetime()
    {
        PurgeSyncTags();
        if (CRITICAL_SECTION* const section = std::exchange(s_pGlobalLock, nullptr)) {
            ::DeleteCriticalSection(section);
            delete section;
        }
    }
};

// Both are constant-initialised, so they are valid (null, empty) before the
// lifetime object below runs; operations before it or after its end run unlocked.
CRITICAL_SECTION* CThread::s_pGlobalLock = nullptr;
CThread::TagList CThread::s_tagList = {nullptr, nullptr};
CThread::ClassLifetime CThread::s_classLifetime;

CThread::GlobalLock::GlobalLock() noexcept : m_pSection(s_pGlobalLock)
{
    if (m_pSection)
        ::EnterCriticalSection(m_pSection);
}

void CThread::GlobalLock::Leave() noexcept
{
    if (m_pSection)
        ::LeaveCriticalSection(std::exchange(m_pSection, nullptr));
}

CThread::~CThread()
{
    if (IsAlive()) {
        try {
            Kill();
        } catch (...) {
        }
    }
    GlobalLock lock;
    if (m_bCommandQueue)
        m_hCommandEvent.reset();
    Reset();
}

void CThread::Start()
{
    GlobalLock lock;
    if (IsAliveLocked()) {
        lock.Leave();
        throw CThreadException(this, kThreadAlreadyStarted,
                               CThreadException::THREAD_ALREADY_STARTED);
    }
    // A thread that ended without passing through OnThreadExit still holds
    // its handle and tag; give both back before the next thread takes new ones.
    ReleaseSyncTag();
    Reset();

    if (m_bCommandQueue && !m_hCommandEvent) {
        m_hCommandEvent.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!m_hCommandEvent) {
            const DWORD error = ::GetLastError();
            lock.Leave();
            throw CThreadException(this, SystemErrorText(error),
                                   CThreadException::EVENT_CREATE_FAILED);
        }
    }

    AcquireSyncTag();
    // CMD_START is queued before the thread exists: when it cannot be posted
    // there is no thread to terminate. A thread killed while it starts up can
    // die holding the loader lock and hang the process at exit.
    std::wstring error;
    if (!PostCommand(error, CMD_START)) {
        ReleaseSyncTag();
        Reset();
        lock.Leave();
        throw CThreadException(this, error, CThreadException::COMMAND_POST_FAILED);
    }

    // The new thread blocks on the class-wide lock until this returns, and
    // then finds CMD_START first in its queue.
    m_hThread.reset(::CreateThread(m_pSecurity, m_nStackSize, ThreadProc, this, 0, &m_dwThreadId));
    if (!m_hThread) {
        const DWORD createError = ::GetLastError();
        ReleaseSyncTag();
        Reset();
        lock.Leave();
        throw CThreadException(this, SystemErrorText(createError),
                               CThreadException::THREAD_CREATE_FAILED);
    }
}

DWORD WINAPI CThread::ThreadProc(LPVOID param)
{
    auto* const thread = static_cast<CThread*>(param);
    const unsigned result = thread->Run();
    thread->OnThreadExit(result);
    return result; // the object may be gone by now
}

void CThread::OnThreadExit(unsigned result)
{
    GlobalLock lock;
    ReleaseSyncTag();
    Reset();
    m_dwExitCode = result;
}

bool CThread::PostCommand(std::wstring& error, unsigned code)
{
    error.clear();
    if (!m_bCommandQueue || !m_hCommandEvent)
        return true;
    m_commands.push_back(code);
    if (!SignalCommandEvent()) {
        error = SystemErrorText(::GetLastError());
        return false;
    }
    return true;
}

bool CThread::SignalCommandEvent() noexcept
{
    return ::SetEvent(m_hCommandEvent.get()) != FALSE;
}

void CThread::PostRunCommand()
{
    GlobalLock lock;
    if (!m_hThread)
        return;
    std::wstring error;
    if (!PostCommand(error, CMD_RUN)) {
        lock.Leave();
        throw CThreadException(this, error, CThreadException::COMMAND_POST_FAILED);
    }
}

unsigned CThread::WaitCommand()
{
    if (!m_bCommandQueue || !m_hCommandEvent)
        return CMD_NONE;
    for (;;) {
        {
            GlobalLock lock;
            if (m_bCommandQueue && !m_commands.empty()) {
                const unsigned code = m_commands.front();
                m_commands.erase(m_commands.begin());
                return code;
            }
        }
        // The event is auto-reset and may have been signalled once for several
        // codes; the queue, not the number of signals, decides.
        if (::WaitForSingleObject(m_hCommandEvent.get(), 100) == WAIT_TIMEOUT)
            return CMD_TIMEOUT;
    }
}

bool CThread::IsAlive()
{
    GlobalLock lock;
    return IsAliveLocked();
}

bool CThread::IsAliveLocked()
{
    return m_hThread && ::GetExitCodeThread(m_hThread.get(), &m_dwExitCode) &&
           m_dwExitCode == STILL_ACTIVE;
}

bool CThread::Stop(DWORD& exitCode)
{
    GlobalLock lock;
    if (IsAliveLocked()) {
        std::wstring error;
        if (!PostCommand(error, CMD_STOP)) {
            exitCode = m_dwExitCode;
            lock.Leave();
            throw CThreadException(this, error, CThreadException::COMMAND_POST_FAILED);
        }
        lock.Leave();
        for (int polls = 0;; ++polls) {
            {
                GlobalLock poll;
                if (!IsAliveLocked())
                    break;
            }
            if (polls >= m_nStopPolls)
                break;
            ::Sleep(100);
        }
        GlobalLock done;
        exitCode = m_dwExitCode;
        return exitCode != STILL_ACTIVE;
    }

    // No thread, or one that ended without passing through OnThreadExit.
    if (m_hThread) {
        DWORD code = 0;
        if (::GetExitCodeThread(m_hThread.get(), &code))
            m_dwExitCode = code;
        ReleaseSyncTag();
    }
    exitCode = m_dwExitCode;
    Reset();
    return true;
}

void CThread::Kill()
{
    GlobalLock lock;
    if (m_hThread) {
        ::TerminateThread(m_hThread.get(), 0);
        // Wait for the termination, so that the thread does not touch this
        // object any more once Kill has returned.
        ::WaitForSingleObject(m_hThread.get(), kTerminateWaitMs);
        m_dwExitCode = 0;
        AbandonSyncTagOf(m_dwThreadId);
        ReleaseSyncTag();
        Reset();
        OnKilled();
    } else {
        m_dwExitCode = 0;
        Reset();
    }
}

void CThread::OnKilled() {}

void CThread::Reset() noexcept
{
    m_hThread.reset();
    m_dwThreadId = 0;
    m_pSyncTag = nullptr;
    std::vector<unsigned>().swap(m_commands);
}

void CThread::Lock()
{
    GlobalLock lock;
    if (!m_bSynchronize || !m_pSyncTag)
        return;
    _THREAD_SYNCHRONICITY_TAG* const tag = m_pSyncTag;
    ++tag->nLockCount; // keeps the section alive until the matching Unlock
    // Never wait for a tag while holding the class-wide lock: a thread inside
    // the tag may need the class-wide lock to get out.
    lock.Leave();
    ::EnterCriticalSection(tag->pSection);
    GlobalLock record;
    tag->dwOwnerThreadId = ::GetCurrentThreadId();
    ++tag->nOwnerDepth;
}

void CThread::Unlock()
{
    GlobalLock lock;
    if (!m_bSynchronize)
        return;
    // By name, not through m_pSyncTag: the thread may have ended since Lock.
    _THREAD_SYNCHRONICITY_TAG* const tag = FindOwnedTag(m_strSyncName);
    if (!tag)
        return; // Lock entered nothing
    if (--tag->nOwnerDepth == 0)
        tag->dwOwnerThreadId = 0;
    --tag->nLockCount;
    ::LeaveCriticalSection(tag->pSection); // never waits, so fine under the class-wide lock
    FreeTagIfUnused(tag);
}

bool CThread::IsLockedByThisThread() const
{
    GlobalLock lock;
    return m_bSynchronize && FindOwnedTag(m_strSyncName) != nullptr;
}

int CThread::SyncTagRefCount(const std::wstring& name)
{
    GlobalLock lock;
    const _THREAD_SYNCHRONICITY_TAG* const tag = FindTag(name);
    return tag ? tag->nRefCount : -1;
}

std::size_t CThread::SyncTagCount()
{
    GlobalLock lock;
    std::size_t count = 0;
    for (const _THREAD_SYNCHRONICITY_TAG* tag = s_tagList.pHead; tag; tag = tag->pNext)
        ++count;
    return count;
}

void CThread::AcquireSyncTag()
{
    if (!m_bSynchronize)
        return;
    _THREAD_SYNCHRONICITY_TAG* tag = FindTag(m_strSyncName);
    if (!tag) {
        tag = new _THREAD_SYNCHRONICITY_TAG;
        tag->strName = m_strSyncName;
        tag->pSection = new CRITICAL_SECTION;
        ::InitializeCriticalSection(tag->pSection);
        tag->pPrev = s_tagList.pTail;
        (s_tagList.pTail ? s_tagList.pTail->pNext : s_tagList.pHead) = tag;
        s_tagList.pTail = tag;
    }
    ++tag->nRefCount;
    m_pSyncTag = tag;
}

void CThread::ReleaseSyncTag() noexcept
{
    if (!m_bSynchronize || !m_pSyncTag)
        return;
    _THREAD_SYNCHRONICITY_TAG* const tag = std::exchange(m_pSyncTag, nullptr);
    if (tag->nRefCount > 0)
        --tag->nRefCount;
    FreeTagIfUnused(tag);
}

// A thread terminated inside its tag's section leaves it owned for ever, as
// TerminateThread does with every lock. Its entries no longer count, and the
// name gets a fresh section at the next Start; threads still holding the old
// tag keep it until they are done with it.
void CThread::AbandonSyncTagOf(DWORD threadId) noexcept
{
    _THREAD_SYNCHRONICITY_TAG* const tag = m_pSyncTag;
    if (!m_bSynchronize || !tag || threadId == 0 || tag->dwOwnerThreadId != threadId)
        return;
    tag->nLockCount -= tag->nOwnerDepth;
    tag->nOwnerDepth = 0;
    tag->dwOwnerThreadId = 0;
    tag->bAbandoned = true;
}

CThread::_THREAD_SYNCHRONICITY_TAG* CThread::FindTag(const std::wstring& name) noexcept
{
    for (_THREAD_SYNCHRONICITY_TAG* tag = s_tagList.pHead; tag; tag = tag->pNext) {
        if (!tag->bAbandoned && tag->strName == name)
            return tag;
    }
    return nullptr;
}

CThread::_THREAD_SYNCHRONICITY_TAG* CThread::FindOwnedTag(const std::wstring& name) noexcept
{
    const DWORD self = ::GetCurrentThreadId();
    for (_THREAD_SYNCHRONICITY_TAG* tag = s_tagList.pHead; tag; tag = tag->pNext) {
        if (tag->dwOwnerThreadId == self && tag->strName == name)
            return tag;
    }
    return nullptr;
}

void CThread::FreeTagIfUnused(_THREAD_SYNCHRONICITY_TAG* tag) noexcept
{
    if (tag->nRefCount > 0 || tag->nLockCount > 0)
        return;
    (tag->pPrev ? tag->pPrev->pNext : s_tagList.pHead) = tag->pNext;
    (tag->pNext ? tag->pNext->pPrev : s_tagList.pTail) = tag->pPrev;
    ::DeleteCriticalSection(tag->pSection);
    delete tag->pSection;
    delete tag;
}

void CThread::PurgeSyncTags() noexcept
{
    while (_THREAD_SYNCHRONICITY_TAG* const tag = s_tagList.pHead) {
        s_tagList.pHead = tag->pNext;
        if (tag->pSection) {
            ::DeleteCriticalSection(tag->pSection);
            delete tag->pSection;
        }
        delete tag;
    }
    s_tagList.pTail = nullptr;
}
