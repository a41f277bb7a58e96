// Holds a file the way a virus scanner holds a new executable for a few
// seconds: open for reading, sharing neither its deletion nor its renaming.
//   hold_file.exe <file> <milliseconds>
// Once the file is open it writes "<file>.held", so a test knows the hold
// has begun; it ends with 0 when it has let go again, 2 when it could not
// open the file.
#include "framework/handles.h"

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 1;
    UniqueHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 2;
    const UniqueHandle held(::CreateFileW((std::wstring(argv[1]) + L".held").c_str(), GENERIC_WRITE,
                                          0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                          nullptr));
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    return 0;
}
