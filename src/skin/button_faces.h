// Gives an image button its faces from the module's PNG resources.
#pragma once

#include "framework/win32.h"

class GTButton;

// Loads the normal face (required) and the hover and pressed faces (0 for
// none; a face that fails to load is left out) and hands them to the button,
// which then owns them and takes the normal face's size. False, leaving the
// button without faces, when the normal face cannot be loaded.
bool SetButtonFaces(GTButton& button, UINT normalId, UINT hoverId, UINT pressedId = 0);
