// The update check's text logic: the version page's text, version numbers,
// and the two update addresses. Platform-free.
#pragma once

#include <cstdint>
#include <string>

// The launcher's own version, narrow for the comparison with the version
// page and UTF-16 for Windows texts and paths; both spell the same text.
extern const char* const CLIENT_VERSION;
extern const wchar_t* const CLIENT_VERSION_W;

// Splits "a.b.c.d" into four numbers. Parts that are missing stay 0 ("1.2"
// gives 1, 2, 0, 0); each part is read like atoi (leading white space
// skipped, stops at the first non-digit), saturating instead of overflowing.
// False for a null text or one with four or more dots.
bool ParseVersion(const char* text, int parts[4]) noexcept;

// 1 remote is newer, 0 equal, -1 remote is older, -2 either text unusable
// (null, not starting with a digit 1..9, or not parseable).
int CompareVersion(const char* local, const char* remote) noexcept;

// The version page's text without white space and control characters at
// either end, nor a leading UTF-8 byte-order mark (editors write both).
std::string TrimVersionText(const std::string& text);

// The part of a path after its last backslash when that backslash is not
// its first character; otherwise empty. Only '\' separates here.
std::wstring PathFileName(const wchar_t* path);

// A number in decimal, a minus sign ahead when negative: what std::to_wstring
// writes, without the C runtime's printf that it calls.
std::wstring DecimalText(std::int64_t value);

// The update addresses on a host setting (common/site_address.h), which
// gives them their scheme: <origin> below is SiteOrigin(host).

// "<origin>/clientkv3/portHatch/qlm_Orbo.html?<minutes since 1970>".
std::wstring VersionPageUrl(const std::wstring& host, std::int64_t secondsSinceEpoch);

// "<origin>/clientkv3/portHatch/qlm_Orbo.exe?version=<version>", with
// every character outside printable ASCII dropped from the version.
std::wstring NewExecutableUrl(const std::wstring& host, const std::string& version);

// "<origin>/clientkv3/portHatch/qlm_Orbo.exe.sig?version=<version>",
// the publisher's signature of that executable.
std::wstring SignatureUrl(const std::wstring& host, const std::string& version);

// What an update's signature covers ahead of the executable's bytes:
// "quillmoor-update-v1\n" + version + "\n".
std::string SignedUpdatePrefix(const std::string& version);

// "<exe><CLIENT_VERSION>": the name the replaced executable is kept under.
std::wstring BackupPathFor(const std::wstring& exePath);

// "<exe><version>.failed": where a new build that did not confirm its start
// is kept, which also stops the launcher from fetching it again. The version
// is spelt from its four numbers ("1.0.1" gives 1.0.1.0), so no text of the
// page reaches the file name; empty for an unusable version.
std::wstring FailedBuildPath(const std::wstring& exePath, const std::string& version);

// "<exe><version>.refused", spelt as above: an empty mark that a download of
// that version was refused for its signature or its version, which stops
// the launcher from fetching it again.
std::wstring RefusedBuildPath(const std::wstring& exePath, const std::string& version);

// Whether `name` is one of those two marks: `exeName` (compared
// case-insensitively in ASCII), a version of four numbers, and ".failed"
// or ".refused".
bool IsBuildMarkName(const std::wstring& exeName, const std::wstring& name);

// Whether `name` is `exeName` (compared case-insensitively in ASCII) followed
// by a backup's suffix: a version, or the number of one to four digits that
// stands in when the version's name is taken.
bool IsBackupName(const std::wstring& exeName, const std::wstring& name);

// Whether a file version (four parts) is the version `text` names, parts it
// leaves out counting as 0. False for an unusable text.
bool IsSameVersion(const char* text, const int fileParts[4]) noexcept;
