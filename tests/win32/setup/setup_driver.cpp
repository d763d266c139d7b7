// Works Setup's dialogs as a user would, from a process of its own in the same
// Wine prefix and display. Each argument is a step; looking ones print a line:
//   state            caption and the state of Install, Uninstall, Exit, dialog
//   tabs             the controls in the tab order, with their texts
//   install | uninstall | exit | about    click, or the system menu's About
//   box              the dialog the main dialog owns: caption{children}
//   ok | yes | no    click that button of the owned dialog, wait until it goes
//   escape | close-box   to the owned dialog if there is one, else the main one
//   registry         the class key, its server path and the ProgID, per view
//   value=TEXT | empty-key   set the class key's default value | key only
//   regsvr32         whether the stand-in for regsvr32 below still runs
//   record-url URL   the https handler: logs "open URL" to C:\setup-test.log
//   hold PATH        keeps PATH open as a host that loaded it would; logs "held"
// Placed as the prefix's regsvr32.exe it logs "regsvr32 hangs" and never ends.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "class_key.h"
#include "resource.h"

namespace {

// WM_GETTEXT rather than GetWindowText, which doesn't ask another process's edit fields for their contents.
std::string Text(HWND window)
{
    char text[512] = {};
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

bool IsClass(HWND window, const char* name)
{
    char found[64] = {};
    GetClassNameA(window, found, sizeof found);
    return std::string(found) == name;
}

// Top-level windows, or the controls of a dialog.
std::vector<HWND> Windows(HWND parent)
{
    std::vector<HWND> found;
    for (HWND window = GetWindow(parent ? parent : GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT))
        found.push_back(window);
    return found;
}

// The main dialog (the one with the welcome line), or the message box or About box that it owns.
HWND Dialog(bool owned)
{
    HWND main = nullptr, found = nullptr;
    for (HWND window : Windows(nullptr))
        if (IsWindowVisible(window) && IsClass(window, "#32770") && GetDlgItem(window, IDC_WELCOME))
            main = window;
    for (HWND window : Windows(nullptr))
        if (main && IsWindowVisible(window) && IsClass(window, "#32770") && GetWindow(window, GW_OWNER) == main)
            found = window;
    return owned ? found : main;
}

bool WaitUntil(auto done)
{
    for (int waited = 0; waited < 30000; waited += 50, Sleep(50))
        if (done())
            return true;
    return false;
}

const char* Shown(HWND window)
{
    const bool enabled = window != nullptr && IsWindowEnabled(window);
    return window != nullptr && IsWindowVisible(window) ? (enabled ? "on" : "off") : (enabled ? "hidden-on" : "hidden");
}

// Static texts as they read, "(icon)" for an icon, "[label]" for a button, visible ones only; line ends become "|".
std::string Describe(HWND box)
{
    std::string out = Text(box) + "{";
    for (HWND child : Windows(box)) {
        if (!IsWindowVisible(child))
            continue;
        std::string item = Text(child);
        if (IsClass(child, "Button"))
            item = "[" + item + "]";
        else if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            item = SendMessageA(child, STM_GETICON, 0, 0) ? "(icon)" : "";
        std::erase(item, '\r');
        std::ranges::replace(item, '\n', '|');
        if (!item.empty())
            out += (out.back() == '{' ? "" : ";") + item;
    }
    return out + "}";
}

// "name=value" of the class key, its server path and ProgID, and under WOW64 the native view's; absent ones left out.
std::string Registry()
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    const std::string key = ClassKey(), server = key + "\\InprocServer32";
    const struct { const char* name; std::string key; DWORD view; } entries[] = {
        {"key", key, 0}, {"server", server, 0}, {"progid", "Zarnocrypt.Crypter", 0},
        {"key64", key, RRF_SUBKEY_WOW6464KEY}, {"server64", server, RRF_SUBKEY_WOW6464KEY}};
    std::string out;
    for (const auto& entry : entries) {
        char value[512] = {};
        DWORD size = sizeof value;
        if ((entry.view != 0 && !wow64) || RegGetValueA(HKEY_CLASSES_ROOT, entry.key.c_str(), nullptr,
                                                        RRF_RT_REG_SZ | entry.view, nullptr, value, &size))
            continue;
        out += (out.empty() ? "" : " ") + std::string(entry.name) + "=" + value;
    }
    return out;
}

// Closes the owned dialog (and waits until it is gone) or the main dialog.
// Clicks are posted: a sent one would block inside the modal message box.
bool Close(const std::string& how, HWND main)
{
    const HWND owned = Dialog(true), target = owned ? owned : main;
    const HWND button = GetDlgItem(target, how == "yes" ? IDYES : how == "no" ? IDNO : IDOK);
    if (how == "escape") {  // through the dialog's own message loop, as a key press
        PostMessageA(button ? button : target, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageA(button ? button : target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
    } else if (how == "close-box") {
        PostMessageA(target, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (owned == nullptr || button == nullptr || !PostMessageA(button, BM_CLICK, 0, 0)) {
        return false;
    }
    return owned == nullptr || WaitUntil([owned] { return !IsWindow(owned); });
}

// Named by the stand-in for regsvr32, which holds it while it lives.
const char kHanging[] = "regsvr32 hangs";

int Print(const std::string& line) { return std::printf("%s\n", line.c_str()); }

bool Log(const std::string& line)
{
    std::FILE* log = std::fopen("C:\\setup-test.log", "a");
    return log != nullptr && std::fprintf(log, "%s\n", line.c_str()) > 0 && std::fclose(log) == 0;
}

bool Step(const std::string& step)
{
    if (step.starts_with("value="))
        return !RegSetValueA(HKEY_CLASSES_ROOT, ClassKey().c_str(), REG_SZ, step.c_str() + 6, DWORD(step.size() - 6));
    HKEY key;
    if (step == "empty-key")
        return !RegCreateKeyA(HKEY_CLASSES_ROOT, ClassKey().c_str(), &key) && !RegCloseKey(key);
    if (step == "registry")
        return Print(Registry());
    if (step == "regsvr32")
        return Print(OpenMutexA(SYNCHRONIZE, FALSE, kHanging) ? "regsvr32=running" : "regsvr32=ended");
    HWND main = nullptr, box = nullptr;
    if (!WaitUntil([&main] { return (main = Dialog(false)) != nullptr; }))
        return false;
    const int id = step == "install" ? IDC_INSTALL : step == "uninstall" ? IDC_UNINSTALL : step == "exit" ? IDOK : 0;
    if (id != 0)
        return PostMessageA(GetDlgItem(main, id), BM_CLICK, 0, 0);
    if (step == "state")
        return Print(Text(main) + ": install=" + Shown(GetDlgItem(main, IDC_INSTALL)) + " uninstall=" +
                     Shown(GetDlgItem(main, IDC_UNINSTALL)) + " exit=" + Shown(GetDlgItem(main, IDOK)) +
                     " dialog=" + Shown(main));
    if (step == "tabs") {
        std::string line = "tabs:";
        for (HWND child : Windows(main))
            if (GetWindowLongA(child, GWL_STYLE) & WS_TABSTOP)
                line += " " + std::to_string(GetDlgCtrlID(child)) + "=" + Text(child);
        return Print(line);
    }
    if (step == "about")
        return PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUT_SETUP, 0) && WaitUntil([] { return Dialog(true); });
    if (step == "box")
        return WaitUntil([&box] { return (box = Dialog(true)) != nullptr; }) && Print(Describe(box));
    const bool close = step == "ok" || step == "yes" || step == "no" || step == "escape" || step == "close-box";
    return close && Close(step, main);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "record-url")
        return Log(std::string("open ") + argv[2]) ? 0 : 1;
    if (std::string(argv[0]).find("regsvr32") != std::string::npos && CreateMutexA(nullptr, FALSE, kHanging) &&
        Log(kHanging))
        Sleep(INFINITE);
    if (argc == 3 && std::string(argv[1]) == "hold" &&
        CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr) != INVALID_HANDLE_VALUE &&
        Log("held"))
        Sleep(INFINITE);
    for (int i = 1; i < argc; ++i, std::fflush(stdout))
        if (!Step(argv[i]))
            return Print(std::string("error: step ") + argv[i] + " failed"), 1;
    return 0;
}
