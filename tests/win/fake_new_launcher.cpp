// Stands in for a newer launcher in the end-to-end update tests: the update
// server hands it out as the new executable. Started, it leaves a marker file
// beside itself holding its own full path (UTF-8), so a test sees that the
// swapped-in file was started and under which name, and ends with code 0.
#include "framework/handles.h"

#include <string>

namespace {
constexpr wchar_t kMarkerName[] = L"new-launcher-started.txt";

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

bool WriteMarker(const std::wstring& self)
{
    const std::wstring marker = self.substr(0, self.find_last_of(L'\\') + 1) + kMarkerName;
    // Written under another name and renamed, so a marker that is seen is whole.
    const std::wstring partial = marker + L".partial";
    {
        UniqueHandle file(::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return false;
        const std::string bytes = Utf8(self);
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) ||
            written != bytes.size())
            return false;
    }
    return ::MoveFileExW(partial.c_str(), marker.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t self[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    return WriteMarker(self) ? 0 : 3;
}
