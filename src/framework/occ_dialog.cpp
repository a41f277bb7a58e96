#include "framework/occ_dialog.h"

#include "framework/app.h"
#include "framework/ole_container.h"
#include "framework/ole_site.h"
#include "framework/wnd.h"

#include <cstring>

namespace {

constexpr std::size_t kItemCountOffset = 16; // dlgVer, signature, helpID, exStyle, style

// Reads a DLGTEMPLATEEX field by field and never past its end.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

    bool Ok() const noexcept { return m_ok; }
    std::size_t Offset() const noexcept { return m_pos; }

    template <typename T> T Read() noexcept
    {
        T value{};
        if (!m_ok || m_size - m_pos < sizeof(T)) {
            m_ok = false;
            return value;
        }
        std::memcpy(&value, m_data + m_pos, sizeof(T));
        m_pos += sizeof(T);
        return value;
    }
    void Skip(std::size_t bytes) noexcept
    {
        if (!m_ok || m_size - m_pos < bytes)
            m_ok = false;
        else
            m_pos += bytes;
    }
    // Items start on DWORD boundaries of the template.
    void AlignToDword() noexcept { Skip((4 - m_pos % 4) % 4); }
    std::wstring ReadString() noexcept
    {
        std::wstring text;
        for (wchar_t c = Read<wchar_t>(); m_ok && c != L'\0'; c = Read<wchar_t>())
            text.push_back(c);
        return text;
    }
    // A name or an ordinal (0xFFFF, then the number), or nothing (0). Only a
    // name is returned.
    std::wstring ReadNameOrOrdinal() noexcept
    {
        const auto first = Read<WORD>();
        if (first == 0)
            return {};
        if (first == 0xFFFF) {
            Read<WORD>();
            return {};
        }
        std::wstring text(1, static_cast<wchar_t>(first));
        return text + ReadString();
    }

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// An item class such as "{8856F961-340A-11D0-A96B-00C04FD705A2}".
bool IsControlClass(const std::wstring& name, CLSID* clsid) noexcept
{
    return !name.empty() && name.front() == L'{' &&
           SUCCEEDED(::CLSIDFromString(name.c_str(), clsid));
}

void AppendBytes(std::vector<BYTE>& out, const BYTE* from, std::size_t count)
{
    out.insert(out.end(), from, from + count);
}

// The dialog's child window at z-order position `n`, or null.
HWND NthChild(HWND dialog, std::size_t n) noexcept
{
    HWND child = ::GetWindow(dialog, GW_CHILD);
    for (; child && n > 0; --n)
        child = ::GetWindow(child, GW_HWNDNEXT);
    return child;
}

} // namespace

bool COccDialogTemplate::Split(const void* resource, std::size_t size)
{
    m_copy.clear();
    m_items.clear();
    const auto* const data = static_cast<const BYTE*>(resource);
    if (!data)
        return false;
    TemplateReader in(data, size);
    const auto version = in.Read<WORD>();
    const auto signature = in.Read<WORD>();
    if (!in.Ok() || version != 1 || signature != 0xFFFF)
        return false;                       // a plain DLGTEMPLATE: no control items are looked for
    in.Skip(sizeof(DWORD) + sizeof(DWORD)); // helpID, exStyle
    const auto dialogStyle = in.Read<DWORD>();
    const auto itemCount = in.Read<WORD>();
    in.Skip(4 * sizeof(short));
    in.ReadNameOrOrdinal(); // menu
    in.ReadNameOrOrdinal(); // window class
    in.ReadString();        // title
    if (dialogStyle & DS_SETFONT) {
        in.Skip(2 * sizeof(WORD) + 2 * sizeof(BYTE)); // point size, weight, italic, charset
        in.ReadString();                              // typeface
    }
    if (!in.Ok())
        return false;

    std::vector<BYTE> copy(data, data + in.Offset());
    WORD keptCount = 0;
    for (std::size_t index = 0; index < itemCount; ++index) {
        in.AlignToDword();
        const std::size_t start = in.Offset();
        in.Skip(sizeof(DWORD) + sizeof(DWORD)); // helpID, exStyle
        const auto style = in.Read<DWORD>();
        const auto x = in.Read<short>();
        const auto y = in.Read<short>();
        const auto cx = in.Read<short>();
        const auto cy = in.Read<short>();
        const auto id = in.Read<DWORD>();
        const std::wstring className = in.ReadNameOrOrdinal();
        in.ReadNameOrOrdinal();   // title
        in.Skip(in.Read<WORD>()); // creation data
        if (!in.Ok())
            return false;
        CLSID clsid{};
        if (IsControlClass(className, &clsid)) {
            m_items.push_back({clsid, id, style, RECT{x, y, x + cx, y + cy}, index});
            continue;
        }
        copy.resize((copy.size() + 3) & ~std::size_t{3}, 0);
        AppendBytes(copy, data + start, in.Offset() - start);
        ++keptCount;
    }
    if (m_items.empty())
        return false;

    std::memcpy(copy.data() + kItemCountOffset, &keptCount, sizeof keptCount);
    m_copy.resize((copy.size() + 3) / 4);
    std::memcpy(m_copy.data(), copy.data(), copy.size());
    m_bNoFailCreate = (dialogStyle & DS_NOFAILCREATE) != 0;
    return true;
}

const DLGTEMPLATE* COccDialogTemplate::GetTemplate() const noexcept
{
    return m_copy.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(m_copy.data());
}

bool COccDialogTemplate::CreateControls(CWnd* dialog) const
{
    COleControlContainer* const container = dialog ? dialog->InitControlContainer() : nullptr;
    bool allCreated = container != nullptr;
    for (const ControlItem& item : m_items) {
        RECT rect = item.units;
        ::MapDialogRect(dialog->m_hWnd, &rect);
        COleControlSite* const site =
            container ? container->CreateControl(nullptr, item.clsid, item.style, rect, item.id)
                      : nullptr;
        if (!site) {
            allCreated = false;
            continue;
        }
        // Keep the template's tab order: right after the item before it.
        const HWND after = item.index == 0 ? HWND_TOP : NthChild(dialog->m_hWnd, item.index - 1);
        if (after)
            ::SetWindowPos(site->GetControlWindow(), after, 0, 0, 0, 0,
                           SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    return allCreated || m_bNoFailCreate;
}

bool AfxLoadOccDialogTemplate(UINT templateId, COccDialogTemplate& out)
{
    const HMODULE module = AfxGetResourceHandle();
    const HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* const data = loaded ? ::LockResource(loaded) : nullptr;
    return data && out.Split(data, ::SizeofResource(module, found));
}
