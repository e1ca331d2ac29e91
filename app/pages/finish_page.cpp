// The last page: the new BIOS is in place; offers to restart the computer,
// then ends the program.
#include "os_version.h"
#include "page_frame.h"
#include "page_keys.h"
#include "resource_ids.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_pages.h"

namespace {

void InitFinish(HWND page)
{
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    char text[TextBufferSize];
    if (LookupText(TextRebootMsg, text))
        SetDlgItemTextA(page, IDC_FINISH_TEXT, text);
    SendDlgItemMessageA(page, IDC_RESTART_NOW, BM_SETCHECK, BST_CHECKED, 0);
    SubclassPageControl(page, 1, IDOK);
    SubclassPageControl(page, 4, IDC_RESTART_NOW);
    SubclassPageControl(page, 5, IDC_RESTART_LATER);
}

void Finish(HWND page)
{
    if (SendDlgItemMessageA(page, IDC_RESTART_NOW, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        if (GetOsVersionCode() < 2000)
            ExitWindowsEx(EWX_REBOOT, 0);
        else
            RestartNt();
    }
    DestroyWindow(page);
    CloseWithoutAsking(MainWindow);
}

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitFinish(page);
        return TRUE;
    case WM_ACTIVATE:
        TrackActivePage(page, wParam);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            Finish(page);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            PageCancel(page);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        RestorePageControl(page, 1, IDOK);
        RestorePageControl(page, 4, IDC_RESTART_NOW);
        RestorePageControl(page, 5, IDC_RESTART_LATER);
        PageClose(page);
        return TRUE;
    }
    return FALSE;
}
