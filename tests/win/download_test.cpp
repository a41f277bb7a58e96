// The download manager under Wine against the local test server: what lands
// on disk, what the sink hears and when, what the server was asked, and how
// each failure ends.
#include "common/log.h"
#include "download/fdl.h"
#include "download/path_helpers.h"
#include "framework/file.h"
#include "framework/inet.h"
#include "support/test_files.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWaitMs = 10000;        // bound of every wait that should succeed
constexpr DWORD kShortTimeoutMs = 1500; // the manager's idle time in these tests
// No rate rule and a minute in all, unless a test says otherwise.
constexpr TransferLimits kShortLimits{kShortTimeoutMs, 0, 0, 60000};

// Polls `done` until it holds or `timeoutMs` passes; whether it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() >= deadline)
            return false;
        ::Sleep(10);
    }
    return true;
}

// Byte i of a generated body is i*7 mod 251.
std::string Generated(size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

using qmtest::FileSize;
using qmtest::ReadWholeFile;
using qmtest::RemoveTree;
using qmtest::SameBytes;
using qmtest::WriteWholeFile;

// What one callback saw.
struct SinkEvent {
    char kind; // 'B'egin, 'P'rogress, 'E'nd
    int status;
    int received;
    int userData;
    long long temporaryOnDisk; // size of the ".fdl" file at that moment
    DWORD threadId;
};

// Records every callback; the test thread waits for ends with a bound.
class RecordingSink final : public IDLTaskSink {
public:
    explicit RecordingSink(std::wstring temporary = L"")
        : m_temporary(std::move(temporary)), m_ended(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
    {
    }

    void OnTaskBegin(IDLTask* task) override { Record('B', task); }
    void OnTaskProgress(IDLTask* task) override { Record('P', task); }
    void OnTaskEnd(IDLTask* task) override
    {
        Record('E', task);
        ++m_ends;
        ::SetEvent(m_ended.get());
    }

    // Waits until `count` tasks have ended; false after `timeoutMs`.
    bool WaitEnds(int count, DWORD timeoutMs = kWaitMs)
    {
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        while (m_ends < count) {
            const ULONGLONG now = ::GetTickCount64();
            if (now >= deadline)
                return false;
            ::WaitForSingleObject(m_ended.get(), static_cast<DWORD>(deadline - now));
        }
        return true;
    }
    std::vector<SinkEvent> Events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    std::string Kinds()
    {
        std::string kinds;
        for (const SinkEvent& e : Events())
            kinds += e.kind;
        return kinds;
    }
    int Ends() const { return m_ends; }

private:
    void Record(char kind, IDLTask* task)
    {
        const long long onDisk = m_temporary.empty() ? -1 : FileSize(m_temporary);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back({kind, task->GetStatus(), task->GetReceivedSize(), task->GetUserData(),
                            onDisk, ::GetCurrentThreadId()});
    }

    std::wstring m_temporary;
    UniqueHandle m_ended;
    std::mutex m_mutex;
    std::vector<SinkEvent> m_events;
    std::atomic<int> m_ends{0};
};

DLTaskDesc Describe(const std::wstring& url, const std::wstring& saveDir,
                    const std::wstring& fileName, bool overwrite, IDLTaskSink* sink,
                    int userData = 0)
{
    DLTaskDesc desc;
    wcsncpy(desc.szUrl, url.c_str(), std::size(desc.szUrl) - 1);
    wcsncpy(desc.szSaveDir, saveDir.c_str(), std::size(desc.szSaveDir) - 1);
    wcsncpy(desc.szFileName, fileName.c_str(), std::size(desc.szFileName) - 1);
    desc.bOverwrite = overwrite;
    desc.nUserData = userData;
    desc.pSink = sink;
    return desc;
}

class Download : public qmtest::SharedServerTest {
protected:
    void SetUp() override
    {
        qmtest::SharedServerTest::SetUp();
        if (HasFatalFailure())
            return;
        m_dir = qmtest::MakeTempFolder(L"qm-download-");
        ASSERT_FALSE(m_dir.empty()) << ::GetLastError();
        m_logFile = m_dir + L"download.log";
        wcsncpy(g_szLogFile, m_logFile.c_str(), std::size(g_szLogFile) - 1);
    }
    void TearDown() override
    {
        m_manager.reset();
        g_szLogFile[0] = L'\0';
        RemoveTree(m_dir);
    }

    // A started manager with the short time-out, made on first use.
    FDL& Manager()
    {
        if (!m_manager) {
            m_manager = std::make_unique<FDL>(kShortLimits);
            m_manager->Start();
        }
        return *m_manager;
    }
    // Adds the task to the manager and waits for its end.
    ::testing::AssertionResult Fetch(const DLTaskDesc& desc, RecordingSink& sink,
                                     DWORD timeoutMs = kWaitMs)
    {
        const int ends = sink.Ends();
        if (!Manager().AddTask(&desc))
            return ::testing::AssertionFailure() << "the task was refused";
        if (!sink.WaitEnds(ends + 1, timeoutMs))
            return ::testing::AssertionFailure() << "the task did not end in time";
        return ::testing::AssertionSuccess();
    }

    std::wstring Url(const std::wstring& path) { return Server().Url(path); }
    void Route(const std::string& path, const std::string& fields)
    {
        ASSERT_TRUE(Server().AddRoute(path, fields)) << path << " " << fields;
    }
    std::wstring LogText()
    {
        std::string bytes;
        ReadWholeFile(m_logFile, bytes);
        return qmtest::Widen(bytes);
    }
    bool Logged(const std::wstring& text) { return LogText().find(text) != std::wstring::npos; }
    // Requests the server received for `path` (query included).
    int RequestsFor(const std::string& path)
    {
        const std::string log = Server().Log();
        const std::string needle = "\"path\": \"" + path + "\"";
        int count = 0;
        for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1))
            ++count;
        return count;
    }

    std::wstring m_dir; // fresh per test, with a trailing backslash
    std::wstring m_logFile;
    std::unique_ptr<FDL> m_manager;

private:
};

TEST_F(Download, ExistingTargetWithoutOverwriteIsDoneWithoutAskingTheServer)
{
    Route("/keep.bin", R"({"size": 100})");
    ASSERT_TRUE(WriteWholeFile(m_dir + L"keep.bin", "old"));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/keep.bin"), m_dir, L"", false, &sink, 7), sink));
    EXPECT_EQ(sink.Kinds(), "E");
    EXPECT_EQ(sink.Events()[0].status, DLS_DONE);
    EXPECT_EQ(sink.Events()[0].userData, 7);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(m_dir + L"keep.bin", content));
    EXPECT_EQ(content, "old");
    EXPECT_EQ(RequestsFor("/keep.bin"), 0);
}

TEST_F(Download, ExistingTargetWithOverwriteIsReplacedThroughTheTemporaryFile)
{
    Route("/replace.bin", R"({"size": 3000})");
    const std::wstring target = m_dir + L"replace.bin";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    RecordingSink sink(target + L".fdl");
    ASSERT_TRUE(
        Fetch(Describe(Url(L"/replace.bin?v=2"), m_dir, L"replace.bin", true, &sink), sink));
    const auto events = sink.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().status, DLS_DONE);
    EXPECT_EQ(events.front().kind, 'B');
    EXPECT_EQ(events.front().temporaryOnDisk, -1)
        << "the download begins before the temporary file";
    std::string content;
    ASSERT_TRUE(ReadWholeFile(target, content));
    EXPECT_TRUE(SameBytes(content, Generated(3000)));
    EXPECT_EQ(FileSize(target + L".fdl"), -1);
    EXPECT_EQ(RequestsFor("/replace.bin?v=2"), 1);
    // A GET that asks for anything.
    const std::string log = Server().Log();
    EXPECT_NE(log.find("\"method\": \"GET\""), std::string::npos);
    EXPECT_NE(log.find("\"Accept\": \"*/*\""), std::string::npos) << log;
    // Without an application object the agent is the program's name.
    EXPECT_NE(log.find("\"User-Agent\": \"download_test\""), std::string::npos) << log;
}

TEST_F(Download, NotFoundFailsBeforeBeginWithoutATemporaryFile)
{
    Route("/missing.bin", R"({"status": 404, "body": "not here"})");
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/missing.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "E");
    EXPECT_EQ(sink.Events()[0].status, DLS_FAILED);
    EXPECT_EQ(FileSize(m_dir + L"missing.bin"), -1);
    EXPECT_EQ(FileSize(m_dir + L"missing.bin.fdl"), -1);
    EXPECT_TRUE(Logged(L"QueryInfoStatusCode状态非HTTP_STATUS_OK, dwRet == 404")) << LogText();
}

// A part of the file, a choice of files, a redirect to nowhere and a length
// no launcher has are no file: each is refused before it begins, and nothing
// is written.
TEST_F(Download, OnlyA200OfAtMost64MiBIsAWholeFile)
{
    const struct {
        const wchar_t* path;
        const char* route;
        bool sizeRefused; // GetRemoteFileSize says -1 too: the status is not 200
    } answers[] = {
        {L"/part.bin", R"({"status": 206, "size": 500})", true},
        {L"/choices.bin", R"({"status": 300, "body": "choices"})", true},
        {L"/moved.bin", R"({"status": 301, "body": "gone"})", true},
        {L"/huge.bin", R"({"size": 67108865})", false},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(qmtest::Narrow(answer.path));
        Route(qmtest::Narrow(answer.path), answer.route);
        RecordingSink sink;
        ASSERT_TRUE(Fetch(Describe(Url(answer.path), m_dir, L"got.bin", true, &sink), sink));
        EXPECT_EQ(sink.Kinds(), "E") << "refused before it begins";
        EXPECT_EQ(sink.Events()[0].status, DLS_FAILED);
        EXPECT_EQ(FileSize(m_dir + L"got.bin.fdl"), -1);
        if (answer.sizeRefused) {
            EXPECT_EQ(Manager().GetRemoteFileSize(Url(answer.path).c_str()), -1);
        }
    }
    EXPECT_EQ(FileSize(m_dir + L"got.bin"), -1);
}

TEST_F(Download, EmptyBodyGivesAnEmptyFileWithoutProgress)
{
    Route("/empty.bin", "{}");
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/empty.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "BE");
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_EQ(FileSize(m_dir + L"empty.bin"), 0);
}

TEST_F(Download, ABodyIsReportedInBlocksOfAtMost64KiBEachBeforeItIsWritten)
{
    Route("/body.bin", R"({"size": 150000})");
    const std::wstring target = m_dir + L"body.bin";
    RecordingSink sink(target + L".fdl");
    ASSERT_TRUE(Fetch(Describe(Url(L"/body.bin"), m_dir, L"", true, &sink), sink));
    const auto events = sink.Events();
    ASSERT_GE(events.size(), 5u) << sink.Kinds();
    EXPECT_EQ(sink.Kinds(), "B" + std::string(events.size() - 2, 'P') + "E");
    EXPECT_EQ(events[0].status, DLS_DOWNLOADING);
    int before = 0;
    for (size_t i = 1; i + 1 < events.size(); ++i) {
        const SinkEvent& p = events[i];
        EXPECT_EQ(p.status, DLS_DOWNLOADING);
        EXPECT_GT(p.received, before);
        EXPECT_LE(p.received - before, 65536) << i;
        // The block is not on disk yet when the sink hears of it.
        EXPECT_EQ(p.temporaryOnDisk, before) << i;
        before = p.received;
    }
    EXPECT_EQ(before, 150000);
    EXPECT_EQ(events.back().status, DLS_DONE);
    EXPECT_EQ(events.back().received, 150000);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(target, content));
    EXPECT_TRUE(SameBytes(content, Generated(150000)));
}

TEST_F(Download, SinkIsCalledOnTheWorkerThread)
{
    Route("/where.bin", R"({"size": 10})");
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/where.bin"), m_dir, L"", true, &sink), sink));
    for (const SinkEvent& e : sink.Events())
        EXPECT_NE(e.threadId, ::GetCurrentThreadId()) << e.kind;
}

TEST_F(Download, NestedSaveDirectoriesAreCreated)
{
    Route("/nested.bin", R"({"size": 600})");
    const std::wstring saveDir = m_dir + L"d1\\d2\\";
    ASSERT_FALSE(IsDirectory((m_dir + L"d1").c_str()));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/nested.bin"), saveDir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_TRUE(IsDirectory((m_dir + L"d1").c_str()));
    EXPECT_TRUE(IsDirectory((m_dir + L"d1\\d2").c_str()));
    EXPECT_EQ(FileSize(saveDir + L"nested.bin"), 600);
}

TEST_F(Download, EmptySaveDirectoryMeansTheExecutablesDirectory)
{
    Route("/beside-exe.bin", R"({"size": 42})");
    const std::wstring name = L"qm-beside-" + std::to_wstring(::GetCurrentProcessId()) + L".bin";
    const std::wstring target = ExecutableDirectory() + name;
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/beside-exe.bin"), L"", name, true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_EQ(FileSize(target), 42);
    ::DeleteFileW(target.c_str());
}

TEST_F(Download, FileNameComesFromTheUrl)
{
    Route("/a/b/setup.exe", R"({"size": 77})");
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/a/b/setup.exe"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_EQ(FileSize(m_dir + L"setup.exe"), 77);
}

TEST_F(Download, FileNameFromAUrlWithAQueryKeepsTheQuery)
{
    Route("/q/setup.exe", R"({"size": 5})");
    RecordingSink sink;
    ASSERT_TRUE(
        Fetch(Describe(Url(L"/q/setup.exe?version=1.0.0.9"), m_dir, L"", true, &sink), sink));
    // '?' cannot be part of a Windows file name: the temporary file cannot be made.
    EXPECT_EQ(sink.Kinds(), "BE");
    EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
    EXPECT_TRUE(Logged(L"从URL提取到的文件名为：setup.exe?version=1.0.0.9")) << LogText();
    EXPECT_EQ(RequestsFor("/q/setup.exe?version=1.0.0.9"), 1);
}

TEST_F(Download, UnusableDescriptionsAreRefused)
{
    FDL dl(kShortLimits);
    EXPECT_EQ(dl.AddTask(nullptr), nullptr);
    const DLTaskDesc noUrl = Describe(L"", m_dir, L"x.bin", true, nullptr);
    EXPECT_EQ(dl.AddTask(&noUrl), nullptr);
    // No file name in the URL to fall back on.
    const DLTaskDesc directoryUrl = Describe(Url(L"/dir/"), m_dir, L"", true, nullptr);
    EXPECT_EQ(dl.AddTask(&directoryUrl), nullptr);
    // A file name from the URL that does not fit the task's 63 characters.
    const DLTaskDesc longName =
        Describe(Url(L"/" + std::wstring(64, L'n') + L".bin"), m_dir, L"", true, nullptr);
    EXPECT_EQ(dl.AddTask(&longName), nullptr);
    EXPECT_EQ(dl.GetTaskCount(), 0);
    EXPECT_TRUE(Logged(L"添加任务失败！"));
}

TEST_F(Download, TwoTasksAreFetchedOneAfterTheOtherInTheirOrder)
{
    Route("/slow.bin", R"({"size": 4000, "chunk": 1000, "delay": 0.1})");
    Route("/second.bin", R"({"size": 10})");
    Route("/third.bin", R"({"size": 20})");
    RecordingSink sink;
    FDL dl(kShortLimits);
    dl.Start();
    const DLTaskDesc slow = Describe(Url(L"/slow.bin"), m_dir, L"", true, &sink, 1);
    const DLTaskDesc second = Describe(Url(L"/second.bin"), m_dir, L"", true, &sink, 2);
    const DLTaskDesc third = Describe(Url(L"/third.bin"), m_dir, L"", true, &sink, 3);
    ASSERT_NE(dl.AddTask(&slow), nullptr);
    ASSERT_NE(dl.AddTask(&second), nullptr);
    ASSERT_NE(dl.AddTask(&third), nullptr);
    ASSERT_TRUE(sink.WaitEnds(3));
    std::vector<int> ends;
    std::vector<int> begins;
    for (const SinkEvent& e : sink.Events()) {
        if (e.kind == 'E')
            ends.push_back(e.userData);
        if (e.kind == 'B')
            begins.push_back(e.userData);
        if (e.kind != 'E') {
            EXPECT_EQ(e.status, DLS_DOWNLOADING);
        }
    }
    EXPECT_EQ(ends, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(begins, (std::vector<int>{1, 2, 3}));
    // One at a time: every task ends before the next begins.
    std::string beginsAndEnds;
    for (const char kind : sink.Kinds()) {
        if (kind != 'P')
            beginsAndEnds += kind;
    }
    EXPECT_EQ(beginsAndEnds, "BEBEBE");
    EXPECT_EQ(FileSize(m_dir + L"slow.bin"), 4000);
    EXPECT_EQ(FileSize(m_dir + L"second.bin"), 10);
    EXPECT_EQ(FileSize(m_dir + L"third.bin"), 20);
}

TEST_F(Download, StopLeavesQueuedTasksQueuedAndARestartTakesTheOldestFirst)
{
    Route("/long.bin", R"({"size": 2000, "chunk": 500, "delay": 0.2})");
    Route("/q1.bin", R"({"size": 1})");
    Route("/q2.bin", R"({"size": 2})");
    Route("/q3.bin", R"({"size": 3})");
    RecordingSink sink;
    FDL dl(kShortLimits);
    dl.Start();
    const DLTaskDesc running = Describe(Url(L"/long.bin"), m_dir, L"", true, &sink, 0);
    ASSERT_NE(dl.AddTask(&running), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return RequestsFor("/long.bin") == 1; }));
    const DLTaskDesc q1 = Describe(Url(L"/q1.bin"), m_dir, L"", true, &sink, 1);
    const DLTaskDesc q2 = Describe(Url(L"/q2.bin"), m_dir, L"", true, &sink, 2);
    ASSERT_NE(dl.AddTask(&q1), nullptr);
    ASSERT_NE(dl.AddTask(&q2), nullptr);
    dl.Stop(); // the running download ends first; the queued ones stay
    ASSERT_EQ(sink.Ends(), 1);
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_EQ(dl.GetTaskCount(), 2);
    EXPECT_EQ(RequestsFor("/q1.bin"), 0);

    dl.Start();
    const DLTaskDesc q3 = Describe(Url(L"/q3.bin"), m_dir, L"", true, &sink, 3);
    ASSERT_NE(dl.AddTask(&q3), nullptr); // one run command: the oldest task goes
    ASSERT_TRUE(sink.WaitEnds(2));
    EXPECT_EQ(sink.Events().back().userData, 1);
    EXPECT_EQ(FileSize(m_dir + L"q1.bin"), 1);
    dl.Stop();
    EXPECT_EQ(dl.GetTaskCount(), 2);
    EXPECT_EQ(sink.Ends(), 2);
}

TEST_F(Download, TasksAddedBeforeStartWaitWithoutARunCommand)
{
    Route("/early.bin", R"({"size": 5})");
    RecordingSink sink;
    FDL dl(kShortLimits);
    const DLTaskDesc early = Describe(Url(L"/early.bin"), m_dir, L"", true, &sink, 1);
    ASSERT_NE(dl.AddTask(&early), nullptr);
    ASSERT_NE(dl.AddTask(&early), nullptr);
    EXPECT_EQ(dl.GetTaskCount(), 2);
    dl.Start();
    dl.Stop();
    EXPECT_EQ(dl.GetTaskCount(), 2);
    EXPECT_EQ(sink.Ends(), 0);
    EXPECT_EQ(RequestsFor("/early.bin"), 0);
}

TEST_F(Download, WithoutContentLengthTheSizeIsUnknownAndTheDownloadCompletes)
{
    Route("/noclen.bin", R"({"size": 5000, "content_length": false})");
    Route("/sized.bin", R"({"size": 1300})");
    EXPECT_EQ(Manager().GetRemoteFileSize(Url(L"/noclen.bin").c_str()), -1);
    EXPECT_EQ(Manager().GetRemoteFileSize(Url(L"/sized.bin").c_str()), 1300);
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/noclen.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(m_dir + L"noclen.bin", content));
    EXPECT_TRUE(SameBytes(content, Generated(5000)));
}

TEST_F(Download, RemoteFileSizeFailuresAreMinusOne)
{
    Route("/gone.bin", R"({"status": 404})");
    FDL dl(kShortLimits);
    EXPECT_EQ(dl.GetRemoteFileSize(nullptr), -1);
    EXPECT_EQ(dl.GetRemoteFileSize(Url(L"/gone.bin").c_str()), -1);
    EXPECT_EQ(dl.GetRemoteFileSize(L"not a url"), -1);
    EXPECT_EQ(dl.GetRemoteFileSize(L"http://127.0.0.1:1/closed.bin"), -1);
    EXPECT_TRUE(Logged(L"dwRet == 404")) << LogText();
    EXPECT_TRUE(Logged(L"捕获异常, 错误码：")) << LogText();
}

TEST_F(Download, ConnectionDroppedMidBodyFailsAndKeepsThePartialTemporaryFile)
{
    Route("/cut.bin", R"({"size": 5000, "drop_after": 1000})");
    const std::wstring target = m_dir + L"cut.bin";
    ASSERT_TRUE(WriteWholeFile(target, "old"));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/cut.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Ends(), 1);
    EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
    EXPECT_EQ(sink.Events().back().received, 1000);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(target, content));
    EXPECT_EQ(content, "old");
    ASSERT_TRUE(ReadWholeFile(target + L".fdl", content));
    EXPECT_TRUE(SameBytes(content, Generated(1000)));
}

TEST_F(Download, LeftOverTemporaryFileIsReplaced)
{
    Route("/again.bin", R"({"size": 700})");
    const std::wstring target = m_dir + L"again.bin";
    ASSERT_TRUE(WriteWholeFile(target + L".fdl", std::string(5000, 'x')));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/again.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(target, content));
    EXPECT_TRUE(SameBytes(content, Generated(700)));
    EXPECT_EQ(FileSize(target + L".fdl"), -1);
}

TEST_F(Download, ServerThatSendsNothingFailsAfterTheTimeout)
{
    Route("/silent.bin", R"({"stall_before_headers": -1})");
    RecordingSink sink;
    Manager(); // started before the clock starts
    const ULONGLONG start = ::GetTickCount64();
    ASSERT_TRUE(Fetch(Describe(Url(L"/silent.bin"), m_dir, L"", true, &sink), sink,
                      kShortTimeoutMs + 5000));
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_GE(elapsed, kShortTimeoutMs - 200) << "ended before the time-out";
    EXPECT_EQ(sink.Kinds(), "E");
    EXPECT_EQ(sink.Events()[0].status, DLS_FAILED);
    EXPECT_EQ(FileSize(m_dir + L"silent.bin.fdl"), -1);
    // WinINet's own time-out and the manager's idle time are the same: either may end it.
    EXPECT_TRUE(Logged(L"no byte arrived for too long") || Logged(L"Catch异常 错误码为："))
        << LogText();
    // The worker is free again: the next task goes through.
    Route("/after.bin", R"({"size": 3})");
    ASSERT_TRUE(Fetch(Describe(Url(L"/after.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_EQ(sink.Ends(), 2);
}

TEST_F(Download, BodyThatStallsMidwayFailsAfterTheTimeout)
{
    // 100000 bytes arrive, the rest never: the manager stops waiting. What a
    // read that was not waited for brought is not kept.
    Route("/stuck.bin", R"({"size": 150000, "stall_after": 100000})");
    const std::wstring target = m_dir + L"stuck.bin";
    RecordingSink sink;
    ASSERT_TRUE(
        Fetch(Describe(Url(L"/stuck.bin"), m_dir, L"", true, &sink), sink, kShortTimeoutMs + 5000));
    const auto events = sink.Events();
    EXPECT_EQ(sink.Kinds().front(), 'B');
    EXPECT_EQ(sink.Kinds().back(), 'E');
    EXPECT_EQ(events.back().status, DLS_FAILED);
    EXPECT_GE(events.back().received, 65536);
    EXPECT_LE(events.back().received, 100000);
    EXPECT_EQ(sink.Ends(), 1);
    EXPECT_EQ(FileSize(target), -1);
    EXPECT_EQ(FileSize(target + L".fdl"), events.back().received);
}

// The pace is judged as the bytes arrive: a body that keeps coming, only too
// slowly or for too long, ends on time, where one waiting read would last
// until the body is complete.
TEST_F(Download, ABodyThatCrawlsOrTakesTooLongEndsOnTime)
{
    struct Case {
        const char* name;
        TransferLimits limits;
        const wchar_t* logged;
    };
    // 1000 bytes a second for 50 s, in pieces of 100 bytes.
    Route("/crawl.bin", R"({"size": 50000, "chunk": 100, "delay": 0.1})");
    const Case cases[] = {
        {"under 1500 bytes a second over 2 s", {kShortTimeoutMs, 2000, 3000, 60000}, L"too slow"},
        {"longer than 2 s in all", {kShortTimeoutMs, 0, 0, 2000}, L"it took too long"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FDL dl(c.limits);
        dl.Start();
        RecordingSink sink;
        const DLTaskDesc desc = Describe(Url(L"/crawl.bin"), m_dir, L"", true, &sink);
        const ULONGLONG start = ::GetTickCount64();
        ASSERT_TRUE(dl.AddTask(&desc));
        ASSERT_TRUE(sink.WaitEnds(1));
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        EXPECT_GE(elapsed, 2000u);
        EXPECT_LT(elapsed, 3500u) << "judged as the pieces arrive";
        EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
        EXPECT_GT(sink.Events().back().received, 1000) << "the amount moved meanwhile";
        EXPECT_TRUE(Logged(c.logged)) << LogText();
        dl.Stop();
    }
}

TEST_F(Download, UnreachableServerFailsWithoutBegin)
{
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(L"http://127.0.0.1:1/closed.bin", m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "E");
    EXPECT_EQ(sink.Events()[0].status, DLS_FAILED);
    EXPECT_TRUE(Logged(L"Catch异常 错误码为：12029")) << LogText();
}

TEST_F(Download, TemporaryFileThatCannotBeCreatedFailsWithFourMessages)
{
    Route("/bad.bin", R"({"size": 10})");
    RecordingSink sink;
    // '|' is not allowed in Windows file names.
    ASSERT_TRUE(Fetch(Describe(Url(L"/bad.bin"), m_dir, L"bad|name.bin", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "BE");
    EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
    const std::wstring log = LogText();
    const size_t open = log.find(L"打开临时下载文件" + m_dir + L"bad|name.bin.fdl失败！错误码：");
    const size_t dir = log.find(L"文件另存目录为：" + m_dir);
    const size_t url = log.find(L"URL为：" + Url(L"/bad.bin"));
    const size_t name = log.find(L"从URL提取到的文件名为：bad.bin");
    ASSERT_NE(open, std::wstring::npos) << log;
    EXPECT_TRUE(open < dir && dir < url && url < name && name != std::wstring::npos) << log;
}

TEST_F(Download, TemporaryPathTakenByADirectoryFails)
{
    Route("/blocked.bin", R"({"size": 10})");
    ASSERT_TRUE(::CreateDirectoryW((m_dir + L"blocked.bin.fdl").c_str(), nullptr));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/blocked.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "BE");
    EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
    EXPECT_TRUE(Logged(L"删除临时下载文件" + m_dir + L"blocked.bin.fdl失败！")) << LogText();
}

TEST_F(Download, TargetThatCannotBeDeletedKeepsTheCompleteTemporaryFile)
{
    Route("/locked.bin", R"({"size": 900})");
    ASSERT_TRUE(::CreateDirectoryW((m_dir + L"locked.bin").c_str(), nullptr));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/locked.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(sink.Events().back().status, DLS_FAILED);
    EXPECT_EQ(FileSize(m_dir + L"locked.bin.fdl"), 900);
    EXPECT_TRUE(Logged(L"删除源文件" + m_dir + L"locked.bin失败！")) << LogText();
}

TEST_F(Download, SaveDirectoryThatCannotBeCreatedFails)
{
    ASSERT_TRUE(WriteWholeFile(m_dir + L"plain", "a file, not a directory"));
    RecordingSink sink;
    ASSERT_TRUE(Fetch(Describe(Url(L"/x.bin"), m_dir + L"plain\\sub\\", L"", true, &sink), sink));
    EXPECT_EQ(sink.Kinds(), "E");
    EXPECT_EQ(sink.Events()[0].status, DLS_FAILED);
    EXPECT_TRUE(Logged(L"创建目录" + m_dir + L"plain\\sub\\失败！")) << LogText();
    EXPECT_EQ(RequestsFor("/x.bin"), 0);
}

// A sink whose end callback throws: the worker goes on with the next task.
class ThrowingSink final : public IDLTaskSink {
public:
    void OnTaskBegin(IDLTask*) override {}
    void OnTaskProgress(IDLTask*) override {}
    void OnTaskEnd(IDLTask*) override
    {
        ++ends;
        throw CFileException(ERROR_ACCESS_DENIED, L"sink");
    }
    std::atomic<int> ends{0};
};

TEST_F(Download, SinkThatThrowsAtTheEndHearsOneEndAndTheWorkerGoesOn)
{
    Route("/t1.bin", R"({"size": 1})");
    Route("/t2.bin", R"({"size": 2})");
    ThrowingSink throwing;
    RecordingSink sink;
    const DLTaskDesc first = Describe(Url(L"/t1.bin"), m_dir, L"", true, &throwing);
    ASSERT_NE(Manager().AddTask(&first), nullptr);
    ASSERT_TRUE(Fetch(Describe(Url(L"/t2.bin"), m_dir, L"", true, &sink), sink));
    EXPECT_EQ(throwing.ends, 1);
    EXPECT_EQ(sink.Events().back().status, DLS_DONE);
    EXPECT_TRUE(Manager().IsAlive());
}

TEST_F(Download, ReleaseDestroysTheManagerWithItsQueuedTasks)
{
    auto* dl = new FDL(kShortLimits);
    const DLTaskDesc desc = Describe(Url(L"/never.bin"), m_dir, L"", true, nullptr);
    ASSERT_NE(dl->AddTask(&desc), nullptr);
    dl->Start();
    IDLMgr* manager = dl;
    EXPECT_TRUE(manager->Init(0, 0, 0, 0));
    manager->Release();
    EXPECT_EQ(RequestsFor("/never.bin"), 0);
}

// The framework classes the manager stands on.

TEST(ParseUrl, SplitsServerObjectWithQueryAndPort)
{
    DWORD service = 0;
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
    ASSERT_TRUE(AfxParseURL(L"http://update.example.com:18701/clientkv3/qlm.exe?version=1.0.0.9",
                            service, server, object, port));
    EXPECT_EQ(service, static_cast<DWORD>(AFX_INET_SERVICE_HTTP));
    EXPECT_EQ(server, L"update.example.com");
    EXPECT_EQ(object, L"/clientkv3/qlm.exe?version=1.0.0.9");
    EXPECT_EQ(port, 18701);

    ASSERT_TRUE(AfxParseURL(L"http://127.0.0.1", service, server, object, port));
    EXPECT_EQ(server, L"127.0.0.1");
    EXPECT_EQ(object, L"/");
    EXPECT_EQ(port, INTERNET_DEFAULT_HTTP_PORT);

    ASSERT_TRUE(AfxParseURL(L"http://host?q=1", service, server, object, port));
    EXPECT_EQ(object, L"/?q=1");
}

TEST(ParseUrl, RefusesWhatIsNoHttpUrl)
{
    DWORD service = 0;
    std::wstring server;
    std::wstring object;
    INTERNET_PORT port = 0;
    EXPECT_FALSE(AfxParseURL(nullptr, service, server, object, port));
    EXPECT_FALSE(AfxParseURL(L"", service, server, object, port));
    EXPECT_FALSE(AfxParseURL(L"update.example.com/x", service, server, object, port));
    EXPECT_FALSE(AfxParseURL(L"ftp://host/file", service, server, object, port));
    EXPECT_TRUE(server.empty());
}

TEST(FileClass, OpenReportsFailureByItsResult)
{
    CFile file;
    ::SetLastError(0);
    EXPECT_FALSE(file.Open(L"Z:\\no\\such\\dir\\x.bin", CFile::modeCreate | CFile::modeWrite));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_THROW(file.Write("x", 1), CFileException);
    file.Close(); // nothing open: nothing to do
}

TEST(FileClass, RenameRaisesWithTheSystemsCodeAndTheFileName)
{
    try {
        CFile::Rename(L"Z:\\no\\such\\old.bin", L"Z:\\no\\such\\new.bin");
        FAIL() << "renaming a missing file succeeded";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_lOsError, ERROR_PATH_NOT_FOUND);
        EXPECT_EQ(e.m_strFileName, L"Z:\\no\\such\\old.bin");
        std::wstring text;
        EXPECT_TRUE(e.GetErrorMessage(text));
        EXPECT_NE(text.find(L"old.bin"), std::wstring::npos);
    }
}

TEST(InternetClasses, ExceptionNamesTheFailure)
{
    const CInternetException e(ERROR_INTERNET_CANNOT_CONNECT);
    std::wstring text;
    EXPECT_TRUE(e.GetErrorMessage(text));
    EXPECT_FALSE(text.empty());
}

TEST(InternetClasses, RequestWithAnotherVerbIsNotOpened)
{
    CInternetSession session(L"qmtest");
    auto connection = session.GetHttpConnection(L"127.0.0.1", 1);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->OpenRequest(2, L"/"), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(DownloadSingleton, InstanceIsMadeOnceAndKept)
{
    FDL* const first = FSingleton<FDL>::Instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(FSingleton<FDL>::Instance(), first);
    EXPECT_EQ(first->GetTaskCount(), 0);
    EXPECT_FALSE(first->IsAlive());
}

} // namespace
