#include "login/web_addresses.h"

#include "common/deploy_config.h"

std::wstring HttpAddress(std::wstring_view host, std::wstring_view path)
{
    std::wstring address(L"http://");
    address.reserve(address.size() + host.size() + path.size());
    address.append(host);
    address.append(path);
    return address;
}

std::wstring LoginPageAddress(std::wstring_view gameHost)
{
    return HttpAddress(gameHost, L"/client");
}

std::wstring HomePageAddress(std::wstring_view gameHost)
{
    return HttpAddress(gameHost, L"/");
}

std::wstring TopUpPageAddress(std::wstring_view payHost)
{
    return HttpAddress(payHost, L"/?gameid=223");
}

std::wstring ServicePageAddress(std::wstring_view portalHost)
{
    return HttpAddress(portalHost, L"/view-2.html");
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
