// Control-container manager: decides which site every ActiveX control made
// by the framework gets. Installed once at start-up.
#pragma once

class COccManager {
public:
    COccManager() = default;
    COccManager(const COccManager&) = delete;
    COccManager& operator=(const COccManager&) = delete;
    virtual ~COccManager() = default;
};

// Makes `manager` the one that sites every control created from now on.
void AfxEnableControlContainer(COccManager* manager) noexcept;
COccManager* AfxGetOccManager() noexcept;
