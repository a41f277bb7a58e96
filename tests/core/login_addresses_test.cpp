// The login window's platform-free text: the web addresses built from the
// configured hosts, the redirects a request may follow, and the game-entry
// match.
#include "common/deploy_config.h"
#include "common/site_address.h"
#include "login/game_entry.h"
#include "login/web_addresses.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WebAddresses, PagesAreBuiltOnTheGivenHosts)
{
    EXPECT_EQ(LoginPageAddress(L"play.example.com"), L"http://play.example.com/client");
    EXPECT_EQ(HomePageAddress(L"play.example.com"), L"http://play.example.com/");
    EXPECT_EQ(TopUpPageAddress(L"pay.example.com"), L"http://pay.example.com/?gameid=223");
    EXPECT_EQ(ServicePageAddress(L"www.example.com"), L"http://www.example.com/view-2.html");
}

TEST(WebAddresses, PortsStayPartOfTheHost)
{
    EXPECT_EQ(LoginPageAddress(L"10.0.0.5:8080"), L"http://10.0.0.5:8080/client");
    EXPECT_EQ(TopUpPageAddress(L"pay:1"), L"http://pay:1/?gameid=223");
}

TEST(WebAddresses, TheHostSettingGivesTheScheme)
{
    const struct {
        const wchar_t* setting;
        const wchar_t* origin;
    } cases[] = {
        {L"play.example.com", L"http://play.example.com"},
        {L"http://play.example.com:8080", L"http://play.example.com:8080"},
        {L"https://play.example.com", L"https://play.example.com"},
        {L"HTTPS://localhost:18702", L"https://localhost:18702"},
        {L"Http://[::1]:80", L"http://[::1]:80"},
        // Not a scheme of the setting's: a bare host that happens to start so.
        {L"https.example.com", L"http://https.example.com"},
        {L"httpsx://h", L"http://httpsx://h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SiteOrigin(c.setting), c.origin) << c.setting;
        EXPECT_EQ(LoginPageAddress(c.setting), std::wstring(c.origin) + L"/client") << c.setting;
        EXPECT_EQ(ServicePageAddress(c.setting), std::wstring(c.origin) + L"/view-2.html");
    }
}

TEST(WebAddresses, RedirectsKeepToHttpsOnceThere)
{
    const struct {
        const wchar_t* from;
        const wchar_t* to;
        bool follow;
    } cases[] = {
        {L"https://a/x", L"https://b:444/y", true}, {L"https://a/x", L"HTTPS://a/y", true},
        {L"http://a/x", L"https://a/x", true},      {L"http://a/x", L"http://b/y", true},
        {L"https://a/x", L"http://a/x", false},     {L"https://a/x", L"HTTP://a/x", false},
        {L"HTTPS://a/x", L"http://a/x", false},     {L"https://a/x", L"ftp://a/x", false},
        {L"http://a/x", L"file:///C:/x", false},    {L"http://a/x", L"javascript:alert(1)", false},
        {L"https://a/x", L"https:a/x", false},      {L"https://a/x", L"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MayFollowRedirect(c.from, c.to), c.follow) << c.from << " -> " << c.to;
    EXPECT_TRUE(IsHttpsAddress(L"HTTPS://a"));
    EXPECT_FALSE(IsHttpsAddress(L"http://a"));
    EXPECT_FALSE(IsHttpsAddress(L"https:"));
}

TEST(WebAddresses, LongHostsAreNotCut)
{
    const std::wstring host(300, L'a');
    const std::wstring address = LoginPageAddress(host);
    EXPECT_EQ(address.size(), 7 + 300 + 7u);
    EXPECT_EQ(address.substr(address.size() - 7), L"/client");
}

TEST(WebAddresses, DefaultsAreTheConfiguredHosts)
{
    // The compiled-in hosts carry their scheme.
    EXPECT_EQ(LoginPageAddress(), std::wstring(QM_GAME_HOST) + L"/client");
    EXPECT_EQ(HomePageAddress(), std::wstring(QM_GAME_HOST) + L"/");
    EXPECT_EQ(TopUpPageAddress(), std::wstring(QM_PAY_HOST) + L"/?gameid=223");
    EXPECT_EQ(ServicePageAddress(), std::wstring(QM_PORTAL_HOST) + L"/view-2.html");
}

TEST(GameEntry, OnlyTheLastPathSegmentCounts)
{
    for (const wchar_t* url : {L"https://localhost:18702/login.php", L"http://h/login.php?user=a",
                               L"http://h/sub/login.php", L"http://o.example/a/login.php?k=1#top"})
        EXPECT_TRUE(IsGameEntryAddress(url, kGameEntryMarker)) << url;
    for (const wchar_t* url :
         {L"http://h/reset?next=login.php", L"http://h/x/login.php.html", L"http://h/login.php/",
          L"http://h/client#login.php", L"http://login.php", L"http://h/xlogin.php",
          L"http://h/Login.php", L"http://h/LOGIN.PHP", L"http://h/login.ph", L"http://h/client",
          L""})
        EXPECT_FALSE(IsGameEntryAddress(url, kGameEntryMarker)) << url;
}

TEST(GameEntry, EmptyMarkerMatchesNothing)
{
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/login.php", L""));
    EXPECT_FALSE(IsGameEntryAddress(L"", L""));
}

} // namespace
