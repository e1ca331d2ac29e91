// Stand-ins for the device, backup and image pages, used only until the
// program is linked with the real ones. Each stand-in lives in an object of
// its own, last on the link line, so that a real page keeps its stand-in out
// of the program. The stand-in page moves the wizard on by the usual
// messages, so the frame can be driven from Welcome to Finish.
#include "main_window.h"
#include "page_keys.h"
#include "resource_ids.h"
#include "shell_globals.h"
#include "wizard_pages.h"
#include "standins/standin_page.h"

namespace {

struct StandInStep {
    int marker;  // a control only this page's template has
    UINT next;
    UINT back;
};

const StandInStep kSteps[] = {
    {IDC_DEVICE_LIST, WMU_BACKUP, WMU_START},
    {IDC_BACKUP_PATH, WMU_SELECT_BIOS, WMU_DETECT},
    {IDC_IMAGE_PATH, WMU_FINISH, WMU_BACKUP},
};

const StandInStep* StepOf(HWND page)
{
    for (const StandInStep& s : kSteps)
        if (GetDlgItem(page, s.marker))
            return &s;
    return 0;
}

// The page's controls created hidden become its developer controls, and its
// buttons take the page keys, as on a real page.
BOOL CALLBACK RegisterHidden(HWND control, LPARAM count)
{
    int* n = (int*)count;
    if (!(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) && *n < HiddenControlCount)
        HiddenControls[(*n)++] = control;
    return TRUE;
}

void StartStandIn(HWND page)
{
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    ClearHiddenControls();
    int count = 0;
    EnumChildWindows(page, RegisterHidden, (LPARAM)&count);
    if (OptionFlags.DevMode)
        RevealHiddenControls();
    SubclassPageControl(page, 1, IDOK);
    SubclassPageControl(page, 2, IDC_BACK);
    SubclassPageControl(page, 3, IDCANCEL);
}

}  // namespace

INT_PTR CALLBACK StandInPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    const StandInStep* step = StepOf(page);
    switch (message) {
    case WM_INITDIALOG:
        StartStandIn(page);
        return TRUE;
    case WM_ACTIVATE:
        TrackActivePage(page, wParam);
        return TRUE;
    case WM_COMMAND:
        if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDC_BACK) && step) {
            ClearHiddenControls();
            DestroyWindow(page);
            PostMessageA(MainWindow, LOWORD(wParam) == IDOK ? step->next : step->back, 0, 0);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            PageCancel(page);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        RestorePageControl(page, 1, IDOK);
        RestorePageControl(page, 2, IDC_BACK);
        RestorePageControl(page, 3, IDCANCEL);
        ClearHiddenControls();
        PageClose(page);
        return TRUE;
    }
    return FALSE;
}

