#include "update/wide_to_narrow.h"

char* WideToNarrow(char* buffer, const wchar_t* text, int size, UINT codePage) noexcept
{
    if (!buffer || !text || size <= 0)
        return nullptr;
    buffer[0] = '\0';
    if (::WideCharToMultiByte(codePage, 0, text, -1, buffer, size, nullptr, nullptr) == 0) {
        buffer[0] = '\0'; // a conversion that did not fit may have left part of the text
        return nullptr;
    }
    return buffer;
}
