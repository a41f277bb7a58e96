// Dialog templates that declare ActiveX controls: items whose class is a
// CLSID string such as "{8856F961-340A-11D0-A96B-00C04FD705A2}". The dialog
// manager cannot create those, so the dialog gets a copy of its template
// without them, and the framework creates them while the dialog initialises:
// at the template's places (dialog units), with its ids and styles, in its
// tab order, before the dialog's data exchange binds them.
#pragma once

#include "framework/win32.h"

#include <string>
#include <vector>

class CWnd;

class COccDialogTemplate {
public:
    struct ControlItem {
        CLSID clsid;
        UINT id;
        DWORD style;
        RECT units;        // left, top, right, bottom in dialog units
        std::size_t index; // position among all of the template's items
    };

    // Splits an extended template (DLGTEMPLATEEX) of `size` bytes. False when
    // it declares no ActiveX control, is not an extended template, or is
    // malformed: then it goes to the dialog manager as it is.
    bool Split(const void* resource, std::size_t size);

    // The copy without the control items, for CreateDialogIndirectParamW.
    const DLGTEMPLATE* GetTemplate() const noexcept;
    const std::vector<ControlItem>& GetControlItems() const noexcept { return m_items; }

    // Creates the control items in the dialog `dialog`. False when one could
    // not be created and the template does not say DS_NOFAILCREATE.
    bool CreateControls(CWnd* dialog) const;

private:
    std::vector<DWORD> m_copy; // DWORD storage keeps the copy aligned
    std::vector<ControlItem> m_items;
    bool m_bNoFailCreate = false;
};

// Loads dialog template `templateId` of the resource module and splits it.
bool AfxLoadOccDialogTemplate(UINT templateId, COccDialogTemplate& out);
