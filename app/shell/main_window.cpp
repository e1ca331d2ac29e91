#include "main_window.h"

#include "banner_colour.h"
#include "driver_loading.h"
#include "format_text.h"
#include "inbuilt_image.h"
#include "program_globals.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_host.h"
#include "wizard_pages.h"
#include "wizard_state.h"

int QuitIsSafe;
HFONT BannerFont;

namespace {

void CreateBannerFont(HDC dc)
{
    int size = GetDeviceCaps(dc, HORZRES) >= 800 ? 36 : 22;
    int height = -MulDiv(size, GetDeviceCaps(dc, LOGPIXELSY), 72);
    BannerFont = CreateFontA(height, 0, 0, 0, 700, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, PROOF_QUALITY, VARIABLE_PITCH, "Arial");
}

void PaintBanner(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!BannerFont)
        CreateBannerFont(dc);  // tried again at the next paint if it failed
    if (BannerFont)
        SelectObject(dc, BannerFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    int len = lstrlenA(InstallerTitle);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 10, 10, InstallerTitle, len);
    char name[TextBufferSize];
    BannerRgb c = BannerColourFor(ReadConfigValue("FontColour", name, sizeof name) ? name : 0);
    SetTextColor(dc, RGB(c.Red, c.Green, c.Blue));
    TextOutA(dc, 6, 6, InstallerTitle, len);
    EndPaint(window, &ps);
}

void StartWizard(HWND window)
{
    if (!StartRun(window)) {
        CloseWithoutAsking(window);
        return;
    }
    if (!CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_WELCOME), window, WelcomePageProc, 0))
        WarnPageNotCreated();
}

}  // namespace

const PageHost ProgramPageHost = {ConfirmExit, ShowAbout};

int StartRun(HWND owner)
{
    int result = StartDriver(owner);
    TheWizard.InBuiltImageAvailable = InBuiltImagePresent();
    if (result && !TheWizard.InBuiltImageAvailable)
        TellUserFormatted(owner, TextNoEmbeddedBios, BoxIconInformation, InstallerTitle, BoxTextCut, FormatArg(),
                          FormatArg());
    return result;
}

int CreateMainWindow(HINSTANCE instance)
{
    char format[TextBufferSize];
    LookupText(TextInstallerTitle, format);
    FormatText(InstallerTitle, sizeof InstallerTitle, format, ProductName);
    MainWindow = CreateWindowExA(0, MAIN_WINDOW_CLASS, InstallerTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 1, 1, 0,
                                 0, instance, 0);
    return MainWindow != 0;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // Pages created while the window is still being made need its handle.
        MainWindow = window;
        QuitIsSafe = 1;
        ShowWindow(window, SW_SHOWMAXIMIZED);
        SetCursor(LoadCursorA(0, IDC_ARROW));
        SendMessageA(window, WMU_START, 0, 0);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: PaintBanner(window); return 0;
    case WM_CLOSE: ConfirmExit(MainWindow); return 0;
    case WM_KEYDOWN:
        if (wParam == VK_F3)
            ConfirmExit(MainWindow);
        else if (wParam == VK_F1)
            ShowAbout(MainWindow);
        return 0;
    case WMU_START: StartWizard(window); return 0;
    case WMU_DETECT:
        if (!StartDeviceSelection(window))
            CloseWithoutAsking(window);
        return 0;
    case WMU_BACKUP:
        QuitIsSafe = 0;
        CreatePage(IDD_BACKUP, BackupPageProc);
        return 0;
    case WMU_SELECT_BIOS: CreatePage(IDD_IMAGE, ImagePageProc); return 0;
    case WMU_SELECT_BIOS2: CreatePage(IDD_IMAGE_READ_ERROR, ImagePageAfterReadErrorProc); return 0;
    case WMU_FINISH:
        if (!CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(IDD_FINISH), window, FinishPageProc, 0))
            WarnPageNotCreated();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int ConfirmExit(HWND window)
{
    if (!SkipExitConfirm) {
        char caption[TextBufferSize];
        LookupText(TextExitInstallerTitle, caption);
        int answer;
        if (QuitIsSafe) {
            answer = TellUser(window, TextExitInstaller, BoxYesNo, 0, caption);
        } else {
            answer = TellUserFormatted(window, TextExitInstallerIncomplete, BoxYesNo | BoxDefaultSecond, caption,
                                       BoxTextCut, ProductName, FormatArg());
        }
        if (answer != IDYES)
            return 0;
    }
    StopDriver();
    DestroyWindow(window);
    return 1;
}

void ShowAbout(HWND owner)
{
    TellUserFormatted(owner, TextAboutString, BoxIconInformation, InstallerTitle, BoxTextCut, ProductName,
                      PROGRAM_VERSION_TEXT);
}
