// The wizard's pages as the main window creates them.
#ifndef DORVANE_WIZARD_PAGES_H
#define DORVANE_WIZARD_PAGES_H

#include <windows.h>

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Device detection: 0 when the program must end (after its own message).
int StartDeviceSelection(HWND owner);
INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BackupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ImagePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ImagePageAfterReadErrorProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// 0 when the restart was started, else the error of the step that failed.
DWORD RestartNt();

#endif
