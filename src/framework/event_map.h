// Event-sink tables: a window that hosts ActiveX controls lists, per
// (control id, event DISPID), the member function that handles the event.
// The framework unpacks the event's arguments into the handler's parameter
// types, calls it, and passes back what it wrote into by-reference ones.
//
//     const EventSinkEntry* CDlgLayer::GetEventSinkMap() const
//     {
//         static const EventSinkEntry map[] = {
//             OnControlEvent<&CDlgLayer::OnPageBeforeNavigate2>(1000, DISPID_BEFORENAVIGATE2),
//             OnControlEvent<&CDlgLayer::OnNewWindow2>(1000, DISPID_NEWWINDOW2),
//             EndOfEventSinkMap(),
//         };
//         return map;
//     }
#pragma once

#include "framework/wnd.h"

#include <oaidl.h>

#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

struct EventSinkEntry {
    UINT controlId;
    DISPID dispid;
    // Unpacks the arguments and calls the handler on `host`; null ends a table.
    HRESULT (*invoke)(CWnd* host, DISPPARAMS* params);
};

// Calls the first handler of `host`'s table for (controlId, dispid). S_OK
// when the table has none: unhandled events are ignored.
HRESULT AfxRouteControlEvent(CWnd* host, UINT controlId, DISPID dispid, DISPPARAMS* params);

namespace event_detail {

// The value inside a VT_BYREF | VT_VARIANT argument, or the argument itself.
inline VARIANTARG& Unwrap(VARIANTARG& arg) noexcept
{
    if (V_VT(&arg) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&arg))
        return *V_VARIANTREF(&arg);
    return arg;
}

// One handler parameter bound to one event argument. Bind checks the
// argument's type; Commit writes a by-reference result back.
template <typename T> struct EventArg {
    static_assert(sizeof(T) == 0, "no conversion from an event argument to this parameter type");
};

template <> struct EventArg<IDispatch*> {
    IDispatch* value = nullptr;
    bool Bind(VARIANTARG& arg) noexcept
    {
        VARIANTARG& v = Unwrap(arg);
        switch (V_VT(&v)) {
        case VT_DISPATCH: value = V_DISPATCH(&v); return true;
        case VT_BYREF | VT_DISPATCH:
            value = V_DISPATCHREF(&v) ? *V_DISPATCHREF(&v) : nullptr;
            return true;
        case VT_EMPTY:
        case VT_NULL: value = nullptr; return true;
        default: return false;
        }
    }
    IDispatch* Get() noexcept { return value; }
    void Commit() noexcept {}
};

template <> struct EventArg<IDispatch**> {
    IDispatch** value = nullptr;
    bool Bind(VARIANTARG& arg) noexcept
    {
        VARIANTARG& v = Unwrap(arg);
        if (V_VT(&v) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&v))
            value = V_DISPATCHREF(&v);
        else if (&v != &arg && V_VT(&v) == VT_DISPATCH)
            value = &V_DISPATCH(&v); // a by-reference VARIANT holding the pointer
        return value != nullptr;
    }
    IDispatch** Get() noexcept { return value; }
    void Commit() noexcept {}
};

template <> struct EventArg<VARIANT*> {
    VARIANT* value = nullptr;
    bool Bind(VARIANTARG& arg) noexcept
    {
        value = &Unwrap(arg);
        return true;
    }
    VARIANT* Get() noexcept { return value; }
    void Commit() noexcept {}
};

// A VARIANT_BOOL by reference seen by the handler as a BOOL.
template <> struct EventArg<BOOL*> {
    VARIANT_BOOL* target = nullptr;
    BOOL value = FALSE;
    bool Bind(VARIANTARG& arg) noexcept
    {
        VARIANTARG& v = Unwrap(arg);
        if (V_VT(&v) == (VT_BYREF | VT_BOOL))
            target = V_BOOLREF(&v);
        else if (&v != &arg && V_VT(&v) == VT_BOOL)
            target = &V_BOOL(&v);
        if (!target)
            return false;
        value = *target != VARIANT_FALSE;
        return true;
    }
    BOOL* Get() noexcept { return &value; }
    void Commit() noexcept { *target = value ? VARIANT_TRUE : VARIANT_FALSE; }
};

template <auto Handler> struct EventThunk;

template <typename Host, typename... Args, void (Host::*Handler)(Args...)>
struct EventThunk<Handler> {
    static_assert(std::is_base_of_v<CWnd, Host>, "event handlers are members of a window class");

    static HRESULT Invoke(CWnd* host, DISPPARAMS* params)
    {
        if (!params || params->cArgs != sizeof...(Args) || (sizeof...(Args) > 0 && !params->rgvarg))
            return DISP_E_BADPARAMCOUNT;
        auto* const self = dynamic_cast<Host*>(host);
        if (!self)
            return E_UNEXPECTED;
        return Call(self, params, std::index_sequence_for<Args...>{});
    }

private:
    template <std::size_t... I>
    static HRESULT Call(Host* self, DISPPARAMS* params, std::index_sequence<I...>)
    {
        std::tuple<EventArg<Args>...> args;
        // Automation passes arguments last first.
        const bool bound =
            (std::get<I>(args).Bind(params->rgvarg[sizeof...(Args) - 1 - I]) && ... && true);
        if (!bound)
            return DISP_E_TYPEMISMATCH;
        (self->*Handler)(std::get<I>(args).Get()...);
        (std::get<I>(args).Commit(), ...);
        return S_OK;
    }
};

} // namespace event_detail

// One table row: control `controlId` firing `dispid` calls `Handler`.
template <auto Handler>
constexpr EventSinkEntry OnControlEvent(UINT controlId, DISPID dispid) noexcept
{
    return {controlId, dispid, &event_detail::EventThunk<Handler>::Invoke};
}

constexpr EventSinkEntry EndOfEventSinkMap() noexcept
{
    return {0, 0, nullptr};
}
