// The script object that pages will see as window.external. Start-up creates
// it in its place and keeps it; its script methods come with the browser host.
#pragma once

class CImpIDispatch {
public:
    long m_refCount = 0;
};
