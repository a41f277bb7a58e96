// DISPPARAMS as the WebBrowser control builds them for its events, so tests
// can deliver the events Wine never fires (no HTML engine) through the real
// event routing with the argument types the control uses. Arguments are
// stored last first, as IDispatch::Invoke expects.
#pragma once

#include "framework/variant.h"

#include <oaidl.h>

namespace qmtest {

// BeforeNavigate2: the frame's browser object, five VARIANTs by reference
// and Cancel by reference.
struct BeforeNavigate2Args {
    UniqueVariant url;
    UniqueVariant flags;
    UniqueVariant targetFrame;
    UniqueVariant postData;
    UniqueVariant headers;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[7];
    DISPPARAMS params{args, nullptr, 7, 0};

    BeforeNavigate2Args(IDispatch* frame, const wchar_t* address) : url(address)
    {
        V_VT(&args[6]) = VT_DISPATCH;
        V_DISPATCH(&args[6]) = frame;
        VARIANT* const refs[] = {url.get(), flags.get(), targetFrame.get(), postData.get(),
                                 headers.get()};
        for (int i = 0; i < 5; ++i) {
            V_VT(&args[5 - i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&args[5 - i]) = refs[i];
        }
        V_VT(&args[0]) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&args[0]) = &cancel;
    }
    BeforeNavigate2Args(const BeforeNavigate2Args&) = delete;
    BeforeNavigate2Args& operator=(const BeforeNavigate2Args&) = delete;
};

// NewWindow2: the new window's browser object by reference, then Cancel by
// reference.
struct NewWindow2Args {
    IDispatch* disp = nullptr;
    VARIANT_BOOL cancel = VARIANT_TRUE;
    VARIANTARG args[2];
    DISPPARAMS params{args, nullptr, 2, 0};

    NewWindow2Args()
    {
        V_VT(&args[1]) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&args[1]) = &disp;
        V_VT(&args[0]) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&args[0]) = &cancel;
    }
    NewWindow2Args(const NewWindow2Args&) = delete;
    NewWindow2Args& operator=(const NewWindow2Args&) = delete;
};

// NavigateError: the frame's browser object, URL, target frame and the
// VT_I4 status code as VARIANTs by reference, then Cancel by reference.
struct NavigateErrorArgs {
    UniqueVariant url;
    UniqueVariant targetFrame;
    VARIANT status;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG args[5];
    DISPPARAMS params{args, nullptr, 5, 0};

    NavigateErrorArgs(IDispatch* frame, const wchar_t* address, LONG code) : url(address)
    {
        ::VariantInit(&status);
        V_VT(&status) = VT_I4;
        V_I4(&status) = code;
        V_VT(&args[4]) = VT_DISPATCH;
        V_DISPATCH(&args[4]) = frame;
        VARIANT* const refs[] = {url.get(), targetFrame.get(), &status};
        for (int i = 0; i < 3; ++i) {
            V_VT(&args[3 - i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&args[3 - i]) = refs[i];
        }
        V_VT(&args[0]) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&args[0]) = &cancel;
    }
    NavigateErrorArgs(const NavigateErrorArgs&) = delete;
    NavigateErrorArgs& operator=(const NavigateErrorArgs&) = delete;
};

} // namespace qmtest
