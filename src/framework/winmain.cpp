// The program's entry point: everything else is the application object's.
#include "framework/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    return AfxWinMain(instance);
}
