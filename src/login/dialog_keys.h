// The keys that would end a dialog through the dialog manager.
#pragma once

#include "framework/win32.h"

// True for a WM_KEYDOWN of Enter or Escape: the login windows swallow them,
// so neither key can hide a login dialog.
bool IsDialogEndingKey(const MSG& msg) noexcept;
