// Sends the download manager's GET for one address and reads its answer on a
// thread of its own, one block ahead of the download worker. The GET goes over
// TLS for https and follows the redirects that keep to https once there; a
// refused one is logged and nothing is sent for it. WinINet's synchronous calls cannot be
// cut short: a read waits until its whole count has come however slowly the
// server sends it, and closing the request from another thread does not wake
// it (both measured under Wine). So the worker waits for each step only as
// long as its limits allow; a reader it stops waiting for finishes the call
// it is in, closes the request and ends on its own.
#pragma once

#include "framework/inet.h"

#include <memory>
#include <vector>

class ResponseReader {
public:
    enum class Step {
        Waiting, // nothing new within the wait
        Headers, // the answer's status and length are in
        Block,   // a block of the body is in
        End,     // the body is complete
        Failed,  // sending or reading failed; Error() and Sending() say why
    };

    // How far sending came when it brought no answer.
    enum class Sending { kAnswer, kBadAddress, kNoConnection, kNoRequest, kRefusedRedirect };

    // Starts sending the GET for `url` over the session, which is kept as long
    // as the request is open. Raises std::system_error when no thread starts.
    ResponseReader(std::shared_ptr<CInternetSession> session, std::wstring url);
    // A call under way is left to finish on its own.
    ~ResponseReader();
    ResponseReader(const ResponseReader&) = delete;
    ResponseReader& operator=(const ResponseReader&) = delete;

    // Waits up to `ms` for the next step: Headers first, then blocks up to
    // the End. A block stays valid until the next call.
    Step Next(DWORD ms);

    DWORD Status() const noexcept { return m_status; }
    DWORD Length() const noexcept { return m_length; } // 0xFFFFFFFF when none was announced
    const char* Data() const noexcept { return m_block.data(); }
    UINT Count() const noexcept { return m_count; }
    DWORD Error() const noexcept { return m_error; }
    Sending SendingOutcome() const noexcept { return m_sending; }

private:
    struct Shared;

    std::shared_ptr<Shared> m_shared; // with the reading thread, which may outlive this object
    std::vector<char> m_block;
    DWORD m_status = 0;
    DWORD m_length = 0xFFFFFFFF;
    UINT m_count = 0;
    DWORD m_error = 0;
    Sending m_sending = Sending::kAnswer;
};
