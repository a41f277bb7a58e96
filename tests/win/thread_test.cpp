// The worker-thread class under Wine: start, stop, kill, the command queue,
// name-based exclusion and its tags, and the failures it raises.
#include "download/thread.h"
#include "download/thread_exception.h"
#include "framework/detached_thread.h"
#include "support/test_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 5000; // bound of every wait that should succeed

// Polls `done` until it holds or `timeoutMs` passes; whether it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(1);
    }
    return true;
}

// A manual-reset event owned by the test.
class Event {
public:
    Event() : m_h(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void Set() { ::SetEvent(m_h.get()); }
    bool Wait(DWORD timeoutMs = kWaitMs) const
    {
        return ::WaitForSingleObject(m_h.get(), timeoutMs) == WAIT_OBJECT_0;
    }
    HANDLE get() const { return m_h.get(); }

private:
    UniqueHandle m_h;
};

// A CThread whose body the test supplies.
class TestThread : public CThread {
public:
    using Body = std::function<unsigned(TestThread&)>;

    explicit TestThread(Body body, bool commandQueue = true, const wchar_t* syncName = nullptr)
        : m_body(std::move(body))
    {
        m_bCommandQueue = commandQueue;
        if (syncName) {
            m_bSynchronize = TRUE;
            m_strSyncName = syncName;
        }
    }
    // The body lives in this object: end the thread before it goes.
    ~TestThread() override
    {
        if (IsAlive())
            Kill();
    }

    using CThread::WaitCommand;

    bool Post(unsigned code, std::wstring* error = nullptr)
    {
        GlobalLock lock;
        std::wstring text;
        const bool posted = PostCommand(text, code);
        if (error)
            *error = text;
        return posted;
    }
    size_t QueuedCommands()
    {
        GlobalLock lock;
        return m_commands.size();
    }
    DWORD ThreadId()
    {
        GlobalLock lock;
        return m_dwThreadId;
    }
    // A handle of its own to the current thread, to watch it after the object lets go.
    UniqueHandle DuplicateThreadHandle()
    {
        GlobalLock lock;
        HANDLE copy = nullptr;
        if (m_hThread)
            ::DuplicateHandle(::GetCurrentProcess(), m_hThread.get(), ::GetCurrentProcess(), &copy,
                              SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, 0);
        return UniqueHandle(copy);
    }
    // Replaces the command event by `handle`; the previous one is given back.
    UniqueHandle SwapCommandEvent(UniqueHandle handle)
    {
        GlobalLock lock;
        std::swap(handle, m_hCommandEvent);
        return handle;
    }
    // While set, every command signal fails as a refused SetEvent would.
    void FailSignals(bool fail) noexcept { m_failSignals = fail; }
    void SetStopPolls(int polls) { m_nStopPolls = polls; }
    void SetSecurity(SECURITY_ATTRIBUTES* security) { m_pSecurity = security; }

    std::atomic<int> killedCalls{0};

protected:
    unsigned Run() override { return m_body(*this); }
    void OnKilled() override { ++killedCalls; }
    bool SignalCommandEvent() noexcept override
    {
        if (!m_failSignals)
            return CThread::SignalCommandEvent();
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }

private:
    Body m_body;
    std::atomic<bool> m_failSignals{false};
};

// A body that waits for CMD_STOP and then returns `result`.
TestThread::Body UntilStop(unsigned result)
{
    return [result](TestThread& t) {
        while (t.WaitCommand() != CThread::CMD_STOP) {
        }
        return result;
    };
}

DWORD StopThread(CThread& thread)
{
    DWORD exitCode = 0;
    EXPECT_TRUE(thread.Stop(exitCode));
    return exitCode;
}

TEST(Thread, SecondStartRaisesAlreadyStartedAndTheFirstKeepsRunning)
{
    TestThread t(UntilStop(42));
    t.Start();
    const DWORD firstId = t.ThreadId();
    ASSERT_NE(firstId, 0u);
    try {
        t.Start();
        FAIL() << "the second start was accepted";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.m_nType, CThreadException::THREAD_ALREADY_STARTED);
        EXPECT_EQ(e.m_strMessage, L"Thread is already started!");
        EXPECT_EQ(e.m_pThread, &t);
    }
    EXPECT_TRUE(t.IsAlive());
    EXPECT_EQ(t.ThreadId(), firstId);
    EXPECT_EQ(StopThread(t), 42u);
}

TEST(Thread, StopOfANeverStartedThreadReturnsTrueWithNeverRanCode)
{
    TestThread t(UntilStop(1));
    DWORD exitCode = 0;
    EXPECT_TRUE(t.Stop(exitCode));
    EXPECT_EQ(exitCode, 0xFFFFFFFEu);
    EXPECT_FALSE(t.IsAlive());
}

TEST(Thread, StopHonouredGivesTheBodysResult)
{
    TestThread t(UntilStop(1234), true, L"StopHonoured");
    t.Start();
    EXPECT_TRUE(t.IsAlive());
    EXPECT_EQ(StopThread(t), 1234u);
    EXPECT_FALSE(t.IsAlive());
    EXPECT_EQ(CThread::SyncTagRefCount(L"StopHonoured"), -1);
    // A second stop has nothing to do and reports the same code.
    EXPECT_EQ(StopThread(t), 1234u);
}

TEST(Thread, BodyThatEndsByItselfCanBeStartedAgain)
{
    std::atomic<int> runs{0};
    std::vector<unsigned> firstCodes;
    TestThread t([&](TestThread& self) {
        firstCodes.push_back(self.WaitCommand());
        return static_cast<unsigned>(++runs);
    });
    t.Start();
    ASSERT_TRUE(WaitUntil([&] { return !t.IsAlive(); }));
    t.Start(); // the command event survives, the queue starts empty
    ASSERT_TRUE(WaitUntil([&] { return !t.IsAlive(); }));
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(firstCodes, (std::vector<unsigned>{CThread::CMD_START, CThread::CMD_START}));
    EXPECT_EQ(t.QueuedCommands(), 0u);
    EXPECT_EQ(StopThread(t), 2u);
}

TEST(Thread, BodyThatIgnoresStopIsKilledAndOnKilledRunsOnce)
{
    Event never;
    TestThread t(
        [&never](TestThread&) {
            ::WaitForSingleObject(never.get(), INFINITE);
            return 5u;
        },
        true, L"Ignorer");
    t.SetStopPolls(3); // 0.3 s instead of 20 s; the waiting logic is the same
    t.Start();
    UniqueHandle watch = t.DuplicateThreadHandle();
    ASSERT_TRUE(watch);

    DWORD exitCode = 0;
    EXPECT_FALSE(t.Stop(exitCode));
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(t.IsAlive());
    EXPECT_EQ(CThread::SyncTagRefCount(L"Ignorer"), 1);

    t.Kill();
    EXPECT_EQ(t.killedCalls, 1);
    EXPECT_FALSE(t.IsAlive());
    ASSERT_EQ(::WaitForSingleObject(watch.get(), kWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    ASSERT_TRUE(::GetExitCodeThread(watch.get(), &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(CThread::SyncTagRefCount(L"Ignorer"), -1);
    EXPECT_EQ(StopThread(t), 0u);
    EXPECT_EQ(t.killedCalls, 1);
}

TEST(Thread, KillWithoutAThreadCallsNoHook)
{
    TestThread t(UntilStop(3));
    t.Kill();
    EXPECT_EQ(t.killedCalls, 0);
    EXPECT_EQ(StopThread(t), 0u) << "Kill records exit code 0 even without a thread";
}

TEST(Thread, DestroyingAnObjectWhoseThreadRunsTerminatesIt)
{
    Event never;
    UniqueHandle watch;
    {
        TestThread t(
            [&never](TestThread&) {
                ::WaitForSingleObject(never.get(), INFINITE);
                return 9u;
            },
            false);
        t.Start();
        watch = t.DuplicateThreadHandle();
        ASSERT_TRUE(watch);
    }
    ASSERT_EQ(::WaitForSingleObject(watch.get(), kWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    ASSERT_TRUE(::GetExitCodeThread(watch.get(), &code));
    EXPECT_EQ(code, 0u);
}

TEST(Thread, QueuedCommandsArriveInPostingOrderThenATimeout)
{
    Event gate;
    Event done;
    std::vector<unsigned> codes;
    ULONGLONG timeoutWaitMs = 0;
    TestThread t([&](TestThread& self) {
        ::WaitForSingleObject(gate.get(), kWaitMs);
        for (;;) {
            const ULONGLONG before = ::GetTickCount64();
            const unsigned code = self.WaitCommand();
            codes.push_back(code);
            if (code == CThread::CMD_TIMEOUT) {
                timeoutWaitMs = ::GetTickCount64() - before;
                break;
            }
        }
        done.Set();
        while (self.WaitCommand() != CThread::CMD_STOP) {
        }
        return 0u;
    });
    t.Start();
    ASSERT_TRUE(t.Post(11));
    t.PostRunCommand();
    ASSERT_TRUE(t.Post(12));
    EXPECT_EQ(t.QueuedCommands(), 4u); // CMD_START first
    gate.Set();
    ASSERT_TRUE(done.Wait());
    EXPECT_EQ(codes, (std::vector<unsigned>{CThread::CMD_START, 11u, CThread::CMD_RUN, 12u,
                                            CThread::CMD_TIMEOUT}));
    EXPECT_GE(timeoutWaitMs, 80u) << "CMD_TIMEOUT comes after a wait of about 100 ms";
    EXPECT_EQ(StopThread(t), 0u);
}

TEST(Thread, WithoutACommandQueueNothingIsQueuedOrAwaited)
{
    Event gate;
    std::atomic<unsigned> seen{0xFFFF};
    TestThread t(
        [&](TestThread& self) {
            ::WaitForSingleObject(gate.get(), kWaitMs);
            seen = self.WaitCommand();
            return 77u;
        },
        false);
    t.Start();
    std::wstring error = L"untouched";
    EXPECT_TRUE(t.Post(CThread::CMD_RUN, &error));
    EXPECT_TRUE(error.empty());
    t.PostRunCommand();
    EXPECT_EQ(t.QueuedCommands(), 0u);
    gate.Set();
    ASSERT_TRUE(WaitUntil([&] { return !t.IsAlive(); }));
    EXPECT_EQ(seen, CThread::CMD_NONE);
    EXPECT_EQ(StopThread(t), 77u);
}

TEST(Thread, PostRunCommandWithoutAThreadDoesNothing)
{
    TestThread t(UntilStop(0));
    t.PostRunCommand();
    EXPECT_EQ(t.QueuedCommands(), 0u);
}

TEST(Thread, ThreadsOfOneNameShareOneTagCountedByStartedThreads)
{
    const size_t before = CThread::SyncTagCount();
    TestThread a(UntilStop(1), true, L"Shared");
    TestThread b(UntilStop(2), true, L"Shared");
    TestThread c(UntilStop(3), true, L"shared"); // names compare case-sensitively
    EXPECT_EQ(CThread::SyncTagRefCount(L"Shared"), -1);
    a.Start();
    b.Start();
    c.Start();
    EXPECT_EQ(CThread::SyncTagRefCount(L"Shared"), 2);
    EXPECT_EQ(CThread::SyncTagRefCount(L"shared"), 1);
    EXPECT_EQ(CThread::SyncTagCount(), before + 2);

    EXPECT_EQ(StopThread(a), 1u);
    EXPECT_EQ(CThread::SyncTagRefCount(L"Shared"), 1);
    EXPECT_EQ(StopThread(b), 2u);
    EXPECT_EQ(CThread::SyncTagRefCount(L"Shared"), -1);
    EXPECT_EQ(StopThread(c), 3u);
    EXPECT_EQ(CThread::SyncTagCount(), before);
}

TEST(Thread, ObjectsOfOneNameExcludeEachOther)
{
    TestThread a(UntilStop(0), true, L"Exclusive");
    TestThread b(UntilStop(0), true, L"Exclusive");
    a.Start();
    b.Start();

    a.Lock();
    a.Lock(); // the same thread may enter again
    EXPECT_TRUE(a.IsLockedByThisThread());
    Event entered;
    Event release;
    std::thread other([&] {
        b.Lock();
        entered.Set();
        ::WaitForSingleObject(release.get(), kWaitMs);
        b.Unlock();
    });
    EXPECT_FALSE(entered.Wait(200)) << "b entered while a held the section";
    a.Unlock();
    EXPECT_FALSE(entered.Wait(200)) << "one Unlock of two released the section";
    a.Unlock();
    EXPECT_FALSE(a.IsLockedByThisThread());
    EXPECT_TRUE(entered.Wait());
    release.Set();
    other.join();

    StopThread(a);
    StopThread(b);
}

TEST(Thread, LockOfAnObjectThatIsNotStartedExcludesNothing)
{
    TestThread running(UntilStop(0), true, L"NotStarted");
    TestThread idle(UntilStop(0), true, L"NotStarted");
    running.Start();
    running.Lock();
    Event entered;
    std::thread other([&] {
        idle.Lock(); // returns at once: idle has no tag
        EXPECT_FALSE(idle.IsLockedByThisThread());
        entered.Set();
        idle.Unlock();
    });
    EXPECT_TRUE(entered.Wait());
    other.join();
    running.Unlock();
    StopThread(running);
}

TEST(Thread, UnlockAfterTheLastThreadOfTheNameEndedStillLeavesTheSection)
{
    TestThread first(UntilStop(0), true, L"Outlived");
    first.Start();
    first.Lock();
    StopThread(first); // its tag would go now, but the section is held
    EXPECT_EQ(CThread::SyncTagRefCount(L"Outlived"), 0);

    TestThread second(UntilStop(0), true, L"Outlived");
    second.Start(); // finds the same tag
    EXPECT_EQ(CThread::SyncTagRefCount(L"Outlived"), 1);
    Event entered;
    std::thread other([&] {
        second.Lock();
        entered.Set();
        second.Unlock();
    });
    EXPECT_FALSE(entered.Wait(200)) << "the held section was replaced by a new one";
    first.Unlock(); // first has no thread any more, yet leaves what it entered
    EXPECT_TRUE(entered.Wait());
    other.join();
    StopThread(second);
    EXPECT_EQ(CThread::SyncTagRefCount(L"Outlived"), -1);
}

TEST(Thread, KilledWhileInsideTheSectionTheNameGetsAFreshOne)
{
    Event inside;
    Event never;
    TestThread holder(
        [&](TestThread& self) {
            self.Lock();
            inside.Set();
            ::WaitForSingleObject(never.get(), INFINITE);
            return 0u;
        },
        true, L"Abandoned");
    holder.Start();
    ASSERT_TRUE(inside.Wait());
    holder.Kill();
    EXPECT_EQ(CThread::SyncTagRefCount(L"Abandoned"), -1);

    TestThread next(UntilStop(0), true, L"Abandoned");
    next.Start();
    Event entered;
    std::thread other([&] {
        next.Lock();
        entered.Set();
        next.Unlock();
    });
    EXPECT_TRUE(entered.Wait()) << "the section the killed thread held was handed out again";
    other.join();
    StopThread(next);
}

// Threads of one name start and end all the time while other threads lock and
// unlock through those very objects: a Lock that read the tag just before its
// last thread ended must still enter a live section, exclusion must hold,
// and every tag must be gone at the end.
TEST(Thread, LockUnderLoadWhileThreadsOfTheNameStartAndEnd)
{
    constexpr int kObjects = 4;
    constexpr int kLockers = 3;
    constexpr long kStarts = 300;
    constexpr long kLockedRounds = 1000;
    const size_t tagsBefore = CThread::SyncTagCount();

    std::atomic<int> inside{0};
    std::atomic<int> violations{0};
    std::atomic<long> lockedRounds{0};
    std::atomic<long> idleRounds{0};
    std::atomic<long> starts{0};
    auto guarded = [&](CThread& thread) {
        thread.Lock();
        if (thread.IsLockedByThisThread()) {
            if (inside.fetch_add(1) != 0)
                ++violations;
            for (int i = 0; i < 20; ++i)
                ::SwitchToThread();
            inside.fetch_sub(1);
            ++lockedRounds;
        } else {
            ++idleRounds;
        }
        thread.Unlock();
    };

    std::vector<std::unique_ptr<TestThread>> objects;
    for (int i = 0; i < kObjects; ++i) {
        objects.push_back(std::make_unique<TestThread>(
            [&](TestThread& self) {
                guarded(self); // the worker itself takes its lock, like the download manager
                return 0u;
            },
            false, L"Load"));
    }

    std::atomic<bool> running{true};
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < 2; ++c) {
        threads.emplace_back([&, c] {
            while (running) {
                for (int i = c; i < kObjects; i += 2) {
                    TestThread& object = *objects[static_cast<size_t>(i)];
                    if (!object.IsAlive()) {
                        object.Start();
                        ++starts;
                    }
                }
                ::SwitchToThread();
            }
            ++finished;
        });
    }
    for (int l = 0; l < kLockers; ++l) {
        threads.emplace_back([&, l] {
            unsigned next = static_cast<unsigned>(l);
            while (running)
                guarded(*objects[next++ % kObjects]);
            ++finished;
        });
    }
    const bool enough = WaitUntil(
        [&] { return starts >= kStarts && lockedRounds >= kLockedRounds && idleRounds > 0; },
        30000);
    running = false;
    if (!WaitUntil([&] { return finished == static_cast<int>(threads.size()); }, 10000)) {
        // A thread is stuck in Lock for good; joining it would hang the run.
        std::fprintf(stderr, "a Lock never returned: the section was lost\n");
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    for (std::thread& thread : threads)
        thread.join();
    for (auto& object : objects)
        ASSERT_TRUE(WaitUntil([&] { return !object->IsAlive(); }));
    for (auto& object : objects)
        StopThread(*object);

    EXPECT_TRUE(enough) << starts << " starts, " << lockedRounds << " rounds locked, " << idleRounds
                        << " rounds without a tag";
    EXPECT_EQ(violations, 0);
    EXPECT_EQ(CThread::SyncTagRefCount(L"Load"), -1);
    EXPECT_EQ(CThread::SyncTagCount(), tagsBefore);
}

TEST(Thread, EventThatCannotBeSignalledFailsTheStartAndGivesEverythingBack)
{
    std::atomic<int> bodies{0};
    std::atomic<unsigned> firstCommand{CThread::CMD_NONE};
    TestThread t(
        [&](TestThread& self) {
            ++bodies;
            firstCommand = self.WaitCommand();
            while (self.WaitCommand() != CThread::CMD_STOP) {
            }
            return 3u;
        },
        true, L"BadEvent");
    // A semaphore is no event: SetEvent fails on it.
    UniqueHandle event =
        t.SwapCommandEvent(UniqueHandle(::CreateSemaphoreW(nullptr, 0, 1, nullptr)));
    try {
        t.Start();
        FAIL() << "the start succeeded without its CMD_START";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.m_nType, CThreadException::COMMAND_POST_FAILED)
            << qmtest::Narrow(e.m_strMessage);
        EXPECT_FALSE(e.m_strMessage.empty());
    }
    EXPECT_FALSE(t.IsAlive());
    EXPECT_EQ(t.QueuedCommands(), 0u);
    EXPECT_EQ(CThread::SyncTagRefCount(L"BadEvent"), -1);
    // No thread was ever made, so no body can turn up late.
    ::Sleep(200);
    EXPECT_EQ(bodies, 0);

    // With a working event the same object starts, and its first command is
    // the new start's own CMD_START, not a leftover of the failed one.
    t.SwapCommandEvent(std::move(event));
    t.Start();
    ASSERT_TRUE(WaitUntil([&] { return firstCommand != CThread::CMD_NONE; }));
    EXPECT_EQ(firstCommand, CThread::CMD_START);
    EXPECT_EQ(t.QueuedCommands(), 0u);
    EXPECT_EQ(StopThread(t), 3u);
    EXPECT_EQ(bodies, 1);
}

TEST(Thread, RunAndStopCommandsThatCannotBePostedRaiseAndTheThreadRuns)
{
    Event started;
    Event go;
    std::vector<unsigned> seen; // written by the worker only until it returns
    TestThread t([&](TestThread& self) {
        while (self.WaitCommand() != CThread::CMD_START) {
        }
        started.Set();
        // Held here until the test has looked, so the worker cannot take the
        // queued codes early.
        go.Wait();
        for (;;) {
            const unsigned code = self.WaitCommand();
            if (code == CThread::CMD_TIMEOUT)
                continue;
            seen.push_back(code);
            if (code == CThread::CMD_STOP)
                return 8u;
        }
    });
    t.Start();
    ASSERT_TRUE(started.Wait());
    t.FailSignals(true);
    try {
        t.PostRunCommand();
        FAIL() << "CMD_RUN was posted";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.m_nType, CThreadException::COMMAND_POST_FAILED);
        EXPECT_FALSE(e.m_strMessage.empty());
    }
    DWORD exitCode = 0;
    try {
        t.Stop(exitCode);
        FAIL() << "CMD_STOP was posted";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.m_nType, CThreadException::COMMAND_POST_FAILED);
    }
    EXPECT_EQ(exitCode, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(t.IsAlive());
    EXPECT_EQ(t.QueuedCommands(), 2u);

    // Both unsignalled codes stayed queued: the worker finds them in order
    // without any further signal.
    go.Set();
    ASSERT_TRUE(WaitUntil([&] { return !t.IsAlive(); }));
    EXPECT_EQ(seen, (std::vector<unsigned>{CThread::CMD_RUN, CThread::CMD_STOP}));
    t.FailSignals(false);
    EXPECT_EQ(StopThread(t), 8u);
}

TEST(Thread, ThreadThatCannotBeCreatedGivesItsTagBack)
{
    // A security descriptor of an unknown revision: CreateThread refuses it.
    alignas(void*) BYTE descriptor[64] = {};
    descriptor[0] = 0x7F;
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
    TestThread t(UntilStop(0), true, L"Unborn");
    t.SetSecurity(&security);
    try {
        t.Start();
        FAIL() << "a thread was created with a broken security descriptor";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.m_nType, CThreadException::THREAD_CREATE_FAILED);
        EXPECT_FALSE(e.m_strMessage.empty());
    }
    EXPECT_FALSE(t.IsAlive());
    EXPECT_EQ(t.QueuedCommands(), 0u) << "the failed start's CMD_START is not left queued";
    EXPECT_EQ(CThread::SyncTagRefCount(L"Unborn"), -1);
    // The same object starts once it is given usable attributes.
    t.SetSecurity(nullptr);
    t.Start();
    EXPECT_EQ(CThread::SyncTagRefCount(L"Unborn"), 1);
    StopThread(t);
}

// Each thread starts the moment the one before it has done its work, as the
// update's file swap and its undo do; every one of them has to run, and each
// lets go of what its work held once it ends.
TEST(DetachedThread, EachOfManyStartedBackToBackRunsAndLetsGoOfItsWork)
{
    const auto held = std::make_shared<int>(0);
    for (int i = 0; i < 300; ++i) {
        Event done;
        ASSERT_TRUE(StartDetachedThread([&done, held] { done.Set(); })) << i;
        ASSERT_TRUE(done.Wait()) << "start " << i << " never ran its work";
    }
    EXPECT_TRUE(WaitUntil([&] { return held.use_count() == 1; })) << held.use_count();
}

TEST(SystemErrorText, GivesTheSystemsTextOrNothing)
{
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), L'\n');
    EXPECT_EQ(SystemErrorText(0x2000ABCD), L"");
}

// Closes the first message box of this process that shows up and records its texts.
struct BoxCloser {
    std::vector<std::wstring> texts;
    bool closed = false;

    // The first visible dialog box of this process, or null.
    static HWND FindBox()
    {
        for (const HWND hwnd : qmtest::ProcessWindows(::GetCurrentProcessId()))
            if (qmtest::WindowClass(hwnd) == L"#32770" && ::IsWindowVisible(hwnd))
                return hwnd;
        return nullptr;
    }
    void Run()
    {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = FindBox()) != nullptr; }))
            return;
        for (const HWND child : qmtest::ChildWindows(box))
            texts.push_back(qmtest::WindowText(child));
        closed = ::PostMessageW(box, WM_COMMAND, IDCANCEL, 0) != FALSE;
    }
    bool Saw(const std::wstring& text) const
    {
        for (const std::wstring& t : texts)
            if (t == text)
                return true;
        return false;
    }
};

TEST(ThreadException, ReportErrorShowsTheMessageAndReturnsTheAnswer)
{
    const CThreadException e(nullptr, L"Thread is already started!",
                             CThreadException::THREAD_ALREADY_STARTED);
    BoxCloser closer;
    std::thread watcher([&] { closer.Run(); });
    const int answer = e.ReportError(MB_OKCANCEL);
    watcher.join();
    EXPECT_TRUE(closer.closed);
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_TRUE(closer.Saw(L"Thread is already started!"));
}

TEST(ThreadException, ReportErrorWithAMissingStringResourceKeepsTheMessage)
{
    const CThreadException e(nullptr, L"posting failed", CThreadException::COMMAND_POST_FAILED);
    BoxCloser closer;
    std::thread watcher([&] { closer.Run(); });
    const int answer = e.ReportError(MB_OKCANCEL, 61234);
    watcher.join();
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_TRUE(closer.Saw(L"posting failed"));
}

} // namespace
