// Reads a short page in the background (RunInBackground), so the splash
// keeps painting and answering while a slow server takes its time.
#pragma once

#include "framework/win32.h"

#include <cstddef>
#include <memory>
#include <string>

class BackgroundFetch {
public:
    struct Result {
        bool read = false; // the page was requested (HttpGetText) or came whole (bytes)
        std::string body;
    };

    // Starts reading `url` as the version text, or, when `byteLimit` is not
    // 0, as at most that many bytes of a 200 answer. When done, posts
    // WM_COMMAND `command` to `window`. False when no thread could start.
    bool Start(const std::wstring& url, std::size_t byteLimit, HWND window, UINT command);
    // The result, once the command arrived; an empty result before.
    Result Take();

private:
    struct State;
    std::shared_ptr<State> m_state; // shared with the worker, which may outlive this object
};
