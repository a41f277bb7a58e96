// The update splash: a borderless per-pixel-alpha picture in the middle of
// the screen while the launcher reads the update server's version page. When
// the server publishes a newer version, the splash downloads the new
// executable beside the running one, puts it in place, starts it and ends the
// process. Otherwise, and whenever an update cannot go through, it posts
// NT_START_UP and the login follows with the running version.
//
// Every step that waits runs elsewhere and reports back to the window as a
// command: the pages and the swap on short-lived threads, the download on the
// download manager's worker. The splash keeps painting and answering, and
// the stage it is in says which reports it still takes: a page that answers
// after its time, or a download the player skipped, is no longer listened to.
#pragma once

#include "download/dl_interfaces.h"
#include "framework/dialog.h"
#include "framework/image.h"
#include "update/background_fetch.h"
#include "update/download_check.h"
#include "update/splash_picture.h"
#include "update/update_handover.h"
#include "update/update_signature.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

// Commands the splash posts to its own window.
constexpr UINT ID_UPDATE_CHECK = 100;
constexpr UINT ID_UPDATE_FINISHED = 101;   // lParam: 1 when the download succeeded
constexpr UINT ID_VERSION_READ = 102;      // the version page's answer is in
constexpr UINT ID_SIGNATURE_READ = 103;    // the signature's answer is in
constexpr UINT ID_UPDATE_PROGRESS = 104;   // the download's amount changed
constexpr UINT ID_FILE_BUSY = 105;         // lParam: 1 waiting for a file, 0 no longer
constexpr UINT ID_SWAP_DONE = 106;         // lParam: 0, or the error of the step not done
constexpr UINT ID_UNDO_DONE = 107;         // the running launcher is back in place
constexpr UINT ID_LEFTOVERS_REMOVED = 108; // after a confirmed start: the old files are gone

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
    // After the download: checks it, then swaps the files in the background
    // and starts the new executable, which ends this process once it has
    // confirmed its start. Whenever that does not happen, the running
    // executable gets its own name back and NT_START_UP is posted.
    void ReplaceAndRestart(bool succeeded);

    // Replacements for tests, set before the window is created. By default
    // the splash uses the process's download manager, the compiled-in update
    // host and the running executable's path.
    void UseDownloadManager(IDLMgr* manager) noexcept { m_pDLMgr = manager; }
    void UseUpdateHost(std::wstring host) { m_strUpdateHost = std::move(host); }
    void UseExecutablePath(std::wstring path) { m_strExePath = std::move(path); }
    // The check of a finished download: by default its signature and file
    // version (CheckDownloadedUpdate).
    using DownloadCheckFn = DownloadVerdict (*)(const std::wstring& file,
                                                const std::string& version,
                                                const UpdateSignature& signature);
    void UseDownloadCheck(DownloadCheckFn check) noexcept { m_pfnCheckDownload = check; }

    CImage m_image; // PNG 109 once the dialog is initialised

protected:
    void PreSubclassWindow() override;
    // Esc, or closing the splash: skips the update while it is checked or
    // downloaded; the swap and the hand-over are seen through.
    void OnCancel() override;

private:
    enum class Stage {
        Idle,             // no check yet
        ReadingPage,      // ID_VERSION_READ, or the answer's time runs out
        ReadingSignature, // ID_SIGNATURE_READ, or the answer's time runs out
        Downloading,      // ID_UPDATE_FINISHED, or the player skips it
        Skipped,          // the login is up; ID_UPDATE_FINISHED lets go of the download
        Swapping,         // ID_SWAP_DONE
        HandingOver,      // the hand-over timer
        Undoing,          // ID_UNDO_DONE
        Leaving,          // ID_LEFTOVERS_REMOVED, then the process ends
        Done,
    };

    void OnPaint();
    void OnTimer(UINT_PTR id);
    void OnVersionRead();
    void OnSignatureRead();
    bool StartFetch(BackgroundFetch& fetch, const std::wstring& url, std::size_t byteLimit,
                    UINT command, Stage stage);
    void OnAnswerTimeOut();
    void StoreProgress(IDLTask* task, bool now);
    void ShowDownloadProgress();
    void ShowPicture(const CImage* picture);
    bool StartDownload(const std::string& version);
    void SkipDownload();
    void OnSkippedDownloadEnded();
    void FinishWithoutUpdate();
    void StopDownloads();
    bool StartSwap();
    void OnFileBusy(bool waiting);
    void OnSwapDone(DWORD error);
    void OnHandOverTick();
    void StartUndo(bool keepFailedBuild);
    void StartLeaving();
    IDLMgr* DownloadManager();
    std::wstring ExecutablePath() const;

    IDLMgr* m_pDLMgr = nullptr; // null: the process's download manager
    std::wstring m_strUpdateHost;
    std::wstring m_strExePath; // empty: the running executable
    DownloadCheckFn m_pfnCheckDownload;
    Stage m_stage = Stage::Idle;
    std::string m_strVersion; // the version being downloaded, as compared
    UpdateSignature m_signature{};
    BackgroundFetch m_pageFetch;
    BackgroundFetch m_signatureFetch;
    SplashPicture m_pictures; // the download's and the hand-over's states
    std::atomic<int> m_received{0};
    std::atomic<int> m_total{-1};
    std::atomic<ULONGLONG> m_lastProgressPost{0};
    // Held from the version check to the end of the swap, its undo or the rollback.
    InstallUpdateLock m_updateLock;
    std::shared_ptr<ExecutableSwap> m_swap; // shared with the thread that moves its files
    LauncherHandOver m_handOver;
};
