// FTask: one download in the manager's queue.
#pragma once

#include "download/dl_interfaces.h"

class FTask final : public IDLTask {
public:
    FTask() = default;

    const wchar_t* GetUrl() const override { return m_szUrl; }
    int GetStatus() const override { return m_nStatus; }
    int GetTotalSize() const override { return m_nTotalSize; }
    int GetReceivedSize() const override { return m_nReceivedSize; }
    const wchar_t* GetSaveDir() const override { return m_szSaveDir; }
    int GetUserData() const override { return m_nUserData; }

    wchar_t m_szUrl[512] = {};
    wchar_t m_szSaveDir[260] = {};
    wchar_t m_szFileName[64] = {};
    bool m_bOverwrite = true;
    int m_nUserData = -1;
    IDLTaskSink* m_pSink = nullptr;
    int m_nTotalSize = 0; // the announced length once the answer came, -1 for none
    int m_nReceivedSize = 0;
    int m_nStatus = DLS_QUEUED;
};
