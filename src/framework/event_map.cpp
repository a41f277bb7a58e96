#include "framework/event_map.h"

HRESULT AfxRouteControlEvent(CWnd* host, UINT controlId, DISPID dispid, DISPPARAMS* params)
{
    if (!host)
        return S_OK;
    const EventSinkEntry* entry = host->GetEventSinkMap();
    for (; entry && entry->invoke; ++entry) {
        if (entry->controlId == controlId && entry->dispid == dispid)
            return entry->invoke(host, params);
    }
    return S_OK;
}
