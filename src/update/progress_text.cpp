#include "update/progress_text.h"

#include "update/version_text.h"

namespace {
constexpr std::int64_t kKB = 1024;
constexpr std::int64_t kMB = 1024 * kKB;

std::wstring Amount(std::int64_t bytes)
{
    if (bytes < 0)
        bytes = 0;
    if (bytes < kMB)
        return DecimalText(bytes / kKB) + L" KB";
    const std::int64_t tenths = bytes * 10 / kMB;
    return DecimalText(tenths / 10) + L"." + DecimalText(tenths % 10) + L" MB";
}
} // namespace

std::wstring DownloadingCaption(const std::string& version)
{
    std::wstring caption = L"Downloading update ";
    for (const char c : version)
        caption.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return caption;
}

std::wstring DownloadAmountText(std::int64_t received, std::int64_t total)
{
    return total < 0 ? Amount(received) : Amount(received) + L" of " + Amount(total);
}

std::wstring DownloadStateLine(std::int64_t received, std::int64_t total)
{
    return DownloadAmountText(received, total) + L"  \u00b7  Esc skips the update";
}

double DownloadFraction(std::int64_t received, std::int64_t total) noexcept
{
    if (total <= 0 || received <= 0)
        return 0.0;
    return received >= total ? 1.0 : static_cast<double>(received) / static_cast<double>(total);
}
