#include "web/custom_occ_manager.h"

#include "web/custom_control_site.h"

#include <new>

COleControlSite* CCustomOccManager::CreateSite(COleControlContainer* container)
{
    return new (std::nothrow) CCustomControlSite(container);
}
