#include "center_window.h"

#include <windows.h>

void CenterWindow(void* handle)
{
    const HWND window = static_cast<HWND>(handle);
    RECT area;
    const HWND owner = GetWindow(window, GW_OWNER);
    if (owner == nullptr || !IsWindowVisible(owner) || IsIconic(owner) || !GetWindowRect(owner, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(window, &own);
    const int width = own.right - own.left, height = own.bottom - own.top;
    // Keep the caption bar on the screen, where it can be grabbed.
    const int x = area.left + (area.right - area.left - width) / 2;
    const int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
