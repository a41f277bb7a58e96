// The web pages the launcher shows or opens, on the hosts they live on. Each
// host is a host setting (common/site_address.h) and gives the page its
// scheme; the hosts are deployment constants.
#pragma once

#include <string>
#include <string_view>

// The login page, loaded into the login window: "/client" on the game's site.
std::wstring LoginPageAddress(std::wstring_view gameHost);
// The game's home page: "/" on the game's site.
std::wstring HomePageAddress(std::wstring_view gameHost);
// The top-up page: "/?gameid=223" on the portal's payment site.
std::wstring TopUpPageAddress(std::wstring_view payHost);
// The customer-service page: "/view-2.html" on the portal's main site.
std::wstring ServicePageAddress(std::wstring_view portalHost);

// The same pages on the hosts this build was configured with.
std::wstring LoginPageAddress();
std::wstring HomePageAddress();
std::wstring TopUpPageAddress();
std::wstring ServicePageAddress();
