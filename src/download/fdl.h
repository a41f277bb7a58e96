// FDL: the download manager. One worker thread fetches queued files over
// HTTP, one after another in the order they were added, each into a
// temporary file that is renamed to its final name once the whole body has
// arrived, and tells each task's sink how it goes.
#pragma once

#include "download/dl_interfaces.h"
#include "download/fsingleton.h"
#include "download/ftask.h"
#include "download/thread.h"

#include <list>
#include <memory>
#include <string>

class CInternetSession;

// A download is written to <target> + this suffix and renamed to the target
// only when it is complete.
inline constexpr wchar_t kDownloadTempSuffix[] = L".fdl";

class FDL : public IDLMgr, public CThread, public FSingleton<FDL> {
public:
    // Connect, send and receive time-out of every transfer. A server that
    // accepts a request and then sends nothing ends the task as failed after
    // this long instead of holding the worker for ever.
    static constexpr DWORD kDefaultTimeoutMs = 30000;

    // Opens the internet session; raises CInternetException when it cannot.
    // Only tests pass a shorter time-out.
    explicit FDL(DWORD timeoutMs = kDefaultTimeoutMs);
    ~FDL() override;

    bool Init(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override;
    IDLTask* AddTask(const DLTaskDesc* desc) override;
    int GetTaskCount() override;
    int GetRemoteFileSize(const wchar_t* url) override;
    void Start() override;
    // Drops pending run commands (queued tasks stay queued) and stops the
    // worker once its current download has ended, killing it after the wait.
    void Stop() override;
    void Release() override;

protected:
    unsigned Run() override;

private:
    void ProcessNextTask();
    bool Download(FTask* task, CInternetSession* session);
    int Transfer(FTask& task, CInternetSession* session);
    void StopWorker();

    std::unique_ptr<CInternetSession> m_pSession;
    std::list<std::unique_ptr<FTask>> m_tasks; // oldest first
};
