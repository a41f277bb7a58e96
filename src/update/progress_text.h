// What the update splash says about a download under way. Platform-free.
#pragma once

#include <cstdint>
#include <string>

// "Downloading update <version>".
std::wstring DownloadingCaption(const std::string& version);

// The amount received, and of how much when `total` is known (not negative):
// "412 KB of 912 KB", "1.4 MB of 2.0 MB", or "412 KB" alone. Below 1 MB in
// whole KB (1 KB = 1024 bytes), from there in MB with one decimal, both
// rounded down, so a download shows its total only when it is complete.
std::wstring DownloadAmountText(std::int64_t received, std::int64_t total);

// The line under the bar: the amount, and that Esc skips the update.
std::wstring DownloadStateLine(std::int64_t received, std::int64_t total);

// How much of the bar is filled, 0 to 1: 0 while the total is unknown or 0,
// 1 when more arrived than was announced.
double DownloadFraction(std::int64_t received, std::int64_t total) noexcept;
