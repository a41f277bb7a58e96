// The login window's platform-free text: the web addresses built from the
// configured hosts and the game-entry match.
#include "common/deploy_config.h"
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

TEST(WebAddresses, LongHostsAreNotCut)
{
    const std::wstring host(300, L'a');
    const std::wstring address = LoginPageAddress(host);
    EXPECT_EQ(address.size(), 7 + 300 + 7u);
    EXPECT_EQ(address.substr(address.size() - 7), L"/client");
}

TEST(WebAddresses, DefaultsAreTheConfiguredHosts)
{
    EXPECT_EQ(LoginPageAddress(), std::wstring(L"http://") + QM_GAME_HOST + L"/client");
    EXPECT_EQ(HomePageAddress(), std::wstring(L"http://") + QM_GAME_HOST + L"/");
    EXPECT_EQ(TopUpPageAddress(), std::wstring(L"http://") + QM_PAY_HOST + L"/?gameid=223");
    EXPECT_EQ(ServicePageAddress(), std::wstring(L"http://") + QM_PORTAL_HOST + L"/view-2.html");
}

TEST(GameEntry, OnlyTheLastPathSegmentCounts)
{
    for (const wchar_t* url : {L"http://127.0.0.1:18702/login.php", L"http://h/login.php?user=a",
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
