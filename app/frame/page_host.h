// The main window as the pages reach it: its handle and the host table the
// shell hands in (the exit question and About), so that the pages and their
// keys never depend on the shell.
#ifndef DORVANE_PAGE_HOST_H
#define DORVANE_PAGE_HOST_H

#include <windows.h>

extern HWND MainWindow;  // owns every page; receives the WMU_ messages

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

// The host table's calls; with none handed in the program never closes by a
// page and F1 shows nothing.
int AskExit(HWND window);
void AskAbout(HWND owner);

#endif
