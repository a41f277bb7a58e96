#include "common/log.h"

#include "framework/handles.h"

#include <cstdio>
#include <string>

wchar_t g_szLogFile[260] = {};

namespace {
// Formats into a fixed buffer; the result is always terminated, cut at the
// buffer's end when the text is longer.
void FormatLine(wchar_t (&buffer)[kLogLineChars], const wchar_t* format, va_list args)
{
    buffer[0] = L'\0';
    if (!format)
        return;
    _vsnwprintf(buffer, kLogLineChars - 1, format, args);
    buffer[kLogLineChars - 1] = L'\0';
}

// Lines are stored as UTF-8 so that every message survives whatever the
// system's code page is; each ends with CR LF as a text-mode file's would.
bool AppendUtf8Line(const wchar_t* path, const wchar_t* text)
{
    UniqueHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::string bytes;
    const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed > 1) {
        bytes.resize(static_cast<size_t>(needed));
        ::WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), needed, nullptr, nullptr);
        bytes.resize(static_cast<size_t>(needed - 1)); // drop the terminator
    }
    bytes += "\r\n";
    DWORD written = 0;
    // One write per line, so lines from the UI thread and the download
    // worker never interleave within a line.
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}
} // namespace

bool AppendLogLineV(const wchar_t* path, const wchar_t* format, va_list args)
{
    if (!path || !*path)
        return false;
    wchar_t line[kLogLineChars];
    FormatLine(line, format, args);
    return AppendUtf8Line(path, line);
}

bool AppendLogLine(const wchar_t* path, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const bool written = AppendLogLineV(path, format, args);
    va_end(args);
    return written;
}

void WriteLog(const wchar_t* format, ...)
{
    if (!g_szLogFile[0])
        return;
    va_list args;
    va_start(args, format);
    wchar_t line[kLogLineChars];
    FormatLine(line, format, args);
    va_end(args);
    AppendLogLine(g_szLogFile, L"%s", line);
}
