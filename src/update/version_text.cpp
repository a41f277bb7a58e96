#include "update/version_text.h"

#include "client_version.h"
#include "common/site_address.h"

#include <climits>
#include <initializer_list>

const char* const CLIENT_VERSION = QM_CLIENT_VERSION;
const wchar_t* const CLIENT_VERSION_W = L"" QM_CLIENT_VERSION;

namespace {
constexpr char kVersionPagePath[] = "/clientkv3/portHatch/qlm_Orbo.html";
constexpr char kExecutablePath[] = "/clientkv3/portHatch/qlm_Orbo.exe";
constexpr char kSignatureSuffix[] = ".sig";
constexpr char kSignedPrefix[] = "quillmoor-update-v1\n";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlankOrControl(unsigned char c) noexcept
{
    return c <= 0x20 || c == 0x7F;
}

bool IsSpace(char c) noexcept
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// atoi without undefined behaviour on overflow.
int ReadNumber(const std::string& piece) noexcept
{
    std::size_t i = 0;
    while (i < piece.size() && IsSpace(piece[i]))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-'))
        negative = piece[i++] == '-';
    long long value = 0;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i) {
        value = value * 10 + (piece[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

std::wstring Widen(const char* ascii)
{
    std::wstring out;
    for (; *ascii; ++ascii)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*ascii)));
    return out;
}
} // namespace

std::wstring DecimalText(std::int64_t value)
{
    // The magnitude as unsigned, so the most negative value needs no special case.
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    wchar_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::wstring text;
    text.reserve(count + 1);
    if (value < 0)
        text.push_back(L'-');
    while (count > 0)
        text.push_back(digits[--count]);
    return text;
}

bool ParseVersion(const char* text, int parts[4]) noexcept
{
    if (!text)
        return false;
    for (int i = 0; i < 4; ++i)
        parts[i] = 0;
    int taken = 0;
    std::string piece;
    for (const char* p = text; *p; ++p) {
        if (*p == '.') {
            if (taken == 3)
                return false;
            parts[taken++] = ReadNumber(piece);
            piece.clear();
        } else {
            piece.push_back(*p);
        }
    }
    parts[taken] = ReadNumber(piece);
    return true;
}

int CompareVersion(const char* local, const char* remote) noexcept
{
    if (!local || !remote)
        return -2;
    const auto leadsWithDigit = [](const char* t) { return t[0] >= '1' && t[0] <= '9'; };
    if (!leadsWithDigit(remote) || !leadsWithDigit(local))
        return -2;
    int r[4];
    int l[4];
    if (!ParseVersion(remote, r) || !ParseVersion(local, l))
        return -2;
    for (int i = 0; i < 4; ++i) {
        if (r[i] != l[i])
            return r[i] > l[i] ? 1 : -1;
    }
    return 0;
}

std::string TrimVersionText(const std::string& text)
{
    std::size_t begin = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    while (begin < text.size() && IsBlankOrControl(static_cast<unsigned char>(text[begin])))
        ++begin;
    std::size_t end = text.size();
    while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::wstring PathFileName(const wchar_t* path)
{
    if (!path)
        return {};
    const std::wstring p(path);
    const std::size_t slash = p.rfind(L'\\');
    if (slash == std::wstring::npos || slash == 0)
        return {};
    return p.substr(slash + 1);
}

std::wstring VersionPageUrl(const std::wstring& host, std::int64_t secondsSinceEpoch)
{
    // The minutes make every request unique, so no cache answers it.
    const auto minutes = static_cast<std::int32_t>(secondsSinceEpoch / 60);
    return SiteAddress(host, Widen(kVersionPagePath) + L"?" + DecimalText(minutes));
}

namespace {
// "<origin of host><path>?version=<version>", printable ASCII of the version only.
std::wstring VersionedUrl(const std::wstring& host, const std::string& path,
                          const std::string& version)
{
    std::wstring url = SiteAddress(host, Widen(path.c_str()) + L"?version=");
    for (const char c : version) {
        if (c > 0x20 && c < 0x7F)
            url.push_back(static_cast<wchar_t>(c));
    }
    return url;
}
} // namespace

std::wstring NewExecutableUrl(const std::wstring& host, const std::string& version)
{
    return VersionedUrl(host, kExecutablePath, version);
}

std::wstring SignatureUrl(const std::wstring& host, const std::string& version)
{
    return VersionedUrl(host, std::string(kExecutablePath) + kSignatureSuffix, version);
}

std::string SignedUpdatePrefix(const std::string& version)
{
    return kSignedPrefix + version + "\n";
}

std::wstring BackupPathFor(const std::wstring& exePath)
{
    return exePath + CLIENT_VERSION_W;
}

namespace {
constexpr wchar_t kFailedSuffix[] = L".failed";
constexpr wchar_t kRefusedSuffix[] = L".refused";

std::wstring VersionMarkPath(const std::wstring& exePath, const std::string& version,
                             const wchar_t* suffix)
{
    int parts[4];
    if (CompareVersion(version.c_str(), version.c_str()) != 0 ||
        !ParseVersion(version.c_str(), parts))
        return {}; // unusable as CompareVersion has it
    std::wstring path = exePath;
    for (int i = 0; i < 4; ++i)
        path += (i ? L"." : L"") + DecimalText(parts[i]);
    return path + suffix;
}

bool StartsWithFolded(const std::wstring& text, const std::wstring& start) noexcept
{
    if (start.empty() || text.size() < start.size())
        return false;
    const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (fold(text[i]) != fold(start[i]))
            return false;
    }
    return true;
}

// Four numbers of digits only, separated by single dots.
bool IsFourPartVersion(const std::wstring& text) noexcept
{
    int dots = 0;
    bool digitBefore = false;
    for (const wchar_t c : text) {
        if (c == L'.') {
            if (!digitBefore || ++dots > 3)
                return false;
            digitBefore = false;
        } else if (c >= L'0' && c <= L'9') {
            digitBefore = true;
        } else {
            return false;
        }
    }
    return dots == 3 && digitBefore;
}
} // namespace

std::wstring FailedBuildPath(const std::wstring& exePath, const std::string& version)
{
    return VersionMarkPath(exePath, version, kFailedSuffix);
}

std::wstring RefusedBuildPath(const std::wstring& exePath, const std::string& version)
{
    return VersionMarkPath(exePath, version, kRefusedSuffix);
}

bool IsBuildMarkName(const std::wstring& exeName, const std::wstring& name)
{
    if (!StartsWithFolded(name, exeName))
        return false;
    for (const std::wstring suffix : {kFailedSuffix, kRefusedSuffix}) {
        if (name.size() > exeName.size() + suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return IsFourPartVersion(
                name.substr(exeName.size(), name.size() - exeName.size() - suffix.size()));
    }
    return false;
}

bool IsBackupName(const std::wstring& exeName, const std::wstring& name)
{
    if (name.size() <= exeName.size() || !StartsWithFolded(name, exeName))
        return false;
    const std::wstring suffix = name.substr(exeName.size());
    if (suffix.find_first_not_of(L"0123456789") == std::wstring::npos)
        return suffix.size() <= 4;
    // A version: numbers separated by single dots, at most four of them.
    if (suffix.find_first_not_of(L"0123456789.") != std::wstring::npos || suffix.front() == L'.' ||
        suffix.back() == L'.' || suffix.find(L"..") != std::wstring::npos)
        return false;
    std::size_t dots = 0;
    for (const wchar_t c : suffix)
        dots += c == L'.';
    return dots <= 3;
}

bool IsSameVersion(const char* text, const int fileParts[4]) noexcept
{
    int named[4];
    if (!text || !ParseVersion(text, named))
        return false;
    for (int i = 0; i < 4; ++i) {
        if (named[i] != fileParts[i])
            return false;
    }
    return true;
}
