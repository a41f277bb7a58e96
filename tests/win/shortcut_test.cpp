// The desktop shortcut under Wine: real .lnk files through the shell.
#include "app/desktop_shortcut.h"
#include "framework/com_init.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shobjidl.h>

#include <string>

namespace {

std::wstring TempFolder(const wchar_t* leaf)
{
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + leaf;
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct LinkInfo {
    std::wstring target;
    std::wstring workDir;
    std::wstring arguments;
    int showCmd = -1;
};

bool ReadLink(const std::wstring& path, LinkInfo* info)
{
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(path.c_str(), STGM_READ));
    if (ok) {
        wchar_t buffer[MAX_PATH] = {};
        link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH);
        info->target = buffer;
        buffer[0] = 0;
        link->GetWorkingDirectory(buffer, MAX_PATH);
        info->workDir = buffer;
        buffer[0] = 0;
        link->GetArguments(buffer, MAX_PATH);
        info->arguments = buffer;
        link->GetShowCmd(&info->showCmd);
    }
    if (file)
        file->Release();
    link->Release();
    return ok;
}

class Shortcut : public ::testing::Test {
protected:
    void SetUp() override
    {
        desktop = DesktopFolderPath();
        ASSERT_FALSE(desktop.empty()) << "the prefix has a desktop folder";
        shortcut = desktop + L"\\" + kShortcutFileName;
        ::DeleteFileW(shortcut.c_str());
        ::RemoveDirectoryW(shortcut.c_str());
    }
    void TearDown() override
    {
        ::DeleteFileW(shortcut.c_str());
        ::RemoveDirectoryW(shortcut.c_str());
    }
    ComApartment com;
    std::wstring desktop;
    std::wstring shortcut;
};

TEST_F(Shortcut, MissingShortcutIsCreatedPointingAtTheLauncherShownNormally)
{
    ASSERT_FALSE(IsShortcutUnneeded());
    EnsureDesktopShortcut();
    ASSERT_TRUE(Exists(shortcut));
    LinkInfo info;
    ASSERT_TRUE(ReadLink(shortcut, &info));
    EXPECT_EQ(_wcsicmp(info.target.c_str(), LauncherModulePath().c_str()), 0)
        << info.target.c_str();
    EXPECT_EQ(info.showCmd, SW_SHOWNORMAL);
    EXPECT_TRUE(info.workDir.empty()) << "no working directory of its own";
    EXPECT_TRUE(info.arguments.empty());
    EXPECT_TRUE(IsShortcutUnneeded());
    EXPECT_TRUE(ShortcutFileExists(kShortcutFileName));
}

TEST_F(Shortcut, ExistingShortcutIsLeftUntouched)
{
    EnsureDesktopShortcut();
    ASSERT_TRUE(Exists(shortcut));
    // Replace it with a marker; a second start must not rewrite it.
    ::DeleteFileW(shortcut.c_str());
    HANDLE h = ::CreateFileW(shortcut.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, "marker", 6, &written, nullptr);
    ::CloseHandle(h);
    EnsureDesktopShortcut();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(::GetFileAttributesExW(shortcut.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 6u);
}

TEST_F(Shortcut, AFolderBearingTheShortcutsNameCountsAsAShortcut)
{
    ASSERT_TRUE(::CreateDirectoryW(shortcut.c_str(), nullptr));
    EXPECT_TRUE(ShortcutFileExists(kShortcutFileName));
    EXPECT_TRUE(IsShortcutUnneeded());
    EnsureDesktopShortcut();
    EXPECT_TRUE(::GetFileAttributesW(shortcut.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(Shortcut, LauncherOnTheDesktopGetsNoShortcut)
{
    const std::wstring launcher = desktop + L"\\Quillmoor.exe";
    EXPECT_TRUE(IsShortcutUnneededFor(desktop, launcher));
    EnsureShortcutFor(desktop, launcher);
    EXPECT_FALSE(Exists(shortcut));
}

TEST_F(Shortcut, DesktopSpelledInOtherLetterCaseIsNotTheDesktop)
{
    std::wstring other = desktop;
    for (auto& c : other)
        c = static_cast<wchar_t>(::towupper(c));
    ASSERT_NE(other, desktop);
    const std::wstring launcher = other + L"\\Quillmoor.exe";
    EXPECT_FALSE(IsShortcutUnneededFor(desktop, launcher));
    EnsureShortcutFor(desktop, launcher);
    EXPECT_TRUE(Exists(shortcut));
}

TEST_F(Shortcut, UnresolvableDesktopOrOverlongPathTouchesNothing)
{
    const std::wstring launcher = L"C:\\Games\\Quillmoor.exe";
    EXPECT_TRUE(IsShortcutUnneededFor(L"", launcher)) << "no desktop";
    EXPECT_TRUE(IsShortcutUnneededFor(desktop, L"")) << "no launcher path";

    // A folder that exists, but the shortcut in it would pass MAX_PATH.
    const std::wstring base = TempFolder(L"qm_deep") + L"\\";
    const std::wstring deep = base + std::wstring(MAX_PATH - 15 - base.size(), L'd');
    ASSERT_TRUE(::CreateDirectoryW(deep.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    const std::wstring link = L"\\\\?\\" + deep + L"\\" + kShortcutFileName;
    EXPECT_TRUE(IsShortcutUnneededFor(deep, launcher));
    EnsureShortcutFor(deep, launcher);
    EXPECT_FALSE(CreateShellLink(launcher.c_str(), deep.c_str(), kShortcutFileName));
    EXPECT_FALSE(Exists(link));
    ::DeleteFileW(link.c_str());
}

TEST_F(Shortcut, CreateShellLinkRejectsMissingArgumentsAndSavesIntoAFolder)
{
    EXPECT_FALSE(CreateShellLink(nullptr, desktop.c_str(), kShortcutFileName));
    EXPECT_FALSE(CreateShellLink(L"C:\\x.exe", nullptr, kShortcutFileName));
    EXPECT_FALSE(CreateShellLink(L"C:\\x.exe", desktop.c_str(), nullptr));
    const std::wstring folder = TempFolder(L"qm_links");
    EXPECT_TRUE(CreateShellLink(L"C:\\Games\\x.exe", folder.c_str(), L"x.lnk"));
    LinkInfo info;
    ASSERT_TRUE(ReadLink(folder + L"\\x.lnk", &info));
    EXPECT_EQ(info.target, L"C:\\Games\\x.exe");
    ::DeleteFileW((folder + L"\\x.lnk").c_str());
    EXPECT_FALSE(CreateShellLink(L"C:\\Games\\x.exe", (folder + L"\\missing").c_str(), L"x.lnk"));
}

} // namespace
