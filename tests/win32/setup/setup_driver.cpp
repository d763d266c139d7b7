// Drives Setup's dialogs as a user would, from a process of its own in the
// same Wine prefix and display. One command per run; results go to stdout
// as "name=value" lines that the test script compares.
//
//   clsid                       the class key's braced identifier
//   wait-main                   wait until the main dialog is up
//   state                       visibility and state of the three buttons
//   texts                       the texts of the main dialog's controls
//   tabstops                    the controls in the tab order
//   click ID                    click a button of the main dialog
//   escape | close-box          press Esc / the close box of the main dialog
//   about                       the system menu's About command
//   owned                       how many dialogs the main dialog owns now
//   message                     wait for a message box and describe it
//   answer ok|yes|no            click that button of the message box
//   about-box                   wait for the About box and describe it
//   close-about ok|escape|close-box
//   record-url URL              the https handler: writes URL to C:\opened-url.txt
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>
#include <objbase.h>

#include "resource.h"
#include "Zarnocrypt_h.h"

namespace {

constexpr DWORD kWaitMs = 30000;

// WM_GETTEXT rather than GetWindowText, which doesn't ask another
// process's edit fields for their contents.
std::string WindowText(HWND window)
{
    char text[512] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, &copied);
    return text;
}

std::string ClassName(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM list)
{
    if (IsWindowVisible(window) && ClassName(window) == "#32770")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelDialogs()
{
    std::vector<HWND> found;
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND MainDialog()
{
    for (HWND window : TopLevelDialogs())
        if (GetDlgItem(window, IDC_WELCOME) != nullptr)
            return window;
    return nullptr;
}

// A dialog owned by the main dialog: a message box, or the About box.
HWND OwnedDialog(bool about)
{
    const HWND main = MainDialog();
    for (HWND window : TopLevelDialogs())
        if (main != nullptr && GetWindow(window, GW_OWNER) == main &&
            (GetDlgItem(window, IDC_ABOUT_NOTICE) != nullptr) == about)
            return window;
    return nullptr;
}

template <typename Find>
HWND WaitFor(Find find)
{
    for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
        if (HWND window = find())
            return window;
        Sleep(50);
    }
    return nullptr;
}

std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> found;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool IsIconStatic(HWND window)
{
    return ClassName(window) == "Static" && (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// Line ends become "|" so that each answer stays on one line.
std::string OneLine(std::string text)
{
    std::string out;
    for (char c : text)
        if (c != '\r')
            out += c == '\n' ? '|' : c;
    return out;
}

void PrintButton(const char* name, HWND button)
{
    std::printf("%s=%s,%s\n", name, button != nullptr && IsWindowVisible(button) ? "shown" : "hidden",
                button != nullptr && IsWindowEnabled(button) ? "enabled" : "disabled");
}

int Fail(const char* what)
{
    std::printf("error=%s\n", what);
    return 1;
}

int DescribeMessageBox()
{
    const HWND box = WaitFor([] { return OwnedDialog(false); });
    if (box == nullptr)
        return Fail("no message box");
    std::printf("caption=%s\n", WindowText(box).c_str());
    std::string buttons, text;
    bool icon = false;
    for (HWND child : Children(box)) {
        const std::string kind = ClassName(child);
        if (kind == "Button" && IsWindowVisible(child))
            buttons += (buttons.empty() ? "" : ",") + WindowText(child);
        else if (IsIconStatic(child))
            icon = true;
        else if (kind == "Static" && !WindowText(child).empty())
            text = WindowText(child);
    }
    std::printf("text=%s\nbuttons=%s\nicon=%s\n", OneLine(text).c_str(), buttons.c_str(), icon ? "yes" : "no");
    return 0;
}

int DescribeAboutBox()
{
    const HWND box = WaitFor([] { return OwnedDialog(true); });
    if (box == nullptr)
        return Fail("no About box");
    std::printf("caption=%s\n", WindowText(box).c_str());
    for (HWND child : Children(box))
        if (!IsIconStatic(child) && !WindowText(child).empty())
            std::printf("%s=%s\n", ClassName(child).c_str(), WindowText(child).c_str());
    return 0;
}

// Esc goes through the dialog's own message loop, as a key press would.
void PressEscape(HWND dialog)
{
    const HWND target = GetDlgItem(dialog, IDOK) ? GetDlgItem(dialog, IDOK) : dialog;
    PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

int Close(HWND dialog, const std::string& how)
{
    if (how == "ok")
        PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    else if (how == "escape")
        PressEscape(dialog);
    else if (how == "close-box")
        PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    else
        return Fail("unknown way to close");
    return 0;
}

int Answer(const std::string& button)
{
    const HWND box = WaitFor([] { return OwnedDialog(false); });
    const int id = button == "ok" ? IDOK : button == "yes" ? IDYES : button == "no" ? IDNO : 0;
    if (box == nullptr || id == 0 || GetDlgItem(box, id) == nullptr)
        return Fail("no such message box button");
    PostMessageA(GetDlgItem(box, id), BM_CLICK, 0, 0);
    return 0;
}

int RecordUrl(const char* url)
{
    std::FILE* out = std::fopen("C:\\opened-url.txt", "a");
    if (out == nullptr)
        return 1;
    std::fprintf(out, "%s\n", url);
    return std::fclose(out) == 0 ? 0 : 1;
}

int PrintClassKey()
{
    wchar_t guid[40];
    StringFromGUID2(CLSID_Crypter, guid, 40);
    std::printf("%ls\n", guid);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const std::string argument = argc > 2 ? argv[2] : "";
    if (command == "clsid")
        return PrintClassKey();
    if (command == "record-url" && argc > 2)
        return RecordUrl(argv[2]);
    if (command == "message")
        return DescribeMessageBox();
    if (command == "answer")
        return Answer(argument);
    if (command == "about-box")
        return DescribeAboutBox();
    if (command == "close-about") {
        const HWND box = WaitFor([] { return OwnedDialog(true); });
        return box != nullptr ? Close(box, argument) : Fail("no About box");
    }

    const HWND main = WaitFor(MainDialog);
    if (main == nullptr)
        return Fail("no main dialog");
    if (command == "wait-main") {
        std::printf("caption=%s\n", WindowText(main).c_str());
        return 0;
    }
    if (command == "state") {
        PrintButton("install", GetDlgItem(main, IDC_INSTALL));
        PrintButton("uninstall", GetDlgItem(main, IDC_UNINSTALL));
        PrintButton("exit", GetDlgItem(main, IDOK));
        std::printf("dialog=%s\n", IsWindowEnabled(main) ? "enabled" : "disabled");
        return 0;
    }
    if (command == "texts") {
        for (HWND child : Children(main))
            if (!WindowText(child).empty())
                std::printf("%d=%s\n", GetDlgCtrlID(child), WindowText(child).c_str());
        return 0;
    }
    if (command == "tabstops") {
        for (HWND child : Children(main))
            if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)
                std::printf("%d ", GetDlgCtrlID(child));
        std::printf("\n");
        return 0;
    }
    if (command == "click") {
        const HWND button = GetDlgItem(main, std::atoi(argument.c_str()));
        if (button == nullptr)
            return Fail("no such control");
        PostMessageA(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "escape" || command == "close-box")
        return Close(main, command);
    if (command == "owned") {
        int count = 0;
        for (HWND window : TopLevelDialogs())
            count += GetWindow(window, GW_OWNER) == main;
        std::printf("owned=%d\n", count);
        return 0;
    }
    if (command == "about") {
        PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUT_SETUP, 0);
        return 0;
    }
    return Fail("unknown command");
}
