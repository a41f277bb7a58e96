// FDL: the download manager. One worker thread fetches queued files over
// HTTP, one after another in the order they were added, each into a
// temporary file that is renamed to its final name once the whole body has
// arrived, and tells each task's sink how it goes.
#pragma once

#include "download/dl_interfaces.h"
#include "download/fsingleton.h"
#include "download/ftask.h"
#include "download/thread.h"
#include "download/transfer_pace.h"

#include <atomic>
#include <list>
#include <memory>
#include <string>

class CInternetSession;

// A download is written to <target> + this suffix and renamed to the target
// only when it is complete.
inline constexpr wchar_t kDownloadTempSuffix[] = L".fdl";

// No file is taken whole beyond this size, whatever length the server
// announces or leaves out.
inline constexpr DWORD kMaxDownloadBytes = 64 * 1024 * 1024;

class FDL : public IDLMgr, public CThread, public FSingleton<FDL> {
public:
    // Opens the internet session; raises CInternetException when it cannot.
    // Every transfer is held to `limits` (see TransferPace); the connect,
    // send and receive time-out is their idle time. Only tests pass others.
    explicit FDL(const TransferLimits& limits = kDownloadLimits);
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
    // Ends the download under way as failed, without waiting: the worker
    // gives up within 0.1 s. Tasks added until the next Start fail.
    void Cancel() override;

protected:
    unsigned Run() override;

private:
    void ProcessNextTask();
    bool Download(FTask* task, CInternetSession* session);
    int Transfer(FTask& task, CInternetSession* session);
    void StopWorker();

    TransferLimits m_limits;
    std::atomic<bool> m_bCancelled{false};
    // Shared with the readers of answers, which may outlive a task (and the manager).
    std::shared_ptr<CInternetSession> m_pSession;
    std::list<std::unique_ptr<FTask>> m_tasks; // oldest first
};
