#include "update/dlg_update.h"

#include "app/notification.h"
#include "common/deploy_config.h"
#include "common/dialog_frame.h"
#include "common/log.h"
#include "download/fdl.h"
#include "download/fsingleton.h"
#include "download/path_helpers.h"
#include "download/path_text.h"
#include "framework/app.h"
#include "framework/dc.h"
#include "resource.h"
#include "skin/layered_window.h"
#include "skin/png_resource.h"
#include "skin/screen_scale.h"
#include "update/background_job.h"
#include "update/download_check.h"
#include "update/exe_swap.h"
#include "update/http_get_text.h"
#include "update/update_signature.h"
#include "update/version_text.h"
#include "update/wide_to_narrow.h"

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <exception>
#include <memory>

namespace {
constexpr UINT kPngSplash = 109;
const wchar_t kSwapFailed[] = L"重命名和启动新进程遭遇Exception[Error Code = %d]！";
constexpr UINT_PTR kHandOverTimer = 1;
constexpr UINT_PTR kAnswerTimer = 2; // the page's or the signature's time is up
constexpr ULONGLONG kProgressIntervalMs = 100;
constexpr UINT kHandOverPollMs = 50;
// How long a new launcher has to show its splash before it is rolled back.
constexpr DWORD kHandOverTimeoutMs = 30000;

// Copies `text` with its terminator into `field` when it fits.
template <size_t N> bool CopyText(wchar_t (&field)[N], const std::wstring& text) noexcept
{
    if (text.size() >= N)
        return false;
    std::wmemcpy(field, text.c_str(), text.size() + 1);
    return true;
}

void PostStartUp()
{
    Notification startUp(NT_START_UP, 0, 0, 0);
    NotificationCenter::Instance().Post(&startUp);
}

// A framework exception is shown as the framework would show one that left
// the command handler; the player goes on to the login all the same.
void ReportException(const std::exception_ptr& failure) noexcept
{
    try {
        std::rethrow_exception(failure);
    } catch (const CException& e) {
        e.ReportError(MB_ICONEXCLAMATION);
    } catch (...) {
        AfxReportUnexpectedException();
    }
}

// Removes what a download that is not used left beside the executable.
void DiscardDownload(const std::wstring& exe)
{
    const std::wstring download = exe + kUpdateTempSuffix;
    for (const std::wstring& file : {download, download + kDownloadTempSuffix}) {
        if (FileExists(file.c_str()) && !::DeleteFileW(file.c_str()))
            WriteLog(L"删除临时下载文件%s失败！", file.c_str());
    }
}

} // namespace

CDlgUpdate::CDlgUpdate()
    : CDialog(IDD_UPDATE_LOGIN, nullptr), m_strUpdateHost(QM_UPDATE_HOST),
      m_pfnCheckDownload(CheckDownloadedUpdate)
{
}

CDlgUpdate::~CDlgUpdate() = default;

LRESULT CDlgUpdate::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CLOSE: OnCancel(); return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

// Each report is taken only in the stage that waits for it.
BOOL CDlgUpdate::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const auto in = [this](Stage stage) { return m_stage == stage; };
    switch (LOWORD(wParam)) {
    case ID_UPDATE_CHECK: CheckVersion(); return TRUE;
    case ID_VERSION_READ:
        if (in(Stage::ReadingPage))
            OnVersionRead();
        return TRUE;
    case ID_SIGNATURE_READ:
        if (in(Stage::ReadingSignature))
            OnSignatureRead();
        return TRUE;
    case ID_UPDATE_PROGRESS:
        if (in(Stage::Downloading))
            ShowDownloadProgress();
        return TRUE;
    case ID_UPDATE_FINISHED:
        if (in(Stage::Downloading))
            ReplaceAndRestart(lParam != 0);
        else if (in(Stage::Skipped))
            OnSkippedDownloadEnded();
        return TRUE;
    case ID_FILE_BUSY:
        if (in(Stage::Swapping) || in(Stage::Undoing) || in(Stage::Leaving))
            OnFileBusy(lParam != 0);
        return TRUE;
    case ID_SWAP_DONE:
        if (in(Stage::Swapping))
            OnSwapDone(static_cast<DWORD>(lParam));
        return TRUE;
    case ID_UNDO_DONE:
        if (in(Stage::Undoing))
            FinishWithoutUpdate();
        return TRUE;
    case ID_LEFTOVERS_REMOVED:
        if (in(Stage::Leaving))
            ::ExitProcess(0);
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgUpdate::OnTimer(UINT_PTR id)
{
    switch (id) {
    case kHandOverTimer: OnHandOverTick(); break;
    case kAnswerTimer: OnAnswerTimeOut(); break;
    }
}

void CDlgUpdate::OnCancel()
{
    switch (m_stage) {
    case Stage::ReadingPage:
    case Stage::ReadingSignature:
        WriteLog(L"Update check skipped by the player");
        FinishWithoutUpdate(); // the page's late answer is not listened to
        break;
    case Stage::Downloading:
        WriteLog(L"Update download skipped by the player");
        SkipDownload();
        break;
    default: break; // nothing to skip, or a swap that must be seen through
    }
}

void CDlgUpdate::PreSubclassWindow()
{
    StripDialogFrame(m_hWnd);
    CDialog::PreSubclassWindow();
}

BOOL CDlgUpdate::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_pictures.ScaleTo(ScreenScale());
    LoadPngResource(&m_image, kPngSplash, PictureAlpha::kPremultiplied);
    // Not activated yet: showing the splash activates it, and activating it
    // here too cost Wine an input-context set-up on the way to the splash.
    // It is still raised here: without that, Wine showed the splash black.
    if (!m_image.IsNull())
        SetWindowPos(nullptr, 0, 0, m_image.GetWidth(), m_image.GetHeight(),
                     SWP_NOMOVE | SWP_NOACTIVATE);
    // The splash picture is shown with its colours as drawn, not premultiplied.
    UpdateLayeredBitmap(m_hWnd, m_image);
    // The check starts from the message loop, once the game window has
    // centred and shown the splash.
    PostMessage(WM_COMMAND, MAKEWPARAM(ID_UPDATE_CHECK, 0), 0);
    return TRUE;
}

void CDlgUpdate::OnPaint()
{
    CPaintDC dc(this);
    if (m_image.IsNull())
        return;
    RECT client{};
    GetClientRect(&client);
    m_image.Draw(dc, client.left, client.top);
}

void CDlgUpdate::OnTaskBegin(IDLTask* task)
{
    StoreProgress(task, true);
}

void CDlgUpdate::OnTaskProgress(IDLTask* task)
{
    StoreProgress(task, false);
}

// On the worker: keeps the amount for the UI thread and asks it to show it,
// at most about ten times a second.
void CDlgUpdate::StoreProgress(IDLTask* task, bool now)
{
    if (!task)
        return;
    m_received.store(task->GetReceivedSize());
    m_total.store(task->GetTotalSize());
    const ULONGLONG tick = ::GetTickCount64();
    ULONGLONG last = m_lastProgressPost.load();
    if (!now && tick - last < kProgressIntervalMs)
        return;
    if (m_lastProgressPost.compare_exchange_strong(last, tick))
        ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(ID_UPDATE_PROGRESS, 0), 0);
}

void CDlgUpdate::OnTaskEnd(IDLTask* task)
{
    const bool succeeded = task && task->GetStatus() != DLS_FAILED;
    ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(ID_UPDATE_FINISHED, 0), succeeded ? 1 : 0);
}

void CDlgUpdate::CheckVersion()
{
    // Wine paints a layered window whose picture was set before it was shown
    // only when its thread next handles window events, so the picture is set
    // again now that it is on screen.
    if (IsWindowVisible())
        UpdateLayeredBitmap(m_hWnd, m_image);
    // The splash is on screen: an old launcher that started this one and
    // waits to hear so can end now.
    const std::wstring exe = ExecutablePath();
    ConfirmLauncherStarted(exe);
    if (!m_updateLock.TryAcquire(exe)) {
        WriteLog(L"Another launcher is updating %s; no update check this time", exe.c_str());
        PostStartUp();
        return;
    }
    // The page is read on a worker; its answer comes back as ID_VERSION_READ.
    const std::wstring url = VersionPageUrl(m_strUpdateHost, _time64(nullptr));
    if (!StartFetch(m_pageFetch, url, 0, ID_VERSION_READ, Stage::ReadingPage))
        FinishWithoutUpdate();
}

// Starts reading `url` and gives it the time a page has: whatever it is
// doing then, the check fails and the login follows.
bool CDlgUpdate::StartFetch(BackgroundFetch& fetch, const std::wstring& url, std::size_t byteLimit,
                            UINT command, Stage stage)
{
    if (!fetch.Start(url, byteLimit, m_hWnd, command))
        return false;
    m_stage = stage;
    ::SetTimer(m_hWnd, kAnswerTimer, kHttpTextTimeoutMs, nullptr);
    return true;
}

void CDlgUpdate::OnAnswerTimeOut()
{
    ::KillTimer(m_hWnd, kAnswerTimer);
    if (m_stage != Stage::ReadingPage && m_stage != Stage::ReadingSignature)
        return;
    WriteLog(L"Update check given up: no whole answer within %u s",
             static_cast<unsigned>(kHttpTextTimeoutMs / 1000));
    FinishWithoutUpdate();
}

// A newer version that neither failed nor was refused before has its
// signature read next; anything else lets the login follow.
void CDlgUpdate::OnVersionRead()
{
    ::KillTimer(m_hWnd, kAnswerTimer);
    const BackgroundFetch::Result page = m_pageFetch.Take();
    // A page saved with a line end still names its version; what is
    // compared, and sent back with the download, is the version alone.
    const std::string remote = TrimVersionText(page.body);
    std::string local(std::wcslen(CLIENT_VERSION_W) * 2 + 2, '\0');
    if (!page.read ||
        !WideToNarrow(local.data(), CLIENT_VERSION_W, static_cast<int>(local.size()),
                      CP_THREAD_ACP) ||
        CompareVersion(local.c_str(), remote.c_str()) != 1) {
        FinishWithoutUpdate();
        return;
    }
    const std::wstring exe = ExecutablePath();
    for (const std::wstring& mark : {FailedBuildPath(exe, remote), RefusedBuildPath(exe, remote)}) {
        if (!mark.empty() && FileExists(mark.c_str())) {
            WriteLog(L"Update skipped: this version failed or was refused before (%s)",
                     mark.c_str());
            FinishWithoutUpdate();
            return;
        }
    }
    // The publisher's signature comes before anything is downloaded: an
    // update that is not signed is never fetched.
    m_strVersion = remote;
    if (!StartFetch(m_signatureFetch, SignatureUrl(m_strUpdateHost, remote),
                    kUpdateSignatureBytes + 1, ID_SIGNATURE_READ, Stage::ReadingSignature))
        FinishWithoutUpdate();
}

void CDlgUpdate::OnSignatureRead()
{
    ::KillTimer(m_hWnd, kAnswerTimer);
    const BackgroundFetch::Result answer = m_signatureFetch.Take();
    if (!answer.read || answer.body.size() != kUpdateSignatureBytes) {
        WriteLog(L"Update refused: no valid signature (%u bytes) for %s",
                 static_cast<unsigned>(answer.body.size()),
                 SignatureUrl(m_strUpdateHost, m_strVersion).c_str());
        FinishWithoutUpdate();
        return;
    }
    std::copy(answer.body.begin(), answer.body.end(), m_signature.begin());
    m_received = 0;
    m_total = -1;
    if (!StartDownload(m_strVersion)) {
        FinishWithoutUpdate();
        return;
    }
    // The splash stays, showing the download, until it ends.
    m_stage = Stage::Downloading;
    ShowDownloadProgress();
}

void CDlgUpdate::ShowDownloadProgress()
{
    ShowPicture(m_pictures.Downloading(m_strVersion, m_received.load(), m_total.load()));
}

void CDlgUpdate::ShowPicture(const CImage* picture)
{
    if (picture)
        UpdateLayeredBitmap(m_hWnd, *picture);
}

// Queues the new executable's download to X + ".tmp" beside the executable X.
// False when no download runs, so no end will ever be reported.
bool CDlgUpdate::StartDownload(const std::string& version)
{
    const std::wstring exe = ExecutablePath();
    const std::wstring name = PathFileName(exe.c_str());
    DLTaskDesc desc;
    if (name.empty() || !CopyText(desc.szUrl, NewExecutableUrl(m_strUpdateHost, version)) ||
        !CopyText(desc.szSaveDir, DirectoryOfPath(exe)) ||
        !CopyText(desc.szFileName, name + kUpdateTempSuffix)) {
        WriteLog(L"添加任务失败！");
        return false;
    }
    desc.bOverwrite = true;
    desc.nUserData = -1;
    desc.pSink = this;
    IDLMgr* manager = nullptr;
    try {
        manager = DownloadManager();
        manager->Start();
        if (manager->AddTask(&desc))
            return true;
    } catch (...) {
        ReportException(std::current_exception());
    }
    if (manager)
        StopDownloads(); // a worker without a task is not needed
    return false;
}

// The login follows at once; the download lets go of its files and of the
// update lock when its worker has ended it, a moment later.
void CDlgUpdate::SkipDownload()
{
    m_stage = Stage::Skipped;
    DownloadManager()->Cancel();
    PostStartUp();
}

void CDlgUpdate::OnSkippedDownloadEnded()
{
    StopDownloads();
    DiscardDownload(ExecutablePath());
    m_updateLock.Release();
    m_stage = Stage::Done;
}

void CDlgUpdate::ReplaceAndRestart(bool succeeded)
{
    StopDownloads();
    // Only the executable its publisher signed for the version the page
    // names is put in place. The check runs here on the UI thread: a 1 MiB
    // file takes a few milliseconds, almost all of it the hash.
    const std::wstring exe = ExecutablePath();
    const DownloadVerdict verdict =
        succeeded ? m_pfnCheckDownload(exe + kUpdateTempSuffix, m_strVersion, m_signature)
                  : DownloadVerdict::Unchecked;
    if (verdict == DownloadVerdict::Accepted) {
        ShowPicture(m_pictures.Starting());
        if (StartSwap())
            return; // the rest is reported by the swap's thread and the new launcher
    } else if (verdict == DownloadVerdict::Refused) {
        // The same file would be refused at every start: it is not fetched
        // again while the page names its version.
        const std::wstring refused = RefusedBuildPath(exe, m_strVersion);
        if (refused.empty() || WriteEmptyMark(refused) != 0)
            WriteLog(L"The refusal of %s could not be recorded", refused.c_str());
    }
    DiscardDownload(exe);
    FinishWithoutUpdate();
}

void CDlgUpdate::FinishWithoutUpdate()
{
    ::KillTimer(m_hWnd, kAnswerTimer);
    m_stage = Stage::Done;
    m_updateLock.Release();
    PostStartUp();
}

void CDlgUpdate::StopDownloads()
{
    try {
        DownloadManager()->Stop();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

// Puts the downloaded executable in place of the running one, on a thread:
// a file another program holds is waited for there. False when no thread
// could start; nothing was moved then.
bool CDlgUpdate::StartSwap()
{
    const HWND window = m_hWnd;
    m_swap = std::make_shared<ExecutableSwap>(ExecutablePath(), [window](bool waiting) {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(ID_FILE_BUSY, 0), waiting ? 1 : 0);
    });
    // The random name of a backup comes from this thread's seeded rand().
    m_swap->ChooseBackup();
    m_stage = Stage::Swapping;
    if (RunInBackground(window, ID_SWAP_DONE,
                        [swap = m_swap]() -> LPARAM { return static_cast<LPARAM>(swap->Apply()); }))
        return true;
    m_stage = Stage::Done;
    return false;
}

void CDlgUpdate::OnFileBusy(bool waiting)
{
    if (waiting)
        WriteLog(L"Waiting for another program to release a file of the update");
    ShowPicture(waiting ? m_pictures.Waiting() : m_pictures.Starting());
}

// The files are swapped: the new launcher is started, and the hand-over runs
// from the timer. A swap that could not be done, or a launcher that cannot
// start, is put back.
void CDlgUpdate::OnSwapDone(DWORD error)
{
    if (error != 0) {
        WriteLog(kSwapFailed, static_cast<int>(error));
        StartUndo(false);
        return;
    }
    DWORD startError = 0;
    if (m_handOver.Start(m_swap->Exe(), kHandOverTimeoutMs, startError)) {
        m_stage = Stage::HandingOver;
        ::SetTimer(m_hWnd, kHandOverTimer, kHandOverPollMs, nullptr);
        return;
    }
    WriteLog(L"启动新进程失败[Error Code = %d]！%s", static_cast<int>(startError),
             m_swap->Exe().c_str());
    StartUndo(true);
}

// The new launcher confirmed its start: the update is complete, and this one
// ends once the files of earlier updates are gone, without closing a window
// or running any exit processing. A new launcher that ended first, or said
// nothing in time, is rolled back.
void CDlgUpdate::OnHandOverTick()
{
    const LauncherHandOver::State state = m_handOver.Poll();
    if (state == LauncherHandOver::State::Waiting)
        return;
    ::KillTimer(m_hWnd, kHandOverTimer);
    switch (state) {
    case LauncherHandOver::State::Confirmed: StartLeaving(); return;
    case LauncherHandOver::State::Ended:
        WriteLog(L"Update rolled back: %s ended with code %u before its splash showed",
                 m_swap->Exe().c_str(), static_cast<unsigned>(m_handOver.ExitCode()));
        break;
    default:
        m_handOver.EndNewLauncher();
        WriteLog(L"Update rolled back: %s did not show its splash within %u s",
                 m_swap->Exe().c_str(), static_cast<unsigned>(kHandOverTimeoutMs / 1000));
        break;
    }
    StartUndo(true);
}

// Puts the running launcher back under the executable's name, on a thread,
// and keeps a new build that ran as "<exe><version>.failed", which is not
// fetched again; a download that never ran is removed. The login follows.
void CDlgUpdate::StartUndo(bool keepFailedBuild)
{
    m_stage = Stage::Undoing;
    auto undo = [swap = m_swap, keepFailedBuild, version = m_strVersion]() -> LPARAM {
        swap->Undo();
        if (keepFailedBuild)
            swap->KeepFailedBuild(version);
        else
            DiscardDownload(swap->Exe());
        return 0;
    };
    if (!RunInBackground(m_hWnd, ID_UNDO_DONE, undo)) {
        undo(); // the install comes before a painted splash
        FinishWithoutUpdate();
    }
}

void CDlgUpdate::StartLeaving()
{
    // Nothing of this update can be undone any more: a launcher started from
    // now on makes its own check. The new launcher's splash is on screen;
    // this one steps aside while it tidies up.
    m_updateLock.Release();
    m_stage = Stage::Leaving;
    ShowWindow(SW_HIDE);
    if (!RunInBackground(m_hWnd, ID_LEFTOVERS_REMOVED, [swap = m_swap]() -> LPARAM {
            swap->RemoveLeftovers();
            return 0;
        }))
        ::ExitProcess(0);
}

IDLMgr* CDlgUpdate::DownloadManager()
{
    return m_pDLMgr ? m_pDLMgr : FSingleton<FDL>::Instance();
}

std::wstring CDlgUpdate::ExecutablePath() const
{
    if (!m_strExePath.empty())
        return m_strExePath;
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}
