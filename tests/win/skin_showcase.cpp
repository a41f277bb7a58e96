// Shows the skin for people and for the end-to-end screenshots: one scene at
// a time over a checkerboard backdrop that makes transparency visible.
//
//   skin_showcase.exe <scene> <ready-file> <done-file>
//
//   login    the login background (PNG 140, premultiplied) as a layered
//            window, with its six buttons on a colour-keyed layer above it
//   splash   the update splash (PNG 109, not premultiplied) as a layered window
//   buttons  every button in its states over the background it sits on:
//            login buttons normal / hover / pressed, title bar and exit box
//            buttons normal / hover
//
// Writes <ready-file> once the scene has painted and ends when <done-file>
// appears, or after a minute. Exit code 0, or 2 for bad arguments, 3 when
// a picture is missing.
#include "framework/dc.h"
#include "framework/handles.h"
#include "framework/image.h"
#include "framework/wnd.h"
#include "skin/gt_button.h"
#include "skin/layered_window.h"
#include "skin/mem_dc.h"
#include "skin/png_resource.h"
#include "skin/premultiply_image.h"
#include "skin/tile_image.h"

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t kWindowClass[] = L"QmSkinShowcase";
constexpr int kScreenWidth = 1600;
constexpr int kScreenHeight = 900;
constexpr DWORD kRunLimitMs = 60000;

// Backdrop: 16-pixel squares of these two colours, by screen position.
constexpr int kSquare = 16;
constexpr COLORREF kSquareLight = RGB(236, 236, 236);
constexpr COLORREF kSquareDark = RGB(180, 180, 180);

// Where the scenes put their pictures (screen coordinates).
constexpr POINT kLoginAt{100, 60};
constexpr POINT kSplashAt{594, 358};

constexpr COLORREF kLayerKey = RGB(255, 0, 255);
constexpr COLORREF kFrameBlue = RGB(22, 78, 121);

enum class State { Normal, Hover, Pressed };

struct ButtonLayout {
    UINT id;
    int x;
    int y;
    UINT normal;
    UINT hover;
    UINT pressed; // 0: no pressed face
};

// The login layer's buttons, relative to the login picture.
const ButtonLayout kLoginButtons[] = {
    {110, 950, 120, 148, 147, 149}, {109, 1000, 120, 145, 144, 146}, {184, 455, 190, 185, 184, 0},
    {182, 595, 190, 183, 182, 0},   {186, 735, 190, 187, 186, 0},    {180, 875, 190, 181, 180, 0},
};

// The title bar's buttons; x counts back from the right edge.
const ButtonLayout kTitleButtons[] = {
    {104, 35, 3, 166, 165, 0},  {106, 65, 3, 159, 158, 0},  {105, 95, 3, 161, 160, 0},
    {188, 125, 3, 189, 188, 0}, {192, 215, 3, 193, 192, 0}, {190, 295, 3, 191, 190, 0},
    {196, 357, 3, 197, 196, 0}, {194, 419, 3, 195, 194, 0},
};

// The exit box's buttons: confirm and decline.
const ButtonLayout kExitButtons[] = {
    {1, 30, 64, 171, 170, 0},
    {2, 130, 64, 169, 168, 0},
};

bool g_missingPicture = false;

std::unique_ptr<CImage> LoadPicture(UINT id)
{
    auto image = std::make_unique<CImage>();
    if (!LoadPngResource(image.get(), id)) {
        g_missingPicture = true;
        return nullptr;
    }
    return image;
}

void RegisterShowcaseClass()
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassW(&wc);
}

// A button of the skin, its faces loaded and owned, shown in one state.
class SkinButton : public GTButton {
public:
    bool Make(CWnd* parent, const ButtonLayout& layout, int x, int y)
    {
        if (!Create(L"", WS_CHILD | WS_VISIBLE, RECT{}, parent, layout.id))
            return false;
        std::unique_ptr<CImage> normal = LoadPicture(layout.normal);
        std::unique_ptr<CImage> hover = LoadPicture(layout.hover);
        std::unique_ptr<CImage> pressed = layout.pressed ? LoadPicture(layout.pressed) : nullptr;
        if (!normal)
            return false;
        m_bOwnImages = 1;
        if (SetImages(normal.get(), hover.get(), pressed.get(), nullptr)) {
            normal.release();
            hover.release();
            pressed.release();
        }
        SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return true;
    }

    void Show(State state)
    {
        if (state == State::Hover) {
            m_bHover = 1;
            Redraw();
        } else if (state == State::Pressed) {
            SendMessage(BM_SETSTATE, TRUE); // drawn with ODS_SELECTED
        }
    }
};

// Base of the showcase's windows: a popup or child that paints itself.
class ShowcaseWnd : public CWnd {
public:
    bool MakePopup(int x, int y, int width, int height, DWORD exStyle = WS_EX_TOOLWINDOW,
                   CWnd* owner = nullptr)
    {
        const RECT rect{x, y, x + width, y + height};
        return CreateEx(exStyle, kWindowClass, L"Quillmoor skin showcase", WS_POPUP, rect, owner,
                        0) != FALSE;
    }
    bool MakeChild(CWnd* parent, int x, int y, int width, int height)
    {
        const RECT rect{x, y, x + width, y + height};
        return Create(kWindowClass, L"", WS_CHILD | WS_VISIBLE, rect, parent, 0) != FALSE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_ERASEBKGND: return TRUE; // WM_PAINT covers every pixel
        case WM_PAINT: {
            CPaintDC paint(this);
            RECT client{};
            GetClientRect(&client);
            Paint(paint, client);
            return 0;
        }
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    std::vector<std::unique_ptr<SkinButton>> buttons;

    bool AddButton(const ButtonLayout& layout, int x, int y, State state)
    {
        auto button = std::make_unique<SkinButton>();
        if (!button->Make(this, layout, x, y))
            return false;
        buttons.push_back(std::move(button));
        buttons.back()->Show(state);
        return true;
    }

protected:
    virtual void Paint(CDC& dc, const RECT& client) = 0;
};

// Full-screen checkerboard.
class Backdrop : public ShowcaseWnd {
protected:
    void Paint(CDC& paint, const RECT& client) override
    {
        CMemDC2005 dc(&paint, &client);
        for (int y = 0; y < client.bottom; y += kSquare)
            for (int x = 0; x < client.right; x += kSquare)
                dc.FillSolidRect(x, y, kSquare, kSquare,
                                 ((x / kSquare + y / kSquare) % 2) ? kSquareDark : kSquareLight);
    }
};

// A per-pixel-alpha window whose surface is one picture.
class LayeredPicture : public ShowcaseWnd {
public:
    bool Make(UINT id, bool premultiply, POINT at)
    {
        m_image = LoadPicture(id);
        if (!m_image || !MakePopup(at.x, at.y, 1, 1))
            return false;
        if (premultiply)
            PremultiplyAlpha(m_image.get());
        // Shown first: a layered window's surface is given while it is visible.
        ShowWindow(SW_SHOWNOACTIVATE);
        return UpdateLayeredBitmap(m_hWnd, *m_image);
    }

protected:
    void Paint(CDC&, const RECT&) override {}

private:
    std::unique_ptr<CImage> m_image;
};

// The login layer: a colour-keyed window over the login picture, so only
// its buttons are seen.
class KeyedLayer : public ShowcaseWnd {
public:
    bool Make(CWnd* loginWindow, POINT at, int width, int height)
    {
        if (!MakePopup(at.x, at.y, width, height, WS_EX_TOOLWINDOW | WS_EX_LAYERED, loginWindow))
            return false;
        ::SetLayeredWindowAttributes(m_hWnd, kLayerKey, 255, LWA_COLORKEY | LWA_ALPHA);
        for (const ButtonLayout& layout : kLoginButtons)
            if (!AddButton(layout, layout.x, layout.y, State::Normal))
                return false;
        ShowWindow(SW_SHOWNOACTIVATE);
        return true;
    }

protected:
    void Paint(CDC& dc, const RECT& client) override { dc.FillSolidRect(client, kLayerKey); }
};

// A part of a picture, with buttons placed on it as on the whole picture.
class PicturePart : public ShowcaseWnd {
public:
    bool Make(CWnd* parent, const CImage* picture, const RECT& part, POINT at)
    {
        m_picture = picture;
        m_part = part;
        return MakeChild(parent, at.x, at.y, part.right - part.left, part.bottom - part.top);
    }

protected:
    void Paint(CDC& dc, const RECT& client) override
    {
        dc.FillSolidRect(client, RGB(0, 0, 0));
        m_picture->Draw(dc, 0, 0, client.right, client.bottom, m_part.left, m_part.top,
                        client.right, client.bottom);
    }

private:
    const CImage* m_picture = nullptr;
    RECT m_part{};
};

// The game window's title strip, painted as the game window paints it.
class TitleStrip : public ShowcaseWnd {
public:
    bool Make(CWnd* parent, POINT at, int width, State state)
    {
        m_left = LoadPicture(150);
        m_middle = LoadPicture(151);
        m_right = LoadPicture(152);
        m_logo = LoadPicture(164);
        if (!m_left || !m_middle || !m_right || !m_logo)
            return false;
        for (CImage* image : {m_left.get(), m_middle.get(), m_right.get(), m_logo.get()})
            PremultiplyAlpha(image);
        if (!MakeChild(parent, at.x, at.y, width, 27 + 4 + 8))
            return false;
        for (const ButtonLayout& layout : kTitleButtons)
            if (!AddButton(layout, width - layout.x, layout.y, state))
                return false;
        return true;
    }

protected:
    void Paint(CDC& paint, const RECT& client) override
    {
        CMemDC2005 dc(&paint, &client);
        dc.FillSolidRect(client, kFrameBlue);
        RECT r = client;
        ::InflateRect(&r, -2, -2);
        m_left->Draw(dc, r.left, r.top);
        m_right->Draw(dc, r.right - m_right->GetWidth(), r.top);
        TileImage(m_middle.get(), dc, r.left + m_left->GetWidth(), r.top,
                  r.right - m_right->GetWidth() - m_left->GetWidth() - r.left,
                  m_middle->GetHeight());
        m_logo->Draw(dc, r.left + 5, r.top + 5);
    }

private:
    std::unique_ptr<CImage> m_left, m_middle, m_right, m_logo;
};

// The exit confirmation's face: its picture, not premultiplied, over the
// dialog colour.
class ExitBox : public ShowcaseWnd {
public:
    bool Make(CWnd* parent, POINT at, State state)
    {
        m_background = LoadPicture(167);
        if (!m_background ||
            !MakeChild(parent, at.x, at.y, m_background->GetWidth(), m_background->GetHeight()))
            return false;
        for (const ButtonLayout& layout : kExitButtons)
            if (!AddButton(layout, layout.x, layout.y, state))
                return false;
        return true;
    }

protected:
    void Paint(CDC& dc, const RECT& client) override
    {
        dc.FillSolidRect(client, ::GetSysColor(COLOR_BTNFACE));
        m_background->Draw(dc, 0, 0);
    }

private:
    std::unique_ptr<CImage> m_background;
};

// Everything one scene shows; destroyed in reverse order of creation.
struct Scene {
    Backdrop backdrop;
    LayeredPicture picture;
    KeyedLayer layer;
    std::unique_ptr<CImage> loginPicture;
    std::vector<std::unique_ptr<ShowcaseWnd>> panels;
};

bool ShowLogin(Scene& scene)
{
    return scene.picture.Make(140, true, kLoginAt) &&
           scene.layer.Make(&scene.picture, kLoginAt, 1194, 685);
}

bool ShowSplash(Scene& scene)
{
    return scene.picture.Make(109, false, kSplashAt);
}

// Rows of buttons in their states over the backgrounds they sit on.
bool ShowButtons(Scene& scene)
{
    scene.loginPicture = LoadPicture(140);
    if (!scene.loginPicture)
        return false;
    PremultiplyAlpha(scene.loginPicture.get());

    // Login layer: the part of the login picture under its buttons, three
    // times: normal, hover, pressed.
    const RECT part{440, 110, 1050, 232};
    const State loginStates[] = {State::Normal, State::Hover, State::Pressed};
    for (int i = 0; i < 3; ++i) {
        auto panel = std::make_unique<PicturePart>();
        if (!panel->Make(&scene.backdrop, scene.loginPicture.get(), part, POINT{40, 40 + i * 150}))
            return false;
        for (const ButtonLayout& layout : kLoginButtons)
            if (!panel->AddButton(layout, layout.x - part.left, layout.y - part.top,
                                  loginStates[i]))
                return false;
        scene.panels.push_back(std::move(panel));
    }

    // Title bar and exit box: normal, then hover.
    const State states[] = {State::Normal, State::Hover};
    for (int i = 0; i < 2; ++i) {
        auto strip = std::make_unique<TitleStrip>();
        if (!strip->Make(&scene.backdrop, POINT{700, 40 + i * 80}, 860, states[i]))
            return false;
        scene.panels.push_back(std::move(strip));
        auto box = std::make_unique<ExitBox>();
        if (!box->Make(&scene.backdrop, POINT{700 + i * 280, 240}, states[i]))
            return false;
        scene.panels.push_back(std::move(box));
    }
    return true;
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void PumpPending()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const noexcept { ::LocalFree(p); }
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
        ::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv || argc != 4)
        return 2;
    const std::wstring scene = argv.get()[1];
    const std::wstring readyFile = argv.get()[2];
    const std::wstring doneFile = argv.get()[3];

    RegisterShowcaseClass();
    // The pointer rests in a corner so it hovers over nothing.
    ::SetCursorPos(kScreenWidth - 1, kScreenHeight - 1);

    Scene shown;
    if (!shown.backdrop.MakePopup(0, 0, kScreenWidth, kScreenHeight))
        return 3;
    shown.backdrop.ShowWindow(SW_SHOWNOACTIVATE);
    shown.backdrop.UpdateWindow();

    bool made = false;
    if (scene == L"login")
        made = ShowLogin(shown);
    else if (scene == L"splash")
        made = ShowSplash(shown);
    else if (scene == L"buttons")
        made = ShowButtons(shown);
    else
        return 2;
    if (!made || g_missingPicture)
        return 3;

    for (const HWND hwnd : {shown.backdrop.m_hWnd, shown.layer.m_hWnd})
        if (hwnd)
            ::RedrawWindow(hwnd, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPending();
    UniqueHandle ready(::CreateFileW(readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!ready)
        return 2;
    ready.reset();

    const ULONGLONG deadline = ::GetTickCount64() + kRunLimitMs;
    while (!FileExists(doneFile) && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        PumpPending();
    }
    return 0;
}
