#include "page_frame.h"

#include "page_keys.h"
#include "program_globals.h"
#include "text_lookup.h"
#include "user_texts.h"
#include "wizard_host.h"

HWND ActivePage;
int SkipExitConfirm;

void CloseWithoutAsking(HWND window)
{
    SkipExitConfirm = 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
}

void WarnPageNotCreated()
{
    char caption[TextBufferSize];
    LookupText(TextWarningTitle, caption);
    TellUser(MainWindow, TextNoWinOpen, BoxIconWarning, 0, caption);
    CloseWithoutAsking(MainWindow);
}

int CreatePage(int templateId, DLGPROC procedure)
{
    if (CreateDialogParamA(ProgramInstance, MAKEINTRESOURCEA(templateId), MainWindow, procedure, 0))
        return 1;
    WarnPageNotCreated();
    return 0;
}

void LeavePage(HWND page, UINT message)
{
    DestroyWindow(page);
    PostMessageA(MainWindow, message, 0, 0);
}

void CenterOnScreen(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    int screenW = (unsigned short)GetSystemMetrics(SM_CXSCREEN);
    int screenH = (unsigned short)GetSystemMetrics(SM_CYSCREEN);
    MoveWindow(window, screenW / 2 - w / 2, screenH / 2 - h / 2, w, h, FALSE);
}

void TrackActivePage(HWND page, WPARAM wParam)
{
    ActivePage = wParam ? page : 0;
}

void PageCancel(HWND page)
{
    if (!AskExit(MainWindow))
        SetActiveWindow(page);
}

void PageClose(HWND page)
{
    if (AskExit(MainWindow))
        DestroyWindow(page);
    else
        SetActiveWindow(page);
}

int PageConvention(HWND page, UINT message, WPARAM wParam, const int* keyControls, int count)
{
    switch (message) {
    case WM_ACTIVATE: TrackActivePage(page, wParam); return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)
            return 0;
        PageCancel(page);
        return 1;
    case WM_CLOSE:
        RestorePageControls(page, keyControls, count);
        PageClose(page);
        return 1;
    }
    return 0;
}

INT_PTR AnswerPage(HWND page, UINT message, WPARAM wParam, const PageAnswers& answers)
{
    if (PageConvention(page, message, wParam, answers.KeyControls, answers.Count))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG: answers.Init(page); return TRUE;
    case WM_COMMAND: return answers.Command(page, wParam) ? TRUE : FALSE;
    }
    return FALSE;
}
