// Helpers shared by the Windows tests that run under Wine.
#pragma once

#include "framework/win32.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qmtest {

// Pumps this thread's messages until `done` holds or `timeoutMs` passes;
// returns whether it held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Pumps whatever is queued now, without waiting.
void PumpPending();

// The port of a compiled-in host when it is "https://localhost:<port>" or
// "http://127.0.0.1:<port>", the forms the tests can serve themselves (the
// test certificates name localhost); 0 for any other host.
unsigned short LoopbackPort(std::wstring_view host);

// The folder of the running test program, with a trailing backslash; the
// launcher exe is built into the same folder.
std::wstring ExeDirectory();
std::wstring LauncherPath();

// A child process that is ended when the guard goes out of scope.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    // `arguments` follow the quoted program name on the command line.
    bool Start(const std::wstring& exe, const std::wstring& workDir = L"",
               const std::wstring& arguments = L"");
    bool IsRunning() const;
    // Waits for the process to end; false on time-out.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr) const;
    void Terminate();
    DWORD Id() const noexcept { return m_pi.dwProcessId; }

private:
    PROCESS_INFORMATION m_pi{};
};

// The top-level windows of a process, from the top of the Z order down.
std::vector<HWND> ProcessWindows(DWORD processId);
// Every window below `parent`, children of children included.
std::vector<HWND> ChildWindows(HWND parent);
std::wstring WindowClass(HWND hwnd);
std::wstring WindowText(HWND hwnd);

// Top-level window of a class and title (null: any) of a process, or null.
HWND FindProcessWindow(DWORD processId, const wchar_t* className, const wchar_t* title);

// The processes other than this one started from `exePath` (compared
// case-insensitively), and ending them.
std::vector<DWORD> ProcessesOf(const std::wstring& exePath);
void TerminateProcessesOf(const std::wstring& exePath);

} // namespace qmtest

namespace qmtest {
// Starts a Unix program, which Wine runs natively when given its Unix path;
// false when it could not be started. Nothing can wait on such a process.
bool StartUnixProgram(std::wstring commandLine);

// Saves what is on the test's display to <build>/screenshots/<name>.png with
// ImageMagick (run natively through Wine); true when the file appeared.
bool SaveScreenshot(const std::wstring& name, DWORD timeoutMs = 15000);
} // namespace qmtest
