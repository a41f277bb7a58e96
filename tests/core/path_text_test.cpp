// The text rules of download paths: separators, directory and file-name
// splitting, parents for directory creation.
#include "download/path_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PathText, SeparatorIsWhicheverOfTheTwoOccursLast)
{
    EXPECT_EQ(LastPathSeparator(L"C:\\dir/sub\\file"), 10u);
    EXPECT_EQ(LastPathSeparator(L"http://host/a\\b/c"), 15u);
    EXPECT_EQ(LastPathSeparator(L"a\\b"), 1u);
    EXPECT_EQ(LastPathSeparator(L"a/b"), 1u);
    EXPECT_EQ(LastPathSeparator(L"plain"), std::wstring::npos);
    EXPECT_EQ(LastPathSeparator(L""), std::wstring::npos);
    EXPECT_TRUE(IsPathSeparator(L'/'));
    EXPECT_TRUE(IsPathSeparator(L'\\'));
    EXPECT_FALSE(IsPathSeparator(L':'));
}

TEST(PathText, DirectoryKeepsItsSeparator)
{
    EXPECT_EQ(DirectoryOfPath(L"C:\\Games\\Quillmoor.exe"), L"C:\\Games\\");
    EXPECT_EQ(DirectoryOfPath(L"C:\\Games/bin\\run.exe"), L"C:\\Games/bin\\");
    EXPECT_EQ(DirectoryOfPath(L"C:\\Games\\bin/run.exe"), L"C:\\Games\\bin/");
    EXPECT_EQ(DirectoryOfPath(L"C:\\Games\\"), L"C:\\Games\\");
    EXPECT_EQ(DirectoryOfPath(L"Z:\\tmp\\x"), L"Z:\\tmp\\");
}

TEST(PathText, FileNameIsEverythingAfterTheLastSeparator)
{
    EXPECT_EQ(FileNameOfPath(L"http://127.0.0.1:8080/a/b/setup.exe"), L"setup.exe");
    EXPECT_EQ(FileNameOfPath(L"C:\\Games\\Quillmoor.exe"), L"Quillmoor.exe");
    EXPECT_EQ(FileNameOfPath(L"C:\\Games\\bin/run.exe"), L"run.exe");
    EXPECT_EQ(FileNameOfPath(L"C:\\Games\\"), L"");
    EXPECT_EQ(FileNameOfPath(L"http://host/dir/"), L"");
}

TEST(PathText, UrlQueryStaysInTheFileName)
{
    EXPECT_EQ(FileNameOfPath(L"http://h/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9"),
              L"qlm_Orbo.exe?version=1.0.0.9");
    // A separator inside the query wins, being the last one.
    EXPECT_EQ(FileNameOfPath(L"http://h/get?path=a/b.exe"), L"b.exe");
}

TEST(PathText, SeparatorAtIndexZeroOrNoneGivesNothing)
{
    for (const wchar_t* path : {L"", L"file.exe", L"\\file.exe", L"/file.exe", L"\\", L"/"}) {
        SCOPED_TRACE(testing::Message() << "path length " << std::wstring(path).size());
        EXPECT_EQ(DirectoryOfPath(path), L"");
        EXPECT_EQ(FileNameOfPath(path), L"");
    }
    // Index 1 is already enough.
    EXPECT_EQ(DirectoryOfPath(L"a\\b"), L"a\\");
    EXPECT_EQ(FileNameOfPath(L"a\\b"), L"b");
}

TEST(PathText, ParentIsTheTextBeforeTheLastSeparator)
{
    EXPECT_EQ(ParentOfPath(L"C:\\d1\\d2"), std::optional<std::wstring>(L"C:\\d1"));
    EXPECT_EQ(ParentOfPath(L"C:\\d1"), std::optional<std::wstring>(L"C:"));
    EXPECT_EQ(ParentOfPath(L"C:/d1\\d2/d3"), std::optional<std::wstring>(L"C:/d1\\d2"));
    EXPECT_EQ(ParentOfPath(L"C:"), std::nullopt);
    EXPECT_EQ(ParentOfPath(L""), std::nullopt);
}

TEST(PathText, TrailingSeparatorMakesTheSameDirectoryTheParent)
{
    // C:\d1\d2\ needs C:\d1\d2 first, which needs C:\d1, which needs C:.
    EXPECT_EQ(ParentOfPath(L"C:\\d1\\d2\\"), std::optional<std::wstring>(L"C:\\d1\\d2"));
    EXPECT_FALSE(EndsWithPathSeparator(L"C:\\d1\\d2"));
    EXPECT_EQ(ParentOfPath(L"C:\\d1\\d2"), std::optional<std::wstring>(L"C:\\d1"));
    // Doubled separators leave a parent that itself ends with one.
    const auto parent = ParentOfPath(L"C:\\d1\\\\");
    ASSERT_TRUE(parent.has_value());
    EXPECT_EQ(*parent, L"C:\\d1\\");
    EXPECT_TRUE(EndsWithPathSeparator(*parent));
}

TEST(PathText, SeparatorAsFirstCharacterHasTheEmptyParent)
{
    EXPECT_EQ(ParentOfPath(L"\\a"), std::optional<std::wstring>(L""));
    EXPECT_EQ(ParentOfPath(L"/"), std::optional<std::wstring>(L""));
    EXPECT_EQ(ParentOfPath(L"\\\\server"), std::optional<std::wstring>(L"\\"));
}

TEST(PathText, EndsWithSeparator)
{
    EXPECT_TRUE(EndsWithPathSeparator(L"C:\\"));
    EXPECT_TRUE(EndsWithPathSeparator(L"a/"));
    EXPECT_FALSE(EndsWithPathSeparator(L"a"));
    EXPECT_FALSE(EndsWithPathSeparator(L""));
}

} // namespace
