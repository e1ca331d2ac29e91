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

// The controls that take the page keys.
const int KeyControls[] = {IDOK, IDC_RESTART_NOW, IDC_RESTART_LATER};
const int KeyControlCount = sizeof KeyControls / sizeof KeyControls[0];

void InitFinish(HWND page)
{
    CenterOnScreen(page);
    ShowWindow(page, SW_SHOWNORMAL);
    char text[TextBufferSize];
    if (LookupText(TextRebootMsg, text))
        SetDlgItemTextA(page, IDC_FINISH_TEXT, text);
    SendDlgItemMessageA(page, IDC_RESTART_NOW, BM_SETCHECK, BST_CHECKED, 0);
    SubclassPageControls(page, KeyControls, KeyControlCount);
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

int FinishCommand(HWND page, WPARAM wParam)
{
    if (LOWORD(wParam) != IDOK)
        return 0;
    Finish(page);
    return 1;
}

const PageAnswers Answers = {KeyControls, KeyControlCount, InitFinish, FinishCommand};

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    return AnswerPage(page, message, wParam, Answers);
}
