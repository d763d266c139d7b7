#include "setup_dialog.h"

#include <windows.h>

#include "about_dialog.h"
#include "center_window.h"
#include "installed_state.h"
#include "resource.h"
#include "setup_steps.h"
#include "setup_texts.h"

namespace {

// One main dialog per process; what it needs lives as long as it does.
struct DialogResources {
    HINSTANCE instance = nullptr;
    HICON largeIcon = nullptr;
    HICON smallIcon = nullptr;
    HFONT welcomeFont = nullptr;  // created once, so repaints leave none behind
};
DialogResources resources;

HICON LoadSetupIcon(int widthMetric, int heightMetric)
{
    return static_cast<HICON>(LoadImageA(resources.instance, MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                         LR_DEFAULTCOLOR));
}

// "Arial Bold" at 12 points: 120 tenths of a point in screen pixels.
HFONT CreateWelcomeFont(HWND dialog)
{
    LOGFONTA font = {};
    const HDC screen = GetDC(dialog);
    font.lfHeight = -MulDiv(120, GetDeviceCaps(screen, LOGPIXELSY), 720);
    ReleaseDC(dialog, screen);
    font.lfWeight = FW_BOLD;  // bold even where no face of that name exists
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, "Arial Bold", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

void AddAboutToSystemMenu(HWND dialog)
{
    const HMENU menu = GetSystemMenu(dialog, FALSE);
    if (menu == nullptr)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUT_SETUP, SETUP_ABOUT_MENU_ITEM);
}

void InitialiseDialog(HWND dialog)
{
    AddAboutToSystemMenu(dialog);
    resources.largeIcon = LoadSetupIcon(SM_CXICON, SM_CYICON);
    resources.smallIcon = LoadSetupIcon(SM_CXSMICON, SM_CYSMICON);
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(resources.largeIcon));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(resources.smallIcon));
    resources.welcomeFont = CreateWelcomeFont(dialog);
    // Some static controls select their own font after asking for colours
    // (Wine's do), which would undo the one chosen there: give it this one.
    SendDlgItemMessageA(dialog, IDC_WELCOME, WM_SETFONT, reinterpret_cast<WPARAM>(resources.welcomeFont), FALSE);

    // Worked out once: the dialog keeps this state until it closes.
    const bool installed = IsComponentInstalled();
    ShowWindow(GetDlgItem(dialog, IDC_INSTALL), installed ? SW_HIDE : SW_SHOW);
    EnableWindow(GetDlgItem(dialog, IDC_INSTALL), !installed);
    EnableWindow(GetDlgItem(dialog, IDC_UNINSTALL), installed);

    SetDlgItemTextA(dialog, IDC_WEB_ADDRESS, SETUP_WEB_ADDRESS);
    CenterWindow(dialog);
}

void ReleaseResources()
{
    if (resources.welcomeFont != nullptr)
        DeleteObject(resources.welcomeFont);
    if (resources.largeIcon != nullptr)
        DestroyIcon(resources.largeIcon);
    if (resources.smallIcon != nullptr)
        DestroyIcon(resources.smallIcon);
    resources.welcomeFont = nullptr;
    resources.largeIcon = resources.smallIcon = nullptr;
}

// Default colours first (the returned brush stays the default one), then
// the blue welcome line in its own font and the blue web address.
INT_PTR ControlColours(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT brush = DefWindowProcA(dialog, message, wParam, lParam);
    const HDC dc = reinterpret_cast<HDC>(wParam);
    const int control = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (control == IDC_WELCOME) {
        if (resources.welcomeFont != nullptr)
            SelectObject(dc, resources.welcomeFont);
        SetTextColor(dc, RGB(0, 0, 255));
    } else if (control == IDC_WEB_ADDRESS) {
        SetTextColor(dc, RGB(0, 0, 255));
    }
    return static_cast<INT_PTR>(brush);
}

// Only while minimised: the icon centred on the erased background.
bool PaintMinimised(HWND dialog)
{
    if (!IsIconic(dialog))
        return false;
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(dialog, &paint);
    SendMessageA(dialog, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(dialog, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, resources.largeIcon);
    EndPaint(dialog, &paint);
    return true;
}

void RunStep(HWND dialog, StepResult (*step)(void*))
{
    if (step(dialog) == StepResult::Done)
        EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitialiseDialog(dialog);
        return TRUE;
    case WM_DESTROY:
        ReleaseResources();
        return FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        return ControlColours(dialog, message, wParam, lParam);
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUT_SETUP) {
            ShowAboutDialog(resources.instance, dialog);
            return TRUE;
        }
        return FALSE;
    case WM_PAINT:
        return PaintMinimised(dialog);
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(resources.largeIcon);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_INSTALL:
            RunStep(dialog, InstallComponent);
            return TRUE;
        case IDC_UNINSTALL:
            RunStep(dialog, UninstallComponent);
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

void RunSetupDialog(void* instance)
{
    resources.instance = static_cast<HINSTANCE>(instance);
    DialogBoxParamA(resources.instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, SetupDialogProc, 0);
}
