#include "update/update_handover.h"

#include <cstdint>
#include <initializer_list>

namespace {
constexpr wchar_t kStartedEvent[] = L"Started";
constexpr DWORD kEndWaitMs = 5000;

// FNV-1a over the UTF-16 units of the upper-cased path: stable across runs
// and builds, which is all a name needs.
std::uint64_t HashFolded(std::wstring path) noexcept
{
    if (!path.empty())
        ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t c : path) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}
} // namespace

std::wstring InstallObjectName(const wchar_t* kind, const std::wstring& exePath, ObjectScope scope)
{
    // The hash in 16 lower-case hex digits, most significant first.
    constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
    std::uint64_t hash = HashFolded(exePath);
    wchar_t hex[17] = {};
    for (int i = 15; i >= 0; --i, hash >>= 4)
        hex[i] = kHexDigits[hash & 0xF];
    const wchar_t* const prefix = scope == ObjectScope::Machine ? L"Global\\" : L"Local\\";
    return std::wstring(prefix) + L"Quillmoor." + kind + L"." + hex;
}

void ConfirmLauncherStarted(const std::wstring& exePath) noexcept
{
    try {
        for (const ObjectScope scope : {ObjectScope::Machine, ObjectScope::Session}) {
            const UniqueHandle event(
                ::OpenEventW(EVENT_MODIFY_STATE, FALSE,
                             InstallObjectName(kStartedEvent, exePath, scope).c_str()));
            if (event)
                ::SetEvent(event.get());
        }
    } catch (...) {
        // Without memory for a name there is nobody to tell.
    }
}

bool InstallUpdateLock::TryAcquire(const std::wstring& exePath)
{
    Release();
    m_hMutex.reset(::CreateMutexW(nullptr, FALSE, InstallObjectName(L"Update", exePath).c_str()));
    if (!m_hMutex && ::GetLastError() == ERROR_ACCESS_DENIED)
        return false; // another user's launcher of this install made it: it is updating
    if (!m_hMutex)
        m_hMutex.reset(::CreateMutexW(
            nullptr, FALSE, InstallObjectName(L"Update", exePath, ObjectScope::Session).c_str()));
    if (!m_hMutex)
        return false;
    const DWORD wait = ::WaitForSingleObject(m_hMutex.get(), 0);
    m_bHeld = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    if (!m_bHeld)
        m_hMutex.reset();
    return m_bHeld;
}

void InstallUpdateLock::Release() noexcept
{
    if (m_bHeld)
        ::ReleaseMutex(m_hMutex.get());
    m_bHeld = false;
    m_hMutex.reset();
}

bool LauncherHandOver::Start(const std::wstring& exePath, DWORD timeoutMs, DWORD& error)
{
    m_hProcess.reset();
    m_hConfirmed.reset(); // an earlier hand-over's event is not this one's
    // Manual reset: the confirmation stays set until this launcher has seen it.
    for (const ObjectScope scope : {ObjectScope::Machine, ObjectScope::Session}) {
        m_hConfirmed.reset(::CreateEventW(
            nullptr, TRUE, FALSE, InstallObjectName(kStartedEvent, exePath, scope).c_str()));
        error = ::GetLastError();
        if (m_hConfirmed && (error != ERROR_ALREADY_EXISTS || scope == ObjectScope::Session))
            break;
        m_hConfirmed.reset();
    }
    if (!m_hConfirmed)
        return false;
    ::ResetEvent(m_hConfirmed.get()); // the session's may have been set before

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(exePath.c_str(), nullptr, nullptr, nullptr, FALSE, DETACHED_PROCESS,
                          nullptr, nullptr, &startup, &process)) {
        error = ::GetLastError();
        m_hConfirmed.reset();
        return false;
    }
    const UniqueHandle thread(process.hThread);
    m_hProcess.reset(process.hProcess);
    m_deadline = ::GetTickCount64() + timeoutMs;
    return true;
}

LauncherHandOver::State LauncherHandOver::Poll() const noexcept
{
    // The event comes first: a launcher that confirmed and then ended is good.
    const HANDLE handles[] = {m_hConfirmed.get(), m_hProcess.get()};
    switch (::WaitForMultipleObjects(2, handles, FALSE, 0)) {
    case WAIT_OBJECT_0: return State::Confirmed;
    case WAIT_OBJECT_0 + 1: return State::Ended;
    default: break;
    }
    return ::GetTickCount64() >= m_deadline ? State::TimedOut : State::Waiting;
}

void LauncherHandOver::EndNewLauncher() noexcept
{
    if (m_hProcess && ::WaitForSingleObject(m_hProcess.get(), 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_hProcess.get(), 1);
        ::WaitForSingleObject(m_hProcess.get(), kEndWaitMs);
    }
}

DWORD LauncherHandOver::ExitCode() const noexcept
{
    DWORD code = 0;
    if (!m_hProcess || !::GetExitCodeProcess(m_hProcess.get(), &code))
        return 0;
    return code;
}
