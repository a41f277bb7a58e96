// Diagnostic log: one line per message, appended to the file named by
// g_szLogFile. Nothing sets the path in a shipped build, so by default no
// line is written; a debugging build or a test may set it.
#pragma once

#include <cstdarg>

constexpr int kLogLineChars = 512;

// Empty unless someone sets it; MAX_PATH characters including the terminator.
extern wchar_t g_szLogFile[260];

// Formats with the C runtime's wide printf rules (%s takes a wide string)
// into at most 512 characters and appends it to g_szLogFile.
void WriteLog(const wchar_t* format, ...);

// Appends one formatted line to `path`. False at once for an empty path, or
// when the file cannot be opened or written.
bool AppendLogLine(const wchar_t* path, const wchar_t* format, ...);
bool AppendLogLineV(const wchar_t* path, const wchar_t* format, va_list args);
