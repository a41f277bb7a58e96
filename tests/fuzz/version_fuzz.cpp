// Fuzzes the version page's text as it comes off the network.
#include "update/version_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The page is read into a zeroed buffer, so it is seen up to its first NUL.
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string page(raw.c_str());

    int parts[4];
    ParseVersion(page.c_str(), parts);

    const int cmp = CompareVersion(CLIENT_VERSION, page.c_str());
    if (cmp < -2 || cmp > 1)
        std::abort();
    const int back = CompareVersion(page.c_str(), CLIENT_VERSION);
    if ((cmp == -2) != (back == -2) || (cmp != -2 && cmp != -back))
        std::abort();

    const std::string trimmed = TrimVersionText(page);
    if (!trimmed.empty()) {
        const auto first = static_cast<unsigned char>(trimmed.front());
        const auto last = static_cast<unsigned char>(trimmed.back());
        if (first <= 0x20 || first == 0x7F || last <= 0x20 || last == 0x7F)
            std::abort();
    }
    // Trimming never changes whether a newer version is found for a page
    // that only differs by trailing line ends.
    if (CompareVersion(CLIENT_VERSION, (trimmed + "\r\n").c_str()) !=
        CompareVersion(CLIENT_VERSION, trimmed.c_str()))
        std::abort();

    for (const wchar_t c : NewExecutableUrl(L"h", trimmed)) {
        if (c <= 0x20 || c >= 0x7F)
            std::abort();
    }
    return 0;
}
