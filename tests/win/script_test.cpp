// The script object that pages see as window.external: called through
// IDispatch the way a script engine does, and from real JScript (Wine's
// engine) with the object as a named item called "external".
#include "app/notification.h"
#include "framework/handles.h"
#include "framework/variant.h"
#include "web/imp_idispatch.h"

#include <gtest/gtest.h>

#include <activscp.h>
#include <dispex.h>

#include <cwchar>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Records what is posted under the names it observes, with a copy of the
// text that NT_GET_GSNAME's Arg1 points at.
class BusRecorder final : public IObserver {
public:
    struct Post {
        std::string name;
        NotificationArg arg1, arg2, arg3;
        std::wstring text;
    };

    BusRecorder()
    {
        for (const char* name : kNames)
            NotificationCenter::Instance().AddObserver(name, this);
    }
    BusRecorder(const BusRecorder&) = delete;
    BusRecorder& operator=(const BusRecorder&) = delete;
    ~BusRecorder()
    {
        for (const char* name : kNames)
            NotificationCenter::Instance().RemoveObserver(name, this);
    }

    void OnNotify(INotification* n) override
    {
        Post post{n->Name(), n->Arg1(), n->Arg2(), n->Arg3(), {}};
        if (post.name == NT_GET_GSNAME && post.arg1 != 0)
            post.text = reinterpret_cast<const wchar_t*>(post.arg1); // read up to its NUL
        posts.push_back(post);
    }
    bool IsSame(IObserver* other) override { return other == this; }

    std::vector<Post> posts;

private:
    const char* const kNames[3] = {NT_GET_GSNAME, NT_GET_NEWMSG, NT_WEB_ENTER_GAME};
};

// An observer that fails while it handles a notification.
class ThrowingObserver final : public IObserver {
public:
    explicit ThrowingObserver(const char* name) : m_name(name)
    {
        NotificationCenter::Instance().AddObserver(m_name, this);
    }
    ThrowingObserver(const ThrowingObserver&) = delete;
    ThrowingObserver& operator=(const ThrowingObserver&) = delete;
    ~ThrowingObserver() { NotificationCenter::Instance().RemoveObserver(m_name, this); }
    void OnNotify(INotification*) override { throw std::runtime_error("observer failed"); }
    bool IsSame(IObserver* other) override { return other == this; }

private:
    const char* m_name;
};

// A VARIANT that is not ours to clear, as a script engine passes arguments.
VARIANT Int(LONG value)
{
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

DISPID IdOf(IDispatch* dispatch, const wchar_t* name)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Invoke with the arguments given last first, as DISPPARAMS holds them.
HRESULT Call(IDispatch* dispatch, DISPID id, WORD flags, std::vector<VARIANTARG> lastFirst,
             VARIANT* result)
{
    DISPPARAMS params{lastFirst.empty() ? nullptr : lastFirst.data(), nullptr,
                      static_cast<UINT>(lastFirst.size()), 0};
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr,
                            nullptr);
}

class ScriptBridge : public ::testing::Test {
protected:
    CImpIDispatch object;
    IDispatch* dispatch = &object;
    BusRecorder bus;
};

TEST_F(ScriptBridge, NamesHaveTheirDispIds)
{
    EXPECT_EQ(IdOf(dispatch, L"getGsName"), 100);
    EXPECT_EQ(IdOf(dispatch, L"getNewMsg"), 101);
    EXPECT_EQ(IdOf(dispatch, L"ismc"), 102);
    EXPECT_EQ(IdOf(dispatch, L"entergame"), 103);
}

TEST_F(ScriptBridge, IsMcIsTrueAsMethodAndAsProperty)
{
    for (WORD flags : {WORD(DISPATCH_METHOD), WORD(DISPATCH_PROPERTYGET),
                       WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET)}) {
        UniqueVariant result;
        ASSERT_EQ(Call(dispatch, 102, flags, {}, result.get()), S_OK);
        EXPECT_EQ(result.type(), VT_BOOL) << "flags " << flags;
        EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE) << "flags " << flags;
    }
    EXPECT_TRUE(bus.posts.empty());
}

TEST_F(ScriptBridge, GetGsNamePostsANulTerminatedCopyAndGivesAMethodCallNoValue)
{
    UniqueVariant name(L"abc");
    UniqueVariant result;
    V_VT(result.get()) = VT_I4;
    V_I4(result.get()) = 1234;

    ASSERT_EQ(Call(dispatch, 100, DISPATCH_METHOD, {*name.get()}, result.get()), S_OK);

    ASSERT_EQ(bus.posts.size(), 1u);
    EXPECT_EQ(bus.posts[0].name, NT_GET_GSNAME);
    EXPECT_EQ(bus.posts[0].text, L"abc");
    EXPECT_NE(bus.posts[0].arg1, reinterpret_cast<NotificationArg>(V_BSTR(name.get())))
        << "Arg1 points at a copy, not at the caller's string";
    EXPECT_EQ(bus.posts[0].arg2, 0);
    EXPECT_EQ(bus.posts[0].arg3, 0);
    EXPECT_EQ(result.type(), VT_I4) << "a method-only call leaves the result alone";
    EXPECT_EQ(V_I4(result.get()), 1234);
}

TEST_F(ScriptBridge, EveryNameReadAsPropertyIsTrueAndPostsNothing)
{
    for (DISPID id : {100, 101, 103}) {
        UniqueVariant result;
        ASSERT_EQ(Call(dispatch, id, DISPATCH_PROPERTYGET, {}, result.get()), S_OK);
        EXPECT_EQ(result.type(), VT_BOOL) << id;
        EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE) << id;
    }
    EXPECT_TRUE(bus.posts.empty());
}

TEST_F(ScriptBridge, MethodAndPropertyFlagsTogetherPostAndAnswerTrue)
{
    UniqueVariant name(L"realm");
    UniqueVariant result;
    ASSERT_EQ(
        Call(dispatch, 100, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {*name.get()}, result.get()),
        S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
    ASSERT_EQ(bus.posts.size(), 1u);
    EXPECT_EQ(bus.posts[0].text, L"realm");
}

TEST_F(ScriptBridge, NameWithCapitalFirstLetterIsUnknownAndPostsNothing)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetGsName")};
    DISPID id = 0;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    // An engine that calls the unknown id anyway reaches nothing.
    UniqueVariant arg(L"abc");
    EXPECT_EQ(Call(dispatch, id, DISPATCH_METHOD, {*arg.get()}, nullptr), S_OK);
    EXPECT_TRUE(bus.posts.empty());
}

TEST_F(ScriptBridge, FullWidthLettersMatchButCaseStillCounts)
{
    EXPECT_EQ(IdOf(dispatch, L"\xFF47\xFF45\xFF54\xFF27\xFF53\xFF2E\xFF41\xFF4D\xFF45"), 100)
        << "ｇｅｔＧｓＮａｍｅ";
    EXPECT_EQ(IdOf(dispatch, L"\xFF49\xFF53\xFF4D\xFF43"), 102) << "ｉｓｍｃ";
    EXPECT_EQ(IdOf(dispatch, L"\xFF27\xFF45\xFF54\xFF27\xFF53\xFF2E\xFF41\xFF4D\xFF45"),
              DISPID_UNKNOWN)
        << "Ｇ is still a capital";
}

TEST_F(ScriptBridge, EnterGameAndGetNewMsgPostTheirNotifications)
{
    ASSERT_EQ(Call(dispatch, 103, DISPATCH_METHOD, {}, nullptr), S_OK);
    ASSERT_EQ(Call(dispatch, 101, DISPATCH_METHOD, {Int(7)}, nullptr), S_OK);
    ASSERT_EQ(bus.posts.size(), 2u);
    EXPECT_EQ(bus.posts[0].name, NT_WEB_ENTER_GAME);
    EXPECT_EQ(bus.posts[1].name, NT_GET_NEWMSG);
    for (const auto& post : bus.posts) {
        EXPECT_EQ(post.arg1, 0) << post.name;
        EXPECT_EQ(post.arg2, 0) << post.name;
        EXPECT_EQ(post.arg3, 0) << post.name;
    }
}

TEST_F(ScriptBridge, OnlyIDispatchAndIUnknownAreOffered)
{
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dispatch->QueryInterface(__uuidof(IDispatchEx), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    IUnknown* unknown = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(dispatch));
    IDispatch* again = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&again)), S_OK);
    EXPECT_EQ(again, dispatch);
    // Each successful QueryInterface added one reference.
    EXPECT_EQ(dispatch->Release(), 1u);
    EXPECT_EQ(dispatch->Release(), 0u);
}

TEST_F(ScriptBridge, ReleaseBelowZeroLeavesTheObjectAlive)
{
    EXPECT_EQ(dispatch->AddRef(), 1u);
    EXPECT_EQ(dispatch->Release(), 0u);
    EXPECT_EQ(static_cast<LONG>(dispatch->Release()), -1);
    EXPECT_EQ(static_cast<LONG>(dispatch->Release()), -2);
    UniqueVariant result;
    EXPECT_EQ(Call(dispatch, 102, DISPATCH_METHOD, {}, result.get()), S_OK);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
}

TEST_F(ScriptBridge, SeveralNamesWithOneUnknownMarkOnlyThatOne)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"ismc"), const_cast<LPOLESTR>(L"nosuch"),
                        const_cast<LPOLESTR>(L"entergame")};
    DISPID ids[3] = {0, 0, 0};
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 3, LOCALE_USER_DEFAULT, ids),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 102);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], 103);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 0, LOCALE_USER_DEFAULT, ids), S_OK);
}

TEST_F(ScriptBridge, GetGsNameWithoutArgumentsPostsTheEmptyString)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    ASSERT_EQ(dispatch->Invoke(100, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                               nullptr, nullptr),
              S_OK);
    ASSERT_EQ(bus.posts.size(), 1u);
    EXPECT_NE(bus.posts[0].arg1, 0) << "Arg1 still points at a (empty) string";
    EXPECT_EQ(bus.posts[0].text, L"");
}

TEST_F(ScriptBridge, GetGsNameTurnsNumbersAndBooleansIntoTextAndOtherValuesIntoNothing)
{
    VARIANT real;
    ::VariantInit(&real);
    V_VT(&real) = VT_R8;
    V_R8(&real) = 1.5;
    VARIANT flag;
    ::VariantInit(&flag);
    V_VT(&flag) = VT_BOOL;
    V_BOOL(&flag) = VARIANT_TRUE;
    VARIANT objectArg;
    ::VariantInit(&objectArg);
    V_VT(&objectArg) = VT_DISPATCH;
    V_DISPATCH(&objectArg) = dispatch; // converting it would call into the object
    VARIANT nothing;
    ::VariantInit(&nothing);
    V_VT(&nothing) = VT_NULL;
    VARIANT nullString;
    ::VariantInit(&nullString);
    V_VT(&nullString) = VT_BSTR;
    V_BSTR(&nullString) = nullptr;

    for (const VARIANT& arg : {Int(-42), real, flag, objectArg, nothing, nullString})
        ASSERT_EQ(Call(dispatch, 100, DISPATCH_METHOD, {arg}, nullptr), S_OK);

    ASSERT_EQ(bus.posts.size(), 6u);
    EXPECT_EQ(bus.posts[0].text, L"-42");
    EXPECT_EQ(bus.posts[1].text, L"1.5");
    EXPECT_EQ(bus.posts[2].text, L"True");
    EXPECT_EQ(bus.posts[3].text, L"");
    EXPECT_EQ(bus.posts[4].text, L"");
    EXPECT_EQ(bus.posts[5].text, L"");
}

TEST_F(ScriptBridge, GetGsNameReadsStringsByReferenceAndStopsAtTheFirstNul)
{
    UniqueBstr inner(::SysAllocStringLen(L"ab\0cd", 5));
    BSTR text = inner.get();
    VARIANT byRef;
    ::VariantInit(&byRef);
    V_VT(&byRef) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&byRef) = &text;
    UniqueVariant wrapped(L"wrapped");
    VARIANT variantRef;
    ::VariantInit(&variantRef);
    V_VT(&variantRef) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&variantRef) = wrapped.get();

    ASSERT_EQ(Call(dispatch, 100, DISPATCH_METHOD, {byRef}, nullptr), S_OK);
    ASSERT_EQ(Call(dispatch, 100, DISPATCH_METHOD, {variantRef}, nullptr), S_OK);
    ASSERT_EQ(bus.posts.size(), 2u);
    EXPECT_EQ(bus.posts[0].text, L"ab");
    EXPECT_EQ(bus.posts[1].text, L"wrapped");
}

TEST_F(ScriptBridge, GetGsNameTakesTheLastOfSeveralArguments)
{
    UniqueVariant first(L"first");
    UniqueVariant last(L"last");
    ASSERT_EQ(Call(dispatch, 100, DISPATCH_METHOD, {*last.get(), *first.get()}, nullptr), S_OK);
    ASSERT_EQ(bus.posts.size(), 1u);
    EXPECT_EQ(bus.posts[0].text, L"last");
}

TEST_F(ScriptBridge, MissingParametersAndUnknownIdsAreHarmless)
{
    EXPECT_EQ(dispatch->Invoke(100, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, nullptr,
                               nullptr, nullptr, nullptr),
              S_OK);
    UniqueVariant result;
    V_VT(result.get()) = VT_I4;
    V_I4(result.get()) = 5;
    EXPECT_EQ(Call(dispatch, 104, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, result.get()), S_OK);
    EXPECT_EQ(result.type(), VT_I4);
    EXPECT_TRUE(bus.posts.empty()) << "getGsName without DISPPARAMS posts nothing";

    UINT count = 77;
    EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 77u);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), E_NOTIMPL);
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, nullptr),
              E_INVALIDARG);
}

TEST_F(ScriptBridge, AnObserverThatFailsDoesNotUnwindIntoTheCaller)
{
    ThrowingObserver failing(NT_WEB_ENTER_GAME);
    EXPECT_EQ(Call(dispatch, 103, DISPATCH_METHOD, {}, nullptr), E_UNEXPECTED);
}

// A minimal Active Scripting host: Wine's JScript engine with the script
// object as the named item "external", evaluating one expression at a time.
class JScriptHost final : public IActiveScriptSite {
public:
    explicit JScriptHost(IDispatch* external) : m_external(external) {}
    JScriptHost(const JScriptHost&) = delete;
    JScriptHost& operator=(const JScriptHost&) = delete;
    ~JScriptHost()
    {
        if (m_engine)
            m_engine->Close();
    }

    ::testing::AssertionResult Start()
    {
        CLSID jscript{};
        HRESULT hr = ::CLSIDFromProgID(L"JScript", &jscript);
        if (SUCCEEDED(hr))
            hr = ::CoCreateInstance(jscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                    reinterpret_cast<void**>(m_engine.put()));
        if (SUCCEEDED(hr))
            hr = m_engine.query(m_parse);
        if (SUCCEEDED(hr))
            hr = m_engine->SetScriptSite(this);
        if (SUCCEEDED(hr))
            hr = m_parse->InitNew();
        if (SUCCEEDED(hr))
            hr = m_engine->AddNamedItem(L"external", SCRIPTITEM_ISVISIBLE);
        if (SUCCEEDED(hr))
            hr = m_engine->SetScriptState(SCRIPTSTATE_STARTED);
        if (FAILED(hr))
            return ::testing::AssertionFailure() << "JScript engine: 0x" << std::hex << hr;
        return ::testing::AssertionSuccess();
    }

    HRESULT Evaluate(const wchar_t* expression, VARIANT* result)
    {
        EXCEPINFO info{};
        const HRESULT hr = m_parse->ParseScriptText(expression, nullptr, nullptr, nullptr, 0, 0,
                                                    SCRIPTTEXT_ISEXPRESSION, result, &info);
        UniqueBstr source(info.bstrSource), description(info.bstrDescription),
            help(info.bstrHelpFile);
        return hr;
    }

    int errors = 0;

    // IUnknown: the host lives on the test's stack; the engine lets go in Close.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IActiveScriptSite)
            return E_NOINTERFACE;
        *ppv = static_cast<IActiveScriptSite*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    // IActiveScriptSite
    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                          ITypeInfo** typeInfo) override
    {
        if (item)
            *item = nullptr;
        if (typeInfo)
            *typeInfo = nullptr;
        if (std::wcscmp(name, L"external") != 0)
            return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
            m_external->AddRef();
            *item = m_external;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError*) override
    {
        ++errors;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    IDispatch* m_external;
    ComPtr<IActiveScript> m_engine;
    ComPtr<IActiveScriptParse> m_parse;
};

class ScriptBridgeFromJScript : public ScriptBridge {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
        m_comInitialized = true;
        host.emplace(dispatch);
        ASSERT_TRUE(host->Start());
    }
    void TearDown() override
    {
        host.reset(); // the engine lets go of the object before COM goes
        if (m_comInitialized)
            ::CoUninitialize();
    }

    std::wstring Text(const wchar_t* expression)
    {
        UniqueVariant result;
        if (FAILED(host->Evaluate(expression, result.get())))
            return L"<failed>";
        return VariantString(result.get());
    }

    std::optional<JScriptHost> host;

private:
    bool m_comInitialized = false;
};

TEST_F(ScriptBridgeFromJScript, IsMcIsTrueCalledOrRead)
{
    EXPECT_EQ(Text(L"String(external.ismc())"), L"true");
    EXPECT_EQ(Text(L"String(external.ismc)"), L"true");
    EXPECT_EQ(Text(L"typeof external.ismc()"), L"boolean");
}

TEST_F(ScriptBridgeFromJScript, GetGsNamePostsItsString)
{
    // Wine's engine adds the property flag to a call with arguments, so it
    // answers true; a call without arguments gives the script nothing.
    EXPECT_EQ(Text(L"typeof external.getGsName('abc')"), L"boolean");
    EXPECT_EQ(Text(L"typeof external.getNewMsg()"), L"undefined");
    ASSERT_EQ(bus.posts.size(), 2u);
    EXPECT_EQ(bus.posts[0].name, NT_GET_GSNAME);
    EXPECT_EQ(bus.posts[0].text, L"abc");
    EXPECT_EQ(bus.posts[1].name, NT_GET_NEWMSG);
}

TEST_F(ScriptBridgeFromJScript, GetGsNameWithoutAStringArgumentIsSafe)
{
    Text(L"external.getGsName()");
    Text(L"external.getGsName(42)");
    Text(L"external.getGsName(true)");
    Text(L"external.getGsName({toString: function () { return 'x'; }})");
    Text(L"external.getGsName(null)");
    ASSERT_EQ(bus.posts.size(), 5u);
    EXPECT_EQ(bus.posts[0].text, L"");
    EXPECT_EQ(bus.posts[1].text, L"42");
    EXPECT_EQ(bus.posts[2].text, L"True");
    EXPECT_EQ(bus.posts[3].text, L"") << "objects are not converted";
    EXPECT_EQ(bus.posts[4].text, L"");
}

TEST_F(ScriptBridgeFromJScript, WrongCaseIsAScriptErrorAndPostsNothing)
{
    UniqueVariant result;
    EXPECT_TRUE(FAILED(host->Evaluate(L"external.GetGsName('abc')", result.get())));
    EXPECT_TRUE(bus.posts.empty());
    EXPECT_EQ(Text(L"typeof external.getGsName"), L"boolean") << "read as a property: true";
}

TEST_F(ScriptBridgeFromJScript, EnterGameAndGetNewMsgPost)
{
    Text(L"external.entergame()");
    Text(L"external.getNewMsg()");
    ASSERT_EQ(bus.posts.size(), 2u);
    EXPECT_EQ(bus.posts[0].name, NT_WEB_ENTER_GAME);
    EXPECT_EQ(bus.posts[1].name, NT_GET_NEWMSG);
}

} // namespace
