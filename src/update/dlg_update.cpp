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
#include "framework/file.h"
#include "resource.h"
#include "skin/layered_window.h"
#include "skin/png_resource.h"
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
    case WM_TIMER:
        if (wParam == kHandOverTimer) {
            OnHandOverTick();
            return 0;
        }
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CDlgUpdate::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case ID_UPDATE_CHECK: CheckVersion(); return TRUE;
    case ID_UPDATE_FINISHED: ReplaceAndRestart(lParam != 0); return TRUE;
    case ID_VERSION_READ: OnVersionRead(); return TRUE;
    case ID_SIGNATURE_READ: OnSignatureRead(); return TRUE;
    case ID_UPDATE_PROGRESS: ShowDownloadProgress(); return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CDlgUpdate::PreSubclassWindow()
{
    StripDialogFrame(m_hWnd);
    CDialog::PreSubclassWindow();
}

BOOL CDlgUpdate::OnInitDialog()
{
    CDialog::OnInitDialog();
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
    if (!m_pageFetch.Start(url, 0, m_hWnd, ID_VERSION_READ))
        FinishWithoutUpdate();
}

// A newer version that did not fail before has its signature read next;
// anything else lets the login follow.
void CDlgUpdate::OnVersionRead()
{
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
    const std::wstring failed = FailedBuildPath(ExecutablePath(), remote);
    if (FileExists(failed.c_str())) {
        WriteLog(L"Update skipped: this version did not start before (%s)", failed.c_str());
        FinishWithoutUpdate();
        return;
    }
    // The publisher's signature comes before anything is downloaded: an
    // update that is not signed is never fetched.
    m_strVersion = remote;
    if (!m_signatureFetch.Start(SignatureUrl(m_strUpdateHost, remote), kUpdateSignatureBytes + 1,
                                m_hWnd, ID_SIGNATURE_READ))
        FinishWithoutUpdate();
}

void CDlgUpdate::OnSignatureRead()
{
    const BackgroundFetch::Result answer = m_signatureFetch.Take();
    if (!answer.read || answer.body.size() != kUpdateSignatureBytes) {
        WriteLog(L"Update refused: no valid signature (%u bytes) for %s",
                 static_cast<unsigned>(answer.body.size()),
                 SignatureUrl(m_strUpdateHost, m_strVersion).c_str());
        FinishWithoutUpdate();
        return;
    }
    std::copy(answer.body.begin(), answer.body.end(), m_signature.begin());
    if (!StartDownload(m_strVersion)) {
        FinishWithoutUpdate();
        return;
    }
    ShowDownloadProgress(); // the splash stays, showing the download, until it ends
}

void CDlgUpdate::ShowDownloadProgress()
{
    if (const CImage* picture =
            m_pictures.Downloading(m_strVersion, m_received.load(), m_total.load()))
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

void CDlgUpdate::ReplaceAndRestart(bool succeeded)
{
    StopDownloads();
    // Only the executable its publisher signed for the version the page
    // names is put in place. The check runs here on the UI thread: a 1 MiB
    // file takes a few milliseconds, almost all of it the hash.
    if (succeeded &&
        m_pfnCheckDownload(ExecutablePath() + kUpdateTempSuffix, m_strVersion, m_signature)) {
        if (const CImage* starting = m_pictures.Starting())
            UpdateLayeredBitmap(m_hWnd, *starting);
        if (SwapAndStart())
            return; // the splash waits for the new launcher to confirm its start
    } else {
        DiscardDownload();
    }
    FinishWithoutUpdate();
}

void CDlgUpdate::FinishWithoutUpdate()
{
    m_updateLock.Release();
    PostStartUp();
}

// Removes what a download that is not used left beside the executable.
void CDlgUpdate::DiscardDownload()
{
    const std::wstring download = ExecutablePath() + kUpdateTempSuffix;
    for (const std::wstring& file : {download, download + kDownloadTempSuffix}) {
        if (FileExists(file.c_str()) && !::DeleteFileW(file.c_str()))
            WriteLog(L"删除临时下载文件%s失败！", file.c_str());
    }
}

void CDlgUpdate::StopDownloads()
{
    try {
        DownloadManager()->Stop();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

// Puts the downloaded executable in place of the running one and starts it.
// True when it started: the hand-over then runs from the timer. Otherwise the
// files are put back as they were, and nothing of the download is left.
bool CDlgUpdate::SwapAndStart()
{
    m_swap = std::make_unique<ExecutableSwap>(ExecutablePath());
    ExecutableSwap& swap = *m_swap;
    try {
        swap.ChooseBackup();
        swap.Apply();
        // The swap is done: a launcher started from now on, the new one among
        // them, runs the new build and makes its own check.
        m_updateLock.Release();
        DWORD error = 0;
        if (m_handOver.Start(swap.Exe(), kHandOverTimeoutMs, error)) {
            ::SetTimer(m_hWnd, kHandOverTimer, kHandOverPollMs, nullptr);
            return true;
        }
        WriteLog(L"启动新进程失败[Error Code = %d]！%s", static_cast<int>(error),
                 swap.Exe().c_str());
        RejectNewBuild();
        return false;
    } catch (const CFileException& e) {
        WriteLog(kSwapFailed, static_cast<int>(e.m_lOsError));
    } catch (...) {
        WriteLog(kSwapFailed, static_cast<int>(::GetLastError()));
    }
    swap.RevertQuietly();
    DiscardDownload();
    return false;
}

// The new launcher confirmed its start: this one ends at once, without
// closing a window or running any exit processing. A new launcher that ended
// first, or said nothing in time, is rolled back.
void CDlgUpdate::OnHandOverTick()
{
    const LauncherHandOver::State state = m_handOver.Poll();
    if (state == LauncherHandOver::State::Waiting)
        return;
    ::KillTimer(m_hWnd, kHandOverTimer);
    switch (state) {
    case LauncherHandOver::State::Confirmed: m_swap->RemoveEarlierBackups(); ::ExitProcess(0);
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
    RejectNewBuild();
    FinishWithoutUpdate();
}

// Puts the running launcher back under the executable's name and keeps the
// new build as "<exe><version>.failed", which is not fetched again.
void CDlgUpdate::RejectNewBuild()
{
    try {
        m_swap->Revert();
    } catch (...) {
        m_swap->RevertQuietly();
    }
    const std::wstring failed = FailedBuildPath(m_swap->Exe(), m_strVersion);
    if (m_swap->NewMoved() ||
        !::MoveFileExW(m_swap->Temporary().c_str(), failed.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        WriteLog(L"恢复文件失败[Error Code = %d]！%s", static_cast<int>(::GetLastError()),
                 failed.c_str());
        DiscardDownload();
    }
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
