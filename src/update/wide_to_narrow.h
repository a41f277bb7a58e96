// Narrows UTF-16 text into a caller's byte buffer.
#pragma once

#include "framework/win32.h"

// Converts `text` with its terminator into `buffer` of `size` bytes in
// `codePage`. The buffer, or null when a pointer is null, the size is not
// positive or the text does not convert or fit (a buffer of at least one
// byte then starts with 0).
char* WideToNarrow(char* buffer, const wchar_t* text, int size, UINT codePage) noexcept;
