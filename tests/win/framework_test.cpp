// The framework core under Wine: binding, default processing, self-deleting
// objects, dialogs, message routing and the message loop.
#include "common/log.h"
#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/wnd.h"
#include "resource.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kPlainClass[] = L"QmTestPlain";
const wchar_t kCustomClass[] = L"QmTestCustom";
constexpr UINT kAnswerMessage = WM_APP + 1;

LRESULT CALLBACK CustomProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == kAnswerMessage)
        return 42; // only the class's own procedure knows this answer
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterTestClasses()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kPlainClass;
    ASSERT_TRUE(AfxRegisterClass(&wc));
    wc.lpfnWndProc = CustomProc;
    wc.lpszClassName = kCustomClass;
    ASSERT_TRUE(AfxRegisterClass(&wc));
}

// Records what reaches it.
class ProbeWnd : public CWnd {
public:
    std::vector<UINT> seen;
    int preSubclassCalls = 0;
    UINT firstMessageAfterPreSubclass = 0;
    int createResult = 0;
    bool* deletedFlag = nullptr;
    bool selfDelete = false;
    int postNcDestroyCalls = 0;

    ~ProbeWnd() override
    {
        if (deletedFlag)
            *deletedFlag = true;
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (preSubclassCalls > 0 && firstMessageAfterPreSubclass == 0)
            firstMessageAfterPreSubclass = msg;
        seen.push_back(msg);
        if (msg == WM_CREATE && createResult != 0)
            return createResult;
        return CWnd::WindowProc(msg, wParam, lParam);
    }

    bool Saw(UINT msg) const
    {
        for (UINT m : seen)
            if (m == msg)
                return true;
        return false;
    }

protected:
    void PreSubclassWindow() override { ++preSubclassCalls; }
    void PostNcDestroy() override
    {
        ++postNcDestroyCalls;
        if (selfDelete)
            delete this;
    }
};

class Framework : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestClasses(); }
    const RECT rect{10, 10, 210, 110};
};

TEST_F(Framework, ClassRegistrationSucceedsWhenTheClassExists)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kPlainClass;
    EXPECT_TRUE(AfxRegisterClass(&wc));
    EXPECT_TRUE(AfxRegisterClass(&wc));
}

TEST_F(Framework, CreatedWindowIsBoundBeforeItsFirstMessage)
{
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kPlainClass, L"probe", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
    EXPECT_EQ(wnd.preSubclassCalls, 1);
    ASSERT_FALSE(wnd.seen.empty());
    // WM_GETMINMAXINFO or WM_NCCREATE comes first; both precede WM_CREATE.
    EXPECT_TRUE(wnd.Saw(WM_NCCREATE));
    EXPECT_TRUE(wnd.Saw(WM_CREATE));
    EXPECT_EQ(CWnd::FromHandlePermanent(wnd.m_hWnd), &wnd);
    wnd.DestroyWindow();
    EXPECT_EQ(wnd.m_hWnd, nullptr);
    EXPECT_EQ(wnd.postNcDestroyCalls, 1);
}

TEST_F(Framework, DefaultProcessingReachesTheClassProcedure)
{
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kCustomClass, L"custom", WS_POPUP, rect, nullptr, 0));
    EXPECT_EQ(wnd.SendMessage(kAnswerMessage), 42);
    EXPECT_TRUE(wnd.Saw(kAnswerMessage));
}

TEST_F(Framework, SubclassingAnExistingWindowAndUndoingIt)
{
    HWND hwnd = ::CreateWindowExW(0, kCustomClass, L"raw", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwnd, nullptr);
    const LONG_PTR original = ::GetWindowLongPtrW(hwnd, GWLP_WNDPROC);
    {
        ProbeWnd wnd;
        ASSERT_TRUE(wnd.SubclassWindow(hwnd));
        EXPECT_EQ(wnd.preSubclassCalls, 1);
        EXPECT_EQ(::SendMessageW(hwnd, kAnswerMessage, 0, 0), 42);
        EXPECT_TRUE(wnd.Saw(kAnswerMessage));
        ProbeWnd second;
        EXPECT_FALSE(second.SubclassWindow(hwnd)) << "a window is bound to one object";
        EXPECT_EQ(wnd.UnsubclassWindow(), hwnd);
    }
    EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWLP_WNDPROC), original);
    EXPECT_TRUE(::IsWindow(hwnd)) << "an unbound window outlives the object";
    ::DestroyWindow(hwnd);
}

TEST_F(Framework, HeapObjectDeletesItselfAfterItsWindowIsDestroyed)
{
    bool deleted = false;
    auto* wnd = new ProbeWnd;
    wnd->selfDelete = true;
    wnd->deletedFlag = &deleted;
    ASSERT_TRUE(wnd->CreateEx(0, kPlainClass, L"self", WS_POPUP, rect, nullptr, 0));
    const HWND hwnd = wnd->m_hWnd;
    ::DestroyWindow(hwnd);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(Framework, FailedCreationCleansUpOnceAndReportsFailure)
{
    bool deleted = false;
    auto* wnd = new ProbeWnd;
    wnd->selfDelete = true;
    wnd->deletedFlag = &deleted;
    wnd->createResult = -1;
    EXPECT_FALSE(wnd->CreateEx(0, kPlainClass, L"fails", WS_POPUP, rect, nullptr, 0));
    EXPECT_TRUE(deleted);

    bool neverCreatedDeleted = false;
    auto* orphan = new ProbeWnd;
    orphan->selfDelete = true;
    orphan->deletedFlag = &neverCreatedDeleted;
    EXPECT_FALSE(orphan->CreateEx(0, L"QmNoSuchClass", L"x", WS_POPUP, rect, nullptr, 0));
    EXPECT_TRUE(neverCreatedDeleted) << "a window that never existed still releases its object";
}

TEST_F(Framework, ModifyStyleRemovesAndAddsBits)
{
    ProbeWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kPlainClass, L"style", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
    EXPECT_TRUE(wnd.ModifyStyle(WS_CAPTION, 0));
    EXPECT_EQ(wnd.GetStyle() & WS_CAPTION, 0u);
    EXPECT_NE(wnd.GetStyle() & WS_THICKFRAME, 0u);
    EXPECT_FALSE(wnd.ModifyStyle(WS_CAPTION, 0)) << "nothing left to change";
    EXPECT_TRUE(wnd.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
    EXPECT_NE(wnd.GetExStyle() & WS_EX_TOOLWINDOW, 0u);
}

TEST_F(Framework, CenterWindowWithoutOwnerUsesTheWorkArea)
{
    ProbeWnd wnd;
    const RECT r{0, 0, 300, 200};
    ASSERT_TRUE(wnd.CreateEx(0, kPlainClass, L"center", WS_POPUP, r, nullptr, 0));
    wnd.CenterWindow();
    RECT placed{};
    wnd.GetWindowRect(&placed);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(placed.left, (work.left + work.right) / 2 - 150);
    EXPECT_EQ(placed.top, (work.top + work.bottom) / 2 - 100);
}

// A child that consumes what its parent reflects to it.
class ReflectingChild : public CWnd {
public:
    UINT reflected = 0;
    BOOL OnChildNotify(UINT msg, WPARAM, LPARAM, LRESULT* result) override
    {
        reflected = msg;
        *result = 7;
        return TRUE;
    }
};

TEST_F(Framework, OwnerDrawAndColourMessagesAreReflectedToTheControl)
{
    ProbeWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, kPlainClass, L"parent", WS_POPUP, rect, nullptr, 0));
    ReflectingChild child;
    const RECT childRect{0, 0, 20, 20};
    ASSERT_TRUE(child.Create(L"BUTTON", L"", WS_CHILD | BS_OWNERDRAW, childRect, &parent, 5));

    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = 5;
    dis.hwndItem = child.m_hWnd;
    EXPECT_EQ(parent.SendMessage(WM_DRAWITEM, 5, reinterpret_cast<LPARAM>(&dis)), TRUE);
    EXPECT_EQ(child.reflected, static_cast<UINT>(WM_DRAWITEM));

    EXPECT_EQ(parent.SendMessage(WM_CTLCOLORBTN, 0, reinterpret_cast<LPARAM>(child.m_hWnd)), 7);
    EXPECT_EQ(child.reflected, static_cast<UINT>(WM_CTLCOLORBTN));
}

// Records the order in which windows are offered a queued message.
class RoutingWnd : public CWnd {
public:
    std::vector<std::wstring>* journal = nullptr;
    std::wstring name;
    BOOL consume = FALSE;
    BOOL PreTranslateMessage(MSG*) override
    {
        journal->push_back(name);
        return consume;
    }
};

TEST_F(Framework, QueuedMessagesAreOfferedFromTheTargetUpToItsTopLevelWindow)
{
    CWinApp app(L"test");
    std::vector<std::wstring> journal;
    RoutingWnd top, middle, leaf, other;
    for (auto* w : {&top, &middle, &leaf, &other})
        w->journal = &journal;
    top.name = L"top";
    middle.name = L"middle";
    leaf.name = L"leaf";
    other.name = L"other";
    ASSERT_TRUE(top.CreateEx(0, kPlainClass, L"top", WS_POPUP, rect, nullptr, 0));
    ASSERT_TRUE(middle.Create(kPlainClass, L"", WS_CHILD, rect, &top, 1));
    ASSERT_TRUE(leaf.Create(kPlainClass, L"", WS_CHILD, rect, &middle, 2));
    ASSERT_TRUE(other.CreateEx(0, kPlainClass, L"other", WS_POPUP, rect, nullptr, 0));
    app.m_pMainWnd = &top;

    MSG msg{leaf.m_hWnd, WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_FALSE(app.PreTranslateMessage(&msg));
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"leaf", L"middle", L"top"}));

    journal.clear();
    middle.consume = TRUE;
    EXPECT_TRUE(app.PreTranslateMessage(&msg));
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"leaf", L"middle"}));

    // Another top-level window: its own chain, then the main window's turn.
    journal.clear();
    MSG toOther{other.m_hWnd, WM_KEYDOWN, VK_F5, 0, 0, {}};
    EXPECT_FALSE(app.PreTranslateMessage(&toOther));
    EXPECT_EQ(journal, (std::vector<std::wstring>{L"other", L"top"}));
    app.m_pMainWnd = nullptr;
}

TEST_F(Framework, MessageLoopEndsWhenTheMainWindowIsDestroyed)
{
    CWinApp app(L"test");
    bool deleted = false;
    auto* wnd = new ProbeWnd;
    wnd->selfDelete = true;
    wnd->deletedFlag = &deleted;
    ASSERT_TRUE(wnd->CreateEx(0, kPlainClass, L"main", WS_OVERLAPPEDWINDOW, rect, nullptr, 0));
    app.m_pMainWnd = wnd;
    wnd->PostMessage(WM_CLOSE);

    // A stuck loop fails the test instead of hanging it.
    const DWORD thread = ::GetCurrentThreadId();
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread watchdog([thread, stop] {
        if (::WaitForSingleObject(stop, 10000) == WAIT_TIMEOUT)
            ::PostThreadMessageW(thread, WM_QUIT, 99, 0);
    });
    const int code = app.Run();
    ::SetEvent(stop);
    watchdog.join();
    ::CloseHandle(stop);

    EXPECT_EQ(code, 0);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

// An exception class whose report is recorded instead of shown.
int g_reports = 0;
class RecordedException : public CException {
public:
    int ReportError(UINT, UINT) const override { return ++g_reports; }
};

class ThrowingWnd : public CWnd {
public:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_APP + 7)
            throw RecordedException();
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(Framework, ExceptionLeavingAHandlerIsReportedAndContained)
{
    ThrowingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, kPlainClass, L"throws", WS_POPUP, rect, nullptr, 0));
    g_reports = 0;
    EXPECT_EQ(wnd.SendMessage(WM_APP + 7), 0);
    EXPECT_EQ(g_reports, 1);
    EXPECT_TRUE(::IsWindow(wnd.m_hWnd));
}

// The exit box template exercises dialogs with controls.
class BoxDialog : public CDialog {
public:
    BoxDialog() : CDialog(IDD_MSGBOX) {}
    CWnd okButton;
    CWnd cancelButton;
    int initCalls = 0;
    int okCalls = 0;

    BOOL OnInitDialog() override
    {
        ++initCalls;
        return CDialog::OnInitDialog();
    }
    void OnOK() override
    {
        ++okCalls;
        CDialog::OnOK();
    }

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDOK, okButton);
        DDX_Control(dx, IDCANCEL, cancelButton);
    }
};

TEST_F(Framework, ModelessDialogBindsControlsAndHidesOnOkAndCancel)
{
    CWinApp app(L"test");
    BoxDialog box;
    ASSERT_TRUE(box.Create(IDD_MSGBOX));
    EXPECT_EQ(box.initCalls, 1);
    EXPECT_EQ(box.okButton.m_hWnd, box.GetDlgItem(IDOK));
    EXPECT_EQ(box.cancelButton.m_hWnd, box.GetDlgItem(IDCANCEL));
    EXPECT_FALSE(box.IsWindowVisible()) << "the exit box template is not visible on creation";

    box.ShowWindow(SW_SHOW);
    ::SetForegroundWindow(box.m_hWnd);
    ::SetFocus(box.okButton.m_hWnd);
    // Enter, routed like the message loop does, is the dialog's OK.
    MSG enter{box.okButton.m_hWnd, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(app.PreTranslateMessage(&enter));
    qmtest::PumpPending();
    EXPECT_EQ(box.okCalls, 1);
    EXPECT_EQ(box.GetResult(), IDOK);
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_TRUE(::IsWindow(box.m_hWnd)) << "a modeless dialog is hidden, not destroyed";

    box.ShowWindow(SW_SHOW);
    ::SetFocus(box.okButton.m_hWnd);
    MSG esc{box.okButton.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_TRUE(app.PreTranslateMessage(&esc));
    qmtest::PumpPending();
    EXPECT_EQ(box.GetResult(), IDCANCEL);
    EXPECT_FALSE(box.IsWindowVisible());
    EXPECT_EQ(box.okCalls, 1);
}

TEST(DiagnosticLog, EmptyPathWritesNothing)
{
    EXPECT_FALSE(AppendLogLine(L"", L"x"));
    EXPECT_FALSE(AppendLogLine(nullptr, L"x"));
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    ::CloseHandle(h);
    return bytes;
}

std::wstring TempLogPath()
{
    wchar_t dir[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring path =
        std::wstring(dir) + L"qm_log_test_" + std::to_wstring(::GetCurrentProcessId()) + L".log";
    ::DeleteFileW(path.c_str());
    return path;
}

TEST(DiagnosticLog, LinesAreAppendedWithWideArgumentsAndSurviveAsUtf8)
{
    const std::wstring path = TempLogPath();
    EXPECT_TRUE(AppendLogLine(path.c_str(), L"删除同名文件失败:%s，将使用随机名字。",
                              L"C:\\Games\\run.exe1.0.0.8"));
    EXPECT_TRUE(AppendLogLine(path.c_str(), L"Error Code = %d", 5));
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes, "删除同名文件失败:C:\\Games\\run.exe1.0.0.8，将使用随机名字。\r\n"
                     "Error Code = 5\r\n");
    ::DeleteFileW(path.c_str());
}

TEST(DiagnosticLog, WriteLogUsesTheGlobalPathAndCutsLongLines)
{
    const std::wstring path = TempLogPath();
    WriteLog(L"not written: %d", 1); // path still empty
    wcscpy(g_szLogFile, path.c_str());
    const std::wstring longText(700, L'x');
    WriteLog(L"%s", longText.c_str());
    g_szLogFile[0] = L'\0';
    const std::string bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes, std::string(511, 'x') + "\r\n");
    ::DeleteFileW(path.c_str());
}

} // namespace
