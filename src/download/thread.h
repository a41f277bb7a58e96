// CThread: the launcher's worker-thread class. It owns one operating-system
// thread at a time and drives it through a small command protocol (a queue of
// codes and an auto-reset event), stops it cooperatively with a bounded wait,
// kills it as a last resort, and lets threads of the same name exclude each
// other through one shared critical section (Lock / Unlock).
#pragma once

#include "framework/handles.h"
#include "framework/object.h"

#include <cstddef>
#include <string>
#include <vector>

class CThread : public CObject {
public:
    // Command codes between the controlling side and Run.
    enum : unsigned {
        CMD_NONE = 0,    // WaitCommand: the queue is not in use
        CMD_TIMEOUT = 1, // WaitCommand: nothing arrived within 100 ms
        CMD_START = 2,   // queued by Start just before the thread is created
        CMD_RUN = 3,     // posted by PostRunCommand: there is work to do
        CMD_STOP = 7,    // posted by Stop: Run is to return
    };

    CThread() = default;
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    // Kills a thread that still runs. A derived class whose Run uses its own
    // members must stop the thread in its own destructor.
    ~CThread() override;

    // Creates the thread; raises CThreadException.
    void Start();
    // Asks the thread to end and waits up to m_nStopPolls * 100 ms. True when
    // no thread runs any more; exitCode receives the last known exit code
    // (STILL_ACTIVE when the thread ignored the request). Raises
    // CThreadException when the request cannot be posted.
    bool Stop(DWORD& exitCode);
    // Terminates the thread at once and calls OnKilled.
    void Kill();
    bool IsAlive();
    // Posts CMD_RUN to a started thread; raises CThreadException.
    void PostRunCommand();

    // Enter and leave the critical section shared by every started thread of
    // this name. Both do nothing while the thread is not started.
    void Lock();
    void Unlock();

    // Inspection, for diagnostics and tests: whether the calling thread is
    // inside the section of this object's name; the number of started threads
    // using the tag of `name` (-1 when there is none); the number of tags.
    bool IsLockedByThisThread() const;
    static int SyncTagRefCount(const std::wstring& name);
    static std::size_t SyncTagCount();

protected:
    // The thread body; its result becomes the thread's exit code.
    virtual unsigned Run() = 0;
    // Called by Kill, with the class-wide lock held, after the thread was terminated.
    virtual void OnKilled();

    // Queues `code` and signals the worker; the caller holds the class-wide
    // lock. Without a command queue it succeeds and queues nothing. On false
    // `error` tells why (the code stays queued).
    bool PostCommand(std::wstring& error, unsigned code);
    // Signals the command event; false with the thread's last error set when
    // the system refuses. Virtual so a test can make the signal fail.
    virtual bool SignalCommandEvent() noexcept;
    // Worker side: the oldest queued code, CMD_TIMEOUT after 100 ms without
    // one, or CMD_NONE at once when the queue is not in use.
    unsigned WaitCommand();

    // Holds the class-wide lock, which guards every CThread's fields, every
    // command queue and the tag list, for one scope.
    class GlobalLock {
    public:
        GlobalLock() noexcept;
        GlobalLock(const GlobalLock&) = delete;
        GlobalLock& operator=(const GlobalLock&) = delete;
        ~GlobalLock() { Leave(); }
        void Leave() noexcept;

    private:
        CRITICAL_SECTION* m_pSection;
    };

    struct _THREAD_SYNCHRONICITY_TAG;

    // Set by a derived class in its constructor, before the first Start.
    BOOL m_bCommandQueue = FALSE;
    BOOL m_bSynchronize = FALSE;
    std::wstring m_strSyncName;

    _THREAD_SYNCHRONICITY_TAG* m_pSyncTag = nullptr;
    SECURITY_ATTRIBUTES* m_pSecurity = nullptr;
    UniqueHandle m_hThread;
    UniqueHandle m_hCommandEvent; // auto-reset; made by the first Start, kept until destruction
    DWORD m_dwThreadId = 0;
    DWORD m_nStackSize = 0;
    DWORD m_dwExitCode = 0xFFFFFFFE;  // never ran
    std::vector<unsigned> m_commands; // oldest first

    // How many 100 ms polls Stop waits for the thread to end.
    int m_nStopPolls = 200;

private:
    struct ClassLifetime;
    struct TagList {
        _THREAD_SYNCHRONICITY_TAG* pHead;
        _THREAD_SYNCHRONICITY_TAG* pTail;
    };

    static DWORD WINAPI ThreadProc(LPVOID param);
    void OnThreadExit(unsigned result);
    bool IsAliveLocked();
    void Reset() noexcept;
    void AcquireSyncTag();
    void ReleaseSyncTag() noexcept;
    void AbandonSyncTagOf(DWORD threadId) noexcept;
    static _THREAD_SYNCHRONICITY_TAG* FindTag(const std::wstring& name) noexcept;
    static _THREAD_SYNCHRONICITY_TAG* FindOwnedTag(const std::wstring& name) noexcept;
    static void FreeTagIfUnused(_THREAD_SYNCHRONICITY_TAG* tag) noexcept;
    static void PurgeSyncTags() noexcept;

    static CRITICAL_SECTION* s_pGlobalLock;
    static TagList s_tagList;
    static ClassLifetime s_classLifetime;
};
