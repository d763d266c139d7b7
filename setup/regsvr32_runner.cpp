#include "regsvr32_runner.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// Dispatches what is queued; false once WM_QUIT arrived (it is posted again
// for the modal loop that owns it).
bool DispatchPendingMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

// Waits for the process; false when the time limit or WM_QUIT came first.
bool WaitForProcess(HANDLE process)
{
    const ULONGLONG deadline = GetTickCount64() + kRegsvr32TimeLimitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE,
                                                       static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result != WAIT_OBJECT_0 + 1 || !DispatchPendingMessages())
            return false;
    }
}

}  // namespace

Regsvr32Outcome RunRegsvr32(void* dialog, const std::string& regsvr32, const std::string& parameters)
{
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    info.lpFile = regsvr32.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info) || info.hProcess == nullptr)
        return Regsvr32Outcome::NotStarted;

    const HWND window = static_cast<HWND>(dialog);
    const BOOL wasDisabled = window != nullptr && EnableWindow(window, FALSE);
    const bool finished = WaitForProcess(info.hProcess);
    if (window != nullptr && !wasDisabled)
        EnableWindow(window, TRUE);

    DWORD exitCode = 1;
    if (!finished) {
        // Left running, it could still register or unregister after Setup
        // has reported otherwise; its end also frees the DLL it holds.
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, 5000);
    } else if (!GetExitCodeProcess(info.hProcess, &exitCode)) {
        exitCode = 1;
    }
    CloseHandle(info.hProcess);
    if (!finished)
        return Regsvr32Outcome::TimedOut;
    return exitCode == 0 ? Regsvr32Outcome::Succeeded : Regsvr32Outcome::Failed;
}
