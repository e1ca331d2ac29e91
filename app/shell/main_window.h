// The maximized main window that owns the wizard: the page messages of
// page_frame.h say which page comes next; it holds the exit question, the
// About box and the driver shutdown at the end.
#ifndef DORVANE_MAIN_WINDOW_H
#define DORVANE_MAIN_WINDOW_H

#include <windows.h>

#include "page_frame.h"

#define MAIN_WINDOW_CLASS "kestrom"

extern int QuitIsSafe;
extern HFONT BannerFont;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// 1 when the main window was created (it has then already started the driver
// and shown the Welcome page, or posted its own close).
int CreateMainWindow(HINSTANCE instance);

// Starts the run: loads the driver, then notes whether the program carries
// an in-built image (and says so when it does not). 1 when the driver is open.
int StartRun(HWND owner);

// 1 when the program is closing (driver stopped, window destroyed), 0 when the
// user chose to stay.
int ConfirmExit(HWND window);
void ShowAbout(HWND owner);

// The main window's PageHost.
extern const PageHost ProgramPageHost;

// Hands the program's WizardHost and PageHost in; before any page or driver
// request.
void UseProgramHosts();

#endif
