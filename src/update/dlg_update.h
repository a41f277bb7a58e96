// The update splash: a borderless per-pixel-alpha picture in the middle of
// the screen while the launcher reads the update server's version page. When
// the server publishes a newer version, the splash downloads the new
// executable beside the running one, puts it in place, starts it and ends the
// process. Otherwise, and whenever an update cannot go through, it posts
// NT_START_UP and the login follows with the running version.
#pragma once

#include "download/dl_interfaces.h"
#include "framework/dialog.h"
#include "framework/image.h"
#include "update/background_fetch.h"
#include "update/splash_picture.h"
#include "update/update_handover.h"
#include "update/update_signature.h"

#include <atomic>
#include <memory>
#include <string>
#include <utility>

// Commands the splash posts to its own window.
constexpr UINT ID_UPDATE_CHECK = 100;
constexpr UINT ID_UPDATE_FINISHED = 101; // lParam: 1 when the download succeeded
constexpr UINT ID_VERSION_READ = 102;    // the version page's answer is in
constexpr UINT ID_SIGNATURE_READ = 103;  // the signature's answer is in
constexpr UINT ID_UPDATE_PROGRESS = 104; // the download's amount changed

class ExecutableSwap;

class CDlgUpdate : public CDialog, public IDLTaskSink {
public:
    CDlgUpdate();
    ~CDlgUpdate() override;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Download sink, called on the download worker thread: the amount is
    // kept for the splash (ID_UPDATE_PROGRESS), the end handed to the UI
    // thread as ID_UPDATE_FINISHED.
    void OnTaskBegin(IDLTask* task) override;
    void OnTaskProgress(IDLTask* task) override;
    void OnTaskEnd(IDLTask* task) override;

    // Starts reading the version page on a worker. A newer version, once its
    // signature is read, starts its download and the splash waits for the
    // end; anything else posts NT_START_UP.
    void CheckVersion();
    // After the download: swaps the files and starts the new executable,
    // which ends this process. Returns only when that did not happen, with
    // the running executable under its own name again and NT_START_UP posted.
    void ReplaceAndRestart(bool succeeded);

    // Replacements for tests, set before the window is created. By default
    // the splash uses the process's download manager, the compiled-in update
    // host and the running executable's path.
    void UseDownloadManager(IDLMgr* manager) noexcept { m_pDLMgr = manager; }
    void UseUpdateHost(std::wstring host) { m_strUpdateHost = std::move(host); }
    void UseExecutablePath(std::wstring path) { m_strExePath = std::move(path); }
    // The check of a finished download: by default its signature and file
    // version (CheckDownloadedUpdate).
    using DownloadCheckFn = bool (*)(const std::wstring& file, const std::string& version,
                                     const UpdateSignature& signature);
    void UseDownloadCheck(DownloadCheckFn check) noexcept { m_pfnCheckDownload = check; }

    CImage m_image; // PNG 109 once the dialog is initialised

protected:
    void PreSubclassWindow() override;

private:
    void OnPaint();
    void OnVersionRead();
    void OnSignatureRead();
    void StoreProgress(IDLTask* task, bool now);
    void ShowDownloadProgress();
    bool StartDownload(const std::string& version);
    void DiscardDownload();
    void FinishWithoutUpdate();
    void StopDownloads();
    bool SwapAndStart();
    void OnHandOverTick();
    void RejectNewBuild();
    IDLMgr* DownloadManager();
    std::wstring ExecutablePath() const;

    IDLMgr* m_pDLMgr = nullptr; // null: the process's download manager
    std::wstring m_strUpdateHost;
    std::wstring m_strExePath; // empty: the running executable
    DownloadCheckFn m_pfnCheckDownload;
    std::string m_strVersion; // the version being downloaded, as compared
    UpdateSignature m_signature{};
    BackgroundFetch m_pageFetch;
    BackgroundFetch m_signatureFetch;
    SplashPicture m_pictures; // the download's and the hand-over's states
    std::atomic<int> m_received{0};
    std::atomic<int> m_total{-1};
    std::atomic<ULONGLONG> m_lastProgressPost{0};
    InstallUpdateLock m_updateLock; // held from the version check to the end of the swap
    std::unique_ptr<ExecutableSwap> m_swap;
    LauncherHandOver m_handOver;
};
