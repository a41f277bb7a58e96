#include "login/web_addresses.h"

#include "common/deploy_config.h"
#include "common/site_address.h"

std::wstring LoginPageAddress(std::wstring_view gameHost)
{
    return SiteAddress(gameHost, L"/client");
}

std::wstring HomePageAddress(std::wstring_view gameHost)
{
    return SiteAddress(gameHost, L"/");
}

std::wstring TopUpPageAddress(std::wstring_view payHost)
{
    return SiteAddress(payHost, L"/?gameid=223");
}

std::wstring ServicePageAddress(std::wstring_view portalHost)
{
    return SiteAddress(portalHost, L"/view-2.html");
}

std::wstring LoginPageAddress()
{
    return LoginPageAddress(QM_GAME_HOST);
}

std::wstring HomePageAddress()
{
    return HomePageAddress(QM_GAME_HOST);
}

std::wstring TopUpPageAddress()
{
    return TopUpPageAddress(QM_PAY_HOST);
}

std::wstring ServicePageAddress()
{
    return ServicePageAddress(QM_PORTAL_HOST);
}
