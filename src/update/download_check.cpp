#include "update/download_check.h"

#include "common/log.h"
#include "update/version_text.h"

#include <vector>

bool ReadFileVersion(const std::wstring& file, int parts[4])
{
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, block.data()) ||
        !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
        !fixed || length < sizeof *fixed || fixed->dwSignature != VS_FFI_SIGNATURE)
        return false;
    parts[0] = HIWORD(fixed->dwFileVersionMS);
    parts[1] = LOWORD(fixed->dwFileVersionMS);
    parts[2] = HIWORD(fixed->dwFileVersionLS);
    parts[3] = LOWORD(fixed->dwFileVersionLS);
    return true;
}

DownloadVerdict CheckDownloadedUpdate(const std::wstring& file, const std::string& version,
                                      const UpdateSignature& signature)
{
    const ULONGLONG started = ::GetTickCount64();
    const SignatureCheck check = VerifyUpdateFile(file, version, signature);
    const auto elapsed = static_cast<unsigned>(::GetTickCount64() - started);
    if (check != SignatureCheck::Verified) {
        WriteLog(L"Update refused: %s (%u ms) %s", DescribeSignatureCheck(check), elapsed,
                 file.c_str());
        return check == SignatureCheck::Mismatch ? DownloadVerdict::Refused
                                                 : DownloadVerdict::Unchecked;
    }
    WriteLog(L"Update signature verified in %u ms", elapsed);
    // A wrongly published file (the old build, a stale cache) would otherwise
    // be downloaded, swapped in and started again at every start.
    int found[4] = {-1, -1, -1, -1};
    const bool readable = ReadFileVersion(file, found);
    if (!readable || !IsSameVersion(version.c_str(), found)) {
        const std::wstring named(version.begin(), version.end());
        WriteLog(L"Update refused: the page names %s, the download is version %d.%d.%d.%d%s",
                 named.c_str(), found[0], found[1], found[2], found[3],
                 readable ? L"" : L" (no version information)");
        return DownloadVerdict::Refused;
    }
    return DownloadVerdict::Accepted;
}
