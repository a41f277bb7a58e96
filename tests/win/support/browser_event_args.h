// DISPPARAMS as the WebBrowser control builds them for its events, so tests
// can deliver the events Wine never fires (no HTML engine) through the real
// event routing with the argument types the control uses. Arguments are
// stored last first, as IDispatch::Invoke expects.
#pragma once

#include "framework/variant.h"

#include <oaidl.h>

#include <cstddef>

namespace qmtest {

// The DISPPARAMS of an event of N arguments, with its Cancel flag.
template <std::size_t N> struct EventArgs {
    explicit EventArgs(VARIANT_BOOL cancelled = VARIANT_FALSE) : cancel(cancelled) {}
    EventArgs(const EventArgs&) = delete;
    EventArgs& operator=(const EventArgs&) = delete;

    VARIANT_BOOL cancel;
    VARIANTARG args[N];
    DISPPARAMS params{args, nullptr, N, 0};
};

// The arguments of a navigation event, last first as IDispatch::Invoke takes
// them: the frame's browser object, the event's VARIANTs by reference in
// their order, then Cancel by reference.
template <std::size_t N>
void FillNavigationArgs(VARIANTARG (&args)[N], IDispatch* frame, VARIANT* const (&refs)[N - 2],
                        VARIANT_BOOL* cancel)
{
    V_VT(&args[N - 1]) = VT_DISPATCH;
    V_DISPATCH(&args[N - 1]) = frame;
    for (std::size_t i = 0; i < N - 2; ++i) {
        V_VT(&args[N - 2 - i]) = VT_BYREF | VT_VARIANT;
        V_VARIANTREF(&args[N - 2 - i]) = refs[i];
    }
    V_VT(&args[0]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&args[0]) = cancel;
}

// BeforeNavigate2: the frame's browser object, five VARIANTs by reference
// and Cancel by reference.
struct BeforeNavigate2Args : EventArgs<7> {
    UniqueVariant url;
    UniqueVariant flags;
    UniqueVariant targetFrame;
    UniqueVariant postData;
    UniqueVariant headers;

    BeforeNavigate2Args(IDispatch* frame, const wchar_t* address) : url(address)
    {
        FillNavigationArgs(
            args, frame, {url.get(), flags.get(), targetFrame.get(), postData.get(), headers.get()},
            &cancel);
    }
};

// NewWindow2: the new window's browser object by reference, then Cancel by
// reference.
struct NewWindow2Args : EventArgs<2> {
    IDispatch* disp = nullptr;

    NewWindow2Args() : EventArgs(VARIANT_TRUE)
    {
        V_VT(&args[1]) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&args[1]) = &disp;
        V_VT(&args[0]) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&args[0]) = &cancel;
    }
};

// NavigateError: the frame's browser object, URL, target frame and the
// VT_I4 status code as VARIANTs by reference, then Cancel by reference.
struct NavigateErrorArgs : EventArgs<5> {
    UniqueVariant url;
    UniqueVariant targetFrame;
    VARIANT status;

    NavigateErrorArgs(IDispatch* frame, const wchar_t* address, LONG code) : url(address)
    {
        ::VariantInit(&status);
        V_VT(&status) = VT_I4;
        V_I4(&status) = code;
        FillNavigationArgs(args, frame, {url.get(), targetFrame.get(), &status}, &cancel);
    }
};

} // namespace qmtest
