// The program's entry: the single-instance guard, the main window class, the
// command line and setup.cfg, the product name, and the one message loop.
#include <windows.h>

#include "box_highlight.h"
#include "format_text.h"
#include "main_window.h"
#include "page_keys.h"
#include "program_globals.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_host.h"
#include "wizard_state.h"

namespace {

HBRUSH BackgroundBrush;
HICON ClassIcon;

ATOM RegisterAndReadCommandLine(HINSTANCE instance, const char* commandLine)
{
    BackgroundBrush = CreateSolidBrush(RGB(0, 0, 192));
    ClassIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = ClassIcon;
    wc.hbrBackground = BackgroundBrush;
    wc.lpszClassName = MAIN_WINDOW_CLASS;
    ATOM atom = RegisterClassA(&wc);
    if (!atom)
        return 0;

    char modulePath[PathBufferSize];
    DWORD len = GetModuleFileNameA(instance, modulePath, sizeof modulePath);
    if (len >= sizeof modulePath)
        len = sizeof modulePath - 1;
    modulePath[len] = 0;
    ProgramDirOf(modulePath, ProgramDir, sizeof ProgramDir);
    ReadSwitches(commandLine, &OptionFlags);
    ChooseConfigPath(commandLine, ProgramDir, ConfigPath, sizeof ConfigPath);
    return atom;
}

void ReleaseShellResources()
{
    if (BackgroundBrush)
        DeleteObject(BackgroundBrush);
    if (ClassIcon)
        DestroyIcon(ClassIcon);
    if (BannerFont)
        DeleteObject(BannerFont);
    BackgroundBrush = 0;
    ClassIcon = 0;
    BannerFont = 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ProgramInstance = instance;
    UseProgramHosts();

    // The named mutex marks a running instance for as long as this process
    // lives; its handle is never closed.
    HANDLE guard = CreateMutexA(0, TRUE, "KestromPreventInstance2");
    int otherInstance = GetLastError() == ERROR_ALREADY_EXISTS;
    if (guard)
        ReleaseMutex(guard);

    if (!RegisterAndReadCommandLine(instance, commandLine ? commandLine : ""))
        return 1;

    LookupText(TextProductName, ProductName, sizeof ProductName);

    if (otherInstance) {
        char caption[TextBufferSize];
        LookupText(TextInformationTitle, caption);
        TellUserFormatted(0, TextSetupRunning, BoxIconInformation, caption, BoxTextCut, ProductName, FormatArg());
        return 1;
    }

    if (!CreateMainWindow(instance))
        return 1;

    ClearHiddenControls();
    InstallBoxHook();
    TheWizard.MergeTable = 1;

    MSG msg;
    ZeroMemory(&msg, sizeof msg);
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        if (ActivePage && IsDialogMessageA(ActivePage, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    RemoveBoxHook();
    ReleaseShellResources();
    return int(msg.wParam);
}
