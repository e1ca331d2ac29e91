// The conventions every wizard page keeps: the private messages that tell the
// main window which page comes next, centring, activation, Cancel and the
// close box, creating and leaving a page. The main window is reached through
// PageHost (page_host.h), which the shell fills in.
#ifndef DORVANE_PAGE_FRAME_H
#define DORVANE_PAGE_FRAME_H

#include <windows.h>

#include "page_host.h"

#define WMU_START        (WM_USER + 4)
#define WMU_DETECT       (WM_USER + 5)
#define WMU_BACKUP       (WM_USER + 6)
#define WMU_SELECT_BIOS  (WM_USER + 7)
#define WMU_SELECT_BIOS2 (WM_USER + 8)
#define WMU_FINISH       (WM_USER + 24)

extern HWND ActivePage;      // the page the message loop hands dialog keys to
extern int SkipExitConfirm;  // the run ends without the exit question

// Creates a page owned by MainWindow; on failure warns, closes the program
// without asking, and returns 0.
int CreatePage(int templateId, DLGPROC procedure);
// Destroys the page and posts message to the main window.
void LeavePage(HWND page, UINT message);
void CenterOnScreen(HWND window);

// The "NoWinOpen" warning, then close without the exit question.
void WarnPageNotCreated();
// Posts the main window's close without the exit question.
void CloseWithoutAsking(HWND window);

void TrackActivePage(HWND page, WPARAM wParam);
// Cancel: ask; stay on the page when the user says no.
void PageCancel(HWND page);
// Close box: ask; destroy the page when the program closes.
void PageClose(HWND page);

// What every page answers alike: activation (TrackActivePage), Cancel
// (PageCancel) and the close box (the page's key controls, count of ids, get
// their procedures back, then PageClose). 1 when message was one of them: the
// page answers TRUE.
int PageConvention(HWND page, UINT message, WPARAM wParam, const int* keyControls, int count);

// What a page answers beyond the conventions: its start (WM_INITDIALOG) and
// its commands (1 when Command handled wParam).
struct PageAnswers {
    const int* KeyControls;
    int Count;
    void (*Init)(HWND page);
    int (*Command)(HWND page, WPARAM wParam);
};

// A dialog procedure made of PageConvention and answers.
INT_PTR AnswerPage(HWND page, UINT message, WPARAM wParam, const PageAnswers& answers);

#endif
