#include "support/test_support.h"

#include "framework/handles.h"

#include <tlhelp32.h>

#include <utility>
#include <vector>

namespace qmtest {

unsigned short LoopbackPort(std::wstring_view host)
{
    std::wstring_view digits;
    for (const std::wstring_view local : {L"https://localhost:", L"http://127.0.0.1:"}) {
        if (host.substr(0, local.size()) == local)
            digits = host.substr(local.size());
    }
    if (digits.empty() || digits.size() > 5)
        return 0;
    unsigned port = 0;
    for (const wchar_t c : digits) {
        if (c < L'0' || c > L'9')
            return 0;
        port = port * 10 + static_cast<unsigned>(c - L'0');
    }
    return port < 65536 ? static_cast<unsigned short>(port) : 0;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpPending();
        if (done())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

std::wstring ExeDirectory()
{
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir.erase(dir.find_last_of(L'\\') + 1);
    return dir;
}

std::wstring LauncherPath()
{
    return ExeDirectory() + L"Quillmoor.exe";
}

ChildProcess::~ChildProcess()
{
    Terminate();
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& workDir,
                         const std::wstring& arguments)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            workDir.empty() ? nullptr : workDir.c_str(), &si, &m_pi) != FALSE;
}

bool ChildProcess::IsRunning() const
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode) const
{
    if (!m_pi.hProcess || ::WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        ::GetExitCodeProcess(m_pi.hProcess, exitCode);
    return true;
}

void ChildProcess::Terminate()
{
    if (m_pi.hProcess) {
        if (IsRunning()) {
            ::TerminateProcess(m_pi.hProcess, 1);
            ::WaitForSingleObject(m_pi.hProcess, 5000);
        }
        ::CloseHandle(m_pi.hThread);
        ::CloseHandle(m_pi.hProcess);
        m_pi = {};
    }
}

namespace {
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}
} // namespace

std::vector<HWND> ProcessWindows(DWORD processId)
{
    std::vector<HWND> all;
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    std::vector<HWND> own;
    for (const HWND hwnd : all) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid == processId)
            own.push_back(hwnd);
    }
    return own;
}

std::vector<DWORD> ProcessesOf(const std::wstring& exePath)
{
    std::vector<DWORD> found;
    const UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return found;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId())
            continue;
        const UniqueHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        wchar_t image[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        if (process && ::QueryFullProcessImageNameW(process.get(), 0, image, &size) &&
            _wcsicmp(image, exePath.c_str()) == 0)
            found.push_back(entry.th32ProcessID);
    }
    return found;
}

void TerminateProcessesOf(const std::wstring& exePath)
{
    for (const DWORD id : ProcessesOf(exePath)) {
        const UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process && ::TerminateProcess(process.get(), 1))
            ::WaitForSingleObject(process.get(), 5000);
    }
}

std::vector<HWND> ChildWindows(HWND parent)
{
    std::vector<HWND> children;
    ::EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::wstring WindowClass(HWND hwnd)
{
    wchar_t buffer[256] = {};
    ::GetClassNameW(hwnd, buffer, 256);
    return buffer;
}

std::wstring WindowText(HWND hwnd)
{
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title)
{
    for (const HWND hwnd : ProcessWindows(processId)) {
        if ((!className || WindowClass(hwnd) == className) && (!title || WindowText(hwnd) == title))
            return hwnd;
    }
    return nullptr;
}

} // namespace qmtest

namespace qmtest {

namespace {
std::wstring Widen(const char* text)
{
    std::wstring out;
    for (; *text; ++text)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return out;
}

// A Unix path as Windows code sees it (the Z: drive maps the root).
std::wstring ToWindowsPath(const std::wstring& unixPath)
{
    std::wstring out = L"Z:" + unixPath;
    for (auto& c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}
} // namespace

bool StartUnixProgram(std::wstring commandLine)
{
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &pi))
        return false;
    // 32-bit Wine reports success for a Unix program but leaves stack garbage
    // in the handles; a garbage value can name one of this process's own
    // handles, which closing it would take from its owner (WinINet's cookie
    // lock, once). Only handles that name the started process are closed.
    if (pi.dwProcessId != 0 && ::GetProcessId(pi.hProcess) == pi.dwProcessId)
        ::CloseHandle(pi.hProcess);
    if (pi.dwThreadId != 0 && ::GetThreadId(pi.hThread) == pi.dwThreadId)
        ::CloseHandle(pi.hThread);
    return true;
}

bool SaveScreenshot(const std::wstring& name, DWORD timeoutMs)
{
    const std::wstring dir = Widen(QM_BINARY_DIR) + L"/screenshots";
    const std::wstring unixFile = dir + L"/" + name + L".png";
    const std::wstring windowsFile = ToWindowsPath(unixFile);
    ::CreateDirectoryW(ToWindowsPath(dir).c_str(), nullptr);
    ::DeleteFileW(windowsFile.c_str());
    // Written under a temporary name and renamed, so a seen file is complete.
    std::wstring command = L"/bin/sh -c \"import -window root '" + unixFile + L".tmp.png' && mv '" +
                           unixFile + L".tmp.png' '" + unixFile + L"'\"";
    // Nothing can wait on the program: the file is the sign.
    if (!StartUnixProgram(std::move(command)))
        return false;
    return PumpUntil(
        [&] { return ::GetFileAttributesW(windowsFile.c_str()) != INVALID_FILE_ATTRIBUTES; },
        timeoutMs);
}

} // namespace qmtest
