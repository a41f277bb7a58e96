#include "update/background_fetch.h"

#include "update/background_job.h"
#include "update/http_get_text.h"

#include <mutex>
#include <utility>

struct BackgroundFetch::State {
    std::mutex lock;
    bool done = false;
    Result result;
};

bool BackgroundFetch::Start(const std::wstring& url, std::size_t byteLimit, HWND window,
                            UINT command)
{
    auto state = std::make_shared<State>();
    const bool started = RunInBackground(window, command, [state, url, byteLimit]() -> LPARAM {
        Result result;
        if (byteLimit == 0) {
            char page[kHttpTextBufferSize] = {};
            result.read = HttpGetText(url.c_str(), page);
            result.body = page;
        } else {
            result.read = HttpGetBytes(url.c_str(), byteLimit, result.body);
        }
        const std::lock_guard<std::mutex> hold(state->lock);
        state->result = std::move(result);
        state->done = true;
        return 0;
    });
    if (started)
        m_state = std::move(state);
    return started;
}

BackgroundFetch::Result BackgroundFetch::Take()
{
    if (!m_state)
        return {};
    const std::lock_guard<std::mutex> hold(m_state->lock);
    if (!m_state->done)
        return {};
    Result result = std::move(m_state->result);
    m_state->done = false;
    return result;
}
