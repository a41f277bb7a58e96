#include "download/fdl.h"

#include "common/log.h"
#include "download/path_helpers.h"
#include "download/response_reader.h"
#include "framework/file.h"
#include "framework/inet.h"

#include <algorithm>
#include <climits>
#include <cwchar>
#include <exception>

namespace {
// How often a worker waiting for the answer looks whether it was cancelled.
constexpr std::uint64_t kCancelPollMs = 100;
constexpr DWORD kNoContentLength = 0xFFFFFFFF;

const wchar_t* DescribeVerdict(TransferPace::Verdict verdict) noexcept
{
    switch (verdict) {
    case TransferPace::Verdict::Stalled: return L"no byte arrived for too long";
    case TransferPace::Verdict::TooSlow: return L"too slow";
    case TransferPace::Verdict::TooLong: return L"it took too long";
    default: return L"";
    }
}

// Holds the manager's tag section (the queue's guard) for one scope.
class QueueLock {
public:
    explicit QueueLock(CThread& thread) : m_thread(thread) { m_thread.Lock(); }
    QueueLock(const QueueLock&) = delete;
    QueueLock& operator=(const QueueLock&) = delete;
    ~QueueLock() { m_thread.Unlock(); }

private:
    CThread& m_thread;
};

// Copies `length` characters of `text` and a terminator into `field` of
// `capacity` characters, when they fit.
bool CopyField(wchar_t* field, size_t capacity, const wchar_t* text, size_t length) noexcept
{
    if (length >= capacity)
        return false;
    std::wmemcpy(field, text, length);
    field[length] = L'\0';
    return true;
}

template <size_t N> bool CopyField(wchar_t (&field)[N], const std::wstring& text) noexcept
{
    return CopyField(field, N, text.c_str(), text.size());
}

// A caller's field, which may lack its terminator.
template <size_t N, size_t M>
bool CopyField(wchar_t (&field)[N], const wchar_t (&source)[M]) noexcept
{
    return CopyField(field, N, source, wcsnlen(source, M));
}

// The messages of a caller for a request that brought no answer: a failed
// send or read, and no connection; each takes the error code.
struct ReaderMessages {
    const wchar_t* failed;
    const wchar_t* noConnection;
};

// Logs why `reader` brought no answer for `url`.
void LogReaderFailure(const ResponseReader& reader, const wchar_t* url,
                      const ReaderMessages& messages)
{
    switch (reader.SendingOutcome()) {
    case ResponseReader::Sending::kAnswer: WriteLog(messages.failed, reader.Error()); break;
    case ResponseReader::Sending::kBadAddress: WriteLog(L"URL为：%s", url); break;
    case ResponseReader::Sending::kNoConnection:
        WriteLog(messages.noConnection, reader.Error());
        break;
    case ResponseReader::Sending::kNoRequest:
        WriteLog(L"pSrcFile为空, 错误码：%d", reader.Error());
        break;
    case ResponseReader::Sending::kRefusedRedirect: break; // logged when refused
    }
}

// The code of the failure an exception reports.
DWORD ErrorCodeOf(const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const CInternetException& e) {
        return e.m_dwError;
    } catch (const CFileException& e) {
        return static_cast<DWORD>(e.m_lOsError);
    } catch (...) {
    }
    return ::GetLastError();
}
} // namespace

FDL::FDL(const TransferLimits& limits) : m_limits(limits)
{
    m_strSyncName = L"FDL";
    m_bSynchronize = TRUE;
    m_bCommandQueue = TRUE;
    m_pSession = std::make_shared<CInternetSession>(nullptr, 1, INTERNET_OPEN_TYPE_PRECONFIG,
                                                    nullptr, nullptr, 0);
    // A server that accepts a request and then sends nothing ends the task
    // after the idle time instead of holding the worker for ever.
    m_pSession->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, limits.idleMs);
    m_pSession->SetOption(INTERNET_OPTION_SEND_TIMEOUT, limits.idleMs);
    m_pSession->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, limits.idleMs);
}

FDL::~FDL()
{
    try {
        StopWorker();
    } catch (...) {
        Kill();
    }
}

bool FDL::Init(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t)
{
    return true;
}

IDLTask* FDL::AddTask(const DLTaskDesc* desc)
{
    if (!desc || !desc->szUrl[0]) {
        WriteLog(L"添加任务失败！");
        return nullptr;
    }
    auto task = std::make_unique<FTask>();
    bool fits = CopyField(task->m_szUrl, desc->szUrl);
    fits = fits && (desc->szSaveDir[0] ? CopyField(task->m_szSaveDir, desc->szSaveDir)
                                       : CopyField(task->m_szSaveDir, ExecutableDirectory()));
    fits = fits &&
           (desc->szFileName[0] ? CopyField(task->m_szFileName, desc->szFileName)
                                : CopyField(task->m_szFileName, FileNameOfPath(task->m_szUrl)));
    // A file name cut short, or none at all (a URL ending in a separator),
    // would make the task write or report on some other file.
    if (!fits || !task->m_szFileName[0]) {
        WriteLog(L"添加任务失败！");
        return nullptr;
    }
    task->m_bOverwrite = desc->bOverwrite;
    task->m_nUserData = desc->nUserData;
    task->m_pSink = desc->pSink;
    task->m_nStatus = DLS_QUEUED;

    QueueLock lock(*this);
    IDLTask* const added = task.get();
    m_tasks.push_back(std::move(task));
    PostRunCommand(); // one CMD_RUN per task; nothing while the worker is stopped
    return added;
}

int FDL::GetTaskCount()
{
    QueueLock lock(*this);
    return static_cast<int>(m_tasks.size());
}

void FDL::Start()
{
    m_bCancelled = false;
    CThread::Start();
}

void FDL::Cancel()
{
    m_bCancelled = true;
}

void FDL::Stop()
{
    StopWorker();
}

void FDL::StopWorker()
{
    {
        GlobalLock lock;
        m_commands.clear();
    }
    DWORD exitCode = 0;
    if (!CThread::Stop(exitCode))
        Kill();
}

void FDL::Release()
{
    delete this;
}

unsigned FDL::Run()
{
    for (;;) {
        switch (WaitCommand()) {
        case CMD_RUN: ProcessNextTask(); break;
        case CMD_STOP: return 0;
        default: break;
        }
    }
}

void FDL::ProcessNextTask()
{
    if (GetTaskCount() == 0)
        return;
    std::unique_ptr<FTask> task;
    {
        QueueLock lock(*this);
        if (m_tasks.empty())
            return;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
    }
    Download(task.get(), m_pSession.get()); // no lock held meanwhile
}

bool FDL::Download(FTask* task, CInternetSession* session)
{
    task->m_nStatus = Transfer(*task, session);
    // Exactly one end per task, after its status is final, whatever the sink does.
    if (task->m_pSink) {
        try {
            task->m_pSink->OnTaskEnd(task);
        } catch (...) {
            WriteLog(L"Catch异常 错误码为：%d", ErrorCodeOf(std::current_exception()));
        }
    }
    return task->m_nStatus == DLS_DONE;
}

// Fetches one task's file; the status it ends with, DLS_DONE or DLS_FAILED.
int FDL::Transfer(FTask& task, CInternetSession* session)
{
    if (!session) {
        WriteLog(L"Session为空？！有没有搞错。！");
        return DLS_FAILED;
    }
    if (!EnsureDirectory(task.m_szSaveDir)) {
        WriteLog(L"创建目录%s失败！", task.m_szSaveDir);
        return DLS_FAILED;
    }
    const std::wstring target = std::wstring(task.m_szSaveDir) + task.m_szFileName;
    if (FileExists(target.c_str()) && !task.m_bOverwrite)
        return DLS_DONE;
    if (m_bCancelled) {
        WriteLog(L"Download cancelled: %s", task.m_szUrl);
        return DLS_FAILED;
    }
    TransferPace pace(m_limits, ::GetTickCount64());

    try {
        // The answer comes from a reader of its own, waited for only as long
        // as the limits allow and the task is not cancelled.
        ResponseReader reader(m_pSession, task.m_szUrl);
        TransferPace::Verdict verdict = TransferPace::Verdict::Going;
        DWORD received = 0;
        const auto next = [&] {
            for (;;) {
                const ULONGLONG now = ::GetTickCount64();
                verdict = pace.Check(now);
                if (m_bCancelled || verdict != TransferPace::Verdict::Going)
                    return ResponseReader::Step::Waiting;
                const DWORD wait = static_cast<DWORD>(
                    std::min<std::uint64_t>(pace.PatienceMs(now), kCancelPollMs));
                if (const ResponseReader::Step step = reader.Next(wait);
                    step != ResponseReader::Step::Waiting)
                    return step;
            }
        };
        const auto givenUp = [&] {
            WriteLog(L"Download given up after %u bytes: %s %s", received,
                     m_bCancelled ? L"cancelled" : DescribeVerdict(verdict), task.m_szUrl);
            return DLS_FAILED; // a partial temporary file stays, as after a failed read
        };
        const auto failed = [&] {
            LogReaderFailure(reader, task.m_szUrl,
                             {L"Catch异常 错误码为：%d", L"pConnection为空, 错误码：%d"});
            return DLS_FAILED;
        };
        switch (next()) {
        case ResponseReader::Step::Headers: break;
        case ResponseReader::Step::Waiting: return givenUp();
        default: return failed();
        }

        const DWORD status = reader.Status();
        if (status != HTTP_STATUS_OK) {
            // Only a 200 answer carries the whole file; 206 is a part of it
            // and 3xx carry none.
            WriteLog(L"QueryInfoStatusCode状态非HTTP_STATUS_OK, dwRet == %d, 错误码：%d", status,
                     ::GetLastError());
            return DLS_FAILED;
        }
        // WinINet reports a connection dropped mid-body as the body's end
        // (measured under Wine), so the announced length is what tells a
        // complete body from a cut one.
        const DWORD expected = reader.Length();
        if (expected != kNoContentLength && expected > kMaxDownloadBytes) {
            WriteLog(L"Download refused: %u bytes announced, more than %u are never taken. %s",
                     expected, kMaxDownloadBytes, task.m_szUrl);
            return DLS_FAILED;
        }
        // The total the sink sees: the announced length, or -1 when there is none.
        task.m_nTotalSize = expected == kNoContentLength ? -1 : static_cast<int>(expected);
        const DWORD cap = expected == kNoContentLength ? kMaxDownloadBytes : expected;

        task.m_nStatus = DLS_DOWNLOADING;
        if (task.m_pSink)
            task.m_pSink->OnTaskBegin(&task);

        const std::wstring temporary = target + kDownloadTempSuffix;
        if (FileExists(temporary.c_str()) && !::DeleteFileW(temporary.c_str())) {
            WriteLog(L"删除临时下载文件%s失败！", temporary.c_str());
            return DLS_FAILED;
        }
        CFile file;
        if (!file.Open(temporary.c_str(),
                       CFile::modeCreate | CFile::modeWrite | CFile::typeBinary)) {
            const DWORD error = ::GetLastError();
            WriteLog(L"打开临时下载文件%s失败！错误码：%d", temporary.c_str(), error);
            WriteLog(L"文件另存目录为：%s", task.m_szSaveDir);
            WriteLog(L"URL为：%s", task.m_szUrl);
            WriteLog(L"从URL提取到的文件名为：%s", FileNameOfPath(task.m_szUrl).c_str());
            return DLS_FAILED;
        }

        // The sink hears of each block before it is on disk.
        for (ResponseReader::Step step; (step = next()) != ResponseReader::Step::End;) {
            if (step == ResponseReader::Step::Waiting)
                return givenUp();
            if (step != ResponseReader::Step::Block)
                return failed();
            const UINT count = reader.Count();
            if (count > cap - received) {
                // More than was announced, or than any launcher is: nothing
                // more is written, and nothing of it is kept.
                file.Close();
                ::DeleteFileW(temporary.c_str());
                WriteLog(L"Download refused: more than %u bytes; %u were written, and removed. %s",
                         cap, received, task.m_szUrl);
                return DLS_FAILED;
            }
            received += count;
            pace.Received(::GetTickCount64(), received);
            task.m_nReceivedSize = static_cast<int>(received);
            if (task.m_pSink)
                task.m_pSink->OnTaskProgress(&task);
            file.Write(reader.Data(), count);
        }
        file.Close();

        if (expected != kNoContentLength && received != expected) {
            WriteLog(L"下载的数据不完整：收到%u字节，应为%u字节！%s", received, expected,
                     temporary.c_str());
            return DLS_FAILED; // the partial temporary file stays, as after a failed read
        }
        if (FileExists(target.c_str()) && !::DeleteFileW(target.c_str())) {
            WriteLog(L"删除源文件%s失败！", target.c_str());
            return DLS_FAILED;
        }
        CFile::Rename(temporary.c_str(), target.c_str());
        return DLS_DONE;
    } catch (...) {
        WriteLog(L"Catch异常 错误码为：%d", ErrorCodeOf(std::current_exception()));
        return DLS_FAILED;
    }
}

int FDL::GetRemoteFileSize(const wchar_t* url)
{
    if (!url || !m_pSession)
        return -1;
    try {
        // The answer's head only, waited for as long as a download waits for a byte.
        ResponseReader reader(m_pSession, url);
        switch (reader.Next(m_limits.idleMs)) {
        case ResponseReader::Step::Headers: break;
        case ResponseReader::Step::Waiting:
            WriteLog(L"No answer within %u ms: %s", m_limits.idleMs, url);
            return -1;
        default:
            LogReaderFailure(reader, url, {L"捕获异常, 错误码：%d", L"pConnection, 错误码：%d"});
            return -1;
        }
        const DWORD status = reader.Status();
        if (status != HTTP_STATUS_OK) {
            WriteLog(L"QueryInfoStatusCode状态非HTTP_STATUS_OK, dwRet == %d, 错误码：%d", status,
                     ::GetLastError());
            return -1;
        }
        // The body is not read. A length beyond an int is no usable answer either.
        const DWORD length = reader.Length();
        return length <= static_cast<DWORD>(INT_MAX) ? static_cast<int>(length) : -1;
    } catch (...) {
        WriteLog(L"捕获异常, 错误码：%d", ErrorCodeOf(std::current_exception()));
        return -1;
    }
}
