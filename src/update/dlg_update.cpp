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
#include "update/exe_swap.h"
#include "update/http_get_text.h"
#include "update/update_signature.h"
#include "update/version_text.h"
#include "update/wide_to_narrow.h"

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <exception>

namespace {
constexpr UINT kPngSplash = 109;
const wchar_t kSwapFailed[] = L"重命名和启动新进程遭遇Exception[Error Code = %d]！";

// Copies `text` with its terminator into `field` when it fits.
template <size_t N> bool CopyText(wchar_t (&field)[N], const std::wstring& text) noexcept
{
    if (text.size() >= N)
        return false;
    std::wmemcpy(field, text.c_str(), text.size() + 1);
    return true;
}

// Starts `exe` without a console and without arguments; on failure `error`
// holds the reason.
bool StartDetached(const std::wstring& exe, DWORD& error)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                          nullptr, &startup, &process)) {
        error = ::GetLastError();
        return false;
    }
    const UniqueHandle thread(process.hThread);
    const UniqueHandle handle(process.hProcess);
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
      m_pfnCheckSignature(static_cast<SignatureCheckFn>(VerifyUpdateFile))
{
}

LRESULT CDlgUpdate::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: OnPaint(); return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

BOOL CDlgUpdate::OnCommand(WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case ID_UPDATE_CHECK: CheckVersion(); return TRUE;
    case ID_UPDATE_FINISHED: ReplaceAndRestart(lParam != 0); return TRUE;
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
    LoadPngResource(&m_image, kPngSplash);
    if (!m_image.IsNull())
        SetWindowPos(nullptr, 0, 0, m_image.GetWidth(), m_image.GetHeight(), SWP_NOMOVE);
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

void CDlgUpdate::OnTaskBegin(IDLTask*) {}

void CDlgUpdate::OnTaskProgress(IDLTask*) {}

void CDlgUpdate::OnTaskEnd(IDLTask* task)
{
    const bool succeeded = task && task->GetStatus() != DLS_FAILED;
    ::PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(ID_UPDATE_FINISHED, 0), succeeded ? 1 : 0);
}

void CDlgUpdate::CheckVersion()
{
    // The read below blocks this thread. Wine paints a layered window whose
    // picture was set before it was shown only when its thread next handles
    // window events, so the picture is set again now that it is on screen.
    if (IsWindowVisible())
        UpdateLayeredBitmap(m_hWnd, m_image);
    char page[kHttpTextBufferSize] = {};
    const std::wstring url = VersionPageUrl(m_strUpdateHost, _time64(nullptr));
    if (HttpGetText(url.c_str(), page)) {
        // A page saved with a line end still names its version; what is
        // compared, and sent back with the download, is the version alone.
        const std::string remote = TrimVersionText(page);
        std::string local(std::wcslen(CLIENT_VERSION_W) * 2 + 2, '\0');
        if (WideToNarrow(local.data(), CLIENT_VERSION_W, static_cast<int>(local.size()),
                         CP_THREAD_ACP) &&
            CompareVersion(local.c_str(), remote.c_str()) == 1 && FetchSignature(remote) &&
            StartDownload(remote))
            return; // the splash stays until the download ends
    }
    PostStartUp();
}

// Reads the publisher's signature of `version` before anything is downloaded:
// an update that is not signed is never fetched.
bool CDlgUpdate::FetchSignature(const std::string& version)
{
    const std::wstring url = SignatureUrl(m_strUpdateHost, version);
    std::string body;
    if (!HttpGetBytes(url.c_str(), kUpdateSignatureBytes + 1, body) ||
        body.size() != kUpdateSignatureBytes) {
        WriteLog(L"Update refused: no valid signature (%u bytes) at %s",
                 static_cast<unsigned>(body.size()), url.c_str());
        return false;
    }
    std::copy(body.begin(), body.end(), m_signature.begin());
    m_strVersion = version;
    return true;
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
    if (succeeded && DownloadIsSigned())
        SwapAndStart();
    else
        DiscardDownload();
    PostStartUp();
}

// Whether the downloaded file is the executable its publisher signed for
// the version the page names. Runs on the UI thread: a 1 MiB file takes a
// few milliseconds, almost all of it the hash.
bool CDlgUpdate::DownloadIsSigned()
{
    const std::wstring download = ExecutablePath() + kUpdateTempSuffix;
    const ULONGLONG started = ::GetTickCount64();
    const SignatureCheck check = m_pfnCheckSignature(download, m_strVersion, m_signature);
    const auto elapsed = static_cast<unsigned>(::GetTickCount64() - started);
    if (check != SignatureCheck::Verified) {
        WriteLog(L"Update refused: %s (%u ms) %s", DescribeSignatureCheck(check), elapsed,
                 download.c_str());
        return false;
    }
    WriteLog(L"Update signature verified in %u ms", elapsed);
    return true;
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

// Puts the downloaded executable in place of the running one and starts it;
// this process then ends at once, without closing a window or running any
// exit processing. Whatever fails, the files are put back as they were.
void CDlgUpdate::SwapAndStart()
{
    ExecutableSwap swap(ExecutablePath());
    try {
        swap.ChooseBackup();
        swap.Apply();
        DWORD error = 0;
        if (StartDetached(swap.Exe(), error))
            ::ExitProcess(0);
        swap.Revert();
        WriteLog(L"启动新进程失败[Error Code = %d]！%s", static_cast<int>(error),
                 swap.Exe().c_str());
    } catch (const CFileException& e) {
        WriteLog(kSwapFailed, static_cast<int>(e.m_lOsError));
        swap.RevertQuietly();
    } catch (...) {
        WriteLog(kSwapFailed, static_cast<int>(::GetLastError()));
        swap.RevertQuietly();
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
