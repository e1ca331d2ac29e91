// The maximized main window that owns the wizard: its private messages say
// which page comes next; it holds the exit question, the About box and the
// driver shutdown at the end. Also the conventions every page relies on.
#ifndef DORVANE_MAIN_WINDOW_H
#define DORVANE_MAIN_WINDOW_H

#include <windows.h>

#include "config_file.h"

#define WMU_START        (WM_USER + 4)
#define WMU_DETECT       (WM_USER + 5)
#define WMU_BACKUP       (WM_USER + 6)
#define WMU_SELECT_BIOS  (WM_USER + 7)
#define WMU_SELECT_BIOS2 (WM_USER + 8)
#define WMU_FINISH       (WM_USER + 24)

#define MAIN_WINDOW_CLASS "kestrom"

extern HWND MainWindow;
extern HWND ActivePage;
extern int SkipExitConfirm;
extern int QuitIsSafe;
extern char InstallerTitle[TextBufferSize];
extern HFONT BannerFont;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when the main window was created (it has then already started the driver
// and shown the Welcome page, or posted its own close).
int CreateMainWindow(HINSTANCE instance);

// 1 when the program is closing (driver stopped, window destroyed), 0 when the
// user chose to stay.
int ConfirmExit(HWND window);
void ShowAbout(HWND owner);
// Creates a page owned by MainWindow; on failure warns, closes the program
// without asking, and returns 0.
int CreatePage(int templateId, DLGPROC procedure);
void CenterOnScreen(HWND window);

// The "NoWinOpen" warning, then close without the exit question.
void WarnPageNotCreated();

// Page conventions shared by every page procedure.
void TrackActivePage(HWND page, WPARAM wParam);
// Cancel: ask; stay on the page when the user says no.
void PageCancel(HWND page);
// Close box: ask; destroy the page when the program closes.
void PageClose(HWND page);

#endif
