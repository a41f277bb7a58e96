#include "update/progress_text.h"
#include "update/version_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

namespace {

struct Parts {
    int v[4] = {-1, -1, -1, -1};
};

Parts Parse(const char* text, bool* ok = nullptr)
{
    Parts p;
    const bool result = ParseVersion(text, p.v);
    if (ok)
        *ok = result;
    return p;
}

TEST(VersionText, ParsesFourNumbersAndFillsMissingPartsWithZero)
{
    bool ok = false;
    Parts p = Parse("1.0.0.9", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(p.v[0], 1);
    EXPECT_EQ(p.v[3], 9);
    p = Parse("1.2", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(p.v[0], 1);
    EXPECT_EQ(p.v[1], 2);
    EXPECT_EQ(p.v[2], 0);
    EXPECT_EQ(p.v[3], 0);
    p = Parse("1.0.0.9\r\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(p.v[3], 9) << "a number stops at the first non-digit";
    p = Parse("", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(p.v[0], 0);
}

TEST(VersionText, FourOrMoreDotsOrNullAreUnusable)
{
    int parts[4];
    EXPECT_FALSE(ParseVersion("1.0.0.0.1", parts));
    EXPECT_FALSE(ParseVersion("1....", parts));
    EXPECT_FALSE(ParseVersion(nullptr, parts));
}

TEST(VersionText, HugeNumbersSaturateInsteadOfOverflowing)
{
    const Parts p = Parse("99999999999999999999.1");
    EXPECT_EQ(p.v[0], INT_MAX);
    EXPECT_EQ(p.v[1], 1);
}

TEST(VersionText, CompareAgainstTheLauncherVersion)
{
    EXPECT_STREQ(CLIENT_VERSION, "1.0.0.8");
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.8"), 0);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.9"), 1);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.9\n"), 1);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.1"), 1) << "1.0.1.0 is newer";
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.256"), 1) << "parts compare as numbers";
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.7"), -1);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "2"), 1);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.10"), 1);
}

TEST(VersionText, UnusablePagesAreRejected)
{
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "0.9.0.0"), -2) << "first character '0'";
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, ""), -2);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, " 1.0.0.9"), -2);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "<html><body>404</body></html>"), -2);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, "1.0.0.9.1"), -2);
    EXPECT_EQ(CompareVersion(nullptr, "1.0.0.9"), -2);
    EXPECT_EQ(CompareVersion(CLIENT_VERSION, nullptr), -2);
    EXPECT_EQ(CompareVersion("0.1", "1.0.0.9"), -2) << "the local text is checked too";
}

TEST(VersionText, TrimDropsBlanksAndControlCharactersAtBothEndsAndALeadingByteOrderMark)
{
    EXPECT_EQ(TrimVersionText("1.0.0.9\n"), "1.0.0.9");
    EXPECT_EQ(TrimVersionText("1.0.0.9\r\n"), "1.0.0.9");
    EXPECT_EQ(TrimVersionText("1.0.0.9 \t\x7f\r\n\x01"), "1.0.0.9");
    EXPECT_EQ(TrimVersionText("  1.0.0.9"), "1.0.0.9") << "an editor's leading blanks";
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBF"
                              "1.0.0.9\r\n"),
              "1.0.0.9")
        << "a UTF-8 byte-order mark";
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBF \r\n1.0.0.9 "), "1.0.0.9");
    EXPECT_EQ(TrimVersionText("\xEF\xBB"
                              "1.0.0.9"),
              "\xEF\xBB"
              "1.0.0.9")
        << "half a mark stays, unusable";
    EXPECT_EQ(TrimVersionText("1.0.0.9\xEF\xBB\xBF"), "1.0.0.9\xEF\xBB\xBF")
        << "only a leading mark";
    EXPECT_EQ(TrimVersionText("1.0 .0.9"), "1.0 .0.9") << "inner blanks stay";
    EXPECT_EQ(TrimVersionText("\xEF\xBB\xBF"), "");
    EXPECT_EQ(TrimVersionText("\r\n"), "");
    EXPECT_EQ(TrimVersionText(""), "");
}

TEST(VersionText, PathFileNameTakesThePartAfterTheLastBackslash)
{
    EXPECT_EQ(PathFileName(L"C:\\Games\\run.exe"), L"run.exe");
    EXPECT_EQ(PathFileName(L"\\run.exe"), L"") << "a backslash at index 0 does not count";
    EXPECT_EQ(PathFileName(L"run.exe"), L"");
    EXPECT_EQ(PathFileName(L"C:/Games/run.exe"), L"") << "only backslashes separate";
    EXPECT_EQ(PathFileName(nullptr), L"");
    EXPECT_EQ(PathFileName(L"C:\\Games\\"), L"");
}

TEST(VersionText, UpdateAddresses)
{
    // 2026-12-09 00:00:30 UTC is 29,913,120 minutes and 30 s after the epoch.
    EXPECT_EQ(VersionPageUrl(L"127.0.0.1:18701", 1794787230LL),
              L"http://127.0.0.1:18701/clientkv3/portHatch/qlm_Orbo.html?29913120");
    EXPECT_EQ(NewExecutableUrl(L"update.example.com", "1.0.0.9"),
              L"http://update.example.com/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9");
    EXPECT_EQ(NewExecutableUrl(L"h", "1.0.0.9\r\n"),
              L"http://h/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9")
        << "no control characters reach the address";
    EXPECT_EQ(BackupPathFor(L"C:\\Games\\run.exe"), L"C:\\Games\\run.exe1.0.0.8");
    EXPECT_EQ(SignatureUrl(L"h", "1.0.0.9\r\n"),
              L"http://h/clientkv3/portHatch/qlm_Orbo.exe.sig?version=1.0.0.9");
    // A host setting with a scheme gives all three addresses that scheme.
    EXPECT_EQ(VersionPageUrl(L"https://localhost:18701", 1794787230LL),
              L"https://localhost:18701/clientkv3/portHatch/qlm_Orbo.html?29913120");
    EXPECT_EQ(NewExecutableUrl(L"https://u.example", "1.0.0.9"),
              L"https://u.example/clientkv3/portHatch/qlm_Orbo.exe?version=1.0.0.9");
    EXPECT_EQ(SignatureUrl(L"HTTPS://u.example", "1.0.0.9"),
              L"https://u.example/clientkv3/portHatch/qlm_Orbo.exe.sig?version=1.0.0.9");
    EXPECT_EQ(SignedUpdatePrefix("1.0.0.9"), "quillmoor-update-v1\n1.0.0.9\n");
}

TEST(VersionText, BackupNamesAreTheExecutableFollowedByAVersionOrUpToFourDigits)
{
    struct Case {
        const wchar_t* name;
        bool backup;
    };
    const Case cases[] = {
        {L"Quillmoor.exe1.0.0.8", true},   {L"quillmoor.EXE1.0.0.7", true},
        {L"Quillmoor.exe1.0.1", true},     {L"Quillmoor.exe4711", true},
        {L"Quillmoor.exe0", true},         {L"Quillmoor.exe12345", false},
        {L"Quillmoor.exe", false},         {L"Quillmoor.exe.tmp", false},
        {L"Quillmoor.exe.tmp.fdl", false}, {L"Quillmoor.exe1.0.0.9.failed", false},
        {L"Quillmoor.exe1..0", false},     {L"Quillmoor.exe1.0.0.0.1", false},
        {L"Quillmoor.exe1.0.", false},     {L"Other.exe1.0.0.8", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsBackupName(L"Quillmoor.exe", c.name), c.backup)
            << std::string(c.name, c.name + std::wcslen(c.name));
}

// The marks of versions not to fetch again are named from the version's
// numbers, so the page's text never reaches a file name.
TEST(VersionText, MarksOfVersionsNotFetchedAgainAreSpeltFromTheirNumbers)
{
    EXPECT_EQ(FailedBuildPath(L"C:\\Games\\run.exe", "1.0.0.9"),
              L"C:\\Games\\run.exe1.0.0.9.failed");
    EXPECT_EQ(RefusedBuildPath(L"C:\\Games\\run.exe", "1.0.1"),
              L"C:\\Games\\run.exe1.0.1.0.refused");
    EXPECT_EQ(RefusedBuildPath(L"C:\\run.exe", "1.0.0.9\\x:y"), L"C:\\run.exe1.0.0.9.refused");
    EXPECT_EQ(FailedBuildPath(L"C:\\run.exe", "1.2.3.4.5"), L"") << "unusable";
    EXPECT_EQ(RefusedBuildPath(L"C:\\run.exe", ""), L"") << "unusable";

    for (const wchar_t* mark : {L"Quillmoor.exe1.0.0.9.failed", L"quillmoor.EXE1.0.0.10.refused"})
        EXPECT_TRUE(IsBuildMarkName(L"Quillmoor.exe", mark));
    for (const wchar_t* other : {L"Quillmoor.exe1.0.0.9.refused.tmp", L"Quillmoor.exe1.0.9.failed",
                                 L"Quillmoor.exe1.0.0.9", L"Quillmoor.exe1..0.9.failed",
                                 L"Other.exe1.0.0.9.failed", L"Quillmoor.exe1.0.0.9.FAILED"})
        EXPECT_FALSE(IsBuildMarkName(L"Quillmoor.exe", other))
            << std::string(other, other + std::wcslen(other));
}

TEST(VersionText, AFileVersionMatchesTheVersionItsPageNames)
{
    const int file[4] = {1, 1, 0, 0};
    EXPECT_TRUE(IsSameVersion("1.1", file)) << "parts left out count as 0";
    EXPECT_TRUE(IsSameVersion("1.1.0.0", file));
    EXPECT_FALSE(IsSameVersion("1.1.0.1", file));
    EXPECT_FALSE(IsSameVersion("1.0.0.8.1", file)) << "unusable";
    EXPECT_FALSE(IsSameVersion(nullptr, file));
}

TEST(DownloadProgress, AmountAndFractionOfTheBar)
{
    struct Case {
        long long received, total;
        const wchar_t* text;
        double fraction;
    };
    const Case cases[] = {
        {421888, 933888, L"412 KB of 912 KB", 421888.0 / 933888},
        {421888, -1, L"412 KB", 0.0},    // no length announced
        {0, 0, L"0 KB of 0 KB", 0.0},    // nothing to divide by
        {1000, 0, L"0 KB of 0 KB", 0.0}, // less than 1 KB, and no total
        {1048576 + 419431, 2097152, L"1.4 MB of 2.0 MB", (1048576.0 + 419431) / 2097152},
        {3145728, 2097152, L"3.0 MB of 2.0 MB", 1.0}, // more received than announced
        {1023, 1024, L"0 KB of 1 KB", 1023.0 / 1024},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DownloadAmountText(c.received, c.total), c.text) << c.received;
        EXPECT_DOUBLE_EQ(DownloadFraction(c.received, c.total), c.fraction) << c.received;
    }
    EXPECT_EQ(DownloadingCaption("1.0.0.9"), L"Downloading update 1.0.0.9");
    EXPECT_EQ(DownloadStateLine(421888, 933888), L"412 KB of 912 KB  \u00b7  Esc skips the update");
}

TEST(VersionText, MinutesQueryUsesTheLow32BitsSigned)
{
    // Far in the future the minute count no longer fits 32 bits; the low 32
    // bits are sent as a signed number, as the server has always seen them.
    const long long seconds = (static_cast<long long>(INT_MAX) + 10) * 60;
    const std::wstring url = VersionPageUrl(L"h", seconds);
    EXPECT_EQ(url.substr(url.find(L'?') + 1), std::to_wstring(INT_MIN + 9));
}

TEST(VersionText, DecimalTextSpellsNumbersAsToWstringDoes)
{
    const long long values[] = {0,       7,       -7,        10,        -10,      9999,
                                INT_MIN, INT_MAX, LLONG_MAX, LLONG_MIN, 1LL << 40};
    for (const long long v : values)
        EXPECT_EQ(DecimalText(v), std::to_wstring(v)) << v;
}

} // namespace
