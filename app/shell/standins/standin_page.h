// A page that follows the page conventions and moves the wizard on by the
// usual messages, standing in for a page not yet linked in.
#ifndef DORVANE_STANDIN_PAGE_H
#define DORVANE_STANDIN_PAGE_H

#include <windows.h>

INT_PTR CALLBACK StandInPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

#endif
