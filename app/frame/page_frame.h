// The conventions every wizard page keeps: the private messages that tell the
// main window which page comes next, centring, activation, Cancel and the
// close box, creating and leaving a page. The main window is reached through
// PageHost, which the shell defines, so that the pages never depend on it.
#ifndef DORVANE_PAGE_FRAME_H
#define DORVANE_PAGE_FRAME_H

#include <windows.h>

#define WMU_START        (WM_USER + 4)
#define WMU_DETECT       (WM_USER + 5)
#define WMU_BACKUP       (WM_USER + 6)
#define WMU_SELECT_BIOS  (WM_USER + 7)
#define WMU_SELECT_BIOS2 (WM_USER + 8)
#define WMU_FINISH       (WM_USER + 24)

extern HWND MainWindow;      // owns every page; receives the WMU_ messages
extern HWND ActivePage;      // the page the message loop hands dialog keys to
extern int SkipExitConfirm;  // the run ends without the exit question

// What the pages need from the main window.
struct PageHost {
    // The exit question (unless the run ends without it); 1 when the program
    // is closing, 0 when the user chose to stay.
    int (*ConfirmExit)(HWND window);
    void (*ShowAbout)(HWND owner);
};

// The shell (or a test) hands its table in before any page is made; host
// must outlive the pages.
void UsePageHost(const PageHost* host);

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
// The host table's calls; with none handed in the program never closes by a
// page and F1 shows nothing.
int AskExit(HWND window);
void AskAbout(HWND owner);

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
