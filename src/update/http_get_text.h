// Reads short pages over HTTP: the version text into a fixed buffer, and
// small binary bodies such as an update's signature.
#pragma once

#include "download/transfer_pace.h"
#include "framework/win32.h"

#include <cstddef>
#include <string>

constexpr int kHttpTextBufferSize = 1024;
// The whole answer, from the request to its last byte, comes within this
// time or counts as none, so neither a stalled nor a crawling server holds
// the launcher's start.
constexpr DWORD kHttpTextTimeoutMs = kPageLimits.totalMs;

// Fills `buffer` with the body of `url`: at most 1023 bytes, always
// terminated, the rest of a longer body dropped. Only a whole body of a
// successful (2xx) response counts; an error page, a failed or timed-out
// read or a body shorter than its Content-Length leaves the buffer empty.
// True when the page was requested, even when nothing usable came back (the
// empty buffer then says so); false only for a null URL or when no internet
// session can be opened.
bool HttpGetText(const wchar_t* url, char (&buffer)[kHttpTextBufferSize],
                 DWORD timeoutMs = kHttpTextTimeoutMs);

// The body of `url` when the server answers 200 and sends it whole; at most
// `limit` bytes are read (ask for one more than you accept to tell a longer
// body). False, with `body` empty, for any other answer, a failed or
// timed-out read, or a body shorter than its Content-Length.
bool HttpGetBytes(const wchar_t* url, std::size_t limit, std::string& body,
                  DWORD timeoutMs = kHttpTextTimeoutMs);
