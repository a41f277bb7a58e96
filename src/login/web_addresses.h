// The web pages the launcher shows or opens, on the hosts they live on. Each
// address is plain http on a host[:port]; the hosts are deployment constants.
#pragma once

#include <string>
#include <string_view>

// "http://" + host + path, for a host[:port] and a path that starts with '/'.
std::wstring HttpAddress(std::wstring_view host, std::wstring_view path);

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
