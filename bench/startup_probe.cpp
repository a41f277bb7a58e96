// Starts one program and reports when its windows become visible and how much
// memory it holds at chosen moments, as key=value lines on stdout:
//   startup_probe.exe [--timeout-ms N] [--poll-ms N] PROGRAM.exe STEP...
// The steps run in order:
//   wait:NAME:WxH       a visible top-level window of the program, exactly WxH
//   wait:NAME:any       any visible top-level window of the program
//   wait:NAME:workarea  a visible window of the program covering the work area
//   sleep:MS            a pause
//   memory:NAME         the program's working set now (bytes)
//   touch:PATH          creates the file PATH
// Times are wall-clock Unix seconds from GetSystemTimePreciseAsFileTime (under
// Wine the host's realtime clock), so they compare with other processes'
// clocks, such as the demo portal's log. "start" is taken just before
// CreateProcessW. The program is ended when the steps are done or one fails;
// the exit code is 0 only when every step succeeded.
#include "framework/handles.h"

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double UnixNow() noexcept
{
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    constexpr unsigned long long kUnixEpochTicks = 116444736000000000ULL; // 1970 in 100 ns
    return static_cast<double>(ticks.QuadPart - kUnixEpochTicks) / 1e7;
}

void ReportTime(const std::string& name, double unixSeconds) noexcept
{
    std::printf("%s=%.6f\n", name.c_str(), unixSeconds);
    std::fflush(stdout);
}

void ReportBytes(const std::string& name, SIZE_T bytes) noexcept
{
    std::printf("%s=%llu\n", name.c_str(), static_cast<unsigned long long>(bytes));
    std::fflush(stdout);
}

void ReportError(const std::wstring& what) noexcept
{
    std::printf("error=%ls\n", what.c_str());
    std::fflush(stdout);
}

// Which visible window a wait looks for.
struct WindowQuery {
    enum class Shape { Size, Any, WorkArea } shape = Shape::Any;
    DWORD pid = 0;
    LONG width = 0;
    LONG height = 0;
    bool found = false;
    double seenAt = 0; // when the match was made
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) noexcept
{
    auto& query = *reinterpret_cast<WindowQuery*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    if (pid != query.pid || !::IsWindowVisible(hwnd))
        return TRUE;
    RECT rect{};
    if (!::GetWindowRect(hwnd, &rect))
        return TRUE;
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    switch (query.shape) {
    case WindowQuery::Shape::Any: query.found = true; break;
    case WindowQuery::Shape::Size:
        query.found = width == query.width && height == query.height;
        break;
    case WindowQuery::Shape::WorkArea:
        query.found = width >= query.width && height >= query.height;
        break;
    }
    if (!query.found)
        return TRUE;
    query.seenAt = UnixNow();
    return FALSE;
}

bool ParseShape(const std::wstring& text, WindowQuery& query)
{
    if (text == L"any") {
        query.shape = WindowQuery::Shape::Any;
        return true;
    }
    if (text == L"workarea") {
        RECT area{};
        if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
            return false;
        query.shape = WindowQuery::Shape::WorkArea;
        query.width = area.right - area.left;
        query.height = area.bottom - area.top;
        return true;
    }
    query.shape = WindowQuery::Shape::Size;
    return std::swscanf(text.c_str(), L"%ldx%ld", &query.width, &query.height) == 2;
}

// The program under measurement; ended when the probe is done with it.
class Child {
public:
    bool Start(const std::wstring& exe)
    {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info))
            return false;
        m_process.reset(info.hProcess);
        m_thread.reset(info.hThread);
        m_pid = info.dwProcessId;
        return true;
    }
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(m_process.get(), 0);
            ::WaitForSingleObject(m_process.get(), 5000);
        }
    }

    DWORD Pid() const noexcept { return m_pid; }
    HANDLE Process() const noexcept { return m_process.get(); }
    bool HasEnded() const noexcept
    {
        return ::WaitForSingleObject(m_process.get(), 0) == WAIT_OBJECT_0;
    }

private:
    UniqueHandle m_process;
    UniqueHandle m_thread;
    DWORD m_pid = 0;
};

class Probe {
public:
    Probe(const Child& child, DWORD timeoutMs, DWORD pollMs) noexcept
        : m_child(child), m_timeoutMs(timeoutMs), m_pollMs(pollMs)
    {
    }

    bool Run(const std::wstring& step)
    {
        const size_t colon = step.find(L':');
        const std::wstring kind = step.substr(0, colon);
        const std::wstring argument = colon == std::wstring::npos ? L"" : step.substr(colon + 1);
        if (kind == L"wait")
            return Wait(argument);
        if (kind == L"sleep") {
            ::Sleep(static_cast<DWORD>(std::wcstoul(argument.c_str(), nullptr, 10)));
            return !m_child.HasEnded() || Ended(L"sleep");
        }
        if (kind == L"memory")
            return Memory(argument);
        if (kind == L"touch")
            return Touch(argument);
        ReportError(L"unknown step " + step);
        return false;
    }

private:
    bool Wait(const std::wstring& argument)
    {
        const size_t colon = argument.find(L':');
        const std::wstring name = argument.substr(0, colon);
        WindowQuery query;
        query.pid = m_child.Pid();
        if (colon == std::wstring::npos || !ParseShape(argument.substr(colon + 1), query)) {
            ReportError(L"bad wait step " + argument);
            return false;
        }
        const ULONGLONG deadline = ::GetTickCount64() + m_timeoutMs;
        while (::GetTickCount64() < deadline) {
            ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
            if (query.found) {
                // The moment it was seen: at most one poll after it became visible.
                ReportTime(Narrow(name), query.seenAt);
                return true;
            }
            if (m_child.HasEnded())
                return Ended(name);
            ::Sleep(m_pollMs);
        }
        ReportError(L"no window " + argument + L" within the time-out");
        return false;
    }

    bool Memory(const std::wstring& name) const
    {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!::K32GetProcessMemoryInfo(m_child.Process(), &counters, sizeof counters)) {
            ReportError(L"no memory counters for " + name);
            return false;
        }
        const std::string key = Narrow(name);
        ReportBytes(key + "_ws", counters.WorkingSetSize);
        ReportBytes(key + "_peak_ws", counters.PeakWorkingSetSize);
        return true;
    }

    static bool Touch(const std::wstring& path)
    {
        const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            ReportError(L"cannot create " + path);
        return static_cast<bool>(file);
    }

    bool Ended(const std::wstring& during) const
    {
        DWORD code = 0;
        ::GetExitCodeProcess(m_child.Process(), &code);
        ReportError(L"the program ended with exit code " + std::to_wstring(code) + L" during " +
                    during);
        return false;
    }

    static std::string Narrow(const std::wstring& text)
    {
        std::string out;
        for (const wchar_t c : text)
            out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }

    const Child& m_child;
    DWORD m_timeoutMs;
    DWORD m_pollMs;
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD timeoutMs = 30000;
    DWORD pollMs = 1;
    int next = 1;
    for (; next + 1 < argc && argv[next][0] == L'-'; next += 2) {
        const DWORD value = static_cast<DWORD>(std::wcstoul(argv[next + 1], nullptr, 10));
        if (std::wcscmp(argv[next], L"--timeout-ms") == 0)
            timeoutMs = value;
        else if (std::wcscmp(argv[next], L"--poll-ms") == 0)
            pollMs = value;
    }
    if (next >= argc) {
        std::fprintf(stderr, "usage: startup_probe.exe [--timeout-ms N] [--poll-ms N] "
                             "PROGRAM.exe STEP...\n");
        return 2;
    }
    Child child;
    const double start = UnixNow();
    if (!child.Start(argv[next])) {
        ReportError(L"cannot start " + std::wstring(argv[next]) + L", error " +
                    std::to_wstring(::GetLastError()));
        return 1;
    }
    ReportTime("start", start);
    Probe probe(child, timeoutMs, pollMs);
    for (int i = next + 1; i < argc; ++i) {
        if (!probe.Run(argv[i]))
            return 1;
    }
    return 0;
}
