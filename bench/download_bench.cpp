// Times one download through the download manager:
//   download_bench.exe URL SAVE_DIR FILE_NAME
// and prints "fdl bytes=<n> seconds=<s> cpu=<s> status=<status>" on stdout:
// the wall-clock time from the task's start to its end, and the CPU time the
// whole process spent meanwhile. The exit code is 0 only when the file arrived
// complete.
#include "download/fdl.h"
#include "framework/handles.h"

#include <cstdio>
#include <cwchar>
#include <iterator>

namespace {

// Signals the end of the one task it is given.
class EndSink final : public IDLTaskSink {
public:
    EndSink() : m_ended(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void OnTaskBegin(IDLTask*) override {}
    void OnTaskProgress(IDLTask*) override {}
    void OnTaskEnd(IDLTask* task) override
    {
        m_received = task->GetReceivedSize();
        m_status = task->GetStatus();
        ::QueryPerformanceCounter(&m_endTime);
        ::SetEvent(m_ended.get());
    }
    bool Wait(DWORD timeoutMs) const
    {
        return ::WaitForSingleObject(m_ended.get(), timeoutMs) == WAIT_OBJECT_0;
    }

    int m_received = 0;
    int m_status = DLS_QUEUED;
    LARGE_INTEGER m_endTime{};

private:
    UniqueHandle m_ended;
};

// User and kernel time of this process so far, in seconds.
double CpuSeconds()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: download_bench.exe URL SAVE_DIR FILE_NAME\n");
        return 2;
    }
    DLTaskDesc desc;
    wcsncpy(desc.szUrl, argv[1], std::size(desc.szUrl) - 1);
    wcsncpy(desc.szSaveDir, argv[2], std::size(desc.szSaveDir) - 1);
    wcsncpy(desc.szFileName, argv[3], std::size(desc.szFileName) - 1);
    desc.bOverwrite = true;
    EndSink sink;
    desc.pSink = &sink;

    FDL manager; // the production time-outs
    manager.Start();
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const double cpuStart = CpuSeconds();
    if (!manager.AddTask(&desc)) {
        std::fprintf(stderr, "the task was refused\n");
        return 1;
    }
    if (!sink.Wait(600000)) {
        std::fprintf(stderr, "the download did not end within 10 minutes\n");
        return 1;
    }
    const double cpu = CpuSeconds() - cpuStart;
    manager.Stop();
    const double seconds = static_cast<double>(sink.m_endTime.QuadPart - start.QuadPart) /
                           static_cast<double>(frequency.QuadPart);
    std::printf("fdl bytes=%d seconds=%.3f cpu=%.3f status=%d\n", sink.m_received, seconds, cpu,
                sink.m_status);
    return sink.m_status == DLS_DONE ? 0 : 1;
}
