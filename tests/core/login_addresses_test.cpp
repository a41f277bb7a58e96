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

TEST(GameEntry, MarkerAnywhereInTheAddressIsEntry)
{
    EXPECT_TRUE(IsGameEntryAddress(L"http://127.0.0.1:18702/login.php", kGameEntryMarker));
    EXPECT_TRUE(IsGameEntryAddress(L"http://h/a/b/login.php?user=x&k=1", kGameEntryMarker));
    EXPECT_TRUE(IsGameEntryAddress(L"http://h/start?next=login.php", kGameEntryMarker))
        << "in the query as well";
    EXPECT_TRUE(IsGameEntryAddress(L"http://h/xlogin.phpx", kGameEntryMarker));
}

TEST(GameEntry, OtherAddressesAndOtherLetterCaseAreNot)
{
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/client", kGameEntryMarker));
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/Login.php", kGameEntryMarker));
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/LOGIN.PHP", kGameEntryMarker));
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/login.ph", kGameEntryMarker));
    EXPECT_FALSE(IsGameEntryAddress(L"", kGameEntryMarker));
}

TEST(GameEntry, EmptyMarkerMatchesNothing)
{
    EXPECT_FALSE(IsGameEntryAddress(L"http://h/login.php", L""));
    EXPECT_FALSE(IsGameEntryAddress(L"", L""));
}

} // namespace
