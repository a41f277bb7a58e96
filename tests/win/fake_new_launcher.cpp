// Stands in for a newer launcher (1.0.0.9 in its version resource) in the
// end-to-end update tests: the update server hands it out as the new
// executable. Started, it leaves a marker file beside itself holding its own
// full path (UTF-8), so a test sees that the swapped-in file was started and
// under which name. Then it does what "stand-in-mode.txt" beside it says:
// nothing there, it confirms its start as a launcher does and ends with 0;
// "exit3", it ends at once with code 3; "hang", it writes its process id to
// "stand-in.pid" and waits for ever, silent.
#include "framework/handles.h"
#include "update/update_handover.h"

#include <string>

namespace {
constexpr wchar_t kMarkerName[] = L"new-launcher-started.txt";
constexpr wchar_t kModeName[] = L"stand-in-mode.txt";

std::string Utf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                              size, nullptr, nullptr);
    return bytes;
}

std::wstring Beside(const std::wstring& self, const wchar_t* name)
{
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

// Writes `bytes` to `marker`, whole or not at all.
bool WriteMarker(const std::wstring& marker, const std::string& bytes)
{
    // Written under another name and renamed, so a marker that is seen is whole.
    const std::wstring partial = marker + L".partial";
    {
        UniqueHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) ||
            written != bytes.size())
            return false;
    }
    return ::MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

std::string Mode(const std::wstring& self)
{
    UniqueHandle file(::CreateFileW(Beside(self, kModeName).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char text[16] = {};
    DWORD read = 0;
    if (!file || !::ReadFile(file.get(), text, sizeof text - 1, &read, nullptr))
        return {};
    return std::string(text, read);
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    if (!WriteMarker(Beside(self, kMarkerName), Utf8(self)))
        return 4;
    const std::string mode = Mode(self);
    if (mode == "exit3")
        return 3;
    if (mode == "hang") {
        WriteMarker(Beside(self, L"stand-in.pid"), std::to_string(::GetCurrentProcessId()));
        ::Sleep(INFINITE);
    }
    ConfirmLauncherStarted(self);
    return 0;
}
