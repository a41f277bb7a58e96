#include "support/test_files.h"

#include "framework/handles.h"

namespace qmtest {

bool ReadWholeFile(const std::wstring& path, std::string& content)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    content.clear();
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    return true;
}

std::string Content(const std::wstring& path)
{
    std::string content;
    return ReadWholeFile(path, content) ? content : "<missing>";
}

bool WriteWholeFile(const std::wstring& path, const std::string& content)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written,
                       nullptr) &&
           written == content.size();
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

long long FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring MakeTempFolder(const wchar_t* prefix)
{
    static int serial = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    // Wine reuses process ids from run to run: the time keeps names apart.
    const std::wstring dir =
        std::wstring(temp) + prefix + std::to_wstring(::GetCurrentProcessId()) + L"-" +
        std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++serial) + L"\\";
    return ::CreateDirectoryW(dir.c_str(), nullptr) ? dir : std::wstring();
}

void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW((dir + L"*").c_str(), &found));
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = dir + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path + L"\\");
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(search.get(), &found));
    }
    search.reset();
    ::RemoveDirectoryW(dir.c_str());
}

::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected,
                                     const char* what)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << what << ": " << actual.size() << " bytes instead of "
                                         << expected.size() << ", first difference at " << at;
}

std::string Narrow(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                              size, nullptr, nullptr);
    return bytes;
}

std::wstring Widen(const std::string& text)
{
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              size);
    return wide;
}

} // namespace qmtest
