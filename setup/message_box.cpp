#include "message_box.h"

#include <windows.h>

std::string ProgramName()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string name(path, length < sizeof path ? length : 0);
    const std::string::size_type slash = name.find_last_of("\\/:");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const std::string::size_type dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

int ShowSetupMessage(void* owner, const std::string& text, unsigned buttons)
{
    return MessageBoxA(static_cast<HWND>(owner), text.c_str(), ProgramName().c_str(),
                       buttons | MB_ICONEXCLAMATION);
}
